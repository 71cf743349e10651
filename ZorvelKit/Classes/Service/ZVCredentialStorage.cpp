#include "ZVCredentialStorage.h"

#include "Assertion.h"
#include "Keychain.h"
#include "Log.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
const QString kSourceFile = u"ZorvelKit/Classes/Service/ZVCredentialStorage"_s;
// The account store's name, after the "::" of the token item's service.
const QString kServiceSuffix = u"TokenStore"_s;

void reportInternalError(const QString &operation, const QString &format, qint32 status)
{
    AssertionHandler::handleFailure(u"ZVCredentialStorage::"_s + operation, kSourceFile, format.arg(status));
}

// Absent unless the stored value is a string.
std::optional<QString> userFromSettings(const QSettings &settings)
{
    const QVariant value = settings.value(ZVCredentialStorage::kUserDefaultsUserKey);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}
} // namespace

ZVCredentialStorage &ZVCredentialStorage::sharedCredentialStorage()
{
    // A function-local static is initialised once, even on concurrent first calls.
    static ZVCredentialStorage storage;
    return storage;
}

ZVTokenPtr ZVCredentialStorage::token()
{
    return tokenFromDefaultKeychain();
}

void ZVCredentialStorage::storeToken(const ZVTokenPtr &token)
{
    storeTokenInDefaultKeychain(token);
}

void ZVCredentialStorage::removeToken()
{
    removeFromDefaultKeychain();
}

QString ZVCredentialStorage::keychainServiceName()
{
    // The program's identifier is its organisation domain reversed, then its name.
    QString domain = QCoreApplication::organizationDomain();
    if (domain.isEmpty())
        domain = u"zorvel.org"_s;
    QStringList labels = domain.split(u'.', Qt::SkipEmptyParts);
    std::reverse(labels.begin(), labels.end());
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = u"Zorvel"_s;
    return labels.join(u'.') + u'.' + name + u"::"_s + kServiceSuffix;
}

ZVTokenPtr ZVCredentialStorage::tokenFromDefaultKeychain()
{
    KeychainItemRef item;
    const qint32 status = Keychain::findGenericPassword(keychainServiceName(), &item);
    if (status == KeychainStatus::ItemNotFound)
        return nullptr;
    if (status != KeychainStatus::Success) {
        reportInternalError(u"tokenFromDefaultKeychain"_s,
                            u"Unexpected error while fetching accounts from keychain: %1"_s, status);
        return nullptr;
    }
    QByteArray archive;
    if (const qint32 readStatus = Keychain::copyContent(item, &archive); readStatus != KeychainStatus::Success) {
        qCWarning(lcZorvel).noquote() << u"Error from SecKeychainItemCopyContent: %1"_s.arg(readStatus);
        return nullptr;
    }
    return ZVToken::decode(archive);
}

void ZVCredentialStorage::storeTokenInDefaultKeychain(const ZVTokenPtr &token)
{
    removeFromDefaultKeychain();
    // Nothing to archive: the removal above already leaves the user signed out.
    if (!token)
        return;
    const qint32 status = Keychain::addGenericPassword(keychainServiceName(), QString(), token->encode());
    if (status != KeychainStatus::Success)
        reportInternalError(u"storeTokenInDefaultKeychain"_s, u"Error while storing accounts in keychain: %1"_s,
                            status);
}

void ZVCredentialStorage::removeFromDefaultKeychain()
{
    KeychainItemRef item;
    qint32 status = Keychain::findGenericPassword(keychainServiceName(), &item);
    if (status == KeychainStatus::Success)
        status = Keychain::deleteItem(item);
    if (status != KeychainStatus::Success && status != KeychainStatus::ItemNotFound)
        reportInternalError(u"removeFromDefaultKeychain"_s, u"Error while deleting accounts from keychain: %1"_s,
                            status);
}

URLCredential ZVCredentialStorage::credential()
{
    URLCredential credential;
    credential.user = userFromSettings(QSettings());

    KeychainItemRef item;
    QByteArray data;
    if (Keychain::findGenericPassword(kCredentialService, credential.user.value_or(QString()), &item)
            == KeychainStatus::Success
        && Keychain::copyContent(item, &data) == KeychainStatus::Success && !data.isEmpty())
        credential.password = QString::fromUtf8(data);
    return credential;
}

void ZVCredentialStorage::setCredential(const URLCredential &credential)
{
    QSettings settings;
    if (credential.user)
        settings.setValue(kUserDefaultsUserKey, *credential.user);
    else
        settings.remove(kUserDefaultsUserKey);
    // The add replaces an earlier item of the same user; its status is not reported.
    Keychain::addGenericPassword(kCredentialService, credential.user.value_or(QString()),
                                 credential.password.value_or(QString()).toUtf8());
}

void ZVCredentialStorage::removeCredential()
{
    QSettings settings;
    const QString user = userFromSettings(settings).value_or(QString());
    settings.remove(kUserDefaultsUserKey);
    // Every item of that user goes; a store that keeps failing ends the loop.
    KeychainItemRef item;
    for (int attempt = 0; attempt < 16; ++attempt) {
        if (Keychain::findGenericPassword(kCredentialService, user, &item) != KeychainStatus::Success
            || Keychain::deleteItem(item) != KeychainStatus::Success)
            break;
    }
}

#include "FileKeychainBackend.h"

#include "Keychain.h"
#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QScopeGuard>

#include <sys/stat.h>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {
constexpr QFileDevice::Permissions kDirectoryPermissions
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions kFilePermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
} // namespace

FileKeychainBackend::FileKeychainBackend(QString path)
    : m_path(std::move(path))
{ }

QString FileKeychainBackend::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/zorvel/keyring.json"_s;
}

QString FileKeychainBackend::description() const
{
    return u"the owner-only file store at "_s + m_path;
}

qint32 FileKeychainBackend::find(const QString &service, const std::optional<QString> &account, KeychainItemRef *item)
{
    std::lock_guard lock(m_mutex);
    for (const Item &stored : load()) {
        if (stored.service == service && (!account || stored.account == *account)) {
            *item = KeychainItemRef {stored.service, stored.account, nullptr};
            return KeychainStatus::Success;
        }
    }
    return KeychainStatus::ItemNotFound;
}

qint32 FileKeychainBackend::read(const KeychainItemRef &item, QByteArray *data)
{
    std::lock_guard lock(m_mutex);
    for (const Item &stored : load()) {
        if (stored.service == item.service && stored.account == item.account) {
            *data = stored.data;
            return KeychainStatus::Success;
        }
    }
    return KeychainStatus::ItemNotFound;
}

qint32 FileKeychainBackend::add(const QString &service, const QString &account, const QByteArray &data)
{
    std::lock_guard lock(m_mutex);
    QList<Item> items = load();
    items.removeIf([&](const Item &stored) { return stored.service == service && stored.account == account; });
    items.append(Item {service, account, data});
    return save(items);
}

qint32 FileKeychainBackend::remove(const KeychainItemRef &item)
{
    std::lock_guard lock(m_mutex);
    QList<Item> items = load();
    const auto removed = items.removeIf(
        [&](const Item &stored) { return stored.service == item.service && stored.account == item.account; });
    if (removed == 0)
        return KeychainStatus::ItemNotFound;
    return save(items);
}

QList<FileKeychainBackend::Item> FileKeychainBackend::load()
{
    QFile file(m_path);
    if (!file.exists())
        return {};

    auto unreadable = [this](const QString &why) {
        // Once per store: every token check reads the file, and one line is enough to explain it.
        if (!m_reportedUnreadable)
            qCWarning(lcZorvel).noquote()
                << u"Keychain: the file store at %1 cannot be read (%2); it counts as empty until the next change replaces it"_s
                       .arg(m_path, why);
        m_reportedUnreadable = true;
        return QList<Item> {};
    };

    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    if (file.size() > kMaximumFileSize)
        return unreadable(u"larger than %1 bytes"_s.arg(kMaximumFileSize));
    const QByteArray bytes = file.read(kMaximumFileSize + 1);
    if (bytes.size() > kMaximumFileSize)
        return unreadable(u"larger than %1 bytes"_s.arg(kMaximumFileSize));

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return unreadable(parseError.errorString());
    const QJsonValue itemsValue = document.object().value("items"_L1);
    if (!document.isObject() || !itemsValue.isArray())
        return unreadable(u"no list of items"_s);

    QList<Item> items;
    bool skipped = false;
    for (const QJsonValue &value : itemsValue.toArray()) {
        const QJsonObject object = value.toObject();
        const QJsonValue service = object.value("service"_L1);
        const QJsonValue account = object.value("account"_L1);
        const QJsonValue data = object.value("data"_L1);
        if (!service.isString() || !account.isString() || !data.isString()) {
            skipped = true;
            continue;
        }
        auto decoded
            = QByteArray::fromBase64Encoding(data.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            skipped = true;
            continue;
        }
        items.append(Item {service.toString(), account.toString(), *decoded});
    }
    if (skipped)
        unreadable(u"some items are malformed and are left out"_s);
    return items;
}

qint32 FileKeychainBackend::save(const QList<Item> &items)
{
    const QString directory = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(directory)) {
        qCWarning(lcZorvel).noquote() << "Keychain: cannot create" << directory;
        return KeychainStatus::IOError;
    }
    // Tighten a directory that someone else created more openly.
    if (QFile::permissions(directory) != kDirectoryPermissions
        && !QFile::setPermissions(directory, kDirectoryPermissions)) {
        qCWarning(lcZorvel).noquote() << "Keychain: cannot make" << directory << "private to its owner";
        return KeychainStatus::IOError;
    }

    QJsonArray array;
    for (const Item &item : items)
        array.append(QJsonObject {{"service"_L1, item.service},
                                  {"account"_L1, item.account},
                                  {"data"_L1, QString::fromLatin1(item.data.toBase64())}});
    const QByteArray bytes = QJsonDocument(QJsonObject {{"items"_L1, array}}).toJson(QJsonDocument::Indented);

    // The temporary file must be owner-only before any secret is written into it,
    // and the rename keeps its mode. QSaveFile applies the default mode when it
    // commits a new file, so the process mask is narrowed for the write as well.
    const mode_t previousMask = ::umask(077);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });
    QSaveFile file(m_path);
    auto failed = [&] {
        qCWarning(lcZorvel).noquote() << u"Keychain: cannot write the file store at %1 (%2)"_s.arg(m_path,
                                                                                                   file.errorString());
        return KeychainStatus::IOError;
    };
    // An uncommitted QSaveFile removes its temporary file when it goes away.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(kFilePermissions) || file.write(bytes) != bytes.size()
        || !file.commit())
        return failed();
    if (!QFile::setPermissions(m_path, kFilePermissions))
        return failed();
    m_reportedUnreadable = false;
    return KeychainStatus::Success;
}

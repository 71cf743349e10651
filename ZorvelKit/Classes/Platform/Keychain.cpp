#include "Keychain.h"

#include "FileKeychainBackend.h"
#include "Log.h"
#include "SecretServiceKeychainBackend.h"

#include <mutex>

using namespace Qt::StringLiterals;

namespace {
struct BackendState
{
    std::mutex mutex;
    std::shared_ptr<KeychainBackend> chosen;
    std::shared_ptr<KeychainBackend> forced;
};

BackendState &state()
{
    static BackendState s;
    return s;
}

std::shared_ptr<KeychainBackend> chooseBackend()
{
    QString whyNot;
    if (auto secretService = SecretServiceKeychainBackend::connect(&whyNot)) {
        qCInfo(lcZorvel).noquote() << "Keychain: using the Secret Service";
        return secretService;
    }
    auto file = std::make_shared<FileKeychainBackend>(FileKeychainBackend::defaultPath());
    qCInfo(lcZorvel).noquote() << u"Keychain: no Secret Service answered (%1); using the owner-only file store at %2"_s
                                      .arg(whyNot, file->path());
    return file;
}
} // namespace

std::shared_ptr<KeychainBackend> Keychain::backend()
{
    BackendState &s = state();
    // The probe may take up to its timeout; callers arriving meanwhile wait for
    // its answer rather than probing a second time.
    std::lock_guard lock(s.mutex);
    if (s.forced)
        return s.forced;
    if (!s.chosen)
        s.chosen = chooseBackend();
    return s.chosen;
}

void Keychain::setBackendForTesting(std::shared_ptr<KeychainBackend> backend)
{
    BackendState &s = state();
    std::lock_guard lock(s.mutex);
    s.forced = std::move(backend);
}

qint32 Keychain::findGenericPassword(const QString &service, KeychainItemRef *item)
{
    if (service.isEmpty() || !item)
        return KeychainStatus::Param;
    return backend()->find(service, std::nullopt, item);
}

qint32 Keychain::findGenericPassword(const QString &service, const QString &account, KeychainItemRef *item)
{
    if (service.isEmpty() || !item)
        return KeychainStatus::Param;
    return backend()->find(service, account, item);
}

qint32 Keychain::copyContent(const KeychainItemRef &item, QByteArray *data)
{
    if (item.service.isEmpty() || !data)
        return KeychainStatus::Param;
    return backend()->read(item, data);
}

qint32 Keychain::addGenericPassword(const QString &service, const QString &account, const QByteArray &data)
{
    if (service.isEmpty())
        return KeychainStatus::Param;
    return backend()->add(service, account, data);
}

qint32 Keychain::deleteItem(const KeychainItemRef &item)
{
    if (item.service.isEmpty())
        return KeychainStatus::Param;
    return backend()->remove(item);
}

// What a keyring store must give the Keychain: find an item by service (and
// optionally account), read its data, add and delete, answering Keychain statuses.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

// A found item, as find hands it back. The handle is the backend's own
// reference to it (for example a Secret Service object); it may be null.
struct KeychainItemRef
{
    QString service;
    QString account;
    std::shared_ptr<void> handle;
};

class KeychainBackend
{
public:
    virtual ~KeychainBackend() = default;

    // For the log line that names the store in use.
    virtual QString description() const = 0;

    // The first item of the service; with an account, only an item of exactly that account.
    virtual qint32 find(const QString &service, const std::optional<QString> &account, KeychainItemRef *item) = 0;
    virtual qint32 read(const KeychainItemRef &item, QByteArray *data) = 0;
    // Replaces an item of the same service and account, so a pair never has two items.
    virtual qint32 add(const QString &service, const QString &account, const QByteArray &data) = 0;
    virtual qint32 remove(const KeychainItemRef &item) = 0;
};

// The keyring through the desktop's Secret Service (libsecret, synchronous
// calls), each call given up after a timeout so a prompt nobody answers never blocks.
#pragma once

#include "KeychainBackend.h"

#include <chrono>

// Items carry the attributes "service" and "account" and match by attributes
// alone, whatever schema stored them. New items go into the default collection;
// their secret is the raw bytes, with the content type "application/octet-stream".
class SecretServiceKeychainBackend final : public KeychainBackend
{
public:
    // nullptr when no Secret Service answers within the timeout; whyNot then says why.
    static std::shared_ptr<SecretServiceKeychainBackend> connect(QString *whyNot = nullptr);

    // Every call to the service, the first connection included, ends after this.
    static constexpr std::chrono::milliseconds kCallTimeout {5000};

    QString description() const override;
    qint32 find(const QString &service, const std::optional<QString> &account, KeychainItemRef *item) override;
    qint32 read(const KeychainItemRef &item, QByteArray *data) override;
    qint32 add(const QString &service, const QString &account, const QByteArray &data) override;
    qint32 remove(const KeychainItemRef &item) override;

private:
    // service: the connected SecretService object, kept alive by this backend.
    explicit SecretServiceKeychainBackend(std::shared_ptr<void> service);

    std::shared_ptr<void> m_service;
};

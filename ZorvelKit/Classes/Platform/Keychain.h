// Generic-password items in the user's keyring: find by service, read data,
// add and delete, each answering a status (0, -25300 item not found, or a failure).
#pragma once

#include "KeychainBackend.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

// Statuses of every Keychain call. Failures are negative and stable, so that
// log lines and reports can name them by number.
namespace KeychainStatus {
inline constexpr qint32 Success = 0;
// No item matches.
inline constexpr qint32 ItemNotFound = -25300;
// The keyring is locked, or an unlock prompt was refused or not answered in time.
inline constexpr qint32 InteractionNotAllowed = -25308;
// The store did not answer or failed in a way that has no better status.
inline constexpr qint32 NotAvailable = -25291;
// The file store could not be written.
inline constexpr qint32 IOError = -36;
// An argument was not usable (an empty service, no place for the result).
inline constexpr qint32 Param = -50;
} // namespace KeychainStatus

// The store is chosen once per process, at first use: the Secret Service when
// one answers, else the owner-only file store; the choice is logged once.
class Keychain final
{
public:
    Keychain() = delete;

    // The first item with the service, of any account.
    static qint32 findGenericPassword(const QString &service, KeychainItemRef *item);
    // The item with exactly this service and account.
    static qint32 findGenericPassword(const QString &service, const QString &account, KeychainItemRef *item);
    static qint32 copyContent(const KeychainItemRef &item, QByteArray *data);
    // An existing item of the same service and account is replaced.
    static qint32 addGenericPassword(const QString &service, const QString &account, const QByteArray &data);
    static qint32 deleteItem(const KeychainItemRef &item);

    // The store in use; makes the choice if nobody has yet.
    static std::shared_ptr<KeychainBackend> backend();
    // Forces a store for tests; nullptr goes back to the process's own choice.
    static void setBackendForTesting(std::shared_ptr<KeychainBackend> backend);
};

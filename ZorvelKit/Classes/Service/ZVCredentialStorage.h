// The one store of the OAuth token, a single item in the user's keyring, read
// afresh on every call. Also a separate user-name/password store.
#pragma once

#include "ZVToken.h"

#include <QString>
#include <optional>

// A user name and password (the credential operations).
struct URLCredential
{
    std::optional<QString> user;
    std::optional<QString> password;
    int persistence = 0; // none
};

class ZVCredentialStorage
{
public:
    static ZVCredentialStorage &sharedCredentialStorage();

    // Every call goes to the keyring; nothing is cached. Failures are reported
    // through AssertionHandler (or the log) and end as "no token", never as a throw.
    ZVTokenPtr token(); // nullptr: no token stored, or the item is no token archive
    // Replaces any stored token; nullptr only removes it.
    void storeToken(const ZVTokenPtr &token);
    void removeToken();

    // The user name lives in QSettings ("ZorvelUser"), the password in a keyring
    // item of service "zorvel" and that user as account. Keyring failures are silent.
    URLCredential credential();
    // Replaces the password stored for the same user.
    void setCredential(const URLCredential &credential);
    void removeCredential();

    static ZVTokenPtr tokenFromDefaultKeychain();
    static void storeTokenInDefaultKeychain(const ZVTokenPtr &token);
    static void removeFromDefaultKeychain();
    // "<reversed organisation domain>.<application name>::TokenStore", e.g.
    // "org.zorvel.Zorvel::TokenStore"; a missing domain or name counts as "zorvel.org" or "Zorvel".
    static QString keychainServiceName();

    static inline const QString kUserDefaultsUserKey = QStringLiteral("ZorvelUser");
    static inline const QString kCredentialService = QStringLiteral("zorvel");

private:
    ZVCredentialStorage() = default;
};

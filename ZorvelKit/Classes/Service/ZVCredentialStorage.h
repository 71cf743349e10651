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

    ZVTokenPtr token(); // nullptr: no token stored
    void storeToken(const ZVTokenPtr &token);
    void removeToken();

    URLCredential credential();
    void setCredential(const URLCredential &credential);
    void removeCredential();

    static ZVTokenPtr tokenFromDefaultKeychain();
    static void storeTokenInDefaultKeychain(const ZVTokenPtr &token);
    static void removeFromDefaultKeychain();
    static QString keychainServiceName();

    static inline const QString kUserDefaultsUserKey = QStringLiteral("ZorvelUser");
    static inline const QString kCredentialService = QStringLiteral("zorvel");

private:
    ZVCredentialStorage() = default;
};

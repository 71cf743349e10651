// The OAuth token the client signs its requests with, and its archive: a JSON
// object with the keys "accessToken", "refreshToken" and "expiresAt".
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

class ZVToken
{
public:
    const std::optional<QString> &accessToken() const { return m_accessToken; }
    void setAccessToken(const std::optional<QString> &token) { m_accessToken = token; }
    const std::optional<QString> &refreshToken() const { return m_refreshToken; }
    void setRefreshToken(const std::optional<QString> &token) { m_refreshToken = token; }
    const std::optional<QDateTime> &expiresAt() const { return m_expiresAt; }
    void setExpiresAt(const std::optional<QDateTime> &date) { m_expiresAt = date; }

    // The archive: absent fields are written as null, never left out; expiresAt is
    // ISO 8601 text in UTC with milliseconds ("2027-01-15T08:00:00.123Z").
    QByteArray encode() const;
    // nullptr when the bytes are not a token archive (not a JSON object, or an entry
    // that is neither null nor text, or a date that does not parse); never throws on
    // any bytes. A missing key leaves its field absent.
    static std::shared_ptr<ZVToken> decode(const QByteArray &archive);

private:
    std::optional<QString> m_accessToken;
    std::optional<QString> m_refreshToken;
    std::optional<QDateTime> m_expiresAt;
};

using ZVTokenPtr = std::shared_ptr<ZVToken>;

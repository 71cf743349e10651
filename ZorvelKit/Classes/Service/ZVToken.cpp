#include "ZVToken.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

using namespace Qt::StringLiterals;

namespace {
const auto kAccessTokenKey = "accessToken"_L1;
const auto kRefreshTokenKey = "refreshToken"_L1;
const auto kExpiresAtKey = "expiresAt"_L1;

QJsonValue encodeString(const std::optional<QString> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

// false: the entry is there but of a kind no token archive holds.
bool decodeString(const QJsonObject &object, QLatin1StringView key, std::optional<QString> *field)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    *field = value.toString();
    return true;
}

bool decodeDate(const QJsonObject &object, QLatin1StringView key, std::optional<QDateTime> *field)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    const QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!date.isValid())
        return false;
    *field = date.toUTC();
    return true;
}
} // namespace

QByteArray ZVToken::encode() const
{
    const QJsonValue expiresAt = m_expiresAt && m_expiresAt->isValid()
        ? QJsonValue(m_expiresAt->toUTC().toString(Qt::ISODateWithMs))
        : QJsonValue(QJsonValue::Null);
    const QJsonObject object {{kAccessTokenKey, encodeString(m_accessToken)},
                              {kRefreshTokenKey, encodeString(m_refreshToken)},
                              {kExpiresAtKey, expiresAt}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::shared_ptr<ZVToken> ZVToken::decode(const QByteArray &archive)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(archive, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return nullptr;
    const QJsonObject object = document.object();
    auto token = std::make_shared<ZVToken>();
    if (!decodeString(object, kAccessTokenKey, &token->m_accessToken)
        || !decodeString(object, kRefreshTokenKey, &token->m_refreshToken)
        || !decodeDate(object, kExpiresAtKey, &token->m_expiresAt))
        return nullptr;
    return token;
}

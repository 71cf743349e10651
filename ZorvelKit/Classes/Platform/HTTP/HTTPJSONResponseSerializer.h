// Checks an answer's status and content type and decodes its JSON body.
// Subclasses may override responseObjectForResponse to enrich failures.
#pragma once

#include "Error.h"
#include "HTTPURLResponse.h"

#include <QByteArray>
#include <QJsonValue>
#include <QSet>
#include <QString>
#include <optional>

// Domain and codes of the failures this serializer reports.
inline const QString HTTPResponseSerializerErrorDomain = QStringLiteral("HTTPResponseSerializerErrorDomain");
// Information keys: the HTTPURLResponse of the failing answer, and its raw body (QByteArray).
inline const QString HTTPResponseSerializerResponseKey = QStringLiteral("HTTPResponseSerializerResponseKey");
inline const QString HTTPResponseSerializerDataKey = QStringLiteral("HTTPResponseSerializerDataKey");

class HTTPJSONResponseSerializer
{
public:
    enum ErrorCode : qint64 {
        UnacceptableStatusCode = 1,
        UnacceptableContentType = 2,
        InvalidJSON = 3,
    };

    virtual ~HTTPJSONResponseSerializer() = default;

    // 200 to 299.
    bool isAcceptableStatusCode(int statusCode) const { return statusCode >= 200 && statusCode <= 299; }
    const QSet<QString> &acceptableContentTypes() const { return m_acceptableContentTypes; }
    void setAcceptableContentTypes(const QSet<QString> &types) { m_acceptableContentTypes = types; }

    // True when status and content type are acceptable; an empty body passes
    // whatever its content type. Otherwise *error describes the first fault,
    // the status before the content type, and holds the response.
    bool validateResponse(const HTTPURLResponse &response, const QByteArray &data, std::optional<Error> *error) const;

    // The decoded body (std::nullopt for an empty body), or std::nullopt with *error set.
    virtual std::optional<QJsonValue> responseObjectForResponse(const HTTPURLResponse &response, const QByteArray &data,
                                                                std::optional<Error> *error) const;

    // JSON text of any kind, bare scalars included. A body of only white space
    // is empty: std::nullopt and no error.
    static std::optional<QJsonValue> decodeJSON(const QByteArray &data, std::optional<Error> *error);

private:
    QSet<QString> m_acceptableContentTypes
        = {QStringLiteral("application/json"), QStringLiteral("text/json"), QStringLiteral("text/javascript")};
};

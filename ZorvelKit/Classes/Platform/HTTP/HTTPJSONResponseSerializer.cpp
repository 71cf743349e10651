#include "HTTPJSONResponseSerializer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QVariant>

using namespace Qt::StringLiterals;

bool HTTPJSONResponseSerializer::validateResponse(const HTTPURLResponse &response, const QByteArray &data,
                                                  std::optional<Error> *error) const
{
    QString description;
    qint64 code = 0;
    if (!isAcceptableStatusCode(response.statusCode())) {
        code = UnacceptableStatusCode;
        description
            = u"Request failed: %1 (%2)"_s.arg(HTTPURLResponse::localizedStringForStatusCode(response.statusCode()))
                  .arg(response.statusCode());
    } else if (!data.isEmpty() && !m_acceptableContentTypes.contains(response.MIMEType())) {
        code = UnacceptableContentType;
        description = u"Request failed: unacceptable content-type: %1"_s.arg(response.MIMEType());
    } else {
        return true;
    }
    if (error) {
        QVariantMap userInfo;
        userInfo.insert(HTTPResponseSerializerResponseKey, QVariant::fromValue(response));
        userInfo.insert(HTTPResponseSerializerDataKey, data);
        *error = Error(HTTPResponseSerializerErrorDomain, code, description, userInfo);
    }
    return false;
}

std::optional<QJsonValue> HTTPJSONResponseSerializer::responseObjectForResponse(const HTTPURLResponse &response,
                                                                                const QByteArray &data,
                                                                                std::optional<Error> *error) const
{
    if (!validateResponse(response, data, error))
        return std::nullopt;
    return decodeJSON(data, error);
}

std::optional<QJsonValue> HTTPJSONResponseSerializer::decodeJSON(const QByteArray &data, std::optional<Error> *error)
{
    if (data.trimmed().isEmpty())
        return std::nullopt;
    // QJsonDocument takes only arrays and objects at the top; a one-element
    // array around the text lets bare strings and numbers through as well.
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson('[' + data + ']', &parseError);
    if (parseError.error == QJsonParseError::NoError && document.array().size() == 1)
        return document.array().at(0);
    if (error) {
        const QString reason
            = parseError.error == QJsonParseError::NoError ? u"more than one value"_s : parseError.errorString();
        *error = Error(HTTPResponseSerializerErrorDomain, InvalidJSON,
                       u"The data couldn't be read because it isn't valid JSON (%1)."_s.arg(reason));
    }
    return std::nullopt;
}

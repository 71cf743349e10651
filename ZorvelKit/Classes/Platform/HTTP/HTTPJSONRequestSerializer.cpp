#include "HTTPJSONRequestSerializer.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

bool HTTPJSONRequestSerializer::encodeBody(HTTPRequest &request, const QVariantMap &parameters,
                                           std::optional<Error> *) const
{
    if (!request.valueForHTTPHeaderField(u"Content-Type"_s))
        request.setValueForHTTPHeaderField(u"application/json; charset=utf-8"_s, u"Content-Type"_s);
    request.setHTTPBody(QJsonDocument(QJsonObject::fromVariantMap(parameters)).toJson(QJsonDocument::Compact));
    return true;
}

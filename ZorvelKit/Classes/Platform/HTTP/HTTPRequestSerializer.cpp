#include "HTTPRequestSerializer.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

void appendPairs(QStringList &pairs, const QString &key, const QVariant &value)
{
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            appendPairs(pairs, key + u'[' + it.key() + u']', it.value());
    } else if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList) {
        const QVariantList list = value.toList();
        for (const QVariant &element : list)
            appendPairs(pairs, key + u"[]"_s, element);
    } else if (value.isNull()) {
        pairs.append(HTTPRequestSerializer::percentEscapedQueryValue(key));
    } else {
        pairs.append(HTTPRequestSerializer::percentEscapedQueryValue(key) + u'='
                     + HTTPRequestSerializer::percentEscapedQueryValue(value.toString()));
    }
}

} // namespace

std::optional<QString> HTTPRequestSerializer::valueForHTTPHeaderField(const QString &field) const
{
    const QByteArray name = field.toLatin1();
    for (const auto &[key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(value);
    }
    return std::nullopt;
}

void HTTPRequestSerializer::setValueForHTTPHeaderField(const std::optional<QString> &value, const QString &field)
{
    const QByteArray name = field.toLatin1();
    m_headers.removeIf([&name](const auto &header) { return header.first.compare(name, Qt::CaseInsensitive) == 0; });
    if (value)
        m_headers.append({name, value->toUtf8()});
}

void HTTPRequestSerializer::setAuthorizationHeaderFieldWithUsername(const QString &username, const QString &password)
{
    const QByteArray credentials = (username + u':' + password).toUtf8().toBase64();
    setValueForHTTPHeaderField(u"Basic "_s + QString::fromLatin1(credentials), u"Authorization"_s);
}

void HTTPRequestSerializer::setAuthorizationHeaderFieldWithBearerToken(const QString &token)
{
    setValueForHTTPHeaderField(u"Bearer "_s + token, u"Authorization"_s);
}

void HTTPRequestSerializer::clearAuthorizationHeader()
{
    setValueForHTTPHeaderField(std::nullopt, u"Authorization"_s);
}

HTTPRequest HTTPRequestSerializer::requestWithMethod(const QString &method, const QUrl &url,
                                                     const std::optional<QVariantMap> &parameters,
                                                     std::optional<Error> *error) const
{
    HTTPRequest request;
    request.setHTTPMethod(method);
    request.setURL(url);
    request.setTimeoutInterval(m_timeoutInterval);
    for (const auto &[field, value] : m_headers)
        request.setValueForHTTPHeaderField(QString::fromUtf8(value), QString::fromLatin1(field));
    if (!parameters)
        return request;

    const QString upper = method.toUpper();
    if (upper == u"GET"_s || upper == u"HEAD"_s || upper == u"DELETE"_s) {
        const QString query = queryStringFromParameters(*parameters);
        if (!query.isEmpty()) {
            QUrl withQuery = url;
            const QString existing = url.query(QUrl::FullyEncoded);
            withQuery.setQuery(existing.isEmpty() ? query : existing + u'&' + query, QUrl::StrictMode);
            request.setURL(withQuery);
        }
        return request;
    }
    encodeBody(request, *parameters, error);
    return request;
}

bool HTTPRequestSerializer::encodeBody(HTTPRequest &request, const QVariantMap &parameters,
                                       std::optional<Error> *) const
{
    if (!request.valueForHTTPHeaderField(u"Content-Type"_s))
        request.setValueForHTTPHeaderField(u"application/x-www-form-urlencoded"_s, u"Content-Type"_s);
    request.setHTTPBody(queryStringFromParameters(parameters).toUtf8());
    return true;
}

QString HTTPRequestSerializer::queryStringFromParameters(const QVariantMap &parameters)
{
    QStringList pairs;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        appendPairs(pairs, it.key(), it.value());
    return pairs.join(u'&');
}

QString HTTPRequestSerializer::percentEscapedQueryValue(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value, QByteArrayLiteral("@")));
}

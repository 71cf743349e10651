// Turns a method, URL and parameters into a request carrying the default
// headers. This base class writes form encoding; subclasses choose the body.
#pragma once

#include "Error.h"
#include "HTTPRequest.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <optional>

class HTTPRequestSerializer
{
public:
    virtual ~HTTPRequestSerializer() = default;

    // Headers every request of this serializer carries.
    const HTTPRequest::HeaderList &HTTPRequestHeaders() const { return m_headers; }
    std::optional<QString> valueForHTTPHeaderField(const QString &field) const;
    // An empty optional removes the field.
    void setValueForHTTPHeaderField(const std::optional<QString> &value, const QString &field);
    // "Authorization: Basic base64(username:password)".
    void setAuthorizationHeaderFieldWithUsername(const QString &username, const QString &password);
    // "Authorization: Bearer <token>".
    void setAuthorizationHeaderFieldWithBearerToken(const QString &token);
    void clearAuthorizationHeader();

    int timeoutInterval() const { return m_timeoutInterval; }
    void setTimeoutInterval(int milliseconds) { m_timeoutInterval = milliseconds; }

    // GET, HEAD and DELETE put the parameters into the query (after any query
    // the URL already has); other methods hand them to encodeBody. Absent
    // parameters leave query and body alone.
    HTTPRequest requestWithMethod(const QString &method, const QUrl &url, const std::optional<QVariantMap> &parameters,
                                  std::optional<Error> *error = nullptr) const;

    // "key=value" pairs in key order joined by "&", keys and values percent-escaped.
    // Lists become "key[]=v" pairs and maps "key[sub]=v" pairs.
    static QString queryStringFromParameters(const QVariantMap &parameters);
    // Escapes everything but unreserved characters and "@", so that "&", "=",
    // "#", "+", "%", spaces and non-ASCII text survive inside a query value.
    static QString percentEscapedQueryValue(const QString &value);

protected:
    // Writes the body and its Content-Type; the form encoding by default.
    virtual bool encodeBody(HTTPRequest &request, const QVariantMap &parameters, std::optional<Error> *error) const;

private:
    HTTPRequest::HeaderList m_headers;
    int m_timeoutInterval = HTTPRequest::DefaultTimeoutInterval;
};

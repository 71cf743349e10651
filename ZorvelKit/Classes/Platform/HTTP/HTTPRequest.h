// A request as it goes on the wire: method, absolute URL, headers and body.
// Tasks keep the one they sent so that a failed request can be sent again.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>
#include <utility>

class HTTPRequest
{
public:
    using HeaderList = QList<std::pair<QByteArray, QByteArray>>;

    // Milliseconds of silence after which a request gives up.
    static constexpr int DefaultTimeoutInterval = 60000;

    const QString &HTTPMethod() const { return m_method; }
    void setHTTPMethod(const QString &method) { m_method = method.toUpper(); }
    const QUrl &url() const { return m_url; }
    void setURL(const QUrl &url) { m_url = url; }
    const QByteArray &HTTPBody() const { return m_body; }
    void setHTTPBody(const QByteArray &body) { m_body = body; }
    int timeoutInterval() const { return m_timeoutInterval; }
    void setTimeoutInterval(int milliseconds) { m_timeoutInterval = milliseconds; }

    const HeaderList &allHTTPHeaderFields() const { return m_headers; }
    // Names compare case-insensitively; setting a field replaces its earlier value.
    std::optional<QString> valueForHTTPHeaderField(const QString &field) const;
    void setValueForHTTPHeaderField(const QString &value, const QString &field);
    void removeHTTPHeaderField(const QString &field);

private:
    QString m_method = QStringLiteral("GET");
    QUrl m_url;
    HeaderList m_headers;
    QByteArray m_body;
    int m_timeoutInterval = DefaultTimeoutInterval;
};

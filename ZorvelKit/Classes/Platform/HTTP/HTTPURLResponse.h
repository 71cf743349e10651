// The status line and headers of an answer that arrived, as a small value
// that can ride in an error's information dictionary (it is a QMetaType).
#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUrl>
#include <utility>

class HTTPURLResponse
{
public:
    using HeaderList = QList<std::pair<QByteArray, QByteArray>>;

    HTTPURLResponse() = default;
    HTTPURLResponse(QUrl url, int statusCode, HeaderList headers);

    const QUrl &url() const { return m_url; }
    int statusCode() const { return m_statusCode; }
    const HeaderList &allHeaderFields() const { return m_headers; }
    // Header names compare case-insensitively; a null string when the header is missing.
    QString valueForHTTPHeaderField(const QString &field) const;
    // The Content-Type without parameters, in lower case ("application/json"); empty when none.
    QString MIMEType() const;
    // The charset parameter of the Content-Type, in lower case; empty when none.
    QString textEncodingName() const;

    // The standard reason phrase of a status code in lower case ("not found"),
    // from our own table; codes we don't know get the phrase of their class.
    static QString localizedStringForStatusCode(int statusCode);

private:
    QUrl m_url;
    int m_statusCode = 0;
    HeaderList m_headers;
};

Q_DECLARE_METATYPE(HTTPURLResponse)

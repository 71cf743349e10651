#include "HTTPRequest.h"

std::optional<QString> HTTPRequest::valueForHTTPHeaderField(const QString &field) const
{
    const QByteArray name = field.toLatin1();
    for (const auto &[key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(value);
    }
    return std::nullopt;
}

void HTTPRequest::setValueForHTTPHeaderField(const QString &value, const QString &field)
{
    removeHTTPHeaderField(field);
    m_headers.append({field.toLatin1(), value.toUtf8()});
}

void HTTPRequest::removeHTTPHeaderField(const QString &field)
{
    const QByteArray name = field.toLatin1();
    m_headers.removeIf([&name](const auto &header) { return header.first.compare(name, Qt::CaseInsensitive) == 0; });
}

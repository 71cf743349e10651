#include "HTTPURLResponse.h"

#include <QHash>

using namespace Qt::StringLiterals;

HTTPURLResponse::HTTPURLResponse(QUrl url, int statusCode, HeaderList headers)
    : m_url(std::move(url))
    , m_statusCode(statusCode)
    , m_headers(std::move(headers))
{ }

QString HTTPURLResponse::valueForHTTPHeaderField(const QString &field) const
{
    const QByteArray name = field.toLatin1();
    for (const auto &[key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(value);
    }
    return {};
}

QString HTTPURLResponse::MIMEType() const
{
    const QString contentType = valueForHTTPHeaderField(u"Content-Type"_s);
    return contentType.section(u';', 0, 0).trimmed().toLower();
}

QString HTTPURLResponse::textEncodingName() const
{
    const QStringList parts = valueForHTTPHeaderField(u"Content-Type"_s).split(u';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString parameter = parts.at(i).trimmed();
        if (parameter.startsWith(u"charset="_s, Qt::CaseInsensitive)) {
            QString value = parameter.mid(8).trimmed();
            if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
                value = value.mid(1, value.size() - 2);
            return value.toLower();
        }
    }
    return {};
}

QString HTTPURLResponse::localizedStringForStatusCode(int statusCode)
{
    static const QHash<int, QString> phrases = {
        {100, u"continue"_s},
        {101, u"switching protocols"_s},
        {102, u"processing"_s},
        {103, u"early hints"_s},
        {200, u"ok"_s},
        {201, u"created"_s},
        {202, u"accepted"_s},
        {203, u"non-authoritative information"_s},
        {204, u"no content"_s},
        {205, u"reset content"_s},
        {206, u"partial content"_s},
        {207, u"multi-status"_s},
        {208, u"already reported"_s},
        {226, u"im used"_s},
        {300, u"multiple choices"_s},
        {301, u"moved permanently"_s},
        {302, u"found"_s},
        {303, u"see other"_s},
        {304, u"not modified"_s},
        {305, u"use proxy"_s},
        {307, u"temporary redirect"_s},
        {308, u"permanent redirect"_s},
        {400, u"bad request"_s},
        {401, u"unauthorized"_s},
        {402, u"payment required"_s},
        {403, u"forbidden"_s},
        {404, u"not found"_s},
        {405, u"method not allowed"_s},
        {406, u"not acceptable"_s},
        {407, u"proxy authentication required"_s},
        {408, u"request timeout"_s},
        {409, u"conflict"_s},
        {410, u"gone"_s},
        {411, u"length required"_s},
        {412, u"precondition failed"_s},
        {413, u"payload too large"_s},
        {414, u"uri too long"_s},
        {415, u"unsupported media type"_s},
        {416, u"range not satisfiable"_s},
        {417, u"expectation failed"_s},
        {421, u"misdirected request"_s},
        {422, u"unprocessable entity"_s},
        {423, u"locked"_s},
        {424, u"failed dependency"_s},
        {425, u"too early"_s},
        {426, u"upgrade required"_s},
        {428, u"precondition required"_s},
        {429, u"too many requests"_s},
        {431, u"request header fields too large"_s},
        {451, u"unavailable for legal reasons"_s},
        {500, u"internal server error"_s},
        {501, u"not implemented"_s},
        {502, u"bad gateway"_s},
        {503, u"service unavailable"_s},
        {504, u"gateway timeout"_s},
        {505, u"http version not supported"_s},
        {506, u"variant also negotiates"_s},
        {507, u"insufficient storage"_s},
        {508, u"loop detected"_s},
        {510, u"not extended"_s},
        {511, u"network authentication required"_s},
    };
    if (const auto it = phrases.constFind(statusCode); it != phrases.constEnd())
        return *it;
    switch (statusCode / 100) {
    case 1:
        return u"informational"_s;
    case 2:
        return u"success"_s;
    case 3:
        return u"redirected"_s;
    case 4:
        return u"client error"_s;
    case 5:
        return u"server error"_s;
    default:
        return u"unknown status code"_s;
    }
}

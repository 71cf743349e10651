#include "Error.h"

Error::Error(QString domain, qint64 code, QString description, QVariantMap userInfo)
    : m_domain(std::move(domain)), m_code(code), m_description(std::move(description)),
      m_userInfo(std::move(userInfo))
{
}

Error Error::withUserInfo(QVariantMap userInfo) const
{
    return Error(m_domain, m_code, m_description, std::move(userInfo));
}

QString Error::fullDescription() const
{
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(m_domain).arg(m_code).arg(m_description);
}

QDebug operator<<(QDebug debug, const Error &error)
{
    QDebugStateSaver saver(debug);
    debug.noquote() << error.fullDescription();
    return debug;
}

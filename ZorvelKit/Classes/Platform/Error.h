// An error value: domain, code, human-readable description and an
// information dictionary, as handed to failure handlers.
#pragma once

#include <QDebug>
#include <QString>
#include <QVariantMap>

class Error
{
public:
    Error() = default;
    Error(QString domain, qint64 code, QString description, QVariantMap userInfo = {});

    const QString &domain() const { return m_domain; }
    qint64 code() const { return m_code; }
    // The text shown to the user.
    const QString &localizedDescription() const { return m_description; }
    const QVariantMap &userInfo() const { return m_userInfo; }

    // The same error with another information dictionary.
    Error withUserInfo(QVariantMap userInfo) const;
    // "Error Domain=<domain> Code=<code> "<description>"": for log lines.
    QString fullDescription() const;

private:
    QString m_domain;
    qint64 m_code = 0;
    QString m_description;
    QVariantMap m_userInfo;
};

QDebug operator<<(QDebug debug, const Error &error);

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {
const QList<QPair<QByteArray, QString>> kVariables = {
    {"HOME", QStringLiteral("home")},
    {"XDG_DATA_HOME", QStringLiteral("data")},
    {"XDG_CONFIG_HOME", QStringLiteral("config")},
    {"XDG_CACHE_HOME", QStringLiteral("cache")},
    {"XDG_STATE_HOME", QStringLiteral("state")},
};
}

TestEnvironment::TestEnvironment()
{
    if (!m_dir.isValid())
        return;
    for (const auto &[name, folder] : kVariables) {
        m_saved.append({name,
                        qEnvironmentVariableIsSet(name.constData())
                            ? std::optional<QByteArray>(qgetenv(name.constData()))
                            : std::nullopt});
        const QString full = m_dir.filePath(folder);
        QDir().mkpath(full);
        qputenv(name.constData(), QFile::encodeName(full));
    }
}

TestEnvironment::~TestEnvironment()
{
    for (const auto &[name, value] : std::as_const(m_saved)) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

QString TestEnvironment::dataHome() const
{
    return m_dir.filePath(QStringLiteral("data"));
}

QString TestEnvironment::configHome() const
{
    return m_dir.filePath(QStringLiteral("config"));
}

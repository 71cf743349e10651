// What the client's tests share: a private keyring/settings environment, a
// stored token, the handlers' record of one call, and a capture of the logs.
#pragma once

#include "Log.h"
#include "TestSupport.h"
#include "ZVClient.h"
#include "ZVCredentialStorage.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMutex>
#include <QStringList>
#include <QTest>
#include <QThread>

namespace ClientFixture {

// Gives the test its own keyring item and settings; call first in initTestCase.
inline void useApplicationName(const char *name)
{
    QCoreApplication::setOrganizationDomain(QStringLiteral("zorvel.org"));
    QCoreApplication::setApplicationName(QString::fromLatin1(name));
}

inline ZVTokenPtr storeToken(const std::optional<QString> &access, const std::optional<QString> &refresh)
{
    auto token = std::make_shared<ZVToken>();
    token->setAccessToken(access);
    token->setRefreshToken(refresh);
    ZVCredentialStorage::sharedCredentialStorage().storeToken(token);
    return token;
}

inline ZVTokenPtr storeTokens(const TimeLoggingService::TokenPair &pair)
{
    return storeToken(pair.accessToken, pair.refreshToken);
}

// Every call of a wrapper's or endpoint's handlers, so that tests can insist on one.
struct Calls
{
    int count = 0;
    bool onGUIThread = true;
    std::optional<QJsonValue> object;
    std::optional<Error> error;

    void note()
    {
        ++count;
        onGUIThread = onGUIThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    }
    ZVClient::SuccessHandler success()
    {
        return [this](const std::optional<QJsonValue> &value) {
            note();
            object = value;
        };
    }
    ZVClient::FailureHandler failure()
    {
        return [this](const Error &e) {
            note();
            error = e;
        };
    }
    int status() const
    {
        const QVariant response = error ? error->userInfo().value(HTTPResponseSerializerResponseKey) : QVariant();
        return response.canConvert<HTTPURLResponse>() ? response.value<HTTPURLResponse>().statusCode() : 0;
    }
    QString describe() const { return error ? error->fullDescription() : QStringLiteral("no error"); }
};

// Lines written to the client's leveled log ("zorvel.network") and to the
// system log ("zorvel") while one of these lives. Other categories go on to
// the previous handler, so QtTest's own checks keep working.
class LogCapture final
{
public:
    LogCapture()
    {
        instance() = this;
        QLoggingCategory::setFilterRules(QStringLiteral("zorvel.network=true"));
        m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        QLoggingCategory::setFilterRules(QString());
        instance() = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList network() const
    {
        QMutexLocker lock(&m_mutex);
        return m_network;
    }
    QStringList system() const
    {
        QMutexLocker lock(&m_mutex);
        return m_system;
    }
    // The network lines that start with one of the prefixes, in order.
    QStringList networkStartingWith(const QStringList &prefixes) const
    {
        QStringList lines;
        for (const QString &line : network()) {
            for (const QString &prefix : prefixes) {
                if (line.startsWith(prefix)) {
                    lines.append(prefix);
                    break;
                }
            }
        }
        return lines;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_network.clear();
        m_system.clear();
    }

private:
    static LogCapture *&instance()
    {
        static LogCapture *current = nullptr;
        return current;
    }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LogCapture *self = instance();
        const QLatin1StringView category(context.category ? context.category : "");
        if (self && (category == QLatin1StringView("zorvel.network") || category == QLatin1StringView("zorvel"))) {
            QMutexLocker lock(&self->m_mutex);
            (category == QLatin1StringView("zorvel") ? self->m_system : self->m_network).append(message);
            return;
        }
        if (self && self->m_previous)
            self->m_previous(type, context, message);
    }

    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_network;
    QStringList m_system;
};

} // namespace ClientFixture

// Waits for the first handler call, then a little longer to catch a second one.
#define ZV_WAIT_FOR_ONE_CALL(calls)                                                                                    \
    do {                                                                                                               \
        QTRY_COMPARE_WITH_TIMEOUT((calls).count, 1, 15000);                                                            \
        QTest::qWait(30);                                                                                              \
        QCOMPARE((calls).count, 1);                                                                                    \
        QVERIFY((calls).onGUIThread);                                                                                  \
    } while (false)

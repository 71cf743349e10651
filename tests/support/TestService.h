// The reference service started in-process for one test: port 0 (a free port),
// ":memory:" database with the demo data, test hooks on.
#pragma once

#include "TimeLoggingService.h"

#include <QString>
#include <QUrl>

// Usage:
//     TestService server;                        // listening when the constructor returns
//     client.setBaseUrl(server.baseUrl());       // "http://127.0.0.1:PORT/"
//     server->addFailure({ .path = u"types"_s, .status = 503 });
//     QCOMPARE(server->requests().size(), 1);
// The service answers only while an event loop runs (QTRY_*, QSignalSpy::wait,
// QEventLoop); a failure to start ends the test run with the reason. Its
// per-request log line is off unless the options given turn it on.
class TestService final
{
public:
    // Options are taken as given apart from port, which is always 0; tests that
    // want a file database or TLS pass their own.
    explicit TestService(ServiceOptions options = defaultOptions());
    ~TestService();
    TestService(const TestService &) = delete;
    TestService &operator=(const TestService &) = delete;

    static ServiceOptions defaultOptions(); // ":memory:", test hooks, cheap password hashes

    TimeLoggingService &service() { return *m_service; }
    TimeLoggingService *operator->() { return m_service.get(); }
    QString baseUrl() const { return m_service->baseUrl(); }
    QUrl url(const QString &path) const; // path relative to baseUrl, e.g. "oauth/api/types"
    quint16 port() const { return m_service->port(); }

    // A fresh token pair of the demo account, as a password grant would give.
    TimeLoggingService::TokenPair demoTokens() { return m_service->issueTokens(TimeLoggingService::demoEmail); }

private:
    std::unique_ptr<TimeLoggingService> m_service;
};

#include "TestService.h"

#include <QtGlobal>

TestService::TestService(ServiceOptions options)
{
    options.port = 0;
    m_service = std::make_unique<TimeLoggingService>(options);
    QString error;
    if (!m_service->start(&error))
        qFatal("TestService: the reference service did not start: %s", qUtf8Printable(error));
}

TestService::~TestService() = default;

ServiceOptions TestService::defaultOptions()
{
    ServiceOptions options;
    options.port = 0;
    options.databasePath = QStringLiteral(":memory:");
    options.testHooks = true;
    // Hashing cost is not under test here; full-strength hashes would make every sign-in slow.
    options.passwordIterations = 1000;
    // One line per request would bury a test's own output.
    options.logRequests = false;
    return options;
}

QUrl TestService::url(const QString &path) const
{
    return QUrl(baseUrl() + path);
}

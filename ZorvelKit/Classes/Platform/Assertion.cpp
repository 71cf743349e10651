#include "Assertion.h"

#include "Log.h"

#include <cstdio>
#include <cstdlib>

namespace {
AssertionHandler::Handler &currentHandler()
{
    static AssertionHandler::Handler handler;
    return handler;
}
} // namespace

void AssertionHandler::handleFailure(const QString &operation, const QString &file, const QString &message)
{
    if (const Handler &handler = currentHandler())
        handler(operation, file, message);
    else
        qCCritical(lcZorvel).noquote() << "*** Assertion failure in" << operation << file << "-" << message;
}

AssertionHandler::Handler AssertionHandler::setCurrentHandler(Handler handler)
{
    Handler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

void parameterAssertionFailed(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "*** Assertion failure at %s:%d: Invalid parameter not satisfying: %s\n", file, line,
                 condition);
    std::fflush(stderr);
    std::abort();
}

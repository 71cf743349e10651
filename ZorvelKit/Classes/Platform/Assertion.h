// Two kinds of assertion. Internal errors go to a replaceable handler whose
// default writes a critical line and returns. Parameter assertions mark
// programming errors and stop the program.
#pragma once

#include <QString>
#include <functional>

class AssertionHandler
{
public:
    // operation, source file, message
    using Handler = std::function<void(const QString &operation, const QString &file, const QString &message)>;

    static void handleFailure(const QString &operation, const QString &file, const QString &message);
    // Replaces the handler; an empty one restores the default. Returns the previous one.
    static Handler setCurrentHandler(Handler handler);
};

// Stops with "Invalid parameter not satisfying: <name>".
[[noreturn]] void parameterAssertionFailed(const char *name, const char *file, int line);

// ZV_PARAMETER_ASSERT(m_delegate, "self.delegate"): the name is what the message shows.
#define ZV_PARAMETER_ASSERT(condition, name) \
    ((condition) ? void(0) : parameterAssertionFailed(name, __FILE__, __LINE__))

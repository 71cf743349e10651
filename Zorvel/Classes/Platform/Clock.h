// The program's one source of "now": the wall clock, or a fixed moment that a
// test sets so that elapsed times and click times are reproducible.
#pragma once

#include <QDateTime>
#include <optional>

class Clock final
{
public:
    // The current date and time in UTC, or the moment set for testing.
    static QDateTime now();
    // std::nullopt goes back to the wall clock.
    static void setNowForTesting(const std::optional<QDateTime> &now);
};

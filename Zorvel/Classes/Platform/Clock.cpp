#include "Clock.h"

namespace {
// Only the GUI thread reads and sets it, like everything that asks for the time.
std::optional<QDateTime> s_fixedNow;
} // namespace

QDateTime Clock::now()
{
    return s_fixedNow ? *s_fixedNow : QDateTime::currentDateTimeUtc();
}

void Clock::setNowForTesting(const std::optional<QDateTime> &now)
{
    s_fixedNow = now;
}

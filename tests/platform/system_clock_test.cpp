#include "platform/SystemClock.h"

#include <gtest/gtest.h>

namespace {

// The millisecond counter and the monotonic seconds both move with real time: a wait
// on the counter (the link's millisecond delay) must end.
TEST(SystemClockTest, CountersMoveWithRealTime)
{
    SystemClock clock;
    const qint32 counterBefore = clock.msCounter();
    const double secondsBefore = clock.monotonicSeconds();
    clock.sleepMs(20);
    const qint64 counterPassed =
        static_cast<qint64>(static_cast<quint32>(clock.msCounter() - counterBefore));
    const double secondsPassed = clock.monotonicSeconds() - secondsBefore;
    EXPECT_GE(counterPassed, 19);
    EXPECT_LT(counterPassed, 1000);
    EXPECT_GE(secondsPassed, 0.019);
    EXPECT_LT(secondsPassed, 1.0);
    EXPECT_NEAR(static_cast<double>(counterPassed), secondsPassed * 1000.0, 5.0);
}

} // namespace

#include "platform/networkmanager/NmRetry.h"

#include <QTest>

#include <gtest/gtest.h>

// The back-off doubles up to its bound and starts again after a reset.
TEST(NmRetry, DelayDoublesUpToTheBound) {
    using std::chrono::milliseconds;
    int tries = 0;
    ras::nm::Retry retry([&] { ++tries; });
    retry.setDelays(milliseconds(1), milliseconds(4));
    for (const int next : {2, 4, 4}) {
        retry.schedule();
        retry.schedule(); // one try at a time
        ASSERT_TRUE(QTest::qWaitFor([&] { return !retry.scheduled(); }, 5000));
        EXPECT_EQ(retry.nextDelay(), milliseconds(next));
    }
    EXPECT_EQ(tries, 3);
    retry.reset();
    EXPECT_EQ(retry.nextDelay(), milliseconds(1));
}

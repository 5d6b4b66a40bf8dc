// The cancel slot's rules: every lent handle is closed exactly once, by the cancel or by its
// owner, also when the cancel races with the transfer's start and end.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "transfer/CancelSlot.h"

namespace {

struct ClosedBy {
    std::atomic<int> cancel{0};
};

CCancelSlot::Closer CountingCloser(ClosedBy* closed) {
    return [closed](void*) { ++closed->cancel; };
}

int handle = 0;
void* const kHandle = &handle;

}  // namespace

TEST(CancelSlotTest, WithoutCancelTheOwnerKeepsAndClosesItsHandle) {
    ClosedBy closed;
    CCancelSlot slot(CountingCloser(&closed));
    for (int transfer = 0; transfer < 3; ++transfer) {
        ASSERT_TRUE(slot.Lend(kHandle));
        EXPECT_TRUE(slot.TakeBack());
    }
    EXPECT_FALSE(slot.IsCancelled());
    EXPECT_EQ(closed.cancel, 0);
}

TEST(CancelSlotTest, CancelClosesTheLentHandleOnceAndTheOwnerOnlyForgetsIt) {
    ClosedBy closed;
    CCancelSlot slot(CountingCloser(&closed));
    ASSERT_TRUE(slot.Lend(kHandle));
    slot.Cancel();
    slot.Cancel();  // a second close of the same value could hit somebody else's handle
    EXPECT_EQ(closed.cancel, 1);
    EXPECT_FALSE(slot.TakeBack());
    EXPECT_TRUE(slot.IsCancelled());
}

TEST(CancelSlotTest, CancelHoldsForEveryLaterTransfer) {
    ClosedBy closed;
    CCancelSlot slot(CountingCloser(&closed));
    slot.Cancel();  // nothing on loan: nothing to close
    EXPECT_EQ(closed.cancel, 0);
    EXPECT_FALSE(slot.Lend(kHandle));
    ASSERT_TRUE(slot.IsCancelled());
    EXPECT_EQ(closed.cancel, 0);  // refused, so still the caller's to close
}

TEST(CancelSlotTest, CancelAfterTheHandleCameBackClosesNothing) {
    ClosedBy closed;
    CCancelSlot slot(CountingCloser(&closed));
    ASSERT_TRUE(slot.Lend(kHandle));
    ASSERT_TRUE(slot.TakeBack());
    slot.Cancel();
    EXPECT_EQ(closed.cancel, 0);
    EXPECT_FALSE(slot.Lend(kHandle));
}

TEST(CancelSlotTest, NullHandleIsNeverLent) {
    ClosedBy closed;
    CCancelSlot slot(CountingCloser(&closed));
    EXPECT_FALSE(slot.Lend(nullptr));
    slot.Cancel();
    EXPECT_EQ(closed.cancel, 0);
}

// A transfer thread lends, works and takes back handle after handle while another thread
// cancels at some moment: each handle that was lent ends up closed by exactly one side, and
// nothing is lent after the cancel.
TEST(CancelSlotTest, RacingCancelClosesEachHandleExactlyOnce) {
    for (int round = 0; round < 200; ++round) {
        std::vector<std::atomic<int>> closes(64);
        CCancelSlot slot([&closes](void* h) { ++closes[reinterpret_cast<uintptr_t>(h) - 1]; });
        std::atomic<bool> go{false};
        int lent = 0;
        bool refusedAfterCancel = true;
        std::thread transfer([&] {
            while (!go) std::this_thread::yield();
            for (uintptr_t h = 1; h <= closes.size(); ++h) {
                if (!slot.Lend(reinterpret_cast<void*>(h))) {
                    refusedAfterCancel = refusedAfterCancel && slot.IsCancelled();
                    continue;
                }
                ++lent;
                std::this_thread::yield();
                if (slot.TakeBack()) ++closes[h - 1];  // the owner closes it
            }
        });
        go = true;
        for (int spin = 0; spin < round % 17; ++spin) std::this_thread::yield();
        slot.Cancel();
        transfer.join();
        int closedOnce = 0;
        for (auto& count : closes) {
            ASSERT_LE(count.load(), 1) << "round " << round;
            closedOnce += count.load();
        }
        EXPECT_EQ(closedOnce, lent) << "round " << round;
        EXPECT_TRUE(refusedAfterCancel);
        EXPECT_FALSE(slot.Lend(reinterpret_cast<void*>(uintptr_t{1})));
    }
}

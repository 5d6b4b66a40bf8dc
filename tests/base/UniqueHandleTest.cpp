// The one handle owner, with a handle kind whose closes are counted, and the export barrier.

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

#include "base/ExportBarrier.h"
#include "base/UniqueHandle.h"

namespace {

std::vector<int> g_closed;

// Handles are ints; 0 is empty and -1 is the other failure value (as INVALID_HANDLE_VALUE).
struct CountedTraits {
    using Handle = int;
    static Handle Empty() { return 0; }
    static bool IsValid(Handle handle) { return handle != 0 && handle != -1; }
    static void Close(Handle handle) { g_closed.push_back(handle); }
};
using CCounted = CUniqueHandle<CountedTraits>;

class UniqueHandleTest : public ::testing::Test {
protected:
    void SetUp() override { g_closed.clear(); }
};

}  // namespace

TEST_F(UniqueHandleTest, ClosesWhatItHoldsOnceWhenReplacedOrGone) {
    {
        CCounted handle(7);
        EXPECT_TRUE(handle.IsValid());
        EXPECT_EQ(handle.Get(), 7);
        handle.Reset(8);
        EXPECT_EQ(g_closed, std::vector<int>{7});
        handle.Reset(8);  // the same handle again is not closed under itself
        EXPECT_EQ(g_closed, std::vector<int>({7, 8}));
    }
    EXPECT_EQ(g_closed, std::vector<int>({7, 8, 8}));
}

TEST_F(UniqueHandleTest, EmptyAndFailureValuesAreNeverClosed) {
    {
        CCounted empty;
        CCounted failed(-1);
        EXPECT_FALSE(empty);
        EXPECT_FALSE(failed.IsValid());
        EXPECT_EQ(failed.Get(), -1);
        failed.Reset();
        EXPECT_EQ(failed.Get(), 0);
    }
    EXPECT_TRUE(g_closed.empty());
}

TEST_F(UniqueHandleTest, ReleaseAndMoveHandOwnershipOver) {
    CCounted first(3);
    EXPECT_EQ(first.Release(), 3);
    EXPECT_FALSE(first);
    {
        CCounted source(4);
        CCounted target(std::move(source));
        EXPECT_FALSE(source);
        EXPECT_EQ(target.Get(), 4);
        CCounted other(5);
        other = std::move(target);  // 5 is closed, 4 moves over
        EXPECT_EQ(g_closed, std::vector<int>{5});
        CCounted& same = other;
        other = std::move(same);  // moving onto itself keeps the handle
        EXPECT_EQ(other.Get(), 4);
    }
    EXPECT_EQ(g_closed, std::vector<int>({5, 4}));
}

TEST_F(UniqueHandleTest, ReceiveClosesTheOldHandleAndTakesTheNewOne) {
    CCounted handle(9);
    *handle.Receive() = 10;  // as an out-parameter of an API
    EXPECT_EQ(g_closed, std::vector<int>{9});
    EXPECT_EQ(handle.Get(), 10);
}

TEST(ExportBarrier, PassesTheAnswerAndTurnsAnyExceptionIntoTheFailureAnswer) {
    EXPECT_EQ(ExportBarrier(0, [] { return 5; }), 5);
    EXPECT_EQ(ExportBarrier(-1, []() -> int { throw std::bad_alloc(); }), -1);
    EXPECT_EQ(ExportBarrier(0, []() -> int { throw std::runtime_error("thread"); }), 0);
    EXPECT_EQ(ExportBarrier(0, []() -> int { throw 42; }), 0) << "not only standard exceptions";
}

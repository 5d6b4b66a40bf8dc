// The page view's loading course: one navigation at a time, and the default picture asked for
// exactly once when the page wanted last fails, is refused or runs out of time.
#include <gtest/gtest.h>

#include "skin/PageLoad.h"

namespace {

bool Nothing(const PageLoadStep& step) { return !step.showDefault && step.navigate.empty(); }

}  // namespace

TEST(PageLoad, PageStartsAtOnceAndEndsLoadedFailedOrOutOfTime) {
    {
        CPageLoad load;
        PageLoadStep step = load.Request(L"http://a/");
        EXPECT_EQ(step.navigate, L"http://a/");
        EXPECT_FALSE(step.showDefault);
        EXPECT_TRUE(load.IsLoading());
        EXPECT_TRUE(Nothing(load.OnDocumentComplete()));
        EXPECT_EQ(load.State(), PageLoadState::kLoaded);
        EXPECT_FALSE(load.IsLoading());
        EXPECT_TRUE(Nothing(load.OnTimeLimit())) << "a late tick changes nothing";
        EXPECT_EQ(load.State(), PageLoadState::kLoaded);
    }
    {
        CPageLoad load;
        load.Request(L"http://a/");
        EXPECT_TRUE(load.OnNavigateError().showDefault);
        EXPECT_EQ(load.State(), PageLoadState::kFailed);
        EXPECT_FALSE(load.IsLoading());
    }
    {
        CPageLoad load;
        load.Request(L"http://a/");
        EXPECT_TRUE(load.OnTimeLimit().showDefault);
        EXPECT_EQ(load.State(), PageLoadState::kTimedOut);
        EXPECT_FALSE(load.IsLoading());
    }
}

// The picture is asked for once per page: the browser may report a failure several times (a
// frame and the page, a refusal and the error), and its own error page or a page arriving
// after the time limit completes later without bringing the page back.
TEST(PageLoad, DefaultPictureIsAskedForOnceAndStays) {
    CPageLoad load;
    load.Request(L"http://a/");
    EXPECT_TRUE(load.OnNavigateError().showDefault);
    EXPECT_TRUE(Nothing(load.OnNavigateError()));
    EXPECT_TRUE(Nothing(load.OnDocumentComplete()));
    EXPECT_TRUE(Nothing(load.OnTimeLimit()));
    EXPECT_EQ(load.State(), PageLoadState::kFailed);

    CPageLoad slow;
    slow.Request(L"http://a/");
    EXPECT_TRUE(slow.OnTimeLimit().showDefault);
    EXPECT_TRUE(Nothing(slow.OnDocumentComplete()));
    EXPECT_TRUE(Nothing(slow.OnNavigateError()));
    EXPECT_EQ(slow.State(), PageLoadState::kTimedOut);
}

// A link followed inside a loaded page that fails leaves an error page: the picture instead.
TEST(PageLoad, FailureAfterThePageLoadedStillGivesThePicture) {
    CPageLoad load;
    load.Request(L"http://a/");
    load.OnDocumentComplete();
    EXPECT_TRUE(load.OnNavigateError().showDefault);
    EXPECT_EQ(load.State(), PageLoadState::kFailed);
}

// A page asked for while another loads is not started over it; it starts when that one ends,
// whatever the end, and that one's outcome no longer matters. Only the latest waits.
TEST(PageLoad, SecondPageWaitsForTheFirstAndOnlyTheLatestWaits) {
    CPageLoad load;
    load.Request(L"http://first/");
    EXPECT_TRUE(Nothing(load.Request(L"http://second/")));
    EXPECT_TRUE(Nothing(load.Request(L"http://third/")));
    EXPECT_EQ(load.Waiting(), L"http://third/");
    EXPECT_TRUE(load.IsLoading());

    PageLoadStep step = load.OnNavigateError();  // the first one's failure
    EXPECT_FALSE(step.showDefault) << "a superseded page's failure shows nothing";
    EXPECT_EQ(step.navigate, L"http://third/");
    EXPECT_TRUE(load.Waiting().empty());
    EXPECT_TRUE(load.IsLoading());
    EXPECT_TRUE(load.OnNavigateError().showDefault) << "the latest page decides";

    CPageLoad loaded;
    loaded.Request(L"http://first/");
    loaded.Request(L"http://second/");
    EXPECT_EQ(loaded.OnDocumentComplete().navigate, L"http://second/");
    EXPECT_TRUE(loaded.IsLoading()) << "the first completion is not the second page's";
    EXPECT_TRUE(Nothing(loaded.OnDocumentComplete()));
    EXPECT_EQ(loaded.State(), PageLoadState::kLoaded);

    CPageLoad slow;
    slow.Request(L"http://first/");
    slow.Request(L"http://second/");
    step = slow.OnTimeLimit();
    EXPECT_FALSE(step.showDefault);
    EXPECT_EQ(step.navigate, L"http://second/");
}

// After a failure a new page may be asked for; if it fails too, the parent hears of it again.
TEST(PageLoad, NewPageAfterAFailureReportsItsOwnFailure) {
    CPageLoad load;
    load.Request(L"http://a/");
    load.OnNavigateError();
    EXPECT_EQ(load.Request(L"http://b/").navigate, L"http://b/");
    EXPECT_TRUE(load.OnTimeLimit().showDefault);
}

// No address at all is a page that cannot load; it does not disturb one that loads.
TEST(PageLoad, EmptyAddressFailsWithoutStartingAnything) {
    CPageLoad load;
    PageLoadStep step = load.Request(L"");
    EXPECT_TRUE(step.showDefault);
    EXPECT_TRUE(step.navigate.empty());
    EXPECT_EQ(load.State(), PageLoadState::kFailed);

    CPageLoad busy;
    busy.Request(L"http://a/");
    EXPECT_TRUE(Nothing(busy.Request(L"")));
    EXPECT_TRUE(busy.IsLoading());
    EXPECT_TRUE(busy.Waiting().empty());
}

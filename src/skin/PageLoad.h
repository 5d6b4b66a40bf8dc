#pragma once
// The course of the embedded page's loading, and what the page area must show because of it:
// the page, or the default picture once the page failed, was refused or took too long.
//
// The browser control handles one navigation of ours at a time: one started while another
// is still loading may lose the first one's events (its error among them), and the page area
// would stay blank. So a page asked for while another loads waits until that one has ended
// (loaded, failed or out of time), and only the latest such page is kept. The outcome of a
// page that has been superseded in this way is of no interest to anybody: only the page
// asked for last decides what the area shows.
//
// No clock in here: the view runs the time limit and reports its end (OnTimeLimit).

#include <string>

enum class PageLoadState {
    kEmpty,       // nothing asked for yet
    kNavigating,  // a page of ours is loading, within its time limit
    kLoaded,      // the page is there; later errors (links followed inside it) still count
    kFailed,      // failed or refused: the default picture shows
    kTimedOut,    // neither loaded nor failed in time: the default picture shows
};

// What the view must do after an event.
struct PageLoadStep {
    bool showDefault = false;  // ask the parent for its default picture (at most once)
    std::wstring navigate;     // start this navigation now; empty: none
};

class CPageLoad {
public:
    // How long a page may load before the default picture takes its place. A small page
    // needs a few seconds even on a slow link; the system gives up on an absent server after
    // about as long (some 21 s of connect attempts) and reports that itself; but a server
    // that accepts the connection and then stalls is waited for minutes. 20 s bounds that
    // blank area without cutting off a page that is merely slow.
    static constexpr unsigned kShippedTimeLimitMs = 20000;

    // The program asks for `url`. It is started at once unless a page of ours still loads;
    // then it waits for that one's end, replacing any page that was waiting before it.
    PageLoadStep Request(const std::wstring& url);
    // The top-level document is complete (frames complete before it and do not count).
    PageLoadStep OnDocumentComplete();
    // A navigation failed, could not start, or was refused as unsafe.
    PageLoadStep OnNavigateError();
    // The running navigation's time limit has passed.
    PageLoadStep OnTimeLimit();

    PageLoadState State() const { return state_; }
    // Whether a time limit should be running (a navigation of ours is under way).
    bool IsLoading() const { return state_ == PageLoadState::kNavigating; }
    const std::wstring& Waiting() const { return waiting_; }

private:
    // The current navigation has ended in `state`; starts the waiting page, if any.
    PageLoadStep End(PageLoadState state);
    PageLoadStep Start(const std::wstring& url);

    PageLoadState state_ = PageLoadState::kEmpty;
    std::wstring waiting_;
    bool defaultShown_ = false;
};

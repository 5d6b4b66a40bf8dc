#include "skin/PageLoad.h"

#include <utility>

PageLoadStep CPageLoad::Request(const std::wstring& url) {
    if (url.empty()) {
        // No address is a page that cannot load; one already loading goes on unharmed.
        if (IsLoading()) return {};
        state_ = PageLoadState::kNavigating;
        return End(PageLoadState::kFailed);
    }
    if (IsLoading()) {
        waiting_ = url;
        return {};
    }
    return Start(url);
}

PageLoadStep CPageLoad::OnDocumentComplete() {
    // A completion after a failure or the time limit (the browser's own error page, a page
    // that came too late) does not bring the page back: the default picture stays.
    if (state_ != PageLoadState::kNavigating) return {};
    return End(PageLoadState::kLoaded);
}

PageLoadStep CPageLoad::OnNavigateError() {
    switch (state_) {
        case PageLoadState::kNavigating:
            return End(PageLoadState::kFailed);
        case PageLoadState::kEmpty:
        case PageLoadState::kLoaded: {
            // A link followed inside the page failed: better the picture than an error page.
            state_ = PageLoadState::kFailed;
            PageLoadStep step;
            step.showDefault = !std::exchange(defaultShown_, true);
            return step;
        }
        case PageLoadState::kFailed:
        case PageLoadState::kTimedOut:
            break;
    }
    return {};
}

PageLoadStep CPageLoad::OnTimeLimit() {
    if (state_ != PageLoadState::kNavigating) return {};  // a late tick of an ended load
    return End(PageLoadState::kTimedOut);
}

PageLoadStep CPageLoad::End(PageLoadState state) {
    // A page asked for meanwhile makes this one's outcome moot: it starts now instead.
    if (!waiting_.empty()) return Start(std::exchange(waiting_, std::wstring()));
    state_ = state;
    PageLoadStep step;
    if (state != PageLoadState::kLoaded) step.showDefault = !std::exchange(defaultShown_, true);
    return step;
}

PageLoadStep CPageLoad::Start(const std::wstring& url) {
    state_ = PageLoadState::kNavigating;
    defaultShown_ = false;  // a new page may fail again, and must then say so again
    PageLoadStep step;
    step.navigate = url;
    return step;
}

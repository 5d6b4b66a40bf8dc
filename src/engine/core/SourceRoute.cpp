#include "engine/core/SourceRoute.h"

namespace vexa::engine {

SourceRoute::VisitRef SourceRoute::Redirected(const HttpUrl& target) {
    current_ = std::make_shared<Visit>(target);
    return current_;
}

void SourceRoute::Served(const VisitRef& visit) {
    if (visit) visit->served = true;
}

bool SourceRoute::Vanished(const VisitRef& visit) { return LeaveVisit(visit); }

bool SourceRoute::Unreachable(const VisitRef& visit) {
    if (visit && visit->url.ToString() == link_.ToString()) return false;
    return LeaveVisit(visit);
}

bool SourceRoute::LeaveVisit(const VisitRef& visit) {
    if (!visit) return false;  // the link itself: its answers are judged as they are
    if (current_ == visit) current_.reset();
    if (visit->served || visit->counted) return false;
    visit->counted = true;
    return true;
}

}  // namespace vexa::engine

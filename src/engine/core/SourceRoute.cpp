#include "engine/core/SourceRoute.h"

namespace vexa::engine {

SourceRoute::VisitRef SourceRoute::Redirected(const HttpUrl& target) {
    current_ = std::make_shared<Visit>(target);
    return current_;
}

void SourceRoute::Served(const VisitRef& visit) {
    if (visit) visit->served = true;
}

bool SourceRoute::Vanished(const VisitRef& visit) {
    if (!visit) return false;  // the link itself: its answers are judged as they are
    if (current_ == visit) current_.reset();
    if (visit->served || visit->counted) return false;
    visit->counted = true;
    return true;
}

}  // namespace vexa::engine

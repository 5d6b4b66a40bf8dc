#pragma once
// A fetch that goes where the engine's requests go: to the source route's current address,
// following redirects as the engine does, each target a new visit of the route.

#include <string>

#include "HttpFetch.h"
#include "engine/core/SourceRoute.h"

namespace publish {

struct RoutedResult {
    FetchResult fetched;                        // the last answer (not a redirect)
    vexa::engine::SourceRoute::VisitRef visit;  // the visit it came through, null for the link
    std::string url;                            // where it came from
    std::string problem;                        // a redirect the engine gives the source up on
};

// `request.url` is ignored: the route decides.
RoutedResult FetchRouted(vexa::engine::SourceRoute& route, FetchRequest request,
                         const BodySink& sink);

// The same from `request.url` on a route of its own.
RoutedResult FetchFollowing(const FetchRequest& request, const BodySink& sink);

// The short reason a failed answer gives.
std::string StatusProblem(const FetchResult& fetched);

}  // namespace publish

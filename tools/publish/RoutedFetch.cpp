#include "RoutedFetch.h"

#include "engine/core/RedirectRule.h"

namespace publish {

using vexa::engine::HttpUrl;

RoutedResult FetchRouted(vexa::engine::SourceRoute& route, FetchRequest request,
                         const BodySink& sink) {
    RoutedResult out;
    HttpUrl url = route.CurrentUrl();
    out.visit = route.Current();
    for (int hop = 0;; ++hop) {
        request.url = out.url = url.ToString();
        out.fetched = Fetch(request, sink);
        const auto& head = out.fetched.head;
        if (!out.fetched.connected || !vexa::engine::IsRedirectStatus(head.status) ||
            head.location.empty())
            return out;
        HttpUrl next;
        if (hop >= vexa::engine::kMaxRedirects) {
            out.problem = "more than " + std::to_string(vexa::engine::kMaxRedirects) +
                          " redirects in a row: the engine gives the source up";
            return out;
        }
        if (!vexa::engine::ResolveLocation(url, head.location, next)) {
            out.problem = "redirected to \"" + head.location +
                          "\", which the engine cannot follow (plain http:// only)";
            return out;
        }
        url = next;
        out.visit = route.Redirected(next);
    }
}

std::string StatusProblem(const FetchResult& fetched) {
    if (!fetched.connected) return "unreachable: " + fetched.error;
    if (fetched.head.status == 404) return "missing (404)";
    return "answered " + std::to_string(fetched.head.status);
}

RoutedResult FetchFollowing(const FetchRequest& request, const BodySink& sink) {
    HttpUrl link;
    if (!vexa::engine::ParseHttpUrl(vexa::engine::EncodeLinkForWire(request.url), link)) {
        RoutedResult out;
        out.url = request.url;
        out.fetched = Fetch(request, sink);  // names why it cannot be asked
        return out;
    }
    vexa::engine::SourceRoute route(link);
    return FetchRouted(route, request, sink);
}

}  // namespace publish

#pragma once
// Which answers send a request on to another address, and how far: a longer chain is a loop
// or a misconfigured server, and the source is given up.

namespace vexa::engine {

constexpr int kMaxRedirects = 10;

constexpr bool IsRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace vexa::engine

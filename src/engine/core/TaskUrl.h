#pragma once
// Addresses the engine understands: plain http links, the task form
// "PDown://b7=1|<link>|h1=<md5>", redirect targets and seed base addresses.

#include <cstdint>
#include <string>
#include <vector>

namespace vexa::engine {

struct HttpUrl {
    std::string host;  // as written (no brackets for IPv6 literals)
    uint16_t port = 80;
    std::string target;  // path and query, always starting with "/"

    // "host" or "host:port" for the Host header.
    std::string HostHeader() const;
    std::string ToString() const;
};

// A link as it goes on the wire: bytes beyond ASCII (the UTF-8 of non-ASCII characters) and
// blanks percent-encoded, as a browser sends them.
std::string EncodeLinkForWire(const std::string& utf8);

// Parses an absolute "http://" URL (case-insensitive scheme). No https, no user info.
bool ParseHttpUrl(const std::string& text, HttpUrl& out);

// Resolves a Location value against the address that answered with it.
bool ResolveLocation(const HttpUrl& base, const std::string& location, HttpUrl& out);

struct TaskAddress {
    std::string link;         // the origin download link
    std::string expectedMd5;  // lower-case hex, empty when the task form gave none
};

// Accepts the "PDown://" task form and plain links.
bool ParseTaskAddress(const std::string& text, TaskAddress& out);

// The file's name at the origin: the link's path after the last "/", query dropped.
std::string FileNameOfLink(const std::string& link);

// Splits the seed text into base addresses. Separators: "|", ";", whitespace (characters
// that cannot stand unescaped in a URL). Entries that are not http addresses are skipped.
std::vector<std::string> SplitSeedList(const std::string& seeds);

// The seed's address of a file: the base with exactly one "/" before the file name.
std::string SeedFileUrl(const std::string& base, const std::string& fileName);

}  // namespace vexa::engine

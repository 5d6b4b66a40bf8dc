#include "engine/core/TaskUrl.h"

#include <cctype>

namespace vexa::engine {
namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool HasControlOrSpace(const std::string& s) {
    for (unsigned char c : s)
        if (c <= 0x20 || c == 0x7F) return true;
    return false;
}

bool ParsePort(const std::string& s, uint16_t& port) {
    if (s.empty() || s.size() > 5) return false;
    unsigned v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v == 0 || v > 65535) return false;
    port = static_cast<uint16_t>(v);
    return true;
}

// Removes "." and ".." segments from an absolute path (the query is left alone).
std::string NormalisePath(const std::string& target) {
    size_t q = target.find('?');
    std::string path = target.substr(0, q);
    std::string rest = q == std::string::npos ? "" : target.substr(q);
    std::string out;
    size_t i = 0;
    std::vector<std::string> segs;
    bool trailing = false;
    while (i <= path.size()) {
        size_t slash = path.find('/', i);
        if (slash == std::string::npos) slash = path.size();
        std::string seg = path.substr(i, slash - i);
        trailing = false;
        if (seg == "..") {
            if (!segs.empty()) segs.pop_back();
            trailing = true;
        } else if (seg == ".") {
            trailing = true;
        } else if (!(seg.empty() && i == 0)) {
            segs.push_back(seg);
        }
        i = slash + 1;
    }
    for (auto& s : segs) out += "/" + s;
    if (out.empty() || trailing) out += "/";
    return out + rest;
}

}  // namespace

std::string EncodeLinkForWire(const std::string& utf8) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : utf8) {
        if (c >= 0x80 || c == ' ') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string HttpUrl::HostHeader() const {
    std::string h = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return port == 80 ? h : h + ":" + std::to_string(port);
}

std::string HttpUrl::ToString() const { return "http://" + HostHeader() + target; }

bool ParseHttpUrl(const std::string& text, HttpUrl& out) {
    if (text.size() < 8 || Lower(text.substr(0, 7)) != "http://" || HasControlOrSpace(text))
        return false;
    std::string rest = text.substr(7);
    size_t slash = rest.find_first_of("/?#");
    std::string authority = rest.substr(0, slash);
    std::string target = slash == std::string::npos ? "/" : rest.substr(slash);
    size_t hash = target.find('#');
    if (hash != std::string::npos) target = target.substr(0, hash);
    if (target.empty() || target[0] != '/') target = "/" + target;
    if (authority.empty() || authority.find('@') != std::string::npos) return false;
    HttpUrl u;
    if (authority[0] == '[') {
        size_t close = authority.find(']');
        if (close == std::string::npos) return false;
        u.host = authority.substr(1, close - 1);
        std::string after = authority.substr(close + 1);
        if (!after.empty() && (after[0] != ':' || !ParsePort(after.substr(1), u.port)))
            return false;
    } else {
        size_t colon = authority.rfind(':');
        u.host = authority.substr(0, colon);
        if (colon != std::string::npos && !ParsePort(authority.substr(colon + 1), u.port))
            return false;
    }
    if (u.host.empty()) return false;
    u.target = target;
    out = u;
    return true;
}

bool ResolveLocation(const HttpUrl& base, const std::string& location, HttpUrl& out) {
    if (location.empty() || HasControlOrSpace(location)) return false;
    if (Lower(location.substr(0, 7)) == "http://") return ParseHttpUrl(location, out);
    if (location.find("://") != std::string::npos) return false;  // https and others
    if (location.rfind("//", 0) == 0) return ParseHttpUrl("http:" + location, out);
    HttpUrl u = base;
    std::string loc = location;
    size_t hash = loc.find('#');
    if (hash != std::string::npos) loc = loc.substr(0, hash);
    if (loc[0] == '/') {
        u.target = NormalisePath(loc);
    } else if (loc[0] == '?') {
        u.target = base.target.substr(0, base.target.find('?')) + loc;
    } else {
        std::string path = base.target.substr(0, base.target.find('?'));
        u.target = NormalisePath(path.substr(0, path.rfind('/') + 1) + loc);
    }
    out = u;
    return true;
}

bool ParseTaskAddress(const std::string& text, TaskAddress& out) {
    out = TaskAddress{};
    if (Lower(text.substr(0, 8)) == "pdown://") {
        // "PDown://b7=1|<link>|h1=<md5>": the link may itself hold "|", so the hash part is
        // taken from the last "|h1=".
        std::string body = text.substr(8);
        size_t first = body.find('|');
        size_t hashAt = body.rfind("|h1=");
        if (first == std::string::npos) return false;
        if (hashAt == std::string::npos || hashAt <= first) hashAt = body.size();
        out.link = body.substr(first + 1, hashAt - first - 1);
        if (hashAt < body.size()) out.expectedMd5 = Lower(body.substr(hashAt + 4));
    } else {
        out.link = text;
    }
    HttpUrl check;
    return ParseHttpUrl(out.link, check);
}

std::string FileNameOfLink(const std::string& link) {
    std::string path = link.substr(0, link.find_first_of("?#"));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> SplitSeedList(const std::string& seeds) {
    std::vector<std::string> out;
    std::string cur;
    auto flush = [&] {
        HttpUrl u;
        if (!cur.empty() && ParseHttpUrl(cur, u)) out.push_back(cur);
        cur.clear();
    };
    for (char c : seeds) {
        if (c == '|' || c == ';' || std::isspace(static_cast<unsigned char>(c)))
            flush();
        else
            cur += c;
    }
    flush();
    return out;
}

std::string SeedFileUrl(const std::string& base, const std::string& fileName) {
    std::string b = base;
    while (!b.empty() && b.back() == '/') b.pop_back();
    return b + "/" + fileName;
}

}  // namespace vexa::engine

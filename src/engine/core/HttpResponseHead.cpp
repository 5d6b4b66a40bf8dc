#include "engine/core/HttpResponseHead.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace vexa::engine {
namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Strict unsigned decimal; rejects empty text, signs, blanks and overflow.
bool ParseU64(const std::string& s, uint64_t& out) {
    if (s.empty() || s.size() > 20) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        uint64_t d = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - d) / 10) return false;
        v = v * 10 + d;
    }
    out = v;
    return true;
}

bool ContainsToken(const std::string& lowerList, const char* token) {
    size_t start = 0;
    while (start <= lowerList.size()) {
        size_t comma = lowerList.find(',', start);
        if (comma == std::string::npos) comma = lowerList.size();
        if (Trim(lowerList.substr(start, comma - start)) == token) return true;
        start = comma + 1;
    }
    return false;
}

void ApplyField(const std::string& name, const std::string& value, HttpResponseHead& h,
                bool& lengthConflict) {
    if (name == "content-length") {
        uint64_t v = 0;
        if (!ParseU64(value, v) || (h.hasContentLength && v != h.contentLength)) {
            lengthConflict = true;
            return;
        }
        h.hasContentLength = true;
        h.contentLength = v;
    } else if (name == "transfer-encoding") {
        std::string v = Lower(value);
        size_t comma = v.rfind(',');
        h.chunked = Trim(comma == std::string::npos ? v : v.substr(comma + 1)) == "chunked";
    } else if (name == "connection") {
        if (ContainsToken(Lower(value), "close")) h.connectionClose = true;
    } else if (name == "content-type") {
        if (Lower(value).rfind("multipart/byteranges", 0) == 0) h.multipart = true;
    } else if (name == "accept-ranges") {
        if (Lower(value) == "none") h.acceptRangesNone = true;
    } else if (name == "content-range") {
        // A second Content-Range makes the reply ambiguous: treat it as malformed.
        h.contentRange =
            h.contentRange.present ? ContentRange{true, false} : ParseContentRange(value);
    } else if (name == "location") {
        h.location = value;
    } else if (name == "etag") {
        h.etag = value;
    } else if (name == "last-modified") {
        h.lastModified = value;
    } else if (name == "retry-after") {
        h.hasRetryAfter = true;
        h.retryAfter = value;
    } else if (name == "content-encoding") {
        h.contentEncoding = Lower(value);
    }
}

// A field that decides where this reply's body ends, or whether these bytes are the ones
// asked for. A damaged line that might be one of these leaves the reply unusable.
bool TouchesFraming(const std::string& lowerLine) {
    static const char* names[] = {"content-length", "transfer-encoding", "content-range"};
    std::string l = Trim(lowerLine);
    for (const char* n : names)
        if (l.compare(0, std::strlen(n), n) == 0) return true;
    return false;
}

// Splits the field lines from `pos` up to the blank line into lower-case names and
// values. A continuation line (obsolete folding) joins the value before it with a single
// space. A line that is no field at all is ignored, unless it could be a framing field.
bool SplitFields(const std::string& text, size_t pos,
                 std::vector<std::pair<std::string, std::string>>& fields) {
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) return false;
        if (end == pos) return true;  // the blank line
        std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        if (line[0] == ' ' || line[0] == '\t') {
            std::string more = Trim(line);
            // Folded before any field: nothing to continue, so nothing to learn.
            if (fields.empty() || more.empty()) continue;
            std::string& value = fields.back().second;
            value = value.empty() ? more : value + " " + more;
            continue;
        }
        size_t colon = line.find(':');
        std::string name = colon == std::string::npos ? std::string() : line.substr(0, colon);
        if (name.empty() || name.find_first_of(" \t") != std::string::npos) {
            if (TouchesFraming(Lower(line))) return false;
            continue;
        }
        fields.emplace_back(Lower(name), Trim(line.substr(colon + 1)));
    }
    return false;
}

int MonthIndex(const std::string& m) {
    static const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i)
        if (m == names[i]) return i;
    return -1;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

bool HttpResponseHead::KeepAlive() const {
    if (connectionClose) return false;
    return versionMinor >= 1;
}

std::string HttpResponseHead::StrongValidator() const {
    if (!etag.empty() && etag.rfind("W/", 0) != 0) return etag;
    return lastModified;
}

bool HttpResponseHead::Contradicts(const std::string& known) const {
    if (known.empty() || known == etag || known == lastModified) return false;
    bool strongTag = !etag.empty() && etag.rfind("W/", 0) != 0;
    if (known[0] == '"') return strongTag && etag != known;
    if (!lastModified.empty()) return true;
    return strongTag;  // an unquoted tag we held, and now another one
}

size_t FindHeadEnd(const char* data, size_t size) {
    for (size_t i = 0; i + 3 < size; ++i) {
        if (data[i] == '\r' && data[i + 1] == '\n' && data[i + 2] == '\r' && data[i + 3] == '\n')
            return i + 4;
    }
    return 0;
}

ContentRange ParseContentRange(const std::string& raw) {
    ContentRange r;
    r.present = true;
    std::string v = Trim(raw);
    if (Lower(v.substr(0, 6)) != "bytes ") return r;
    v = Trim(v.substr(6));
    if (v.rfind("*/", 0) == 0) {
        // The form of a 416: not a range, but it tells the size.
        r.totalKnown = ParseU64(Trim(v.substr(2)), r.total);
        return r;
    }
    size_t dash = v.find('-');
    size_t slash = v.find('/');
    if (dash == std::string::npos || slash == std::string::npos || dash > slash) return r;
    if (!ParseU64(Trim(v.substr(0, dash)), r.first)) return r;
    if (!ParseU64(Trim(v.substr(dash + 1, slash - dash - 1)), r.last)) return r;
    std::string total = Trim(v.substr(slash + 1));
    if (total == "*") {
        r.totalKnown = false;
    } else {
        if (!ParseU64(total, r.total)) return r;
        r.totalKnown = true;
        if (r.last >= r.total) return r;
    }
    if (r.last < r.first) return r;
    r.valid = true;
    return r;
}

bool ParseResponseHead(const char* data, size_t size, HttpResponseHead& out) {
    out = HttpResponseHead{};
    std::string text(data, size);
    size_t lineEnd = text.find("\r\n");
    if (lineEnd == std::string::npos) return false;
    std::string status = text.substr(0, lineEnd);
    if (status.size() < 12 || status.compare(0, 7, "HTTP/1.") != 0) return false;
    if (!std::isdigit(static_cast<unsigned char>(status[7])) || status[8] != ' ') return false;
    out.versionMinor = status[7] - '0';
    for (int i = 9; i < 12; ++i)
        if (!std::isdigit(static_cast<unsigned char>(status[i]))) return false;
    out.status = std::atoi(status.substr(9, 3).c_str());
    if (status.size() > 12 && status[12] != ' ') return false;

    std::vector<std::pair<std::string, std::string>> fields;
    if (!SplitFields(text, lineEnd + 2, fields)) return false;
    bool lengthConflict = false;
    for (const auto& f : fields) ApplyField(f.first, f.second, out, lengthConflict);
    // Conflicting lengths are a classic smuggling and truncation hazard.
    if (lengthConflict) return false;
    if (out.chunked) out.hasContentLength = false;
    return true;
}

long long RetryAfterSeconds(const std::string& raw, long long nowUnix) {
    std::string v = Trim(raw);
    uint64_t secs = 0;
    if (ParseU64(v, secs)) return secs > 86400 ? 86400 : static_cast<long long>(secs);
    // IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT"
    char wk[4] = {}, mon[4] = {}, zone[4] = {};
    int day = 0, year = 0, hh = 0, mm = 0, ss = 0;
    if (std::sscanf(v.c_str(), "%3s, %d %3s %d %d:%d:%d %3s", wk, &day, mon, &year, &hh, &mm, &ss,
                    zone) != 8)
        return -1;
    int month = MonthIndex(mon);
    if (month < 0 || std::strcmp(zone, "GMT") != 0 || day < 1 || day > 31 || hh > 23 || mm > 59 ||
        ss > 60)
        return -1;
    long long when =
        DaysFromCivil(year, static_cast<unsigned>(month + 1), static_cast<unsigned>(day)) * 86400 +
        hh * 3600 + mm * 60 + ss;
    long long delta = when - nowUnix;
    if (delta < 0) delta = 0;
    return delta > 86400 ? 86400 : delta;
}

}  // namespace vexa::engine

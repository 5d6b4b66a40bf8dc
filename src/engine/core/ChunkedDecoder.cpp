#include "engine/core/ChunkedDecoder.h"

#include <algorithm>

namespace vexa::engine {
namespace {

const size_t kMaxLine = 4096;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

// The size line: hex digits, then optional blanks and ";extensions". Sizes beyond 2^60
// are refused rather than wrapped.
bool ChunkedDecoder::EndSizeLine() {
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    uint64_t size = 0;
    size_t i = 0;
    for (; i < line_.size() && HexValue(line_[i]) >= 0; ++i) {
        if (size >> 60) return false;
        size = size * 16 + static_cast<uint64_t>(HexValue(line_[i]));
    }
    if (i == 0) return false;
    while (i < line_.size() && (line_[i] == ' ' || line_[i] == '\t')) ++i;
    if (i < line_.size() && line_[i] != ';') return false;
    line_.clear();
    left_ = size;
    state_ = size == 0 ? State::Trailer : State::Data;
    return true;
}

ChunkedDecoder::Status ChunkedDecoder::Feed(const char* data, size_t size, std::vector<char>& out,
                                            size_t& consumed) {
    size_t i = 0;
    while (i < size && state_ != State::Done && state_ != State::Failed) {
        char c = data[i];
        switch (state_) {
            case State::SizeLine:
            case State::Trailer:
                ++i;
                if (c != '\n') {
                    line_.push_back(c);
                    if (line_.size() > kMaxLine) state_ = State::Failed;
                    break;
                }
                if (state_ == State::SizeLine) {
                    if (!EndSizeLine()) state_ = State::Failed;
                } else {
                    bool blank = line_.empty() || (line_.size() == 1 && line_[0] == '\r');
                    line_.clear();
                    if (blank) state_ = State::Done;
                }
                break;
            case State::Data: {
                size_t n = static_cast<size_t>(std::min<uint64_t>(left_, size - i));
                out.insert(out.end(), data + i, data + i + n);
                i += n;
                left_ -= n;
                if (left_ == 0) state_ = State::DataEnd;
                break;
            }
            case State::DataEnd:
                // CRLF after the data (a bare LF is tolerated).
                ++i;
                if (c == '\r' && line_.empty()) {
                    line_.push_back(c);
                } else if (c == '\n') {
                    line_.clear();
                    state_ = State::SizeLine;
                } else {
                    state_ = State::Failed;
                }
                break;
            default:
                break;
        }
    }
    consumed = i;
    if (state_ == State::Failed) return Status::Error;
    return state_ == State::Done ? Status::Done : Status::NeedMore;
}

}  // namespace vexa::engine

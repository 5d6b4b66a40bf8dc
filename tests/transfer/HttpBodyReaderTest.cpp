// The body loop's counting rules, driven by a scripted source.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "transfer/HttpBodyReader.h"

namespace {

// Delivers the body in reads of at most `chunk` bytes, then ends or fails.
class ScriptedSource : public IHttpBodySource {
public:
    ScriptedSource(std::string body, bool failAtEnd = false)
        : body_(std::move(body)), fail_(failAtEnd) {}
    bool Read(void* buffer, uint32_t capacity, uint32_t* received) override {
        ++calls;
        size_t left = body_.size() - offset_;
        if (left == 0 && fail_) return false;
        size_t take = left < capacity ? left : capacity;
        std::memcpy(buffer, body_.data() + offset_, take);
        offset_ += take;
        *received = static_cast<uint32_t>(take);
        return true;
    }
    int calls = 0;

private:
    std::string body_;
    size_t offset_ = 0;
    bool fail_;
};

class StringSink : public IHttpBodySink {
public:
    explicit StringSink(size_t capacity = SIZE_MAX) : capacity_(capacity) {}
    bool Write(const void* data, uint32_t size) override {
        if (stored.size() + size > capacity_) return false;
        stored.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string stored;

private:
    size_t capacity_;
};

struct Progress : IHttpBodyProgress {
    void OnBodyProgress(uint32_t received, uint32_t total) override {
        events.push_back({received, total});
    }
    std::vector<std::pair<uint32_t, uint32_t>> events;
};

HttpBodyLength Length(uint32_t bytes) { return HttpBodyLength{true, bytes}; }

}  // namespace

TEST(HttpBodyReader, FifteenReadsNotifyAfterFirstAndEleventh) {
    std::string body(14 * 1024 + 100, 'x');
    ScriptedSource source(body);
    StringSink sink;
    Progress progress;
    HttpBodyOutcome outcome = ReadHttpBody(source, &sink, Length(body.size()), &progress);
    EXPECT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.reads, 15u);
    ASSERT_EQ(progress.events.size(), 2u);
    EXPECT_EQ(progress.events[0], std::make_pair(1024u, uint32_t(body.size())));
    EXPECT_EQ(progress.events[1], std::make_pair(11u * 1024, uint32_t(body.size())));
    EXPECT_EQ(sink.stored, body);
}

TEST(HttpBodyReader, ExactMultipleOfReadSizeStopsWithoutFurtherRead) {
    std::string body(3 * 1024, 'y');
    ScriptedSource source(body);
    HttpBodyOutcome outcome = ReadHttpBody(source, nullptr, Length(body.size()), nullptr);
    EXPECT_TRUE(outcome.complete);
    EXPECT_EQ(source.calls, 3);
    EXPECT_EQ(outcome.received, body.size());
}

TEST(HttpBodyReader, WithoutLengthReadsToEndAndReportsTotalZero) {
    std::string body(2500, 'z');
    ScriptedSource source(body);
    Progress progress;
    HttpBodyOutcome outcome = ReadHttpBody(source, nullptr, HttpBodyLength{}, &progress);
    EXPECT_TRUE(outcome.complete);
    EXPECT_EQ(source.calls, 4);  // three reads with bytes, one that finds the end
    ASSERT_EQ(progress.events.size(), 1u);
    EXPECT_EQ(progress.events[0].second, 0u);
}

TEST(HttpBodyReader, BodyShorterThanLengthIsIncomplete) {
    ScriptedSource source(std::string(1500, 'a'));
    StringSink sink;
    HttpBodyOutcome outcome = ReadHttpBody(source, &sink, Length(4000), nullptr);
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(outcome.received, 1500u);
}

TEST(HttpBodyReader, ReadErrorIsIncompleteEvenWithoutLength) {
    ScriptedSource source(std::string(1500, 'a'), /*failAtEnd=*/true);
    EXPECT_FALSE(ReadHttpBody(source, nullptr, HttpBodyLength{}, nullptr).complete);
}

TEST(HttpBodyReader, WriteFailureStopsAndIsIncomplete) {
    ScriptedSource source(std::string(5000, 'b'));
    StringSink sink(2048);  // room for two reads
    HttpBodyOutcome outcome = ReadHttpBody(source, &sink, Length(5000), nullptr);
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(source.calls, 3);
    EXPECT_EQ(sink.stored.size(), 2048u);
}

TEST(HttpBodyReader, LongerBodyStopsAtAnnouncedLength) {
    ScriptedSource source(std::string(4096, 'c'));
    StringSink sink;
    HttpBodyOutcome outcome = ReadHttpBody(source, &sink, Length(1500), nullptr);
    EXPECT_TRUE(outcome.complete);
    EXPECT_EQ(source.calls, 2);
}

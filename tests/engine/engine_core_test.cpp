// The engine's portable pieces: HTTP response heads, addresses, the progress record,
// retry policy and tuning.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/EngineSettings.h"
#include "engine/core/HttpResponseHead.h"
#include "engine/core/ProgressRecord.h"
#include "engine/core/RetryPolicy.h"
#include "engine/core/TaskUrl.h"

using namespace vexa::engine;

namespace {

bool Parse(const std::string& text, HttpResponseHead& h) {
    size_t end = FindHeadEnd(text.data(), text.size());
    return end && ParseResponseHead(text.data(), end, h);
}

TEST(ResponseHead, PartialReplyWithValidators) {
    HttpResponseHead h;
    ASSERT_TRUE(
        Parse("HTTP/1.1 206 Partial Content\r\nContent-Length: 100\r\n"
              "content-range: bytes 100-199/1000\r\nETag: \"abc\"\r\n"
              "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\nBODY",
              h));
    EXPECT_EQ(206, h.status);
    EXPECT_TRUE(h.KeepAlive());
    EXPECT_EQ(100u, h.contentLength);
    ASSERT_TRUE(h.contentRange.valid);
    EXPECT_EQ(100u, h.contentRange.first);
    EXPECT_EQ(199u, h.contentRange.last);
    EXPECT_EQ(1000u, h.contentRange.total);
    EXPECT_EQ("\"abc\"", h.StrongValidator());
}

TEST(ResponseHead, WeakEtagFallsBackToLastModified) {
    HttpResponseHead h;
    ASSERT_TRUE(Parse("HTTP/1.1 200 OK\r\nETag: W/\"x\"\r\nLast-Modified: D\r\n\r\n", h));
    EXPECT_EQ("D", h.StrongValidator());
    ASSERT_TRUE(Parse("HTTP/1.1 200 OK\r\nETag: W/\"x\"\r\n\r\n", h));
    EXPECT_EQ("", h.StrongValidator());
}

TEST(ResponseHead, RejectsMalformedAndAmbiguousHeads) {
    HttpResponseHead h;
    EXPECT_FALSE(Parse("HTTP/2 200 OK\r\n\r\n", h));
    EXPECT_FALSE(Parse("HTTP/1.1 2x0 OK\r\n\r\n", h));
    EXPECT_FALSE(Parse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", h));
    EXPECT_FALSE(Parse("HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", h));
    EXPECT_FALSE(Parse("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", h));
    EXPECT_EQ(0u, FindHeadEnd("HTTP/1.1 200 OK\r\n", 17));
}

TEST(ResponseHead, FoldedLinesJoinAndStrayLinesAreIgnoredUnlessTheyTouchFraming) {
    HttpResponseHead h;
    ASSERT_TRUE(
        Parse("HTTP/1.1 206 P\r\n folded before any field\r\nETag: \"a\r\n\t b\"\r\n"
              "Content-Range: bytes 0-9/\r\n 100\r\nContent-Length: 10\r\nNoColon\r\n"
              "Bad Name: x\r\n: empty name\r\n\r\n",
              h));
    EXPECT_EQ("\"a b\"", h.etag) << "a folded line continues the value with one space";
    ASSERT_TRUE(h.contentRange.valid);
    EXPECT_EQ(100u, h.contentRange.total);
    EXPECT_EQ(10u, h.contentLength);
    // A damaged line that may be framing makes the reply unusable, and so does a length
    // that folding turned into two numbers.
    EXPECT_FALSE(Parse("HTTP/1.1 200 OK\r\nContent-Length 5\r\n\r\n", h));
    EXPECT_FALSE(Parse("HTTP/1.1 200 OK\r\nContent-Length : 5\r\n\r\n", h));
    EXPECT_FALSE(Parse("HTTP/1.1 200 OK\r\nTransfer-Encoding chunked\r\n\r\n", h));
    EXPECT_FALSE(Parse("HTTP/1.1 206 P\r\ncontent-range bytes 0-1/2\r\n\r\n", h));
    EXPECT_FALSE(Parse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n 6\r\n\r\n", h));
}

TEST(ResponseHead, ValidatorOfALaterReplyComparedLikeForLike) {
    HttpResponseHead h;
    ASSERT_TRUE(Parse("HTTP/1.1 206 P\r\nETag: \"v1\"\r\nLast-Modified: D1\r\n\r\n", h));
    EXPECT_FALSE(h.Contradicts("\"v1\""));
    EXPECT_FALSE(h.Contradicts("D1"));
    EXPECT_FALSE(h.Contradicts("")) << "nothing known yet";
    EXPECT_TRUE(h.Contradicts("\"v0\""));
    EXPECT_TRUE(h.Contradicts("D0"));
    ASSERT_TRUE(Parse("HTTP/1.1 206 P\r\nLast-Modified: D1\r\n\r\n", h));
    EXPECT_FALSE(h.Contradicts("\"v1\"")) << "no tag in this reply: no evidence";
    ASSERT_TRUE(Parse("HTTP/1.1 206 P\r\nETag: W/\"w\"\r\n\r\n", h));
    EXPECT_FALSE(h.Contradicts("\"v1\"")) << "a weak tag says nothing about the bytes";
    EXPECT_FALSE(h.Contradicts("D1"));
}

TEST(ResponseHead, ConnectionChunkedMultipartAndTwoContentRanges) {
    HttpResponseHead h;
    ASSERT_TRUE(Parse("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n", h));
    EXPECT_FALSE(h.KeepAlive());
    ASSERT_TRUE(Parse("HTTP/1.1 200 OK\r\nConnection: keep-alive, close\r\n\r\n", h));
    EXPECT_FALSE(h.KeepAlive());
    ASSERT_TRUE(
        Parse("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n"
              "Content-Length: 10\r\n\r\n",
              h));
    EXPECT_TRUE(h.chunked);
    EXPECT_FALSE(h.hasContentLength) << "chunked framing wins over a length";
    ASSERT_TRUE(
        Parse("HTTP/1.1 206 P\r\nContent-Type: multipart/byteranges; boundary=x\r\n\r\n", h));
    EXPECT_TRUE(h.multipart);
    ASSERT_TRUE(
        Parse("HTTP/1.1 206 P\r\nContent-Range: bytes 0-1/10\r\n"
              "Content-Range: bytes 0-1/10\r\n\r\n",
              h));
    EXPECT_FALSE(h.contentRange.valid);
}

TEST(ContentRangeValue, BoundsAndUnknownTotal) {
    EXPECT_TRUE(ParseContentRange("bytes 0-0/1").valid);
    EXPECT_FALSE(ParseContentRange("bytes 5-4/10").valid);
    EXPECT_FALSE(ParseContentRange("bytes 0-10/10").valid) << "last byte past the total";
    ContentRange unsatisfied = ParseContentRange("bytes */10");
    EXPECT_FALSE(unsatisfied.valid);
    EXPECT_TRUE(unsatisfied.totalKnown);
    EXPECT_EQ(10u, unsatisfied.total);
    EXPECT_FALSE(ParseContentRange("items 0-1/10").valid);
    ContentRange r = ParseContentRange("bytes 3-7/*");
    EXPECT_TRUE(r.valid);
    EXPECT_FALSE(r.totalKnown);
}

TEST(RetryAfter, SecondsAndDates) {
    EXPECT_EQ(5, RetryAfterSeconds(" 5 ", 0));
    EXPECT_EQ(86400, RetryAfterSeconds("9999999", 0)) << "capped at a day";
    // 1994-11-06 08:49:37 UTC is 784111777.
    EXPECT_EQ(3, RetryAfterSeconds("Sun, 06 Nov 1994 08:49:37 GMT", 784111774));
    EXPECT_EQ(0, RetryAfterSeconds("Sun, 06 Nov 1994 08:49:37 GMT", 784111999));
    EXPECT_EQ(-1, RetryAfterSeconds("soon", 0));
    EXPECT_EQ(-1, RetryAfterSeconds("Sun, 06 Foo 1994 08:49:37 GMT", 0));
}

TEST(Addresses, HttpUrlsAndRedirects) {
    HttpUrl u;
    ASSERT_TRUE(ParseHttpUrl("HTTP://Example.com:8080/a/b.bin?x=1#frag", u));
    EXPECT_EQ("Example.com", u.host);
    EXPECT_EQ(8080, u.port);
    EXPECT_EQ("/a/b.bin?x=1", u.target);
    EXPECT_EQ("Example.com:8080", u.HostHeader());
    ASSERT_TRUE(ParseHttpUrl("http://[::1]/x", u));
    EXPECT_EQ("::1", u.host);
    EXPECT_EQ("[::1]", u.HostHeader());
    EXPECT_FALSE(ParseHttpUrl("https://a/x", u));
    EXPECT_FALSE(ParseHttpUrl("http://a:0/x", u));
    EXPECT_FALSE(ParseHttpUrl("http://a:99999/x", u));
    EXPECT_FALSE(ParseHttpUrl("http://user@a/x", u));
    EXPECT_FALSE(ParseHttpUrl("http://a/x y", u));

    HttpUrl base, out;
    ASSERT_TRUE(ParseHttpUrl("http://h:81/dir/sub/file?q", base));
    ASSERT_TRUE(ResolveLocation(base, "/other", out));
    EXPECT_EQ("http://h:81/other", out.ToString());
    ASSERT_TRUE(ResolveLocation(base, "../up.bin", out));
    EXPECT_EQ("http://h:81/dir/up.bin", out.ToString());
    ASSERT_TRUE(ResolveLocation(base, "//mirror/x", out));
    EXPECT_EQ("http://mirror/x", out.ToString());
    EXPECT_FALSE(ResolveLocation(base, "https://secure/x", out));
}

TEST(Addresses, TaskFormSeedsAndFileNames) {
    TaskAddress a;
    ASSERT_TRUE(ParseTaskAddress("PDown://b7=1|http://h/p/game.exe|h1=ABCDEF", a));
    EXPECT_EQ("http://h/p/game.exe", a.link);
    EXPECT_EQ("abcdef", a.expectedMd5);
    ASSERT_TRUE(ParseTaskAddress("http://h/plain.bin", a));
    EXPECT_EQ("", a.expectedMd5);
    EXPECT_FALSE(ParseTaskAddress("PDown://b7=1|ftp://h/x|h1=00", a));
    EXPECT_FALSE(ParseTaskAddress("", a));
    EXPECT_EQ("game.exe", FileNameOfLink("http://h/p/game.exe?sig=1"));

    auto seeds = SplitSeedList(" http://s1/files/ | http://s2:81/m;junk ;\thttp://s3 ");
    ASSERT_EQ(3u, seeds.size());
    EXPECT_EQ("http://s2:81/m", seeds[1]);
    EXPECT_EQ("http://s1/files/game.exe", SeedFileUrl(seeds[0], "game.exe"));
    EXPECT_EQ("http://s3/game.exe", SeedFileUrl(seeds[2], "game.exe"));
    EXPECT_TRUE(SplitSeedList("").empty());
}

TEST(ProgressRecordFormat, RoundTripAndDamageDetection) {
    ProgressRecord r;
    r.blockSize = 65536;
    r.totalSize = 65536 * 20 + 5;  // 21 blocks, the last one short
    r.validator = "\"v1\"";
    r.link = "http://h/f.bin";
    r.doneBits.assign(3, 0);
    r.SetDone(0);
    r.SetDone(20);
    EXPECT_EQ(65536u + 5u, r.DoneBytes());
    std::vector<uint8_t> bytes = SerializeRecord(r);

    ProgressRecord back;
    ASSERT_TRUE(ParseRecord(bytes.data(), bytes.size(), back));
    EXPECT_EQ(r.totalSize, back.totalSize);
    EXPECT_EQ(r.validator, back.validator);
    EXPECT_EQ(r.link, back.link);
    EXPECT_TRUE(back.IsDone(20));
    EXPECT_FALSE(back.IsDone(19));

    for (size_t i = 0; i < bytes.size(); ++i) {
        std::vector<uint8_t> damaged = bytes;
        damaged[i] ^= 0x40;
        EXPECT_FALSE(ParseRecord(damaged.data(), damaged.size(), back)) << "byte " << i;
    }
    EXPECT_FALSE(ParseRecord(bytes.data(), bytes.size() - 1, back)) << "torn write";
    EXPECT_FALSE(ParseRecord(bytes.data(), 10, back));
}

TEST(Retry, BackoffGrowsWithJitterAndCaps) {
    RetrySettings s;
    EXPECT_GE(BackoffDelayMs(1, 0, s), 250u);
    EXPECT_LE(BackoffDelayMs(1, 0xFFFFFFFF, s), 500u);
    EXPECT_GE(BackoffDelayMs(3, 0, s), 1000u);
    EXPECT_LE(BackoffDelayMs(40, 12345, s), s.maxDelayMs);
    EXPECT_NE(BackoffDelayMs(4, 1, s), BackoffDelayMs(4, 2, s));
}

TEST(Retry, SourceHealthThrottlesDropsAndRecovers) {
    RetrySettings s;
    s.maxConsecutiveFailures = 3;
    SourceHealth h(4, s);
    h.OnFailure(FailureKind::Throttled, 1000, 7, 0, h.Round());
    EXPECT_EQ(3, h.ConnectionLimit()) << "an overloaded server gets fewer connections";
    EXPECT_FALSE(h.ReadyAt(7999));
    EXPECT_TRUE(h.ReadyAt(8000)) << "Retry-After is honoured";
    h.OnProgress();
    h.OnFailure(FailureKind::Transient, 0, -1, 0, h.Round());
    h.OnFailure(FailureKind::Transient, 0, -1, 0, h.Round());
    EXPECT_FALSE(h.Dropped());
    h.OnFailure(FailureKind::Transient, 0, -1, 0, h.Round());
    EXPECT_TRUE(h.Dropped());
    SourceHealth outage(4, s);
    for (int i = 0; i < 100; ++i)
        outage.OnFailure(FailureKind::Transport, 0, -1, 0xFFFFFFFF, outage.Round());
    EXPECT_FALSE(outage.Dropped()) << "an outage never gives a source up";
    EXPECT_LE(outage.NotBeforeMs(), s.transportMaxDelayMs) << "and it is tried again soon";
    outage.OnFailure(FailureKind::Transient, 0, -1, 0, outage.Round());
    outage.OnFailure(FailureKind::Transient, 0, -1, 0, outage.Round());
    outage.OnFailure(FailureKind::Refused, 0, -1, 0, outage.Round());
    EXPECT_FALSE(outage.Dropped()) << "network failures do not join a run of bad answers";
    EXPECT_EQ(3, outage.ConnectionLimit()) << "a refusal asks for fewer connections";
    SourceHealth fatal(4, s);
    fatal.OnFailure(FailureKind::Fatal, 0, -1, 0, fatal.Round());
    EXPECT_TRUE(fatal.Dropped());
    EXPECT_FALSE(fatal.ReadyAt(1u << 30));
}

TEST(Tuning, AppliesKnownPairsOnly) {
    EngineSettings s;
    EXPECT_EQ(3, ApplyTuning("connections=2;stall_ms=500;bogus=1;piece=65536;total=x", s));
    EXPECT_EQ(2, s.governor.start);
    EXPECT_EQ(500u, s.stallTimeoutMs);
    EXPECT_EQ(65536u, s.planner.minPiece);
    EXPECT_EQ(32, s.totalConnections);
    EXPECT_EQ(2, ApplyTuning("adaptive=0;max_connections=8;adaptive=2", s));
    EXPECT_FALSE(s.governor.adaptive);
    EXPECT_EQ(8, s.governor.maxPerServer);
    EXPECT_EQ(0, ApplyTuning("connections=0;dup_share=0.9", s));
    EXPECT_EQ(1ull << 40, s.maxFileSize);
    EXPECT_EQ(1, ApplyTuning("max_size=0;max_size=4194304", s));
    EXPECT_EQ(4194304u, s.maxFileSize);
}

}  // namespace

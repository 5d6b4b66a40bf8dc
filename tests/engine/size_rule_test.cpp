// What a reply says about the file's size, against sizes no real file has.
#include <gtest/gtest.h>

#include <string>

#include "engine/core/SizeRule.h"

using namespace vexa::engine;

namespace {

const uint64_t kCap = 1ull << 40;

FirstReplyPlan PlanOf(const std::string& head) {
    HttpResponseHead parsed;
    std::string text = head + "\r\n\r\n";
    EXPECT_TRUE(ParseResponseHead(text.data(), text.size(), parsed)) << head;
    return PlanFirstReply(parsed, kCap);
}

}  // namespace

// Heads as servers send them, through the parser: sizes past 2^32 are planned, sizes near
// 2^63 and 2^64 refused before anything is allocated for them.
TEST(SizeRule, TheFirstReplySizesTheFileWithinTheCap) {
    struct Case {
        const char* head;
        FirstReplyKind kind;
        uint64_t total, body;
    } cases[] = {
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-1048575/6000000000", FirstReplyKind::Ranged,
         6000000000ull, 1048576},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-99/1099511627776", FirstReplyKind::Ranged,
         kCap, 100},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-99/1099511627777", FirstReplyKind::TooLarge},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-1048575/9223372036854775808",
         FirstReplyKind::TooLarge},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-1048575/18446744073709551615",
         FirstReplyKind::TooLarge},
        // A range that ends past the total it names, or a total past 2^64: no range at all.
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-18446744073709551615/18446744073709551615",
         FirstReplyKind::Unusable},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-9/18446744073709551616",
         FirstReplyKind::Unusable},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-9/100\r\nTransfer-Encoding: chunked",
         FirstReplyKind::Unusable},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 1-9/100", FirstReplyKind::Unusable},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-9/100\r\nContent-Length: 9",
         FirstReplyKind::Unusable},
        {"HTTP/1.1 200 OK\r\nContent-Length: 4294967296", FirstReplyKind::Whole, 1ull << 32,
         1ull << 32},
        {"HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807", FirstReplyKind::TooLarge},
        {"HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551615", FirstReplyKind::TooLarge},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked", FirstReplyKind::Chunked},
        {"HTTP/1.1 200 OK\r\nConnection: close", FirstReplyKind::NoLength},
    };
    for (const Case& c : cases) {
        FirstReplyPlan plan = PlanOf(c.head);
        EXPECT_EQ(plan.kind, c.kind) << c.head;
        if (c.kind != FirstReplyKind::Ranged && c.kind != FirstReplyKind::Whole) continue;
        EXPECT_EQ(plan.total, c.total) << c.head;
        EXPECT_EQ(plan.bodyLength, c.body) << c.head;
    }
}

TEST(SizeRule, LengthsPast2To64AreNoLengthAtAll) {
    HttpResponseHead head;
    for (const char* text : {"HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551616\r\n\r\n",
                             "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n",
                             "HTTP/1.1 200 OK\r\nContent-Length: 184467440737095516150\r\n\r\n"}) {
        EXPECT_FALSE(ParseResponseHead(text, std::char_traits<char>::length(text), head)) << text;
    }
    ContentRange unsatisfiable = ParseContentRange("bytes */18446744073709551615");
    EXPECT_TRUE(unsatisfiable.totalKnown);
    EXPECT_EQ(unsatisfiable.total, UINT64_MAX);
    EXPECT_FALSE(ParseContentRange("bytes */18446744073709551616").totalKnown);
}

TEST(SizeRule, AStreamEndsAtTheCapWithoutWrapping) {
    EXPECT_TRUE(FitsFileCap(0, kCap, kCap));
    EXPECT_TRUE(FitsFileCap(kCap, 0, kCap));
    EXPECT_FALSE(FitsFileCap(kCap, 1, kCap));
    EXPECT_FALSE(FitsFileCap(kCap - 10, 11, kCap));
    EXPECT_FALSE(FitsFileCap(UINT64_MAX, 2, kCap));  // would wrap to 1
    EXPECT_FALSE(FitsFileCap(1, UINT64_MAX, kCap));
    EXPECT_FALSE(FitsFileCap(kCap + 1, 0, kCap));
}

TEST(SizeRule, AnUnsatisfiableRangeIsJudgedAgainstThePlan) {
    ReplyContext planned;
    planned.planned = true;
    planned.knownTotal = 1000;
    ContentRange same = ParseContentRange("bytes */1000");
    ContentRange other = ParseContentRange("bytes */18446744073709551615");
    ContentRange empty = ParseContentRange("bytes */0");
    EXPECT_EQ(JudgeUnsatisfiable(same, planned, true), UnsatisfiableAction::Complete);
    EXPECT_EQ(JudgeUnsatisfiable(same, planned, false), UnsatisfiableAction::Fail);
    EXPECT_EQ(JudgeUnsatisfiable(other, planned, false), UnsatisfiableAction::OtherFile);
    EXPECT_EQ(JudgeUnsatisfiable(ContentRange{}, planned, false), UnsatisfiableAction::Fail);
    ReplyContext first;
    first.firstReply = true;
    EXPECT_EQ(JudgeUnsatisfiable(empty, first, false), UnsatisfiableAction::EmptyFile);
    EXPECT_EQ(JudgeUnsatisfiable(other, first, false), UnsatisfiableAction::Fail);
    ReplyContext stale = planned;
    stale.startedOver = true;
    EXPECT_EQ(JudgeUnsatisfiable(same, stale, true), UnsatisfiableAction::Fail);
    EXPECT_EQ(JudgeUnsatisfiable(other, stale, false), UnsatisfiableAction::Fail);
}

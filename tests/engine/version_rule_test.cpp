// Which version of the file a reply carries, for the origin and for a seed.
#include <gtest/gtest.h>

#include "engine/core/VersionRule.h"

using namespace vexa::engine;

namespace {

HttpResponseHead Reply(int status, const char* etag, const char* lastModified = "") {
    HttpResponseHead head;
    head.status = status;
    head.etag = etag;
    head.lastModified = lastModified;
    return head;
}

}  // namespace

TEST(VersionRule, TheOriginsOtherVersionStartsOverOnceThePlanStands) {
    const std::string held = "\"v1\"";
    EXPECT_EQ(JudgeVersion(Reply(206, "\"v2\""), true, held, true).action,
              VersionAction::RestartOrigin);
    EXPECT_EQ(JudgeVersion(Reply(200, "\"v2\""), true, held, false).action, VersionAction::Same)
        << "the first reply of a fresh start sets the version";
    EXPECT_EQ(JudgeVersion(Reply(206, ""), true, held, true).action, VersionAction::Same)
        << "a reply without a tag proves nothing";
    EXPECT_EQ(JudgeVersion(Reply(206, "\"v2\""), true, "", true).action, VersionAction::Same);
    EXPECT_EQ(JudgeVersion(Reply(416, "\"v2\""), true, held, true).action, VersionAction::Same)
        << "only the file's bytes name a version";
}

TEST(VersionRule, OnlyTheOriginsPartialRepliesShowTheyCarryTheValidator) {
    const std::string date = "Sun, 06 Nov 1994 08:49:37 GMT";
    EXPECT_TRUE(JudgeVersion(Reply(206, "\"v1\""), true, "\"v1\"", true).validatorInHead);
    EXPECT_TRUE(JudgeVersion(Reply(206, "W/\"w\"", date.c_str()), true, date, true).validatorInHead);
    EXPECT_FALSE(JudgeVersion(Reply(200, "\"v1\""), true, "\"v1\"", true).validatorInHead);
    EXPECT_FALSE(JudgeVersion(Reply(206, ""), true, "\"v1\"", true).validatorInHead);
    EXPECT_FALSE(JudgeVersion(Reply(206, "\"v1\""), false, "\"v1\"", true).validatorInHead);
}

TEST(VersionRule, ASeedKeepsTheVersionItFirstShowed) {
    VersionVerdict first = JudgeVersion(Reply(206, "\"s1\""), false, "", true);
    EXPECT_EQ(first.action, VersionAction::Same);
    EXPECT_EQ(first.seedValidator, "\"s1\"");
    EXPECT_EQ(JudgeVersion(Reply(404, "\"x\""), false, "", true).seedValidator, "");
    EXPECT_EQ(JudgeVersion(Reply(206, "\"s1\""), false, "\"s1\"", true).seedValidator, "");
    EXPECT_EQ(JudgeVersion(Reply(206, "\"s2\""), false, "\"s1\"", true).action,
              VersionAction::DropSeed);
    EXPECT_EQ(JudgeVersion(Reply(206, "\"s2\""), false, "\"s1\"", false).action,
              VersionAction::DropSeed);
}

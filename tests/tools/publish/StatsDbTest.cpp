// The statistics log in its SQLite file: what is counted where, and loads that only add.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "StatsDb.h"

using publish::CStatsDb;
using publish::LoadResult;
using publish::Median;
using publish::ParseIsoTime;
using publish::StatsRow;

namespace {

std::string Line(const std::string& time, const std::string& report, const std::string& query) {
    return time + "\t10.0.0.1\t/ClientApp/" + report + "/\t" + query + "\n";
}

std::string Start(const std::string& time, const std::string& mid, const std::string& ver = "1.0",
                  const std::string& name = "{P}") {
    return Line(time, "statLogMuldownUrl",
                "name=" + name + "&from=0&mid=" + mid + "&ver=" + ver + "&");
}

std::string Done(const std::string& time, const std::string& mid, const std::string& ver = "1.0",
                 const std::string& name = "{P}") {
    return Line(time, "statLogMuldownMd5",
                "name=" + name + "&from=1&mid=" + mid + "&ver=" + ver + "&md5=a,b");
}

class StatsDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ =
            std::filesystem::temp_directory_path() /
            ("vexa-statsdb-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        log_ = (folder_ / "stats.log").string();
        std::string error;
        ASSERT_TRUE(db_.Open((folder_ / "stats.sqlite").string(), &error)) << error;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void Write(const std::string& text, bool append = true) {
        std::ofstream(log_, append ? std::ios::app | std::ios::binary : std::ios::binary) << text;
    }
    LoadResult Load() {
        LoadResult result;
        std::string error;
        EXPECT_TRUE(db_.Load(log_, &result, &error)) << error;
        return result;
    }
    std::vector<StatsRow> Rows() {
        std::vector<StatsRow> rows;
        std::string error;
        EXPECT_TRUE(db_.Query(&rows, &error)) << error;
        return rows;
    }

    std::filesystem::path folder_;
    std::string log_;
    CStatsDb db_;
};

TEST_F(StatsDbTest, CountsByDayAndVersionAndPairsEachCompletionWithItsCopysLastStart) {
    const std::string d1 = "2026-12-01T10:00:00+08:00", d1b = "2026-12-01T10:10:00+08:00";
    Write(Line(d1, "statLogQuilletMuldownUrl", "name={P}&from=0&mid=m1&ver=1.0&") +
          Start(d1, "m1") + Start("2026-12-01T10:05:00+08:00", "m1") + Done(d1b, "m1") +
          Start(d1, "m2") + Done("2026-12-01T10:20:00+08:00", "m2") +
          Start(d1, "m3", "1.0", "{Q}") +  // another package: no pair for m3 of {P}
          Done(d1b, "m3") +                // completion without a start of its own
          Done(d1b, "") + Start(d1, "") +  // no client id: counted, never paired
          Start("2026-12-02T00:30:00+08:00", "m1", "1.1") +  // the next day, another version
          "2026-12-01T10:00:00+08:00\t10.0.0.1\t/favicon.ico\t-\n");
    const LoadResult loaded = Load();
    EXPECT_EQ(loaded.lines, 12u);
    EXPECT_EQ(loaded.reports, 11u);
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    const StatsRow& p = rows[0];
    EXPECT_EQ(p.package + p.day + p.version, "{P}2026-12-011.0");
    EXPECT_EQ(p.copiesStarted, 4u);  // m1, m2, m3 and the copy without an id
    EXPECT_EQ(p.downloadsStarted, 4u);
    EXPECT_EQ(p.downloadsCompleted, 4u);
    EXPECT_EQ(p.companionOffers, 1u);
    EXPECT_DOUBLE_EQ(p.CompletionRate(), 1.0);
    EXPECT_DOUBLE_EQ(p.medianDownloadSeconds, (300.0 + 1200.0) / 2);  // m1 from its 2nd start
    EXPECT_EQ(rows[1].day + rows[1].version, "2026-12-021.1");
    EXPECT_EQ(rows[1].medianDownloadSeconds, -1);
    EXPECT_EQ(rows[1].CompletionRate(), 0.0);
    EXPECT_EQ(rows[2].package, "{Q}");
    EXPECT_EQ(rows[2].CompletionRate(), 0.0);
}

TEST_F(StatsDbTest, LoadsOnlyWhatWasAddedAndReadsAReplacedLogAfresh) {
    Write(Start("2026-12-01T10:00:00Z", "m1") + "2026-12-01T10:00:01Z\t10.0.0.1\t/ClientApp/st");
    EXPECT_EQ(Load().reports, 1u);  // the line still being written waits
    Write("atLogMuldownUrl/\tname={P}&mid=m2&ver=1.0&\n");
    EXPECT_EQ(Load().reports, 1u);
    EXPECT_EQ(Load().reports, 0u);
    EXPECT_EQ(Rows()[0].downloadsStarted, 2u);

    Write(Start("2026-12-01T11:00:00Z", "m3"), false);  // rotated: a new log, the old rows stay
    const LoadResult fresh = Load();
    EXPECT_TRUE(fresh.restarted);
    EXPECT_EQ(fresh.reports, 1u);
    EXPECT_EQ(Rows()[0].downloadsStarted, 3u);
}

TEST(StatsDbRules, TimesAndMedians) {
    struct Case {
        const char* text;
        bool ok;
        int64_t seconds;
    } const cases[] = {
        {"1970-01-01T00:00:00+00:00", true, 0},
        {"2026-12-08T08:00:00+08:00", true, 1796688000},
        {"2026-12-08T00:00:00Z", true, 1796688000},
        {"2026-12-07T19:00:00-05:00", true, 1796688000},
        {"2024-02-29T12:00:00", true, 1709208000},
        {"2026-13-01T00:00:00Z", false, 0},
        {"2026-12-08 00:00:00Z", false, 0},
        {"2026-12-08T00:00:00+8", false, 0},
        {"-", false, 0},
    };
    for (const Case& c : cases) {
        int64_t seconds = 0;
        EXPECT_EQ(ParseIsoTime(c.text, &seconds), c.ok) << c.text;
        if (c.ok) EXPECT_EQ(seconds, c.seconds) << c.text;
    }
    EXPECT_EQ(Median({}), -1);
    EXPECT_EQ(Median({7}), 7);
    EXPECT_EQ(Median({9, 1, 5}), 5);
    EXPECT_EQ(Median({10, 1, 4, 2}), 3);
}

}  // namespace

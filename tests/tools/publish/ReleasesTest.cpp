// A package's releases in a web root: which one is live, what a rollback and a prune choose,
// and which addresses a new release may not take.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Releases.h"

using publish::CReleaseStore;
using publish::ParseManifest;
using publish::ReleaseFile;
using publish::ReleaseInfo;

namespace fs = std::filesystem;

namespace {

class ReleasesTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("vexa-releases-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "in");
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string Given(const std::string& name, const std::string& bytes) {
        const std::string path = (root_ / "in" / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    ReleaseFile File(const std::string& urlPath, const std::string& source, const char* md5) {
        return ReleaseFile{urlPath, source, fs::file_size(source), md5};
    }
    void Release(CReleaseStore& store, const std::string& name, const std::string& document,
                 const std::vector<ReleaseFile>& files) {
        std::string error;
        ASSERT_TRUE(store.Build(name, Given(name + ".html", document), files, &error)) << error;
        ASSERT_TRUE(store.GoLive(name, &error)) << error;
    }
    std::string Live(const CReleaseStore& store) {
        for (const ReleaseInfo& release : store.List())
            if (release.live) return release.name;
        return "";
    }
    std::string Served(const std::string& urlPath) {
        std::ifstream in(root_.string() + "/www" + urlPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path root_;
};

TEST_F(ReleasesTest, RollbackAndPruneFollowTheLiveRelease) {
    CReleaseStore store(root_.string() + "/www", "{P}");
    const std::string skin = Given("skin.png", "skin");
    Release(store, "r1", "doc 1",
            {File("/g/r1/a.bin", Given("a1", "one"), "m1"), File("/skin.png", skin, "ms")});
    Release(store, "r2", "doc 2",
            {File("/g/r2/a.bin", Given("a2", "two"), "m2"), File("/skin.png", skin, "ms")});
    Release(store, "r3", "doc 3",
            {File("/g/r3/a.bin", Given("a3", "three"), "m3"), File("/skin.png", skin, "ms")});
    EXPECT_EQ(Live(store), "r3");
    EXPECT_EQ(Served("/publish/tool/muldown/{P}.html"), "doc 3");

    std::string madeLive, error;
    ASSERT_TRUE(store.Rollback("", &madeLive, &error)) << error;
    EXPECT_EQ(madeLive, "r2");
    EXPECT_EQ(Served("/publish/tool/muldown/{P}.html"), "doc 2");
    ASSERT_TRUE(store.Rollback("", &madeLive, &error));
    ASSERT_FALSE(store.Rollback("", &madeLive, &error));  // r1 is the oldest
    EXPECT_EQ(Live(store), "r1");

    // The live r1 and the newest r3 stay; r2's own file goes, the shared skin does not.
    std::vector<std::string> removed;
    ASSERT_TRUE(store.Prune(1, &removed, &error)) << error;
    EXPECT_EQ(removed, std::vector<std::string>{"r2"});
    EXPECT_FALSE(fs::exists(root_ / "www/g/r2/a.bin"));
    EXPECT_EQ(Served("/g/r1/a.bin"), "one");
    EXPECT_EQ(Served("/g/r3/a.bin"), "three");
    EXPECT_EQ(Served("/skin.png"), "skin");

    // A live document that is none of the releases: prune keeps everything.
    std::ofstream(root_.string() + "/www/publish/tool/muldown/{P}.html") << "by hand";
    EXPECT_EQ(Live(store), "");
    EXPECT_FALSE(store.Prune(0, &removed, &error));
    EXPECT_EQ(store.List().size(), 2u);
}

TEST_F(ReleasesTest, AnAddressKeepsItsBytesAcrossReleasesAndPackages) {
    const std::string www = root_.string() + "/www";
    CReleaseStore store(www, "{P}");
    const std::string a = Given("a.bin", "same");
    Release(store, "r1", "doc", {File("/g/a.bin", a, "m")});
    EXPECT_TRUE(CReleaseStore::Conflicts(www, {File("/g/a.bin", a, "m")}).empty());
    EXPECT_TRUE(
        CReleaseStore::Conflicts(www, {File("/g/a.bin", Given("copy", "same"), "m")}).empty());
    const auto other = CReleaseStore::Conflicts(www, {File("/g/a.bin", Given("b", "else"), "m")});
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0].packageId + " " + other[0].release, "{P} r1");
    EXPECT_EQ(CReleaseStore::Conflicts(www, {File("/g/a.bin", a, "other md5")}).size(), 1u);
    EXPECT_TRUE(CReleaseStore::Conflicts(www, {File("/g/new.bin", Given("c", "x"), "m")}).empty());

    // A name in use, or one that would leave the store, is refused before anything is made.
    std::string error;
    EXPECT_FALSE(store.Build("r1", a, {}, &error));
    EXPECT_FALSE(store.Build("../r9", a, {}, &error));
    EXPECT_FALSE(fs::exists(root_ / "www/.releases/r9"));
    for (const char* id : {"", ".", "..", "../x", "a/b", "a\\b"})
        EXPECT_FALSE(CReleaseStore::ValidPackageId(id)) << id;
    EXPECT_TRUE(CReleaseStore::ValidPackageId("{CBF64884-192F-484C-8741-9223167E5D6B}"));
}

TEST(ReleaseManifest, ReadsBackWhatItWroteAndRefusesTheRest) {
    ReleaseInfo info;
    info.name = "2026-12-07";
    info.sequence = 4;
    info.staged = "2026-12-07T10:00:00Z";
    info.files = {{"/g/数据 1.bin", "", 7, "abc"}, {"/skin.png", "", 0, ""}};
    ReleaseInfo back;
    ASSERT_TRUE(ParseManifest(publish::ManifestText(info), &back));
    EXPECT_EQ(back.name + back.staged, info.name + info.staged);
    EXPECT_EQ(back.sequence, 4u);
    ASSERT_EQ(back.files.size(), 2u);
    EXPECT_EQ(back.files[0].urlPath, "/g/数据 1.bin");
    EXPECT_EQ(back.files[0].size, 7u);
    EXPECT_EQ(back.files[1].md5, "");
    for (const char* broken :
         {"", "vexa-release 2\nname\tx\nsequence\t1\n", "vexa-release 1\nname\tx\n",
          "vexa-release 1\nsequence\t1\n", "vexa-release 1\nname\tx\nsequence\t1\nfile\t1\tm\n"}) {
        ReleaseInfo ignored;
        EXPECT_FALSE(ParseManifest(broken, &ignored)) << broken;
    }
}

}  // namespace

// The torrents the kit publishes beside package files, and `check`'s judgement of one
// against the file's tail.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include <libtorrent/announce_entry.hpp>
#include <libtorrent/torrent_info.hpp>

#include "TorrentCheck.h"
#include "TorrentMaker.h"

namespace {

namespace fs = std::filesystem;
using publish::CTorrentCheck;

const char kLink[] = "http://dl.example.com/games/game.bin";
const char kSeed[] = "http://seed.example.net/mirror/game.bin";

class TorrentFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vexa-torrent-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        path_ = (dir_ / "game.bin").string();
        std::mt19937 random(7);
        bytes_.resize(3 * 256 * 1024 + 12345);
        for (char& c : bytes_) c = static_cast<char>(random());
        std::ofstream(path_, std::ios::binary).write(bytes_.data(), static_cast<long>(bytes_.size()));
    }
    void TearDown() override { fs::remove_all(dir_); }

    publish::TorrentResult Make(const std::string& tracker = "http://t.example.com:6969/announce") {
        publish::TorrentRequest request;
        request.file = path_;
        request.webSeeds = {kLink, kSeed};
        request.tracker = tracker;
        return publish::MakeTorrent(request);
    }

    // Feeds the check the file from `first` on, in uneven slices as a network would.
    std::string CheckTail(CTorrentCheck& check, const std::string& bytes, uint64_t first) {
        check.BeginTail(first);
        for (size_t at = first; at < bytes.size();) {
            const size_t n = std::min<size_t>(bytes.size() - at, 70001);
            check.Update(bytes.data() + at, n);
            at += n;
        }
        return check.FinishTail();
    }

    fs::path dir_;
    std::string path_;
    std::string bytes_;
};

TEST_F(TorrentFile, HybridSingleFileWithWebSeedsAndTrackerAndTheSameBytesEachTime) {
    const publish::TorrentResult made = Make();
    ASSERT_TRUE(made.error.empty()) << made.error;
    EXPECT_EQ(made.bytes, Make().bytes);
    lt::torrent_info info(made.bytes, lt::from_span);
    EXPECT_TRUE(info.info_hashes().has_v1());
    EXPECT_TRUE(info.info_hashes().has_v2());
    ASSERT_EQ(1, info.num_files());
    EXPECT_EQ("game.bin", info.files().file_path(lt::file_index_t(0)));
    EXPECT_EQ(static_cast<int64_t>(bytes_.size()), info.total_size());
    EXPECT_EQ(256 * 1024, info.piece_length());
    ASSERT_EQ(2u, info.web_seeds().size());
    EXPECT_EQ(kLink, info.web_seeds()[0].url);
    EXPECT_EQ(kSeed, info.web_seeds()[1].url);
    ASSERT_EQ(1u, info.trackers().size());
    EXPECT_EQ("http://t.example.com:6969/announce", info.trackers()[0].url);
    EXPECT_EQ(0, info.creation_date());
    EXPECT_TRUE(Make("").error.empty());
}

TEST_F(TorrentFile, CheckPassesTheRealTailAndFindsAFlippedByteInAWholePiece) {
    const publish::TorrentResult made = Make();
    CTorrentCheck check;
    ASSERT_EQ("", check.Load(made.bytes, bytes_.size(), kLink));
    EXPECT_EQ("", CheckTail(check, bytes_, 100000));  // from inside the first piece
    EXPECT_EQ(3, check.PiecesChecked());               // two whole pieces and the short last

    std::string flipped = bytes_;
    flipped[2 * 256 * 1024 + 5] ^= 1;
    EXPECT_EQ("piece 2 does not match its hash", CheckTail(check, flipped, 100000));
    flipped = bytes_;
    flipped[bytes_.size() - 1] ^= 0x80;
    EXPECT_EQ("piece 3 does not match its hash", CheckTail(check, flipped, 0));
}

TEST_F(TorrentFile, CheckRefusesATorrentOfAnotherFileOrWithoutTheLink) {
    const publish::TorrentResult made = Make();
    CTorrentCheck check;
    EXPECT_NE("", check.Load(made.bytes, bytes_.size() + 1, kLink));
    EXPECT_EQ("the link is not among its web seeds",
              check.Load(made.bytes, bytes_.size(), "http://other.example.com/game.bin"));
    EXPECT_NE("", check.Load("d4:infoe", bytes_.size(), kLink));
    EXPECT_NE("", check.Load(made.bytes.substr(0, made.bytes.size() / 2), bytes_.size(), kLink));
}

TEST(TorrentPieceSize, SmallPiecesForSmallFilesAndAShortListForLargeOnes) {
    EXPECT_EQ(256 * 1024, publish::TorrentPieceSize(1));
    EXPECT_EQ(256 * 1024, publish::TorrentPieceSize(512ull << 20));
    EXPECT_EQ(512 * 1024, publish::TorrentPieceSize((512ull << 20) + 1));
    EXPECT_EQ(4 << 20, publish::TorrentPieceSize(1ull << 40));
}

}  // namespace

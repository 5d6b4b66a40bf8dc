#pragma once
// Judges a published torrent against the package file it describes, the way the engine will
// meet it: one file of the listed size, the link among its web seeds, and the pieces of the
// file's tail (which `check` fetches anyway) matching their SHA-1 hashes.

#include <cstdint>
#include <memory>
#include <string>

#include <libtorrent/fwd.hpp>
#include <libtorrent/units.hpp>

namespace publish {

class CTorrentCheck {
public:
    CTorrentCheck();
    ~CTorrentCheck();
    // Empty when the torrent reads and fits the file; else why not.
    std::string Load(const std::string& bytes, uint64_t listedSize, const std::string& link);
    // The file's bytes from `first` to its end, in order.
    void BeginTail(uint64_t first);
    void Update(const char* data, size_t size);
    // Empty when every whole piece of the tail matched; else the first that did not.
    std::string FinishTail();
    int PiecesChecked() const { return checked_; }

private:
    void CheckPiece(lt::piece_index_t index);

    std::shared_ptr<lt::torrent_info> info_;
    uint64_t offset_ = 0;  // of the next byte Update gets
    std::string piece_;    // the bytes of the piece under way
    int checked_ = 0;
    std::string problem_;
};

}  // namespace publish

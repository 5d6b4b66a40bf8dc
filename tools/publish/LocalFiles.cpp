#include "LocalFiles.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

#include "base/TextCodec.h"
#include "transfer/Fingerprint.h"
#ifdef _WIN32
#include "transfer/FileIntegrity.h"
#endif

namespace fs = std::filesystem;

namespace publish {

fs::path PathOf(const std::string& utf8) {
#ifdef _WIN32
    return fs::path(WideFromUtf8(utf8));
#else
    return fs::path(utf8);
#endif
}

std::string Utf8Of(const fs::path& path) {
#ifdef _WIN32
    return Utf8FromWide(path.wstring());
#else
    return path.string();
#endif
}

bool FingerprintLocalFile(const std::string& path, Md5Bytes* digest) {
#ifdef _WIN32
    // The program's own check, byte for byte.
    return FileFingerprint(PathOf(path).wstring().c_str(), digest);
#else
    digest->fill(0);
    std::error_code error;
    const uintmax_t size = fs::file_size(PathOf(path), error);
    if (error) return false;
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in) return false;
    CFingerprintHasher hasher(size);
    in.seekg(static_cast<std::streamoff>(hasher.Span().offset));
    std::vector<char> chunk(1 << 20);
    uint64_t left = hasher.Span().length;
    while (left > 0 && in) {
        const size_t want = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
        in.read(chunk.data(), static_cast<std::streamsize>(want));
        const auto got = static_cast<size_t>(in.gcount());
        if (got == 0) break;
        hasher.Update(chunk.data(), got);
        left -= got;
    }
    return hasher.Final(digest);
#endif
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
    const fs::path target = PathOf(path);
    fs::path temporary = target;
    temporary += ".writing";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temporary);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) fs::remove(temporary, error);
    return !error;
}

bool PlaceFile(const std::string& source, const std::string& target, std::string* error) {
    std::error_code code;
    const fs::path to = PathOf(target);
    fs::create_directories(to.parent_path(), code);
    fs::remove(to, code);
    fs::create_hard_link(PathOf(source), to, code);
    if (!code) return true;
    fs::copy_file(PathOf(source), to, fs::copy_options::overwrite_existing, code);
    if (code && error) *error = code.message();
    return !code;
}

}  // namespace publish

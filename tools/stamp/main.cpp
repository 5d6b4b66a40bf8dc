// vexa_stamp: makes the copy of the program for one package.
//
//   vexa_stamp --in VexaYoral.exe --out Game.exe --id {GUID}
//              [--config-server HOST[:PORT]] [--stats-server HOST[:PORT]]
//              [--home-page URL] [--feedback-page URL] [--version A.B.C.D]
//              [--publisher-key ed25519:HEX [--publisher-key ed25519:HEX]]
//   vexa_stamp --show FILE
//
// The output is written to a temporary file first and renamed into place, so an
// interrupted or refused stamp never leaves a half-written program behind.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "Stamp.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: vexa_stamp --in PROGRAM --out COPY --id PACKAGE_ID\n"
                 "                  [--config-server HOST[:PORT]] [--stats-server HOST[:PORT]]\n"
                 "                  [--home-page URL] [--feedback-page URL] [--version A.B.C.D]\n"
                 "                  [--publisher-key ed25519:HEX]... (at most two)\n"
                 "       vexa_stamp --show PROGRAM\n");
    return 2;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Reads and parses the program at path; says why on stderr when it cannot.
bool LoadProgram(const std::string& path, stamp::PeImage* image) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(path, &bytes)) {
        std::fprintf(stderr, "vexa_stamp: cannot read %s\n", path.c_str());
        return false;
    }
    std::string error;
    if (!image->Load(std::move(bytes), &error)) {
        std::fprintf(stderr, "vexa_stamp: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string temporary = path + ".stamping";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temporary.c_str());
            return false;
        }
    }
    std::remove(path.c_str());  // rename() does not replace on every platform
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

int Show(const std::string& path) {
    stamp::PeImage image;
    if (!LoadProgram(path, &image)) return 1;
    stamp::StampInfo info;
    std::string error;
    if (!stamp::ReadStamp(image, &info, &error)) {
        std::fprintf(stderr, "vexa_stamp: %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    std::printf("PackageId=%s\nVersion=%s\nConfigServer=%s\nStatsServer=%s\nHomePage=%s\n"
                "FeedbackPage=%s\n",
                info.packageId.c_str(), stamp::FormatFileVersion(info.version).c_str(),
                info.deployment.configServer.c_str(), info.deployment.statsServer.c_str(),
                info.deployment.homePage.c_str(), info.deployment.feedbackPage.c_str());
    for (const std::string& key : info.deployment.publisherKeys)
        std::printf("PublisherKey=%s\n", key.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string in, out;
    stamp::StampRequest request;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--show" && i + 1 < argc) return Show(argv[i + 1]);
        if (i + 1 >= argc) return Usage();
        std::string value = argv[++i];
        if (arg == "--in") in = value;
        else if (arg == "--out") out = value;
        else if (arg == "--id") request.packageId = value;
        else if (arg == "--config-server") request.configServer = value;
        else if (arg == "--stats-server") request.statsServer = value;
        else if (arg == "--home-page") request.homePage = value;
        else if (arg == "--feedback-page") request.feedbackPage = value;
        else if (arg == "--publisher-key") {
            if (!request.publisherKeys) request.publisherKeys.emplace();
            request.publisherKeys->push_back(value);
        }
        else if (arg == "--version") {
            stamp::FileVersion version;
            if (!stamp::ParseFileVersion(value, &version)) {
                std::fprintf(stderr, "vexa_stamp: bad version %s (want A.B.C.D)\n", value.c_str());
                return 2;
            }
            request.version = version;
        } else {
            return Usage();
        }
    }
    if (in.empty() || out.empty() || !request.packageId) return Usage();

    stamp::PeImage image;
    if (!LoadProgram(in, &image)) return 1;
    std::string error;
    if (!stamp::ApplyStamp(image, request, &error)) {
        std::fprintf(stderr, "vexa_stamp: %s: %s\n", in.c_str(), error.c_str());
        return 1;
    }
    if (!WriteFileAtomically(out, image.Bytes())) {
        std::fprintf(stderr, "vexa_stamp: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

// Feeds arbitrary bytes to the stamping tool's PE and version-block readers and writers:
// a damaged or hostile program file must be refused, never read or written out of bounds.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "PeImage.h"
#include "Stamp.h"
#include "VersionBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);

    stamp::PeImage image;
    if (image.Load(bytes, nullptr)) {
        stamp::StampInfo info;
        stamp::ReadStamp(image, &info, nullptr);
        stamp::StampRequest request;
        request.packageId = "{CBF64884-192F-484C-8741-9223167E5D6B}";
        request.configServer = "127.0.0.1:8080";
        stamp::ApplyStamp(image, request, nullptr);
    }

    // The same bytes taken as a bare version block.
    std::u16string text;
    stamp::ReadFileDescription(bytes.data(), bytes.size(), &text);
    stamp::WriteFileDescription(bytes.data(), bytes.size(), u"{ID}", nullptr);
    stamp::FileVersion version;
    stamp::ReadFileVersion(bytes.data(), bytes.size(), &version);
    stamp::WriteFileVersion(bytes.data(), bytes.size(), version);
    return 0;
}

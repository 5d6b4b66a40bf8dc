#include "skin/SkinTestSupport.h"

#include <cstdio>
#include <cstdlib>

namespace skintest {

bool CPixels::SaveBmp(const std::string& path) const {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const int rowBytes = (width_ * 3 + 3) & ~3;
    BITMAPFILEHEADER fileHeader = {};
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width_;
    header.biHeight = height_;  // bottom-up
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = rowBytes * height_;
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof(fileHeader) + sizeof(header);
    fileHeader.bfSize = fileHeader.bfOffBits + header.biSizeImage;
    std::fwrite(&fileHeader, sizeof(fileHeader), 1, file);
    std::fwrite(&header, sizeof(header), 1, file);
    std::vector<unsigned char> row(rowBytes, 0);
    for (int y = height_ - 1; y >= 0; --y) {
        for (int x = 0; x < width_; ++x) {
            COLORREF c = At(x, y);
            row[x * 3] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    return std::fclose(file) == 0;
}

std::string ArtifactDir() {
    std::string dir = VEXA_TEST_ARTIFACT_DIR;
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

}  // namespace skintest

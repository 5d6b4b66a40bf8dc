#pragma once
// Decodes a PNG held in memory into a top-down DIB section: 24-bit for images without
// transparency, 32-bit premultiplied BGRA (ready for AlphaBlend) for images with an alpha
// channel or a tRNS chunk. Null for anything that is not a sound PNG within the decoder's
// limits (see PngDecoder.h); a failure never leaves a half-made bitmap behind.

#include <windows.h>

#include <cstddef>

HBITMAP LoadPngFromMemory(const void* data, size_t size);

// Our own TGA reader (colour-mapped, true-colour and grey, plain and run-length encoded). TGA has no magic, so
// it is only tried for names ending in ".tga".
#pragma once

#include <cstdint>
#include <vector>

struct VirtualFile;

struct TgaPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, top row first
    bool hasAlpha = false;        // 32-bit pictures, and 16-bit ones whose attribute bit is used
};

// 0; 1 when the header is not a TGA this reader takes; 2 when the data is broken or larger than a bitmap.
int ReadTga(VirtualFile *file, TgaPicture *out);

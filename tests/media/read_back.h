// Reading back what the writers wrote: every frame of a GIF through our reader, the chunks of a RIFF file, and
// pictures in memory through the picture loader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/memory.h"
#include "host/picture.h"
#include "host/picture_gif.h"
#include "host/virtual_file.h"
#include "tests/fuzz/fuzz_memory_name.h"
#include "tests/support/files.h"

struct ShownGifFrame {
    std::vector<uint32_t> pixels; // 0x00RRGGBB as shown
    int32_t delay = 0;
    bool operator==(const ShownGifFrame &) const = default;
};

// Every frame of the GIF file as shown; none when our reader refuses it.
inline std::vector<ShownGifFrame> ReadGifFrames(const std::string &path, int32_t *width = nullptr,
                                                int32_t *height = nullptr) {
    VirtualFile *f = OpenVirtualFile(path.c_str(), kVirtualFileRead);
    int32_t w = 0, h = 0, count = 0;
    GifReader *reader = f ? OpenGifFile(f, &w, &h, &count) : nullptr;
    EXPECT_NE(reader, nullptr) << path;
    std::vector<ShownGifFrame> frames;
    for (int32_t n = 0; reader && n < count; ++n) {
        uint32_t *p = ReadGifFrame(reader, n);
        frames.push_back({std::vector<uint32_t>(p, p + size_t(w) * size_t(h)), GetGifFrameDelay(reader, n)});
        FreeBlock(p);
    }
    if (reader) CloseGifFile(reader);
    CloseVirtualFile(f);
    if (width) *width = w;
    if (height) *height = h;
    return frames;
}

inline uint32_t LittleU32(const std::string &bytes, uint64_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0 && at + 4 <= bytes.size(); --i) v = v << 8 | uint8_t(bytes[size_t(at) + size_t(i)]);
    return v;
}

struct RiffChunk {
    std::string id, type; // type: the list type of "RIFF" and "LIST"
    uint64_t at = 0;      // the offset of its fourcc
    uint32_t size = 0;
};

// A RIFF file's bytes and its chunks in file order; whole is false when a chunk runs past its list or bytes
// follow the last segment.
struct RiffFile {
    std::string bytes;
    std::vector<RiffChunk> chunks;
    bool whole = false;
    uint32_t U32(uint64_t at) const { return LittleU32(bytes, at); }
    // The data of every chunk with this id.
    std::vector<std::string> Data(const char *id) const {
        std::vector<std::string> out;
        for (const RiffChunk &c : chunks)
            if (c.id == id) out.push_back(bytes.substr(size_t(c.at) + 8, c.size));
        return out;
    }
};

inline RiffFile ReadRiff(const std::string &path) {
    RiffFile f;
    f.bytes = ReadFileText(path);
    auto walk = [&](auto &self, uint64_t from, uint64_t to) -> bool {
        while (from + 8 <= to) {
            RiffChunk c{f.bytes.substr(size_t(from), 4), "", from, f.U32(from + 4)};
            const uint64_t end = from + 8 + c.size;
            const bool list = c.id == "RIFF" || c.id == "LIST";
            if (list) c.type = f.bytes.substr(size_t(from) + 8, 4);
            f.chunks.push_back(c);
            if (end > to || (list && !self(self, from + 12, end))) return false;
            from = end + (c.size & 1);
        }
        return from == to;
    };
    f.whole = walk(walk, 0, f.bytes.size());
    return f;
}

// 0x00RRGGBB pixels of a picture file's bytes; empty when the loader refuses them.
inline std::vector<uint32_t> DecodePicture(const std::string &bytes, int32_t *width, int32_t *height) {
    FuzzMemoryFile memory(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    uint32_t *pixels = nullptr;
    AlphaPlane *alpha = nullptr;
    int64_t transparent = -1;
    if (LoadPictureDatatype(memory.MemoryName().c_str(), 0, &pixels, &alpha, &transparent, width, height) != 0)
        return {};
    std::vector<uint32_t> out(pixels, pixels + size_t(*width) * size_t(*height));
    for (uint32_t &p : out) p &= 0xFFFFFF;
    FreeBlock(pixels);
    return out;
}

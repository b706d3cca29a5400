#include "host/picture_ilbm.h"

#include <atomic>

#include "host/iff_chunks.h"
#include "host/memory.h"
#include "host/virtual_file.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// A BODY larger than this is refused before it is read: 32768 x 32768 x 8 planes is 1 GiB already.
constexpr int64_t kMaxBodyBytes = int64_t(1) << 30;

uint32_t Be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t Be16(const uint8_t *p) { return uint32_t(p[0]) << 8 | p[1]; }


} // namespace

bool UnpackIlbmRow(std::span<const uint8_t> body, size_t &pos, uint8_t *out, int32_t count, int32_t compression) {
    if (compression == 0) {
        if (pos + size_t(count) > body.size()) return false;
        std::memcpy(out, body.data() + pos, size_t(count));
        pos += size_t(count);
        return true;
    }
    const uint8_t *in = body.data();
    const size_t size = body.size();
    int32_t done = 0;
    while (done < count) {
        if (pos >= size) return false;
        int8_t n = int8_t(in[pos++]);
        if (n >= 0) {
            int32_t len = n + 1;
            if (pos + size_t(len) > size || done + len > count) return false;
            // Runs are short in drawn pictures: eight bytes at once where source and row have room, so that no
            // library call is made for them.
            if (len <= 8 && pos + 8 <= size && done + 8 <= count) std::memcpy(out + done, in + pos, 8);
            else std::memcpy(out + done, in + pos, size_t(len));
            pos += size_t(len);
            done += len;
        } else if (n != -128) {
            int32_t len = 1 - n;
            if (pos >= size || done + len > count) return false;
            const uint8_t value = in[pos++];
            if (len <= 8 && done + 8 <= count) {
                const uint64_t eight = uint64_t(value) * 0x0101010101010101;
                std::memcpy(out + done, &eight, 8);
            } else {
                std::memset(out + done, value, size_t(len));
            }
            done += len;
        }
    }
    return true;
}

void ReadIlbmCmap(std::span<const uint8_t> data, bool extraHalfBrite, std::vector<uint32_t> &palette) {
    const size_t n = std::min<size_t>(data.size() / 3, 256);
    if (palette.size() < n) palette.resize(n, 0);
    for (size_t i = 0; i < n; i++)
        palette[i] = uint32_t(data[i * 3]) << 16 | uint32_t(data[i * 3 + 1]) << 8 | data[i * 3 + 2];
    if (!extraHalfBrite) return;
    // The half-brights follow the colours read, as far as the 256 entries go.
    const size_t half = std::min<size_t>(n, 256 - n);
    if (palette.size() < n + half) palette.resize(n + half, 0);
    for (size_t i = 0; i < half; i++) palette[n + i] = (palette[i] >> 1) & 0x7F7F7F;
}

int ReadIlbm(VirtualFile *file, IlbmPicture *out, bool headerOnly) {
    *out = IlbmPicture{};
    IffChunkWalker walker;
    char type[5];
    if (!StartChunkWalk(&walker, file, type) || walker.littleEndian) return 1;
    if (std::strcmp(type, "PBM ") == 0) out->chunky = true;
    else if (std::strcmp(type, "ILBM") != 0) return 1;
    bool haveHeader = false, haveBody = false, haveCmap = false;
    int32_t compression = 0;
    std::vector<uint8_t> body;
    IffChunk chunk;
    while (NextChunk(&walker, &chunk)) {
        // A chunk cut short by the end of the file is a truncated picture.
        const int64_t size = chunk.declaredLength;
        if (chunk.length < size) return 2;
        if (chunk.Is("BMHD")) {
            uint8_t b[20];
            if (!ReadChunkBytes(&walker, chunk, b, 20)) return 2;
            out->width = int32_t(Be16(b));
            out->height = int32_t(Be16(b + 2));
            out->depth = b[8];
            out->masking = b[9];
            compression = b[10];
            out->transparentIndex = out->masking == 2 ? int32_t(Be16(b + 12)) : -1;
            if (headerOnly) return out->width > 0 && out->height > 0 ? 0 : 2; // any depth has a size
            bool deep = !out->chunky && (out->depth == 24 || out->depth == 32);
            if (out->depth > kMaxPlanarDepth && !deep) return 1;
            if (out->width <= 0 || out->height <= 0 || out->width > kMaxBitmapSide ||
                out->height > kMaxBitmapSide || out->depth == 0 || compression > 1 ||
                int64_t(out->width) * out->height > MaxDecodedPixels())
                return 2;
            out->bytesPerRow = ((out->width + 15) >> 4) * 2;
            out->chunkyBytesPerRow = (out->width + 1) & ~1;
            haveHeader = true;
        } else if (chunk.Is("CMAP")) {
            std::vector<uint8_t> rgb(size_t(std::min<int64_t>(size / 3, 256)) * 3);
            if (!rgb.empty() && !ReadChunkBytes(&walker, chunk, rgb.data(), rgb.size())) return 2;
            out->palette.clear();
            ReadIlbmCmap(rgb, false, out->palette);
            haveCmap = true;
        } else if (chunk.Is("CAMG")) {
            uint8_t b[4];
            if (!ReadChunkBytes(&walker, chunk, b, 4)) return 2;
            out->camg = Be32(b);
        } else if (chunk.Is("BODY")) {
            if (size > kMaxBodyBytes) return 2;
            body.resize(size_t(size));
            if (size && !ReadChunkBytes(&walker, chunk, body.data(), body.size())) return 2;
            haveBody = true;
        }
    }
    if (walker.failed) return 2;
    if (!haveHeader || !haveBody) return 2;
    // A palette picture without colours is not one we can show.
    if (!haveCmap && !out->chunky && out->depth <= kMaxPlanarDepth) return 1;
    // Sizes are capped above (at most 2^26 pixels, 32 planes: 256 MiB); a failed allocation is an error.
    try {
        size_t planeBytes = size_t(out->bytesPerRow) * size_t(out->height);
        if (out->chunky) out->planes.assign(1, std::vector<uint8_t>(size_t(out->chunkyBytesPerRow) * size_t(out->height)));
        else out->planes.assign(size_t(out->depth), std::vector<uint8_t>(planeBytes));
        if (out->masking == 1) out->mask.assign(planeBytes, 0);
    } catch (const std::bad_alloc &) {
        return 2;
    }
    size_t at = 0;
    for (int32_t y = 0; y < out->height; y++) {
        size_t row = size_t(y) * size_t(out->bytesPerRow);
        if (out->chunky) {
            uint8_t *line = out->planes[0].data() + size_t(y) * size_t(out->chunkyBytesPerRow);
            if (!UnpackIlbmRow(body, at, line, out->chunkyBytesPerRow, compression)) return 2;
        } else {
            for (int32_t p = 0; p < out->depth; p++)
                if (!UnpackIlbmRow(body, at, out->planes[size_t(p)].data() + row, out->bytesPerRow, compression))
                    return 2;
        }
        if (out->masking == 1 && !UnpackIlbmRow(body, at, out->mask.data() + row, out->bytesPerRow, compression))
            return 2;
    }
    // Extra half-brite: the second 32 colours are the first 32 at half intensity.
    if ((out->camg & kIlbmCamgExtraHalfBrite) && !(out->camg & kIlbmCamgHam) && out->depth == 6) {
        out->palette.resize(32, 0);
        for (int i = 0; i < 32; i++) out->palette.push_back((out->palette[size_t(i)] >> 1) & 0x7F7F7F);
    }
    return 0;
}

int32_t IlbmHamMode(const IlbmPicture &picture) {
    if (!(picture.camg & kIlbmCamgHam) || picture.chunky || picture.depth > kMaxPlanarDepth) return 0;
    return picture.depth > 6 ? 8 : 6;
}

uint32_t *IlbmToPixels(const IlbmPicture &picture) {
    auto colour = [&](uint32_t index) {
        return index < picture.palette.size() ? picture.palette[index] & 0xFFFFFF : 0u;
    };
    if (picture.chunky || picture.depth > kMaxPlanarDepth) {
        auto *out = static_cast<uint32_t *>(AllocBlock(size_t(picture.width) * size_t(picture.height) * 4, 0));
        if (!out) return nullptr;
        for (int32_t y = 0; y < picture.height; y++) {
            uint32_t *d = out + size_t(y) * size_t(picture.width);
            if (picture.chunky) {
                const uint8_t *line = picture.planes[0].data() + size_t(y) * size_t(picture.chunkyBytesPerRow);
                for (int32_t x = 0; x < picture.width; x++) d[x] = colour(line[x]);
                continue;
            }
            // Deep pictures: planes 0-7 red, 8-15 green, 16-23 blue (24-31 alpha, not kept), low bit first.
            size_t row = size_t(y) * size_t(picture.bytesPerRow);
            for (int32_t x = 0; x < picture.width; x++) {
                uint32_t rgb[3] = {0, 0, 0};
                for (int32_t p = 0; p < 24; p++)
                    rgb[p >> 3] |= uint32_t((picture.planes[size_t(p)][row + size_t(x >> 3)] >> (7 - (x & 7))) & 1)
                                   << (p & 7);
                d[x] = rgb[0] << 16 | rgb[1] << 8 | rgb[2];
            }
        }
        return out;
    }
    PlanarBitmap planar;
    planar.bytesPerRow = picture.bytesPerRow;
    planar.rows = picture.height;
    planar.depth = picture.depth;
    for (int32_t p = 0; p < picture.depth; p++) planar.planes[p] = picture.planes[size_t(p)].data();
    int32_t ham = IlbmHamMode(picture);
    // HAM pictures of other depths than 6 and 8 are decoded as plain palette pictures.
    if (ham && ham != picture.depth) ham = 0;
    static const uint32_t black = 0;
    const uint32_t *palette = picture.palette.empty() ? &black : picture.palette.data();
    return ReadPaletteBitMapPixels(&planar, palette, int32_t(picture.palette.size()), picture.width, picture.height,
                                   ham);
}

namespace {
std::atomic<int64_t> maxDecodedPixels{kMaxIlbmPixels};
} // namespace

int64_t MaxDecodedPixels() { return maxDecodedPixels.load(std::memory_order_relaxed); }

void SetMaxDecodedPixels(int64_t pixels) { maxDecodedPixels = pixels > 0 ? pixels : kMaxIlbmPixels; }

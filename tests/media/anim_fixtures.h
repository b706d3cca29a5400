// Writers of test animations from known frames: GIFs (our own LZW encoder, optionally never clearing its table)
// and IFF ANIMs (an ILBM first frame and operation-5 deltas). Shared by the reader tests, the fuzz seeds and the
// benchmark.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "tests/support/bytes.h"
#include "tests/support/files.h"

// ---- GIF -------------------------------------------------------------------------------------------------------
struct GifFrameSpec {
    int left = 0, top = 0, width = 0, height = 0;
    Bytes indexes; // width x height, rows top first
    std::vector<uint32_t> localPalette;
    int transparent = -1, disposal = 0, delay = 0;
    bool interlaced = false;
    bool control = true; // a graphic control extension before the image
    Bytes trailing;      // extra data sub-blocks after the image data (skipped by their lengths)
};
struct GifLayout {
    int width = 0, height = 0;
    std::vector<uint32_t> palette; // a power of two of 2..256 entries
    int background = 0;
    std::vector<GifFrameSpec> frames;
    bool deferredClear = false; // a full code table keeps coding without a clear code
    std::string signature = "GIF89a";
};

inline Bytes LzwEncode(const Bytes &pixels, int minCodeSize, bool deferredClear) {
    Bytes out;
    uint32_t bits = 0;
    int count = 0, size = minCodeSize + 1;
    auto emit = [&](int code) {
        bits |= uint32_t(code) << count;
        for (count += size; count >= 8; count -= 8) out.push_back(uint8_t(bits)), bits >>= 8;
    };
    const int clear = 1 << minCodeSize;
    int next = clear + 2;
    std::unordered_map<uint32_t, int> table;
    emit(clear);
    int prefix = pixels.empty() ? 0 : pixels[0];
    for (size_t i = 1; i < pixels.size(); i++) {
        const uint32_t key = uint32_t(prefix) << 8 | pixels[i];
        auto found = table.find(key);
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        emit(prefix);
        if (next < 4096) {
            table[key] = next++;
            // The decoder makes this entry one code later, so the width grows one code later too.
            if (next == (1 << size) + 1 && size < 12) size++;
        } else if (!deferredClear) {
            emit(clear);
            table.clear();
            next = clear + 2, size = minCodeSize + 1;
        }
        prefix = pixels[i];
    }
    emit(prefix);
    emit(clear + 1);
    if (count > 0) out.push_back(uint8_t(bits));
    return out;
}

inline void PutPalette(Bytes &b, const std::vector<uint32_t> &palette) {
    for (uint32_t c : palette) b.push_back(uint8_t(c >> 16)), b.push_back(uint8_t(c >> 8)), b.push_back(uint8_t(c));
}
inline int PaletteBits(size_t n) {
    int bits = 1;
    while ((size_t(1) << bits) < n) bits++;
    return bits;
}
inline void PutSubBlocks(Bytes &b, const Bytes &data) {
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        b.push_back(uint8_t(n));
        b.insert(b.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
}

inline Bytes WriteTestGif(const GifLayout &desc) {
    Bytes b;
    PutText(b, desc.signature.c_str());
    PutLe16(b, uint32_t(desc.width)), PutLe16(b, uint32_t(desc.height));
    b.push_back(desc.palette.empty() ? 0 : uint8_t(0x80 | (PaletteBits(desc.palette.size()) - 1)));
    b.push_back(uint8_t(desc.background)), b.push_back(0);
    PutPalette(b, desc.palette);
    for (const GifFrameSpec &f : desc.frames) {
        if (f.control) {
            b.insert(b.end(), {0x21, 0xF9, 4});
            b.push_back(uint8_t(f.disposal << 2 | (f.transparent >= 0 ? 1 : 0)));
            PutLe16(b, uint32_t(f.delay));
            b.push_back(uint8_t(f.transparent >= 0 ? f.transparent : 0)), b.push_back(0);
        }
        b.push_back(0x2C);
        PutLe16(b, uint32_t(f.left)), PutLe16(b, uint32_t(f.top)), PutLe16(b, uint32_t(f.width));
        PutLe16(b, uint32_t(f.height));
        const auto &palette = f.localPalette.empty() ? desc.palette : f.localPalette;
        b.push_back(uint8_t((f.localPalette.empty() ? 0 : 0x80 | (PaletteBits(f.localPalette.size()) - 1)) |
                            (f.interlaced ? 0x40 : 0)));
        PutPalette(b, f.localPalette);
        Bytes rows = f.indexes;
        if (f.interlaced) {
            rows.clear();
            static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; pass++)
                for (int y = kStart[pass]; y < f.height; y += kStep[pass])
                    rows.insert(rows.end(), f.indexes.begin() + y * f.width, f.indexes.begin() + (y + 1) * f.width);
        }
        const int minCodeSize = std::max(2, PaletteBits(palette.size()));
        b.push_back(uint8_t(minCodeSize));
        PutSubBlocks(b, LzwEncode(rows, minCodeSize, desc.deferredClear));
        PutSubBlocks(b, f.trailing);
        b.push_back(0);
    }
    b.push_back(0x3B);
    return b;
}

// dispose.gif's frame 2 (8,6, 5 x 3) has disposal 2: ImageMagick clears it to transparent, black in its PPMs;
// we clear it to the background colour, red in this file. Frames 3 and 4 are expected with red there.
inline void ExpectBackgroundDisposal(std::vector<uint32_t> &want, const std::vector<uint32_t> &got, int width) {
    for (int y = 6; y < 9; y++)
        for (int x = 8; x < 13; x++) {
            const size_t at = size_t(y * width + x);
            if (at < got.size() && at < want.size() && got[at] == 0xFF0000 && want[at] == 0) want[at] = 0xFF0000;
        }
}

// ---- IFF ANIM ----------------------------------------------------------------------------------------------------
struct AnimSpec {
    int width = 0, height = 0, planes = 0;
    uint32_t camg = 0; // 0: no CAMG chunk
    int dpan = -1;     // -1: no DPAN chunk
    bool byteRun1 = true;
    int interleave = 0; // 0: each delta against the frame two back; 1: XOR against the frame before
    std::vector<uint32_t> palette;
    std::vector<Bytes> frames; // colour indexes, width x height each
    std::vector<std::pair<int, std::vector<uint32_t>>> paletteChanges; // a CMAP in frame k's delta
    std::vector<int> operations; // per delta (frame k at k - 1); missing entries are 5
};

inline int AnimRowBytes(int width) { return ((width + 15) / 16) * 2; }

// Plane p of indexes as rows of AnimRowBytes bytes.
inline Bytes PlaneOf(const Bytes &indexes, int width, int height, int p) {
    const int rowBytes = AnimRowBytes(width);
    Bytes plane(size_t(rowBytes * height), 0);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if ((indexes[size_t(y * width + x)] >> p) & 1) plane[size_t(y * rowBytes + x / 8)] |= uint8_t(0x80 >> (x & 7));
    return plane;
}

inline Bytes CmapOf(const std::vector<uint32_t> &palette) {
    Bytes c;
    PutPalette(c, palette);
    return c;
}

inline Bytes AnhdOf(int operation, uint32_t jiffies, int interleave) {
    Bytes a(40, 0);
    a[0] = uint8_t(operation);
    a[14] = uint8_t(jiffies >> 24), a[15] = uint8_t(jiffies >> 16), a[16] = uint8_t(jiffies >> 8);
    a[17] = uint8_t(jiffies);
    a[18] = uint8_t(interleave);
    return a;
}

// One plane's operation-5 data: per column, skips over equal bytes, same runs of repeated bytes, unique runs.
inline Bytes PlaneDelta(const Bytes &from, const Bytes &to, int rowBytes, int height, bool exclusiveOr) {
    Bytes out;
    for (int x = 0; x < rowBytes; x++) {
        Bytes ops;
        int count = 0;
        for (int y = 0; y < height;) {
            auto at = [&](int row) { return size_t(row * rowBytes + x); };
            if (from[at(y)] == to[at(y)]) {
                int n = 0;
                while (y < height && n < 127 && from[at(y)] == to[at(y)]) y++, n++;
                ops.push_back(uint8_t(n)), count++;
                continue;
            }
            auto value = [&](int row) { return uint8_t(exclusiveOr ? from[at(row)] ^ to[at(row)] : to[at(row)]); };
            int n = 1;
            while (y + n < height && n < 255 && from[at(y + n)] != to[at(y + n)] && value(y + n) == value(y)) n++;
            if (n >= 3) {
                ops.insert(ops.end(), {0, uint8_t(n), value(y)}), count++;
                y += n;
                continue;
            }
            n = 0;
            Bytes run;
            while (y < height && n < 127 && from[at(y)] != to[at(y)]) run.push_back(value(y++)), n++;
            ops.push_back(uint8_t(0x80 | n)), count++;
            ops.insert(ops.end(), run.begin(), run.end());
        }
        out.push_back(uint8_t(count));
        out.insert(out.end(), ops.begin(), ops.end());
    }
    return out;
}

inline Bytes WriteTestAnim(const AnimSpec &s) {
    const int rowBytes = AnimRowBytes(s.width);
    auto planesOf = [&](const Bytes &indexes) {
        std::vector<Bytes> planes;
        for (int p = 0; p < s.planes; p++) planes.push_back(PlaneOf(indexes, s.width, s.height, p));
        return planes;
    };
    Bytes first;
    PutText(first, "ILBM");
    Bytes bmhd;
    PutBe16(bmhd, uint32_t(s.width)), PutBe16(bmhd, uint32_t(s.height)), PutBe32(bmhd, 0);
    bmhd.insert(bmhd.end(), {uint8_t(s.planes), 0, uint8_t(s.byteRun1 ? 1 : 0), 0, 0, 0, 10, 11});
    PutBe16(bmhd, uint32_t(s.width)), PutBe16(bmhd, uint32_t(s.height));
    PutChunk(first, "BMHD", bmhd);
    PutChunk(first, "ANHD", AnhdOf(0, 2, 0));
    PutChunk(first, "CMAP", CmapOf(s.palette));
    if (s.camg) {
        Bytes camg;
        PutBe32(camg, s.camg);
        PutChunk(first, "CAMG", camg);
    }
    if (s.dpan >= 0) {
        Bytes dpan;
        PutBe16(dpan, 4), PutBe16(dpan, uint32_t(s.dpan)), PutBe32(dpan, 0);
        PutChunk(first, "DPAN", dpan);
    }
    Bytes body;
    const auto planes0 = planesOf(s.frames[0]);
    for (int y = 0; y < s.height; y++)
        for (int p = 0; p < s.planes; p++) {
            const auto row = planes0[size_t(p)].begin() + y * rowBytes;
            if (!s.byteRun1) {
                body.insert(body.end(), row, row + rowBytes);
                continue;
            }
            // Runs of 3 or more repeat, the rest are copied; a no-op control byte (-128) starts each row.
            body.push_back(0x80);
            for (int x = 0; x < rowBytes;) {
                int run = 1;
                while (x + run < rowBytes && run < 128 && row[x + run] == row[x]) run++;
                if (run >= 3) {
                    body.push_back(uint8_t(257 - run)), body.push_back(row[x]);
                    x += run;
                    continue;
                }
                int n = 0;
                while (x + n < rowBytes && n < 128 &&
                       !(x + n + 2 < rowBytes && row[x + n] == row[x + n + 1] && row[x + n] == row[x + n + 2]))
                    n++;
                body.push_back(uint8_t(n - 1));
                body.insert(body.end(), row + x, row + x + n);
                x += n;
            }
        }
    PutChunk(first, "BODY", body);
    Bytes anim;
    PutText(anim, "ANIM");
    PutChunk(anim, "FORM", first);
    for (size_t k = 1; k < s.frames.size(); k++) {
        const size_t base = s.interleave == 1 ? k - 1 : (k >= 2 ? k - 2 : 0);
        const auto from = planesOf(s.frames[base]), to = planesOf(s.frames[k]);
        Bytes form;
        PutText(form, "ILBM");
        const int operation = k - 1 < s.operations.size() ? s.operations[k - 1] : 5;
        PutChunk(form, "ANHD", AnhdOf(operation, uint32_t(k * 3), s.interleave));
        for (const auto &change : s.paletteChanges)
            if (size_t(change.first) == k) PutChunk(form, "CMAP", CmapOf(change.second));
        Bytes dlta(64, 0);
        for (int p = 0; p < s.planes; p++) {
            if (from[size_t(p)] == to[size_t(p)]) continue;
            const size_t offset = dlta.size();
            dlta[size_t(p) * 4] = uint8_t(offset >> 24), dlta[size_t(p) * 4 + 1] = uint8_t(offset >> 16);
            dlta[size_t(p) * 4 + 2] = uint8_t(offset >> 8), dlta[size_t(p) * 4 + 3] = uint8_t(offset);
            const Bytes d = PlaneDelta(from[size_t(p)], to[size_t(p)], rowBytes, s.height, s.interleave == 1);
            dlta.insert(dlta.end(), d.begin(), d.end());
        }
        PutChunk(form, "DLTA", dlta);
        PutChunk(anim, "FORM", form);
    }
    Bytes file;
    PutChunk(file, "FORM", anim);
    return file;
}

// ---- Reading the results back ------------------------------------------------------------------------------------
// A 24-bit bottom-up BMP or a binary PPM as 0x00RRGGBB words (empty when unreadable).
struct TestImage {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    std::vector<uint32_t> Cut(int x, int y, int w, int h) const {
        std::vector<uint32_t> out;
        for (int row = y; row < y + h; row++)
            for (int column = x; column < x + w; column++) out.push_back(pixels[size_t(row * width + column)]);
        return out;
    }
};
inline TestImage ReadTestImage(const std::string &path) {
    const std::string b = ReadFileText(path);
    TestImage image;
    auto byte = [&](size_t at) { return at < b.size() ? uint32_t(uint8_t(b[at])) : 0u; };
    if (b.rfind("BM", 0) == 0) {
        auto u32 = [&](size_t at) { return byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24; };
        image.width = int(u32(18)), image.height = int(u32(22));
        const size_t stride = (size_t(image.width) * 3 + 3) & ~size_t(3);
        for (int y = 0; y < image.height; y++)
            for (int x = 0; x < image.width; x++) {
                const size_t at = u32(10) + size_t(image.height - 1 - y) * stride + size_t(x) * 3;
                image.pixels.push_back(byte(at + 2) << 16 | byte(at + 1) << 8 | byte(at));
            }
    } else if (int maxval = 0, consumed = 0;
               std::sscanf(b.c_str(), "P6 %d %d %d%n", &image.width, &image.height, &maxval, &consumed) == 3) {
        for (size_t at = size_t(consumed) + 1; image.pixels.size() < size_t(image.width * image.height); at += 3)
            image.pixels.push_back(byte(at) << 16 | byte(at + 1) << 8 | byte(at + 2));
    }
    return image;
}

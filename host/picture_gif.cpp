#include "host/picture_gif.h"

#include "host/bitmap.h"
#include "host/memory.h"
#include "host/picture_ilbm.h"
#include "host/virtual_file.h"
#include "runtime/vm/bounded_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

// A GIF file larger than this is refused before it is read: the largest picture we take (1 << 26 pixels) at
// the worst LZW ratio stays far below it.
constexpr int64_t kMaxGifFileBytes = int64_t(1) << 28;
constexpr int kMaxLzwCodes = 4096; // 12-bit codes

struct Reader : BoundedReader {
    std::vector<uint8_t> bytes;
    uint32_t U16() { return U16LE(); }
    // Data sub-blocks up to the empty one, appended to out (when given).
    void SubBlocks(std::vector<uint8_t> *out) {
        for (uint32_t n = U8(); n != 0 && !failed; n = U8()) {
            if (!Need(n)) return;
            if (out) out->insert(out->end(), data + pos, data + pos + n);
            pos += n;
        }
    }
};

std::vector<uint32_t> ReadPalette(Reader &r, uint32_t flags) {
    std::vector<uint32_t> palette;
    if (!(flags & 0x80)) return palette;
    for (uint32_t i = 0, n = 2u << (flags & 7); i < n; i++) {
        uint32_t red = r.U8(), green = r.U8(), blue = r.U8();
        palette.push_back(red << 16 | green << 8 | blue);
    }
    return palette;
}

// What a graphic control extension sets for the image after it.
struct GraphicControl {
    int32_t disposal = 0, delay = 0; // delay in hundredths of a second
    int32_t transparent = -1;
};

// An extension block after its introducer: its sub-blocks are skipped by their lengths, and a graphic control
// extension with its four bytes sets *control. A damaged block leaves r.failed set.
void ReadExtension(Reader &r, GraphicControl *control) {
    const uint32_t label = r.U8();
    uint8_t bytes[4];
    size_t got = 0;
    for (uint32_t n = r.U8(); n != 0 && !r.failed; n = r.U8()) {
        if (!r.Need(n)) return;
        for (uint32_t k = 0; label == 0xF9 && k < n && got < 4; k++) bytes[got++] = r.data[r.pos + k];
        r.pos += n;
    }
    if (r.failed || label != 0xF9 || got < 4) return;
    control->disposal = (bytes[0] >> 2) & 7;
    control->delay = int32_t(bytes[1] | bytes[2] << 8);
    control->transparent = (bytes[0] & 1) ? int32_t(bytes[3]) : -1;
}

// Room DecodeLzw may write past count: one string of the longest kind plus a copy chunk.
constexpr size_t kLzwSlack = kMaxLzwCodes + 16;

// Decodes LZW data into count indexes (out holds count + kLzwSlack bytes) and returns how many were produced. A
// new code's string is the previous code's output and one more byte, which the output already holds right there,
// so the table keeps only where each string was written and its length, and expanding a code is a forward copy.
// A code that is not in the table yet (beyond the next one) ends the data. A full table keeps decoding without
// new entries (a deferred clear).
size_t DecodeLzw(const std::vector<uint8_t> &data, int minCodeSize, uint8_t *out, size_t count) {
    static thread_local uint32_t start[kMaxLzwCodes];
    static thread_local uint16_t length[kMaxLzwCodes];
    const int clear = 1 << minCodeSize, end = clear + 1;
    int codeSize = minCodeSize + 1, next = clear + 2, previous = -1;
    size_t pos = 0, previousPos = 0, in = 0;
    const size_t size = data.size();
    uint64_t bits = 0;
    int bitCount = 0;
    while (pos < count) {
        if (bitCount < codeSize) {
            if (in + 8 <= size) {
                // Eight bytes at once; the bits above the ones counted are those the next load puts there again.
                uint64_t word;
                std::memcpy(&word, data.data() + in, 8);
                bits |= word << bitCount;
                const int take = (63 - bitCount) >> 3;
                in += size_t(take);
                bitCount += take * 8;
            } else {
                while (bitCount < codeSize) {
                    if (in >= size) return pos;
                    bits |= uint64_t(data[in++]) << bitCount;
                    bitCount += 8;
                }
            }
        }
        const int code = int(bits & ((1u << codeSize) - 1));
        bits >>= codeSize;
        bitCount -= codeSize;
        if (code == clear) {
            codeSize = minCodeSize + 1, next = clear + 2, previous = -1;
            continue;
        }
        if (code == end) break;
        if (previous < 0) {
            if (code >= clear) break;
            previousPos = pos;
            out[pos++] = uint8_t(code);
            previous = code;
            continue;
        }
        if (code > next || (code == next && next >= kMaxLzwCodes)) break;
        if (next < kMaxLzwCodes) {
            start[next] = uint32_t(previousPos);
            length[next] = uint16_t(pos - previousPos + 1);
            if (++next == (1 << codeSize) && codeSize < 12) codeSize++;
        }
        previousPos = pos;
        if (code < clear) {
            out[pos++] = uint8_t(code);
        } else {
            // The string ends where this one begins or, for the code just made, one byte into it.
            const size_t n = length[code], from = start[code];
            uint8_t *to = out + pos;
            const uint8_t *source = out + from;
            if (pos - from >= 8) {
                for (size_t k = 0; k < n; k += 8) std::memcpy(to + k, source + k, 8);
            } else {
                for (size_t k = 0; k < n; k++) to[k] = source[k];
            }
            pos += n;
        }
        previous = code;
    }
    return pos < count ? pos : count;
}

} // namespace

int ReadGif(VirtualFile *file, GifPicture *out) {
    *out = GifPicture{};
    Reader r;
    if (int status = ReadWholeVirtualFile(file, 13, kMaxGifFileBytes, r.bytes)) return status;
    r.data = r.bytes.data(), r.size = r.bytes.size();
    if (std::memcmp(r.bytes.data(), "GIF87a", 6) != 0 && std::memcmp(r.bytes.data(), "GIF89a", 6) != 0) return 1;
    r.Seek(6);
    r.U16(), r.U16(); // the logical screen: the first image is decoded at its own size
    uint32_t screenFlags = r.U8();
    r.U8(), r.U8(); // background, aspect
    std::vector<uint32_t> palette = ReadPalette(r, screenFlags);
    GraphicControl control;
    for (;;) {
        uint32_t block = r.U8();
        if (r.failed || block == 0x3B) return 2; // no image
        if (block == 0x2C) break;
        if (block != 0x21) continue; // stray bytes are skipped, as other readers do
        ReadExtension(r, &control);
    }
    const int32_t transparentIndex = control.transparent;
    r.U16(), r.U16(); // position on the screen
    uint32_t width = r.U16(), height = r.U16(), flags = r.U8();
    if (flags & 0x80) palette = ReadPalette(r, flags);
    uint32_t minCodeSize = r.U8();
    if (r.failed || width == 0 || height == 0 || width > uint32_t(kMaxBitmapSide) ||
        height > uint32_t(kMaxBitmapSide) || int64_t(width) * height > MaxDecodedPixels() || minCodeSize < 1 ||
        minCodeSize > 11)
        return 2;
    std::vector<uint8_t> data, indexes;
    r.SubBlocks(&data); // a truncated file decodes what is there
    try {
        indexes.assign(size_t(width) * height + kLzwSlack, 0);
        out->pixels.resize(size_t(width) * height);
    } catch (const std::bad_alloc &) {
        return 2;
    }
    // What the data does not reach stays index 0.
    const size_t decoded = DecodeLzw(data, int(minCodeSize), indexes.data(), out->pixels.size());
    std::fill(indexes.begin() + long(decoded), indexes.end(), 0);
    // Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
    static const uint32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    uint32_t source = 0;
    for (int pass = 0; pass < ((flags & 0x40) ? 4 : 1); pass++) {
        uint32_t start = (flags & 0x40) ? kStart[pass] : 0, step = (flags & 0x40) ? kStep[pass] : 1;
        for (uint32_t y = start; y < height; y += step, source++) {
            const uint8_t *in = indexes.data() + size_t(source) * width;
            uint32_t *row = out->pixels.data() + size_t(y) * width;
            for (uint32_t x = 0; x < width; x++)
                row[x] = 0xFF000000u | (in[x] < palette.size() ? palette[in[x]] : 0);
        }
    }
    // An index past the palette is black, like the pixels that use it.
    if (transparentIndex >= 0)
        out->transparent = size_t(transparentIndex) < palette.size() ? palette[size_t(transparentIndex)] : 0;
    out->width = int32_t(width);
    out->height = int32_t(height);
    return 0;
}

// ---- Animations --------------------------------------------------------------------------------------------------

namespace {

struct GifFrameEntry {
    int32_t delay = 0;    // hundredths of a second
    bool restart = false; // opaque and full-screen without disposal 3: decoding may start afresh here
    size_t offset = 0;    // the frame's first block
};

} // namespace

struct GifReader {
    Reader r;
    int32_t width = 0, height = 0;
    std::vector<uint32_t> globalPalette;
    uint32_t background = 0; // the background index's colour
    std::vector<uint32_t> frameBuffer, savedPixels;
    int32_t nextFrame = -1;
    size_t dataStart = 0;
    std::vector<GifFrameEntry> frames;
    // The image decoded last, whose disposal is still to be done.
    int32_t disposal = 0, left = 0, top = 0, imageWidth = 0, imageHeight = 0;
    uint32_t disposalColour = 0; // disposal 2: the transparent index's colour, else the background
    int64_t keyColour = -1;      // the first image's transparent colour: what its see-through pixels show
    std::vector<uint8_t> lzwData, indexes; // scratch
};

namespace {

// Frames past this many are refused: the table costs 16 bytes each.
constexpr size_t kMaxGifFrames = size_t(1) << 20;

uint32_t PaletteColour(const std::vector<uint32_t> &palette, uint32_t index) {
    return index < palette.size() ? palette[index] : 0;
}

struct Rect {
    int32_t x0, y0, x1, y1; // cut to the screen; x1, y1 exclusive
};
Rect ClippedRect(const GifReader *g) {
    return Rect{std::min(g->left, g->width), std::min(g->top, g->height),
                int32_t(std::min<int64_t>(int64_t(g->left) + g->imageWidth, g->width)),
                int32_t(std::min<int64_t>(int64_t(g->top) + g->imageHeight, g->height))};
}

// Saved pixels are packed at the top-left with the screen's row length.
void CopySaved(GifReader *g, bool restore) {
    const Rect c = ClippedRect(g);
    for (int32_t y = c.y0; y < c.y1; y++) {
        uint32_t *screen = g->frameBuffer.data() + size_t(y) * size_t(g->width) + size_t(c.x0);
        uint32_t *saved = g->savedPixels.data() + size_t(y - c.y0) * size_t(g->width);
        if (restore) std::copy(saved, saved + (c.x1 - c.x0), screen);
        else std::copy(screen, screen + (c.x1 - c.x0), saved);
    }
}

void Dispose(GifReader *g) {
    if (g->disposal == 2) {
        const Rect c = ClippedRect(g);
        for (int32_t y = c.y0; y < c.y1; y++) {
            uint32_t *row = g->frameBuffer.data() + size_t(y) * size_t(g->width);
            std::fill(row + c.x0, row + c.x1, g->disposalColour);
        }
    } else if (g->disposal == 3) {
        CopySaved(g, true);
    }
    g->disposal = 0;
}

// Decodes one image's data (the reader stands at its minimum code size) into the frame buffer; the parts outside
// the screen are dropped. False when the data is bad or ends before the last row.
bool DecodeImage(GifReader *g, const std::vector<uint32_t> &palette, bool interlaced, int32_t transparent) {
    Reader &r = g->r;
    const uint32_t minCodeSize = r.U8();
    if (r.failed || minCodeSize < 1 || minCodeSize > 8) return false;
    g->lzwData.clear();
    r.SubBlocks(&g->lzwData); // leftover sub-blocks after the end code are skipped by their lengths
    if (r.failed) return false;
    const size_t count = size_t(g->imageWidth) * size_t(g->imageHeight);
    g->indexes.resize(count + kLzwSlack);
    if (DecodeLzw(g->lzwData, int(minCodeSize), g->indexes.data(), count) < count) return false;
    uint32_t colours[256];
    for (uint32_t i = 0; i < 256; i++) colours[i] = PaletteColour(palette, i);
    const Rect c = ClippedRect(g);
    static const int32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    size_t source = 0;
    for (int pass = 0; pass < (interlaced ? 4 : 1); pass++) {
        const int32_t start = interlaced ? kStart[pass] : 0, step = interlaced ? kStep[pass] : 1;
        for (int32_t y = start; y < g->imageHeight; y += step, source++) {
            const int32_t sy = g->top + y;
            if (sy >= c.y1) continue;
            const uint8_t *in = g->indexes.data() + source * size_t(g->imageWidth);
            uint32_t *row = g->frameBuffer.data() + size_t(sy) * size_t(g->width);
            if (transparent < 0) {
                for (int32_t x = c.x0; x < c.x1; x++) row[x] = colours[in[x - g->left]];
            } else {
                for (int32_t x = c.x0; x < c.x1; x++)
                    if (in[x - g->left] != transparent) row[x] = colours[in[x - g->left]];
            }
        }
    }
    return true;
}

// The frame list from one pass over the blocks: each image's header is read and checked, its palette and data
// sub-blocks are skipped by their lengths, nothing is decoded. False on a damaged structure.
bool ScanGifFrames(GifReader *g) {
    Reader &r = g->r;
    GraphicControl control;
    size_t frameStart = r.pos;
    for (;;) {
        const uint32_t block = r.U8();
        if (r.failed || block == 0x3B) return true;
        if (block == 0x21) {
            ReadExtension(r, &control);
            if (r.failed) return false;
            continue;
        }
        if (block != 0x2C) continue; // stray bytes between blocks are skipped
        const int32_t left = r.U16(), top = r.U16(), w = r.U16(), h = r.U16();
        const uint32_t flags = r.U8();
        if (g->frames.empty() && control.transparent >= 0) {
            const std::vector<uint32_t> local = ReadPalette(r, flags);
            g->keyColour = PaletteColour((flags & 0x80) ? local : g->globalPalette, uint32_t(control.transparent));
        } else if (flags & 0x80) {
            r.Skip(size_t(3) << ((flags & 7) + 1));
        }
        const uint32_t minCodeSize = r.U8();
        // The image is decoded whole before it is cut to the screen, so its size is capped like the screen's.
        if (r.failed || int64_t(w) * h > kMaxIlbmPixels || minCodeSize < 1 || minCodeSize > 8) return false;
        r.SubBlocks(nullptr);
        if (r.failed || g->frames.size() >= kMaxGifFrames) return false;
        const bool full = left == 0 && top == 0 && w == g->width && h == g->height;
        g->frames.push_back(
            GifFrameEntry{control.delay, full && control.transparent < 0 && control.disposal != 3, frameStart});
        control = GraphicControl{};
        frameStart = r.pos;
    }
}

// Decodes forward from the reader's position until frame target has been drawn (its disposal still pending).
// False on bad data, or when the frame is not in the file.
bool DecodeGifFrames(GifReader *g, int32_t target) {
    Reader &r = g->r;
    GraphicControl control;
    for (;;) {
        const uint32_t block = r.U8();
        if (r.failed || block == 0x3B) return false;
        if (block == 0x21) {
            ReadExtension(r, &control);
            if (r.failed) return false;
            continue;
        }
        if (block != 0x2C) continue;
        const int32_t disposal = control.disposal, transparent = control.transparent;
        g->left = r.U16(), g->top = r.U16(), g->imageWidth = r.U16(), g->imageHeight = r.U16();
        const uint32_t flags = r.U8();
        if (r.failed || int64_t(g->imageWidth) * g->imageHeight > kMaxIlbmPixels) return false;
        const std::vector<uint32_t> local = (flags & 0x80) ? ReadPalette(r, flags) : std::vector<uint32_t>();
        const std::vector<uint32_t> &palette = (flags & 0x80) ? local : g->globalPalette;
        g->disposal = disposal;
        g->disposalColour = transparent >= 0 ? PaletteColour(palette, uint32_t(transparent)) : g->background;
        // The first image's see-through pixels show its transparent colour, whatever its disposal, so that the
        // colour keys out exactly what the file leaves transparent, as the picture reader's colour does.
        if (g->nextFrame == 0 && transparent >= 0)
            std::fill(g->frameBuffer.begin(), g->frameBuffer.end(), g->disposalColour);
        if (disposal == 3) CopySaved(g, false);
        if (!DecodeImage(g, palette, (flags & 0x40) != 0, transparent)) return false;
        g->nextFrame++;
        if (g->nextFrame == target + 1) return true;
        Dispose(g);
        control = GraphicControl{};
    }
}

void Rewind(GifReader *g) {
    std::fill(g->frameBuffer.begin(), g->frameBuffer.end(), g->background);
    g->nextFrame = 0;
    g->disposal = 0;
    g->r.failed = false;
    g->r.Seek(g->dataStart);
}

} // namespace

GifReader *OpenGifFile(VirtualFile *file, int32_t *width, int32_t *height, int32_t *frameCount, bool sizeOnly) {
    auto g = std::make_unique<GifReader>();
    Reader &r = g->r;
    if (ReadWholeVirtualFile(file, 13, kMaxGifFileBytes, r.bytes)) return nullptr;
    r.data = r.bytes.data(), r.size = r.bytes.size();
    if (std::memcmp(r.data, "GIF87", 5) != 0 && std::memcmp(r.data, "GIF89", 5) != 0) return nullptr;
    r.Seek(6);
    g->width = r.U16(), g->height = r.U16();
    const uint32_t flags = r.U8(), background = r.U8();
    r.U8(); // aspect
    if (width) *width = g->width;
    if (height) *height = g->height;
    if (g->width == 0 || g->height == 0 || int64_t(g->width) * g->height > MaxDecodedPixels()) return nullptr;
    if (sizeOnly) return nullptr;
    g->globalPalette = ReadPalette(r, flags);
    if (r.failed) return nullptr;
    g->background = PaletteColour(g->globalPalette, background);
    try {
        g->frameBuffer.resize(size_t(g->width) * size_t(g->height));
        g->savedPixels.resize(g->frameBuffer.size());
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    g->dataStart = r.pos;
    // An animation without an image is refused: an anim has at least one frame.
    if (!ScanGifFrames(g.get()) || g->frames.empty()) return nullptr;
    g->nextFrame = -1;
    if (frameCount) *frameCount = int32_t(g->frames.size());
    return g.release();
}

uint32_t *ReadGifFrame(GifReader *g, int32_t n) {
    if (!g || n < 0 || size_t(n) >= g->frames.size()) return nullptr;
    if (n != g->nextFrame) {
        // From the last restart point at or before n, unless the frames decoded so far already lead there.
        int32_t restart = n;
        while (restart > 0 && !g->frames[size_t(restart)].restart) restart--;
        if (g->nextFrame < 0 || n < g->nextFrame || restart > g->nextFrame) {
            Rewind(g);
            if (restart > 0) {
                g->nextFrame = restart;
                g->r.Seek(g->frames[size_t(restart)].offset);
            }
        }
    }
    if (!DecodeGifFrames(g, n)) {
        g->nextFrame = -1;
        return nullptr;
    }
    auto *out = static_cast<uint32_t *>(AllocBlock(g->frameBuffer.size() * sizeof(uint32_t), 0));
    if (out) std::memcpy(out, g->frameBuffer.data(), g->frameBuffer.size() * sizeof(uint32_t));
    Dispose(g);
    if (!out) g->nextFrame = -1;
    return out;
}

int32_t GetGifFrameDelay(const GifReader *g, int32_t n) {
    if (!g || n < 0 || size_t(n) >= g->frames.size()) return 0;
    return g->frames[size_t(n)].delay * 10;
}

int64_t GetGifTransparentColour(const GifReader *g) { return g ? g->keyColour : -1; }

void CloseGifFile(GifReader *g) { delete g; }

// What the scalable engines (TrueType and outline fonts) share: drawing one rendered glyph bitmap, and measuring
// with a memory of the last text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/fonts/font_handle.h"

// Rows of bytesPerRow bytes: one bit a pixel (top bit first), or one coverage byte a pixel when eightBit.
struct GlyphBitmap {
    const uint8_t *bits = nullptr;
    int32_t bytesPerRow = 0;
    int32_t width = 0;
    int32_t rows = 0;
    bool eightBit = false;
};

// Draws the part of the bitmap that starts at (sourceX, sourceY) and is width x height with its top-left corner at
// (x, y), clipped to clip: in a colour, or in mask mode set into the target's mask (one bit) or its alpha plane
// (non-zero coverage replaces the plane's byte).
void DrawGlyphBitmap(const GlyphBitmap &glyph, int32_t sourceX, int32_t sourceY, int32_t width, int32_t height,
                     const FontRenderTarget &target, int64_t x, int64_t y, const FontClip &clip, int32_t colour);

// Glyph coverage placed for blending straight into a bitmap. Rows hold pitch bytes, zero past width; the
// pitch is a multiple of 8 so that a row blends in whole groups of pixels.
struct PlacedGlyph {
    const uint8_t *bits = nullptr;
    int32_t pitch = 0, width = 0, rows = 0;
    int32_t x = 0, y = 0; // the top-left corner
};

constexpr int32_t PaddedCoveragePitch(int32_t width) {
    return (width + 7) & ~7;
}

// The glyphs of a text in drawing order, run by run. Bitmaps come from the font's glyph cache (valid while it
// is kept) or from copies held here.
struct PlacedGlyphs {
    std::vector<PlacedGlyph> glyphs;
    std::vector<size_t> runEnds; // one past each run's last glyph
    std::vector<std::unique_ptr<uint8_t[]>> copies;

    // A padded copy of rows of bytesPerRow bytes (width of them used), kept here; null when memory ran out.
    const uint8_t *Copy(const uint8_t *bits, int32_t bytesPerRow, int32_t width, int32_t rows);
};

// Rows of bytesPerRow bytes (width used) copied into rows of PaddedCoveragePitch(width) bytes; null when
// memory ran out.
std::unique_ptr<uint8_t[]> PadCoverage(const uint8_t *bits, int32_t bytesPerRow, int32_t width, int32_t rows);

// Whether BlendPlacedGlyphs finds the overlapping glyphs in a few comparisons a glyph: not so where glyphs of
// a run go back far left (a damaged face's kerning) or many runs lie over one another.
bool PlacedGlyphsBlendCheaply(const PlacedGlyphs &placed);

// Blends pixel into a 32-bit bitmap through the glyphs' coverage, placed at (dx, dy) and clipped to clip: the
// pixels blending once the coverage they would leave in one plane, where each glyph's non-zero coverage
// replaces what lies under it (overlapping glyphs, kerned or slanted, included).
void BlendPlacedGlyphs(const PlacedGlyphs &placed, HostBitmap *target, int32_t dx, int32_t dy,
                       const FontClip &clip, uint32_t pixel);

// The ink box of a measure: rows relative to the baseline, columns from the text's start.
struct InkBox {
    int64_t minX = 10000, minY = 10000, maxX = 0, maxY = 0;
    bool seen = false;
    void Add(int64_t left, int64_t top, int64_t right, int64_t bottom);
    // width, height and the box (0 where no ink was seen), clamped to 32 bits.
    void Write(int64_t width, int32_t height, TextExtentInfo *out) const;
};

// The text a font measured last, with the style bits and encoding that change its extents. A longer text that
// starts with it continues from its extent.
struct LastMeasuredText {
    std::string text;
    bool valid = false;
    uint32_t style = 0;
    int encoding = 0;
    TextExtentInfo extent;
    bool seenInk = false;

    static uint32_t StyleKey(uint32_t style) { return style & (kTextBold | kTextItalic | kTextAntialias); }
    // How many of the characters of text (decoded as characters) the last text covers: 0 unless text continues it in
    // the same style and encoding on a whole character.
    size_t Covers(const char *text, size_t length, uint32_t style, int encoding,
                  const std::vector<uint32_t> &characters) const;
    // The ink box the last text leaves for its continuation.
    InkBox Ink() const;
    // Keeps a text of at most 1023 bytes, forgets a longer one.
    void Store(const char *text, size_t length, uint32_t style, int encoding, const TextExtentInfo &extent, bool ink);
    void Forget() {
        text.clear();
        valid = false;
    }
};

#include "text/fonts/scalable_text.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <tuple>
#include <utility>

#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/blit_kernels.h"
#include "text/fonts/bitmap_font.h"

void DrawGlyphBitmap(const GlyphBitmap &glyph, int32_t sourceX, int32_t sourceY, int32_t width, int32_t height,
                     const FontRenderTarget &target, int64_t x, int64_t y, const FontClip &clip, int32_t colour) {
    if (!glyph.bits || glyph.bytesPerRow <= 0 || width <= 0 || height <= 0 || sourceX < 0 || sourceY < 0 ||
        sourceX + int64_t(width) > glyph.width || sourceY + int64_t(height) > glyph.rows ||
        glyph.width > int64_t(glyph.bytesPerRow) * (glyph.eightBit ? 1 : 8))
        return;
    if (x < INT32_MIN / 2 || x > INT32_MAX / 2 || y < INT32_MIN / 2 || y > INT32_MAX / 2) return;
    int32_t dx = int32_t(x), dy = int32_t(y);
    if (!ClipGlyphRect(clip, &sourceX, &sourceY, &dx, &dy, &width, &height)) return;
    if (!glyph.eightBit) {
        MaskPlane shape;
        shape.bits = const_cast<uint8_t *>(glyph.bits);
        shape.bytesPerRow = glyph.bytesPerRow;
        shape.rows = glyph.rows;
        if (colour == kRenderMaskMode) {
            if (target.mask)
                BlitTemplateToMask(&shape, sourceX, sourceY, target.mask, dx, dy, width, height, TemplateMaskSet);
        } else if (target.bitmap) {
            BLTTEMPLATE(&shape, sourceX, sourceY, target.bitmap, dx, dy, width, height, uint32_t(colour) & 0xFFFFFF);
        }
        return;
    }
    if (colour != kRenderMaskMode) {
        AlphaPlane coverage;
        coverage.bytes = const_cast<uint8_t *>(glyph.bits);
        coverage.width = glyph.width;
        coverage.height = glyph.rows;
        coverage.bytesPerRow = glyph.bytesPerRow;
        if (target.bitmap)
            BLTALPHACHANNEL(&coverage, sourceX, sourceY, target.bitmap, dx, dy, width, height,
                            uint32_t(colour) & 0xFFFFFF, kAlphaChannelColor);
        return;
    }
    AlphaPlane *plane = target.alpha;
    if (!plane) return;
    // The plane's own size bounds the copy.
    const int32_t first = std::max(0, -dx), last = int32_t(std::min<int64_t>(width, int64_t(plane->width) - dx));
    const int32_t firstRow = std::max(0, -dy), lastRow = int32_t(std::min<int64_t>(height, int64_t(plane->height) - dy));
    for (int32_t row = firstRow; row < lastRow; row++) {
        const uint8_t *source = glyph.bits + size_t(sourceY + row) * size_t(glyph.bytesPerRow) + sourceX + first;
        uint8_t *destination = plane->bytes + size_t(dy + row) * size_t(plane->bytesPerRow) + size_t(dx + first);
        for (int32_t i = 0; i < last - first; i++) destination[i] = source[i] ? source[i] : destination[i];
    }
}

std::unique_ptr<uint8_t[]> PadCoverage(const uint8_t *bits, int32_t bytesPerRow, int32_t width,
                                       int32_t rows) {
    const size_t pitch = size_t(PaddedCoveragePitch(width));
    std::unique_ptr<uint8_t[]> padded(new (std::nothrow) uint8_t[pitch * size_t(rows)]());
    if (padded)
        for (int32_t r = 0; r < rows; r++)
            memcpy(&padded[size_t(r) * pitch], bits + size_t(r) * size_t(bytesPerRow), size_t(width));
    return padded;
}

const uint8_t *PlacedGlyphs::Copy(const uint8_t *bits, int32_t bytesPerRow, int32_t width, int32_t rows) {
    std::unique_ptr<uint8_t[]> padded = PadCoverage(bits, bytesPerRow, width, rows);
    if (!padded) return nullptr;
    copies.push_back(std::move(padded));
    return copies.back().get();
}

namespace {

bool BoxesMeet(const PlacedGlyph &a, const PlacedGlyph &b) {
    return int64_t(a.x) < int64_t(b.x) + b.width && int64_t(b.x) < int64_t(a.x) + a.width &&
           int64_t(a.y) < int64_t(b.y) + b.rows && int64_t(b.y) < int64_t(a.y) + a.rows;
}

struct Box {
    int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
    void Add(const PlacedGlyph &g) {
        x0 = std::min<int64_t>(x0, g.x), y0 = std::min<int64_t>(y0, g.y);
        x1 = std::max<int64_t>(x1, int64_t(g.x) + g.width), y1 = std::max<int64_t>(y1, int64_t(g.y) + g.rows);
    }
    bool Meets(const PlacedGlyph &g) const {
        return x0 < int64_t(g.x) + g.width && int64_t(g.x) < x1 && y0 < int64_t(g.y) + g.rows &&
               int64_t(g.y) < y1;
    }
    bool Meets(const Box &b) const { return x0 < b.x1 && b.x0 < x1 && y0 < b.y1 && b.y0 < y1; }
};

// Which later glyphs can cover a glyph's pixels. In a run, glyphs whose left edges, from there on, all lie
// right of the glyph, and those whose right edges, up to there, all lie left of it, cannot: binary searches
// on the smallest left edge from each glyph on and the largest right edge up to it leave the few between.
// Later runs are looked into where their boxes meet.
struct OverlapIndex {
    const PlacedGlyphs &placed;
    std::vector<Box> runBoxes;
    std::vector<int64_t> minLeftFrom, maxRightTo;
    std::vector<std::vector<size_t>> meetingLater;

    explicit OverlapIndex(const PlacedGlyphs &p)
        : placed(p), minLeftFrom(p.glyphs.size()), maxRightTo(p.glyphs.size()) {
        size_t begin = 0;
        for (size_t end : placed.runEnds) {
            Box box;
            int64_t left = INT64_MAX, right = INT64_MIN;
            for (size_t i = end; i-- > begin;) {
                box.Add(placed.glyphs[i]);
                left = std::min<int64_t>(left, placed.glyphs[i].x);
                minLeftFrom[i] = left;
            }
            for (size_t i = begin; i < end; i++) {
                right = std::max<int64_t>(right, int64_t(placed.glyphs[i].x) + placed.glyphs[i].width);
                maxRightTo[i] = right;
            }
            runBoxes.push_back(box);
            begin = end;
        }
        meetingLater.resize(runBoxes.size());
        for (size_t a = 0; a < runBoxes.size(); a++)
            for (size_t b = a + 1; b < runBoxes.size(); b++)
                if (runBoxes[a].Meets(runBoxes[b])) meetingLater[a].push_back(b);
    }
    size_t RunBegin(size_t run) const { return run ? placed.runEnds[run - 1] : 0; }
    // The glyphs of run, from glyph from on, that may meet g.
    std::pair<size_t, size_t> Candidates(size_t run, size_t from, const PlacedGlyph &g) const {
        const auto first = maxRightTo.begin() + ptrdiff_t(from),
                   last = maxRightTo.begin() + ptrdiff_t(placed.runEnds[run]);
        const size_t start = size_t(std::upper_bound(first, last, int64_t(g.x)) - maxRightTo.begin());
        const size_t end = size_t(std::lower_bound(minLeftFrom.begin() + ptrdiff_t(from),
                                                   minLeftFrom.begin() + ptrdiff_t(placed.runEnds[run]),
                                                   int64_t(g.x) + g.width) -
                                  minLeftFrom.begin());
        return {start, std::max(start, end)};
    }
    // Calls f(j) for each later glyph j whose box meets glyph i's (of run run).
    template <class F> void ForEachLater(size_t run, size_t i, F &&f) const {
        const PlacedGlyph &g = placed.glyphs[i];
        // In its own run the next glyph or two end a glyph's scan: no search.
        const int64_t right = int64_t(g.x) + g.width;
        for (size_t j = i + 1; j < placed.runEnds[run] && minLeftFrom[j] < right; j++)
            f(j);
        for (size_t other : meetingLater[run])
            if (runBoxes[other].Meets(g)) {
                const auto [start, end] = Candidates(other, RunBegin(other), g);
                for (size_t j = start; j < end; j++)
                    f(j);
            }
    }
    // The glyph pairs the blend compares.
    uint64_t Comparisons() const {
        uint64_t total = 0;
        for (size_t run = 0; run < placed.runEnds.size(); run++)
            for (size_t i = RunBegin(run); i < placed.runEnds[run]; i++)
                ForEachLater(run, i, [&](size_t) { total++; });
        return total;
    }
};

} // namespace

bool PlacedGlyphsBlendCheaply(const PlacedGlyphs &placed) {
    return OverlapIndex(placed).Comparisons() <= 16 * uint64_t(placed.glyphs.size()) + 4096;
}

void BlendPlacedGlyphs(const PlacedGlyphs &placed, HostBitmap *target, int32_t dx, int32_t dy,
                       const FontClip &clip, uint32_t pixel) {
    const std::vector<PlacedGlyph> &glyphs = placed.glyphs;
    if (!target || !target->pixels || glyphs.empty()) return;
    const int64_t clipX0 = std::max<int64_t>(0, clip.x), clipY0 = std::max<int64_t>(0, clip.y);
    const int64_t clipX1 = std::min<int64_t>(target->width, int64_t(clip.x) + clip.width);
    const int64_t clipY1 = std::min<int64_t>(target->height, int64_t(clip.y) + clip.height);
    if (clipX1 <= clipX0 || clipY1 <= clipY0) return;
    // A glyph's pixel blends only where no later glyph has coverage.
    const OverlapIndex index(placed);
    std::vector<size_t> later;
    std::vector<uint8_t> row;
    size_t run = 0;
    for (size_t i = 0; i < glyphs.size(); i++) {
        while (run < placed.runEnds.size() && placed.runEnds[run] <= i)
            run++;
        const PlacedGlyph &g = glyphs[i];
        const int64_t gx = int64_t(dx) + g.x, gy = int64_t(dy) + g.y;
        const int64_t c0 = std::max<int64_t>(0, clipX0 - gx), c1 = std::min<int64_t>(g.width, clipX1 - gx);
        const int64_t r0 = std::max<int64_t>(0, clipY0 - gy), r1 = std::min<int64_t>(g.rows, clipY1 - gy);
        if (c1 <= c0 || r1 <= r0) continue;
        later.clear();
        index.ForEachLater(run, i, [&](size_t j) {
            if (BoxesMeet(g, glyphs[j])) later.push_back(j);
        });
        // The whole padded row where it lies inside the clip: its zeros leave the pixels as they are.
        const bool whole = c0 == 0 && gx + g.pitch <= clipX1;
        const int64_t from = whole ? 0 : c0, count = whole ? g.pitch : c1 - c0;
        if (later.empty()) {
            BlendPixelRectAlpha32(HostBitmapRow(target, int32_t(gy + r0)) + size_t(gx + from) * 4,
                                  HostBitmapStride(target), pixel,
                                  g.bits + size_t(r0) * size_t(g.pitch) + from, size_t(g.pitch), int(count),
                                  int(r1 - r0));
            continue;
        }
        for (int64_t r = r0; r < r1; r++) {
            const uint8_t *coverage = g.bits + size_t(r) * size_t(g.pitch);
            const int64_t y = int64_t(g.y) + r;
            bool hidden = false;
            for (size_t j : later) {
                const PlacedGlyph &h = glyphs[j];
                if (y < h.y || y >= int64_t(h.y) + h.rows) continue;
                if (!hidden) {
                    row.assign(coverage, coverage + g.pitch);
                    hidden = true;
                }
                const uint8_t *over = h.bits + size_t(y - h.y) * size_t(h.pitch);
                const int64_t x0 = std::max<int64_t>(g.x, h.x),
                              x1 = std::min<int64_t>(int64_t(g.x) + g.width, int64_t(h.x) + h.width);
                for (int64_t x = x0; x < x1; x++)
                    if (over[x - h.x]) row[size_t(x - g.x)] = 0;
            }
            if (hidden) coverage = row.data();
            auto *destination =
                reinterpret_cast<uint8_t *>(HostBitmapRow32(target, int32_t(gy + r)) + (gx + from));
            BlendPixelRowAlpha32(destination, pixel, coverage + from, int(count));
        }
    }
}

void InkBox::Add(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    seen = true;
    minX = std::min(minX, left);
    minY = std::min(minY, top);
    maxX = std::max(maxX, right);
    maxY = std::max(maxY, bottom);
}

void InkBox::Write(int64_t width, int32_t height, TextExtentInfo *out) const {
    auto clamp32 = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    out->width = clamp32(width);
    out->height = height;
    out->minX = clamp32(minX == 10000 ? 0 : minX);
    out->minY = clamp32(minY == 10000 ? 0 : minY);
    out->maxX = clamp32(maxX);
    out->maxY = clamp32(maxY);
}

size_t LastMeasuredText::Covers(const char *next, size_t length, uint32_t nextStyle, int nextEncoding,
                                const std::vector<uint32_t> &characters) const {
    if (!valid || StyleKey(nextStyle) != style || nextEncoding != encoding || length <= text.size() ||
        memcmp(next, text.data(), text.size()) != 0)
        return 0;
    if (encoding != 1) return text.size(); // one character a byte
    // UTF-8 continues only where the last text ended on a whole character.
    const std::vector<uint32_t> prefix = DecodeFontText(next, text.size(), encoding);
    if (prefix.size() >= characters.size() || !std::equal(prefix.begin(), prefix.end(), characters.begin())) return 0;
    return prefix.size();
}

InkBox LastMeasuredText::Ink() const {
    InkBox box;
    if (seenInk) box = InkBox{extent.minX, extent.minY, extent.maxX, extent.maxY, true};
    return box;
}

void LastMeasuredText::Store(const char *measured, size_t length, uint32_t measuredStyle, int measuredEncoding,
                             const TextExtentInfo &measuredExtent, bool ink) {
    if (length > 1023) {
        Forget();
        return;
    }
    text.assign(measured, length);
    valid = true;
    style = StyleKey(measuredStyle);
    encoding = measuredEncoding;
    extent = measuredExtent;
    seenInk = ink;
}

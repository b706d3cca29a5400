// The run renderer: aligns the laid-out runs, sizes one image around every glyph with its edge and shadow, and
// paints each run's shadow, edge and text into it with synthetic bold, italic and underline.
#include <algorithm>
#include <cstring>
#include <map>

#include "host/memory.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"
#include "text/fonts/font_handle.h"
#include "text/fonts/scalable_text.h"
#include "text/layout/text_draw.h"

int TextAllocFailAfter = 0;

namespace {

bool AllocationRefused() {
    if (TextAllocFailAfter <= 0) return false;
    return --TextAllocFailAfter == 0;
}

HostBitmap *NewBitmap(int32_t w, int32_t h) { return AllocationRefused() ? nullptr : AllocHostBitmap(w, h); }
MaskPlane *NewMask(const HostBitmap *b, int32_t w, int32_t h) {
    return AllocationRefused() ? nullptr : AllocMaskPlane(b, w, h, true);
}
AlphaPlane *NewAlpha(int32_t w, int32_t h) { return AllocationRefused() ? nullptr : AllocAlphaPlane(w, h, true); }

// A coverage buffer (0..255) with its origin in image coordinates.
struct Coverage {
    std::vector<uint8_t> bytes;
    int32_t x = 0, y = 0, width = 0, height = 0;
    uint8_t At(int32_t i, int32_t j) const { return bytes[size_t(j) * size_t(width) + size_t(i)]; }
    uint8_t &At(int32_t i, int32_t j) { return bytes[size_t(j) * size_t(width) + size_t(i)]; }
};

int32_t FloorDiv2(int32_t v) { return v >= 0 ? v / 2 : -((1 - v) / 2); }

// Grows coverage by e in every direction: one-bit text takes the maximum over the square, antialiased text the
// sum over it divided by 2e + 1 and capped at 255 (sums in 32 bits: a solid area reaches (2e + 1)^2 x 255).
Coverage Dilate(const Coverage &in, int32_t e, bool summed) {
    Coverage out;
    out.x = in.x - e, out.y = in.y - e;
    out.width = in.width + 2 * e, out.height = in.height + 2 * e;
    std::vector<uint32_t> rows(size_t(out.width) * size_t(in.height), 0);
    for (int32_t j = 0; j < in.height; j++) {
        uint32_t *row = &rows[size_t(j) * size_t(out.width)];
        for (int32_t i = 0; i < in.width; i++) {
            const uint32_t v = in.At(i, j);
            if (!v) continue;
            for (int32_t k = 0; k <= 2 * e; k++) row[i + k] = summed ? row[i + k] + v : std::max(row[i + k], v);
        }
    }
    std::vector<uint32_t> sums(size_t(out.width) * size_t(out.height), 0);
    for (int32_t j = 0; j < in.height; j++)
        for (int32_t i = 0; i < out.width; i++) {
            const uint32_t v = rows[size_t(j) * size_t(out.width) + size_t(i)];
            if (!v) continue;
            for (int32_t k = 0; k <= 2 * e; k++) {
                uint32_t &s = sums[size_t(j + k) * size_t(out.width) + size_t(i)];
                s = summed ? s + v : std::max(s, v);
            }
        }
    out.bytes.resize(sums.size());
    const uint32_t divisor = summed ? uint32_t(2 * e + 1) : 1;
    for (size_t n = 0; n < sums.size(); n++) out.bytes[n] = uint8_t(std::min<uint32_t>(sums[n] / divisor, 255));
    return out;
}

class Painter {
public:
    Painter(RenderedText *out) : img_(out->image) {}

    // Paints coverage moved by (dx, dy) in colour 0xTTRRGGBB: later paints lie over earlier ones.
    void Paint(const Coverage &c, int32_t dx, int32_t dy, uint32_t colour) {
        const uint32_t rgb = colour & 0xFFFFFF, level = 255 - (colour >> 24);
        if (!img_.alpha) {
            ForEachRow(c, dx, dy, [&](int32_t x, int32_t y, const uint8_t *cov, int32_t n) {
                uint32_t *pixel = HostBitmapRow32(img_.bitmap, y) + x;
                uint8_t *bits = img_.mask->bits + size_t(y) * size_t(img_.mask->bytesPerRow);
                for (int32_t i = 0; i < n; i++)
                    if (cov[i]) {
                        pixel[i] = 0xFF000000u | rgb;
                        bits[(x + i) >> 3] |= uint8_t(0x80 >> ((x + i) & 7));
                    }
            });
            return;
        }
        ForEachRow(c, dx, dy, [&](int32_t x, int32_t y, const uint8_t *cov, int32_t n) {
            uint32_t *pixel = HostBitmapRow32(img_.bitmap, y) + x;
            uint8_t *alpha = img_.alpha->bytes + size_t(y) * size_t(img_.alpha->bytesPerRow) + x;
            for (int32_t i = 0; i < n; i++) {
                if (!cov[i]) continue;
                const uint32_t src = level == 255 ? cov[i] : cov[i] * level / 255, dst = alpha[i];
                if (dst == 0) { // nothing beneath: the colour itself at the coverage's strength
                    pixel[i] = 0xFF000000u | rgb;
                    alpha[i] = uint8_t(src);
                    continue;
                }
                const uint32_t outA = src + dst * (255 - src) / 255;
                if (outA == 0) continue;
                uint32_t mixed = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    const uint32_t s = (rgb >> shift) & 0xFF, d = (pixel[i] >> shift) & 0xFF;
                    const uint32_t v = (s * src + d * dst * (255 - src) / 255 + outA / 2) / outA;
                    mixed |= std::min<uint32_t>(v, 255) << shift;
                }
                pixel[i] = 0xFF000000u | mixed;
                alpha[i] = uint8_t(outA);
            }
        });
    }

    // Takes the coverage out of the alpha channel (text that must not show its edge beneath).
    void CutOut(const Coverage &c, int32_t dx, int32_t dy) {
        if (!img_.alpha) return;
        ForEachRow(c, dx, dy, [&](int32_t x, int32_t y, const uint8_t *cov, int32_t n) {
            uint8_t *alpha = img_.alpha->bytes + size_t(y) * size_t(img_.alpha->bytesPerRow) + x;
            for (int32_t i = 0; i < n; i++) alpha[i] = uint8_t(alpha[i] * (255 - cov[i]) / 255);
        });
    }

private:
    // f(x, y, coverage, n) for each row of the coverage that lies in the image, clipped.
    template <typename F> void ForEachRow(const Coverage &c, int32_t dx, int32_t dy, F f) {
        const int32_t x0 = std::max(0, -(c.x + dx)), y0 = std::max(0, -(c.y + dy));
        const int32_t x1 = std::min(c.width, img_.width - (c.x + dx)), y1 = std::min(c.height, img_.height - (c.y + dy));
        if (x1 <= x0) return;
        for (int32_t j = y0; j < y1; j++) f(c.x + dx + x0, c.y + dy + j, c.bytes.data() + size_t(j) * size_t(c.width) + size_t(x0), x1 - x0);
    }
    ImageTriple &img_;
};

void ShadowOffset(const TextStyle &s, int32_t *dx, int32_t *dy) {
    static const int8_t kDir[8][2] = {{0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}};
    const int32_t d = s.shadowDirection >= 0 && s.shadowDirection <= 7 ? s.shadowDirection : 3;
    *dx = kDir[d][0] * s.shadowSize;
    *dy = kDir[d][1] * s.shadowSize;
}

// The run's glyphs as coverage over one line (height + 1 rows) of the image, with the synthetic styles. The
// buffer spans only the run's columns (with room for bold and italic), clipped to the image.
int RunTemplate(const TextDrawParams &params, const TextRun &run, int32_t px, int32_t py, int32_t imageWidth,
                bool antialiased, Coverage *t) {
    FontHandle *font = params.style.font ? params.style.font : BuiltinTopazFont;
    const int32_t height = font ? font->height : 8, baseline = font ? font->baseline : 6;
    const TextExtentInfo &e = run.extent;
    const int32_t left = std::max(0, px + std::min(0, e.minX) - height), right =
        std::min(imageWidth, px + std::max({e.width, e.boxWidth, e.maxX + 1}) + height);
    t->x = left, t->y = py, t->width = std::max(1, right - left), t->height = height + 1;
    t->bytes.assign(size_t(t->width) * size_t(t->height), 0);
    px -= left;
    const FontClip clip{0, 0, t->width, t->height};
    if (antialiased) {
        AlphaPlane plane;
        InitWrappedAlphaPlane(&plane, t->bytes.data(), t->width);
        plane.width = t->width;
        plane.height = t->height;
        if (AllocationRefused()) return kErrOutOfMemory;
        RenderText(font, FontRenderTarget{nullptr, nullptr, &plane}, px, 0, run.text.data(), run.text.size(),
                   run.style.style, params.encoding, clip, kRenderMaskMode);
    } else {
        MaskPlane *plane = NewMask(nullptr, t->width, t->height);
        if (!plane) return kErrOutOfMemory;
        RenderText(font, FontRenderTarget{nullptr, plane, nullptr}, px, 0, run.text.data(), run.text.size(),
                   run.style.style, params.encoding, clip, kRenderMaskMode);
        for (int32_t j = 0; j < t->height; j++)
            for (int32_t i = 0; i < t->width; i++) t->At(i, j) = MaskBit(plane, i, j) ? 255 : 0;
        FreeMaskPlane(plane);
        const bool bold = (run.style.style & kTextBold) && !QueryFontStyle(font, kTextBold);
        const bool italic = (run.style.style & kTextItalic) && !QueryFontStyle(font, kTextItalic);
        if (bold || italic) {
            Coverage slant = *t;
            std::fill(slant.bytes.begin(), slant.bytes.end(), 0);
            for (int32_t j = 0; j < t->height; j++) {
                const int32_t shift = italic ? FloorDiv2(baseline - 1 - j) : 0;
                for (int32_t i = 0; i < t->width; i++) {
                    if (!t->At(i, j)) continue;
                    for (int32_t k = 0; k <= (bold ? 1 : 0); k++) {
                        const int32_t to = i + k + shift;
                        if (to >= 0 && to < t->width) slant.At(to, j) = 255;
                    }
                }
            }
            *t = std::move(slant);
        }
    }
    if ((run.style.style & kTextUnderlined) && !QueryFontStyle(font, kTextUnderlined)) {
        const int32_t d = height - baseline;
        int32_t row = baseline, thickness = 1;
        if (d == 1) row = baseline + 1;
        else if (d > 1) thickness = std::max(1, d / 3), row = baseline + thickness;
        for (int32_t j = std::max(0, row); j < std::min(t->height, row + thickness); j++)
            for (int32_t i = std::max(0, px); i < std::min(t->width, px + run.extent.width); i++) t->At(i, j) = 255;
    }
    return 0;
}

// A colour bitmap font paints its own pixels; shadow and edge do not apply.
int PaintColourRun(const TextDrawParams &params, const TextRun &run, int32_t px, int32_t py, ImageTriple &img) {
    FontHandle *font = params.style.font;
    const int32_t height = font->height;
    HostBitmap *bitmap = NewBitmap(img.width, height);
    MaskPlane *mask = bitmap ? NewMask(bitmap, img.width, height) : nullptr;
    if (!mask) {
        FreeHostBitmap(bitmap);
        return kErrOutOfMemory;
    }
    RenderText(font, FontRenderTarget{bitmap, mask, nullptr}, px, 0, run.text.data(), run.text.size(),
               run.style.style, params.encoding, FontClip{0, 0, img.width, height}, kRenderMaskMode);
    for (int32_t j = 0; j < height && py + j < img.height; j++)
        for (int32_t i = 0; i < img.width; i++) {
            if (!MaskBit(mask, i, j)) continue;
            HostBitmapRow32(img.bitmap, py + j)[i] = HostBitmapRow32(bitmap, j)[i];
            if (img.alpha) img.alpha->bytes[size_t(py + j) * size_t(img.alpha->bytesPerRow) + size_t(i)] = 255;
            else img.mask->bits[size_t(py + j) * size_t(img.mask->bytesPerRow) + size_t(i >> 3)] |= uint8_t(0x80 >> (i & 7));
        }
    FreeMaskPlane(mask);
    FreeHostBitmap(bitmap);
    return 0;
}

int PaintRun(const TextDrawParams &params, const TextRun &run, int32_t px, int32_t py, bool antialiased,
             Painter &painter, ImageTriple &img) {
    const FontHandle *font = params.style.font ? params.style.font : BuiltinTopazFont;
    if (font && font->kind == FontKindColorBitmap) return PaintColourRun(params, run, px, py, img);
    Coverage t;
    if (int error = RunTemplate(params, run, px, py, img.width, antialiased, &t)) return error;
    const uint32_t style = run.style.style;
    const int32_t e = run.style.edgeSize;
    Coverage edge;
    if (style & kTextEdge) edge = Dilate(t, e, antialiased);
    if (style & kTextShadow) {
        int32_t dx = 0, dy = 0;
        ShadowOffset(run.style, &dx, &dy);
        painter.Paint((style & kTextEdge) ? edge : t, dx, dy, run.style.shadowColor);
    }
    if (style & kTextEdge) painter.Paint(edge, 0, 0, run.style.edgeColor);
    if ((style & kTextEdge) && (run.style.color >> 24)) painter.CutOut(t, 0, 0);
    painter.Paint(t, 0, 0, run.style.color);
    return 0;
}

} // namespace

int RenderTextRuns(const TextDrawParams &params, int32_t startX, std::vector<TextRun> &runs, bool geometryOnly,
                   RenderedText *out, bool coverageWanted) {
    *out = RenderedText{};
    const FontHandle *font = params.style.font ? params.style.font : BuiltinTopazFont;
    const int32_t fontHeight = font ? font->height : 8;
    const bool antialiased = (params.style.style & kTextAntialias) != 0;
    if (runs.empty()) {
        out->image.width = 1;
        out->image.height = fontHeight;
        out->layoutWidth = 1;
        if (geometryOnly) return 0;
        out->image.bitmap = NewBitmap(1, fontHeight);
        out->image.mask = out->image.bitmap ? NewMask(out->image.bitmap, 1, fontHeight) : nullptr;
        if (!out->image.mask) {
            FreeImageTriple(&out->image);
            return kErrOutOfMemory;
        }
        return 0;
    }
    if (std::all_of(runs.begin(), runs.end(), [](const TextRun &r) { return r.y == 0; })) {
        for (TextRun &run : runs) run.x -= startX;
        out->startX = startX;
    }
    // Alignment: each line's last run against the block's right pixel.
    if (params.align == kAlignCenter || params.align == kAlignRight) {
        int32_t blockRight = INT32_MIN;
        for (const TextRun &run : runs) blockRight = std::max(blockRight, run.x + run.extent.maxX);
        std::map<int32_t, int32_t> lineRight;
        for (const TextRun &run : runs) lineRight[run.y] = run.x + run.extent.maxX;
        for (TextRun &run : runs) {
            const int32_t gap = blockRight - lineRight[run.y];
            run.x += params.align == kAlignCenter ? gap / 2 : gap;
        }
    }
    int32_t left = 0, top = 0, right = 0, bottom = 0, lastLine = 0;
    bool seeThrough = (params.style.color >> 24) != 0;
    for (const TextRun &run : runs) {
        const TextExtentInfo &x = run.extent;
        left = std::min(left, run.x + std::min(x.minX, 0) + x.leftExtra);
        top = std::min(top, x.topExtra);
        right = std::max(right, run.x + x.boxWidth + x.rightExtra);
        bottom = std::max(bottom, x.bottomExtra);
        lastLine = std::max(lastLine, run.y);
        const uint32_t s = run.style.style;
        if ((run.style.color >> 24) || ((s & kTextShadow) && (run.style.shadowColor >> 24)) ||
            ((s & kTextEdge) && (run.style.edgeColor >> 24)))
            seeThrough = true;
    }
    ImageTriple &img = out->image;
    img.width = std::max(1, right - left);
    img.height = lastLine + fontHeight + bottom + 1 - top;
    out->offsetX = left;
    out->offsetY = top;
    out->layoutWidth = img.width;
    // Centred text too: a text object is laid out at CENTER, and its wrapped width must still be the narrower one.
    if (params.rightMargin > 0) out->layoutWidth = std::min(img.width, params.rightMargin - left);
    if (geometryOnly) return 0;
    // Antialiased text in one opaque colour without effects: the glyph coverage is the alpha channel itself.
    const uint32_t plain = kTextShadow | kTextEdge | kTextUnderlined;
    const bool plainCoverage = antialiased && std::all_of(runs.begin(), runs.end(), [&](const TextRun &r) {
        return !(r.style.style & plain) && r.style.color == runs.front().style.color && !(r.style.color >> 24);
    });
    const uint32_t pixel = 0xFF000000u | runs.front().style.color;
    // A caller that blends the colour through the coverage itself needs no bitmap filled with it, and a font
    // whose glyphs can be placed needs no plane either: they blend straight from the glyph cache. Past a few
    // hundred runs, or where telling which glyphs overlap takes long, the plane costs less.
    constexpr size_t kMostPlacedRuns = 256;
    if (plainCoverage && coverageWanted && runs.size() <= kMostPlacedRuns) {
        FontHandle *font = params.style.font ? params.style.font : BuiltinTopazFont;
        auto placed = std::make_shared<PlacedGlyphs>();
        bool all = true;
        for (const TextRun &run : runs)
            all = all && PlaceGlyphs(font, run.x - left, run.y - top, run.text.data(), run.text.size(),
                                     run.style.style, params.encoding, placed.get());
        if (all && PlacedGlyphsBlendCheaply(*placed)) {
            out->coverageOnly = true;
            out->coveragePixel = pixel;
            out->glyphs = std::move(placed);
            return 0;
        }
    }
    out->coverageOnly = plainCoverage && coverageWanted;
    if (!out->coverageOnly) img.bitmap = NewBitmap(img.width, img.height);
    if (img.bitmap || out->coverageOnly) {
        if (antialiased || seeThrough) img.alpha = NewAlpha(img.width, img.height);
        else img.mask = NewMask(img.bitmap, img.width, img.height);
    }
    if ((!img.bitmap && !out->coverageOnly) || (!img.alpha && !img.mask)) {
        FreeImageTriple(&img);
        out->coverageOnly = false;
        return kErrOutOfMemory;
    }
    if (plainCoverage) {
        FontHandle *font = params.style.font ? params.style.font : BuiltinTopazFont;
        out->coveragePixel = pixel;
        for (int32_t y = 0; img.bitmap && y < img.height; y++) std::fill_n(HostBitmapRow32(img.bitmap, y), img.width, pixel);
        for (const TextRun &run : runs)
            RenderText(font, FontRenderTarget{nullptr, nullptr, img.alpha}, run.x - left, run.y - top, run.text.data(),
                       run.text.size(), run.style.style, params.encoding, FontClip{0, 0, img.width, img.height},
                       kRenderMaskMode);
        return 0;
    }
    Painter painter(out);
    for (const TextRun &run : runs) {
        if (run.text.empty()) continue;
        if (int error = PaintRun(params, run, run.x - left, run.y - top, antialiased, painter, img)) {
            FreeImageTriple(&img);
            return error;
        }
    }
    return 0;
}

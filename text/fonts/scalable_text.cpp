#include "text/fonts/scalable_text.h"

#include <algorithm>
#include <cstring>

#include "host/blit.h"
#include "imaging/blit.h"
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

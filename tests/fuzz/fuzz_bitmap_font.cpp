// A bitmap font's per-size file and contents file from arbitrary bytes: load, then measure and draw text in
// colour and mask mode. The first byte chooses whether a colour font stays pending. Any outcome but a crash or
// a sanitizer report is fine.
#include <cstddef>
#include <cstdint>
#include <string>

#include "text/fonts/bitmap_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    std::span<const uint8_t> bytes(data + 1, size - 1);
    std::string entry;
    FindBitmapFontEntry(bytes, 8, &entry);
    FontHandle font;
    if (!ReadBitmapFontSize(bytes, &font, data[0] & 1)) return 0;
    static const char kText[] = "Abc \xe9\xff\x01 \xc3\xa9";
    TextExtentInfo extent;
    MeasureText(&font, kText, sizeof kText - 1, 0, data[0] >> 1 & 1, &extent);
    HostBitmap *bitmap = AllocHostBitmap(48, 24);
    MaskPlane *mask = AllocMaskPlane(bitmap, 48, 24);
    const FontClip clip{-3, -2, 40, 30};
    RenderText(&font, {bitmap, mask}, -4, 3, kText, sizeof kText - 1, 0, 0, clip, 0xFF00FF);
    RenderText(&font, {bitmap, mask}, 5, -6, kText, sizeof kText - 1, 0, 1, clip, kRenderMaskMode);
    FreeMaskPlane(mask);
    FreeHostBitmap(bitmap);
    FreeBitmapFontData(&font);
    return 0;
}

// A TrueType or OpenType face from arbitrary bytes, read through a font stream as a linked font is, or through the
// outline engine as a linked outline font is: open, size, then measure and draw plain, bold, italic and
// antialiased text. The first byte is the size (low six bits) and the engine (64: outline). Any outcome but a
// crash or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_memory_name.h"
#include "text/fonts/system_fonts.h"
#include "text/fonts/truetype_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    static const int started = InitTrueTypeEngine();
    if (started) return 0;
    FuzzMemoryFile file(data + 1, size - 1);
    FontHandle font;
    const bool outline = data[0] & 64;
    const std::string name = file.ChunkName("face.ttf");
    if (!(outline ? OpenOsFont(name.c_str(), 1 + data[0] % 64, &font)
                  : OpenTrueTypeFont(name.c_str(), 1 + data[0] % 64, data[0] & 1, &font)))
        return 0;
    static const char kText[] = "AVa\xe9 g\xc3\xa9";
    HostBitmap *bitmap = AllocHostBitmap(64, 32);
    MaskPlane *mask = AllocMaskPlane(bitmap, 64, 32);
    AlphaPlane *alpha = AllocAlphaPlane(64, 32);
    for (uint32_t style : {0u, kTextBold, kTextItalic, kTextAntialias, kTextBold | kTextItalic | kTextAntialias}) {
        TextExtentInfo extent;
        MeasureText(&font, kText, sizeof kText - 1, style, style & 1, &extent);
        RenderText(&font, {bitmap, mask, alpha}, -2, 1, kText, sizeof kText - 1, style, 1, FontClip{0, 0, 64, 32},
                   style & kTextBold ? kRenderMaskMode : 0x123456);
    }
    QueryFontStyle(&font, kTextBold);
    SetFontScale(&font, 1.5, 0.5);
    TextExtentInfo extent;
    MeasureText(&font, kText, 3, 0, 0, &extent);
    FreeAlphaPlane(alpha);
    FreeMaskPlane(mask);
    FreeHostBitmap(bitmap);
    if (outline) CloseOsFont(&font);
    else CloseTrueTypeFace(&font);
    return 0;
}

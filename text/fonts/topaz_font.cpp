#include "text/fonts/topaz_font.h"

#include <cstring>
#include <new>

#include "runtime/app/errors.h"
#include "text/fonts/bitmap_font.h"

int BuildTopazFont(FontHandle **out) {
    auto *font = new (std::nothrow) FontHandle;
    auto *data = new (std::nothrow) BitmapFontData;
    MaskPlane *mask = WrapMaskBuffer(const_cast<uint8_t *>(kTopazGlyphStrip), kTopazStripBytes, kTopazStripRows);
    if (!font || !data || !mask) {
        delete font;
        delete data;
        FreeMaskPlane(mask);
        return kErrOutOfMemory;
    }
    data->height = 8;
    data->nominalWidth = 8;
    data->baseline = 6;
    data->boldSmear = 1;
    data->lowChar = 32;
    data->highChar = 255;
    data->strip = kTopazGlyphStrip;
    data->rowLength = kTopazStripBytes;
    data->entryCount = 225;
    data->glyphMask = mask;
    data->locations.resize(225);
    for (int32_t c = 32; c <= 256; c++) {
        int32_t offset = kTopazBoxOffset; // 128..159 and the entry for characters out of range
        if (c < 128) offset = 8 * (c - 32);
        else if (c == 160) offset = 0;
        else if (c >= 161 && c <= 255) offset = 776 + 8 * (c - 161);
        data->locations[size_t(c - 32)] = uint32_t(offset) << 16 | 8;
    }
    CopyFontName(font->name, sizeof font->name, "topaz");
    font->requestedSize = 8;
    font->height = font->baseHeight = 8;
    font->baseline = font->baseBaseline = 6;
    font->kind = FontKindBitmap;
    font->engineData = data;
    *out = font;
    return 0;
}

void FreeTopazFont(FontHandle *font) {
    if (!font) return;
    auto *data = static_cast<BitmapFontData *>(font->engineData);
    if (data) FreeMaskPlane(data->glyphMask);
    delete data;
    delete font;
}

// The outline-font engines behind kind-3 fonts: the requests an engine answers, and the FreeType one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// What a font's otag file says about it.
struct OutlineTags {
    std::string engine;   // OT_Engine
    std::string fontFile; // the engine's font file, empty when the otag names none
    uint32_t sizeFactor = 0x00010001; // point height over pixel height, 16 bits each
};

// A rendered glyph. The black box is the inked part of the bitmap; (x0, y0) is where the glyph's origin lies in
// the bitmap, so the bitmap's top-left corner goes to (pen - x0, baseline - y0).
struct OutlineGlyphMap {
    const uint8_t *bits = nullptr; // rows of bytesPerRow: one bit a pixel (top bit first), or one byte in 8-bit maps
    int32_t bytesPerRow = 0;
    int32_t columns = 0, rows = 0; // the bitmap's size in pixels
    int32_t blackLeft = 0, blackTop = 0, blackWidth = 0, blackHeight = 0;
    int32_t x0 = 0, y0 = 0;
    int32_t width = 0; // the advance, a 16.16 fraction of the em
};

// Shear and emboldening values, 16.16: the sine and cosine of 15 degrees, and fractions of the em.
constexpr int32_t kOutlineItalicSine = 0x424E, kOutlineItalicCosine = 0xF747;
constexpr int32_t kOutlineBoldX = 0xE75, kOutlineBoldY = 0x99E;

// One opened engine with its own state (font, size, current glyph, shear, emboldening). Every call answers 0 on
// success, as the engines' SetInfo and ObtainInfo requests do.
class OutlineEngine {
public:
    virtual ~OutlineEngine() = default;
    // The font's tags: the engine loads the font they name.
    virtual int SetTags(const OutlineTags &tags) = 0;
    // The device's resolutions in dots per inch and the point height (16.16).
    virtual int SetSize(uint32_t dpiX, uint32_t dpiY, uint32_t pointHeight) = 0;
    virtual int SetShear(int32_t sine, int32_t cosine) = 0;
    virtual int SetEmbolden(int32_t x, int32_t y) = 0;
    // The character to render and the one after it (for kerning; 0 for none).
    virtual int SetGlyphCodes(uint32_t code, uint32_t next) = 0;
    // The current character's map, valid until ReleaseGlyphMap or the next request.
    virtual int ObtainGlyphMap(bool eightBit, OutlineGlyphMap *map) = 0;
    virtual void ReleaseGlyphMap(OutlineGlyphMap *map) = 0;
    // How much less than the current character's width the pen moves before the next (16.16 of the em).
    virtual int ObtainKernPair(int32_t *kern) = 0;
};

// The engine for tags that name a font file: FreeType draws it. Null when FreeType cannot start.
std::unique_ptr<OutlineEngine> MakeFreeTypeOutlineEngine();

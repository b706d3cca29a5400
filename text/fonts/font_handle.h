// Font handles: the one object through which text is measured and drawn, whatever engine stands behind it, and
// the road from a name and a size to a handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/bitmap.h"
#include "text/layout/text_records.h"

enum FontKind : int32_t {
    FontKindNone = 0,
    FontKindBitmap = 1,      // monochrome bitmap font (own reader), or a system bitmap font when systemDrawn
    FontKindColorBitmap = 2, // colour bitmap font (own reader)
    FontKindOutline = 3,     // system outline font
    FontKindTrueType = 4,    // FreeType
};

// The engine a script asks for (#FONTENGINE_NATIVE, #FONTENGINE_INBUILT).
constexpr int kFontEngineNative = 0;
constexpr int kFontEngineInbuilt = 4;

constexpr size_t kFontHandleNameSize = 2048;
// Names from scripts at or past this length are refused (cache entries and paths hold 1024 bytes).
constexpr size_t kMaxFontNameLength = 1024;

struct FontHandle {
    char name[kFontHandleNameSize] = {}; // the name opened by, or "family style" for TrueType
    int32_t requestedSize = 0;
    int32_t height = 0;   // after scaling
    int32_t baseline = 0; // rows above the baseline, after scaling
    int32_t baseHeight = 0;
    int32_t baseBaseline = 0;
    FontKind kind = FontKindNone;
    int32_t scalable = 0;
    int32_t antialiased = 0;
    int32_t systemDrawn = 0;
    double scaleX = 1.0;
    double scaleY = 1.0;
    void *engineData = nullptr; // BitmapFontData, the outline font record or TrueTypeFaceRecord
    HostBitmap *companion = nullptr; // kind 2: the colour glyph strip
    MaskPlane *colorMask = nullptr;  // kind 2: its mask
    uint32_t *pendingPixels = nullptr; // kind 2 read before a display existed (0x00RRGGBB, FreeBlock)
    int32_t pendingWidth = 0;
    int32_t pendingHeight = 0;
};

// The header of a font linked into the applet (big-endian): flags (2 outline, 4 a tag block follows), then for an
// outline font with flag 4 the length n of the tag block and the block itself.
constexpr uint32_t kLinkedFontOutline = 2;
constexpr uint32_t kLinkedFontTags = 4;

// Where RenderText draws. Colour mode draws into bitmap; mask mode (colour -1) sets monochrome shapes into mask,
// antialiased coverage into alpha, and copies colour-font glyphs into bitmap with their shapes into mask.
struct FontRenderTarget {
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
};
constexpr int32_t kRenderMaskMode = -1;

struct FontClip {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// The built-in 8-pixel font "topaz": one handle from InitFontSystem to ShutdownFontSystem.
extern FontHandle *BuiltinTopazFont;

// Builds the built-in font and starts the TrueType engine: 0, kErrOutOfMemory or kErrFreetypeInit.
int InitFontSystem(FontHandle **defaultFont);
void ShutdownFontSystem();

// Opens name at size with engine 0 (bitmap, system or linked font) or 4 (TrueType): 0 and *out, kErrOutOfMemory,
// kErrCannotReadFile (a linked range that cannot be read) or kErrFontOpen (the error argument then holds the whole
// message).
int OpenFontObject(const char *name, int32_t size, int engine, int cacheFlag, int linked, FontHandle **out);
// Frees a handle and what its engine holds; the built-in font is left alone.
void CloseFontObject(FontHandle *font);

// Fills width, height, minX, minY, maxX and maxY; the caller clears the record first.
int MeasureText(FontHandle *font, const char *text, size_t length, uint32_t style, int encoding,
                TextExtentInfo *out);
// Draws text with its left end at x and the top of its line at y, clipped to clip. colour is 0x00RRGGBB or
// kRenderMaskMode. A null font draws with the built-in one.
int RenderText(FontHandle *font, const FontRenderTarget &target, int32_t x, int32_t y, const char *text,
               size_t length, uint32_t style, int encoding, const FontClip &clip, int32_t colour);
struct PlacedGlyphs;
// Places the text's antialiased glyphs where RenderText would draw them into an alpha plane, as one more run
// of out, for BlendPlacedGlyphs: false when the font's engine cannot (then out holds a part of the run).
bool PlaceGlyphs(FontHandle *font, int32_t x, int32_t y, const char *text, size_t length, uint32_t style,
                 int encoding, PlacedGlyphs *out);
// 1 when the font's engine makes that style itself (only system outline fonts do).
int QueryFontStyle(const FontHandle *font, uint32_t styleBit);
// Scales a scalable font; height and baseline follow (rounded up).
void SetFontScale(FontHandle *font, double scaleX, double scaleY);
void FreeFontGlyphCache(FontHandle *font);

// Copies at most size - 1 bytes of text and terminates.
void CopyFontName(char *destination, size_t size, const char *text);
// "Cannot open font <name> with size <n>!", then the detail (what was tried), as the error argument; returns
// kErrFontOpen.
int FontOpenError(const char *name, int32_t size, const std::string &detail = "");
// What an open that failed tried, in a sentence or two for FontOpenError: the names, the places and which engine
// finds what. inbuiltFirst: the inbuilt engine failed and the native one was tried after it.
std::string FontOpenDetail(const std::string &name, int32_t size, int engine, bool linked, bool outline,
                           bool inbuiltFirst = false);

// TrueType and OpenType fonts through FreeType: the three built-in faces, linked and named font files, sizing,
// glyph loading with synthetic styles and glyph caches, drawing and measuring.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "text/fonts/font_handle.h"

// 0 or kErrFreetypeInit.
int InitTrueTypeEngine();
void ShutdownTrueTypeEngine();

// 1 when the face opened into the handle (kind 4), 0 with the handle left clean.
int OpenTrueTypeFont(const char *name, int32_t size, int cacheFlag, FontHandle *handle);
// The same over bytes in memory (the caller keeps them alive as long as the handle).
int OpenTrueTypeMemoryFont(std::span<const uint8_t> bytes, int32_t size, int cacheFlag, FontHandle *handle);
int MeasureTrueTypeText(FontHandle *font, const char *text, size_t length, uint32_t style, int encoding,
                        TextExtentInfo *out);
int RenderTrueTypeText(FontHandle *font, const FontRenderTarget &target, int32_t x, int32_t y, const char *text,
                       size_t length, uint32_t style, int encoding, const FontClip &clip, int32_t colour);
// Places the text's glyphs as RenderTrueTypeText would draw them into a coverage plane, as one more run of
// out; false when the font is no TrueType font or memory ran out.
bool PlaceTrueTypeGlyphs(FontHandle *font, int32_t x, int32_t y, const char *text, size_t length,
                         uint32_t style, int encoding, PlacedGlyphs *out);
void SetTrueTypeScale(FontHandle *font, double scaleX, double scaleY);
void FreeTrueTypeGlyphCaches(FontHandle *font);
void CloseTrueTypeFace(FontHandle *font);

// The nominal pixel size the face was fitted to (its em is set one pixel smaller); 0 for other kinds.
int32_t TrueTypePixelSize(const FontHandle *font);
// The built-in face of that name (case-insensitive), or an empty span.
std::span<const uint8_t> FindBuiltinFace(const char *name);

// The nominal pixel size of a face whose largest ascent and descent at 100 points are given: size x 100 /
// (ascent + descent), or 0 when that is not a usable size. The face is then set to one pixel less per em.
int32_t ComputeTrueTypePixelSize(int32_t size, int32_t ascent, int32_t descent);
// A glyph's advance in pixels: advance (1/64 pixel) and kerning (font units) as a 16.16 fraction of the em, at
// the nominal pixel size, times the horizontal scale. 0 for an em of 0 pixels or 0 units.
int64_t TrueTypeAdvance(int64_t advance, int64_t kerning, int64_t pixelSize, int64_t pixelsPerEm, int64_t unitsPerEm,
                        double scaleX);

// Counts glyph loads from FreeType (cache hits do not count); tests read it.
extern uint64_t TrueTypeGlyphLoads;

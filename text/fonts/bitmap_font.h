// The own reader, measurer and renderer of disk-font bitmap fonts (monochrome and colour), which the built-in
// font shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "text/fonts/font_handle.h"

// Style and flag bits of a bitmap font.
constexpr int32_t kBitmapFontColorStyle = 0x40;
constexpr int32_t kBitmapFontProportional = 0x20;
// The key colour of a colour font's transparent pixels.
constexpr uint32_t kColorFontKey = 0xEEE6D2;

// File ids.
constexpr uint16_t kFontContentsId = 0x0F00;
constexpr uint16_t kFontContentsTaggedId = 0x0F02;
constexpr uint16_t kFontContentsOutlineId = 0x0F03;
constexpr uint16_t kFontSizeFileId = 0x0F80;
// Offsets in a contents file and in a per-size file (whose pointers count from kFontHunkBase).
constexpr size_t kFontContentsEntrySize = 260;
constexpr size_t kFontContentsNameSize = 256;
constexpr size_t kFontHunkBase = 32;
constexpr size_t kFontSizeIdOffset = 50;
constexpr size_t kFontTextFontOffset = 110;
constexpr size_t kFontColorOffset = 144;
constexpr size_t kFontSizeHeaderEnd = 186; // end of the colour font's plane pointers

// Bounds on what a font file may ask for: glyphs of a real font are far smaller, and these keep every strip, plane
// and pixel array well inside what a machine holds.
constexpr int32_t kMaxBitmapFontHeight = 1024;
constexpr int32_t kMaxBitmapFontRowBytes = 4096; // 32768 pixels, the widest bitmap
constexpr size_t kMaxFontFileBytes = 16u << 20;

struct BitmapFontData {
    int32_t height = 0;
    int32_t style = 0;
    int32_t flags = 0;
    int32_t nominalWidth = 0;
    int32_t baseline = 0;
    int32_t boldSmear = 0;
    int32_t accessors = 0;
    int32_t lowChar = 0;
    int32_t highChar = 0;
    const uint8_t *strip = nullptr; // height x rowLength bytes (kind 1): ownStrip or constant data
    int32_t rowLength = 0;
    std::vector<uint8_t> ownStrip;
    std::vector<uint32_t> locations; // high 16 bits offset in pixels, low 16 bits width; entryCount entries
    std::vector<int16_t> spacing;    // empty when absent
    std::vector<int16_t> kerning;    // empty when absent
    int32_t entryCount = 0;          // highChar - lowChar + 2; the last entry serves characters out of range
    MaskPlane *glyphMask = nullptr;  // wraps strip (kind 1)
};

// Reads the font of exactly that size from a contents file (name or ":::chunk" range) into the handle: 1, or 0
// with the handle left clean.
int LoadBitmapFontFile(const char *name, int32_t size, FontHandle *handle);
// The contents file's entry name for that size (never "::incomplete"): 1, or 0 when the file is not a bitmap
// font's contents file or has no such entry.
int FindBitmapFontEntry(std::span<const uint8_t> contents, int32_t size, std::string *entryName);
// Reads a per-size file held in memory into the handle (kind 1 or 2, its engine data, height, baseline): 1, or
// 0 with the handle left clean. keepPending keeps a colour font's pixels pending instead of making its bitmap.
int ReadBitmapFontSize(std::span<const uint8_t> bytes, FontHandle *handle, bool keepPending);

int MeasureBitmapFontText(FontHandle *font, const char *text, size_t length, int encoding, TextExtentInfo *out);
int RenderBitmapFontText(FontHandle *font, const FontRenderTarget &target, int32_t x, int32_t y, const char *text,
                         size_t length, int encoding, const FontClip &clip, int32_t colour);
// Frees the engine data (and a colour font's companion, mask and pending pixels), not the handle.
void FreeBitmapFontData(FontHandle *font);

// Clips a glyph of width x height drawn at (*x, *y) to the clip rectangle: moves *x/*y and the source position
// along, returns false when nothing is left.
bool ClipGlyphRect(const FontClip &clip, int32_t *sourceX, int32_t *sourceY, int32_t *x, int32_t *y, int32_t *width,
                   int32_t *height);
// The text's characters: UTF-8 decoded with encoding 1 (invalid UTF-8 falls back to bytes), else one per byte.
std::vector<uint32_t> DecodeFontText(const char *text, size_t length, int encoding);

// The built-in 8-pixel font "topaz": a fixed-width ISO-8859-1 bitmap font in constant data.
#pragma once

#include <cstdint>

#include "text/fonts/font_handle.h"

constexpr int32_t kTopazStripRows = 8;
constexpr int32_t kTopazStripBytes = 192;
constexpr int32_t kTopazBoxOffset = 768; // the hollow box of characters 128..159 and of characters out of range
// 8 rows of 192 glyphs side by side: characters 32..127, the box, characters 161..255.
extern const uint8_t kTopazGlyphStrip[kTopazStripRows * kTopazStripBytes];

// 0 and a new handle, or kErrOutOfMemory.
int BuildTopazFont(FontHandle **out);
void FreeTopazFont(FontHandle *font);

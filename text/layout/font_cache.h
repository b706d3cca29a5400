// The opened-font cache: every font opened by name is opened once and kept until shutdown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/fonts/font_handle.h"

struct FontCacheEntry {
    std::string name; // after mapping
    int32_t size = 0;
    int engine = 0; // the engine that opened it: 0 or 4
    int glyphCache = 0;
    int linked = 0; // a font linked into the applet
    FontHandle *font = nullptr;
};

// Maps the default names, refuses paths for the native engine (kErrFontIsFile), strips ".font", and returns the
// cached font or opens and caches it (engine 4 falls back to 0). 0 and *out, or an error code.
int OpenFontCached(const char *name, int32_t size, int engine, int glyphCache, int linked, FontHandle **out);
const std::vector<FontCacheEntry> &CachedFonts();
// Closes every cached font (shutdown).
void CloseAllCachedFonts();

#include "text/layout/font_cache.h"

#include <cstring>

#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"

namespace {

std::vector<FontCacheEntry> FontCache;

struct DefaultFontName {
    const char *requested;
    const char *opened;
    int engine; // -1: as requested
};
// Compared exactly: ":::Default_Sans" is an ordinary font name.
constexpr DefaultFontName kDefaultFontNames[] = {
    {":::default_bitmap", "topaz", -1},
    {":::default_truetype", "Bitstream Vera Sans", kFontEngineInbuilt},
    {":::default_sans", "Bitstream Vera Sans", kFontEngineInbuilt},
    {":::default_serif", "Bitstream Vera Serif", kFontEngineInbuilt},
    {":::default_mono", "Bitstream Vera Sans Mono", kFontEngineInbuilt},
};

bool NamesEqualIgnoringCase(const std::string &a, const char *b) {
    return a.size() == strlen(b) && strncasecmp(a.c_str(), b, a.size()) == 0;
}

FontHandle *FindCached(const std::string &name, int32_t size, int engine, int glyphCache) {
    for (const FontCacheEntry &entry : FontCache)
        if (entry.glyphCache == glyphCache && entry.engine == engine && entry.size == size &&
            NamesEqualIgnoringCase(entry.name, name.c_str()))
            return entry.font;
    return nullptr;
}

} // namespace

int OpenFontCached(const char *name, int32_t size, int engine, int glyphCache, int linked, FontHandle **out) {
    if (strlen(name) >= kMaxFontNameLength) return FontOpenError(name, size);
    std::string mapped = name;
    bool isDefault = false;
    for (const DefaultFontName &row : kDefaultFontNames)
        if (mapped == row.requested) {
            mapped = row.opened;
            if (row.engine >= 0) engine = row.engine;
            isDefault = true;
            break;
        }
    if (!isDefault && strncmp(name, ":::chunk", 8) != 0) {
        if (engine != kFontEngineInbuilt && ChunkBaseName(name) != name) return kErrFontIsFile;
        if (mapped.size() >= 5 && AsciiLower(mapped.substr(mapped.size() - 5)) == ".font")
            mapped.resize(mapped.size() - 5);
    }
    bool inbuiltFailed = false;
    for (;;) {
        if (FontHandle *cached = FindCached(mapped, size, engine, glyphCache)) {
            SetFontScale(cached, 1.0, 1.0);
            *out = cached;
            return 0;
        }
        FontHandle *opened = nullptr;
        const int error = OpenFontObject(mapped.c_str(), size, engine, glyphCache, linked, &opened);
        if (error && engine == kFontEngineInbuilt) {
            engine = kFontEngineNative; // a bitmap font of that name may exist
            inbuiltFailed = true;
            continue;
        }
        // The message says what both engines looked for, not only the second.
        if (error == kErrFontOpen && inbuiltFailed && !(linked && strncmp(mapped.c_str(), ":::chunk", 8) == 0))
            return FontOpenError(mapped.c_str(), size, FontOpenDetail(mapped, size, engine, false, false, true));
        if (error) return error;
        FontCache.push_back({mapped, size, engine, glyphCache, linked, opened});
        *out = opened;
        return 0;
    }
}

const std::vector<FontCacheEntry> &CachedFonts() { return FontCache; }

void CloseAllCachedFonts() {
    for (FontCacheEntry &entry : FontCache) CloseFontObject(entry.font);
    FontCache.clear();
}

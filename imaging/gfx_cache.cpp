#include "imaging/gfx_cache.h"

#include <map>
#include <new>

#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"

namespace {
struct CachedPicture {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> alpha;
};
std::map<std::string, CachedPicture> gCache;
} // namespace

int LookupGfxCache(const std::string &name, bool withAlpha, int32_t *width, int32_t *height,
                   std::vector<uint32_t> *pixels, std::vector<uint8_t> *alpha) {
    if (!PreloadActive) return kErrGfxCache;
    auto it = gCache.find(name);
    if (it == gCache.end()) return kErrGfxCache;
    try {
        *pixels = it->second.pixels;
        if (alpha) {
            if (withAlpha) *alpha = it->second.alpha;
            else alpha->clear();
        }
    } catch (const std::bad_alloc &) {
        return kErrOutOfMemory;
    }
    *width = it->second.width;
    *height = it->second.height;
    return 0;
}

int AddToGfxCache(const std::string &name, int32_t width, int32_t height, const uint32_t *pixels,
                  const uint8_t *alpha) {
    if (!PreloadActive) return 0;
    if (!pixels || width <= 0 || height <= 0) return kErrWrongUsage;
    try {
        CachedPicture c;
        const size_t n = size_t(width) * size_t(height);
        c.width = width;
        c.height = height;
        c.pixels.assign(pixels, pixels + n);
        if (alpha) c.alpha.assign(alpha, alpha + n);
        gCache[name] = std::move(c);
    } catch (const std::bad_alloc &) {
        return kErrOutOfMemory;
    }
    return 0;
}

void FreeGfxCache() { gCache.clear(); }

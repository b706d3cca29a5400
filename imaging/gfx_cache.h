// The cache of loaded pictures by file name. It acts only while preloading, when the same picture is often
// declared several times; copies go in and out, so no caller shares memory with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/app/errors.h"

// Fresh copies of a cached picture (alpha only when withAlpha and the picture has one). 0, or kErrGfxCache when
// absent or when not preloading.
int LookupGfxCache(const std::string &name, bool withAlpha, int32_t *width, int32_t *height,
                   std::vector<uint32_t> *pixels, std::vector<uint8_t> *alpha);
// Stores copies under the name (replacing an earlier entry). alpha may be null. 0, or kErrOutOfMemory when out of
// memory. Outside preloading it stores nothing and returns 0.
int AddToGfxCache(const std::string &name, int32_t width, int32_t height, const uint32_t *pixels,
                  const uint8_t *alpha);
void FreeGfxCache();

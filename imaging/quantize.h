// Colour reduction of true-colour pictures to a palette (GIF, ILBM and the palette formats of the savers).
#pragma once

#include <cstdint>

// Reduces width x height 0x00RRGGBB pixels (rowLength pixels per row) to at most *colors palette entries
// (2..256; *colors receives the number used) and writes one index per pixel into indices (width x height, row
// after row). With transparentFlag, palette entry 0 is the transparent colour, exactly the pixels of that colour
// map to it and no other pixel does. Pictures with few enough colours keep them exactly; others go through
// median cut, with error diffusion when dither is set. Returns 1 on success, 0 on bad arguments
// or when out of memory.
int QuantizeColors(const uint32_t *pixels, int32_t width, int32_t height, int32_t rowLength, uint8_t *indices,
                   uint32_t *palette, int32_t *colors, uint32_t transparentColor, int transparentFlag, int dither);

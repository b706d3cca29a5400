// Pixel memory views and the three pixel layouts every kernel is written for.
//
// Kernels take plain views (pointer, size, pitch) so that they work on host bitmaps, layer buffers and test
// arrays alike. A colour travels as 0x00RRGGBB; inside the kernels a pixel is four 8-bit channels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/bitmap.h"

// A rectangle of pixels: 2 (RGB565), 3 (R, G, B bytes) or 4 (0x00RRGGBB words) bytes per pixel.
struct PixelBuffer {
    uint8_t *pixels = nullptr;
    int width = 0;
    int height = 0;
    ptrdiff_t pitch = 0; // bytes per row
    int bytesPerPixel = 4;

    uint8_t *Row(int y) const { return pixels + y * pitch; }
    uint8_t *At(int x, int y) const { return pixels + y * pitch + x * bytesPerPixel; }
};

// An 8-bit alpha plane (0 transparent, 255 opaque) or a 1-bit mask plane (leftmost pixel in the top bit,
// 1 visible). Null data means "none".
struct PlaneBuffer {
    uint8_t *data = nullptr;
    int width = 0;
    int height = 0;
    ptrdiff_t pitch = 0;

    uint8_t *Row(int y) const { return data + y * pitch; }
};

inline bool MaskBit(const uint8_t *row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
inline void SetMaskBit(uint8_t *row, int x, bool on) {
    uint8_t bit = uint8_t(0x80 >> (x & 7));
    if (on)
        row[x >> 3] |= bit;
    else
        row[x >> 3] &= uint8_t(~bit);
}

// A pixel as four channels: r, g, b and the pad byte of 32-bit words (0 for the other layouts).
struct Channels {
    uint8_t r, g, b, x;
};

inline Channels ColorChannels(uint32_t rgb) {
    return Channels{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), uint8_t(rgb >> 24)};
}
inline uint32_t ChannelsColor(Channels c) {
    return (uint32_t(c.x) << 24) | (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;
}

// The layouts. Load/Store move a native pixel value; Unpack/Pack convert it to channels. 16-bit channels widen
// by bit replication so that white stays 255 and a pack after an unpack gives back the same pixel.
struct Format32 {
    static constexpr int kBytes = 4;
    using Pixel = uint32_t;
    static Pixel Load(const uint8_t *p) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static void Store(uint8_t *p, Pixel v) { std::memcpy(p, &v, 4); }
    static Channels Unpack(Pixel v) { return ColorChannels(v); }
    static Pixel Pack(Channels c) { return ChannelsColor(c); }
    static Pixel FromColor(uint32_t rgb) { return rgb & 0xFFFFFFu; }
};

struct Format24 {
    static constexpr int kBytes = 3;
    using Pixel = uint32_t;
    static Pixel Load(const uint8_t *p) { return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]; }
    static void Store(uint8_t *p, Pixel v) {
        p[0] = uint8_t(v >> 16);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v);
    }
    static Channels Unpack(Pixel v) { return Channels{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 0}; }
    static Pixel Pack(Channels c) { return (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b; }
    static Pixel FromColor(uint32_t rgb) { return rgb & 0xFFFFFFu; }
};

struct Format16 {
    static constexpr int kBytes = 2;
    using Pixel = uint16_t;
    static Pixel Load(const uint8_t *p) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    static void Store(uint8_t *p, Pixel v) { std::memcpy(p, &v, 2); }
    static Channels Unpack(Pixel v) {
        int r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return Channels{uint8_t((r << 3) | (r >> 2)), uint8_t((g << 2) | (g >> 4)), uint8_t((b << 3) | (b >> 2)), 0};
    }
    static Pixel Pack(Channels c) { return Pixel(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3)); }
    static Pixel FromColor(uint32_t rgb) { return Pack(ColorChannels(rgb & 0xFFFFFFu)); }
};

// Calls fn with the layout type that matches bytesPerPixel (tag dispatch, chosen once per operation).
// Returns false for an unsupported pixel size.
template <typename Fn> bool DispatchFormat(int bytesPerPixel, Fn &&fn) {
    switch (bytesPerPixel) {
    case 4: fn(Format32{}); return true;
    case 3: fn(Format24{}); return true;
    case 2: fn(Format16{}); return true;
    default: return false;
    }
}

// ---- The slow generic path: reads and writes one pixel at a time, the oracle for every fast kernel ----------
inline Channels ReadPixelGeneric(const PixelBuffer &b, int x, int y) {
    const uint8_t *p = b.At(x, y);
    switch (b.bytesPerPixel) {
    case 4: return Format32::Unpack(Format32::Load(p));
    case 3: return Format24::Unpack(Format24::Load(p));
    default: return Format16::Unpack(Format16::Load(p));
    }
}
inline void WritePixelGeneric(const PixelBuffer &b, int x, int y, Channels c) {
    uint8_t *p = b.At(x, y);
    switch (b.bytesPerPixel) {
    case 4: Format32::Store(p, Format32::Pack(c)); break;
    case 3: Format24::Store(p, Format24::Pack(c)); break;
    default: Format16::Store(p, Format16::Pack(c)); break;
    }
}

// The one blend rule of the system: d + ((s - d) x a >> 8), with 255 fully opaque. Computed as
// (d x (256 - a) + s x a) >> 8, which is the same value (the added d x 256 does not change the floor) and stays
// within 16 unsigned bits, so vector code can use 16-bit lanes.
inline uint8_t BlendChannel(uint8_t d, uint8_t s, unsigned a) {
    if (a >= 255) return s;
    return uint8_t((unsigned(d) * (256 - a) + unsigned(s) * a) >> 8);
}
inline Channels BlendChannels(Channels d, Channels s, unsigned a) {
    return Channels{BlendChannel(d.r, s.r, a), BlendChannel(d.g, s.g, a), BlendChannel(d.b, s.b, a),
                    BlendChannel(d.x, s.x, a)};
}

// The level mixes, unlike the alpha rule above, have no shortcut at 255: u + ((o - u) x weight >> 8) for a weight
// of 0..256, computed as (u x (256 - weight) + o x weight) >> 8 (the same floor, within 16 unsigned bits).
inline uint8_t WeightChannel(uint8_t u, uint8_t o, unsigned weight) {
    return uint8_t((unsigned(u) * (256 - weight) + unsigned(o) * weight) >> 8);
}
// A layer's transparency and a brush mix: d = s + ((d - s) x (255 - level) >> 8), which is weight level + 1. Level
// 0 still moves d one step towards s; 255 gives s.
inline unsigned MixWeight(unsigned level) { return level + 1; }
inline Channels MixChannels(Channels d, Channels s, unsigned level) {
    const unsigned w = MixWeight(level);
    return Channels{WeightChannel(d.r, s.r, w), WeightChannel(d.g, s.g, w), WeightChannel(d.b, s.b, w),
                    WeightChannel(d.x, s.x, w)};
}
// A tint and a transition's level: c + ((t - c) x level >> 8), which is weight level; 255 stops one step short.
inline Channels TintChannels(Channels c, Channels t, unsigned level) {
    return Channels{WeightChannel(c.r, t.r, level), WeightChannel(c.g, t.g, level), WeightChannel(c.b, t.b, level),
                    WeightChannel(c.x, t.x, level)};
}

// A colour's pixel value in a PixelFormat (all thirteen); 0 for any other format number.
uint32_t ColorToPixel(uint32_t rgb, int pixelFormat);

// Views of the host records. The kernels' 32-, 24- and 16-bit layouts are formats 10, 8 and 6, the ones the
// bitmap layer allocates.
inline PixelBuffer BitmapPixels(const HostBitmap *b) {
    return PixelBuffer{b->pixels, b->width, b->height, ptrdiff_t(HostBitmapStride(b)), b->bytesPerPixel};
}
// A mask's rows count is 0 in headers that do not know it; the partner bitmap's height is used then.
inline PlaneBuffer MaskPixels(const MaskPlane *m, int width, int height) {
    if (!m) return PlaneBuffer{};
    return PlaneBuffer{m->bits, width, m->rows > 0 ? m->rows : height, m->bytesPerRow};
}
inline PlaneBuffer AlphaPixels(const AlphaPlane *a) {
    if (!a) return PlaneBuffer{};
    return PlaneBuffer{a->bytes, a->width, a->height, a->bytesPerRow};
}

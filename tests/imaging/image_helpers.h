// Small images for the imaging tests: owned pixel and plane buffers, random fill, and golden PNG files.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "imaging/pixels.h"

struct TestImage {
    std::vector<uint8_t> bytes;
    PixelBuffer view;
    TestImage(int w, int h, int bpp, int padPixels = 3) {
        view.width = w;
        view.height = h;
        view.bytesPerPixel = bpp;
        view.pitch = ptrdiff_t(w + padPixels) * bpp; // padded rows catch kernels that ignore the pitch
        bytes.assign(size_t(view.pitch) * size_t(h), 0);
        view.pixels = bytes.data();
    }
};

struct TestPlane {
    std::vector<uint8_t> bytes;
    PlaneBuffer view;
    // bits: a 1-bit mask (rows padded to 16 bits), else an 8-bit alpha plane (rows padded to 4 bytes).
    TestPlane(int w, int h, bool bits) {
        view.width = w;
        view.height = h;
        view.pitch = bits ? ((w + 15) / 16) * 2 : (w + 3) & ~3;
        bytes.assign(size_t(view.pitch) * size_t(h), 0);
        view.data = bytes.data();
    }
};

inline void FillRandom(std::vector<uint8_t> &bytes, uint32_t seed) {
    std::mt19937 rng(seed);
    for (auto &b : bytes) b = uint8_t(rng());
}

// Random alpha with the edge values 0 and 255 well represented.
inline void FillRandomAlpha(std::vector<uint8_t> &bytes, uint32_t seed) {
    std::mt19937 rng(seed);
    for (auto &b : bytes) {
        uint32_t r = rng() % 8;
        b = r == 0 ? 0 : r == 1 ? 255 : uint8_t(rng());
    }
}

// Golden images: 8-bit RGB PNGs under tests/data/imaging/. A comparison fails when any channel differs by more
// than the tolerance; the actual image is then written beside the build for review. VL_UPDATE_GOLDEN=1 rewrites
// the golden files instead.
bool WritePng(const std::string &path, const std::vector<uint32_t> &rgb, int w, int h);
bool ReadPng(const std::string &path, std::vector<uint32_t> *rgb, int *w, int *h);
// Returns an empty string when the image matches, else a description of the difference.
std::string CompareWithGolden(const std::string &name, const std::vector<uint32_t> &rgb, int w, int h,
                              int tolerance = 1);

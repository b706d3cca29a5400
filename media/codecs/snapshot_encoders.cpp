#include "media/codecs/snapshot_encoders.h"

#include <vector>

#include "imaging/quantize.h"
#include "imaging/snapshot.h"
#include "media/codecs/picture_writers.h"
#include "runtime/app/errors.h"

namespace {

int SavePng(const char *name, const uint32_t *pixels, int32_t width, int32_t height, const uint8_t *alpha, int32_t,
            int32_t, int32_t, int32_t) {
    if (!alpha) return SavePngFile(name, pixels, width, width, height, 0);
    std::vector<uint32_t> words(size_t(width) * size_t(height));
    for (size_t i = 0; i < words.size(); ++i) words[i] = (pixels[i] & 0xFFFFFF) | uint32_t(alpha[i]) << 24;
    return SavePngFile(name, words.data(), width, width, height, 1);
}

int SaveJpeg(const char *name, const uint32_t *pixels, int32_t width, int32_t height, const uint8_t *, int32_t quality,
             int32_t, int32_t, int32_t) {
    return SaveJpegFile(name, pixels, width, height, quality);
}

int SaveGif(const char *name, const uint32_t *pixels, int32_t width, int32_t height, const uint8_t *, int32_t,
            int32_t colors, int32_t dither, int32_t transparent) {
    if (colors < 2 || colors > 256 || width > 65535 || height > 65535) return kErrWrongUsage;
    std::vector<uint8_t> indices(size_t(width) * size_t(height));
    uint32_t palette[256] = {};
    if (!QuantizeColors(pixels, width, height, width, indices.data(), palette, &colors,
                        uint32_t(transparent) & 0xFFFFFF, transparent >= 0, dither))
        return kErrOutOfMemory;
    GifWriter gif;
    BeginGif(&gif, width, height);
    // The quantiser puts the transparent colour at entry 0.
    AddGifFrame(&gif, indices.data(), palette, colors, transparent >= 0 ? 0 : -1, 0);
    FinishGif(&gif);
    return WriteWholeFile(name, gif.bytes.data(), gif.bytes.size());
}

int SaveIlbm(const char *name, const uint32_t *pixels, int32_t width, int32_t height, const uint8_t *, int32_t,
             int32_t, int32_t, int32_t) {
    return WriteIlbmFile(name, pixels, width, height);
}

} // namespace

void RegisterSnapshotEncoders() {
    SetSnapshotEncoder(kSnapshotPNG, SavePng);
    SetSnapshotEncoder(kSnapshotJPEG, SaveJpeg);
    SetSnapshotEncoder(kSnapshotGIF, SaveGif);
    SetSnapshotEncoder(kSnapshotILBM, SaveIlbm);
}

#include "imaging/snapshot.h"

#include <algorithm>
#include <vector>

#include "host/blit.h"
#include "host/virtual_file.h"
#include "runtime/app/errors.h"
#include "runtime/vm/bounded_reader.h"

static SnapshotEncoder gEncoders[5] = {};

void SetSnapshotEncoder(int32_t format, SnapshotEncoder encoder) {
    if (format > kSnapshotBMP && format <= kSnapshotILBM) gEncoders[format] = encoder;
}

std::string ImageFormatHint(int32_t format) {
    if (format >= kSnapshotBMP && format <= kSnapshotILBM) return "";
    return "Format " + std::to_string(format) +
           " is no picture format: #IMGFMT_BMP, #IMGFMT_PNG, #IMGFMT_JPEG, #IMGFMT_GIF or #IMGFMT_ILBM.";
}

std::string EncodeBmp(const uint32_t *pixels, int32_t width, int32_t height) {
    const uint32_t rowBytes = (uint32_t(width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * uint32_t(height);
    std::string s;
    s.reserve(54 + imageBytes);
    s += "BM";
    ByteWriter w(s);
    w.U32LE(54 + imageBytes);
    w.U32LE(0);
    w.U32LE(54);
    w.U32LE(40); // BITMAPINFOHEADER
    w.U32LE(uint32_t(width));
    w.U32LE(uint32_t(height)); // positive: bottom-up
    w.U16LE(1);
    w.U16LE(24);
    w.U32LE(0);
    w.U32LE(imageBytes);
    w.U32LE(2835); // 72 dpi
    w.U32LE(2835);
    w.U32LE(0);
    w.U32LE(0);
    for (int32_t y = height - 1; y >= 0; --y) {
        const uint32_t *row = pixels + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; ++x) {
            s.push_back(char(row[x] & 255));
            s.push_back(char((row[x] >> 8) & 255));
            s.push_back(char((row[x] >> 16) & 255));
        }
        for (uint32_t pad = uint32_t(width) * 3; pad < rowBytes; ++pad) s.push_back(0);
    }
    return s;
}

int WriteBmpSnapshot(int32_t format, const HostBitmap *bitmap, int32_t width, int32_t height, const char *fileName,
                     const MaskPlane *mask, uint32_t color, const AlphaPlane *alpha, int32_t quality, int32_t colors,
                     int32_t dither) {
    if (format < kSnapshotBMP || format > kSnapshotILBM) return kErrWrongUsage;
    // The other formats' encoders come with the anim library's codecs.
    if (format != kSnapshotBMP && !gEncoders[format]) return LibraryNotRegistered("anim");
    if (!bitmap || !bitmap->pixels || !fileName) return kErrCannotWriteFile;
    width = std::min(width, bitmap->width);
    height = std::min(height, bitmap->height);
    if (width <= 0 || height <= 0) return kErrWrongUsage;
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    std::vector<uint8_t> alphaBytes;
    if (alpha) alphaBytes.assign(pixels.size(), 255);
    bool anyInvisible = false;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint32_t p = ReadPixelColour(bitmap, x, y) & 0xFFFFFF;
            bool visible = true;
            if (mask && x < mask->bytesPerRow * 8 && (mask->rows == 0 || y < mask->rows)) visible = MaskBit(mask, x, y);
            if (alpha && x < alpha->width && y < alpha->height) {
                uint8_t a = alpha->bytes[size_t(y) * size_t(alpha->bytesPerRow) + size_t(x)];
                alphaBytes[size_t(y) * size_t(width) + size_t(x)] = a;
                if (a == 0) visible = false;
            }
            anyInvisible |= !visible;
            pixels[size_t(y) * size_t(width) + size_t(x)] = visible ? p : (color & 0xFFFFFF);
        }
    if (format != kSnapshotBMP)
        return gEncoders[format](fileName, pixels.data(), width, height, alpha ? alphaBytes.data() : nullptr, quality,
                                 colors, dither, anyInvisible ? int32_t(color & 0xFFFFFF) : -1);
    const std::string bytes = EncodeBmp(pixels.data(), width, height);
    VirtualFile *f = OpenVirtualFile(fileName, kVirtualFileReplace);
    if (!f) return kErrCannotWriteFile;
    if (WriteVirtualFile(f, bytes.data(), bytes.size()) != int64_t(bytes.size())) {
        DiscardVirtualFile(f);
        return kErrCannotWriteFile;
    }
    return CloseVirtualFile(f) == 0 ? 0 : kErrCannotWriteFile;
}

#include "host/picture.h"

#include "host/memory.h"
#include "host/os/image_decode.h"
#include "host/picture_gif.h"
#include "host/picture_ilbm.h"
#include "host/picture_tga.h"
#include "host/virtual_file.h"

#include "runtime/app/errors.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <strings.h>
#include <memory>
#include <string>

namespace {

struct FileCloser {
    void operator()(VirtualFile *f) const { CloseVirtualFile(f); }
};
using FilePtr = std::unique_ptr<VirtualFile, FileCloser>;

// TGA has no magic: a name ending in ".tga" (a linked file's own name inside a ":::chunk" name) selects it.
bool TgaName(const char *name) {
    ChunkNameParts chunk;
    std::string n = ParseChunkName(name, &chunk) ? chunk.name : std::string(name);
    return n.size() >= 4 && strcasecmp(n.c_str() + n.size() - 4, ".tga") == 0;
}

int DecodeGif(VirtualFile *file, DecodedImage *image) {
    GifPicture gif;
    int r = ReadGif(file, &gif);
    if (r == 1) return kDecodeUnknownFormat;
    if (r != 0) return kDecodeFailed;
    image->width = gif.width;
    image->height = gif.height;
    image->pixels = std::move(gif.pixels);
    image->hasAlpha = false;
    image->transparent = gif.transparent;
    return 0;
}

int DecodeTga(VirtualFile *file, DecodedImage *image) {
    TgaPicture tga;
    int r = ReadTga(file, &tga);
    if (r == 1) return kDecodeUnknownFormat;
    if (r != 0) return kDecodeFailed;
    image->width = tga.width;
    image->height = tga.height;
    image->pixels = std::move(tga.pixels);
    image->hasAlpha = tga.hasAlpha;
    image->transparent = -1;
    return 0;
}

bool IsIffForm(VirtualFile *file) {
    char magic[4] = {};
    SeekVirtualFile(file, 0, kSeekFromStart);
    return ReadVirtualFile(file, magic, 4) == 4 && std::memcmp(magic, "FORM", 4) == 0;
}

int LoadIlbm(VirtualFile *file, int loadAlpha, uint32_t **outPixels, AlphaPlane **outAlpha, int64_t *transparent,
             int32_t *w, int32_t *h, bool *taken) {
    IlbmPicture picture;
    int r = ReadIlbm(file, &picture);
    *taken = r != 1;
    if (r == 1) return 0;
    if (r == 2) return kErrCannotReadFile;
    uint32_t *pixels = IlbmToPixels(picture);
    if (!pixels) return kErrOutOfMemory;
    *transparent = -1;
    if (picture.transparentIndex >= 0 && size_t(picture.transparentIndex) < picture.palette.size() &&
        !IlbmHamMode(picture))
        *transparent = picture.palette[size_t(picture.transparentIndex)];
    // A mask plane is the picture's alpha: visible pixels opaque, the rest transparent.
    if (loadAlpha && picture.masking == 1) {
        AlphaPlane *alpha = AllocAlphaPlane(picture.width, picture.height, true);
        if (!alpha) {
            FreeBlock(pixels);
            return kErrOutOfMemory;
        }
        for (int32_t y = 0; y < picture.height; y++)
            for (int32_t x = 0; x < picture.width; x++)
                if ((picture.mask[size_t(y) * size_t(picture.bytesPerRow) + size_t(x >> 3)] >> (7 - (x & 7))) & 1)
                    alpha->bytes[size_t(y) * size_t(alpha->bytesPerRow) + size_t(x)] = 255;
        *outAlpha = alpha;
    }
    *outPixels = pixels;
    *w = picture.width;
    *h = picture.height;
    return 0;
}

} // namespace

namespace {

// SDL2_image allocates the whole surface before it reads a pixel, and a small file can claim any size: pictures
// above MaxDecodedPixels (256 MiB as 0x00RRGGBB words, the ILBM reader's limit) are refused before decoding.

int HeaderSizeOfFile(VirtualFile *file, int32_t *outWidth, int32_t *outHeight);
bool GifFirstFrameSize(VirtualFile *file, int32_t *outWidth, int32_t *outHeight);

int LoadPicture(const char *name, int loadAlpha, uint32_t **outPixels, AlphaPlane **outAlpha,
                int64_t *outTransparent, int32_t *outWidth, int32_t *outHeight) {
    *outPixels = nullptr;
    if (outAlpha) *outAlpha = nullptr;
    FilePtr file(name ? OpenVirtualFile(name, kVirtualFileRead) : nullptr);
    if (!file) return kErrCannotReadFile;
    uint32_t *pixels = nullptr;
    AlphaPlane *alpha = nullptr;
    int64_t transparent = -1;
    int32_t w = 0, h = 0;
    bool taken = false;
    int r = LoadIlbm(file.get(), loadAlpha && outAlpha, &pixels, &alpha, &transparent, &w, &h, &taken);
    if (taken && r) return r;
    if (!taken && IsIffForm(file.get())) return kErrImageUnknownFormat; // other IFF forms stay away from decoders
    if (!taken) {
        // A header that claims more than a bitmap may hold is refused before a decoder allocates for it.
        int32_t hw = 0, hh = 0;
        const int headerError = HeaderSizeOfFile(file.get(), &hw, &hh);
        if (headerError == kErrCannotReadFile) return headerError;
        bool sized = headerError == 0;
        // A GIF's first frame is decoded at its own size, which the screen size in the header does not bound.
        int32_t fw = 0, fh = 0;
        if (GifFirstFrameSize(file.get(), &fw, &fh)) {
            hw = std::max(hw, fw), hh = std::max(hh, fh);
            sized = true;
        }
        if (sized && (hw > kMaxBitmapSide || hh > kMaxBitmapSide || int64_t(hw) * hh > MaxDecodedPixels()))
            return kErrCannotReadFile;
        DecodedImage image;
        r = DecodeGif(file.get(), &image);
        SeekVirtualFile(file.get(), 0, kSeekFromStart);
        if (r == kDecodeUnknownFormat) r = DecodeImageSDL(file.get(), &image);
        if (r == kDecodeUnknownFormat && TgaName(name)) r = DecodeTga(file.get(), &image);
        if (r == kDecodeUnknownFormat) return kErrImageUnknownFormat;
        if (r != 0) return kErrCannotReadFile;
        w = image.width, h = image.height, transparent = image.transparent;
        pixels = static_cast<uint32_t *>(AllocBlock(image.pixels.size() * 4, 0));
        if (!pixels) return kErrOutOfMemory;
        for (size_t i = 0; i < image.pixels.size(); i++) pixels[i] = image.pixels[i] & 0xFFFFFF;
        if (loadAlpha && outAlpha && image.hasAlpha) {
            alpha = AllocAlphaPlane(w, h, false);
            if (!alpha) {
                FreeBlock(pixels);
                return kErrOutOfMemory;
            }
            for (int32_t y = 0; y < h; y++) {
                uint8_t *d = alpha->bytes + size_t(y) * size_t(alpha->bytesPerRow);
                for (int32_t x = 0; x < alpha->bytesPerRow; x++)
                    d[x] = x < w ? uint8_t(image.pixels[size_t(y) * size_t(w) + size_t(x)] >> 24) : 0;
            }
        }
    }
    *outPixels = pixels;
    if (outAlpha) *outAlpha = alpha;
    if (outTransparent) *outTransparent = transparent;
    if (outWidth) *outWidth = w;
    if (outHeight) *outHeight = h;
    return 0;
}

} // namespace

int LoadPictureDatatype(const char *name, int loadAlpha, uint32_t **outPixels, AlphaPlane **outAlpha,
                        int64_t *outTransparent, int32_t *outWidth, int32_t *outHeight) {
    int r = LoadPicture(name, loadAlpha, outPixels, outAlpha, outTransparent, outWidth, outHeight);
    // Both messages name the file.
    if (r == kErrImageUnknownFormat || r == kErrCannotReadFile) SetErrorArgString(name ? name : "");
    return r;
}

namespace {

// Header fields read at fixed offsets; a read past the end sets the failure flag once and yields zeros.
struct HeaderReader {
    VirtualFile *file;
    bool failed = false;
    void At(int64_t offset, uint8_t *buffer, size_t n) {
        std::memset(buffer, 0, n);
        if (failed || SeekVirtualFile(file, offset, kSeekFromStart) < 0 ||
            ReadVirtualFile(file, buffer, n) != int64_t(n))
            failed = true;
    }
    uint32_t U16(int64_t offset, bool big) {
        uint8_t b[2];
        At(offset, b, 2);
        return big ? uint32_t(b[0]) << 8 | b[1] : uint32_t(b[1]) << 8 | b[0];
    }
    uint32_t U32(int64_t offset, bool big) {
        uint8_t b[4];
        At(offset, b, 4);
        return big ? uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]
                   : uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
    }
};

bool JpegSize(HeaderReader &r, int32_t *w, int32_t *h) {
    int64_t pos = 2;
    // Markers are bounded by the file: every step moves forward by at least two bytes.
    for (int guard = 0; guard < 100000 && !r.failed; guard++) {
        uint8_t m[2];
        r.At(pos, m, 2);
        if (r.failed || m[0] != 0xFF) return false;
        if (m[1] == 0xFF) {
            pos++;
            continue;
        }
        uint8_t marker = m[1];
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return false; // no frame header before the scan
        uint32_t len = r.U16(pos + 2, true);
        if (len < 2) return false;
        bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            *h = int32_t(r.U16(pos + 5, true));
            *w = int32_t(r.U16(pos + 7, true));
            return !r.failed;
        }
        pos += 2 + len;
    }
    return false;
}

bool TiffSize(HeaderReader &r, bool big, int32_t *w, int32_t *h) {
    uint32_t ifd = r.U32(4, big);
    uint32_t count = r.U16(ifd, big);
    if (r.failed || count > 4096) return false;
    int32_t width = -1, height = -1;
    for (uint32_t i = 0; i < count && !r.failed; i++) {
        int64_t e = int64_t(ifd) + 2 + int64_t(i) * 12;
        uint32_t tag = r.U16(e, big), type = r.U16(e + 2, big);
        uint32_t value = type == 3 ? r.U16(e + 8, big) : type == 4 ? r.U32(e + 8, big) : 0;
        if (tag == 256) width = int32_t(value);
        if (tag == 257) height = int32_t(value);
    }
    if (r.failed || width <= 0 || height <= 0) return false;
    *w = width, *h = height;
    return true;
}

} // namespace

int ReadPictureHeaderSize(const char *name, int32_t *outWidth, int32_t *outHeight) {
    FilePtr file(name ? OpenVirtualFile(name, kVirtualFileRead) : nullptr);
    if (!file) return kErrCannotReadFile;
    return HeaderSizeOfFile(file.get(), outWidth, outHeight);
}

namespace {

// The size in the first image descriptor, past the colour table and any extension blocks.
bool GifFirstFrameSize(VirtualFile *file, int32_t *outWidth, int32_t *outHeight) {
    HeaderReader r{file};
    uint8_t head[13];
    r.At(0, head, sizeof head);
    if (r.failed || (std::memcmp(head, "GIF87a", 6) != 0 && std::memcmp(head, "GIF89a", 6) != 0)) return false;
    int64_t pos = 13;
    if (head[10] & 0x80) pos += int64_t(3) << ((head[10] & 7) + 1);
    // Every step moves forward, so a read past the end ends the walk.
    while (!r.failed) {
        uint8_t block[1];
        r.At(pos, block, 1);
        if (r.failed) return false;
        if (block[0] == 0x2C) {
            *outWidth = int32_t(r.U16(pos + 5, false));
            *outHeight = int32_t(r.U16(pos + 7, false));
            return !r.failed;
        }
        if (block[0] == 0x3B) return false; // the trailer: no image
        if (block[0] != 0x21) { // the decoder skips stray bytes
            pos++;
            continue;
        }
        pos += 2; // introducer and label, then sub-blocks up to an empty one
        for (uint8_t n[1] = {1}; n[0] != 0 && !r.failed; pos += 1 + n[0]) r.At(pos, n, 1);
    }
    return false;
}

int HeaderSizeOfFile(VirtualFile *file, int32_t *outWidth, int32_t *outHeight) {
    HeaderReader r{file};
    uint8_t magic[12];
    r.At(0, magic, 12);
    r.failed = false; // short files are judged by their magic below
    int32_t w = -1, h = -1;
    bool ok = false;
    if (std::memcmp(magic, "\x89PNG\r\n\x1a\n", 8) == 0) {
        w = int32_t(r.U32(16, true)), h = int32_t(r.U32(20, true));
        ok = !r.failed;
    } else if (std::memcmp(magic, "GIF87a", 6) == 0 || std::memcmp(magic, "GIF89a", 6) == 0) {
        w = int32_t(r.U16(6, false)), h = int32_t(r.U16(8, false));
        ok = !r.failed;
    } else if (magic[0] == 'B' && magic[1] == 'M') {
        uint32_t dib = r.U32(14, false);
        if (dib == 12) w = int32_t(r.U16(18, false)), h = int32_t(r.U16(20, false));
        else w = int32_t(r.U32(18, false)), h = int32_t(r.U32(22, false));
        // Top-down bitmaps store a negative height; INT32_MIN has no positive counterpart and stays refused.
        if (h < 0 && h != INT32_MIN) h = -h;
        ok = !r.failed;
    } else if (std::memcmp(magic, "II*\0", 4) == 0 || std::memcmp(magic, "MM\0*", 4) == 0) {
        ok = TiffSize(r, magic[0] == 'M', &w, &h);
    } else if (magic[0] == 0xFF && magic[1] == 0xD8) {
        ok = JpegSize(r, &w, &h);
    } else if (std::memcmp(magic, "qoif", 4) == 0) {
        const uint32_t width = r.U32(4, true), height = r.U32(8, true);
        // One byte codes at most a run of 62 pixels after the 14-byte header, before the 8-byte end marker: a
        // file that claims more pixels than its length can hold is damaged, and its decoder fills the rest.
        if (uint64_t(width) * height > 62 * uint64_t(std::max<int64_t>(VirtualFileLength(file) - 22, 0)))
            return kErrCannotReadFile;
        w = int32_t(std::min<uint32_t>(width, INT32_MAX)), h = int32_t(std::min<uint32_t>(height, INT32_MAX));
        ok = !r.failed;
    } else if (std::memcmp(magic, "FORM", 4) == 0 &&
               (std::memcmp(magic + 8, "ILBM", 4) == 0 || std::memcmp(magic + 8, "PBM ", 4) == 0)) {
        SeekVirtualFile(file, 0, kSeekFromStart);
        IlbmPicture picture;
        ok = ReadIlbm(file, &picture, true) == 0 && picture.width > 0;
        w = picture.width, h = picture.height;
    }
    if (!ok || w <= 0 || h <= 0) return kErrImageUnknownFormat;
    *outWidth = w;
    *outHeight = h;
    return 0;
}

} // namespace

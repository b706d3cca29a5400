#include <csetjmp>

#include <png.h>

#include "host/virtual_file.h"
#include "media/codecs/picture_writers.h"
#include "runtime/app/errors.h"

namespace {

struct PngSink {
    VirtualFile *file = nullptr;
    bool failed = false;
};

void WriteBytes(png_structp png, png_bytep data, png_size_t length) {
    auto *sink = static_cast<PngSink *>(png_get_io_ptr(png));
    if (WriteVirtualFileBuffered(sink->file, data, length) != int64_t(length)) sink->failed = true;
}
void FlushBytes(png_structp png) {
    auto *sink = static_cast<PngSink *>(png_get_io_ptr(png));
    if (!FlushVirtualFile(sink->file)) sink->failed = true;
}
void OnError(png_structp png, png_const_charp) { longjmp(png_jmpbuf(png), 1); }
void OnWarning(png_structp, png_const_charp) {}

// Everything libpng touches lives here, so its longjmp skips no destructor.
int EncodePng(PngSink *sink, const uint32_t *pixels, int32_t rowPixels, int32_t width, int32_t height,
              int withAlpha, png_bytep row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!png) return kErrOutOfMemory;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return kErrOutOfMemory;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return kErrOutOfMemory;
    }
    png_set_write_fn(png, sink, WriteBytes, FlushBytes);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height && !sink->failed; ++y) {
        const uint32_t *source = pixels + size_t(y) * size_t(rowPixels);
        png_bytep out = row;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = source[x];
            *out++ = png_byte(p >> 16);
            *out++ = png_byte(p >> 8);
            *out++ = png_byte(p);
            if (withAlpha) *out++ = png_byte(p >> 24);
        }
        png_write_row(png, row);
    }
    if (!sink->failed) png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return sink->failed ? kErrCannotWriteFile : 0;
}

} // namespace

int SavePngFile(const char *name, const uint32_t *pixels, int32_t rowPixels, int32_t width, int32_t height,
                int withAlpha) {
    if (width <= 0 || height <= 0 || rowPixels < width) return kErrWrongUsage;
    std::vector<png_byte> row(size_t(width) * 4);
    PngSink sink;
    sink.file = name ? OpenVirtualFile(name, kVirtualFileReplace) : nullptr;
    if (!sink.file) return kErrCannotWriteFile;
    const int result = EncodePng(&sink, pixels, rowPixels, width, height, withAlpha, row.data());
    if (result != 0) {
        DiscardVirtualFile(sink.file);
        return result;
    }
    return CloseVirtualFile(sink.file) == 0 ? 0 : kErrCannotWriteFile;
}

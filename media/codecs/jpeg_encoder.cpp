#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "media/codecs/picture_writers.h"
#include "runtime/app/errors.h"

namespace {

struct JumpingErrors {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void ErrorExit(j_common_ptr info) { longjmp(reinterpret_cast<JumpingErrors *>(info->err)->jump, 1); }
void Quiet(j_common_ptr) {}
void QuietLevel(j_common_ptr, int) {}

// Everything libjpeg touches lives here, so its longjmp skips no destructor.
int Encode(jpeg_compress_struct *c, JumpingErrors *errors, const uint8_t *pixels, int32_t rowBytes, int32_t width,
           int32_t height, int32_t quality, int swapped, JSAMPLE *row, unsigned char **data, unsigned long *size) {
    c->err = jpeg_std_error(&errors->base);
    errors->base.error_exit = ErrorExit;
    errors->base.output_message = Quiet;
    errors->base.emit_message = QuietLevel;
    if (setjmp(errors->jump)) {
        jpeg_destroy_compress(c);
        return kErrOutOfMemoryCode;
    }
    jpeg_create_compress(c);
    jpeg_mem_dest(c, data, size);
    c->image_width = JDIMENSION(width);
    c->image_height = JDIMENSION(height);
    c->input_components = 3;
    c->in_color_space = JCS_RGB;
    jpeg_set_defaults(c);
    jpeg_set_quality(c, quality, TRUE);
    jpeg_start_compress(c, TRUE);
    const int r = swapped ? 2 : 1, b = swapped ? 0 : 3;
    while (c->next_scanline < c->image_height) {
        const uint8_t *source = pixels + size_t(c->next_scanline) * size_t(rowBytes);
        JSAMPLE *out = row;
        for (int32_t x = 0; x < width; ++x, source += 4) {
            *out++ = source[r];
            *out++ = source[1 + (swapped ? 0 : 1)];
            *out++ = source[b];
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(c, rows, 1);
    }
    jpeg_finish_compress(c);
    jpeg_destroy_compress(c);
    return 0;
}

} // namespace

int CompressJpeg(const uint8_t *pixels, int32_t rowBytes, int32_t width, int32_t height, int32_t quality,
                 int swapped, std::vector<uint8_t> *out) {
    if (!pixels || width <= 0 || height <= 0 || rowBytes < width * 4) return kErrWrongUsage;
    std::vector<JSAMPLE> row;
    try {
        row.resize(size_t(width) * 3);
    } catch (const std::bad_alloc &) {
        return kErrOutOfMemoryCode;
    }
    jpeg_compress_struct c{};
    JumpingErrors errors{};
    unsigned char *data = nullptr;
    unsigned long size = 0;
    int result = Encode(&c, &errors, pixels, rowBytes, width, height, quality < 0 ? 0 : quality > 100 ? 100 : quality,
                        swapped, row.data(), &data, &size);
    if (result == 0) {
        try {
            out->assign(data, data + size);
        } catch (const std::bad_alloc &) {
            result = kErrOutOfMemoryCode;
        }
    }
    free(data);
    return result;
}

int SaveJpegFile(const char *name, const uint32_t *pixels, int32_t width, int32_t height, int32_t quality) {
    std::vector<uint8_t> bytes;
    const int result = CompressJpeg(reinterpret_cast<const uint8_t *>(pixels), width * 4, width, height, quality,
                                    std::endian::native == std::endian::little, &bytes);
    if (result != 0) return result;
    return WriteWholeFile(name, bytes.data(), bytes.size());
}

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "host/os/lazy_library.h"
#include "media/codecs/picture_writers.h"
#include "runtime/app/errors.h"

namespace {

// libjpeg is opened at the first JPEG written: most applets never write one. Its soname carries the version
// its headers give.
#define VL_JPEG_FUNCTIONS(X)                                                                                   \
    X(jpeg_std_error) X(jpeg_CreateCompress) X(jpeg_mem_dest) X(jpeg_set_defaults) X(jpeg_set_quality)        \
    X(jpeg_start_compress) X(jpeg_write_scanlines) X(jpeg_finish_compress) X(jpeg_destroy_compress)
VL_LAZY_LIBRARY_TABLE(JpegFunctions, VL_JPEG_FUNCTIONS);

const JpegFunctions *Jpeg() {
    return LoadLazyLibrary<JpegFunctions>({"libjpeg.so." VL_LAZY_STRINGIFY(JPEG_LIB_VERSION)},
                                          "libjpeg is not available for JPEG pictures");
}

struct JumpingErrors {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void ErrorExit(j_common_ptr info) { longjmp(reinterpret_cast<JumpingErrors *>(info->err)->jump, 1); }
void Quiet(j_common_ptr) {}
void QuietLevel(j_common_ptr, int) {}

// Everything libjpeg touches lives here, so its longjmp skips no destructor.
int Encode(const JpegFunctions *jpeg, jpeg_compress_struct *c, JumpingErrors *errors, const uint8_t *pixels,
           int32_t rowBytes, int32_t width, int32_t height, int32_t quality, int swapped, unsigned char **data,
           unsigned long *size) {
    c->err = jpeg->jpeg_std_error(&errors->base);
    errors->base.error_exit = ErrorExit;
    errors->base.output_message = Quiet;
    errors->base.emit_message = QuietLevel;
    if (setjmp(errors->jump)) {
        jpeg->jpeg_destroy_compress(c);
        return kErrOutOfMemory;
    }
    jpeg->jpeg_CreateCompress(c, JPEG_LIB_VERSION, sizeof *c);
    jpeg->jpeg_mem_dest(c, data, size);
    c->image_width = JDIMENSION(width);
    c->image_height = JDIMENSION(height);
    // The 4-byte pixels go in as they are: no row is converted first.
    c->input_components = 4;
    c->in_color_space = swapped ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg->jpeg_set_defaults(c);
    jpeg->jpeg_set_quality(c, quality, TRUE);
    jpeg->jpeg_start_compress(c, TRUE);
    while (c->next_scanline < c->image_height) {
        JSAMPROW rows[1] = {const_cast<JSAMPLE *>(pixels + size_t(c->next_scanline) * size_t(rowBytes))};
        jpeg->jpeg_write_scanlines(c, rows, 1);
    }
    jpeg->jpeg_finish_compress(c);
    jpeg->jpeg_destroy_compress(c);
    return 0;
}

} // namespace

int CompressJpeg(const uint8_t *pixels, int32_t rowBytes, int32_t width, int32_t height, int32_t quality,
                 int swapped, std::vector<uint8_t> *out) {
    if (!pixels || width <= 0 || height <= 0 || rowBytes < width * 4) return kErrWrongUsage;
    const JpegFunctions *jpeg = Jpeg();
    if (!jpeg) return kErrUnknownCompression;
    jpeg_compress_struct c{};
    JumpingErrors errors{};
    unsigned char *data = nullptr;
    unsigned long size = 0;
    int result = Encode(jpeg, &c, &errors, pixels, rowBytes, width, height, quality < 0 ? 0 : quality > 100 ? 100 : quality,
                        swapped, &data, &size);
    if (result == 0) {
        try {
            out->assign(data, data + size);
        } catch (const std::bad_alloc &) {
            result = kErrOutOfMemory;
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

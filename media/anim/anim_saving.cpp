// SaveAnim: a whole anim as an animated GIF. The MJPEG AVI format is not built yet.
#include <vector>

#include "host/blit.h"
#include "imaging/graphics_library.h"
#include "imaging/image_ops.h"
#include "imaging/quantize.h"
#include "media/anim/anim.h"
#include "media/codecs/picture_writers.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"

struct GifFrameOptions {
    int32_t colors = 256, dither = 0, transparency = -1, delay = 0;
};

// Reduces a bitmap's width x height pixels to a palette and adds them as a frame; the quantiser puts the
// transparent colour at entry 0, which is then the frame's transparent index.
static int AddBitmapGifFrame(GifWriter *gif, const HostBitmap *bitmap, const GifFrameOptions &options) {
    const int32_t width = gif->width, height = gif->height;
    std::vector<uint32_t> pixels(size_t(width) * size_t(height), 0);
    std::vector<uint8_t> indices(pixels.size());
    for (int32_t y = 0; y < height && y < bitmap->height; ++y)
        for (int32_t x = 0; x < width && x < bitmap->width; ++x)
            pixels[size_t(y) * size_t(width) + size_t(x)] = ReadPixelColour(bitmap, x, y) & 0xFFFFFF;
    uint32_t palette[256] = {};
    int32_t colors = options.colors;
    const bool keyed = options.transparency >= 0;
    if (!QuantizeColors(pixels.data(), width, height, width, indices.data(), palette, &colors,
                        uint32_t(options.transparency) & 0xFFFFFF, keyed, options.dither))
        return kErrOutOfMemoryCode;
    AddGifFrame(gif, indices.data(), palette, colors, keyed ? 0 : -1, options.delay);
    return 0;
}

static int ReadGifOptions(VMState *vm, int table, GifFrameOptions *options) {
    if (table == 0) return 0;
    GetTableOption(vm, table, "colors", &options->colors);
    GetTableOption(vm, table, "dither", &options->dither);
    GetTableOption(vm, table, "transparency", &options->transparency);
    return options->colors < 2 || options->colors > 256 ? kErrWrongUsage : 0;
}

int CmdSaveAnim(VMState *vm) {
    CheckArgs(vm, 2, 4);
    ObjectId id{};
    ReadObjectId(&id, vm, 1);
    const std::string file = CheckStringArg(vm, 2);
    const int32_t format = OptInt32Arg(vm, 3, ANMFMT_GIF);
    GifFrameOptions options;
    if (GetTop(vm) >= 4) {
        CheckTableArg(vm, 4);
        if (int error = ReadGifOptions(vm, 4, &options)) return error;
    }
    AnimObject *anim = nullptr;
    if (int error = FindAnim(id, &anim, kFindAnimPending)) return error;
    if (format == ANMFMT_MJPEG) return CommandNotAvailable("SaveAnim");
    if (format != ANMFMT_GIF) return kErrWrongUsage;
    GifWriter gif;
    BeginGif(&gif, anim->width, anim->height);
    for (int32_t n = 0; n < anim->frameCount; ++n) {
        ImageTriple image;
        bool owned = false;
        if (int error = GetAnimFrameImage(anim, n, false, false, &image, &owned)) return error;
        options.delay = GetAnimFrameDelay(anim, n);
        const int error = image.bitmap ? AddBitmapGifFrame(&gif, image.bitmap, options) : kErrOutOfMemoryCode;
        if (owned) FreeImageTriple(&image);
        if (error) return error;
    }
    FinishGif(&gif);
    const int error = WriteWholeFile(file.c_str(), gif.bytes.data(), gif.bytes.size());
    if (error == kErrCannotWriteFile) SetErrorArgString(file.c_str());
    return error;
}

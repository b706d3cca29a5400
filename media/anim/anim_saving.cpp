// SaveAnim and the anim streams: animated GIF files, or AVI files of MJPEG frames.
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "host/blit.h"
#include "imaging/graphics_library.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "imaging/quantize.h"
#include "media/anim/anim.h"
#include "media/codecs/avi_writer.h"
#include "media/codecs/picture_writers.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"
#include "runtime/app/utilities.h"
#include "scene/images/brush.h"

struct GifFrameOptions {
    int32_t colors = 256, dither = 0, transparency = -1, delay = 0, optimize = 1;
};
struct AviOptions {
    int32_t quality = 90, fps = 25;
};

static void ReadAviOptions(VMState *vm, int table, AviOptions *options) {
    GetTableOption(vm, table, "quality", &options->quality);
    GetTableOption(vm, table, "fps", &options->fps);
}

static int OpenAvi(const std::string &file, int32_t width, int32_t height, const AviOptions &options,
                   AviWriter **out) {
    return AviOpen(file.c_str(), options.fps, width, height, options.quality, false, ChunkBaseName(file.c_str()),
                   out);
}

// Reduces a bitmap's width x height pixels to a palette and adds them as a frame; the quantiser puts the
// transparent colour at entry 0, which is then the frame's transparent index.
// The bitmap is drawn at (left, top) over pixels of the writer's size.
static void CopyBitmap(const HostBitmap *bitmap, int32_t left, int32_t top, int32_t width, int32_t height,
                       std::vector<uint32_t> &pixels) {
    for (int32_t y = std::max(0, -top); y < bitmap->height && top + y < height; ++y)
        for (int32_t x = std::max(0, -left); x < bitmap->width && left + x < width; ++x)
            pixels[size_t(top + y) * size_t(width) + size_t(left + x)] = ReadPixelColour(bitmap, x, y) & 0xFFFFFF;
}

static int AddPixelsGifFrame(GifWriter *gif, const std::vector<uint32_t> &pixels, const GifFrameOptions &options) {
    const int32_t width = gif->width, height = gif->height;
    std::vector<uint8_t> indices(pixels.size());
    uint32_t palette[256] = {};
    int32_t colors = options.colors;
    const bool keyed = options.transparency >= 0;
    if (!QuantizeColors(pixels.data(), width, height, width, indices.data(), palette, &colors,
                        uint32_t(options.transparency) & 0xFFFFFF, keyed, options.dither))
        return kErrOutOfMemory;
    AddGifFrame(gif, indices.data(), palette, colors, keyed ? 0 : -1, options.delay, options.optimize != 0);
    return 0;
}

static int ReadGifOptions(VMState *vm, int table, GifFrameOptions *options) {
    if (table == 0) return 0;
    GetTableOption(vm, table, "colors", &options->colors);
    GetTableOption(vm, table, "dither", &options->dither);
    GetTableOption(vm, table, "transparency", &options->transparency);
    GetTableOption(vm, table, "delay", &options->delay);
    GetTableOption(vm, table, "optimize", &options->optimize);
    return options->colors < 2 || options->colors > 256 ? kErrWrongUsage : 0;
}

int CmdSaveAnim(VMState *vm) {
    CheckArgs(vm, 2, 4);
    const ObjectId id = IdArg(vm, 1);
    const std::string file = CheckStringArg(vm, 2);
    const int32_t format = OptInt32Arg(vm, 3, ANMFMT_GIF);
    GifFrameOptions options;
    AviOptions aviOptions;
    if (GetTop(vm) >= 4) {
        CheckTableArg(vm, 4);
        if (int error = ReadGifOptions(vm, 4, &options)) return error;
        ReadAviOptions(vm, 4, &aviOptions);
    }
    AnimObject *anim = nullptr;
    if (int error = FindAnim(id, &anim, kFindAnimPending)) return error;
    if (format != ANMFMT_GIF && format != ANMFMT_MJPEG) return kErrWrongUsage;
    GifWriter gif;
    AviWriter *avi = nullptr;
    if (format == ANMFMT_GIF) BeginGif(&gif, anim->width, anim->height);
    else if (int error = OpenAvi(file, anim->width, anim->height, aviOptions, &avi)) return error;
    int error = 0;
    for (int32_t n = 0; n < anim->frameCount && !error; ++n) {
        ImageTriple image;
        bool owned = false;
        if ((error = GetAnimFrameImage(anim, n, false, false, &image, &owned))) break;
        if (!image.bitmap) {
            error = kErrOutOfMemory;
        } else if (avi) {
            error = AviWriteFrame(avi, image.bitmap, anim->width, anim->height);
        } else {
            options.delay = GetAnimFrameDelay(anim, n);
            std::vector<uint32_t> pixels(size_t(anim->width) * size_t(anim->height), 0);
            CopyBitmap(image.bitmap, 0, 0, anim->width, anim->height, pixels);
            error = AddPixelsGifFrame(&gif, pixels, options);
        }
        if (owned) FreeImageTriple(&image);
    }
    // A failed save leaves no part of a file behind: the old one stays.
    if (avi) {
        if (!error) return AviFinish(avi);
        AviFree(avi);
        return error;
    }
    if (error) return error;
    FinishGif(&gif);
    error = WriteWholeFile(file.c_str(), gif.bytes.data(), gif.bytes.size());
    if (error == kErrCannotWriteFile) SetErrorArgString(file.c_str());
    return error;
}

namespace {

struct AnimStream {
    ObjectId id{};
    std::string file;
    int32_t width = 0, height = 0;
    GifWriter gif;
    AviWriter *avi = nullptr; // the MJPEG format's writer; GIF frames collect in gif
    ~AnimStream() { AviFree(avi); }
};

constexpr ObjectRules<AnimStream> kStreamRules{.notFoundError = kErrAnimStreamNotFound};
ObjectList<AnimStream> gStreams{&kStreamRules};

// Writes the file and frees the stream, whether the write worked or not.
int FinishStream(AnimStream *stream) {
    int error = 0;
    if (stream->avi) {
        error = AviFinish(std::exchange(stream->avi, nullptr));
    } else {
        FinishGif(&stream->gif);
        error = WriteWholeFile(stream->file.c_str(), stream->gif.bytes.data(), stream->gif.bytes.size());
        if (error == kErrCannotWriteFile) SetErrorArgString(stream->file.c_str());
    }
    gStreams.Erase(stream);
    return error;
}

} // namespace

int CmdBeginAnimStream(VMState *vm) {
    CheckArgs(vm, 4, 6);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const std::string file = CheckStringArg(vm, 2);
    const int32_t width = CheckCoordinateArg(vm, 3), height = CheckCoordinateArg(vm, 4);
    const int32_t format = OptInt32Arg(vm, 5, ANMFMT_GIF);
    AviOptions options;
    if (GetTop(vm) >= 6) {
        CheckTableArg(vm, 6);
        ReadAviOptions(vm, 6, &options);
    }
    if (file.empty() || width < 1 || height < 1 || width > 65535 || height > 65535) return kErrWrongUsage;
    if (format != ANMFMT_GIF && format != ANMFMT_MJPEG) return kErrWrongUsage;
    const bool automatic = IsAutoHandleRequest(id);
    if (!automatic)
        if (AnimStream *old = gStreams.Find(id)) FinishStream(old);
    auto stream = std::make_unique<AnimStream>();
    stream->file = file;
    stream->width = width;
    stream->height = height;
    if (format == ANMFMT_GIF) BeginGif(&stream->gif, width, height);
    else if (int error = OpenAvi(file, width, height, options, &stream->avi)) return error;
    AnimStream *made = gStreams.Add(stream.get(), id);
    if (!made) return kErrOutOfMemory;
    stream.release();
    return PushAutoHandle(vm, id, made);
}

int CmdWriteAnimFrame(VMState *vm) {
    CheckArgs(vm, 2, 3);
    ObjectId streamId{}, brushId{};
    ReadObjectId(&streamId, vm, 1);
    ReadObjectId(&brushId, vm, 2);
    GifFrameOptions options;
    int32_t x = 0, y = 0;
    if (GetTop(vm) >= 3) {
        CheckTableArg(vm, 3);
        if (int error = ReadGifOptions(vm, 3, &options)) return error;
        GetTableOption(vm, 3, "x", &x);
        GetTableOption(vm, 3, "y", &y);
    }
    AnimStream *found = nullptr;
    if (int error = gStreams.Find(streamId, &found, 0)) return error;
    Brush *brush = nullptr;
    if (int e = FindBrush(brushId, &brush, 0)) return e;
    if (!brush->bitmap) return kErrOutOfMemory;
    AnimStream &stream = *found;
    const int32_t width = stream.width, height = stream.height;
    x = ResolveXPosition(x, brush->width, width, 0.0);
    y = ResolveYPosition(y, brush->height, height, 0.0);
    if (stream.avi && x == 0 && y == 0 && brush->width == width && brush->height == height)
        return AviWriteFrame(stream.avi, brush->bitmap, width, height);
    std::vector<uint32_t> pixels(size_t(width) * size_t(height),
                                 options.transparency >= 0 ? uint32_t(options.transparency) & 0xFFFFFF : 0);
    CopyBitmap(brush->bitmap, x, y, width, height, pixels);
    if (!stream.avi) return AddPixelsGifFrame(&stream.gif, pixels, options);
    HostBitmap *frame = WrapHostBitmap(pixels.data(), width, height, width, PixelFormatARGB32);
    if (!frame) return kErrOutOfMemory;
    const int error = AviWriteFrame(stream.avi, frame, width, height);
    FreeHostBitmap(frame);
    return error;
}

int CmdFinishAnimStream(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const ObjectId id = IdArg(vm, 1);
    AnimStream *stream = nullptr;
    if (int error = gStreams.Find(id, &stream, 0)) return error;
    return FinishStream(stream);
}

void FinishAllAnimStreams() {
    while (AnimStream *last = gStreams.back()) FinishStream(last);
}

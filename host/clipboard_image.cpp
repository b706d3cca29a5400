#include "host/clipboard.h"

#include "host/bitmap_convert.h"
#include "host/memory.h"
#include "host/subprocess.h"
#include "runtime/app/errors.h"

#include <png.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct ClipboardTool {
    std::string copy, paste;
    std::vector<std::string> copyArgs, pasteArgs, listArgs;
};

bool FindTool(ClipboardTool *tool) {
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland) {
        tool->copy = FindProgramOnPath("wl-copy");
        tool->paste = FindProgramOnPath("wl-paste");
        if (!tool->copy.empty() && !tool->paste.empty()) {
            tool->copyArgs = {"--type", "image/png"};
            tool->pasteArgs = {"--no-newline", "--type", "image/png"};
            tool->listArgs = {"--list-types"};
            return true;
        }
    }
    const char *display = std::getenv("DISPLAY");
    if (display && *display) {
        tool->copy = tool->paste = FindProgramOnPath("xclip");
        if (!tool->copy.empty()) {
            tool->copyArgs = {"-selection", "clipboard", "-t", "image/png", "-i"};
            tool->pasteArgs = {"-selection", "clipboard", "-t", "image/png", "-o"};
            tool->listArgs = {"-selection", "clipboard", "-t", "TARGETS", "-o"};
            return true;
        }
    }
    return false;
}

// Why FindTool found nothing, said once per process on stderr as a missing library is: without it a script sees
// only "Unknown data format in clipboard!".
void SayNoTool() {
    static std::atomic<bool> said{false};
    if (said.exchange(true)) return;
    const char *wayland = std::getenv("WAYLAND_DISPLAY"), *display = std::getenv("DISPLAY");
    const bool onWayland = wayland && *wayland, onX11 = display && *display;
    const char *why = onWayland && onX11 ? "neither wl-copy and wl-paste (wl-clipboard) nor xclip is on the PATH"
                      : onWayland        ? "wl-copy and wl-paste (wl-clipboard) are not on the PATH"
                      : onX11            ? "xclip is not on the PATH"
                                         : "there is no X11 or Wayland display (DISPLAY and WAYLAND_DISPLAY are unset)";
    std::fprintf(stderr, "Images cannot go on the clipboard: %s\n", why);
}

} // namespace

int WriteClipboardImage(const HostBitmap *bitmap, const AlphaPlane *alpha, int32_t width, int32_t height) {
    ClipboardTool tool;
    if (!FindTool(&tool)) {
        SayNoTool();
        return kErrClipboardFormat;
    }
    if (!bitmap || width <= 0 || height <= 0) return kErrWrongUsage;
    uint32_t *rgb = ReadBitmapPixels(bitmap, width, height);
    if (!rgb) return kErrOutOfMemory;
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++) {
            uint32_t p = rgb[size_t(y) * size_t(width) + size_t(x)];
            uint8_t *out = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            out[0] = uint8_t(p >> 16), out[1] = uint8_t(p >> 8), out[2] = uint8_t(p);
            out[3] = alpha ? alpha->bytes[size_t(y) * size_t(alpha->bytesPerRow) + size_t(x)] : 255;
        }
    FreeBlock(rgb);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    if (!alpha) // drop the unused alpha bytes in place
        for (size_t i = 0; i < size_t(width) * size_t(height); i++) std::memmove(&rgba[i * 3], &rgba[i * 4], 3);
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, rgba.data(), 0, nullptr)) return kErrOutOfMemory;
    std::vector<uint8_t> png(size);
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, rgba.data(), 0, nullptr)) return kErrOutOfMemory;
    png.resize(size);
    if (RunHelperProgram(tool.copy, tool.copyArgs, png, nullptr) != 0) {
        SetErrorArgString(tool.copy);
        return kErrCannotOpen;
    }
    return 0;
}

bool ClipboardHasImage() {
    ClipboardTool tool;
    std::string types;
    if (!FindTool(&tool) || RunHelperProgram(tool.paste, tool.listArgs, {}, &types) != 0) return false;
    return types.find("image/png") != std::string::npos;
}

int ReadClipboardImage(ClipboardData *data) {
    ClipboardTool tool;
    std::string png;
    if (!FindTool(&tool) || RunHelperProgram(tool.paste, tool.pasteArgs, {}, &png) != 0 || png.empty())
        return kErrClipboardFormat;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return kErrClipboardFormat;
    if (image.width == 0 || image.height == 0 || image.width > png_uint_32(kMaxBitmapSide) ||
        image.height > png_uint_32(kMaxBitmapSide)) {
        png_image_free(&image);
        return kErrClipboardFormat;
    }
    bool hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_BGRA; // little-endian words 0xAARRGGBB
    int32_t width = int32_t(image.width), height = int32_t(image.height);
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return kErrClipboardFormat;
    }
    AlphaPlane *alpha = hasAlpha ? AllocAlphaPlane(width, height) : nullptr;
    if (hasAlpha && !alpha) return kErrOutOfMemory;
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++) {
            uint32_t &p = pixels[size_t(y) * size_t(width) + size_t(x)];
            if (alpha) alpha->bytes[size_t(y) * size_t(alpha->bytesPerRow) + size_t(x)] = uint8_t(p >> 24);
            p &= 0xFFFFFF;
        }
    HostBitmap *bitmap = nullptr;
    if (PixelArrayToBitmap(pixels.data(), -1, width, height, width, &bitmap, nullptr) != 0) {
        FreeAlphaPlane(alpha);
        return kErrOutOfMemory;
    }
    data->bitmap = bitmap;
    data->alpha = alpha;
    data->width = width;
    data->height = height;
    return 0;
}

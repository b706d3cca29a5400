#include "media/anim/anim_file.h"

#include <cstring>
#include <memory>

#include "host/picture_gif.h"
#include "host/virtual_file.h"
#include "media/codecs/iff_anim.h"
#include "runtime/app/errors.h"

namespace {

struct FileCloser {
    void operator()(VirtualFile *f) const { CloseVirtualFile(f); }
};

} // namespace

int OpenAnimFile(const char *fileName, AnimFile **out, int32_t *width, int32_t *height, int32_t *frameCount) {
    *out = nullptr;
    SetErrorArgString(fileName);
    std::unique_ptr<VirtualFile, FileCloser> file(OpenVirtualFile(fileName, kVirtualFileRead));
    if (!file) return kErrCannotReadFile;
    uint8_t head[64] = {};
    ReadVirtualFile(file.get(), head, sizeof head);
    int32_t kind = 0;
    if (std::memcmp(head, "FORM", 4) == 0 && std::memcmp(head + 8, "ANIM", 4) == 0) kind = kAnimFileIff;
    else if (std::memcmp(head, "GIF87", 5) == 0 || std::memcmp(head, "GIF89", 5) == 0) kind = kAnimFileGif;
    auto made = std::make_unique<AnimFile>();
    int32_t w = 0, h = 0, count = 0;
    if (kind == kAnimFileIff) made->handle = OpenIffAnim(file.get(), &w, &h, &count);
    else if (kind == kAnimFileGif) made->handle = OpenGifFile(file.get(), &w, &h, &count);
    made->kind = kind;
    file.reset();
    // What our own readers refuse is offered to the datatype.
    if (!made->handle) {
        if (!AnimDatatypeAvailable()) return kErrCannotLoadAnim;
        made->handle = OpenAnimDatatype(fileName, &w, &h, &count);
        made->kind = kAnimFileDatatype;
        if (!made->handle) {
            SetErrorArgString(fileName);
            return kErrAnimUnknownFormat;
        }
    }
    if (width) *width = w;
    if (height) *height = h;
    if (frameCount) *frameCount = count;
    *out = made.release();
    return 0;
}

uint32_t *ReadAnimFileFrame(AnimFile *file, int32_t n) {
    if (!file) return nullptr;
    switch (file->kind) {
    case kAnimFileIff: return ReadIffAnimFrame(static_cast<IffAnimReader *>(file->handle), n);
    case kAnimFileGif: return ReadGifFrame(static_cast<GifReader *>(file->handle), n);
    case kAnimFileDatatype: return ReadAnimDatatypeFrame(static_cast<AnimDatatypeReader *>(file->handle), n);
    default: return nullptr;
    }
}

int32_t GetAnimFileFrameDelay(AnimFile *file, int32_t n) {
    if (!file) return 0;
    switch (file->kind) {
    case kAnimFileIff: return GetIffAnimFrameDelay(static_cast<IffAnimReader *>(file->handle), n);
    case kAnimFileGif: return GetGifFrameDelay(static_cast<GifReader *>(file->handle), n);
    case kAnimFileDatatype: return GetAnimDatatypeFrameDelay(static_cast<AnimDatatypeReader *>(file->handle), n);
    default: return 0;
    }
}

int64_t GetAnimFileTransparentColour(const AnimFile *file) {
    return file && file->kind == kAnimFileGif ? GetGifTransparentColour(static_cast<const GifReader *>(file->handle))
                                              : -1;
}

void CloseAnimFile(AnimFile *file) {
    if (!file) return;
    switch (file->kind) {
    case kAnimFileIff: CloseIffAnim(static_cast<IffAnimReader *>(file->handle)); break;
    case kAnimFileGif: CloseGifFile(static_cast<GifReader *>(file->handle)); break;
    case kAnimFileDatatype: CloseAnimDatatype(static_cast<AnimDatatypeReader *>(file->handle)); break;
    default: break;
    }
    delete file;
}

int IsAnimFile(const char *fileName) {
    AnimFile *file = nullptr;
    int32_t count = 0;
    if (OpenAnimFile(fileName, &file, nullptr, nullptr, &count) != 0) return 0;
    CloseAnimFile(file);
    return count > 1 ? 1 : 0;
}

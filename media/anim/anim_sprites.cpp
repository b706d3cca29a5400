// Sprites made by the anim library's frame builders: every frame of an anim, a text object's image, or the frames
// of a file (an animation, or a picture whole or cut in a grid).
#include <vector>

#include "imaging/image_ops.h"
#include "host/catalog.h"
#include "media/anim/anim.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"
#include "scene/images/sprite.h"
#include "scene/layers/layer_services.h"

namespace {

// Frames under construction for a sprite; frees what it still holds.
struct SpriteFrames {
    std::vector<ImageTriple> frames;
    SpriteFrames() = default;
    SpriteFrames(const SpriteFrames &) = delete;
    SpriteFrames &operator=(const SpriteFrames &) = delete;
    ~SpriteFrames() { FreeSpriteFramePlanes(frames); }
};

int Record(ObjectId id, int32_t width, int32_t height, SpriteFrames &made, int32_t transparent, Sprite **out) {
    // The record takes the frames over, and frees them itself when it cannot be made.
    std::vector<ImageTriple> frames = std::move(made.frames);
    made.frames.clear();
    return CreateSpriteRecord(id, width, height, &frames, nullptr, transparent, out);
}

} // namespace

int CreateSpriteFromAnim(ObjectId id, ObjectId animId, Sprite **out) {
    AnimObject *anim = nullptr;
    if (int error = FindAnim(animId, &anim, 0)) return error;
    SpriteFrames made;
    made.frames.reserve(size_t(anim->frameCount));
    for (int32_t n = 0; n < anim->frameCount; n++) {
        ImageTriple image;
        bool owned = false;
        // A copy in any case: disk frames are decoded afresh, in-memory ones copied.
        if (int error = GetAnimFrameImage(anim, n, true, false, &image, &owned)) return error;
        made.frames.push_back(image);
    }
    return Record(id, anim->width, anim->height, made, anim->transparent, out);
}

int CreateSpriteFromTextObject(ObjectId id, ObjectId objectId, Sprite **out) {
    if (!TextServices) return LibraryNotRegistered("text");
    ImageTriple image;
    if (int error = TextServices->objectImage(objectId, 0, &image, nullptr, nullptr, nullptr)) return error;
    SpriteFrames made;
    ImageTriple &copy = made.frames.emplace_back(ImageTriple{nullptr, nullptr, nullptr, image.width, image.height});
    if (int error = CopyImage(image.bitmap, image.mask, image.alpha, 0, 0, image.width, image.height, &copy.bitmap,
                              &copy.mask, &copy.alpha))
        return error;
    return Record(id, image.width, image.height, made, -1, out);
}

int LoadSpriteFile(ObjectId id, const char *fileName, const LoadAnimOptions &options, int preloading, Sprite **out,
                   const char *shownName) {
    if (options.loadAlpha && options.transparent != -1) return kErrMaskAndAlphaChannel;
    if (!IsAutoHandleRequest(id))
        if (int error = FreeSpriteById(id, 0)) return error;
    PrintConsoleMessage(GetCatalogMessage(kMsgLoadingSprite), shownName ? shownName : fileName, 1);
    // Sprite frames are planes from the start: bitmaps need no display here, so nothing waits for one.
    LoadedFrames loaded;
    if (int error = LoadFramesFromFile(fileName, options, preloading, false, &loaded)) return error;
    SpriteFrames made;
    made.frames.reserve(loaded.list.frames.size());
    for (AnimFrame &frame : loaded.list.frames) {
        made.frames.push_back(ImageTriple{frame.bitmap, frame.mask, frame.alpha, loaded.width, loaded.height});
        frame = AnimFrame{};
    }
    return Record(id, loaded.width, loaded.height, made, int32_t(loaded.transparent), out);
}

// What the layer engine asks of anims: lookups, frames, copies for layers and new anims made for a layer.
#include <utility>

#include "media/anim/anim.h"
#include "runtime/app/errors.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layers.h"

namespace {

// Layers keep showing an anim after the script freed it, so a layer's lookup finds free-pending anims too.
int FindForLayer(ObjectId id, AnimObject **out) { return FindAnim(id, out, 0); }

int Find(ObjectId id, int flags, AnimInfo *out) {
    AnimObject *a = nullptr;
    // For modification (a selected frame about to be drawn into) the layers showing the anim get their copy.
    if (int error = FindAnim(id, &a, flags & kFindAnimModify)) return error;
    *out = AnimInfo{a->width, a->height, a->frameCount, a->fromDisk, a->transparent, a->lockCount, a};
    return 0;
}

int FrameImage(ObjectId id, int32_t frame, ImageTriple *out, bool *temporary) {
    AnimObject *a = nullptr;
    if (int error = FindForLayer(id, &a)) return error;
    if (frame < 1 || frame > a->frameCount) return AnimFrameOutOfRange(frame, a->frameCount);
    return GetAnimFrameImage(a, frame - 1, false, false, out, temporary);
}

int32_t FrameDelay(ObjectId id, int32_t frame) {
    AnimObject *a = nullptr;
    if (FindForLayer(id, &a) || frame < 1 || frame > a->frameCount) return 0;
    return GetAnimFrameDelay(a, frame - 1);
}

int FramePlaneSlots(ObjectId id, int32_t frame, MaskPlane ***maskSlot, AlphaPlane ***alphaSlot) {
    AnimObject *a = nullptr;
    if (int error = FindForLayer(id, &a)) return error;
    if (a->fromDisk) return kErrDiskAnim;
    if (frame < 1 || frame > int32_t(a->frames.size())) return AnimFrameOutOfRange(frame, int64_t(a->frames.size()));
    *maskSlot = &a->frames[size_t(frame - 1)].mask;
    *alphaSlot = &a->frames[size_t(frame - 1)].alpha;
    return 0;
}

int CopyForLayer(ObjectId id, ObjectId *newId) {
    AnimObject *a = nullptr;
    if (int error = FindForLayer(id, &a)) return error;
    *newId = ObjectId{0, kAutoHandleRequest};
    return CopyAnimForReferrer(a, newId);
}

// The new anim is free-pending from birth: it goes with the last layer that shows it.
int AddRecord(ObjectId id, int32_t width, int32_t height, int32_t count, ImageTriple *frames, int32_t transparent,
              ObjectId *outId) {
    std::vector<AnimFrame> made(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; i++) made[size_t(i)] = AnimFrame{frames[i].bitmap, frames[i].mask, frames[i].alpha};
    AnimObject *a = nullptr;
    if (int error = AddAnimRecord(id, width, height, std::move(made), transparent, &a)) return error;
    AnimList.MarkPending(a);
    *outId = a->id;
    return 0;
}

int DrawFrameAsLayer(VMState *vm, ObjectId id, int32_t frame, int32_t x, int32_t y, const DisplayTransform &transform,
                     const LayerOptions &options) {
    AnimObject *a = nullptr;
    if (int error = FindForLayer(id, &a)) return error;
    return DisplayImageObjectLayer(vm, ObjectKindAnim, a->id, frame - 1, 0, x, y, a->width, a->height, transform,
                                   options);
}

// The layer changes an anim of its own, so the lookup finds it though free-pending and gives it no further copy.
int ModifyFrames(ObjectId id, int32_t count, int32_t position) {
    return ModifyAnimFramesById(id, count, position, kFindAnimNoUnshare);
}

const AnimLayerServices kAnimLayerServices{Find,      FrameImage,   FrameDelay,       FramePlaneSlots,  CopyForLayer,
                                           AddRecord, ModifyFrames, DrawFrameAsLayer};

} // namespace

void InstallAnimLayerServices(bool on) { AnimServices = on ? &kAnimLayerServices : nullptr; }

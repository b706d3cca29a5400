// CopyAnim, ModifyAnimFrames, ScaleAnim and CreateAnim.
#include <cstring>
#include <vector>

#include "imaging/image_ops.h"
#include "media/anim/anim.h"
#include "scene/images/brush.h"
#include "scene/images/image_grid.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"

int CmdCopyAnim(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId sourceId{}, target{};
    ReadObjectId(&sourceId, vm, 1);
    OptIntegerArg(&target, vm, 2);
    AnimObject *source = nullptr;
    if (int error = FindAnim(sourceId, &source, kFindAnimPending)) return error;
    const bool automatic = IsAutoHandleRequest(target);
    if (!automatic) {
        if (source->id == target) return kErrWrongUsage;
        if (int error = FreeAnimById(target, 0)) return error;
    }
    if (int error = CopyAnimForReferrer(source, &target)) return error;
    if (!automatic) return 0;
    PushHandle(vm, target.handle);
    return 1;
}

namespace {

// A black frame of the anim's size, with a visible mask and an opaque alpha plane when the first frame has them.
bool MakeBlankFrame(const AnimObject *anim, AnimFrame *out) {
    const AnimFrame &first = anim->frames.front();
    out->bitmap = AllocHostBitmap(anim->width, anim->height);
    if (!out->bitmap) return false;
    if (first.mask) {
        out->mask = AllocMaskPlane(out->bitmap, anim->width, anim->height, false);
        if (!out->mask) return false;
        std::memset(out->mask->bits, 0xFF, size_t(out->mask->bytesPerRow) * size_t(out->mask->rows));
    }
    if (first.alpha) {
        out->alpha = AllocAlphaPlane(anim->width, anim->height, false);
        if (!out->alpha) return false;
        std::memset(out->alpha->bytes, 255, size_t(out->alpha->bytesPerRow) * size_t(out->alpha->height));
    }
    return true;
}

} // namespace

int ModifyAnimFramesById(ObjectId id, int32_t count, int32_t position, int findFlags) {
    AnimObject *anim = nullptr;
    if (int error = FindAnim(id, &anim, findFlags & kFindAnimPending)) return error;
    if (IsAnimActiveOutput(anim)) return kErrActiveAnim;
    if (int error = FindAnim(id, &anim, findFlags | kFindAnimModify)) return error;
    if (anim->fromDisk) return kErrDiskAnim;
    const int64_t frames = anim->frameCount;
    // An insertion may come at most right after the last frame; a removal must leave a frame.
    if (count == 0 || count <= -frames || position < 0 || (count < 0 && int64_t(position) - count > frames + 1) ||
        (count > 0 && position > frames + 1) || anim->frames.size() != size_t(frames))
        return kErrWrongUsage;
    const size_t first = size_t(position == 0 ? (count > 0 ? frames : frames + count) : position - 1);
    std::vector<AnimFrame> newFrames;
    std::vector<int32_t> newDelays;
    try {
        newFrames.reserve(size_t(frames + count));
        newDelays.reserve(size_t(frames + count));
    } catch (const std::bad_alloc &) {
        return kErrOutOfMemory;
    }
    if (count > 0) {
        std::vector<AnimFrame> blank(static_cast<size_t>(count));
        for (AnimFrame &frame : blank)
            if (!MakeBlankFrame(anim, &frame)) {
                for (AnimFrame &made : blank) FreeAnimFrame(made);
                return kErrOutOfMemory;
            }
        for (size_t i = 0; i < size_t(frames); ++i) {
            if (i == first)
                for (AnimFrame &frame : blank) newFrames.push_back(frame), newDelays.push_back(-1);
            newFrames.push_back(anim->frames[i]);
            newDelays.push_back(anim->delays[i]);
        }
        if (first == size_t(frames))
            for (AnimFrame &frame : blank) newFrames.push_back(frame), newDelays.push_back(-1);
    } else {
        for (size_t i = 0; i < size_t(frames); ++i) {
            if (i >= first && i < first + size_t(-count)) {
                FreeAnimFrame(anim->frames[i]);
                continue;
            }
            newFrames.push_back(anim->frames[i]);
            newDelays.push_back(anim->delays[i]);
        }
    }
    anim->frames = std::move(newFrames);
    anim->delays = std::move(newDelays);
    anim->frameCount = int32_t(anim->frames.size());
    return 0;
}

int CmdModifyAnimFrames(VMState *vm) {
    CheckArgs(vm, 2, 3);
    const ObjectId id = IdArg(vm, 1);
    const int32_t count = CheckInt32Arg(vm, 2), position = OptInt32Arg(vm, 3, 0);
    return ModifyAnimFramesById(id, count, position, kFindAnimPending);
}

int CmdScaleAnim(VMState *vm) {
    CheckArgs(vm, 3, 4);
    const ObjectId id = IdArg(vm, 1);
    AnimObject *anim = nullptr;
    if (int error = FindAnim(id, &anim, kFindAnimPending)) return error;
    if (IsAnimActiveOutput(anim)) return kErrActiveAnim;
    if (int error = FindAnim(id, &anim, kFindAnimModify)) return error;
    int32_t width = SaturateToInt32(ReadNumberOrPercent(vm, 2, anim->width, 1));
    int32_t height = SaturateToInt32(ReadNumberOrPercent(vm, 3, anim->height, 1));
    const int32_t smooth = OptInt32Arg(vm, 4, 0);
    if (int error = ApplyKeepAspectRatio(anim->width, anim->height, &width, &height)) return error;
    if (width == anim->width && height == anim->height) return 0;
    if (!anim->fromDisk) {
        // Every frame is scaled before any is replaced, so a failure leaves the anim as it was.
        std::vector<AnimFrame> scaled(anim->frames.size());
        for (size_t i = 0; i < scaled.size(); ++i) {
            const AnimFrame &f = anim->frames[i];
            const int error = f.bitmap ? ScaleImage(f.bitmap, f.mask, f.alpha, 0, 0, nullptr, anim->width, anim->height,
                                                    width, height, smooth != 0, &scaled[i].bitmap, &scaled[i].mask,
                                                    &scaled[i].alpha)
                                       : kErrOutOfMemory;
            if (error) {
                for (AnimFrame &made : scaled) FreeAnimFrame(made);
                return error;
            }
        }
        for (size_t i = 0; i < scaled.size(); ++i) {
            FreeAnimFrame(anim->frames[i]);
            anim->frames[i] = scaled[i];
        }
        anim->sourceWidth = width;
        anim->sourceHeight = height;
    }
    anim->width = width;
    anim->height = height;
    anim->smooth = smooth;
    return 0;
}

// CreateAnim(id or Nil, brush, cell width, cell height, frames, frames per row [, x, y]): a grid of the brush's
// cells, with its mask and alpha, as a new anim.
int CmdCreateAnim(VMState *vm) {
    CheckArgs(vm, 6, 8);
    ObjectId id{}, brushId{};
    OptIntegerArg(&id, vm, 1);
    ReadObjectId(&brushId, vm, 2);
    ImageGrid grid{OptInt32Arg(vm, 7, 0), OptInt32Arg(vm, 8, 0), CheckInt32Arg(vm, 3), CheckInt32Arg(vm, 4),
                   CheckInt32Arg(vm, 5), CheckInt32Arg(vm, 6)};
    if (!IsAutoHandleRequest(id))
        if (int error = FreeAnimById(id, 0)) return error;
    Brush *brush = nullptr;
    if (int error = FindBrush(brushId, &brush, 0)) return error;
    if (!brush->bitmap) return kErrOutOfMemory;
    if (int error = CheckImageGrid(&grid, brush->width, brush->height)) return error;
    const ImageTriple source{brush->bitmap, brush->mask, brush->alpha, brush->width, brush->height};
    std::vector<AnimFrame> frames;
    int error = 0;
    for (int32_t k = 0; k < grid.frames && !error; ++k) {
        ImageTriple cell;
        error = CutGridCell(grid, k, source, &cell);
        if (!error) frames.push_back(AnimFrame{cell.bitmap, cell.mask, cell.alpha, nullptr});
    }
    AnimObject *made = nullptr;
    if (!error) error = AddAnimRecord(id, grid.cellWidth, grid.cellHeight, std::move(frames), -1, &made);
    if (error) {
        for (AnimFrame &frame : frames) FreeAnimFrame(frame);
        return error;
    }
    return PushAutoHandle(vm, id, made);
}

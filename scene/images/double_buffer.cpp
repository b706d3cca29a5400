// Double buffering: drawing goes into a back buffer the window never shows; Flip copies it into the front buffer
// (scaled when the display auto-scales) and shows that.
#include <algorithm>
#include <new>

#include "host/blit.h"
#include "imaging/display_image.h"
#include "imaging/frame_pacing.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/output.h"

namespace {

bool FrontIsScaled(const DisplayRecord *d) { return d->autoScaling && DisplayHasScaledSize(d); }

void FreeBuffers(DisplayRecord *d) {
    FreeHostBitmap(d->frontBuffer);
    FreeHostBitmap(d->backBuffer);
    d->frontBuffer = d->backBuffer = nullptr;
}

bool HasPlanes(const ImageTriple &t) { return t.mask || t.alpha; }

} // namespace

int BeginDoubleBuffering(DisplayRecord *d) {
    if (!d || !d->picture) return kErrWrongUsage;
    if (d->outputKind == ObjectKindBrush && d->doubleBuffering) return kErrEndDoubleBufferFirst;
    if (int error = RefuseSelectedOutput(d, 1)) return error;
    BGPic *p = d->picture;
    if (d->layersEnabled || p->layers.headNode.next->next) return kErrLayersMustBeOff;
    if (p->sprites) return kErrRemoveSpritesFirst;
    if (HasPlanes(p->base) || HasPlanes(p->scaled) || HasPlanes(p->current)) return kErrDoubleBufferTransparent;
    FreeBuffers(d);
    const int32_t width = p->scaled.width, height = p->scaled.height;
    const bool scaled = FrontIsScaled(d);
    d->frontBuffer = AllocDisplayableHostBitmap(scaled ? d->scaledWidth : width, scaled ? d->scaledHeight : height);
    if (!d->frontBuffer) return kErrOutOfMemory;
    d->backBuffer = AllocHostBitmap(width, height);
    if (!d->backBuffer) return kErrOutOfMemory;
    RECTFILL(d->frontBuffer, 0, 0, d->frontBuffer->width, d->frontBuffer->height, 0);
    RECTFILL(d->backBuffer, 0, 0, width, height, 0);
    if (!d->doubleBufferOutput) {
        d->doubleBufferOutput = new (std::nothrow) OutputRecord;
        if (!d->doubleBufferOutput) return kErrOutOfMemory;
    }
    OutputRecord *record = d->doubleBufferOutput;
    const ObjectId own{0, record};
    InitOutputRecord(record, ObjectKindBrush, nullptr, 0, &own, d->backBuffer, nullptr, nullptr, width, height, 1);
    CurrentBGPic = record;
    d->outputBitmap = d->backBuffer;
    d->outputMask = nullptr;
    d->outputAlpha = nullptr;
    d->outputKind = ObjectKindBrush;
    d->doubleBuffering = 1;
    return 0;
}

int FlipDoubleBuffer(VMState *vm, DisplayRecord *d) {
    if (!d || !d->doubleBuffering) return kErrDoubleBufferNotActive;
    const OutputRecord *record = d->doubleBufferOutput;
    if (FrontIsScaled(d)) {
        HostBitmap *made = nullptr;
        MaskPlane *mask = nullptr;
        AlphaPlane *alpha = nullptr;
        if (int error = ScaleImage(d->backBuffer, nullptr, nullptr, 0, 0, d->frontBuffer, record->base.width,
                                   record->base.height, d->scaledWidth, d->scaledHeight, false, &made, &mask, &alpha))
            return error;
    } else {
        BLTBITMAP(d->backBuffer, 0, 0, d->frontBuffer, 0, 0, record->base.width, record->base.height);
    }
    PresentDoubleBuffer(d, 0, 0);
    WaitFrame(vm);
    return 0;
}

void PresentDoubleBuffer(DisplayRecord *d, int repaintBorders, int32_t flags) {
    if (!d->frontBuffer || !d->doubleBufferOutput || !d->picture) return;
    const ImageTriple &buffer = d->doubleBufferOutput->base;
    const ImageTriple &picture = d->picture->scaled;
    if (FrontIsScaled(d)) {
        PresentDisplayRect(d->frontBuffer, 0, 0, d, 0, 0, d->scaledWidth, d->scaledHeight, flags);
        return;
    }
    PresentDisplayRect(d->frontBuffer, 0, 0, d, 0, 0, std::min(buffer.width, picture.width),
                       std::min(buffer.height, picture.height), flags);
    if (!repaintBorders || !d->firstBitmap) return;
    if (picture.width > buffer.width)
        PresentDisplayRect(d->firstBitmap, buffer.width, 0, d, buffer.width, 0, picture.width - buffer.width,
                           picture.height, flags);
    if (picture.height > buffer.height)
        PresentDisplayRect(d->firstBitmap, 0, buffer.height, d, 0, buffer.height, picture.width,
                           picture.height - buffer.height, flags);
}

int EndDoubleBuffering(VMState *, DisplayRecord *d) {
    if (!d || !d->doubleBuffering) return kErrDoubleBufferNotActive;
    BGPic *p = d->picture;
    const int32_t width = p ? p->scaled.width : 0, height = p ? p->scaled.height : 0;
    if (d->firstBitmap) BLTBITMAP(d->backBuffer, 0, 0, d->firstBitmap, 0, 0, width, height);
    // With auto scaling the second bitmap holds the picture at its own size too (the window scales it).
    if (FrontIsScaled(d) && d->secondBitmap) BLTBITMAP(d->backBuffer, 0, 0, d->secondBitmap, 0, 0, width, height);
    FreeBuffers(d);
    CurrentBGPic = p;
    d->doubleBuffering = 0;
    d->outputKind = ObjectKindDisplay;
    d->outputBitmap = nullptr;
    d->outputMask = nullptr;
    d->outputAlpha = nullptr;
    return 0;
}

int ResizeFrontBuffer(DisplayRecord *d, int32_t width, int32_t height) {
    FreeHostBitmap(d->frontBuffer);
    d->frontBuffer = AllocDisplayableHostBitmap(width, height);
    if (!d->frontBuffer) return kErrOutOfMemory;
    RECTFILL(d->frontBuffer, 0, 0, width, height, 0);
    PresentDisplayRect(d->frontBuffer, 0, 0, d, 0, 0, width, height, 0);
    return 0;
}

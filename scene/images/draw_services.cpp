// The scene side of the graphics and draw commands: the current output's clip region, brushes for regions,
// pointers and textures, the displays' pointers, and drawing shapes and pixels into every kind of output.
#include "imaging/draw_services.h"

#include "imaging/pointer.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/display_open.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/output.h"
#include "scene/images/scene_objects.h"
#include "scene/layers/layers.h"


namespace {

int SetCurrentClipRegion(ClipRegion *region) {
    if (!CurrentDisplay || !CurrentBGPic) return kErrWrongUsage;
    CurrentBGPic->clipRegion = region;
    return 0;
}

void ReleaseClipRegion(const ClipRegion *region, int clearLayers) {
    // Sprites drawn through the region show whole from now on: at once on the current display, on the others
    // when their display next draws them.
    const BGPic *shown = CurrentDisplay ? CurrentDisplay->picture : nullptr;
    int32_t x = 0, y = 0, width = 0, height = 0;
    for (BGPic *bgpic : BGPicList) {
        if (bgpic->clipRegion == region) bgpic->clipRegion = nullptr;
        for (OnScreenSprite *s = bgpic->sprites; s; s = s->next) {
            if (s->clip != region) continue;
            s->clip = nullptr;
            if (bgpic != shown) continue;
            if (width) JoinRects(x, y, width, height, s->x, s->y, s->width, s->height, &x, &y, &width, &height);
            else x = s->x, y = s->y, width = s->width, height = s->height;
        }
    }
    for (DisplayRecord *d = DisplayList; d; d = d->next)
        for (OutputRecord *record : {d->selectOutput, d->doubleBufferOutput})
            if (record && record->clipRegion == region) record->clipRegion = nullptr;
    if (clearLayers) ClearLayerClipRegionRefs(region);
    if (width) RefreshArea(x, y, width, height);
}

int FindBrushPlanes(ObjectId id, ImageTriple *image) {
    Brush *brush = nullptr;
    if (int error = FindBrush(id, &brush, 0)) return error;
    if (!brush->bitmap) return kErrWrongUsage;
    *image = ImageTriple{brush->bitmap, brush->mask, brush->alpha, brush->width, brush->height};
    return 0;
}

int SetCurrentDisplayPointer(PointerRecord *pointer) {
    DisplayRecord *d = CurrentDisplay;
    if (!d) return kErrWrongUsage;
    d->pointer = pointer;
    ApplyDisplayPointer(d);
    return 0;
}

int SetPointerHidden(int hidden) {
    DisplayRecord *d = CurrentDisplay;
    if (!d) return kErrWrongUsage;
    d->pointerHidden = hidden;
    ApplyDisplayPointer(d);
    return 0;
}

void ForgetPointer(const PointerRecord *pointer) {
    for (DisplayRecord *d = DisplayList; d; d = d->next)
        if (d->pointer == pointer) {
            d->pointer = nullptr;
            ApplyDisplayPointer(d);
        }
}

DrawSceneServices MakeServices() {
    DrawSceneServices s;
    s.setCurrentClipRegion = SetCurrentClipRegion;
    s.releaseClipRegion = ReleaseClipRegion;
    s.findBrushImage = FindBrushPlanes;
    s.setDisplayPointer = SetCurrentDisplayPointer;
    s.setPointerHidden = SetPointerHidden;
    s.forgetPointer = ForgetPointer;
    InstallShapeDrawing(&s);
    return s;
}

} // namespace

void InstallDrawServices() {
    static const DrawSceneServices services = MakeServices();
    DrawServices = &services;
}

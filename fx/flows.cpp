// Flows: the new picture is revealed band by band while its line at the edge is stretched over the rest of the
// area, as if it flowed in. Each frame is composed in a work bitmap of the area and sent as one rectangle. A
// masked or alpha picture is composed over the old one; a real-time layer is itself the work bitmap, its mask or
// alpha taking the lines' own. A hidden layer backs out: the engine plays these frames from the last to the first
// inside the layer.
#include <algorithm>

#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "runtime/app/errors.h"
#include "scene/layers/layers.h"

namespace {

struct FlowState {
    HostBitmap *work;
};

struct FlowGeometry {
    bool rows;      // TOP and BOTTOM flow rows
    bool fromStart; // TOP and LEFT reveal from line 0 on
    int32_t size;
};

FlowGeometry GeometryOf(const FxRequest *request) {
    const FxVariant &variant = FxVariantOf(request);
    const bool rows = variant.axis == kFxAxisH;
    return {rows, variant.direction == kFxNorth || variant.direction == kFxWest,
            rows ? request->height : request->width};
}

// Lines [from, from + count) of source to line `to` of the work bitmap, through the new image's planes when
// masked is set.
void CopyLines(FxRequest *request, const FlowGeometry &g, const HostBitmap *source, HostBitmap *work,
               int32_t from, int32_t to, int32_t count, bool masked) {
    if (count <= 0 || !source) return;
    const int32_t w = request->width, h = request->height;
    const int32_t sx = g.rows ? 0 : from, sy = g.rows ? from : 0, dx = g.rows ? 0 : to, dy = g.rows ? to : 0;
    const int32_t cw = g.rows ? w : count, ch = g.rows ? count : h;
    if (DrawsLayerPlane(request)) {
        // Lines keep their own transparency: the new image's, or the layer's when flowing inside it.
        const bool own = source == request->newImage;
        const LayerDrawParams *layer = request->preparedState;
        DrawIntoLayer(request, source, own ? request->newMask : layer->mask, own ? request->newAlpha : layer->alpha,
                      sx, sy, dx, dy, cw, ch);
        return;
    }
    if (masked && (request->newMask || request->newAlpha))
        SAFEBLT(source, sx, sy, work, dx, dy, cw, ch, w, h, w, h, kBlitMasked | kBlitToBitmap, request->newMask,
                request->newAlpha, nullptr);
    else ClippedCopyRect(source, sx, sy, work, dx, dy, cw, ch, w, h, w, h);
}

// The work bitmap for a revealed range [first, last) of new lines, the rest flowed from the line before edge.
void ComposeFlow(FxRequest *request, const FlowGeometry &g, HostBitmap *work, int32_t first, int32_t last,
                 int32_t edge, int32_t flowFirst, int32_t flowLast) {
    const bool layered = (request->newMask || request->newAlpha) && !DrawsLayerPlane(request);
    const int32_t touchedFirst = std::min(first, flowFirst), touchedLast = std::max(last, flowLast);
    if (layered) CopyLines(request, g, request->oldImage, work, touchedFirst, touchedFirst, touchedLast - touchedFirst, false);
    CopyLines(request, g, request->newImage, work, first, first, last - first, true);
    if (edge < 1 || edge > g.size || flowLast <= flowFirst) return;
    if (layered) {
        for (int32_t line = flowFirst; line < flowLast; line++)
            CopyLines(request, g, request->newImage, work, edge - 1, line, 1, true);
        return;
    }
    // Opaque: the stretched line once, then the flowed block doubled, so a frame makes a few large copies
    // rather than one per line (a column at a time is slow).
    CopyLines(request, g, request->newImage, work, edge - 1, flowFirst, 1, false);
    for (int32_t done = 1; done < flowLast - flowFirst; done *= 2)
        CopyLines(request, g, work, work, flowFirst, flowFirst + done, std::min(done, flowLast - flowFirst - done), false);
}

void SendLines(FxRequest *request, const FlowGeometry &g, const HostBitmap *work, int32_t first, int32_t last) {
    if (last <= first || DrawsLayerPlane(request)) return;
    if (g.rows) DrawFxPictureRect(request, work, 0, first, 0, first, request->width, last - first);
    else DrawFxPictureRect(request, work, first, 0, first, 0, last - first, request->height);
}

int FlowSetup(FxRequest *request) {
    const FlowGeometry g = GeometryOf(request);
    const int32_t size = g.size;
    FlowState *state = AllocFxState<FlowState>(request);
    if (!state) return kErrOutOfMemory;
    request->step = FxStepOf(request, size);
    SetFxRunToSize(request, size);
    if (DrawsLayerPlane(request)) return 0;
    state->work = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
    if (!state->work) return kErrOutOfMemory;
    // Starts as the old picture, so that no frame can show what the allocation left there.
    if (request->oldImage) BLTBITMAP(request->oldImage, 0, 0, state->work, 0, 0, request->width, request->height);
    return 0;
}

// The position is how many lines the revealed part has crossed.
int FlowDraw(FxRequest *request, int32_t travel) {
    const FlowGeometry g = GeometryOf(request);
    const int32_t size = g.size, s = request->step;
    FlowState *state = FxState<FlowState>(request);
    const int32_t edge = g.fromStart ? travel : size - travel;
    HostBitmap *work = DrawsLayerPlane(request) ? request->preparedState->bitmap : state->work;
    if (DrawsLayerPlane(request) && (request->phase == 2 || request->frame == 0)) ClearLayerPlanes(request);
    if (request->phase == 2) {
        if (request->oldImage)
            BLTBITMAP(request->oldImage, 0, 0, work, 0, 0, request->width, request->height);
        if (g.fromStart) ComposeFlow(request, g, work, 0, edge, edge, edge, size);
        else ComposeFlow(request, g, work, edge, size, edge, 0, edge);
        SendLines(request, g, work, 0, size);
    } else if (g.fromStart) {
        ComposeFlow(request, g, work, edge - s, edge, edge, edge, size);
        SendLines(request, g, work, edge - s, size);
    } else {
        ComposeFlow(request, g, work, edge, std::min(edge + s, size), edge, 0, edge);
        SendLines(request, g, work, 0, std::min(edge + s, size));
    }
    return 0;
}

void FlowFinish(FxRequest *request, int) {
    FlowState *state = FxState<FlowState>(request);
    FreeHostBitmap(state->work);
    state->work = nullptr;
}

} // namespace

const FxFamily FlowFamily = {FlowSetup, FlowDraw, FlowFinish};

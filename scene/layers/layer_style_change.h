// What one style table asks of one layer, gathered before anything is rebuilt, moved or repainted.
#pragma once

#include "imaging/display_options.h"
#include "scene/images/scene_objects.h"
#include "scene/layers/layer_style.h"

// Change classes.
constexpr int kStyleRebuild = 1, kStyleTransform = 2, kStylePosition = 4, kStyleRepaint = 8, kStyleClip = 16;

struct LayerStyleChange {
    int32_t kind = 0;
    int kindChanged = 0;
    ObjectId source{};
    LayerDrawParams block;          // values only: the images and tails stay with the layer
    ShapeRecord *shape = nullptr;   // the new shape tail, owned until the rebuild takes it
    void *textBlock = nullptr;      // the new text block (TEXTOUT, PRINT), owned until the rebuild takes it
    int cursorGiven = 0;
    int32_t cursorX = 0, cursorY = 0;
    DisplayTransform transform;
    int classes = 0;
    int32_t x = 100000, y = 100000; // USELAYERPOSITION keeps a coordinate
    int32_t relative = 0;           // 1: x is an offset, 2: y is
    double anchorX = 0, anchorY = 0;
    int32_t hidden = 0, transparency = 0, tint = 0;
    uint32_t tintColor = 0;

    LayerStyleChange() = default;
    LayerStyleChange(const LayerStyleChange &) = delete;
    LayerStyleChange &operator=(const LayerStyleChange &) = delete;
    ~LayerStyleChange();
};

// Steps up to the stores in the layer: reads every key in its order; nocliptransform, z and the clip region
// take effect on the layer as they are read, the rest waits in change.
int ReadLayerStyle(VMState *vm, vlLayer *layer, int table, bool *freeAfter, LayerStyleChange *change);

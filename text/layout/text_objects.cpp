// The text-object list: lookup, copy, deferred free while layers show an object, re-rendering under a transform,
// and showing an object on the output or in a layer.
#include "text/layout/text_objects.h"

#include <algorithm>
#include <new>

#include "imaging/display_image.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/scene_objects.h"
#include "scene/layers/layers.h"

namespace {

void FreeRecord(TextObject *object) { FreeImageTriple(&object->image); }

int CopyForLayers(void *argument, ObjectId *newId) {
    TextObject *made = nullptr;
    if (int error = CopyTextObjectRecord(*static_cast<TextObject *>(argument), ObjectId{0, kAutoHandleRequest}, &made))
        return error;
    *newId = made->id;
    return 0;
}

constexpr ObjectRules<TextObject> kTextObjectRules{
    .notFoundError = kErrTextObjectNotFound,
    .release = FreeRecord,
    .layerKind = ObjectKindTextObject,
    .layers = &kLayerServices,
    .copyForLayers = CopyForLayers,
};

} // namespace

ObjectList<TextObject> &TextObjectList() {
    static ObjectList<TextObject> list{&kTextObjectRules};
    return list;
}

int FindTextObject(ObjectId id, TextObject **out, int flags) { return TextObjectList().Find(id, out, flags); }

int CopyTextObjectRecord(const TextObject &source, ObjectId id, TextObject **out) {
    auto copy = std::unique_ptr<TextObject>(new (std::nothrow) TextObject);
    if (!copy) return kErrOutOfMemory;
    copy->params = source.params;
    copy->transform = source.transform;
    copy->baseWidth = source.baseWidth;
    copy->baseHeight = source.baseHeight;
    copy->layoutWidth = source.layoutWidth;
    copy->offsetX = source.offsetX;
    copy->offsetY = source.offsetY;
    copy->image.width = source.image.width;
    copy->image.height = source.image.height;
    if (int error = CopyImage(source.image.bitmap, source.image.mask, source.image.alpha, 0, 0, source.image.width,
                              source.image.height, &copy->image.bitmap, &copy->image.mask, &copy->image.alpha))
        return error;
    if (!TextObjectList().Add(copy.get(), id)) {
        FreeRecord(copy.get());
        return kErrOutOfMemory;
    }
    *out = copy.release();
    return 0;
}

int FreeTextObjectById(ObjectId id, bool strict) { return TextObjectList().Free(id, strict); }


void FreeAllTextObjects() { TextObjectList().Clear(); }

int32_t CountTextObjects() { return int32_t(TextObjectList().CountLive()); }

int RerenderTextObject(VMState *vm, TextObject *object) {
    RenderedText text;
    if (int error = LayoutText(vm, &object->params, ObjectKindTextObject, object->transform, kRedrawKeepTables, &text))
        return error;
    ImageTriple image = text.image;
    if (!text.fontScaled && !IsIdentityTransform(object->transform)) {
        const double m[4] = {object->transform.a, object->transform.b, object->transform.c, object->transform.d};
        const int error = ApplyImageTransform(text.image, m, object->transform.smooth != 0, &image);
        FreeImageTriple(&text.image);
        if (error) return error;
    }
    FreeImageTriple(&object->image);
    object->image = image;
    // A turned or scaled image is placed by its own width; the wrap only narrows the upright layout.
    object->layoutWidth = image.bitmap == text.image.bitmap ? std::min(text.layoutWidth, image.width) : image.width;
    const bool upright = object->transform.rotate % 360 == 0;
    object->offsetX = upright ? text.offsetX : 0;
    object->offsetY = upright ? text.offsetY : 0;
    return 0;
}

int ShowTextObject(VMState *vm, ObjectId id, int32_t x, int32_t y, const DisplayTransform &transform,
                   const LayerOptions &options) {
    TextObject *object = nullptr;
    if (int error = FindTextObject(id, &object, 0)) return error;
    const ImageTriple &image = object->image;
    x = ResolveXPosition(x, object->layoutWidth, 0, transform.anchorX);
    y = ResolveYPosition(y, image.height, 0, transform.anchorY);
    const DisplayRecord *display = CurrentDisplay;
    if (display && display->layersEnabled && CurrentBGPic &&
        (display->outputKind == ObjectKindDisplay || display->outputKind == ObjectKindBGPic)) {
        if (!DisplayImageLayerHook) return LibraryNotRegistered("layers");
        return DisplayImageLayerHook(vm, ObjectKindTextObject, object->id, 0, 0, x + object->offsetX,
                                     y + object->offsetY, image.width, image.height, transform, options);
    }
    return DrawImageToOutput(image, 0, 0, 0, 0, x + object->offsetX, y + object->offsetY, transform);
}

int AddTextObjectLayer(VMState *vm, ObjectId id, int32_t x, int32_t y, int32_t insertPos, int32_t flags) {
    TextObject *object = nullptr;
    if (int error = FindTextObject(id, &object, 0)) return error;
    auto *params = new (std::nothrow) LayerDrawParams;
    if (!params) return kErrOutOfMemory;
    params->x = x = ClampLayerCoordinate(ResolveXPosition(x, object->layoutWidth, 0, 0));
    params->y = y = ClampLayerCoordinate(ResolveYPosition(y, object->image.height, 0, 0));
    params->width = object->image.width;
    params->height = object->image.height;
    return AddLayer(vm, ObjectKindTextObject, &object->id, x, y, params->width, params->height, nullptr, nullptr,
                    nullptr, nullptr, nullptr, params, insertPos, flags);
}

int TextObjectImage(ObjectId id, int flags, ImageTriple *out, int32_t *offsetX, int32_t *offsetY, int32_t *lockCount) {
    TextObject *object = nullptr;
    if (int error = FindTextObject(id, &object, flags)) return error;
    *out = object->image;
    if (offsetX) *offsetX = object->offsetX;
    if (offsetY) *offsetY = object->offsetY;
    if (lockCount) *lockCount = object->lockCount;
    return 0;
}

int DrawTextObjectLayer(VMState *, vlLayer *layer, LayerDrawParams *params, const int32_t *oldRect,
                        const DisplayTransform &transform, int32_t flags) {
    TextObject *object = nullptr;
    if (int error = FindTextObject(layer->source, &object, kFindPending)) return error;
    ImageTriple image;
    bool owned = false;
    int32_t x = 0, y = 0;
    if (int error = BuildDisplayImage(object->image, 0, 0, object->image.width, object->image.height, transform,
                                      params->x, params->y, &image, &owned, &x, &y))
        return error;
    if (!owned) image = ImageTriple{nullptr, nullptr, nullptr, object->image.width, object->image.height};
    if (flags & kRedrawNoGeometry) {
        if (owned) FreeImageTriple(&image);
        return 0;
    }
    return UpdateLayerGeometry(layer, params, oldRect, x, y, image.width, image.height, image.bitmap, image.mask,
                               image.alpha);
}

// Bindings of the drawing commands: Print, NPrint, TextOut, the text-object commands and the text cursor.
#include <algorithm>
#include <cmath>
#include <string>

#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/layers/layers.h"
#include "text/layout/text_library.h"
#include "text/layout/text_objects.h"

namespace {

bool IsXConstant(int32_t x) { return x == kPosCenter || x == kPosLeft || x == kPosRight; }
bool IsYConstant(int32_t y) { return y == kPosCenter || y == kPosTop || y == kPosBottom; }

TextDrawParams CurrentParams() {
    TextDrawParams params;
    params.style = GetTextStyle();
    params.style.font = GetCurrentFont();
    params.encoding = GetDefaultEncoding();
    return params;
}

// TextOut's "wordwraptable": entries from index 0 up to the first Nil.
int ReadWordWrapTable(VMState *vm, int table, std::vector<int32_t> *out) {
    NoteOptionKey(vm, "wordwraptable");
    RawGetField(vm, table, "wordwraptable");
    const int list = GetTop(vm);
    if (ValueType(vm, list) != TTABLE) {
        SetTop(vm, -2);
        return 0;
    }
    out->clear();
    for (int64_t i = 0;; i++) {
        RawGetIndex(vm, list, i);
        if (ValueType(vm, -1) == TNIL) {
            SetTop(vm, -2);
            break;
        }
        if (size_t(i) + 1 >= kMaxWordWrapEntries) {
            SetTop(vm, -3);
            return kErrInternalLimit;
        }
        out->push_back(SaturateToInt32(CheckNumberField(vm, -1, "wordwraptable")));
        SetTop(vm, -2);
    }
    SetTop(vm, -2);
    return 0;
}

int ReadId(VMState *vm, int n, ObjectId *id) {
    ReadObjectId(id, vm, n);
    return 0;
}

} // namespace

int CmdPrint(VMState *vm) {
    CheckArgs(vm, 1, 0);
    return PrintValues(vm, false);
}

int CmdNPrint(VMState *vm) {
    CheckArgs(vm, 1, 0);
    return PrintValues(vm, true);
}

int CmdTextOut(VMState *vm) {
    CheckArgs(vm, 3, 5);
    TextDrawParams params = CurrentParams();
    params.x = CheckCoordinateArg(vm, 1);
    params.y = CheckCoordinateArg(vm, 2);
    size_t length = 0;
    const char *text = CheckStringArg(vm, 3, &length);
    params.text.assign(text, length);
    DisplayTransform transform;
    LayerOptions options;
    if (ValueType(vm, 4) == TTABLE) {
        if (int error = ParseDisplayOptions(vm, 4, 0, 0, (params.style.style & kTextAntialias) ? 1 : 0, &transform,
                                            &options))
            return error;
        if (CurrentDisplay && !CurrentDisplay->layersEnabled) ClassifyTransformMatrix(&transform);
        int32_t encoding = params.encoding;
        GetTableOption(vm, 4, "align", &params.align);
        GetTableOption(vm, 4, "wordwrap", &params.rightMargin);
        params.rightMargin = ClampCoordinate(params.rightMargin);
        GetTableOption(vm, 4, "encoding", &encoding);
        params.encoding = encoding;
        if (encoding < 0 || encoding > 1) return kErrWrongUsage;
        if (int error = ReadWordWrapTable(vm, 4, &params.wordWrapTable)) return error;
        NoteOptionKey(vm, "wordwraptable");
        RawGetField(vm, 4, "wordwraptable");
        params.wordWrapGiven = ValueType(vm, -1) == TTABLE;
        SetTop(vm, -2);
    } else {
        params.align = OptInt32Arg(vm, 4, kAlignLeft);
        params.rightMargin = OptCoordinateArg(vm, 5, 0);
    }
    if (params.rightMargin < 0) return kErrWrongUsage;
    return DrawText(vm, nullptr, nullptr, &params, ObjectKindTextOut, false, transform, &options, 0, nullptr);
}

int CmdCreateTextObject(VMState *vm) {
    CheckArgs(vm, 2, 5);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    TextDrawParams params = CurrentParams();
    size_t length = 0;
    const char *text = CheckStringArg(vm, 2, &length);
    params.text.assign(text, length);
    params.align = OptInt32Arg(vm, 3, kAlignLeft);
    params.rightMargin = OptInt32Arg(vm, 4, 0);
    const int32_t encoding = OptInt32Arg(vm, 5, GetDefaultEncoding());
    if (encoding < 0 || encoding > 1 || params.rightMargin < 0) return kErrWrongUsage;
    params.encoding = encoding;
    if (!IsAutoHandleRequest(id))
        if (int error = FreeTextObjectById(id, false)) return error;
    RenderedText rendered;
    if (int error = DrawText(vm, nullptr, nullptr, &params, ObjectKindTextObject, false, DisplayTransform{}, nullptr, 0,
                             &rendered))
        return error;
    auto object = std::unique_ptr<TextObject>(new (std::nothrow) TextObject);
    if (!object) {
        FreeImageTriple(&rendered.image);
        return kErrOutOfMemory;
    }
    object->params = std::move(params);
    object->params.tablesLaidOut = true;
    object->image = rendered.image;
    object->baseWidth = rendered.image.width;
    object->layoutWidth = std::min(rendered.layoutWidth, rendered.image.width);
    object->baseHeight = rendered.image.height;
    object->offsetX = rendered.offsetX;
    object->offsetY = rendered.offsetY;
    void *handle = object.get();
    if (!TextObjectList().Add(object.get(), id)) {
        FreeImageTriple(&object->image);
        return kErrOutOfMemory;
    }
    object.release();
    return PushAutoHandle(vm, id, handle);
}

int CmdDisplayTextObject(VMState *vm) {
    CheckArgs(vm, 3, 4);
    ObjectId id{};
    ReadId(vm, 1, &id);
    const int32_t x = CheckCoordinateArg(vm, 2), y = CheckCoordinateArg(vm, 3);
    TextObject *object = nullptr;
    if (int error = FindTextObject(id, &object, 0)) return error;
    DisplayTransform transform;
    LayerOptions options;
    if (int error = ParseDisplayOptions(vm, 4, object->image.width, object->image.height,
                                        (object->params.style.style & kTextAntialias) ? 1 : 0, &transform, &options))
        return error;
    if (CurrentDisplay && !CurrentDisplay->layersEnabled) ClassifyTransformMatrix(&transform);
    return ShowTextObject(vm, id, x, y, transform, options);
}

int CmdFreeTextObject(VMState *vm) {
    CheckArgs(vm, 1, 1);
    ObjectId id{};
    ReadId(vm, 1, &id);
    return FreeTextObjectById(id, true);
}

int CmdCopyTextObject(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId source{}, target{};
    ReadId(vm, 1, &source);
    OptIntegerArg(&target, vm, 2);
    if (!source.handle && !target.handle && source.number == target.number) return kErrWrongUsage;
    TextObject *object = nullptr;
    if (int error = FindTextObject(source, &object, 0)) return error;
    if (!IsAutoHandleRequest(target))
        if (int error = FreeTextObjectById(target, false)) return error;
    if (int error = FindTextObject(source, &object, 0)) return error; // the list may have moved
    TextObject *made = nullptr;
    if (int error = CopyTextObjectRecord(*object, target, &made)) return error;
    return PushAutoHandle(vm, target, made->id.handle);
}

static int TransformTextObject(VMState *vm, bool rotate) {
    CheckArgs(vm, rotate ? 2 : 3, rotate ? 2 : 3);
    ObjectId id{};
    ReadId(vm, 1, &id);
    TextObject *object = nullptr;
    if (int error = FindTextObject(id, &object, kFindModify)) return error;
    DisplayTransform t = object->transform;
    if (rotate) {
        t.rotate = CheckInt32Arg(vm, 2) % 360;
    } else {
        int32_t width = SaturateToInt32(ReadNumberOrPercent(vm, 2, object->baseWidth, 1));
        int32_t height = SaturateToInt32(ReadNumberOrPercent(vm, 3, object->baseHeight, 1));
        if (int error = ApplyKeepAspectRatio(object->baseWidth, object->baseHeight, &width, &height)) return error;
        if (width <= 0 || height <= 0) return kErrWrongUsage;
        t.width = width;
        t.height = height;
    }
    double m[4];
    MakeScaleRotateMatrix(m, t.width, t.height, object->baseWidth, object->baseHeight, t.rotate, 1.0, 1.0);
    t.a = m[0], t.b = m[1], t.c = m[2], t.d = m[3];
    ClassifyTransformMatrix(&t);
    const DisplayTransform old = object->transform;
    object->transform = t;
    if (int error = RerenderTextObject(vm, object)) {
        object->transform = old;
        return error;
    }
    return 0;
}

int CmdScaleTextObject(VMState *vm) { return TransformTextObject(vm, false); }
int CmdRotateTextObject(VMState *vm) { return TransformTextObject(vm, true); }

int CmdLocate(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const int32_t x = CheckCoordinateArg(vm, 1), y = CheckCoordinateArg(vm, 2);
    if (IsXConstant(x) || IsYConstant(y)) return kErrCoordinateConstant;
    DisplayRecord *display = CurrentDisplay;
    if (!display) return kErrDisplayClosed;
    display->cursorY = y;
    display->cursorX = (x >= display->leftMargin && x <= display->rightMargin) ? x : display->leftMargin;
    return 0;
}

int CmdSetMargins(VMState *vm) {
    CheckArgs(vm, 2, 2);
    int32_t left = CheckCoordinateArg(vm, 1), right = CheckCoordinateArg(vm, 2);
    if (left >= right) return kErrWrongUsage;
    DisplayRecord *display = CurrentDisplay;
    if (!display) return kErrDisplayClosed;
    left = std::max(left, 0);
    if (CurrentBGPic && CurrentBGPic->scaled.width > 0) right = std::min(right, CurrentBGPic->scaled.width - 1);
    // The clamp can bring the right margin to or below the left one: refused like the unclamped case.
    if (left >= right) return kErrWrongUsage;
    display->leftMargin = left;
    display->rightMargin = right;
    display->cursorX = left;
    display->cursorY = 0;
    return 0;
}

int CmdAddTab(VMState *vm) {
    CheckArgs(vm, 1, 0);
    DisplayRecord *display = CurrentDisplay;
    if (!display) return kErrDisplayClosed;
    for (int n = 1; n <= GetTop(vm); n++) {
        const int32_t position = CheckInt32Arg(vm, n);
        if (display->tabCount >= kMaxTabStops)
            RaiseErrorDetail(vm, kErrInternalLimit,
                             "a display keeps at most " + std::to_string(kMaxTabStops) + " tab stops");
        if (position < 0) return kErrNegativeCoordinate;
        int32_t at = 0;
        while (at < display->tabCount && display->tabStops[at] <= position) at++;
        std::copy_backward(display->tabStops + at, display->tabStops + display->tabCount,
                           display->tabStops + display->tabCount + 1);
        display->tabStops[at] = position;
        display->tabCount++;
    }
    return 0;
}

int CmdResetTabs(VMState *vm) {
    CheckArgs(vm, 0, 0);
    if (CurrentDisplay) CurrentDisplay->tabCount = 0;
    return 0;
}

#include "scene/events/buttons.h"

#include <new>

#include "host/debug_output.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"
#include "scene/display/display_record.h"
#include "scene/events/display_input.h"
#include "scene/events/event_state.h"
#include "scene/layers/layers.h"

const char *const ButtonFunctionNames[kButtonFunctionCount] = {
    "onmouseover", "onmouseout", "onmousedown", "onmouseup", "onrightmousedown", "onrightmouseup",
    "onmidmousedown", "onmidmouseup",
};

namespace {

struct MouseButtonInfo {
    int32_t pressedBit;
    int downFunction, upFunction;
    const char *downAction, *upAction;
};

bool MouseButtonOf(int32_t kind, MouseButtonInfo *out) {
    switch (kind) {
    case kEventLeftMouse: *out = {kButtonLeftPressed, kOnMouseDown, kOnMouseUp, "OnMouseDown", "OnMouseUp"}; return true;
    case kEventRightMouse:
        *out = {kButtonRightPressed, kOnRightMouseDown, kOnRightMouseUp, "OnRightMouseDown", "OnRightMouseUp"};
        return true;
    case kEventMiddleMouse:
        *out = {kButtonMiddlePressed, kOnMidMouseDown, kOnMidMouseUp, "OnMidMouseDown", "OnMidMouseUp"};
        return true;
    default: return false;
    }
}

} // namespace

bool ButtonIsActive(const vlBGPicButton *button) {
    if (button->disabled) return false;
    if (button->type == SIMPLEBUTTON) return true;
    return button->type == LAYERBUTTON && (!button->layer->hidden || button->activeWhenHidden);
}

int32_t LayerPosition(const BGPic *bgpic, const vlLayer *layer) {
    int32_t position = 1;
    for (const ListNode *n = bgpic->layers.headNode.next; n && n != &bgpic->layers.tailNode; n = n->next, position++)
        if (n == &layer->node) return position;
    return -1;
}

int AddLayerButton(VMState *vm, BGPic *bgpic, ObjectId id, vlLayer *layer, int32_t pixelExact,
                   int32_t activeWhenHidden, int32_t functionsRef, int32_t userdataRef, vlBGPicButton **out) {
    for (const vlBGPicButton *b = bgpic->buttons; b; b = b->next) {
        if (b->type == LAYERBUTTON && b->layer == layer) {
            if (functionsRef != -1) FreeRef(vm, kRegistryIndex, functionsRef);
            if (userdataRef != -1) FreeRef(vm, kRegistryIndex, userdataRef);
            return kErrWrongUsage;
        }
    }
    vlBGPicButton *button;
    if (int error = AddSimpleButton(vm, bgpic, id, 0, 0, -1, -1, functionsRef, userdataRef, &button)) return error;
    button->type = LAYERBUTTON;
    button->layer = layer;
    button->pixelExact = pixelExact ? 1 : 0;
    button->activeWhenHidden = activeWhenHidden ? 1 : 0;
    if (out) *out = button;
    return 0;
}

void RemoveLayerButtons(VMState *vm, BGPic *bgpic, const vlLayer *layer) {
    for (vlBGPicButton *b = bgpic->buttons; b; b = b->next) {
        if (b->type == LAYERBUTTON && b->layer == layer) {
            FreeButton(vm, bgpic, b);
            return;
        }
    }
}

int ButtonHasFunction(VMState *vm, const vlBGPicButton *button, int function) {
    if (button->functionRef == -1) return 0;
    PushRef(vm, kRegistryIndex, button->functionRef);
    GetField(vm, -1, ButtonFunctionNames[function]);
    int has = ValueType(vm, -1) == TFUNCTION;
    SetTop(vm, -3);
    return has;
}

int AddSimpleButton(VMState *vm, BGPic *bgpic, ObjectId id, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                    int32_t functionsRef, int32_t userdataRef, vlBGPicButton **out) {
    vlBGPicButton *button = new (std::nothrow) vlBGPicButton;
    if (!button) {
        if (functionsRef != -1) FreeRef(vm, kRegistryIndex, functionsRef);
        if (userdataRef != -1) FreeRef(vm, kRegistryIndex, userdataRef);
        return kErrOutOfMemory;
    }
    button->id = id.handle ? ObjectId{0, button} : id;
    button->x = x1, button->y = y1;
    button->width = x2 - x1 + 1, button->height = y2 - y1 + 1;
    button->vm = vm;
    button->functionRef = functionsRef;
    button->userdataRef = userdataRef;
    button->next = bgpic->buttons;
    bgpic->buttons = button;
    if (out) *out = button;
    return 0;
}

int FindButton(BGPic *bgpic, ObjectId id, vlBGPicButton **out) {
    *out = nullptr;
    for (vlBGPicButton *b = bgpic ? bgpic->buttons : nullptr; b; b = b->next) {
        if (b->id == id) {
            *out = b;
            return 0;
        }
    }
    return ObjectNotFound(id, kErrButtonNotFound);
}

void DetachButtonFromDispatch(const vlBGPicButton *button) {
    EventState *state = TheEventState;
    if (!state) return;
    if (state->buttonIterator == button) state->buttonIterator = button->next;
    if (state->hoveredButton == button) state->hoveredButton = nullptr;
    if (state->pressedButton == button) state->pressedButton = nullptr;
}

void FreeButton(VMState *vm, BGPic *bgpic, vlBGPicButton *button) {
    DetachButtonFromDispatch(button);
    vlBGPicButton **link = &bgpic->buttons;
    while (*link && *link != button) link = &(*link)->next;
    if (*link) *link = button->next;
    if (vm && button->functionRef != -1) FreeRef(vm, kRegistryIndex, button->functionRef);
    if (vm && button->userdataRef != -1) FreeRef(vm, kRegistryIndex, button->userdataRef);
    delete button;
}

void SetButtonEnabled(vlBGPicButton *button, int enabled) {
    button->disabled = enabled ? 0 : 1;
    button->state &= ~kButtonPressedMask;
}

void ResetButtonStates(BGPic *bgpic) {
    for (vlBGPicButton *b = bgpic->buttons; b; b = b->next) b->state &= ~kButtonPressedMask;
}

namespace {

int HitTestLayerButton(const DisplayRecord *display, int32_t x, int32_t y, const vlBGPicButton *button) {
    int32_t sx = x - display->scaledLeft, sy = y - display->scaledTop;
    if (display->autoScaling) DisplayPointFromWindow(display, x, y, &sx, &sy);
    const LayerDrawParams *state = button->layer->current;
    if (!state) return 0;
    if (sx < state->screenX || sx >= state->screenX + state->screenWidth || sy < state->screenY ||
        sy >= state->screenY + state->screenHeight)
        return 0;
    if (state->clip && !ClipRegionContains(state->clip, sx, sy)) return 0;
    if (!button->pixelExact) return 1;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    if (GetLayerImage(button->layer, state, 1, -1, &bitmap, &mask, &alpha, nullptr, nullptr, nullptr)) return 0;
    const bool own = state->xfBitmap || state->bitmap;
    return PixelOverlap(state->screenX, state->screenY, state->screenWidth, state->screenHeight, mask, alpha,
                        own ? 0 : state->partX, own ? 0 : state->partY, sx, sy, 1, 1, nullptr, nullptr, 0, 0,
                        nullptr, nullptr);
}

} // namespace

int HitTestButton(const DisplayRecord *display, int32_t x, int32_t y, const vlBGPicButton *button) {
    if (button->type == LAYERBUTTON) return HitTestLayerButton(display, x, y, button);
    // The display the button is tested on gives offset and scale: with two displays of different scale, the
    // current display's factors would place the rectangles of the other one wrongly.
    int32_t sx, sy;
    DisplayPointFromWindow(display, x, y, &sx, &sy);
    return sx >= ButtonX1(button) && sx <= ButtonX2(button) && sy >= ButtonY1(button) && sy <= ButtonY2(button);
}

int MatchButtonMouseEvent(VMState *vm, DisplayRecord *display, const EventInfo &event, CallbackRequest *request) {
    MouseButtonInfo info;
    if (!display || !display->picture || !MouseButtonOf(event.kind, &info)) return 0;
    BGPic *bgpic = display->picture;
    for (vlBGPicButton *b = bgpic->buttons; b; b = b->next) {
        if (!ButtonIsActive(b) || !HitTestButton(display, event.x, event.y, b)) continue;
        int function;
        const char *action;
        if (event.down) {
            b->state |= info.pressedBit;
            function = info.downFunction, action = info.downAction;
        } else {
            if (!(b->state & info.pressedBit)) continue;
            b->state &= ~info.pressedBit;
            function = info.upFunction, action = info.upAction;
        }
        // A button without the function still takes the event from the buttons below it.
        if (!ButtonHasFunction(vm, b, function)) return 0;
        request->kind = kCallbackButton;
        request->display = display;
        request->bgpic = bgpic;
        request->button = b;
        request->functionRef = b->functionRef;
        request->functionKey = ButtonFunctionNames[function];
        request->userdataRef = b->userdataRef;
        request->action = action;
        return 1;
    }
    // An up away from the pressed button only ends the press.
    if (!event.down)
        for (vlBGPicButton *b = bgpic->buttons; b; b = b->next)
            if (!b->disabled) b->state &= ~info.pressedBit;
    return 0;
}

void DumpButtons(const BGPic *bgpic) {
    int count = 0;
    for (const vlBGPicButton *b = bgpic->buttons; b; b = b->next) count++;
    DebugPrintf("BUTTON SYSTEM INFO - BGPIC: %d (%p)\nsizeof(vlBGPicButton): %d\nButtons: %d\n", bgpic->id.number,
                static_cast<const void *>(bgpic), kButtonRecordSize, count);
    int position = 1;
    for (const vlBGPicButton *b = bgpic->buttons; b; b = b->next, position++)
        DebugPrintf("(%d) Type: %d - X1: %d - Y1: %d - X2: %d - Y2: %d\n", position, b->type, ButtonX1(b),
                    ButtonY1(b), ButtonX2(b), ButtonY2(b));
}

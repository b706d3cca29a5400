#include "scene/events/dispatch.h"

#include <mutex>

#include "host/input.h"
#include "runtime/app/attributes.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"
#include "scene/display/display_list.h"
#include "scene/events/buttons.h"
#include "scene/events/display_input.h"
#include "scene/events/key_names.h"
#include "scene/events/legacy_events.h"
#include "scene/events/timed_callbacks.h"

namespace {

// Set when a freed display moved the display cursor on: the cursor then already names the next display.
bool displayIteratorAdvanced = false;

// What a queue kind selects among the display's handler slots.
struct SlotChoice {
    int slot;
    const char *action;
    int32_t callbackKind;
};

bool DisplayStageSlot(const EventInfo &e, SlotChoice *out) {
    switch (e.kind) {
    case kEventLeftMouse:
        *out = e.down ? SlotChoice{kSlotOnMouseDown, "OnMouseDown", kCallbackDisplay}
                      : SlotChoice{kSlotOnMouseUp, "OnMouseUp", kCallbackDisplay};
        return true;
    case kEventRightMouse:
        *out = e.down ? SlotChoice{kSlotOnRightMouseDown, "OnRightMouseDown", kCallbackDisplay}
                      : SlotChoice{kSlotOnRightMouseUp, "OnRightMouseUp", kCallbackDisplay};
        return true;
    case kEventMiddleMouse:
        *out = e.down ? SlotChoice{kSlotOnMidMouseDown, "OnMidMouseDown", kCallbackDisplay}
                      : SlotChoice{kSlotOnMidMouseUp, "OnMidMouseUp", kCallbackDisplay};
        return true;
    case kEventWheelUp: *out = {kSlotOnWheelUp, "OnWheelUp", kCallbackDisplay}; return true;
    case kEventWheelDown: *out = {kSlotOnWheelDown, "OnWheelDown", kCallbackDisplay}; return true;
    default: return false;
    }
}

bool WindowStageSlot(const EventInfo &e, SlotChoice *out) {
    switch (e.kind) {
    case kEventKey:
        *out = e.down ? SlotChoice{kSlotOnKeyDown, "OnKeyDown", kCallbackKey}
                      : SlotChoice{kSlotOnKeyUp, "OnKeyUp", kCallbackKey};
        return true;
    case kEventWindowMoved: *out = {kSlotMoveWindow, "MoveWindow", kCallbackMoved}; return true;
    case kEventWindowResized: *out = {kSlotSizeWindow, "SizeWindow", kCallbackResized}; return true;
    case kEventWindowInactive: *out = {kSlotInactiveWindow, "InactiveWindow", kCallbackDisplay}; return true;
    case kEventCloseWindow: *out = {kSlotCloseWindow, "CloseWindow", kCallbackDisplay}; return true;
    case kEventWindowActive: *out = {kSlotActiveWindow, "ActiveWindow", kCallbackDisplay}; return true;
    case kEventWindowHidden: *out = {kSlotHideWindow, "HideWindow", kCallbackDisplay}; return true;
    case kEventWindowShown: *out = {kSlotShowWindow, "ShowWindow", kCallbackDisplay}; return true;
    case kEventModeSwitched: *out = {kSlotModeSwitch, "ModeSwitch", kCallbackModeSwitch}; return true;
    case kEventFilesDropped: *out = {kSlotOnDropFile, "OnDropFile", kCallbackDropFiles}; return true;
    case kEventClipboardChanged: *out = {kSlotClipboardChange, "ClipboardChange", kCallbackDisplay}; return true;
    default: return false;
    }
}

void FillFromSlot(CallbackRequest *r, DisplayRecord *d, const SlotChoice &c, const EventInfo &e) {
    r->kind = c.callbackKind;
    r->display = d;
    r->functionRef = d->handlers[c.slot].function;
    r->userdataRef = d->handlers[c.slot].userdata;
    r->action = c.action;
    r->x = e.x, r->y = e.y;
    if (c.callbackKind == kCallbackKey) {
        r->keyText = CallbackKeyText(e.keyCode);
        r->qualifier = uint32_t(e.qualifier);
    }
    if (c.callbackKind == kCallbackDropFiles) r->dropList = &e.extra;
}

int LegacyJump(VMState *vm, int labelIndex, CallbackRequest *request) {
    SetGosubJumpDelta(vm, labelIndex - CallPcIndex(vm));
    TheEventState->phase = kPhaseStart;
    request->kind = kCallbackLegacyJump;
    return -1;
}

// ---- Steps; each returns true when the pass stops with *result --------------------------------------------------

bool TimerStep(VMState *vm, bool resuming, CallbackRequest *r, int *result) {
    EventState *s = TheEventState;
    // Resumed with no node left: the previous call polled the last one.
    if (resuming && !s->timerIterator) return false;
    for (;;) {
        int kind = kTimerNotDue;
        int32_t owner = 0;
        TimerRequestNode *next = PollTimerRequest(s->timerIterator, &kind, &owner);
        s->timerIterator = next;
        if (kind == kTimerInterval) {
            if (TimedCallback *row = FindTimedCallbackByOwner(kTimerInterval, owner)) {
                s->phase = kPhaseTimers;
                r->kind = kCallbackInterval;
                r->action = "Interval";
                r->objectId = row->id;
                r->functionRef = row->functionRef;
                r->userdataRef = row->userdataRef;
                *result = CallEventCallback(vm, r);
                return true;
            }
        } else if (kind == kTimerTimeout) {
            if (TimedCallback *row = FindTimedCallbackByOwner(kTimerTimeout, owner)) {
                s->phase = kPhaseTimers;
                r->kind = kCallbackTimeout;
                r->action = "Timeout";
                r->objectId = row->id;
                r->functionRef = row->functionRef;
                r->userdataRef = row->userdataRef;
                // Gone before the call, so the callback cannot clear or replace it under us.
                int32_t functionRef = row->functionRef, userdataRef = row->userdataRef;
                DropFiredTimeout(row);
                *result = CallEventCallback(vm, r);
                FreeRef(vm, kRegistryIndex, functionRef);
                if (userdataRef != -1) FreeRef(vm, kRegistryIndex, userdataRef);
                r->functionRef = r->userdataRef = -1;
                return true;
            }
        }
        if (!next) return false;
    }
}

bool SoundStep(VMState *vm, CallbackRequest *r, int *result) {
    bool any = false;
    for (int i = kGlobalSampleLoop; i <= kGlobalMusicEnd; i++) any |= GlobalEventHandlerSlots[i].function != -1;
    if (!any || !TakeSoundEventHook) return false;
    SoundEvent event;
    while (TakeSoundEventHook(&event)) {
        int slot;
        const char *action;
        switch (event.kind) {
        case kSoundEventSampleLoop: slot = kGlobalSampleLoop, action = "OnSampleLoop"; break;
        case kSoundEventSampleEnd: slot = kGlobalSampleEnd, action = "OnSampleEnd"; break;
        case kSoundEventMusicEnd: slot = kGlobalMusicEnd, action = "OnMusicEnd"; break;
        default: continue;
        }
        if (GlobalEventHandlerSlots[slot].function == -1) continue;
        TheEventState->phase = kPhaseSound;
        r->kind = kCallbackSound;
        r->action = action;
        r->objectId = event.id;
        r->timeMs = event.timeMs;
        r->starts = event.starts;
        r->functionRef = GlobalEventHandlerSlots[slot].function;
        r->userdataRef = GlobalEventHandlerSlots[slot].userdata;
        *result = CallEventCallback(vm, r);
        return true;
    }
    return false;
}

DisplayRecord *NextDisplay(bool resuming) {
    EventState *s = TheEventState;
    if (!resuming) {
        displayIteratorAdvanced = false;
        return DisplayList;
    }
    if (displayIteratorAdvanced) {
        displayIteratorAdvanced = false;
        return s->displayIterator;
    }
    return s->displayIterator ? s->displayIterator->next : nullptr;
}

bool MouseMoveStep(VMState *vm, bool resuming, CallbackRequest *r, int *result) {
    EventState *s = TheEventState;
    for (DisplayRecord *d = NextDisplay(resuming); d; d = d->next) {
        s->displayIterator = d;
        const EventHandlerSlot &slot = d->handlers[kSlotOnMouseMove];
        if (slot.function == -1 || !DisplayMouseMoved(d)) continue;
        int64_t ageMs = (PumpClockNow() - DisplayLastMouseMove(d)) / 1000;
        if (uint64_t(ageMs) > uint64_t(uint32_t(EventTimeoutMs))) continue;
        s->phase = kPhaseMouseMove;
        r->kind = kCallbackMouseMove;
        r->display = d;
        r->action = "OnMouseMove";
        r->functionRef = slot.function;
        r->userdataRef = slot.userdata;
        *result = CallEventCallback(vm, r);
        return true;
    }
    s->displayIterator = nullptr;
    displayIteratorAdvanced = false;
    return false;
}

int ServeRexxMessage(VMState *vm, RexxMessage *message, int callHandler, CallbackRequest *r, bool *called) {
    *called = false;
    int result = 0;
    if (callHandler && GlobalEventHandlerSlots[kGlobalARexx].function != -1) {
        TheEventState->phase = kPhaseARexx;
        r->kind = kCallbackARexx;
        r->action = "OnARexx";
        r->command = GetRexxCommandStringHook ? GetRexxCommandStringHook(message) : std::string_view();
        r->functionRef = GlobalEventHandlerSlots[kGlobalARexx].function;
        r->userdataRef = GlobalEventHandlerSlots[kGlobalARexx].userdata;
        result = CallEventCallback(vm, r);
        *called = true;
    }
    if (ReplyRexxMessageHook) ReplyRexxMessageHook(message, r->hasReply ? std::string_view(r->reply) : std::string_view());
    r->reply.clear();
    r->hasReply = false;
    return result;
}

// One port message per pass reaches the script, so that a long queue of requests takes turns with the timers
// and the window's events instead of holding them off until it is empty.
constexpr uint32_t kRexxMessagesPerPass = 1;

bool ARexxStep(VMState *vm, CallbackRequest *r, int *result) {
    EventState *s = TheEventState;
    if (s->rexxServed >= kRexxMessagesPerPass) {
        // The queue may hold more: the next wait must not sleep on them.
        SignalMainTask(kSignalEvent);
        return false;
    }
    while (RexxMessage *message = NextRexxMessageHook ? NextRexxMessageHook() : nullptr) {
        bool called;
        int code = ServeRexxMessage(vm, message, 1, r, &called);
        if (called) {
            s->rexxServed++;
            *result = code;
            return true;
        }
    }
    return false;
}

bool QueueStep(VMState *vm, bool atButtonStage, CallbackRequest *r, int *result) {
    EventState *s = TheEventState;
    ExpireEvents(vm);
    std::unique_lock<std::recursive_mutex> lock(EventQueueSemaphore);
    bool haveCurrent = atButtonStage;
    if (!haveCurrent && LegacyEventList) {
        EventInfo info;
        for (int i = 0; FetchEvent(vm, i, &info, 0); i++) {
            if (!info.display) continue;
            int32_t x, y;
            DisplayPointFromWindow(info.display, info.x, info.y, &x, &y);
            std::string name;
            if (!MatchLegacyEvent(info, x, y, &name)) continue;
            int label = FindLabel(vm, name.c_str());
            if (label < 0) continue;
            RemoveEvent(vm, i, 0);
            lock.unlock();
            *result = LegacyJump(vm, label, r);
            return true;
        }
    }
    for (;;) {
        if (!haveCurrent) {
            if (!FetchEvent(vm, 0, &s->current, 1)) break;
            RemoveEvent(vm, 0, 0);
            if (!s->current.display) {
                s->current = EventInfo{};
                continue;
            }
            SlotChoice choice;
            DisplayRecord *d = s->current.display;
            if (DisplayStageSlot(s->current, &choice) && d->handlers[choice.slot].function != -1) {
                s->phase = kPhaseButtonStage;
                lock.unlock();
                FillFromSlot(r, d, choice, s->current);
                *result = CallEventCallback(vm, r);
                return true;
            }
        }
        haveCurrent = false;
        // The display may have gone while its handler ran.
        DisplayRecord *d = s->current.display;
        if (!d) {
            s->current = EventInfo{};
            continue;
        }
        SlotChoice choice;
        bool call = false;
        if (s->current.kind == kEventLeftMouse || s->current.kind == kEventRightMouse ||
            s->current.kind == kEventMiddleMouse) {
            call = MatchButtonMouseEvent(vm, d, s->current, r) != 0;
        } else if (WindowStageSlot(s->current, &choice) && d->handlers[choice.slot].function != -1) {
            FillFromSlot(r, d, choice, s->current);
            call = true;
        }
        if (call) {
            s->phase = kPhaseNextEntry;
            lock.unlock();
            *result = CallEventCallback(vm, r);
            r->dropList = nullptr;
            s->current = EventInfo{};
            return true;
        }
        s->current = EventInfo{};
    }
    return false;
}

bool LegacyOverStep(VMState *vm, int fromWhileMouseOn, CallbackRequest *r, int *result) {
    if (!LegacyEventList || fromWhileMouseOn || !DisplayIsOpen(CurrentDisplay)) return false;
    int32_t x, y;
    DisplayMousePosition(CurrentDisplay, &x, &y);
    for (LegacyEvent *row = LegacyEventList; row; row = row->next) {
        if (row->type != ONBUTTONOVER || !row->enabled) continue;
        if (x < row->x1 || x > row->x2 || y < row->y1 || y > row->y2) continue;
        if (OverAllSwitch) LegacyEventCode = row->id;
        LegacyOverRow = row;
        int label = FindLabel(vm, LegacyOverLabel(row).c_str());
        if (label < 0) continue;
        *result = LegacyJump(vm, label, r);
        return true;
    }
    return false;
}

void FillButtonCall(CallbackRequest *r, DisplayRecord *d, vlBGPicButton *b, int function, const char *action) {
    TheEventState->phase = kPhaseHoverButtons;
    r->kind = kCallbackButton;
    r->display = d;
    r->bgpic = d->picture;
    r->button = b;
    r->functionRef = b->functionRef;
    r->functionKey = ButtonFunctionNames[function];
    r->userdataRef = b->userdataRef;
    r->action = action;
}

// The second walk over one display's buttons, from start.
bool HoverWalk(VMState *vm, DisplayRecord *d, vlBGPicButton *start, CallbackRequest *r, int *result) {
    EventState *s = TheEventState;
    BGPic *bgpic = d->picture;
    for (vlBGPicButton *b = start; b; b = b->next) {
        s->buttonIterator = b;
        if (!ButtonIsActive(b)) continue;
        if (s->pressedButton && b != s->pressedButton) continue;
        if (b == s->hoveredButton) {
            if (b->state & kButtonOver) continue;
            if (!s->pressedButton) {
                for (vlBGPicButton *o = bgpic->buttons; o; o = o->next) {
                    if (o == b || !(o->state & kButtonOver)) continue;
                    o->state &= ~kButtonOver;
                    if (ButtonIsActive(o) && ButtonHasFunction(vm, o, kOnMouseOut)) {
                        // The walk starts again from the first button, which finds the hovered one again.
                        FillButtonCall(r, d, o, kOnMouseOut, "OnMouseOut");
                        s->buttonIterator = nullptr;
                        *result = CallEventCallback(vm, r);
                        return true;
                    }
                }
            }
            b->state |= kButtonOver;
            if (ButtonHasFunction(vm, b, kOnMouseOver)) {
                FillButtonCall(r, d, b, kOnMouseOver, "OnMouseOver");
                *result = CallEventCallback(vm, r);
                return true;
            }
        } else if (b->state & kButtonOver) {
            b->state &= ~kButtonOver;
            if (ButtonHasFunction(vm, b, kOnMouseOut)) {
                FillButtonCall(r, d, b, kOnMouseOut, "OnMouseOut");
                *result = CallEventCallback(vm, r);
                return true;
            }
        }
    }
    s->buttonIterator = nullptr;
    return false;
}

bool HoverStep(VMState *vm, uint32_t resumePhase, CallbackRequest *r, int *result) {
    EventState *s = TheEventState;
    if (resumePhase == kPhaseHoverButtons) {
        DisplayRecord *d = s->hoverDisplay;
        if (d && d->picture) {
            vlBGPicButton *start = s->buttonIterator ? s->buttonIterator->next : d->picture->buttons;
            if (HoverWalk(vm, d, start, r, result)) return true;
        }
    }
    for (DisplayRecord *d = NextDisplay(resumePhase >= kPhaseHoverButtons); d; d = d->next) {
        s->displayIterator = d;
        s->hoverDisplay = d;
        if (!DisplayMouseMoved(d)) continue;
        int32_t mx, my;
        DisplayRawMouse(d, &mx, &my);
        ClearDisplayMouseMoved(d);
        s->hoveredButton = s->pressedButton = nullptr;
        if (!d->picture) continue;
        for (vlBGPicButton *b = d->picture->buttons; b; b = b->next) {
            if (!ButtonIsActive(b)) continue;
            if (b->state & kButtonPressedMask) s->pressedButton = b;
            if (!s->hoveredButton && HitTestButton(d, mx, my, b)) s->hoveredButton = b;
            if (s->hoveredButton && s->pressedButton) break;
        }
        if (HoverWalk(vm, d, d->picture->buttons, r, result)) return true;
    }
    s->displayIterator = nullptr;
    s->hoverDisplay = nullptr;
    displayIteratorAdvanced = false;
    return false;
}

void PushDropList(VMState *vm, const std::vector<char> *extra, int32_t *count) {
    NewTable(vm);
    *count = 0;
    if (!extra) return;
    size_t at = 0;
    while (at < extra->size() && (*extra)[at] != '\0') {
        size_t end = at;
        while (end < extra->size() && (*extra)[end] != '\0') end++;
        PushStringLen(vm, extra->data() + at, end - at);
        RawSetIndex(vm, -2, (*count)++);
        at = end + 1;
    }
}

void FillMessage(VMState *vm, CallbackRequest *r) {
    DisplayRecord *d = r->display;
    ObjectId displayId = d ? d->id : ObjectId{};
    const char *action = r->action.c_str();
    switch (r->kind) {
    case kCallbackButton: {
        vlBGPicButton *b = r->button;
        SetTableObjectId(vm, "id", b->id);
        SetTableString(vm, "action", action);
        SetTableNumber(vm, "x", ButtonX1(b));
        SetTableNumber(vm, "y", ButtonY1(b));
        SetTableNumber(vm, "width", ButtonX2(b) - ButtonX1(b) + 1);
        SetTableNumber(vm, "height", ButtonY2(b) - ButtonY1(b) + 1);
        SetTableNumber(vm, "mousedown", (b->state & kButtonLeftPressed) ? 1 : 0);
        SetTableNumber(vm, "rightmousedown", (b->state & kButtonRightPressed) ? 1 : 0);
        SetTableNumber(vm, "midmousedown", (b->state & kButtonMiddlePressed) ? 1 : 0);
        SetTableObjectId(vm, "display", displayId);
        if (b->type == LAYERBUTTON) {
            // The position counts in the current picture, where the script addresses layers.
            SetTableNumber(vm, "layer", CurrentBGPic ? LayerPosition(CurrentBGPic, b->layer) : -1);
            SetTableString(vm, "layername", b->layer->name ? b->layer->name : "");
        }
        break;
    }
    case kCallbackKey:
        SetTableString(vm, "action", action);
        PushStringLen(vm, r->keyText.data(), r->keyText.size());
        SetField(vm, -2, "key");
        SetTableObjectId(vm, "id", displayId);
        break;
    case kCallbackDisplay:
        SetTableString(vm, "action", action);
        SetTableObjectId(vm, "id", displayId);
        break;
    case kCallbackResized:
        SetTableString(vm, "action", action);
        SetTableNumber(vm, "width", d->width);
        SetTableNumber(vm, "height", d->height);
        SetTableObjectId(vm, "id", displayId);
        break;
    case kCallbackMoved:
        SetTableString(vm, "action", action);
        SetTableNumber(vm, "x", d->x);
        SetTableNumber(vm, "y", d->y);
        SetTableObjectId(vm, "id", displayId);
        break;
    case kCallbackInterval:
    case kCallbackTimeout:
        SetTableString(vm, "action", action);
        SetTableObjectId(vm, "id", r->objectId);
        break;
    case kCallbackMouseMove: {
        // The display whose pointer moved; with one display that is the current one.
        int32_t x, y;
        DisplayMousePosition(d, &x, &y);
        SetTableString(vm, "action", action);
        SetTableNumber(vm, "x", x);
        SetTableNumber(vm, "y", y);
        SetTableObjectId(vm, "id", displayId);
        break;
    }
    case kCallbackSound:
        if (r->action != "OnMusicEnd") {
            SetTableNumber(vm, "time", r->timeMs);
            SetTableNumber(vm, "starts", r->starts);
        }
        SetTableString(vm, "action", action);
        SetTableObjectId(vm, "id", r->objectId);
        break;
    case kCallbackARexx: {
        RexxArguments split = SplitRexxArguments(r->command);
        SetTableString(vm, "action", action);
        PushStringLen(vm, split.args.data(), split.args.size());
        SetField(vm, -2, "args");
        PushStringLen(vm, split.rawArgs.data(), split.rawArgs.size());
        SetField(vm, -2, "rawargs");
        SetTableNumber(vm, "argc", split.argc);
        PushStringLen(vm, split.command.data(), split.command.size());
        SetField(vm, -2, "command");
        break;
    }
    case kCallbackModeSwitch:
        SetTableString(vm, "action", action);
        SetTableNumber(vm, "mode", OwnScreenFlag ? 2 : 1);
        SetTableObjectId(vm, "id", displayId);
        break;
    case kCallbackDropFiles: {
        SetTableString(vm, "action", action);
        SetTableObjectId(vm, "id", displayId);
        SetTableNumber(vm, "x", r->x);
        SetTableNumber(vm, "y", r->y);
        int32_t count;
        PushDropList(vm, r->dropList, &count);
        SetField(vm, -2, "dropfiles");
        SetTableNumber(vm, "numdropfiles", count);
        break;
    }
    default: break;
    }
}

} // namespace

RexxArguments SplitRexxArguments(const std::string &text) {
    RexxArguments out;
    size_t blank = text.find(' ');
    if (blank == std::string::npos) {
        out.command = text;
        return out;
    }
    out.command = text.substr(0, blank);
    out.rawArgs = text.substr(blank + 1);
    out.argc = 1;
    bool quoted = false;
    for (char c : out.rawArgs) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ' ' && !quoted) {
            out.args.push_back('\0');
            out.argc++;
        } else {
            out.args.push_back(c);
        }
    }
    return out;
}

int CallEventCallback(VMState *vm, CallbackRequest *r) {
    r->stackBase = GetTop(vm);
    PushRef(vm, kRegistryIndex, r->functionRef);
    if (r->functionKey) {
        GetField(vm, -1, r->functionKey);
        RemoveValue(vm, -2);
    }
    NewTable(vm);
    FillMessage(vm, r);
    if (r->userdataRef != -1) {
        PushRef(vm, kRegistryIndex, r->userdataRef);
        SetField(vm, -2, "userdata");
    }
    PushValue(vm, -1);
    InsertValue(vm, r->stackBase + 1); // copy, function, table
    SetAttributeNumber(vm, kAttrExitOnErrorCount, 1);
    int error = ProtectedCall(vm, 1, -1, 0);
    // What the callback drew in a batch shows before the caller goes back to waiting.
    FlushCommandBarrier();
    SetAttributeNumber(vm, kAttrExitOnErrorCount, 0);
    if (!error && r->kind == kCallbackARexx && GetTop(vm) > r->stackBase + 1) {
        size_t length = 0;
        int stringError = 0;
        const char *text = ToStringResult(vm, r->stackBase + 2, &length, &stringError);
        if (!text) {
            error = stringError;
        } else {
            r->reply.assign(text, length);
            r->hasReply = true;
        }
    }
    if (QuitRequested.load()) return kErrUserAbort;
    return error;
}

int DispatchEvents(VMState *vm, int fromWhileMouseOn, CallbackRequest *r) {
    *r = CallbackRequest{};
    EventState *s = TheEventState;
    if (!s) return 0;
    uint32_t phase = s->phase;
    int result = 0;
    if (phase == kPhaseStart) {
        s->timerIterator = nullptr;
        s->buttonIterator = s->hoveredButton = s->pressedButton = nullptr;
        s->displayIterator = s->hoverDisplay = nullptr;
        s->rexxServed = 0;
        displayIteratorAdvanced = false;
    }
    if (phase <= kPhaseTimers && TimerStep(vm, phase == kPhaseTimers, r, &result)) return result;
    if (phase <= kPhaseSound && SoundStep(vm, r, &result)) return result;
    if (phase <= kPhaseMouseMove && MouseMoveStep(vm, phase == kPhaseMouseMove, r, &result)) return result;
    if (phase <= kPhaseARexx && ARexxStep(vm, r, &result)) return result;
    if (phase <= kPhaseNextEntry && QueueStep(vm, phase == kPhaseButtonStage, r, &result)) return result;
    if (phase <= kPhaseNextEntry && LegacyOverStep(vm, fromWhileMouseOn, r, &result)) return result;
    if (HoverStep(vm, phase, r, &result)) return result;
    s->phase = kPhaseStart;
    return 0;
}

int WaitOrCheckEvent(VMState *vm, int wait) {
    // A callback runs inside the wait or command that called it; a wait there would nest event passes.
    if (ExitOnErrorCount != 0)
        RaiseErrorWithHint(vm, kErrWrongUsage,
                           std::string(wait ? "WaitEvent()" : "CheckEvent()") +
                               " does not run inside an event handler or another callback: return from it and let "
                               "a timeout (SetTimeout) continue.");
    if (wait && DisplayIsClosed(CurrentDisplay)) return kErrDisplayClosed;
    CallbackRequest request;
    EventState *s = TheEventState;
    if (!s) return kErrWrongUsage;
    while (s->phase != kPhaseStart) {
        if (int result = DispatchEvents(vm, 0, &request)) return result;
        if (request.kind) break;
    }
    if (!request.kind) {
        do {
            if (int result = DispatchEvents(vm, 0, &request)) return result;
        } while (!request.kind && s->phase != kPhaseStart);
    }
    while (!request.kind && wait) {
        WaitSystemSignals(vm, 0);
        if (PumpEvents(vm)) return 0;
        do {
            if (int result = DispatchEvents(vm, 0, &request)) return result;
        } while (!request.kind && s->phase != kPhaseStart);
    }
    if (!request.kind) {
        NewTable(vm);
        SetTableNumber(vm, "nresults", 0);
        SetTableNumber(vm, "triggered", 0);
        return 1;
    }
    int message = request.stackBase + 1;
    int n = GetTop(vm) - request.stackBase - 1;
    if (n > 0) {
        NewTable(vm);
        for (int i = 0; i < n; i++) {
            PushValue(vm, message + 1 + i);
            RawSetIndex(vm, -2, i);
        }
        SetField(vm, message, "results");
    }
    SetTop(vm, message);
    SetTableNumber(vm, "nresults", n);
    SetTableNumber(vm, "triggered", 1);
    return 1;
}

int DispatchARexxEvents(VMState *vm, int callHandler, int stopWhenTriggered, CallbackRequest *r) {
    *r = CallbackRequest{};
    while (RexxMessage *message = NextRexxMessageHook ? NextRexxMessageHook() : nullptr) {
        bool called;
        int code = ServeRexxMessage(vm, message, callHandler, r, &called);
        if (code) return code;
        if (called && stopWhenTriggered) return 0;
    }
    return 0;
}

int RunWhileMouseOn(VMState *vm) {
    while (LegacyEvent *row = LegacyOverRow) {
        int32_t x, y;
        DisplayMousePosition(CurrentDisplay, &x, &y);
        if (x < row->x1 || x > row->x2 || y < row->y1 || y > row->y2) break;
        CallbackRequest request;
        int result = DispatchEvents(vm, 1, &request);
        if (result == -1) return -2;
        if (result) return result;
        if (request.kind) break;
        WaitSystemSignals(vm, 0);
        if (PumpEvents(vm)) break;
    }
    return 0;
}

void EventDisplayFreed(DisplayRecord *freed, DisplayRecord *successor) {
    EventState *s = TheEventState;
    if (!s) return;
    if (s->displayIterator == freed) {
        s->displayIterator = successor;
        displayIteratorAdvanced = true;
        // A pass stopped in the hover walk of this display goes on with the next display.
        if (s->phase == kPhaseHoverButtons) s->phase = kPhaseHoverDisplays;
    }
    if (s->hoverDisplay == freed) {
        s->hoverDisplay = nullptr;
        s->buttonIterator = s->hoveredButton = s->pressedButton = nullptr;
    }
    // The event being dispatched named this display: drop it rather than read the freed record later.
    if (s->current.display == freed) s->current = EventInfo{};
}

// Buttons of background pictures: rectangles that call script functions on mouse over, out, down and up.
// A button's eight functions live in one registry table (keys "onmouseover" ... "onmidmouseup"), so the record
// holds a single function reference and the picture code can release it without knowing the keys.
#pragma once

#include <cstdint>

#include "host/event_queue.h"
#include "runtime/vm/vm.h"
#include "scene/images/bgpic.h"

struct CallbackRequest;
struct DisplayRecord;

// The table keys of a button's functions, in their fixed order.
constexpr int kButtonFunctionCount = 8;
extern const char *const ButtonFunctionNames[kButtonFunctionCount];
enum ButtonFunction : int {
    kOnMouseOver, kOnMouseOut, kOnMouseDown, kOnMouseUp, kOnRightMouseDown, kOnRightMouseUp, kOnMidMouseDown,
    kOnMidMouseUp,
};

// The size DumpButtons reports for a button record.
constexpr int kButtonRecordSize = 100;

inline int32_t ButtonX1(const vlBGPicButton *b) { return b->x; }
inline int32_t ButtonY1(const vlBGPicButton *b) { return b->y; }
inline int32_t ButtonX2(const vlBGPicButton *b) { return b->x + b->width - 1; }
inline int32_t ButtonY2(const vlBGPicButton *b) { return b->y + b->height - 1; }

// Enabled and, for a LAYERBUTTON, its layer shown or the button active while hidden; other types never.
bool ButtonIsActive(const vlBGPicButton *button);

// 1 when the button's table has that function.
int ButtonHasFunction(VMState *vm, const vlBGPicButton *button, int function);

// Links a new button at the head of the picture's list. functionsRef is a table of the eight keys (taken over),
// userdataRef -1 for none. An automatic id gets the record as handle. 0 or kErrOutOfMemory.
int AddSimpleButton(VMState *vm, BGPic *bgpic, ObjectId id, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                    int32_t functionsRef, int32_t userdataRef, vlBGPicButton **out = nullptr);
// Links a LAYERBUTTON (rectangle 0, 0, -1, -1) for a layer of the picture. 0, kErrWrongUsage when another button of
// the picture is bound to that layer, kErrOutOfMemory.
int AddLayerButton(VMState *vm, BGPic *bgpic, ObjectId id, vlLayer *layer, int32_t pixelExact,
                   int32_t activeWhenHidden, int32_t functionsRef, int32_t userdataRef, vlBGPicButton **out = nullptr);
// Frees the first button of the picture bound to the layer (the layer is going).
void RemoveLayerButtons(VMState *vm, BGPic *bgpic, const vlLayer *layer);
// The layer's 1-based position from the bottom of the picture's layer list, -1 when it is not there.
int32_t LayerPosition(const BGPic *bgpic, const vlLayer *layer);

// 0, kErrObjectNotFound (handle) or kErrButtonNotFound (number, as the error argument).
int FindButton(BGPic *bgpic, ObjectId id, vlBGPicButton **out);
// Unlinks the button from the picture, releases its references, moves the dispatch's iterators off it, frees it.
void FreeButton(VMState *vm, BGPic *bgpic, vlBGPicButton *button);
// Forgets a button in the dispatch's state; whoever frees a button calls it first.
void DetachButtonFromDispatch(const vlBGPicButton *button);
void SetButtonEnabled(vlBGPicButton *button, int enabled);
// Ends the presses of the picture's buttons. The hover bit stays, so a reset under a still mouse gives no second
// OnMouseOver.
void ResetButtonStates(BGPic *bgpic);

// Raw window coordinates against the display the button is on (its picture offset and scale).
int HitTestButton(const DisplayRecord *display, int32_t x, int32_t y, const vlBGPicButton *button);

// The button stage of a mouse-button event (kinds 1, 2, 16) on the event display's picture: 1 when a callback
// is to be made (the request is filled), else 0.
int MatchButtonMouseEvent(VMState *vm, DisplayRecord *display, const EventInfo &event, CallbackRequest *request);

// The DumpButtons text.
void DumpButtons(const BGPic *bgpic);

// The display record: one per display the script creates, holding its window settings, its background picture,
// scaling state, regions, input state, event handler slots and the text state that output redirection saves.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "imaging/position.h"
#include "runtime/vm/vm.h"

struct BGPic;
using OutputRecord = BGPic;
struct HostWindow;

// Display states (DISPSTATE_*).
constexpr int32_t DISPSTATE_CLOSED = 0;
constexpr int32_t DISPSTATE_OPEN = 1;
constexpr int32_t DISPSTATE_MINIMIZED = 2;

// Flag bits; each set or cleared by the option key of the same name, lower-cased, unless noted.
constexpr uint32_t kDisplayBorderless = 0x1;
constexpr uint32_t kDisplaySizeable = 0x2;
constexpr uint32_t kDisplayFixed = 0x4;
constexpr uint32_t kDisplayNoModeSwitch = 0x8;
constexpr uint32_t kDisplayHidePointer = 0x10;
constexpr uint32_t kDisplayNoHide = 0x20;
constexpr uint32_t kDisplayAutoScale = 0x40;  // "scalemode" 1
constexpr uint32_t kDisplaySmoothScale = 0x80;
constexpr uint32_t kDisplayLayerScale = 0x100; // "scalemode" 2
constexpr uint32_t kDisplayActive = 0x400;
constexpr uint32_t kDisplayHidden = 0x800;   // creation only
constexpr uint32_t kDisplayLayers = 0x1000;  // creation only
constexpr uint32_t kDisplayUseQuartz = 0x2000;
constexpr uint32_t kDisplayNoClose = 0x4000;
constexpr uint32_t kDisplayKeepProportions = 0x8000;
constexpr uint32_t kDisplayFitScale = 0x10000;

// Scale modes of "scalemode".
constexpr int32_t SCALEMODE_NONE = 0;
constexpr int32_t SCALEMODE_AUTO = 1;
constexpr int32_t SCALEMODE_LAYER = 2;

// A drag or size region: type is always 14 (BOX).
struct DisplayRegion {
    int32_t type = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;
};
constexpr int kMaxDisplayRegions = 64;

// An inclusive rectangle of the dirty list.
struct DirtyRect {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int32_t merged = 0; // merged into another rectangle of its list
};

// A handler slot: registry references of the callback and its user data, -1 for none.
struct EventHandlerSlot {
    int32_t function = -1;
    int32_t userdata = -1;
};
constexpr int kEventHandlerSlotCount = 21;
// Slot order: "onkeydown" ... "onmidmouseup".
extern const char *const EventHandlerNames[kEventHandlerSlotCount];
enum EventHandlerSlotIndex : int {
    kSlotOnKeyDown, kSlotOnKeyUp, kSlotOnMouseMove, kSlotCloseWindow, kSlotMoveWindow, kSlotSizeWindow,
    kSlotActiveWindow, kSlotInactiveWindow, kSlotHideWindow, kSlotShowWindow, kSlotOnMouseDown, kSlotOnMouseUp,
    kSlotOnRightMouseDown, kSlotOnRightMouseUp, kSlotOnWheelDown, kSlotOnWheelUp, kSlotModeSwitch,
    kSlotOnDropFile, kSlotClipboardChange, kSlotOnMidMouseDown, kSlotOnMidMouseUp,
};

constexpr int kDisplayKeyStateSize = 300;
constexpr int kDisplayTitleSize = 256;
constexpr int kMaxTabStops = 32;

struct DisplayRecord {
    DisplayRecord *next = nullptr;
    ObjectId id{};
    int32_t layersEnabled = 0;
    // The redirected output's planes while a Select* is active; cleared when the output returns.
    HostBitmap *outputBitmap = nullptr;
    MaskPlane *outputMask = nullptr;
    AlphaPlane *outputAlpha = nullptr;
    int32_t outputKind = 21; // ObjectKind: 21 the display itself, 1, 3, 28, 30, 4
    BGPic *picture = nullptr;
    int32_t ownsPicture = 0;
    int32_t doubleBuffering = 0;
    int32_t selectOnDoubleBuffer = 0;
    int32_t private1 = 0, private2 = 0, private3 = 0; // private1 marks the backfill display
    int32_t x = kPosCenter, y = kPosCenter; // position constants stay unresolved until the window opens
    int32_t width = 640, height = 480;
    int32_t state = DISPSTATE_CLOSED;
    int32_t fillStyle = 0; // 0/1 plain, 2 gradient, 3 texture
    uint32_t color = 0;
    uint32_t gradientEndColor = 0;
    int32_t gradientAngle = 0;
    int32_t textureBrush = 0;
    int32_t textureX = 0, textureY = 0;
    uint32_t flags = 0;
    char title[kDisplayTitleSize] = "Vistaloom";
    int32_t borderLeft = 0, borderTop = 0, borderWidth = 0, borderHeight = 0;
    DisplayRegion dragRegions[kMaxDisplayRegions];
    DisplayRegion scriptDragRegions[kMaxDisplayRegions];
    DisplayRegion sizeRegions[kMaxDisplayRegions];
    DisplayRegion scriptSizeRegions[kMaxDisplayRegions];
    int32_t dragRegionCount = 0, sizeRegionCount = 0;
    int32_t dragRegionsGiven = 0, sizeRegionsGiven = 0;
    HostBitmap *firstBitmap = nullptr;  // the display's copy of its picture's current image
    HostBitmap *secondBitmap = nullptr; // the picture composed with its layers
    HostBitmap *frontBuffer = nullptr, *backBuffer = nullptr;
    int32_t autoScaling = 0, layerScaling = 0;
    int32_t scaledLeft = 0, scaledTop = 0, scaledRight = 0, scaledBottom = 0;
    int32_t scaledWidth = 0, scaledHeight = 0; // 0: not scaling
    int32_t smoothScaling = 0;
    double scaleX = 1.0, scaleY = 1.0;
    DirtyRect *dirtyRects = nullptr; // AllocBlock
    int32_t dirtyCount = 0, dirtyCapacity = 0;
    EventHandlerSlot handlers[kEventHandlerSlotCount];
    int32_t mouseLeft = 0, mouseRight = 0, mouseMiddle = 0;
    int32_t mouseMoved = 0;
    int32_t closeWindowFlag = 0;
    int64_t lastMouseMoveSeconds = 0;
    int32_t lastMouseMoveMicros = 0;
    uint8_t keyState[kDisplayKeyStateSize] = {};
    int32_t requesterOpen = 0;
    OutputRecord *selectOutput = nullptr;       // made on the first Select*
    OutputRecord *doubleBufferOutput = nullptr; // made by double buffering
    int32_t cursorX = 0, cursorY = 0, leftMargin = 0, rightMargin = 0;
    int32_t tabStops[kMaxTabStops] = {};
    int32_t tabCount = 0;
    void *pointer = nullptr; // the graphics library's pointer record; null: the system pointer
    int32_t pointerHidden = 0;
    int32_t reopenMark = 0;
    int32_t activateOnOpen = 0;
    MaskPlane *windowMask = nullptr;   // owned
    AlphaPlane *windowAlpha = nullptr; // owned
    int32_t drawStateSaved = 0;
    int32_t savedCursorX = 0, savedCursorY = 0, savedLeftMargin = 0, savedRightMargin = 0;
    int32_t savedLayersEnabled = 0;
    HostWindow *hostWindow = nullptr;
};

inline bool DisplayScales(const DisplayRecord *d) { return d->autoScaling || d->layerScaling; }
// A scaling mode is on and a scaled size is set.
inline bool DisplayHasScaledSize(const DisplayRecord *d) { return d->scaledWidth != 0 && d->scaledHeight != 0; }

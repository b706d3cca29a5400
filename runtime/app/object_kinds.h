// The program-wide object kinds, and the one registration of every kind of script object a library keeps a list
// of: its kind number, the name the object statistics print, its counter and its attribute reader. GetAttribute
// answers and DumpObjects counts through it, so a kind registered once is never counted in one place and
// forgotten in the other.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/app/command.h"

// The program-wide object kinds (the script sees most as #BRUSH, #LAYER, ...; 0, 5, 6, 7, 19 and 20 have no constant).
enum ObjectKind : int32_t {
    ObjectKindNone = 0,
    ObjectKindBGPic = 1,
    ObjectKindSample = 2,
    ObjectKindBrush = 3,
    ObjectKindAnim = 4,
    ObjectKindSndModule = 5,
    ObjectKindKeyDown = 6,
    ObjectKindNoObject = 7, // placeholder layer: draws nothing, never hit
    ObjectKindTextObject = 8,
    ObjectKindTextOut = 9,
    ObjectKindUndo = 10,
    ObjectKindPrint = 11,
    ObjectKindBrushPart = 12,
    ObjectKindBGPicPart = 13,
    ObjectKindBox = 14,
    ObjectKindCircle = 15,
    ObjectKindEllipse = 16,
    ObjectKindLine = 17,
    ObjectKindPlot = 18,
    ObjectKindMainWindow = 19,
    ObjectKindAnimDisk = 20,
    ObjectKindDisplay = 21,
    ObjectKindLayer = 22,
    ObjectKindHideBrush = 23,
    ObjectKindInsertBrush = 24,
    ObjectKindHideLayer = 25,
    ObjectKindRemoveLayer = 26,
    ObjectKindPolygon = 27,
    ObjectKindMask = 28,
    ObjectKindShape = ObjectKindMask, // SHAPE and MASK share 28; switches treat 28 as the mask output
    ObjectKindNextFrame = 29,
    ObjectKindAlphaChannel = 30,
    ObjectKindArc = 31,
    ObjectKindSprite = 32,
    ObjectKindMusic = 33,
    ObjectKindNextFrame2 = 34,
    ObjectKindClipRegion = 35,
    ObjectKindPointer = 36,
    ObjectKindAsyncDraw = 37,
    ObjectKindDoubleBuffer = 38,
    ObjectKindMemory = 39,
    ObjectKindEventHandler = 40,
    ObjectKindInterval = 41,
    ObjectKindTimeout = 42,
    ObjectKindFont = 43,
    ObjectKindFile = 44,
    ObjectKindDirectory = 45,
    ObjectKindBrushVsBox = 46,
    ObjectKindLayerVsBox = 47,
    ObjectKindSpriteVsBox = 48,
    ObjectKindVectorPath = 49,
};

// An attribute reader pushes its results and returns their count, an error code (>= 1000), or
// kAttributeUnanswered. firstExtraArg is the index of the argument after the attribute.
constexpr int kAttributeUnanswered = -1;
using AttributeReader = int (*)(VMState *vm, ObjectId id, int32_t attribute, int firstExtraArg);
using ObjectCounter = int32_t (*)();

struct ObjectKindEntry {
    int32_t kind = 0;          // the program-wide object kind; 0 for a count no kind stands for (TIMER, ...)
    const char *name = "";     // as the object statistics print it: "BRUSH", "SPRITE ON SCREEN", ...
    ObjectCounter count = nullptr;        // ATTRCOUNT and the statistics; null: not counted
    AttributeReader attributes = nullptr; // every other attribute; null: ATTRCOUNT only
};

// A library calls this from its register function, once per kind it owns. Registering a name again replaces
// the entry (a library registered twice, tests).
void RegisterObjectKind(const ObjectKindEntry &entry);
// The entry of a kind number (never for kind 0), or null.
const ObjectKindEntry *FindObjectKind(int32_t kind);
// Every entry, in the statistics' fixed order (DISPLAY, BGPIC, LAYER, BRUSH, SPRITE, SPRITE ON SCREEN,
// TEXTOBJECT, FONT, ANIM, SAMPLE, MUSIC, FILE, DIRECTORY, MEMORY, TIMER, INTERVAL, TIMEOUT, CLIPREGION, POINTER,
// ASYNCDRAW); names outside that list follow in the order they were registered.
std::vector<ObjectKindEntry> RegisteredObjectKinds();
// Forgets every entry (tests, shutdown).
void ClearObjectKinds();

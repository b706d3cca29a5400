// The graphics and draw command libraries: their constants, the MaskMode/AlphaIntensity attributes, GetAttribute
// with its per-kind hooks, SetFPSLimit, AsyncDrawFrame and SaveSnapshot.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "runtime/app/command.h"
#include "runtime/app/object_kinds.h" // GetAttribute answers through the registered kinds

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

// GetAttribute's attribute numbers. 9, 14, 15, 18-20, 30-35 and 60 are fixed by the sound and font code; the
// brush ones are ours.
constexpr int32_t ATTRWIDTH = 1;
constexpr int32_t ATTRHEIGHT = 2;
constexpr int32_t ATTRTRANSPARENTCOLOR = 3;
constexpr int32_t ATTRHASMASK = 4;
constexpr int32_t ATTRHASALPHA = 5;
constexpr int32_t ATTRTYPE = 9;
constexpr int32_t ATTRDURATION = 14;
constexpr int32_t ATTRPITCH = 15;
constexpr int32_t ATTRPOSITION = 18;
constexpr int32_t ATTRFORMAT = 19;
constexpr int32_t ATTRBITRATE = 20;
constexpr int32_t ATTRFONTASCENDER = 30;
constexpr int32_t ATTRFONTDESCENDER = 31;
constexpr int32_t ATTRFONTNAME = 32;
constexpr int32_t ATTRFONTSIZE = 33;
constexpr int32_t ATTRFONTSCALABLE = 34;
constexpr int32_t ATTRFONTAA = 35;
constexpr int32_t ATTRCOUNT = 60;

constexpr int32_t NORMALSPEED = -1;
constexpr int32_t FASTSPEED = -2;
constexpr int32_t SLOWSPEED = -3;
constexpr int32_t DEFAULTSPEED = -4; // each frame's own delay
constexpr int32_t ANMFMT_GIF = 0;
constexpr int32_t ANMFMT_MJPEG = 1;
constexpr int32_t SYSTEMPOINTER = -1;
constexpr int32_t BUSYPOINTER = -2;

// ---- Attributes the blit and fill code read (tags 5 and 7) ---------------------------------------------------
int32_t GetMaskMode();       // MASKVISIBLE (0) at start
int32_t GetAlphaIntensity(); // 128 at start

// ATTRWIDTH and ATTRHEIGHT of an object with a size: pushes the answer (1), or kAttributeUnanswered.
int AnswerSizeAttribute(VMState *vm, int32_t attribute, int32_t width, int32_t height);

// ---- SaveSnapshot's picture ----------------------------------------------------------------------------------
// The display code renders the current output with its layers for SaveSnapshot: 0 and a bitmap (*owned: the
// caller frees it), or an error. Without the hook the current output bitmap is saved as it is.
extern int (*SnapshotSourceHook)(HostBitmap **bitmap, bool *owned);

// Reads the optional last argument of a saving command: a table with "quality", "colors" and "dither", or a
// number taken as the quality. Defaults: quality 90, 256 colours, no dither.
void ReadImageSaveOptions(VMState *vm, int n, int32_t *quality, int32_t *colors, int32_t *dither);

extern const CommandEntry kGraphicsCommands[];
extern const CommandEntry kDrawCommands[];
extern const ConstantEntry kGraphicsConstants[];
extern const ConstantEntry kDrawConstants[];
extern const LibraryDescriptor kGraphicsLibrary;
extern const LibraryDescriptor kDrawLibrary;

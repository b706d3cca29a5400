// The graphics and draw command libraries: their constants, the MaskMode/AlphaIntensity attributes, GetAttribute
// with its per-kind hooks, SetFPSLimit, AsyncDrawFrame and SaveSnapshot.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "runtime/app/command.h"
#include "runtime/app/object_kinds.h" // the kinds; GetAttribute answers through the registered ones

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

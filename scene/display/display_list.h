// The list of displays, the current display, and the routines other code calls on a display record.
#pragma once

#include <cstdint>
#include <mutex>

#include "scene/display/display_record.h"

extern DisplayRecord *DisplayList;    // private1 displays at the head, the others appended
extern DisplayRecord *CurrentDisplay; // what commands without a display argument act on
extern std::mutex DisplayListSemaphore; // held while a record is linked into or out of the list
extern int OwnScreenFlag;             // the program's own screen is open
extern HostBitmap *DesktopGrab;       // the desktop copy made at start-up (owned)

// The event dispatch keeps a display cursor and the display of the event being dispatched; it sets this hook so
// that a display freed inside a callback moves the cursor on to successor and clears the current event.
extern void (*EventStateDisplayFreedHook)(DisplayRecord *freed, DisplayRecord *successor);

// 0, kErrDisplayNotFound "Could not find display %ld!" (a numeric id) or kErrObjectNotFound (a handle); *out is null
// when not found.
int FindDisplay(ObjectId id, DisplayRecord **out);
int32_t CountDisplays();
// 1 for the only display, also when the backfill display (private1) stands before it.
int IsOnlyDisplay(const DisplayRecord *display);
// Links a new record: private1 displays at the head, others at the tail.
void InsertDisplay(DisplayRecord *display);
// Releases everything the record owns, not the record. vm may be null when no references are held.
void FreeDisplayContents(VMState *vm, DisplayRecord *display, int atShutdown);
// Unlinks, releases and frees one display. 0, kErrDisplayNotFound, kErrObjectNotFound, or kErrFreeActiveDisplay for
// the current display.
int FreeDisplayById(VMState *vm, ObjectId id);
int FreeAllDisplays(VMState *vm);
void ResetDisplayInputState(DisplayRecord *display);
// Around a redirected output: the layers switch and the text state are saved once and restored once.
void SaveDisplayDrawState(DisplayRecord *display, int32_t outputKind, int32_t outputWidth);
void RestoreDisplayDrawState(DisplayRecord *display);

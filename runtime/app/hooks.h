// Entry points the runtime calls in libraries above it. The owning library sets the pointer when it registers;
// a null pointer is the stub, so the runtime links and runs without them.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/vm/vm.h"

struct DisplayRecord;
struct StartupConfig;

// Display code: redraw a whole open display (flags as the callers pass them).
extern int (*RefreshDisplayHook)(DisplayRecord *display, int flags);
// Display code: open the first display after start-up. Returns 0 or an error code.
extern int (*OpenFirstDisplayHook)(VMState *vm, StartupConfig *config);
// Display code: 1 when a display scales itself (auto-scaling or layer scaling), so resize events are dropped.
extern int (*DisplayScalesItselfHook)(DisplayRecord *display);
// Sound library.
extern void (*StopAllSoundsHook)();
extern void (*FreeAllSoundsHook)();
// Layers: the 1-based position of a named layer in the current background picture; 0 or an error code.
extern int (*LayerPositionHook)(VMState *vm, const char *name, int32_t *position);
// Applet loading: the ":::chunk" name of a file linked into the applet (fonts only when fontFlag is set);
// returns 2 for a linked font (its bytes start with the linked-font header), 1 for a plain linked file, else 0.
extern int (*LinkedFileHook)(VMState *vm, const char *name, int fontFlag, std::string *chunkName);
// Replaces the main task's event signal that QueueEvent sends (tests).
extern void (*WakeMainThreadHook)();
// Replaces the debug output (tests capture it); null sends it to the DEBUGDEVICE target.
extern void (*DebugWriteHook)(const char *bytes, size_t length);
// Host: writes to the DEBUGDEVICE target, installed once a target is set; null writes to standard output, which
// is where the host sends debug text without a target.
extern void (*DebugDeviceWriteHook)(const char *bytes, size_t length);
// Host: console progress output; null writes to standard output.
extern void (*ConsoleWriteHook)(const char *bytes, size_t length);

// Callers use these; each is a no-op (0) while its hook is null.
int RefreshDisplay(DisplayRecord *display, int flags);
int OpenFirstDisplay(VMState *vm, StartupConfig *config);
void StopAllSounds();
void FreeAllSounds();
// Writes to the debug output (DebugPrint, the call trace, the final report when a debug device is set).
void WriteDebugOutput(const char *bytes, size_t length);

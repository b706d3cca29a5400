// The "display" command library: its thirteen commands, nine constants, the hooks the display code sets for the
// layers below it, and its registration.
#pragma once

#include "runtime/app/command.h"
#include "scene/display/display_record.h"

extern const LibraryDescriptor kDisplayLibrary;
extern const CommandEntry kDisplayCommands[];
extern const ConstantEntry kDisplayConstants[];

void RegisterDisplayLibrary(VMState *vm);
void FreeDisplayLibrary(VMState *vm);
// Sets the hooks through which the runtime, the host pump and the imaging code reach displays (registration
// does this; tests that use the display code without the library call it).
void InstallDisplayHooks(VMState *vm);
// The user resized the display's window to width x height (inner size): the picture follows as the display's
// scaling mode says. Nothing when the display already has that size (the program's own changes come back as
// reports too). The host pump calls it through UserResizedDisplayHook.
int UserResizedDisplay(DisplayRecord *display, int32_t width, int32_t height);
// Makes a display the current one, ending the old one's Select* output first (OpenDisplay, SelectDisplay).
int MakeCurrentDisplay(VMState *vm, DisplayRecord *display);

// The command handlers (table order).
int CmdChangeDisplaySize(VMState *vm);
int CmdSetTitle(VMState *vm);
int CmdMoveDisplay(VMState *vm);
int CmdHideDisplay(VMState *vm);
int CmdShowDisplay(VMState *vm);
int CmdSetDisplayAttributes(VMState *vm);
int CmdFreeDisplay(VMState *vm);
int CmdOpenDisplay(VMState *vm);
int CmdCloseDisplay(VMState *vm);
int CmdSelectDisplay(VMState *vm);
int CmdActivateDisplay(VMState *vm);
int CmdChangeDisplayMode(VMState *vm);

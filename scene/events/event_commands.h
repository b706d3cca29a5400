// The handlers of the event library's commands, spread over the binding files by subject.
#pragma once

#include "runtime/vm/vm.h"

// Input waits and queries.
int CmdWaitLeftMouse(VMState *vm);
int CmdWaitRightMouse(VMState *vm);
int CmdWaitMidMouse(VMState *vm);
int CmdWaitKeyDown(VMState *vm);
int CmdIsKeyDown(VMState *vm);
int CmdWhileRightMouseDown(VMState *vm);
int CmdWhileMouseDown(VMState *vm);
int CmdWhileKeyDown(VMState *vm);
int CmdIsLeftMouse(VMState *vm);
int CmdIsRightMouse(VMState *vm);
int CmdIsMidMouse(VMState *vm);
int CmdSetEventTimeout(VMState *vm);
int CmdGetEventCode(VMState *vm);
int CmdLeftMouseQuit(VMState *vm);
int CmdEscapeQuit(VMState *vm);
int CmdCtrlCQuit(VMState *vm);
int CmdFreeEventCache(VMState *vm);
int CmdMouseX(VMState *vm);
int CmdMouseY(VMState *vm);
int CmdResetKeyStates(VMState *vm);
int CmdJoyDir(VMState *vm);
int CmdJoyFire(VMState *vm);
int CmdCountJoysticks(VMState *vm);
// Dispatch.
int CmdCheckEvent(VMState *vm);
int CmdWaitEvent(VMState *vm);
int CmdInstallEventHandler(VMState *vm);
int CmdWhileMouseOn(VMState *vm);
int CmdBreakWhileMouseOn(VMState *vm);
// Buttons and legacy rows.
int CmdMakeButton(VMState *vm);
int CmdDeleteButton(VMState *vm);
int CmdEnableButton(VMState *vm);
int CmdDisableButton(VMState *vm);
int CmdDumpButtons(VMState *vm);
int CmdCreateButton(VMState *vm);
int CmdModifyButton(VMState *vm);
int CmdRemoveButton(VMState *vm);
int CmdCreateKeyDown(VMState *vm);
int CmdModifyKeyDown(VMState *vm);
int CmdRemoveKeyDown(VMState *vm);
int CmdEnableEvent(VMState *vm);
int CmdDisableEvent(VMState *vm);
int CmdClearEvents(VMState *vm);
// Intervals and timeouts.
int CmdSetInterval(VMState *vm);
int CmdSetTimeout(VMState *vm);
int CmdClearInterval(VMState *vm);
int CmdClearTimeout(VMState *vm);
int CmdChangeInterval(VMState *vm);

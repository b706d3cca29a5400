// The event dispatch: one resumable pass over timers, sound events, mouse moves, ARexx messages, the event
// queue, legacy mouse-over rows and button hover. Each call makes at most one script callback and remembers
// where the pass stopped, so the next call goes on from there.
#pragma once

#include <string>

#include "scene/events/event_state.h"

// One step of the pass. 0 (the pass finished, or a callback ran), an error code from a callback, or -1 (a
// legacy label jump was prepared; request->kind is then 11).
int DispatchEvents(VMState *vm, int fromWhileMouseOn, CallbackRequest *request);
// The body of CheckEvent (wait 0) and WaitEvent (wait 1): 1 (the message table is pushed), an error code, -1 (a
// label jump) or 0 (the program is quitting).
int WaitOrCheckEvent(VMState *vm, int wait);
// Builds the message table, calls the function protected with ExitOnErrorCount raised, and leaves the table's
// copy and the results on the stack. 0 or an error code (kErrUserAbort when a quit was asked for).
int CallEventCallback(VMState *vm, CallbackRequest *request);
// Serves pending ARexx messages outside a pass (the ARexx library while it waits for its own reply).
int DispatchARexxEvents(VMState *vm, int callHandler, int stopWhenTriggered, CallbackRequest *request);
// WhileMouseOn: 0, an error code, or -2 (a label jump; WhileMouseOn runs again after the RETURN).
int RunWhileMouseOn(VMState *vm);

// Splits an ARexx command text at its first blank: the arguments with blanks outside quotes turned into zero
// bytes and the quotes left out.
struct RexxArguments {
    std::string command, rawArgs, args;
    int32_t argc = 0;
};
RexxArguments SplitRexxArguments(const std::string &text);

// InstallEventHandler's core: the table at stack index `table`, userdata at `userdata` (0: none). 0 or an
// error code.
int InstallEventHandlers(VMState *vm, int table, int userdata);
// Moves the dispatch off a display that is being freed (set as the display code's hook).
void EventDisplayFreed(DisplayRecord *freed, DisplayRecord *successor);

// Timers, dates and waiting of the system library.
// TODO(timers): these commands answer "not available yet" until they are built.
#include "libs/system/system_commands.h"
#include "runtime/app/errors.h"

int CmdWait(VMState *) { return CommandNotAvailable("Wait"); }
int CmdGetDate(VMState *) { return CommandNotAvailable("GetDate"); }
int CmdGetTime(VMState *) { return CommandNotAvailable("GetTime"); }
int CmdGetWeekday(VMState *) { return CommandNotAvailable("GetWeekday"); }
int CmdGetDateNum(VMState *) { return CommandNotAvailable("GetDateNum"); }
int CmdGetTimer(VMState *) { return CommandNotAvailable("GetTimer"); }
int CmdPauseTimer(VMState *) { return CommandNotAvailable("PauseTimer"); }
int CmdResumeTimer(VMState *) { return CommandNotAvailable("ResumeTimer"); }
int CmdStartTimer(VMState *) { return CommandNotAvailable("StartTimer"); }
int CmdStopTimer(VMState *) { return CommandNotAvailable("StopTimer"); }
int CmdWaitTimer(VMState *) { return CommandNotAvailable("WaitTimer"); }
int CmdResetTimer(VMState *) { return CommandNotAvailable("ResetTimer"); }
int CmdCompareDates(VMState *) { return CommandNotAvailable("CompareDates"); }

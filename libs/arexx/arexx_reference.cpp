// Reference rows of the arexx library: what tools/reference writes into docs/commands/arexx.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "CreateRexxPort", .synopsis = "CreateRexxPort(name)", .arguments = {1, 1},
     .text = "Opens a public message port under name, so other programs can send the script commands; each "
             "arrives as an \"onarexx\" event handled through InstallEventHandler. A program has at most "
             "one port.",
     .errors = {kErrWrongUsage, kErrCannotOpen, kErrMessagePort, kErrPortExists}},
    {.name = "SendRexxCommand", .synopsis = "result = SendRexxCommand(port, command)", .arguments = {2, 2},
     .text = "Sends a command to another program's port and returns its answer as a string. The script's "
             "own events are served while it waits.",
     .errors = {kErrCannotOpen, kErrMessagePort, kErrRexxServer, kErrPortNotFound, kErrRexxFailed,
                kErrCallbackStringExpected, kErrUserAbort}},
    {.name = "RunRexxScript", .synopsis = "result = RunRexxScript(script[, isstring])", .arguments = {1, 2},
     .text = "Runs a REXX script through the REXX server: a file name, or the script's text itself when "
             "isstring is True. Returns the script's result.",
     .errors = {kErrCannotOpen, kErrMessagePort, kErrRexxServer, kErrPortNotFound, kErrRexxFailed}},
    {},
};

} // namespace

extern const LibraryReference kArexxReference;
const LibraryReference kArexxReference = {
    "Messages between programs: a port other programs send commands to, and commands sent to theirs.",
    kCommandDocs, nullptr};

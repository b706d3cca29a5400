// Reference rows of the arexx library: what tools/reference writes into docs/commands/arexx.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"CreateRexxPort", "CreateRexxPort(name)",
     "Opens a public message port under name, so other programs can send the script commands; each "
     "arrives as an \"onarexx\" event handled through InstallEventHandler. A program has at most one "
     "port.",
     nullptr, {kErrWrongUsage, kErrCannotOpen, kErrMessagePort, kErrPortExists}},
    {"SendRexxCommand", "result = SendRexxCommand(port, command)",
     "Sends a command to another program's port and returns its answer as a string. The script's own "
     "events are served while it waits.",
     nullptr, {kErrCannotOpen, kErrMessagePort, kErrRexxServer, kErrPortNotFound, kErrRexxFailed}},
    {"RunRexxScript", "result = RunRexxScript(script[, isstring])",
     "Runs a REXX script through the REXX server: a file name, or the script's text itself when "
     "isstring is True. Returns the script's result.",
     nullptr, {kErrCannotOpen, kErrMessagePort, kErrRexxServer, kErrPortNotFound, kErrRexxFailed}},
    {nullptr, nullptr, nullptr},
};

} // namespace

extern const LibraryReference kArexxReference;
const LibraryReference kArexxReference = {
    "Messages between programs: a port other programs send commands to, and commands sent to theirs.",
    kCommandDocs, nullptr};

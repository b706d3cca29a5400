// The test build's record of what commands do while the suite runs: with VL_COMMAND_RECORD naming a folder, each
// process appends to a file of its own there the option keys each command read and the error codes each raised
// itself, once per pair. After the suite, tools/reference checks the reference rows against what was seen: a
// probe cannot find these without running the handlers.
#include "runtime/app/command.h"

#ifdef VL_RECORD_COMMANDS
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

#include "runtime/app/utilities.h"

namespace {

std::mutex RecordLock;
std::set<std::string> Recorded;
int RecordFile = -1;

void Record(const char *kind, const char *command, const std::string &what) {
    if (!command) return;
    std::string line = std::string(kind) + " " + command + " " + what + "\n";
    std::lock_guard<std::mutex> lock(RecordLock);
    if (!Recorded.insert(line).second) return;
    if (RecordFile < 0) {
        const char *folder = std::getenv("VL_COMMAND_RECORD");
        if (!folder || !*folder) return;
        const std::string path = std::string(folder) + "/" + std::to_string(getpid()) + ".txt";
        RecordFile = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (RecordFile < 0) return;
    }
    // One write per line, so lines of processes sharing a file after a fork stay whole.
    if (write(RecordFile, line.data(), line.size()) < 0) return;
}

void RecordError(VMState *, const char *command, int code) { Record("error", command, std::to_string(code)); }

} // namespace

void StartCommandRecord(VMState *vm) {
    const char *folder = std::getenv("VL_COMMAND_RECORD");
    if (folder && *folder) SetCommandErrorHook(vm, RecordError);
}

thread_local int OwnOptionTables = 0;

void NoteOptionKey(VMState *vm, const char *key) {
    static const bool on = [] {
        const char *folder = std::getenv("VL_COMMAND_RECORD");
        return folder && *folder;
    }();
    if (on && !OwnOptionTables) Record("option", RunningCommandName(vm), AsciiLower(key));
}
#endif

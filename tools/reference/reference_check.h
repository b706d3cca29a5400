// Checks of the reference rows against what the handlers do, for vlreference and its tests.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "runtime/app/command.h"
#include "runtime/app/command_reference.h"

// What is wrong, one line each.
using Problems = std::vector<std::string>;

// A row's argument counts against its synopsis and against the counts its handler's CheckArgs lets through, asked
// of the handler in vm (its body does not run).
void CheckArgumentCounts(VMState *vm, const CommandEntry &row, const CommandDoc &doc, Problems &problems);

// What the suite saw each command do (the files the test build writes into VL_COMMAND_RECORD): the option keys
// it read, lower-cased, and the error codes it raised itself.
struct SeenCommands {
    std::map<std::string, std::set<std::string>> options;
    std::map<std::string, std::set<int>> errors;
};
// Adds the records of every file in folder; false when there is none.
bool ReadSeenCommands(const std::string &folder, SeenCommands *seen);
// The codes any command may raise without its row listing them.
const std::vector<int> &CommonErrors();
// A row's option keys and error codes against what its command was seen to read and raise. A key of the row is
// only missed when the command was seen reading options at all.
void CheckSeen(const CommandDoc &doc, const SeenCommands &seen, Problems &problems);

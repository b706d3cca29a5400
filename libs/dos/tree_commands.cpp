// Bindings of CopyFile, DeleteFile, Rename and MakeDirectory: the arguments, the script callback behind the
// walkers' questions, and the stop answer (kErrUserAbort) turned into a normal return.
#include <cstring>
#include <memory>
#include <string>

#include "host/file_services.h"
#include "host/file_tree.h"
#include "host/wildcard.h"
#include "libs/dos/dos_library.h"
#include "runtime/app/attributes.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"

namespace {

constexpr size_t kChunkPrefixLength = 8; // ":::chunk"

struct ScriptCallback {
    VMState *vm;
    int function;
    int userdata; // stack index, 0 when not given
};

// The script's action numbers of the walkers' questions.
int ScriptAction(TreeAction action) {
    switch (action) {
    case kTreeCopyStatus: return 0;
    case kTreeCopyOverwrite: return 1;
    case kTreeCopyUnprotect: return 2;
    case kTreeDeleteStatus: return 0;
    case kTreeDeleteUnprotect: return 1;
    }
    return 0;
}

// Calls the script's function with the message table and turns its answer into a walker answer: status calls stop
// on 1, the questions stop on -1 and skip on 0 (a non-number counts as 0, but the copy status wants a number).
int AskScript(void *context, const TreeMessage &message) {
    const auto &callback = *static_cast<const ScriptCallback *>(context);
    VMState *vm = callback.vm;
    int top = GetTop(vm);
    if (!CheckStack(vm, 6)) return kErrStackOverflow;
    PushValue(vm, callback.function);
    NewTable(vm);
    SetTableNumber(vm, "action", ScriptAction(message.action));
    if (message.source) SetTableString(vm, "source", message.source->c_str());
    if (message.destination) SetTableString(vm, "destination", message.destination->c_str());
    if (message.file) SetTableString(vm, "file", message.file->c_str());
    if (message.action == kTreeCopyStatus) {
        SetTableDouble(vm, "copied", static_cast<double>(message.copied));
        SetTableDouble(vm, "filesize", static_cast<double>(message.size));
    }
    if (callback.userdata) {
        PushValue(vm, callback.userdata);
        SetField(vm, -2, "userdata");
    }
    SetAttributeNumber(vm, kAttrExitOnErrorCount, 1);
    int error = ProtectedCall(vm, 1, 1, 0);
    SetAttributeNumber(vm, kAttrExitOnErrorCount, 0);
    int answer = kTreeGoOn;
    if (!error) {
        int notNumber = 0;
        double value = ToNumberResult(vm, -1, &notNumber);
        bool status = message.action == kTreeCopyStatus || message.action == kTreeDeleteStatus;
        if (message.action == kTreeCopyStatus && notNumber) error = kErrCallbackNumberExpected;
        else if (status) answer = value == 1 ? kErrUserAbort : kTreeGoOn;
        else if (notNumber || value == 0) answer = kTreeSkip;
        else if (value == -1) answer = kErrUserAbort;
    }
    SetTop(vm, top);
    if (!error && QuitRequested.load()) return kErrUserAbort;
    return error ? error : answer;
}

struct PatternDeleter {
    void operator()(PatternBuffer *buffer) const { FreePatternBuffer(buffer); }
};
using PatternOwner = std::unique_ptr<PatternBuffer, PatternDeleter>;

// With wildcards in the path's name part, the pattern and the path cut to its directory part.
PatternOwner SplitPattern(std::string *path) {
    PatternOwner pattern(AllocPatternBuffer());
    size_t at = NamePartOffset(*path);
    if (ParseWildcardPattern(path->c_str() + at, pattern.get()) != 1) return nullptr;
    path->resize(at);
    return pattern;
}

bool IsLinkedName(const char *name) {
    return strncmp(name, ":::chunk", kChunkPrefixLength) == 0;
}

// The callback and userdata arguments from position n on.
TreeCallback OptCallbackArgs(VMState *vm, int n, ScriptCallback *script) {
    TreeCallback callback;
    if (GetTop(vm) < n) return callback;
    CheckFunctionArg(vm, n);
    *script = ScriptCallback{vm, n, GetTop(vm) > n ? n + 1 : 0};
    callback.call = AskScript;
    callback.context = script;
    return callback;
}

int EndOfWalk(int error) {
    return error == kErrUserAbort ? 0 : error;
}

} // namespace

int CmdCopyFile(VMState *vm) {
    CheckArgs(vm, 2, 5);
    std::string source = CheckFileNameArg(vm, 1, 0);
    const char *destination = CheckStringArg(vm, 2);
    const char *newName = GetTop(vm) >= 3 && ValueType(vm, 3) != TNIL ? CheckStringArg(vm, 3) : "";
    ScriptCallback script{};
    TreeCallback callback = OptCallbackArgs(vm, 4, &script);
    if (source.empty() || !*destination) return kErrWrongUsage;
    PatternOwner pattern = IsLinkedName(source.c_str()) ? nullptr : SplitPattern(&source);
    return EndOfWalk(CopyPath(source.c_str(), pattern.get(), destination, newName, callback));
}

int CmdDeleteFile(VMState *vm) {
    CheckArgs(vm, 1, 3);
    std::string path = CheckStringArg(vm, 1);
    ScriptCallback script{};
    TreeCallback callback = OptCallbackArgs(vm, 2, &script);
    if (path.empty() || IsLinkedName(path.c_str())) return kErrWrongUsage;
    PatternOwner pattern = SplitPattern(&path);
    // A pattern or a trailing separator deletes inside the directory and keeps it.
    bool keep = pattern || path.back() == '/' || path.back() == '\\';
    if (path.empty()) path.push_back('.'); // not = ".": GCC 12 warns wrongly about that copy
    return EndOfWalk(DeletePath(path.c_str(), pattern.get(), keep, callback));
}

int CmdRename(VMState *vm) {
    CheckArgs(vm, 2, 2);
    std::string from = CheckStringArg(vm, 1);
    std::string to = CheckStringArg(vm, 2);
    if (from.empty() || to.empty() || IsLinkedName(from.c_str()) || IsLinkedName(to.c_str())) return kErrWrongUsage;
    // Only the new name's name part counts: the entry stays in its directory.
    std::string name = to.substr(NamePartOffset(to));
    if (name.empty() || name == "." || name == "..") return kErrWrongUsage;
    std::string target = from.substr(0, NamePartOffset(from)) + name;
    return RenamePath(from.c_str(), target.c_str()) ? 0 : kErrRenameFile;
}

int CmdMakeDirectory(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const char *path = CheckStringArg(vm, 1);
    if (!*path) return kErrWrongUsage;
    return MakePath(path);
}

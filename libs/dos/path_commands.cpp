// Bindings of the path, volume and current-directory commands and DefineVirtualFile.
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <unistd.h>

#include "host/file_services.h"
#include "host/file_tree.h"
#include "host/path.h"
#include "host/virtual_file.h"
#include "host/wildcard.h"
#include "libs/dos/dos_library.h"
#include "runtime/app/applet_format.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"

namespace {

// Examines a path (a linked file's name included); false when it cannot be locked.
bool ExaminePath(const std::string &path, FileInfoRecord *info) {
    PathRef *ref = NewPathRef(path.c_str(), 0);
    if (!ref) return false;
    int error = ExaminePathRef(ref, info);
    FreePathRef(ref);
    return error == 0;
}

std::string NonEmptyFileNameArg(VMState *vm, int n) {
    std::string path = CheckFileNameArg(vm, n, 0);
    if (path.empty()) RaiseError(vm, kErrWrongUsage);
    return path;
}

void PushText(VMState *vm, const std::string &text) {
    PushStringLen(vm, text.data(), text.size());
}

} // namespace

int CmdExists(VMState *vm) {
    CheckArgs(vm, 1, 1);
    PathRef *ref = NewPathRef(NonEmptyFileNameArg(vm, 1).c_str(), 0);
    PushNumber(vm, ref ? 1 : 0);
    FreePathRef(ref);
    return 1;
}

int CmdFileSize(VMState *vm) {
    CheckArgs(vm, 1, 1);
    FileInfoRecord info;
    PushNumber(vm, ExaminePath(NonEmptyFileNameArg(vm, 1), &info) ? static_cast<double>(info.size) : -1);
    return 1;
}

int CmdIsDirectory(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string path = NonEmptyFileNameArg(vm, 1);
    PathRef *ref = LockPathOrRaise(vm, path.c_str());
    FileInfoRecord info;
    int error = ExaminePathRef(ref, &info);
    FreePathRef(ref);
    if (error) return kErrWrongUsage;
    PushNumber(vm, info.type == kFileTypeDirectory ? 1 : 0);
    return 1;
}

int CmdPathPart(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string path = CheckStringArg(vm, 1);
    if (path.rfind(":::chunk", 0) == 0) return kErrWrongUsage;
    PushText(vm, path.substr(0, NamePartOffset(path)));
    return 1;
}

int CmdFilePart(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string path = CheckStringArg(vm, 1);
    // A linked file's name is its own name, not its container's.
    ChunkNameParts chunk;
    if (ParseChunkName(path.c_str(), &chunk)) path = chunk.name;
    PushText(vm, path.substr(NamePartOffset(path)));
    return 1;
}

int CmdFullPath(VMState *vm) {
    CheckArgs(vm, 2, 2);
    std::string directory = CheckStringArg(vm, 1);
    PushText(vm, JoinPathText(directory, CheckStringArg(vm, 2)));
    return 1;
}

int CmdMatchPattern(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const char *name = CheckStringArg(vm, 1);
    const char *pattern = CheckStringArg(vm, 2);
    PushNumber(vm, MatchWildcard(pattern, name) == 1 ? 1 : 0);
    return 1;
}

int CmdGetVolumeName(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const char *path = CheckStringArg(vm, 1);
    if (!*path) return kErrWrongUsage;
    char name[PATH_MAX];
    if (int error = ResolveLockPath(path, name, sizeof name)) return error;
    PushString(vm, name);
    return 1;
}

int CmdGetVolumeInfo(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const char *path = CheckStringArg(vm, 1);
    double kind = CheckNumberArg(vm, 2);
    if (!*path) return kErrWrongUsage;
    uint64_t freeBytes = 0, usedBytes = 0;
    if (int error = GetVolumeSpace(path, &freeBytes, &usedBytes)) return error;
    PushNumber(vm, static_cast<double>(static_cast<int64_t>(kind) == 0 ? usedBytes : freeBytes));
    return 1;
}

int CmdChangeDirectory(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string host;
    const char *path = CheckStringArg(vm, 1);
    // A directory that cannot be entered is an error: later relative names would reach the wrong place.
    if (!*path || !ResolveHostPath(path, &host) || chdir(host.c_str()) != 0) return kErrLockDirectory;
    return 0;
}

int CmdGetCurrentDirectory(VMState *vm) {
    CheckArgs(vm, 0, 0);
    char *name = getcwd(nullptr, 0);
    PushString(vm, name ? name : "");
    free(name);
    return 1;
}

int CmdDefineVirtualFile(VMState *vm) {
    CheckArgs(vm, 4, 4);
    const char *container = CheckStringArg(vm, 1);
    uint32_t offset = CheckUnsignedArg(vm, 2);
    uint32_t length = CheckUnsignedArg(vm, 3);
    const char *name = CheckStringArg(vm, 4);
    if (length == 0 || !*container) return kErrWrongUsage;
    PushText(vm, MakeChunkName(name, offset, length, container));
    return 1;
}

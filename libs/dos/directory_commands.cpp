// Bindings of the directory commands: whole listings and entry-by-entry scans through directory objects.
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <sys/stat.h>

#include "host/file_services.h"
#include "host/file_tree.h"
#include "host/path.h"
#include "libs/dos/dos_library.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"

namespace {

struct DirectoryObject {
    ObjectId id; // an automatic handle is the record itself
    bool finished = false;
    PathRef *path = nullptr;
    DirScanState *scan = nullptr;

    ~DirectoryObject() {
        FreeFileInfoBlock(scan);
        FreePathRef(path);
    }
};

constexpr ObjectRules<DirectoryObject> kDirectoryRules{.notFoundError = kErrDirectoryHandleNotFound};
// Open directories in opening order.
ObjectList<DirectoryObject> DirectoryList{&kDirectoryRules};

DirectoryObject *DirectoryArg(VMState *vm, int n) {
    ObjectId id;
    ReadObjectId(&id, vm, n);
    DirectoryObject *directory = nullptr;
    if (int error = DirectoryList.Find(id, &directory, 0)) RaiseError(vm, error);
    return directory;
}

// Names at 0.., then "" after the last one: Sort and the scripts' loops stop there.
void StoreNames(VMState *vm, int table, const DirectoryNames &listing, const std::vector<DirectoryNames::Name> &names) {
    for (size_t i = 0; i < names.size(); ++i) {
        PushStringLen(vm, listing.bytes.data() + names[i].offset, names[i].length);
        RawSetIndex(vm, table, static_cast<int64_t>(i));
    }
    PushString(vm, "");
    RawSetIndex(vm, table, static_cast<int64_t>(names.size()));
}

} // namespace

size_t CountOpenDirectories() {
    return DirectoryList.size();
}

void CloseAllDirectoryObjects() {
    DirectoryList.Clear();
}

PathRef *LockPathOrRaise(VMState *vm, const char *path) {
    SetErrorArgString(path);
    if (PathRef *ref = NewPathRef(path, 0)) return ref;
    // The general text names the path only; the reason is what tells a missing folder from a forbidden one.
    std::string host;
    struct stat info;
    if (!*path) RaiseErrorWithHint(vm, kErrLockFailed, "(no name given)");
    if (!ResolveHostPath(path, &host))
        RaiseErrorWithHint(vm, kErrLockFailed, "(no device " + std::string(path, strcspn(path, ":")) + ": is known)");
    // Appended, not a literal plus a temporary: GCC 12's -O3 takes that insert for an overlapping copy (-Wrestrict).
    if (stat(host.c_str(), &info) != 0) RaiseErrorWithHint(vm, kErrLockFailed, std::string("(") + strerror(errno) + ")");
    RaiseError(vm, kErrLockFailed);
}

void PushFileInfoTable(VMState *vm, const char *firstKey, const std::string &firstValue, const FileInfoRecord &info) {
    NewTable(vm);
    PushStringLen(vm, firstValue.data(), firstValue.size());
    SetField(vm, -2, firstKey);
    SetTableNumber(vm, "type", info.type);
    if (info.type == kFileTypeFile) SetTableDouble(vm, "size", static_cast<double>(info.size));
    SetTableDouble(vm, "flags", info.flags);
    char date[32];
    FormatDateText(&info.date, date, sizeof date);
    SetTableString(vm, "time", date);
    PushStringLen(vm, info.comment.data(), info.comment.size());
    SetField(vm, -2, "comment");
}

int CmdReadDirectory(VMState *vm) {
    CheckArgs(vm, 3, 4);
    const char *path = CheckStringArg(vm, 1);
    CheckTableArg(vm, 2);
    CheckTableArg(vm, 3);
    bool sorted = OptNumberArg(vm, 4, 1) != 0;
    DirectoryNames listing;
    if (int error = ListDirectory(path, sorted, &listing)) return error;
    StoreNames(vm, 2, listing, listing.files);
    StoreNames(vm, 3, listing, listing.directories);
    PushNumber(vm, static_cast<double>(listing.files.size()));
    PushNumber(vm, static_cast<double>(listing.directories.size()));
    return 2;
}

int CmdOpenDirectory(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId id;
    OptIntegerArg(&id, vm, 1);
    const char *path = CheckStringArg(vm, 2);
    if (!IsAutoHandleRequest(id)) DirectoryList.Free(id, false);
    PathRef *ref = LockPathOrRaise(vm, path);
    DirScanState *scan = nullptr;
    if (int error = ExamineDirPathRef(ref, &scan)) {
        FreePathRef(ref);
        return error;
    }
    auto record = std::make_unique<DirectoryObject>();
    record->path = ref;
    record->scan = scan;
    DirectoryObject *made = DirectoryList.Add(record.get(), id);
    if (!made) return kErrOutOfMemory;
    record.release();
    return PushAutoHandle(vm, id, made);
}

int CmdNextDirectoryEntry(VMState *vm) {
    CheckArgs(vm, 1, 1);
    DirectoryObject &directory = *DirectoryArg(vm, 1);
    if (directory.finished) return 0;
    std::string name;
    FileInfoRecord info;
    if (!NextDirPathRefEntry(directory.path, directory.scan, &name, nullptr, &info)) {
        directory.finished = true;
        return 0;
    }
    PushFileInfoTable(vm, "name", name, info);
    return 1;
}

int CmdCloseDirectory(VMState *vm) {
    CheckArgs(vm, 1, 1);
    DirectoryList.FreeRecord(DirectoryArg(vm, 1));
    return 0;
}

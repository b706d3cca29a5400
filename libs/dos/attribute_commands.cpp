// Bindings of GetFileAttributes, SetFileAttributes and CRC32.
#include <cmath>
#include <cstring>
#include <string>

#include "host/file_services.h"
#include "libs/dos/dos_library.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"

namespace {

struct PathRefOwner {
    PathRef *ref;
    ~PathRefOwner() { FreePathRef(ref); }
};

} // namespace

int CmdGetFileAttributes(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string path = CheckFileNameArg(vm, 1, 0);
    PathRefOwner ref{LockPathOrRaise(vm, path.c_str())};
    FileInfoRecord info;
    if (int error = ExaminePathRef(ref.ref, &info)) return error;
    std::string full = ref.ref->path;
    if (ref.ref->isChunk) {
        char buffer[4096];
        full = GetPathRefFullName(ref.ref, buffer, sizeof buffer) ? buffer : ref.ref->chunkBaseName;
    }
    PushFileInfoTable(vm, "path", full, info);
    return 1;
}

int CmdSetFileAttributes(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const char *path = CheckStringArg(vm, 1);
    CheckTableArg(vm, 2);
    if (strncmp(path, ":::chunk", 8) == 0) return kErrWrongUsage;
    PathRefOwner ref{LockPathOrRaise(vm, path)};
    FileInfoRecord info;
    if (int error = ExaminePathRef(ref.ref, &info)) return error;
    // Flags, then comment, then the date last; the first failure stops, earlier steps stay applied.
    double flags = 0;
    int hasFlags = 0;
    GetTableOptionNumber(vm, 2, "flags", &flags, &hasFlags);
    char time[64];
    int hasTime = 0;
    GetTableOptionString(vm, 2, "time", time, sizeof time, &hasTime);
    DateStamp date = info.date;
    if (hasTime) {
        DateFields fields;
        if (!ParseDateText(time, &fields) || !FieldsToDateStamp(&fields, &date)) return kErrDateFormat;
    }
    if (hasFlags && !SetProtectionFlags(path, NumberToUnsigned(std::trunc(flags)))) return kErrSetAttributes;
    NoteOptionKey(vm, "comment");
    RawGetField(vm, 2, "comment");
    if (ValueType(vm, -1) != TNIL) {
        const char *comment = CheckStringField(vm, -1, "comment");
        if (!SetFileComment(path, comment)) return kErrSetComment;
    }
    SetTop(vm, -2);
    if (hasTime && !SetFileDateStamp(path, &date)) return kErrSetDate;
    return 0;
}

int CmdCRC32(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const char *name = CheckStringArg(vm, 1);
    if (!*name) return kErrWrongUsage;
    uint32_t crc = 0;
    if (int error = FileCrc32(name, &crc)) return error;
    PushNumber(vm, crc);
    return 1;
}

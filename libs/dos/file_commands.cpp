// Bindings of the dos file commands and the compressed-file commands: read the arguments, call the operation,
// push the result.
#include <cmath>
#include <string>

#include "host/compressed_file.h"
#include "libs/dos/dos_library.h"
#include "libs/dos/file_object.h"
#include "runtime/app/errors.h"

namespace {

// Truncated toward zero; NaN and values beyond 64 bits become a position no file has.
int64_t PositionArg(VMState *vm, int n) {
    double value = CheckNumberArg(vm, n);
    if (std::isnan(value) || value <= -9.2e18 || value >= 9.2e18) return INT64_MIN;
    return static_cast<int64_t>(value);
}

int PushRead(VMState *vm, int (*read)(FileObject *, double *)) {
    CheckArgs(vm, 1, 1);
    FileObject *file = FileObjectArg(vm, 1);
    double value = 0;
    if (int error = read(file, &value)) return error;
    PushNumber(vm, value);
    return 1;
}

int WriteInteger(VMState *vm, int (*write)(FileObject *, int32_t)) {
    CheckArgs(vm, 2, 2);
    FileObject *file = FileObjectArg(vm, 1);
    return write(file, CheckInt32Arg(vm, 2));
}

void SetNameArgument(int error, const char *source, const char *destination) {
    if (error == kErrCannotReadFile)
        SetErrorArgString(source);
    else if (error == kErrCannotWriteFile)
        SetErrorArgString(destination);
}

} // namespace

int CmdOpenFile(VMState *vm) {
    CheckArgs(vm, 2, 3);
    ObjectId id;
    OptIntegerArg(&id, vm, 1);
    int32_t mode = OptInt32Arg(vm, 3, kModeRead);
    std::string name;
    if (mode == kModeRead)
        name = CheckFileNameArg(vm, 2, 0);
    else if (mode == kModeWrite || mode == kModeReadWrite)
        name = CheckStringArg(vm, 2);
    else
        return kErrWrongUsage;
    FileObject *file = nullptr;
    if (int error = OpenFileObject(id, name.c_str(), mode, &file)) return error;
    return PushAutoHandle(vm, id, file);
}

int CmdCloseFile(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return CloseFileObject(FileObjectArg(vm, 1));
}

int CmdReadChr(VMState *vm) {
    return PushRead(vm, FileReadChr);
}
int CmdReadShort(VMState *vm) {
    return PushRead(vm, FileReadShort);
}
int CmdReadInt(VMState *vm) {
    return PushRead(vm, FileReadInt);
}
int CmdReadFloat(VMState *vm) {
    return PushRead(vm, FileReadFloat);
}

int CmdReadString(VMState *vm) {
    CheckArgs(vm, 2, 2);
    FileObject *file = FileObjectArg(vm, 1);
    std::string text;
    if (int error = FileReadString(file, CheckInt32Arg(vm, 2), &text)) return error;
    PushStringLen(vm, text.data(), text.size());
    return 1;
}

namespace {
// Lines that are not handed out in place are gathered here; it keeps its capacity.
std::string lineScratch;
} // namespace

int CmdReadLine(VMState *vm) {
    CheckArgs(vm, 1, 1);
    FileObject *file = FileObjectArg(vm, 1);
    std::string &scratch = lineScratch;
    const char *bytes = nullptr;
    size_t length = 0;
    if (int error = FileReadLine(file, &scratch, &bytes, &length)) return error;
    PushStringLen(vm, bytes, length);
    return 1;
}

int CmdWriteChr(VMState *vm) {
    return WriteInteger(vm, FileWriteChr);
}
int CmdWriteShort(VMState *vm) {
    return WriteInteger(vm, FileWriteShort);
}
int CmdWriteInt(VMState *vm) {
    return WriteInteger(vm, FileWriteInt);
}

int CmdWriteFloat(VMState *vm) {
    CheckArgs(vm, 2, 2);
    FileObject *file = FileObjectArg(vm, 1);
    return FileWriteFloat(file, CheckNumberArg(vm, 2));
}

int CmdWriteString(VMState *vm) {
    CheckArgs(vm, 2, 3);
    FileObject *file = FileObjectArg(vm, 1);
    size_t size = 0;
    const char *bytes = CheckStringArg(vm, 2, &size);
    return FileWriteString(file, bytes, size, OptInt32Arg(vm, 3, 0));
}

int CmdWriteLine(VMState *vm) {
    CheckArgs(vm, 2, 2);
    FileObject *file = FileObjectArg(vm, 1);
    size_t size = 0;
    const char *bytes = CheckStringArg(vm, 2, &size);
    return FileWriteLine(file, bytes, size);
}

int CmdSeek(VMState *vm) {
    CheckArgs(vm, 2, 2);
    int64_t position = PositionArg(vm, 2);
    return FileSeek(FileObjectArg(vm, 1), position);
}

int CmdFilePos(VMState *vm) {
    CheckArgs(vm, 1, 1);
    PushNumber(vm, static_cast<double>(FileObjectArg(vm, 1)->position));
    return 1;
}

int CmdFileLength(VMState *vm) {
    CheckArgs(vm, 1, 1);
    PushNumber(vm, static_cast<double>(FileObjectArg(vm, 1)->size));
    return 1;
}

int CmdEof(VMState *vm) {
    CheckArgs(vm, 1, 1);
    FileObject *file = FileObjectArg(vm, 1);
    PushNumber(vm, file->position == file->size ? 1 : 0);
    return 1;
}

int CmdFlushFile(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return FileFlush(FileObjectArg(vm, 1));
}

int CmdSetIOMode(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return SetIOModeValue(CheckInt32Arg(vm, 1));
}

int CmdCompressFile(VMState *vm) {
    CheckArgs(vm, 2, 2);
    std::string source = CheckStringArg(vm, 1), destination = CheckStringArg(vm, 2);
    uint64_t size = 0;
    int error = CompressToFile(kPackedFileMagic, source.c_str(), destination.c_str(), &size);
    if (error) {
        SetNameArgument(error, source.c_str(), destination.c_str());
        return error;
    }
    PushNumber(vm, static_cast<double>(size));
    return 1;
}

int CmdDecompressFile(VMState *vm) {
    CheckArgs(vm, 2, 2);
    std::string source = CheckStringArg(vm, 1), destination = CheckStringArg(vm, 2);
    uint64_t size = 0;
    int error = DecompressFromFile(kPackedFileMagic, source.c_str(), destination.c_str(), 0, &size);
    if (error) {
        SetNameArgument(error, source.c_str(), destination.c_str());
        return error;
    }
    PushNumber(vm, static_cast<double>(size));
    return 1;
}

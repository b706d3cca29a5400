// Bindings of the memblock library: read the arguments, call the operation, push the result.
#include "libs/memblock/memblock_library.h"

#include <string>

#include "host/debug_output.h"
#include "libs/dos/file_object.h"
#include "libs/memblock/memblock.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kMemBlockReference;

namespace {

MemBlock *BlockArg(VMState *vm, int n) {
    ObjectId id;
    ReadObjectId(&id, vm, n);
    MemBlock *block = nullptr;
    if (int error = FindMemBlock(id, &block)) RaiseError(vm, error);
    return block;
}

void RegisterMemBlockLibrary(VMState *vm) {
    RegisterCommands(vm, kMemBlockCommands);
    RegisterCommandLibrary(kMemBlockCommands, "memblock", &kMemBlockReference);
    RegisterObjectKind({ObjectKindMemory, "MEMORY", [] { return int32_t(CountMemBlocks()); }, nullptr});
}

void FreeMemBlockLibrary(VMState *) {
    FreeAllMemBlocks();
}

} // namespace

int CmdAllocMem(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId id;
    OptIntegerArg(&id, vm, 1);
    MemBlock *block = nullptr;
    if (int error = AllocMemBlock(id, CheckInt32Arg(vm, 2), &block)) return error;
    return PushAutoHandle(vm, id, block);
}

int CmdFreeMem(VMState *vm) {
    CheckArgs(vm, 1, 1);
    ObjectId id;
    ReadObjectId(&id, vm, 1);
    return FreeMemBlock(id);
}

int CmdPeek(VMState *vm) {
    CheckArgs(vm, 2, 4);
    MemBlock *block = BlockArg(vm, 1);
    int32_t offset = CheckInt32Arg(vm, 2);
    int32_t type = OptInt32Arg(vm, 3, kWidthInteger);
    int32_t length = OptInt32Arg(vm, 4, 0);
    if (offset < 0) return kErrOffsetOutOfRange;
    if (type == kWidthString) {
        std::string text;
        if (int error = PeekString(block, offset, length, &text)) return error;
        PushStringLen(vm, text.data(), text.size());
        return 1;
    }
    uint32_t value = 0;
    if (int error = PeekValue(block, offset, type, &value)) return error;
    PushNumber(vm, value);
    return 1;
}

int CmdPoke(VMState *vm) {
    CheckArgs(vm, 3, 4);
    MemBlock *block = BlockArg(vm, 1);
    int32_t offset = CheckInt32Arg(vm, 2);
    int32_t type = OptInt32Arg(vm, 4, kWidthInteger);
    if (offset < 0) return kErrOffsetOutOfRange;
    if (type == kWidthString) {
        size_t length = 0;
        const char *text = CheckStringArg(vm, 3, &length);
        return PokeString(block, offset, text, length);
    }
    return PokeValue(block, offset, type, CheckUnsignedArg(vm, 3));
}

int CmdFillMem(VMState *vm) {
    CheckArgs(vm, 3, 5);
    int32_t count = CheckInt32Arg(vm, 3);
    if (count < 1) return 0;
    MemBlock *block = BlockArg(vm, 1);
    uint32_t value = CheckUnsignedArg(vm, 2);
    return FillMemBlock(block, value, count, OptInt32Arg(vm, 4, 0), OptInt32Arg(vm, 5, kWidthByte));
}

int CmdCopyMem(VMState *vm) {
    CheckArgs(vm, 3, 5);
    int32_t count = CheckInt32Arg(vm, 3);
    if (count < 1) return 0;
    int32_t sourceOffset = OptInt32Arg(vm, 4, 0), destinationOffset = OptInt32Arg(vm, 5, 0);
    if (sourceOffset < 0 || destinationOffset < 0) return kErrOffsetOutOfRange;
    ObjectId source, destination;
    ReadObjectId(&source, vm, 1);
    ReadObjectId(&destination, vm, 2);
    if (source == destination) return kErrWrongUsage;
    MemBlock *from = BlockArg(vm, 1);
    MemBlock *to = BlockArg(vm, 2);
    return CopyMemBlock(from, to, count, sourceOffset, destinationOffset);
}

int CmdReadMem(VMState *vm) {
    CheckArgs(vm, 3, 4);
    int32_t count = CheckInt32Arg(vm, 3);
    int32_t offset = OptInt32Arg(vm, 4, 0);
    if (count < 1) return 0;
    if (offset < 0) return kErrWrongUsage;
    FileObject *file = FileObjectArg(vm, 1);
    MemBlock *block = BlockArg(vm, 2);
    return ReadMemFromFile(file, block, count, offset);
}

int CmdWriteMem(VMState *vm) {
    CheckArgs(vm, 3, 4);
    int32_t count = CheckInt32Arg(vm, 3);
    int32_t offset = OptInt32Arg(vm, 4, 0);
    if (count < 1) return 0;
    if (offset < 0) return kErrWrongUsage;
    MemBlock *block = BlockArg(vm, 2);
    FileObject *file = FileObjectArg(vm, 1);
    return WriteMemToFile(file, block, count, offset);
}

int CmdDumpMem(VMState *vm) {
    CheckArgs(vm, 1, 3);
    MemBlock *block = BlockArg(vm, 1);
    std::string dump;
    if (int error = FormatMemDump(block, OptInt32Arg(vm, 2, 0), OptInt32Arg(vm, 3, 0), &dump)) return error;
    DebugWrite(dump.data(), dump.size());
    return 0;
}

const CommandEntry kMemBlockCommands[] = {
    {"AllocMem", CmdAllocMem}, {"FreeMem", CmdFreeMem}, {"Peek", CmdPeek},       {"Poke", CmdPoke},
    {"FillMem", CmdFillMem},   {"CopyMem", CmdCopyMem}, {"ReadMem", CmdReadMem}, {"WriteMem", CmdWriteMem},
    {"DumpMem", CmdDumpMem},   {nullptr, nullptr},
};

const LibraryDescriptor kMemBlockLibrary = {"memblock", RegisterMemBlockLibrary, FreeMemBlockLibrary};

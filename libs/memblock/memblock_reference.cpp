// Reference rows of the memblock library: what tools/reference writes into docs/commands/memblock.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "AllocMem", .synopsis = "[handle =] AllocMem(id, size)", .arguments = {2, 2},
     .text = "Allocates a memory block of size bytes, filled with zeros.",
     .errors = {kErrOutOfMemory},
     .example = "AllocMem(1, 16)\n"
                "Poke(1, 0, 1234)\n"
                "DebugPrint(Peek(1, 0))\n"
                "FreeMem(1)"},
    {.name = "FreeMem", .synopsis = "FreeMem(id)", .arguments = {1, 1},
     .text = "Frees a memory block.",
     .errors = {kErrMemoryBlockNotFound, kErrObjectNotFound}},
    {.name = "Peek", .synopsis = "value = Peek(id, offset[, type, length])", .arguments = {2, 4},
     .text = "Reads a value at a byte offset: a big-endian integer of the width type gives (#INTEGER, the "
             "default, #SHORT or #BYTE), or with #STRING a string of length bytes (up to the first zero "
             "byte when length is 0).",
     .errors = {kErrOffsetOutOfRange, kErrMemoryBlockNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {.name = "Poke", .synopsis = "Poke(id, offset, value[, type])", .arguments = {3, 4},
     .text = "Writes a value at a byte offset, as Peek reads it: an integer of the width type gives "
             "(#INTEGER by default) or, with #STRING, the string's bytes.",
     .errors = {kErrOffsetOutOfRange, kErrMemoryBlockNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {.name = "FillMem", .synopsis = "FillMem(id, value, count[, offset, type])", .arguments = {3, 5},
     .text = "Writes value count times from offset on, each of the width type gives (#BYTE by default).",
     .errors = {kErrOffsetOutOfRange, kErrMemoryBlockNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {.name = "CopyMem", .synopsis = "CopyMem(source, destination, count[, sourceoffset, destinationoffset])",
     .arguments = {3, 5},
     .text = "Copies count bytes from one memory block to another (or within one block).",
     .errors = {kErrOffsetOutOfRange, kErrMemoryBlockNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {.name = "ReadMem", .synopsis = "ReadMem(file, id, count[, offset])", .arguments = {3, 4},
     .text = "Reads count bytes from an open file into a memory block at offset.",
     .errors = {kErrWrongUsage, kErrWriteOnlyFile, kErrOffsetOutOfRange, kErrReadFailed,
                kErrFileHandleNotFound, kErrMemoryBlockNotFound}},
    {.name = "WriteMem", .synopsis = "WriteMem(file, id, count[, offset])", .arguments = {3, 4},
     .text = "Writes count bytes of a memory block, from offset on, to an open file.",
     .errors = {kErrWrongUsage, kErrReadOnlyFile, kErrOffsetOutOfRange, kErrWriteFailed,
                kErrMemoryBlockNotFound, kErrFileHandleNotFound}},
    {.name = "DumpMem", .synopsis = "DumpMem(id[, length, offset])", .arguments = {1, 3},
     .text = "Prints the block's bytes to the debug output in hexadecimal and as text, for debugging.",
     .errors = {kErrWrongUsage, kErrOffsetOutOfRange, kErrMemoryBlockNotFound, kErrObjectNotFound}},
    {},
};

} // namespace

extern const LibraryReference kMemBlockReference;
const LibraryReference kMemBlockReference = {
    "Memory blocks: raw bytes a script reads and writes at offsets, as integers of several widths or "
    "strings, and moves to and from files.",
    kCommandDocs, nullptr};

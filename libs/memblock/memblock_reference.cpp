// Reference rows of the memblock library: what tools/reference writes into docs/commands/memblock.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"AllocMem", "[handle =] AllocMem(id, size)",
     "Allocates a memory block of size bytes, filled with zeros.",
     nullptr, {},
     "AllocMem(1, 16)\n"
     "Poke(1, 0, 1234)\n"
     "DebugPrint(Peek(1, 0))\n"
     "FreeMem(1)"},
    {"FreeMem", "FreeMem(id)",
     "Frees a memory block.",
     nullptr, {kErrMemoryBlockNotFound, kErrObjectNotFound}},
    {"Peek", "value = Peek(id, offset[, type, length])",
     "Reads a value at a byte offset: a big-endian integer of the width type gives (#INTEGER, the "
     "default, #SHORT or #BYTE), or with #STRING a string of length bytes (up to the first zero byte "
     "when length is 0).",
     nullptr, {kErrOffsetOutOfRange, kErrMemoryBlockNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {"Poke", "Poke(id, offset, value[, type])",
     "Writes a value at a byte offset, as Peek reads it: an integer of the width type gives (#INTEGER "
     "by default) or, with #STRING, the string's bytes.",
     nullptr, {kErrOffsetOutOfRange, kErrMemoryBlockNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {"FillMem", "FillMem(id, value, count[, offset, type])",
     "Writes value count times from offset on, each of the width type gives (#BYTE by default).",
     nullptr, {kErrOffsetOutOfRange, kErrMemoryBlockNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {"CopyMem", "CopyMem(source, destination, count[, sourceoffset, destinationoffset])",
     "Copies count bytes from one memory block to another (or within one block).",
     nullptr, {kErrOffsetOutOfRange, kErrMemoryBlockNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {"ReadMem", "ReadMem(file, id, count[, offset])",
     "Reads count bytes from an open file into a memory block at offset.",
     nullptr, {kErrWrongUsage, kErrWriteOnlyFile, kErrOffsetOutOfRange, kErrReadFailed}},
    {"WriteMem", "WriteMem(file, id, count[, offset])",
     "Writes count bytes of a memory block, from offset on, to an open file.",
     nullptr, {kErrWrongUsage, kErrReadOnlyFile, kErrOffsetOutOfRange, kErrWriteFailed}},
    {"DumpMem", "DumpMem(id[, length, offset])",
     "Prints the block's bytes to the debug output in hexadecimal and as text, for debugging.",
     nullptr, {kErrWrongUsage, kErrOffsetOutOfRange, kErrMemoryBlockNotFound, kErrObjectNotFound}},
    {nullptr, nullptr, nullptr},
};

} // namespace

extern const LibraryReference kMemBlockReference;
const LibraryReference kMemBlockReference = {
    "Memory blocks: raw bytes a script reads and writes at offsets, as integers of several widths or "
    "strings, and moves to and from files.",
    kCommandDocs, nullptr};

// Script-owned raw memory blocks. Offsets and counts arrive as 32-bit integers but every bound is checked in
// 64-bit arithmetic, so offset + count can never wrap past a check and touch bytes outside the block.
// Multi-byte values are big-endian. Operations return 0 or an error code and never see the VM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/app/object_list.h"
#include "runtime/vm/vm.h"

struct FileObject;

// The system library's width types.
constexpr int kWidthInteger = 1; // 32 bits
constexpr int kWidthString = 3;
constexpr int kWidthShort = 6; // 16 bits
constexpr int kWidthByte = 7;  // 8 bits

struct MemBlock {
    ObjectId id; // an automatic handle is the record itself
    int32_t size = 0;
    std::unique_ptr<uint8_t[]> data; // cleared: fresh blocks never show old heap contents
};

extern ObjectList<MemBlock> MemBlockList;

// kErrMemoryBlockNotFound (with the number as error argument) for a numbered id, kErrObjectNotFound for an automatic
// handle.
int FindMemBlock(ObjectId id, MemBlock **out);
size_t CountMemBlocks();
void FreeAllMemBlocks();

// A numbered id replaces the block of that number. A negative size is refused (kErrWrongUsage); kErrOutOfMemory when
// memory is short.
int AllocMemBlock(ObjectId id, int32_t size, MemBlock **out);
int FreeMemBlock(ObjectId id);

// Types 1, 6 and 7 (big-endian, unsigned); kErrOffsetOutOfRange out of range, kErrWrongUsage for another type.
int PeekValue(const MemBlock *block, int64_t offset, int type, uint32_t *value);
int PokeValue(MemBlock *block, int64_t offset, int type, uint32_t value);
// length > 0: exactly length bytes; length 0: the run of printable bytes (and space, tab, LF, CR) from
// offset.
int PeekString(const MemBlock *block, int64_t offset, int64_t length, std::string *out);
// The bytes and one terminating zero.
int PokeString(MemBlock *block, int64_t offset, const char *text, size_t length);
// count < 1 does nothing; type 6 needs even offset and count, type 1 multiples of 4 (else kErrWrongUsage).
int FillMemBlock(MemBlock *block, uint32_t value, int64_t count, int64_t offset, int type);
// count < 1 does nothing; the blocks must differ (kErrWrongUsage).
int CopyMemBlock(const MemBlock *source, MemBlock *destination, int64_t count, int64_t sourceOffset,
                 int64_t destinationOffset);
// Through the file's position, size and IOMode; count < 1 does nothing, a negative offset is kErrWrongUsage.
int ReadMemFromFile(FileObject *file, MemBlock *block, int64_t count, int64_t offset);
int WriteMemToFile(FileObject *file, const MemBlock *block, int64_t count, int64_t offset);
// The hex dump text: 16 bytes a line, "%.8x: ", "%.2x " each, three spaces for each missing byte, then the
// characters ("." for bytes that are neither graphic nor space). length <= 0 is the whole block.
int FormatMemDump(const MemBlock *block, int64_t length, int64_t offset, std::string *out);

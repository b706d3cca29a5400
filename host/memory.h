// The program's memory blocks. Failures are results, never exceptions: callers report kErrOutOfMemory "Out of memory!".
#pragma once

#include <cstddef>
#include <cstdint>

// A block of size bytes, all zero when clear is non-zero; null when none is left (or size is 0).
void *AllocBlock(size_t size, int clear);
// Frees a block from AllocBlock; null is allowed.
void FreeBlock(void *block);
// Free bytes the system reports (MemAvailable). Type 1 asks for fast memory, any other type for chip memory;
// there is one kind of memory here, so both give the same figure.
uint64_t GetAvailableMemory(int type);

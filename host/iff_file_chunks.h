// The IFF/RIFF chunk walker for files read in place (sounds stream from their file, so they are not loaded
// whole). It owns the position: each NextChunk() starts at the previous chunk's end plus its pad byte, however much
// the caller read of it. IFF ("FORM") lengths are big-endian, RIFF lengths little-endian; both pad odd chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/virtual_file.h"

struct IffChunk {
    char id[5] = {0, 0, 0, 0, 0};
    int64_t dataStart = 0;      // file offset of the chunk's first data byte
    uint32_t declaredLength = 0; // as written in the header
    int64_t length = 0;         // clamped to the bytes that are really there
    bool truncated() const { return length < int64_t(declaredLength); }
    bool Is(const char *name) const;
};

struct IffChunkWalker {
    VirtualFile *file = nullptr;
    bool littleEndian = false;
    int64_t next = 12; // offset of the next chunk header
    int64_t end = 0;   // bytes of the file (a form's own length is not trusted)
    bool failed = false;
};

// Reads the 12-byte container header ("FORM"/"RIFF", length, form type) at offset 0 into formType (5 bytes) and
// sets the walker up behind it. 0 when the file is too short or the container tag is neither.
int StartChunkWalk(IffChunkWalker *walker, VirtualFile *file, char formType[5]);
// The next chunk header; 0 at the end of the file or when fewer than 8 header bytes remain. The file position is
// left at the chunk's data.
int NextChunk(IffChunkWalker *walker, IffChunk *chunk);
// The first n bytes of the chunk's data (n at most its length); 0 on a short chunk or a read error.
int ReadChunkBytes(IffChunkWalker *walker, const IffChunk &chunk, void *out, size_t n);

// The IFF chunk walker for formats read whole into memory. The walker owns the position: after each handler it
// moves to the chunk's end plus its pad byte, however much the handler read, and a chunk whose size runs past its
// FORM refuses the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "host/virtual_file.h"
#include "runtime/vm/bounded_reader.h"

constexpr uint32_t IffId(const char (&id)[5]) {
    return uint32_t(uint8_t(id[0])) << 24 | uint32_t(uint8_t(id[1])) << 16 | uint32_t(uint8_t(id[2])) << 8 |
           uint32_t(uint8_t(id[3]));
}

// Checks the "FORM" header and its type; *body is the FORM's contents after the type, clipped to the data
// (a FORM longer than the file counts as truncated: false).
inline bool ReadIffForm(std::span<const uint8_t> bytes, uint32_t formType, std::span<const uint8_t> *body) {
    BoundedReader reader(bytes);
    uint32_t id = reader.U32BE();
    uint32_t size = reader.U32BE();
    uint32_t type = reader.U32BE();
    if (reader.Failed() || id != IffId("FORM") || type != formType || size < 4) return false;
    if (size - 4 > reader.remaining()) return false;
    *body = bytes.subspan(12, size - 4);
    return true;
}

// Calls handler(id, chunk reader) for each chunk of body; a handler returns false to refuse the file. False when
// a chunk header is cut off or a chunk is longer than what is left.
template <typename Handler> bool WalkIffChunks(std::span<const uint8_t> body, Handler &&handler) {
    size_t pos = 0;
    while (pos < body.size()) {
        BoundedReader header(body.subspan(pos));
        uint32_t id = header.U32BE();
        uint32_t size = header.U32BE();
        if (header.Failed() || size > header.remaining()) return false;
        BoundedReader chunk(body.subspan(pos + 8, size));
        if (!handler(id, chunk)) return false;
        pos += 8 + size_t(size) + (size & 1);
    }
    return true;
}

// ---- The same walk over a file read in place -------------------------------------------------------------------
// Sounds stream from their file, so they are not read whole. IFF ("FORM") lengths are big-endian, RIFF lengths
// little-endian; both pad odd chunks. Sound data chunks may be cut short by the end of the file: their length is
// clamped to what is there (the declared length is kept), and the caller decides what a short chunk means.
struct IffChunk {
    char id[5] = {0, 0, 0, 0, 0};
    int64_t dataStart = 0;      // file offset of the chunk's first data byte
    uint32_t declaredLength = 0; // as written in the header
    int64_t length = 0;         // clamped to the bytes that are really there
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

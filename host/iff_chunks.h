// The IFF chunk walker for formats read whole into memory. The walker owns the position: after each handler it
// moves to the chunk's end plus its pad byte, however much the handler read, and a chunk whose size runs past its
// FORM refuses the whole file.
#pragma once

#include <cstdint>
#include <span>

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

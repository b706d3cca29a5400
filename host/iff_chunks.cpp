#include "host/iff_chunks.h"

#include <cstring>

bool IffChunk::Is(const char *name) const { return std::memcmp(id, name, 4) == 0; }

namespace {

uint32_t Word(const uint8_t *b, bool littleEndian) {
    if (littleEndian) return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

bool ReadAt(VirtualFile *file, int64_t offset, void *out, size_t n) {
    if (SeekVirtualFile(file, offset, kSeekFromStart) < 0) return false;
    return ReadVirtualFile(file, out, n) == int64_t(n);
}

} // namespace

int StartChunkWalk(IffChunkWalker *walker, VirtualFile *file, char formType[5]) {
    *walker = IffChunkWalker{};
    walker->file = file;
    uint8_t head[12];
    walker->end = VirtualFileLength(file);
    if (walker->end < 12 || !ReadAt(file, 0, head, 12)) return 0;
    if (std::memcmp(head, "RIFF", 4) == 0) walker->littleEndian = true;
    else if (std::memcmp(head, "FORM", 4) != 0) return 0;
    std::memcpy(formType, head + 8, 4);
    formType[4] = 0;
    return 1;
}

int NextChunk(IffChunkWalker *walker, IffChunk *chunk) {
    if (walker->failed || walker->next + 8 > walker->end) return 0;
    uint8_t head[8];
    if (!ReadAt(walker->file, walker->next, head, 8)) {
        walker->failed = true;
        return 0;
    }
    *chunk = IffChunk{};
    std::memcpy(chunk->id, head, 4);
    chunk->declaredLength = Word(head + 4, walker->littleEndian);
    chunk->dataStart = walker->next + 8;
    int64_t available = walker->end - chunk->dataStart;
    chunk->length = int64_t(chunk->declaredLength) < available ? int64_t(chunk->declaredLength) : available;
    walker->next = chunk->dataStart + int64_t(chunk->declaredLength) + (chunk->declaredLength & 1);
    return 1;
}

int ReadChunkBytes(IffChunkWalker *walker, const IffChunk &chunk, void *out, size_t n) {
    if (int64_t(n) > chunk.length) return 0;
    return ReadAt(walker->file, chunk.dataStart, out, n) ? 1 : 0;
}

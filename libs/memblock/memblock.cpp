#include "libs/memblock/memblock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "host/allocation_cap.h"
#include "libs/dos/file_object.h"
#include "runtime/app/errors.h"

namespace {

constexpr ObjectRules<MemBlock> kMemBlockRules{.notFoundError = kErrMemoryBlockNotFound};

} // namespace

ObjectList<MemBlock> MemBlockList{&kMemBlockRules};

namespace {

// 0 when [offset, offset + count) lies inside the block; both are at most 32-bit, so the sum cannot overflow.
int CheckRange(const MemBlock *block, int64_t offset, int64_t count) {
    return offset >= 0 && count >= 0 && offset + count <= block->size ? 0 : kErrOffsetOutOfRange;
}

int WidthBytes(int type) {
    switch (type) {
    case kWidthInteger:
        return 4;
    case kWidthShort:
        return 2;
    case kWidthByte:
        return 1;
    default:
        return 0;
    }
}

// The program's ISO-8859-1 graphic characters, independent of the C locale.
bool IsGraphicLatin1(uint8_t c) {
    return (c >= 0x21 && c <= 0x7E) || c >= 0xA1;
}

} // namespace

int FindMemBlock(ObjectId id, MemBlock **out) { return MemBlockList.Find(id, out, 0); }

size_t CountMemBlocks() {
    return MemBlockList.size();
}

void FreeAllMemBlocks() {
    MemBlockList.Clear();
}

int AllocMemBlock(ObjectId id, int32_t size, MemBlock **out) {
    if (size < 0) return kErrWrongUsage;
    if (!FitsAllocationCap(size, 1)) return kErrOutOfMemory;
    if (!id.handle)
        if (MemBlock *old = MemBlockList.Find(id)) MemBlockList.Erase(old);
    auto block = std::unique_ptr<MemBlock>(new (std::nothrow) MemBlock);
    if (!block) return kErrOutOfMemory;
    block->data.reset(new (std::nothrow) uint8_t[size > 0 ? size : 1]());
    if (!block->data) return kErrOutOfMemory;
    block->size = size;
    // Any handle asks for an automatic id here.
    if (!MemBlockList.Add(block.get(), id.handle ? ObjectId{0, kAutoHandleRequest} : id)) return kErrOutOfMemory;
    *out = block.release();
    return 0;
}

int FreeMemBlock(ObjectId id) {
    MemBlock *block = nullptr;
    if (int error = FindMemBlock(id, &block)) return error;
    MemBlockList.Erase(block);
    return 0;
}

int PeekValue(const MemBlock *block, int64_t offset, int type, uint32_t *value) {
    int width = WidthBytes(type);
    if (width == 0) return kErrWrongUsage;
    if (int error = CheckRange(block, offset, width)) return error;
    uint32_t result = 0;
    for (int i = 0; i < width; ++i)
        result = result << 8 | block->data[offset + i];
    *value = result;
    return 0;
}

int PokeValue(MemBlock *block, int64_t offset, int type, uint32_t value) {
    int width = WidthBytes(type);
    if (width == 0) return kErrWrongUsage;
    if (int error = CheckRange(block, offset, width)) return error;
    for (int i = 0; i < width; ++i)
        block->data[offset + i] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
    return 0;
}

int PeekString(const MemBlock *block, int64_t offset, int64_t length, std::string *out) {
    if (length < 0) return kErrWrongUsage;
    if (length > 0) {
        if (int error = CheckRange(block, offset, length)) return error;
        out->assign(reinterpret_cast<const char *>(block->data.get() + offset), static_cast<size_t>(length));
        return 0;
    }
    if (int error = CheckRange(block, offset, 1)) return error;
    int64_t end = offset;
    while (end < block->size) {
        uint8_t c = block->data[end];
        if (!IsGraphicLatin1(c) && c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
        ++end;
    }
    out->assign(reinterpret_cast<const char *>(block->data.get() + offset),
                static_cast<size_t>(end - offset));
    return 0;
}

int PokeString(MemBlock *block, int64_t offset, const char *text, size_t length) {
    if (length > INT32_MAX) return kErrOffsetOutOfRange;
    if (int error = CheckRange(block, offset, static_cast<int64_t>(length) + 1)) return error;
    std::memcpy(block->data.get() + offset, text, length);
    block->data[offset + static_cast<int64_t>(length)] = 0;
    return 0;
}

int FillMemBlock(MemBlock *block, uint32_t value, int64_t count, int64_t offset, int type) {
    if (count < 1) return 0;
    if (int error = CheckRange(block, offset, count)) return error;
    int width = WidthBytes(type);
    if (width == 0 || offset % width != 0 || count % width != 0) return kErrWrongUsage;
    uint8_t pattern[4];
    for (int i = 0; i < width; ++i)
        pattern[i] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
    uint8_t *bytes = block->data.get() + offset;
    for (int64_t i = 0; i < count; ++i)
        bytes[i] = pattern[i % width];
    return 0;
}

int CopyMemBlock(const MemBlock *source, MemBlock *destination, int64_t count, int64_t sourceOffset,
                 int64_t destinationOffset) {
    if (count < 1) return 0;
    if (source == destination) return kErrWrongUsage;
    if (CheckRange(source, sourceOffset, count) || CheckRange(destination, destinationOffset, count))
        return kErrOffsetOutOfRange;
    std::memcpy(destination->data.get() + destinationOffset, source->data.get() + sourceOffset,
                static_cast<size_t>(count));
    return 0;
}

int ReadMemFromFile(FileObject *file, MemBlock *block, int64_t count, int64_t offset) {
    if (count < 1) return 0;
    if (offset < 0) return kErrWrongUsage;
    if (file->access == kAccessWrite) return kErrWriteOnlyFile;
    if (int error = CheckRange(block, offset, count)) return error;
    // What the file still holds is read and the position moves past it; only then is the short read an error.
    const int64_t available = std::max<int64_t>(0, file->size - file->position);
    const int64_t wanted = std::min(count, available);
    if (int error = FileReadBytes(file, block->data.get() + offset, wanted)) return error;
    return wanted == count ? 0 : kErrReadFailed;
}

int WriteMemToFile(FileObject *file, const MemBlock *block, int64_t count, int64_t offset) {
    if (count < 1) return 0;
    if (offset < 0) return kErrWrongUsage;
    if (file->access == kAccessRead) return kErrReadOnlyFile;
    if (int error = CheckRange(block, offset, count)) return error;
    return FileWriteBytes(file, block->data.get() + offset, static_cast<size_t>(count));
}

int FormatMemDump(const MemBlock *block, int64_t length, int64_t offset, std::string *out) {
    if (length <= 0) length = block->size;
    if (offset < 0) return kErrWrongUsage;
    if (int error = CheckRange(block, offset, length)) return error;
    out->clear();
    char text[16];
    for (int64_t line = 0; line < length; line += 16) {
        int64_t lineStart = offset + line;
        int64_t count = std::min<int64_t>(16, length - line);
        std::snprintf(text, sizeof text, "%.8x: ", static_cast<unsigned>(lineStart));
        out->append(text);
        for (int64_t i = 0; i < 16; ++i) {
            if (i < count) {
                std::snprintf(text, sizeof text, "%.2x ", block->data[lineStart + i]);
                out->append(text);
            } else {
                out->append("   ");
            }
        }
        for (int64_t i = 0; i < count; ++i) {
            uint8_t c = block->data[lineStart + i];
            out->push_back(IsGraphicLatin1(c) || c == ' ' ? static_cast<char>(c) : '.');
        }
        out->push_back('\n');
    }
    return 0;
}

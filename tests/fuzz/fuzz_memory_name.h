// Names through which a fuzz input is read in place, as the player reads linked files and memory blocks.
#pragma once

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

#include "host/virtual_file.h"

// Registers the bytes for the lifetime of the object; an empty input still gets a valid address.
class FuzzMemoryFile {
public:
    FuzzMemoryFile(const uint8_t *data, size_t size) : base_(size ? data : &empty_), size_(size) {
        RegisterMemoryRange(base_, size_, 0);
    }
    ~FuzzMemoryFile() { UnregisterMemoryRange(base_); }
    FuzzMemoryFile(const FuzzMemoryFile &) = delete;
    FuzzMemoryFile &operator=(const FuzzMemoryFile &) = delete;

    // ":::memory<address>:<length>"
    std::string MemoryName() const {
        char name[64];
        MakeMemoryFileName(name, sizeof name, base_, size_);
        return name;
    }
    // ":::chunkS0:<length>*<fileName>/<address>": the range carries a file name, as a linked file does.
    std::string ChunkName(const char *fileName) const {
        char address[32];
        std::snprintf(address, sizeof address, "%016" PRIxPTR, reinterpret_cast<uintptr_t>(base_));
        return ":::chunkS0:" + std::to_string(size_) + "*" + fileName + "/" + address;
    }

private:
    uint8_t empty_ = 0;
    const uint8_t *base_;
    size_t size_;
};

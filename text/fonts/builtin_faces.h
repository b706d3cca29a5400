// The three regular Bitstream Vera faces, embedded at build time (text/CMakeLists.txt checks their sizes).
#pragma once

#include <cstddef>
#include <cstdint>

struct BuiltinFace {
    const char *name;
    const uint8_t *data;
    size_t size;
};
extern const BuiltinFace kBuiltinFaces[3];

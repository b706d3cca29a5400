// ReadPictureHeaderSize on arbitrary bytes (the whole input is the file). Any outcome but a crash or a
// sanitizer report is fine.
#include <cstddef>
#include <cstdint>

#include "host/picture.h"
#include "tests/fuzz/fuzz_memory_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzMemoryFile file(data, size);
    int32_t width = 0, height = 0;
    ReadPictureHeaderSize(file.MemoryName().c_str(), &width, &height);
    return 0;
}

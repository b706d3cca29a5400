// DecompressFromFile on arbitrary "VLPK" files, read in place and unpacked to a temporary file. Any outcome but
// a crash, a leak or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "host/compressed_file.h"
#include "host/path.h"
#include "runtime/app/startup_config.h"
#include "tests/fuzz/fuzz_memory_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static char destination[kPathBufferSize];
    if (!destination[0]) {
        if (!MakeTempFileName(destination, sizeof destination)) return 0;
        std::atexit([] { std::remove(destination); });
    }
    FuzzMemoryFile file(data, size);
    uint64_t unpacked = 0;
    DecompressFromFile(kPackedFileMagic, file.MemoryName().c_str(), destination, 0, &unpacked);
    return 0;
}

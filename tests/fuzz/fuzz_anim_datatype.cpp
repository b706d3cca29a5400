// The FFmpeg-backed animation datatype on arbitrary bytes: open, frames in order (up to a limit), then out of
// order (each a seek to a key frame). Any outcome but a crash, a leak or a sanitizer report in our code is fine.
#include <cstddef>
#include <cstdint>

#include "host/memory.h"
#include "media/anim/anim_file.h"
#include "tests/fuzz/fuzz_memory_name.h"

namespace {
constexpr int32_t kFuzzMaxFrames = 16;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzMemoryFile memory(data, size);
    int32_t width = 0, height = 0, frames = 0;
    AnimDatatypeReader *reader = OpenAnimDatatype(memory.MemoryName().c_str(), &width, &height, &frames);
    if (!reader) return 0;
    const int32_t count = frames < kFuzzMaxFrames ? frames : kFuzzMaxFrames;
    for (int32_t n = 0; n < count; n++) FreeBlock(ReadAnimDatatypeFrame(reader, n));
    for (int32_t n : {frames - 1, 0, count / 2}) {
        FreeBlock(ReadAnimDatatypeFrame(reader, n));
        GetAnimDatatypeFrameDelay(reader, n);
    }
    CloseAnimDatatype(reader);
    return 0;
}

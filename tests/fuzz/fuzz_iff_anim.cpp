// The IFF ANIM reader on arbitrary bytes: open, every frame in order, then backwards (each a replay from frame
// 0). Any outcome but a crash, a leak or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>

#include "host/memory.h"
#include "host/virtual_file.h"
#include "media/codecs/iff_anim.h"
#include "tests/fuzz/fuzz_memory_name.h"

namespace {
constexpr int32_t kFuzzMaxFrames = 64; // a DPAN count may claim 65535 frames over a few deltas
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzMemoryFile memory(data, size);
    VirtualFile *file = OpenVirtualFile(memory.MemoryName().c_str(), kVirtualFileRead);
    int32_t width = 0, height = 0, frames = 0;
    IffAnimReader *anim = OpenIffAnim(file, &width, &height, &frames);
    CloseVirtualFile(file);
    if (!anim) return 0;
    const int32_t count = frames < kFuzzMaxFrames ? frames : kFuzzMaxFrames;
    for (int32_t n = 0; n < count; n++) FreeBlock(ReadIffAnimFrame(anim, n));
    for (int32_t n = count - 1; n >= 0 && n >= count - 4; n--) {
        FreeBlock(ReadIffAnimFrame(anim, n));
        GetIffAnimFrameDelay(anim, n);
    }
    CloseIffAnim(anim);
    return 0;
}

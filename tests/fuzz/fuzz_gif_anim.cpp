// The GIF animation reader on arbitrary bytes: open, every frame in order, then frames out of order (last,
// first, middle), as a disk anim reads them. Any outcome but a crash, a leak or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>

#include "host/memory.h"
#include "host/picture_gif.h"
#include "tests/fuzz/fuzz_memory_name.h"

namespace {
// Larger screens are valid but slow to fuzz: every frame is a copy of the whole screen.
constexpr int64_t kFuzzMaxPixels = int64_t(1) << 20;
constexpr int32_t kFuzzMaxFrames = 64;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzMemoryFile memory(data, size);
    VirtualFile *file = OpenVirtualFile(memory.MemoryName().c_str(), kVirtualFileRead);
    int32_t width = 0, height = 0, frames = 0;
    OpenGifFile(file, &width, &height, &frames, true);
    GifReader *gif = int64_t(width) * height <= kFuzzMaxPixels ? OpenGifFile(file, &width, &height, &frames) : nullptr;
    CloseVirtualFile(file);
    if (!gif) return 0;
    const int32_t count = frames < kFuzzMaxFrames ? frames : kFuzzMaxFrames;
    for (int32_t n = 0; n < count; n++) FreeBlock(ReadGifFrame(gif, n));
    for (int32_t n : {frames - 1, 0, frames / 2}) {
        FreeBlock(ReadGifFrame(gif, n));
        GetGifFrameDelay(gif, n);
    }
    CloseGifFile(gif);
    return 0;
}

// ParseModule on arbitrary bytes, then 0.2 s of rendering with a posted jump halfway: short, so that many inputs
// run; the jump reaches the other patterns.
#include <cstring>
#include <vector>

#include "media/tracker/module.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    ModuleState state;
    std::vector<uint8_t> image(data + 1, data + size);
    if (image.size() >= kModuleHeaderBytes) std::memcpy(&image[kModuleMagicOffset], "M.K.", 4);
    if (ParseModule(&state, std::move(image), kPlaybackRate)) return 0;
    constexpr int kFrames = 4800;
    std::vector<int16_t> pcm(2 * kFrames);
    RenderModuleAudio(&state, pcm.data(), kFrames);
    PostModuleJump(&state, data[0]);
    RenderModuleAudio(&state, pcm.data(), kFrames);
    return 0;
}

// The own IFF 8SVX and 16SV decoder on arbitrary bytes; the first byte picks the sample width.
#include "tests/fuzz/fuzz_sound_voice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    uint32_t bits = (data[0] & 1) ? 16 : 8;
    FuzzOwnDecoder(data + 1, size - 1, [&](const char *name, SoundStream *s) {
        s->kind = bits == 16 ? kSoundKind16sv : kSoundKind8svx;
        return OpenIffSoundStream(name, s, bits);
    });
    return 0;
}

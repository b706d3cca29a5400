// The own RIFF WAVE decoder on arbitrary bytes.
#include "tests/fuzz/fuzz_sound_voice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzOwnDecoder(data, size, [](const char *name, SoundStream *s) {
        s->kind = kSoundKindWave;
        return OpenWaveStream(name, s);
    });
    return 0;
}

// Any sound file as a sample (bit 0 of the first byte clear) or as music (set), through the sniffing, the own
// decoders, libsndfile and libmpg123, read whole: what LoadSample and the streaming side do.
#include <vector>

#include "media/sound/sound_loading.h"
#include "media/sound/sound_stream.h"
#include "media/tracker/module.h"
#include "tests/fuzz/fuzz_memory_name.h"

// libvorbis keeps its info block when a damaged Ogg stream fails inside libsndfile's open: not ours to free.
extern "C" const char *__lsan_default_suppressions() { return "leak:vorbis_info_init\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    FuzzMemoryFile file(data + 1, size - 1);
    std::string name = file.ChunkName("sound");
    if ((data[0] & 1) == 0) {
        SampleData *sample = nullptr;
        uint64_t bytes;
        uint32_t rate;
        int format;
        if (LoadSampleData(name.c_str(), &sample, &bytes, &rate, &format) == 0) FreeSampleData(sample);
        return 0;
    }
    int kind;
    void *handle;
    if (OpenMusicFile(name.c_str(), &kind, &handle)) return 0;
    std::string text;
    for (int attribute = kMusicAttrDuration; attribute <= kMusicAttrBitRate; attribute++)
        GetMusicAttribute(attribute, kind, handle, &text);
    if (kind == kMusicKindStream) {
        auto *stream = static_cast<SoundStream *>(handle);
        std::vector<uint8_t> buffer(size_t(1152) * stream->frameBytes);
        int end = 0;
        while (!end && ReadSoundStream(stream, buffer.data(), 1152, &end) > 0) {
        }
        SeekSoundStream(stream, stream->frameCount / 2);
        ReadSoundStream(stream, buffer.data(), 1152, &end);
    } else {
        std::vector<int16_t> pcm(2 * 4800);
        RenderModuleAudio(static_cast<ModuleState *>(handle), pcm.data(), 4800);
    }
    FreeMusicHandle(kind, handle);
    return 0;
}

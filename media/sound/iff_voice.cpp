// IFF 8SVX and 16SV voices: uncompressed one-shot PCM, mono or stereo (the whole left channel, then the whole
// right one), 8-bit signed or 16-bit signed big-endian.
#include <algorithm>
#include <new>
#include <cstring>

#include "host/iff_chunks.h"
#include "media/sound/sound_stream.h"

namespace {

constexpr uint32_t kVoiceHeaderBytes = 20;
constexpr uint32_t kStereoChannelWord = 6; // CHAN: 2 left only and 4 right only both play as mono

uint16_t Be16(const uint8_t *b) { return uint16_t(b[0] << 8 | b[1]); }
uint32_t Be32(const uint8_t *b) { return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]; }

// 16SV samples arrive big-endian; the player's PCM is native-endian.
void BigEndianToNative16(uint8_t *bytes, size_t samples) {
    for (size_t i = 0; i < samples; i++) {
        int16_t v = int16_t(Be16(bytes + 2 * i));
        std::memcpy(bytes + 2 * i, &v, 2);
    }
}

} // namespace

int OpenIffSoundStream(const char *name, SoundStream *stream, uint32_t bits) {
    stream->file = OpenVirtualFile(name, kVirtualFileRead);
    if (!stream->file) return 0;
    IffChunkWalker walker;
    char form[5];
    IffChunk chunk;
    if (!StartChunkWalk(&walker, stream->file, form) || walker.littleEndian) return RefuseSoundFile(stream);
    // The voice header must be the first chunk.
    uint8_t vhdr[kVoiceHeaderBytes];
    if (!NextChunk(&walker, &chunk) || chunk.declaredLength != kVoiceHeaderBytes ||
        !ReadChunkBytes(&walker, chunk, vhdr, sizeof vhdr))
        return RefuseSoundFile(stream);
    stream->frequency = Be16(vhdr + 12);
    stream->compression = vhdr[15];
    // Frequency 0 would later divide the duration and the play time.
    if (stream->compression != 0 || stream->frequency == 0) return RefuseSoundFile(stream);
    bool stereo = false;
    for (;;) {
        if (!NextChunk(&walker, &chunk)) return RefuseSoundFile(stream);
        if (chunk.Is("CHAN")) {
            uint8_t word[4];
            if (ReadChunkBytes(&walker, chunk, word, 4)) stereo = Be32(word) == kStereoChannelWord;
        } else if (chunk.Is("BODY")) {
            break;
        }
    }
    uint32_t sampleBytes = bits / 8;
    stream->bits = bits;
    stream->channels = stereo ? 2 : 1;
    stream->frameBytes = sampleBytes * stream->channels;
    stream->flags = bits == 16 ? 3 : kSoundFlagSigned;
    stream->dataStart = chunk.dataStart;
    stream->rightStart = chunk.dataStart + int64_t(chunk.declaredLength / 2 / sampleBytes * sampleBytes);
    // A stereo BODY's halves are placed by its declared length; frames count only as far as the left half is
    // really in the file, and a missing right tail reads as silence.
    uint64_t channelSamples = stereo ? uint64_t(chunk.declaredLength) / 2 / sampleBytes
                                     : uint64_t(chunk.length) / sampleBytes;
    stream->frameCount = std::min<uint64_t>(channelSamples, uint64_t(chunk.length) / sampleBytes);
    stream->chunkLength = stream->frameCount * stream->frameBytes;
    stream->blockBytes = stream->frameBytes;
    stream->ready = 1;
    return 1;
}

uint64_t ReadIffSoundStream(SoundStream *stream, void *buffer, uint64_t frames, int *endFlag) {
    frames = ClampReadToEnd(stream, frames, endFlag);
    uint32_t sampleBytes = stream->bits / 8;
    int64_t offset = int64_t(stream->position * sampleBytes);
    auto *out = static_cast<uint8_t *>(buffer);
    size_t bytes = size_t(frames * sampleBytes);
    if (stream->channels == 1) {
        frames = ReadSoundBytes(stream->file, stream->dataStart + offset, out, bytes) / sampleBytes;
    } else {
        if (stream->scratch.size() < bytes) {
            try {
                stream->scratch.resize(bytes);
            } catch (const std::bad_alloc &) {
                frames = bytes = 0;
            }
        }
        uint8_t *scratch = stream->scratch.data();
        uint64_t got = ReadSoundBytes(stream->file, stream->dataStart + offset, scratch, bytes) / sampleBytes;
        for (size_t i = 0; i < size_t(frames); i++)
            std::memcpy(out + (2 * i) * sampleBytes, scratch + i * sampleBytes, sampleBytes);
        ReadSoundBytes(stream->file, stream->rightStart + offset, scratch, bytes);
        for (size_t i = 0; i < size_t(frames); i++)
            std::memcpy(out + (2 * i + 1) * sampleBytes, scratch + i * sampleBytes, sampleBytes);
        frames = got;
    }
    if (sampleBytes == 2) BigEndianToNative16(out, size_t(frames) * stream->channels);
    return CountFramesRead(stream, frames);
}

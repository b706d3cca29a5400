// RIFF WAVE: PCM only, 8-bit unsigned or 16-bit signed little-endian, mono or stereo. Everything else (extended
// headers, compressed, float, 24-bit, more channels) is left to libsndfile.
#include <algorithm>
#include <cstring>

#include "host/iff_chunks.h"
#include "media/sound/sound_stream.h"

namespace {

constexpr uint32_t kPlainFormatBytes = 16;
constexpr uint16_t kFormatTagPcm = 1;

uint16_t Le16(const uint8_t *b) { return uint16_t(b[0] | b[1] << 8); }
uint32_t Le32(const uint8_t *b) { return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24; }

} // namespace

int OpenWaveStream(const char *name, SoundStream *stream) {
    stream->file = OpenVirtualFile(name, kVirtualFileRead);
    if (!stream->file) return 0;
    IffChunkWalker walker;
    char form[5];
    IffChunk chunk;
    if (!StartChunkWalk(&walker, stream->file, form) || !walker.littleEndian) return RefuseSoundFile(stream);
    for (;;) {
        if (!NextChunk(&walker, &chunk)) return RefuseSoundFile(stream);
        if (chunk.Is("data")) break;
        if (!chunk.Is("fmt ")) continue;
        uint8_t fmt[kPlainFormatBytes];
        if (chunk.declaredLength != kPlainFormatBytes || !ReadChunkBytes(&walker, chunk, fmt, sizeof fmt))
            return RefuseSoundFile(stream);
        uint16_t channels = Le16(fmt + 2);
        uint16_t bits = Le16(fmt + 14);
        // Other channel counts would play garbled; libsndfile may still take the file.
        if (Le16(fmt) != kFormatTagPcm || (bits != 8 && bits != 16) || (channels != 1 && channels != 2))
            return RefuseSoundFile(stream);
        stream->channels = channels;
        stream->bits = bits;
        stream->frequency = Le32(fmt + 4);
    }
    if (stream->frequency == 0) return RefuseSoundFile(stream);
    stream->frameBytes = stream->channels * stream->bits / 8;
    stream->dataStart = chunk.dataStart;
    stream->frameCount = uint64_t(chunk.length) / stream->frameBytes;
    stream->chunkLength = stream->frameCount * stream->frameBytes;
    stream->blockBytes = stream->frameBytes;
    stream->ready = 1;
    return 1;
}

uint64_t ReadWaveStream(SoundStream *stream, void *buffer, uint64_t frames, int *endFlag) {
    frames = ClampReadToEnd(stream, frames, endFlag);
    auto *out = static_cast<uint8_t *>(buffer);
    size_t bytes = size_t(frames * stream->frameBytes);
    size_t got = ReadSoundBytes(stream->file, stream->dataStart + int64_t(stream->position * stream->frameBytes), out, bytes);
    frames = got / stream->frameBytes;
    size_t samples = size_t(frames) * stream->channels;
    if (stream->bits == 8) {
        for (size_t i = 0; i < samples; i++) out[i] ^= 0x80; // unsigned to signed
    } else {
        for (size_t i = 0; i < samples; i++) {
            int16_t v = int16_t(Le16(out + 2 * i));
            std::memcpy(out + 2 * i, &v, 2);
        }
    }
    // A partial last frame was zero-filled by the read; make it silence in the signed form too.
    if (stream->bits == 8) std::fill(out + samples, out + bytes, uint8_t(0));
    return CountFramesRead(stream, frames);
}

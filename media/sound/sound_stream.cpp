// Sniffing a sound file and choosing its decoder; read, seek, close and format name by decoder kind.
#include "media/sound/sound_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "host/virtual_file.h"
#include "runtime/app/errors.h"

int SampleFormatCode(uint32_t bits, uint32_t channels, uint32_t flags) {
    bool isSigned = (flags & kSoundFlagSigned) != 0;
    if (bits == 8) return channels == 2 ? (isSigned ? 3 : 1) : (isSigned ? 2 : 0);
    if (bits == 16) return channels == 2 ? 5 : 4;
    return -1;
}

uint32_t GetFormatFrameSize(int code) {
    switch (code) {
    case 0: case 2: return 1;
    case 1: case 3: case 4: return 2;
    case 5: return 4;
    default: return 0;
    }
}

int SniffSoundFormat(const char *name) {
    uint8_t head[64] = {};
    VirtualFile *file = OpenVirtualFile(name, kVirtualFileRead);
    if (!file) return kSoundKindNone;
    ReadVirtualFile(file, head, sizeof head);
    CloseVirtualFile(file);
    if (std::memcmp(head, "FORM", 4) == 0) {
        if (std::memcmp(head + 8, "8SVX", 4) == 0) return kSoundKind8svx;
        if (std::memcmp(head + 8, "16SV", 4) == 0) return kSoundKind16sv;
    }
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) return kSoundKindWave;
    return kSoundKindNone;
}

size_t ReadSoundBytes(VirtualFile *file, int64_t offset, void *out, size_t count) {
    if (count == 0) return 0;
    int64_t got = 0;
    if (SeekVirtualFile(file, offset, kSeekFromStart) >= 0) got = ReadVirtualFile(file, out, count);
    if (got < 0) got = 0;
    // Whatever the file does not deliver plays as silence, never as stale memory.
    if (size_t(got) < count) std::memset(static_cast<uint8_t *>(out) + got, 0, count - size_t(got));
    return size_t(got);
}

uint64_t ClampReadToEnd(const SoundStream *stream, uint64_t frames, int *endFlag) {
    uint64_t left = stream->frameCount - std::min(stream->position, stream->frameCount);
    if (frames <= left) return frames;
    if (endFlag) *endFlag = 1;
    return left;
}

uint64_t CountFramesRead(SoundStream *stream, uint64_t frames) {
    stream->position += frames;
    stream->lastReadFrames = frames;
    stream->lastReadBytes = frames * stream->frameBytes;
    return frames;
}

int RefuseSoundFile(SoundStream *stream) {
    CloseVirtualFile(stream->file);
    stream->file = nullptr;
    return 0;
}

int OpenSoundStream(const char *name, int openMode, SoundStream **out) {
    *out = nullptr;
    SetErrorArgString(name);
    VirtualFile *probe = OpenVirtualFile(name, kVirtualFileRead);
    if (!probe) return kErrCannotReadFile;
    CloseVirtualFile(probe);
    int kind = SniffSoundFormat(name);
    SoundStream *stream = new (std::nothrow) SoundStream;
    if (!stream) return kErrOutOfMemory;
    stream->openMode = openMode;
    stream->kind = kind;
    int taken = 0;
    if (kind == kSoundKind8svx) taken = OpenIffSoundStream(name, stream, 8);
    else if (kind == kSoundKind16sv) taken = OpenIffSoundStream(name, stream, 16);
    else if (kind == kSoundKindWave) taken = OpenWaveStream(name, stream);
    if (!taken) {
        // A damaged own format goes to the general decoder as if no own decoder knew it.
        *stream = SoundStream{};
        stream->openMode = openMode;
        if (int error = OpenMpegStream(name, stream)) {
            delete stream;
            return error;
        }
        stream->kind = kSoundKindDecoder;
    }
    stream->streamFrameCount = stream->frameCount;
    stream->sampleFormat = SampleFormatCode(stream->bits, stream->channels, stream->flags);
    *out = stream;
    return 0;
}

uint64_t ReadSoundStream(SoundStream *stream, void *buffer, uint64_t frames, int *endFlag) {
    if (endFlag) *endFlag = 0;
    switch (stream->kind) {
    case kSoundKind8svx:
    case kSoundKind16sv: return ReadIffSoundStream(stream, buffer, frames, endFlag);
    case kSoundKindWave: return ReadWaveStream(stream, buffer, frames, endFlag);
    case kSoundKindDecoder: return ReadMpegStream(stream, buffer, frames, endFlag);
    default: return 0;
    }
}

void SeekSoundStream(SoundStream *stream, uint64_t frame) {
    if (stream->kind == kSoundKindDecoder) SeekMpegStream(stream, frame);
    else if (stream->kind >= kSoundKind8svx && stream->kind <= kSoundKindWave && frame < stream->frameCount)
        stream->position = frame;
    if (stream->frequency == 0) return; // every decoder refuses frequency 0; kept safe for the division anyway
    double t = double(frame) / stream->frequency;
    double whole = std::floor(t);
    stream->positionSeconds = whole < 4294967295.0 ? uint32_t(whole) : 4294967295u;
    stream->positionMicros = uint32_t((t - whole) * 1000000.0);
}

void CloseSoundStream(SoundStream *stream) {
    if (!stream) return;
    if (stream->kind == kSoundKindDecoder) CloseMpegStream(stream);
    CloseVirtualFile(stream->file);
    delete stream;
}

const char *GetSoundStreamFormatName(const SoundStream *stream) {
    switch (stream->kind) {
    case kSoundKind8svx: return "IFF 8SVX";
    case kSoundKind16sv: return "IFF 16SV";
    case kSoundKindWave: return "RIFF WAVE";
    case kSoundKindDecoder: return GetMpegFormatName(stream);
    default: return nullptr;
    }
}

// SoundStream: one handle for every sound file the player reads, whatever decodes it. Decoded PCM is signed,
// native-endian, stereo interleaved left then right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/app/errors.h"

struct VirtualFile;

struct SoundDecoderHandle;

// Decoder kinds: the three own decoders, then libmpg123 (music) or libsndfile (samples).
constexpr int kSoundKindNone = 0;
constexpr int kSoundKind8svx = 1;
constexpr int kSoundKind16sv = 2;
constexpr int kSoundKindWave = 3;
constexpr int kSoundKindDecoder = 4;

constexpr int kOpenAsSample = 0;
constexpr int kOpenAsMusic = 1;

constexpr uint32_t kSoundFlagSigned = 2; // flags bit 1: the file's samples are signed

struct SoundStream {
    VirtualFile *file = nullptr; // own decoders
    uint32_t bits = 0;
    uint32_t frameBytes = 0;
    uint32_t channels = 0;
    uint32_t flags = 0;
    uint32_t frequency = 0;
    uint32_t compression = 0;
    uint64_t chunkLength = 0; // after open: bytes of sound data
    uint64_t frameCount = 0;
    uint64_t streamFrameCount = 0;
    uint64_t position = 0;
    int64_t dataStart = 0;
    int64_t rightStart = 0; // IFF stereo: offset of the right channel's half of the BODY
    uint32_t blockBytes = 0;
    uint32_t ready = 0; // 1 for the own decoders; the MPEG decoder's samples per frame
    uint64_t lastReadBytes = 0;
    uint64_t lastReadFrames = 0;
    int kind = kSoundKindNone;
    int sampleFormat = -1;
    int32_t bitRate = 0;
    std::vector<uint8_t> scratch; // IFF stereo de-interleaving; only grows
    uint32_t positionSeconds = 0;
    uint32_t positionMicros = 0;
    int openMode = kOpenAsSample;
    SoundDecoderHandle *decoderHandle = nullptr; // kind 4
};

// 1 IFF 8SVX, 2 IFF 16SV, 3 RIFF WAVE, 0 anything else or unreadable (only bytes 0-3 and 8-11 are looked at).
int SniffSoundFormat(const char *name);
// 0 and a new stream, or kErrCannotReadFile (unreadable), kErrSampleUnknownFormat (no decoder takes it as a sample)
// or kErrCannotLoadSample (nor as music).
int OpenSoundStream(const char *name, int openMode, SoundStream **out);
// Reads up to frames frames of frameBytes each; the frames read. *endFlag (optional) is 1 when the request
// was cut at the end of the sound.
uint64_t ReadSoundStream(SoundStream *stream, void *buffer, uint64_t frames, int *endFlag);
// Positions at frame when it lies inside the sound; the time of frame is recorded either way.
void SeekSoundStream(SoundStream *stream, uint64_t frame);
void CloseSoundStream(SoundStream *stream);
// "IFF 8SVX", "IFF 16SV", "RIFF WAVE", the kind-4 decoder's name, or null.
const char *GetSoundStreamFormatName(const SoundStream *stream);

// The sample-format code: 0/1 8-bit mono/stereo, 2/3 the same from a signed source, 4/5 16-bit mono/stereo,
// -1 any other width.
int SampleFormatCode(uint32_t bits, uint32_t channels, uint32_t flags);
// Bytes per frame of a sample-format code; 0 for an unknown code.
uint32_t GetFormatFrameSize(int code);

// ---- The decoders (one file each) ----------------------------------------------------------------------------
// Open returns 1 when it filled the stream, 0 when it refuses the file (and closed what it opened).
int OpenIffSoundStream(const char *name, SoundStream *stream, uint32_t bits); // 8SVX (8) and 16SV (16)
uint64_t ReadIffSoundStream(SoundStream *stream, void *buffer, uint64_t frames, int *endFlag);
int OpenWaveStream(const char *name, SoundStream *stream);
uint64_t ReadWaveStream(SoundStream *stream, void *buffer, uint64_t frames, int *endFlag);
// Kind 4: MPEG audio as music or a sample, other formats through libsndfile as a sample. 0 or an error code (kErrCannotLoadSample music,
// kErrSampleUnknownFormat sample).
int OpenMpegStream(const char *name, SoundStream *stream);
uint64_t ReadMpegStream(SoundStream *stream, void *buffer, uint64_t frames, int *endFlag);
void SeekMpegStream(SoundStream *stream, uint64_t frame);
void CloseMpegStream(SoundStream *stream);
const char *GetMpegFormatName(const SoundStream *stream);
// Kind 4 music: the decoder's position in milliseconds and its bit rate in kbit/s.
int64_t GetMpegPosition(SoundStream *stream);
int32_t GetMpegBitRate(SoundStream *stream);

// Shared by the decoders: a request cut to the frames left (setting *endFlag when cut); the position and the
// last-read counts after a read of frames; closing a refused file (returns 0).
uint64_t ClampReadToEnd(const SoundStream *stream, uint64_t frames, int *endFlag);
uint64_t CountFramesRead(SoundStream *stream, uint64_t frames);
int RefuseSoundFile(SoundStream *stream);
// Reads count bytes at offset, zero-filling whatever the file does not deliver;
// the bytes really read.
size_t ReadSoundBytes(VirtualFile *file, int64_t offset, void *out, size_t count);

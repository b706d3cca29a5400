// Between the sound commands and the decoders: samples decode whole into SampleData; musics open as a stream
// (kind 1) or as a tracker module (kind 2).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SoundStream;
struct ModuleState;

constexpr int kMusicKindNone = 0;
constexpr int kMusicKindStream = 1;
constexpr int kMusicKindModule = 2;

struct SampleData {
    std::vector<uint8_t> pcm; // the SoundStream PCM form
    uint32_t bits = 0;
    uint32_t frameBytes = 0;
    uint32_t channels = 0;
    uint32_t flags = 0;
    uint64_t frameCount = 0;
    uint32_t soundNumber = 0; // set by the audio device when it takes the sound
};

// Music attributes of GetMusicAttribute.
constexpr int kMusicAttrDuration = 0;
constexpr int kMusicAttrPosition = 1;
constexpr int kMusicAttrFormatName = 2;
constexpr int kMusicAttrFormatCode = 3;
constexpr int kMusicAttrFrequency = 4;
constexpr int kMusicAttrBitRate = 5;

// 0 and a new SampleData with its size in bytes, frequency and sample-format code; or kErrCannotReadFile,
// kErrSampleUnknownFormat, kErrStreamNotSample, kErrSampleBits, kErrOutOfMemory.
int LoadSampleData(const char *name, SampleData **out, uint64_t *size, uint32_t *frequency, int *format);
// 8-bit signed mono from bytes (taken over); the format code is 2.
int CreateSampleData(std::vector<uint8_t> bytes, SampleData **out, int *format);
void FreeSampleData(SampleData *data);
int IsSampleFile(const char *name);

// 0 with the kind and its handle (SoundStream or ModuleState), or kErrCannotReadFile, kErrReadFailed,
// kErrOutOfMemory, kErrUnknownMusicFormat.
int OpenMusicFile(const char *name, int *kind, void **handle);
// 1 or 0; *formatName is "Protracker", the decoder's name, or "Unknown".
int IsMusicFile(const char *name, std::string *formatName);
// Numbers as doubles (-1 where a kind has none); the format name goes to *text.
double GetMusicAttribute(int attribute, int kind, void *handle, std::string *text);
void FreeMusicHandle(int kind, void *handle);
int IsMusicSeekable(int kind);

// The module position: what 2 the order position, 1 the row; what 0 posts a jump to order position value (the
// player wraps one past the song to 0). The caller checks that the module is the one playing.
constexpr int kModuleJump = 0;
constexpr int kModuleRow = 1;
constexpr int kModuleOrder = 2;
int AccessModulePosition(ModuleState *module, int what, int value);

#include "media/sound/sound_loading.h"

#include <new>

#include "host/virtual_file.h"
#include "media/sound/sound_stream.h"
#include "media/tracker/module.h"
#include "runtime/app/errors.h"

namespace {

// The largest "M.K." module is about 4 MiB (128 patterns, 31 samples of 128 KiB); far larger files are not ones.
constexpr int64_t kMaxModuleFileBytes = int64_t(16) << 20;

const char *const kMusicKindNames[] = {"Unknown", "Audio Stream", "Protracker"};

// The 4 bytes at the module magic's offset, or false when the file is shorter.
bool HasModuleMagic(VirtualFile *file) {
    char magic[4];
    if (SeekVirtualFile(file, int64_t(kModuleMagicOffset), kSeekFromStart) < 0) return false;
    return ReadVirtualFile(file, magic, 4) == 4 && std::string_view(magic, 4) == "M.K.";
}

bool Loadable(const SoundStream *s) { return s->chunkLength > 0 && s->frameBytes > 0 && s->bits > 0; }

// Frames as milliseconds truncated to 32 bits; more (a damaged header's frame count) saturates.
double Milliseconds(uint64_t frames, uint32_t frequency) {
    const double ms = double(frames) / frequency * 1000.0;
    return ms < 4294967295.0 ? double(uint32_t(ms)) : 4294967295.0;
}

} // namespace

int LoadSampleData(const char *name, SampleData **out, uint64_t *size, uint32_t *frequency, int *format) {
    *out = nullptr;
    SoundStream *stream = nullptr;
    if (int error = OpenSoundStream(name, kOpenAsSample, &stream)) return error;
    int error = 0;
    if (!Loadable(stream)) error = kErrStreamNotSample;
    else if (stream->sampleFormat == -1) error = kErrSampleBits;
    SampleData *data = nullptr;
    if (!error) {
        data = new (std::nothrow) SampleData;
        try {
            // The decoders bound chunkLength by the bytes they really have, so this is no header's word.
            if (data) data->pcm.assign(size_t(stream->chunkLength), 0);
        } catch (const std::bad_alloc &) {
            delete data;
            data = nullptr;
        }
        if (!data) error = kErrOutOfMemory;
    }
    if (!error) {
        ReadSoundStream(stream, data->pcm.data(), stream->frameCount, nullptr);
        data->bits = stream->bits;
        data->frameBytes = stream->frameBytes;
        data->channels = stream->channels;
        data->flags = stream->flags;
        data->frameCount = stream->frameCount;
        *out = data;
        *size = stream->chunkLength;
        *frequency = stream->frequency;
        *format = stream->sampleFormat;
    }
    CloseSoundStream(stream);
    return error;
}

int CreateSampleData(std::vector<uint8_t> bytes, SampleData **out, int *format) {
    auto *data = new (std::nothrow) SampleData;
    if (!data) return kErrOutOfMemory;
    data->frameCount = bytes.size();
    data->pcm = std::move(bytes);
    data->bits = 8;
    data->frameBytes = 1;
    data->channels = 1;
    data->flags = kSoundFlagSigned;
    *out = data;
    *format = SampleFormatCode(8, 1, kSoundFlagSigned);
    return 0;
}

void FreeSampleData(SampleData *data) { delete data; }

int IsSampleFile(const char *name) {
    SoundStream *stream = nullptr;
    if (OpenSoundStream(name, kOpenAsSample, &stream)) return 0;
    int ok = Loadable(stream) ? 1 : 0;
    CloseSoundStream(stream);
    return ok;
}

int OpenMusicFile(const char *name, int *kind, void **handle) {
    *kind = kMusicKindNone;
    *handle = nullptr;
    SetErrorArgString(name);
    VirtualFile *file = OpenVirtualFile(name, kVirtualFileRead);
    if (!file) return kErrCannotReadFile;
    if (HasModuleMagic(file)) {
        std::vector<uint8_t> image;
        int read = ReadWholeVirtualFile(file, 0, kMaxModuleFileBytes, image);
        CloseVirtualFile(file);
        if (read) return read == 2 ? kErrReadFailed : kErrUnknownMusicFormat;
        auto *module = new (std::nothrow) ModuleState;
        if (!module) return kErrOutOfMemory;
        int error;
        try {
            error = ParseModule(module, std::move(image), kPlaybackRate);
        } catch (const std::bad_alloc &) {
            error = kErrOutOfMemory;
        }
        if (error) {
            delete module;
            return error;
        }
        *kind = kMusicKindModule;
        *handle = module;
        return 0;
    }
    CloseVirtualFile(file);
    SoundStream *stream = nullptr;
    int error = OpenSoundStream(name, kOpenAsMusic, &stream);
    if (error == kErrCannotLoadSample) error = kErrUnknownMusicFormat;
    if (error) return error;
    *kind = kMusicKindStream;
    *handle = stream;
    return 0;
}

int IsMusicFile(const char *name, std::string *formatName) {
    *formatName = kMusicKindNames[kMusicKindNone];
    VirtualFile *file = OpenVirtualFile(name, kVirtualFileRead);
    if (!file) return 0;
    bool module = HasModuleMagic(file);
    CloseVirtualFile(file);
    if (module) {
        *formatName = kMusicKindNames[kMusicKindModule];
        return 1;
    }
    SoundStream *stream = nullptr;
    if (OpenSoundStream(name, kOpenAsMusic, &stream)) return 0;
    *formatName = GetSoundStreamFormatName(stream);
    CloseSoundStream(stream);
    return 1;
}

double GetMusicAttribute(int attribute, int kind, void *handle, std::string *text) {
    if (kind == kMusicKindModule) {
        switch (attribute) {
        case kMusicAttrFormatName: *text = kMusicKindNames[kMusicKindModule]; return 0;
        case kMusicAttrFormatCode: return 5;
        case kMusicAttrFrequency: return kPlaybackRate;
        default: return -1;
        }
    }
    if (kind != kMusicKindStream) return -1;
    auto *s = static_cast<SoundStream *>(handle);
    switch (attribute) {
    case kMusicAttrDuration: return Milliseconds(s->frameCount, s->frequency);
    case kMusicAttrPosition:
        if (s->kind == kSoundKindDecoder) return double(GetMpegPosition(s));
        return Milliseconds(s->position, s->frequency);
    case kMusicAttrFormatName: *text = GetSoundStreamFormatName(s); return 0;
    case kMusicAttrFormatCode: return SampleFormatCode(s->bits, s->channels, s->flags);
    case kMusicAttrFrequency: return s->frequency;
    case kMusicAttrBitRate:
        if (s->kind == kSoundKindDecoder) return GetMpegBitRate(s);
        if (s->bitRate) return s->bitRate;
        if (!Loadable(s)) return 0;
        return int32_t(s->frequency * s->frameBytes) / 1024 * 8; // 22050 Hz 16-bit stereo: 688
    default: return 0;
    }
}

void FreeMusicHandle(int kind, void *handle) {
    if (kind == kMusicKindStream) CloseSoundStream(static_cast<SoundStream *>(handle));
    else if (kind == kMusicKindModule) delete static_cast<ModuleState *>(handle);
}

int IsMusicSeekable(int kind) { return kind == kMusicKindStream ? 1 : 0; }

int AccessModulePosition(ModuleState *module, int what, int value) {
    switch (what) {
    case kModuleOrder: return module->orderPosition;
    case kModuleRow: return module->row;
    case kModuleJump: PostModuleJump(module, value); return 0;
    default: return 0;
    }
}

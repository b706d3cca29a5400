// Registration, attribute hooks and the sample commands of the sound library.
#include "media/sound_library.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "host/catalog.h"
#include "host/tasks.h"
#include "imaging/graphics_library.h"
#include "imaging/position.h"
#include "media/sound/audio_channels.h"
#include "media/sound/music_playback.h"
#include "media/sound/sound_events.h"
#include "media/sound/sound_loading.h"
#include "media/sound/sound_objects.h"
#include "media/sound/sound_stream.h"
#include "runtime/app/attributes.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_list.h"
#include "runtime/app/utilities.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kSoundReference;

namespace {

void ReleaseSampleObject(SampleObject *s) {
    StopSampleChannels(s->data);
    UnloadAhiSound(s->data);
    FreeSampleData(s->data);
}

constexpr ObjectRules<SampleObject> kSampleRules{.notFoundError = kErrSampleNotFound, .release = ReleaseSampleObject};

} // namespace

ObjectList<SampleObject> SampleList{&kSampleRules};
int SoundDisabled = 0;
int MasterVolumeSetting = 30;

int EnsureAudioOpen() {
    if (AudioDeviceOpen()) return 1;
    if (OpenAudio(MasterVolumeSetting) == 0) return 1;
    SoundDisabled = 1;
    return 0;
}

int PushCreatedId(VMState *vm, const ObjectId &requested, void *record) {
    return PushAutoHandle(vm, requested, record);
}

void WaitWhilePumping(VMState *vm, bool (*done)(const void *), const void *context) {
    for (;;) {
        if (PumpEvents(vm)) return;
        if (done(context)) return;
        WaitTicks(vm, 10);
    }
}

namespace {

// The sample-type constants of the sample-format codes 0..5.
int32_t SampleType(int format) {
    static const int32_t types[] = {0, 2, 0, 2, 1, 3};
    return format >= 0 && format <= 5 ? types[format] : -1;
}

int FindSample(const ObjectId &id, SampleObject **out) { return SampleList.Find(id, out, 0); }

// A numbered id that is loaded again replaces the old object.
void FreeSampleOfId(const ObjectId &id) {
    if (IsAutoHandleRequest(id)) return;
    if (SampleObject *old = SampleList.Find(id)) SampleList.Erase(old);
}

int AddSample(VMState *vm, ObjectId id, SampleData *data, uint32_t pitch, int format, uint64_t size) {
    if (int error = LoadAhiSound(data)) {
        FreeSampleData(data);
        return error;
    }
    auto *s = new SampleObject;
    s->data = data, s->pitch = pitch, s->format = format, s->size = size;
    if (!SampleList.Add(s, id)) {
        ReleaseSampleObject(s);
        delete s;
        return kErrOutOfMemory;
    }
    return PushCreatedId(vm, id, s);
}

// The panning constants LEFT, RIGHT and CENTER, then 0..255.
int32_t ReadPanning(double value) {
    const int32_t p = SaturateToInt32(value);
    if (p == kPosLeft) return 0;
    if (p == kPosRight) return 255;
    if (p == kPosCenter) return 128;
    return std::clamp(p, 0, 255);
}

int CmdLoadSample(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const std::string file = CheckFileNameArg(vm, 2, 0);
    const std::string shown = CheckStringArg(vm, 2);
    if (SoundDisabled || !EnsureAudioOpen()) return 0;
    FreeSampleOfId(id);
    SetErrorArgString(shown);
    PrintConsoleMessage(GetCatalogMessage(kMsgLoadingSample), shown.c_str(), 1);
    SampleData *data = nullptr;
    uint64_t size = 0;
    uint32_t frequency = 0;
    int format = 0;
    if (int error = LoadSampleData(file.c_str(), &data, &size, &frequency, &format)) {
        if (error == kErrSampleUnknownFormat)
            NoteErrorHint(error, "The formats read, in one or two channels, are WAVE, IFF 8SVX or 16SV, AIFF, AU, CAF, "
                                 "VOC, Wave64, RF64, FLAC, Ogg Vorbis or Opus, MPEG audio (MP3, MP2) and the other "
                                 "formats libsndfile reads.");
        return error;
    }
    if (frequency < 1) {
        FreeSampleData(data);
        return kErrWrongUsage;
    }
    const int results = AddSample(vm, id, data, frequency, format, size);
    if (results < kFirstErrorCode) PrintDoneMessage(GetCatalogMessage(kMsgDone));
    return results;
}

int CmdCreateSample(VMState *vm) {
    CheckArgs(vm, 3, 3);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    CheckTableArg(vm, 2);
    const int32_t pitch = CheckInt32Arg(vm, 3);
    if (SoundDisabled) return 0;
    if (pitch < 1) return kErrWrongUsage;
    if (!EnsureAudioOpen()) return 0;
    FreeSampleOfId(id);
    std::vector<uint8_t> bytes;
    for (int64_t i = 0;; i++) {
        RawGetIndex(vm, 2, i);
        if (ValueType(vm, -1) == TNIL) {
            SetTop(vm, -2);
            break;
        }
        const std::string index = std::to_string(i);
        bytes.push_back(uint8_t(int32_t(int64_t(CheckNumberField(vm, GetTop(vm), index.c_str())))));
        SetTop(vm, -2);
    }
    if (bytes.empty()) return kErrWrongUsage;
    const uint64_t size = bytes.size();
    SampleData *data = nullptr;
    int format = 0;
    if (int error = CreateSampleData(std::move(bytes), &data, &format)) return error;
    return AddSample(vm, id, data, uint32_t(pitch), format, size);
}

int CmdFreeSample(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const ObjectId id = IdArg(vm, 1);
    if (SoundDisabled) return 0;
    SampleObject *s = nullptr;
    if (int error = FindSample(id, &s)) return error;
    SampleList.Erase(s);
    return 0;
}

// PlaySample(id [, options or times], ...): up to four samples that start on the same output frame.
int CmdPlaySample(VMState *vm) {
    CheckArgs(vm, 1, 0);
    if (SoundDisabled) return 0;
    const int n = GetTop(vm);
    const int pairs = (n + 1) / 2;
    if (pairs > 4) return kErrWrongUsage;
    int error = 0;
    for (int k = 1; k <= pairs && !error; k++) {
        ObjectId id{};
        ReadObjectId(&id, vm, 2 * k - 1);
        int32_t time = -1, volume = -1, panning = -1, pitch = -1, times = 1;
        const int options = 2 * k;
        if (options <= n && ValueType(vm, options) == TTABLE) {
            int timeGiven = 0, timesGiven = 0;
            GetTableOption(vm, options, "time", &time, &timeGiven);
            if (timeGiven && time < 1) error = kErrWrongUsage;
            if (GetTableOption(vm, options, "volume", &volume)) volume = std::clamp(volume, 0, 64);
            double pan = 0;
            if (GetTableOptionNumber(vm, options, "panning", &pan)) panning = ReadPanning(pan);
            if (GetTableOption(vm, options, "times", &times, &timesGiven)) time = -1;
            if (GetTableOption(vm, options, "pitch", &pitch) && pitch != -1 && pitch < 1) error = kErrWrongUsage;
        } else if (options <= n) {
            times = CheckInt32Arg(vm, options);
        }
        SampleObject *s = nullptr;
        if (!error) error = FindSample(id, &s);
        if (error) break;
        if (pitch == -1) pitch = int32_t(s->pitch);
        if (volume == -1) volume = s->volume;
        if (panning == -1) panning = s->panning;
        error = PreparePlaySample(s->data, s->id, uint32_t(pitch), volume, panning, time, times);
    }
    if (error) {
        CancelPreparedSamples();
        return error;
    }
    PlayPreparedSamples();
    return 0;
}

// The sample of a command that does nothing while the device is closed (*out stays null then).
int ReadSampleWhileOpen(VMState *vm, SampleObject **out) {
    CheckArgs(vm, 1, 1);
    const ObjectId id = IdArg(vm, 1);
    *out = nullptr;
    return AudioDeviceOpen() ? FindSample(id, out) : 0;
}

int CmdStopSample(VMState *vm) {
    SampleObject *s = nullptr;
    if (int error = ReadSampleWhileOpen(vm, &s)) return error;
    if (s) StopSampleChannels(s->data);
    return 0;
}

int CmdWaitSampleEnd(VMState *vm) {
    SampleObject *s = nullptr;
    if (int error = ReadSampleWhileOpen(vm, &s)) return error;
    if (!s) return 0;
    WaitWhilePumping(vm, [](const void *data) {
        return !IsSampleOnChannel(static_cast<SampleData *>(const_cast<void *>(data)));
    }, s->data);
    return 0;
}

int CmdIsSamplePlaying(VMState *vm) {
    SampleObject *s = nullptr;
    if (int error = ReadSampleWhileOpen(vm, &s)) return error;
    PushNumber(vm, s ? IsSampleOnChannel(s->data) : 0);
    return 1;
}

// One of volume (0..64), pitch (at least 1) and panning (0..255) changes; a playing sample follows at once.
int SetSampleAttributes(const ObjectId &id, int32_t volume, int32_t pitch, double panning, bool setPanning) {
    if (!AudioDeviceOpen()) return 0;
    SampleObject *s = nullptr;
    if (int error = FindSample(id, &s)) return error;
    if (pitch != -1) {
        if (pitch < 1) return kErrWrongUsage;
        s->pitch = uint32_t(pitch);
    } else if (!setPanning) {
        s->volume = std::clamp(volume, 0, 64);
    } else {
        s->panning = ReadPanning(panning);
    }
    SetPlayingSampleAttributes(s->data, pitch, s->volume, s->panning);
    return 0;
}

int CmdSetVolume(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const ObjectId id = IdArg(vm, 1);
    return SetSampleAttributes(id, SaturateToInt32(ReadNumberOrPercent(vm, 2, 64, 0)), -1, 0, false);
}

int CmdSetPitch(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const ObjectId id = IdArg(vm, 1);
    const int32_t pitch = CheckInt32Arg(vm, 2);
    return SetSampleAttributes(id, -1, pitch == -1 ? 0 : pitch, 0, false);
}

int CmdSetPanning(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const ObjectId id = IdArg(vm, 1);
    return SetSampleAttributes(id, -1, -1, CheckNumberArg(vm, 2), true);
}

int CmdSetMasterVolume(VMState *vm) {
    CheckArgs(vm, 1, 1);
    SetAudioMasterVolume(SaturateToInt32(ReadNumberOrPercent(vm, 1, 64, 0)));
    return 0;
}

int CmdIsSound(VMState *vm) {
    CheckArgs(vm, 0, 0);
    // A failed open here does not switch sound off.
    PushNumber(vm, AudioDeviceOpen() || (!SoundDisabled && OpenAudio(MasterVolumeSetting) == 0));
    return 1;
}

int CmdIsSample(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string name = CheckFileNameArg(vm, 1, 0);
    PushNumber(vm, IsSampleFile(name.c_str()));
    return 1;
}

int SetSoundAttribute(VMState *, int tag, AttributeValue *value) {
    int number = int(value->numbers[0]);
    switch (tag) {
    case kAttrNoSound: SoundDisabled = number; return 1;
    case kAttrMasterVolume: MasterVolumeSetting = number; return 1;
    case kAttrSampleLoopHandler: SetSoundEventHandler("onsampleloop", number); return 1;
    case kAttrSampleEndHandler: SetSoundEventHandler("onsampleend", number); return 1;
    case kAttrMusicEndHandler: SetSoundEventHandler("onmusicend", number); return 1;
    default: return 0;
    }
}

int GetSampleAttribute(int tag, AttributeValue *value) {
    SampleObject *s = SampleList.Find(value->id);
    if (!s) return 0;
    switch (tag) {
    case kAttrSampleType: value->numbers[0] = SampleType(s->format); return 1;
    case kAttrSampleDuration: {
        const uint32_t frameBytes = std::max<uint32_t>(GetFormatFrameSize(s->format), 1);
        // In double, truncated once: samples under a second keep their milliseconds.
        value->numbers[0] = double(uint64_t(double(s->size) / frameBytes / s->pitch * 1000.0));
        return 1;
    }
    case kAttrSamplePitch: value->numbers[0] = s->pitch; return 1;
    case kAttrSamplePosition:
        if (!AudioDeviceOpen()) return 0;
        value->numbers[0] = value->numbers[1] = -1;
        GetSamplePlayTime(s->data, &value->numbers[0], &value->numbers[1]);
        return 1;
    default: return 0;
    }
}

int GetMusicTag(int tag, AttributeValue *value) {
    MusicObject *m = MusicList.Find(value->id);
    if (!m) return 0;
    int what = -1;
    switch (tag) {
    case kAttrMusicDuration: what = kMusicAttrDuration; break;
    case kAttrMusicPosition: what = kMusicAttrPosition; break;
    case kAttrMusicFormat: what = kMusicAttrFormatName; break;
    case kAttrMusicBitrate: what = kMusicAttrBitRate; break;
    case kAttrMusicPitch: what = kMusicAttrFrequency; break;
    case kAttrMusicType: what = kMusicAttrFormatCode; break;
    default: return 0;
    }
    const double answer = QueryMusicAttribute(what, m->kind, m->handle, &value->text);
    value->numbers[0] = tag == kAttrMusicType ? SampleType(int(answer)) : answer;
    return 1;
}

int GetSoundAttribute(VMState *, int tag, AttributeValue *value) {
    if (tag == kAttrSampleType || tag == kAttrSampleDuration || tag == kAttrSamplePitch || tag == kAttrSamplePosition)
        return GetSampleAttribute(tag, value);
    return GetMusicTag(tag, value);
}

// GetAttribute of a sample or music: the attribute numbers map onto the sound attribute tags.
struct TagMapping {
    int32_t attribute, tag;
    bool text;      // the answer is a string
    bool twoValues; // the answer is two numbers
};
const TagMapping kSampleTags[] = {{ATTRTYPE, kAttrSampleType, false, false},
                                  {ATTRDURATION, kAttrSampleDuration, false, false},
                                  {ATTRPITCH, kAttrSamplePitch, false, false},
                                  {ATTRPOSITION, kAttrSamplePosition, false, true}};
const TagMapping kMusicTags[] = {{ATTRTYPE, kAttrMusicType, false, false},
                                 {ATTRDURATION, kAttrMusicDuration, false, false},
                                 {ATTRPITCH, kAttrMusicPitch, false, false},
                                 {ATTRPOSITION, kAttrMusicPosition, false, false},
                                 {ATTRFORMAT, kAttrMusicFormat, true, false},
                                 {ATTRBITRATE, kAttrMusicBitrate, false, false}};

int TaggedAttribute(VMState *vm, ObjectId id, int32_t attribute, const TagMapping *table, size_t n, int notFound) {
    for (size_t i = 0; i < n; ++i) {
        if (table[i].attribute != attribute) continue;
        AttributeValue value;
        value.id = id;
        const int found = table == kSampleTags ? GetSampleAttribute(table[i].tag, &value)
                                               : GetMusicTag(table[i].tag, &value);
        if (!found) break;
        if (table[i].text) {
            PushString(vm, value.text.c_str());
            return 1;
        }
        PushNumber(vm, value.numbers[0]);
        if (!table[i].twoValues) return 1;
        PushNumber(vm, value.numbers[1]);
        return 2;
    }
    return ObjectNotFound(id, notFound, notFound);
}

int SampleAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    return TaggedAttribute(vm, id, attribute, kSampleTags, std::size(kSampleTags), kErrSampleNotFound);
}
int MusicAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    return TaggedAttribute(vm, id, attribute, kMusicTags, std::size(kMusicTags), kErrMusicNotFound);
}

int32_t CountSamples() { return int32_t(SampleList.size()); }
int32_t CountMusics() { return int32_t(MusicList.size()); }

void StopAllSoundsNow() {
    if (!AudioDeviceOpen()) return;
    if (MusicObject *m = CurrentMusic()) StopOrPauseCurrent(m, 0);
    StopSampleChannels(nullptr);
}

void RegisterSoundLibrary(VMState *vm) {
    RegisterCommands(vm, kSoundCommands);
    RegisterCommandLibrary(kSoundCommands, "sound", &kSoundReference);
    RegisterConstants(vm, kSoundConstants);
    AddSetAttributeHook(SetSoundAttribute);
    AddGetAttributeHook(GetSoundAttribute);
    RegisterObjectKind({ObjectKindSample, "SAMPLE", CountSamples, SampleAttribute});
    RegisterObjectKind({ObjectKindMusic, "MUSIC", CountMusics, MusicAttribute});
    TakeSoundEventHook = TakeSoundEvent;
    StopAllSoundsHook = StopAllSoundsNow;
}

void FreeAllSounds(VMState *) {
    StopAllSoundsNow();
    SampleList.Clear();
    FreeAllMusicObjects();
    ShutdownAudio();
    TakeSoundEventHook = nullptr;
    StopAllSoundsHook = nullptr;
    SoundDisabled = 0;
    MasterVolumeSetting = 30;
}

} // namespace

const CommandEntry kSoundCommands[] = {
    {"LoadSample", CmdLoadSample},
    {"CreateSample", CmdCreateSample},
    {"FreeSample", CmdFreeSample},
    {"PlaySample", CmdPlaySample},
    {"StopSample", CmdStopSample},
    {"WaitSampleEnd", CmdWaitSampleEnd},
    {"IsSamplePlaying", CmdIsSamplePlaying},
    {"SetVolume", CmdSetVolume},
    {"SetPitch", CmdSetPitch},
    {"SetPanning", CmdSetPanning},
    {"SetMasterVolume", CmdSetMasterVolume},
    {"IsSample", CmdIsSample},
    {"IsSound", CmdIsSound},
    {"OpenMusic", CmdOpenMusic},
    {"LoadModule", CmdOpenMusic},
    {"CloseMusic", CmdCloseMusic},
    {"FreeModule", CmdCloseMusic},
    {"PlayMusic", CmdPlayMusic},
    {"PlayModule", CmdPlayMusic},
    {"StopMusic", CmdStopMusic},
    {"StopModule", CmdStopMusic},
    {"PauseMusic", CmdPauseMusic},
    {"PauseModule", CmdPauseMusic},
    {"ResumeMusic", CmdResumeMusic},
    {"ResumeModule", CmdResumeMusic},
    {"SeekMusic", CmdSeekMusic},
    {"SetMusicVolume", CmdSetMusicVolume},
    {"IsMusic", CmdIsMusic},
    {"IsModule", CmdIsMusic},
    {"IsMusicPlaying", CmdIsMusicPlaying},
    {"WaitPatternPosition", CmdWaitPatternPosition},
    {"WaitSongPosition", CmdWaitSongPosition},
    {"GetPatternPosition", CmdGetPatternPosition},
    {"GetSongPosition", CmdGetSongPosition},
    {"PlaySubsong", CmdPlaySubsong},
    {nullptr, nullptr},
};

const ConstantEntry kSoundConstants[] = {
    {"MONO8", nullptr, 0},  {"MONO16", nullptr, 1}, {"STEREO8", nullptr, 2},
    {"STEREO16", nullptr, 3}, {"SAMPLE", nullptr, 2}, {"MUSIC", nullptr, 33},
    {nullptr, nullptr, 0},
};

const LibraryDescriptor kSoundLibrary = {"sound", RegisterSoundLibrary, FreeAllSounds};

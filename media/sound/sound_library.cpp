// Registration, constants, attribute tags and the bindings of the sound library. Playing needs the audio device,
// which is not built yet: those commands answer 1491.
#include "media/sound_library.h"

#include <string>

#include "media/sound/sound_events.h"
#include "media/sound/sound_loading.h"
#include "runtime/app/attributes.h"
#include "runtime/app/errors.h"

namespace {

int SoundDisabled = 0;
int MasterVolumeSetting = 0;

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

void RegisterSoundLibrary(VMState *vm) {
    RegisterCommands(vm, kSoundCommands);
    RegisterCommandLibrary(kSoundCommands, "sound");
    RegisterConstants(vm, kSoundConstants);
    AddSetAttributeHook(SetSoundAttribute);
    TakeSoundEventHook = TakeSoundEvent;
}

void FreeAllSounds(VMState *) {
    TakeSoundEventHook = nullptr;
    FreeSoundEventQueue();
}

int CmdIsSample(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string name = CheckFileNameArg(vm, 1, 0);
    PushNumber(vm, IsSampleFile(name.c_str()));
    return 1;
}

// IsMusic and IsModule.
int CmdIsMusic(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string name = CheckFileNameArg(vm, 1, 0);
    std::string format;
    PushNumber(vm, IsMusicFile(name.c_str(), &format));
    PushString(vm, format.c_str());
    return 2;
}

#define VL_NOT_YET(name) \
    int Cmd##name(VMState *) { return CommandNotAvailable(#name); }
// TODO(audio device): the sample and music commands below play through the audio device and the streaming task.
VL_NOT_YET(LoadSample)
VL_NOT_YET(CreateSample)
VL_NOT_YET(FreeSample)
VL_NOT_YET(PlaySample)
VL_NOT_YET(StopSample)
VL_NOT_YET(WaitSampleEnd)
VL_NOT_YET(IsSamplePlaying)
VL_NOT_YET(SetVolume)
VL_NOT_YET(SetPitch)
VL_NOT_YET(SetPanning)
VL_NOT_YET(SetMasterVolume)
VL_NOT_YET(IsSound)
VL_NOT_YET(OpenMusic)
VL_NOT_YET(LoadModule)
VL_NOT_YET(CloseMusic)
VL_NOT_YET(FreeModule)
VL_NOT_YET(PlayMusic)
VL_NOT_YET(PlayModule)
VL_NOT_YET(StopMusic)
VL_NOT_YET(StopModule)
VL_NOT_YET(PauseMusic)
VL_NOT_YET(PauseModule)
VL_NOT_YET(ResumeMusic)
VL_NOT_YET(ResumeModule)
VL_NOT_YET(SeekMusic)
VL_NOT_YET(SetMusicVolume)
VL_NOT_YET(IsMusicPlaying)
VL_NOT_YET(WaitPatternPosition)
VL_NOT_YET(WaitSongPosition)
VL_NOT_YET(GetPatternPosition)
VL_NOT_YET(GetSongPosition)
VL_NOT_YET(PlaySubsong)
#undef VL_NOT_YET

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
    {"LoadModule", CmdLoadModule},
    {"CloseMusic", CmdCloseMusic},
    {"FreeModule", CmdFreeModule},
    {"PlayMusic", CmdPlayMusic},
    {"PlayModule", CmdPlayModule},
    {"StopMusic", CmdStopMusic},
    {"StopModule", CmdStopModule},
    {"PauseMusic", CmdPauseMusic},
    {"PauseModule", CmdPauseModule},
    {"ResumeMusic", CmdResumeMusic},
    {"ResumeModule", CmdResumeModule},
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

// The music commands: streams and tracker modules, one of them playing at a time.
#include <algorithm>
#include <string>

#include "host/catalog.h"
#include "media/sound/music_playback.h"
#include "media/sound/sound_loading.h"
#include "media/sound/sound_objects.h"
#include "media/tracker/module.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"
#include "runtime/app/utilities.h"

MusicObject *PausedMusic = nullptr;

namespace {

// A paused music stops being resumable when it goes.
void ReleaseMusicObject(MusicObject *m) {
    if (CurrentMusic() == m) StopOrPauseCurrent(m, 0);
    if (PausedMusic == m) PausedMusic = nullptr;
    FreeMusicHandle(m->kind, m->handle);
}

constexpr ObjectRules<MusicObject> kMusicRules{.notFoundError = kErrMusicNotFound, .release = ReleaseMusicObject};

} // namespace

ObjectList<MusicObject> MusicList{&kMusicRules};

namespace {

int FindMusic(const ObjectId &id, MusicObject **out) { return MusicList.Find(id, out, 0); }

int StartMusicObject(MusicObject *m) {
    if (MusicObject *playing = CurrentMusic()) StopOrPauseCurrent(playing, 0);
    if (int error = StartMusic(m->kind, m->handle, m, m->id, m->times, m->playNumber, m->volume)) return error;
    CurrentMusicOwner = m;
    PausedMusic = nullptr;
    m->paused = 0;
    return 0;
}

// StopMusic and PauseMusic: with an id the music must be the one playing.
int StopOrPauseCommand(VMState *vm, int pause) {
    CheckArgs(vm, 0, 1);
    ObjectId id{};
    const bool withId = GetTop(vm) >= 1;
    if (withId) ReadObjectId(&id, vm, 1);
    if (SoundDisabled) return 0;
    MusicObject *m = CurrentMusic();
    if (withId && (!m || m->id != id)) return ObjectNotFound(id, kErrMusicNotPlaying, kErrNoMusicPlaying);
    if (!m) return kErrWrongUsage;
    StopOrPauseCurrent(m, pause);
    return 0;
}

bool ModuleReached(const void *context) {
    const auto *wanted = static_cast<const int32_t *>(context);
    MusicObject *m = CurrentMusic();
    if (!m || m->kind != kMusicKindModule) return true;
    return AccessModulePosition(static_cast<ModuleState *>(m->handle), wanted[0], 0) >= wanted[1];
}

int WaitModulePosition(VMState *vm, int what) {
    CheckArgs(vm, 1, 1);
    const int32_t wanted[2] = {what, CheckInt32Arg(vm, 1)};
    if (CurrentMusic()) WaitWhilePumping(vm, ModuleReached, wanted);
    return 0;
}

int PushModulePosition(VMState *vm, int what) {
    CheckArgs(vm, 0, 0);
    MusicObject *m = CurrentMusic();
    PushNumber(vm, m && m->kind == kMusicKindModule ? AccessModulePosition(static_cast<ModuleState *>(m->handle), what, 0)
                                                     : -1);
    return 1;
}

} // namespace

MusicObject *CurrentMusic() { return const_cast<MusicObject *>(static_cast<const MusicObject *>(CurrentMusicOwner.load())); }

void StopOrPauseCurrent(MusicObject *m, int pause) {
    StopMusicPlayback(m->kind, m->handle, pause, &m->playNumber, &m->pausePosition);
    CurrentMusicOwner = nullptr;
    if (pause) {
        PausedMusic = m;
        m->paused = 1;
        return;
    }
    m->pausePosition = 0;
    m->playNumber = 1;
    m->paused = 0;
    PausedMusic = nullptr;
}

void FreeAllMusicObjects() {
    MusicList.Clear();
}

int CmdOpenMusic(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const std::string file = CheckFileNameArg(vm, 2, 0);
    const std::string shown = CheckStringArg(vm, 2);
    if (SoundDisabled) return 0;
    if (!IsAutoHandleRequest(id))
        if (MusicObject *old = MusicList.Find(id)) MusicList.Erase(old);
    if (!EnsureAudioOpen()) return 0;
    PrintConsoleMessage(GetCatalogMessage(kMsgLoadingMusic), shown.c_str(), 1);
    int kind = 0;
    void *handle = nullptr;
    if (int error = OpenMusicFile(file.c_str(), &kind, &handle)) {
        SetErrorArgString(shown);
        if (error == kErrUnknownMusicFormat)
            NoteErrorHint(error, std::string("\"").append(shown).append(
                                     "\" could not be read as music; the formats read are MPEG audio (MP3), WAVE, "
                                     "IFF 8SVX or 16SV, and four-channel \"M.K.\" tracker modules."));
        return error;
    }
    auto *m = new MusicObject;
    m->kind = kind, m->handle = handle;
    if (!MusicList.Add(m, id)) {
        FreeMusicHandle(kind, handle);
        delete m;
        return kErrOutOfMemory;
    }
    PrintDoneMessage(GetCatalogMessage(kMsgDone));
    return PushCreatedId(vm, id, m);
}

int CmdCloseMusic(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const ObjectId id = IdArg(vm, 1);
    if (SoundDisabled) return 0;
    MusicObject *m = nullptr;
    if (int error = FindMusic(id, &m)) return error;
    MusicList.Erase(m);
    return 0;
}

// PlayMusic(id [, {volume, times} or times]).
int CmdPlayMusic(VMState *vm) {
    CheckArgs(vm, 1, 2);
    const ObjectId id = IdArg(vm, 1);
    if (SoundDisabled) return 0;
    MusicObject *m = nullptr;
    if (int error = FindMusic(id, &m)) return error;
    if (GetTop(vm) >= 2) {
        if (ValueType(vm, 2) == TTABLE) {
            // Clamped like SetMusicVolume: the mixer takes no more than full level.
            if (GetTableOption(vm, 2, "volume", &m->volume)) m->volume = std::clamp(m->volume, 0, 64);
            GetTableOption(vm, 2, "times", &m->times);
        } else {
            m->times = ValueType(vm, 2) == TNIL ? 1 : CheckInt32Arg(vm, 2);
        }
    }
    return StartMusicObject(m);
}

int CmdStopMusic(VMState *vm) { return StopOrPauseCommand(vm, 0); }
int CmdPauseMusic(VMState *vm) { return StopOrPauseCommand(vm, 1); }

int CmdResumeMusic(VMState *vm) {
    CheckArgs(vm, 0, 1);
    if (SoundDisabled) return 0;
    MusicObject *m = PausedMusic;
    if (GetTop(vm) >= 1) {
        const ObjectId id = IdArg(vm, 1);
        if (int error = FindMusic(id, &m)) return error;
    } else if (!m) {
        return kErrWrongUsage;
    }
    if (!m->paused) return kErrMusicNotPaused;
    return StartMusicObject(m);
}

int CmdSeekMusic(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const ObjectId id = IdArg(vm, 1);
    const double position = CheckNumberArg(vm, 2);
    if (SoundDisabled) return 0;
    MusicObject *m = nullptr;
    if (int error = FindMusic(id, &m)) return error;
    if (!IsMusicSeekable(m->kind)) return kErrMusicUnsupported;
    std::string unused;
    const double duration = QueryMusicAttribute(kMusicAttrDuration, m->kind, m->handle, &unused);
    if (position < 0 || position > duration - 1) return kErrSeekRange;
    const bool playing = CurrentMusic() == m;
    if (playing) StopOrPauseCurrent(m, 1);
    SeekMusicStream(m->handle, uint32_t(position));
    return playing ? StartMusicObject(m) : 0;
}

int CmdSetMusicVolume(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const ObjectId id = IdArg(vm, 1);
    const int32_t volume = SaturateToInt32(ReadNumberOrPercent(vm, 2, 64, 0));
    if (SoundDisabled) return 0;
    MusicObject *m = nullptr;
    if (int error = FindMusic(id, &m)) return error;
    m->volume = std::clamp(volume, 0, 64);
    SetMusicChannelVolume(m->kind, m->handle, m->volume);
    return 0;
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

int CmdIsMusicPlaying(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const ObjectId id = IdArg(vm, 1);
    MusicObject *m = nullptr;
    if (int error = FindMusic(id, &m)) return error;
    PushNumber(vm, CurrentMusic() == m);
    return 1;
}

int CmdWaitPatternPosition(VMState *vm) { return WaitModulePosition(vm, kModuleRow); }
int CmdWaitSongPosition(VMState *vm) { return WaitModulePosition(vm, kModuleOrder); }
int CmdGetPatternPosition(VMState *vm) { return PushModulePosition(vm, kModuleRow); }
int CmdGetSongPosition(VMState *vm) { return PushModulePosition(vm, kModuleOrder); }

int CmdPlaySubsong(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const int32_t position = CheckInt32Arg(vm, 1);
    MusicObject *m = CurrentMusic();
    if (!m) return kErrWrongUsage;
    if (m->kind != kMusicKindModule) return kErrMusicUnsupported;
    AccessModulePosition(static_cast<ModuleState *>(m->handle), kModuleJump, position);
    return 0;
}

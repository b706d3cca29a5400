// The sound library's objects and state, shared by the sample and the music bindings.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/app/object_list.h"
#include "runtime/vm/vm.h"

struct SampleData;

struct SampleObject {
    ObjectId id{};
    SampleData *data = nullptr;
    int32_t volume = 64; // 0..64
    uint32_t pitch = 0;  // Hz, at least 1
    int format = 0;      // sample-format code
    uint64_t size = 0;   // bytes
    int32_t panning = 128;
};

struct MusicObject {
    ObjectId id{};
    void *handle = nullptr;
    int kind = 0;
    int32_t volume = 64;
    int paused = 0;
    int32_t times = 0;
    int32_t playNumber = 1;
    int64_t pausePosition = 0;
};

extern ObjectList<SampleObject> SampleList;
extern ObjectList<MusicObject> MusicList;
extern int SoundDisabled;
extern int MasterVolumeSetting;
extern MusicObject *PausedMusic;

// 1 when the device is open or opens now; a failure switches sound off for the rest of the run.
int EnsureAudioOpen();
// Pushes the handle of a record that got an automatic id; 1 when a handle was pushed.
int PushCreatedId(VMState *vm, const ObjectId &requested, void *record);
MusicObject *CurrentMusic();
// Stops (pause 0) or pauses the current music and updates its record.
void StopOrPauseCurrent(MusicObject *music, int pause);
void FreeAllMusicObjects();
// The loop of WaitSampleEnd and the pattern waits: until done() holds or the program is to quit.
void WaitWhilePumping(VMState *vm, bool (*done)(const void *), const void *context);

// The music commands (music_commands.cpp).
int CmdOpenMusic(VMState *vm);
int CmdCloseMusic(VMState *vm);
int CmdPlayMusic(VMState *vm);
int CmdStopMusic(VMState *vm);
int CmdPauseMusic(VMState *vm);
int CmdResumeMusic(VMState *vm);
int CmdSeekMusic(VMState *vm);
int CmdSetMusicVolume(VMState *vm);
int CmdIsMusic(VMState *vm);
int CmdIsMusicPlaying(VMState *vm);
int CmdWaitPatternPosition(VMState *vm);
int CmdWaitSongPosition(VMState *vm);
int CmdGetPatternPosition(VMState *vm);
int CmdGetSongPosition(VMState *vm);
int CmdPlaySubsong(VMState *vm);

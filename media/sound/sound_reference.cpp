// Reference rows of the sound library: what tools/reference writes into docs/commands/sound.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"LoadSample", "[handle =] LoadSample(id, file)",
     "Loads a sound file (WAVE, IFF 8SVX or 16SV, and the formats of the system's sound decoders) as a "
     "sample.",
     nullptr,
     {kErrCannotReadFile, kErrCannotLoadSample, kErrSampleUnknownFormat, kErrStreamNotSample, kErrSampleBits},
     "LoadSample(1, \"sfx/jump.wav\")\n"
     "PlaySample(1)"},
    {"CreateSample", "[handle =] CreateSample(id, data, pitch)",
     "Makes an 8-bit mono sample from a list of values from -128 to 127, played at pitch samples per "
     "second.",
     nullptr, {kErrWrongUsage}},
    {"FreeSample", "FreeSample(id)",
     "Stops a sample and frees it.",
     nullptr, {kErrSampleNotFound, kErrObjectNotFound}},
    {"PlaySample", "PlaySample(id[, options | times])",
     "Plays a sample once, or Times times (0 loops it until StopSample); Time plays it for that many "
     "milliseconds. Volume, Pitch and Panning set how it sounds. Up to four samples can be started in "
     "one call by giving more id and options pairs.",
     "Times, Time, Volume, Pitch, Panning", {kErrWrongUsage, kErrSampleNotFound, kErrObjectNotFound},
     "PlaySample(1, {Volume = 32, Times = 2})"},
    {"StopSample", "StopSample(id)",
     "Stops every channel playing the sample.",
     nullptr, {kErrSampleNotFound, kErrObjectNotFound}},
    {"WaitSampleEnd", "WaitSampleEnd(id)",
     "Waits until the sample has finished playing; events are served meanwhile.",
     nullptr, {kErrSampleNotFound, kErrObjectNotFound}},
    {"IsSamplePlaying", "playing = IsSamplePlaying(id)",
     "Returns True while the sample plays on some channel.",
     nullptr, {kErrSampleNotFound, kErrObjectNotFound}},
    {"SetVolume", "SetVolume(id, volume)",
     "Sets a sample's volume, 0 to 64 or a percentage string, also while it plays.",
     nullptr, {kErrSampleNotFound, kErrObjectNotFound}},
    {"SetPitch", "SetPitch(id, pitch)",
     "Sets the rate a sample plays at, in samples per second.",
     nullptr, {kErrSampleNotFound, kErrObjectNotFound}},
    {"SetPanning", "SetPanning(id, panning)",
     "Places a sample between left (0) and right (255); 128 is the middle, and #LEFT, #CENTER and "
     "#RIGHT work too.",
     nullptr, {kErrSampleNotFound, kErrObjectNotFound}},
    {"SetMasterVolume", "SetMasterVolume(volume)",
     "Sets the volume of all sound, 0 to 64 or a percentage string."},
    {"IsSample", "ok = IsSample(file)",
     "Returns True when the file is a sound format the player can load."},
    {"IsSound", "available = IsSound()",
     "Returns True when sound can be played."},
    {"OpenMusic", "[handle =] OpenMusic(id, file)",
     "Opens a music file (MP3, Ogg, WAVE and the like, or a tracker module) to be streamed while it "
     "plays.",
     nullptr, {kErrCannotReadFile, kErrUnknownMusicFormat},
     "OpenMusic(1, \"music/theme.ogg\")\n"
     "PlayMusic(1, {Times = 0})"},
    {"LoadModule", "[handle =] LoadModule(id, file)",
     "Loads a tracker module (MOD, XM, S3M, IT and the like); the same as OpenMusic.",
     nullptr, {kErrCannotReadFile, kErrUnknownMusicFormat}},
    {"CloseMusic", "CloseMusic(id)",
     "Stops a music and closes its file.",
     nullptr, {kErrMusicNotFound, kErrObjectNotFound}},
    {"FreeModule", "FreeModule(id)",
     "Stops a module and frees it; the same as CloseMusic.",
     nullptr, {kErrMusicNotFound, kErrObjectNotFound}},
    {"PlayMusic", "PlayMusic(id[, options | times])",
     "Starts playing a music: Times plays it that many times (0 for ever). Only one music plays at a "
     "time.",
     "Times, Volume", {kErrMusicNotFound, kErrObjectNotFound}},
    {"PlayModule", "PlayModule(id[, options | times])",
     "Starts playing a module; the same as PlayMusic.",
     "Times, Volume", {kErrMusicNotFound, kErrObjectNotFound}},
    {"StopMusic", "StopMusic([id])",
     "Stops the music that plays."},
    {"StopModule", "StopModule([id])",
     "Stops the module that plays; the same as StopMusic."},
    {"PauseMusic", "PauseMusic([id])",
     "Pauses the music that plays; ResumeMusic goes on from there."},
    {"PauseModule", "PauseModule([id])",
     "Pauses the module that plays; the same as PauseMusic."},
    {"ResumeMusic", "ResumeMusic([id])",
     "Goes on playing a paused music.",
     nullptr, {kErrMusicNotPaused, kErrWrongUsage}},
    {"ResumeModule", "ResumeModule([id])",
     "Goes on playing a paused module; the same as ResumeMusic.",
     nullptr, {kErrMusicNotPaused, kErrWrongUsage}},
    {"SeekMusic", "SeekMusic(id, position)",
     "Jumps to a position of a music, in milliseconds, for formats that allow it.",
     nullptr, {kErrMusicUnsupported, kErrSeekRange, kErrMusicNotFound, kErrObjectNotFound}},
    {"SetMusicVolume", "SetMusicVolume(id, volume)",
     "Sets a music's volume, 0 to 64 or a percentage string.",
     nullptr, {kErrMusicNotFound, kErrObjectNotFound}},
    {"IsMusic", "ok = IsMusic(file)",
     "Returns True when the file is a music format the player can stream."},
    {"IsModule", "ok = IsModule(file)",
     "Returns True when the file is a tracker module the player can play."},
    {"IsMusicPlaying", "playing = IsMusicPlaying(id)",
     "Returns True while the music plays.",
     nullptr, {kErrMusicNotFound, kErrObjectNotFound}},
    {"WaitPatternPosition", "WaitPatternPosition(row)",
     "Waits until the playing module reaches a row of its pattern, to time things to the music."},
    {"WaitSongPosition", "WaitSongPosition(position)",
     "Waits until the playing module reaches a position of its song."},
    {"GetPatternPosition", "row = GetPatternPosition()",
     "Returns the row the playing module is at, or -1 when none plays."},
    {"GetSongPosition", "position = GetSongPosition()",
     "Returns the song position the playing module is at, or -1 when none plays."},
    {"PlaySubsong", "PlaySubsong(position)",
     "Makes the playing module jump to a song position.",
     nullptr, {kErrWrongUsage, kErrMusicUnsupported}},
    {nullptr, nullptr, nullptr},
};

const ConstantDoc kConstantDocs[] = {
    {"MONO8", "Sample format: 8-bit mono."},
    {"MONO16", "Sample format: 16-bit mono."},
    {"STEREO8", "Sample format: 8-bit stereo."},
    {"STEREO16", "Sample format: 16-bit stereo."},
    {"SAMPLE", "Object kind: a sample."},
    {"MUSIC", "Object kind: a music."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kSoundReference;
const LibraryReference kSoundReference = {
    "Sound: samples played on channels with volume, pitch and panning, streamed music, and tracker "
    "modules.",
    kCommandDocs, kConstantDocs};

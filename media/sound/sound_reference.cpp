// Reference rows of the sound library: what tools/reference writes into docs/commands/sound.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "LoadSample", .synopsis = "[handle =] LoadSample(id, file)", .arguments = {2, 2},
     .text = "Loads a sound file (WAVE, IFF 8SVX or 16SV, and the formats of the system's sound decoders) "
             "as a sample. An MPEG audio file loads exactly when OpenMusic takes it.",
     .errors = {kErrCannotReadFile, kErrCannotLoadSample, kErrSampleUnknownFormat, kErrStreamNotSample,
                kErrSampleBits},
     .example = "LoadSample(1, \"sfx/jump.wav\")\n"
                "PlaySample(1)"},
    {.name = "CreateSample", .synopsis = "[handle =] CreateSample(id, data, pitch)", .arguments = {3, 3},
     .text = "Makes an 8-bit mono sample from a list of values from -128 to 127, played at pitch samples "
             "per second.",
     .errors = {kErrWrongUsage, kErrNumberFieldExpected}},
    {.name = "FreeSample", .synopsis = "FreeSample(id)", .arguments = {1, 1},
     .text = "Stops a sample and frees it.",
     .errors = {kErrSampleNotFound, kErrObjectNotFound}},
    {.name = "PlaySample", .synopsis = "PlaySample(id[, options | times, ...])", .arguments = {1, kNoMaximum},
     .text = "Plays a sample once, or Times times (0 loops it until StopSample); Time plays it for that "
             "many milliseconds. Volume, Pitch and Panning set how it sounds. Up to four samples can be "
             "started in one call by giving more id and options pairs.",
     .options = "Times, Time, Volume, Pitch, Panning",
     .errors = {kErrWrongUsage, kErrSampleNotFound, kErrObjectNotFound, kErrNoAudioChannel},
     .example = "LoadSample(1, \"sfx/jump.wav\")\n"
                "PlaySample(1, {Volume = 32, Times = 2})"},
    {.name = "StopSample", .synopsis = "StopSample(id)", .arguments = {1, 1},
     .text = "Stops every channel playing the sample.",
     .errors = {kErrSampleNotFound, kErrObjectNotFound}},
    {.name = "WaitSampleEnd", .synopsis = "WaitSampleEnd(id)", .arguments = {1, 1},
     .text = "Waits until the sample has finished playing; events are served meanwhile.",
     .errors = {kErrSampleNotFound, kErrObjectNotFound}},
    {.name = "IsSamplePlaying", .synopsis = "playing = IsSamplePlaying(id)", .arguments = {1, 1},
     .text = "Returns True while the sample plays on some channel.",
     .errors = {kErrSampleNotFound, kErrObjectNotFound}},
    {.name = "SetVolume", .synopsis = "SetVolume(id, volume)", .arguments = {2, 2},
     .text = "Sets a sample's volume, 0 to 64 or a percentage string, also while it plays.",
     .errors = {kErrSampleNotFound, kErrObjectNotFound}},
    {.name = "SetPitch", .synopsis = "SetPitch(id, pitch)", .arguments = {2, 2},
     .text = "Sets the rate a sample plays at, in samples per second.",
     .errors = {kErrSampleNotFound, kErrObjectNotFound}},
    {.name = "SetPanning", .synopsis = "SetPanning(id, panning)", .arguments = {2, 2},
     .text = "Places a sample between left (0) and right (255); 128 is the middle, and #LEFT, #CENTER and "
             "#RIGHT work too.",
     .errors = {kErrSampleNotFound, kErrObjectNotFound}},
    {.name = "SetMasterVolume", .synopsis = "SetMasterVolume(volume)", .arguments = {1, 1},
     .text = "Sets the volume of all sound, 0 to 64 or a percentage string."},
    {.name = "IsSample", .synopsis = "ok = IsSample(file)", .arguments = {1, 1},
     .text = "Returns True when the file is a sound format the player can load."},
    {.name = "IsSound", .synopsis = "available = IsSound()", .arguments = {0, 0},
     .text = "Returns True when sound can be played."},
    {.name = "OpenMusic", .synopsis = "[handle =] OpenMusic(id, file)", .arguments = {2, 2},
     .text = "Opens a music file to be streamed while it plays: MPEG audio (MP3), WAVE, IFF 8SVX or 16SV, "
             "or a four-channel \"M.K.\" tracker module. Other formats (Ogg, FLAC) give 1235. MPEG audio is found "
             "after any ID3v2 tags and after up to 4096 other bytes before its first frame (padding, or a stream "
             "captured from its middle) when several frames follow one another there; a file that starts as a "
             "picture or another sound format is none.",
     .errors = {kErrCannotReadFile, kErrUnknownMusicFormat},
     .example = "OpenMusic(1, \"music/theme.mp3\")\n"
                "PlayMusic(1, {Times = 0})"},
    {.name = "LoadModule", .synopsis = "[handle =] LoadModule(id, file)", .arguments = {2, 2},
     .text = "Opens a music file; the same command as OpenMusic, under a second name. The tracker modules it "
             "reads are four-channel ones of 31 instruments marked \"M.K.\" at byte 1080; XM, S3M and IT "
             "modules, and modules marked \"M!K!\", \"FLT4\", \"4CHN\" or \"8CHN\", give 1235. The "
             "streamed formats of OpenMusic open as well.",
     .errors = {kErrCannotReadFile, kErrUnknownMusicFormat}},
    {.name = "CloseMusic", .synopsis = "CloseMusic(id)", .arguments = {1, 1},
     .text = "Stops a music and closes its file.",
     .errors = {kErrMusicNotFound, kErrObjectNotFound}},
    {.name = "FreeModule", .synopsis = "FreeModule(id)", .arguments = {1, 1},
     .text = "Stops a module and frees it; the same as CloseMusic.",
     .errors = {kErrMusicNotFound, kErrObjectNotFound}},
    {.name = "PlayMusic", .synopsis = "PlayMusic(id[, options | times])", .arguments = {1, 2},
     .text = "Starts playing a music: Times plays it that many times (0 for ever). Only one music plays at "
             "a time.",
     .options = "Times, Volume",
     .errors = {kErrMusicNotFound, kErrObjectNotFound}},
    {.name = "PlayModule", .synopsis = "PlayModule(id[, options | times])", .arguments = {1, 2},
     .text = "Starts playing a module; the same as PlayMusic. A module's channels 1 and 4 are heard on the right, "
             "channels 2 and 3 on the left.",
     .options = "Times, Volume",
     .errors = {kErrMusicNotFound, kErrObjectNotFound}},
    {.name = "StopMusic", .synopsis = "StopMusic([id])", .arguments = {0, 1},
     .text = "Stops the music that plays.",
     .errors = {kErrMusicNotPlaying}},
    {.name = "StopModule", .synopsis = "StopModule([id])", .arguments = {0, 1},
     .text = "Stops the module that plays; the same as StopMusic.",
     .errors = {kErrMusicNotPlaying}},
    {.name = "PauseMusic", .synopsis = "PauseMusic([id])", .arguments = {0, 1},
     .text = "Pauses the music that plays; ResumeMusic goes on from there.",
     .errors = {kErrMusicNotPlaying}},
    {.name = "PauseModule", .synopsis = "PauseModule([id])", .arguments = {0, 1},
     .text = "Pauses the module that plays; the same as PauseMusic.",
     .errors = {kErrMusicNotPlaying}},
    {.name = "ResumeMusic", .synopsis = "ResumeMusic([id])", .arguments = {0, 1},
     .text = "Goes on playing a paused music.",
     .errors = {kErrMusicNotPaused, kErrWrongUsage, kErrMusicNotFound}},
    {.name = "ResumeModule", .synopsis = "ResumeModule([id])", .arguments = {0, 1},
     .text = "Goes on playing a paused module; the same as ResumeMusic.",
     .errors = {kErrMusicNotPaused, kErrWrongUsage, kErrMusicNotFound}},
    {.name = "SeekMusic", .synopsis = "SeekMusic(id, position)", .arguments = {2, 2},
     .text = "Jumps to a position of a music, in milliseconds, for formats that allow it.",
     .errors = {kErrMusicUnsupported, kErrSeekRange, kErrMusicNotFound, kErrObjectNotFound}},
    {.name = "SetMusicVolume", .synopsis = "SetMusicVolume(id, volume)", .arguments = {2, 2},
     .text = "Sets a music's volume, 0 to 64 or a percentage string.",
     .errors = {kErrMusicNotFound, kErrObjectNotFound}},
    {.name = "IsMusic", .synopsis = "ok, format = IsMusic(file)", .arguments = {1, 1},
     .text = "Returns True when the file is in a format OpenMusic reads, and the name of the format "
             "(\"Protracker\" for a module, \"MPEG Audio\", \"RIFF WAVE\" ..., \"Unknown\" with False)."},
    {.name = "IsModule", .synopsis = "ok, format = IsModule(file)", .arguments = {1, 1},
     .text = "The same command as IsMusic, under a second name: it answers True for an MP3 or WAVE file too. "
             "Only a format of \"Protracker\" is a module."},
    {.name = "IsMusicPlaying", .synopsis = "playing = IsMusicPlaying(id)", .arguments = {1, 1},
     .text = "Returns True while the music plays.",
     .errors = {kErrMusicNotFound, kErrObjectNotFound}},
    {.name = "WaitPatternPosition", .synopsis = "WaitPatternPosition(row)", .arguments = {1, 1},
     .text = "Waits until the playing module reaches a row of its pattern, to time things to the music."},
    {.name = "WaitSongPosition", .synopsis = "WaitSongPosition(position)", .arguments = {1, 1},
     .text = "Waits until the playing module reaches a position of its song."},
    {.name = "GetPatternPosition", .synopsis = "row = GetPatternPosition()", .arguments = {0, 0},
     .text = "Returns the row the playing module is at, or -1 when none plays."},
    {.name = "GetSongPosition", .synopsis = "position = GetSongPosition()", .arguments = {0, 0},
     .text = "Returns the song position the playing module is at, or -1 when none plays."},
    {.name = "PlaySubsong", .synopsis = "PlaySubsong(position)", .arguments = {1, 1},
     .text = "Makes the playing module jump to a song position.",
     .errors = {kErrWrongUsage, kErrMusicUnsupported}},
    {},
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

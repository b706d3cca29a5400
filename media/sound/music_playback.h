// Music on one channel from two alternating buffers in sound slots 1 and 2, refilled by the streaming thread.
// Every start, stop, pause, seek and end runs on that thread, so the buffers have one owner.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "runtime/vm/vm.h"

// The library's record of the music that plays. The streaming thread clears it at a music's end only while it
// still names that music.
extern std::atomic<const void *> CurrentMusicOwner;

void StartStreamingThread();
void StopStreamingThread();
// The end-of-sound hook of a music channel (AudioLock held): queues the other buffer and asks for its refill.
void QueueNextStreamBuffer(int channel);
// Blocks until the streaming thread has nothing left to do (the manual output calls it before each pull).
void WaitStreamingIdle();

// kind and handle as OpenMusicFile gives them; owner is the library's record. 0, kErrNoAudioChannel,
// kErrSampleToSoundCard or kErrOutOfMemory.
int StartMusic(int kind, void *handle, const void *owner, ObjectId id, int32_t times, int32_t playNumber,
               int32_t volume);
// Stops or pauses the music when it is on a channel; *playNumber and *position receive its play count and (for
// a pause) its stream position.
void StopMusicPlayback(int kind, void *handle, int pause, int32_t *playNumber, int64_t *position);
void SetMusicChannelVolume(int kind, void *handle, int32_t volume);
void SeekMusicStream(void *stream, uint32_t milliseconds);
// GetMusicAttribute, run where the decoder lives.
double QueryMusicAttribute(int attribute, int kind, void *handle, std::string *text);

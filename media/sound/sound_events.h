// The sound event queue: the audio side posts "sample looped", "sample ended" and "music ended"; the main
// thread's event dispatch takes them oldest first.
#pragma once

#include <cstdint>

#include "scene/events/event_state.h"

// Posts one event; time = (plays - 1) x duration, plus extraMs for a sample end. A failed allocation drops it.
void PostSoundEvent(int32_t kind, ObjectId id, int32_t durationMs, int32_t plays, int32_t extraMs);
// 1 and the oldest event; 0 (out untouched) when the queue is empty.
int TakeSoundEvent(SoundEvent *out);
// "onsampleloop", "onsampleend" or "onmusicend" (exact, lower case): 0; any other name: 1, nothing changed.
int SetSoundEventHandler(const char *name, int value);
// Whether the script has a handler installed, for the audio side (read without a lock).
int SoundEventHandlerSet(int32_t kind);
void FreeSoundEventQueue();

#include "media/sound/sound_events.h"

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>

namespace {

std::mutex queueLock;
std::deque<SoundEvent> queue;
std::atomic<int> sampleLoopHandler{0}, sampleEndHandler{0}, musicEndHandler{0};

} // namespace

void PostSoundEvent(int32_t kind, ObjectId id, int32_t durationMs, int32_t plays, int32_t extraMs) {
    SoundEvent event;
    event.kind = kind;
    event.id = id;
    event.starts = plays;
    int64_t time = int64_t(plays - 1) * durationMs + (kind == kSoundEventSampleEnd ? extraMs : 0);
    event.timeMs = int32_t(time);
    std::lock_guard<std::mutex> lock(queueLock);
    try {
        queue.push_back(event);
    } catch (const std::bad_alloc &) {
        // dropped, as documented
    }
}

int TakeSoundEvent(SoundEvent *out) {
    std::lock_guard<std::mutex> lock(queueLock);
    if (queue.empty()) return 0;
    *out = queue.front();
    queue.pop_front();
    return 1;
}

int SetSoundEventHandler(const char *name, int value) {
    std::atomic<int> *flag = std::strcmp(name, "onsampleloop") == 0  ? &sampleLoopHandler
                             : std::strcmp(name, "onsampleend") == 0 ? &sampleEndHandler
                             : std::strcmp(name, "onmusicend") == 0  ? &musicEndHandler
                                                                     : nullptr;
    if (!flag) return 1;
    *flag = value;
    return 0;
}

int SoundEventHandlerSet(int32_t kind) {
    switch (kind) {
    case kSoundEventSampleLoop: return sampleLoopHandler;
    case kSoundEventSampleEnd: return sampleEndHandler;
    case kSoundEventMusicEnd: return musicEndHandler;
    default: return 0;
    }
}

void FreeSoundEventQueue() {
    std::lock_guard<std::mutex> lock(queueLock);
    queue.clear();
    sampleLoopHandler = sampleEndHandler = musicEndHandler = 0;
}

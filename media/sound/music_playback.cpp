#include "media/sound/music_playback.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <pthread.h>
#include <thread>
#include <vector>

#include "host/audio_output.h"
#include "host/thread_stop.h"
#include "media/sound/audio_channels.h"
#include "media/sound/mixer.h"
#include "media/sound/sound_events.h"
#include "media/sound/sound_loading.h"
#include "media/sound/sound_stream.h"
#include "media/tracker/module.h"
#include "runtime/app/errors.h"
#include "scene/events/event_state.h"

std::atomic<const void *> CurrentMusicOwner{nullptr};

namespace {

constexpr int kStreamSlots[2] = {1, 2};
constexpr uint32_t kStreamBufferFrames = 1764;
constexpr uint32_t kModuleBufferFrames = 2400;
// Buffers hold whole multiples of the sizes above, at least this long: a refill that comes late on a busy machine
// must not let the mixer run into a buffer that still holds the sound before it.
constexpr uint32_t kMinimumBufferMs = 100;

uint32_t BufferFrames(uint32_t unit, uint32_t frequency) {
    uint32_t frames = unit;
    while (uint64_t(frames) * 1000 < uint64_t(kMinimumBufferMs) * frequency) frames += unit;
    return frames;
}

// The one-slot mailbox and the refill requests.
std::mutex streamLock;
// Never destroyed, as the sound server's: a thread parked at the end inside its wait still counts as waiting on them.
std::condition_variable &streamWake = *new std::condition_variable, &streamIdle = *new std::condition_variable;
int (*pendingCommand)(void *) = nullptr;
void *pendingArgument = nullptr;
int commandResult = 0;
int refillRequests = 0;
bool streamBusy = false, streamQuit = false;
std::thread streamThread;
std::atomic<bool> streamReturned{false};

// The streaming thread's own state.
int fedChannel = -1;
std::vector<uint8_t> buffers[2];
uint32_t bufferFrames = 0, frameBytes = 0;
int ending = 0;
int32_t fedPlays = 0, fedPlayCount = 0;
std::atomic<int> bufferIndex{0};

// Silences and frees the fed channel and its buffers.
void EndFeeding() {
    if (fedChannel < 0) return;
    {
        std::lock_guard<std::mutex> lock(AudioLock());
        MixerSetSound(fedChannel, kNoSound, 0, 0, true);
        UnloadMixerSound(kStreamSlots[0]);
        UnloadMixerSound(kStreamSlots[1]);
        ReleaseChannel(fedChannel);
    }
    for (auto &b : buffers) std::vector<uint8_t>().swap(b);
    fedChannel = -1;
}

// Reads the next frames of a stream, looping as its play count says; zero-fills after the last play.
void FillStream(SoundStream *stream, uint8_t *out) {
    uint64_t got = 0;
    bool rewound = false;
    while (got < bufferFrames) {
        int endFlag = 0;
        const uint64_t n = ReadSoundStream(stream, out + got * frameBytes, bufferFrames - got, &endFlag);
        got += n;
        if (got == bufferFrames && !endFlag) return;
        if (n > 0) rewound = false;
        // A read that delivers nothing ends the music too, so a broken stream never replays a stale buffer.
        if (fedPlayCount == fedPlays || rewound) {
            ending = 1;
            std::memset(out + got * frameBytes, 0, size_t(bufferFrames - got) * frameBytes);
            return;
        }
        fedPlayCount++;
        SeekSoundStream(stream, 0);
        rewound = n == 0;
        if (got == bufferFrames) return;
    }
}

void Refill() {
    if (fedChannel < 0) return;
    uint8_t *out = buffers[bufferIndex.load()].data();
    AudioChannel r;
    {
        std::lock_guard<std::mutex> lock(AudioLock());
        r = AudioChannels[fedChannel];
    }
    if (r.state == kChannelModule) {
        RenderModuleAudio(r.module, reinterpret_cast<int16_t *>(out), bufferFrames);
        return;
    }
    if (r.state != kChannelStream) return;
    if (ending == 0) {
        FillStream(r.stream, out);
        return;
    }
    std::memset(out, 0, size_t(bufferFrames) * frameBytes);
    if (ending == 1) { // the last frames play now; the zeros behind them end the music when they start
        ending = 2;
        return;
    }
    const void *owner = r.owner;
    CurrentMusicOwner.compare_exchange_strong(owner, nullptr);
    if (SoundEventHandlerSet(kSoundEventMusicEnd) == 1) PostServerMessage(2, r.id, 0, 0, 0);
    EndFeeding();
    SeekSoundStream(r.stream, 0);
}

int StartCommand(void *argument) {
    const int c = int(reinterpret_cast<intptr_t>(argument));
    EndFeeding();
    AudioChannel r;
    {
        std::lock_guard<std::mutex> lock(AudioLock());
        r = AudioChannels[c];
    }
    int channels = 2, bits = 16;
    uint32_t frequency = kPlaybackRate;
    if (r.state == kChannelModule) {
        bufferFrames = BufferFrames(kModuleBufferFrames, frequency);
        frameBytes = 4;
    } else {
        SoundStream *s = r.stream;
        channels = int(s->channels), bits = int(s->bits), frequency = s->frequency;
        frameBytes = s->frameBytes;
        bufferFrames = BufferFrames(s->kind == kSoundKindDecoder && s->ready ? s->ready : kStreamBufferFrames,
                                    std::min<uint32_t>(frequency, 384000));
    }
    int error = 0;
    if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2) || frameBytes != uint32_t(channels * bits / 8))
        error = kErrSampleToSoundCard;
    if (!error) {
        try {
            for (auto &b : buffers) b.assign(size_t(bufferFrames) * frameBytes, 0);
        } catch (const std::bad_alloc &) {
            error = kErrOutOfMemory;
        }
    }
    if (error) {
        for (auto &b : buffers) std::vector<uint8_t>().swap(b);
        std::lock_guard<std::mutex> lock(AudioLock());
        ReleaseChannel(c);
        return error;
    }
    fedChannel = c;
    ending = 0;
    fedPlays = r.plays;
    fedPlayCount = r.playCount;
    bufferIndex = 0;
    Refill();
    std::lock_guard<std::mutex> lock(AudioLock());
    for (int i = 0; i < 2; i++) LoadMixerSound(kStreamSlots[i], buffers[i].data(), bufferFrames, channels, bits);
    MixerPlay(c, frequency, ConvertVolume(r.volume), kCentrePan, kStreamSlots[0], 0, 0);
    return 0;
}

struct StopRequest {
    int kind;
    void *handle;
    int pause;
    int32_t playNumber;
    int64_t position;
    bool found;
};

int StopCommand(void *argument) {
    auto *q = static_cast<StopRequest *>(argument);
    if (fedChannel < 0) return 0;
    AudioChannel r;
    {
        std::lock_guard<std::mutex> lock(AudioLock());
        r = AudioChannels[fedChannel];
    }
    if ((q->kind == kMusicKindStream ? static_cast<void *>(r.stream) : static_cast<void *>(r.module)) != q->handle)
        return 0;
    q->found = true;
    q->playNumber = fedPlayCount;
    EndFeeding();
    if (q->kind == kMusicKindStream) {
        q->position = int64_t(r.stream->position);
        if (!q->pause) SeekSoundStream(r.stream, 0);
    } else if (!q->pause) {
        // A stop starts the module from its beginning next time.
        std::vector<uint8_t> image = r.module->moduleData;
        ParseModule(r.module, std::move(image), kPlaybackRate);
    }
    return 0;
}

void StreamingMain() {
    const ReturnNotice notice{streamReturned};
    pthread_setname_np(pthread_self(), "vl-stream");
    std::unique_lock<std::mutex> lock(streamLock);
    for (;;) {
        streamWake.wait(lock, [] { return streamQuit || pendingCommand || refillRequests > 0; });
        streamBusy = true;
        if (refillRequests > 0) {
            refillRequests = 0;
            lock.unlock();
            Refill();
            lock.lock();
        }
        if (pendingCommand) {
            auto command = pendingCommand;
            lock.unlock();
            const int result = command(pendingArgument);
            lock.lock();
            commandResult = result;
            pendingCommand = nullptr;
        }
        streamBusy = false;
        streamIdle.notify_all();
        if (streamQuit && !pendingCommand) break;
    }
    lock.unlock();
    EndFeeding();
}

// Runs command on the streaming thread and waits for its result (directly when the thread is not running, or is
// parked at the end and serves no more, whenever it parks: the run is ending then, and its state no longer counts).
int RunStreamCommand(int (*command)(void *), void *argument) {
    std::unique_lock<std::mutex> lock(streamLock);
    const std::thread::id thread = streamThread.get_id();
    const auto idle = [] { return !pendingCommand; };
    if (!streamThread.joinable() || !WaitUnlessParked(streamIdle, lock, thread, idle)) {
        lock.unlock();
        return command(argument);
    }
    pendingCommand = command;
    pendingArgument = argument;
    streamWake.notify_one();
    if (!WaitUnlessParked(streamIdle, lock, thread, idle)) return 0;
    return commandResult;
}

} // namespace

void StartStreamingThread() {
    {
        std::lock_guard<std::mutex> lock(streamLock);
        streamQuit = false;
        refillRequests = 0;
    }
    streamReturned = false;
    streamThread = std::thread(StreamingMain);
    SetAudioSettleFunction(WaitStreamingIdle);
}

void StopStreamingThread() {
    if (LetGoOfThreadAtEnd(streamThread)) return;
    SetAudioSettleFunction(nullptr);
    if (!streamThread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(streamLock);
        streamQuit = true;
    }
    streamWake.notify_one();
    JoinUnlessParked(streamThread, streamReturned);
}

void QueueNextStreamBuffer(int channel) {
    const int index = bufferIndex.load() ^ 1;
    bufferIndex = index;
    MixerSetSound(channel, kStreamSlots[index], 0, 0, false);
    {
        std::lock_guard<std::mutex> lock(streamLock);
        refillRequests++;
    }
    streamWake.notify_one();
}

void WaitStreamingIdle() {
    std::unique_lock<std::mutex> lock(streamLock);
    if (!streamThread.joinable()) return;
    WaitUnlessParked(streamIdle, lock, streamThread.get_id(),
                     [] { return !streamBusy && refillRequests == 0 && !pendingCommand; });
}

int StartMusic(int kind, void *handle, const void *owner, ObjectId id, int32_t times, int32_t playNumber,
               int32_t volume) {
    if (kind != kMusicKindStream && kind != kMusicKindModule) return 0;
    int channel = -1;
    {
        std::lock_guard<std::mutex> lock(AudioLock());
        for (int c = 0; c < kAudioChannelCount && channel < 0; c++)
            if (AudioChannels[c].state == kChannelFree) channel = c;
        if (channel < 0) return kErrNoAudioChannel;
        AudioChannel &r = AudioChannels[channel];
        r = AudioChannel{};
        r.id = id;
        r.owner = owner;
        r.volume = volume;
        if (kind == kMusicKindStream) {
            r.state = kChannelStream;
            r.stream = static_cast<SoundStream *>(handle);
            r.plays = times;
            r.playCount = playNumber;
        } else {
            r.state = kChannelModule;
            r.module = static_cast<ModuleState *>(handle);
        }
    }
    return RunStreamCommand(StartCommand, reinterpret_cast<void *>(intptr_t(channel)));
}

void StopMusicPlayback(int kind, void *handle, int pause, int32_t *playNumber, int64_t *position) {
    StopRequest q{kind, handle, pause, 0, 0, false};
    RunStreamCommand(StopCommand, &q);
    if (!q.found) return;
    if (playNumber && kind == kMusicKindStream) *playNumber = q.playNumber;
    if (position && pause) *position = q.position;
}

void SetMusicChannelVolume(int kind, void *handle, int32_t volume) {
    std::lock_guard<std::mutex> lock(AudioLock());
    for (int c = 0; c < kAudioChannelCount; c++) {
        const AudioChannel &r = AudioChannels[c];
        const void *playing = kind == kMusicKindStream ? static_cast<void *>(r.stream) : static_cast<void *>(r.module);
        if ((r.state == kChannelStream || r.state == kChannelModule) && playing == handle)
            MixerSetVolume(c, ConvertVolume(volume), kCentrePan);
    }
}

void SeekMusicStream(void *stream, uint32_t milliseconds) {
    struct Seek {
        SoundStream *stream;
        uint64_t frame;
    } seek{static_cast<SoundStream *>(stream), 0};
    seek.frame = uint64_t(double(milliseconds) * seek.stream->frequency / 1000.0);
    RunStreamCommand([](void *a) {
        auto *s = static_cast<Seek *>(a);
        SeekSoundStream(s->stream, s->frame);
        return 0;
    }, &seek);
}

double QueryMusicAttribute(int attribute, int kind, void *handle, std::string *text) {
    struct Query {
        int attribute, kind;
        void *handle;
        std::string *text;
        double answer;
    } query{attribute, kind, handle, text, 0};
    RunStreamCommand([](void *a) {
        auto *q = static_cast<Query *>(a);
        q->answer = GetMusicAttribute(q->attribute, q->kind, q->handle, q->text);
        return 0;
    }, &query);
    return query.answer;
}

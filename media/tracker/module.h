// Four-channel "M.K." tracker modules: the loaded state and the replayer. The loader checks every length, loop
// and order entry once, so the mixing loop needs no checks of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kModuleChannels = 4;
constexpr int kModuleInstruments = 31;
constexpr int kModuleRows = 64;
constexpr int kModuleOrders = 128;
constexpr size_t kModuleHeaderBytes = 1084;   // name, instruments, song length, order list, "M.K."
constexpr size_t kModulePatternBytes = 1024;  // 64 rows x 4 channels x 4 bytes
constexpr size_t kModuleMagicOffset = 1080;
constexpr int kModuleFixedShift = 14;         // lengths, loops and positions are 18.14 fixed point
constexpr int kPlaybackRate = 48000;

struct ModuleInstrument {
    char name[23] = {};
    int8_t *data = nullptr; // into the module image (EF inverts bytes of the loop in place)
    int64_t length = 0;           // 18.14, like the three below
    int64_t loopStart = 0;
    int64_t loopLength = 0;       // 0 when the instrument plays once
    int64_t loopEnd = 0;
    uint8_t finetune = 0;         // row of the period table
    uint8_t volume = 0;           // as stored (the player caps it at 63)
};

struct PatternCell {
    uint32_t period = 0;
    uint32_t instrument = 0;
    uint8_t effect = 0, hx = 0, lx = 0, x = 0;
};

struct ModuleChannel {
    int32_t instrument = 0, lastInstrument = 0;
    int64_t position = -1; // 18.14; -1 stopped
    int32_t period = 0, step = 0, offsetMemory = 0, portaSpeed = 0;
    int32_t volume = 0, savedVolume = 0, outVolume = 0, volumeSlide = 0, pan = 0, finetune = 0, tickFlags = 0;
    int32_t portaTargetSpeed = 0, portaTarget = 0, outPeriod = 0;
    int32_t retrigInterval = 0, cutCountdown = 0, retrigCountdown = 0, arpeggio = 0, notePeriod = 0;
    int32_t vibratoSpeedSet = 0, vibratoDepth = 0, vibratoSpeed = 0, vibratoPosition = 0;
    int32_t tremoloSpeedSet = 0, tremoloDepth = 0, tremoloSpeed = 0, tremoloPosition = 0;
    int32_t vibratoWave = 0, tremoloWave = 0, glissFunk = 0, funkCounter = 0, funkOffset = 0;
    int32_t pendingInstrument = 0, loopStartRow = 0, loopCount = 0, loopState = 0;
};

struct ModuleState {
    char songName[21] = {};
    int patternCount = 0;
    int songLength = 1; // 1..128
    ModuleInstrument instruments[kModuleInstruments + 1]; // [0]: no instrument, length 0
    ModuleChannel channels[kModuleChannels];
    std::vector<PatternCell> patterns; // patternCount x 64 rows x 4 cells
    uint8_t orderList[kModuleOrders] = {};
    uint32_t flags = 0;
    int32_t mixRate = 0;
    int32_t masterGain = 256;
    // Read by the main thread while the audio thread plays; the player's own work uses them as plain values.
    std::atomic<int> orderPosition{0};
    std::atomic<int> row{0};
    int speed = 6, tempo = 125;
    int32_t samplesPerTick = 0, tickSampleCounter = 0;
    int ticksLeft = 0, patternDelay = 0, breakRow = 0;
    bool breakPending = false; // D: the next row starts the next order position at breakRow
    int loopJumpRow = -1;      // E6: the next row of the same order position
    int filterOn = 0;
    int32_t pairLeft = 0, pairRight = 0; // first mix step of the frame being rendered
    float filterA = 0, filterB = 0;
    float filterHistory[8] = {};
    std::atomic<int> jumpPending{0}, jumpOrder{0}, jumpRow{0};
    std::vector<uint8_t> moduleData; // the file image; sample data plays in place (and EF writes to it)
};

// "M.K." at offset 1080.
bool IsModuleImage(const uint8_t *data, size_t size);
// Fills state from the file image (which it takes over). 0, or kErrUnknownMusicFormat when the file cannot hold its
// patterns.
int ParseModule(ModuleState *state, std::vector<uint8_t> image, int outputRate);
// Renders frames of 16-bit stereo, interleaved left then right. Applies a pending jump first.
void RenderModuleAudio(ModuleState *state, int16_t *out, size_t frames);
// Posts a jump to the start of an order position; the player takes it before its next buffer.
void PostModuleJump(ModuleState *state, int orderPosition);

// Loading "M.K." modules: every index and length taken from the file is checked here, once.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "media/sound/sound_stream.h"
#include "media/tracker/module.h"

namespace {

constexpr int64_t kOneShotLoopBytes = 2; // a loop of one word (or none) plays the sample once

uint16_t Be16(const uint8_t *b) { return uint16_t(b[0] << 8 | b[1]); }

} // namespace

bool IsModuleImage(const uint8_t *data, size_t size) {
    return size >= kModuleHeaderBytes && std::memcmp(data + kModuleMagicOffset, "M.K.", 4) == 0;
}

int ParseModule(ModuleState *state, std::vector<uint8_t> image, int outputRate) {
    if (!IsModuleImage(image.data(), image.size())) return kErrUnknownMusicFormat;
    const uint8_t *file = image.data();
    size_t size = image.size();
    // Every order entry counts towards the pattern count, even those past the song's end.
    int patterns = *std::max_element(file + 952, file + 952 + kModuleOrders) + 1;
    size_t sampleStart = kModuleHeaderBytes + kModulePatternBytes * size_t(patterns);
    if (size < sampleStart) return kErrUnknownMusicFormat;

    state->moduleData = std::move(image);
    uint8_t *data = state->moduleData.data();
    std::memcpy(state->songName, data, 20);
    state->patternCount = patterns;
    state->songLength = std::clamp<int>(data[950], 1, kModuleOrders);
    std::memcpy(state->orderList, data + 952, kModuleOrders);
    state->flags = 4;
    state->mixRate = 2 * outputRate;
    state->masterGain = 256;
    for (int c = 0; c < kModuleChannels; c++) {
        state->channels[c] = ModuleChannel{};
        state->channels[c].pan = (c == 1 || c == 2) ? 255 : 0;
    }
    double t = std::atan(2.0 * M_PI * 2000.0 / outputRate);
    state->filterA = float((1.0 - t) / (1.0 + t));
    state->filterB = float((1.0 - state->filterA) * 0.5);

    state->patterns.assign(size_t(patterns) * kModuleRows * kModuleChannels, PatternCell{});
    const uint8_t *cellBytes = data + kModuleHeaderBytes;
    for (PatternCell &cell : state->patterns) {
        cell.period = uint32_t(cellBytes[0] & 0x0F) << 8 | cellBytes[1];
        cell.instrument = (cellBytes[0] & 0xF0) | (cellBytes[2] >> 4);
        if (cell.instrument > kModuleInstruments) cell.instrument = 0; // the format has 31
        cell.effect = cellBytes[2] & 0x0F;
        cell.x = cellBytes[3];
        cell.hx = cell.x >> 4;
        cell.lx = cell.x & 0x0F;
        cellBytes += 4;
    }

    size_t cursor = sampleStart;
    state->instruments[0] = ModuleInstrument{};
    for (int i = 1; i <= kModuleInstruments; i++) {
        const uint8_t *h = data + 20 + 30 * (i - 1);
        ModuleInstrument &in = state->instruments[i];
        in = ModuleInstrument{};
        std::memcpy(in.name, h, 22);
        int64_t length = int64_t(Be16(h + 22)) * 2;
        in.finetune = h[24] & 15;
        in.volume = h[25];
        int64_t loopStart = int64_t(Be16(h + 26)) * 2;
        int64_t loopLength = int64_t(Be16(h + 28)) * 2;
        // A sample that runs past the end of the file is shortened; those behind it get length 0.
        length = std::min<int64_t>(length, int64_t(size - cursor));
        in.data = reinterpret_cast<int8_t *>(data + cursor);
        cursor += size_t(length);
        // Loops are kept inside the (possibly shortened) sample, so the mixer and EF never leave it.
        if (loopStart >= length) loopLength = 0;
        else loopLength = std::min(loopLength, length - loopStart);
        if (loopLength <= kOneShotLoopBytes) loopStart = loopLength = 0;
        in.length = length << kModuleFixedShift;
        in.loopStart = loopStart << kModuleFixedShift;
        in.loopLength = loopLength << kModuleFixedShift;
        in.loopEnd = in.loopStart + in.loopLength;
    }

    state->orderPosition = 0;
    state->row = 0;
    state->speed = 6;
    state->tempo = 125;
    state->samplesPerTick = state->mixRate / 50;
    state->tickSampleCounter = 0;
    state->ticksLeft = state->patternDelay = state->breakRow = 0;
    state->breakPending = false;
    state->loopJumpRow = -1;
    state->filterOn = 0;
    std::fill(std::begin(state->filterHistory), std::end(state->filterHistory), 0.0f);
    state->jumpPending = 0;
    return 0;
}

// The replayer: ticks every samplesPerTick mix steps, a row every `speed` ticks, mixing at twice the output rate
// and averaging each pair of mix steps into one output frame.
#include <algorithm>
#include <array>
#include <cmath>

#include "media/tracker/module.h"

namespace {

constexpr int kNotes = 36;
constexpr int kLastNote = kNotes - 1;
constexpr int32_t kLowestPeriod = 113, HighestPeriod = 856;
constexpr int32_t kLoopThreshold = 2 << kModuleFixedShift; // loops of one word count as none
constexpr int kRunSteps = 512;                             // mix steps rendered per inner run

const int16_t kBasePeriods[kNotes] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                                      428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                                      214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

// Rows 0-7 are finetunes 0..+7, rows 8-15 are -8..-1, each an eighth of a semitone from the next; row 0 is the
// format's own list, the other rows follow the equal-tempered ratio, rounded.
std::array<std::array<int16_t, kNotes>, 16> MakePeriodTable() {
    std::array<std::array<int16_t, kNotes>, 16> table{};
    for (int row = 0; row < 16; row++) {
        int finetune = row < 8 ? row : row - 16;
        for (int n = 0; n < kNotes; n++)
            table[row][n] = row == 0 ? kBasePeriods[n]
                                     : int16_t(std::lround(856.0 * std::pow(2.0, -(n + finetune / 8.0) / 12.0)));
    }
    return table;
}
const std::array<std::array<int16_t, kNotes>, 16> kPeriodTable = MakePeriodTable();

const uint8_t kSineTable[32] = {0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212, 224, 235, 244, 250, 253,
                                255, 253, 250, 244, 235, 224, 212, 197, 180, 161, 141, 120, 97,  74,  49,  24};
const uint8_t kFunkTable[16] = {0, 5, 6, 7, 8, 10, 11, 13, 16, 19, 22, 26, 32, 43, 64, 128};

int NoteIndex(int32_t period) {
    for (int i = 0; i < kNotes; i++)
        if (kBasePeriods[i] == period) return i;
    return kLastNote;
}

int32_t TablePeriod(int finetune, int index) { return kPeriodTable[finetune & 15][std::min(index, kLastNote)]; }

int32_t ClampPeriod(int32_t p) { return std::clamp(p, kLowestPeriod, HighestPeriod); }

// Periods of 0 or less (fine slides are not clamped) stop the pitch instead of running backwards.
int32_t StepOf(const ModuleState *s, int32_t period) {
    if (period <= 0) return 0;
    int64_t divisor = int64_t(s->mixRate) * period / 50;
    return divisor > 0 ? int32_t(std::min<int64_t>(1172874197 / divisor, INT32_MAX)) : 0;
}

int Wave(int wave, int position) {
    position &= 63;
    switch (wave & 3) {
    case 0: return position < 32 ? kSineTable[position] : -kSineTable[position & 31];
    case 2: return position < 32 ? 255 : -255;
    default: return position < 32 ? position * 8 : position * 8 - 512;
    }
}

void SetPeriod(ModuleState *s, ModuleChannel &c, int32_t period) {
    c.period = period;
    c.step = StepOf(s, period);
}

void RunEffect(ModuleState *s, ModuleChannel &c, const PatternCell &cell, int64_t oldPosition) {
    const uint32_t P = cell.period;
    const int x = cell.x, hx = cell.hx, lx = cell.lx;
    auto tonePorta = [&] {
        if (P) c.portaTarget = TablePeriod(c.finetune, NoteIndex(int32_t(P)));
        if (c.portaTargetSpeed) c.tickFlags |= 2;
    };
    auto volumeSlide = [&] { c.volumeSlide = x > 15 ? hx : -lx; };
    switch (cell.effect) {
    case 0x0: if (x) c.arpeggio = x; break;
    case 0x1: c.portaSpeed = -x, c.tickFlags |= 1; break;
    case 0x2: c.portaSpeed = x, c.tickFlags |= 1; break;
    case 0x3:
        if (x) c.portaTargetSpeed = x;
        tonePorta();
        break;
    case 0x4:
        if (lx) c.vibratoDepth = lx;
        if (hx) c.vibratoSpeedSet = hx;
        c.vibratoSpeed = c.vibratoSpeedSet;
        c.tickFlags |= 1;
        break;
    case 0x5: tonePorta(), volumeSlide(); break;
    case 0x6:
        c.vibratoSpeed = c.vibratoSpeedSet;
        c.tickFlags |= 1;
        volumeSlide();
        break;
    case 0x7:
        if (lx) c.tremoloDepth = lx * 2;
        if (hx) c.tremoloSpeedSet = hx;
        c.tremoloSpeed = c.tremoloSpeedSet;
        break;
    case 0x9:
        if (P) {
            int32_t offset = x ? x * 256 : c.offsetMemory;
            c.offsetMemory = offset;
            c.position = int64_t(offset) << kModuleFixedShift;
        }
        break;
    case 0xA: volumeSlide(); break;
    case 0xB:
        s->orderPosition = x - 1;
        s->row = kModuleRows - 1;
        break;
    case 0xC: c.volume = std::min(x, 63); break;
    case 0xD: {
        int r = hx * 10 + lx;
        s->breakRow = x && r < kModuleRows ? r : 0;
        s->breakPending = true;
        break;
    }
    case 0xE:
        switch (hx) {
        case 0x0: if (s->flags & 4) s->filterOn = (lx & 1) == 0; break;
        case 0x1: if (lx) c.portaTarget = c.period - lx, SetPeriod(s, c, c.period - lx); break;
        case 0x2: if (lx) c.portaTarget = c.period + lx, SetPeriod(s, c, c.period + lx); break;
        case 0x3: c.glissFunk = (c.glissFunk & 0xF0) | lx; break;
        case 0x4: c.vibratoWave = lx; break;
        case 0x5:
            if (P) {
                c.finetune = lx;
                c.position = 0;
                c.portaTarget = TablePeriod(lx, NoteIndex(int32_t(P)));
                SetPeriod(s, c, c.portaTarget);
            }
            break;
        case 0x6:
            if (lx == 0) {
                if (c.loopState != 2) c.loopStartRow = s->row, c.loopState = 1;
            } else {
                if (c.loopState != 2) c.loopCount = lx, c.loopState = 2;
                if (c.loopCount > 0) c.loopCount--, s->loopJumpRow = c.loopStartRow;
                else c.loopState = 0;
            }
            break;
        case 0x7: c.tremoloWave = lx; break;
        case 0x9: c.position = 0, c.retrigInterval = lx, c.retrigCountdown = lx + 1; break;
        case 0xA: c.volume = c.outVolume = std::min(c.volume + lx, 63); break;
        case 0xB: c.volume = c.outVolume = std::max(c.volume - lx, 0); break;
        case 0xC: c.cutCountdown = lx + 1; break;
        case 0xD: if (P) c.position = oldPosition, c.retrigCountdown = lx + 1; break;
        case 0xE: s->patternDelay = lx; break;
        case 0xF: c.glissFunk = (c.glissFunk & 0x0F) | lx << 4; break;
        }
        break;
    case 0xF:
        if (x > 31) {
            s->tempo = x;
            s->samplesPerTick = s->mixRate * 60 / (x * 24);
        } else if (x) {
            s->speed = x;
        }
        break;
    }
}

void Funk(ModuleState *s, ModuleChannel &c) {
    int speed = c.glissFunk >> 4;
    if (!speed) return;
    c.funkCounter += kFunkTable[speed];
    if (c.funkCounter & 7) return;
    c.funkCounter = 0;
    ModuleInstrument &in = s->instruments[c.instrument];
    int64_t loopBytes = in.loopLength >> kModuleFixedShift;
    if (++c.funkOffset >= loopBytes) c.funkOffset = 0;
    // The loader keeps loops inside the sample, so this write stays in the module image.
    if (in.loopStart > 0 && loopBytes > 0) {
        int8_t &b = in.data[(in.loopStart >> kModuleFixedShift) + c.funkOffset];
        b = int8_t(~b);
    }
}

void ProcessModuleRow(ModuleState *s) {
    if (s->patternDelay > 0) {
        s->patternDelay--;
        s->ticksLeft = s->speed;
        return;
    }
    s->breakRow = 0;
    s->breakPending = false;
    s->loopJumpRow = -1;
    int order = s->orderPosition;
    // A jump (Bxx or a posted one) past the song starts it again.
    if (order < 0 || order >= s->songLength) s->orderPosition = order = 0;
    int row = s->row;
    const PatternCell *cells =
        &s->patterns[(size_t(s->orderList[order]) * kModuleRows + size_t(row)) * kModuleChannels];
    for (int ch = 0; ch < kModuleChannels; ch++) {
        ModuleChannel &c = s->channels[ch];
        const PatternCell &cell = cells[ch];
        const uint32_t P = cell.period;
        const int e = cell.effect;
        int64_t oldPosition = c.position;
        c.savedVolume = c.volume;
        int n = int(cell.instrument);
        bool reused = false;
        if (n) c.lastInstrument = n;
        else if (P && (e == 0x0 || e == 0xC || e == 0xF) && c.lastInstrument) n = c.lastInstrument, reused = true;
        if (P && e != 0x3) c.outPeriod = c.period;
        else if (!P && c.vibratoSpeed && e != 0x4 && e != 0x6) c.outPeriod = c.period;
        c.vibratoSpeed = c.tremoloSpeed = 0;
        c.tickFlags &= ~2;
        c.volumeSlide = c.portaSpeed = c.arpeggio = c.retrigCountdown = c.retrigInterval = 0;
        if (n) {
            const ModuleInstrument &in = s->instruments[n];
            if (P) c.instrument = n, c.pendingInstrument = 0;
            else c.pendingInstrument = n;
            if (!reused) c.volume = c.outVolume = std::min<int>(in.volume, 63);
            if (P) c.position = 0, c.finetune = in.finetune;
        }
        if (P) {
            c.notePeriod = int32_t(P);
            c.vibratoPosition = c.tremoloPosition = 0;
            if (e != 0x3 && e != 0x5) {
                c.position = 0;
                c.portaTarget = c.outPeriod = TablePeriod(c.finetune, NoteIndex(int32_t(P)));
                SetPeriod(s, c, c.outPeriod);
            }
        }
        Funk(s, c);
        RunEffect(s, c, cell, oldPosition);
    }
    if (s->loopJumpRow >= 0) {
        s->row = s->loopJumpRow;
    } else if (!s->breakPending && s->row + 1 < kModuleRows) {
        s->row = s->row + 1;
    } else {
        int next = s->orderPosition + 1;
        s->orderPosition = next >= s->songLength || next < 0 ? 0 : next;
        s->row = s->breakRow;
    }
    s->ticksLeft = s->speed; // a speed set on this row already counts for it
}

void ProcessModuleTick(ModuleState *s) {
    if (s->ticksLeft == 0) ProcessModuleRow(s);
    s->ticksLeft--;
    for (ModuleChannel &c : s->channels) {
        if (c.tickFlags & 1) {
            c.tickFlags &= ~1;
        } else if (c.portaSpeed || (c.tickFlags & 2)) {
            int32_t d = c.portaSpeed;
            if (!d) d = std::clamp(c.portaTarget - c.outPeriod, -c.portaTargetSpeed, c.portaTargetSpeed);
            if (d) {
                c.period = c.outPeriod = ClampPeriod(c.outPeriod + d);
                int32_t heard = c.period;
                if (c.glissFunk & 15) {
                    const auto &row = kPeriodTable[c.finetune & 15];
                    auto it = std::find_if(row.begin(), row.end(), [&](int16_t p) { return p <= c.period; });
                    heard = it != row.end() ? *it : row[kLastNote];
                }
                c.step = StepOf(s, heard);
            }
        } else if (c.arpeggio) {
            int phase = s->ticksLeft % 3;
            int offset = phase == 0 ? 0 : phase == 1 ? c.arpeggio >> 4 : c.arpeggio & 15;
            c.step = StepOf(s, TablePeriod(c.finetune, NoteIndex(c.notePeriod) + offset));
        } else if (c.vibratoSpeed) {
            int w = Wave(c.vibratoWave, c.vibratoPosition);
            c.vibratoPosition = (c.vibratoPosition + c.vibratoSpeed) & 63;
            c.outPeriod = ClampPeriod(c.period + ((c.vibratoDepth * w) >> 7));
            c.step = StepOf(s, c.outPeriod);
        }
        if (c.volumeSlide) c.volume = std::clamp(c.volume + c.volumeSlide, 0, 63);
        c.outVolume = c.volume;
        if (c.tremoloSpeed) {
            int w = Wave(c.tremoloWave, c.tremoloPosition);
            c.tremoloPosition = (c.tremoloPosition + c.tremoloSpeed) & 63;
            c.outVolume = std::clamp(c.volume + ((w * c.tremoloDepth) >> 8), 0, 63);
        }
        if (c.cutCountdown > 0 && --c.cutCountdown == 0) c.volume = c.outVolume = 0;
        if (c.retrigCountdown > 0 && --c.retrigCountdown == 0) {
            c.position = 0;
            c.retrigCountdown = c.retrigInterval;
        }
    }
}

// Adds samples [pos, pos + n x step) of a stretch known to stay below the limit. Channels panned hard to one side
// (the usual case) add nothing to the other, so they skip it.
template <bool kLeft, bool kRight>
int64_t AddRun(const int8_t *data, int64_t pos, int64_t step, int32_t leftGain, int32_t rightGain, int32_t *left,
               int32_t *right, int n) {
    for (int i = 0; i < n; i++, pos += step) {
        int32_t sample = data[pos >> kModuleFixedShift];
        if (kLeft) left[i] += sample * leftGain;
        if (kRight) right[i] += sample * rightGain;
    }
    return pos;
}

// Adds one channel's next n mix steps into the sums. The loop end is tested before each fetch; a position far
// past it (a sample offset) wraps into the loop instead of stepping back one loop length at a time.
void MixChannel(ModuleState *s, ModuleChannel &c, int32_t *left, int32_t *right, int n) {
    const ModuleInstrument *in = &s->instruments[c.instrument];
    // A module's pan 0 is right, the reverse of a sample's: channels 1 and 4 (pan 0) play right, 2 and 3 left.
    const int32_t leftGain = c.outVolume * c.pan, rightGain = c.outVolume * (255 - c.pan);
    int64_t pos = c.position;
    const int64_t step = c.step;
    int i = 0;
    while (i < n) {
        bool looped = in->loopLength >= kLoopThreshold;
        int64_t limit = looped ? in->loopEnd : in->length;
        if (pos >= limit) {
            if (!looped) {
                pos = -1;
                break;
            }
            pos = in->loopStart + (pos - in->loopStart) % in->loopLength;
            if (c.pendingInstrument) {
                c.instrument = c.pendingInstrument;
                c.pendingInstrument = 0;
                in = &s->instruments[c.instrument];
                continue; // the new instrument's bounds decide
            }
        }
        // Steps before the position reaches the limit: no test is needed inside them.
        int64_t safe = step > 0 ? (limit - pos + step - 1) / step : n;
        int run = int(std::min<int64_t>(safe, n - i));
        if (leftGain && rightGain)
            pos = AddRun<true, true>(in->data, pos, step, leftGain, rightGain, left + i, right + i, run);
        else if (leftGain)
            pos = AddRun<true, false>(in->data, pos, step, leftGain, rightGain, left + i, right + i, run);
        else if (rightGain)
            pos = AddRun<false, true>(in->data, pos, step, leftGain, rightGain, left + i, right + i, run);
        else
            pos += step * run;
        i += run;
    }
    c.position = pos;
}

float FilterStage(float x, float *history, float a, float b) {
    float y = b * (x + history[0]) + a * history[1];
    history[0] = x;
    history[1] = y;
    return y;
}

// Renders n mix steps into the two sums (already shifted, filtered and clamped).
void MixSteps(ModuleState *s, int32_t *left, int32_t *right, int n) {
    std::fill(left, left + n, 0);
    std::fill(right, right + n, 0);
    for (ModuleChannel &c : s->channels)
        if (c.position >= 0) MixChannel(s, c, left, right, n);
    if (s->filterOn) {
        float *h = s->filterHistory;
        for (int i = 0; i < n; i++) {
            left[i] = int32_t(FilterStage(FilterStage(float(left[i] >> 7), h, s->filterA, s->filterB), h + 2,
                                          s->filterA, s->filterB))
                      << 7;
            right[i] = int32_t(FilterStage(FilterStage(float(right[i] >> 7), h + 4, s->filterA, s->filterB), h + 6,
                                           s->filterA, s->filterB))
                       << 7;
        }
    }
}

int32_t Clamp16(int32_t sum) { return std::clamp(sum >> 7, -32768, 32767); }

} // namespace

void PostModuleJump(ModuleState *state, int orderPosition) {
    state->jumpOrder = orderPosition;
    state->jumpRow = 0;
    state->jumpPending = 1;
}

void RenderModuleAudio(ModuleState *s, int16_t *out, size_t frames) {
    if (s->jumpPending.exchange(0)) {
        s->orderPosition = s->jumpOrder.load(); // checked against the song when the row is read
        s->row = s->jumpRow.load();
        s->ticksLeft = 0;
        s->patternDelay = 0;
    }
    int32_t left[kRunSteps], right[kRunSteps];
    size_t steps = frames * 2, stepIndex = 0;
    while (stepIndex < steps) {
        // Run up to the next tick, which comes before the step on which the counter reaches samplesPerTick.
        if (s->tickSampleCounter >= s->samplesPerTick) {
            s->tickSampleCounter -= s->samplesPerTick;
            ProcessModuleTick(s);
        }
        int n = int(std::min<size_t>({steps - stepIndex, size_t(kRunSteps),
                                      size_t(std::max(1, s->samplesPerTick - s->tickSampleCounter))}));
        MixSteps(s, left, right, n);
        s->tickSampleCounter += n;
        const int32_t gain = s->masterGain;
        int i = 0;
        // A run may end between the two steps of a frame: the first one waits in the state.
        if (stepIndex & 1) {
            int16_t *frame = out + stepIndex - 1;
            frame[0] = int16_t(((s->pairLeft + Clamp16(left[0])) * gain) >> 9);
            frame[1] = int16_t(((s->pairRight + Clamp16(right[0])) * gain) >> 9);
            i = 1;
        }
        int16_t *frame = out + stepIndex + i;
        for (; i + 1 < n; i += 2, frame += 2) {
            frame[0] = int16_t(((Clamp16(left[i]) + Clamp16(left[i + 1])) * gain) >> 9);
            frame[1] = int16_t(((Clamp16(right[i]) + Clamp16(right[i + 1])) * gain) >> 9);
        }
        if (i < n) s->pairLeft = Clamp16(left[i]), s->pairRight = Clamp16(right[i]);
        stepIndex += size_t(n);
    }
}

// Builds "M.K." module images for the tests, the fuzz seeds and the benchmark.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

struct ModuleSample {
    std::vector<int8_t> data;
    int volume = 64;
    int loopStartBytes = 0, loopBytes = 0; // loopBytes 0: one-shot
    int finetune = 0;
};

struct ModuleBuilder {
    std::vector<std::vector<uint8_t>> patterns;
    std::vector<uint8_t> orders{0};
    int songLength = -1; // -1: the number of orders
    std::vector<ModuleSample> samples;

    void Note(int pattern, int row, int channel, int period, int instrument, int effect = 0, int param = 0) {
        while (int(patterns.size()) <= pattern) patterns.emplace_back(1024, 0);
        uint8_t *c = &patterns[pattern][(row * 4 + channel) * 4];
        c[0] = uint8_t((instrument & 0xF0) | (period >> 8));
        c[1] = uint8_t(period);
        c[2] = uint8_t((instrument & 15) << 4 | effect);
        c[3] = uint8_t(param);
    }
    void Effect(int pattern, int row, int channel, int effect, int param) { Note(pattern, row, channel, 0, 0, effect, param); }

    std::vector<uint8_t> Build() const {
        std::vector<uint8_t> out(1084, 0);
        std::memcpy(out.data(), "builder", 7);
        for (size_t i = 0; i < samples.size() && i < 31; i++) {
            uint8_t *h = &out[20 + 30 * i];
            const ModuleSample &s = samples[i];
            auto put16 = [](uint8_t *p, int v) { p[0] = uint8_t(v >> 8), p[1] = uint8_t(v); };
            put16(h + 22, int(s.data.size() / 2));
            h[24] = uint8_t(s.finetune);
            h[25] = uint8_t(s.volume);
            put16(h + 26, s.loopStartBytes / 2);
            put16(h + 28, s.loopBytes ? s.loopBytes / 2 : 1);
        }
        out[950] = uint8_t(songLength < 0 ? orders.size() : size_t(songLength));
        std::memcpy(&out[952], orders.data(), orders.size());
        std::memcpy(&out[1080], "M.K.", 4);
        for (const auto &p : patterns) out.insert(out.end(), p.begin(), p.end());
        for (const auto &s : samples) out.insert(out.end(), s.data.begin(), s.data.end());
        return out;
    }
};

// A loud square burst: bytes of it, then nothing.
inline std::vector<int8_t> SquareBurst(size_t bytes, int amplitude = 100) {
    std::vector<int8_t> data(bytes);
    for (size_t i = 0; i < bytes; i++) data[i] = int8_t((i / 8) % 2 ? -amplitude : amplitude);
    return data;
}

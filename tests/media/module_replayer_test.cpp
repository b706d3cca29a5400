// The tracker replayer against a one-channel reference model, against note onsets rendered by xmp, and on
// damaged modules (run under the sanitizers).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "media/tracker/module.h"
#include "tests/media/module_builder.h"
#include "tests/support/files.h"

namespace {

constexpr int kC3 = 214;

std::unique_ptr<ModuleState> Load(const std::vector<uint8_t> &image) {
    auto state = std::make_unique<ModuleState>();
    EXPECT_EQ(ParseModule(state.get(), image, kPlaybackRate), 0);
    return state;
}

std::vector<int16_t> Render(ModuleState *state, size_t frames) {
    std::vector<int16_t> pcm(frames * 2);
    // Odd buffer sizes, as the audio side may ask, must not change the result.
    for (size_t done = 0; done < frames;) {
        size_t n = std::min<size_t>(frames - done, 999);
        RenderModuleAudio(state, pcm.data() + done * 2, n);
        done += n;
    }
    return pcm;
}

// Frames where the louder side rises above 2000 after at least 240 quiet frames (the rule make_modules.py uses).
std::vector<long> Onsets(const std::vector<int16_t> &pcm) {
    std::vector<long> found;
    long quiet = 240;
    for (size_t i = 0; i < pcm.size() / 2; i++) {
        int level = std::max(std::abs(pcm[2 * i]), std::abs(pcm[2 * i + 1]));
        if (level > 2000) {
            if (quiet >= 240) found.push_back(long(i));
            quiet = 0;
        } else {
            quiet++;
        }
    }
    return found;
}

ModuleBuilder BurstModule() {
    ModuleBuilder b;
    b.samples.push_back({SquareBurst(200), 64});
    return b;
}

TEST(ModuleReplayer, OneChannelMatchesTheIntegerMixerExactlyOnItsSide) {
    // Channels 1 and 4 play right, 2 and 3 left, each wholly on its side.
    const bool heardLeft[4] = {false, true, true, false};
    for (int channel = 0; channel < 4; channel++) {
        ModuleBuilder b;
        b.samples.push_back({SquareBurst(4000, 77), 64});
        b.Note(0, 0, channel, kC3, 1, 0xC, 0x40);
        auto state = Load(b.Build());
        std::vector<int16_t> pcm = Render(state.get(), 3000);
        // The first tick, and the note, come after 1920 mix steps; volume 64 plays as 63.
        const int32_t step = 1172874197 / ((96000 * kC3) / 50);
        int64_t pos = 0;
        const int heard = heardLeft[channel] ? 0 : 1;
        for (int frame = 0; frame < 3000; frame++) {
            int32_t sum = 0;
            for (int k = 0; k < 2 && frame >= 960; k++, pos += step)
                sum += (b.samples[0].data[size_t(pos >> 14)] * 63 * 255) >> 7;
            ASSERT_EQ(pcm[2 * frame + 1 - heard], 0) << "channel " << channel + 1 << ", frame " << frame;
            ASSERT_EQ(pcm[2 * frame + heard], int16_t((sum * 256) >> 9))
                << "channel " << channel + 1 << ", frame " << frame;
        }
    }
}

TEST(ModuleReplayer, SpeedAndTempoSetTheRowLength) {
    struct Case { int effect, param; long rowFrames; } cases[] = {
        {0, 0, 5760},      // speed 6, tempo 125: 120 ms
        {0xF, 0x20, 22500}, // tempo 32: 6 ticks of 96000 x 60 / (32 x 24) mix steps
        {0xF, 0x1F, 29760}, // speed 31
    };
    for (const Case &c : cases) {
        ModuleBuilder b = BurstModule();
        b.Note(0, 0, 0, kC3, 1, c.effect, c.param);
        b.Note(0, 1, 0, kC3, 1);
        auto state = Load(b.Build());
        std::vector<long> on = Onsets(Render(state.get(), 40000));
        ASSERT_GE(on.size(), 2u);
        EXPECT_EQ(on[1] - on[0], c.rowFrames) << c.param;
    }
}

TEST(ModuleReplayer, BreakToRow64StartsTheNextOrderAtRowZero) {
    ModuleBuilder b = BurstModule();
    b.orders = {0, 1};
    b.Note(0, 0, 0, kC3, 1, 0xD, 0x64);
    b.Note(1, 0, 0, kC3, 1);
    b.Note(1, 1, 0, kC3, 1);
    auto state = Load(b.Build());
    std::vector<long> on = Onsets(Render(state.get(), 15000));
    ASSERT_GE(on.size(), 3u);
    EXPECT_EQ(on[1] - on[0], 5760);
    EXPECT_EQ(on[2] - on[1], 5760);
}

TEST(ModuleReplayer, OnsetsMatchXmpWithinOneTick) {
    std::vector<uint8_t> image = ReadFileBytes(std::string(VL_SOURCE_DIR) + "/tests/data/media/effects.mod");
    std::ifstream onsetFile(std::string(VL_SOURCE_DIR) + "/tests/data/media/effects.onsets");
    std::vector<long> expected;
    for (long f; onsetFile >> f;) expected.push_back(f);
    ASSERT_EQ(expected.size(), 21u);
    auto state = Load(image);
    std::vector<long> ours = Onsets(Render(state.get(), size_t(expected.back() + 48000)));
    ASSERT_GE(ours.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_NEAR(ours[i] - 960, expected[i], 960) << "onset " << i; // our first row waits one tick
}

TEST(ModuleReplayer, LoaderCountsPatternsFromTheWholeOrderListAndRefusesShortFiles) {
    ModuleBuilder b = BurstModule();
    b.orders.assign(128, 0);
    b.orders[100] = 63;
    b.songLength = 1;
    b.Note(63, 0, 0, 0, 0);
    std::vector<uint8_t> image = b.Build();
    auto state = Load(image);
    EXPECT_EQ(state->patternCount, 64);
    image.resize(1084 + 1024 * 64 - 1);
    ModuleState refused;
    EXPECT_EQ(ParseModule(&refused, image, kPlaybackRate), 1235);
}

// Each renders 10 s; the sanitizers catch any read or write outside the module.
TEST(ModuleReplayer, DamagedModulesRenderSafely) {
    struct Case {
        const char *name;
        void (*damage)(ModuleBuilder &);
        size_t cut; // bytes cut off the end of the file
    } cases[] = {
        {"loop and offset past a shortened sample",
         [](ModuleBuilder &b) {
             b.samples = {{SquareBurst(4000), 64, 2000, 2000}, {SquareBurst(1000), 64, 200, 600, 3}};
             b.Note(0, 0, 0, kC3, 1, 0x9, 0x30);
             b.Note(0, 0, 1, kC3, 2, 0xE, 0xF7);
             b.Note(0, 1, 2, 113, 1, 0x9, 0xFF);
             b.Note(0, 2, 3, kC3, 2, 0xE, 0x1F);
             b.Note(0, 3, 3, 0, 0, 0xE, 0x1F);
         },
         3500},
        {"jump past the song", [](ModuleBuilder &b) { b.Note(0, 3, 0, kC3, 1, 0xB, 0xFF); }, 0},
        {"song length 0", [](ModuleBuilder &b) { b.songLength = 0; }, 0},
        {"song length 200", [](ModuleBuilder &b) { b.songLength = 200; }, 0},
        {"instrument 31 and fine slides below zero",
         [](ModuleBuilder &b) {
             b.Note(0, 0, 0, kC3, 31, 0xE, 0x1F);
             for (int r = 1; r < 64; r++) b.Effect(0, r, 0, 0xE, 0x1F);
         },
         0},
    };
    for (const Case &c : cases) {
        ModuleBuilder b = BurstModule();
        b.Note(0, 0, 0, kC3, 1);
        c.damage(b);
        std::vector<uint8_t> image = b.Build();
        image.resize(image.size() - c.cut);
        auto state = Load(image);
        Render(state.get(), 48000 * 5);
        PostModuleJump(state.get(), 255);
        Render(state.get(), 48000 * 5);
        EXPECT_LT(state->orderPosition.load(), state->songLength) << c.name;
    }
}

} // namespace

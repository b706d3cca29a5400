// IsSample, IsMusic and IsModule in the real player on plain files and on files linked into the applet, and the
// sound commands that wait for the audio device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "tests/player/player_test_support.h"

namespace {

TEST(SoundInPlayer, RecognisesSoundFilesPlainAndLinked) {
    ScratchDirectory dir;
    const std::string data = std::string(VL_SOURCE_DIR) + "/tests/data/media/";
    // A 16SV voice: 20-byte header at 8000 Hz, then a BODY of two samples.
    std::vector<uint8_t> voice = {'F', 'O', 'R', 'M', 0, 0, 0, 40, '1', '6', 'S', 'V', 'V', 'H', 'D', 'R', 0, 0, 0, 20};
    voice.resize(40, 0);
    voice[32] = 0x1F, voice[33] = 0x40;
    voice.insert(voice.end(), {'B', 'O', 'D', 'Y', 0, 0, 0, 4, 1, 2, 3, 4});
    std::vector<uint8_t> module = ReadFileBytes(data + "effects.mod");
    const std::pair<std::string, std::vector<uint8_t>> files[] = {
        {"8svx", ReadFileBytes(data + "mono.8svx")}, {"16sv", voice}, {"wav", ReadFileBytes(data + "mono16.wav")},
        {"mp3", ReadFileBytes(data + "layer3.mp3")}, {"mod", module}, {"txt", std::vector<uint8_t>(3000, 'x')}};
    std::string script, expected;
    const char *names[] = {"IFF 8SVX", "IFF 16SV", "RIFF WAVE", "MPEG Audio", "Protracker", "Unknown"};
    const char *samples[] = {"1", "1", "1", "1", "0", "0"};
    for (const char *kind : {"plain", "linked"}) {
        for (size_t i = 0; i < 6; i++) {
            // Module files are told by their contents, whatever their name.
            std::string name = std::string(kind) + "_" + std::to_string(i) + (i == 4 ? ".wav" : "." + files[i].first);
            WriteBytes(dir.File(name), files[i].second);
            if (std::string(kind) == "linked") script = "@LINKFILE \"" + name + "\"\n" + script;
            script += "DebugPrint(IsSample(\"" + name + "\"), IsMusic(\"" + name + "\"))\n";
            expected += std::string(samples[i]) + " " + (i == 5 ? "0 " : "1 ") + names[i] + "\n";
        }
    }
    // IsModule is IsMusic under a second name: a stream is as much a module to it.
    script += "DebugPrint(IsModule(\"plain_4.wav\"))\nDebugPrint(IsModule(\"plain_3.mp3\"))\n";
    expected += "1 Protracker\n1 MPEG Audio\n";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    for (size_t i = 0; i < 6; i++) std::filesystem::remove(dir.File("linked_" + std::to_string(i) + (i == 4 ? ".wav" : "." + files[i].first)));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
}

std::string Expected(const std::string &script) {
    std::string expected;
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("; expect: ", 0) == 0) expected += line.substr(10) + "\n";
    return expected;
}

const std::vector<std::string> kHeadless = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"};

TEST(SoundInPlayer, CommandsErrorsMusicStateAndEvents) {
    ScratchDirectory dir;
    const std::string data = std::string(VL_SOURCE_DIR) + "/tests/data/media/";
    WriteBytes(dir.File("tone.wav"), ReadFileBytes(data + "mono16.wav"));
    std::vector<uint8_t> module = ReadFileBytes(data + "effects.mod");
    WriteBytes(dir.File("tune.mod"), module);
    std::memcpy(&module[1080], "8CHN", 4);
    WriteBytes(dir.File("eight.mod"), module);
    WriteText(dir.File("text.txt"), std::string(3000, 'x'));
    const std::vector<uint8_t> source = ReadFileBytes(std::string(VL_SOURCE_DIR) + "/tests/player/sound_commands.vls");
    const std::string script(source.begin(), source.end());
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path, kHeadless);
    EXPECT_EQ(run.out, Expected(script)) << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

// Without a usable audio driver the script runs on with sound off; the preloads load nothing then.
TEST(SoundInPlayer, MissingDriverSwitchesSoundOff) {
    ScratchDirectory dir;
    WriteBytes(dir.File("tone.wav"), ReadFileBytes(std::string(VL_SOURCE_DIR) + "/tests/data/media/mono16.wav"));
    const std::string script = "@SAMPLE 1, \"tone.wav\"\nLoadSample(2, \"tone.wav\")\nPlaySample(2)\n"
                               "DebugPrint(IsSound(), GetLastError())\nOpenMusic(3, \"tone.wav\")\n"
                               "DebugPrint(IsMusicPlaying(3))\n";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path,
                              {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=nosuchdriver"});
    EXPECT_EQ(run.out, "0 0\n") << run.err;
    EXPECT_NE(run.err.find("Could not find music 3!"), std::string::npos) << run.err;
}

// Runs of sound in interleaved stereo output: [first, last] frames, split at gaps of more than 10 ms.
std::vector<std::pair<size_t, size_t>> SoundRuns(const std::vector<int16_t> &pcm) {
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 0; i < pcm.size() / 2; i++) {
        if (!pcm[2 * i] && !pcm[2 * i + 1]) continue;
        if (runs.empty() || i - runs.back().second > 480) runs.push_back({i, i});
        runs.back().second = i;
    }
    return runs;
}

// Frequency from zero crossings, and the peak, of one side of a run.
std::pair<double, int> Measure(const std::vector<int16_t> &pcm, std::pair<size_t, size_t> run, int side) {
    int crossings = 0, peak = 0;
    for (size_t i = run.first; i <= run.second; i++) {
        peak = std::max(peak, int(pcm[2 * i + side]));
        if (i > run.first) crossings += (pcm[2 * i + side] < 0) != (pcm[2 * (i - 1) + side] < 0);
    }
    return {crossings / 2.0 / (double(run.second - run.first + 1) / 48000), peak};
}

// The real player through SDL's disk driver: a linked WAVE sample preloaded and played 3 times, a linked MP3
// preloaded and played once as music, then the same MP3 with garbage after its frames.
TEST(SoundInPlayer, DiskOutputHasTheNotesTheirLengthsAndSilenceAfter) {
    ScratchDirectory dir;
    const std::string data = std::string(VL_SOURCE_DIR) + "/tests/data/media/";
    WriteBytes(dir.File("tone.wav"), ReadFileBytes(data + "mono16.wav")); // 0.1 s of 440 Hz at 11025 Hz
    std::vector<uint8_t> mp3 = ReadFileBytes(data + "layer3.mp3");   // 1 s of 440 Hz left, 660 Hz right
    WriteBytes(dir.File("music.mp3"), mp3);
    for (size_t i = 0; i < 20000; i++) mp3.push_back(uint8_t(i * 7919 >> 3));
    WriteBytes(dir.File("broken.mp3"), mp3);
    const std::string script = R"(@LINKFILE "tone.wav"
@LINKFILE "music.mp3"
@SAMPLE 1, "tone.wav"
@MUSIC 2, "music.mp3"
Local ended = 0
InstallEventHandler({OnMusicEnd = Function(msg) ended = ended + 1 EndFunction})
PlaySample(1, 3)
WaitSampleEnd(1)
Wait(10)
PlayMusic(2, 1)
Repeat
    WaitEvent()
Until ended > 0
Wait(10)
OpenMusic(3, "broken.mp3")
PlayMusic(3, 1)
Repeat
    WaitEvent()
Until ended > 1
Wait(25)
DebugPrint("ended", ended, IsMusicPlaying(3))
)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    std::filesystem::remove(dir.File("tone.wav"));
    std::filesystem::remove(dir.File("music.mp3"));
    PlayerRun run = RunPlayer({"-quiet", "-mastervolume", "64", "-debugdevice", "@stdout", "test.vla"}, dir.path,
                              // Pulls nearly ten times slower than real time leave the streaming thread
                              // most of a second to refill a buffer on a busy machine (a late one plays its
                              // old sound again); the file holds the same frames.
                              {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=out.raw",
                               "SDL_DISKAUDIODELAY=200"});
    EXPECT_EQ(run.out, "ended 2 0\n") << run.err;
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("out.raw"));
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    const auto runs = SoundRuns(pcm);
    ASSERT_EQ(runs.size(), 3u);
    const std::vector<uint8_t> raw = ReadFileBytes(data + "mono16.wav.raw");
    int sourcePeak = 0;
    for (size_t i = 0; i + 1 < raw.size(); i += 2) sourcePeak = std::max(sourcePeak, int(int16_t(raw[i] | raw[i + 1] << 8)));
    const struct {
        double seconds, left, right;
    } expected[] = {{0.3, 440, 440}, {1.0, 440, 660}, {1.0, 440, 660}};
    for (size_t k = 0; k < 3; k++) {
        EXPECT_NEAR(double(runs[k].second - runs[k].first + 1), expected[k].seconds * 48000, 1024) << k;
        const auto left = Measure(pcm, runs[k], 0), right = Measure(pcm, runs[k], 1);
        EXPECT_NEAR(left.first, expected[k].left, expected[k].left * 0.02) << k;
        EXPECT_NEAR(right.first, expected[k].right, expected[k].right * 0.02) << k;
        if (k == 0) { // full level at MASTERVOLUME 64
            EXPECT_NEAR(left.second, sourcePeak, sourcePeak * 0.02);
        }
    }
    for (size_t i = 2 * (runs.back().second + 1); i < pcm.size(); i++) ASSERT_EQ(pcm[i], 0) << i;
}

} // namespace

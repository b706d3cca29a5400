// IsSample, IsMusic and IsModule in the real player on plain files and on files linked into the applet, and the
// sound commands that wait for the audio device.
#include <gtest/gtest.h>

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
    std::vector<uint8_t> module = ReadBytes(data + "effects.mod");
    const std::pair<std::string, std::vector<uint8_t>> files[] = {
        {"8svx", ReadBytes(data + "mono.8svx")}, {"16sv", voice}, {"wav", ReadBytes(data + "mono16.wav")},
        {"mp3", ReadBytes(data + "layer3.mp3")}, {"mod", module}, {"txt", std::vector<uint8_t>(3000, 'x')}};
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
    script += "DebugPrint(IsModule(\"plain_4.wav\"))\n";
    expected += "1 Protracker\n";
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
    WriteBytes(dir.File("tone.wav"), ReadBytes(data + "mono16.wav"));
    WriteBytes(dir.File("tune.mod"), ReadBytes(data + "effects.mod"));
    WriteText(dir.File("text.txt"), std::string(3000, 'x'));
    const std::vector<uint8_t> source = ReadBytes(std::string(VL_SOURCE_DIR) + "/tests/player/sound_commands.vls");
    const std::string script(source.begin(), source.end());
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path, kHeadless);
    EXPECT_EQ(run.out, Expected(script)) << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

// Without a usable audio driver the script runs on with sound off; the preloads load nothing then.
TEST(SoundInPlayer, MissingDriverSwitchesSoundOff) {
    ScratchDirectory dir;
    WriteBytes(dir.File("tone.wav"), ReadBytes(std::string(VL_SOURCE_DIR) + "/tests/data/media/mono16.wav"));
    const std::string script = "@SAMPLE 1, \"tone.wav\"\nLoadSample(2, \"tone.wav\")\nPlaySample(2)\n"
                               "DebugPrint(IsSound(), GetLastError())\nOpenMusic(3, \"tone.wav\")\n"
                               "DebugPrint(IsMusicPlaying(3))\n";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path,
                              {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=nosuchdriver"});
    EXPECT_EQ(run.out, "0 0\n") << run.err;
    EXPECT_NE(run.err.find("Could not find music 3!"), std::string::npos) << run.err;
}

} // namespace

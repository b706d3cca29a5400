// IsSample, IsMusic and IsModule in the real player on plain files and on files linked into the applet, and the
// sound commands that wait for the audio device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "tests/player/player_test_support.h"

namespace {

const std::vector<std::string> kHeadless = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"};

// Made by ffmpeg from one of its sources into the folder: the file's bytes.
std::vector<uint8_t> Ffmpeg(const ScratchDirectory &dir, const std::string &args, const std::string &name) {
    const std::string command = "ffmpeg -v error -y -f lavfi " + args + " " + dir.File(name);
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadFileBytes(dir.File(name));
}

// Every file, plain and linked into the applet: IsSample, IsMusic and OpenMusic's error. A file is MPEG audio when
// a frame header starts it (after its ID3v2 tags) and the next frames follow at their lengths, or the end of the
// file (or a tag at its end) comes after one whole frame; or when a run of frames starts within the decoder's
// resync limit after the tags, as in a stream captured from its middle. A file that starts as a picture of any
// format the player reads is none, and no library's own warning reaches standard error.
TEST(SoundInPlayer, RecognisesSoundFilesPlainAndLinked) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    ScratchDirectory dir;
    const std::string data = std::string(VL_SOURCE_DIR) + "/tests/data/media/";
    // A 16SV voice: 20-byte header at 8000 Hz, then a BODY of two samples.
    std::vector<uint8_t> voice = {'F', 'O', 'R', 'M', 0, 0, 0, 40, '1', '6', 'S', 'V', 'V', 'H', 'D', 'R', 0, 0, 0, 20};
    voice.resize(40, 0);
    voice[32] = 0x1F, voice[33] = 0x40;
    voice.insert(voice.end(), {'B', 'O', 'D', 'Y', 0, 0, 0, 4, 1, 2, 3, 4});
    const std::string tone = "-i sine=f=440:r=44100:d=0.3 -c:a libmp3lame -b:a 128k";
    const std::vector<uint8_t> tagged = Ffmpeg(dir, tone, "made.mp3"); // an ID3v2 tag and an Info frame first
    const std::vector<uint8_t> bare = Ffmpeg(dir, tone + " -id3v2_version 0 -write_xing 0", "made.mp3");
    // Frames of 128 kbit/s at 44.1 kHz are 417 bytes, and one more when padded.
    const auto frames = [&](size_t n) {
        size_t end = 0;
        for (size_t i = 0; i < n; i++) end += 417 + ((bare[end + 2] >> 1) & 1);
        return std::vector<uint8_t>(bare.begin(), bare.begin() + long(end));
    };
    const auto join = [](std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    std::vector<uint8_t> id3v1 = {'T', 'A', 'G'}, noise(3000);
    id3v1.resize(128, 0);
    for (size_t i = 0; i < noise.size(); i++) noise[i] = uint8_t((i * 2654435761u) >> 13);
    const std::vector<uint8_t> gif = ReadFileBytes(data + "local.gif"), mp3 = ReadFileBytes(data + "layer3.mp3");
    const auto id3 = [&](uint8_t version, uint8_t flags, size_t size) { // a tag of `size` zero bytes
        std::vector<uint8_t> tag = {'I', 'D', '3', version, 0, flags, 0, 0, uint8_t(size >> 7), uint8_t(size & 127)};
        tag.resize(10 + size, 0);
        if (flags & 0x10) tag.insert(tag.end(), {'3', 'D', 'I', version, 0, flags, 0, 0, tag[8], tag[9]});
        return tag;
    };
    const std::vector<uint8_t> zeros(512, 0), mp3Frame2(mp3.begin() + 417, mp3.begin() + 834); // 128 kbit/s, 44.1 kHz
    std::vector<uint8_t> badTag = id3(3, 0, 20); // a size byte with its top bit set: skipped by libsndfile only
    badTag[8] |= 0x80;
    const std::string picture = "-i testsrc=size=32x24 -frames:v 1";
    const std::string sound = "1 1 MPEG Audio 0", refused = "0 0 Unknown 1235";
    const std::vector<std::tuple<std::string, std::vector<uint8_t>, std::string>> files = {
        {"8svx", ReadFileBytes(data + "mono.8svx"), "1 1 IFF 8SVX 0"},
        {"16sv", voice, "1 1 IFF 16SV 0"},
        {"wav", ReadFileBytes(data + "mono16.wav"), "1 1 RIFF WAVE 0"},
        {"mp3", ReadFileBytes(data + "layer3.mp3"), sound},
        {"wav", ReadFileBytes(data + "effects.mod"), "0 1 Protracker 0"}, // a module by its contents
        {"txt", std::vector<uint8_t>(3000, 'x'), refused},
        {"mp3", tagged, sound},
        {"mp3", join(bare, id3v1), sound},
        {"mp2", ReadFileBytes(data + "layer2.mp2"), sound},
        {"mp3", Ffmpeg(dir, "-i sine=f=440:r=22050:d=0.3 -c:a libmp3lame -b:a 32k", "made.mp3"), sound}, // MPEG-2
        {"mp3", Ffmpeg(dir, "-i sine=f=440:r=8000:d=0.5 -c:a libmp3lame -b:a 16k", "made.mp3"), sound}, // MPEG-2.5
        {"mp3", frames(1), sound},
        {"mp3", join(frames(1), id3v1), sound},
        {"mp3", mp3Frame2, sound},
        {"mp3", std::vector<uint8_t>(mp3.begin() + 1000, mp3.end()), sound}, // captured from its middle
        {"mp3", join(join(id3(3, 0, 20), zeros), mp3), sound},               // padding after the tag
        {"mp3", join(join(id3(3, 0, 20), id3(3, 0, 30)), mp3), sound},      // a second tag in front
        {"mp3", join(id3(4, 0x10, 20), mp3), sound},                         // with its footer
        {"mp3", join(join(id3(3, 0, 20), std::vector<uint8_t>(noise.begin(), noise.begin() + 200)), mp3), sound},
        {"mp3", join(noise, mp3), sound},
        {"mp3", join(join(noise, noise), mp3), refused}, // beyond the resync limit
        {"mp3", join(badTag, frames(1)), refused},
        {"mp3", frames(2), sound},
        {"mp3", std::vector<uint8_t>(bare.begin(), bare.begin() + 600), sound}, // the second frame cut short
        {"mp3", join(frames(2), noise), refused},
        {"mp3", join(std::vector<uint8_t>(bare.begin(), bare.begin() + 4), noise), refused},
        {"gif", join(std::vector<uint8_t>(gif.begin(), gif.begin() + 13), bare), refused},
        {"bin", noise, refused},
        {"gif", gif, refused},
        {"ilbm", ReadFileBytes(data + "byterun1.ilbm"), refused},
        {"png", Ffmpeg(dir, picture, "made.png"), refused},
        {"jpg", Ffmpeg(dir, picture, "made.jpg"), refused},
        {"bmp", Ffmpeg(dir, picture, "made.bmp"), refused},
        {"pcx", Ffmpeg(dir, picture, "made.pcx"), refused},
        {"ppm", Ffmpeg(dir, picture, "made.ppm"), refused},
        {"tif", Ffmpeg(dir, picture, "made.tif"), refused},
        {"webp", Ffmpeg(dir, picture, "made.webp"), refused},
        {"qoi", Ffmpeg(dir, picture, "made.qoi"), refused},
    };
    std::string script = "ExitOnError(False)\n"
                         "Function Check(name)\n"
                         "    Local sample = IsSample(name)\n"
                         "    Local ok, format = IsMusic(name)\n"
                         "    Local music, error = OpenMusic(Nil, name), 0\n"
                         "    If GetType(music) == #NIL Then error = GetLastError() Else CloseMusic(music) EndIf\n"
                         "    DebugPrint(sample, ok, format, error)\n"
                         "EndFunction\n";
    std::string links, expected;
    std::vector<std::string> linked;
    for (const char *kind : {"plain", "linked"}) {
        for (size_t i = 0; i < files.size(); i++) {
            const auto &[extension, bytes, line] = files[i];
            std::string name = std::string(kind) + "_" + std::to_string(i) + "." + extension;
            WriteBytes(dir.File(name), bytes);
            if (std::string(kind) == "linked") links += "@LINKFILE \"" + name + "\"\n", linked.push_back(name);
            script += "Check(\"" + name + "\")\n";
            expected += line + "\n";
        }
    }
    // IsModule is IsMusic under a second name: a stream is as much a module to it.
    script += "DebugPrint(IsModule(\"plain_4.wav\"))\nDebugPrint(IsModule(\"plain_3.mp3\"))\n";
    expected += "1 Protracker\n1 MPEG Audio\n";
    WriteBytes(dir.File("test.vla"), CompileToApplet(links + script, "test.vls", dir.path));
    for (const std::string &name : linked) std::filesystem::remove(dir.File(name));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path, kHeadless);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
}

std::string Expected(const std::string &script) {
    std::string expected;
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("; expect: ", 0) == 0) expected += line.substr(10) + "\n";
    return expected;
}

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

// The sound decoders against sox's own decode, the library decoders, refusals and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "media/sound/sound_loading.h"
#include "media/sound/sound_stream.h"
#include "tests/fuzz/regression_files.h"
#include "tests/support/files.h"

namespace {

std::string Data(const std::string &name) { return std::string(VL_SOURCE_DIR) + "/tests/data/media/" + name; }

struct TempFile {
    std::string path = (std::filesystem::temp_directory_path() / ("vl_sound_" + std::to_string(getpid()) + "_" +
                                                                   std::to_string(counter++))).string();
    static inline int counter = 0;
    explicit TempFile(const std::vector<uint8_t> &bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    }
    ~TempFile() { std::remove(path.c_str()); }
};

std::vector<uint8_t> Be32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

// An IFF voice: header, optional CHAN word in a chunk of chanBytes, BODY.
std::vector<uint8_t> IffVoice(const char *form, uint16_t rate, int chanWord, uint32_t chanBytes,
                              const std::vector<uint8_t> &body, uint32_t bodyLength) {
    std::vector<uint8_t> f = {'F', 'O', 'R', 'M', 0, 0, 0, 0};
    f.insert(f.end(), form, form + 4);
    auto chunk = [&](const char *id, const std::vector<uint8_t> &data, uint32_t length) {
        f.insert(f.end(), id, id + 4);
        auto n = Be32(length);
        f.insert(f.end(), n.begin(), n.end());
        f.insert(f.end(), data.begin(), data.end());
        if (data.size() & 1) f.push_back(0);
    };
    std::vector<uint8_t> vhdr(20, 0);
    vhdr[12] = uint8_t(rate >> 8), vhdr[13] = uint8_t(rate);
    chunk("VHDR", vhdr, 20);
    chunk("NAME", {'o', 'd', 'd'}, 3);
    if (chanWord >= 0) {
        std::vector<uint8_t> chan = Be32(uint32_t(chanWord));
        chan.resize(chanBytes, 0);
        chunk("CHAN", chan, chanBytes);
    }
    chunk("BODY", body, bodyLength);
    return f;
}

std::vector<uint8_t> DecodeAll(const std::string &path, int mode, SoundStream **keep = nullptr) {
    SoundStream *s = nullptr;
    EXPECT_EQ(OpenSoundStream(path.c_str(), mode, &s), 0) << path;
    if (!s) return {};
    std::vector<uint8_t> pcm(size_t(s->frameCount * s->frameBytes) + 64, 0xAA);
    uint64_t n = ReadSoundStream(s, pcm.data(), s->frameCount, nullptr);
    pcm.resize(size_t(n * s->frameBytes));
    if (keep) *keep = s;
    else CloseSoundStream(s);
    return pcm;
}

TEST(SoundReaders, OwnDecodersEqualSoxByteForByte) {
    const std::pair<const char *, int> files[] = {{"mono.8svx", 2},  {"stereo.8svx", 3}, {"mono8.wav", 0},
                                                  {"stereo8.wav", 1}, {"mono16.wav", 4},  {"stereo16.wav", 5}};
    for (const auto &[f, format] : files) {
        SoundStream *s = nullptr;
        EXPECT_EQ(DecodeAll(Data(f), kOpenAsSample, &s), ReadFileBytes(Data(std::string(f) + ".raw"))) << f;
        EXPECT_NE(s->kind, kSoundKindDecoder) << f;
        EXPECT_EQ(s->sampleFormat, format) << f;
        CloseSoundStream(s);
    }
    // A LIST chunk before "fmt " and an odd chunk with its pad byte before "data", as music too.
    EXPECT_EQ(DecodeAll(Data("chunky16.wav"), kOpenAsMusic), ReadFileBytes(Data("stereo16.wav.raw")));
}

TEST(SoundReaders, SixteenBitStereoVoiceDeinterleavesAndEndsAtItsLength) {
    // Left samples 0x0102, 0x0304; right 0x0506, 0x0708; a second CHAN (6, in an 8-byte chunk) wins over "2".
    std::vector<uint8_t> body = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> file = IffVoice("16SV", 22050, 2, 4, {}, 0);
    file = IffVoice("16SV", 22050, 6, 8, body, 8);
    TempFile t(file);
    SoundStream *s = nullptr;
    ASSERT_EQ(OpenSoundStream(t.path.c_str(), kOpenAsSample, &s), 0);
    EXPECT_EQ(s->kind, kSoundKind16sv);
    EXPECT_EQ(s->sampleFormat, 5);
    int16_t pcm[8] = {};
    int end = 0;
    EXPECT_EQ(ReadSoundStream(s, pcm, 4, &end), 2u);
    EXPECT_EQ(end, 1);
    EXPECT_EQ(pcm[0], 0x0102);
    EXPECT_EQ(pcm[1], 0x0506);
    EXPECT_EQ(pcm[2], 0x0304);
    EXPECT_EQ(pcm[3], 0x0708);
    SeekSoundStream(s, 2); // at the end: the position stays, the time is recorded
    EXPECT_EQ(s->position, 2u);
    SeekSoundStream(s, 1);
    EXPECT_EQ(s->position, 1u);
    EXPECT_EQ(s->positionMicros, 45u);
    CloseSoundStream(s);
}

TEST(SoundReaders, ChannelWordAndVoiceHeaderPlace) {
    struct Case { int chanWord; bool headerFirst; int kind; uint32_t channels; uint64_t frames; } cases[] = {
        {6, true, kSoundKind8svx, 2, 500}, {2, true, kSoundKind8svx, 1, 1000}, {4, true, kSoundKind8svx, 1, 1000},
        {6, false, kSoundKindNone, 0, 0},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> file = IffVoice("8SVX", 8000, c.chanWord, 4, std::vector<uint8_t>(1000, 3), 1000);
        if (!c.headerFirst) std::rotate(file.begin() + 12, file.begin() + 40, file.begin() + 52); // NAME first
        TempFile t(file);
        SoundStream *s = nullptr;
        int error = OpenSoundStream(t.path.c_str(), kOpenAsSample, &s);
        EXPECT_TRUE(error == 0 || c.kind == kSoundKindNone) << c.chanWord;
        if (error == 0) {
            EXPECT_EQ(s->kind == kSoundKindDecoder ? kSoundKindNone : s->kind, c.kind) << c.chanWord;
            if (c.kind != kSoundKindNone) {
                EXPECT_EQ(s->channels, c.channels);
                std::vector<uint8_t> pcm(1200 * 2);
                int end = 0;
                EXPECT_EQ(ReadSoundStream(s, pcm.data(), c.frames + 100, &end), c.frames);
                EXPECT_EQ(end, 1);
            }
            CloseSoundStream(s);
        }
    }
}

TEST(SoundReaders, LibraryDecodersLoadOtherFormatsAsSixteenBit) {
    for (const char *f : {"tone.ogg", "tone.flac", "tone.aiff", "layer3.mp3"}) {
        SampleData *data = nullptr;
        uint64_t size = 0;
        uint32_t rate = 0;
        int format = -1;
        ASSERT_EQ(LoadSampleData(Data(f).c_str(), &data, &size, &rate, &format), 0) << f;
        EXPECT_EQ(data->bits, 16u) << f;
        EXPECT_GT(data->frameCount, 2000u) << f;
        FreeSampleData(data);
    }
}

TEST(SoundReaders, MpegMusicReportsRateBuffersBitRateDurationAndPosition) {
    std::vector<uint8_t> damaged = ReadFileBytes(Data("layer3.mp3"));
    damaged.resize(damaged.size() + 20000, 0x5A); // garbage after the last frame ends the stream all the same
    TempFile garbage(damaged);
    for (const std::string &f : {Data("layer3.mp3"), Data("layer2.mp2"), garbage.path}) {
        int kind = 0;
        void *handle = nullptr;
        ASSERT_EQ(OpenMusicFile(f.c_str(), &kind, &handle), 0) << f;
        auto *s = static_cast<SoundStream *>(handle);
        std::string text;
        EXPECT_EQ(s->frequency, 44100u);
        EXPECT_EQ(s->frameBytes, 4u);
        EXPECT_EQ(s->ready, 1152u) << f;
        EXPECT_EQ(GetMusicAttribute(kMusicAttrBitRate, kind, s, &text), 128) << f;
        if (f != garbage.path) {
            EXPECT_NEAR(GetMusicAttribute(kMusicAttrDuration, kind, s, &text), 1000, 27) << f;
        }
        GetMusicAttribute(kMusicAttrFormatName, kind, s, &text);
        EXPECT_EQ(text, "MPEG Audio");
        SeekSoundStream(s, 22050);
        EXPECT_NEAR(GetMusicAttribute(kMusicAttrPosition, kind, s, &text), 500, 27) << f;
        // Reading past the end delivers what decodes and zero-fills the rest of the buffer.
        std::vector<int16_t> pcm(2 * 44100, 1);
        int end = 0;
        uint64_t n = ReadSoundStream(s, pcm.data(), 44100, &end);
        EXPECT_EQ(end, 1);
        EXPECT_LT(n, 44100u);
        EXPECT_TRUE(std::all_of(pcm.begin() + long(2 * n), pcm.end(), [](int16_t v) { return v == 0; }));
        FreeMusicHandle(kind, handle);
    }
}

// MPEG audio after other bytes decodes from its first whole frame, as a sample and as music: padding after the tag
// changes nothing of the sound, and a stream captured from its middle is sound, not silence.
TEST(SoundReaders, MpegAfterOtherBytesDecodesFromItsFirstFrame) {
    const std::vector<uint8_t> mp3 = ReadFileBytes(Data("layer3.mp3"));
    std::vector<uint8_t> padded = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10};
    padded.resize(20 + 512, 0);
    padded.insert(padded.end(), mp3.begin(), mp3.end());
    TempFile plain(mp3), paddedFile(padded), cut(std::vector<uint8_t>(mp3.begin() + 1000, mp3.end()));
    const auto peak = [](const int16_t *pcm, size_t count) {
        int most = 0;
        for (size_t i = 0; i < count; i++) most = std::max(most, std::abs(int(pcm[i])));
        return most;
    };
    std::vector<std::vector<int16_t>> samples;
    for (const TempFile *f : {&plain, &paddedFile, &cut}) {
        SampleData *data = nullptr;
        uint64_t size = 0;
        uint32_t rate = 0;
        int format = -1;
        ASSERT_EQ(LoadSampleData(f->path.c_str(), &data, &size, &rate, &format), 0) << f->path;
        samples.emplace_back(data->pcm.size() / 2);
        std::memcpy(samples.back().data(), data->pcm.data(), data->pcm.size());
        FreeSampleData(data);
        int kind = 0;
        void *handle = nullptr;
        ASSERT_EQ(OpenMusicFile(f->path.c_str(), &kind, &handle), 0) << f->path;
        std::vector<int16_t> pcm(2 * 22050);
        int end = 0;
        EXPECT_EQ(ReadSoundStream(static_cast<SoundStream *>(handle), pcm.data(), 22050, &end), 22050u);
        EXPECT_GT(peak(pcm.data(), pcm.size()), 8000) << f->path;
        FreeMusicHandle(kind, handle);
    }
    EXPECT_EQ(samples[1], samples[0]);
    EXPECT_GT(samples[2].size(), samples[0].size() * 9 / 10);
    EXPECT_GT(peak(samples[2].data(), samples[2].size()), 8000);
}

// The fuzz target's finds, read as it reads them (an odd first byte opens the rest as music): a duration of more
// milliseconds than 32 bits hold (a damaged Info frame's frame count) saturates.
TEST(SoundReaders, FuzzRegressionsReportCleanly) {
    for (const auto &path : RegressionFiles("sound_stream")) {
        const std::vector<uint8_t> bytes = ReadFileBytes(path.string());
        ASSERT_FALSE(bytes.empty());
        TempFile file(std::vector<uint8_t>(bytes.begin() + 1, bytes.end()));
        SampleData *data = nullptr;
        uint64_t size;
        uint32_t rate;
        int format, kind;
        void *handle;
        if ((bytes[0] & 1) == 0) {
            if (LoadSampleData(file.path.c_str(), &data, &size, &rate, &format) == 0) FreeSampleData(data);
        } else if (OpenMusicFile(file.path.c_str(), &kind, &handle) == 0) {
            std::string text;
            const auto *s = static_cast<SoundStream *>(handle);
            if (kind == kMusicKindStream && double(s->frameCount) / s->frequency * 1000.0 >= 4294967296.0) {
                EXPECT_EQ(GetMusicAttribute(kMusicAttrDuration, kind, handle, &text), 4294967295.0) << path;
            }
            FreeMusicHandle(kind, handle);
        }
    }
}

TEST(SoundReaders, RefusalsGiveTheirCodes) {
    TempFile text(std::vector<uint8_t>(2000, 'x'));
    SampleData *data = nullptr;
    uint64_t size;
    uint32_t rate;
    int format, kind;
    void *handle;
    EXPECT_EQ(LoadSampleData(Data("deep24.wav").c_str(), &data, &size, &rate, &format), 1299);
    EXPECT_EQ(LoadSampleData(Data("quad.wav").c_str(), &data, &size, &rate, &format), 1357);
    EXPECT_EQ(LoadSampleData(text.path.c_str(), &data, &size, &rate, &format), 1357);
    EXPECT_EQ(OpenMusicFile(text.path.c_str(), &kind, &handle), 1235);
    EXPECT_EQ(OpenMusicFile(Data("tone.ogg").c_str(), &kind, &handle), 1235); // music is MPEG only
    EXPECT_EQ(LoadSampleData("/nonexistent/x.wav", &data, &size, &rate, &format), 1045);
    // A module is told by its contents; a WAVE with an 18-byte "fmt " is left to libsndfile, which loads it.
    std::vector<uint8_t> module = ReadFileBytes(Data("effects.mod"));
    TempFile moduleFile(module);
    ASSERT_EQ(OpenMusicFile(moduleFile.path.c_str(), &kind, &handle), 0);
    std::string name;
    const double expected[] = {-1, -1, 0, 5, 48000, -1};
    for (int attribute = kMusicAttrDuration; attribute <= kMusicAttrBitRate; attribute++)
        EXPECT_EQ(GetMusicAttribute(attribute, kind, handle, &name), expected[attribute]) << attribute;
    EXPECT_EQ(name, "Protracker");
    FreeMusicHandle(kind, handle);
    module.resize(1084 + 512);
    TempFile shortModule(module);
    EXPECT_EQ(OpenMusicFile(shortModule.path.c_str(), &kind, &handle), 1235);
    std::vector<uint8_t> wav = ReadFileBytes(Data("mono16.wav"));
    wav[16] = 18;
    wav.insert(wav.begin() + 36, {0, 0});
    TempFile extended(wav);
    ASSERT_EQ(LoadSampleData(extended.path.c_str(), &data, &size, &rate, &format), 0);
    EXPECT_EQ(data->frameCount, 1103u);
    FreeSampleData(data);
    // An 8SVX of frequency 0 is no sample for any decoder.
    TempFile zero(IffVoice("8SVX", 0, -1, 0, {1, 2, 3, 4}, 4));
    EXPECT_EQ(IsSampleFile(zero.path.c_str()), 0);
}

TEST(SoundReaders, PcmBitRateFollowsTheIntegerFormula) {
    std::vector<uint8_t> wav = ReadFileBytes(Data("stereo16.wav"));
    wav[24] = 0x22, wav[25] = 0x56, wav[26] = 0, wav[27] = 0; // 22050 Hz
    TempFile t(wav);
    int kind;
    void *handle;
    ASSERT_EQ(OpenMusicFile(t.path.c_str(), &kind, &handle), 0);
    std::string text;
    EXPECT_EQ(GetMusicAttribute(kMusicAttrBitRate, kind, handle, &text), 688);
    FreeMusicHandle(kind, handle);
}

// Every cut of every own-format file is refused or decodes to a prefix of the whole with a silent tail; a huge
// length in a small file allocates nothing large.
TEST(SoundReaders, TruncatedFilesAreRefusedOrReadWithASilentTail) {
    for (const char *f : {"mono.8svx", "stereo.8svx", "mono8.wav", "stereo16.wav", "chunky16.wav"}) {
        std::vector<uint8_t> whole = ReadFileBytes(Data(f));
        for (size_t cut = 0; cut < whole.size(); cut += 7) {
            TempFile t(std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut)));
            SoundStream *s = nullptr;
            if (OpenSoundStream(t.path.c_str(), kOpenAsSample, &s)) continue;
            if (s->kind != kSoundKindDecoder) {
                EXPECT_LE(s->chunkLength, 2 * cut) << f << " cut " << cut; // stereo IFF: a missing right half is silence
                // Two reads into buffers filled differently must agree: nothing of the buffer shows through.
                std::vector<uint8_t> a(size_t(s->frameCount * s->frameBytes), 0xAA), b(a.size(), 0x55);
                ReadSoundStream(s, a.data(), s->frameCount, nullptr);
                SeekSoundStream(s, 0);
                ReadSoundStream(s, b.data(), s->frameCount, nullptr);
                EXPECT_EQ(a, b) << f << " cut " << cut;
            }
            CloseSoundStream(s);
        }
    }
    std::vector<uint8_t> huge = IffVoice("8SVX", 8000, -1, 0, std::vector<uint8_t>(40, 9), 0xFFFFFFFF);
    TempFile t(huge);
    SoundStream *s = nullptr;
    ASSERT_EQ(OpenSoundStream(t.path.c_str(), kOpenAsSample, &s), 0);
    EXPECT_EQ(s->frameCount, 40u);
    CloseSoundStream(s);
}

TEST(SoundReaders, SniffingLooksOnlyAtTheContainerTags) {
    struct Case { std::vector<uint8_t> head; int kind; } cases[] = {
        {{'F', 'O', 'R', 'M', 0, 0, 0, 4, '8', 'S', 'V', 'X'}, kSoundKind8svx},
        {{'F', 'O', 'R', 'M', 0, 0, 0, 4, '1', '6', 'S', 'V'}, kSoundKind16sv},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'}, kSoundKindWave},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'A', 'V', 'I', ' '}, kSoundKindNone},
        {{'F', 'O', 'R', 'M', 0, 0, 0, 4, 'I', 'L', 'B', 'M'}, kSoundKindNone},
        {{'F', 'O', 'R', 'M', 0, 0, 0, 4, '8', 'S', 'V'}, kSoundKindNone},
    };
    for (const Case &c : cases) {
        TempFile t(c.head);
        EXPECT_EQ(SniffSoundFormat(t.path.c_str()), c.kind);
    }
}

} // namespace

#include "player/applet_loader.h"
#include "runtime/app/errors.h"
#include "tests/fuzz/applet_values.h"
#include "tests/player/player_test_support.h"
#include "tools/applet/applet_file.h"
#include "tools/applet/link.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "host/virtual_file.h"

namespace {

AppletContents SampleContents() {
    AppletContents contents;
    contents.scriptName = "demo.vls";
    contents.chunk = {0x1B, 'V', 'L', 'B', 1, 2, 3, 4, 5, 6, 7, 8};
    contents.labels = {{"start", 3}, {"loop", 9}};
    contents.hasDisplaySettings = true;
    contents.displaySettings.type = kAppletValueTable;
    contents.displaySettings.table = {{AppletText("width"), AppletNumber(640)},
                                      {AppletText("title"), AppletText("Demo")}};
    AppletPreload brush;
    brush.kind = kPreloadBrush;
    brush.arguments = {AppletNumber(1), AppletText("logo.png")};
    AppletPreload file;
    file.kind = kPreloadFile;
    file.arguments = {AppletValue{}, AppletText("data.txt")};
    contents.preloads = {file, brush};
    contents.linkedFiles = {{"gfx/logo.png", {'P', 'N', 'G', '!'}}, {"data.txt", {'h', 'i', '\n'}}};
    return contents;
}

std::vector<uint8_t> SampleApplet() {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(WriteApplet(SampleContents(), bytes, error)) << error;
    return bytes;
}

std::string ReadLinked(const LoadedApplet &applet, const char *name) {
    std::string chunkName;
    if (!FindLinkedAppletFile(applet, name, &chunkName)) return "<not linked>";
    VirtualFile *file = OpenVirtualFile(chunkName.c_str(), kVirtualFileRead);
    if (!file) return "<cannot open " + chunkName + ">";
    char buffer[64] = {};
    int64_t n = ReadVirtualFileBuffered(file, buffer, sizeof buffer);
    CloseVirtualFile(file);
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

class AppletLoader : public ::testing::Test {
protected:
    ScratchDirectory dir;
    // Writes bytes as dir/name and reads its records into *applet; the file stays for linked-file reads.
    int Read(const std::vector<uint8_t> &bytes, LoadedApplet *applet, const std::string &name = "a.vla") {
        WriteBytes(dir.File(name), bytes);
        return ReadAppletRecords(dir.File(name).c_str(), 0, nullptr, applet);
    }
};

TEST_F(AppletLoader, ReadsEveryRecordOfAWrittenApplet) {
    LoadedApplet applet;
    ASSERT_EQ(Read(SampleApplet(), &applet), 0);
    EXPECT_EQ(applet.scriptName, "demo.vls");
    EXPECT_EQ(applet.chunk, SampleContents().chunk);
    ASSERT_EQ(applet.labels.size(), 2u);
    EXPECT_EQ(applet.labels[1].first, "loop");
    EXPECT_EQ(applet.labels[1].second, 9u);
    ASSERT_TRUE(applet.hasDisplaySettings);
    ASSERT_EQ(applet.displaySettings.size(), 2u);
    EXPECT_EQ(applet.displaySettings[0].first, "width");
    EXPECT_EQ(applet.displaySettings[0].second.number, 640);
    EXPECT_EQ(applet.displaySettings[1].second.text, "Demo");
    ASSERT_EQ(applet.preloads.size(), 2u);
    EXPECT_EQ(applet.preloads[0].kind, kPreloadFile);
    EXPECT_EQ(applet.preloads[0].arguments[0].type, kAppletValueNil);
    EXPECT_EQ(applet.preloads[1].arguments[1].text, "logo.png");
    EXPECT_EQ(ReadLinked(applet, "data.txt"), "hi\n");
}

// The payload of a brush preload record whose third argument is the option table {loadalpha = 1}.
std::vector<uint8_t> BrushWithOptionTablePayload() {
    AppletContents contents;
    contents.chunk = {0x1B, 'V', 'L', 'B'};
    AppletPreload brush;
    brush.kind = kPreloadBrush;
    AppletValue options;
    options.type = kAppletValueTable;
    options.table = {{AppletText("loadalpha"), AppletNumber(1)}};
    brush.arguments = {AppletNumber(1), AppletText("x.png"), options};
    contents.preloads = {brush};
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(WriteApplet(contents, bytes, error)) << error;
    // Find the preload record and return its payload.
    for (size_t at = 4; at + 5 <= bytes.size() && bytes[at] != 0;) {
        size_t length = size_t(bytes[at + 1]) << 24 | size_t(bytes[at + 2]) << 16 | size_t(bytes[at + 3]) << 8 |
                        bytes[at + 4];
        if (bytes[at] == kAppletPreload)
            return std::vector<uint8_t>(bytes.begin() + long(at + 5), bytes.begin() + long(at + 5 + length));
        at += 5 + length;
    }
    ADD_FAILURE() << "no preload record written";
    return {};
}

// An applet as written before it carried a checksum (the last record before the end mark).
std::vector<uint8_t> WithoutChecksum(std::vector<uint8_t> bytes) {
    const size_t at = bytes.size() - 4 - kAppletChecksumRecordSize;
    EXPECT_EQ(bytes[at], kAppletChecksum);
    bytes.erase(bytes.begin() + long(at), bytes.begin() + long(at + kAppletChecksumRecordSize));
    return bytes;
}

// The sample applet with one extra record, whose length matches its payload, in front of the others (and no
// checksum, which the extra record would break).
std::vector<uint8_t> SampleWithRecord(AppletRecordTag tag, const std::vector<uint8_t> &payload) {
    std::vector<uint8_t> bytes = WithoutChecksum(SampleApplet());
    std::vector<uint8_t> record = {tag, uint8_t(payload.size() >> 24), uint8_t(payload.size() >> 16),
                                   uint8_t(payload.size() >> 8), uint8_t(payload.size())};
    record.insert(record.end(), payload.begin(), payload.end());
    bytes.insert(bytes.begin() + 4, record.begin(), record.end());
    return bytes;
}

TEST_F(AppletLoader, ReadsAnOptionTableInAPreloadDeclaration) {
    LoadedApplet applet;
    ASSERT_EQ(Read(SampleWithRecord(kAppletPreload, BrushWithOptionTablePayload()), &applet), 0);
    ASSERT_EQ(applet.preloads.size(), 3u);
    const AppletPreloadDeclaration &brush = applet.preloads[0];
    ASSERT_EQ(brush.arguments.size(), 3u);
    ASSERT_EQ(brush.arguments[2].type, kAppletValueTable);
    ASSERT_EQ(brush.arguments[2].table.size(), 1u);
    EXPECT_EQ(brush.arguments[2].table[0].key.text, "loadalpha");
    EXPECT_EQ(brush.arguments[2].table[0].value.number, 1);
}

TEST_F(AppletLoader, TruncatedOptionTableInAPreloadIsRefused) {
    std::vector<uint8_t> payload = BrushWithOptionTablePayload();
    // Every shorter payload, with the record length telling the truth, leaves the table or an argument unfinished.
    for (size_t length = 0; length < payload.size(); ++length) {
        std::vector<uint8_t> cut(payload.begin(), payload.begin() + long(length));
        LoadedApplet applet;
        ASSERT_EQ(Read(SampleWithRecord(kAppletPreload, cut), &applet), kErrNotAnApplet)
            << "accepted a preload payload cut to " << length << " of " << payload.size() << " bytes";
    }
}

TEST_F(AppletLoader, OptionTableCountBeyondThePayloadIsRefused) {
    // kind, one argument: a table claiming 0x7FFFFFFF pairs in a few bytes.
    std::vector<uint8_t> payload = {kPreloadBrush, 1, kAppletValueTable, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0};
    LoadedApplet applet;
    EXPECT_EQ(Read(SampleWithRecord(kAppletPreload, payload), &applet), kErrNotAnApplet);
}

TEST_F(AppletLoader, TableNestedInAPreloadOptionTableIsRefused) {
    // kind, one argument: {0 = {}}.
    std::vector<uint8_t> payload = {kPreloadBrush, 1, kAppletValueTable, 0, 0, 0, 1, kAppletValueNumber,
                                    0, 0, 0, 0, 0, 0, 0, 0, kAppletValueTable, 0, 0, 0, 0};
    LoadedApplet applet;
    EXPECT_EQ(Read(SampleWithRecord(kAppletPreload, payload), &applet), kErrNotAnApplet);
}

TEST_F(AppletLoader, NaNKeyInAPreloadOptionTableIsRefused) {
    std::vector<uint8_t> payload = {kPreloadBrush, 1, kAppletValueTable, 0, 0, 0, 1, kAppletValueNumber,
                                    0x7F, 0xF8, 0, 0, 0, 0, 0, 0, kAppletValueNumber, 0, 0, 0, 0, 0, 0, 0, 0};
    LoadedApplet applet;
    EXPECT_EQ(Read(SampleWithRecord(kAppletPreload, payload), &applet), kErrNotAnApplet);
}

TEST_F(AppletLoader, LinkedNamesMatchIgnoringCaseAndDotSlash) {
    LoadedApplet applet;
    ASSERT_EQ(Read(SampleApplet(), &applet), 0);
    EXPECT_EQ(ReadLinked(applet, "./GFX\\Logo.PNG"), "PNG!");
    EXPECT_EQ(ReadLinked(applet, "logo.png"), "<not linked>");
}

TEST_F(AppletLoader, AppletAtAnOffsetKeepsContainerOffsets) {
    std::vector<uint8_t> bytes(1000, 0xAA);
    std::vector<uint8_t> applet = SampleApplet();
    bytes.insert(bytes.end(), applet.begin(), applet.end());
    WriteBytes(dir.File("program"), bytes);
    LoadedApplet loaded;
    ASSERT_EQ(ReadAppletRecords(dir.File("program").c_str(), 1000, "program", &loaded), 0);
    EXPECT_EQ(loaded.offset, 1000);
    EXPECT_GT(loaded.linkedFiles[0].offset, 1000u);
    EXPECT_EQ(ReadLinked(loaded, "gfx/logo.png"), "PNG!");
}

TEST_F(AppletLoader, NonAppletGives1211NamingTheFile) {
    WriteText(dir.File("notes.txt"), "just some text, not an applet");
    LoadedApplet applet;
    EXPECT_EQ(OpenApplet(dir.File("notes.txt").c_str(), 0, nullptr, &applet), kErrNotAnApplet);
    EXPECT_EQ(GetErrorText(kErrNotAnApplet), dir.File("notes.txt") + " is no Vistaloom applet!");
}

TEST_F(AppletLoader, EveryTruncationIsRefused) {
    std::vector<uint8_t> bytes = SampleApplet();
    for (size_t length = 0; length < bytes.size(); ++length) {
        LoadedApplet applet;
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(length));
        ASSERT_EQ(Read(cut, &applet), kErrNotAnApplet)
            << "accepted an applet cut to " << length << " of " << bytes.size() << " bytes";
    }
}

TEST_F(AppletLoader, HugeRecordLengthIsRefusedWithoutAllocating) {
    std::vector<uint8_t> bytes = SampleApplet();
    // The first record's length field follows the magic and the tag.
    bytes[5] = bytes[6] = bytes[7] = bytes[8] = 0xFF;
    LoadedApplet applet;
    EXPECT_EQ(Read(bytes, &applet), kErrNotAnApplet);
}

TEST_F(AppletLoader, AppletWithoutAScriptChunkIsRefused) {
    AppletContents contents = SampleContents();
    contents.chunk.clear();
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(WriteApplet(contents, bytes, error));
    // The writer may still store an empty chunk record; an applet with no usable chunk must not load either way.
    LoadedApplet applet;
    int result = Read(bytes, &applet);
    if (result == 0) EXPECT_TRUE(applet.chunk.empty());
    else EXPECT_EQ(result, kErrNotAnApplet);
}

TEST_F(AppletLoader, OddNumbersInDisplaySettingsAreHarmless) {
    AppletContents contents = SampleContents();
    contents.displaySettings.table = {{AppletNumber(0.0 / 0.0), AppletNumber(1)},
                                      {AppletNumber(1e300), AppletNumber(-1e300)},
                                      {AppletText("startcolor"), AppletNumber(1e20)}};
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(WriteApplet(contents, bytes, error)) << error;
    LoadedApplet applet;
    ASSERT_EQ(Read(bytes, &applet), 0);
    ASSERT_EQ(applet.displaySettings.size(), 3u);
    EXPECT_EQ(applet.displaySettings[1].first, "1e+300");
}

TEST_F(AppletLoader, ChangedOrMisplacedBytesFailTheChecksum) {
    const std::vector<uint8_t> original = SampleApplet();
    for (size_t at = 4; at < original.size() - 4; ++at) {
        std::vector<uint8_t> bytes = original;
        bytes[at] ^= 0x20;
        LoadedApplet applet;
        ASSERT_EQ(Read(bytes, &applet), kErrNotAnApplet) << "a changed byte at " << at << " was accepted";
    }
    // No value of the checksum's own tag byte may switch the check off.
    const size_t checksumTag = original.size() - 4 - kAppletChecksumRecordSize;
    for (int tag = 0; tag < 256; ++tag) {
        if (tag == kAppletChecksum) continue;
        std::vector<uint8_t> bytes = original;
        bytes[checksumTag] = uint8_t(tag);
        LoadedApplet applet;
        ASSERT_EQ(Read(bytes, &applet), kErrNotAnApplet) << "checksum tag " << tag << " was accepted";
    }
    // A record after the checksum would escape it.
    std::vector<uint8_t> trailing = original;
    const std::vector<uint8_t> record = {0x40, 0, 0, 0, 1, 'x'};
    trailing.insert(trailing.end() - 4, record.begin(), record.end());
    LoadedApplet applet;
    EXPECT_EQ(Read(trailing, &applet), kErrNotAnApplet);
}

TEST_F(AppletLoader, UnknownRecordTagsAreRefused) {
    std::vector<uint8_t> bytes = WithoutChecksum(SampleApplet());
    std::vector<uint8_t> extra = {0x40, 0, 0, 0, 3, 'x', 'y', 'z'};
    bytes.insert(bytes.begin() + 4, extra.begin(), extra.end());
    LoadedApplet applet;
    EXPECT_EQ(Read(bytes, &applet), kErrNotAnApplet);
}

TEST_F(AppletLoader, RandomDamageNeverCrashes) {
    std::vector<uint8_t> original = SampleApplet();
    std::mt19937 random(11);
    for (int round = 0; round < 1500; ++round) {
        std::vector<uint8_t> bytes = original;
        int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        LoadedApplet applet;
        int result = Read(bytes, &applet);
        ASSERT_TRUE(result == 0 || result == kErrNotAnApplet) << result;
    }
}

TEST_F(AppletLoader, CompressedAppletIsUnpackedToATemporaryFile) {
    std::vector<uint8_t> packed;
    std::string error;
    ASSERT_TRUE(CompressApplet(SampleApplet(), packed, error)) << error;
    WriteBytes(dir.File("a.vlz"), packed);
    LoadedApplet applet;
    ASSERT_EQ(OpenApplet(dir.File("a.vlz").c_str(), 0, nullptr, &applet), 0);
    ASSERT_FALSE(applet.temporaryFile.empty());
    EXPECT_EQ(applet.containerPath, applet.temporaryFile);
    EXPECT_EQ(ReadLinked(applet, "data.txt"), "hi\n");
    std::filesystem::remove(applet.temporaryFile);
}

TEST_F(AppletLoader, DamagedCompressedAppletGivesAnErrorAndNoApplet) {
    std::vector<uint8_t> packed;
    std::string error;
    ASSERT_TRUE(CompressApplet(SampleApplet(), packed, error));
    for (size_t length : {size_t(4), size_t(9), packed.size() / 2, packed.size() - 1}) {
        WriteBytes(dir.File("cut.vlz"), std::vector<uint8_t>(packed.begin(), packed.begin() + static_cast<long>(length)));
        LoadedApplet applet;
        EXPECT_NE(OpenApplet(dir.File("cut.vlz").c_str(), 0, nullptr, &applet), 0) << length;
        if (!applet.temporaryFile.empty()) std::filesystem::remove(applet.temporaryFile);
    }
}

TEST_F(AppletLoader, BarePlayerHasNoAppendedApplet) {
    EXPECT_EQ(AppendedAppletOffset(), -1);
}

} // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "tools/applet/applet_file.h"
#include "tools/applet/link.h"
#include "tools/compiler/directives.h"
#include "tools/compiler/parser.h"
#include "tests/support/files.h"

namespace {

AppletValue Number(double n) {
    AppletValue v;
    v.type = kAppletValueNumber;
    v.number = n;
    return v;
}
AppletValue String(std::string s) {
    AppletValue v;
    v.type = kAppletValueString;
    v.text = std::move(s);
    return v;
}

AppletContents SampleContents() {
    AppletContents c;
    c.scriptName = "demo.vls";
    c.chunk = {0x1b, 'V', 'L', 'B', 1, 2, 3};
    c.labels = {{"start", 3}, {"onbuttonclick1", 17}};
    c.hasDisplaySettings = true;
    c.displaySettings.type = kAppletValueTable;
    c.displaySettings.table.push_back({String("width"), Number(640)});
    c.displaySettings.table.push_back({String("title"), String("Demo")});
    AppletPreload brush;
    brush.kind = kPreloadBrush;
    brush.arguments = {Number(1), String("gfx/a.png"), AppletValue{}};
    c.preloads.push_back(brush);
    c.linkedFiles.push_back({"gfx/a.png", {0, 1, 2, 255}});
    return c;
}

std::vector<uint8_t> SampleApplet() {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(WriteApplet(SampleContents(), bytes, error)) << error;
    return bytes;
}

TEST(AppletFile, StartsWithMagicAndEndsWithEndMark) {
    auto bytes = SampleApplet();
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::memcmp(bytes.data(), "VLA\0", 4), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + bytes.size() - 4, "\0EOF", 4), 0);
}

TEST(AppletFile, RoundTripsEveryRecordKind) {
    AppletContents back;
    std::string error;
    ASSERT_TRUE(ReadApplet(SampleApplet(), back, error)) << error;
    AppletContents want = SampleContents();
    EXPECT_EQ(back.scriptName, want.scriptName);
    EXPECT_EQ(back.chunk, want.chunk);
    ASSERT_EQ(back.labels.size(), 2u);
    EXPECT_EQ(back.labels[1].name, "onbuttonclick1");
    EXPECT_EQ(back.labels[1].instruction, 17u);
    ASSERT_TRUE(back.hasDisplaySettings);
    EXPECT_EQ(back.displaySettings.table[0].value.number, 640);
    EXPECT_EQ(back.displaySettings.table[1].value.text, "Demo");
    ASSERT_EQ(back.preloads.size(), 1u);
    EXPECT_EQ(back.preloads[0].kind, kPreloadBrush);
    EXPECT_EQ(back.preloads[0].arguments[1].text, "gfx/a.png");
    EXPECT_EQ(back.preloads[0].arguments[2].type, kAppletValueNil);
    ASSERT_EQ(back.linkedFiles.size(), 1u);
    EXPECT_EQ(back.linkedFiles[0].bytes, (std::vector<uint8_t>{0, 1, 2, 255}));
}

TEST(AppletFile, EveryTruncationIsRefused) {
    auto bytes = SampleApplet();
    for (size_t size = 0; size < bytes.size(); ++size) {
        AppletContents back;
        std::string error;
        EXPECT_FALSE(ReadApplet(std::span(bytes.data(), size), back, error)) << size;
    }
}

TEST(AppletFile, UnknownRecordTagsAreRefused) {
    auto bytes = SampleApplet();
    const uint8_t future[] = {200, 0, 0, 0, 2, 'h', 'i'};
    bytes.insert(bytes.begin() + 4, future, future + sizeof future);
    AppletContents back;
    std::string error;
    EXPECT_FALSE(ReadApplet(bytes, back, error));
    EXPECT_EQ(error, "unknown record (tag 200)");
}

TEST(AppletFile, RecordLengthBeyondTheFileIsRefused) {
    auto bytes = SampleApplet();
    bytes[5] = 0x7f; // the script name record's length, high byte
    AppletContents back;
    std::string error;
    EXPECT_FALSE(ReadApplet(bytes, back, error));
    EXPECT_EQ(error, "applet record runs past the end of the file");
}

TEST(AppletFile, HugeCountsInsideARecordAllocateNothing) {
    // A display record claiming four billion pairs in a six-byte payload.
    std::vector<uint8_t> bytes = {'V', 'L', 'A', 0, kAppletScriptChunk, 0, 0, 0, 0,
                                  kAppletDisplaySettings, 0, 0, 0, 5, kAppletValueTable, 0xff, 0xff, 0xff, 0xff,
                                  0, 'E', 'O', 'F'};
    AppletContents back;
    std::string error;
    EXPECT_FALSE(ReadApplet(bytes, back, error));
}

TEST(AppletFile, CompressedFormRoundTrips) {
    auto bytes = SampleApplet();
    std::vector<uint8_t> packed, unpacked;
    std::string error;
    ASSERT_TRUE(CompressApplet(bytes, packed, error)) << error;
    EXPECT_EQ(std::memcmp(packed.data(), "VLZ\0\0\0\0\0", 8), 0);
    ASSERT_TRUE(DecompressApplet(packed, unpacked, error)) << error;
    EXPECT_EQ(unpacked, bytes);
}

TEST(AppletFile, TruncatedCompressedFormIsRefused) {
    std::vector<uint8_t> packed, unpacked;
    std::string error;
    ASSERT_TRUE(CompressApplet(SampleApplet(), packed, error));
    for (size_t size = 0; size < packed.size(); ++size)
        EXPECT_FALSE(DecompressApplet(std::span(packed.data(), size), unpacked, error)) << size;
}

TEST(AppletFile, DecompressionStopsAtTheSizeLimit) {
    std::vector<uint8_t> big(1 << 20, 'x'), packed, unpacked;
    std::string error;
    ASSERT_TRUE(CompressApplet(big, packed, error));
    EXPECT_FALSE(DecompressApplet(packed, unpacked, error, 4096));
}

std::vector<uint8_t> FakePlayer(int markers, uint32_t word = kAppletMarkerUnlinked) {
    std::vector<uint8_t> image(300, 0x90);
    for (int m = 0; m < markers; ++m) {
        std::vector<uint8_t> block(kAppletMarkerSize, 0);
        std::memcpy(block.data(), kAppletMarkerMaker, sizeof kAppletMarkerMaker - 1);
        uint32_t words[3] = {word, kAppletMarkerWord1, kAppletMarkerWord2};
        for (int i = 0; i < 3; ++i)
            for (int b = 0; b < 4; ++b) block[32 + 4 * i + b] = uint8_t(words[i] >> (24 - 8 * b));
        image.insert(image.begin() + 100 + m * 60, block.begin(), block.end());
    }
    return image;
}

TEST(Linker, AppendsAppletAndPatchesTheMarkerWordWithItsOffset) {
    auto player = FakePlayer(1);
    auto applet = SampleApplet();
    std::vector<uint8_t> linked;
    std::string error;
    ASSERT_TRUE(LinkApplet(player, applet, linked, error)) << error;
    ASSERT_EQ(linked.size(), player.size() + applet.size());
    const uint8_t *word = linked.data() + 100 + 32;
    uint32_t offset = uint32_t(word[0]) << 24 | word[1] << 16 | word[2] << 8 | word[3];
    EXPECT_EQ(offset, player.size());
    EXPECT_EQ(std::memcmp(linked.data() + offset, "VLA\0", 4), 0);
}

TEST(Linker, RefusesPlayerWithoutMarker) {
    std::vector<uint8_t> linked;
    std::string error;
    EXPECT_FALSE(LinkApplet(FakePlayer(0), SampleApplet(), linked, error));
}

TEST(Linker, RefusesPlayerThatAlreadyCarriesAnApplet) {
    std::vector<uint8_t> linked;
    std::string error;
    EXPECT_FALSE(LinkApplet(FakePlayer(1, 1234), SampleApplet(), linked, error));
    EXPECT_EQ(error, "the player already carries an applet");
}

TEST(Linker, RefusesAmbiguousMarkers) {
    EXPECT_EQ(FindAppletMarker(FakePlayer(2)), -2);
}

TEST(Linker, RefusesToAppendANonApplet) {
    std::vector<uint8_t> linked, junk = {'E', 'L', 'F', 0};
    std::string error;
    EXPECT_FALSE(LinkApplet(FakePlayer(1), junk, linked, error));
}

struct DirectiveResult {
    bool ok;
    AppletContents contents;
    CompileError error;
};

DirectiveResult Collect(std::string_view source, const std::string &base = "") {
    ScriptNode script;
    DirectiveResult r;
    EXPECT_TRUE(ParseScript(source, script, r.error)) << r.error.message;
    r.ok = CollectDirectives(script, base, r.contents, r.error);
    return r;
}

TEST(Directives, DisplaySettingsKeepTheirNamesAndValues) {
    auto r = Collect("@Display {Width = 320, TITLE = \"Hi\", [\"Height\"] = 200}");
    ASSERT_TRUE(r.ok) << r.error.message;
    const auto &t = r.contents.displaySettings.table;
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1].key.text, "title");
    EXPECT_EQ(t[1].value.text, "Hi");
    EXPECT_EQ(t[2].key.text, "height");
}

// An unknown setting is named with what was likely meant: the closest setting, the command that turns layers
// on, or where the settings are listed.
TEST(Directives, UnknownDisplaySettingIsNamedWithAHint) {
    auto r = Collect("\n@display {Widht = 320}");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.message, "unknown display setting 'widht' (did you mean 'width'?)");
    EXPECT_EQ(r.error.line, 2);
    EXPECT_EQ(Collect("@DISPLAY {Layers = True}").error.message,
              "unknown display setting 'layers' (layers are turned on by the command EnableLayers(), not by a "
              "setting)");
    EXPECT_EQ(Collect("@DISPLAY {[\"ScreenWidht\"] = 640}").error.message,
              "unknown display setting 'ScreenWidht' (did you mean 'screenwidth'?)");
    EXPECT_EQ(Collect("@DISPLAY {Fullscreen = True}").error.message,
              "unknown display setting 'fullscreen' (the settings are listed under @DISPLAY in "
              "docs/script-language.md)");
}

TEST(Directives, PreloadsKeepKindAndArguments) {
    auto r = Collect("@brush 1, \"a.png\", {LoadAlpha = True}\n@font 2, \"x.font\", 8");
    ASSERT_TRUE(r.ok) << r.error.message;
    ASSERT_EQ(r.contents.preloads.size(), 2u);
    EXPECT_EQ(r.contents.preloads[0].kind, kPreloadBrush);
    EXPECT_EQ(r.contents.preloads[0].arguments[2].table[0].key.text, "loadalpha");
    EXPECT_EQ(r.contents.preloads[0].arguments[2].table[0].value.number, 1);
    EXPECT_EQ(r.contents.preloads[1].kind, kPreloadFont);
}

TEST(Directives, ConstantsAndExpressionsAreRefused) {
    EXPECT_NE(Collect("@brush 1, #RED").error.message.find("#red cannot be used"), std::string::npos);
    EXPECT_FALSE(Collect("@brush 1, x").ok);
    EXPECT_FALSE(Collect("@brush 1, {a = {1}}").ok);
}

TEST(Directives, UnknownDirectiveIsNamed) {
    EXPECT_EQ(Collect("@bursh 1, \"a\"").error.message, "unknown directive '@bursh'");
}

TEST(Directives, LinkedFilesAreReadRelativeToTheScript) {
    ScratchDirectory dir;
    std::filesystem::create_directories(dir.File("gfx"));
    WriteText(dir.File("gfx/a.bin"), "abc");
    auto r = Collect("@linkfile \"gfx/a.bin\"", dir.path);
    ASSERT_TRUE(r.ok) << r.error.message;
    ASSERT_EQ(r.contents.linkedFiles.size(), 1u);
    EXPECT_EQ(r.contents.linkedFiles[0].name, "gfx/a.bin");
    EXPECT_EQ(r.contents.linkedFiles[0].bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
}

TEST(Directives, MissingLinkedFileIsAnErrorAtItsName) {
    auto r = Collect("x = 1\n@linkfile \"/nonexistent/vl.png\"");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.line, 2);
    EXPECT_EQ(r.error.column, 11);
    for (const char *device : {"/dev/zero", "/tmp"}) {
        r = Collect(std::string("@linkfile \"") + device + "\"");
        EXPECT_EQ(r.error.message, std::string("linked file '") + device + "' is not a regular file");
    }
}

} // namespace

namespace {

TEST(AppletFile, RandomlyDamagedAppletsAreReadOrRefusedSafely) {
    std::vector<uint8_t> good = SampleApplet(), packed;
    std::string error;
    ASSERT_TRUE(CompressApplet(good, packed, error));
    std::mt19937 random(77);
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> bytes = round % 2 ? packed : good;
        for (int flips = 1 + int(random() % 4); flips > 0; --flips) bytes[random() % bytes.size()] ^= uint8_t(1u << (random() % 8));
        AppletContents contents;
        std::vector<uint8_t> plain;
        if (round % 2 == 0)
            ReadApplet(bytes, contents, error);
        else if (DecompressApplet(bytes, plain, error, 1 << 20))
            ReadApplet(plain, contents, error);
    }
}

} // namespace

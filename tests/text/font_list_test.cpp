// The installed-font list: the directory scan, the name reader on hostile faces, and opening a face by its full
// name out of a plain file, a collection and a resource file.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/path.h"
#include "tests/player/player_test_support.h"
#include "tests/text/make_test_font.h"
#include "text/fonts/font_directories.h"
#include "text/fonts/font_handle.h"
#include "text/fonts/system_fonts.h"
#include "text/fonts/truetype_font.h"

namespace {

TestFontSpec Sized11() {
    TestFontSpec desc;
    desc.height = 11;
    desc.baseline = 9;
    return desc;
}

const std::string kVera = "/usr/share/fonts/truetype/ttf-bitstream-vera/";

FontBytes Named(const std::string &family, const std::string &style) {
    return MakeNamedSfnt({{3, 1, 0x0409, 1, Utf16(family)}, {3, 1, 0x0409, 2, Utf16(style)}});
}

std::string Dump() {
    std::string out;
    for (const FontListEntry &e : CurrentFontList()) {
        out += e.fullName + "|" + e.family + "|" + std::to_string(e.weight) + "/" + std::to_string(e.slant) + "|" +
               std::filesystem::path(e.path).filename().string() + "|" + std::to_string(e.bitmap);
        for (uint8_t size : e.sizes) out += " " + std::to_string(size);
        out += "\n";
    }
    return out;
}

TEST(FontList, ScansDirectoriesAndSurvivesHostileFaces) {
    ScratchDirectory first, second;
    std::filesystem::copy_file(kVera + "Vera.ttf", first.File("Vera.ttf"));
    std::filesystem::copy_file(kVera + "Vera.ttf", second.File("VeraCopy.ttf"));
    WriteBytes(first.File("a.ttf"), Named("Tiny", "Bold"));
    WriteBytes(first.File("Styles.otf"), Named("Sty", "Bold Italic"));
    WriteBytes(first.File("Slanted.TTF"), Named("Obl", "Oblique"));
    WriteBytes(first.File("Unknown.ttf"), Named("Unk", "Wobbly"));
    WriteBytes(first.File("Fam.font"), MakeFontContents({{"Fam/8", 8}, {"Fam/11", 11}, {"Fam/8b", 8}}));
    WriteBytes(first.File("Outl.font"), MakeFontContents({}, 0x0F03));
    WriteBytes(first.File("Other.font"), MakeFontContents({}, 0x0F01));
    WriteBytes(first.File("notes.txt"), Named("Txt", ""));
    // Hostile or odd name tables, collections and resource files.
    WriteBytes(second.File("Long300.ttf"), MakeNamedSfnt({{0, 3, 0, 1, std::string(300, 'L')}}));
    WriteBytes(second.File("Long600.ttf"), MakeNamedSfnt({{0, 3, 0, 1, std::string(600, 'X')}}));
    WriteBytes(second.File("Filter.ttf"), MakeNamedSfnt({{3, 1, 0x0407, 1, Utf16("Deutsch")},
                                                         {1, 0, 2, 1, "Fremd"},
                                                         {3, 1, 0x0809, 1, Utf16("English")}}));
    FontBytes truncated = ReadFileBytes(kVera + "VeraBd.ttf");
    truncated.resize(300);
    WriteBytes(second.File("Truncated.ttf"), truncated);
    FontBytes hugeCount = MakeCollection({Named("Huge", "")});
    hugeCount[8] = hugeCount[9] = hugeCount[10] = hugeCount[11] = 0xFF;
    WriteBytes(second.File("HugeCount.ttc"), hugeCount);
    WriteBytes(second.File("NotCollection.ttc"), Named("Nope", ""));
    FontBytes looping = MakeResourceFile({Named("Res", "Light"), Named("Gone", "")});
    looping[256 + 4 + Named("Res", "Light").size()] = 0xFF; // the second length runs past the end
    WriteBytes(second.File("Looping.dfont"), looping);
    FontBytes tables = Named("Many", "");
    tables[4] = tables[5] = 0xFF;
    WriteBytes(second.File("ManyTables.ttf"), tables);

    EXPECT_EQ(ScanFontDirectory(first.path.c_str(), 0), 0);
    EXPECT_EQ(ScanFontDirectory(second.path.c_str(), 0), 0);
    EXPECT_EQ(ScanFontDirectory((first.path + "/missing").c_str(), 0), 1286);
    EXPECT_EQ(ScanFontDirectory(first.File("Vera.ttf").c_str(), 0), 1250);
    EXPECT_EQ(Dump(), "Fam|Fam|80/0|Fam.font|1 8 11\n"
                      "Outl|Outl|80/0|Outl.font|0\n"
                      "Obl Oblique|Obl|80/110|Slanted.TTF|0\n"
                      "Sty Bold Italic|Sty|200/100|Styles.otf|0\n"
                      "Unk Wobbly|Unk|80/0|Unknown.ttf|0\n"
                      "Bitstream Vera Sans Roman|Bitstream Vera Sans|80/0|Vera.ttf|0\n"
                      "Bitstream Vera Sans|Bitstream Vera Sans|80/0|Vera.ttf|0\n"
                      "English|English|80/0|Filter.ttf|0\n"
                      "Huge|Huge|80/0|HugeCount.ttc|0\n" +
                          std::string(255, 'L') + "|" + std::string(255, 'L') + "|80/0|Long300.ttf|0\n"
                      "Res Light|Res|50/0|Looping.dfont|0\n");
    FreeFontList();
    ScanFontDirectory(first.path.c_str(), 1);
    EXPECT_EQ(CurrentFontList().size(), 6u) << Dump();
    FreeFontList();
}

TEST(FontList, OpensFacesByFullNameFromFilesCollectionsAndResourceFiles) {
    ScratchDirectory fonts, temp;
    WriteBytes(fonts.File("Pair.ttc"), MakeCollection({ReadFileBytes(kVera + "VeraSe.ttf"), ReadFileBytes(kVera + "VeraBd.ttf")}));
    WriteBytes(fonts.File("Mono.dfont"), MakeResourceFile({Named("Skip", ""), ReadFileBytes(kVera + "VeraMoBd.ttf")}));
    std::filesystem::copy_file(kVera + "VeraIt.ttf", fonts.File("VeraIt.ttf"));
    setenv("VISTALOOM_FONT_DIRS", fonts.path.c_str(), 1);
    setenv("TMPDIR", temp.path.c_str(), 1);
    FontHandle *topaz = nullptr;
    ASSERT_EQ(InitFontSystem(&topaz), 0);
    struct Case {
        const char *name, *handleName;
        int temporaryFiles;
    };
    for (const Case &c : {Case{"bitstream vera sans bold", "Bitstream Vera Sans Bold", 1},
                          Case{"bitstream vera serif roman", "Bitstream Vera Serif", 1},
                          Case{"Bitstream Vera Sans Mono Bold", "Bitstream Vera Sans Mono Bold", 0},
                          Case{"Bitstream Vera Sans Oblique", "Bitstream Vera Sans Oblique", 0}}) {
        FontHandle *font = nullptr;
        ASSERT_EQ(OpenFontObject(c.name, 14, kFontEngineInbuilt, 0, 0, &font), 0) << c.name;
        EXPECT_STREQ(font->name, c.handleName);
        TextExtentInfo extent;
        MeasureText(font, "Hello", 5, 0, 0, &extent);
        EXPECT_GT(extent.width, 20) << c.name;
        auto files = std::distance(std::filesystem::directory_iterator(temp.path), {});
        EXPECT_EQ(files, c.temporaryFiles) << c.name;
        CloseFontObject(font);
        EXPECT_TRUE(std::filesystem::is_empty(temp.path)) << c.name;
    }
    FontHandle *font = nullptr;
    EXPECT_EQ(OpenFontObject("Skip", 14, kFontEngineInbuilt, 0, 0, &font), 1064);
    EXPECT_EQ(OpenFontObject("Bitstream Vera Sans", 14, kFontEngineNative, 0, 0, &font), 1064);
    ShutdownFontSystem();
    EXPECT_TRUE(std::filesystem::is_empty(temp.path));
    unsetenv("TMPDIR");
    unsetenv("VISTALOOM_FONT_DIRS");
}

TEST(FontList, OpensSystemBitmapAndOutlineFontsByName) {
    ScratchDirectory fonts;
    const std::string vera = kVera + "Vera.ttf";
    std::filesystem::create_directory(fonts.File("Fam"));
    TestFontSpec colour;
    colour.colour = true;
    WriteBytes(fonts.File("Fam/8"), MakeFontSizeFile(TestFontSpec{}));
    WriteBytes(fonts.File("Fam/11"), MakeFontSizeFile(Sized11()));
    WriteBytes(fonts.File("Fam/c"), MakeFontSizeFile(colour));
    WriteBytes(fonts.File("Fam.font"), MakeFontContents({{"Fam/8", 8}}));
    WriteBytes(fonts.File("Fam Roman.font"), MakeFontContents({{"Fam/11", 11}}));
    WriteBytes(fonts.File("Solo.font"), MakeFontContents({{"Fam/11", 11}}));
    WriteBytes(fonts.File("Col.font"), MakeFontContents({{"Fam/c", 8}}, 0x0F02));
    // Outline fonts: each name's .otag, with the faults that must refuse the open.
    auto withLength = [](FontBytes b, size_t length) {
        for (int k = 0; k < 4; k++) b[4 + size_t(k)] = uint8_t(length >> (24 - 8 * k));
        return b;
    };
    const FontBytes good = MakeOutlineTags("ft2", vera);
    FontBytes wrongFirst = good, pastEnd = good, unterminated = good;
    wrongFirst[3] = 0x02;
    pastEnd[12] = 0x7F; // the engine's offset
    unterminated.pop_back();
    const std::pair<const char *, FontBytes> tagFiles[] = {
        {"Good", good}, {"Half", MakeOutlineTags("ft2", vera, 0x00030002)},
        {"ZeroHalf", MakeOutlineTags("ft2", vera, 0x00000005)}, {"WrongFirst", wrongFirst},
        {"WrongLength", withLength(good, good.size() + 1)}, {"NoEngine", MakeOutlineTags("", vera)},
        {"NoFontFile", MakeOutlineTags("bullet", "")}, {"PastEnd", pastEnd},
        {"Unterminated", withLength(unterminated, unterminated.size())}};
    for (const auto &[name, tags] : tagFiles) {
        WriteBytes(fonts.File(std::string(name) + ".font"), MakeFontContents({}, 0x0F03));
        WriteBytes(fonts.File(std::string(name) + ".otag"), tags);
    }
    const std::string oldFonts = GetAssign("FONTS");
    SetAssign("FONTS", fonts.path.c_str());
    FontHandle *topaz = nullptr;
    ASSERT_EQ(InitFontSystem(&topaz), 0);
    struct Case {
        const char *name;
        int size, result, kind, height; // outline fonts: height is the point height the engine draws at
    };
    for (const Case &c : {Case{"Fam Regular", 8, 0, FontKindBitmap, 8}, Case{"Fam Regular Roman", 11, 0, FontKindBitmap, 11},
                          Case{"Solo Book Roman", 11, 0, FontKindBitmap, 11}, Case{"Fam", 9, 1064, 0, 0},
                          Case{"Col.font", 8, 0, FontKindColorBitmap, 8}, Case{"Solo Bold", 11, 1064, 0, 0},
                          Case{"Good", 12, 0, FontKindOutline, 12}, Case{"Half", 12, 0, FontKindOutline, 18},
                          Case{"ZeroHalf", 12, 0, FontKindOutline, 12}, Case{"WrongFirst", 12, 1064, 0, 0},
                          Case{"WrongLength", 12, 1064, 0, 0}, Case{"NoEngine", 12, 1064, 0, 0},
                          Case{"NoFontFile", 12, 1064, 0, 0}, Case{"PastEnd", 12, 1064, 0, 0},
                          Case{"Unterminated", 12, 1064, 0, 0}}) {
        FontHandle *font = nullptr;
        ASSERT_EQ(OpenFontObject(c.name, c.size, kFontEngineNative, 0, 0, &font), c.result) << c.name;
        if (c.result) continue;
        EXPECT_EQ(font->kind, c.kind) << c.name;
        EXPECT_STREQ(font->name, c.name);
        TextExtentInfo extent;
        MeasureText(font, "Wave", 4, 0, 0, &extent);
        if (c.kind == FontKindOutline) {
            // The same face at the point height: only the line height differs.
            FontHandle *plain = nullptr;
            ASSERT_EQ(OpenFontObject("Good", c.height, kFontEngineNative, 0, 0, &plain), 0);
            TextExtentInfo expected;
            MeasureText(plain, "Wave", 4, 0, 0, &expected);
            EXPECT_EQ(std::tie(extent.width, extent.minY, extent.maxY),
                      std::tie(expected.width, expected.minY, expected.maxY)) << c.name;
            EXPECT_GT(extent.width, c.height * 2) << c.name;
            EXPECT_EQ(extent.height, c.size);
            CloseFontObject(plain);
        } else {
            EXPECT_EQ(font->height, c.height) << c.name;
            EXPECT_EQ(extent.maxY, font->height - font->baseline - 1) << c.name;
        }
        CloseFontObject(font);
    }
    ShutdownFontSystem();
    SetAssign("FONTS", oldFonts.c_str());
}

} // namespace

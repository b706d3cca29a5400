// Font scripts in the real player, headless: opening, naming, errors, styles and measuring.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/player/player_test_support.h"
#include "tests/text/make_test_font.h"

namespace {

// Helpers every script starts with: Fails() runs a function and gives the error it raised, Attrs() the six
// font attributes, Ext() the extent table as a list.
const char *kPrelude = R"(ExitOnError(False)
Function Fails(f)
    f()
    Local code = GetLastError()
    Return code, GetErrorName(code)
EndFunction
Function Attrs(id)
    Return GetAttribute(#FONT, id, #ATTRFONTNAME), GetAttribute(#FONT, id, #ATTRFONTSIZE), GetAttribute(#FONT, id, #ATTRFONTASCENDER), GetAttribute(#FONT, id, #ATTRFONTDESCENDER), GetAttribute(#FONT, id, #ATTRFONTSCALABLE), GetAttribute(#FONT, id, #ATTRFONTAA)
EndFunction
Function Ext(t)
    Local e = TextExtent(t)
    Return e.minx, e.maxx, e.miny, e.maxy, e.width, e.height
EndFunction
)";

// afterCompile runs between compiling and playing (to delete the files the applet linked).
template <class AfterCompile = void (*)()>
PlayerRun PlayScript(const ScratchDirectory &dir, const std::string &body, AfterCompile afterCompile = [] {}) {
    WriteBytes(dir.File("script.vla"), CompileToApplet(kPrelude + body, "script.vls", dir.path));
    afterCompile();
    return RunPlayer({"-quiet", "-debugdevice", "@stdout", "script.vla"}, dir.path);
}

// A failed open says what it looked for and which engine finds installed fonts.
#define kNativeAdvice " Installed TrueType and OpenType fonts and the built-in faces open with Engine = #FONTENGINE_INBUILT."

TEST(FontsInPlayer, OpensNamesAndRefusesFonts) {
    ScratchDirectory dir;
    std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", dir.File("DejaVuSans.TTF"));
    PlayerRun run = PlayScript(dir, R"(
OpenFont(1, "TOPAZ", 8)
DebugPrint(Attrs(1))
DebugPrint(Fails(Function() OpenFont(2, "topaz", 9) EndFunction))
OpenFont(2, #SANS, 20)
DebugPrint(Attrs(2))
OpenFont(3, "BITSTREAM VERA SANS MONO", 12, {engine = #FONTENGINE_INBUILT})
OpenFont(4, "DejaVuSans.TTF", 12, {engine = #FONTENGINE_INBUILT})
DebugPrint(GetAttribute(#FONT, 3, #ATTRFONTNAME), GetAttribute(#FONT, 4, #ATTRFONTNAME))
DebugPrint(Fails(Function() OpenFont(5, ":::Default_Sans", 20, {engine = #FONTENGINE_INBUILT}) EndFunction))
Local fileRefused = Fails(Function() OpenFont(5, "FONTS:topaz.font", 8) EndFunction)
DebugPrint(fileRefused)
DebugPrint(Fails(Function() OpenFont(5, #SANS, 0) EndFunction))
DebugPrint(Fails(Function() OpenFont(5, "topaz", 8, {engine = 2}) EndFunction))
DebugPrint(Fails(Function() OpenFont(5, "DejaVu Sans Book", 12) EndFunction))
DebugPrint(Fails(Function() OpenFont(5, "Missing.ttf", 12, {engine = #FONTENGINE_INBUILT}) EndFunction))
SetFont("Topaz.font", 8)
DebugPrint(GetAttribute(#FONT, Nil, #ATTRCOUNT), TextHeight("x"))
CloseFont(1)
DebugPrint(Fails(Function() UseFont(1) EndFunction))
DebugPrint(Fails(Function() SetDefaultEncoding(2) EndFunction))
DebugPrint(Fails(Function() SetFontStyle(#BOLD, 1) EndFunction))
FreeGlyphCache(0)
FreeGlyphCache(1, 2)
DebugPrint(Fails(Function() FreeGlyphCache(1, 9) EndFunction))
)");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "topaz 8 6 2 0 0\n"
                       "1064 Cannot open font topaz with size 9! The native engine looked for a font linked as topaz and "
                       "for topaz.font in the current directory, in Fonts/ and in FONTS:; the built-in topaz has size 8 "
                       "only." kNativeAdvice "\n"
                       "Bitstream Vera Sans 20 16 4 1 1\n"
                       "Bitstream Vera Sans Mono DejaVu Sans\n"
                       "1064 Cannot open font :::Default_Sans with size 20! The inbuilt engine looked for a font linked "
                       "as :::Default_Sans, a built-in face (Bitstream Vera Sans, Bitstream Vera Serif or Bitstream Vera "
                       "Sans Mono) and an installed TrueType or OpenType face of that full name (GetAvailableFonts lists "
                       "them), then the native engine for :::Default_Sans.font in the current directory, in Fonts/ and "
                       "in FONTS:; a font file, linked or not, is named with its extension (.ttf, .otf).\n"
                       "1335\n"
                       "1064 Cannot open font Bitstream Vera Sans with size 0! A font's size is 1 or more.\n"
                       "1064 Cannot open font topaz with size 8! Engine is #FONTENGINE_NATIVE or #FONTENGINE_INBUILT.\n"
                       "1064 Cannot open font DejaVu Sans Book with size 12! The native engine looked for a font linked "
                       "as DejaVu Sans Book and for DejaVu Sans Book.font and DejaVu Sans.font in the current directory, "
                       "in Fonts/ and in FONTS:." kNativeAdvice "\n"
                       "1064 Cannot open font Missing.ttf with size 12! The inbuilt engine found no font linked as "
                       "Missing.ttf and no font file of that name.\n"
                       "4 8\n"
                       "1334 Could not find font 1!\n"
                       "1055 Wrong usage/parameters for this command!\nRead the documentation!\n"
                       "1193 Too many arguments for this function!\n"
                       "1334 Could not find font 9!\n");
}

TEST(FontsInPlayer, MeasuresStyledText) {
    ScratchDirectory dir;
    PlayerRun run = PlayScript(dir, R"(
DebugPrint(Ext("abc"))
SetFontStyle(#ITALIC)
DebugPrint(Ext("abc"))
SetFontStyle(#NORMAL)
SetFontStyle(#BOLD)
DebugPrint(Ext("abc"))
SetFontStyle(#ANTIALIAS)
DebugPrint(Ext("abc"))
SetFontStyle(#NORMAL)
SetFontStyle(#EDGE, $FF0000, 2, 7)
SetFontStyle(#SHADOW, 0, 4, #SHDWSOUTHEAST)
DebugPrint(Ext("abc"))
DebugPrint(Ext(""))
SetFont(#SANS, 20)
DebugPrint(TextWidth("AV") < TextWidth("A") + TextWidth("V"))
Function Same(a, b)
    Return a.minx == b.minx And a.maxx == b.maxx And a.miny == b.miny And a.maxy == b.maxy And a.width == b.width
EndFunction
Local fresh = TextExtent("abcde")
TextWidth("abcd")
DebugPrint(Same(TextExtent("abcde"), fresh))
Local styles = {#NORMAL, #BOLD, #ANTIALIAS}
Local alone = {}
For k, style In Pairs(styles)
    SetFontStyle(#NORMAL)
    SetFontStyle(style)
    TextWidth("x")
    alone[k] = TextExtent("AV")
Next
SetFontStyle(#NORMAL)
TextWidth("AV")
For k, style In Pairs(styles)
    SetFontStyle(#NORMAL)
    SetFontStyle(style)
    DebugPrint(Same(TextExtent("AV"), alone[k]), alone[k].width)
Next
SetFontStyle(#NORMAL)
Local latin = TextWidth("\xe9")
SetDefaultEncoding(#ENCODING_UTF8)
DebugPrint(TextWidth("\xc3\xa9") == latin, TextWidth("\xc3\xa9", #ENCODING_ISO8859_1) == latin)
)");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "0 23 -6 1 24 8\n"
                       "-1 26 -6 1 24 8\n"
                       "0 24 -6 1 24 8\n"
                       "0 23 -6 1 24 8\n"
                       "-2 29 -8 7 24 8\n"
                       "0 0 0 0 0 0\n"
                       "1\n1\n1 21\n1 23\n1 21\n"
                       "1 0\n");
}

// Styles add up until #NORMAL; only #SHADOW or #EDGE alone take arguments, and one left out keeps its value.
TEST(FontsInPlayer, StyleArgumentsGoWithShadowOrEdgeAlone) {
    ScratchDirectory dir;
    PlayerRun run = PlayScript(dir, R"(
SetFontStyle(#BOLD)
DebugPrint(Ext("abc"))
SetFontStyle(#SHADOW, 0, 2, #SHDWEAST)
DebugPrint(Ext("abc"))
SetFontStyle(#SHADOW, $FF0000)
DebugPrint(Ext("abc"))
SetFontStyle(#SHADOW, 0, 100, 9)
DebugPrint(Ext("abc"))
DebugPrint(Fails(Function() SetFontStyle(#BOLD + #SHADOW, 0, 2, #SHDWEAST) EndFunction))
SetFontStyle(#NORMAL + #BOLD)
DebugPrint(Ext("abc"))
SetFontStyle(#EDGE, $FF0000, 3)
DebugPrint(Ext("abc"))
SetFontStyle(#EDGE, $00FF00)
DebugPrint(Ext("abc"))
SetFontStyle(#EDGE, $00FF00, 6, 1)
DebugPrint(Ext("abc"))
DebugPrint(Fails(Function() SetFontStyle(#ITALIC + #EDGE, 0, 3) EndFunction))
)");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // Bold widens by a pixel; the shadow adds its size on the east, then 64 both ways (a direction outside the
    // eight is south-east); #NORMAL + #BOLD is plain; the edge adds its size all round, and a fourth argument
    // leaves it.
    EXPECT_EQ(run.out, "0 24 -6 1 24 8\n0 26 -6 1 24 8\n0 26 -6 1 24 8\n0 88 -6 65 24 8\n"
                       "1193 Too many arguments for this function!\n"
                       "0 23 -6 1 24 8\n-3 26 -9 4 24 8\n-3 26 -9 4 24 8\n-3 26 -9 4 24 8\n"
                       "1193 Too many arguments for this function!\n");
}

TEST(FontsInPlayer, LinkedFontsPlayAfterTheirFilesAreGone) {
    ScratchDirectory dir;
    std::filesystem::create_directories(dir.File("fonts/mono"));
    std::filesystem::create_directories(dir.File("fonts/prop"));
    std::filesystem::create_directories(dir.File("fonts/colour"));
    std::filesystem::copy_file("/usr/share/fonts/truetype/ttf-bitstream-vera/Vera.ttf", dir.File("fonts/Vera.ttf"));
    TestFontSpec mono, prop, colour;
    prop.height = 10;
    prop.baseline = 8;
    prop.flags = 0x20;
    prop.widths.assign(97, 4);
    prop.spacing.assign(97, 5);
    prop.kerning.assign(97, -1);
    colour.height = 9;
    colour.colour = true;
    WriteBytes(dir.File("fonts/mono/8"), MakeFontSizeFile(mono));
    WriteBytes(dir.File("fonts/prop/10"), MakeFontSizeFile(prop));
    WriteBytes(dir.File("fonts/colour/9"), MakeFontSizeFile(colour));
    WriteBytes(dir.File("fonts/mono.font"), MakeFontContents({{"mono/8", 8}}));
    WriteBytes(dir.File("fonts/prop.font"), MakeFontContents({{"::incomplete", 10}, {"prop/10", 10}}, 0x0F02));
    WriteBytes(dir.File("fonts/colour.font"), MakeFontContents({{"colour/9", 9}}));
    ScratchDirectory temp;
    setenv("TMPDIR", temp.path.c_str(), 1);
    PlayerRun run = PlayScript(dir, R"(
@LINKFONT "fonts/Vera.ttf"
@LINKFONT "fonts/mono.font"
@LINKFONT "fonts/prop.font"
@LINKFONT "fonts/colour.font"
@FONT 1, "colour.font", 9
@FONT 1, "fonts/mono", 8
OpenFont(2, "Vera.ttf", 20, {engine = #FONTENGINE_INBUILT})
OpenFont(3, "prop", 10)
OpenFont(4, "colour", 9)
DebugPrint(Attrs(1))
DebugPrint(Attrs(2))
DebugPrint(Attrs(3))
DebugPrint(Attrs(4))
UseFont(3)
DebugPrint(Ext("AB"))
DebugPrint(Fails(Function() OpenFont(5, "mono", 9) EndFunction))
OpenFont(6, "Vera.ttf", 20)
DebugPrint(Attrs(6))
)", [&] { std::filesystem::remove_all(dir.File("fonts")); });
    unsetenv("TMPDIR");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(temp.path)); // the native engine's copy of the linked outline font
    // A linked font's error names the range behind its header.
    EXPECT_EQ(std::regex_replace(run.out, std::regex(":::chunk[0-9]+:[0-9]+"), ":::chunk"),
              "mono.font 8 6 2 0 0\n"
              "Bitstream Vera Sans 20 16 4 1 1\n"
              "prop.font 10 8 2 0 0\n"
              "colour.font 9 6 3 0 0\n"
              "-1 7 -8 1 8 10\n"
              "1064 Cannot open font :::chunk*mono.font/script.vla with size 9! A linked bitmap font opens only in "
              "the sizes it was made in.\n"
              "Vera.ttf 20 18 2 1 1\n");
}

} // namespace

namespace {

const char *kListFonts = R"(
Local fonts = GetAvailableFonts()
For i = 0 To ListItems(fonts) - 1
    Local f = fonts[i]
    Local sizes = ""
    For k = 0 To ListItems(f.sizes) - 1
        sizes = sizes .. " " .. f.sizes[k]
    Next
    DebugPrint(f.name .. "|" .. f.family .. "|" .. f.bitmap .. "|" .. f.weight .. "|" .. f.slant .. "|" .. sizes)
Next
)";

TEST(FontsInPlayer, ListsInstalledFontsAndOpensThemByName) {
    ScratchDirectory dir, system, temp;
    const std::string vera = "/usr/share/fonts/truetype/ttf-bitstream-vera/";
    std::filesystem::create_directory(dir.File("Fonts"));
    std::filesystem::copy_file(vera + "Vera.ttf", system.File("Vera.ttf"));
    WriteBytes(system.File("Pair.ttc"), MakeCollection({ReadFileBytes(vera + "VeraSeBd.ttf"), ReadFileBytes(vera + "VeraBd.ttf")}));
    std::filesystem::copy_file(vera + "VeraBd.ttf", dir.File("Fonts/VeraBd.ttf"));
    WriteBytes(dir.File("Fonts/Fam.font"), MakeFontContents({{"Fam/8", 8}, {"Fam/11", 11}, {"Fam/8b", 8}}));
    std::filesystem::create_directory(dir.File("Fonts/Fam"));
    TestFontSpec eight, eleven;
    eleven.height = 11;
    WriteBytes(dir.File("Fonts/Fam/8"), MakeFontSizeFile(eight));
    WriteBytes(dir.File("Fonts/Fam/11"), MakeFontSizeFile(eleven));
    WriteBytes(dir.File("script.vla"), CompileToApplet(kPrelude + std::string(kListFonts) + R"(
OpenFont(1, "Bitstream Vera Sans Bold", 12, {engine = #FONTENGINE_INBUILT})
OpenFont(2, "Bitstream Vera Sans", 12, {engine = #FONTENGINE_INBUILT})
DebugPrint(GetAttribute(#FONT, 1, #ATTRFONTNAME), TextWidth("Hello") > 0)
DebugPrint(Fails(Function() OpenFont(3, "Bitstream Vera Sans Light", 12, {engine = #FONTENGINE_INBUILT}) EndFunction))
OpenFont(4, "Fam", 8)
OpenFont(5, "Fam Regular", 11)
OpenFont(6, "Fam", 11, {engine = #FONTENGINE_INBUILT})
DebugPrint(GetAttribute(#FONT, 4, #ATTRFONTSIZE), GetAttribute(#FONT, 5, #ATTRFONTSIZE), GetAttribute(#FONT, 6, #ATTRFONTSIZE))
)", "script.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "script.vla"}, dir.path,
                              {"VISTALOOM_FONT_DIRS=" + system.path + ":" + dir.path + "/missing", "TMPDIR=" + temp.path});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Bitstream Vera Serif Bold|Bitstream Vera Serif|0|200|0|\n"
                       "Bitstream Vera Sans Bold|Bitstream Vera Sans|0|200|0|\n"
                       "Bitstream Vera Sans Roman|Bitstream Vera Sans|0|80|0|\n"
                       "Fam|Fam|1|80|0| 8 11\n"
                       "Bitstream Vera Sans Bold 1\n"
                       "1064 Cannot open font Bitstream Vera Sans Light with size 12! The inbuilt engine looked for a "
                       "font linked as Bitstream Vera Sans Light, a built-in face (Bitstream Vera Sans, Bitstream Vera "
                       "Serif or Bitstream Vera Sans Mono) and an installed TrueType or OpenType face of that full name "
                       "(GetAvailableFonts lists them), then the native engine for Bitstream Vera Sans Light.font in the "
                       "current directory, in Fonts/ and in FONTS:; a font file, linked or not, is named with its "
                       "extension (.ttf, .otf).\n"
                       "8 11 11\n");
    EXPECT_TRUE(std::filesystem::is_empty(temp.path));
    // Without the variable the machine's own directories are scanned.
    WriteBytes(dir.File("script.vla"), CompileToApplet(kPrelude + std::string(kListFonts), "script.vls", dir.path));
    run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "script.vla"}, dir.path);
    EXPECT_NE(run.out.find("Bitstream Vera Sans Roman|Bitstream Vera Sans|0|80|0|\n"), std::string::npos) << run.out;
}

} // namespace

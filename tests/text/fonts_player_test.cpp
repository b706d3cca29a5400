// Font scripts in the real player, headless: opening, naming, errors, styles and measuring.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/player/player_test_support.h"

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

PlayerRun PlayScript(const ScratchDirectory &dir, const std::string &body) {
    WriteBytes(dir.File("script.vla"), CompileToApplet(kPrelude + body, "script.vls", dir.path));
    return RunPlayer({"-quiet", "-debugdevice", "@stdout", "script.vla"}, dir.path);
}

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
DebugPrint(Fails(Function() OpenFont(5, "FONTS:topaz.font", 8) EndFunction))
SetFont("Topaz.font", 8)
DebugPrint(GetAttribute(#FONT, Nil, #ATTRCOUNT), TextHeight("x"))
CloseFont(1)
DebugPrint(Fails(Function() UseFont(1) EndFunction))
DebugPrint(Fails(Function() SetDefaultEncoding(2) EndFunction))
DebugPrint(Fails(Function() SetFontStyle(#BOLD, 1) EndFunction))
)");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "topaz 8 6 2 0 0\n"
                       "1064 Cannot open font topaz with size 9!\n"
                       "Bitstream Vera Sans 20 16 4 1 1\n"
                       "Bitstream Vera Sans Mono DejaVu Sans\n"
                       "1064 Cannot open font :::Default_Sans with size 20!\n"
                       "1335 Font specification must not be a file!\n"
                       "4 8\n"
                       "1334 Could not find font 1!\n"
                       "1055 Wrong usage/parameters for this command!\nRead the documentation!\n"
                       "1193 Too many arguments for this function!\n");
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

} // namespace

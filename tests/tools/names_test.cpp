// Misspelt commands and constants are found by the compiler, from the names the libraries register, and so are
// habits of other languages and calls above a function's definition.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/compiler/compile.h"

namespace {

// The compiler's diagnostics for source: "line:column: message" per warning, "error line:column: message" for
// a refused script, one per line.
std::string Diagnose(const std::string &source) {
    FunctionProto main;
    CompileError error;
    std::vector<CompileError> warnings;
    std::string out;
    bool compiled = CompileScript(source, "names.vls", main, error, &warnings);
    for (const CompileError &warning : warnings) {
        EXPECT_EQ(warning.file, "names.vls");
        out += std::to_string(warning.line) + ":" + std::to_string(warning.column) + ": " + warning.message + "\n";
    }
    if (!compiled)
        out += "error " + std::to_string(error.line) + ":" + std::to_string(error.column) + ": " + error.message + "\n";
    return out;
}

struct NameCase {
    const char *source;
    const char *diagnostics;
};

const NameCase kCases[] = {
    {"DisplayBrsh(1, 10, 10)", "1:1: unknown command 'displaybrsh' (did you mean 'DisplayBrush'?)\n"},
    {"x = 1\n  DIsplayBrsuh(1, 0, 0)", "2:3: unknown command 'displaybrsuh' (did you mean 'DisplayBrush'?)\n"},
    {"zzqqxxww()", "1:1: unknown command 'zzqqxxww'\n"},
    // Known commands in any case, and functions the script defines, are no unknown commands.
    {"displaybrush(1, 0, 0) DEBUGPRINT(1)", ""},
    {"Function Area(w, h) Return w * h EndFunction\nArea(1, 2)", ""},
    // A function the main program calls above its only definition is still Nil there; a call that runs later
    // (in a function, a label body) or a global also assigned elsewhere is not judged.
    {"Area(1, 2)\nFunction Area(w, h) Return w * h EndFunction",
     "1:1: 'area' is called before its definition at line 2 has run, so it is still Nil here: move the Function "
     "above the call\n"},
    // In a loop, a call in the same straight line as its definition, or under a condition the definition shares,
    // meets Nil on the first pass; a call under a condition of its own may first run on a later pass.
    {"While 1\n  Tick()\n  Function Tick() EndFunction\nWend",
     "2:3: 'tick' is called before its definition at line 3 has run, so it is still Nil here: move the Function "
     "above the call\n"},
    {"Repeat\n  If n > 0 Then Tick() EndIf\n  Function Tick() EndFunction\n  n = 1\nUntil n", ""},
    {"While 1\n  If 1 Then Tick() EndIf\n  Function Tick() EndFunction\nWend", ""},
    {"For i = 1 To 2\n  For j = 1 To i Tick() Next\n  Function Tick() EndFunction\nNext", ""},
    {"Repeat\n  If 1\n    Tick()\n    Function Tick() EndFunction\n  EndIf\nUntil 1",
     "3:5: 'tick' is called before its definition at line 4 has run, so it is still Nil here: move the Function "
     "above the call\n"},
    {"Repeat\n  If 1 Then Tick() EndIf\nUntil 1\nFunction Tick() EndFunction",
     "2:13: 'tick' is called before its definition at line 4 has run, so it is still Nil here: move the Function "
     "above the call\n"},
    {"Function Start() Later() EndFunction\nFunction Later() EndFunction\nStart()", ""},
    // A Local Function is seen only below its definition: a call above it is to a global that is Nil.
    {"Local Function Go()\n  Later()\nEndFunction\nLocal Function Later() EndFunction\nGo()",
     "2:3: 'later' is a Local Function defined further down, at line 4, and a local is seen only below its "
     "definition: move the Local Function above the call\n"},
    {"Local Function Later() EndFunction\nLater()", ""},
    {"Gosub Go\nLabel Go\n  Later()\nEndLabel\nFunction Later() EndFunction", ""},
    {"Function Setup() Later = Function() EndFunction EndFunction\nLater()\nFunction Later() EndFunction", ""},
    {"Function Setup() helper = Function() EndFunction EndFunction\nSetup() helper()", ""},
    {"Local f = Function() EndFunction\nFunction g() f() EndFunction\ng()", ""},
    {"t = {}\nt.go()", ""},
    // Parameters, For variables and label bodies are seen as the code generator sees them.
    {"Function Apply(f) f() EndFunction\nFor i, g In Pairs({}) g() Next", ""},
    {"Gosub Go\nLabel Go\n  Handler()\nEndLabel\nhandler = Function() EndFunction", ""},
    {"Gosub Go\nLabel Go\n  Hnadler()\nEndLabel", "3:3: unknown command 'hnadler'\n"},
    // One warning per call, in source order.
    {"Foo()\nFoo()", "1:1: unknown command 'foo'\n2:1: unknown command 'foo'\n"},
    // Inside a function, with the position of the name.
    {"Function Tick()\n    If 1 Then Waitt(10) EndIf\nEndFunction", "2:15: unknown command 'waitt' (did you mean 'Wait'?)\n"},
    // Constants are refused with their line and a near name.
    {"x = 1\ny = #CROSFADE", "error 2:5: unknown constant '#crosfade' (did you mean '#CROSSFADE'?)\n"},
    {"x = #crossfade + #PI", ""},
    {"x = #NO_SUCH_THING_HERE", "error 1:5: unknown constant '#no_such_thing_here'\n"},
    // Two neighbours swapped are one slip; a third of the name may be wrong, never more than three letters.
    {"Wiat(1)", "1:1: unknown command 'wiat' (did you mean 'Wait'?)\n"},
    {"Wti(1)", "1:1: unknown command 'wti'\n"},
    {"DsplyBrsh(1, 0, 0)", "1:1: unknown command 'dsplybrsh' (did you mean 'DisplayBrush'?)\n"},
    {"DsplyBrh(1, 0, 0)", "1:1: unknown command 'dsplybrh'\n"},
    {"DisplyBrsuhXYZ(1, 0, 0)", "1:1: unknown command 'displybrsuhxyz'\n"},
    // A global assigned anywhere, even after the call or by a multiple assignment, is the script's own.
    {"Go()\nLocal a\na, Go = 1, Function() EndFunction",
     "1:1: 'go' is called before its definition at line 3 has run, so it is still Nil here: move the Function above "
     "the call\n"},
    {"Go()\nLocal a\na, Go = 1, 2", ""},
    // A comparison written with one '=' is refused in every kind of condition.
    {"x = 1\nIf x == 1 Then\nElseIf x = 2 Then\nEndIf",
     "error 3:10: unexpected '=' in a condition (use '==' to compare)\n"},
    {"x = 1\nRepeat\nUntil x = 1", "error 3:9: unexpected '=' in a condition (use '==' to compare)\n"},
    {"x = 1\nIf x = 1 Then EndIf", "error 2:6: unexpected '=' in a condition (use '==' to compare)\n"},
    // Habits of other languages: '!=' and '!', a name after Next, '+' joining text.
    {"score = 1\nIf score != 10 Then EndIf", "error 2:10: unexpected character '!' (write '<>' for 'not equal')\n"},
    {"If !done Then EndIf", "error 1:4: unexpected character '!' (write 'Not' to negate)\n"},
    {"For i = 1 To 3\n  x = i\nNext i\n",
     "error 3:6: 'Next' takes no name: write 'Next' alone (it closes the 'For' at line 1)\n"},
    {"For i = 1 To 3 Next i = 2", ""},
    {"score = 5\nx = \"Score: \" + score", "2:15: '+' adds numbers: text is joined with '..'\n"},
    {"x = 1 + \" 2 \" + \"0x10\"", ""},
    // Keys of an options table written out in a command's call are checked against the keys it reads, in any
    // case; tables of a command that takes no options, of the script's own functions, or held in a variable are
    // not.
    {"Box(0, 0, 10, 10, 0,\n    {roundlvl = 20})", "2:6: unknown option 'roundlvl' of Box (did you mean 'RoundLevel'?)\n"},
    {"Box(0, 0, 10, 10, 0, {ROUNDLEVEL = 2, Name = \"b\", zzqq = 1})", "1:51: unknown option 'zzqq' of Box\n"},
    {"x = Unpack({a = 1})\nt = {roundlvl = 1}\nBox(0, 0, 1, 1, 0, t)", ""},
    {"Function Box(a, b) EndFunction\nBox(1, {roundlvl = 1})", ""},
    // Only a table where the command reads options: a userdata or a vertex list holds the script's own keys.
    {"InstallEventHandler({OnKeyDwn = 0}, {score = 1})",
     "1:22: unknown option 'onkeydwn' of InstallEventHandler (did you mean 'OnKeyDown'?)\n"},
    {"MakeButton(1, #SIMPLEBUTTON, 0, 0, 9, 9, {OnMouseUp = 0}, {level = 2})", ""},
    {"Polygon(0, 0, {vertices = {0, 0, 9, 0, 0, 9}}, 0, {Nmae = \"p\"})",
     "1:52: unknown option 'nmae' of Polygon (did you mean 'Name'?)\n"},
};

TEST(CompilerNames, ReportsUnknownCommandsAndConstantsWithTheirPosition) {
    for (const NameCase &c : kCases) EXPECT_EQ(Diagnose(c.source), c.diagnostics) << c.source;
}

} // namespace

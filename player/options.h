// Command-line options. On Linux they are written "-window", "--window", "-debugdevice @stdout" or
// "--debugdevice=@stdout"; names are case-insensitive.
//
// The command line is: vistaloom [options] applet [user arguments]. A program with an appended applet takes no
// applet name: its words are options until the first word that is not one (or "--"), and user arguments after.
// User arguments: "-name value" (the value is the next word unless that starts with "-"), "-name", or a bare
// "value" with an empty name.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "player/startup.h"

enum OptionSlot {
    kOptionWindow,
    kOptionFullScreen,
    kOptionBorderless,
    kOptionScaleWidth,
    kOptionScaleHeight,
    kOptionScaleMode,
    kOptionDebugDevice,
    kOptionNoSound,
    kOptionMasterVolume,
    kOptionQuiet,
    kOptionHideTitleBar,
    kOptionBackfill,
    kOptionStartColor,
    kOptionEndColor,
    kOptionPicXPos,
    kOptionPicYPos,
    kOptionBrush,
    kOptionScalePicture,
    kOptionPicTrans,
    kOptionBrushFile,
    kOptionProgDir,
    kOptionCompile,
    kOptionHelp,
    kOptionVersion,
    kOptionSlotCount,
};

// The table has room for the system's 56 options; it holds only the ones this program has a use for.
constexpr int kMaxOptions = 56;
static_assert(kOptionSlotCount <= kMaxOptions);

struct OptionRow {
    const char *name; // upper case, as the documentation writes it
    int slot;
    int takesValue;
    const char *help;
};
extern const OptionRow kOptionTable[];
extern const int kOptionTableSize;

struct ParsedCommandLine {
    bool given[kOptionSlotCount] = {};
    std::string values[kOptionSlotCount];
    std::string appletPath; // empty for an appended applet
    std::vector<UserArgument> userArguments;
    // For standard error: words after the applet spelt like player options, which go to the applet.
    std::vector<std::string> warnings;
};

// 0, or 2 with a message for an unknown option, a missing value or a missing applet name.
int ParseCommandLine(int argc, char **argv, bool appletAppended, ParsedCommandLine *out, std::string *message);
// Puts the options into the configuration records; 0, or 2 with a message for a value that is not a number
// or a name that is not a backfill type.
int ApplyOptions(const ParsedCommandLine &options, StartupConfig *startup, DisplayConfig *display,
                 std::string *message);
// A program with an appended applet takes no applet name, and its usage says so.
void PrintUsage(FILE *out, const char *programName, bool appletAppended);

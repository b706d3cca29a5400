#include "player/options.h"

#include <cstring>
#include <strings.h>
#include <sys/stat.h>

#include "runtime/app/command.h"
#include "scene/display/create_display.h"

const OptionRow kOptionTable[] = {
    {"WINDOW", kOptionWindow, 0, "open the display in a window"},
    {"FULLSCREEN", kOptionFullScreen, 0, "open the display full screen"},
    {"BORDERLESS", kOptionBorderless, 0, "windows without borders"},
    {"SCALEWIDTH", kOptionScaleWidth, 1, "scale the display to this width"},
    {"SCALEHEIGHT", kOptionScaleHeight, 1, "scale the display to this height"},
    {"SCALEMODE", kOptionScaleMode, 1, "SCALEMODE_NONE, SCALEMODE_AUTO (default with a scale size) or SCALEMODE_LAYER"},
    {"DEBUGDEVICE", kOptionDebugDevice, 1, "debug output: @stdout, @serial (standard error) or a file"},
    {"NOSOUND", kOptionNoSound, 0, "play no sound"},
    {"MASTERVOLUME", kOptionMasterVolume, 1, "master volume 0-64 (default 30)"},
    {"QUIET", kOptionQuiet, 0, "no progress lines on the console"},
    {"HIDETITLEBAR", kOptionHideTitleBar, 1, "1 hides the screen's title bar, 0 shows it"},
    {"BACKFILL", kOptionBackfill, 1, "backfill: COLOR, RAINBOW, GRADIENT, TEXTURE or PICTURE"},
    {"STARTCOLOR", kOptionStartColor, 1, "backfill start colour ($RRGGBB)"},
    {"ENDCOLOR", kOptionEndColor, 1, "backfill end colour ($RRGGBB)"},
    {"PICXPOS", kOptionPicXPos, 1, "backfill picture x position"},
    {"PICYPOS", kOptionPicYPos, 1, "backfill picture y position"},
    {"BRUSH", kOptionBrush, 1, "backfill brush number"},
    {"SCALEPICTURE", kOptionScalePicture, 0, "scale the backfill picture"},
    {"PICTRANS", kOptionPicTrans, 0, "backfill picture with transparency"},
    {"BRUSHFILE", kOptionBrushFile, 1, "backfill picture file"},
    {"PROGDIR", kOptionProgDir, 1, "the directory PROGDIR: names (default: the applet's or the program's)"},
    {"COMPILE", kOptionCompile, 0, "compile a script (not possible in the player)"},
    {"HELP", kOptionHelp, 0, "show this text (also -h)"},
    {"VERSION", kOptionVersion, 0, "show the version"},
};
const int kOptionTableSize = static_cast<int>(sizeof kOptionTable / sizeof kOptionTable[0]);

namespace {

const OptionRow *FindOption(const std::string &name) {
    // -h, as every command-line tool takes it.
    if (strcasecmp(name.c_str(), "h") == 0) return &kOptionTable[kOptionHelp];
    for (const OptionRow &row : kOptionTable)
        if (strcasecmp(row.name, name.c_str()) == 0) return &row;
    return nullptr;
}

bool IsDashWord(const char *word) { return word[0] == '-' && word[1] != 0; }

// "-name", "--name" or "--name=value": the name and, for the "=" form, the value.
void SplitOptionWord(const char *word, std::string *name, std::string *value, bool *hasValue) {
    const char *p = word + (word[1] == '-' ? 2 : 1);
    const char *equals = strchr(p, '=');
    *hasValue = equals != nullptr;
    if (equals) {
        name->assign(p, static_cast<size_t>(equals - p));
        value->assign(equals + 1);
    } else {
        name->assign(p);
        value->clear();
    }
}

void ParseUserArguments(int argc, char **argv, int first, std::vector<UserArgument> *out) {
    for (int i = first; i < argc; ++i) {
        UserArgument argument;
        if (IsDashWord(argv[i])) {
            argument.name = argv[i] + (argv[i][1] == '-' ? 2 : 1);
            if (i + 1 < argc && !IsDashWord(argv[i + 1])) {
                argument.value = argv[++i];
                argument.hasValue = true;
            }
        } else {
            argument.value = argv[i];
            argument.hasValue = true;
        }
        out->push_back(std::move(argument));
    }
}

bool ParseInteger(const std::string &text, int32_t *out) {
    int used = 0, error = 0;
    double value = ParseOptionNumber(text.c_str(), &used, &error);
    if (error || used != static_cast<int>(text.size()) || value < -2147483648.0 || value > 4294967295.0) return false;
    *out = static_cast<int32_t>(static_cast<int64_t>(value));
    return true;
}

} // namespace

int ParseCommandLine(int argc, char **argv, bool appletAppended, ParsedCommandLine *out, std::string *message) {
    int i = 1;
    for (; i < argc; ++i) {
        const char *word = argv[i];
        if (strcmp(word, "--") == 0) {
            ++i;
            break;
        }
        if (!IsDashWord(word)) break;
        std::string name, value;
        bool hasValue;
        SplitOptionWord(word, &name, &value, &hasValue);
        const OptionRow *row = FindOption(name);
        if (!row) {
            if (appletAppended) break; // the program's own arguments start here
            *message = std::string("unknown option \"") + word + "\" (see --help)";
            return 2;
        }
        if (row->takesValue && !hasValue) {
            if (i + 1 >= argc) {
                *message = std::string("option \"") + word + "\" needs a value";
                return 2;
            }
            value = argv[++i];
        } else if (!row->takesValue && hasValue) {
            *message = std::string("option \"") + name + "\" takes no value";
            return 2;
        }
        out->given[row->slot] = true;
        out->values[row->slot] = value;
    }
    const bool needsApplet = !out->given[kOptionHelp] && !out->given[kOptionVersion] && !out->given[kOptionCompile];
    if (!appletAppended && needsApplet) {
        if (i >= argc) {
            *message = "no applet given (see --help)";
            return 2;
        }
        out->appletPath = argv[i++];
    } else if (!appletAppended && i < argc) {
        out->appletPath = argv[i++];
    }
    // An option after the applet is the applet's argument; someone who meant it for the player should hear so.
    for (int k = i; k < argc; ++k) {
        std::string name, value;
        bool hasValue;
        if (!IsDashWord(argv[k])) continue;
        SplitOptionWord(argv[k], &name, &value, &hasValue);
        if (FindOption(name))
            out->warnings.push_back(std::string("\"") + argv[k] + "\" comes after the " +
                                    (appletAppended ? "program's arguments, so the program" : "applet, so the applet") +
                                    " gets it, not the player: put player options first");
    }
    ParseUserArguments(argc, argv, i, &out->userArguments);
    return 0;
}

int ApplyOptions(const ParsedCommandLine &options, StartupConfig *startup, DisplayConfig *display,
                 std::string *message) {
    auto number = [&](int slot, int32_t *target) {
        if (!options.given[slot]) return true;
        if (ParseInteger(options.values[slot], target)) return true;
        *message = std::string("option ") + kOptionTable[slot].name + " needs a number, not \"" +
                   options.values[slot] + "\"";
        return false;
    };
    if (options.given[kOptionWindow]) display->mode = kDisplayModeWindow;
    if (options.given[kOptionFullScreen]) display->mode = kDisplayModeFullScreen;
    if (options.given[kOptionBorderless]) display->borderless = 1;
    if (!number(kOptionScaleWidth, &display->scaleWidth) || !number(kOptionScaleHeight, &display->scaleHeight))
        return 2;
    if (options.given[kOptionScaleMode]) {
        display->scaleMode = ScaleModeByName(options.values[kOptionScaleMode].c_str());
        if (display->scaleMode < 0) {
            *message = "option SCALEMODE takes SCALEMODE_NONE, SCALEMODE_AUTO or SCALEMODE_LAYER, not \"" +
                       options.values[kOptionScaleMode] + "\"";
            return 2;
        }
    }
    if (options.given[kOptionDebugDevice]) startup->debugDevice = options.values[kOptionDebugDevice];
    if (options.given[kOptionNoSound]) startup->noSound = 1;
    int32_t volume = startup->masterVolume;
    if (!number(kOptionMasterVolume, &volume)) return 2;
    if (volume < 0 || volume > 64) {
        *message = "option MASTERVOLUME takes 0 to 64";
        return 2;
    }
    startup->masterVolume = volume;
    if (options.given[kOptionQuiet]) startup->quiet = 1;
    int32_t hide = display->hideTitleBar;
    if (!number(kOptionHideTitleBar, &hide)) return 2;
    display->hideTitleBar = hide;

    BackfillSettings &backfill = display->backfill;
    if (options.given[kOptionBackfill]) {
        const std::string &type = options.values[kOptionBackfill];
        if (strcasecmp(type.c_str(), "COLOR") == 0) backfill.type = kBackfillColor;
        else if (strcasecmp(type.c_str(), "RAINBOW") == 0 || strcasecmp(type.c_str(), "GRADIENT") == 0)
            backfill.type = kBackfillGradient;
        else if (strcasecmp(type.c_str(), "TEXTURE") == 0) backfill.type = kBackfillTexture;
        else if (strcasecmp(type.c_str(), "PICTURE") == 0) backfill.type = kBackfillPicture;
        else {
            *message = "option BACKFILL takes COLOR, RAINBOW, GRADIENT, TEXTURE or PICTURE, not \"" + type + "\"";
            return 2;
        }
    }
    int32_t start = static_cast<int32_t>(backfill.startColor), end = static_cast<int32_t>(backfill.endColor);
    if (!number(kOptionStartColor, &start) || !number(kOptionEndColor, &end) ||
        !number(kOptionPicXPos, &backfill.pictureX) || !number(kOptionPicYPos, &backfill.pictureY) ||
        !number(kOptionBrush, &backfill.brushNumber))
        return 2;
    backfill.startColor = static_cast<uint32_t>(start);
    backfill.endColor = static_cast<uint32_t>(end);
    if (options.given[kOptionScalePicture]) backfill.scalePicture = 1;
    if (options.given[kOptionPicTrans]) backfill.pictureTransparency = 1;
    if (options.given[kOptionBrushFile]) backfill.brushFile = options.values[kOptionBrushFile];
    struct stat info;
    if (options.given[kOptionProgDir] &&
        (stat(options.values[kOptionProgDir].c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
        *message = "option PROGDIR needs a directory, not \"" + options.values[kOptionProgDir] + "\"";
        return 2;
    }
    startup->userArguments = options.userArguments;
    return 0;
}

void PrintUsage(FILE *out, const char *programName, bool appletAppended) {
    if (appletAppended)
        fprintf(out, "usage: %s [options] [arguments for the program]\n\n", programName);
    else
        fprintf(out, "usage: %s [options] applet [arguments for the applet]\n\n", programName);
    fprintf(out, "Options (case-insensitive; -name, --name, -name value or --name=value):\n");
    for (const OptionRow &row : kOptionTable) {
        char left[48];
        snprintf(left, sizeof left, "  -%s%s", row.name, row.takesValue ? " VALUE" : "");
        fprintf(out, "%-28s %s\n", left, row.help);
    }
    fprintf(out, "\nKeys: Alt+Return switches a display between window and full screen.\n");
}

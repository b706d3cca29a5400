// The configuration records the player fills from its options and the applet, which the display and system
// libraries read later through the VM's registry.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/vm/vm.h"

constexpr size_t kPathBufferSize = 1024;

// A word of the command line after the applet: "-name value", "-name" or a bare "value" (name empty).
struct UserArgument {
    std::string name;
    std::string value;
    bool hasValue = false;
};

struct StartupConfig {
    int isApplet = 0;            // 1 when the loaded file is an applet
    // 1 in a linked program (the applet appended to the player). PayloadOffset does not tell: it is 0 for an
    // appended "VLZ" applet, whose linked files live in the unpacked copy.
    int isLinkedProgram = 0;
    char scriptPath[kPathBufferSize] = {}; // the loaded applet's path (the program itself when appended)
    char programName[kPathBufferSize] = {};
    std::vector<UserArgument> userArguments;
    // Options the runtime keeps for the libraries that ask later.
    std::string debugDevice;
    int noSound = 0;
    int masterVolume = 30;
    int quiet = 0;
};

// Display modes.
constexpr int kDisplayModeWindow = 1;
constexpr int kDisplayModeFullScreen = 2;
constexpr int kDisplayModeAsk = 3;
constexpr int kDisplayModeFullScreenChosen = 4;
constexpr int kDisplayModeFakeFullScreen = 6;

// Backfill types.
constexpr int kBackfillNone = 0;
constexpr int kBackfillColor = 1;
constexpr int kBackfillGradient = 2; // RAINBOW and GRADIENT
constexpr int kBackfillTexture = 3;
constexpr int kBackfillPicture = 4;

struct BackfillSettings {
    int type = kBackfillNone;
    uint32_t startColor = 0;
    uint32_t endColor = 0;
    int32_t pictureX = 0;
    int32_t pictureY = 0;
    int32_t brushNumber = 0;
    int scalePicture = 0;
    int pictureTransparency = 0;
    std::string brushFile;
    int coverTitleBar = 0;
};

// One value of the applet's display settings table (numbers and strings only).
struct SettingValue {
    bool isString = false;
    double number = 0;
    std::string text;
};

struct DisplayConfig {
    int mode = kDisplayModeWindow;
    int hideTitleBar = -1; // -1: not given
    int displayDesktop = 0;
    int borderless = 0;
    int32_t screenWidth = 0;  // 0: the current screen's; -1: the display's own size
    int32_t screenHeight = 0;
    int32_t screenDepth = -1; // -1: the current screen's
    int32_t scaleWidth = 0;   // 0: no scaling asked for
    int32_t scaleHeight = 0;
    int32_t scaleMode = -1;   // -1: the display's own
    std::string iconLabel;
    BackfillSettings backfill;
    // The applet's display settings as declared (lower-case keys, in declaration order), for CreateDisplay.
    std::vector<std::pair<std::string, SettingValue>> appletSettings;
};

// The applet's display configuration (the one the program runs with).
DisplayConfig *GetAppletSettings(VMState *vm);
// The start-up configuration, also reachable as the registry handle "clargs".
StartupConfig *GetStartupConfig(VMState *vm);
// Makes both records reachable through the VM's registry (the player owns them).
void SetStartupRecords(VMState *vm, StartupConfig *startup, DisplayConfig *display);

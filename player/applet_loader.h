// Reading applets: the "VLA" record stream (runtime/app/applet_format.h), the "VLZ" form (unpacked to a
// temporary file first) and applets appended to the program. An applet is outside data: every record length is
// bounded by the bytes that are left before anything is read or allocated, and anything malformed is refused
// with kErrNotAnApplet "%s is no Vistaloom applet!".
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/app/applet_format.h"
#include "player/startup.h"
#include "runtime/vm/vm.h"

struct AppletTablePair;

struct AppletArgument {
    AppletValueType type = kAppletValueNil; // nil, number, string or (as a whole argument only) table
    double number = 0;
    std::string text;
    std::vector<AppletTablePair> table; // flat: keys are numbers or strings, values nil, numbers or strings
};

struct AppletTablePair {
    AppletArgument key;
    AppletArgument value;
};

struct AppletPreloadDeclaration {
    AppletPreloadKind kind = kPreloadBGPic;
    std::vector<AppletArgument> arguments;
};

// A file linked into the applet: a byte range of the container file.
struct AppletLinkedFileEntry {
    std::string name;
    uint64_t offset = 0; // in the container file
    uint64_t length = 0;
    bool font = false; // linked with @LINKFONT: the bytes start with the linked-font header
};

struct LoadedApplet {
    std::string containerPath; // the file the records were read from (program, applet or unpacked copy)
    int64_t offset = 0;        // where "VLA" starts in it
    std::string scriptName;
    std::vector<uint8_t> chunk;
    std::vector<std::pair<std::string, uint32_t>> labels;
    bool hasDisplaySettings = false;
    std::vector<std::pair<std::string, SettingValue>> displaySettings;
    std::vector<AppletPreloadDeclaration> preloads;
    std::vector<AppletLinkedFileEntry> linkedFiles;
    std::string temporaryFile; // the unpacked copy of a "VLZ" applet; deleted at shutdown
};

// The largest record the loader holds in memory (script chunk, settings, declarations); linked files are never
// read whole.
constexpr uint64_t kMaxAppletRecordInMemory = uint64_t(256) << 20;
// A compressed applet that unpacks to more than this is refused: far above any applet with its pictures and
// sounds, far below what would fill a temporary directory.
constexpr uint64_t kMaxUnpackedAppletBytes = uint64_t(2) << 30;

// Reads the "VLA" records at offset in the file. 0, or kErrNotAnApplet with the display name as the error argument.
int ReadAppletRecords(const char *path, int64_t offset, const char *displayName, LoadedApplet *out);
// Opens an applet at offset in path: a "VLZ" applet is unpacked to a temporary file (its name in
// out->temporaryFile, also on failure) and read from there. 0, kErrNotAnApplet, or the unpacking's error code.
int OpenApplet(const char *path, int64_t offset, const char *displayName, LoadedApplet *out);

// The applet appended to this program: its offset from the marker block, or -1 for a bare player.
int64_t AppendedAppletOffset();
// The path of the running program (through /proc/self/exe).
std::string OwnExecutablePath();

// Loads the script chunk into the VM (the function is left on the stack), installs the linked-file lookup and
// sets PayloadOffset. 0 or the VM's load error.
int InstallApplet(VMState *vm, LoadedApplet *applet);
// Forgets the installed applet (shutdown): the lookup no longer reaches it.
void UninstallApplet();
// The ":::chunk" name of a linked file (names compare case-insensitively, with "\" as "/" and "./" dropped);
// 1 when found.
// fontFlag: a font linked with @LINKFONT is looked up first, by its name or its file-name part, with or without
// ".font". Returns 2 for such a font, 1 for a plain linked file, 0 when nothing is linked under the name.
int FindLinkedAppletFile(const LoadedApplet &applet, const char *name, std::string *chunkName, int fontFlag = 0);

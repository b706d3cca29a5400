// Building and reading "VLA" applet files (layout in runtime/app/applet_format.h), and the "VLZ" form.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "runtime/app/applet_format.h"

struct AppletValuePair;

struct AppletValue {
    AppletValueType type = kAppletValueNil;
    double number = 0;
    std::string text;
    std::vector<AppletValuePair> table; // flat: keys and values are never tables
};

struct AppletValuePair {
    AppletValue key;
    AppletValue value;
};

struct AppletLabel {
    std::string name;
    uint32_t instruction = 0;
};

struct AppletPreload {
    AppletPreloadKind kind = kPreloadBGPic;
    std::vector<AppletValue> arguments;
};

struct AppletLinkedFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

// A size file of a linked bitmap font: written as a linked file, and entry `entry` of the font's contents file
// is pointed at it.
struct AppletFontSizeFile {
    uint32_t entry = 0;
    AppletLinkedFile file;
};

struct AppletLinkedFont {
    std::string name;
    std::vector<uint8_t> bytes; // the linked-font header and the font file (or contents file)
    std::vector<AppletFontSizeFile> sizeFiles;
};

struct AppletContents {
    std::string scriptName;
    std::vector<uint8_t> chunk;
    std::vector<AppletLabel> labels;
    bool hasDisplaySettings = false;
    AppletValue displaySettings; // a table
    std::vector<AppletPreload> preloads;
    std::vector<AppletLinkedFile> linkedFiles;
    std::vector<AppletLinkedFont> linkedFonts;
};

// The whole "VLA" file. Returns false (with a message) when a part cannot be stored, e.g. a record over 4 GiB.
bool WriteApplet(const AppletContents &contents, std::vector<uint8_t> &out, std::string &error);
// Reads a "VLA" file back, bounding every record; unknown tags are skipped. False with a message when the bytes
// are not a well-formed applet.
bool ReadApplet(std::span<const uint8_t> bytes, AppletContents &contents, std::string &error);

// "VLZ" 0x00, four zero bytes, then the applet deflated as one zlib stream.
bool CompressApplet(std::span<const uint8_t> applet, std::vector<uint8_t> &out, std::string &error);
// The inverse, for tests and for tools that take either form; refuses output beyond maxSize.
bool DecompressApplet(std::span<const uint8_t> compressed, std::vector<uint8_t> &out, std::string &error,
                      size_t maxSize = size_t(1) << 32);

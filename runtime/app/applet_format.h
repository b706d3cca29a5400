// The applet file layout, shared by the applet compiler (writer) and the player's loader (reader).
//
//   "VLA" 0x00
//   records: tag (1 byte, never 0), length (u32 big-endian), payload (length bytes)
//   the checksum record (optional, always the last one)
//   0x00 "EOF"
//
// Every record carries its length, so a reader bounds each one against the bytes left before looking inside.
// A reader refuses tags it does not know: a skipped record would let one changed byte hide the checksum. All integers are big-endian. The compressed form is "VLZ" 0x00, four reserved
// zero bytes, then one zlib stream (RFC 1950) that inflates to the whole "VLA" file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr char kAppletMagic[4] = {'V', 'L', 'A', '\0'};
inline constexpr char kAppletEnd[4] = {'\0', 'E', 'O', 'F'};
inline constexpr char kCompressedAppletMagic[4] = {'V', 'L', 'Z', '\0'};
inline constexpr size_t kCompressedAppletHeaderSize = 8; // magic + 4 reserved bytes
inline constexpr size_t kAppletRecordHeaderSize = 5;     // tag + u32 length

enum AppletRecordTag : uint8_t {
    // Payload: the script's file name as written to the compiler (no terminator). Errors name this file.
    kAppletScriptName = 1,
    // Payload: the main chunk as a bytecode chunk (ESC "VLB" ...), exactly once per applet.
    kAppletScriptChunk = 2,
    // Payload: u32 count, then count times { u32 name length, name bytes (lower-case), u32 instruction index }.
    // The labels of the main chunk, in source order.
    kAppletLabels = 3,
    // Payload: one encoded value (below), always a table: the display settings, keys from
    // kDisplaySettingNames.
    kAppletDisplaySettings = 4,
    // Payload: u8 preload kind (AppletPreloadKind), u8 argument count, then that many encoded values: the
    // arguments of the command that creates the resource. One record per declaration, in source order; the
    // loader runs them grouped by kind in the order of AppletPreloadKind.
    kAppletPreload = 5,
    // Payload: u32 name length, the name bytes (as the script names the file), then the file's bytes to the end
    // of the payload. The player reaches them through a ":::chunk" name.
    kAppletLinkedFile = 6,
    // Payload: as a linked file, the name as @LINKFONT gives it, then the font's bytes behind a linked-font
    // header: u32 flags (2: an outline font file follows, 0: a bitmap font's contents file follows). The size files
    // of a contents file are linked files of their own, and each entry names its file as
    // ":::chunk<offset>:<length>*<file name>/" with the offset counted from the applet's start.
    kAppletLinkedFont = 7,
    // Payload: u32, zlib's CRC-32 of every record before this one (from the byte after "VLA" 0x00 up to this
    // record's tag). Written last, right before the end mark; a reader that finds it refuses an applet whose bytes
    // do not match. Applets written before it existed carry none and still load.
    kAppletChecksum = 8,
};
inline constexpr size_t kAppletChecksumRecordSize = kAppletRecordHeaderSize + 4;

// Encoded values inside records: a type byte, then
//   kAppletValueNil:    nothing
//   kAppletValueNumber: 8 bytes, an IEEE double, big-endian
//   kAppletValueString: u32 length, the bytes
//   kAppletValueTable:  u32 count, then count pairs of key and value; keys are numbers or strings, values are
//                       nil, numbers or strings (tables stay flat so a reader needs no recursion)
enum AppletValueType : uint8_t {
    kAppletValueNil = 0,
    kAppletValueNumber = 1,
    kAppletValueString = 2,
    kAppletValueTable = 3,
};

// Resource kinds that an applet may declare for preloading, in the order the loader creates them.
enum AppletPreloadKind : uint8_t {
    kPreloadBGPic = 1,
    kPreloadBrush = 2,
    kPreloadAnim = 3,
    kPreloadMusic = 4,
    kPreloadSample = 5,
    kPreloadButton = 6,
    kPreloadKeyDown = 7,
    kPreloadSprite = 8,
    kPreloadFile = 9,
    kPreloadFont = 10,
    kPreloadDisplay = 11,
};

struct AppletPreloadRow {
    AppletPreloadKind kind;
    const char *directive; // the source directive, "@" + this name (lower-case); "" when none declares it
    const char *command;   // the command the loader calls, by its lower-case global name
};

inline constexpr AppletPreloadRow kAppletPreloadRows[] = {
    {kPreloadBGPic, "bgpic", "loadbgpic"},          {kPreloadBrush, "brush", "loadbrush"},
    {kPreloadAnim, "anim", "loadanim"},             {kPreloadMusic, "music", "openmusic"},
    {kPreloadSample, "sample", "loadsample"},       {kPreloadButton, "button", "createbutton"},
    {kPreloadKeyDown, "keydown", "createkeydown"},  {kPreloadSprite, "sprite", "loadsprite"},
    {kPreloadFile, "file", "openfile"},             {kPreloadFont, "font", "openfont"},
    // No directive: the loader creates the first display last, from the display settings record.
    {kPreloadDisplay, "", "createdisplay"},
};

// The keys a "@DISPLAY" table may hold (lower-case). The first display is created from the ones that are
// display attributes; the others fill the start-up's display configuration.
inline constexpr const char *kDisplaySettingNames[] = {
    "width",         "height",      "x",            "y",           "title",      "color",
    "borderless",    "sizeable",    "hidden",       "mode",        "screenwidth", "screenheight",
    "screendepth",   "hidetitlebar", "displaydesktop", "iconlabel", "backfill",  "startcolor",
    "endcolor",      "picxpos",     "picypos",      "brush",       "scalepicture", "pictrans",
    "brushfile",     "covertitlebar", "scalemode",  "scalewidth",   "scaleheight",
};

// Guards for readers and the writer: a script name or label name longer than this is refused.
inline constexpr uint32_t kAppletMaxNameLength = 1023;

// The marker block in the player's constant data: the maker string zero-padded to 32 bytes, a big-endian word
// that holds kAppletMarkerUnlinked in a bare player or the appended applet's file offset in a linked program,
// then the two big-endian marker words. The linker finds the block by the string and the two words together.
inline constexpr char kAppletMarkerMaker[] = "Tessark Pixelorn Amusementhaus";
inline constexpr size_t kAppletMarkerMakerSize = 32;
inline constexpr uint32_t kAppletMarkerUnlinked = 0xDEADC0DE;
inline constexpr uint32_t kAppletMarkerWord1 = 0xC0DECAFE;
inline constexpr uint32_t kAppletMarkerWord2 = 0xC0CAC01A;
inline constexpr size_t kAppletMarkerSize = kAppletMarkerMakerSize + 12;

// The name through which the player reads a byte range of a file as a file of its own:
// ":::chunk<offset>:<length>*<fileName>/<container>". Linked files and fonts are such ranges of the applet.
inline std::string MakeChunkName(const std::string &fileName, uint64_t offset, uint64_t length,
                                 const std::string &container) {
    return ":::chunk" + std::to_string(offset) + ":" + std::to_string(length) + "*" + fileName + "/" + container;
}

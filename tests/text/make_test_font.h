// Writes bitmap font files for tests and fuzz seeds: contents files, per-size hunk files (fixed-width,
// proportional with spacing and kerning, colour) and the header of a font linked into an applet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using FontBytes = std::vector<uint8_t>;

struct TestFontSpec {
    int height = 8;
    int baseline = 6;
    int nominalWidth = 8;
    int lowChar = 32;
    int highChar = 127;
    int flags = 0;                // 0x20 proportional
    std::vector<int> widths;      // glyph width per entry (highChar - lowChar + 2); empty: nominalWidth each
    std::vector<int16_t> spacing; // empty: no spacing table
    std::vector<int16_t> kerning; // empty: no kerning table
    // Colour fonts: every glyph pixel has colourIndex; planes are stored for the picked ones.
    bool colour = false;
    int depth = 2;
    int planePick = 0b11;
    int planeOnOff = 0;
    int colourIndex = 1;
    std::vector<uint16_t> palette{0x000, 0xF00, 0x0F0, 0x00F};
};

// A per-size file; every glyph is a filled rectangle of its width and the font's height.
FontBytes MakeFontSizeFile(const TestFontSpec &desc);

struct FontContentsEntry {
    std::string name; // e.g. "mono/8", "::incomplete" or a ":::chunk" name
    int ySize = 8;
};
FontBytes MakeFontContents(const std::vector<FontContentsEntry> &entries, uint16_t id = 0x0F00);

// flags 2 outline, 4 tag block (with tagBlockLength, counted but its bytes need not follow).
FontBytes MakeLinkedFontHeader(uint32_t flags, uint32_t tagBlockLength = 0);

// TrueType containers. A record's text is stored as given (use Utf16 for platform 3).
struct SfntName {
    uint16_t platform = 3, encoding = 1, language = 0x0409, id = 1;
    std::string text;
};
std::string Utf16(const std::string &latin);
// A face with only a 'name' table.
FontBytes MakeNamedSfnt(const std::vector<SfntName> &names);
// A "ttcf" collection of the faces, their table offsets moved to where they land.
FontBytes MakeCollection(const std::vector<FontBytes> &faces);
// 256 bytes of header, then each face as a 32-bit length and its bytes.
FontBytes MakeResourceFile(const std::vector<FontBytes> &faces);

// An otag file: OT_FileIdent with the length, OT_Engine (unless engine is empty), the engine's font file (unless
// empty) and OT_YSizeFactor (unless 0); the strings follow the tag list.
FontBytes MakeOutlineTags(const std::string &engine, const std::string &fontFile, uint32_t sizeFactor = 0);

// The installed-font list: TrueType, OpenType, collection, resource-file and .font fonts found in the font
// directories, named from the faces' own 'name' tables.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// "regular", "plain", "normal", "book" and "roman", without regard to case.
bool IsRegularStyleName(const char *style);

struct FontListEntry {
    std::string fullName; // family, or family + " " + style
    std::string family;
    std::string path;
    int32_t weight = 80;
    int32_t slant = 0;
    uint32_t resourceOffset = 0; // .dfont faces
    uint32_t resourceLength = 0;
    uint32_t collectionOffset = 0; // .ttc faces: the face's table directory
    bool bitmap = false;
    std::vector<uint8_t> sizes; // bitmap fonts, distinct, in order of first appearance
};

// Bytes of a font file at an offset: true only when all of them were read. size is the file's length.
struct FontFileReader {
    std::function<bool(uint64_t offset, uint8_t *buffer, size_t count)> read;
    uint64_t size = 0;
};

// The family and style of the face whose sfnt header is at header and whose table offsets count from base (0 in
// a collection); false when it has no usable 'name' table. Names of 256-511 bytes are cut to 255; a longer record
// leaves the face unnamed.
bool ReadSfntNames(const FontFileReader &file, uint64_t header, uint64_t base, std::string *family,
                   std::string *style);

struct FoundFace {
    std::string family, style;
    uint32_t collectionOffset = 0, resourceOffset = 0, resourceLength = 0;
};
enum class FontFileKind { Sfnt, Collection, ResourceFile };
// Every named face of a file of that kind.
std::vector<FoundFace> ReadFontFileFaces(const FontFileReader &file, FontFileKind kind);
// A .font contents file: 1 bitmap (with its sizes), 2 outline, 0 anything else.
int ReadFontContentsKind(const FontFileReader &file, std::vector<uint8_t> *sizes);
// One face of a collection as a single-face file (tables unpadded, checksums kept); false when damaged.
bool ExtractCollectionFace(const FontFileReader &file, uint32_t offset, std::vector<uint8_t> *out);

// Weight and slant from the style's words; words not in the table change nothing.
void StyleWeightAndSlant(const std::string &style, int32_t *weight, int32_t *slant);

// Adds a directory's fonts to the list; 0, kErrLockFailed when it cannot be locked, or ExamineDirPathRef's error.
int ScanFontDirectory(const char *directory, int noAlias);
// Fills the list from the font directories unless it has entries.
void ListAvailableFonts(int noAlias);
void FreeFontList();
const std::vector<FontListEntry> &CurrentFontList();

struct TrueTypeFamilyPath {
    std::string path;
    int64_t offset = 0;
    int64_t length = 0;
    bool temporary = false; // a face copied out of a collection, deleted with the face
};
// The file of an installed TrueType face by its full name: 1 and where it lies, or 0.
int ResolveTrueTypeFamily(const char *family, TrueTypeFamilyPath *out);

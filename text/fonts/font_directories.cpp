#include "text/fonts/font_directories.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/file_services.h"
#include "host/os/system_font_dirs.h"
#include "host/path.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"

namespace {

std::vector<FontListEntry> FontList;

struct StyleWord {
    const char *word;
    bool slant;
    int32_t value;
};
const StyleWord kStyleWords[] = {
    {"thin", false, 0},         {"extralight", false, 40},  {"extra-light", false, 40}, {"ultralight", false, 40},
    {"ultra-light", false, 40}, {"light", false, 50},       {"book", false, 75},        {"normal", false, 80},
    {"regular", false, 80},     {"medium", false, 100},     {"semibold", false, 180},   {"semi-bold", false, 180},
    {"semi", false, 180},       {"demibold", false, 180},   {"demi-bold", false, 180},  {"demi", false, 180},
    {"bold", false, 200},       {"extrabold", false, 205},  {"extra-bold", false, 205}, {"ultrabold", false, 205},
    {"ultra-bold", false, 205}, {"heavy", false, 210},      {"black", false, 210},      {"extrablack", false, 215},
    {"extra-black", false, 215}, {"ultrablack", false, 215}, {"ultra-black", false, 215}, {"roman", true, 0},
    {"italic", true, 100},      {"oblique", true, 110},
};

// The largest name record read, and the longest name kept.
constexpr size_t kMaxNameRecord = 511;
constexpr size_t kMaxNameLength = 255;

bool Read16(const FontFileReader &file, uint64_t offset, uint32_t *out) {
    uint8_t b[2];
    if (!file.read(offset, b, 2)) return false;
    *out = uint32_t(b[0]) << 8 | b[1];
    return true;
}

bool Read32(const FontFileReader &file, uint64_t offset, uint32_t *out) {
    uint8_t b[4];
    if (!file.read(offset, b, 4)) return false;
    *out = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    return true;
}

bool EnglishRecord(uint32_t platform, uint32_t language) {
    if (platform == 1) return language == 0;
    if (platform != 3) return true;
    for (uint32_t english : {0x0409u, 0x0809u, 0x0C09u, 0x1009u, 0x1409u, 0x1809u, 0x1C09u, 0x4009u})
        if (language == english) return true;
    return false;
}

// The table directory entry of a tag in the sfnt header at base.
bool FindTable(const FontFileReader &file, uint64_t base, const char *tag, uint32_t *offset, uint32_t *length) {
    uint32_t version = 0, count = 0;
    if (!Read32(file, base, &version) || !Read16(file, base + 4, &count)) return false;
    if (version != 0x00010000 && version != 0x4F54544F && version != 0x74727565) return false;
    if (base + 12 + uint64_t(count) * 16 > file.size) return false;
    for (uint32_t i = 0; i < count; i++) {
        uint8_t entry[16];
        if (!file.read(base + 12 + uint64_t(i) * 16, entry, 16)) return false;
        if (AsciiLower(std::string_view(reinterpret_cast<char *>(entry), 4)) != tag) continue;
        *offset = uint32_t(entry[8]) << 24 | uint32_t(entry[9]) << 16 | uint32_t(entry[10]) << 8 | entry[11];
        *length = uint32_t(entry[12]) << 24 | uint32_t(entry[13]) << 16 | uint32_t(entry[14]) << 8 | entry[15];
        return true;
    }
    return false;
}

FontFileReader HostFileReader(FILE *stream) {
    FontFileReader reader;
    if (fseeko(stream, 0, SEEK_END) == 0) reader.size = uint64_t(std::max<off_t>(ftello(stream), 0));
    reader.read = [stream, size = reader.size](uint64_t offset, uint8_t *buffer, size_t count) {
        if (offset > size || count > size - offset) return false;
        return fseeko(stream, off_t(offset), SEEK_SET) == 0 && fread(buffer, 1, count, stream) == count;
    };
    return reader;
}

bool EndsWithNoCase(const std::string &name, const char *suffix) {
    const size_t n = strlen(suffix);
    return name.size() >= n && AsciiLower(std::string_view(name).substr(name.size() - n)) == suffix;
}

void AddFontListEntry(const std::string &path, const std::string &family, const std::string &style, bool bitmap,
                      uint32_t resourceOffset, uint32_t resourceLength, uint32_t collectionOffset,
                      std::vector<uint8_t> sizes) {
    FontListEntry entry;
    entry.fullName = style.empty() ? family : family + " " + style;
    const std::string key = AsciiLower(entry.fullName);
    for (const FontListEntry &existing : FontList)
        if (AsciiLower(existing.fullName) == key) return;
    entry.family = family;
    entry.path = path;
    StyleWeightAndSlant(style, &entry.weight, &entry.slant);
    entry.resourceOffset = resourceOffset;
    entry.resourceLength = resourceLength;
    entry.collectionOffset = collectionOffset;
    entry.bitmap = bitmap;
    entry.sizes = std::move(sizes);
    FontList.push_back(std::move(entry));
}

void ScanFontFile(const std::string &path, const std::string &name, int noAlias) {
    FILE *stream = fopen(path.c_str(), "rb");
    if (!stream) return;
    const FontFileReader file = HostFileReader(stream);
    if (EndsWithNoCase(name, ".font")) {
        std::vector<uint8_t> sizes;
        if (int kind = ReadFontContentsKind(file, &sizes))
            AddFontListEntry(path, name.substr(0, name.size() - 5), "", kind == 1, 0, 0, 0, std::move(sizes));
    } else {
        const FontFileKind kind = EndsWithNoCase(name, ".ttc")     ? FontFileKind::Collection
                                  : EndsWithNoCase(name, ".dfont") ? FontFileKind::ResourceFile
                                                                   : FontFileKind::Sfnt;
        for (const FoundFace &face : ReadFontFileFaces(file, kind)) {
            AddFontListEntry(path, face.family, face.style, false, face.resourceOffset, face.resourceLength,
                             face.collectionOffset, {});
            if (!noAlias && IsRegularStyleName(face.style.c_str()))
                AddFontListEntry(path, face.family, "", false, face.resourceOffset, face.resourceLength,
                                 face.collectionOffset, {});
        }
    }
    fclose(stream);
}

// The system's directories stand for the first TrueType directory; the second has no counterpart here.
std::vector<std::string> FontDirectories() {
    std::vector<std::string> directories = SystemFontDirectories();
    directories.push_back("FONTS:");
    directories.push_back("Fonts");
    return directories;
}

} // namespace

bool IsRegularStyleName(const char *style) {
    const std::string lower = AsciiLower(style);
    for (const char *word : {"regular", "plain", "normal", "book", "roman"})
        if (lower == word) return true;
    return false;
}

void StyleWeightAndSlant(const std::string &style, int32_t *weight, int32_t *slant) {
    *weight = 80;
    *slant = 0;
    size_t start = 0;
    while (start <= style.size()) {
        size_t end = style.find(' ', start);
        if (end == std::string::npos) end = style.size();
        const std::string word = AsciiLower(std::string_view(style).substr(start, end - start));
        for (const StyleWord &row : kStyleWords)
            if (word == row.word) {
                *(row.slant ? slant : weight) = row.value;
                break;
            }
        start = end + 1;
    }
}

bool ReadSfntNames(const FontFileReader &file, uint64_t header, uint64_t base, std::string *family,
                   std::string *style) {
    family->clear();
    style->clear();
    uint32_t tableOffset = 0, tableLength = 0, count = 0, storage = 0;
    if (!FindTable(file, header, "name", &tableOffset, &tableLength)) return false;
    const uint64_t table = base + tableOffset;
    if (!Read16(file, table + 2, &count) || !Read16(file, table + 4, &storage)) return false;
    for (uint32_t i = 0; i < count && (family->empty() || style->empty()); i++) {
        uint8_t record[12];
        if (!file.read(table + 6 + uint64_t(i) * 12, record, 12)) return false;
        auto field = [&](int n) { return uint32_t(record[2 * n]) << 8 | record[2 * n + 1]; };
        const uint32_t id = field(3), length = field(4);
        if ((id != 1 && id != 2) || !EnglishRecord(field(0), field(2))) continue;
        if (length > kMaxNameRecord) return false;
        uint8_t bytes[kMaxNameRecord];
        if (!file.read(table + storage + field(5), bytes, length)) return false;
        std::string text;
        for (uint32_t k = 0; k < length; k++)
            if (bytes[k] && text.size() < kMaxNameLength) text += char(bytes[k]);
        *(id == 1 ? family : style) = text;
    }
    return true;
}

std::vector<FoundFace> ReadFontFileFaces(const FontFileReader &file, FontFileKind kind) {
    std::vector<FoundFace> faces;
    FoundFace face;
    if (kind == FontFileKind::Sfnt) {
        if (ReadSfntNames(file, 0, 0, &face.family, &face.style)) faces.push_back(face);
    } else if (kind == FontFileKind::Collection) {
        uint8_t tag[4];
        uint32_t count = 0;
        if (!file.read(0, tag, 4) || memcmp(tag, "ttcf", 4) != 0 || !Read32(file, 8, &count)) return faces;
        // Every face offset must lie in the file, so a hostile count ends at the file's end.
        for (uint32_t i = 0; i < count && 12 + uint64_t(i) * 4 + 4 <= file.size; i++) {
            uint32_t offset = 0;
            if (!Read32(file, 12 + uint64_t(i) * 4, &offset)) break;
            face.collectionOffset = offset;
            if (ReadSfntNames(file, offset, 0, &face.family, &face.style)) faces.push_back(face);
        }
    } else {
        uint64_t offset = 256;
        uint32_t length = 0;
        // A length past the end of the file ends the walk; lengths of 0 still move on by the length word.
        while (offset + 4 <= file.size && Read32(file, offset, &length)) {
            const uint64_t start = offset + 4;
            if (length > file.size - start) break;
            face.resourceOffset = uint32_t(start);
            face.resourceLength = length;
            if (ReadSfntNames(file, start, start, &face.family, &face.style)) faces.push_back(face);
            offset = start + length;
        }
    }
    return faces;
}

int ReadFontContentsKind(const FontFileReader &file, std::vector<uint8_t> *sizes) {
    sizes->clear();
    uint32_t id = 0, count = 0;
    if (!Read16(file, 0, &id)) return 0;
    if (id == 0x0F03) return 2;
    if ((id != 0x0F00 && id != 0x0F02) || !Read16(file, 2, &count)) return 0;
    for (uint32_t i = 0; i < count; i++) {
        uint32_t ySize = 0;
        if (!Read16(file, 4 + uint64_t(i) * 260 + 256, &ySize)) break;
        const uint8_t size = uint8_t(ySize);
        if (std::find(sizes->begin(), sizes->end(), size) == sizes->end()) sizes->push_back(size);
    }
    return 1;
}

bool ExtractCollectionFace(const FontFileReader &file, uint32_t offset, std::vector<uint8_t> *out) {
    uint32_t count = 0;
    if (!Read16(file, uint64_t(offset) + 4, &count)) return false;
    const uint64_t headerLength = 12 + uint64_t(count) * 16;
    if (uint64_t(offset) + headerLength > file.size) return false;
    out->assign(headerLength, 0);
    if (!file.read(offset, out->data(), headerLength)) return false;
    for (uint32_t i = 0; i < count; i++) {
        uint8_t *entry = out->data() + 12 + size_t(i) * 16;
        const uint32_t from = uint32_t(entry[8]) << 24 | uint32_t(entry[9]) << 16 | uint32_t(entry[10]) << 8 | entry[11];
        const uint32_t length =
            uint32_t(entry[12]) << 24 | uint32_t(entry[13]) << 16 | uint32_t(entry[14]) << 8 | entry[15];
        // The copy never outgrows the collection it comes from.
        if (from > file.size || length > file.size - from || out->size() + length > file.size) return false;
        const size_t at = out->size();
        if (at > UINT32_MAX) return false;
        out->resize(at + length);
        if (length && !file.read(from, out->data() + at, length)) return false;
        entry = out->data() + 12 + size_t(i) * 16;
        for (int k = 0; k < 4; k++) entry[8 + k] = uint8_t(at >> (24 - 8 * k));
    }
    return true;
}

int ScanFontDirectory(const char *directory, int noAlias) {
    PathRef *ref = NewPathRef(directory, 0);
    if (!ref) {
        SetErrorArgString(directory);
        return kErrLockFailed;
    }
    DirScanState *scan = nullptr;
    if (int error = ExamineDirPathRef(ref, &scan)) {
        FreePathRef(ref);
        return error;
    }
    std::string name;
    int isDirectory = 0;
    while (NextDirPathRefEntry(ref, scan, &name, &isDirectory, nullptr)) {
        if (isDirectory || name.size() <= 5) continue;
        bool wanted = false;
        for (const char *suffix : {".font", ".ttf", ".otf", ".ttc", ".dfont"}) wanted |= EndsWithNoCase(name, suffix);
        if (wanted) ScanFontFile(ref->path + "/" + name, name, noAlias);
    }
    FreeFileInfoBlock(scan);
    FreePathRef(ref);
    return 0;
}

void ListAvailableFonts(int noAlias) {
    if (!FontList.empty()) return;
    for (const std::string &directory : FontDirectories()) ScanFontDirectory(directory.c_str(), noAlias);
}

void FreeFontList() {
    FontList.clear();
    FontList.shrink_to_fit();
}

const std::vector<FontListEntry> &CurrentFontList() {
    return FontList;
}

int ResolveTrueTypeFamily(const char *name, TrueTypeFamilyPath *out) {
    ListAvailableFonts(0);
    const std::string key = AsciiLower(name);
    const FontListEntry *found = nullptr;
    for (const FontListEntry &entry : FontList)
        if (!entry.bitmap && AsciiLower(entry.fullName) == key) {
            found = &entry;
            break;
        }
    if (!found) return 0;
    *out = TrueTypeFamilyPath{found->path, found->resourceOffset, found->resourceLength, false};
    if (!found->collectionOffset) return 1;
    FILE *stream = fopen(found->path.c_str(), "rb");
    if (!stream) return 0;
    std::vector<uint8_t> face;
    const bool extracted = ExtractCollectionFace(HostFileReader(stream), found->collectionOffset, &face);
    fclose(stream);
    char temp[1024];
    if (!extracted || !MakeTempFileName(temp, sizeof temp)) return 0;
    std::string host;
    FILE *copy = ResolveHostPath(temp, &host) ? fopen(host.c_str(), "wb") : nullptr;
    const bool written = copy && fwrite(face.data(), 1, face.size(), copy) == face.size();
    if (copy && fclose(copy) != 0) copy = nullptr;
    if (!copy || !written) {
        remove(host.c_str());
        return 0;
    }
    *out = TrueTypeFamilyPath{host, 0, 0, true};
    return 1;
}

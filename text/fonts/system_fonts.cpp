#include "text/fonts/system_fonts.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "host/path.h"
#include "host/virtual_file.h"
#include "runtime/app/utilities.h"
#include "text/fonts/bitmap_font.h"

namespace {

bool OpensAsFile(const std::string &name) {
    std::string host;
    if (!ResolveHostPath(name.c_str(), &host)) return false;
    FILE *file = fopen(host.c_str(), "rb");
    if (file) fclose(file);
    return file != nullptr;
}

constexpr uint32_t kTagFileIdent = 0x80001001, kTagEngine = 0x80009002, kTagSizeFactor = 0x80001011,
                   kTagFontFile = 0x80009101, kTagIndirect = 0x8000;

uint32_t Be32(const std::vector<uint8_t> &b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

bool ReadWhole(const std::string &host, std::vector<uint8_t> *out) {
    FILE *file = fopen(host.c_str(), "rb");
    if (!file) return false;
    bool ok = fseeko(file, 0, SEEK_END) == 0;
    const off_t length = ok ? ftello(file) : -1;
    // An otag file is a short tag list; anything far larger is not one.
    ok = length >= 8 && length <= (1 << 20) && fseeko(file, 0, SEEK_SET) == 0;
    if (ok) {
        out->resize(size_t(length));
        ok = fread(out->data(), 1, out->size(), file) == out->size();
    }
    fclose(file);
    return ok;
}

} // namespace

int ParseOutlineTags(const std::vector<uint8_t> &bytes, OutlineTags *out) {
    *out = OutlineTags{};
    if (bytes.size() < 8 || Be32(bytes, 0) != kTagFileIdent || Be32(bytes, 4) != bytes.size()) return 0;
    bool engine = false;
    for (size_t at = 0; at + 8 <= bytes.size(); at += 8) {
        const uint32_t tag = Be32(bytes, at), value = Be32(bytes, at + 4);
        if (tag == 0) break;
        std::string text;
        if (tag & kTagIndirect) {
            if (value >= bytes.size()) return 0;
            const auto *start = bytes.data() + value;
            const void *zero = memchr(start, 0, bytes.size() - value);
            if (tag == kTagEngine || tag == kTagFontFile) {
                if (!zero) return 0;
                text.assign(reinterpret_cast<const char *>(start));
            }
        }
        if (tag == kTagEngine) {
            out->engine = text;
            engine = true;
        } else if (tag == kTagFontFile) {
            out->fontFile = text;
        } else if (tag == kTagSizeFactor) {
            out->sizeFactor = value;
        }
    }
    return engine ? 1 : 0;
}

uint32_t OutlinePointHeight(int32_t size, uint32_t sizeFactor) {
    uint32_t high = sizeFactor >> 16, low = sizeFactor & 0xFFFF;
    if (!high || !low) high = low = 1;
    return uint32_t(uint64_t(uint32_t(size)) * high / low);
}

namespace {

std::string FontFileName(const std::string &name) {
    if (AsciiLower(name).size() < 5 || AsciiLower(name).substr(name.size() - 5) != ".font") return name + ".font";
    return name;
}

// The names FindRegularStyleFont tries, in its order.
std::vector<std::string> RegularStyleNames(const char *name) {
    std::vector<std::string> names;
    const std::string lower = AsciiLower(name);
    for (const char *word : {"regular", "plain", "normal", "book"})
        for (const char *slant : {"", "oblique", "italic", "roman"}) {
            std::string suffix = std::string(" ") + word;
            if (*slant) suffix += std::string(" ") + slant;
            if (lower.size() <= suffix.size() || lower.compare(lower.size() - suffix.size(), suffix.size(), suffix))
                continue;
            const std::string base(name, lower.size() - suffix.size());
            // The slant keeps the name's own letters: file names here tell case apart.
            const size_t slantLength = strlen(slant);
            names.push_back(*slant ? base + " " + std::string(name + lower.size() - slantLength) : base);
            if (std::string(slant) == "roman") names.push_back(base);
        }
    return names;
}

} // namespace

int FindFontFile(const char *name, std::string *path) {
    const std::string file = FontFileName(name);
    for (const std::string &candidate : {file, "Fonts/" + file, "FONTS:" + file})
        if (OpensAsFile(candidate)) {
            *path = candidate;
            return 1;
        }
    return 0;
}

int FindRegularStyleFont(const char *name, std::string *path) {
    for (const std::string &candidate : RegularStyleNames(name))
        if (FindFontFile(candidate.c_str(), path)) return 1;
    return 0;
}

std::vector<std::string> OsFontFileNames(const char *name) {
    std::vector<std::string> files{FontFileName(name)};
    for (const std::string &candidate : RegularStyleNames(name)) files.push_back(FontFileName(candidate));
    return files;
}

namespace {

// An outline font whose otag names a font file: the FreeType engine draws that file. Other engines do not exist
// here, so an otag without a font file does not open.
int OpenOutlineFont(const char *name, const std::string &fontPath, int32_t size, FontHandle *handle) {
    std::vector<uint8_t> bytes;
    OutlineTags tags;
    const std::string tagPath = fontPath.substr(0, fontPath.size() - 4) + "otag";
    if (!ReadWhole(tagPath, &bytes) || !ParseOutlineTags(bytes, &tags) || tags.fontFile.empty()) return 0;
    return OpenOutlineFontWith(name, size, tags, MakeFreeTypeOutlineEngine(), "", handle);
}

// A linked outline font: its font file's bytes go to a temporary file, which the FreeType engine opens.
int OpenLinkedOutlineFont(const char *chunkName, int32_t size, FontHandle *handle) {
    ChunkNameParts parts;
    char temporary[1024];
    if (!ParseChunkName(chunkName, &parts) || !MakeTempFileName(temporary, sizeof temporary)) return 0;
    VirtualFile *source = OpenVirtualFile(chunkName, kVirtualFileRead);
    FILE *copy = source ? fopen(temporary, "wb") : nullptr;
    bool copied = copy != nullptr;
    std::vector<uint8_t> block(1 << 16);
    for (int64_t got; copied && (got = ReadVirtualFile(source, block.data(), int64_t(block.size()))) != 0;)
        copied = got > 0 && fwrite(block.data(), 1, size_t(got), copy) == size_t(got);
    if (copy && fclose(copy)) copied = false;
    CloseVirtualFile(source);
    if (!copied) {
        remove(temporary);
        return 0;
    }
    OutlineTags tags;
    tags.engine = "ft2";
    tags.fontFile = temporary;
    return OpenOutlineFontWith(parts.name.c_str(), size, tags, MakeFreeTypeOutlineEngine(), temporary, handle);
}

} // namespace

int OpenOsFont(const char *name, int32_t size, FontHandle *handle) {
    if (strncmp(name, ":::chunk", 8) == 0) return OpenLinkedOutlineFont(name, size, handle);
    std::string path;
    if (!FindFontFile(name, &path) && !FindRegularStyleFont(name, &path)) return 0;
    std::string host;
    FILE *file = ResolveHostPath(path.c_str(), &host) ? fopen(host.c_str(), "rb") : nullptr;
    if (!file) return 0;
    uint8_t id[2] = {};
    const bool read = fread(id, 1, 2, file) == 2;
    fclose(file);
    if (read && id[0] == 0x0F && id[1] == 0x03) return OpenOutlineFont(name, host, size, handle);
    // Only bitmap fonts, in their designed sizes; colour fonts come out as kind 2 from the same reader.
    if (!read || id[0] != 0x0F || (id[1] != 0x00 && id[1] != 0x02)) return 0;
    if (!LoadBitmapFontFile(path.c_str(), size, handle)) return 0;
    snprintf(handle->name, sizeof handle->name, "%s", name);
    return 1;
}

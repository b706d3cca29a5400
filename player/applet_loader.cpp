#include "player/applet_loader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>
#include <unistd.h>
#include <zlib.h>

#include "host/compressed_file.h"
#include "host/path.h"
#include "host/virtual_file.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/vm/bounded_reader.h"

// The marker block the linker patches: the maker string zero-padded to 32 bytes, then big-endian words: the
// applet offset (kAppletMarkerUnlinked in a bare player) and the two marker words. Volatile, so the compiler
// cannot fold the unpatched word into the code.
extern "C" __attribute__((used)) const volatile unsigned char kVistaloomAppletMarker[kAppletMarkerSize] = {
    'T', 'e', 's', 's', 'a', 'r', 'k', ' ', 'P', 'i', 'x', 'e', 'l', 'o', 'r', 'n', ' ', 'A', 'm', 'u', 's', 'e',
    'm', 'e', 'n', 't', 'h', 'a', 'u', 's', 0, 0,
    0xDE, 0xAD, 0xC0, 0xDE, 0xC0, 0xDE, 0xCA, 0xFE, 0xC0, 0xCA, 0xC0, 0x1A};
static_assert(sizeof kAppletMarkerMaker - 1 == 30);

namespace {

// Reads a record's payload held in memory; every read past the end sets the sticky failure flag.
struct PayloadReader : BoundedReader {
    using BoundedReader::BoundedReader;
    uint32_t U32() { return U32BE(); }
    bool String(std::string *out, uint32_t limit) {
        uint32_t length = U32();
        if (failed || length > limit || !Need(length)) {
            failed = true;
            return false;
        }
        *out = BoundedReader::String(length);
        return true;
    }
    // A table is allowed only as a whole preload argument: tables never nest, so reading one needs no
    // recursion beyond this single level.
    bool Value(AppletArgument *out, bool tableAllowed = false) {
        out->type = static_cast<AppletValueType>(U8());
        switch (out->type) {
        case kAppletValueNil:
            return !failed;
        case kAppletValueNumber:
            out->number = F64BE();
            return !failed;
        case kAppletValueString:
            return String(&out->text, static_cast<uint32_t>(size));
        case kAppletValueTable:
            if (tableAllowed) return Table(out);
            break;
        }
        failed = true;
        return false;
    }
    bool Table(AppletArgument *out) {
        uint32_t count = U32();
        // Each pair takes at least two type bytes, so the count is bounded by the payload before reserving.
        if (failed || count > remaining() / 2) {
            failed = true;
            return false;
        }
        out->table.resize(count);
        for (AppletTablePair &pair : out->table) {
            if (!Value(&pair.key) || !Value(&pair.value)) return false;
            // A NaN key could not be stored in a VM table, so it is refused here rather than when preloading.
            bool numberKey = pair.key.type == kAppletValueNumber && !std::isnan(pair.key.number);
            if (!numberKey && pair.key.type != kAppletValueString) {
                failed = true;
                return false;
            }
        }
        return true;
    }
};

// Reads the file through a VirtualFile, refusing to go past its end.
// Reads the records in order and keeps the CRC-32 of every byte taken or skipped, for the checksum record.
struct FileReader {
    VirtualFile *file;
    int64_t length;
    bool failed = false;
    uint32_t crc = 0;

    int64_t Position() { return SeekVirtualFile(file, 0, kSeekFromCurrent); }
    int64_t Left() { return length - Position(); }
    bool Take(void *out, size_t n) {
        // An empty record has no buffer (data() of an empty vector may be null, which memcpy must not get).
        if (n == 0) return !failed;
        if (failed || static_cast<int64_t>(n) > Left() ||
            ReadVirtualFileBuffered(file, out, n) != static_cast<int64_t>(n)) {
            failed = true;
            return false;
        }
        crc = uint32_t(crc32(crc, static_cast<const Bytef *>(out), uInt(n)));
        return true;
    }
    // Linked files are not kept in memory, but their bytes are read through for the checksum.
    bool Skip(uint64_t n) {
        if (failed || n > static_cast<uint64_t>(Left())) {
            failed = true;
            return false;
        }
        uint8_t buffer[64 * 1024];
        for (uint64_t left = n; left > 0;) {
            const size_t piece = static_cast<size_t>(std::min<uint64_t>(left, sizeof buffer));
            if (!Take(buffer, piece)) return false;
            left -= piece;
        }
        return true;
    }
};

SettingValue ToSetting(const AppletArgument &value) {
    SettingValue setting;
    setting.isString = value.type == kAppletValueString;
    setting.number = value.number;
    setting.text = value.text;
    return setting;
}

std::string Lower(std::string text) {
    for (char &c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A numeric key as the VM writes numbers; a damaged file may hold any double here, NaN included.
std::string NumberKey(double number) {
    char text[32];
    FormatNumber(number, text, sizeof text);
    return text;
}

bool ParseDisplaySettings(PayloadReader &reader, LoadedApplet *out) {
    if (reader.U8() != kAppletValueTable) return false;
    uint32_t count = reader.U32();
    // Each pair takes at least two type bytes, so the count is bounded by the payload before any loop.
    if (reader.failed || count > reader.remaining() / 2) return false;
    for (uint32_t i = 0; i < count; ++i) {
        AppletArgument key, value;
        if (!reader.Value(&key) || !reader.Value(&value)) return false;
        std::string name;
        if (key.type == kAppletValueString) name = Lower(key.text);
        else if (key.type == kAppletValueNumber) name = NumberKey(key.number);
        else return false;
        if (value.type == kAppletValueNil) continue;
        out->displaySettings.emplace_back(name, ToSetting(value));
    }
    out->hasDisplaySettings = true;
    return reader.AtEnd();
}

bool ParseLabels(PayloadReader &reader, LoadedApplet *out) {
    uint32_t count = reader.U32();
    if (reader.failed || count > reader.remaining() / 8) return false;
    for (uint32_t i = 0; i < count; ++i) {
        std::string name;
        if (!reader.String(&name, kAppletMaxNameLength)) return false;
        uint32_t instruction = reader.U32();
        if (reader.failed) return false;
        out->labels.emplace_back(name, instruction);
    }
    return reader.AtEnd();
}

bool ParsePreload(PayloadReader &reader, LoadedApplet *out) {
    uint8_t kind = reader.U8();
    uint8_t count = reader.U8();
    if (reader.failed || kind < kPreloadBGPic || kind >= kPreloadDisplay) return false;
    AppletPreloadDeclaration declaration;
    declaration.kind = static_cast<AppletPreloadKind>(kind);
    for (int i = 0; i < count; ++i) {
        AppletArgument argument;
        if (!reader.Value(&argument, true)) return false;
        declaration.arguments.push_back(std::move(argument));
    }
    out->preloads.push_back(std::move(declaration));
    return reader.AtEnd();
}

bool ReadRecords(FileReader &file, LoadedApplet *out) {
    char magic[4];
    if (!file.Take(magic, 4) || memcmp(magic, kAppletMagic, 4) != 0) return false;
    bool haveChunk = false;
    bool haveName = false;
    bool checked = false;
    file.crc = 0;
    for (;;) {
        const uint32_t crcBefore = file.crc;
        uint8_t tag;
        if (!file.Take(&tag, 1)) return false;
        if (tag == 0) {
            char end[3];
            return file.Take(end, 3) && memcmp(end, kAppletEnd + 1, 3) == 0 && haveChunk;
        }
        // Nothing may follow the checksum but the end mark, or it would cover only part of the applet.
        if (checked) return false;
        uint8_t header[4];
        if (!file.Take(header, 4)) return false;
        uint64_t length = LoadU32BE(header);
        if (tag == kAppletChecksum) {
            uint8_t stored[4];
            if (length != 4 || !file.Take(stored, 4) || LoadU32BE(stored) != crcBefore) return false;
            checked = true;
            continue;
        }
        // The record and the end marker must both fit in what is left.
        if (length + 4 > static_cast<uint64_t>(file.Left())) return false;
        if (tag == kAppletLinkedFile || tag == kAppletLinkedFont) {
            uint8_t nameLength[4];
            if (length < 4 || !file.Take(nameLength, 4)) return false;
            uint32_t n = LoadU32BE(nameLength);
            if (n == 0 || n > kAppletMaxNameLength || n > length - 4) return false;
            AppletLinkedFileEntry entry;
            entry.name.resize(n);
            if (!file.Take(entry.name.data(), n)) return false;
            entry.offset = static_cast<uint64_t>(file.Position());
            entry.length = length - 4 - n;
            entry.font = tag == kAppletLinkedFont;
            if (!file.Skip(entry.length)) return false;
            out->linkedFiles.push_back(std::move(entry));
            continue;
        }
        // An unknown tag is refused rather than skipped: otherwise one changed byte in the checksum record's tag
        // would turn it into a skipped record and switch the check off.
        if (tag > kAppletChecksum) return false;
        if (length > kMaxAppletRecordInMemory) return false;
        std::vector<uint8_t> payload(static_cast<size_t>(length));
        if (!file.Take(payload.data(), payload.size())) return false;
        PayloadReader reader(payload.data(), payload.size());
        switch (tag) {
        case kAppletScriptName:
            // Once only, so that a checksum record whose tag became 1 is not taken for a second name.
            if (haveName || length > kAppletMaxNameLength) return false;
            haveName = true;
            out->scriptName.assign(payload.begin(), payload.end());
            break;
        case kAppletScriptChunk:
            if (haveChunk) return false;
            out->chunk = std::move(payload);
            haveChunk = true;
            break;
        case kAppletLabels:
            if (!ParseLabels(reader, out)) return false;
            break;
        case kAppletDisplaySettings:
            if (out->hasDisplaySettings || !ParseDisplaySettings(reader, out)) return false;
            break;
        case kAppletPreload:
            if (!ParsePreload(reader, out)) return false;
            break;
        default:
            return false;
        }
    }
}

bool NamesEqual(const std::string &a, const std::string &b) {
    char left[kPathBufferSize], right[kPathBufferSize];
    NormalizePath(a.c_str(), left, sizeof left);
    NormalizePath(b.c_str(), right, sizeof right);
    return strcasecmp(left, right) == 0;
}

// The applet the running program uses for the linked-file lookup.
LoadedApplet *installedApplet = nullptr;

int LookUpLinkedFile(VMState *, const char *name, int fontFlag, std::string *chunkName) {
    return installedApplet && name ? FindLinkedAppletFile(*installedApplet, name, chunkName, fontFlag) : 0;
}

} // namespace

int ReadAppletRecords(const char *path, int64_t offset, const char *displayName, LoadedApplet *out) {
    SetErrorArgString(displayName ? displayName : path);
    VirtualFile *file = OpenVirtualFile(path, kVirtualFileRead);
    if (!file) return kErrNotAnApplet;
    FileReader reader{file, VirtualFileLength(file)};
    bool ok = offset >= 0 && offset <= reader.length && SeekVirtualFile(file, offset, kSeekFromStart) >= 0 &&
              ReadRecords(reader, out);
    CloseVirtualFile(file);
    if (!ok) return kErrNotAnApplet;
    out->containerPath = path;
    out->offset = offset;
    if (out->scriptName.empty()) out->scriptName = displayName ? displayName : path;
    return 0;
}

int OpenApplet(const char *path, int64_t offset, const char *displayName, LoadedApplet *out) {
    const char *shown = displayName ? displayName : path;
    SetErrorArgString(shown);
    VirtualFile *file = OpenVirtualFile(path, kVirtualFileRead);
    if (!file) {
        SetErrorArgString(path);
        return kErrCannotReadFile;
    }
    char magic[4] = {};
    bool compressed = offset >= 0 && SeekVirtualFile(file, offset, kSeekFromStart) >= 0 &&
                      ReadVirtualFile(file, magic, 4) == 4 && memcmp(magic, kCompressedAppletMagic, 4) == 0;
    CloseVirtualFile(file);
    if (!compressed) return ReadAppletRecords(path, offset, shown, out);
    char temporary[kPathBufferSize];
    if (!MakeTempFileName(temporary, sizeof temporary)) {
        SetErrorArgString("T:");
        return kErrCannotWriteFile;
    }
    out->temporaryFile = temporary;
    // An applet unpacks into the temporary directory: a hostile one must not be able to fill it.
    int result = DecompressFromFile(kCompressedAppletMagic, path, temporary, offset, nullptr, kMaxUnpackedAppletBytes);
    if (result) {
        SetErrorArgString(result == kErrCannotWriteFile ? temporary : shown);
        return result;
    }
    std::string keep = out->temporaryFile;
    result = ReadAppletRecords(temporary, 0, shown, out);
    out->temporaryFile = keep;
    return result;
}

int64_t AppendedAppletOffset() {
    const volatile unsigned char *word = kVistaloomAppletMarker + kAppletMarkerMakerSize;
    const uint8_t bytes[4] = {word[0], word[1], word[2], word[3]};
    uint32_t value = LoadU32BE(bytes);
    return value == kAppletMarkerUnlinked ? -1 : static_cast<int64_t>(value);
}

std::string OwnExecutablePath() {
    char path[kPathBufferSize];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "/proc/self/exe";
    path[n] = 0;
    return path;
}

namespace {

std::string LinkedChunkName(const LoadedApplet &applet, const AppletLinkedFileEntry &entry) {
    // The name part must not hold the "/" that ends it inside the chunk name.
    std::string base = entry.name;
    size_t cut = base.find_last_of("/\\:");
    if (cut != std::string::npos) base = base.substr(cut + 1);
    return MakeChunkName(base, entry.offset, entry.length, applet.containerPath);
}

std::string WithoutFontSuffix(std::string name) {
    if (name.size() >= 5 && strcasecmp(name.c_str() + name.size() - 5, ".font") == 0) name.resize(name.size() - 5);
    return name;
}

// A font is asked for by the name it was linked under or by its file-name part, with or without ".font".
bool FontNameMatches(const std::string &linked, const char *asked) {
    const std::string wanted = WithoutFontSuffix(asked), full = WithoutFontSuffix(linked);
    const size_t cut = full.find_last_of("/\\:");
    return NamesEqual(full, wanted) || (cut != std::string::npos && NamesEqual(full.substr(cut + 1), wanted));
}

} // namespace

int FindLinkedAppletFile(const LoadedApplet &applet, const char *name, std::string *chunkName, int fontFlag) {
    if (fontFlag)
        for (const AppletLinkedFileEntry &entry : applet.linkedFiles)
            if (entry.font && FontNameMatches(entry.name, name)) {
                *chunkName = LinkedChunkName(applet, entry);
                return 2;
            }
    for (const AppletLinkedFileEntry &entry : applet.linkedFiles)
        if (!entry.font && NamesEqual(entry.name, name)) {
            *chunkName = LinkedChunkName(applet, entry);
            return 1;
        }
    return 0;
}

int InstallApplet(VMState *vm, LoadedApplet *applet) {
    installedApplet = applet;
    LinkedFileHook = LookUpLinkedFile;
    PayloadOffset = applet->offset;
    return LoadChunkBuffer(vm, applet->chunk.data(), applet->chunk.size(), applet->scriptName.c_str());
}

void UninstallApplet() {
    if (LinkedFileHook == LookUpLinkedFile) LinkedFileHook = nullptr;
    installedApplet = nullptr;
    PayloadOffset = 0;
}

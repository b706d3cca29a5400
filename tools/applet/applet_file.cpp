#include "tools/applet/applet_file.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

#include "runtime/vm/bounded_reader.h"

namespace {

// The layout a linked bitmap font's contents file has behind its 4-byte header.
constexpr size_t kLinkedFontHeaderSize = 4;
constexpr size_t kFontContentsHeaderSize = 4;
constexpr size_t kFontContentsEntrySize = 260;
constexpr size_t kFontContentsNameSize = 256;

bool PutValue(std::vector<uint8_t> &out, const AppletValue &value, bool nested, std::string &error) {
    ByteWriter(out).U8(value.type);
    switch (value.type) {
    case kAppletValueNil: return true;
    case kAppletValueNumber: {
        uint64_t bits;
        std::memcpy(&bits, &value.number, 8);
        ByteWriter(out).U64BE(bits);
        return true;
    }
    case kAppletValueString:
        if (value.text.size() > UINT32_MAX) {
            error = "string too long for an applet record";
            return false;
        }
        ByteWriter(out).U32BE(uint32_t(value.text.size()));
        ByteWriter(out).Bytes(value.text.data(), value.text.size());
        return true;
    case kAppletValueTable:
        if (nested) {
            error = "tables inside tables cannot be stored in an applet record";
            return false;
        }
        ByteWriter(out).U32BE(uint32_t(value.table.size()));
        for (const AppletValuePair &pair : value.table) {
            if (!PutValue(out, pair.key, true, error) || !PutValue(out, pair.value, true, error)) return false;
        }
        return true;
    }
    error = "unknown value type";
    return false;
}

bool PutRecord(std::vector<uint8_t> &out, AppletRecordTag tag, const std::vector<uint8_t> &payload,
               std::string &error) {
    if (payload.size() > UINT32_MAX) {
        error = "applet record larger than 4 GiB";
        return false;
    }
    ByteWriter(out).U8(tag);
    ByteWriter(out).U32BE(uint32_t(payload.size()));
    ByteWriter(out).Bytes(payload.data(), payload.size());
    return true;
}

// A record of a name (u32 length, bytes) and data: linked files and fonts.
bool PutNamedRecord(std::vector<uint8_t> &out, AppletRecordTag tag, const std::string &name,
                    const std::vector<uint8_t> &bytes, std::string &error) {
    if (name.size() > kAppletMaxNameLength) {
        error = "linked file name too long: " + name;
        return false;
    }
    std::vector<uint8_t> payload;
    payload.reserve(4 + name.size() + bytes.size());
    ByteWriter(payload).U32BE(uint32_t(name.size())).Bytes(name.data(), name.size()).Bytes(bytes.data(), bytes.size());
    return PutRecord(out, tag, payload, error);
}

bool ReadValue(BoundedReader &in, AppletValue &value, bool nested) {
    value = AppletValue{};
    value.type = AppletValueType(in.U8());
    switch (value.type) {
    case kAppletValueNil: return !in.failed;
    case kAppletValueNumber: {
        value.number = in.F64BE();
        return !in.failed;
    }
    case kAppletValueString: {
        uint32_t length = in.U32BE();
        auto s = in.Span(length);
        value.text.assign(s.begin(), s.end());
        return !in.failed;
    }
    case kAppletValueTable: {
        if (nested) return false;
        uint32_t count = in.U32BE();
        // Each pair takes at least two bytes, so the count is bounded by what is left before reserving.
        if (in.failed || count > in.remaining() / 2) return false;
        value.table.resize(count);
        for (AppletValuePair &pair : value.table) {
            if (!ReadValue(in, pair.key, true) || !ReadValue(in, pair.value, true)) return false;
            if (pair.key.type != kAppletValueNumber && pair.key.type != kAppletValueString) return false;
        }
        return true;
    }
    }
    return false;
}

bool ReadName(BoundedReader &in, std::string &name) {
    uint32_t length = in.U32BE();
    if (length > kAppletMaxNameLength) return false;
    auto s = in.Span(length);
    name.assign(s.begin(), s.end());
    return !in.failed;
}

bool ReadRecord(AppletRecordTag tag, std::span<const uint8_t> payload, AppletContents &contents, std::string &error) {
    BoundedReader in(payload);
    switch (tag) {
    case kAppletScriptName:
        if (payload.size() > kAppletMaxNameLength) {
            error = "script name too long";
            return false;
        }
        contents.scriptName.assign(payload.begin(), payload.end());
        return true;
    case kAppletScriptChunk:
        contents.chunk.assign(payload.begin(), payload.end());
        return true;
    case kAppletLabels: {
        uint32_t count = in.U32BE();
        if (in.failed || count > payload.size() / 8) {
            error = "corrupt label record";
            return false;
        }
        contents.labels.resize(count);
        for (AppletLabel &label : contents.labels) {
            if (!ReadName(in, label.name)) {
                error = "corrupt label record";
                return false;
            }
            label.instruction = in.U32BE();
        }
        break;
    }
    case kAppletDisplaySettings:
        if (!ReadValue(in, contents.displaySettings, false) || contents.displaySettings.type != kAppletValueTable) {
            error = "corrupt display settings record";
            return false;
        }
        contents.hasDisplaySettings = true;
        break;
    case kAppletPreload: {
        AppletPreload preload;
        preload.kind = AppletPreloadKind(in.U8());
        uint8_t count = in.U8();
        preload.arguments.resize(count);
        for (AppletValue &argument : preload.arguments)
            if (!ReadValue(in, argument, false)) {
                error = "corrupt preload record";
                return false;
            }
        contents.preloads.push_back(std::move(preload));
        break;
    }
    case kAppletLinkedFile:
    case kAppletLinkedFont: {
        AppletLinkedFile file;
        if (!ReadName(in, file.name)) {
            error = "corrupt linked file record";
            return false;
        }
        auto rest = in.Span(in.remaining());
        file.bytes.assign(rest.begin(), rest.end());
        if (tag == kAppletLinkedFont) contents.linkedFonts.push_back({std::move(file.name), std::move(file.bytes), {}});
        else contents.linkedFiles.push_back(std::move(file));
        return true;
    }
    case kAppletChecksum: // the player checks it; the tools rewrite it
        return true;
    default: // refused as the player refuses it: a skipped record could be a checksum whose tag was changed
        error = "unknown record (tag " + std::to_string(int(tag)) + ")";
        return false;
    }
    if (in.failed || in.remaining() != 0) {
        error = "corrupt record (tag " + std::to_string(int(tag)) + ")";
        return false;
    }
    return true;
}

} // namespace

bool WriteApplet(const AppletContents &contents, std::vector<uint8_t> &out, std::string &error) {
    out.clear();
    ByteWriter(out).Bytes(kAppletMagic, 4);
    std::vector<uint8_t> payload;

    if (contents.scriptName.size() > kAppletMaxNameLength) {
        error = "script name too long";
        return false;
    }
    payload.assign(contents.scriptName.begin(), contents.scriptName.end());
    if (!PutRecord(out, kAppletScriptName, payload, error)) return false;
    if (!PutRecord(out, kAppletScriptChunk, contents.chunk, error)) return false;

    payload.clear();
    ByteWriter(payload).U32BE(uint32_t(contents.labels.size()));
    for (const AppletLabel &label : contents.labels) {
        ByteWriter(payload).U32BE(uint32_t(label.name.size()));
        ByteWriter(payload).Bytes(label.name.data(), label.name.size());
        ByteWriter(payload).U32BE(label.instruction);
    }
    if (!PutRecord(out, kAppletLabels, payload, error)) return false;

    if (contents.hasDisplaySettings) {
        payload.clear();
        if (!PutValue(payload, contents.displaySettings, false, error)) return false;
        if (!PutRecord(out, kAppletDisplaySettings, payload, error)) return false;
    }
    for (const AppletPreload &preload : contents.preloads) {
        if (preload.arguments.size() > 255) {
            error = "too many arguments in a preload declaration";
            return false;
        }
        payload.clear();
        ByteWriter(payload).U8(preload.kind);
        ByteWriter(payload).U8(uint8_t(preload.arguments.size()));
        for (const AppletValue &argument : preload.arguments)
            if (!PutValue(payload, argument, false, error)) return false;
        if (!PutRecord(out, kAppletPreload, payload, error)) return false;
    }
    for (const AppletLinkedFile &file : contents.linkedFiles)
        if (!PutNamedRecord(out, kAppletLinkedFile, file.name, file.bytes, error)) return false;
    for (const AppletLinkedFont &font : contents.linkedFonts) {
        std::vector<uint8_t> bytes = font.bytes;
        for (const AppletFontSizeFile &size : font.sizeFiles) {
            if (!PutNamedRecord(out, kAppletLinkedFile, size.file.name, size.file.bytes, error)) return false;
            const uint64_t offset = out.size() - size.file.bytes.size();
            std::string base = size.file.name.substr(size.file.name.find_last_of("/\\:") + 1);
            std::string chunk = MakeChunkName(base, offset, size.file.bytes.size(), "");
            const size_t at = kLinkedFontHeaderSize + kFontContentsHeaderSize + size_t(size.entry) * kFontContentsEntrySize;
            if (chunk.size() >= kFontContentsNameSize || at + kFontContentsNameSize > bytes.size()) {
                error = "linked font entry does not fit: " + size.file.name;
                return false;
            }
            std::memset(bytes.data() + at, 0, kFontContentsNameSize);
            std::memcpy(bytes.data() + at, chunk.data(), chunk.size());
        }
        if (!PutNamedRecord(out, kAppletLinkedFont, font.name, bytes, error)) return false;
    }
    payload.clear();
    uint32_t crc = 0;
    // zlib takes its lengths in 32-bit pieces.
    for (size_t at = 4; at < out.size();) {
        const uInt piece = uInt(std::min<size_t>(out.size() - at, 1u << 30));
        crc = uint32_t(crc32(crc, out.data() + at, piece));
        at += piece;
    }
    ByteWriter(payload).U32BE(crc);
    if (!PutRecord(out, kAppletChecksum, payload, error)) return false;
    ByteWriter(out).Bytes(kAppletEnd, 4);
    return true;
}

bool ReadApplet(std::span<const uint8_t> bytes, AppletContents &contents, std::string &error) {
    contents = AppletContents{};
    BoundedReader in(bytes);
    auto magic = in.Span(4);
    if (in.failed || std::memcmp(magic.data(), kAppletMagic, 4) != 0) {
        error = "not an applet (no \"VLA\" header)";
        return false;
    }
    bool haveChunk = false;
    for (;;) {
        uint8_t tag = in.U8();
        if (in.failed) {
            error = "applet ends without its end mark";
            return false;
        }
        if (tag == 0) {
            auto end = in.Span(3);
            if (in.failed || std::memcmp(end.data(), kAppletEnd + 1, 3) != 0) {
                error = "applet end mark damaged";
                return false;
            }
            break;
        }
        uint32_t length = in.U32BE();
        if (in.failed || length > in.remaining()) {
            error = "applet record runs past the end of the file";
            return false;
        }
        if (tag == kAppletScriptChunk && haveChunk) {
            error = "applet holds two script chunks";
            return false;
        }
        haveChunk |= tag == kAppletScriptChunk;
        if (!ReadRecord(AppletRecordTag(tag), in.Span(length), contents, error)) return false;
    }
    if (!haveChunk) {
        error = "applet holds no script chunk";
        return false;
    }
    return true;
}

bool CompressApplet(std::span<const uint8_t> applet, std::vector<uint8_t> &out, std::string &error) {
    uLongf bound = compressBound(uLong(applet.size()));
    out.assign(kCompressedAppletHeaderSize + bound, 0);
    std::memcpy(out.data(), kCompressedAppletMagic, 4);
    int result = compress2(out.data() + kCompressedAppletHeaderSize, &bound, applet.data(), uLong(applet.size()),
                           Z_BEST_COMPRESSION);
    if (result != Z_OK) {
        error = "compression failed (zlib " + std::to_string(result) + ")";
        return false;
    }
    out.resize(kCompressedAppletHeaderSize + bound);
    return true;
}

bool DecompressApplet(std::span<const uint8_t> compressed, std::vector<uint8_t> &out, std::string &error,
                      size_t maxSize) {
    out.clear();
    if (compressed.size() < kCompressedAppletHeaderSize ||
        std::memcmp(compressed.data(), kCompressedAppletMagic, 4) != 0) {
        error = "not a compressed applet (no \"VLZ\" header)";
        return false;
    }
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        error = "zlib could not start";
        return false;
    }
    stream.next_in = const_cast<Bytef *>(compressed.data() + kCompressedAppletHeaderSize);
    stream.avail_in = uInt(compressed.size() - kCompressedAppletHeaderSize);
    uint8_t buffer[16384];
    int result;
    do {
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) break;
        size_t produced = sizeof buffer - stream.avail_out;
        if (out.size() + produced > maxSize) {
            result = Z_MEM_ERROR;
            break;
        }
        out.insert(out.end(), buffer, buffer + produced);
        if (result == Z_OK && produced == 0 && stream.avail_in == 0) {
            result = Z_BUF_ERROR; // input ended before the stream did
            break;
        }
    } while (result != Z_STREAM_END);
    inflateEnd(&stream);
    if (result != Z_STREAM_END) {
        error = "compressed applet is damaged (zlib " + std::to_string(result) + ")";
        return false;
    }
    return true;
}

#include "libs/dos/serialised_format.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "libs/dos/base64.h"
#include "libs/dos/file_object.h"
#include "runtime/app/errors.h"
#include "runtime/vm/bounded_reader.h"

int SourceRead(SerialSource *source, void *buffer, size_t count) {
    if (count > SourceRemaining(source)) return kErrReadBeyondEnd;
    if (source->file) return FileReadBytes(source->file, buffer, static_cast<int64_t>(count));
    if (count > 0) std::memcpy(buffer, source->bytes.data() + source->offset, count);
    source->offset += count;
    return 0;
}

uint64_t SourceRemaining(const SerialSource *source) {
    if (source->file) {
        int64_t left = source->file->size - source->file->position;
        return left > 0 ? static_cast<uint64_t>(left) : 0;
    }
    return source->bytes.size() - source->offset;
}

namespace {

void AppendByte(std::string *out, uint8_t byte) {
    out->push_back(static_cast<char>(byte));
}

void AppendU32(std::string *out, uint32_t value) {
    uint8_t bytes[4];
    StoreU32BE(bytes, value);
    out->append(reinterpret_cast<const char *>(bytes), 4);
}

void AppendDouble(std::string *out, double value) {
    uint8_t bytes[8];
    StoreU64BE(bytes, std::bit_cast<uint64_t>(value));
    out->append(reinterpret_cast<const char *>(bytes), 8);
}

int AppendCounted(std::string *out, const std::string &bytes) {
    if (bytes.size() > UINT32_MAX) return kErrWrongUsage;
    AppendU32(out, static_cast<uint32_t>(bytes.size()));
    out->append(bytes);
    return 0;
}

int ReadByte(SerialSource *source, uint8_t *byte) {
    return SourceRead(source, byte, 1);
}

int ReadU32(SerialSource *source, uint32_t *value) {
    uint8_t bytes[4];
    if (int error = SourceRead(source, bytes, 4)) return error;
    *value = LoadU32BE(bytes);
    return 0;
}

int ReadDouble(SerialSource *source, double *value) {
    uint8_t bytes[8];
    if (int error = SourceRead(source, bytes, 8)) return error;
    *value = std::bit_cast<double>(LoadU64BE(bytes));
    return 0;
}

// The length is checked against what is left before the string grows, so a forged length allocates nothing.
int ReadBytes(SerialSource *source, uint64_t length, std::string *out) {
    if (length > SourceRemaining(source)) return kErrReadBeyondEnd;
    out->resize(static_cast<size_t>(length));
    return SourceRead(source, out->data(), out->size());
}

int ReadCounted(SerialSource *source, std::string *out) {
    uint32_t length = 0;
    if (int error = ReadU32(source, &length)) return error;
    return ReadBytes(source, length, out);
}

int HexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int ParseHexLength(const uint8_t digits[8], uint32_t *length) {
    uint32_t value = 0;
    for (int i = 0; i < 8; ++i) {
        int digit = HexValue(digits[i]);
        if (digit < 0) return kErrInvalidBase64;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    *length = value;
    return 0;
}

int DecodeTextBody(SerialSource *source, uint32_t length, std::string *chunk) {
    std::string text;
    if (int error = ReadBytes(source, length, &text)) return error;
    std::vector<uint8_t> decoded;
    if (int error = Base64Decode(text.data(), text.size(), &decoded)) return error;
    chunk->assign(decoded.begin(), decoded.end());
    return 0;
}

} // namespace

int EncodeFunctionRecord(std::span<const uint8_t> chunk, bool text, std::string *out) {
    if (!text) {
        if (chunk.size() > UINT32_MAX) return kErrWrongUsage;
        AppendU32(out, static_cast<uint32_t>(chunk.size()));
        out->append(reinterpret_cast<const char *>(chunk.data()), chunk.size());
        return 0;
    }
    std::string body = Base64Encode(chunk);
    if (body.size() > UINT32_MAX) return kErrWrongUsage;
    char length[9];
    std::snprintf(length, sizeof length, "%.8lx", static_cast<unsigned long>(body.size()));
    out->append(length, 8);
    out->append(body);
    return 0;
}

int EncodeTableBody(const SerialTable &table, bool textFunctions, std::string *out) {
    for (const SerialPair &pair : table.pairs) {
        if (pair.key.isString) {
            AppendByte(out, kTagString);
            if (int error = AppendCounted(out, pair.key.text)) return error;
        } else {
            AppendByte(out, kTagNumber);
            AppendDouble(out, pair.key.number);
        }
        const SerialValue &value = pair.value;
        AppendByte(out, value.tag);
        int error = 0;
        switch (value.tag) {
        case kTagNumber:
            AppendDouble(out, value.number);
            break;
        case kTagString:
            error = AppendCounted(out, value.bytes);
            break;
        case kTagTable:
            error = value.table ? EncodeTableBody(*value.table, textFunctions, out) : kErrWrongUsage;
            break;
        case kTagFunction:
            error = EncodeFunctionRecord(
                std::span(reinterpret_cast<const uint8_t *>(value.bytes.data()), value.bytes.size()),
                textFunctions, out);
            break;
        default:
            error = kErrWrongUsage;
        }
        if (error) return error;
    }
    AppendByte(out, kTagEnd);
    return 0;
}

int DecodeFunctionRecord(SerialSource *source, bool text, std::string *chunk) {
    if (text) {
        uint8_t digits[8];
        uint32_t length = 0;
        if (int error = SourceRead(source, digits, 8)) return error;
        if (int error = ParseHexLength(digits, &length)) return error;
        return DecodeTextBody(source, length, chunk);
    }
    return ReadCounted(source, chunk);
}

int DecodeTableFunctionRecord(SerialSource *source, std::string *chunk) {
    uint8_t head[8];
    if (int error = SourceRead(source, head, 5)) return error;
    if (HexValue(head[4]) < 0) {
        uint32_t length = LoadU32BE(head);
        // A raw body's first byte is already in hand; an empty body cannot be a chunk.
        if (length == 0) return kErrWrongUsage;
        std::string rest;
        if (int error = ReadBytes(source, length - 1, &rest)) return error;
        chunk->assign(1, static_cast<char>(head[4]));
        chunk->append(rest);
        return 0;
    }
    uint32_t length = 0;
    if (int error = SourceRead(source, head + 5, 3)) return error;
    if (int error = ParseHexLength(head, &length)) return error;
    return DecodeTextBody(source, length, chunk);
}

int DecodeTableBody(SerialSource *source, SerialTable *table, int depth) {
    if (depth >= kMaxTableDepth) return kErrStackOverflow;
    for (;;) {
        uint8_t tag = 0;
        if (int error = ReadByte(source, &tag)) return error;
        if (tag == kTagEnd) return 0;
        SerialPair pair;
        int error = 0;
        if (tag == kTagNumber) {
            error = ReadDouble(source, &pair.key.number);
            if (error == 0 && std::isnan(pair.key.number)) error = kErrWrongUsage;
        } else if (tag == kTagString) {
            pair.key.isString = true;
            error = ReadCounted(source, &pair.key.text);
        } else {
            error = kErrWrongUsage;
        }
        if (error == 0) error = ReadByte(source, &pair.value.tag);
        if (error) return error;
        switch (pair.value.tag) {
        case kTagNumber:
            error = ReadDouble(source, &pair.value.number);
            break;
        case kTagString:
            error = ReadCounted(source, &pair.value.bytes);
            break;
        case kTagTable:
            pair.value.table = std::make_unique<SerialTable>();
            error = DecodeTableBody(source, pair.value.table.get(), depth + 1);
            break;
        case kTagFunction:
            error = DecodeTableFunctionRecord(source, &pair.value.bytes);
            break;
        default:
            error = kErrWrongUsage;
        }
        if (error) return error;
        table->pairs.push_back(std::move(pair));
    }
}

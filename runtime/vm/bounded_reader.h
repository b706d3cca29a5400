// The bounded reader through which every decoder of outside data reads (bytecode chunks, applets, pictures,
// sounds, fonts, serialised tables): a cursor over a byte span. A read past the end returns 0 (or zero bytes)
// and sets a sticky failure flag, so a decoder reads a whole header or record and checks Failed() once.
// Counts taken from the data are checked against remaining() before anything is allocated for them.
// ByteWriter is its writing side, and the Load/Store functions read and write fixed places in a buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

struct BoundedReader {
    const uint8_t *data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    bool failed = false;

    BoundedReader() = default;
    explicit BoundedReader(std::span<const uint8_t> bytes) : data(bytes.data()), size(bytes.size()) {}
    BoundedReader(const void *bytes, size_t length) : data(static_cast<const uint8_t *>(bytes)), size(length) {}

    bool Failed() const { return failed; }
    size_t remaining() const { return pos <= size ? size - pos : 0; }
    size_t position() const { return pos; }
    bool AtEnd() const { return pos >= size; }

    // Marks the data as bad (a decoder's own check failed); sticky like a short read.
    void Fail() { failed = true; }

    // True when n more bytes are there; otherwise sets the failure flag.
    bool Need(size_t n) {
        if (n > remaining()) {
            failed = true;
            return false;
        }
        return true;
    }

    bool Seek(size_t offset) {
        if (offset > size) {
            failed = true;
            pos = size;
            return false;
        }
        pos = offset;
        return true;
    }

    void Skip(size_t n) {
        if (!Need(n)) {
            pos = size;
            return;
        }
        pos += n;
    }

    uint8_t U8() {
        if (!Need(1)) return 0;
        return data[pos++];
    }
    int8_t S8() { return int8_t(U8()); }

    uint16_t U16LE() { return uint16_t(Unsigned(2, false)); }
    uint16_t U16BE() { return uint16_t(Unsigned(2, true)); }
    uint32_t U32LE() { return uint32_t(Unsigned(4, false)); }
    uint32_t U32BE() { return uint32_t(Unsigned(4, true)); }
    uint64_t U64LE() { return Unsigned(8, false); }
    uint64_t U64BE() { return Unsigned(8, true); }
    int16_t S16LE() { return int16_t(U16LE()); }
    int16_t S16BE() { return int16_t(U16BE()); }
    int32_t S32LE() { return int32_t(U32LE()); }
    int32_t S32BE() { return int32_t(U32BE()); }

    double F64LE() { return BitsToDouble(U64LE()); }
    double F64BE() { return BitsToDouble(U64BE()); }
    float F32LE() { return BitsToFloat(U32LE()); }
    float F32BE() { return BitsToFloat(U32BE()); }

    // Copies n bytes; a short read copies nothing, zero-fills out and fails.
    bool Bytes(void *out, size_t n) {
        if (!Need(n)) {
            if (out != nullptr && n) std::memset(out, 0, n);
            pos = size;
            return false;
        }
        if (n) std::memcpy(out, data + pos, n);
        pos += n;
        return true;
    }

    // A view of the next n bytes (empty on a short read, which fails).
    std::span<const uint8_t> Span(size_t n) {
        if (!Need(n)) {
            pos = size;
            return {};
        }
        std::span<const uint8_t> s(data + pos, n);
        pos += n;
        return s;
    }

    // n bytes as a string (empty on a short read, which fails).
    std::string String(size_t n) {
        std::span<const uint8_t> s = Span(n);
        return std::string(reinterpret_cast<const char *>(s.data()), s.size());
    }

private:
    uint64_t Unsigned(size_t n, bool bigEndian) {
        if (!Need(n)) {
            pos = size;
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < n; i++) {
            uint64_t b = data[pos + (bigEndian ? i : n - 1 - i)];
            v = (v << 8) | b;
        }
        pos += n;
        return v;
    }
    static double BitsToDouble(uint64_t bits) {
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    static float BitsToFloat(uint32_t bits) {
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
};

// Appends integers in a chosen byte order to a std::string or std::vector<uint8_t>. Calls chain:
// ByteWriter(out).U32LE(size).U16LE(format).
template <class Buffer> struct ByteWriter {
    Buffer &out;
    explicit ByteWriter(Buffer &buffer) : out(buffer) {}

    ByteWriter &U8(uint32_t v) {
        out.push_back(typename Buffer::value_type(uint8_t(v)));
        return *this;
    }
    ByteWriter &U16LE(uint32_t v) { return Put(v, 2, false); }
    ByteWriter &U16BE(uint32_t v) { return Put(v, 2, true); }
    ByteWriter &U32LE(uint32_t v) { return Put(v, 4, false); }
    ByteWriter &U32BE(uint32_t v) { return Put(v, 4, true); }
    ByteWriter &U64LE(uint64_t v) { return Put(v, 8, false); }
    ByteWriter &U64BE(uint64_t v) { return Put(v, 8, true); }
    // Grown and copied rather than insert(): GCC 12 takes an insert into a vector that may be empty for an
    // overflow and warns.
    ByteWriter &Bytes(const void *bytes, size_t n) {
        if (n == 0) return *this;
        const size_t at = out.size();
        out.resize(at + n);
        std::memcpy(out.data() + at, bytes, n);
        return *this;
    }
    ByteWriter &Zeros(size_t n) {
        out.insert(out.end(), n, typename Buffer::value_type(0));
        return *this;
    }

private:
    ByteWriter &Put(uint64_t v, int n, bool bigEndian) {
        uint8_t bytes[8];
        for (int i = 0; i < n; i++) bytes[i] = uint8_t(v >> (8 * (bigEndian ? n - 1 - i : i)));
        return Bytes(bytes, size_t(n));
    }
};

inline uint32_t LoadU16BE(const uint8_t *p) { return uint32_t(p[0]) << 8 | p[1]; }
inline uint32_t LoadU16LE(const uint8_t *p) { return uint32_t(p[1]) << 8 | p[0]; }
inline uint32_t LoadU32BE(const uint8_t *p) { return LoadU16BE(p) << 16 | LoadU16BE(p + 2); }
inline uint32_t LoadU32LE(const uint8_t *p) { return LoadU16LE(p + 2) << 16 | LoadU16LE(p); }
inline uint64_t LoadU64BE(const uint8_t *p) { return uint64_t(LoadU32BE(p)) << 32 | LoadU32BE(p + 4); }
inline void StoreU16BE(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void StoreU16LE(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void StoreU32BE(uint8_t *p, uint32_t v) {
    StoreU16BE(p, v >> 16);
    StoreU16BE(p + 2, v);
}
inline void StoreU32LE(uint8_t *p, uint32_t v) {
    StoreU16LE(p, v);
    StoreU16LE(p + 2, v >> 16);
}
inline void StoreU64BE(uint8_t *p, uint64_t v) {
    StoreU32BE(p, uint32_t(v >> 32));
    StoreU32BE(p + 4, uint32_t(v));
}

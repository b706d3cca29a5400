#include "media/codecs/picture_writers.h"

#include "host/virtual_file.h"
#include "runtime/app/errors.h"
#include "runtime/vm/bounded_reader.h"

int WriteWholeFile(const char *name, const void *bytes, size_t count) {
    VirtualFile *f = name ? OpenVirtualFile(name, kVirtualFileReplace) : nullptr;
    if (!f) return kErrCannotWriteFile;
    if (WriteVirtualFile(f, bytes, count) != int64_t(count)) {
        DiscardVirtualFile(f);
        return kErrCannotWriteFile;
    }
    return CloseVirtualFile(f) == 0 ? 0 : kErrCannotWriteFile;
}

size_t PackByteRun1Row(const uint8_t *source, uint8_t *destination, size_t length) {
    if (length == 0) return 0;
    size_t out = 0;
    auto literal = [&](const uint8_t *from, size_t n) {
        destination[out++] = uint8_t(n - 1);
        for (size_t i = 0; i < n; ++i) destination[out++] = from[i];
    };
    auto run = [&](uint8_t byte, size_t n) {
        destination[out++] = uint8_t(int8_t(-int(n - 1)));
        destination[out++] = byte;
    };
    // The pending bytes are source[start, i]; equal bytes begin at sequence.
    size_t start = 0, sequence = 0;
    bool runMode = false;
    for (size_t i = 1; i < length; ++i) {
        const uint8_t c = source[i], last = source[i - 1];
        const size_t pending = i - start + 1;
        if (!runMode) {
            if (pending > 128) {
                literal(source + start, pending - 1);
                start = sequence = i;
            } else if (c == last) {
                if (i - sequence + 1 >= 3) {
                    if (sequence > start) literal(source + start, sequence - start);
                    start = sequence;
                    runMode = true;
                } else if (sequence == start) {
                    runMode = true; // two equal bytes at the start of a group
                }
            } else {
                sequence = i;
            }
        } else if (c != last || pending > 128) {
            run(last, pending - 1);
            start = sequence = i;
            runMode = false;
        }
    }
    if (runMode) run(source[length - 1], length - start);
    else literal(source + start, length - start);
    return out;
}

bool EncodeIlbm(const uint32_t *pixels, int32_t width, int32_t height, std::string *out) {
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return false;
    const size_t rowBytes = size_t((width + 15) / 16) * 2;
    std::string &s = *out;
    s.clear();
    ByteWriter w(s);
    s += "FORM";
    w.U32BE(0);
    s += "ILBMBMHD";
    w.U32BE(20);
    w.U16BE(uint32_t(width));
    w.U16BE(uint32_t(height));
    w.U32BE(0);                    // x, y
    s += std::string("\x18\x00\x01\x00", 4); // 24 planes, no mask, ByteRun1, pad
    w.U16BE(0);                    // transparent colour
    s += std::string("\x01\x01", 2);  // aspect
    w.U16BE(uint32_t(width));
    w.U16BE(uint32_t(height));
    s += "BODY";
    w.U32BE(0);
    std::vector<uint8_t> planes(24 * rowBytes), packed(rowBytes + (rowBytes + 127) / 128);
    for (int32_t y = 0; y < height; ++y) {
        std::fill(planes.begin(), planes.end(), 0);
        const uint32_t *row = pixels + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = row[x];
            const uint8_t bit = uint8_t(0x80 >> (x & 7));
            const size_t at = size_t(x >> 3);
            const uint32_t channel[3] = {(p >> 16) & 255, (p >> 8) & 255, p & 255};
            for (int c = 0; c < 3; ++c)
                for (int b = 0; b < 8; ++b)
                    if (channel[c] >> b & 1) planes[size_t(c * 8 + b) * rowBytes + at] |= bit;
        }
        for (size_t plane = 0; plane < 24; ++plane) {
            const size_t n = PackByteRun1Row(planes.data() + plane * rowBytes, packed.data(), rowBytes);
            s.append(reinterpret_cast<const char *>(packed.data()), n);
        }
    }
    const uint32_t body = uint32_t(s.size() - 48);
    if (body & 1) s.push_back(0);
    const auto patch = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char((v >> (24 - 8 * i)) & 255);
    };
    patch(44, body);
    patch(4, ((body + 1) & ~1u) + 40);
    return true;
}

int WriteIlbmFile(const char *name, const uint32_t *pixels, int32_t width, int32_t height) {
    std::string bytes;
    if (!EncodeIlbm(pixels, width, height, &bytes)) return kErrWrongUsage;
    return WriteWholeFile(name, bytes.data(), bytes.size());
}

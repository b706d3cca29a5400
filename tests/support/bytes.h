// Builders of binary test files: numbers in either byte order, plain text and IFF pictures, appended to or
// returned as byte vectors.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void PutLe16(Bytes &b, uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
inline void PutLe32(Bytes &b, uint32_t v) { PutLe16(b, v & 0xFFFF), PutLe16(b, v >> 16); }
inline void PutBe16(Bytes &b, uint32_t v) { b.push_back(uint8_t(v >> 8)), b.push_back(uint8_t(v)); }
inline void PutBe32(Bytes &b, uint32_t v) { PutBe16(b, v >> 16), PutBe16(b, v & 0xFFFF); }
inline void PutText(Bytes &b, const char *s) {
    while (*s) b.push_back(uint8_t(*s++));
}

// An IFF chunk: its four-letter id, its size and data, padded to an even length.
inline void PutChunk(Bytes &b, const char *id, const Bytes &data) {
    PutText(b, id);
    PutBe32(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1) b.push_back(0);
}

// The BMHD fields of an IFF picture; a page size of 0 is the picture's.
struct Bmhd {
    int w, h, depth;
    uint8_t masking = 0, compression = 0;
    uint16_t transparent = 0;
    uint8_t xAspect = 1, yAspect = 1;
    int pageW = 0, pageH = 0;
};

// An IFF FORM of the given type: a BMHD, then the given chunks in order (odd sizes padded).
inline Bytes MakeIffForm(const char *type, const Bmhd &m, const std::vector<std::pair<const char *, Bytes>> &chunks) {
    Bytes form;
    PutText(form, type);
    Bytes bmhd;
    PutBe16(bmhd, uint32_t(m.w));
    PutBe16(bmhd, uint32_t(m.h));
    PutBe32(bmhd, 0);
    bmhd.insert(bmhd.end(), {uint8_t(m.depth), m.masking, m.compression, 0});
    PutBe16(bmhd, m.transparent);
    bmhd.insert(bmhd.end(), {m.xAspect, m.yAspect});
    PutBe16(bmhd, uint32_t(m.pageW ? m.pageW : m.w));
    PutBe16(bmhd, uint32_t(m.pageH ? m.pageH : m.h));
    PutChunk(form, "BMHD", bmhd);
    for (const auto &[id, d] : chunks) PutChunk(form, id, d);
    Bytes out;
    PutChunk(out, "FORM", form);
    return out;
}

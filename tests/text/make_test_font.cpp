#include "tests/text/make_test_font.h"

#include <cstring>

namespace {

void Put8(FontBytes &b, size_t at, uint32_t v) { b[at] = uint8_t(v); }
void Put16(FontBytes &b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}
void Put32(FontBytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}
// Appends n zero bytes, long-aligned, and returns their hunk pointer (file offset - 32).
uint32_t Reserve(FontBytes &b, size_t n) {
    while (b.size() % 4) b.push_back(0);
    size_t at = b.size();
    b.resize(at + n);
    return uint32_t(at - 32);
}

} // namespace

FontBytes MakeFontSizeFile(const TestFontSpec &desc) {
    const int entries = desc.highChar - desc.lowChar + 2;
    std::vector<int> widths = desc.widths;
    if (widths.empty()) widths.assign(size_t(entries), desc.nominalWidth);
    int totalWidth = 0;
    for (int w : widths) totalWidth += w;
    const int rowLength = ((totalWidth + 15) / 16) * 2;
    FontBytes b(186, 0);
    Put32(b, 0, 0x3F3);  // HUNK_HEADER, no libraries, one hunk (0..0) whose size is patched below
    Put32(b, 8, 1);
    Put32(b, 24, 0x3E9); // HUNK_CODE
    Put16(b, 32, 0x70FF); // moveq #-1,d0 ; rts: the file is not meant to be run
    Put16(b, 34, 0x4E75);
    Put16(b, 50, 0x0F80);
    Put16(b, 110, uint32_t(desc.height));
    Put8(b, 112, desc.colour ? 0x40 : 0);
    Put8(b, 113, uint32_t(desc.flags));
    Put16(b, 114, uint32_t(desc.nominalWidth));
    Put16(b, 116, uint32_t(desc.baseline));
    Put16(b, 118, 1);
    Put8(b, 122, uint32_t(desc.lowChar));
    Put8(b, 123, uint32_t(desc.highChar));
    Put16(b, 128, uint32_t(rowLength));
    // Glyph bits: every glyph a filled rectangle.
    FontBytes plane(size_t(rowLength) * size_t(desc.height), 0);
    uint32_t locations = Reserve(b, size_t(entries) * 4);
    int offset = 0;
    for (int i = 0; i < entries; i++) {
        Put32(b, locations + 32 + size_t(i) * 4, uint32_t(offset) << 16 | uint32_t(widths[size_t(i)]));
        for (int y = 0; y < desc.height; y++)
            for (int x = offset; x < offset + widths[size_t(i)]; x++)
                plane[size_t(y) * size_t(rowLength) + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        offset += widths[size_t(i)];
    }
    Put32(b, 130, locations);
    auto table = [&](const std::vector<int16_t> &values, size_t field) {
        if (values.empty()) return;
        uint32_t at = Reserve(b, values.size() * 2);
        for (size_t i = 0; i < values.size(); i++) Put16(b, at + 32 + i * 2, uint16_t(values[i]));
        Put32(b, field, at);
    };
    table(desc.spacing, 134);
    table(desc.kerning, 138);
    if (!desc.colour) {
        uint32_t strip = Reserve(b, plane.size());
        memcpy(b.data() + strip + 32, plane.data(), plane.size());
        Put32(b, 124, strip);
    } else {
        Put8(b, 144, uint32_t(desc.depth));
        Put8(b, 148, uint32_t(desc.planePick));
        Put8(b, 149, uint32_t(desc.planeOnOff));
        uint32_t colours = Reserve(b, desc.palette.size() * 2);
        for (size_t i = 0; i < desc.palette.size(); i++) Put16(b, colours + 32 + i * 2, desc.palette[i]);
        uint32_t record = Reserve(b, 8);
        Put16(b, record + 32 + 2, uint32_t(desc.palette.size()));
        Put32(b, record + 32 + 4, colours);
        Put32(b, 150, record);
        int stored = 0;
        for (int p = 0; p < desc.depth && p < 8; p++) {
            if (!(desc.planePick >> p & 1)) continue;
            uint32_t at = Reserve(b, plane.size());
            if (desc.colourIndex >> p & 1) memcpy(b.data() + at + 32, plane.data(), plane.size());
            Put32(b, 154 + size_t(stored++) * 4, at);
        }
    }
    Reserve(b, 0);
    Put32(b, 20, uint32_t((b.size() - 32) / 4));
    Put32(b, 28, uint32_t((b.size() - 32) / 4));
    size_t tail = b.size();
    b.resize(tail + 8);
    Put32(b, tail, 0x3EC); // HUNK_RELOC32 with no entries
    Put32(b, tail + 4, 0);
    b.resize(b.size() + 4);
    Put32(b, b.size() - 4, 0x3F2); // HUNK_END
    return b;
}

FontBytes MakeFontContents(const std::vector<FontContentsEntry> &entries, uint16_t id) {
    FontBytes b(4 + entries.size() * 260, 0);
    Put16(b, 0, id);
    Put16(b, 2, uint32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); i++) {
        size_t at = 4 + i * 260;
        memcpy(b.data() + at, entries[i].name.data(), std::min<size_t>(entries[i].name.size(), 255));
        Put16(b, at + 256, uint32_t(entries[i].ySize));
    }
    return b;
}

FontBytes MakeLinkedFontHeader(uint32_t flags, uint32_t tagBlockLength) {
    FontBytes b(4, 0);
    Put32(b, 0, flags);
    if ((flags & 2) && (flags & 4)) {
        b.resize(8);
        Put32(b, 4, tagBlockLength);
    }
    return b;
}

std::string Utf16(const std::string &latin) {
    std::string out;
    for (char c : latin) {
        out += '\0';
        out += c;
    }
    return out;
}

FontBytes MakeNamedSfnt(const std::vector<SfntName> &names) {
    FontBytes b(12 + 16, 0);
    Put32(b, 0, 0x00010000);
    Put16(b, 4, 1);
    memcpy(&b[12], "name", 4);
    Put32(b, 20, 28);
    const size_t table = b.size();
    const size_t storage = 6 + 12 * names.size();
    b.resize(table + storage);
    Put16(b, table + 2, uint32_t(names.size()));
    Put16(b, table + 4, uint32_t(storage));
    size_t offset = 0;
    for (size_t i = 0; i < names.size(); i++) {
        const SfntName &n = names[i];
        const size_t at = table + 6 + 12 * i;
        const uint16_t fields[6] = {n.platform, n.encoding, n.language, n.id, uint16_t(n.text.size()),
                                    uint16_t(offset)};
        for (int k = 0; k < 6; k++) Put16(b, at + 2 * size_t(k), fields[k]);
        offset += n.text.size();
    }
    for (const SfntName &n : names) b.insert(b.end(), n.text.begin(), n.text.end());
    Put32(b, 24, uint32_t(b.size() - table));
    return b;
}

FontBytes MakeCollection(const std::vector<FontBytes> &faces) {
    FontBytes b(12 + 4 * faces.size(), 0);
    memcpy(b.data(), "ttcf", 4);
    Put32(b, 4, 0x00010000);
    Put32(b, 8, uint32_t(faces.size()));
    for (size_t i = 0; i < faces.size(); i++) {
        while (b.size() % 4) b.push_back(0);
        const size_t at = b.size();
        Put32(b, 12 + 4 * i, uint32_t(at));
        b.insert(b.end(), faces[i].begin(), faces[i].end());
        const uint32_t tables = uint32_t(b[at + 4]) << 8 | b[at + 5];
        for (uint32_t t = 0; t < tables; t++) {
            const size_t entry = at + 12 + 16 * t + 8;
            const uint32_t old = uint32_t(b[entry]) << 24 | uint32_t(b[entry + 1]) << 16 | uint32_t(b[entry + 2]) << 8 |
                                 b[entry + 3];
            Put32(b, entry, old + uint32_t(at));
        }
    }
    return b;
}

FontBytes MakeResourceFile(const std::vector<FontBytes> &faces) {
    FontBytes b(256, 0);
    for (const FontBytes &face : faces) {
        const size_t at = b.size();
        b.resize(at + 4);
        Put32(b, at, uint32_t(face.size()));
        b.insert(b.end(), face.begin(), face.end());
    }
    return b;
}

FontBytes MakeOutlineTags(const std::string &engine, const std::string &fontFile, uint32_t sizeFactor) {
    std::vector<std::pair<uint32_t, uint32_t>> tags{{0x80001001, 0}};
    std::string strings;
    const size_t pairs = 2 + !engine.empty() + !fontFile.empty() + (sizeFactor != 0);
    for (auto [tag, text] : {std::pair{0x80009002u, &engine}, std::pair{0x80009101u, &fontFile}})
        if (!text->empty()) {
            tags.push_back({tag, uint32_t(pairs * 8 + strings.size())});
            strings += *text + '\0';
        }
    if (sizeFactor) tags.push_back({0x80001011, sizeFactor});
    tags.push_back({0, 0});
    FontBytes b(tags.size() * 8, 0);
    for (size_t i = 0; i < tags.size(); i++) {
        Put32(b, 8 * i, tags[i].first);
        Put32(b, 8 * i + 4, tags[i].second);
    }
    b.insert(b.end(), strings.begin(), strings.end());
    Put32(b, 4, uint32_t(b.size()));
    return b;
}

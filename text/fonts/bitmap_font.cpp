// Disk-font bitmap fonts: the contents file, the per-size hunk file, colour planes, measuring and drawing.
#include "text/fonts/bitmap_font.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "host/bitmap_convert.h"
#include "host/blit.h"
#include "host/charset.h"
#include "host/memory.h"
#include "host/virtual_file.h"
#include "runtime/app/applet_format.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/app/utilities.h"
#include "runtime/vm/bounded_reader.h"

namespace {

bool EndsWithFont(const std::string &name) {
    return name.size() >= 5 && AsciiLower(name.substr(name.size() - 5)) == ".font";
}

int ReadWholeFile(const char *name, std::vector<uint8_t> &bytes) {
    VirtualFile *file = OpenVirtualFile(name, kVirtualFileRead);
    if (!file) return 0;
    int result = ReadWholeVirtualFile(file, 1, kMaxFontFileBytes, bytes);
    CloseVirtualFile(file);
    return result == 0;
}

// A table of count entries of entrySize bytes at a hunk pointer, inside the file.
bool TableFits(const BoundedReader &file, uint32_t pointer, uint64_t count, uint64_t entrySize) {
    uint64_t start = uint64_t(pointer) + kFontHunkBase;
    return start <= file.size && count * entrySize <= file.size - start;
}

int32_t EntryIndex(const BitmapFontData *data, uint32_t character) {
    if (character >= uint32_t(data->lowChar) && character <= uint32_t(data->highChar))
        return int32_t(character) - data->lowChar;
    return data->entryCount - 1;
}

int32_t GlyphOffset(const BitmapFontData *data, int32_t entry) { return int32_t(data->locations[entry] >> 16); }
int32_t GlyphWidth(const BitmapFontData *data, int32_t entry) { return int32_t(data->locations[entry] & 0xFFFF); }
int32_t Kerning(const BitmapFontData *data, int32_t entry) { return data->kerning.empty() ? 0 : data->kerning[entry]; }
// Without a spacing table every character advances by the nominal width, in measuring as in drawing.
int32_t Advance(const BitmapFontData *data, int32_t entry) {
    return data->spacing.empty() ? data->nominalWidth : data->spacing[entry];
}

// Builds a colour font's 0x00RRGGBB strip from its planes. The k-th stored plane supplies the bit of the k-th
// picked plane; an unpicked plane supplies its on/off bit. Indexes without a palette entry are transparent.
bool ReadColorPlanes(BoundedReader &file, BitmapFontData *data, std::vector<uint32_t> &pixels) {
    file.Seek(kFontColorOffset);
    const int32_t depth = file.U8();
    file.Skip(3);
    const uint8_t pick = file.U8(), onOff = file.U8();
    const uint32_t colorRecord = file.U32BE();
    uint32_t planePointers[8];
    for (uint32_t &p : planePointers) p = file.U32BE();
    if (file.Failed() || depth < 1 || depth > 8) return false;
    if (!TableFits(file, colorRecord, 1, 8)) return false;
    file.Seek(size_t(colorRecord) + kFontHunkBase + 2);
    const uint32_t colorCount = file.U16BE();
    const uint32_t tablePointer = file.U32BE();
    if (file.Failed() || !TableFits(file, tablePointer, colorCount, 2)) return false;
    uint32_t palette[256] = {};
    const uint32_t used = std::min<uint32_t>(colorCount, 256);
    file.Seek(size_t(tablePointer) + kFontHunkBase);
    for (uint32_t i = 0; i < used; i++) {
        uint32_t rgb = file.U16BE();
        palette[i] = ((rgb >> 8 & 15) * 17) << 16 | ((rgb >> 4 & 15) * 17) << 8 | (rgb & 15) * 17;
    }
    palette[0] = kColorFontKey;
    const size_t planeBytes = size_t(data->height) * size_t(data->rowLength);
    const uint8_t *planes[8] = {};
    int stored = 0;
    for (int p = 0; p < depth; p++) {
        if (!(pick >> p & 1)) continue;
        uint32_t pointer = planePointers[stored++];
        if (pointer == 0) continue;
        if (!TableFits(file, pointer, planeBytes, 1)) return false;
        planes[p] = file.data + pointer + kFontHunkBase;
    }
    const int32_t width = data->rowLength * 8;
    pixels.assign(size_t(width) * size_t(data->height), kColorFontKey);
    for (int32_t y = 0; y < data->height; y++)
        for (int32_t x = 0; x < width; x++) {
            uint32_t index = 0;
            const size_t byte = size_t(y) * size_t(data->rowLength) + size_t(x >> 3);
            for (int p = 0; p < depth; p++) {
                const bool bit = (pick >> p & 1) ? (planes[p] && (planes[p][byte] >> (7 - (x & 7)) & 1))
                                                 : (onOff >> p & 1);
                index |= uint32_t(bit) << p;
            }
            if (index != 0 && index < used) pixels[size_t(y) * size_t(width) + size_t(x)] = palette[index];
        }
    return true;
}

std::vector<int16_t> ReadWordTable(BoundedReader &file, uint32_t pointer, int32_t count) {
    std::vector<int16_t> table(static_cast<size_t>(count));
    file.Seek(size_t(pointer) + kFontHunkBase);
    for (int16_t &v : table) v = file.S16BE();
    return table;
}

void CleanHandle(FontHandle *handle) {
    handle->kind = FontKindNone;
    handle->engineData = nullptr;
}

} // namespace

std::vector<uint32_t> DecodeFontText(const char *text, size_t length, int encoding) {
    std::vector<uint32_t> characters;
    uint32_t local[256];
    uint32_t *decoded = nullptr;
    size_t count = 0;
    int allocated = 0;
    if (encoding == 1 && ConvertUtf8ToUtf32(text, length, encoding, local, sizeof local, &decoded, &count, &allocated) == 0) {
        characters.assign(decoded, decoded + count);
        if (allocated) FreeUtf32Text(decoded);
        return characters;
    }
    const auto *bytes = reinterpret_cast<const uint8_t *>(text);
    characters.assign(bytes, bytes + length);
    return characters;
}

int FindBitmapFontEntry(std::span<const uint8_t> contents, int32_t size, std::string *entryName) {
    BoundedReader file(contents);
    const uint16_t id = file.U16BE();
    const uint32_t count = file.U16BE();
    if (file.Failed() || (id != kFontContentsId && id != kFontContentsTaggedId)) return 0;
    for (uint32_t i = 0; i < count; i++) {
        const size_t at = 4 + kFontContentsEntrySize * i;
        if (!file.Seek(at) || !file.Need(kFontContentsEntrySize)) return 0;
        const char *name = reinterpret_cast<const char *>(file.data + at);
        const size_t nameLength = strnlen(name, kFontContentsNameSize);
        if (nameLength == kFontContentsNameSize) return 0; // an unterminated name
        file.Skip(kFontContentsNameSize);
        if (int32_t(file.U16BE()) != size) continue;
        if (std::string_view(name, nameLength) == "::incomplete") continue;
        entryName->assign(name, nameLength);
        return 1;
    }
    return 0;
}

int ReadBitmapFontSize(std::span<const uint8_t> bytes, FontHandle *handle, bool keepPending) {
    BoundedReader file(bytes);
    if (!file.Seek(kFontSizeIdOffset) || file.U16BE() != kFontSizeFileId || bytes.size() < kFontColorOffset)
        return 0;
    auto data = std::make_unique<BitmapFontData>();
    file.Seek(kFontTextFontOffset);
    data->height = file.U16BE();
    data->style = file.U8();
    data->flags = file.U8();
    data->nominalWidth = file.U16BE();
    data->baseline = file.U16BE();
    data->boldSmear = file.U16BE();
    data->accessors = file.U16BE();
    data->lowChar = file.U8();
    data->highChar = file.U8();
    const uint32_t stripPointer = file.U32BE();
    data->rowLength = file.U16BE();
    const uint32_t locationPointer = file.U32BE(), spacingPointer = file.U32BE(), kerningPointer = file.U32BE();
    if (file.Failed() || data->height < 1 || data->height > kMaxBitmapFontHeight || data->rowLength < 1 ||
        data->rowLength > kMaxBitmapFontRowBytes || data->highChar < data->lowChar)
        return 0;
    data->entryCount = data->highChar - data->lowChar + 2;
    if (!TableFits(file, locationPointer, uint64_t(data->entryCount), 4)) return 0;
    file.Seek(size_t(locationPointer) + kFontHunkBase);
    data->locations.resize(size_t(data->entryCount));
    const uint32_t stripPixels = uint32_t(data->rowLength) * 8;
    for (uint32_t &location : data->locations) {
        location = file.U32BE();
        if ((location >> 16) + (location & 0xFFFF) > stripPixels) return 0;
    }
    if (spacingPointer) {
        if (!TableFits(file, spacingPointer, uint64_t(data->entryCount), 2)) return 0;
        data->spacing = ReadWordTable(file, spacingPointer, data->entryCount);
    }
    if (kerningPointer) {
        if (!TableFits(file, kerningPointer, uint64_t(data->entryCount), 2)) return 0;
        data->kerning = ReadWordTable(file, kerningPointer, data->entryCount);
    }
    const size_t stripBytes = size_t(data->height) * size_t(data->rowLength);
    FontKind kind = FontKindBitmap;
    std::vector<uint32_t> pixels;
    if (data->style & kBitmapFontColorStyle) {
        if (bytes.size() < kFontSizeHeaderEnd || !ReadColorPlanes(file, data.get(), pixels)) return 0;
        kind = FontKindColorBitmap;
    } else {
        if (!TableFits(file, stripPointer, stripBytes, 1)) return 0;
        const uint8_t *strip = file.data + stripPointer + kFontHunkBase;
        data->ownStrip.assign(strip, strip + stripBytes);
        data->strip = data->ownStrip.data();
        data->glyphMask = WrapMaskBuffer(data->ownStrip.data(), data->rowLength, data->height);
        if (!data->glyphMask) return 0;
    }
    if (file.Failed()) {
        FreeMaskPlane(data->glyphMask);
        return 0;
    }
    if (kind == FontKindColorBitmap) {
        const int32_t width = data->rowLength * 8;
        if (keepPending) {
            auto *pending = static_cast<uint32_t *>(AllocBlock(pixels.size() * sizeof(uint32_t), 0));
            if (!pending) return 0;
            memcpy(pending, pixels.data(), pixels.size() * sizeof(uint32_t));
            handle->pendingPixels = pending;
            handle->pendingWidth = width;
            handle->pendingHeight = data->height;
        } else if (PixelArrayToBitmap(pixels.data(), kColorFontKey, width, data->height, width, &handle->companion,
                                      &handle->colorMask)) {
            return 0;
        }
    }
    handle->kind = kind;
    handle->height = handle->baseHeight = data->height;
    handle->baseline = handle->baseBaseline = data->baseline;
    handle->antialiased = 0;
    handle->engineData = data.release();
    return 1;
}

int LoadBitmapFontFile(const char *name, int32_t size, FontHandle *handle) {
    std::string contentsPath = name, fontName = name;
    const bool chunk = strncmp(name, ":::chunk", 8) == 0;
    if (chunk) {
        const char *star = strchr(name, '*');
        const char *slash = star ? strchr(star, '/') : nullptr;
        if (star && slash) fontName.assign(star + 1, slash);
    } else if (!EndsWithFont(contentsPath)) {
        contentsPath += ".font";
    }
    std::vector<uint8_t> contents, sizeFile;
    std::string entry;
    if (!ReadWholeFile(contentsPath.c_str(), contents) || !FindBitmapFontEntry(contents, size, &entry)) return 0;
    std::string sizePath;
    if (strncmp(entry.c_str(), ":::chunk", 8) == 0) {
        // A linked font's entries count from the applet's start; the applet may sit behind the program.
        ChunkNameParts parts;
        const char *container = strchr(name, '/');
        if (!ParseChunkName(entry.c_str(), &parts) || parts.memory || !container) return 0;
        sizePath = MakeChunkName(parts.name, parts.offset + uint64_t(PayloadOffset), parts.length, container + 1);
    } else {
        std::string directory = contentsPath;
        directory.resize(size_t(GetFileNamePart(directory.data()) - directory.data()));
        char path[kMaxPathLength];
        CopyFontName(path, sizeof path, directory.c_str());
        if (directory.size() >= sizeof path || !JoinPath(path, entry.c_str())) return 0;
        sizePath = path;
    }
    if (!ReadWholeFile(sizePath.c_str(), sizeFile) || !ReadBitmapFontSize(sizeFile, handle, PreloadActive != 0)) {
        CleanHandle(handle);
        return 0;
    }
    handle->requestedSize = size;
    CopyFontName(handle->name, sizeof handle->name, fontName.c_str());
    return 1;
}

void FreeBitmapFontData(FontHandle *font) {
    auto *data = static_cast<BitmapFontData *>(font->engineData);
    FreeHostBitmap(font->companion);
    FreeMaskPlane(font->colorMask);
    FreeBlock(font->pendingPixels);
    font->companion = nullptr;
    font->colorMask = nullptr;
    font->pendingPixels = nullptr;
    if (data) FreeMaskPlane(data->glyphMask);
    delete data;
    CleanHandle(font);
}

int MeasureBitmapFontText(FontHandle *font, const char *text, size_t length, int encoding, TextExtentInfo *out) {
    const auto *data = static_cast<const BitmapFontData *>(font->engineData);
    if (!data || (font->kind != FontKindBitmap && font->kind != FontKindColorBitmap)) return 0;
    const std::vector<uint32_t> characters = DecodeFontText(text, length, encoding);
    const bool proportional = (data->flags & kBitmapFontProportional) || !data->spacing.empty() || !data->kerning.empty();
    out->height = data->height;
    out->minY = -data->baseline;
    out->maxY = data->height - data->baseline - 1;
    if (!proportional) {
        out->width = int32_t(std::min<int64_t>(int64_t(characters.size()) * data->nominalWidth, INT32_MAX));
        out->minX = 0;
        out->maxX = out->width - 1;
        return 0;
    }
    int64_t pen = 0, minX = 0, maxX = 0;
    auto take = [&](int64_t v) {
        minX = std::min(minX, v);
        maxX = std::max(maxX, v);
    };
    for (uint32_t c : characters) {
        const int32_t entry = EntryIndex(data, c);
        pen += Kerning(data, entry);
        take(pen);
        take(pen + GlyphWidth(data, entry));
        pen += Advance(data, entry);
        take(pen);
    }
    out->width = int32_t(std::clamp<int64_t>(pen, INT32_MIN, INT32_MAX));
    out->minX = int32_t(std::max<int64_t>(minX, INT32_MIN));
    out->maxX = int32_t(std::min<int64_t>(maxX, INT32_MAX)) - 1;
    return 0;
}

bool ClipGlyphRect(const FontClip &clip, int32_t *sourceX, int32_t *sourceY, int32_t *x, int32_t *y, int32_t *width,
                   int32_t *height) {
    if (*x < clip.x) {
        const int64_t cut = int64_t(clip.x) - *x;
        if (cut >= *width) return false;
        *sourceX += int32_t(cut);
        *width -= int32_t(cut);
        *x = clip.x;
    }
    if (*y < clip.y) {
        const int64_t cut = int64_t(clip.y) - *y;
        if (cut >= *height) return false;
        *sourceY += int32_t(cut);
        *height -= int32_t(cut);
        *y = clip.y;
    }
    *width = int32_t(std::min<int64_t>(*width, int64_t(clip.x) + clip.width - *x));
    *height = int32_t(std::min<int64_t>(*height, int64_t(clip.y) + clip.height - *y));
    return *width > 0 && *height > 0;
}

int RenderBitmapFontText(FontHandle *font, const FontRenderTarget &target, int32_t x, int32_t y, const char *text,
                         size_t length, int encoding, const FontClip &clip, int32_t colour) {
    const auto *data = static_cast<const BitmapFontData *>(font->engineData);
    if (!data) return 0;
    const bool colourFont = font->kind == FontKindColorBitmap;
    if (colourFont && !font->companion) return 0; // still pending: nothing to draw from
    int64_t pen = x;
    for (uint32_t c : DecodeFontText(text, length, encoding)) {
        const int32_t entry = EntryIndex(data, c);
        pen += Kerning(data, entry);
        int32_t sourceX = GlyphOffset(data, entry), sourceY = 0, width = GlyphWidth(data, entry),
                height = data->height;
        int32_t dx = int32_t(std::clamp<int64_t>(pen, INT32_MIN / 2, INT32_MAX / 2)), dy = y;
        if (width > 0 && ClipGlyphRect(clip, &sourceX, &sourceY, &dx, &dy, &width, &height)) {
            if (colour == kRenderMaskMode) {
                // Host blits clip to every plane, so a glyph kerned past an edge stays inside the destination.
                if (colourFont) {
                    if (target.bitmap)
                        BLTMASK(font->companion, sourceX, sourceY, target.bitmap, dx, dy, width, height, font->colorMask);
                    if (target.mask)
                        BlitTemplateToMask(font->colorMask, sourceX, sourceY, target.mask, dx, dy, width, height,
                                           TemplateMaskSet);
                } else if (target.mask) {
                    BlitTemplateToMask(data->glyphMask, sourceX, sourceY, target.mask, dx, dy, width, height,
                                       TemplateMaskSet);
                }
            } else if (target.bitmap) {
                if (colourFont)
                    BLTMASK(font->companion, sourceX, sourceY, target.bitmap, dx, dy, width, height, font->colorMask);
                else
                    BLTTEMPLATE(data->glyphMask, sourceX, sourceY, target.bitmap, dx, dy, width, height,
                                uint32_t(colour) & 0xFFFFFF);
            }
        }
        pen += Advance(data, entry);
    }
    return 0;
}

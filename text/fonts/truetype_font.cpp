// The FreeType glue. Sizing follows the face's real glyphs, so a requested size is the height of the tallest
// Latin-1 characters together, not the em.
#include "text/fonts/truetype_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "host/virtual_file.h"
#include "runtime/app/utilities.h"
#include "text/fonts/bitmap_font.h"
#include "text/fonts/builtin_faces.h"
#include "text/fonts/font_directories.h"
#include "text/fonts/scalable_text.h"
#include "runtime/app/errors.h"

uint64_t TrueTypeGlyphLoads = 0;

namespace {

FT_Library FreeTypeLibrary = nullptr;

constexpr FT_Int32 kLoadForSizing = FT_LOAD_RENDER | FT_LOAD_NO_AUTOHINT;
constexpr FT_Int32 kLoadForDrawing = FT_LOAD_NO_AUTOHINT;
constexpr int kCacheAntialiased = 0;
constexpr int kCacheMono = 1;

struct CachedGlyph {
    FT_Glyph glyph = nullptr; // an FT_BitmapGlyph
    FT_Pos advance = 0;
    std::unique_ptr<uint8_t[]>
        padded; // its coverage padded for placing (PadCoverage), made when first placed
};

// Unscaled kerning of recent glyph pairs: measuring a line while it grows asks for the same pairs again and again.
struct KerningSlot {
    uint32_t pair = 0; // left << 16 | right; 0 is free (glyph 0 never kerns)
    FT_Pos kerning = 0;
};
constexpr size_t kKerningSlots = 1024;

// Unkerned advances in pixels for the size and scale they were worked out at: a text has few distinct advances.
struct AdvanceMemo {
    FT_Pos advance = -1;
    int64_t pixels = 0;
};
constexpr size_t kAdvanceSlots = 64;

struct TrueTypeFaceRecord {
    FT_StreamRec stream{};
    VirtualFile *file = nullptr;
    int64_t base = 0;          // where the face lies inside a resource file
    std::string temporaryPath; // a collection face's copy, deleted with the face
    FT_Face face = nullptr;
    int32_t pixelSize = 0;
    int cacheFlag = 0;
    // The last measured text, and enough of its last character to kern it against whatever a longer text adds.
    LastMeasuredText last;
    int64_t widthBeforeLast = 0;
    FT_UInt lastGlyphIndex = 0;
    FT_Pos lastAdvance = 0;
    bool lastLoaded = false;
    CachedGlyph caches[2][256];
    // Glyph indexes of the Latin-1 characters plus one (0: not looked up yet); the face's charmap never changes.
    FT_UInt latin1Indexes[256] = {};
    std::unique_ptr<KerningSlot[]> kernings;
    AdvanceMemo advances[kAdvanceSlots];
    int64_t advancesPixelSize = 0, advancesPerEm = 0;
    double advancesScale = 0;
};

// One loaded glyph: where its bitmap sits from the pen and the baseline, its advance, its bitmap.
struct LoadedGlyph {
    int32_t left = 0, top = 0;
    FT_Pos advance = 0;
    FT_Bitmap bitmap{};
};

TrueTypeFaceRecord *RecordOf(const FontHandle *font) {
    return font && font->kind == FontKindTrueType ? static_cast<TrueTypeFaceRecord *>(font->engineData) : nullptr;
}

unsigned long FaceStreamRead(FT_Stream stream, unsigned long offset, unsigned char *buffer, unsigned long count) {
    auto *record = static_cast<TrueTypeFaceRecord *>(stream->descriptor.pointer);
    VirtualFile *file = record->file;
    const bool seeked = SeekVirtualFile(file, record->base + int64_t(offset), kSeekFromStart) >= 0;
    if (count == 0) return seeked ? 0 : 1; // a seek: 0 is success
    if (!seeked) return 0;
    const int64_t got = ReadVirtualFile(file, buffer, count);
    return got > 0 ? static_cast<unsigned long>(got) : 0;
}

void FreeCaches(TrueTypeFaceRecord *record) {
    for (auto &cache : record->caches)
        for (CachedGlyph &entry : cache) {
            if (entry.glyph) FT_Done_Glyph(entry.glyph);
            entry = CachedGlyph{};
        }
}

void CloseRecord(TrueTypeFaceRecord *record) {
    if (!record) return;
    FreeCaches(record);
    if (record->face) FT_Done_Face(record->face);
    CloseVirtualFile(record->file);
    if (!record->temporaryPath.empty()) remove(record->temporaryPath.c_str());
    delete record;
}

// Largest ascent (bitmap top) and descent (rows below the baseline) of the characters given; the number loaded.
int MeasureGlyphBox(FT_Face face, const uint32_t *codes, size_t count, int32_t *ascent, int32_t *descent) {
    int loaded = 0;
    *ascent = *descent = 0;
    for (size_t i = 0; i < count; i++) {
        const FT_UInt index = FT_Get_Char_Index(face, codes[i]);
        if (!index || FT_Load_Glyph(face, index, kLoadForSizing)) continue;
        TrueTypeGlyphLoads++;
        const FT_GlyphSlot slot = face->glyph;
        *ascent = std::max<int32_t>(*ascent, slot->bitmap_top);
        *descent = std::max<int32_t>(*descent, int32_t(slot->bitmap.rows) - slot->bitmap_top);
        loaded++;
    }
    return loaded;
}

void ComputeBaseline(FontHandle *font, TrueTypeFaceRecord *record, int32_t height) {
    static const uint32_t kBaselineCodes[] = {'A', 0xC0, 0xC4, 'q'};
    int32_t ascent = 0, descent = 0;
    const int loaded = MeasureGlyphBox(record->face, kBaselineCodes, 4, &ascent, &descent);
    font->baseline = loaded ? (height + ascent - descent + 1) / 2 : height * 3 / 4;
}

int LoadTrueTypeGlyph(TrueTypeFaceRecord *record, uint32_t code, FT_UInt index, uint32_t style, LoadedGlyph *out) {
    const bool antialiased = style & kTextAntialias;
    const bool bold = style & kTextBold, italic = style & kTextItalic;
    const bool cacheable = record->cacheFlag && !bold && !italic && code <= 255;
    CachedGlyph &entry = record->caches[antialiased ? kCacheAntialiased : kCacheMono][code & 255];
    if (cacheable && entry.glyph) {
        auto *glyph = reinterpret_cast<FT_BitmapGlyph>(entry.glyph);
        *out = LoadedGlyph{glyph->left, glyph->top, entry.advance, glyph->bitmap};
        return 0;
    }
    FT_Face face = record->face;
    if (FT_Load_Glyph(face, index, kLoadForDrawing)) return -1;
    TrueTypeGlyphLoads++;
    if (bold) FT_GlyphSlot_Embolden(face->glyph);
    if (italic) FT_GlyphSlot_Oblique(face->glyph);
    if (FT_Render_Glyph(face->glyph, antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO)) return -1;
    const FT_GlyphSlot slot = face->glyph;
    if (cacheable) {
        FT_Glyph copy = nullptr;
        if (!FT_Get_Glyph(slot, &copy)) {
            entry.glyph = copy;
            entry.advance = slot->metrics.horiAdvance;
            auto *glyph = reinterpret_cast<FT_BitmapGlyph>(copy);
            *out = LoadedGlyph{glyph->left, glyph->top, entry.advance, glyph->bitmap};
            return 0;
        }
    }
    *out = LoadedGlyph{slot->bitmap_left, slot->bitmap_top, slot->metrics.horiAdvance, slot->bitmap};
    return 0;
}

// The cache entry that holds glyph's bitmap, or null when the glyph was not cached.
CachedGlyph *CacheEntryOf(TrueTypeFaceRecord *record, uint32_t code, uint32_t style,
                          const LoadedGlyph &glyph) {
    if (code > 255) return nullptr;
    CachedGlyph &entry = record->caches[style & kTextAntialias ? kCacheAntialiased : kCacheMono][code];
    return entry.glyph && reinterpret_cast<FT_BitmapGlyph>(entry.glyph)->bitmap.buffer == glyph.bitmap.buffer
               ? &entry
               : nullptr;
}

FT_UInt GlyphIndexOf(TrueTypeFaceRecord *record, uint32_t code) {
    if (code > 255) return FT_Get_Char_Index(record->face, code);
    FT_UInt &known = record->latin1Indexes[code];
    if (!known) known = FT_Get_Char_Index(record->face, code) + 1;
    return known - 1;
}

FT_Pos KerningBetween(TrueTypeFaceRecord *record, FT_UInt left, FT_UInt right) {
    FT_Face face = record->face;
    if (!FT_HAS_KERNING(face) || !left || !right) return 0;
    const bool cacheable = left <= 0xFFFF && right <= 0xFFFF;
    const uint32_t pair = uint32_t(left) << 16 | uint32_t(right);
    KerningSlot *slot = nullptr;
    if (cacheable) {
        if (!record->kernings) record->kernings.reset(new (std::nothrow) KerningSlot[kKerningSlots]);
        if (record->kernings) {
            slot = &record->kernings[(pair * 2654435761u) >> 22];
            if (slot->pair == pair) return slot->kerning;
        }
    }
    FT_Vector kerning{};
    if (FT_Get_Kerning(face, left, right, FT_KERNING_UNSCALED, &kerning)) kerning.x = 0;
    if (slot) *slot = KerningSlot{pair, kerning.x};
    return kerning.x;
}

int64_t AdvanceOf(const FontHandle *font, TrueTypeFaceRecord *record, FT_Pos advance, FT_Pos kerning) {
    const FT_Face face = record->face;
    const int64_t perEm = face->size ? face->size->metrics.x_ppem : 0;
    if (kerning != 0) return TrueTypeAdvance(advance, kerning, record->pixelSize, perEm, face->units_per_EM, font->scaleX);
    if (record->advancesPixelSize != record->pixelSize || record->advancesPerEm != perEm ||
        record->advancesScale != font->scaleX) {
        std::fill(std::begin(record->advances), std::end(record->advances), AdvanceMemo{});
        record->advancesPixelSize = record->pixelSize;
        record->advancesPerEm = perEm;
        record->advancesScale = font->scaleX;
    }
    AdvanceMemo &memo = record->advances[size_t(advance >> 6) % kAdvanceSlots];
    if (memo.advance != advance)
        memo = AdvanceMemo{advance, TrueTypeAdvance(advance, 0, record->pixelSize, perEm, face->units_per_EM, font->scaleX)};
    return memo.pixels;
}

// Walks the characters with their glyphs: visit(glyph, pen before it) for each that loads, then the pen moves.
template <class Visit>
int64_t WalkGlyphs(const FontHandle *font, TrueTypeFaceRecord *record, std::span<const uint32_t> characters,
                   uint32_t style, int64_t pen, Visit &&visit) {
    FT_UInt next = characters.empty() ? 0 : GlyphIndexOf(record, characters[0]);
    for (size_t i = 0; i < characters.size(); i++) {
        const FT_UInt index = next;
        next = i + 1 < characters.size() ? GlyphIndexOf(record, characters[i + 1]) : 0;
        LoadedGlyph glyph;
        if (LoadTrueTypeGlyph(record, characters[i], index, style, &glyph)) continue;
        const FT_Pos kerning = i + 1 < characters.size() ? KerningBetween(record, index, next) : 0;
        visit(i, characters[i], index, glyph, pen);
        pen += AdvanceOf(font, record, glyph.advance, kerning);
    }
    return pen;
}

void BlitGlyph(const FontHandle *font, const FontRenderTarget &target, const LoadedGlyph &glyph, int64_t pen,
               int32_t y, uint32_t style, const FontClip &clip, int32_t colour) {
    const FT_Bitmap &bitmap = glyph.bitmap;
    if (bitmap.pitch <= 0) return;
    const GlyphBitmap shape{bitmap.buffer, bitmap.pitch, int32_t(bitmap.width), int32_t(bitmap.rows),
                            (style & kTextAntialias) != 0};
    DrawGlyphBitmap(shape, 0, 0, shape.width, shape.rows, target, pen + glyph.left,
                    int64_t(y) + font->baseline - glyph.top, clip, colour);
}

int FinishOpen(FT_Face face, TrueTypeFaceRecord *record, int32_t size, int cacheFlag, FontHandle *handle) {
    record->face = face;
    if (size < 1 || FT_Set_Char_Size(face, 0, 6400, 72, 72)) return 0;
    std::vector<uint32_t> codes;
    for (uint32_t c = 33; c <= 255; c++) codes.push_back(c);
    int32_t ascent = 0, descent = 0;
    MeasureGlyphBox(face, codes.data(), codes.size(), &ascent, &descent);
    const int32_t pixelSize = ComputeTrueTypePixelSize(size, ascent, descent);
    if (pixelSize < 1 || FT_Set_Pixel_Sizes(face, 0, FT_UInt(std::max(pixelSize - 1, 1)))) return 0;
    record->pixelSize = pixelSize;
    record->cacheFlag = cacheFlag;
    handle->scalable = 1;
    handle->kind = FontKindTrueType;
    handle->requestedSize = size;
    handle->antialiased = 1;
    handle->engineData = record;
    handle->baseHeight = handle->height = size;
    ComputeBaseline(handle, record, size);
    handle->baseBaseline = handle->baseline;
    std::string name = face->family_name ? face->family_name : "";
    if (face->style_name && !IsRegularStyleName(face->style_name)) name += std::string(" ") + face->style_name;
    CopyFontName(handle->name, sizeof handle->name, name.c_str());
    return 1;
}

bool HasTrueTypeExtension(const char *name) {
    const size_t length = strlen(name);
    if (length < 4) return false;
    const std::string tail = AsciiLower(name + length - 4);
    return tail == ".ttf" || tail == ".otf";
}

// A failed open: frees the record and the face (unless FinishOpen gave it to the record, which frees it then) and
// leaves the handle empty. Returns 0, the open's result.
int FailOpen(TrueTypeFaceRecord *record, FT_Face face, FontHandle *handle) {
    if (!record->face && face) FT_Done_Face(face);
    CloseRecord(record);
    handle->kind = FontKindNone;
    handle->engineData = nullptr;
    return 0;
}

} // namespace

int32_t ComputeTrueTypePixelSize(int32_t size, int32_t ascent, int32_t descent) {
    const int64_t extent = int64_t(ascent) + descent;
    if (size < 1 || extent <= 0) return 0;
    const int64_t pixelSize = int64_t(size) * 100 / extent;
    return pixelSize >= 2 && pixelSize <= 65535 ? int32_t(pixelSize) : 0;
}

int64_t TrueTypeAdvance(int64_t advance, int64_t kerning, int64_t pixelSize, int64_t pixelsPerEm, int64_t unitsPerEm,
                        double scaleX) {
    if (pixelsPerEm == 0 || unitsPerEm == 0) return 0;
    // Sound faces stay far inside 64 bits, where the same truncating divisions give the same pixels.
    constexpr int64_t kSmall = int64_t(1) << 24;
    if (advance > -kSmall && advance < kSmall && kerning > -kSmall && kerning < kSmall && pixelSize >= 0 &&
        pixelSize < (int64_t(1) << 20)) {
        // 32-bit divisions where the operands fit: far cheaper than 64-bit ones, and no kerning needs none.
        const bool narrow = pixelsPerEm > 0 && pixelsPerEm <= INT32_MAX && unitsPerEm > 0 && unitsPerEm <= INT32_MAX &&
                            advance >= 0 && advance < (int64_t(1) << 21) && kerning > -(int64_t(1) << 15) &&
                            kerning < (int64_t(1) << 15);
        const int64_t whole = narrow ? int64_t(uint32_t(advance * 1024) / uint32_t(pixelsPerEm))
                                     : advance * 1024 / pixelsPerEm;
        const int64_t kerned = kerning == 0 ? 0
                               : narrow     ? int64_t(int32_t(-kerning * 65536) / int32_t(unitsPerEm))
                                            : (-kerning) * 65536 / unitsPerEm;
        const int64_t fraction = whole - kerned;
        const double scaled = double(fraction * pixelSize / 65536) * scaleX;
        return scaled > 1e15 || scaled < -1e15 ? 0 : int64_t(scaled);
    }
    // 128-bit: a damaged face can carry advances and kernings far past what 64-bit products hold.
    const __int128 fraction = __int128(advance) * 1024 / pixelsPerEm - __int128(-kerning) * 65536 / unitsPerEm;
    const __int128 pixels = fraction * pixelSize / 65536;
    const double scaled = double(pixels) * scaleX;
    return scaled > 1e15 || scaled < -1e15 ? 0 : int64_t(scaled);
}

// Started by the first TrueType font: starting FreeType loads its modules, which an applet without such fonts
// does not need.
int InitTrueTypeEngine() {
    if (FreeTypeLibrary) return 0;
    return FT_Init_FreeType(&FreeTypeLibrary) ? kErrFreetypeInit : 0;
}

void ShutdownTrueTypeEngine() {
    if (FreeTypeLibrary) FT_Done_FreeType(FreeTypeLibrary);
    FreeTypeLibrary = nullptr;
}

std::span<const uint8_t> FindBuiltinFace(const char *name) {
    for (const BuiltinFace &face : kBuiltinFaces)
        if (AsciiLower(name) == AsciiLower(face.name)) return {face.data, face.size};
    return {};
}

int OpenTrueTypeMemoryFont(std::span<const uint8_t> bytes, int32_t size, int cacheFlag, FontHandle *handle) {
    if (InitTrueTypeEngine() != 0 || bytes.empty()) return 0;
    auto *record = new (std::nothrow) TrueTypeFaceRecord;
    if (!record) return 0;
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(FreeTypeLibrary, bytes.data(), FT_Long(bytes.size()), 0, &face) ||
        !FinishOpen(face, record, size, cacheFlag, handle))
        return FailOpen(record, face, handle);
    return 1;
}

int OpenTrueTypeFont(const char *name, int32_t size, int cacheFlag, FontHandle *handle) {
    if (InitTrueTypeEngine() != 0) return 0;
    const bool chunk = strncmp(name, ":::chunk", 8) == 0;
    if (!chunk) {
        std::span<const uint8_t> builtin = FindBuiltinFace(name);
        if (!builtin.empty()) return OpenTrueTypeMemoryFont(builtin, size, cacheFlag, handle);
    }
    TrueTypeFamilyPath found{name, 0, 0, false};
    if (!chunk && !HasTrueTypeExtension(name) && !ResolveTrueTypeFamily(name, &found)) return 0;
    auto *record = new (std::nothrow) TrueTypeFaceRecord;
    if (!record) {
        if (found.temporary) remove(found.path.c_str());
        return 0;
    }
    if (found.temporary) record->temporaryPath = found.path;
    record->file = OpenVirtualFile(found.path.c_str(), kVirtualFileRead);
    // The length comes from the file itself: a stream of length 0 makes every read of a face fail.
    int64_t length = record->file ? VirtualFileLength(record->file) : -1;
    if (found.length > 0) {
        record->base = found.offset;
        length = found.offset + found.length <= length ? found.length : -1;
    }
    FT_Face face = nullptr;
    bool opened = false;
    if (length > 0 && length <= INT32_MAX) {
        record->stream.size = static_cast<unsigned long>(length);
        record->stream.descriptor.pointer = record;
        record->stream.read = FaceStreamRead;
        FT_Open_Args args{};
        args.flags = FT_OPEN_STREAM;
        args.stream = &record->stream;
        opened = !FT_Open_Face(FreeTypeLibrary, &args, 0, &face) && FinishOpen(face, record, size, cacheFlag, handle);
    }
    return opened ? 1 : FailOpen(record, face, handle);
}

int MeasureTrueTypeText(FontHandle *font, const char *text, size_t length, uint32_t style, int encoding,
                        TextExtentInfo *out) {
    TrueTypeFaceRecord *record = RecordOf(font);
    if (!record || length == 0) return 0;
    // The cache is keyed by text, style and encoding: a bold or UTF-8 measure of the same bytes differs.
    const std::vector<uint32_t> all = DecodeFontText(text, length, encoding);
    const size_t prefixCount = record->last.Covers(text, length, style, encoding, all);
    const bool continuing = prefixCount > 0;
    const std::span<const uint32_t> characters = std::span<const uint32_t>(all).subspan(prefixCount);
    int64_t width = 0;
    InkBox ink;
    if (continuing) {
        ink = record->last.Ink();
        width = record->last.extent.width;
        if (record->lastLoaded) {
            // The prefix's last character was measured as the last one: kern it against what follows now.
            const FT_UInt next = GlyphIndexOf(record, characters[0]);
            width = record->widthBeforeLast +
                    AdvanceOf(font, record, record->lastAdvance, KerningBetween(record, record->lastGlyphIndex, next));
        }
    }
    int64_t beforeLast = 0;
    FT_UInt lastIndex = 0;
    FT_Pos lastAdvance = 0;
    bool lastLoaded = false;
    const int64_t end = WalkGlyphs(font, record, characters, style, width,
                                   [&](size_t i, uint32_t code, FT_UInt index, const LoadedGlyph &glyph, int64_t pen) {
                                       if (code != 32)
                                           ink.Add(pen + glyph.left, -glyph.top, pen + glyph.left + glyph.bitmap.width,
                                                   int64_t(glyph.bitmap.rows) - glyph.top);
                                       if (i + 1 == characters.size()) {
                                           beforeLast = pen;
                                           lastIndex = index;
                                           lastAdvance = glyph.advance;
                                           lastLoaded = true;
                                       }
                                   });
    ink.Write(end, font->height, out);
    record->last.Store(text, length, style, encoding, *out, ink.seen);
    if (!record->last.valid) return 0;
    record->widthBeforeLast = beforeLast;
    record->lastGlyphIndex = lastIndex;
    record->lastAdvance = lastAdvance;
    record->lastLoaded = lastLoaded;
    return 0;
}

int RenderTrueTypeText(FontHandle *font, const FontRenderTarget &target, int32_t x, int32_t y, const char *text,
                       size_t length, uint32_t style, int encoding, const FontClip &clip, int32_t colour) {
    TrueTypeFaceRecord *record = RecordOf(font);
    if (!record) return 0;
    WalkGlyphs(font, record, DecodeFontText(text, length, encoding), style, x,
               [&](size_t, uint32_t, FT_UInt, const LoadedGlyph &glyph, int64_t pen) {
                   BlitGlyph(font, target, glyph, pen, y, style, clip, colour);
               });
    return 0;
}

bool PlaceTrueTypeGlyphs(FontHandle *font, int32_t x, int32_t y, const char *text, size_t length,
                         uint32_t style, int encoding, PlacedGlyphs *out) {
    TrueTypeFaceRecord *record = RecordOf(font);
    if (!record) return false;
    bool placed = true;
    // One-bit glyphs leave no coverage; the bounds are DrawGlyphBitmap's.
    if (style & kTextAntialias)
        WalkGlyphs(font, record, DecodeFontText(text, length, encoding), style, x,
                   [&](size_t, uint32_t code, FT_UInt, const LoadedGlyph &glyph, int64_t pen) {
                       const FT_Bitmap &bitmap = glyph.bitmap;
                       const int64_t left = pen + glyph.left, top = int64_t(y) + font->baseline - glyph.top;
                       if (!placed || !bitmap.buffer || bitmap.pitch <= 0 || bitmap.width == 0 ||
                           bitmap.rows == 0 || bitmap.width > unsigned(bitmap.pitch) ||
                           left < INT32_MIN / 2 || left > INT32_MAX / 2 || top < INT32_MIN / 2 ||
                           top > INT32_MAX / 2)
                           return;
                       const int32_t width = int32_t(bitmap.width), rows = int32_t(bitmap.rows);
                       const uint8_t *bits = nullptr;
                       if (CachedGlyph *entry = CacheEntryOf(record, code, style, glyph)) {
                           if (!entry->padded)
                               entry->padded = PadCoverage(bitmap.buffer, bitmap.pitch, width, rows);
                           bits = entry->padded.get();
                       } else {
                           bits = out->Copy(bitmap.buffer, bitmap.pitch, width, rows);
                       }
                       if (!bits)
                           placed = false;
                       else
                           out->glyphs.push_back(
                               {bits, PaddedCoveragePitch(width), width, rows, int32_t(left), int32_t(top)});
                   });
    out->runEnds.push_back(out->glyphs.size());
    return placed;
}

void SetTrueTypeScale(FontHandle *font, double scaleX, double scaleY) {
    TrueTypeFaceRecord *record = RecordOf(font);
    if (!record) return;
    FreeCaches(record);
    record->last.Forget();
    FT_Matrix matrix{FT_Fixed(std::clamp(scaleX * 65536, -1e9, 1e9)), 0, 0,
                     FT_Fixed(std::clamp(scaleY * 65536, -1e9, 1e9))};
    FT_Set_Transform(record->face, &matrix, nullptr);
    ComputeBaseline(font, record, font->height);
}

int32_t TrueTypePixelSize(const FontHandle *font) {
    const TrueTypeFaceRecord *record = RecordOf(font);
    return record ? record->pixelSize : 0;
}

void FreeTrueTypeGlyphCaches(FontHandle *font) {
    if (TrueTypeFaceRecord *record = RecordOf(font)) FreeCaches(record);
}

void CloseTrueTypeFace(FontHandle *font) {
    CloseRecord(RecordOf(font));
    font->engineData = nullptr;
    font->kind = FontKindNone;
}

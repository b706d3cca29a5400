// Kind-3 fonts: opening through an outline engine, measuring and drawing with its glyph maps, scaling through the
// device resolution, and the style the engine makes itself.
#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "text/fonts/bitmap_font.h"
#include "text/fonts/scalable_text.h"
#include "text/fonts/system_fonts.h"

namespace {

constexpr uint32_t kBlank = ' ';
// Stands in for a blank the engine renders no map for: its map only moves the pen.
constexpr uint32_t kBlankStandIn = 'i';

struct OutlineFontRecord {
    std::unique_ptr<OutlineEngine> engine;
    uint32_t dpiX = 72, dpiY = 72;
    uint32_t pointHeight = 0;
    std::string temporaryPath; // a linked font's copy, deleted with the record
    // The last measured text, and the pen before its last character.
    LastMeasuredText last;
    int64_t widthBeforeLast = 0;

    ~OutlineFontRecord() {
        engine.reset(); // the engine may hold the temporary file open
        if (!temporaryPath.empty()) remove(temporaryPath.c_str());
    }
};

OutlineFontRecord *RecordOf(const FontHandle *font) {
    return font && font->kind == FontKindOutline ? static_cast<OutlineFontRecord *>(font->engineData) : nullptr;
}

// Every draw and measure sets both, so that a style query's trial setting never carries over.
void ApplyStyle(OutlineFontRecord *record, uint32_t style) {
    const bool italic = style & kTextItalic, bold = style & kTextBold;
    record->engine->SetShear(italic ? kOutlineItalicSine : 0, italic ? kOutlineItalicCosine : 0x10000);
    record->engine->SetEmbolden(bold ? kOutlineBoldX : 0, bold ? kOutlineBoldY : 0);
}

int32_t OsOutlineBaseline(OutlineFontRecord *record, int32_t height) {
    ApplyStyle(record, 0);
    int32_t ascent = 0, descent = 0, counted = 0;
    for (uint32_t code : {uint32_t('A'), 0xC0u, 0xC4u, uint32_t('q')}) {
        OutlineGlyphMap map;
        if (record->engine->SetGlyphCodes(code, 0) || record->engine->ObtainGlyphMap(false, &map)) continue;
        counted++;
        ascent = std::max(ascent, map.y0 - map.blackTop);
        descent = std::max(descent, map.blackTop + map.blackHeight - map.y0);
        record->engine->ReleaseGlyphMap(&map);
    }
    return counted ? (height + ascent - descent + 1) / 2 : height * 3 / 4;
}

int32_t ProbeOutlineAntialias(OutlineFontRecord *record) {
    OutlineGlyphMap map;
    record->engine->SetGlyphCodes('A', 'B');
    if (record->engine->ObtainGlyphMap(true, &map)) return 0;
    record->engine->ReleaseGlyphMap(&map);
    return 1;
}

// Walks characters[first...] with their maps from pen: visit(index, map, pen, inked) for each character that has
// one (inked is false for a blank and for the stand-in of one); returns the pen after the last.
template <class Visit>
int64_t WalkOutlineGlyphs(OutlineFontRecord *record, const std::vector<uint32_t> &characters, size_t first,
                          bool eightBit, int64_t pen, Visit &&visit) {
    OutlineEngine &engine = *record->engine;
    const int64_t pixelSize = int64_t(record->pointHeight) * record->dpiX / 72;
    for (size_t i = first; i < characters.size(); i++) {
        const uint32_t code = characters[i], next = i + 1 < characters.size() ? characters[i + 1] : 0;
        engine.SetGlyphCodes(code, next);
        int32_t kern = 0;
        if (engine.ObtainKernPair(&kern)) kern = 0;
        OutlineGlyphMap map;
        bool standIn = false;
        if (engine.ObtainGlyphMap(eightBit, &map)) {
            if (code != kBlank) continue;
            if (engine.SetGlyphCodes(kBlankStandIn, 0) || engine.ObtainGlyphMap(eightBit, &map)) continue;
            standIn = true;
        }
        visit(i, map, pen, code != kBlank && !standIn, standIn);
        pen += (int64_t(map.width) - kern) * pixelSize / 65536; // truncated toward zero
        engine.ReleaseGlyphMap(&map);
    }
    return pen;
}

} // namespace

int OpenOutlineFontWith(const char *name, int32_t size, const OutlineTags &tags, std::unique_ptr<OutlineEngine> engine,
                        const std::string &temporaryPath, FontHandle *handle) {
    auto *record = new (std::nothrow) OutlineFontRecord;
    if (!record) {
        if (!temporaryPath.empty()) remove(temporaryPath.c_str());
        return 0;
    }
    record->temporaryPath = temporaryPath;
    record->engine = std::move(engine);
    const uint32_t pointHeight = OutlinePointHeight(size, tags.sizeFactor);
    // The engine takes the point height as 16.16.
    if (!record->engine || size < 1 || pointHeight < 1 || pointHeight > 0xFFFF || record->engine->SetTags(tags)) {
        delete record;
        return 0;
    }
    record->pointHeight = pointHeight;
    record->engine->SetSize(record->dpiX, record->dpiY, pointHeight << 16);
    handle->kind = FontKindOutline;
    handle->engineData = record;
    handle->requestedSize = size;
    handle->height = handle->baseHeight = size;
    handle->baseline = handle->baseBaseline = OsOutlineBaseline(record, size);
    handle->antialiased = ProbeOutlineAntialias(record);
    handle->scalable = 1;
    CopyFontName(handle->name, sizeof handle->name, name);
    return 1;
}

int MeasureOsText(FontHandle *font, const char *text, size_t length, uint32_t style, int encoding,
                  TextExtentInfo *out) {
    OutlineFontRecord *record = RecordOf(font);
    if (!record || length == 0) return 0;
    const std::vector<uint32_t> characters = DecodeFontText(text, length, encoding);
    // The last text's last character is measured again, against its new neighbour.
    const size_t covered = record->last.Covers(text, length, style, encoding, characters);
    const size_t first = covered ? covered - 1 : 0;
    InkBox ink = first ? record->last.Ink() : InkBox{};
    ApplyStyle(record, style);
    int64_t beforeLast = 0;
    bool lastHadMap = false;
    const int64_t end = WalkOutlineGlyphs(record, characters, first, style & kTextAntialias,
                                          first ? record->widthBeforeLast : 0,
                                          [&](size_t i, const OutlineGlyphMap &map, int64_t pen, bool inked, bool) {
                                              if (i + 1 == characters.size()) {
                                                  beforeLast = pen;
                                                  lastHadMap = true;
                                              }
                                              const int64_t left = pen - map.x0 + map.blackLeft;
                                              const int64_t top = int64_t(map.blackTop) - map.y0;
                                              if (inked)
                                                  ink.Add(left, top, left + map.blackWidth, top + map.blackHeight);
                                          });
    ink.Write(end, font->height, out);
    record->last.Store(text, length, style, encoding, *out, ink.seen);
    // A last character without a map moved nothing.
    record->widthBeforeLast = lastHadMap ? beforeLast : end;
    return 0;
}

int RenderOsText(FontHandle *font, const FontRenderTarget &target, int32_t x, int32_t y, const char *text,
                 size_t length, uint32_t style, int encoding, const FontClip &clip, int32_t colour) {
    OutlineFontRecord *record = RecordOf(font);
    if (!record) return 0;
    const bool eightBit = style & kTextAntialias;
    ApplyStyle(record, style);
    WalkOutlineGlyphs(record, DecodeFontText(text, length, encoding), 0, eightBit, x,
                      [&](size_t, const OutlineGlyphMap &map, int64_t pen, bool, bool standIn) {
                          if (standIn) return;
                          const GlyphBitmap bitmap{map.bits, map.bytesPerRow, map.columns, map.rows, eightBit};
                          DrawGlyphBitmap(bitmap, map.blackLeft, map.blackTop, map.blackWidth, map.blackHeight, target,
                                          pen - map.x0 + map.blackLeft,
                                          int64_t(y) + font->baseline - map.y0 + map.blackTop, clip, colour);
                      });
    return 0;
}

int QueryOsFontStyle(const FontHandle *font, uint32_t styleBit) {
    OutlineFontRecord *record = RecordOf(font);
    if (!record) return 0;
    if (styleBit == kTextItalic) return 1;
    if (styleBit == kTextBold) return record->engine->SetEmbolden(kOutlineBoldX, kOutlineBoldY) == 0 ? 1 : 0;
    return 0;
}

void SetOsFontScale(FontHandle *font, double scaleX, double scaleY) {
    OutlineFontRecord *record = RecordOf(font);
    if (!record) return;
    record->last.Forget();
    // SetFontScale keeps the scales within (0, 1000].
    record->dpiX = uint32_t(scaleX * 72);
    record->dpiY = uint32_t(scaleY * 72);
    record->engine->SetSize(record->dpiX, record->dpiY, record->pointHeight << 16);
    font->baseline = OsOutlineBaseline(record, font->height);
}

void CloseOsFont(FontHandle *font) {
    delete RecordOf(font);
    if (font->kind == FontKindOutline) {
        font->engineData = nullptr;
        font->kind = FontKindNone;
    }
}

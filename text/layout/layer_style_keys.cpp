// The text keys of TEXTOUT and PRINT layers in the layers library's style table: a block started from the
// text style, the keys read into it in their fixed order, and GetLayerStyle's keys written back from it.
#include <algorithm>
#include <new>

#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "text/layout/font_cache.h"
#include "text/layout/text_draw.h"
#include "text/layout/text_library.h"

namespace {

constexpr int kMaxLayerTabs = 31;

// What a font was opened with, so that a size or engine key alone reopens the same face.
FontCacheEntry OpenedAs(FontHandle *font) {
    for (const FontCacheEntry &entry : CachedFonts())
        if (entry.font == font) return entry;
    FontCacheEntry entry;
    entry.name = font ? font->name : "topaz";
    entry.size = font ? font->requestedSize : 8;
    entry.engine = kFontEngineNative;
    entry.glyphCache = 1;
    entry.font = font;
    return entry;
}

int ReadFontKeys(VMState *vm, int t, TextStyle *style, int *given) {
    FontCacheEntry request = OpenedAs(style->font ? style->font : BuiltinTopazFont);
    int fontGiven = 0;
    GetTableOption(vm, t, "fontsize", &request.size, &fontGiven);
    std::string name;
    if (GetTableOptionString(vm, t, "font", &name, &fontGiven))
        request.name = FindLinkedFile(vm, name.c_str(), 1, &request.linked);
    int32_t engine = request.engine;
    GetTableOption(vm, t, "fontengine", &engine, &fontGiven);
    if (!fontGiven) return 0;
    *given = 1;
    int32_t cache = 1;
    GetTableOption(vm, t, "fontcache", &cache);
    FontHandle *font = nullptr;
    if (int error =
            OpenFontCached(request.name.c_str(), request.size, engine, cache != 0, request.linked, &font))
        return error;
    style->font = font;
    return 0;
}

// Up to 31 stops from index 0 until the first Nil, sorted.
int ReadTabKeys(VMState *vm, int t, std::vector<int32_t> *stops, int *given) {
    NoteOptionKey(vm, "tabs");
    RawGetField(vm, t, "tabs");
    const int list = GetTop(vm);
    if (ValueType(vm, list) != TTABLE) {
        SetTop(vm, -2);
        return 0;
    }
    std::vector<int32_t> read;
    int error = 0;
    for (int64_t i = 0; !error; i++) {
        RawGetIndex(vm, list, i);
        if (ValueType(vm, -1) == TNIL) {
            SetTop(vm, -2);
            break;
        }
        if (read.size() == kMaxLayerTabs)
            error = kErrInternalLimit;
        else
            read.push_back(SaturateToInt32(CheckNumberField(vm, -1, "tabs")));
        SetTop(vm, -2);
    }
    SetTop(vm, -2);
    if (error) return error;
    std::sort(read.begin(), read.end());
    *stops = std::move(read);
    *given = 1;
    return 0;
}

// A new text, font, encoding, margin, cursor or tab stop breaks the lines afresh.
void DiscardLayout(TextDrawParams *b) {
    b->tablesLaidOut = b->wordWrapGiven = b->tabTableGiven = false;
    b->wordWrapTable.clear();
    b->tabTable.clear();
}

} // namespace

void *StartTextStyleBlock(VMState *, int32_t kind) {
    auto *b = new (std::nothrow) TextDrawParams;
    if (!b) return nullptr;
    b->style = GetTextStyle();
    b->style.font = GetCurrentFont();
    b->encoding = GetDefaultEncoding();
    const DisplayRecord *display = CurrentDisplay;
    if (kind == ObjectKindPrint && display) {
        b->x = kAlignCenter;
        b->cursorX = display->cursorX;
        b->cursorY = display->cursorY;
        b->leftMargin = display->leftMargin;
        b->rightMargin = display->rightMargin;
    }
    return b;
}

int ReadTextStyleKeys(VMState *vm, int t, int32_t kind, void *block, int requireText, int *given,
                      int *cursorGiven, int32_t *cursorX, int32_t *cursorY) {
    auto *b = static_cast<TextDrawParams *>(block);
    TextStyle &s = b->style;
    int any = 0, layout = 0;
    GetTableOptionUnsigned(vm, t, "color", &s.color, &any);
    uint32_t bits = 0;
    if (GetTableOptionUnsigned(vm, t, "fontstyle", &bits, &any))
        s.style = (bits & kTextNormal) ? kTextNormal : s.style | bits;
    if (GetTableOptionUnsigned(vm, t, "fontstyleclear", &bits, &any)) s.style &= ~bits;
    GetTableOption(vm, t, "shadowdir", &s.shadowDirection, &any);
    GetTableOptionUnsigned(vm, t, "shadowcolor", &s.shadowColor, &any);
    GetTableOptionUnsigned(vm, t, "edgecolor", &s.edgeColor, &any);
    GetTableOption(vm, t, "shadowsize", &s.shadowSize, &any);
    GetTableOption(vm, t, "edgesize", &s.edgeSize, &any);
    int32_t encoding = b->encoding;
    if (GetTableOption(vm, t, "encoding", &encoding, &layout)) {
        if (encoding != kEncodingLatin1 && encoding != kEncodingUtf8) return kErrWrongUsage;
        b->encoding = encoding;
    }
    GetTableOption(vm, t, "rightmargin", &b->rightMargin, &layout);
    if (kind == ObjectKindTextOut) {
        GetTableOption(vm, t, "align", &b->align, &any);
    } else {
        GetTableOption(vm, t, "leftmargin", &b->leftMargin, &layout);
        if (b->leftMargin < 0) return kErrWrongUsage;
    }
    // TextOut refuses a negative wrap width too.
    if (b->rightMargin < 0) return kErrWrongUsage;
    if (kind == ObjectKindPrint) {
        // The values as given go back for the constant check; the block keeps a cursor inside the margins.
        int32_t x = b->cursorX, y = b->cursorY;
        GetTableOption(vm, t, "cursorx", &x, cursorGiven);
        GetTableOption(vm, t, "cursory", &y, cursorGiven);
        *cursorX = x, *cursorY = y;
        if (*cursorGiven) {
            b->cursorX = (x >= b->leftMargin && x <= b->rightMargin) ? x : b->leftMargin;
            b->cursorY = y;
            b->placeAtCursor = true;
            layout = 1;
        }
        if (int error = ReadTabKeys(vm, t, &b->tabStops, &layout)) return error;
    }
    ValidateTextStyle(&s);
    if (int error = ReadFontKeys(vm, t, &s, &layout)) return error;
    int text = 0;
    GetTableOptionString(vm, t, "text", &b->text, &text);
    if (requireText && !text) return kErrNotEnoughArguments;
    if (layout || text) DiscardLayout(b);
    if (any || layout || text) *given = 1;
    return 0;
}

void WriteTextStyleKeys(VMState *vm, int32_t, const void *block) {
    const auto *b = static_cast<const TextDrawParams *>(block);
    const TextStyle &s = b->style;
    const FontHandle *font = s.font ? s.font : BuiltinTopazFont;
    SetTableDouble(vm, "color", s.color);
    SetTableDouble(vm, "fontstyle", s.style);
    SetTableNumber(vm, "shadowdir", s.shadowDirection);
    SetTableDouble(vm, "shadowcolor", s.shadowColor);
    SetTableNumber(vm, "shadowsize", s.shadowSize);
    SetTableDouble(vm, "edgecolor", s.edgeColor);
    SetTableNumber(vm, "edgesize", s.edgeSize);
    SetTableNumber(vm, "align", b->align);
    SetTableNumber(vm, "leftmargin", b->leftMargin);
    SetTableNumber(vm, "rightmargin", b->rightMargin);
    SetTableNumber(vm, "fontsize", font ? font->requestedSize : 0);
    SetTableNumber(vm, "encoding", b->encoding);
    PushStringLen(vm, b->text.data(), b->text.size());
    SetField(vm, -2, "text");
    SetTableString(vm, "font", font ? font->name : "");
}

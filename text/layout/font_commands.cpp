// Bindings of the font, style and measuring commands.
#include <memory>
#include <string>
#include <vector>

#include "imaging/graphics_library.h"
#include "host/catalog.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"
#include "text/layout/font_cache.h"
#include "text/layout/text_library.h"

namespace {

struct FontRequest {
    std::string name;
    int linked = 0;
    int32_t size = 0;
    int32_t engine = kFontEngineNative;
    int32_t cache = 1;
};

// name, size and an optional table with "engine" and "cache", starting at argument n.
FontRequest ReadFontRequest(VMState *vm, int n) {
    FontRequest request;
    request.name = CheckFileNameArg(vm, n, 1, &request.linked);
    request.size = CheckInt32Arg(vm, n + 1);
    if (GetTop(vm) >= n + 2 && ValueType(vm, n + 2) != TNIL) {
        CheckTableArg(vm, n + 2);
        GetTableOption(vm, n + 2, "engine", &request.engine);
        GetTableOption(vm, n + 2, "cache", &request.cache);
    }
    return request;
}

int OpenRequested(const FontRequest &request, FontHandle **font) {
    return OpenFontCached(request.name.c_str(), request.size, request.engine, request.cache != 0, request.linked, font);
}

int ReadEncoding(VMState *vm, int n, int *encoding) {
    const int32_t value = OptInt32Arg(vm, n, GetDefaultEncoding());
    if (value != kEncodingLatin1 && value != kEncodingUtf8) return kErrWrongUsage;
    *encoding = value;
    return 0;
}

int MeasureArgument(VMState *vm, TextExtentInfo *extent) {
    size_t length = 0;
    const char *text = CheckStringArg(vm, 1, &length);
    int encoding = 0;
    if (int error = ReadEncoding(vm, 2, &encoding)) return error;
    if (length > 0) StyledTextExtent(text, length, encoding, extent, GetTextStyle());
    return 0;
}

void UseFontWithNormalStyle(FontHandle *font) {
    SetCurrentFont(font);
    GetTextStyle().style = kTextNormal;
}

void SetNumberField(VMState *vm, const char *key, double value) {
    PushNumber(vm, value);
    SetField(vm, -2, key);
}

} // namespace

int CmdSetFont(VMState *vm) {
    CheckArgs(vm, 2, 3);
    const FontRequest request = ReadFontRequest(vm, 1);
    FontHandle *font = nullptr;
    if (int error = OpenRequested(request, &font)) return error;
    UseFontWithNormalStyle(font);
    return 0;
}

int CmdOpenFont(VMState *vm) {
    CheckArgs(vm, 3, 4);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const FontRequest request = ReadFontRequest(vm, 2);
    if (!IsAutoHandleRequest(id)) OpenFontList().Free(id, false);
    PrintConsoleMessage(GetCatalogMessage(kMsgOpeningFont), CheckStringArg(vm, 2), 1);
    FontHandle *font = nullptr;
    if (int error = OpenRequested(request, &font)) return error;
    auto node = std::make_unique<OpenFontNode>();
    node->font = font;
    if (!OpenFontList().Add(node.get(), id)) return kErrOutOfMemory;
    OpenFontNode *made = node.release();
    PrintDoneMessage(GetCatalogMessage(kMsgDone));
    return PushAutoHandle(vm, id, made);
}

int CmdCloseFont(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return OpenFontList().Free(IdArg(vm, 1), true);
}

int CmdUseFont(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const ObjectId id = IdArg(vm, 1);
    OpenFontNode *node = nullptr;
    if (int error = FindFontById(id, &node)) return error;
    UseFontWithNormalStyle(node->font);
    return 0;
}

int CmdFreeGlyphCache(VMState *vm) {
    CheckArgs(vm, 1, 2);
    FontHandle *only = nullptr;
    if (CheckNumberArg(vm, 1) != 0) {
        const ObjectId id = IdArg(vm, 2);
        OpenFontNode *node = nullptr;
        if (int error = FindFontById(id, &node)) return error;
        only = node->font;
    }
    for (const FontCacheEntry &entry : CachedFonts())
        if (!only || entry.font == only) FreeFontGlyphCache(entry.font);
    return 0;
}

int CmdSetDefaultEncoding(VMState *vm) {
    CheckArgs(vm, 1, 1);
    int encoding = 0;
    if (int error = ReadEncoding(vm, 1, &encoding)) return error;
    SetDefaultEncoding(encoding);
    return 0;
}

int CmdSetFontColor(VMState *vm) {
    CheckArgs(vm, 1, 1);
    GetTextStyle().color = CheckUnsignedArg(vm, 1);
    return 0;
}

int CmdSetFontStyle(VMState *vm) {
    CheckArgs(vm, 1, 4);
    const uint32_t style = CheckUnsignedArg(vm, 1);
    const int count = GetTop(vm);
    TextStyle &current = GetTextStyle();
    if (style & kTextNormal) {
        current.style = kTextNormal;
        return 0;
    }
    if (style == kTextShadow) {
        if (count >= 2) current.shadowColor = CheckUnsignedArg(vm, 2);
        if (count >= 3) current.shadowSize = CheckInt32Arg(vm, 3);
        if (count >= 4) current.shadowDirection = CheckInt32Arg(vm, 4);
    } else if (style == kTextEdge) {
        // Edges have no direction: a call with one sets neither colour nor size, only the style.
        if (count == 2 || count == 3) current.edgeColor = CheckUnsignedArg(vm, 2);
        if (count == 3) current.edgeSize = CheckInt32Arg(vm, 3);
    } else if (count > 1) {
        RaiseErrorWithHint(vm, kErrTooManyArguments,
                           "Only #SHADOW or #EDGE given alone takes more arguments (its colour, size and, for "
                           "#SHADOW, direction): set the other styles in a call of their own, then "
                           "SetFontStyle(#SHADOW, ...) or SetFontStyle(#EDGE, ...); styles add up until #NORMAL.");
    }
    current.style |= style;
    ValidateTextStyle(&current);
    return 0;
}

int CmdTextWidth(VMState *vm) {
    CheckArgs(vm, 1, 2);
    TextExtentInfo extent;
    if (int error = MeasureArgument(vm, &extent)) return error;
    PushNumber(vm, extent.width);
    return 1;
}

int CmdTextHeight(VMState *vm) {
    CheckArgs(vm, 1, 1);
    CheckStringArg(vm, 1);
    const FontHandle *font = GetCurrentFont();
    PushNumber(vm, font ? font->height : 0);
    return 1;
}

int CmdTextExtent(VMState *vm) {
    CheckArgs(vm, 1, 2);
    TextExtentInfo extent;
    if (int error = MeasureArgument(vm, &extent)) return error;
    NewTable(vm);
    SetNumberField(vm, "minx", extent.minX + extent.leftExtra);
    SetNumberField(vm, "maxx", extent.maxX + extent.rightExtra);
    SetNumberField(vm, "miny", extent.minY + extent.topExtra);
    SetNumberField(vm, "maxy", extent.maxY + extent.bottomExtra);
    SetNumberField(vm, "width", extent.width);
    SetNumberField(vm, "height", extent.height);
    return 1;
}

int FontAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    OpenFontNode *node = nullptr;
    if (int error = FindFontById(id, &node)) return error;
    const FontHandle *font = node->font;
    switch (attribute) {
    case ATTRFONTASCENDER: PushNumber(vm, font->baseline); break;
    case ATTRFONTDESCENDER: PushNumber(vm, font->height - font->baseline); break;
    case ATTRFONTNAME: PushString(vm, font->name); break;
    case ATTRFONTSIZE: PushNumber(vm, font->requestedSize); break;
    case ATTRFONTSCALABLE: PushNumber(vm, font->scalable); break;
    case ATTRFONTAA: PushNumber(vm, font->antialiased); break;
    default: return kAttributeUnanswered;
    }
    return 1;
}

// Opening and closing font handles, and the dispatch of measuring and drawing to the engines.
#include "text/fonts/font_handle.h"

#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "host/virtual_file.h"
#include "runtime/app/applet_format.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"
#include "text/fonts/builtin_faces.h"
#include "text/fonts/bitmap_font.h"
#include "text/fonts/font_directories.h"
#include "text/fonts/system_fonts.h"
#include "text/fonts/topaz_font.h"
#include "text/fonts/truetype_font.h"

FontHandle *BuiltinTopazFont = nullptr;

namespace {

bool IsChunkName(const char *name) { return strncmp(name, ":::chunk", 8) == 0; }

// Rewrites a linked font's range to the font data behind its header. 0, kErrCannotReadFile (unreadable range) or
// kErrFontOpen (a header that does not fit the range); *outline tells the kind.
int SkipLinkedFontHeader(std::string *name, bool *outline) {
    ChunkNameParts parts;
    VirtualFile *file = ParseChunkName(name->c_str(), &parts) ? OpenVirtualFile(name->c_str(), kVirtualFileRead) : nullptr;
    if (!file) {
        SetErrorArgString(*name);
        return kErrCannotReadFile;
    }
    uint8_t header[8] = {};
    const int64_t got = ReadVirtualFile(file, header, sizeof header);
    CloseVirtualFile(file);
    if (got < 4) return kErrFontOpen;
    const uint32_t flags = uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 | uint32_t(header[2]) << 8 | header[3];
    *outline = flags & kLinkedFontOutline;
    uint64_t skip = 4;
    if (*outline && (flags & kLinkedFontTags)) {
        if (got < 8) return kErrFontOpen;
        // The tag block is only skipped: it is never read, so its length is only checked against the range.
        const uint64_t tags = uint64_t(header[4]) << 24 | uint64_t(header[5]) << 16 | uint64_t(header[6]) << 8 | header[7];
        skip = 8 + tags;
    }
    if (skip > parts.length) return kErrFontOpen;
    *name = MakeChunkName(parts.name, parts.offset + skip, parts.length - skip, parts.container);
    return 0;
}

} // namespace

void CopyFontName(char *destination, size_t size, const char *text) {
    if (size == 0) return;
    const size_t length = strnlen(text, size - 1);
    memcpy(destination, text, length);
    destination[length] = 0;
}

int FontOpenError(const char *name, int32_t size, const std::string &detail) {
    std::string message = "Cannot open font ";
    message.append(name, strnlen(name, kMaxFontNameLength));
    message += " with size " + std::to_string(size) + "!";
    if (!detail.empty()) message += " " + detail;
    SetErrorArgString(message);
    return kErrFontOpen;
}

namespace {

bool HasOutlineExtension(const std::string &name) {
    const std::string lower = AsciiLower(name);
    return lower.size() > 4 && (lower.ends_with(".ttf") || lower.ends_with(".otf"));
}

} // namespace

std::string FontOpenDetail(const std::string &name, int32_t size, int engine, bool linked, bool outline,
                           bool inbuiltFirst) {
    if (size < 1) return "A font's size is 1 or more.";
    if (engine != kFontEngineNative && engine != kFontEngineInbuilt)
        return "Engine is #FONTENGINE_NATIVE or #FONTENGINE_INBUILT.";
    if (linked) {
        if (outline) return "The linked font's data is no TrueType or OpenType font.";
        return "A linked bitmap font opens only in the sizes it was made in.";
    }
    if (IsChunkName(name.c_str())) return "";
    if (HasOutlineExtension(name) && (engine == kFontEngineInbuilt || inbuiltFirst))
        return "The inbuilt engine found no font linked as " + name + " and no font file of that name.";
    std::string files;
    const std::vector<std::string> names = OsFontFileNames(name.c_str());
    for (size_t i = 0; i < names.size(); i++)
        files += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    const std::string folders = " in the current directory, in Fonts/ and in FONTS:";
    if (engine == kFontEngineNative && !inbuiltFirst) {
        std::string detail = "The native engine looked for a font linked as " + name + " and for " + files + folders;
        if (AsciiLower(name) == "topaz") detail += "; the built-in topaz has size 8 only";
        return detail + ". Installed TrueType and OpenType fonts and the built-in faces open with Engine = "
                        "#FONTENGINE_INBUILT.";
    }
    std::string faces;
    for (size_t i = 0; i < std::size(kBuiltinFaces); i++)
        faces += std::string(i == 0 ? "" : i + 1 == std::size(kBuiltinFaces) ? " or " : ", ") + kBuiltinFaces[i].name;
    return "The inbuilt engine looked for a font linked as " + name + ", a built-in face (" + faces +
           ") and an installed TrueType or OpenType face of that full name (GetAvailableFonts lists them), then the "
           "native engine for " + files + folders + "; a font file, linked or not, is named with its extension "
           "(.ttf, .otf).";
}

int InitFontSystem(FontHandle **defaultFont) {
    if (!BuiltinTopazFont)
        if (int error = BuildTopazFont(&BuiltinTopazFont)) return error;
    *defaultFont = BuiltinTopazFont;
    // FreeType starts with the first TrueType font (InitTrueTypeEngine).
    return 0;
}

void ShutdownFontSystem() {
    FreeTopazFont(BuiltinTopazFont);
    BuiltinTopazFont = nullptr;
    FreeFontList();
    ShutdownTrueTypeEngine();
}

int OpenFontObject(const char *name, int32_t size, int engine, int cacheFlag, int linked, FontHandle **out) {
    bool ownReader = true, systemFonts = true;
    std::string actual(name, strnlen(name, kMaxFontNameLength));
    if (strlen(name) >= kMaxFontNameLength) return FontOpenError(name, size);
    if (IsChunkName(name) && linked) {
        bool outline = false;
        if (int error = SkipLinkedFontHeader(&actual, &outline)) {
            return error == kErrFontOpen ? FontOpenError(actual.c_str(), size, "The linked font is damaged.") : error;
        }
        if (outline) ownReader = false;
        else systemFonts = false;
    }
    if (engine == kFontEngineInbuilt)
        if (int error = InitTrueTypeEngine()) return error;
    auto *handle = new (std::nothrow) FontHandle;
    if (!handle) return kErrOutOfMemory;
    bool opened = false;
    if (size >= 1 && engine == kFontEngineNative) {
        if (size == 8 && AsciiLower(actual) == "topaz") {
            delete handle;
            *out = BuiltinTopazFont;
            return 0;
        }
        if (ownReader && IsChunkName(actual.c_str())) opened = LoadBitmapFontFile(actual.c_str(), size, handle);
        if (!opened && systemFonts) opened = OpenOsFont(actual.c_str(), size, handle);
    } else if (size >= 1 && engine == kFontEngineInbuilt) {
        opened = OpenTrueTypeFont(actual.c_str(), size, cacheFlag, handle);
    }
    if (!opened) {
        delete handle;
        const bool isLinked = IsChunkName(name) && linked;
        return FontOpenError(actual.c_str(), size, FontOpenDetail(actual, size, engine, isLinked, !ownReader));
    }
    *out = handle;
    return 0;
}

void CloseFontObject(FontHandle *font) {
    if (!font || font == BuiltinTopazFont) return;
    if (font->kind == FontKindTrueType) CloseTrueTypeFace(font);
    else if (font->kind == FontKindOutline) CloseOsFont(font);
    else if (font->kind == FontKindBitmap || font->kind == FontKindColorBitmap) FreeBitmapFontData(font);
    delete font;
}

int MeasureText(FontHandle *font, const char *text, size_t length, uint32_t style, int encoding,
                TextExtentInfo *out) {
    if (!font) font = BuiltinTopazFont;
    if (!font) return 0;
    if (font->kind == FontKindTrueType) return MeasureTrueTypeText(font, text, length, style, encoding, out);
    if (font->kind == FontKindOutline) return MeasureOsText(font, text, length, style, encoding, out);
    if ((font->kind == FontKindBitmap || font->kind == FontKindColorBitmap) && !font->systemDrawn)
        return MeasureBitmapFontText(font, text, length, encoding, out);
    return 0;
}

int RenderText(FontHandle *font, const FontRenderTarget &target, int32_t x, int32_t y, const char *text,
               size_t length, uint32_t style, int encoding, const FontClip &clip, int32_t colour) {
    if (!font) font = BuiltinTopazFont;
    if (!font) return 0;
    if (font->kind == FontKindTrueType)
        return RenderTrueTypeText(font, target, x, y, text, length, style, encoding, clip, colour);
    if (font->kind == FontKindOutline)
        return RenderOsText(font, target, x, y, text, length, style, encoding, clip, colour);
    if ((font->kind == FontKindBitmap || font->kind == FontKindColorBitmap) && !font->systemDrawn)
        return RenderBitmapFontText(font, target, x, y, text, length, encoding, clip, colour);
    return 0;
}

bool PlaceGlyphs(FontHandle *font, int32_t x, int32_t y, const char *text, size_t length, uint32_t style,
                 int encoding, PlacedGlyphs *out) {
    return font && font->kind == FontKindTrueType &&
           PlaceTrueTypeGlyphs(font, x, y, text, length, style, encoding, out);
}

// Only outline fonts style themselves.
int QueryFontStyle(const FontHandle *font, uint32_t styleBit) {
    return font && font->kind == FontKindOutline ? QueryOsFontStyle(font, styleBit) : 0;
}

void SetFontScale(FontHandle *font, double scaleX, double scaleY) {
    if (!font || !font->scalable || (scaleX == font->scaleX && scaleY == font->scaleY)) return;
    if (!std::isfinite(scaleX) || !std::isfinite(scaleY) || scaleX <= 0 || scaleY <= 0 || scaleX > 1000 || scaleY > 1000)
        return;
    font->scaleX = scaleX;
    font->scaleY = scaleY;
    font->height = int32_t(std::ceil(font->baseHeight * scaleY));
    font->baseline = int32_t(std::ceil(font->baseBaseline * scaleY));
    if (font->kind == FontKindTrueType) SetTrueTypeScale(font, scaleX, scaleY);
    else if (font->kind == FontKindOutline) SetOsFontScale(font, scaleX, scaleY);
}

void FreeFontGlyphCache(FontHandle *font) {
    if (font && font->kind == FontKindTrueType) FreeTrueTypeGlyphCaches(font);
}

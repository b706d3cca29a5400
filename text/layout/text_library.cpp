// The text library's registration, its state, and its share of start-up and shutdown.
#include "text/layout/text_library.h"

#include <memory>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/charset.h"
#include "host/memory.h"
#include "imaging/graphics_library.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "scene/display/display_startup.h"
#include "scene/images/brush.h"
#include "scene/images/scene_objects.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/move_object.h"
#include "text/fonts/bitmap_font.h"
#include "text/fonts/font_directories.h"
#include "text/layout/font_cache.h"
#include "text/layout/text_objects.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kTextReference;

namespace {

TextStyle CurrentStyle;
FontHandle *CurrentFont = nullptr;

// The list is built afresh without alias entries, reported, and freed, so a later name lookup scans with aliases.
int CmdGetAvailableFonts(VMState *vm) {
    CheckArgs(vm, 0, 0);
    FreeFontList();
    ListAvailableFonts(1);
    NewTable(vm);
    int64_t index = 0;
    for (const FontListEntry &entry : CurrentFontList()) {
        NewTable(vm);
        SetTableString(vm, "name", entry.fullName.c_str());
        SetTableString(vm, "family", entry.family.c_str());
        SetTableNumber(vm, "bitmap", entry.bitmap ? 1 : 0);
        SetTableNumber(vm, "weight", entry.weight);
        SetTableNumber(vm, "slant", entry.slant);
        NewTable(vm);
        for (size_t i = 0; i < entry.sizes.size(); i++) {
            PushNumber(vm, entry.sizes[i]);
            RawSetIndex(vm, -2, int64_t(i));
        }
        SetField(vm, -2, "sizes");
        RawSetIndex(vm, -2, index++);
    }
    FreeFontList();
    return 1;
}

int TextDrawLayer(VMState *vm, vlLayer *layer, LayerDrawParams *params, const int32_t *oldRect,
                  const DisplayTransform &transform, int32_t flags) {
    if (layer->type == ObjectKindTextObject) return DrawTextObjectLayer(vm, layer, params, oldRect, transform, flags);
    return DrawTextLayer(vm, layer, params, oldRect, transform, flags);
}

const TextLayerServices kTextServices{TextDrawLayer,       TextObjectImage,    CopyTextBlock,
                                      FreeTextBlock,       AddTextObjectLayer,
                                      StartTextStyleBlock, ReadTextStyleKeys,  WriteTextStyleKeys};

// A brush made from a text object shares nothing with it: the brush gets copies of the planes, at the object's
// own size (a wrapped line's glyphs may reach past it into the image).
int TextObjectBrushSource(VMState *, ObjectId source, int32_t, ImageTriple *image, int32_t *sourceX,
                          int32_t *sourceY, int32_t *transparent, bool *temporary) {
    TextObject *object = nullptr;
    if (int error = FindTextObject(source, &object, 0)) return error;
    *image = object->image;
    image->width = object->layoutWidth;
    *sourceX = *sourceY = 0;
    *transparent = -1;
    *temporary = false;
    return 0;
}

int TextObjectAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    TextObject *object = nullptr;
    if (int error = FindTextObject(id, &object, 0)) return error;
    return AnswerSizeAttribute(vm, attribute, object->layoutWidth, object->image.height);
}

// A moving text object is locked through its count (MoveTextObject).
static int32_t *TextObjectLockCount(ObjectId id) {
    TextObject *object = nullptr;
    return FindTextObject(id, &object, 0) ? nullptr : &object->lockCount;
}

void RegisterTextLibrary(VMState *vm) {
    CurrentStyle = TextStyle{};
    DefaultEncoding = kEncodingLatin1;
    RegisterCommands(vm, kTextCommands);
    RegisterCommandLibrary(kTextCommands, "text", &kTextReference);
    RegisterConstants(vm, kTextConstants);
    RegisterObjectKind({ObjectKindFont, "FONT", CountOpenFonts, FontAttribute});
    RegisterObjectKind({ObjectKindTextObject, "TEXTOBJECT", CountTextObjects, TextObjectAttribute});
    RegisterBrushLinkSource(ObjectKindTextObject, TextObjectBrushSource);
    TextServices = &kTextServices;
    TextObjectLockCountHook = TextObjectLockCount;
    MakePendingFontBitmapsHook = MakePendingFontBitmaps;
    // A FreeType that will not start is reported by the first TrueType open (kErrFreetypeInit); the built-in font
    // exists whenever memory allowed it.
    FontHandle *builtin = nullptr;
    InitFontSystem(&builtin);
    CurrentFont = CurrentStyle.font = builtin;
}

} // namespace

ObjectList<OpenFontNode> &OpenFontList() {
    static constexpr ObjectRules<OpenFontNode> kFontRules{.notFoundError = kErrFontNotFound};
    static ObjectList<OpenFontNode> list{&kFontRules};
    return list;
}

TextStyle &GetTextStyle() { return CurrentStyle; }
FontHandle *GetCurrentFont() { return CurrentFont; }
int GetDefaultEncoding() { return DefaultEncoding; }
void SetCurrentFont(FontHandle *font) { CurrentFont = CurrentStyle.font = font; }
void SetDefaultEncoding(int encoding) { DefaultEncoding = encoding; }

int FindFontById(ObjectId id, OpenFontNode **out) { return OpenFontList().Find(id, out, 0); }

int32_t CountOpenFonts() { return int32_t(OpenFontList().size()); }

// Walks the cache, not the open-font list: a preloaded font whose id was reused is still cached and drawable.
int MakePendingFontBitmaps() {
    for (const FontCacheEntry &entry : CachedFonts()) {
        FontHandle *font = entry.font;
        if (!font->pendingPixels) continue;
        if (int error = PixelArrayToBitmap(font->pendingPixels, kColorFontKey, font->pendingWidth, font->pendingHeight,
                                           font->pendingWidth, &font->companion, &font->colorMask))
            return error;
        FreeBlock(font->pendingPixels);
        font->pendingPixels = nullptr;
    }
    return 0;
}

void FreeAllTextAndFonts(VMState *) {
    FreeAllTextObjects();
    if (TextServices == &kTextServices) TextServices = nullptr;
    TextObjectLockCountHook = nullptr;
    OpenFontList().Clear();
    CloseAllCachedFonts();
    if (MakePendingFontBitmapsHook == MakePendingFontBitmaps) MakePendingFontBitmapsHook = nullptr;
    ShutdownFontSystem();
    CurrentFont = CurrentStyle.font = nullptr;
}

const LibraryDescriptor kTextLibrary{"text", RegisterTextLibrary, FreeAllTextAndFonts};

const CommandEntry kTextCommands[] = {
    {"SetFont", CmdSetFont},
    {"SetFontColor", CmdSetFontColor},
    {"TextHeight", CmdTextHeight},
    {"TextWidth", CmdTextWidth},
    {"ResetTabs", CmdResetTabs},
    {"AddTab", CmdAddTab},
    {"Locate", CmdLocate},
    {"SetMargins", CmdSetMargins},
    {"SetFontStyle", CmdSetFontStyle},
    {"Print", CmdPrint},
    {"NPrint", CmdNPrint},
    {"TextOut", CmdTextOut},
    {"CreateTextObject", CmdCreateTextObject},
    {"DisplayTextObject", CmdDisplayTextObject},
    {"FreeTextObject", CmdFreeTextObject},
    {"InKeyStr", CmdInKeyStr},
    {"TextExtent", CmdTextExtent},
    {"ScaleTextObject", CmdScaleTextObject},
    {"CopyTextObject", CmdCopyTextObject},
    {"RotateTextObject", CmdRotateTextObject},
    {"OpenFont", CmdOpenFont},
    {"CloseFont", CmdCloseFont},
    {"UseFont", CmdUseFont},
    {"GetAvailableFonts", CmdGetAvailableFonts},
    {"FreeGlyphCache", CmdFreeGlyphCache},
    {"SetDefaultEncoding", CmdSetDefaultEncoding},
    {nullptr, nullptr},
};

const ConstantEntry kTextConstants[] = {
    {"NORMAL", nullptr, kTextNormal},
    {"BOLD", nullptr, kTextBold},
    {"ITALIC", nullptr, kTextItalic},
    {"UNDERLINED", nullptr, kTextUnderlined},
    {"ANTIALIAS", nullptr, kTextAntialias},
    {"SHADOW", nullptr, kTextShadow},
    {"EDGE", nullptr, kTextEdge},
    {"ALL", nullptr, 0},
    {"ALPHANUMERICAL", nullptr, 1},
    {"ALPHABETICAL", nullptr, 2},
    {"NUMERICAL", nullptr, 3},
    {"HEXNUMERICAL", nullptr, 4},
    {"ENCODING_ISO8859_1", nullptr, kEncodingLatin1},
    {"ENCODING_UTF8", nullptr, kEncodingUtf8},
    {"SHDWNORTH", nullptr, 0},
    {"SHDWNORTHEAST", nullptr, 1},
    {"SHDWEAST", nullptr, 2},
    {"SHDWSOUTHEAST", nullptr, 3},
    {"SHDWSOUTH", nullptr, 4},
    {"SHDWSOUTHWEST", nullptr, 5},
    {"SHDWWEST", nullptr, 6},
    {"SHDWNORTHWEST", nullptr, 7},
    {"FONTENGINE_NATIVE", nullptr, kFontEngineNative},
    {"FONTENGINE_INBUILT", nullptr, kFontEngineInbuilt},
    {"FONTSLANT_ROMAN", nullptr, 0},
    {"FONTSLANT_ITALIC", nullptr, 100},
    {"FONTSLANT_OBLIQUE", nullptr, 110},
    {"BITMAP_DEFAULT", ":::default_bitmap", 0},
    {"TRUETYPE_DEFAULT", ":::default_truetype", 0},
    {"SANS", ":::default_sans", 0},
    {"SERIF", ":::default_serif", 0},
    {"MONOSPACE", ":::default_mono", 0},
    {"FONTWEIGHT_THIN", nullptr, 0},
    {"FONTWEIGHT_EXTRALIGHT", nullptr, 40},
    {"FONTWEIGHT_ULTRALIGHT", nullptr, 40},
    {"FONTWEIGHT_LIGHT", nullptr, 50},
    {"FONTWEIGHT_BOOK", nullptr, 75},
    {"FONTWEIGHT_NORMAL", nullptr, 80},
    {"FONTWEIGHT_REGULAR", nullptr, 80},
    {"FONTWEIGHT_MEDIUM", nullptr, 100},
    {"FONTWEIGHT_SEMIBOLD", nullptr, 180},
    {"FONTWEIGHT_DEMIBOLD", nullptr, 180},
    {"FONTWEIGHT_BOLD", nullptr, 200},
    {"FONTWEIGHT_EXTRABOLD", nullptr, 205},
    {"FONTWEIGHT_ULTRABOLD", nullptr, 205},
    {"FONTWEIGHT_HEAVY", nullptr, 210},
    {"FONTWEIGHT_BLACK", nullptr, 210},
    {"FONTWEIGHT_EXTRABLACK", nullptr, 215},
    {"FONTWEIGHT_ULTRABLACK", nullptr, 215},
    {nullptr, nullptr, 0},
};

// The one drawing routine behind every text: layout, placement, transform and output to an image, a layer or
// the current output; and the Print core that feeds it from the display's text cursor.
#include <algorithm>
#include <cmath>
#include <new>

#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/output.h"
#include "scene/images/scene_objects.h"
#include "scene/layers/layers.h"
#include "text/fonts/font_handle.h"
#include "text/fonts/scalable_text.h"
#include "text/layout/text_draw.h"
#include "text/layout/text_library.h"

namespace {

int32_t ScaleLength(int32_t v, double factor) {
    const double scaled = std::round(v * factor);
    return int32_t(std::fmax(-2e9, std::fmin(2e9, scaled)));
}

// A font that can render at the transform's scale is used so when the matrix is a plain scale: sharper than a
// scaled image. The working copy's lengths follow; the kept block stays unscaled.
bool ScaleFontForTransform(FontHandle *font, const DisplayTransform &t, TextDrawParams *work) {
    if (!font || !font->scalable || IsIdentityTransform(t) || t.b != 0 || t.c != 0 || t.a <= 0 || t.d <= 0)
        return false;
    SetFontScale(font, t.a, t.d);
    const double f = std::fabs(t.a);
    work->leftMargin = ScaleLength(work->leftMargin, f);
    work->rightMargin = ScaleLength(work->rightMargin, f);
    work->cursorX = ScaleLength(work->cursorX, f);
    work->cursorY = ScaleLength(work->cursorY, t.d);
    for (int32_t &stop : work->tabStops) stop = ScaleLength(stop, f);
    work->style.shadowSize = ScaleLength(work->style.shadowSize, f);
    work->style.edgeSize = ScaleLength(work->style.edgeSize, f);
    ValidateTextStyle(&work->style);
    return true;
}

bool LayersOn(const DisplayRecord *display) {
    return display && display->layersEnabled && CurrentBGPic &&
           (display->outputKind == ObjectKindDisplay || display->outputKind == ObjectKindBGPic);
}

// The text as a new layer owning its untransformed image and a copy of the block; the layer engine transforms.
int AddTextLayer(VMState *vm, int32_t kind, const TextDrawParams &params, RenderedText &text,
                 const DisplayTransform &transform, const LayerOptions *options) {
    auto *block = new (std::nothrow) TextDrawParams(params);
    auto *layerParams = block ? new (std::nothrow) LayerDrawParams : nullptr;
    if (!layerParams) {
        delete block;
        FreeImageTriple(&text.image);
        return kErrOutOfMemory;
    }
    block->tablesLaidOut = true;
    layerParams->textBlock = block;
    layerParams->x = text.anchorX;
    layerParams->y = text.anchorY;
    layerParams->width = text.image.width;
    layerParams->height = text.image.height;
    BGPic *bgpic = CurrentBGPic;
    const int32_t count = CountLayers(bgpic);
    const ObjectId none{};
    ImageTriple &img = text.image;
    const int error = AddLayer(vm, kind, &none, text.anchorX, text.anchorY, img.width, img.height, &transform, options,
                               img.bitmap, img.mask, img.alpha, layerParams, -1, kAddLayerDisplayScaled | kAddLayerNew);
    img = ImageTriple{}; // the layer owns the planes now (or freed them)
    if (error) return error;
    if (!options || !options->needsLayer) ShowNewLayerOnTop(CurrentDisplay, bgpic, count, options ? *options : LayerOptions{});
    return 0;
}

bool IsPositionConstantX(int32_t x) {
    for (int32_t base : {kPosCenter, kPosLeft, kPosRight, kPosLeftOut, kPosRightOut})
        if (x >= base - kPosOffsetRange && x < base + kPosOffsetRange) return true;
    return false;
}

// Plain text in one opaque colour drawn line by line straight into the output, without an image: the same
// pixels the general path gives, for the common case.
bool TakesDirectPath(const TextDrawParams &p, int32_t kind, const DisplayTransform &transform, FontHandle *font) {
    const DisplayRecord *display = CurrentDisplay;
    const uint32_t style = p.style.style & ~kTextNormal;
    if (kind != ObjectKindTextOut && kind != ObjectKindPrint) return false;
    if (kind == ObjectKindTextOut && IsPositionConstantX(p.x)) return false;
    if ((style & ~kTextAntialias) || (p.style.color >> 24) || !IsIdentityTransform(transform)) return false;
    if (p.wordWrapGiven || p.tablesLaidOut || p.align != kAlignLeft || p.literal) return false;
    if (p.text.find_first_of("\t[]") != std::string::npos) return false;
    if (!display || display->layersEnabled || display->outputKind != ObjectKindDisplay) return false;
    if (CurrentBGPic && CurrentBGPic->clipRegion && CurrentBGPic->clipRegion->mask) return false;
    if (font && font->kind == FontKindColorBitmap) return false;
    const int32_t limit = kind == ObjectKindPrint ? p.rightMargin : p.rightMargin;
    if (limit == 0 && kind == ObjectKindTextOut) return true;
    // A wrap could happen: only one line that ends left of the limit goes straight.
    const size_t feed = p.text.find('\n');
    if (feed != std::string::npos && p.text.find_first_not_of("\r\n", feed) != std::string::npos) return false;
    TextExtentInfo extent;
    StyledTextExtent(p.text.data(), p.text.size(), p.encoding, &extent, p.style);
    const int32_t start = kind == ObjectKindPrint ? p.cursorX : 0;
    return start + extent.maxX < limit;
}

int DrawPlainTextDirect(TextDrawParams *p, int32_t kind, FontHandle *font) {
    DisplayRecord *display = CurrentDisplay;
    HostBitmap *target = CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
    if (!target) return 0;
    const int32_t height = font ? font->height : 8;
    const int32_t lines = 1 + int32_t(std::count(p->text.begin(), p->text.end(), '\n'));
    const bool print = kind == ObjectKindPrint;
    const int32_t startX = print ? p->cursorX : p->x;
    int32_t x = startX, y = print ? p->cursorY : ResolveYPosition(p->y, lines * height + 1, 0, 0);
    FontClip clip{0, 0, target->width, target->height};
    if (const ClipRegion *region = CurrentBGPic ? CurrentBGPic->clipRegion : nullptr)
        clip = FontClip{region->x, region->y, region->width, region->height};
    int32_t x1 = INT32_MAX, y1 = INT32_MAX, x2 = INT32_MIN, y2 = INT32_MIN;
    size_t at = 0;
    while (at <= p->text.size()) {
        size_t end = p->text.find('\n', at);
        if (end == std::string::npos) end = p->text.size();
        std::string line = p->text.substr(at, end - at);
        std::erase(line, '\r');
        TextExtentInfo extent;
        MeasureText(font, line.data(), line.size(), p->style.style, p->encoding, &extent);
        // Antialiased glyphs whose ink overlaps blend once there, with the later glyph's coverage, as on the
        // general path; RenderText would blend each glyph in turn.
        PlacedGlyphs placed;
        if ((p->style.style & kTextAntialias) &&
            PlaceGlyphs(font, x, y, line.data(), line.size(), p->style.style, p->encoding, &placed) &&
            PlacedGlyphsBlendCheaply(placed))
            BlendPlacedGlyphs(placed, target, 0, 0, clip, p->style.color & 0xFFFFFF);
        else
            RenderText(font, FontRenderTarget{target, nullptr, nullptr}, x, y, line.data(), line.size(),
                       p->style.style, p->encoding, clip, int32_t(p->style.color & 0xFFFFFF));
        if (!line.empty()) {
            x1 = std::min(x1, x + extent.minX), x2 = std::max(x2, x + extent.maxX);
            y1 = std::min(y1, y), y2 = std::max(y2, y + height);
        }
        x = ClampCoordinate(int64_t(x) + extent.width);
        if (end == p->text.size()) break;
        x = print ? p->leftMargin : startX;
        y = ClampCoordinate(int64_t(y) + height);
        at = end + 1;
    }
    if (print) display->cursorX = x, display->cursorY = y;
    if (x1 > x2) return 0;
    return PresentOutputRect(target, x1, y1, x2 - x1 + 1, y2 - y1 + 1);
}

// The output a laid-out plain antialiased text can be blended into straight from its coverage: a 32-bit bitmap
// that is no selected brush, mask or alpha channel, unclipped or clipped to a rectangle, untransformed.
HostBitmap *StraightCoverageTarget(const TextDrawParams &p, int32_t kind, const DisplayTransform &transform) {
    const DisplayRecord *display = CurrentDisplay;
    if ((kind != ObjectKindTextOut && kind != ObjectKindPrint) || !(p.style.style & kTextAntialias) ||
        !IsIdentityTransform(transform))
        return nullptr;
    if (display && (display->outputKind == ObjectKindBrush || display->outputKind == ObjectKindMask ||
                    display->outputKind == ObjectKindAlphaChannel))
        return nullptr;
    const ClipRegion *clip = CurrentBGPic ? CurrentBGPic->clipRegion : nullptr;
    HostBitmap *target = CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
    if (!target || PixelFormatBytes(target->format) != 4 || (clip && clip->mask)) return nullptr;
    return target;
}

// Blends a coverage-only text as BlitToCurrentOutput would blit its image, and presents it.
int BlendCoverageText(const RenderedText &text, HostBitmap *target) {
    const ImageTriple &image = text.image;
    // Where PlaceTextImage puts the untransformed image: a position constant places the box, else the anchor.
    const int32_t ax = text.anchorX, ay = text.anchorY;
    const int32_t x = ResolveXPosition(ax, 0, 1, 0) != ax ? ResolveXPosition(ax, image.width, 0, 0) : ax;
    const bool constY = ResolveXPosition(ay, 0, 1, 0) != ay || ResolveYPosition(ay, 0, 1, 0) != ay;
    const int32_t y = constY ? ResolveYPosition(ay, image.height, 0, 0) : ay;
    const ClipRegion *region = CurrentBGPic ? CurrentBGPic->clipRegion : nullptr;
    if (text.glyphs) {
        // The image's own box bounds the glyphs as its plane would.
        int64_t x0 = x, y0 = y, x1 = int64_t(x) + image.width, y1 = int64_t(y) + image.height;
        if (region) {
            x0 = std::max<int64_t>(x0, region->x), y0 = std::max<int64_t>(y0, region->y);
            x1 = std::min<int64_t>(x1, int64_t(region->x) + region->width);
            y1 = std::min<int64_t>(y1, int64_t(region->y) + region->height);
        }
        x0 = std::max<int64_t>(x0, 0), y0 = std::max<int64_t>(y0, 0);
        x1 = std::min<int64_t>(x1, target->width), y1 = std::min<int64_t>(y1, target->height);
        if (x1 > x0 && y1 > y0)
            BlendPlacedGlyphs(*text.glyphs, target, x, y,
                              FontClip{int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0)},
                              text.coveragePixel);
    } else {
        BlendPixelThroughAlpha(text.coveragePixel, image.alpha, target, x, y, region);
    }
    return PresentOutputRect(target, x, y, image.width, image.height);
}

} // namespace

int LayoutText(VMState *vm, TextDrawParams *params, int32_t kind, const DisplayTransform &transform, int32_t flags,
               RenderedText *out) {
    *out = RenderedText{};
    FontHandle *font = params->style.font ? params->style.font : BuiltinTopazFont;
    if ((params->style.style & kTextAntialias) && !(font && font->antialiased)) return kErrNoAntiAlias;
    if (!IsIdentityTransform(transform) && (transform.a == 0 || transform.d == 0) && transform.b == 0 &&
        transform.c == 0)
        return kErrWrongUsage;
    TextDrawParams work = *params;
    work.style.font = font;
    const bool fontScaled = ScaleFontForTransform(font, transform, &work);
    const double scaleX = fontScaled ? transform.a : 1.0, scaleY = fontScaled ? transform.d : 1.0;
    int32_t startX = 0, wrap = work.rightMargin;
    if (kind == ObjectKindPrint) {
        startX = work.cursorX - work.leftMargin;
        wrap = work.rightMargin - work.leftMargin + 1;
    }
    std::vector<TextRun> runs;
    int32_t endPen = 0, lastTop = 0;
    int error = 0;
    if (!work.text.empty())
        error = ParseTextTags(vm, &work, work.literal, kind != ObjectKindPrint, startX, wrap, &runs, &endPen, &lastTop);
    if (!error) error = RenderTextRuns(work, startX, runs, false, out, (flags & kLayoutCoverageOnly) != 0);
    if (fontScaled) SetFontScale(font, 1.0, 1.0);
    if (error) return error;
    if (!(flags & kRedrawKeepTables)) {
        params->wordWrapTable = work.wordWrapTable;
        params->tabTable = work.tabTable;
    }
    out->fontScaled = fontScaled;
    out->baseWidth = int32_t(std::lround(out->image.width / scaleX));
    out->baseHeight = int32_t(std::lround(out->image.height / scaleY));
    int32_t posX = params->x, posY = params->y;
    if (kind == ObjectKindPrint) {
        posX = work.leftMargin + out->startX;
        posY = work.cursorY;
        DisplayRecord *display = CurrentDisplay;
        if (display && !(flags & (kRedrawComputeMatrix | kRedrawKeepTables))) {
            display->cursorX = params->leftMargin + endPen;
            display->cursorY = params->cursorY + lastTop;
        }
    }
    const int32_t layoutW = int32_t(std::lround(out->layoutWidth / scaleX));
    const int32_t layoutH = int32_t(std::lround(out->image.height / scaleY));
    out->anchorX = ResolveXPosition(posX, layoutW, 0, transform.anchorX) + out->offsetX;
    out->anchorY = ResolveYPosition(posY, layoutH, 0, transform.anchorY) + out->offsetY;
    return 0;
}

int PlaceTextImage(const RenderedText &text, const DisplayTransform &transform, ImageTriple *out, bool *owned,
                   int32_t *x, int32_t *y) {
    if (!text.fontScaled)
        return BuildDisplayImage(text.image, 0, 0, text.image.width, text.image.height, transform, text.anchorX,
                                 text.anchorY, out, owned, x, y);
    const double m[4] = {transform.a, transform.b, transform.c, transform.d};
    int32_t w = 0, h = 0;
    TransformedBounds(int32_t(std::lround(text.anchorX - transform.anchorX * text.baseWidth)),
                      int32_t(std::lround(text.anchorY - transform.anchorY * text.baseHeight)), text.baseWidth,
                      text.baseHeight, m, x, y, &w, &h, transform.anchorX, transform.anchorY);
    *out = text.image;
    *owned = false;
    return 0;
}

int DrawText(VMState *vm, vlLayer *layer, const int32_t *oldRect, TextDrawParams *params, int32_t kind, bool literal,
             const DisplayTransform &transform, const LayerOptions *options, int32_t flags, RenderedText *out) {
    params->literal = params->literal || literal;
    DisplayRecord *display = CurrentDisplay;
    FontHandle *font = params->style.font ? params->style.font : BuiltinTopazFont;
    if (!layer && TakesDirectPath(*params, kind, transform, font)) {
        if ((params->style.style & kTextAntialias) && !(font && font->antialiased)) return kErrNoAntiAlias;
        return DrawPlainTextDirect(params, kind, font);
    }
    const bool asLayer = kind != ObjectKindTextObject && !layer && LayersOn(display);
    RenderedText text;
    HostBitmap *straight = asLayer ? nullptr : StraightCoverageTarget(*params, kind, transform);
    // A layer is laid out plain; the layer engine applies its transform when it renders the layer's states.
    if (int error = LayoutText(vm, params, kind, asLayer ? DisplayTransform{} : transform,
                               flags | (straight ? kLayoutCoverageOnly : 0), &text))
        return error;
    if (kind == ObjectKindTextObject) {
        *out = text;
        return 0;
    }
    if (asLayer) return AddTextLayer(vm, kind, *params, text, transform, options);
    if (text.coverageOnly) {
        const int error = BlendCoverageText(text, straight);
        FreeImageTriple(&text.image);
        return error;
    }
    (void)oldRect;
    ImageTriple image;
    bool owned = false;
    int32_t x = 0, y = 0;
    int error = PlaceTextImage(text, transform, &image, &owned, &x, &y);
    // The selected brush, mask, alpha channel, picture or anim frame gets the text as any drawn image does.
    if (!error) error = BlitToCurrentOutput(image, x, y, CurrentBGPic ? CurrentBGPic->clipRegion : nullptr);
    if (!error) {
        HostBitmap *target = CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
        if (target) error = PresentOutputRect(target, x, y, image.width, image.height);
    }
    if (owned) FreeImageTriple(&image);
    FreeImageTriple(&text.image);
    return error;
}

int PrintText(VMState *vm, const char *text, size_t length, bool literal) {
    DisplayRecord *display = CurrentDisplay;
    if (!display) return kErrDisplayClosed;
    TextDrawParams params;
    params.style = GetTextStyle();
    params.style.font = GetCurrentFont();
    params.text.assign(text, length);
    params.x = kAlignCenter;
    params.cursorX = display->cursorX;
    params.cursorY = display->cursorY;
    params.leftMargin = display->leftMargin;
    params.rightMargin = display->rightMargin;
    params.tabStops.assign(display->tabStops, display->tabStops + std::min<int32_t>(display->tabCount, kMaxTabStops));
    params.encoding = GetDefaultEncoding();
    return DrawText(vm, nullptr, nullptr, &params, ObjectKindPrint, literal, DisplayTransform{}, nullptr, 0, nullptr);
}

int PrintValues(VMState *vm, bool newline) {
    std::string line = JoinArgumentsAsText(vm);
    if (newline) line += '\n';
    return PrintText(vm, line.data(), line.size(), false);
}

void *CopyTextBlock(const void *block) {
    return new (std::nothrow) TextDrawParams(*static_cast<const TextDrawParams *>(block));
}

void FreeTextBlock(void *block) { delete static_cast<TextDrawParams *>(block); }

int DrawTextLayer(VMState *vm, vlLayer *layer, LayerDrawParams *params, const int32_t *oldRect,
                  const DisplayTransform &transform, int32_t flags) {
    auto *block = static_cast<TextDrawParams *>(params->textBlock);
    if (!block) return kErrWrongUsage;
    RenderedText text;
    // A layout the style setter discarded is made afresh untransformed and kept, so that later redraws break
    // the lines where this one did; the display's cursor stays.
    const bool fresh = !block->tablesLaidOut && IsIdentityTransform(transform);
    const int32_t layoutFlags =
        fresh ? (flags | kRedrawComputeMatrix) & ~kRedrawKeepTables : flags | kRedrawKeepTables;
    if (int error = LayoutText(vm, block, layer->type, transform, layoutFlags, &text)) return error;
    if (fresh) block->tablesLaidOut = true;
    if (IsIdentityTransform(transform)) params->width = text.image.width, params->height = text.image.height;
    // The block's anchor position is the layer's, unless a new cursor places a Print layer; a display-scaled
    // state moved it already.
    if (block->placeAtCursor && layer->type == ObjectKindPrint) {
        params->x = text.anchorX;
        params->y = text.anchorY;
        block->placeAtCursor = false;
    }
    text.anchorX = params->x;
    text.anchorY = params->y;
    if (text.fontScaled) {
        text.baseWidth = params->width;
        text.baseHeight = params->height;
    }
    ImageTriple image;
    bool owned = false;
    int32_t x = 0, y = 0;
    if (int error = PlaceTextImage(text, transform, &image, &owned, &x, &y)) {
        FreeImageTriple(&text.image);
        return error;
    }
    if (owned) FreeImageTriple(&text.image);
    if (flags & kRedrawNoGeometry) {
        FreeImageTriple(&image);
        return 0;
    }
    return UpdateLayerGeometry(layer, params, oldRect, x, y, image.width, image.height, image.bitmap, image.mask,
                               image.alpha);
}

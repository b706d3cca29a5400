// The text layout engine: one drawing routine behind Print, TextOut, text objects, line input and the redraw
// of text layers, and the records it passes between line breaking, the tag parser and the run renderer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/bitmap.h"
#include "imaging/display_options.h"
#include "runtime/vm/vm.h"
#include "text/layout/text_records.h"

struct vlLayer;
struct LayerDrawParams;
struct PlacedGlyphs;

// Alignment (the position constants LEFT, CENTER and RIGHT).
constexpr int32_t kAlignLeft = -90000;
constexpr int32_t kAlignCenter = -100000;
constexpr int32_t kAlignRight = -80000;

// DrawText redraw flags.
constexpr int32_t kRedrawComputeMatrix = 8;
constexpr int32_t kRedrawKeepTables = 16;
constexpr int32_t kRedrawNoGeometry = 32;
constexpr int32_t kRedrawDisplayScaled = 64;
// LayoutText: plain antialiased text may come back as its coverage alone (RenderedText::coverageOnly).
constexpr int32_t kLayoutCoverageOnly = 256;

// TextOut's word-wrap table holds fewer entries than this.
constexpr size_t kMaxWordWrapEntries = 32768;

// What a text is drawn with; a layer or text object keeps its own copy, tables included, so that a redraw breaks
// the lines at the same words and tab stops.
struct TextDrawParams {
    TextStyle style;
    std::string text;
    int32_t x = 0, y = 0; // requested position (Print: CENTER, the cursor decides)
    int32_t align = kAlignLeft;
    int32_t cursorX = 0, cursorY = 0; // Print: the cursor when it ran
    int32_t leftMargin = 0;
    int32_t rightMargin = 0; // Print: the right margin column; else the wrap width (0: none)
    std::vector<int32_t> tabStops;
    std::vector<int32_t> wordWrapTable; // 0-based numbers of the words that begin a line
    std::vector<int32_t> tabTable;      // per tab: the stop it went to, or -1 for a new line
    bool wordWrapGiven = false;
    bool tabTableGiven = false;
    bool tablesLaidOut = false; // the tables above come from the first layout: redraws follow them
    int encoding = kEncodingLatin1;
    bool literal = false; // line input's echo: tags are shown as typed
    bool placeAtCursor = false; // Print layer given a new cursor: its next layout places it there
};

// One piece of a line in one style.
struct TextRun {
    std::string text;
    int32_t x = 0, y = 0; // pen start within the line, top of the line
    TextExtentInfo extent;
    TextStyle style;
};

// A rendered text: the planes (mask or alpha), the image's top-left against the text's anchor point.
struct RenderedText {
    ImageTriple image;
    int32_t offsetX = 0, offsetY = 0;
    int32_t layoutWidth = 0;
    int32_t startX = 0;
    // Where the text's anchor point goes (position constants resolved, offsets applied), and the size the text
    // has without a transform.
    int32_t anchorX = 0, anchorY = 0;
    int32_t baseWidth = 0, baseHeight = 0;
    bool fontScaled = false; // rendered at the transform's scale: only the placement is transformed
    // Plain antialiased text asked for as coverage: image.alpha only, or no plane and the glyphs placed in
    // the image, to be blended in this pixel value.
    bool coverageOnly = false;
    uint32_t coveragePixel = 0;
    std::shared_ptr<PlacedGlyphs> glyphs;
};

// Breaks the text into runs (tags handled unless literal). tabsAsSpaces for TextOut and text objects; startX and
// wrapWidth (0: none) are the layout's. On return *endPenX and *lastTop describe where the text ended.
int ParseTextTags(VMState *vm, TextDrawParams *params, bool literal, bool tabsAsSpaces, int32_t startX,
                  int32_t wrapWidth, std::vector<TextRun> *runs, int32_t *endPenX, int32_t *lastTop);
// Reads the tag that starts at text[*pos] ('[' not followed by '[') into style and the colour stack.
int ParseInlineTag(VMState *vm, const std::string &text, size_t *pos, TextStyle *style,
                   std::vector<uint32_t> *colourStack);

// Aligns the runs and renders them into one image (geometryOnly: sizes and offsets only; coverageWanted: plain
// antialiased text leaves out the coloured bitmap). 0 or kErrOutOfMemory.
int RenderTextRuns(const TextDrawParams &params, int32_t startX, std::vector<TextRun> &runs, bool geometryOnly,
                   RenderedText *out, bool coverageWanted = false);
// An injected allocation failure for the tests: the nth allocation from now fails (0: none).
extern int TextAllocFailAfter;

// Lays out and renders a text without showing it; the transform scales the font when it can, else the caller
// transforms the image (PlaceTextImage).
int LayoutText(VMState *vm, TextDrawParams *params, int32_t kind, const DisplayTransform &transform, int32_t flags,
               RenderedText *out);
// The image to show for a laid-out text and its top-left, the transform applied about the anchor.
int PlaceTextImage(const RenderedText &text, const DisplayTransform &transform, ImageTriple *out, bool *owned,
                   int32_t *x, int32_t *y);
// Lays out and shows a text of kind 8 (text object: out receives the image, nothing is drawn), 9 (TEXTOUT) or
// 11 (PRINT). layer/oldRect are given by a layer redraw. options may be null.
int DrawText(VMState *vm, vlLayer *layer, const int32_t *oldRect, TextDrawParams *params, int32_t kind, bool literal,
             const DisplayTransform &transform, const LayerOptions *options, int32_t flags, RenderedText *out);
// Print, NPrint and line input: the current style, the display's cursor, margins and tabs.
int PrintText(VMState *vm, const char *text, size_t length, bool literal);
int PrintValues(VMState *vm, bool newline);

// The layer services of TEXTOUT and PRINT blocks.
void *CopyTextBlock(const void *block);
void FreeTextBlock(void *block);
int DrawTextLayer(VMState *vm, vlLayer *layer, LayerDrawParams *params, const int32_t *oldRect,
                  const DisplayTransform &transform, int32_t flags);
// The style setter's text keys (layer_style_keys.cpp), as the layer services declare them.
void *StartTextStyleBlock(VMState *vm, int32_t kind);
int ReadTextStyleKeys(VMState *vm, int table, int32_t kind, void *block, int requireText, int *given,
                      int *cursorGiven, int32_t *cursorX, int32_t *cursorY);
void WriteTextStyleKeys(VMState *vm, int32_t kind, const void *block);

// The records every text operation shares: the current text style and the measured extent of a run of text.
#pragma once

#include <cstdint>

#include "host/charset.h" // the encodings: kEncodingLatin1, kEncodingUtf8

struct FontHandle;

// Style bits of TextStyle::style (the script sees them as #NORMAL, #BOLD, ...).
constexpr uint32_t kTextNormal = 1;
constexpr uint32_t kTextBold = 2;
constexpr uint32_t kTextItalic = 4;
constexpr uint32_t kTextUnderlined = 8;
constexpr uint32_t kTextAntialias = 16;
constexpr uint32_t kTextShadow = 32;
constexpr uint32_t kTextEdge = 64;

constexpr int32_t kMinEffectSize = 1;
constexpr int32_t kMaxEffectSize = 64;

struct TextStyle {
    uint32_t style = kTextNormal;
    uint32_t color = 0xFFFFFF; // top byte: the text's own transparency (0 opaque)
    uint32_t shadowColor = 0x000000;
    uint32_t edgeColor = 0x0093DD;
    int32_t shadowSize = 4;
    int32_t shadowDirection = 3; // SHDWSOUTHEAST
    int32_t edgeSize = 2;
    FontHandle *font = nullptr;
};

// MeasureText fills the first six words; StyledTextExtent the rest.
struct TextExtentInfo {
    int32_t width = 0;  // advance of the run
    int32_t height = 0; // line height of the font
    int32_t minX = 0;   // leftmost pixel column from the run's start (negative for overhang)
    int32_t minY = 0;   // topmost row from the baseline (negative)
    int32_t maxX = 0;
    int32_t maxY = 0;
    int32_t boxWidth = 0; // max(width, maxX + 1) after the style adjustments
    int32_t topExtra = 0; // rows edge and shadow add above minY (<= 0)
    int32_t bottomExtra = 0;
    int32_t leftExtra = 0; // columns they add left of minX (<= 0)
    int32_t rightExtra = 0;
};

// Clamps shadow and edge sizes to 1..64; a shadow direction outside 0..7 becomes 3.
void ValidateTextStyle(TextStyle *style);
// MeasureText with the style's font, then synthetic bold and italic widening and the edge and shadow extras.
// Returns 0 (measuring does not fail).
int StyledTextExtent(const char *text, size_t length, int encoding, TextExtentInfo *out, const TextStyle &style);

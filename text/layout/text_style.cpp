// The styled extent of a run of text: the font's measure widened for synthetic styles, plus edge and shadow.
#include <algorithm>

#include "text/fonts/font_handle.h"
#include "text/layout/text_records.h"

void ValidateTextStyle(TextStyle *style) {
    style->shadowSize = std::clamp(style->shadowSize, kMinEffectSize, kMaxEffectSize);
    style->edgeSize = std::clamp(style->edgeSize, kMinEffectSize, kMaxEffectSize);
    if (style->shadowDirection < 0 || style->shadowDirection > 7) style->shadowDirection = 3;
}

int StyledTextExtent(const char *text, size_t length, int encoding, TextExtentInfo *out, const TextStyle &style) {
    *out = TextExtentInfo{};
    FontHandle *font = style.font ? style.font : BuiltinTopazFont;
    if (int error = MeasureText(font, text, length, style.style, encoding, out)) return error;
    if (font) out->height = font->height;
    if ((style.style & kTextBold) && !QueryFontStyle(font, kTextBold) && !(style.style & kTextAntialias)) out->maxX += 1;
    if ((style.style & kTextItalic) && !QueryFontStyle(font, kTextItalic) && font) {
        out->maxX += font->baseline / 2;
        out->minX -= (font->height - font->baseline) / 2;
    }
    out->boxWidth = out->maxX >= out->width ? out->maxX + 1 : out->width;
    if (style.style & kTextEdge) {
        out->leftExtra = out->topExtra = -style.edgeSize;
        out->rightExtra = out->bottomExtra = style.edgeSize;
    }
    if (style.style & kTextShadow) {
        const int32_t s = style.shadowSize;
        switch (style.shadowDirection) {
        case 0: out->topExtra -= s; break;
        case 1: out->rightExtra += s, out->topExtra -= s; break;
        case 2: out->rightExtra += s; break;
        case 4: out->bottomExtra += s; break;
        case 5: out->leftExtra -= s, out->bottomExtra += s; break;
        case 6: out->leftExtra -= s; break;
        case 7: out->leftExtra -= s, out->topExtra -= s; break;
        default: out->rightExtra += s, out->bottomExtra += s; break;
        }
    }
    return 0;
}

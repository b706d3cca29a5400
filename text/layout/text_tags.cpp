// Inline style tags: [b], [i], [u], [color=c], [shadow=c,s,d], [edge=c,s] and their closing forms.
#include <cctype>
#include <cmath>
#include <strings.h>

#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "text/layout/text_draw.h"

namespace {

constexpr int32_t kMaxTagEdge = 8;

enum class Tag { Bold, Italic, Underline, Color, Shadow, Edge };

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void SkipBlanks(const std::string &text, size_t *pos) {
    while (*pos < text.size() && IsBlank(text[*pos])) ++*pos;
}

bool MatchWord(const std::string &text, size_t pos, const char *word) {
    const size_t n = std::char_traits<char>::length(word);
    return text.size() - pos >= n && strncasecmp(text.c_str() + pos, word, n) == 0;
}

int ReadTagName(const std::string &text, size_t *pos, Tag *tag) {
    static const struct {
        const char *word;
        Tag tag;
    } kWords[] = {{"color", Tag::Color}, {"shadow", Tag::Shadow}, {"edge", Tag::Edge}};
    for (const auto &w : kWords)
        if (MatchWord(text, *pos, w.word)) {
            *tag = w.tag;
            *pos += std::char_traits<char>::length(w.word);
            return 0;
        }
    if (*pos >= text.size()) return kErrTagUnknown;
    const char letter = char(std::tolower(static_cast<unsigned char>(text[*pos])));
    const char after = *pos + 1 < text.size() ? text[*pos + 1] : ']';
    if (!IsBlank(after) && after != ']') return kErrTagUnknown;
    switch (letter) {
    case 'b': *tag = Tag::Bold; break;
    case 'i': *tag = Tag::Italic; break;
    case 'u': *tag = Tag::Underline; break;
    default: return kErrTagUnknown;
    }
    ++*pos;
    return 0;
}

// One value: #constant, or a number read as ParseOptionNumber does; 2^31 and above stay unsigned.
int ReadTagValue(VMState *vm, const std::string &text, size_t *pos, uint32_t *out) {
    SkipBlanks(text, pos);
    double value = 0;
    if (*pos < text.size() && text[*pos] == '#') {
        int length = 0, isString = 0;
        if (int error = ParseConstantName(vm, text.c_str() + *pos, &length, &isString, &value)) return error;
        if (isString) return kErrValueExpected;
        *pos += size_t(length);
    } else if (*pos < text.size() && text[*pos] == '"') {
        return kErrValueExpected;
    } else {
        int read = 0, error = 0;
        value = ParseOptionNumber(text.c_str() + *pos, &read, &error);
        if (error) return error;
        *pos += size_t(read);
    }
    if (!std::isfinite(value)) value = 0;
    value = std::trunc(value);
    if (value >= 2147483648.0) *out = value >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(value);
    else *out = uint32_t(int32_t(value < -2147483648.0 ? -2147483648.0 : value));
    return 0;
}

uint32_t StyleBit(Tag tag) {
    switch (tag) {
    case Tag::Bold: return kTextBold;
    case Tag::Italic: return kTextItalic;
    case Tag::Underline: return kTextUnderlined;
    case Tag::Shadow: return kTextShadow;
    case Tag::Edge: return kTextEdge;
    default: return 0;
    }
}

} // namespace

int ParseInlineTag(VMState *vm, const std::string &text, size_t *pos, TextStyle *style,
                   std::vector<uint32_t> *colourStack) {
    ++*pos; // '['
    SkipBlanks(text, pos);
    const bool closing = *pos < text.size() && text[*pos] == '/';
    if (closing) {
        ++*pos;
        SkipBlanks(text, pos);
    }
    Tag tag;
    if (int error = ReadTagName(text, pos, &tag)) return error;
    SkipBlanks(text, pos);
    if (closing) {
        if (tag == Tag::Color) {
            if (colourStack->empty()) return kErrTagSyntax;
            style->color = colourStack->back();
            colourStack->pop_back();
        } else {
            style->style &= ~StyleBit(tag);
        }
    } else if (*pos < text.size() && text[*pos] == '=') {
        ++*pos;
        // The slots start as the current values, so values left out keep them.
        uint32_t slots[3] = {};
        size_t count = 0;
        switch (tag) {
        case Tag::Color: slots[0] = style->color, count = 1; break;
        case Tag::Shadow:
            slots[0] = style->shadowColor, slots[1] = uint32_t(style->shadowSize);
            slots[2] = uint32_t(style->shadowDirection), count = 3;
            break;
        case Tag::Edge: slots[0] = style->edgeColor, slots[1] = uint32_t(style->edgeSize), count = 2; break;
        default: count = 0; break;
        }
        for (size_t i = 0; i < count; i++) {
            if (int error = ReadTagValue(vm, text, pos, &slots[i])) return error;
            SkipBlanks(text, pos);
            if (*pos >= text.size() || text[*pos] != ',') break;
            if (i + 1 < count) ++*pos;
        }
        if (tag == Tag::Shadow && (int32_t(slots[1]) < kMinEffectSize || int32_t(slots[1]) > kMaxEffectSize))
            return kErrWrongUsage;
        if (tag == Tag::Edge && (int32_t(slots[1]) < kMinEffectSize || int32_t(slots[1]) > kMaxTagEdge))
            return kErrWrongUsage;
        switch (tag) {
        case Tag::Color:
            colourStack->push_back(style->color);
            style->color = slots[0];
            break;
        case Tag::Shadow:
            style->style |= kTextShadow;
            style->shadowColor = slots[0];
            style->shadowSize = int32_t(slots[1] & 0xFF);
            style->shadowDirection = int32_t(slots[2] & 0xFF);
            break;
        case Tag::Edge:
            style->style |= kTextEdge;
            style->edgeColor = slots[0];
            style->edgeSize = int32_t(slots[1] & 0xFF);
            break;
        default: break;
        }
    } else if (tag == Tag::Color) {
        return kErrTagArguments;
    } else {
        style->style |= StyleBit(tag);
    }
    SkipBlanks(text, pos);
    if (*pos >= text.size() || text[*pos] != ']') return kErrBracketExpected;
    ++*pos;
    return 0;
}

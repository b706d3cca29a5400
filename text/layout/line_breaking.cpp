// Line breaking: words, blanks, tabs and line feeds become styled runs on lines, with word wrap by width or by
// a table of word numbers, and tab stops by position or by a table of stop indices.
#include <algorithm>

#include "runtime/app/errors.h"
#include "text/fonts/font_handle.h"
#include "text/layout/text_draw.h"

namespace {

bool SameLook(const TextStyle &a, const TextStyle &b) {
    return a.style == b.style && a.color == b.color && a.shadowColor == b.shadowColor && a.edgeColor == b.edgeColor &&
           a.shadowSize == b.shadowSize && a.shadowDirection == b.shadowDirection && a.edgeSize == b.edgeSize;
}

class LineBreaker {
public:
    LineBreaker(VMState *vm, TextDrawParams *p, bool literal, bool tabsAsSpaces, int32_t startX, int32_t wrapWidth,
                std::vector<TextRun> *runs)
        : vm_(vm), p_(p), literal_(literal), tabsAsSpaces_(tabsAsSpaces), wrapWidth_(wrapWidth), runs_(runs),
          nextX_(startX), style_(p->style) {
        const FontHandle *font = p->style.font ? p->style.font : BuiltinTopazFont;
        lineHeight_ = font ? font->height : 8;
        useWrapTable_ = p->wordWrapGiven || p->tablesLaidOut;
        useTabTable_ = p->tabTableGiven || p->tablesLaidOut;
        if (!useWrapTable_) p->wordWrapTable.clear();
        if (!useTabTable_) p->tabTable.clear();
        if (useWrapTable_) wrapWidth_ = 0;
    }

    int Run(int32_t *endPenX, int32_t *lastTop) {
        const std::string &text = p_->text;
        size_t i = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (c == '\n') {
                ClosePending();
                NewLine();
                i++;
            } else if (c == '\r') {
                i++;
            } else if (c == ' ' || (c == '\t' && tabsAsSpaces_)) {
                Append(" ", 1, style_);
                i++;
            } else if (c == '\t') {
                ClosePending();
                Tab();
                i++;
            } else if (int error = Word(&i)) {
                return error;
            }
        }
        ClosePending();
        TrimLineEnds();
        *endPenX = nextX_;
        *lastTop = lineTop_;
        return 0;
    }

private:
    TextRun *Pending() {
        if (closed_ || runs_->empty() || runs_->back().y != lineTop_) return nullptr;
        return &runs_->back();
    }

    void Measure(TextRun *run) {
        StyledTextExtent(run->text.data(), run->text.size(), p_->encoding, &run->extent, run->style);
    }

    void Append(const char *bytes, size_t length, const TextStyle &style) {
        TextRun *pending = Pending();
        if (pending && !SameLook(pending->style, style)) {
            ClosePending();
            pending = nullptr;
        }
        if (!pending) {
            runs_->push_back(TextRun{});
            pending = &runs_->back();
            pending->x = nextX_;
            pending->y = lineTop_;
            pending->style = style;
            pending->style.font = p_->style.font;
            closed_ = false;
        }
        pending->text.append(bytes, length);
    }

    void ClosePending() {
        if (TextRun *pending = Pending()) {
            Measure(pending);
            nextX_ = pending->x + pending->extent.width;
        }
        closed_ = true;
    }

    void NewLine() {
        closed_ = true;
        lineTop_ += lineHeight_;
        nextX_ = 0;
    }

    void Tab() {
        const std::vector<int32_t> &stops = p_->tabStops;
        if (useTabTable_) {
            const int32_t entry = tabIndex_ < p_->tabTable.size() ? p_->tabTable[tabIndex_] : -1;
            tabIndex_++;
            if (entry >= 0 && size_t(entry) < stops.size()) nextX_ = stops[size_t(entry)] - p_->leftMargin;
            else NewLine();
            return;
        }
        const int32_t lineWidth = p_->rightMargin - p_->leftMargin + 1;
        for (size_t k = 0; k < stops.size(); k++) {
            if (stops[k] <= nextX_ + p_->leftMargin) continue;
            if (wrapWidth_ == 0 || stops[k] < lineWidth) {
                nextX_ = stops[k] - p_->leftMargin;
                p_->tabTable.push_back(int32_t(k));
                return;
            }
            break;
        }
        p_->tabTable.push_back(-1);
        NewLine();
    }

    // One word, its tags and escapes included; then the wrap decision.
    int Word(size_t *i) {
        const std::string &text = p_->text;
        const size_t firstRun = runs_->size();
        TextRun *pending = Pending();
        const size_t keptBytes = pending ? pending->text.size() : 0;
        const size_t wordRun = pending ? firstRun - 1 : firstRun;
        const int32_t lineTop = lineTop_;
        const int32_t pendingStart = nextX_;
        while (*i < text.size()) {
            const char c = text[*i];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') break;
            const char next = *i + 1 < text.size() ? text[*i + 1] : 0;
            if ((c == '[' || c == ']') && next == c) {
                Append(&c, 1, style_);
                *i += 2;
            } else if (c == '[' && !literal_) {
                if (int error = ParseInlineTag(vm_, text, i, &style_, &colours_)) return error;
            } else if (c == ']' && !literal_) {
                return kErrTagSyntax;
            } else {
                Append(&c, 1, style_);
                (*i)++;
            }
        }
        const int32_t number = word_++;
        bool wrap = false;
        if (useWrapTable_) {
            if (wrapIndex_ < p_->wordWrapTable.size() && p_->wordWrapTable[wrapIndex_] == number) {
                wrapIndex_++;
                wrap = true;
            }
        } else if (wrapWidth_ > 0 && runs_->size() > wordRun) {
            int32_t edge = 0;
            for (size_t k = wordRun; k < runs_->size(); k++) {
                TextRun &run = (*runs_)[k];
                Measure(&run);
                edge = std::max(edge, run.x + run.extent.boxWidth + run.extent.rightExtra);
            }
            if (edge > wrapWidth_) {
                p_->wordWrapTable.push_back(number);
                wrap = true;
            }
        }
        if (wrap && runs_->size() > wordRun && lineTop_ == lineTop) MoveWordDown(wordRun, keptBytes, pendingStart);
        return 0;
    }

    // The word's bytes leave the line's runs and start the next line; a word at the line's start stays.
    void MoveWordDown(size_t wordRun, size_t keptBytes, int32_t pendingStart) {
        std::vector<TextRun> pieces(runs_->begin() + long(wordRun), runs_->end());
        runs_->resize(wordRun);
        int32_t wordStart = pendingStart;
        if (keptBytes > 0) {
            TextRun head = pieces.front();
            head.text.resize(keptBytes);
            pieces.front().text.erase(0, keptBytes);
            Measure(&head);
            wordStart = head.x + head.extent.width;
            runs_->push_back(head);
        }
        if (wordStart == 0) {
            // Nothing before it on this line: put it back as it was.
            if (keptBytes > 0) {
                pieces.front().text.insert(0, runs_->back().text);
                runs_->pop_back();
            }
            runs_->insert(runs_->end(), pieces.begin(), pieces.end());
            closed_ = false;
            return;
        }
        NewLine();
        for (TextRun &piece : pieces) {
            if (piece.text.empty()) continue;
            piece.x = nextX_;
            piece.y = lineTop_;
            Measure(&piece);
            nextX_ += piece.extent.width;
            runs_->push_back(piece);
        }
        // The last piece stays open for what follows the word.
        if (!runs_->empty() && runs_->back().y == lineTop_) {
            nextX_ = runs_->back().x;
            closed_ = false;
        }
    }

    void TrimLineEnds() {
        for (size_t k = 0; k < runs_->size();) {
            TextRun &run = (*runs_)[k];
            const bool lastOfLine = k + 1 == runs_->size() || (*runs_)[k + 1].y != run.y;
            if (lastOfLine && ((run.style.style & kTextUnderlined) || p_->align != kAlignLeft)) {
                const size_t end = run.text.find_last_not_of(' ');
                if (end == std::string::npos) {
                    runs_->erase(runs_->begin() + long(k));
                    continue;
                }
                if (end + 1 != run.text.size()) {
                    run.text.resize(end + 1);
                    Measure(&run);
                }
            }
            k++;
        }
    }

    VMState *vm_;
    TextDrawParams *p_;
    bool literal_, tabsAsSpaces_;
    int32_t wrapWidth_;
    std::vector<TextRun> *runs_;
    int32_t nextX_ = 0, lineTop_ = 0, lineHeight_ = 8;
    bool closed_ = true;
    TextStyle style_;
    std::vector<uint32_t> colours_; // grows as needed, so no count of colour tags has to agree with the parse
    bool useWrapTable_ = false, useTabTable_ = false;
    size_t wrapIndex_ = 0, tabIndex_ = 0;
    int32_t word_ = 0;
};

} // namespace

int ParseTextTags(VMState *vm, TextDrawParams *params, bool literal, bool tabsAsSpaces, int32_t startX,
                  int32_t wrapWidth, std::vector<TextRun> *runs, int32_t *endPenX, int32_t *lastTop) {
    runs->clear();
    LineBreaker breaker(vm, params, literal, tabsAsSpaces, startX, wrapWidth, runs);
    return breaker.Run(endPenX, lastTop);
}

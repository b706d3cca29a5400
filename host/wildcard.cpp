#include "host/wildcard.h"

#include <bitset>
#include <cctype>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

enum NodeKind { kLiteral, kAnyChar, kClass, kEmpty, kGroup, kRepeat, kNot };

struct PatternNode {
    NodeKind kind = kLiteral;
    unsigned char c = 0;
    std::bitset<256> set;          // kClass, already negated when the class was
    std::vector<int> alternatives; // kGroup: sequence ids
    int inner = -1;                // kRepeat: the repeated item as a one-node sequence; kNot: the negated rest
};

// Longer names are refused rather than matched in quadratic memory.
constexpr size_t kMaxMatchedNameLength = 4095;
// The system parses into a 2050-byte buffer, so no longer pattern was ever valid; the limit also keeps node
// indices inside the matcher's memo keys.
constexpr size_t kMaxPatternLength = 2048;

unsigned char Fold(unsigned char c) { return static_cast<unsigned char>(tolower(c)); }

} // namespace

struct PatternBuffer {
    std::vector<std::vector<PatternNode>> sequences; // sequence 0 is the whole pattern
    bool valid = false;
};

namespace {

struct Parser {
    PatternBuffer *buffer;
    const unsigned char *p;
    bool wildcards = false;
    bool failed = false;

    int NewSequence() {
        buffer->sequences.emplace_back();
        return static_cast<int>(buffer->sequences.size() - 1);
    }

    // Parses up to "|" or ")" (not consumed) or the end.
    int ParseSequence() {
        int id = NewSequence();
        while (*p && *p != '|' && *p != ')' && !failed) {
            if (*p == '~' && p[1] != 0 && p[1] != '|' && p[1] != ')') {
                ++p;
                wildcards = true;
                PatternNode node;
                node.kind = kNot;
                node.inner = ParseSequence(); // the negation covers the rest of this sequence
                buffer->sequences[static_cast<size_t>(id)].push_back(std::move(node));
                break;
            }
            PatternNode node;
            if (!ParseItem(&node)) {
                failed = true;
                break;
            }
            buffer->sequences[static_cast<size_t>(id)].push_back(std::move(node));
        }
        return id;
    }

    bool ParseItem(PatternNode *node) {
        unsigned char c = *p++;
        switch (c) {
        case '?':
            wildcards = true;
            node->kind = kAnyChar;
            return true;
        case '%':
            wildcards = true;
            node->kind = kEmpty;
            return true;
        case '#': {
            wildcards = true;
            if (!*p || *p == '|' || *p == ')') return false;
            PatternNode item;
            if (!ParseItem(&item)) return false;
            int id = NewSequence();
            buffer->sequences[static_cast<size_t>(id)].push_back(std::move(item));
            node->kind = kRepeat;
            node->inner = id;
            return true;
        }
        case '(': {
            wildcards = true;
            node->kind = kGroup;
            for (;;) {
                node->alternatives.push_back(ParseSequence());
                if (failed) return false;
                if (*p == '|') {
                    ++p;
                    continue;
                }
                if (*p == ')') {
                    ++p;
                    return true;
                }
                return false; // unbalanced
            }
        }
        case '[': {
            wildcards = true;
            node->kind = kClass;
            bool negated = false;
            if (*p == '~') {
                negated = true;
                ++p;
            }
            bool first = true;
            while (*p && (*p != ']' || first)) {
                first = false;
                unsigned char from = *p++;
                if (from == '\'' && *p) from = *p++;
                unsigned char to = from;
                if (*p == '-' && p[1] && p[1] != ']') {
                    ++p;
                    to = *p++;
                    if (to == '\'' && *p) to = *p++;
                }
                if (to < from) std::swap(from, to);
                for (int k = from; k <= to; ++k) {
                    node->set.set(static_cast<size_t>(k));
                    node->set.set(Fold(static_cast<unsigned char>(k)));
                }
            }
            if (*p != ']') return false;
            ++p;
            if (negated) node->set.flip();
            return true;
        }
        case '\'':
            if (*p) c = *p++;
            [[fallthrough]];
        default:
            if (c == ')' || c == '|') return false;
            node->kind = kLiteral;
            node->c = Fold(c);
            return true;
        }
    }
};

struct Matcher {
    const PatternBuffer *buffer;
    std::string text;
    std::unordered_map<uint64_t, bool> memo;

    static uint64_t Key(size_t sequence, size_t index, size_t pos, size_t end) {
        return (uint64_t(sequence) << 48) ^ (uint64_t(index) << 32) ^ (uint64_t(pos) << 16) ^ uint64_t(end);
    }

    // Exact match of sequence[index..] against text[pos, end).
    bool Sequence(int sequence, size_t index, size_t pos, size_t end) {
        const auto &nodes = buffer->sequences[static_cast<size_t>(sequence)];
        if (index == nodes.size()) return pos == end;
        uint64_t key = Key(static_cast<size_t>(sequence), index, pos, end);
        auto found = memo.find(key);
        if (found != memo.end()) return found->second;
        bool result = SequenceUncached(nodes[index], sequence, index, pos, end);
        memo[key] = result;
        return result;
    }

    bool SequenceUncached(const PatternNode &node, int sequence, size_t index, size_t pos, size_t end) {
        unsigned char c = pos < end ? static_cast<unsigned char>(text[pos]) : 0;
        switch (node.kind) {
        case kLiteral:
            return pos < end && c == node.c && Sequence(sequence, index + 1, pos + 1, end);
        case kAnyChar:
            return pos < end && Sequence(sequence, index + 1, pos + 1, end);
        case kClass:
            return pos < end && node.set.test(c) && Sequence(sequence, index + 1, pos + 1, end);
        case kEmpty:
            return Sequence(sequence, index + 1, pos, end);
        case kGroup:
            for (size_t split = pos; split <= end; ++split)
                for (int alternative : node.alternatives)
                    if (Sequence(alternative, 0, pos, split) && Sequence(sequence, index + 1, split, end)) return true;
            return false;
        case kRepeat:
            for (size_t split = pos; split <= end; ++split)
                if (Repeated(node.inner, pos, split) && Sequence(sequence, index + 1, split, end)) return true;
            return false;
        case kNot:
            return !Sequence(node.inner, 0, pos, end);
        }
        return false;
    }

    // Zero or more matches of the one-node sequence item covering text[pos, end) exactly.
    bool Repeated(int item, size_t pos, size_t end) {
        if (pos == end) return true;
        uint64_t key = Key(static_cast<size_t>(item), 0xFFFF, pos, end);
        auto found = memo.find(key);
        if (found != memo.end()) return found->second;
        memo[key] = false; // an item that matches the empty text must not loop
        bool result = false;
        for (size_t split = pos + 1; split <= end && !result; ++split)
            result = Sequence(item, 0, pos, split) && Repeated(item, split, end);
        memo[key] = result;
        return result;
    }
};

} // namespace

PatternBuffer *AllocPatternBuffer() { return new PatternBuffer; }

void FreePatternBuffer(PatternBuffer *buffer) { delete buffer; }

int ParseWildcardPattern(const char *pattern, PatternBuffer *buffer) {
    if (!buffer) return -1;
    buffer->sequences.clear();
    buffer->valid = false;
    if (!pattern || strlen(pattern) > kMaxPatternLength) return -1;
    Parser parser{buffer, reinterpret_cast<const unsigned char *>(pattern)};
    parser.ParseSequence();
    if (parser.failed || *parser.p) { // a stray "|" or ")" at the top level
        buffer->sequences.clear();
        return -1;
    }
    buffer->valid = true;
    return parser.wildcards ? 1 : 0;
}

int MatchWildcardPattern(const PatternBuffer *buffer, const char *name) {
    if (!buffer || !buffer->valid || !name) return 0;
    size_t length = strlen(name);
    if (length > kMaxMatchedNameLength) return 0;
    Matcher matcher{buffer, std::string(name, length), {}};
    for (char &c : matcher.text) c = static_cast<char>(Fold(static_cast<unsigned char>(c)));
    return matcher.Sequence(0, 0, 0, length) ? 1 : 0;
}

int MatchWildcard(const char *pattern, const char *name) {
    PatternBuffer buffer;
    if (ParseWildcardPattern(pattern, &buffer) < 0) return -1;
    return MatchWildcardPattern(&buffer, name);
}

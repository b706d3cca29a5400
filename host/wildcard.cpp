#include "host/wildcard.h"

#include <algorithm>
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

// The matcher computes, for each pattern node and text position, the set of positions where a match starting
// there can end; each such set is computed once. It counts the positions it handles: a pattern and name pair
// that needs more than this is refused as no match, so no pattern can exhaust memory or time.
constexpr uint64_t kMaxMatchSteps = uint64_t(1) << 22;

bool IsSingleCharacter(const PatternNode &node) {
    return node.kind == kLiteral || node.kind == kAnyChar || node.kind == kClass;
}

bool CharacterMatches(const PatternNode &node, unsigned char c) {
    if (node.kind == kLiteral) return c == node.c;
    if (node.kind == kClass) return node.set.test(c);
    return true;
}

using EndSet = std::vector<uint32_t>; // sorted, without duplicates

struct Matcher {
    const PatternBuffer *buffer;
    std::string text;
    std::unordered_map<uint64_t, EndSet> memo;
    bool exhausted = false;
    uint64_t steps = 0;

    bool Charge(uint64_t n) {
        steps += n;
        if (steps > kMaxMatchSteps) exhausted = true;
        return !exhausted;
    }

    uint64_t Key(size_t sequence, size_t index, size_t pos) const {
        return (uint64_t(sequence) * (kMaxPatternLength + 2) + index) * (kMaxMatchedNameLength + 2) + pos;
    }

    static void Normalize(EndSet *set) {
        std::sort(set->begin(), set->end());
        set->erase(std::unique(set->begin(), set->end()), set->end());
    }

    // Where a match of sequence[index..] that starts at pos can end.
    EndSet Ends(int sequence, size_t index, size_t pos) {
        const auto &nodes = buffer->sequences[static_cast<size_t>(sequence)];
        if (index == nodes.size()) return {static_cast<uint32_t>(pos)};
        if (exhausted || !Charge(1)) return {};
        uint64_t key = Key(static_cast<size_t>(sequence), index, pos);
        auto found = memo.find(key);
        // Handing out a remembered set costs its size too: unbounded copies of large sets made some
        // patterns take seconds within the step budget.
        if (found != memo.end()) return Charge(found->second.size()) ? found->second : EndSet{};
        EndSet result = Compute(nodes[index], sequence, index, pos);
        Charge(result.size());
        memo.emplace(key, result);
        return result;
    }

    // The union of the rest's end sets over the given start positions.
    EndSet Continue(int sequence, size_t index, const EndSet &starts) {
        EndSet result;
        for (uint32_t start : starts) {
            if (exhausted) return {};
            EndSet part = Ends(sequence, index + 1, start);
            Charge(part.size());
            result.insert(result.end(), part.begin(), part.end());
        }
        Normalize(&result);
        return result;
    }

    EndSet Compute(const PatternNode &node, int sequence, size_t index, size_t pos) {
        size_t length = text.size();
        switch (node.kind) {
        case kLiteral:
        case kAnyChar:
        case kClass:
            if (pos < length && CharacterMatches(node, static_cast<unsigned char>(text[pos])))
                return Ends(sequence, index + 1, pos + 1);
            return {};
        case kEmpty:
            return Ends(sequence, index + 1, pos);
        case kGroup: {
            EndSet starts;
            for (int alternative : node.alternatives) {
                EndSet part = Ends(alternative, 0, pos);
                starts.insert(starts.end(), part.begin(), part.end());
            }
            Normalize(&starts);
            return Continue(sequence, index, starts);
        }
        case kRepeat: {
            EndSet reached = {static_cast<uint32_t>(pos)};
            const PatternNode &item = buffer->sequences[static_cast<size_t>(node.inner)][0];
            if (IsSingleCharacter(item)) { // "#?" and its kin: a run of matching characters
                for (size_t k = pos; k < length && CharacterMatches(item, static_cast<unsigned char>(text[k])); ++k)
                    reached.push_back(static_cast<uint32_t>(k + 1));
                Charge(reached.size());
            } else {
                std::vector<bool> seen(length + 1, false);
                seen[pos] = true;
                for (size_t next = 0; next < reached.size() && !exhausted; ++next) {
                    EndSet part = Ends(node.inner, 0, reached[next]);
                    if (!Charge(part.size())) break;
                    for (uint32_t end : part) {
                        if (!seen[end]) {
                            seen[end] = true;
                            reached.push_back(end);
                        }
                    }
                }
                Normalize(&reached);
            }
            return Continue(sequence, index, reached);
        }
        case kNot: {
            // The negation covers the rest of its sequence: every end the rest cannot reach from here.
            EndSet excluded = Ends(node.inner, 0, pos);
            EndSet result;
            size_t e = 0;
            for (size_t end = pos; end <= length; ++end) {
                while (e < excluded.size() && excluded[e] < end) ++e;
                if (e < excluded.size() && excluded[e] == end) continue;
                result.push_back(static_cast<uint32_t>(end));
            }
            Charge(result.size());
            return result;
        }
        }
        return {};
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
    EndSet ends = matcher.Ends(0, 0, 0);
    bool matched = std::binary_search(ends.begin(), ends.end(), static_cast<uint32_t>(length));
    return matched && !matcher.exhausted ? 1 : 0;
}

int MatchWildcard(const char *pattern, const char *name) {
    PatternBuffer buffer;
    if (ParseWildcardPattern(pattern, &buffer) < 0) return -1;
    return MatchWildcardPattern(&buffer, name);
}

#include "tools/compiler/names.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "tools/compiler/known_names.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

int CompareFolded(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; i++) {
        char x = Lower(a[i]), y = Lower(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

template <size_t N> bool Contains(const char *const (&names)[N], std::string_view name) {
    auto it = std::lower_bound(std::begin(names), std::end(names), name,
                               [](const char *entry, std::string_view key) { return CompareFolded(entry, key) < 0; });
    return it != std::end(names) && CompareFolded(*it, name) == 0;
}

// Edit distance counting a swap of neighbours as one edit, the commonest typing slip.
int Distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); i++) d[i][0] = int(i);
    for (size_t j = 0; j <= b.size(); j++) d[0][j] = int(j);
    for (size_t i = 1; i <= a.size(); i++)
        for (size_t j = 1; j <= b.size(); j++) {
            int cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) && Lower(a[i - 2]) == Lower(b[j - 1]))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

template <class Names> std::string Closest(const Names &names, std::string_view name) {
    // A third of the name may be wrong, at least one letter and at most three: beyond that the suggestion is
    // more often another command than the one meant.
    int allowed = std::clamp(int(name.size()) / 3, 1, 3);
    std::string_view best;
    int bestDistance = allowed + 1;
    for (std::string_view text : names) {
        if (int(text.size()) - int(name.size()) > allowed || int(name.size()) - int(text.size()) > allowed) continue;
        int distance = Distance(name, text);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = text;
        }
    }
    return std::string(best);
}

// The row of a command that reads options, or null.
const KnownOptions *OptionsRow(std::string_view command) {
    auto it = std::lower_bound(std::begin(kKnownOptions), std::end(kKnownOptions), command,
                               [](const KnownOptions &entry, std::string_view key) {
                                   return CompareFolded(entry.command, key) < 0;
                               });
    return it == std::end(kKnownOptions) || CompareFolded(it->command, command) != 0 ? nullptr : &*it;
}

// The keys of a command's options, split from its comma-separated list; empty when it reads none.
std::vector<std::string_view> OptionKeys(std::string_view command) {
    std::vector<std::string_view> keys;
    const KnownOptions *row = OptionsRow(command);
    if (!row) return keys;
    std::string_view list = row->keys;
    while (!list.empty()) {
        size_t comma = list.find(',');
        keys.push_back(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    return keys;
}

} // namespace

bool IsKnownCommand(std::string_view name) { return Contains(kKnownCommands, name); }
bool IsKnownConstant(std::string_view name) { return Contains(kKnownConstants, name); }
std::string SuggestCommand(std::string_view name) { return Closest(kKnownCommands, name); }
std::string SuggestConstant(std::string_view name) { return Closest(kKnownConstants, name); }

std::string CommandSpelling(std::string_view command) {
    auto it = std::lower_bound(std::begin(kKnownCommands), std::end(kKnownCommands), command,
                               [](const char *entry, std::string_view key) { return CompareFolded(entry, key) < 0; });
    return it != std::end(kKnownCommands) && CompareFolded(*it, command) == 0 ? *it : std::string(command);
}

bool TakesOptionsAt(std::string_view command, size_t argument) {
    const KnownOptions *row = OptionsRow(command);
    return row && argument < 32 && (row->arguments >> argument & 1);
}

bool IsKnownOption(std::string_view command, std::string_view key) {
    for (std::string_view known : OptionKeys(command))
        if (CompareFolded(known, key) == 0) return true;
    return false;
}

std::string SuggestOption(std::string_view command, std::string_view key) {
    return Closest(OptionKeys(command), key);
}

std::string SuggestName(std::span<const char *const> names, std::string_view name) { return Closest(names, name); }

// Every registered command is called by name by some test that checks what it did, so a command added later
// cannot go untested. The sweeps, which call every command with junk arguments only to see that nothing crashes,
// do not count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <string>

#include "tests/support/files.h"
#include "tools/compiler/known_names.h"

namespace {

// A test file that walks kKnownCommands or runs RunSweep is a sweep (this file too), found by those names; these
// are not counted either: a sweep's script and the list of what the sweeps leave out.
const char *const kNotCounted[] = {
    "tests/player/extreme_arguments.vls",
    "tests/player/player_test_support.cpp",
};

std::string Lower(std::string text) {
    for (char &c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Script text with its "; line" and "/* block */" comments blanked out.
std::string WithoutScriptComments(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            size_t end = text.find('"', i + 1);
            end = end == std::string::npos ? text.size() : end;
            out.append(text, i, end + 1 - i);
            i = end;
        } else if (text[i] == ';') {
            i = std::min(text.find('\n', i), text.size()) - 1;
        } else if (text.compare(i, 2, "/*") == 0) {
            i = std::min(text.find("*/", i + 2), text.size() - 2) + 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The contents of the string literals of C++ or Python source, one per line, comments skipped. Scripts that
// tests compile are written in them, and names passed to the embedding API ("strlen") too.
std::string StringLiterals(const std::string &text, bool python) {
    std::string out;
    size_t i = 0, n = text.size();
    while (i < n) {
        char c = text[i];
        if ((!python && text.compare(i, 2, "//") == 0) || (python && c == '#')) {
            i = std::min(text.find('\n', i), n);
        } else if (!python && text.compare(i, 2, "/*") == 0) {
            i = std::min(text.find("*/", i + 2), n - 2) + 2;
        } else if (!python && c == 'R' && i + 1 < n && text[i + 1] == '"' && (i == 0 || !IsNameChar(text[i - 1]))) {
            size_t open = text.find('(', i + 2);
            if (open == std::string::npos) break;
            std::string close = ")" + text.substr(i + 2, open - i - 2) + "\"";
            size_t end = std::min(text.find(close, open), n);
            out += text.substr(open + 1, end - open - 1) + "\n";
            i = end + close.size();
        } else if (python && (text.compare(i, 3, "\"\"\"") == 0 || text.compare(i, 3, "'''") == 0)) {
            size_t end = std::min(text.find(text.substr(i, 3), i + 3), n);
            out += text.substr(i + 3, end - i - 3) + "\n";
            i = end + 3;
        } else if (c == '"' || (c == '\'' && (python || i == 0 || !IsNameChar(text[i - 1])))) {
            std::string literal;
            size_t j = i + 1;
            while (j < n && text[j] != c && text[j] != '\n') {
                if (text[j] == '\\' && j + 1 < n) {
                    literal += text[j + 1] == 'n' ? '\n' : text[j + 1];
                    j += 2;
                } else {
                    literal += text[j++];
                }
            }
            if (c == '"' || python) out += literal + "\n";
            i = j + 1;
        } else {
            ++i;
        }
    }
    return out;
}

// Adds the names script text calls, or passes as a function value (Try(RunRexxScript, "x")), in lower case.
void AddCalledNames(const std::string &script, std::set<std::string> &names) {
    size_t i = 0, n = script.size();
    while (i < n) {
        if (!std::isalpha(static_cast<unsigned char>(script[i])) && script[i] != '_') {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < n && IsNameChar(script[i])) ++i;
        char before = ' ';
        for (size_t k = start; k-- > 0;)
            if (!std::isspace(static_cast<unsigned char>(script[k]))) {
                before = script[k];
                break;
            }
        size_t k = i;
        while (k < n && std::isspace(static_cast<unsigned char>(script[k]))) ++k;
        char after = k < n ? script[k] : ' ';
        bool member = start > 0 && (script[start - 1] == '.' || script[start - 1] == '#' || script[start - 1] == ':');
        bool called = after == '(';
        bool passed = (before == '(' || before == ',') && (after == ',' || after == ')');
        if (!member && (called || passed)) names.insert(Lower(script.substr(start, i - start)));
    }
}

std::set<std::string> NamesCalledByTests(const std::filesystem::path &root) {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root / "tests")) {
        if (!entry.is_regular_file()) continue;
        std::string relative = std::filesystem::relative(entry.path(), root).string();
        if (std::find(std::begin(kNotCounted), std::end(kNotCounted), relative) != std::end(kNotCounted)) continue;
        std::string extension = entry.path().extension().string();
        std::string text;
        if (extension == ".vls") {
            text = WithoutScriptComments(ReadFileText(entry.path().string()));
        } else if (extension == ".cpp" || extension == ".h" || extension == ".py") {
            const std::string source = ReadFileText(entry.path().string());
            if (source.find("kKnownCommands") != std::string::npos || source.find("RunSweep(") != std::string::npos)
                continue;
            text = StringLiterals(source, extension == ".py");
            // A literal that is a command's name alone is a call through the embedding API.
            size_t start = 0;
            while (start < text.size()) {
                size_t end = text.find('\n', start);
                names.insert(Lower(text.substr(start, end - start)));
                start = end + 1;
            }
        } else {
            continue;
        }
        AddCalledNames(text, names);
    }
    return names;
}

TEST(CommandsNamed, EveryCommandIsCalledByNameByATest) {
    std::set<std::string> called = NamesCalledByTests(VL_SOURCE_DIR);
    std::string untested;
    int count = 0;
    for (const char *command : kKnownCommands)
        if (!called.count(Lower(command))) {
            untested += std::string(untested.empty() ? "" : " ") + command;
            ++count;
        }
    EXPECT_EQ(untested, "") << count << " commands are called by no test outside the sweeps";
}

// The scan itself: what counts as calling a command and what does not.
TEST(CommandsNamed, ScanFindsCallsNotMentions) {
    std::set<std::string> names;
    AddCalledNames(WithoutScriptComments("Cos(1) ; Tan(1)\nx = t.sin(1) + #ATAN(1)\n/* ASin(1) */ Try(ACos, 2)\n"
                                         "DebugPrint(\"; Exp(1)\")"),
                   names);
    EXPECT_EQ(names, (std::set<std::string>{"cos", "acos", "try", "debugprint", "exp"}));
    std::string literals = StringLiterals("// \"Floor(1)\"\nx = Call(\"Ceil\"); y = 'a'; s = R\"(Abs(2))\" /* \"Sgn(3)\" */",
                                          false);
    EXPECT_EQ(literals, "Ceil\nAbs(2)\n");
    EXPECT_EQ(StringLiterals("# \"Floor(1)\"\nrun('''Abs(1)''', \"Int(2)\", 'Sgn(3)')", true), "Abs(1)\nInt(2)\nSgn(3)\n");
}

} // namespace

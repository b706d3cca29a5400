// Checks of the reference rows against what the handlers do: the argument counts, asked of each handler through
// the CheckArgs probe, and the option keys and error codes the suite saw each command use.
#include "tools/reference/reference_check.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"

namespace {

// The argument counts a synopsis allows: names count, "[...]" is optional, "a | b, c" takes the larger side,
// "..." any number more, and "X(...) or X(...)" either form.
struct SynopsisCounts {
    int minimum = 0, maximum = 0; // maximum kNoMaximum: unbounded
};

constexpr int kUnbounded = 1 << 20;

// Reads a sequence up to "]" or the end of the list; returns {minimum, maximum} with kUnbounded for "...".
std::pair<int, int> SequenceCounts(const std::string &text, size_t &at) {
    int minimum = 0, maximum = 0, bestMinimum = kUnbounded, bestMaximum = 0;
    while (at < text.size() && text[at] != ']') {
        const char c = text[at];
        if (c == '[') {
            at++;
            maximum += SequenceCounts(text, at).second;
            at++; // the "]"
        } else if (c == '|') {
            at++;
            bestMinimum = std::min(bestMinimum, minimum);
            bestMaximum = std::max(bestMaximum, maximum);
            minimum = maximum = 0;
        } else if (text.compare(at, 3, "...") == 0) {
            at += 3;
            maximum = kUnbounded;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '#' || c == '_') {
            while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '#' ||
                                        text[at] == '_'))
                at++;
            minimum++;
            maximum = std::min(maximum + 1, kUnbounded);
        } else {
            at++;
        }
    }
    return {std::min(bestMinimum, minimum), std::max(bestMaximum, maximum)};
}

bool ParseSynopsisCounts(const CommandDoc &doc, SynopsisCounts *out) {
    const std::string synopsis = doc.synopsis, call = std::string(doc.name) + "(";
    int minimum = kUnbounded, maximum = 0, forms = 0;
    for (size_t at = synopsis.find(call); at != std::string::npos; at = synopsis.find(call, at)) {
        at += call.size();
        const size_t close = synopsis.find(')', at);
        if (close == std::string::npos) return false;
        const std::string list = synopsis.substr(at, close - at);
        size_t position = 0;
        auto [low, high] = SequenceCounts(list, position);
        minimum = std::min(minimum, low);
        maximum = std::max(maximum, high);
        forms++;
    }
    if (!forms) return false;
    *out = {minimum, maximum >= kUnbounded ? kNoMaximum : maximum};
    return true;
}

std::string CountsText(int minimum, int maximum) {
    return "{" + std::to_string(minimum) + ", " + (maximum == kNoMaximum ? "kNoMaximum" : std::to_string(maximum)) +
           "}";
}

// The counts a handler checks, asked of the handler itself: CheckArgs hands them to the probe and raises before
// the handler does anything else. False when the handler returned without calling CheckArgs.
int g_probeMinimum, g_probeMaximum;
bool g_probed;

void ProbeArguments(int minimum, int maximum) {
    if (g_probed) return;
    g_probed = true;
    g_probeMinimum = minimum;
    g_probeMaximum = maximum;
}

bool HandlerCounts(VMState *vm, const CommandEntry &row, ArgumentRange *out) {
    g_probed = false;
    ArgumentCountProbe = ProbeArguments;
    SetTop(vm, 0);
    PushNativeFunction(vm, row.handler, row.name);
    ProtectedCall(vm, 0, 0, 0);
    SetTop(vm, 0);
    ArgumentCountProbe = nullptr;
    if (!g_probed) return false;
    // CheckArgs' maximum 0 with a positive minimum means no upper limit.
    *out = {g_probeMinimum, g_probeMaximum == 0 && g_probeMinimum > 0 ? kNoMaximum : g_probeMaximum};
    return true;
}

} // namespace

void CheckArgumentCounts(VMState *vm, const CommandEntry &row, const CommandDoc &doc, Problems &problems) {
    const std::string name = doc.name;
    SynopsisCounts synopsis;
    if (!ParseSynopsisCounts(doc, &synopsis)) problems.push_back("cannot read the arguments of the synopsis of " + name);
    // A handler may read arguments as required past the count its CheckArgs lets through (FloodFill's colours):
    // the synopsis may then ask for more than the minimum.
    else if (synopsis.minimum < doc.arguments.minimum || synopsis.maximum != doc.arguments.maximum)
        problems.push_back(name + ": the synopsis allows " + CountsText(synopsis.minimum, synopsis.maximum) +
                " arguments, the row says " + CountsText(doc.arguments.minimum, doc.arguments.maximum));
    ArgumentRange handler;
    if (!HandlerCounts(vm, row, &handler)) problems.push_back(name + ": the handler checks no argument count");
    else if (handler.minimum != doc.arguments.minimum || handler.maximum != doc.arguments.maximum)
        problems.push_back(name + ": the handler accepts " + CountsText(handler.minimum, handler.maximum) +
                " arguments, the row says " + CountsText(doc.arguments.minimum, doc.arguments.maximum));
}


namespace {

std::set<std::string> RowKeys(const CommandDoc &doc) {
    std::set<std::string> keys;
    if (!doc.options) return keys;
    std::istringstream list(doc.options);
    std::string key;
    while (std::getline(list, key, ',')) {
        key.erase(0, key.find_first_not_of(' '));
        key.erase(key.find_last_not_of(' ') + 1);
        if (!key.empty()) keys.insert(AsciiLower(key));
    }
    return keys;
}

} // namespace

bool ReadSeenCommands(const std::string &folder, SeenCommands *seen) {
    std::error_code error;
    bool any = false;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
        std::ifstream in(entry.path());
        std::string kind, command, what;
        while (in >> kind >> command >> what) {
            any = true;
            if (kind == "option") seen->options[command].insert(what);
            else if (kind == "error") seen->errors[command].insert(std::atoi(what.c_str()));
        }
    }
    return any;
}

const std::vector<int> &CommonErrors() {
    // Beside the argument checks: a wrong type under an option key, memory running out, and a command whose
    // helper library a partial player left out.
    static const std::vector<int> codes = {
        kErrNotEnoughArguments, kErrTooManyArguments,   kErrNumberExpected, kErrStringExpected,
        kErrTableExpected,      kErrFunctionExpected,   kErrWrongUsage,     kErrNumberFieldExpected,
        kErrStringFieldExpected, kErrStringOrNumberExpected, kErrOutOfMemory, kErrLibraryNotRegistered};
    return codes;
}

void CheckSeen(const CommandDoc &doc, const SeenCommands &seen, Problems &problems) {
    const std::string name = doc.name;
    const std::set<std::string> keys = RowKeys(doc);
    if (auto read = seen.options.find(name); read != seen.options.end()) {
        for (const std::string &key : read->second)
            if (!keys.count(key)) problems.push_back(name + ": reads the option " + key + ", which its row lacks");
        for (const std::string &key : keys)
            if (!read->second.count(key))
                problems.push_back(name + ": its row lists the option " + key + ", which it was not seen to read");
    }
    if (auto raised = seen.errors.find(name); raised != seen.errors.end()) {
        const std::vector<int> &common = CommonErrors();
        for (int code : raised->second) {
            if (std::find(common.begin(), common.end(), code) != common.end()) continue;
            if (std::find(std::begin(doc.errors), std::end(doc.errors), code) != std::end(doc.errors)) continue;
            problems.push_back(name + ": raises " + std::to_string(code) + ", which its row does not list");
        }
    }
}

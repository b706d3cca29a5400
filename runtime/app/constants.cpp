// The registries that need no VM: command libraries, constants, and the number and constant-name parsers.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "runtime/app/command.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"

namespace {

std::vector<CommandLibraryRecord> g_libraries;
// Command name (as registered) to its library's name and reference row; made on first use after the libraries
// change.
struct CommandOrigin {
    const char *library;
    const CommandDoc *doc;
};
std::unordered_map<std::string_view, CommandOrigin> g_origins;
bool g_originsStale = true;

const CommandOrigin *FindOrigin(const char *command) {
    if (g_originsStale) {
        g_origins.clear();
        for (const CommandLibraryRecord &record : g_libraries) {
            std::unordered_map<std::string_view, const CommandDoc *> docs;
            for (const CommandDoc *doc = record.reference ? record.reference->commands : nullptr; doc && doc->name;
                 doc++)
                docs[doc->name] = doc;
            for (const CommandEntry *row = record.commands; row && row->name; row++) {
                auto doc = docs.find(row->name);
                g_origins[row->name] = CommandOrigin{record.name.c_str(), doc == docs.end() ? nullptr : doc->second};
            }
        }
        g_originsStale = false;
    }
    auto it = g_origins.find(std::string_view(command));
    return it == g_origins.end() ? nullptr : &it->second;
}

struct ConstantValue {
    std::string name; // as registered, for the string-valued lookup result
    std::string text;
    bool isString = false;
    ConstantEntry entry{};
};
std::unordered_map<std::string, ConstantValue> g_constants;

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

void RegisterCommandLibrary(const CommandEntry *table, const char *libraryName, const LibraryReference *reference) {
    g_originsStale = true;
    for (CommandLibraryRecord &record : g_libraries) {
        if (record.name == libraryName) {
            record.commands = table;
            record.reference = reference;
            return;
        }
    }
    g_libraries.push_back(CommandLibraryRecord{libraryName, table, reference});
}

const char *CommandLibraryOf(const char *command) {
    const CommandOrigin *origin = FindOrigin(command);
    return origin ? origin->library : nullptr;
}

const CommandDoc *FindCommandDoc(const char *command) {
    const CommandOrigin *origin = FindOrigin(command);
    return origin ? origin->doc : nullptr;
}

NativeFn FindCommand(const char *name) {
    std::string lower = AsciiLower(name);
    for (const CommandLibraryRecord &record : g_libraries)
        for (const CommandEntry *row = record.commands; row && row->name; row++)
            if (AsciiLower(row->name) == lower) return row->handler;
    return nullptr;
}

void RegisterConstants(VMState *, const ConstantEntry *table) {
    for (const ConstantEntry *row = table; row && row->name; row++) {
        ConstantValue &value = g_constants[AsciiLower(row->name)];
        value.name = row->name;
        value.isString = row->string != nullptr;
        value.text = row->string ? row->string : "";
        value.entry = ConstantEntry{value.name.c_str(), value.isString ? value.text.c_str() : nullptr, row->number};
    }
}

const ConstantEntry *FindConstant(const char *name) {
    auto it = g_constants.find(AsciiLower(name));
    return it == g_constants.end() ? nullptr : &it->second.entry;
}

void ClearCommandRegistry() {
    g_libraries.clear();
    g_origins.clear();
    g_originsStale = true;
    g_constants.clear();
}

int ParseConstantName(VMState *, const char *text, int *lengthRead, int *isString, double *value,
                      const char **stringValue) {
    const char *p = text;
    if (*p == '#') p++;
    const char *start = p;
    while (IsNameCharacter(*p)) p++;
    std::string name(start, p);
    const ConstantEntry *entry = name.empty() ? nullptr : FindConstant(name.c_str());
    if (!entry) {
        SetErrorArgString(std::string_view(text, static_cast<size_t>(p - text)));
        if (lengthRead) *lengthRead = 0;
        return kErrUnknownConstant;
    }
    if (lengthRead) *lengthRead = static_cast<int>(p - text);
    if (isString) *isString = entry->string ? 1 : 0;
    if (value) *value = entry->number;
    if (stringValue) *stringValue = entry->string;
    return 0;
}

double ParseOptionNumber(const char *text, int *charsRead, int *error) {
    const char *p = text;
    bool negative = false;
    double result = 0;
    auto fail = [&](int code) {
        if (charsRead) *charsRead = 0;
        if (error) *error = code;
        return 0.0;
    };
    if (*p == '-') {
        negative = true;
        p++;
    }
    if (*p == '$' || (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))) {
        p += (*p == '$') ? 1 : 2;
        if (HexDigit(*p) < 0) return fail(kErrGeneralSyntax);
        while (HexDigit(*p) >= 0) result = result * 16 + HexDigit(*p++);
    } else if (*p == '%') {
        p++;
        if (*p != '0' && *p != '1') return fail(kErrValueExpected);
        while (*p == '0' || *p == '1') result = result * 2 + (*p++ - '0');
    } else {
        // A decimal number begins with a digit: ".5" is no number here, unlike in the script language.
        const char *digits = p;
        while (*p >= '0' && *p <= '9') p++;
        if (p == digits) return fail(kErrValueExpected);
        if (*p == '.' && p[1] >= '0' && p[1] <= '9') {
            p++;
            while (*p >= '0' && *p <= '9') p++;
        }
        // An exponent counts only when digits follow it, so "2e" reads as 2 followed by "e".
        if (*p == 'e' || *p == 'E') {
            const char *q = p + 1;
            if (*q == '+' || *q == '-') q++;
            if (*q >= '0' && *q <= '9') {
                while (*q >= '0' && *q <= '9') q++;
                p = q;
            }
        }
        result = strtod(std::string(digits, p).c_str(), nullptr);
    }
    if (charsRead) *charsRead = static_cast<int>(p - text);
    if (error) *error = 0;
    return negative ? -result : result;
}

#include "scene/events/key_names.h"

#include <cstring>
#include <strings.h>

#include "host/charset.h"
#include "host/keys.h"

const KeyNameRow KeyNameTable[kKeyNameRows] = {
    {"TAB", 272},      {"RETURN", 274},     {"ENTER", 273},    {"SPACE", 276},    {"ESC", 275},
    {"UP", 256},       {"DOWN", 257},       {"RIGHT", 258},    {"LEFT", 259},     {"HELP", 260},
    {"BACKSPACE", 271}, {"DEL", 277},       {"F1", 261},       {"F2", 262},       {"F3", 263},
    {"F4", 264},       {"F5", 265},         {"F6", 266},       {"F7", 267},       {"F8", 268},
    {"F9", 269},       {"F10", 270},        {"F11", 278},      {"F12", 279},      {"F13", 287},
    {"F14", 288},      {"F15", 289},        {"F16", 290},      {"INSERT", 280},   {"HOME", 281},
    {"END", 282},      {"PAGEUP", 283},     {"PAGEDOWN", 284}, {"PRINT", 285},    {"PAUSE", 286},
    {"LSHIFT", 0x80010000}, {"RSHIFT", 0x80020000}, {"LALT", 0x80040000}, {"RALT", 0x80080000},
    {"LCOMMAND", 0x80100000}, {"RCOMMAND", 0x80200000}, {"LCONTROL", 0x80400000}, {"RCONTROL", 0x80800000},
};

namespace {

int RowOfCode(int32_t code, int firstRow) {
    for (int i = firstRow; i < kKeyNameKeyRows; i++)
        if (int32_t(KeyNameTable[i].code) == code) return i;
    return -1;
}

} // namespace

std::string CallbackKeyText(int32_t code) {
    switch (code) {
    case KeyTab: return std::string(8, ' ');
    case KeyReturn:
    case KeyEnter: return "\n";
    case KeySpace: return " ";
    default: break;
    }
    int row = RowOfCode(code, kKeyNameEscRow);
    return row >= 0 ? KeyNameTable[row].name : TypedCharacterText(code);
}

std::string LegacyKeyText(int32_t code) {
    int row = RowOfCode(code, 0);
    return row >= 0 ? KeyNameTable[row].name : TypedCharacterText(code);
}

uint32_t LookupKeyArgument(const char *text, size_t length, int withModifiers) {
    if (length == 1) {
        int32_t c = uint8_t(text[0]);
        return IsGraphicChar(c) ? uint32_t(c) : 0;
    }
    int rows = withModifiers ? kKeyNameRows : kKeyNameKeyRows;
    for (int i = 0; i < rows; i++)
        if (strlen(KeyNameTable[i].name) == length && strncasecmp(KeyNameTable[i].name, text, length) == 0)
            return KeyNameTable[i].code;
    return 0;
}

std::string KeyNameHint(const char *text, size_t length, int withModifiers) {
    const std::string given(text, length);
    // A long text is no misspelt key name; it is left out rather than cut.
    std::string hint = length <= 32 ? "\"" + given + "\" names no key" : std::string("The text names no key");
    hint += ": a key is one printable character other than a blank, or one of ";
    std::string close; // a row whose name the text contains ("ARROWLEFT": LEFT)
    const int rows = withModifiers ? kKeyNameRows : kKeyNameKeyRows;
    for (int i = 0; i < rows; i++) {
        const char *name = KeyNameTable[i].name;
        hint += std::string(i == 0 ? "" : i + 1 == rows ? " or " : ", ") + name;
        if (length > strlen(name) && strcasestr(given.c_str(), name) && strlen(name) > close.size()) close = name;
    }
    hint += ".";
    if (!close.empty()) hint += " Did you mean \"" + close + "\"?";
    return hint;
}

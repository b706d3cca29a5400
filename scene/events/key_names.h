// Key names: the table that maps the names scripts use ("ESC", "F1", "LSHIFT") to key codes and qualifier bits,
// and the texts of key events.
#pragma once

#include <cstdint>
#include <string>

struct KeyNameRow {
    const char *name;
    uint32_t code; // 256..290, or a modifier's qualifier bits with 0x80000000
};

constexpr int kKeyNameRows = 43;
constexpr int kKeyNameKeyRows = 35;  // TAB .. PAUSE; the modifier rows follow
constexpr int kKeyNameEscRow = 4;    // callbacks name the rows from ESC on; TAB .. SPACE have texts of their own
extern const KeyNameRow KeyNameTable[kKeyNameRows];

// The "key" text of an OnKeyDown/OnKeyUp message; a character is in the default encoding.
std::string CallbackKeyText(int32_t code);
// The text legacy key rows are compared with.
std::string LegacyKeyText(int32_t code);

// The code a key argument names: one printable, non-blank character gives its code; a longer text is looked up
// (ignoring case) among the key rows, and with modifiers also among the modifier rows. 0 when it names nothing.
uint32_t LookupKeyArgument(const char *text, size_t length, int withModifiers);
// Why a key argument names no key, and the names that do: for the 1055 of the commands that read one.
std::string KeyNameHint(const char *text, size_t length, int withModifiers);
inline bool IsModifierCode(uint32_t code) { return (code & 0x80000000u) != 0; }

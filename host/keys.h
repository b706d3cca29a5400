// Key codes of key events: ISO-8859-1 characters for keys that type one, and these names for the others.
#pragma once

#include <cstdint>

enum KeyNameCode : int32_t {
    KeyUp = 256,
    KeyDown = 257,
    KeyRight = 258,
    KeyLeft = 259,
    KeyHelp = 260,
    KeyF1 = 261, // F1..F10 are 261..270
    KeyF10 = 270,
    KeyBackspace = 271,
    KeyTab = 272,
    KeyEnter = 273, // the keypad's enter
    KeyReturn = 274,
    KeyEscape = 275,
    KeySpace = 276,
    KeyDelete = 277,
    KeyF11 = 278,
    KeyF12 = 279,
    KeyInsert = 280,
    KeyHome = 281,
    KeyEnd = 282,
    KeyPageUp = 283,
    KeyPageDown = 284,
    KeyPrint = 285,
    KeyPause = 286,
    KeyF13 = 287, // F13..F16 are 287..290
    KeyF16 = 290,
};

// A typed character past ISO-8859-1 (only while the default encoding is UTF-8): this bit with its Unicode value.
// Above every name code and the key-state table, so code that knows only ISO-8859-1 keys passes it over.
constexpr int32_t kKeyWideCharacter = 0x1000000;

// Qualifier bits of key events and ReadQualifierKeys; 0x80000000 is always set.
constexpr uint32_t kQualifierAlways = 0x80000000;
constexpr uint32_t kQualifierLeftShift = 0x10000;
constexpr uint32_t kQualifierRightShift = 0x20000;
constexpr uint32_t kQualifierLeftAlt = 0x40000;
constexpr uint32_t kQualifierRightAlt = 0x80000;
constexpr uint32_t kQualifierLeftCommand = 0x100000; // the left "GUI" key
constexpr uint32_t kQualifierRightCommand = 0x200000;
constexpr uint32_t kQualifierControl = 0x400000; // left control
constexpr uint32_t kQualifierRightControl = 0x800000;

// Key codes of the host's portable key symbols (SDL keycodes, which are Unicode for keys that type a
// character): the name codes above for the named keys; for the others the key's own ISO-8859-1 character with
// shift applied to letters, which is what a shortcut (control held) types; typed characters come from the
// keyboard layout's text instead. 0 for keys without a code (modifiers alone and others).
int32_t MapKeySymbol(int32_t symbol, uint32_t qualifiers);

// 1 when the ISO-8859-1 character is printable and not a blank (a fixed table, independent of the locale).
int IsGraphicChar(int32_t c);

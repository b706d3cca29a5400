// Character-set conversion: UTF-8 to 32-bit characters for the text engine, and ISO-8859-1 <-> UTF-8 for the
// clipboard and other system text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// With encoding 1, converts UTF-8 text of byteLength bytes to 32-bit characters: into buffer when 4 x byteLength
// bytes fit in bufferBytes, else into a new block (FreeUtf32Text) and *allocated = 1. Returns 0; non-zero with
// encoding 0 or for text that is not valid UTF-8 (overlong forms, surrogates, values past U+10FFFF, cut
// sequences), in which case the caller takes the bytes as characters.
int ConvertUtf8ToUtf32(const char *text, size_t byteLength, int encoding, uint32_t *buffer, size_t bufferBytes,
                       uint32_t **outCharacters, size_t *outCount, int *allocated);
void FreeUtf32Text(uint32_t *characters);

// Text encodings: bytes are ISO-8859-1 characters, or UTF-8.
constexpr int kEncodingLatin1 = 0;
constexpr int kEncodingUtf8 = 1;
// The script's default encoding, which SetDefaultEncoding sets. Typed text follows it: in UTF-8 the characters
// past ISO-8859-1 are typed too (kKeyWideCharacter, host/keys.h) and key texts are UTF-8.
extern int DefaultEncoding;

// Appends the character's UTF-8 bytes.
void AppendUtf8(std::string *out, uint32_t character);
// A typed character's key code (kKeyWideCharacter set past ISO-8859-1) as text in the default encoding: a UTF-8
// script compares and prints it beside its own strings.
std::string TypedCharacterText(int32_t code);
std::string Latin1ToUtf8(std::string_view latin1);
// Characters past U+00FF become '?'; invalid sequences give one '?' per bad byte.
std::string Utf8ToLatin1(std::string_view utf8);

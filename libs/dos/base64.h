// Base64 with the standard alphabet and "=" padding, as the text form of serialised functions stores it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Text lines hold at most this many characters; an LF goes before the character that would be the next one.
constexpr size_t kBase64LineLength = 72;

// The Base64 text of bytes with LFs between lines and none at the end.
std::string Base64Encode(std::span<const uint8_t> bytes);
// Bytes of 32 and below are skipped; a group with padding ends the text. 0, or kErrInvalidBase64 for a byte outside
// the alphabet, padding in a group's first two places, or text that ends inside a group.
int Base64Decode(const char *text, size_t length, std::vector<uint8_t> *out);

// The linker: a copy of the player with an applet appended, its marker word patched to the applet's offset.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The offset of the marker block in a player image, or -1 when there is none; -2 when there are several (a
// linked program could then be read two ways).
int64_t FindAppletMarker(std::span<const uint8_t> player);

// Appends applet ("VLA" or "VLZ") to player and patches the marker word. False with a message when the player
// has no marker, already carries an applet, or the offset does not fit the word.
bool LinkApplet(std::span<const uint8_t> player, std::span<const uint8_t> applet, std::vector<uint8_t> &out,
                std::string &error);

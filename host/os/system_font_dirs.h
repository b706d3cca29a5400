// Where the machine keeps its fonts.
#pragma once

#include <string>
#include <vector>

// VISTALOOM_FONT_DIRS (colon-separated; set but empty means none) when set, else every directory fontconfig is
// configured with and every directory below them; without duplicates, in order.
std::vector<std::string> SystemFontDirectories();

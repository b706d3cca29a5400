// The commands and constants the player registers, as the compiler knows them (from known_names.h, which
// tools/reference writes from the libraries' tables), so misspelt names are found at compile time.
#pragma once

#include <span>
#include <string>
#include <string_view>

// Names are compared without regard to case.
bool IsKnownCommand(std::string_view name);
bool IsKnownConstant(std::string_view name);

// The registered spelling of the known name closest to a misspelt one, or "" when none is close enough to be
// a likely intent.
std::string SuggestCommand(std::string_view name);
std::string SuggestConstant(std::string_view name);

// A known command's registered spelling ("Box" for "box").
std::string CommandSpelling(std::string_view command);
// Whether a known command reads options (its reference row lists keys) from a table at argument (from 0), and
// whether key is one of them.
bool TakesOptionsAt(std::string_view command, size_t argument);
bool IsKnownOption(std::string_view command, std::string_view key);
// The command's key closest to a misspelt one, as its row spells it, or "".
std::string SuggestOption(std::string_view command, std::string_view key);
// The name of the list closest to a misspelt one (e.g. the @DISPLAY settings), or "".
std::string SuggestName(std::span<const char *const> names, std::string_view name);

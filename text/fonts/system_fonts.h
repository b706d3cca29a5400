// The system's own bitmap fonts, opened by name from the font directories.
#pragma once

#include <cstdint>
#include <string>

#include "text/fonts/font_handle.h"

// The ".font" file of a name (".font" appended unless it ends so), tried as given, under "Fonts/", then in
// "FONTS:": 1 and its path, or 0.
int FindFontFile(const char *name, std::string *path);
// For a name ending in " Regular", " Plain", " Normal" or " Book", optionally followed by a slant word, the
// ".font" file of the name without that word (keeping the slant; " Roman" also tries without it): 1 or 0.
int FindRegularStyleFont(const char *name, std::string *path);
// 1 when a system bitmap font of that name and size opened into the handle, else 0 with the handle left clean.
int OpenOsFont(const char *name, int32_t size, FontHandle *handle);

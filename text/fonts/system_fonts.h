// The system's own bitmap fonts, opened by name from the font directories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/fonts/font_handle.h"

// The ".font" file of a name (".font" appended unless it ends so), tried as given, under "Fonts/", then in
// "FONTS:": 1 and its path, or 0.
int FindFontFile(const char *name, std::string *path);
// For a name ending in " Regular", " Plain", " Normal" or " Book", optionally followed by a slant word, the
// ".font" file of the name without that word (keeping the slant; " Roman" also tries without it): 1 or 0.
int FindRegularStyleFont(const char *name, std::string *path);
struct OutlineTags {
    std::string engine;   // OT_Engine
    std::string fontFile; // the engine's font file, empty when the otag names none
    uint32_t sizeFactor = 0x00010001; // point height over pixel height, 16 bits each
};
// Checks and reads an otag file: the first pair must be OT_FileIdent with the file's length, indirect values must
// lie in the file and their strings end there, and OT_Engine must be present. 1 or 0.
int ParseOutlineTags(const std::vector<uint8_t> &bytes, OutlineTags *out);
// The point height of a pixel size under a size factor; either half 0 counts as 1:1.
uint32_t OutlinePointHeight(int32_t size, uint32_t sizeFactor);

// 1 when a system bitmap font of that name and size opened into the handle, else 0 with the handle left clean.
int OpenOsFont(const char *name, int32_t size, FontHandle *handle);

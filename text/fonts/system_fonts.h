// The system's own fonts, opened by name from the font directories: bitmap .font fonts and outline fonts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/fonts/font_handle.h"
#include "text/fonts/outline_engine.h"

// The ".font" file of a name (".font" appended unless it ends so), tried as given, under "Fonts/", then in
// "FONTS:": 1 and its path, or 0.
int FindFontFile(const char *name, std::string *path);
// For a name ending in " Regular", " Plain", " Normal" or " Book", optionally followed by a slant word, the
// ".font" file of the name without that word (keeping the slant; " Roman" also tries without it): 1 or 0.
int FindRegularStyleFont(const char *name, std::string *path);
// The file names FindFontFile and then FindRegularStyleFont look for under a name, in order (for messages).
std::vector<std::string> OsFontFileNames(const char *name);
// Checks and reads an otag file: the first pair must be OT_FileIdent with the file's length, indirect values must
// lie in the file and their strings end there, and OT_Engine must be present. 1 or 0.
int ParseOutlineTags(const std::vector<uint8_t> &bytes, OutlineTags *out);
// The point height of a pixel size under a size factor; either half 0 counts as 1:1.
uint32_t OutlinePointHeight(int32_t size, uint32_t sizeFactor);

// 1 when a system font of that name and size opened into the handle, else 0 with the handle left clean: a bitmap
// .font (kind 1 or 2 from the own reader), an outline .font or a linked outline font (":::chunk" name, kind 3).
int OpenOsFont(const char *name, int32_t size, FontHandle *handle);

// Outline fonts (kind 3): what the engine draws, measured and drawn by the rules of the outline engines.
// Opens the font the tags describe through the engine at size (point height from the size factor). A temporary
// file, when given, belongs to the font from then on: it is deleted on close and when the open fails. 1 or 0.
int OpenOutlineFontWith(const char *name, int32_t size, const OutlineTags &tags, std::unique_ptr<OutlineEngine> engine,
                        const std::string &temporaryPath, FontHandle *handle);
int MeasureOsText(FontHandle *font, const char *text, size_t length, uint32_t style, int encoding,
                  TextExtentInfo *out);
int RenderOsText(FontHandle *font, const FontRenderTarget &target, int32_t x, int32_t y, const char *text,
                 size_t length, uint32_t style, int encoding, const FontClip &clip, int32_t colour);
// Italic always; bold when the engine takes the emboldening.
int QueryOsFontStyle(const FontHandle *font, uint32_t styleBit);
void SetOsFontScale(FontHandle *font, double scaleX, double scaleY);
// Frees a kind-3 handle's engine data (not the handle).
void CloseOsFont(FontHandle *font);

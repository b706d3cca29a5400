// The system's own bitmap and outline fonts, opened by name from the font directories.
#pragma once

#include <cstdint>

#include "text/fonts/font_handle.h"

// 1 when a system font of that name and size opened into the handle, else 0 with the handle left clean.
// TODO(installed-fonts): open the installed bitmap and outline fonts; until then none is found.
int OpenOsFont(const char *name, int32_t size, FontHandle *handle);

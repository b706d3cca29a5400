#include "text/fonts/system_fonts.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "host/path.h"
#include "runtime/app/utilities.h"
#include "text/fonts/bitmap_font.h"

namespace {

bool OpensAsFile(const std::string &name) {
    std::string host;
    if (!ResolveHostPath(name.c_str(), &host)) return false;
    FILE *file = fopen(host.c_str(), "rb");
    if (file) fclose(file);
    return file != nullptr;
}

} // namespace

int FindFontFile(const char *name, std::string *path) {
    std::string file = name;
    if (AsciiLower(file).size() < 5 || AsciiLower(file).substr(file.size() - 5) != ".font") file += ".font";
    for (const std::string &candidate : {file, "Fonts/" + file, "FONTS:" + file})
        if (OpensAsFile(candidate)) {
            *path = candidate;
            return 1;
        }
    return 0;
}

int FindRegularStyleFont(const char *name, std::string *path) {
    const std::string lower = AsciiLower(name);
    for (const char *word : {"regular", "plain", "normal", "book"})
        for (const char *slant : {"", "oblique", "italic", "roman"}) {
            std::string suffix = std::string(" ") + word;
            if (*slant) suffix += std::string(" ") + slant;
            if (lower.size() <= suffix.size() || lower.compare(lower.size() - suffix.size(), suffix.size(), suffix))
                continue;
            const std::string base(name, lower.size() - suffix.size());
            // The slant keeps the name's own letters: file names here tell case apart.
            const size_t slantLength = strlen(slant);
            const std::string candidate = *slant ? base + " " + std::string(name + lower.size() - slantLength) : base;
            if (FindFontFile(candidate.c_str(), path)) return 1;
            if (std::string(slant) == "roman" && FindFontFile(base.c_str(), path)) return 1;
        }
    return 0;
}

int OpenOsFont(const char *name, int32_t size, FontHandle *handle) {
    std::string path;
    if (!FindFontFile(name, &path) && !FindRegularStyleFont(name, &path)) return 0;
    std::string host;
    FILE *file = ResolveHostPath(path.c_str(), &host) ? fopen(host.c_str(), "rb") : nullptr;
    if (!file) return 0;
    uint8_t id[2] = {};
    const bool read = fread(id, 1, 2, file) == 2;
    fclose(file);
    // Only bitmap fonts, in their designed sizes; colour fonts come out as kind 2 from the same reader.
    if (!read || id[0] != 0x0F || (id[1] != 0x00 && id[1] != 0x02)) return 0;
    if (!LoadBitmapFontFile(path.c_str(), size, handle)) return 0;
    snprintf(handle->name, sizeof handle->name, "%s", name);
    return 1;
}

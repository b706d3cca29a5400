#include "host/os/system_font_dirs.h"

#include "host/os/lazy_library.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>

namespace {

void AddOnce(std::vector<std::string> *list, std::string directory) {
    if (!directory.empty() && std::find(list->begin(), list->end(), directory) == list->end())
        list->push_back(std::move(directory));
}

// Opened when the font directories are first asked for: an applet that names no font never maps it. Without it
// only the directories the player knows of itself are searched.
#define VL_FONTCONFIG_FUNCTIONS(X)                                                                             \
    X(FcInitLoadConfigAndFonts) X(FcConfigGetFontDirs) X(FcStrListNext) X(FcStrListDone) X(FcConfigDestroy)
VL_LAZY_LIBRARY_TABLE(FontconfigFunctions, VL_FONTCONFIG_FUNCTIONS);

} // namespace

std::vector<std::string> SystemFontDirectories() {
    std::vector<std::string> directories;
    if (const char *variable = getenv("VISTALOOM_FONT_DIRS")) {
        std::string list = variable;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(':', start);
            if (end == std::string::npos) end = list.size();
            AddOnce(&directories, list.substr(start, end - start));
            start = end + 1;
        }
        return directories;
    }
    // A configuration with its fonts loaded (from the caches) lists the directories below the configured ones too.
    // It is made and dropped here, so nothing of fontconfig stays behind.
    const FontconfigFunctions *fc = LoadLazyLibrary<FontconfigFunctions>(
        {"libfontconfig.so.1"}, "fontconfig is not available for font directories");
    if (!fc) return directories;
    FcConfig *config = fc->FcInitLoadConfigAndFonts();
    if (!config) return directories;
    if (FcStrList *list = fc->FcConfigGetFontDirs(config)) {
        while (FcChar8 *directory = fc->FcStrListNext(list))
            AddOnce(&directories, reinterpret_cast<const char *>(directory));
        fc->FcStrListDone(list);
    }
    fc->FcConfigDestroy(config);
    return directories;
}

#include "host/os/system_font_dirs.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>

namespace {

void AddOnce(std::vector<std::string> *list, std::string directory) {
    if (!directory.empty() && std::find(list->begin(), list->end(), directory) == list->end())
        list->push_back(std::move(directory));
}

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
    FcConfig *config = FcInitLoadConfigAndFonts();
    if (!config) return directories;
    if (FcStrList *list = FcConfigGetFontDirs(config)) {
        while (FcChar8 *directory = FcStrListNext(list)) AddOnce(&directories, reinterpret_cast<const char *>(directory));
        FcStrListDone(list);
    }
    FcConfigDestroy(config);
    return directories;
}

#include "text/fonts/font_directories.h"

#include "runtime/app/utilities.h"

bool IsRegularStyleName(const char *style) {
    const std::string lower = AsciiLower(style);
    for (const char *word : {"regular", "plain", "normal", "book", "roman"})
        if (lower == word) return true;
    return false;
}

int ResolveTrueTypeFamily(const char *, TrueTypeFamilyPath *) { return 0; }

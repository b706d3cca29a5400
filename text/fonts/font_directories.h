// Finding installed fonts by family name.
#pragma once

#include <cstdint>
#include <string>

// "regular", "plain", "normal", "book" and "roman", without regard to case.
bool IsRegularStyleName(const char *style);

struct TrueTypeFamilyPath {
    std::string path;
    int64_t offset = 0;
    int64_t length = 0;
    bool temporary = false; // a face copied out of a collection, deleted with the face
};
// The file of an installed TrueType family: 1 and where it lies, or 0.
// TODO(installed-fonts): scan the font directories; until then no family is installed.
int ResolveTrueTypeFamily(const char *family, TrueTypeFamilyPath *out);

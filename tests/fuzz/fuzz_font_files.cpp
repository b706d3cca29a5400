// Installed-font files from arbitrary bytes: the 'name' reader over a plain face, a collection or a resource file,
// the copy of each collection face, a .font contents file and an otag file. The first byte picks the kind. Any outcome but a
// crash, a hang or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "text/fonts/font_directories.h"
#include "text/fonts/system_fonts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const uint8_t *bytes = data + 1;
    FontFileReader file;
    file.size = size - 1;
    file.read = [bytes, length = file.size](uint64_t offset, uint8_t *buffer, size_t count) {
        if (offset > length || count > length - offset) return false;
        if (count) memcpy(buffer, bytes + offset, count);
        return true;
    };
    switch (data[0] % 5) {
    case 0: ReadFontFileFaces(file, FontFileKind::Sfnt); break;
    case 1:
        for (const FoundFace &face : ReadFontFileFaces(file, FontFileKind::Collection)) {
            std::vector<uint8_t> copy;
            ExtractCollectionFace(file, face.collectionOffset, &copy);
        }
        break;
    case 2: ReadFontFileFaces(file, FontFileKind::ResourceFile); break;
    case 3: {
        std::vector<uint8_t> sizes;
        ReadFontContentsKind(file, &sizes);
        break;
    }
    default: {
        OutlineTags tags;
        ParseOutlineTags(std::vector<uint8_t>(bytes, bytes + file.size), &tags);
    }
    }
    return 0;
}

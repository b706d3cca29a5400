// LoadPictureDatatype on arbitrary bytes, read in place as the player reads a linked picture. The first byte
// picks the name (bit 0: a ".tga" name, which is what selects the TGA reader) and whether alpha is asked for
// (bit 1); the rest is the file. Any outcome but a crash, a leak or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>

#include "host/bitmap.h"
#include "host/memory.h"
#include "host/picture.h"
#include "host/picture_ilbm.h"
#include "tests/fuzz/fuzz_memory_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // A few bytes may claim a huge picture; decoding one takes far longer than it teaches. Small ones reach the
    // same code.
    static const bool limited = (SetMaxDecodedPixels(int64_t(1) << 18), true);
    (void)limited;
    if (size < 1 || size > 256 * 1024) return 0;
    const uint8_t mode = data[0];
    FuzzMemoryFile file(data + 1, size - 1);
    std::string name = (mode & 1) ? file.ChunkName("picture.tga") : file.ChunkName("picture.pic");
    uint32_t *pixels = nullptr;
    AlphaPlane *alpha = nullptr;
    int64_t transparent = -1;
    int32_t width = 0, height = 0;
    if (LoadPictureDatatype(name.c_str(), (mode & 2) != 0, &pixels, &alpha, &transparent, &width, &height) == 0) {
        // Every pixel the loader reports is there to be read.
        volatile uint32_t sink = 0;
        for (size_t i = 0; i < size_t(width) * size_t(height); i++) sink = sink ^ pixels[i];
        if (alpha)
            for (int32_t y = 0; y < height; y++) sink = sink ^ alpha->bytes[size_t(y) * size_t(alpha->bytesPerRow)];
    }
    FreeBlock(pixels);
    FreeAlphaPlane(alpha);
    return 0;
}

// Random shapes with extreme arguments through the direct draw and the layer's image and region
// (shape_input.h).
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/shape_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    shapefuzz::DrawFuzzedShape(data, size);
    return 0;
}

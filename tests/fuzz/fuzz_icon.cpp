// The icon reader on arbitrary bytes. An icon it accepts must write back to bytes it reads the same way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "host/icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    IconFile icon, again;
    if (!ParseIcon({data, size}, &icon)) return 0;
    if (!ParseIcon(SerialiseIcon(icon), &again) || again.images != icon.images ||
        again.toolTypes != icon.toolTypes || again.defaultTool != icon.defaultTool || again.trailing != icon.trailing)
        std::abort();
    return 0;
}

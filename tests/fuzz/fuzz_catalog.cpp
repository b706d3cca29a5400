// The catalog reader on arbitrary bytes. Any outcome but a crash or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>

#include "host/catalog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ScriptCatalog catalog;
    ParseScriptCatalog({data, size}, &catalog);
    return 0;
}

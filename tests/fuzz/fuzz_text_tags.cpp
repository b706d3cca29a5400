// Bracket and tag soup through the text layout engine: the first byte picks the style bits, alignment and wrap
// width; the rest is the text. Every outcome must be 0 or one of the tag and layout errors.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/graphics_library.h"
#include "imaging/image_ops.h"
#include "runtime/app/runtime_globals.h"
#include "text/layout/text_draw.h"
#include "text/layout/text_library.h"

namespace {

VMState *FuzzVM() {
    static VMState *vm = [] {
        QuietMode = 1;
        VMState *state = NewVMState();
        InitRuntimeSupport(state);
        kGraphicsLibrary.registerLibrary(state);
        kTextLibrary.registerLibrary(state);
        std::atexit([] {
            kTextLibrary.freeAll(vm);
            CloseVMState(vm);
        });
        return state;
    }();
    return vm;
}

bool Listed(int code) {
    switch (code) {
    case 0: case 1000: case 1018: case 1024: case 1055: case 1108: case 1251: case 1252: case 1253: case 1513:
        return true;
    default: return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    VMState *vm = FuzzVM();
    TextDrawParams params = {};
    params.style = GetTextStyle();
    params.style.font = GetCurrentFont();
    params.style.style = (data[0] & 0x0F) == 0 ? kTextNormal : (data[0] & 0x0F) << 1 & ~kTextAntialias;
    static const int32_t kAligns[] = {kAlignLeft, kAlignCenter, kAlignRight, 0};
    params.align = kAligns[data[0] >> 4 & 3];
    params.rightMargin = (data[0] & 0x40) ? 60 : 0;
    params.text.assign(reinterpret_cast<const char *>(data + 1), size - 1);
    RenderedText out;
    const int code = LayoutText(vm, &params, ObjectKindTextObject, DisplayTransform{}, 0, &out);
    FreeImageTriple(&out.image);
    if (!Listed(code)) std::abort();
    return 0;
}

// The text drawing scripts: every tests/text/scripts/*.vls runs on the script harness, on the scene fixture with
// the display, brush, layers, text and transition libraries, windows on SDL's offscreen driver and the virtual clock.
//
//   TestCheckWindow()             the window against a composition of the layer list
//   TestPixel(x, y)               the output's pixel as $RRGGBB text
//   TestCompare(x1, y1, x2, y2, w, h)  pixels that differ between two areas of the output, and whether the first
//                                 holds anything but the background
//   TestObject(id)                a text object's "width height offsetx offsety angle"
//   TestLock(id, delta)           counts a text object's holders up or down; TestTextRecords() the records kept
//   TestObjectPixel(id, x, y)     a text object's pixel: "RRGGBB alpha" (a mask gives 255 or 0)
//   TestCursor()                  "x y" of the text cursor; TestTabs() the tab stops
//   TestKey(code)                 queues a key press as the pump would
//   TestType(text[, key, qualifiers])  the window gets the text as a keyboard layout sends it; with a key, that key
//                                 goes down (with the qualifiers) before the text and up after it
//   TestRedrawLayer(layer)        renders the layer's states again as a transform change does
//   TestFailAllocation(n)         the nth allocation of the text renderer from now fails
//
// TestPrint, TestErrorOf and the expectation comments are the harness's (tests/support/script_harness.h).
#include <cstdio>

#include "fx/transitionfx_library.h"
#include "host/os/input_inject.h"
#include "imaging/blit.h"
#include "imaging/graphics_library.h"
#include "runtime/app/errors.h"
#include "scene/images/brush.h"
#include "scene/images/scene_objects.h"
#include "scene/layers/layers.h"
#include "tests/scene/events_fixture.h"
#include "tests/scene/layer_script_support.h"
#include "text/layout/text_library.h"
#include "text/layout/text_objects.h"
#include "tests/support/files.h"
#include "tests/support/script_harness.h"

namespace {

std::string Hex(uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", rgb & 0xFFFFFF);
    return text;
}

int TestPixel(VMState *vm) {
    const DisplayRecord *d = CurrentDisplay;
    const HostBitmap *b = d->layersEnabled ? d->secondBitmap : CurrentOutputBitmapHook();
    const int32_t x = CheckInt32Arg(vm, 1), y = CheckInt32Arg(vm, 2);
    PushString(vm, (x < 0 || y < 0 || x >= b->width || y >= b->height) ? "out" : Hex(HostBitmapRow32(b, y)[x]).c_str());
    return 1;
}

int TestCompare(VMState *vm) {
    const HostBitmap *b = CurrentOutputBitmapHook();
    const int32_t x1 = CheckInt32Arg(vm, 1), y1 = CheckInt32Arg(vm, 2), x2 = CheckInt32Arg(vm, 3),
                  y2 = CheckInt32Arg(vm, 4), w = CheckInt32Arg(vm, 5), h = CheckInt32Arg(vm, 6);
    int differing = 0, drawn = 0;
    const uint32_t background = HostBitmapRow32(b, 0)[0] & 0xFFFFFF;
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            const uint32_t a = HostBitmapRow32(b, y1 + y)[x1 + x] & 0xFFFFFF, c = HostBitmapRow32(b, y2 + y)[x2 + x] & 0xFFFFFF;
            differing += a != c;
            drawn += a != background;
        }
    PushString(vm, (std::to_string(differing) + (drawn ? " drawn" : " empty")).c_str());
    return 1;
}

TextObject *ObjectArg(VMState *vm) {
    const ObjectId id = IdArg(vm, 1);
    TextObject *object = nullptr;
    if (int error = FindTextObject(id, &object, 0)) RaiseError(vm, error);
    return object;
}

int TestObject(VMState *vm) {
    const TextObject *o = ObjectArg(vm);
    const std::string text = std::to_string(o->image.width) + " " + std::to_string(o->image.height) + " " +
                             std::to_string(o->offsetX) + " " + std::to_string(o->offsetY) + " " +
                             std::to_string(o->transform.rotate);
    PushString(vm, text.c_str());
    return 1;
}

int TestObjectPixel(VMState *vm) {
    const ImageTriple &img = ObjectArg(vm)->image;
    const int32_t x = CheckInt32Arg(vm, 2), y = CheckInt32Arg(vm, 3);
    if (x < 0 || y < 0 || x >= img.width || y >= img.height) RaiseError(vm, kErrWrongUsage);
    const int alpha = img.alpha ? img.alpha->bytes[size_t(y) * size_t(img.alpha->bytesPerRow) + size_t(x)]
                                : (MaskBit(img.mask, x, y) ? 255 : 0);
    const std::string text = (alpha ? Hex(HostBitmapRow32(img.bitmap, y)[x]) : std::string("------")) + " " +
                             std::to_string(alpha);
    PushString(vm, text.c_str());
    return 1;
}

int TestCursor(VMState *vm) {
    const std::string text = std::to_string(CurrentDisplay->cursorX) + " " + std::to_string(CurrentDisplay->cursorY);
    PushString(vm, text.c_str());
    return 1;
}

int TestTabs(VMState *vm) {
    std::string text;
    for (int32_t i = 0; i < CurrentDisplay->tabCount; i++) text += (i ? " " : "") + std::to_string(CurrentDisplay->tabStops[i]);
    PushString(vm, text.c_str());
    return 1;
}

int TestKey(VMState *vm) {
    QueueEvent(CurrentDisplay, kEventKey, 1, int32_t(0x80000000u), CheckInt32Arg(vm, 1));
    return 0;
}

int TestType(VMState *vm) {
    const HostWindow *window = CurrentDisplay->hostWindow;
    const int32_t key = OptInt32Arg(vm, 2, 0);
    if (key) InjectKey(window, key, 1, uint32_t(OptNumberArg(vm, 3, 0)));
    if (const char *text = CheckStringArg(vm, 1, nullptr); *text) InjectText(window, text);
    if (key) InjectKey(window, key, 0, 0);
    return 0;
}

int TestLock(VMState *vm) {
    ObjectArg(vm)->lockCount += CheckInt32Arg(vm, 2);
    return 0;
}

int TestTextRecords(VMState *vm) {
    PushNumber(vm, double(TextObjectList().size()));
    return 1;
}

int TestRedrawLayer(VMState *vm) {
    vlLayer *layer = GetNthLayer(CurrentBGPic, CheckLayerArg(vm, 1));
    if (!layer) RaiseError(vm, kErrWrongUsage);
    if (int error = UpdateLayerImage(vm, layer, 0)) RaiseError(vm, error);
    return 0;
}

int TestFailAllocation(VMState *vm) {
    TextAllocFailAfter = CheckInt32Arg(vm, 1);
    return 0;
}

const CommandEntry kTextCommands[] = {
    {"TestPixel", TestPixel},   {"TestCompare", TestCompare},         {"TestObject", TestObject},
    {"TestObjectPixel", TestObjectPixel},                             {"TestCursor", TestCursor},
    {"TestTabs", TestTabs},     {"TestKey", TestKey},                 {"TestFailAllocation", TestFailAllocation},
    {"TestType", TestType},
    {"TestLock", TestLock},     {"TestTextRecords", TestTextRecords}, {"TestRedrawLayer", TestRedrawLayer},
    {nullptr, nullptr},
};

std::string ScriptsDirectory() { return std::string(VL_SOURCE_DIR) + "/tests/text/scripts"; }

class TextScript : public EventFixture, public testing::WithParamInterface<std::string> {};

TEST_P(TextScript, BehavesAsItsCommentsSay) {
    const std::string path = ScriptsDirectory() + "/" + GetParam();
    const std::string source = ReadFileText(path);
    ScriptExpectations expected;
    ScriptRunResult run;
    std::vector<uint8_t> chunk;
    ASSERT_EQ(PrepareScriptChunk(source, path, ScriptsDirectory(), expected, chunk, run), "");

    ASSERT_EQ(layertest::SetUpLayerScripts(vm, &run.output), 0);
    kGraphicsLibrary.registerLibrary(vm);
    kTextLibrary.registerLibrary(vm);
    kTransitionFxLibrary.registerLibrary(vm);
    RegisterScriptTestCommands(vm, &run, {kTextCommands});
    RunScriptChunk(vm, chunk, GetParam(), run);
    TextAllocFailAfter = 0;
    layertest::TearDownLayerScripts(vm, display);
    kTextLibrary.freeAll(vm);
    MaskAddresses(run.output);
    EXPECT_EQ(CompareRun(expected, run), "") << GetParam();
}

std::string TestName(const testing::TestParamInfo<std::string> &info) { return ScriptTestName(info.param); }

INSTANTIATE_TEST_SUITE_P(Scripts, TextScript, testing::ValuesIn(ScriptFilesBelow(ScriptsDirectory())), TestName);

} // namespace

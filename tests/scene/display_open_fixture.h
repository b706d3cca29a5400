// Displays with windows on SDL's offscreen driver: the display and brush libraries registered on the test VM,
// helpers that call their commands with option tables, and the teardown of windows, screens and brushes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/input.h"
#include "host/screen.h"
#include "imaging/async_draw.h"
#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/position.h"
#include "host/os/input_inject.h"
#include "host/window.h"
#include "runtime/app/command.h"
#include "runtime/app/hooks.h"
#include "scene/display/display_library.h"
#include "scene/display/display_open.h"
#include "scene/display/display_startup.h"
#include "scene/images/brush.h"
#include "scene/images/brush_library.h"
#include "tests/scene/scene_fixture.h"

namespace displaytest {

using scenetest::Options;

inline std::string BrushData(const char *name) { return std::string(VL_SOURCE_DIR) + "/tests/data/scene/brushes/" + name; }

// The other scene tests in this binary run without a display library.
inline void ClearDisplayLibraryHooks() {
    RefreshDisplayHook = nullptr;
    OpenFirstDisplayHook = nullptr;
    DisplayScalesItselfHook = nullptr;
    ResizeDisplayHook = nullptr;
    CurrentOutputBitmapHook = nullptr;
    CurrentOutputSizeHook = nullptr;
    CurrentDisplayHook = nullptr;
    DisplayPresentTargetHook = nullptr;
    DisplayModeSwitchHook = nullptr;
    UserResizedDisplayHook = nullptr;
}

struct DisplayTest : scenetest::SceneTest {
    void SetUp() override {
        SceneTest::SetUp();
        ASSERT_EQ(EnsureVideo(), 0);
        RegisterDisplayLibrary(vm);
        RegisterBrushLibrary(vm);
    }
    void TearDown() override {
        CurrentDisplay = nullptr;
        FreeAllDisplays(vm);
        FreeAllBrushes();
        if (OwnScreenOpen()) CloseOwnScreen();
        SetHeadlessScreenSize(0, 0);
        OwnScreenFlag = 0;
        AutomaticBackfill = 0;
        BackfillDisplayId = BackfillBGPicId = BackfillBrushId = ObjectId{};
        ScreenDepthHook = nullptr;
        RebuildAllAnimsHook = RebuildAllSpritesHook = MakePendingFontBitmapsHook = nullptr;
        SceneTest::TearDown();
        ClearDisplayLibraryHooks();
    }
    // Calls a registered command: the arguments, then (when given) an option table as the last argument.
    int Cmd(const char *name, std::vector<vmtest::Arg> args, const std::optional<Options> &table = std::nullopt) {
        NativeFn handler = FindCommand(name);
        EXPECT_NE(handler, nullptr) << name;
        int code = vmtest::RunCommand(vm, [&](VMState *v) {
            for (const vmtest::Arg &a : args) vmtest::PushArg(v, a);
            if (table) scenetest::PushOptions(v, *table);
            return handler(v);
        });
        return code;
    }
    // The handle a command left on the stack.
    void *ResultHandle() {
        void *h = ToHandle(vm, -1);
        SetTop(vm, 0);
        return h;
    }
    // A closed display made by CreateDisplay, or null.
    DisplayRecord *Make(int32_t number, const Options &options) {
        DisplayRecord *d = nullptr;
        EXPECT_EQ(Create(number, options, &d), 0);
        return d;
    }
    DisplayRecord *MakeCurrent(int32_t number, const Options &options) {
        DisplayRecord *d = Make(number, options);
        if (d) {
            CurrentDisplay = d;
            CurrentBGPic = d->picture;
        }
        return d;
    }
    int32_t ScreenWidth() { return int32_t(QueryBitMapAttr(nullptr, 14)); }
    int32_t ScreenHeight() { return int32_t(QueryBitMapAttr(nullptr, 15)); }
};

// What the window shows, read back from the window system.
inline std::vector<uint32_t> WindowPixels(const HostWindow *window) {
    std::vector<uint32_t> pixels(size_t(window->width) * size_t(window->height));
    if (ReadWindowPixels(window, pixels.data()) != 0) pixels.clear();
    return pixels;
}

} // namespace displaytest

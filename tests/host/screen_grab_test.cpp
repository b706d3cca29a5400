// Reading the screen: a headless driver shows no desktop, so a grab fails with a reason instead of a black
// picture; under Xvfb (when installed) a known picture on the root window comes back pixel for pixel.
#include "host/screen.h"
#include "host/subprocess.h"
#include "runtime/app/errors.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cstdlib>
#include <string>

#include <X11/Xlib.h> // last: its macros clash with names in the headers above

// SDL talks to D-Bus once a display is named, and libdbus keeps a buffer to the end.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace {

TEST(ScreenGrab, HeadlessDriverShowsNoDesktopToRead) {
    ASSERT_EQ(EnsureVideo(), 0); // the tests' driver: offscreen
    int error = 0;
    EXPECT_EQ(GrabScreenRect(0, 0, 8, 4, 0, &error), nullptr);
    EXPECT_EQ(GetErrorText(error), "Cannot read the screen: the offscreen video driver shows no desktop!");
    EXPECT_EQ(GrabScreenRect(0, 0, 0, 4, 0, &error), nullptr);
    EXPECT_EQ(error, kErrWrongUsage);
}

// A 64 x 48 Xvfb server on the display number it picks, named in DISPLAY for SDL and Xlib while it runs.
struct Xvfb {
    pid_t pid = -1;
    std::string display, saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    Xvfb(int depth, const char *extensionOff) {
        const std::string program = FindProgramOnPath("Xvfb"), screen = "64x48x" + std::to_string(depth);
        int fds[2];
        if (program.empty() || pipe(fds) != 0) return;
        if ((pid = fork()) == 0) {
            // -noreset: a server that resets when its last client leaves refuses the next one meanwhile.
            execl(program.c_str(), "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-noreset",
                  "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-extension", extensionOff,
                  static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char number[16] = {};
        if (pid > 0 && read(fds[0], number, sizeof number - 1) > 0)
            display = ":" + std::to_string(atoi(number));
        close(fds[0]);
        ShutdownVideo();
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        unsetenv("WAYLAND_DISPLAY"); // the real desktop's portal is not to be asked
    }
    ~Xvfb() {
        ShutdownVideo();
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (saved.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", saved.c_str(), 1);
        if (pid > 0) kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
    }
};

unsigned long PixelOf(const Visual *visual, uint32_t rgb) {
    auto scale = [](uint32_t value, unsigned long mask) {
        return (((value * ((mask >> std::countr_zero(mask)) + 1)) >> 8) << std::countr_zero(mask)) & mask;
    };
    return scale(rgb >> 16 & 0xFF, visual->red_mask) | scale(rgb >> 8 & 0xFF, visual->green_mask) |
           scale(rgb & 0xFF, visual->blue_mask);
}

// A 24-bit screen keeps every value; a 16-bit one only those whose channels are 0 or 255.
uint32_t Gradient(int x, int y) {
    return uint32_t(x * 4) << 16 | uint32_t(y * 5) << 8 | uint32_t(x + y);
}
uint32_t Primaries(int x, int y) {
    const int c = (x * 3 + y * 5) % 8;
    return (c & 1 ? 0xFF0000u : 0) | (c & 2 ? 0xFF00u : 0) | (c & 4 ? 0xFFu : 0);
}

TEST(ScreenGrab, RootWindowOfAnX11ServerComesBackAsShown) {
    struct Case {
        int depth;
        const char *extensionOff; // without shared memory the pixels come by the plain request
        uint32_t (*pattern)(int, int);
    };
    for (const Case &c : {Case{24, "GLX", Gradient}, Case{16, "MIT-SHM", Primaries}}) {
        SCOPED_TRACE(c.depth);
        Xvfb server(c.depth, c.extensionOff);
        if (server.display.empty()) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_EQ(EnsureVideo(), 0);
        Display *x = XOpenDisplay(nullptr);
        ASSERT_NE(x, nullptr);
        const Window root = DefaultRootWindow(x);
        const Pixmap picture = XCreatePixmap(x, root, 64, 48, unsigned(DefaultDepth(x, 0)));
        GC gc = XCreateGC(x, picture, 0, nullptr);
        for (int py = 0; py < 48; py++)
            for (int px = 0; px < 64; px++) {
                XSetForeground(x, gc, PixelOf(DefaultVisual(x, 0), c.pattern(px, py)));
                XDrawPoint(x, picture, gc, px, py);
            }
        XSetWindowBackgroundPixmap(x, root, picture);
        XClearWindow(x, root);
        XSync(x, False);

        int error = 0, wrong = 0;
        HostBitmap *grab = GrabScreenRect(3, 2, 20, 10, 0, &error);
        ASSERT_NE(grab, nullptr) << GetErrorText(error);
        for (int py = 0; py < 10; py++)
            for (int px = 0; px < 20; px++)
                wrong += HostBitmapRow32(grab, py)[px] != c.pattern(px + 3, py + 2);
        EXPECT_EQ(wrong, 0);
        FreeHostBitmap(grab);
        // Past the root window's edge there is nothing to read: black.
        grab = GrabScreenRect(60, 44, 8, 8, 0, &error);
        ASSERT_NE(grab, nullptr) << GetErrorText(error);
        EXPECT_EQ(HostBitmapRow32(grab, 3)[3], c.pattern(63, 47));
        EXPECT_EQ(HostBitmapRow32(grab, 4)[3] | HostBitmapRow32(grab, 3)[4], 0u);
        FreeHostBitmap(grab);
        XFreeGC(x, gc);
        XCloseDisplay(x);
    }
}

} // namespace

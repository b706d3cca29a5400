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
extern "C" const char *__lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

TEST(ScreenGrab, HeadlessDriverShowsNoDesktopToRead) {
    ASSERT_EQ(EnsureVideo(), 0); // the tests' driver: offscreen
    int error = 0;
    EXPECT_EQ(GrabScreenRect(0, 0, 8, 4, 0, &error), nullptr);
    EXPECT_EQ(error, kErrScreenUnreadable);
    EXPECT_EQ(GetErrorText(error), "Cannot read the screen: the offscreen video driver shows no desktop!");
    EXPECT_EQ(GrabScreenRect(0, 0, 0, 4, 0, &error), nullptr);
    EXPECT_EQ(error, kErrWrongUsage);
}

// An Xvfb server of 64 x 48 at a depth, on the display number it picks itself.
struct Xvfb {
    pid_t pid = -1;
    std::string display;
    explicit Xvfb(int depth) {
        const std::string program = FindProgramOnPath("Xvfb");
        int fds[2];
        if (program.empty() || pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]), screen = "64x48x" + std::to_string(depth);
            execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
                  "tcp", "-noreset", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buffer[16] = {};
        ssize_t n = pid > 0 ? read(fds[0], buffer, sizeof buffer - 1) : -1;
        close(fds[0]);
        if (n > 0) display = ":" + std::string(buffer, size_t(n - (buffer[n - 1] == '\n')));
    }
    ~Xvfb() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

// Points SDL and Xlib at a server for one scope; the next test in this process gets its environment back.
struct UseDisplay {
    std::string saved[3];
    bool had[3] = {};
    static constexpr const char *kNames[3] = {"DISPLAY", "SDL_VIDEODRIVER", "WAYLAND_DISPLAY"};
    explicit UseDisplay(const std::string &display) {
        for (int i = 0; i < 3; i++)
            if (const char *value = std::getenv(kNames[i])) saved[i] = value, had[i] = true;
        ShutdownVideo();
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        unsetenv("WAYLAND_DISPLAY");
    }
    ~UseDisplay() {
        ShutdownVideo();
        for (int i = 0; i < 3; i++)
            if (had[i]) setenv(kNames[i], saved[i].c_str(), 1);
            else unsetenv(kNames[i]);
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
uint32_t Gradient(int x, int y) { return uint32_t(x * 4) << 16 | uint32_t(y * 5) << 8 | uint32_t(x + y); }
uint32_t Primaries(int x, int y) {
    const int c = (x * 3 + y * 5) % 8;
    return (c & 1 ? 0xFF0000u : 0) | (c & 2 ? 0xFF00u : 0) | (c & 4 ? 0xFFu : 0);
}

TEST(ScreenGrab, RootWindowOfAnX11ServerComesBackAsShown) {
    struct Case {
        int depth;
        uint32_t (*pattern)(int, int);
    };
    for (const Case &c : {Case{24, Gradient}, Case{16, Primaries}}) {
        SCOPED_TRACE(c.depth);
        Xvfb server(c.depth);
        if (server.display.empty()) GTEST_SKIP() << "Xvfb is not installed";
        UseDisplay use(server.display);
        ASSERT_EQ(EnsureVideo(), 0);

        Display *x = XOpenDisplay(nullptr);
        ASSERT_NE(x, nullptr);
        const Window root = DefaultRootWindow(x);
        const Visual *visual = DefaultVisual(x, DefaultScreen(x));
        const Pixmap picture = XCreatePixmap(x, root, 64, 48, unsigned(DefaultDepth(x, DefaultScreen(x))));
        GC gc = XCreateGC(x, picture, 0, nullptr);
        for (int py = 0; py < 48; py++)
            for (int px = 0; px < 64; px++) {
                XSetForeground(x, gc, PixelOf(visual, c.pattern(px, py)));
                XDrawPoint(x, picture, gc, px, py);
            }
        XSetWindowBackgroundPixmap(x, root, picture);
        XClearWindow(x, root);
        XSync(x, False);

        int error = 0;
        HostBitmap *grab = GrabScreenRect(3, 2, 20, 10, 0, &error);
        ASSERT_NE(grab, nullptr) << GetErrorText(error);
        int wrong = 0;
        for (int py = 0; py < 10; py++)
            for (int px = 0; px < 20; px++) wrong += HostBitmapRow32(grab, py)[px] != c.pattern(px + 3, py + 2);
        EXPECT_EQ(wrong, 0);
        FreeHostBitmap(grab);
        // Past the root window's edge there is nothing to read: black.
        grab = GrabScreenRect(60, 44, 8, 8, 0, &error);
        ASSERT_NE(grab, nullptr) << GetErrorText(error);
        EXPECT_EQ(HostBitmapRow32(grab, 3)[3], c.pattern(63, 47));
        EXPECT_EQ(HostBitmapRow32(grab, 4)[3], 0u);
        EXPECT_EQ(HostBitmapRow32(grab, 3)[4], 0u);
        FreeHostBitmap(grab);

        XFreeGC(x, gc);
        XFreePixmap(x, picture);
        XCloseDisplay(x);
    }
}

} // namespace

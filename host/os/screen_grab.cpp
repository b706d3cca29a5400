// Reading the desktop's pixels: the X11 root window through libX11, on Wayland the desktop portal's
// screenshot (host/os/screen_grab_portal.cpp). Both libraries are opened at the first grab, so a player that
// never reads the screen never loads them.
#include "host/os/screen_grab.h"

#include "host/os/lazy_library.h"
#include "host/screen.h"
#include "runtime/app/errors.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

ScreenGrabBackend grabBackend = nullptr;

#define VL_X11_FUNCTIONS(X)                                                                                    \
    X(XOpenDisplay) X(XCloseDisplay) X(XDefaultRootWindow) X(XGetWindowAttributes) X(XGetImage)                \
    X(XSetErrorHandler) X(XSync)
VL_LAZY_LIBRARY_TABLE(X11Api, VL_X11_FUNCTIONS);

// The MIT-SHM extension: the server writes the pixels into memory shared with us instead of sending them.
#define VL_SHM_FUNCTIONS(X) X(XShmQueryExtension) X(XShmCreateImage) X(XShmAttach) X(XShmDetach) X(XShmGetImage)
VL_LAZY_LIBRARY_TABLE(ShmApi, VL_SHM_FUNCTIONS);

// Without an X server library the grab fails with its own error (or the portal is used): nothing is said here.
const X11Api *LoadX11() { return LoadLazyLibrary<X11Api>({"libX11.so.6"}, nullptr); }
const ShmApi *LoadShm() { return LoadLazyLibrary<ShmApi>({"libXext.so.6"}, nullptr); }

// Xlib's default handler ends the process; a failed request here only fails the grab.
int xRequestFailed = 0;
int NoteXError(Display *, XErrorEvent *) {
    xRequestFailed = 1;
    return 0;
}

// A channel of a TrueColor pixel scaled to 8 bits.
uint32_t Channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const uint64_t value = (pixel & mask) >> shift;
    if (bits >= 8) return uint32_t(value >> (bits - 8));
    return uint32_t(value * 255 / ((uint64_t(1) << bits) - 1));
}

void CopyImage(XImage *image, HostBitmap *into, int32_t toX, int32_t toY) {
    const bool plain32 = image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                         image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
                         image->blue_mask == 0xFF;
    for (int y = 0; y < image->height; y++) {
        uint32_t *row = HostBitmapRow32(into, toY + y) + toX;
        if (plain32) {
            const auto *from =
                reinterpret_cast<const uint32_t *>(image->data + ptrdiff_t(y) * image->bytes_per_line);
            for (int x = 0; x < image->width; x++)
                row[x] = from[x] & 0xFFFFFF;
            continue;
        }
        for (int x = 0; x < image->width; x++) {
            const unsigned long p = image->f.get_pixel(image, x, y);
            row[x] = Channel(p, image->red_mask) << 16 | Channel(p, image->green_mask) << 8 |
                     Channel(p, image->blue_mask);
        }
    }
}

// Runs requests with the error handler that notes failures; true when none failed.
template <typename F> bool Checked(const X11Api *x11, Display *display, F requests) {
    x11->XSync(display, False);
    xRequestFailed = 0;
    auto previous = x11->XSetErrorHandler(NoteXError);
    requests();
    x11->XSync(display, False);
    x11->XSetErrorHandler(previous);
    return !xRequestFailed;
}

// The root window's rectangle through shared memory, copied into the bitmap; false when the extension is
// missing or the server cannot share memory with us (a remote display), so that the plain request is tried.
bool ReadRootShared(const X11Api *x11, Display *display, Window root, const XWindowAttributes &attributes,
                    int32_t x, int32_t y, int32_t width, int32_t height, HostBitmap *into) {
    const ShmApi *shm = LoadShm();
    if (!shm || !shm->XShmQueryExtension(display)) return false;
    XShmSegmentInfo segment{};
    XImage *image = shm->XShmCreateImage(display, attributes.visual, unsigned(attributes.depth), ZPixmap, nullptr,
                                     &segment, unsigned(width), unsigned(height));
    if (!image) return false;
    bool read = false;
    segment.shmid =
        shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(image->height), IPC_CREAT | 0600);
    if (segment.shmid >= 0) {
        segment.shmaddr = image->data = static_cast<char *>(shmat(segment.shmid, nullptr, 0));
        if (segment.shmaddr != reinterpret_cast<char *>(-1)) {
            segment.readOnly = False;
            if (Checked(x11, display, [&] { shm->XShmAttach(display, &segment); })) {
                read = Checked(x11, display, [&] { shm->XShmGetImage(display, root, image, x, y, AllPlanes); }) &&
                       image->red_mask && image->green_mask && image->blue_mask;
                if (read) CopyImage(image, into, 0, 0);
                Checked(x11, display, [&] { shm->XShmDetach(display, &segment); });
            }
            shmdt(segment.shmaddr);
        }
        shmctl(segment.shmid, IPC_RMID, nullptr);
    }
    image->data = nullptr; // the segment is not the image's to free
    image->f.destroy_image(image);
    return read;
}

int Unreadable(const std::string &why) {
    SetErrorArgString(why);
    return kErrScreenUnreadable;
}

bool IsSet(const char *name) {
    const char *value = std::getenv(name);
    return value && *value;
}

} // namespace

int GrabX11Screen(int32_t x, int32_t y, HostBitmap *into) {
    const X11Api *x11 = LoadX11();
    if (!x11) return Unreadable("libX11 cannot be loaded");
    Display *display = x11->XOpenDisplay(nullptr);
    if (!display) {
        const char *name = std::getenv("DISPLAY");
        return Unreadable(std::string("the X11 display ") + (name ? name : "") + " cannot be opened");
    }
    const Window root = x11->XDefaultRootWindow(display);
    XWindowAttributes attributes{};
    int result = 0;
    if (!x11->XGetWindowAttributes(display, root, &attributes)) {
        result = Unreadable("the X11 root window cannot be examined");
    } else {
        // Outside the root window there are no pixels: that part stays black.
        const int32_t width = std::min(into->width, attributes.width - x);
        const int32_t height = std::min(into->height, attributes.height - y);
        if (width > 0 && height > 0 &&
            !ReadRootShared(x11, display, root, attributes, x, y, width, height, into)) {
            XImage *image = nullptr;
            const bool sent = Checked(x11, display, [&] {
                image =
                    x11->XGetImage(display, root, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
            });
            if (!image || !sent) {
                result = Unreadable("the X11 server refused to give the root window's pixels");
            } else if (!image->red_mask || !image->green_mask || !image->blue_mask) {
                result = Unreadable("the X11 screen has no true-colour pixels");
            } else {
                CopyImage(image, into, 0, 0);
            }
            if (image) image->f.destroy_image(image);
        }
    }
    x11->XCloseDisplay(display);
    return result;
}

void SetScreenGrabBackend(ScreenGrabBackend backend) {
    grabBackend = backend;
}

HostBitmap *GrabScreenRect(int32_t x, int32_t y, int32_t width, int32_t height, int, int *error) {
    int dummy = 0;
    int &failure = error ? *error : dummy;
    failure = 0;
    if (width < 1 || height < 1 || x < 0 || y < 0) {
        failure = kErrWrongUsage;
        return nullptr;
    }
    HostBitmap *bitmap = AllocHostBitmap(width, height);
    if (!bitmap) {
        failure = kErrOutOfMemory;
        return nullptr;
    }
    failure = [&] {
        if (grabBackend) return grabBackend(x, y, bitmap);
        if (EnsureVideo() != 0) return Unreadable("no video driver is available");
        const char *driver = SDL_GetCurrentVideoDriver();
        const std::string name = driver ? driver : "";
        if (name == "offscreen" || name == "dummy")
            return Unreadable("the " + name + " video driver shows no desktop");
        // A Wayland desktop shows its own windows only through the portal; its X11 root (XWayland) is what is
        // left when there is no portal.
        if (name == "wayland" || IsSet("WAYLAND_DISPLAY")) {
            const int r = GrabPortalScreen(x, y, bitmap);
            if (r != kGrabUnavailable) return r;
        }
        if (name == "x11" || IsSet("DISPLAY")) return GrabX11Screen(x, y, bitmap);
        return Unreadable("neither an X11 display nor a desktop portal is available");
    }();
    if (failure) {
        FreeHostBitmap(bitmap);
        return nullptr;
    }
    return bitmap;
}

// The screen of a Wayland desktop: only the compositor may read it, so the desktop portal is asked for a
// screenshot over the session bus (GIO's GDBus, opened at the first grab) and the picture file it names is
// read with the picture loader.
#include "host/os/screen_grab.h"

#include "host/memory.h"
#include "host/os/lazy_library.h"
#include "host/picture.h"
#include "runtime/app/errors.h"

#if VL_HAVE_GIO
#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
#include <string>

namespace {

#define VL_GIO_FUNCTIONS(X)                                                                                    \
    X(g_bus_get_sync) X(g_dbus_connection_get_unique_name) X(g_dbus_connection_signal_subscribe)               \
    X(g_dbus_connection_signal_unsubscribe) X(g_dbus_connection_call_sync) X(g_variant_new_parsed)             \
    X(g_variant_get) X(g_variant_lookup) X(g_variant_unref) X(g_object_unref) X(g_error_free)                  \
    X(g_main_context_new) X(g_main_context_push_thread_default) X(g_main_context_pop_thread_default)           \
    X(g_main_context_iteration) X(g_main_context_unref) X(g_timeout_source_new_seconds) X(g_source_set_callback) \
    X(g_source_attach) X(g_source_destroy) X(g_source_unref) X(g_filename_from_uri) X(g_free)
VL_LAZY_LIBRARY_TABLE(GioApi, VL_GIO_FUNCTIONS);

// Without GIO there is no portal to ask: the grab says it is unavailable.
const GioApi *LoadGio() { return LoadLazyLibrary<GioApi>({"libgio-2.0.so.0"}, nullptr); }

// The portal may ask the user first; an unanswered request gives up after this long.
constexpr guint kAnswerSeconds = 120;

struct Reply {
    const GioApi *gio = nullptr;
    bool done = false;
    bool timedOut = false;
    guint32 response = 2;
    std::string path;
};

void OnResponse(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *,
                GVariant *parameters, gpointer data) {
    auto *reply = static_cast<Reply *>(data);
    const GioApi &g = *reply->gio;
    GVariant *results = nullptr;
    g.g_variant_get(parameters, "(u@a{sv})", &reply->response, &results);
    const gchar *uri = nullptr;
    if (reply->response == 0 && results && g.g_variant_lookup(results, "uri", "&s", &uri)) {
        if (gchar *path = g.g_filename_from_uri(uri, nullptr, nullptr)) {
            reply->path = path;
            g.g_free(path);
        }
    }
    if (results) g.g_variant_unref(results);
    reply->done = true;
}

gboolean OnTimeout(gpointer data) {
    static_cast<Reply *>(data)->timedOut = true;
    return G_SOURCE_REMOVE;
}

int Unreadable(const char *why) {
    SetErrorArgString(why);
    return kErrScreenUnreadable;
}

// The request object's path the portal will use for our token (its documented naming), so the answer is
// listened for before the request is sent.
std::string RequestPath(const char *uniqueName, const std::string &token) {
    std::string sender = uniqueName && uniqueName[0] == ':' ? uniqueName + 1 : (uniqueName ? uniqueName : "");
    std::replace(sender.begin(), sender.end(), '.', '_');
    return "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
}

// Copies the picture's rectangle from (x, y) into the bitmap; beyond the picture stays black.
int ReadScreenshot(const std::string &path, int32_t x, int32_t y, HostBitmap *into) {
    uint32_t *pixels = nullptr;
    int64_t transparent = -1;
    int32_t width = 0, height = 0;
    if (int error = LoadPictureDatatype(path.c_str(), 0, &pixels, nullptr, &transparent, &width, &height))
        return error;
    const int32_t w = std::min(into->width, width - x), h = std::min(into->height, height - y);
    for (int32_t row = 0; row < h; row++)
        for (int32_t column = 0; column < w; column++)
            HostBitmapRow32(into, row)[column] =
                pixels[size_t(y + row) * size_t(width) + size_t(x + column)] & 0xFFFFFF;
    FreeBlock(pixels);
    return 0;
}

} // namespace

int GrabPortalScreen(int32_t x, int32_t y, HostBitmap *into) {
    const GioApi *gio = LoadGio();
    if (!gio) return kGrabUnavailable;
    const GioApi &g = *gio;
    GDBusConnection *bus = g.g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return kGrabUnavailable;
    static int requests = 0;
    const std::string token = "vistaloom" + std::to_string(getpid()) + "_" + std::to_string(++requests);
    std::string handle = RequestPath(g.g_dbus_connection_get_unique_name(bus), token);

    GMainContext *context = g.g_main_context_new();
    g.g_main_context_push_thread_default(context);
    Reply reply;
    reply.gio = gio;
    auto listen = [&](const std::string &path) {
        return g.g_dbus_connection_signal_subscribe(bus, "org.freedesktop.portal.Desktop", "org.freedesktop.portal.Request",
                           "Response", path.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE, OnResponse, &reply,
                           nullptr);
    };
    guint subscription = listen(handle);
    GVariant *parameters =
        g.g_variant_new_parsed("(%s, {'handle_token': <%s>, 'interactive': <false>})", "", token.c_str());
    GVariant *answer = g.g_dbus_connection_call_sync(bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                  "org.freedesktop.portal.Screenshot", "Screenshot", parameters,
                                  reinterpret_cast<const GVariantType *>("(o)"), G_DBUS_CALL_FLAGS_NONE, -1,
                                  nullptr, nullptr);
    int result = 0;
    if (!answer) {
        result = kGrabUnavailable; // no portal, or one without the Screenshot interface
    } else {
        const gchar *path = nullptr;
        g.g_variant_get(answer, "(&o)", &path);
        if (path && handle != path) {
            // An older portal names its request object its own way.
            g.g_dbus_connection_signal_unsubscribe(bus, subscription);
            handle = path;
            subscription = listen(handle);
        }
        g.g_variant_unref(answer);
        GSource *timeout = g.g_timeout_source_new_seconds(kAnswerSeconds);
        g.g_source_set_callback(timeout, OnTimeout, &reply, nullptr);
        g.g_source_attach(timeout, context);
        while (!reply.done && !reply.timedOut)
            g.g_main_context_iteration(context, TRUE);
        g.g_source_destroy(timeout);
        g.g_source_unref(timeout);
        if (!reply.done)
            result = Unreadable("the desktop portal did not answer the screenshot request");
        else if (reply.response != 0)
            result = Unreadable("the desktop portal refused the screenshot");
        else if (reply.path.empty())
            result = Unreadable("the desktop portal gave no screenshot file");
        else
            result = ReadScreenshot(reply.path, x, y, into);
    }
    g.g_dbus_connection_signal_unsubscribe(bus, subscription);
    g.g_main_context_pop_thread_default(context);
    g.g_main_context_unref(context);
    g.g_object_unref(bus);
    return result;
}

#else

int GrabPortalScreen(int32_t, int32_t, HostBitmap *) {
    return kGrabUnavailable;
}

#endif

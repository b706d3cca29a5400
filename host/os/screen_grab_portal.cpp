// The screen of a Wayland desktop: only the compositor may read it, so the desktop portal is asked for a
// screenshot over the session bus (GIO's GDBus, opened at the first grab) and the picture file it names is
// read with the picture loader.
#include "host/os/screen_grab.h"

#include "host/memory.h"
#include "host/picture.h"
#include "runtime/app/errors.h"

#if VL_HAVE_GIO
#include <dlfcn.h>
#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
#include <string>

namespace {

struct GioApi {
    bool loaded = false;
    decltype(&g_bus_get_sync) busGetSync = nullptr;
    decltype(&g_dbus_connection_get_unique_name) uniqueName = nullptr;
    decltype(&g_dbus_connection_signal_subscribe) subscribe = nullptr;
    decltype(&g_dbus_connection_signal_unsubscribe) unsubscribe = nullptr;
    decltype(&g_dbus_connection_call_sync) callSync = nullptr;
    decltype(&g_variant_new_parsed) newParsed = nullptr;
    decltype(&g_variant_get) get = nullptr;
    decltype(&g_variant_lookup) lookup = nullptr;
    decltype(&g_variant_unref) variantUnref = nullptr;
    decltype(&g_object_unref) objectUnref = nullptr;
    decltype(&g_error_free) errorFree = nullptr;
    decltype(&g_main_context_new) contextNew = nullptr;
    decltype(&g_main_context_push_thread_default) contextPush = nullptr;
    decltype(&g_main_context_pop_thread_default) contextPop = nullptr;
    decltype(&g_main_context_iteration) contextIteration = nullptr;
    decltype(&g_main_context_unref) contextUnref = nullptr;
    decltype(&g_timeout_source_new_seconds) timeoutSource = nullptr;
    decltype(&g_source_set_callback) sourceCallback = nullptr;
    decltype(&g_source_attach) sourceAttach = nullptr;
    decltype(&g_source_destroy) sourceDestroy = nullptr;
    decltype(&g_source_unref) sourceUnref = nullptr;
    decltype(&g_filename_from_uri) filenameFromUri = nullptr;
    decltype(&g_free) free = nullptr;
};

template <typename F> bool Bind(void *lib, const char *name, F *out) {
    *out = reinterpret_cast<F>(dlsym(lib, name));
    return *out != nullptr;
}

const GioApi *LoadGio() {
    static GioApi api;
    static bool tried = false;
    if (tried) return api.loaded ? &api : nullptr;
    tried = true;
    void *lib = dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return nullptr;
    GioApi &a = api;
    a.loaded = Bind(lib, "g_bus_get_sync", &a.busGetSync) &&
               Bind(lib, "g_dbus_connection_get_unique_name", &a.uniqueName) &&
               Bind(lib, "g_dbus_connection_signal_subscribe", &a.subscribe) &&
               Bind(lib, "g_dbus_connection_signal_unsubscribe", &a.unsubscribe) &&
               Bind(lib, "g_dbus_connection_call_sync", &a.callSync) &&
               Bind(lib, "g_variant_new_parsed", &a.newParsed) && Bind(lib, "g_variant_get", &a.get) &&
               Bind(lib, "g_variant_lookup", &a.lookup) && Bind(lib, "g_variant_unref", &a.variantUnref) &&
               Bind(lib, "g_object_unref", &a.objectUnref) && Bind(lib, "g_error_free", &a.errorFree) &&
               Bind(lib, "g_main_context_new", &a.contextNew) &&
               Bind(lib, "g_main_context_push_thread_default", &a.contextPush) &&
               Bind(lib, "g_main_context_pop_thread_default", &a.contextPop) &&
               Bind(lib, "g_main_context_iteration", &a.contextIteration) &&
               Bind(lib, "g_main_context_unref", &a.contextUnref) &&
               Bind(lib, "g_timeout_source_new_seconds", &a.timeoutSource) &&
               Bind(lib, "g_source_set_callback", &a.sourceCallback) &&
               Bind(lib, "g_source_attach", &a.sourceAttach) &&
               Bind(lib, "g_source_destroy", &a.sourceDestroy) &&
               Bind(lib, "g_source_unref", &a.sourceUnref) &&
               Bind(lib, "g_filename_from_uri", &a.filenameFromUri) && Bind(lib, "g_free", &a.free);
    return a.loaded ? &a : nullptr;
}

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
    g.get(parameters, "(u@a{sv})", &reply->response, &results);
    const gchar *uri = nullptr;
    if (reply->response == 0 && results && g.lookup(results, "uri", "&s", &uri)) {
        if (gchar *path = g.filenameFromUri(uri, nullptr, nullptr)) {
            reply->path = path;
            g.free(path);
        }
    }
    if (results) g.variantUnref(results);
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
    GDBusConnection *bus = g.busGetSync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return kGrabUnavailable;
    static int requests = 0;
    const std::string token = "vistaloom" + std::to_string(getpid()) + "_" + std::to_string(++requests);
    std::string handle = RequestPath(g.uniqueName(bus), token);

    GMainContext *context = g.contextNew();
    g.contextPush(context);
    Reply reply;
    reply.gio = gio;
    auto listen = [&](const std::string &path) {
        return g.subscribe(bus, "org.freedesktop.portal.Desktop", "org.freedesktop.portal.Request",
                           "Response", path.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE, OnResponse, &reply,
                           nullptr);
    };
    guint subscription = listen(handle);
    GVariant *parameters =
        g.newParsed("(%s, {'handle_token': <%s>, 'interactive': <false>})", "", token.c_str());
    GVariant *answer = g.callSync(bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                  "org.freedesktop.portal.Screenshot", "Screenshot", parameters,
                                  reinterpret_cast<const GVariantType *>("(o)"), G_DBUS_CALL_FLAGS_NONE, -1,
                                  nullptr, nullptr);
    int result = 0;
    if (!answer) {
        result = kGrabUnavailable; // no portal, or one without the Screenshot interface
    } else {
        const gchar *path = nullptr;
        g.get(answer, "(&o)", &path);
        if (path && handle != path) {
            // An older portal names its request object its own way.
            g.unsubscribe(bus, subscription);
            handle = path;
            subscription = listen(handle);
        }
        g.variantUnref(answer);
        GSource *timeout = g.timeoutSource(kAnswerSeconds);
        g.sourceCallback(timeout, OnTimeout, &reply, nullptr);
        g.sourceAttach(timeout, context);
        while (!reply.done && !reply.timedOut)
            g.contextIteration(context, TRUE);
        g.sourceDestroy(timeout);
        g.sourceUnref(timeout);
        if (!reply.done)
            result = Unreadable("the desktop portal did not answer the screenshot request");
        else if (reply.response != 0)
            result = Unreadable("the desktop portal refused the screenshot");
        else if (reply.path.empty())
            result = Unreadable("the desktop portal gave no screenshot file");
        else
            result = ReadScreenshot(reply.path, x, y, into);
    }
    g.unsubscribe(bus, subscription);
    g.contextPop(context);
    g.contextUnref(context);
    g.objectUnref(bus);
    return result;
}

#else

int GrabPortalScreen(int32_t, int32_t, HostBitmap *) {
    return kGrabUnavailable;
}

#endif

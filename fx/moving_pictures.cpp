// Whole pictures drawn at moving offsets (pushes, gates, slides, cards): one clipped copy serves them all.
#include <algorithm>

#include "fx/effect_families.h"
#include "imaging/blit.h"
#include "scene/images/bgpic.h"

void DrawFxPictureRect(FxRequest *request, const HostBitmap *picture, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
                       int32_t width, int32_t height) {
    const int32_t w = request->width, h = request->height;
    // Cut to the picture and to the area on both sides, so that nothing lands outside the effect's rectangle.
    const auto cut = [](int32_t &source, int32_t &destination, int32_t &extent, int32_t limit) {
        const int32_t shift = std::max({0, -source, -destination});
        source += shift, destination += shift, extent -= shift;
        extent = std::min({extent, limit - source, limit - destination});
    };
    cut(sx, dx, width, w);
    cut(sy, dy, height, h);
    HostBitmap *output = FxOutputBitmap(request);
    if (!picture || !output || width <= 0 || height <= 0) return;
    const int32_t ox = request->x + dx, oy = request->y + dy;
    SAFEBLT(picture, sx, sy, output, ox, oy, width, height, w, h, request->outWidth, request->outHeight,
            request->bltFlags, nullptr, nullptr, FxClipRegion(request));
    const int32_t x0 = std::max(ox, 0), y0 = std::max(oy, 0);
    const int32_t x1 = int32_t(std::min<int64_t>(int64_t(ox) + width, std::min(request->outWidth, output->width)));
    const int32_t y1 = int32_t(std::min<int64_t>(int64_t(oy) + height, std::min(request->outHeight, output->height)));
    UploadFxOutputRect(request, x0, y0, x1 - x0, y1 - y0);
}

// The display damage: rectangles a run of commands asked to refresh, composed later in one pass (see
// SetCommandBarrier).
#include <algorithm>
#include <new>
#include <vector>

#include "host/clock.h"
#include "scene/display/display_list.h"
#include "scene/layers/layers.h"

namespace {

// The rectangles a run of commands asked to refresh, as 16-pixel tiles of the display's picture: the run's damage
// is composed once, each tile with everything over it, however many objects moved there.
struct DisplayDamage {
    static constexpr int kTileShift = 4;
    DisplayRecord *display = nullptr;
    const BGPic *picture = nullptr;
    int32_t width = 0, height = 0, columns = 0, rows = 0;
    int32_t left = 0, top = 0, right = -1, bottom = -1; // the marked tiles' bounds; right < left: none
    int64_t since = 0;                                  // when the first of them was marked (monotonic microseconds)
    std::vector<uint8_t> tiles;
    std::vector<DirtyRect> rects;
    std::vector<int32_t> open, next; // rects still growing downwards, by the previous and the current tile row
    // The first few rectangles as asked (cut to the picture): a short run is composed from them, as exactly as
    // one refresh each would be.
    static constexpr int kExact = 8;
    DirtyRect exact[kExact];
    int32_t exactCount = 0;
};
DisplayDamage Damage;

// The marked tiles as rectangles: each row's runs, a run joined to the one above it when both span the same
// columns.
void CollectDamageRects() {
    DisplayDamage &g = Damage;
    constexpr int32_t kTile = 1 << DisplayDamage::kTileShift;
    g.rects.clear();
    g.open.clear();
    for (int32_t ty = g.top; ty <= g.bottom; ty++) {
        g.next.clear();
        uint8_t *row = &g.tiles[size_t(ty) * size_t(g.columns)];
        size_t above = 0;
        for (int32_t tx = g.left; tx <= g.right; tx++) {
            if (!row[tx]) continue;
            const int32_t first = tx;
            while (tx + 1 <= g.right && row[tx + 1]) tx++;
            for (int32_t c = first; c <= tx; c++) row[c] = 0;
            const int32_t x1 = first * kTile, x2 = std::min((tx + 1) * kTile, g.width) - 1;
            const int32_t y2 = std::min((ty + 1) * kTile, g.height) - 1;
            while (above < g.open.size() && g.rects[size_t(g.open[above])].x1 < x1) above++;
            if (above < g.open.size() && g.rects[size_t(g.open[above])].x1 == x1 &&
                g.rects[size_t(g.open[above])].x2 == x2) {
                g.rects[size_t(g.open[above])].y2 = y2;
                g.next.push_back(g.open[above]);
            } else {
                g.next.push_back(int32_t(g.rects.size()));
                g.rects.push_back(DirtyRect{x1, ty * kTile, x2, y2, 0});
            }
        }
        std::swap(g.open, g.next);
    }
    g.left = g.top = 0;
    g.right = g.bottom = -1;
}

} // namespace

// Marks the rectangle for the next flush; false when it cannot be kept (it is refreshed at once then).
bool AddDisplayDamage(int32_t x, int32_t y, int32_t width, int32_t height) {
    DisplayRecord *d = CurrentDisplay;
    if (!d || !d->picture || !d->secondBitmap) return false;
    DisplayDamage &g = Damage;
    const BGPic *picture = d->picture;
    if (g.display != d || g.picture != picture || g.width != picture->current.width ||
        g.height != picture->current.height) {
        FlushDisplayDamage();
        try {
            g.columns = (picture->current.width + (1 << DisplayDamage::kTileShift) - 1) >> DisplayDamage::kTileShift;
            g.rows = (picture->current.height + (1 << DisplayDamage::kTileShift) - 1) >> DisplayDamage::kTileShift;
            g.tiles.assign(size_t(g.columns) * size_t(g.rows), 0);
        } catch (const std::bad_alloc &) {
            g.display = nullptr;
            return false;
        }
        g.display = d, g.picture = picture;
        g.width = picture->current.width, g.height = picture->current.height;
    }
    const int64_t x1 = std::max<int64_t>(x, 0), y1 = std::max<int64_t>(y, 0);
    const int64_t x2 = std::min<int64_t>(int64_t(x) + width, g.width) - 1;
    const int64_t y2 = std::min<int64_t>(int64_t(y) + height, g.height) - 1;
    if (x1 > x2 || y1 > y2) return true; // off the picture: RefreshArea would draw nothing either
    if (g.exactCount < DisplayDamage::kExact)
        g.exact[g.exactCount] = DirtyRect{int32_t(x1), int32_t(y1), int32_t(x2), int32_t(y2), 0};
    g.exactCount++;
    const int32_t tx1 = int32_t(x1 >> DisplayDamage::kTileShift), tx2 = int32_t(x2 >> DisplayDamage::kTileShift);
    const int32_t ty1 = int32_t(y1 >> DisplayDamage::kTileShift), ty2 = int32_t(y2 >> DisplayDamage::kTileShift);
    for (int32_t ty = ty1; ty <= ty2; ty++)
        std::fill_n(&g.tiles[size_t(ty) * size_t(g.columns) + size_t(tx1)], tx2 - tx1 + 1, uint8_t(1));
    if (g.right < g.left) {
        g.left = tx1, g.top = ty1, g.right = tx2, g.bottom = ty2;
        g.since = MonotonicMicroseconds();
    } else {
        g.left = std::min(g.left, tx1), g.top = std::min(g.top, ty1);
        g.right = std::max(g.right, tx2), g.bottom = std::max(g.bottom, ty2);
    }
    return true;
}

void FlushDisplayDamage() {
    DisplayDamage &g = Damage;
    if (g.right < g.left) return;
    DisplayRecord *d = g.display;
    bool live = false;
    for (DisplayRecord *r = DisplayList; r && !live; r = r->next) live = r == d;
    // A display that went or changed its picture was drawn whole by that change.
    live = live && d->picture == g.picture;
    if (g.exactCount <= DisplayDamage::kExact) {
        // Overlapping rectangles become their bounding box until none overlap, as a dirty list is merged.
        DirtyRect *r = g.exact;
        const int32_t count = g.exactCount;
        for (bool joined = true; joined;) {
            joined = false;
            for (int32_t i = 0; i < count; i++)
                for (int32_t j = 0; j < count; j++) {
                    if (i == j || r[i].merged || r[j].merged ||
                        !RectsOverlap(r[i].x1, r[i].y1, r[i].x2, r[i].y2, r[j].x1, r[j].y1, r[j].x2, r[j].y2))
                        continue;
                    r[i] = DirtyRect{std::min(r[i].x1, r[j].x1), std::min(r[i].y1, r[j].y1), std::max(r[i].x2, r[j].x2),
                                     std::max(r[i].y2, r[j].y2), 0};
                    r[j].merged = 1;
                    joined = true;
                }
        }
        int32_t kept = 0;
        for (int32_t i = 0; i < count; i++)
            if (!r[i].merged) r[kept++] = r[i];
        for (int32_t ty = g.top; ty <= g.bottom; ty++)
            std::fill_n(&g.tiles[size_t(ty) * size_t(g.columns) + size_t(g.left)], g.right - g.left + 1, uint8_t(0));
        g.left = g.top = 0;
        g.right = g.bottom = -1;
        g.exactCount = 0;
        if (live) ComposeDisplayRects(d, r, kept);
        return;
    }
    g.exactCount = 0;
    try {
        CollectDamageRects();
    } catch (const std::bad_alloc &) {
        // Without room for the list the marked area is composed as one box.
        g.rects.clear();
        if (live) {
            DirtyRect all{g.left << DisplayDamage::kTileShift, g.top << DisplayDamage::kTileShift,
                          std::min((g.right + 1) << DisplayDamage::kTileShift, g.width) - 1,
                          std::min((g.bottom + 1) << DisplayDamage::kTileShift, g.height) - 1, 0};
            std::fill(g.tiles.begin(), g.tiles.end(), uint8_t(0));
            g.left = g.top = 0;
            g.right = g.bottom = -1;
            ComposeDisplayRects(d, &all, 1);
        }
        return;
    }
    if (live) ComposeDisplayRects(d, g.rects.data(), int32_t(g.rects.size()));
}

void FlushOldDisplayDamage() {
    // A batch stays unseen no longer than a frame at 60 Hz, however long the run of commands goes on.
    constexpr int64_t kMaxAge = 16667;
    if (Damage.right >= Damage.left && MonotonicMicroseconds() - Damage.since >= kMaxAge) FlushDisplayDamage();
}

void ForgetDisplayDamage() {
    Damage = DisplayDamage{};
}


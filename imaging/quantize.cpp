#include "imaging/quantize.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <new>
#include <unordered_map>
#include <vector>

namespace {
// One histogram cell of 5 bits per channel with the exact sums of the colours that fell into it.
struct Cell {
    uint32_t key;
    uint64_t count, r, g, b;
    uint8_t lo[3], hi[3]; // the exact channel range of the colours in the cell
};

struct Box {
    size_t begin, end; // range of cells
    uint64_t count;
};

int Channel(uint32_t key, int c) { return int((key >> (10 - 5 * c)) & 31); }

// Median cut over the cells: split the box with the most pixels along its widest channel at the pixel median.
std::vector<uint32_t> MedianCut(std::vector<Cell> &cells, int wanted) {
    std::vector<Box> boxes;
    uint64_t total = 0;
    for (auto &c : cells) total += c.count;
    boxes.push_back(Box{0, cells.size(), total});
    while (int(boxes.size()) < wanted) {
        int best = -1;
        uint64_t bestCount = 0;
        for (size_t i = 0; i < boxes.size(); ++i)
            if (boxes[i].end - boxes[i].begin > 1 && boxes[i].count > bestCount) {
                best = int(i);
                bestCount = boxes[i].count;
            }
        if (best < 0) break;
        Box box = boxes[size_t(best)];
        int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
        for (size_t i = box.begin; i < box.end; ++i)
            for (int c = 0; c < 3; ++c) {
                lo[c] = std::min(lo[c], Channel(cells[i].key, c));
                hi[c] = std::max(hi[c], Channel(cells[i].key, c));
            }
        int axis = 0;
        for (int c = 1; c < 3; ++c)
            if (hi[c] - lo[c] > hi[axis] - lo[axis]) axis = c;
        std::sort(cells.begin() + std::ptrdiff_t(box.begin), cells.begin() + std::ptrdiff_t(box.end),
                  [axis](const Cell &a, const Cell &b) { return Channel(a.key, axis) < Channel(b.key, axis); });
        uint64_t half = 0;
        size_t split = box.begin;
        while (split < box.end - 1 && half + cells[split].count <= box.count / 2) half += cells[split++].count;
        if (split == box.begin) half += cells[split++].count;
        boxes[size_t(best)] = Box{box.begin, split, half};
        boxes.push_back(Box{split, box.end, box.count - half});
    }
    std::vector<std::array<int, 3>> entries, lows, highs;
    for (const Box &b : boxes) {
        uint64_t n = 0, sum[3] = {0, 0, 0};
        std::array<int, 3> lo{255, 255, 255}, hi{0, 0, 0};
        for (size_t i = b.begin; i < b.end; ++i) {
            n += cells[i].count;
            sum[0] += cells[i].r;
            sum[1] += cells[i].g;
            sum[2] += cells[i].b;
            for (int c = 0; c < 3; ++c) {
                lo[size_t(c)] = std::min<int>(lo[size_t(c)], cells[i].lo[c]);
                hi[size_t(c)] = std::max<int>(hi[size_t(c)], cells[i].hi[c]);
            }
        }
        if (!n) continue;
        entries.push_back({int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n), int((sum[2] + n / 2) / n)});
        lows.push_back(lo);
        highs.push_back(hi);
    }
    // Box averages pull the palette inwards, and dithering can never reach a colour outside the palette's range:
    // the entry lowest (highest) in a channel takes its box's lowest (highest) value there.
    for (int c = 0; c < 3 && !entries.empty(); ++c) {
        size_t lowest = 0, highest = 0;
        for (size_t i = 1; i < entries.size(); ++i) {
            if (entries[i][size_t(c)] < entries[lowest][size_t(c)]) lowest = i;
            if (entries[i][size_t(c)] > entries[highest][size_t(c)]) highest = i;
        }
        entries[lowest][size_t(c)] = lows[lowest][size_t(c)];
        if (highest != lowest) entries[highest][size_t(c)] = highs[highest][size_t(c)];
    }
    std::vector<uint32_t> palette;
    for (auto &e : entries) palette.push_back(uint32_t(e[0]) << 16 | uint32_t(e[1]) << 8 | uint32_t(e[2]));
    return palette;
}

int Nearest(const uint32_t *palette, int first, int count, int r, int g, int b) {
    int best = first;
    long bestDistance = -1;
    for (int i = first; i < count; ++i) {
        long dr = r - int((palette[i] >> 16) & 255), dg = g - int((palette[i] >> 8) & 255), db = b - int(palette[i] & 255);
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}
} // namespace

int QuantizeColors(const uint32_t *pixels, int32_t width, int32_t height, int32_t rowLength, uint8_t *indices,
                   uint32_t *palette, int32_t *colors, uint32_t transparentColor, int transparentFlag, int dither) {
    if (!pixels || !indices || !palette || !colors || width <= 0 || height <= 0 || rowLength < width) return 0;
    const int wanted = std::clamp(*colors, 2, 256);
    const int first = transparentFlag ? 1 : 0; // entry 0 is reserved for the transparent colour
    const uint32_t key = transparentColor & 0xFFFFFF;
    auto isTransparent = [&](uint32_t p) { return transparentFlag && (p & 0xFFFFFF) == key; };
    try {
        // Exact colours when they fit.
        std::unordered_map<uint32_t, int> exact;
        bool fits = true;
        for (int32_t y = 0; y < height && fits; ++y)
            for (int32_t x = 0; x < width; ++x) {
                uint32_t p = pixels[size_t(y) * size_t(rowLength) + size_t(x)] & 0xFFFFFF;
                if (isTransparent(p) || exact.count(p)) continue;
                if (int(exact.size()) >= wanted - first) {
                    fits = false;
                    break;
                }
                exact.emplace(p, 0);
            }
        int n = first;
        if (transparentFlag) palette[0] = key;
        if (fits) {
            std::vector<uint32_t> sorted;
            for (auto &e : exact) sorted.push_back(e.first);
            std::sort(sorted.begin(), sorted.end());
            for (uint32_t c : sorted) {
                exact[c] = n;
                palette[n++] = c;
            }
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    uint32_t p = pixels[size_t(y) * size_t(rowLength) + size_t(x)] & 0xFFFFFF;
                    indices[size_t(y) * size_t(width) + size_t(x)] = uint8_t(isTransparent(p) ? 0 : exact[p]);
                }
            if (n < 2) palette[n++] = 0; // a palette has at least two entries
            *colors = n;
            return 1;
        }
        std::vector<Cell> cells;
        {
            std::vector<int32_t> where(32768, -1);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    uint32_t p = pixels[size_t(y) * size_t(rowLength) + size_t(x)];
                    if (isTransparent(p)) continue;
                    uint32_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
                    uint32_t k = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
                    if (where[k] < 0) {
                        where[k] = int32_t(cells.size());
                        cells.push_back(Cell{k, 0, 0, 0, 0, {255, 255, 255}, {0, 0, 0}});
                    }
                    Cell &c = cells[size_t(where[k])];
                    const uint8_t v[3] = {uint8_t(r), uint8_t(g), uint8_t(b)};
                    for (int ch = 0; ch < 3; ++ch) {
                        c.lo[ch] = std::min(c.lo[ch], v[ch]);
                        c.hi[ch] = std::max(c.hi[ch], v[ch]);
                    }
                    ++c.count;
                    c.r += r;
                    c.g += g;
                    c.b += b;
                }
        }
        for (uint32_t c : MedianCut(cells, wanted - first)) palette[n++] = c;
        // Nearest entries, remembered per exact colour.
        std::unordered_map<uint32_t, int> memo;
        auto lookup = [&](int r, int g, int b) {
            uint32_t c = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
            auto it = memo.find(c);
            if (it != memo.end()) return it->second;
            int i = Nearest(palette, first, n, r, g, b);
            if (memo.size() < (1u << 20)) memo.emplace(c, i);
            return i;
        };
        if (!dither) {
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    uint32_t p = pixels[size_t(y) * size_t(rowLength) + size_t(x)];
                    indices[size_t(y) * size_t(width) + size_t(x)] =
                        uint8_t(isTransparent(p) ? 0 : lookup((p >> 16) & 255, (p >> 8) & 255, p & 255));
                }
        } else {
            // Error diffusion in serpentine order with 10/16 of the error sent straight down (Floyd-Steinberg
            // sends 7/16 along the row): error running along a row piles up in neighbouring columns and shifts
            // their average colour, which shows as banding in gradients. Errors in 1/16 units, one cell of
            // margin each side.
            std::vector<std::array<int, 3>> cur(size_t(width) + 2), next(size_t(width) + 2);
            for (int32_t y = 0; y < height; ++y) {
                std::fill(next.begin(), next.end(), std::array<int, 3>{0, 0, 0});
                const int dir = (y & 1) ? -1 : 1;
                for (int32_t k = 0; k < width; ++k) {
                    const int32_t x = dir > 0 ? k : width - 1 - k;
                    const size_t at = size_t(x) + 1, ahead = size_t(x + 1 + dir), behind = size_t(x + 1 - dir);
                    uint32_t p = pixels[size_t(y) * size_t(rowLength) + size_t(x)];
                    uint8_t &out = indices[size_t(y) * size_t(width) + size_t(x)];
                    if (isTransparent(p)) {
                        out = 0;
                        continue;
                    }
                    int want[3] = {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
                    int v[3];
                    for (int c = 0; c < 3; ++c) {
                        const int e = cur[at][size_t(c)];
                        // Kept beyond 0..255 so that error near the ends is carried on, not dropped.
                        v[c] = std::clamp(want[c] + (e >= 0 ? (e + 8) / 16 : -((-e + 8) / 16)), -128, 383);
                    }
                    int i = lookup(std::clamp(v[0], 0, 255), std::clamp(v[1], 0, 255), std::clamp(v[2], 0, 255));
                    out = uint8_t(i);
                    int got[3] = {int((palette[i] >> 16) & 255), int((palette[i] >> 8) & 255), int(palette[i] & 255)};
                    for (int c = 0; c < 3; ++c) {
                        int e = v[c] - got[c];
                        cur[ahead][size_t(c)] += e * 2;
                        next[behind][size_t(c)] += e * 2;
                        next[at][size_t(c)] += e * 10;
                        next[ahead][size_t(c)] += e * 2;
                    }
                }
                std::swap(cur, next);
            }
        }
        if (n < 2) palette[n++] = 0;
        *colors = n;
        return 1;
    } catch (const std::bad_alloc &) {
        return 0;
    }
}

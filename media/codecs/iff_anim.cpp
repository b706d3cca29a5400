#include "media/codecs/iff_anim.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/iff_chunks.h"
#include "host/picture_ilbm.h"
#include "host/virtual_file.h"

namespace {

// Files larger than this are refused before they are read; the largest frame we take (kMaxIlbmPixels at 8
// planes) stays far below it.
constexpr int64_t kMaxAnimFileBytes = int64_t(1) << 28;
constexpr size_t kAnhdBytes = 40;
constexpr size_t kDeltaOffsets = 16; // u32 plane offsets at the start of an operation-5 DLTA

std::span<const uint8_t> Data(const BoundedReader &chunk) { return {chunk.data, chunk.size}; }

} // namespace

struct IffAnimReader {
    std::vector<uint8_t> bytes;
    int32_t width = 0, height = 0, planes = 0, masking = 0, compression = 0;
    int32_t rowBytes = 0;
    size_t planeBytes = 0;
    int32_t hamMode = 0;
    bool extraHalfBrite = false;
    std::vector<uint32_t> palette, firstPalette; // 256 entries each
    std::vector<uint8_t> firstPlanes, work[2];
    int bufferIndex = 0; // the work buffer the next delta goes to
    std::vector<std::span<const uint8_t>> deltas; // the chunks of each delta FORM (after "ILBM"), frame 1 on
    int32_t frameCount = 0;
    int32_t position = 0; // frames produced since the last rewind
    std::vector<uint32_t> delays; // jiffies, one per frame
};

namespace {

void Rewind(IffAnimReader *a) {
    a->work[0] = a->firstPlanes;
    a->work[1] = a->firstPlanes;
    a->bufferIndex = 0;
    a->position = 0;
    // Deltas may have changed colours; every replay starts from frame 0's.
    a->palette = a->firstPalette;
}

// Operation 5 on one plane: for each byte column a count of operations, each a skip (1-127 rows), a same run (0,
// count, value) or a unique run (128 + n, n bytes), top row down. Nothing leaves the plane or the chunk.
bool ApplyPlaneDelta(std::span<const uint8_t> data, size_t pos, uint8_t *plane, int32_t rowBytes, int32_t height,
                     bool exclusiveOr) {
    auto put = [&](int32_t column, int32_t row, uint8_t value) {
        uint8_t &b = plane[size_t(row) * size_t(rowBytes) + size_t(column)];
        b = exclusiveOr ? uint8_t(b ^ value) : value;
    };
    for (int32_t column = 0; column < rowBytes; column++) {
        if (pos >= data.size()) return false;
        uint32_t ops = data[pos++];
        int32_t row = 0;
        while (ops--) {
            if (pos >= data.size()) return false;
            const uint8_t op = data[pos++];
            if (op == 0) {
                if (data.size() - pos < 2) return false;
                const int32_t count = data[pos], value = data[pos + 1];
                pos += 2;
                if (count > height - row) return false;
                for (int32_t i = 0; i < count; i++) put(column, row++, uint8_t(value));
            } else if (op < 128) {
                row += op;
                if (row > height) return false;
            } else {
                const int32_t count = op & 127;
                if (count > height - row || data.size() - pos < size_t(count)) return false;
                for (int32_t i = 0; i < count; i++) put(column, row++, data[pos++]);
            }
        }
    }
    return true;
}

// The delta that makes frame k (from 1) into the work buffer it is due for.
bool ApplyDelta(IffAnimReader *a, int32_t k) {
    if (size_t(k - 1) >= a->deltas.size()) return false;
    std::span<const uint8_t> anhd, dlta;
    // Chunks after the DLTA are not looked at.
    bool ok = WalkIffChunks(a->deltas[size_t(k - 1)], [&](uint32_t id, const BoundedReader &chunk) {
        if (!dlta.empty()) return true;
        if (id == IffId("ANHD")) anhd = Data(chunk);
        else if (id == IffId("CMAP")) ReadIlbmCmap(Data(chunk), a->extraHalfBrite, a->palette);
        else if (id == IffId("DLTA")) dlta = Data(chunk);
        return true;
    });
    if (!ok || anhd.size() < kAnhdBytes || dlta.empty() || anhd[0] != 5) return false;
    a->delays[size_t(k)] = LoadU32BE(anhd.data() + 14);
    const uint8_t interleave = anhd[18];
    if (dlta.size() < kDeltaOffsets * 4) return false;
    std::vector<uint8_t> &target = a->work[a->bufferIndex];
    for (int32_t p = 0; p < a->planes; p++) {
        const uint32_t offset = LoadU32BE(dlta.data() + size_t(p) * 4);
        if (offset == 0) continue;
        if (offset >= dlta.size() ||
            !ApplyPlaneDelta(dlta, offset, target.data() + size_t(p) * a->planeBytes, a->rowBytes, a->height,
                             interleave == 1))
            return false;
    }
    // Interleave 0: each delta applies to the frame two back, so the buffers alternate.
    if (interleave == 0) a->bufferIndex ^= 1;
    return true;
}

bool ReadFirstFrame(IffAnimReader *a, std::span<const uint8_t> form, uint32_t *dpanCount) {
    std::span<const uint8_t> bmhd, body;
    uint32_t camg = 0;
    bool haveCmap = false;
    std::vector<uint8_t> cmap;
    // The header ends at the BODY.
    bool ok = WalkIffChunks(form, [&](uint32_t id, const BoundedReader &chunk) {
        const std::span<const uint8_t> data = Data(chunk);
        if (!body.empty()) return true;
        if (id == IffId("BMHD")) bmhd = data;
        else if (id == IffId("ANHD") && data.size() >= kAnhdBytes) a->delays[0] = LoadU32BE(data.data() + 14);
        else if (id == IffId("CMAP")) cmap.assign(data.begin(), data.end()), haveCmap = true;
        else if (id == IffId("DPAN") && data.size() >= 4) *dpanCount = LoadU16BE(data.data() + 2);
        else if (id == IffId("CAMG") && data.size() >= 4) camg = LoadU32BE(data.data());
        else if (id == IffId("BODY")) body = data;
        return true;
    });
    if (!ok || bmhd.size() < 20 || body.empty() || !haveCmap) return false;
    a->width = int32_t(LoadU16BE(bmhd.data()));
    a->height = int32_t(LoadU16BE(bmhd.data() + 2));
    a->planes = bmhd[8], a->masking = bmhd[9], a->compression = bmhd[10];
    if (a->width == 0 || a->height == 0 || a->planes < 1 || a->planes > kMaxPlanarDepth || a->compression > 1 ||
        int64_t(a->width) * a->height > kMaxIlbmPixels)
        return false;
    a->extraHalfBrite = (camg & kIlbmCamgExtraHalfBrite) && !(camg & kIlbmCamgHam);
    if (camg & kIlbmCamgHam) a->hamMode = a->planes <= 6 ? 6 : 8;
    // HAM of other depths than 6 and 8 shows as a plain palette picture.
    if (a->hamMode && a->hamMode != a->planes) a->hamMode = 0;
    a->palette.assign(256, 0);
    ReadIlbmCmap(cmap, a->extraHalfBrite, a->palette);
    a->firstPalette = a->palette;
    a->rowBytes = ((a->width + 15) >> 4) * 2;
    a->planeBytes = size_t(a->rowBytes) * size_t(a->height);
    std::vector<uint8_t> maskRow(size_t(a->rowBytes));
    try {
        a->firstPlanes.assign(a->planeBytes * size_t(a->planes), 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    size_t pos = 0;
    for (int32_t y = 0; y < a->height; y++) {
        for (int32_t p = 0; p < a->planes; p++) {
            uint8_t *row = a->firstPlanes.data() + size_t(p) * a->planeBytes + size_t(y) * size_t(a->rowBytes);
            if (!UnpackIlbmRow(body, pos, row, a->rowBytes, a->compression)) return false;
        }
        if (a->masking == 1 && !UnpackIlbmRow(body, pos, maskRow.data(), a->rowBytes, a->compression)) return false;
    }
    return true;
}

} // namespace

IffAnimReader *OpenIffAnim(VirtualFile *file, int32_t *width, int32_t *height, int32_t *frameCount) {
    auto a = std::make_unique<IffAnimReader>();
    if (ReadWholeVirtualFile(file, 12, kMaxAnimFileBytes, a->bytes)) return nullptr;
    const std::span<const uint8_t> bytes(a->bytes);
    if (std::memcmp(bytes.data(), "FORM", 4) != 0 || std::memcmp(bytes.data() + 8, "ANIM", 4) != 0) return nullptr;
    // A FORM size past the file's end reads what is there.
    const size_t formEnd = std::min<size_t>(bytes.size(), size_t(LoadU32BE(bytes.data() + 4)) + 8);
    if (formEnd < 12) return nullptr;
    std::vector<std::span<const uint8_t>> forms;
    bool ok = WalkIffChunks(bytes.subspan(12, formEnd - 12), [&](uint32_t id, const BoundedReader &chunk) {
        if (id != IffId("FORM") || chunk.size < 4 || std::memcmp(chunk.data, "ILBM", 4) != 0) return false;
        forms.push_back(Data(chunk).subspan(4));
        return true;
    });
    // A single FORM is a picture, not an animation.
    if (!ok || forms.size() < 2) return nullptr;
    a->delays.assign(1, 0);
    uint32_t dpanCount = 0;
    if (!ReadFirstFrame(a.get(), forms[0], &dpanCount)) return nullptr;
    a->deltas.assign(forms.begin() + 1, forms.end());
    // A DPAN count of 0 is taken as absent.
    a->frameCount = dpanCount ? int32_t(dpanCount) : int32_t(forms.size());
    a->delays.resize(size_t(a->frameCount), 0);
    Rewind(a.get());
    if (width) *width = a->width;
    if (height) *height = a->height;
    if (frameCount) *frameCount = a->frameCount;
    return a.release();
}

uint32_t *ReadIffAnimFrame(IffAnimReader *a, int32_t n) {
    if (!a || n < 0 || n >= a->frameCount) return nullptr;
    if (n < a->position) Rewind(a);
    for (; a->position < n; a->position++)
        if (a->position != 0 && !ApplyDelta(a, a->position)) {
            a->position = a->frameCount; // the next read starts over
            return nullptr;
        }
    const std::vector<uint8_t> *frame = &a->firstPlanes;
    if (n == 0) {
        a->palette = a->firstPalette;
    } else {
        std::vector<uint8_t> &target = a->work[a->bufferIndex];
        if (!ApplyDelta(a, n)) {
            a->position = a->frameCount;
            return nullptr;
        }
        frame = &target;
    }
    a->position++;
    PlanarBitmap planar;
    planar.bytesPerRow = a->rowBytes;
    planar.rows = a->height;
    planar.depth = a->planes;
    for (int32_t p = 0; p < a->planes; p++) planar.planes[p] = frame->data() + size_t(p) * a->planeBytes;
    uint32_t *pixels = ReadPaletteBitMapPixels(&planar, a->palette.data(), int32_t(a->palette.size()), a->width,
                                               a->height, a->hamMode);
    if (a->position >= a->frameCount) Rewind(a);
    return pixels;
}

int32_t GetIffAnimFrameDelay(const IffAnimReader *a, int32_t n) {
    if (!a || n < 0 || n >= a->frameCount) return 0;
    return int32_t(int64_t(a->delays[size_t(n)]) * 1000 / 60);
}

void CloseIffAnim(IffAnimReader *a) { delete a; }

#include "tools/applet/link.h"

#include <cstring>

#include "runtime/app/applet_format.h"
#include "runtime/vm/bounded_reader.h"

namespace {

bool IsMarkerAt(std::span<const uint8_t> image, size_t at) {
    uint8_t maker[kAppletMarkerMakerSize] = {};
    std::memcpy(maker, kAppletMarkerMaker, sizeof kAppletMarkerMaker - 1);
    const uint8_t *p = image.data() + at;
    return std::memcmp(p, maker, kAppletMarkerMakerSize) == 0 &&
           LoadU32BE(p + kAppletMarkerMakerSize + 4) == kAppletMarkerWord1 &&
           LoadU32BE(p + kAppletMarkerMakerSize + 8) == kAppletMarkerWord2;
}

} // namespace

int64_t FindAppletMarker(std::span<const uint8_t> player) {
    if (player.size() < kAppletMarkerSize) return -1;
    int64_t found = -1;
    const uint8_t first = uint8_t(kAppletMarkerMaker[0]);
    for (size_t at = 0; at + kAppletMarkerSize <= player.size(); ++at) {
        const void *hit = std::memchr(player.data() + at, first, player.size() - kAppletMarkerSize + 1 - at);
        if (!hit) break;
        at = size_t(static_cast<const uint8_t *>(hit) - player.data());
        if (!IsMarkerAt(player, at)) continue;
        if (found >= 0) return -2;
        found = int64_t(at);
    }
    return found;
}

bool LinkApplet(std::span<const uint8_t> player, std::span<const uint8_t> applet, std::vector<uint8_t> &out,
                std::string &error) {
    if (applet.size() < 4 || (std::memcmp(applet.data(), kAppletMagic, 4) != 0 &&
                              std::memcmp(applet.data(), kCompressedAppletMagic, 4) != 0)) {
        error = "the file to append is not an applet";
        return false;
    }
    int64_t marker = FindAppletMarker(player);
    if (marker == -1) {
        error = "no applet marker found in the player";
        return false;
    }
    if (marker == -2) {
        error = "the player holds more than one applet marker";
        return false;
    }
    uint32_t word = LoadU32BE(player.data() + marker + kAppletMarkerMakerSize);
    if (word != kAppletMarkerUnlinked) {
        error = "the player already carries an applet";
        return false;
    }
    uint64_t offset = player.size();
    if (offset >= kAppletMarkerUnlinked) {
        error = "the player is too large for the marker word";
        return false;
    }
    out.assign(player.begin(), player.end());
    StoreU32BE(out.data() + marker + kAppletMarkerMakerSize, uint32_t(offset));
    out.insert(out.end(), applet.begin(), applet.end());
    return true;
}

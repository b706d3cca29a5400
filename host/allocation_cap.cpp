#include "host/allocation_cap.h"

#include <cstdlib>

namespace {

constexpr int64_t kDefaultCapMegabytes = 2048;

int64_t ReadCap() {
    const char *text = std::getenv("VL_ALLOCATION_CAP_MB");
    char *end = nullptr;
    const long long megabytes = text ? std::strtoll(text, &end, 10) : 0;
    if (!text || end == text || *end || megabytes < 1 || megabytes > (int64_t(1) << 30))
        return kDefaultCapMegabytes << 20;
    return int64_t(megabytes) << 20;
}

} // namespace

int64_t AllocationCapBytes() {
    static const int64_t cap = ReadCap();
    return cap;
}

bool FitsAllocationCap(int64_t count, int64_t itemBytes) {
    if (count < 0 || itemBytes < 0) return false;
    return itemBytes == 0 || count <= AllocationCapBytes() / itemBytes;
}

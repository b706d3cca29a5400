#include "runtime/app/object_list.h"

namespace {

struct PendingFlush {
    void *list;
    bool (*flush)(void *list);
};

// Built on first use: lists register from their static constructors, in no fixed order.
std::vector<PendingFlush> &PendingFlushes() {
    static std::vector<PendingFlush> &flushes = *new std::vector<PendingFlush>;
    return flushes;
}

bool Flushing = false;
bool FlushAgain = false;

} // namespace

void RegisterPendingFlush(void *list, bool (*flush)(void *list)) {
    for (const PendingFlush &f : PendingFlushes())
        if (f.list == list) return;
    PendingFlushes().push_back({list, flush});
}

void FlushPendingFrees() {
    if (Flushing) {
        FlushAgain = true;
        return;
    }
    struct Guard {
        Guard() { Flushing = true; }
        ~Guard() { Flushing = false; }
    } guard;
    do {
        FlushAgain = false;
        for (const PendingFlush &f : PendingFlushes())
            if (f.flush(f.list)) FlushAgain = true;
    } while (FlushAgain);
}

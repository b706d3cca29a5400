#include "runtime/app/object_kinds.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// The order the object statistics have always printed in; kept here so that the order does not depend on
// which library happened to register first.
const char *const kReportOrder[] = {"DISPLAY", "BGPIC",     "LAYER",  "BRUSH",      "SPRITE",  "SPRITE ON SCREEN",
                                    "TEXTOBJECT", "FONT",   "ANIM",   "SAMPLE",     "MUSIC",   "FILE",
                                    "DIRECTORY", "MEMORY",  "TIMER",  "INTERVAL",   "TIMEOUT", "CLIPREGION",
                                    "POINTER",   "ASYNCDRAW"};

std::vector<ObjectKindEntry> &Entries() {
    static std::vector<ObjectKindEntry> entries;
    return entries;
}

size_t ReportRank(const char *name) {
    for (size_t i = 0; i < std::size(kReportOrder); ++i)
        if (std::strcmp(kReportOrder[i], name) == 0) return i;
    return std::size(kReportOrder);
}

} // namespace

void RegisterObjectKind(const ObjectKindEntry &entry) {
    auto &entries = Entries();
    for (ObjectKindEntry &e : entries) {
        if (std::strcmp(e.name, entry.name) == 0) {
            e = entry;
            return;
        }
    }
    entries.push_back(entry);
}

const ObjectKindEntry *FindObjectKind(int32_t kind) {
    if (kind == 0) return nullptr;
    for (const ObjectKindEntry &e : Entries())
        if (e.kind == kind) return &e;
    return nullptr;
}

std::vector<ObjectKindEntry> RegisteredObjectKinds() {
    std::vector<ObjectKindEntry> sorted = Entries();
    std::stable_sort(sorted.begin(), sorted.end(), [](const ObjectKindEntry &a, const ObjectKindEntry &b) {
        return ReportRank(a.name) < ReportRank(b.name);
    });
    return sorted;
}

void ClearObjectKinds() { Entries().clear(); }

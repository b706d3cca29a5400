#include <gtest/gtest.h>

#include <algorithm>

#include "runtime/app/object_list.h"

namespace {

struct Thing {
    ObjectId id{};
    int32_t lockCount = 0;
    int32_t freePending = 0;
};

// A stand-in for the layer code: the things it shows, by id.
std::vector<ObjectId> gShown;
int gReleased = 0;
const Thing *gOutput = nullptr;

int Copy(void *, ObjectId *) { return 0; }
int IsUsed(int32_t, ObjectId id, const vlLayer *) { return std::count(gShown.begin(), gShown.end(), id) > 0; }
int Detach(int32_t, ObjectId id, void *handle) {
    int any = 0;
    for (ObjectId &shown : gShown)
        if (shown == id) shown = ObjectId{0, handle}, any = 1;
    return any;
}
int Referrers(int32_t, ObjectId, int (*)(void *, ObjectId *), void *, ObjectId *, int) { return 0; }

const ObjectLayerServices kServices{Referrers, IsUsed, Detach};
constexpr int kNotFound = 1999;
const ObjectRules<Thing> kRules{.notFoundError = kNotFound,
                                .release = [](Thing *) { gReleased++; },
                                .layerKind = 1,
                                .layers = &kServices,
                                .copyForLayers = Copy,
                                .isActiveOutput = [](const Thing *t) { return t == gOutput; },
                                .activeOutputError = 1998};

TEST(ObjectList, LifeCycleOfOneKind) {
    static ObjectList<Thing> list{&kRules}; // its records stay reachable, as those of the real lists
    gShown.clear();
    gReleased = 0;
    Thing *one = list.Add(new Thing, ObjectId{1, nullptr});
    Thing *auto1 = list.Add(new Thing, ObjectId{0, kAutoHandleRequest});
    Thing *twin = list.Add(new Thing, ObjectId{1, nullptr});
    EXPECT_EQ(auto1->id, (ObjectId{0, auto1}));
    EXPECT_EQ(list.Find(ObjectId{1, nullptr}), one); // the first of two with one number
    Thing *found = nullptr;
    EXPECT_EQ(list.Find(ObjectId{7, nullptr}, &found, 0), kNotFound);
    EXPECT_EQ(list.Find(ObjectId{0, &found}, &found, 0), kErrObjectNotFound);

    struct Case {
        const char *what;
        Thing *thing;
        int lock;
        bool output;
        bool shown;
        int error;
        bool pending, gone;
    };
    const Case cases[] = {
        {"locked", auto1, 1, false, false, kErrObjectLocked, false, false},
        {"drawn into", auto1, 0, true, false, 1998, false, false},
        {"shown by a layer", one, 0, false, true, 0, true, false},
        {"free", auto1, 0, false, false, 0, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.thing->lockCount = c.lock;
        gOutput = c.output ? c.thing : nullptr;
        const ObjectId id = c.thing->id;
        if (c.shown) gShown.push_back(id);
        const size_t before = list.size();
        EXPECT_EQ(list.Free(id, true), c.error);
        EXPECT_EQ(list.size(), before - (c.gone ? 1 : 0));
        if (c.gone) continue;
        EXPECT_EQ(list.IsPending(c.thing), c.pending);
        c.thing->lockCount = 0;
    }
    gOutput = nullptr;
    // The pending one gave its number to the next thing of that number; layers now name it by its address.
    EXPECT_EQ(list.Find(ObjectId{1, nullptr}), twin);
    EXPECT_EQ(list.Find(ObjectId{0, one}), nullptr);
    EXPECT_EQ(list.Find(ObjectId{0, one}, true), one);
    EXPECT_EQ(list.Free(ObjectId{9, nullptr}, false), 0);
    EXPECT_EQ(list.CountLive(), 1u);
    FlushPendingFrees(); // still shown: stays
    EXPECT_EQ(list.size(), 2u);
    gShown.clear();
    FlushPendingFrees();
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(list.Find(ObjectId{1, nullptr}), twin);
    list.Clear();
    EXPECT_EQ(gReleased, 3);
    EXPECT_EQ(list.Find(ObjectId{1, nullptr}), nullptr); // the lookup just before is forgotten
}

// A release that lets go of what another list's pending record waited for: the one flush frees both, whichever
// list it walks first, and the flush asked for from inside the release only adds a round.
TEST(ObjectList, FlushGoesRoundWhileReleasesFreeMore) {
    static const ObjectRules<Thing> waiting{.layerKind = 1, .layers = &kServices};
    static const ObjectRules<Thing> freeing{.release = [](Thing *) {
        gShown.clear();
        FlushPendingFrees();
    }};
    static ObjectList<Thing> waits{&waiting}, frees{&freeing};
    gShown.clear();
    Thing *a = waits.Add(new Thing, ObjectId{1, nullptr});
    gShown.push_back(a->id);
    ASSERT_EQ(waits.Free(a->id, true), 0);
    EXPECT_TRUE(waits.IsPending(a));
    Thing *b = frees.Add(new Thing, ObjectId{0, kAutoHandleRequest});
    frees.MarkPending(b);
    EXPECT_EQ(frees.CountLive(), 0u);
    FlushPendingFrees();
    EXPECT_TRUE(waits.empty());
    EXPECT_TRUE(frees.empty());
}

} // namespace

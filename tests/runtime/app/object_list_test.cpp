#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

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

// Random runs of every operation against a plain model, a vector in creation order searched from the front: after
// each step the walk, the counts and every lookup (numbers, handles, old handles, with and without pending) agree.
TEST(ObjectList, AgreesWithAPlainModelOverRandomRuns) {
    struct Model {
        Thing *thing;
        ObjectId id;
        bool pending;
    };
    static ObjectList<Thing> list{&kRules};
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        auto pick = [&](size_t n) { return size_t(random() % n); };
        list.Clear();
        gShown.clear();
        gOutput = nullptr;
        std::vector<Model> model;
        std::vector<ObjectId> handles; // every handle ever made, for lookups of gone ones
        auto first = [&](ObjectId id) -> Model * {
            for (Model &m : model)
                if (m.id == id) return &m;
            return nullptr;
        };
        auto randomId = [&]() -> ObjectId {
            if (!handles.empty() && pick(3) == 0) return handles[pick(handles.size())];
            return ObjectId{int32_t(pick(8)), nullptr};
        };
        for (int step = 0; step < 3000; step++) {
            const size_t op = pick(100);
            std::string what;
            if (op < 25) {
                const ObjectId id = pick(3) ? ObjectId{int32_t(1 + pick(7)), nullptr} : ObjectId{0, kAutoHandleRequest};
                Thing *t = list.Add(new Thing, id);
                model.push_back({t, IsAutoHandleRequest(id) ? ObjectId{0, t} : id, false});
                if (IsAutoHandleRequest(id)) handles.push_back(model.back().id);
                what = "add";
            } else if (op < 45 && !model.empty()) {
                // A free, sometimes of something locked or shown by a layer.
                Model &m = model[pick(model.size())];
                const ObjectId id = pick(4) ? m.id : randomId();
                Model *target = first(id);
                if (target && pick(5) == 0) target->thing->lockCount = 1;
                if (target && pick(3) == 0) gShown.push_back(id);
                int expected = 0;
                if (!target || target->pending) expected = id.handle ? kErrObjectNotFound : kNotFound;
                else if (target->thing->lockCount) expected = kErrObjectLocked;
                const bool shown = std::count(gShown.begin(), gShown.end(), id) > 0;
                EXPECT_EQ(list.Free(id, true), expected);
                if (expected == kErrObjectLocked) target->thing->lockCount = 0;
                if (expected == 0) {
                    if (shown) {
                        target->id = ObjectId{0, target->thing};
                        target->pending = true;
                        for (ObjectId &layer : gShown)
                            if (layer == id) layer = target->id;
                    } else {
                        model.erase(model.begin() + (target - model.data()));
                    }
                }
                what = "free";
            } else if (op < 55 && !model.empty()) {
                Model &m = model[pick(model.size())];
                list.MarkPending(m.thing);
                m.pending = true;
                what = "mark";
            } else if (op < 65 && !model.empty()) {
                const size_t at = pick(model.size());
                EXPECT_TRUE(list.Erase(model[at].thing));
                model.erase(model.begin() + ptrdiff_t(at));
                what = "erase";
            } else if (op < 75) {
                if (!gShown.empty()) gShown.erase(gShown.begin() + ptrdiff_t(pick(gShown.size())));
                FlushPendingFrees();
                std::erase_if(model, [](const Model &m) {
                    return m.pending && !std::count(gShown.begin(), gShown.end(), m.id);
                });
                what = "flush";
            } else if (op < 77) {
                list.Clear();
                model.clear();
                gShown.clear();
                what = "clear";
            }
            SCOPED_TRACE(what + " at step " + std::to_string(step));
            ASSERT_EQ(list.size(), model.size());
            size_t live = 0, i = 0;
            for (Thing *t : list) {
                ASSERT_EQ(t, model[i].thing);
                ASSERT_EQ(t->id, model[i].id);
                EXPECT_EQ(list.IsPending(t), model[i].pending);
                live += model[i++].pending ? 0 : 1;
            }
            EXPECT_EQ(list.CountLive(), live);
            // Each lookup twice: the second is answered by the remembered last lookup.
            for (int k = 0; k < 4; k++) {
                const ObjectId id = randomId();
                Model *m = first(id);
                for (int again = 0; again < 2; again++) {
                    EXPECT_EQ(list.Find(id, true), m ? m->thing : nullptr);
                    EXPECT_EQ(list.Find(id), m && !m->pending ? m->thing : nullptr);
                    Thing *out = nullptr;
                    EXPECT_EQ(list.Find(id, &out, kFindPending), m ? 0 : list.NotFound(id));
                }
            }
        }
    }
    list.Clear();
    gShown.clear();
}

} // namespace

#include "imaging/async_draw.h"

#include <new>

#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"

void *(*CurrentDisplayHook)() = nullptr;

namespace {

// Called once the object has left the list, so that callbacks which free other objects or look the list up
// never see it again.
void EndAndFree(AsyncDrawObject *object) {
    if (object->end) object->end(object->context, object->endFlag);
    if (object->free) object->free(object->context, object->endFlag);
}

constexpr ObjectRules<AsyncDrawObject> kAsyncDrawRules{.notFoundError = kErrObjectNotFound, .release = EndAndFree};
ObjectList<AsyncDrawObject> AsyncDraws{&kAsyncDrawRules};

void Finish(AsyncDrawObject *object, int32_t flag) {
    object->endFlag = flag;
    AsyncDraws.Erase(object);
}

} // namespace

int CreateAsyncDraw(int32_t kind, AsyncStepFn step, AsyncEndFn end, AsyncFreeFn free, AsyncNotifyFn notify,
                    void *context, AsyncDrawObject **handle) {
    if (handle) *handle = nullptr;
    auto *o = new (std::nothrow) AsyncDrawObject;
    if (!o) return kErrOutOfMemory;
    o->kind = kind;
    o->step = step;
    o->end = end;
    o->free = free;
    o->notify = notify;
    o->context = context;
    o->display = CurrentDisplayHook ? CurrentDisplayHook() : nullptr;
    if (!AsyncDraws.Add(o, ObjectId{0, kAutoHandleRequest})) {
        delete o;
        return kErrOutOfMemory;
    }
    if (handle) *handle = o;
    return 0;
}

AsyncDrawObject *FindAsyncDraw(const void *handle) {
    return handle ? AsyncDraws.Find(ObjectId{0, const_cast<void *>(handle)}) : nullptr;
}

void FinishAsyncDraw(AsyncDrawObject *object) {
    // A transition is played to its last frame, so that its new picture shows whole; moves and anims stop where
    // they are. The bound keeps a transition that never reports done from holding the script.
    constexpr int kMaxFinishSteps = 1 << 16;
    if (object->kind == ADF_FX && object->step)
        for (int i = 0; i < kMaxFinishSteps && FindAsyncDraw(object); ++i) {
            int32_t done = 0;
            if (object->step(object->context, &done) || done) break;
        }
    if (FindAsyncDraw(object)) Finish(object, 1);
}

int StepAsyncDraw(AsyncDrawObject *object, int32_t *finished) {
    if (finished) *finished = 0;
    if (!FindAsyncDraw(object)) return kErrObjectNotFound;
    int32_t done = 0;
    const auto step = object->step; // the record may be gone once the step returns
    const int err = step ? step(object->context, &done) : 0;
    if (!step) done = 1;
    // The step may have freed every object (a script error path); only finish what is still ours.
    if ((err || done) && FindAsyncDraw(object)) {
        Finish(object, err ? 1 : 0);
        if (finished) *finished = 1;
    }
    return err;
}

int NotifyAsyncDraws(int32_t code, void *data) {
    for (auto it = AsyncDraws.begin(); it != AsyncDraws.end();) {
        AsyncDrawObject *o = *it;
        ++it;
        if (o->notify) o->notify(code, data, o->context);
    }
    return 0;
}

bool DisplayHasAsyncDraws(const void *display) {
    for (const AsyncDrawObject *o : AsyncDraws)
        if (o->display == display) return true;
    return false;
}

// Asks each object to store what it draws into the first word of a record.
static void *AskFirstWord(AsyncDrawObject *o, int32_t code) {
    void *record[1] = {nullptr};
    if (o->notify) o->notify(code, record, o->context);
    return record[0];
}

bool LayerHasAsyncDraw(const void *layer) {
    if (!layer) return false;
    for (AsyncDrawObject *o : AsyncDraws)
        if (AskFirstWord(o, kAsyncNotifyGetLayer) == layer) return true;
    return false;
}

void *FindAsyncDrawBGPic() {
    for (AsyncDrawObject *o : AsyncDraws)
        if (o->kind == ADF_FX)
            if (void *b = AskFirstWord(o, kAsyncNotifyGetBGPic)) return b;
    return nullptr;
}

void FreeAsyncDrawsOfDisplay(const void *display) {
    for (auto it = AsyncDraws.begin(); it != AsyncDraws.end();) {
        AsyncDrawObject *o = *it;
        if (!display || o->display == display) {
            Finish(o, 1);
            it = AsyncDraws.begin(); // callbacks may have changed the list: start over
        } else {
            ++it;
        }
    }
}

void FreeAllAsyncDraws() { FreeAsyncDrawsOfDisplay(nullptr); }

int32_t CountAsyncDraws() { return int32_t(AsyncDraws.size()); }

#include "scene/events/timed_callbacks.h"

#include <new>

#include "host/tasks.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"
#include "scene/events/event_state.h"

namespace {

void RemoveRequest(int operation, const TimedCallback *row) { ControlTimerRequest(operation, row->owner, 0); }

constexpr ObjectRules<TimedCallback> kIntervalRules{
    .notFoundError = kErrIntervalNotFound,
    .release = [](TimedCallback *row) { RemoveRequest(kTimerRemoveInterval, row); },
};
constexpr ObjectRules<TimedCallback> kTimeoutRules{
    .notFoundError = kErrTimeoutNotFound,
    .release = [](TimedCallback *row) { RemoveRequest(kTimerRemoveTimeout, row); },
};

} // namespace

ObjectList<TimedCallback> IntervalList{&kIntervalRules};
ObjectList<TimedCallback> TimeoutList{&kTimeoutRules};

namespace {

int32_t nextOwner = 0;

ObjectList<TimedCallback> &ListOf(int kind) { return kind == kTimerInterval ? IntervalList : TimeoutList; }

// A fresh owner key no row of either list uses.
int32_t NewOwner() {
    for (;;) {
        nextOwner = nextOwner == INT32_MAX ? 1 : nextOwner + 1;
        if (!FindTimedCallbackByOwner(kTimerInterval, nextOwner) && !FindTimedCallbackByOwner(kTimerTimeout, nextOwner))
            return nextOwner;
    }
}

void ReleaseRefs(VMState *vm, TimedCallback *row) {
    if (!vm) return;
    if (row->functionRef != -1) FreeRef(vm, kRegistryIndex, row->functionRef);
    if (row->userdataRef != -1) FreeRef(vm, kRegistryIndex, row->userdataRef);
    row->functionRef = row->userdataRef = -1;
}

int Remove(VMState *vm, int kind, ObjectId id) {
    TimedCallback *row;
    if (int error = ListOf(kind).Find(id, &row, 0)) return error;
    ReleaseRefs(vm, row);
    // A pass stopped in the timer step goes on with the request after this one.
    if (TheEventState && TheEventState->timerIterator) {
        TimerRequestNode *successor = nullptr;
        TimerRequestNode *node = FindTimerRequest(kind, row->owner, &successor);
        if (node && node == TheEventState->timerIterator) TheEventState->timerIterator = successor;
    }
    ListOf(kind).FreeRecord(row);
    return 0;
}

} // namespace

int FindInterval(ObjectId id, TimedCallback **out) { return IntervalList.Find(id, out, 0); }
int FindTimeout(ObjectId id, TimedCallback **out) { return TimeoutList.Find(id, out, 0); }

TimedCallback *FindTimedCallbackByOwner(int kind, int32_t owner) {
    for (TimedCallback *row : ListOf(kind))
        if (row->owner == owner) return row;
    return nullptr;
}

void DropFiredTimeout(TimedCallback *row) { TimeoutList.Erase(row); }

int AddTimedCallback(VMState *vm, int kind, ObjectId id, int32_t period, int32_t functionRef, int32_t userdataRef,
                     TimedCallback **out) {
    TimedCallback scratch;
    scratch.functionRef = functionRef;
    scratch.userdataRef = userdataRef;
    if (period < 1) {
        ReleaseRefs(vm, &scratch);
        return kErrWrongUsage;
    }
    if (!id.handle) Remove(vm, kind, id); // replacing; a missing row is fine
    TimedCallback *row = new (std::nothrow) TimedCallback;
    if (!row) {
        ReleaseRefs(vm, &scratch);
        return kErrOutOfMemory;
    }
    row->period = period;
    row->functionRef = functionRef;
    row->userdataRef = userdataRef;
    row->owner = NewOwner();
    if (!ListOf(kind).Add(row, id)) {
        ReleaseRefs(vm, row);
        delete row;
        return kErrOutOfMemory;
    }
    if (int error =
            ControlTimerRequest(kind == kTimerInterval ? kTimerAddInterval : kTimerAddTimeout, row->owner, period)) {
        // Gone at once: an automatic id's handle was not handed out, so a row left behind could not be cleared.
        ReleaseRefs(vm, row);
        ListOf(kind).Erase(row);
        return error;
    }
    if (out) *out = row;
    return 0;
}

int RemoveInterval(VMState *vm, ObjectId id) { return Remove(vm, kTimerInterval, id); }
int RemoveTimeout(VMState *vm, ObjectId id) { return Remove(vm, kTimerTimeout, id); }

int ChangeInterval(ObjectId id, int32_t period) {
    TimedCallback *row;
    if (int error = FindInterval(id, &row)) return error;
    // A period below one millisecond would make the interval due at every poll.
    if (period < 1) return kErrWrongUsage;
    return ControlTimerRequest(kTimerChangeInterval, row->owner, period);
}

void FreeTimedCallbacks(VMState *vm) {
    for (int kind : {kTimerInterval, kTimerTimeout}) {
        for (TimedCallback *row : ListOf(kind)) ReleaseRefs(vm, row);
        ListOf(kind).Clear();
    }
}

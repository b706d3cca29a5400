#include "scene/events/timed_callbacks.h"

#include <new>

#include "host/tasks.h"
#include "runtime/app/errors.h"
#include "scene/events/event_state.h"

TimedCallback *IntervalList = nullptr;
TimedCallback *TimeoutList = nullptr;

namespace {

int32_t nextOwner = 0;

TimedCallback *&ListOf(int kind) { return kind == kTimerInterval ? IntervalList : TimeoutList; }

// A fresh owner key no row of either list uses.
int32_t NewOwner() {
    for (;;) {
        nextOwner = nextOwner == INT32_MAX ? 1 : nextOwner + 1;
        if (!FindTimedCallbackByOwner(kTimerInterval, nextOwner) && !FindTimedCallbackByOwner(kTimerTimeout, nextOwner))
            return nextOwner;
    }
}

int Find(int kind, ObjectId id, TimedCallback **out) {
    *out = nullptr;
    for (TimedCallback *row = ListOf(kind); row; row = row->next) {
        if (row->id == id) {
            *out = row;
            return 0;
        }
    }
    if (id.handle) return kErrObjectNotFound;
    SetErrorArgNumber(id.number);
    return kind == kTimerInterval ? kErrIntervalNotFound : kErrTimeoutNotFound;
}

void ReleaseRefs(VMState *vm, TimedCallback *row) {
    if (!vm) return;
    if (row->functionRef != -1) FreeRef(vm, kRegistryIndex, row->functionRef);
    if (row->userdataRef != -1) FreeRef(vm, kRegistryIndex, row->userdataRef);
    row->functionRef = row->userdataRef = -1;
}

int Remove(VMState *vm, int kind, ObjectId id) {
    TimedCallback *row;
    if (int error = Find(kind, id, &row)) return error;
    UnlinkTimedCallback(kind, row);
    ReleaseRefs(vm, row);
    // A pass stopped in the timer step goes on with the request after this one.
    if (TheEventState && TheEventState->timerIterator) {
        TimerRequestNode *successor = nullptr;
        TimerRequestNode *node = FindTimerRequest(kind, row->owner, &successor);
        if (node && node == TheEventState->timerIterator) TheEventState->timerIterator = successor;
    }
    ControlTimerRequest(kind == kTimerInterval ? kTimerRemoveInterval : kTimerRemoveTimeout, row->owner, 0);
    delete row;
    return 0;
}

} // namespace

int FindInterval(ObjectId id, TimedCallback **out) { return Find(kTimerInterval, id, out); }
int FindTimeout(ObjectId id, TimedCallback **out) { return Find(kTimerTimeout, id, out); }

TimedCallback *FindTimedCallbackByOwner(int kind, int32_t owner) {
    for (TimedCallback *row = ListOf(kind); row; row = row->next)
        if (row->owner == owner) return row;
    return nullptr;
}

void UnlinkTimedCallback(int kind, TimedCallback *row) {
    TimedCallback **link = &ListOf(kind);
    while (*link && *link != row) link = &(*link)->next;
    if (*link) *link = row->next;
    row->next = nullptr;
}

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
    row->id = id;
    if (id.handle) row->id = ObjectId{0, row};
    row->period = period;
    row->functionRef = functionRef;
    row->userdataRef = userdataRef;
    row->owner = NewOwner();
    int error = ControlTimerRequest(kind == kTimerInterval ? kTimerAddInterval : kTimerAddTimeout, row->owner, period);
    if (error) {
        // Never linked: an automatic id's handle was not handed out, so a row left behind could not be cleared.
        ReleaseRefs(vm, row);
        delete row;
        return error;
    }
    TimedCallback **link = &ListOf(kind);
    while (*link) link = &(*link)->next;
    *link = row;
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
        TimedCallback *row = ListOf(kind);
        ListOf(kind) = nullptr;
        while (row) {
            TimedCallback *next = row->next;
            ReleaseRefs(vm, row);
            ControlTimerRequest(kind == kTimerInterval ? kTimerRemoveInterval : kTimerRemoveTimeout, row->owner, 0);
            delete row;
            row = next;
        }
    }
}

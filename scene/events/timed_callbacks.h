// Intervals and timeouts: the script side of each timer (function and userdata references). The host's timer
// requests do the timing; each row's request is keyed by the row's own owner key, since an automatic id is an
// address that does not fit the request's 32-bit owner.
#pragma once

#include <cstdint>

#include "runtime/app/object_list.h"
#include "runtime/vm/vm.h"

struct TimedCallback {
    ObjectId id{};
    int32_t functionRef = -1;
    int32_t period = 0; // as given to SetInterval/SetTimeout; ChangeInterval leaves it
    int32_t userdataRef = -1;
    int32_t owner = 0; // the host timer request's owner
};

extern ObjectList<TimedCallback> IntervalList;
extern ObjectList<TimedCallback> TimeoutList;

// kind: kTimerInterval or kTimerTimeout (host/tasks.h).
// 0, or kErrObjectNotFound (handle) / kErrIntervalNotFound / kErrTimeoutNotFound (number, set as the error argument).
int FindInterval(ObjectId id, TimedCallback **out);
int FindTimeout(ObjectId id, TimedCallback **out);
// The row whose timer request has this owner, or null.
TimedCallback *FindTimedCallbackByOwner(int kind, int32_t owner);

// Adds a row with its timer request. A number id first removes the row of that id. The references are taken
// over: on failure they are released and nothing stays behind. With an automatic id the row becomes the handle.
// 0, kErrWrongUsage (period < 1), kErrOutOfMemory.
int AddTimedCallback(VMState *vm, int kind, ObjectId id, int32_t period, int32_t functionRef, int32_t userdataRef,
                     TimedCallback **out = nullptr);
// ClearInterval / ClearTimeout: 0, kErrObjectNotFound, kErrIntervalNotFound / kErrTimeoutNotFound.
int RemoveInterval(VMState *vm, ObjectId id);
int RemoveTimeout(VMState *vm, ObjectId id);
// The new period applies from the interval's next re-arm. 0, kErrWrongUsage (period < 1), kErrObjectNotFound,
// kErrIntervalNotFound, kErrOutOfMemory.
int ChangeInterval(ObjectId id, int32_t period);
// Frees a timeout that fired (its request is gone) without touching its references.
void DropFiredTimeout(TimedCallback *row);
// Frees every row of both lists with its request (vm null: references are left to the closing VM).
void FreeTimedCallbacks(VMState *vm);

// Async draw objects: transitions, moves and anims that the script advances one frame at a time.
//
// Order of the callbacks: step once per AsyncDrawFrame; when step reports done or fails, end (flag 0 done,
// 1 failed) and then free (same flag) are called once each, after the object has left the list. Freeing all
// objects calls end and free with flag 1 (aborted) for every object that has not ended yet.
#pragma once

#include <cstdint>

#include "runtime/vm/vm.h"

constexpr int32_t ADF_FX = 0;
constexpr int32_t ADF_MOVE = 1;
constexpr int32_t ADF_ANIM = 2;

// Notify codes.
constexpr int32_t kAsyncNotifyLayerReplaced = 0; // argument: the old layer
constexpr int32_t kAsyncNotifyLayerChanged = 1;
constexpr int32_t kAsyncNotifyFrameCount = 2;
constexpr int32_t kAsyncNotifyFrame = 3;
constexpr int32_t kAsyncNotifySeek = 4;
constexpr int32_t kAsyncNotifyRefresh = 5;
constexpr int32_t kAsyncNotifyGetLayer = 6; // store the object's layer into the first word of the argument
constexpr int32_t kAsyncNotifyGetBGPic = 7; // store the emulated background picture likewise
constexpr int32_t kAsyncNotifyNoPresent = 8;

using AsyncStepFn = int (*)(void *context, int32_t *done); // 0 or an error code
using AsyncEndFn = void (*)(void *context, int32_t flag);
using AsyncFreeFn = void (*)(void *context, int32_t flag);
using AsyncNotifyFn = intptr_t (*)(int32_t code, void *argument, void *context);

struct AsyncDrawObject {
    ObjectId id{}; // {0, itself}: scripts hold the handle
    int32_t kind = ADF_FX;
    AsyncStepFn step = nullptr;
    AsyncEndFn end = nullptr;
    AsyncFreeFn free = nullptr;
    AsyncNotifyFn notify = nullptr;
    void *context = nullptr;
    void *display = nullptr; // the display it was created for
    int32_t endFlag = 1; // what end and free are told when the list lets the object go
};

// The display new objects belong to; set by the display code (null hook: no display).
extern void *(*CurrentDisplayHook)();

// Appends an object for the current display; *handle receives its address. 0, or kErrOutOfMemory when out of memory.
int CreateAsyncDraw(int32_t kind, AsyncStepFn step, AsyncEndFn end, AsyncFreeFn free, AsyncNotifyFn notify,
                    void *context, AsyncDrawObject **handle);
// Finds a live object by handle (handles come from scripts, so they are checked against the list).
AsyncDrawObject *FindAsyncDraw(const void *handle);
// Draws the object's next frame. Returns 0 or step's error; *finished is 1 when the object ended (and is gone).
int StepAsyncDraw(AsyncDrawObject *object, int32_t *finished);
// Ends the object at once as the machinery would: a transition first draws its remaining frames; then end and
// free with flag 1, once each.
void FinishAsyncDraw(AsyncDrawObject *object);
// Passes a notification to every object; returns 0.
int NotifyAsyncDraws(int32_t code, void *data);
bool DisplayHasAsyncDraws(const void *display);
bool LayerHasAsyncDraw(const void *layer);
void *FindAsyncDrawBGPic();
// Ends and frees every object of the display (null: of all displays).
void FreeAsyncDrawsOfDisplay(const void *display);
void FreeAllAsyncDraws();
int32_t CountAsyncDraws();

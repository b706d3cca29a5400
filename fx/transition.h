// Running a transition: RunTransition resolves the request's source, picks the effect and plays it, blocking or
// as an async draw object; the release, end and async callbacks.
#pragma once

#include <cstdint>

#include "fx/fx_engine.h"
#include "runtime/app/errors.h"

struct DisplayRecord;

// Returns 0 (blocking run done), 1 (async: the handle was pushed) or an error code. The caller's record gets
// redo set when the output changed size mid-run; the front end then runs it again.
int RunTransition(FxRequest *request);
// normal is 1 after a blocking run, 0 after a failure or from the async machinery.
void FreeFxRequest(FxRequest *request, int normal);
void EndFxRequest(FxRequest *request, int flag);
int FxAsyncStep(FxRequest *request, int *done);
intptr_t FxNotify(int32_t code, void *argument, FxRequest *request);
int SeekFxFrame(FxRequest *request, int32_t frame, int force);
// Frees the new image, mask and alpha where the request owns them.
void FreeOwnedSource(FxRequest *request);
// The set-up anew on a source made again (the state held on to the old one), then the frame reached drawn again:
// the same share of the run when the size changed from oldWidth x oldHeight.
int SetUpAgain(FxRequest *request, int32_t oldWidth, int32_t oldHeight);

// An effect id drawn from the runtime's drand48 among the effects, never 113 or 140; with
// excludeBGPicOnly never one that only a background picture can play.
int32_t DrawRandomEffect(bool excludeBGPicOnly);

// The most frames any run may take before it counts as done: a family whose end condition is wrong must not
// hang the player.
int64_t FxFrameLimit(const FxRequest *request);

// Double buffering's end, set by the double-buffering code when it exists (null: no display double-buffers).
extern int (*EndDoubleBufferingHook)(VMState *vm, DisplayRecord *display);

// The program-wide object kinds seen from the scene: names for the layer dump, the group sets other code tests
// against, and the one refusal rule for commands that cannot run while a brush, mask, alpha channel or anim
// frame is the drawing target.
#pragma once

#include <cstdint>

#include "runtime/app/object_kinds.h"

struct DisplayRecord;

constexpr int32_t kObjectKindCount = 50;

// The names the layer dump prints; kinds outside 0..49 get "".
extern const char *const ObjectKindNames[kObjectKindCount];
const char *ObjectKindName(int32_t kind);
bool IsValidObjectKind(int32_t kind);

// Group sets.
bool IsShapeLayerKind(int32_t kind); // carry a form style
bool IsImageLayerKind(int32_t kind); // image comes from another object (the layer's source)
bool IsTextLayerKind(int32_t kind);
// The kind a referrer walk also matches: BRUSHPART for BRUSH, else none (0).
int32_t AlternativeReferrerKind(int32_t kind);

// The selected-output refusal: outputKind is the display's output kind, sourceKind the kind of the object behind
// a redirected output (4 for an anim frame). Returns 0 or kErrSelectBrushActive, kErrSelectAnimActive,
// kErrSelectMaskActive, kErrSelectAlphaChannelActive, and kErrSelectBGPicActive for a picture selected in layers mode
// when refuseBGPic is set.
int CheckSelectedOutput(int32_t outputKind, int32_t sourceKind, int refuseBGPic);
// The same for a display (null: nothing is selected).
int RefuseSelectedOutput(const DisplayRecord *display, int refuseBGPic);

// The effect ids: one row per id with its constant name, its step and finish functions and the sets it belongs
// to. A family defines its functions in its own file (declared in effect_families.h) and fills its rows here.
#pragma once

#include <cstdint>

#include "fx/fx_engine.h"

// Set bits of a row.
constexpr uint32_t kFxBGPicOnly = 1;    // drawn at the output origin; HSTRIPES elsewhere
constexpr uint32_t kFxMaskAware = 2;    // handles mask and alpha itself: never pre-composed
constexpr uint32_t kFxDirectFrame = 4;  // phase 2 draws any frame at once
constexpr uint32_t kFxBlend = 8;        // blends levels rather than revealing rectangles
constexpr uint32_t kFxScroll = 16;      // moves the layer itself
// Old-area snapshot: needed without a real-time layer, always, or only with one.
constexpr uint32_t kFxSnapshotPlain = 32;
constexpr uint32_t kFxSnapshotAlways = 64;
constexpr uint32_t kFxSnapshotRealtime = 128;
// With HideLayerFX/RemoveLayerFX the layer stays shown in the snapshot.
constexpr uint32_t kFxSnapshotWithLayer = 256;

struct FxEffectRow {
    const char *name;
    FxStepFn step;
    FxFinishFn finish; // null: none
    uint32_t sets;
};

// Indexed by id, 0..139 (113 is an empty row). Writable only so that tests can put a failing step in a row.
extern FxEffectRow FxEffects[kFxEffectIdCount];

inline const FxEffectRow *FindFxEffect(int32_t id) {
    return id >= 0 && id < kFxEffectIdCount && FxEffects[id].name ? &FxEffects[id] : nullptr;
}
inline bool FxEffectHas(int32_t id, uint32_t set) {
    const FxEffectRow *row = FindFxEffect(id);
    return row && (row->sets & set);
}

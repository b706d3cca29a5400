// The effect table, made from the rows of effect_table.h.
#include "fx/effect_table.h"

#include "fx/effect_families.h"

namespace {

constexpr std::array<FxEffectRow, kFxEffectIdCount> MakeFxEffects() {
    std::array<FxEffectRow, kFxEffectIdCount> rows{};
#define VL_FX_ROW(id, NAME, Name, F, Speed, axis, direction, amount, sets, Reverse)                           \
    rows[id] = {#NAME, &F##Family, kFxSpeed##Speed, {kFxAxis##axis, kFx##direction, amount}, sets,              \
                kFx##Reverse};
    VL_FX_EFFECTS(VL_FX_ROW)
#undef VL_FX_ROW
    return rows;
}

} // namespace

constinit std::array<FxEffectRow, kFxEffectIdCount> FxEffects = MakeFxEffects();

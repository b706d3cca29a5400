// The form-style keys of a style table, read and written in one place for the draw state (SetFormStyle,
// GetFormStyle) and for shape layers (GetLayerStyle, SetLayerStyle).
#pragma once

#include "imaging/raster.h"
#include "runtime/vm/vm.h"

// Reads the keys of the table at stack index t into style in their fixed order; absent keys keep their value,
// other keys are left alone. "texturebrush" is taken as an id (-1 none) without looking the brush up; *textureGiven
// says whether it was present. Clamps the values. Sets *given when any key was present (given may be null).
void ReadFormStyleKeys(VMState *vm, int t, FormStyle *style, int *textureGiven, int *given = nullptr);
// Sets the keys into the table on top of the stack ("texturebrush" -1 for none).
void WriteFormStyleKeys(VMState *vm, const FormStyle &style);

// Creating a display from its option table, and reading the option table that CreateDisplay and
// SetDisplayAttributes share.
#pragma once

#include <cstdint>

#include "scene/display/display_record.h"

// The display library's resize (position, size, script request, smooth, redraw); null: a scaled display is created
// at its scaled size without the resize pass.
extern int (*ResizeDisplayHook)(VMState *vm, DisplayRecord *display, int32_t x, int32_t y, int32_t width,
                                int32_t height, int scriptRequest, int smooth, int redraw);

// Reads regions[0..] from the table under key of the table at stack index table. Nil: nothing changes. More than
// kMaxDisplayRegions entries: kErrWrongUsage. 0 or an error code.
int ParseRegion(VMState *vm, int table, const char *key, DisplayRegion *regions, int32_t *count, int32_t *given);
// Reads the display option table at stack index table into the record, keys in their fixed order.
int ParseDisplaySettings(VMState *vm, int table, DisplayRecord *display, int creating, int *scaledSizeGiven);
// Creates a closed display: id {number, 0} or an automatic request; optionsIndex is the stack index of the option
// table, 0 for none. *out gets the new record (its id holds the handle). 0 or an error code; on an error no
// record is left behind.
int CreateDisplay(VMState *vm, ObjectId id, int optionsIndex, DisplayRecord **out);
// The CreateDisplay command: id or Nil, optional option table; pushes the handle of an automatic display.
int CmdCreateDisplay(VMState *vm);
// A scale mode by the name of its constant ("SCALEMODE_AUTO", with or without "#", any case) or by its number:
// 0, 1 or 2, or -1 for a name that is none.
int32_t ScaleModeByName(const char *name);

// What the scene script runner adds for the layer scripts: the display, brush and layers libraries, an
// in-memory anim library behind the anim services, the window check, the refresh counter, and the debug output
// as output lines.
#pragma once

#include <string>
#include <vector>

#include "runtime/vm/vm.h"

struct DisplayRecord;

namespace layertest {

// 0, or -1 when video cannot start.
int SetUpLayerScripts(VMState *vm, std::vector<std::string> *output);
// Frees every display but the fixture's own, and the brushes, pictures, anims and hooks the scripts made.
void TearDownLayerScripts(VMState *vm, DisplayRecord *fixtureDisplay);

} // namespace layertest

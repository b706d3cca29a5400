// What one call may allocate. A script can ask for anything (a hundred million frames of a layer, a picture of
// the largest side); what it asks for is checked against this cap before anything is allocated, so that the call
// fails with "Out of memory!" instead of taking the machine. VL_ALLOCATION_CAP_MB sets the cap (default 2 GiB).
#pragma once

#include <cstdint>

int64_t AllocationCapBytes();
// True when count items of itemBytes each stay within the cap (false for negative or overflowing requests).
bool FitsAllocationCap(int64_t count, int64_t itemBytes);

// Whole-file writes that never lose the old file: the data goes to a temporary file in the target's folder, is
// flushed and synced, and only then renamed over the target. On any failure the temporary file is removed and
// the target is left as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// name may carry a device prefix (path.h). 0, or -1 when the file could not be written (errno kept).
int WriteFileSafely(const char *name, std::span<const uint8_t> bytes);

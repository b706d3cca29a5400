// Whole-file writes from one buffer that never lose the old file, through the safe overwrite of
// safe_overwrite.h (which writers that stream their data use directly).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Writes every byte to the descriptor, going on after interrupted and partial writes; false on an error.
bool WriteAllBytes(int fd, std::span<const uint8_t> bytes);

// name may carry a device prefix (path.h). 0, or -1 when the file could not be written (errno kept).
int WriteFileSafely(const char *name, std::span<const uint8_t> bytes);

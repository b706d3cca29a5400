// Path names: the device-name assign table and normalisation.
//
// Scripts write paths the system's way, with device prefixes. The assign table maps them to host directories:
//   PROGDIR:  the directory of the program (or of the applet, when the start-up code says so)
//   T:, RAM:  the temporary directory ($TMPDIR, else /tmp)
//   FONTS:    the first font directory (the program's "fonts" folder)
//   SYS:      the root directory
// Any other "NAME:" prefix is refused: a path with an unknown device cannot be opened, as on the system. A name
// without a device prefix is a host path, absolute or relative to the current directory.
#pragma once

#include <cstddef>
#include <string>

// The host path for a name, with its device prefix resolved; 0 when the name uses an unknown device (or is null).
int ResolveHostPath(const char *name, std::string *out);
// Adds or replaces a device (name without ":", case-insensitive); a null directory removes it.
void SetAssign(const char *device, const char *directory);
// The directory of a device, "" when unknown.
std::string GetAssign(const char *device);
// The directory the player's executable is in ("." when it cannot be told).
std::string ExecutableDirectory();

// Backslashes become "/" and "./" components are dropped; ".." is kept, so a relative path stays relative.
// Writes into buffer (at most size bytes with the zero) and returns it; truncates at the buffer's end.
char *NormalizePath(const char *name, char *buffer, size_t size = 1024);

// A new, not yet existing temporary file name in "T:" (created empty, so no other caller gets the same name).
// 1 on success, 0 when none could be made. The buffer holds 1024 bytes.
int MakeTempFileName(char *buffer, size_t size = 1024);
// The same with a suffix (an extension such as ".sh", or ""), made and opened at once (mode 0600): 0 with the
// name and the open descriptor, or -1.
int MakeTempFile(const char *suffix, std::string *name);

// Whole-file writes that replace their target only once complete.
//
// The data goes to a new hidden file (created exclusively, mode 0600) in the target's own directory; committing
// flushes it to the disk and renames it over the target in one step. A failure or an abort removes the temporary
// file and leaves the old target as it was, so a full disk or a stopped copy never loses the old content.
// The temporary is ".<name>.vltmp-<pid>-<12 hex digits>"; one whose writer was killed is removed by the first write
// of a later process into the same directory.
#pragma once

#include <string>

struct SafeOverwrite {
    int directoryFd = -1; // the target's directory
    bool ownsDirectory = false;
    std::string name;     // the target's name in that directory
    std::string tempName; // the temporary file's name there
    int fd = -1;          // the temporary file, open for writing
};

// Starts a replacement of path; 0 or an errno value.
int BeginSafeOverwrite(const char *path, SafeOverwrite *out);
// The same for name inside an open directory (the caller keeps directoryFd open until commit or abort).
int BeginSafeOverwriteAt(int directoryFd, const char *name, SafeOverwrite *out);
// Gives the temporary file the target's permissions, or for a new target the usual ones (0666 less the umask).
// 0 or an errno value.
int MatchTargetPermissions(const SafeOverwrite *write);
// Renames the written file over the target; with syncData the data reaches the disk first, which a writer that
// replaces an existing file wants. 0 or an errno value; on failure the temporary file is gone.
int CommitSafeOverwrite(SafeOverwrite *write, bool syncData = true);
// Removes the temporary file; the target stays untouched.
void AbortSafeOverwrite(SafeOverwrite *write);

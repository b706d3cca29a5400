// Directory listings, and the walkers behind copying and deleting files and whole trees.
//
// The path a caller names is resolved as given (device prefixes, links). Below it every entry is reached through
// its directory's descriptor and links are never followed: a link is copied as a link and deleted as itself, so
// a walk never leaves its tree and a link loop cannot make it endless. Nothing changes the current directory,
// which the whole process shares.
//
// Copies never destroy: each file is written under a hidden temporary name in its destination directory, given
// its date, mode and comment, and only then renamed over the destination (see safe_overwrite.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct PatternBuffer;

// Deeper trees stop the walk: a copy with kErrExamine, a delete with kErrDeleteFile.
constexpr int kMaxTreeDepth = 256;
// With a callback, the copy reports after every block of this many bytes.
constexpr int64_t kCopyStatusBlock = 16384;

// What a walker asks its callback.
enum TreeAction {
    kTreeCopyStatus,     // copied bytes of size, after each block
    kTreeCopyOverwrite,  // the destination exists
    kTreeCopyUnprotect,  // the existing destination is protected
    kTreeDeleteStatus,   // file is about to be deleted
    kTreeDeleteUnprotect // file lacks the delete permission
};

struct TreeMessage {
    TreeAction action;
    const std::string *source = nullptr;      // full names of the final files, never the temporary one
    const std::string *destination = nullptr;
    const std::string *file = nullptr;
    int64_t copied = 0;
    int64_t size = 0;
};

// Answers of a callback: go on, skip this entry (keep it in place), or any error code, which ends the walk
// (kErrUserAbort when the user stopped it).
constexpr int kTreeGoOn = 0;
constexpr int kTreeSkip = -1;
struct TreeCallback {
    int (*call)(void *context, const TreeMessage &message) = nullptr; // null: no callback
    void *context = nullptr;
};

// The names of a directory's files and subdirectories, all in one buffer.
struct DirectoryNames {
    struct Name {
        uint64_t key; // the first eight bytes, big-endian and zero-padded: most comparisons end here
        uint32_t offset, length;
    };
    std::string bytes;
    std::vector<Name> files, directories;
    std::string_view Text(const Name &name) const { return std::string_view(bytes).substr(name.offset, name.length); }
};

// Lists a directory in one pass over its entries, in byte order when sorted is set (the script's Sort order for
// distinct names), else in the file system's order. A link counts as what it points to, a dangling link as a
// file; only links and entries of unknown type are examined. 0, kErrLockFailed "Error locking %s!" when the path does
// not exist, kErrNotADirectory when it is no directory.
int ListDirectory(const char *path, bool sorted, DirectoryNames *out);

// Creates path and every missing parent. 0, or kErrCreateDirectory naming the prefix that is not a directory or
// cannot be made.
int MakePath(const char *path);

// Copies source (a file, a directory's whole tree, or, when pattern is set, the entries of the directory source
// that match it) into destinationDirectory, made when missing; a file may get newName (a plain name, else
// kErrWrongUsage). kErrWrongUsage also for a file onto itself or a directory into itself or its own subtree, before
// anything is created. 0 or an error code with its error argument set.
int CopyPath(const char *source, const PatternBuffer *pattern, const char *destinationDirectory, const char *newName,
             const TreeCallback &callback);

// Deletes a file or link, or a directory with everything in it. keepDirectory deletes only the contents;
// pattern (with keepDirectory) only the entries that match, at every depth. A missing path is no error.
int DeletePath(const char *path, const PatternBuffer *pattern, bool keepDirectory, const TreeCallback &callback);

// The text up to and including the last "/", "\" or ":"; the name part is the rest.
size_t NamePartOffset(const std::string &path);
// A "/" goes between unless directory is empty or ends in "/", "\" or ":".
std::string JoinPathText(const std::string &directory, const std::string &name);

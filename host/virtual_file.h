// VirtualFile: the one stream handle through which every loader, writer and file command reads and writes.
//
// Names it opens:
//   a plain path (device prefixes such as "PROGDIR:" or "T:" resolved through the assign table, see path.h);
//   ":::chunk<offset>:<length>*<name>/<container>"  a byte range of another file (read only);
//   ":::chunkS<offset>:<length>*<name>/<hex address>"  a byte range of a memory block the program registered;
//   ":::memory<hex address>:<length>"  likewise;
//   ":::clipboard"  the clipboard as a stream (through the hooks below).
// Memory names carry 64-bit addresses and are only accepted when the whole range lies inside a block registered
// with RegisterMemoryRange: a script can write such a name, so an address alone is never trusted.
//
// One logical position serves the buffered and the unbuffered calls, so they may be mixed freely on one stream,
// and reads and writes may alternate. Positions of ranges count from the range's start and stop at its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct VirtualFile; // opaque

// OpenVirtualFile modes.
constexpr int kVirtualFileRead = 0;      // an existing file, read only
constexpr int kVirtualFileCreate = 1;    // create, or empty an existing file; read and write
constexpr int kVirtualFileReadWrite = 2; // an existing file for reading and writing, created when missing
// A whole-file writer's mode: the bytes go to a new temporary file in the target's folder, which
// CloseVirtualFile flushes, syncs and renames over the target only when every write succeeded; otherwise (and on
// DiscardVirtualFile) it is removed and the old file stays as it was. Memory and clipboard names behave as
// kVirtualFileCreate.
constexpr int kVirtualFileReplace = 3;

// SeekVirtualFile modes.
constexpr int kSeekFromCurrent = 0;
constexpr int kSeekFromStart = 1;
constexpr int kSeekFromEnd = 2;

// Null when the name cannot be opened (missing file, malformed or unregistered range, unknown device).
VirtualFile *OpenVirtualFile(const char *name, int mode);
// Flushes and closes; 0, or -1 when buffered data could not be written (or a replacing file could not take the
// target's place). Null is allowed.
int CloseVirtualFile(VirtualFile *file);
// Closes a file whose contents are not wanted: a replacing file's temporary copy is removed, the target untouched.
// Other files are closed as by CloseVirtualFile.
void DiscardVirtualFile(VirtualFile *file);

// Reads up to count bytes, clipped to the end of a range: the number read, 0 at the end, negative on an error.
int64_t ReadVirtualFile(VirtualFile *file, void *buffer, size_t count);
int64_t ReadVirtualFileBuffered(VirtualFile *file, void *buffer, size_t count);
// The next byte 0..255, or -1 at the end (buffered).
int GetCharVirtualFile(VirtualFile *file);
// Buffered, without copying: the bytes from the position on that are at hand (the window, refilled when the
// position has left it, or the memory itself). Sets *count (0 at the end) and returns them, null on an error.
// The view stays valid until the next call on the file; the position does not move. *lasting (when given) tells
// whether the view is the file's own buffer, which stays as it is across AdvanceVirtualFile calls, or memory the
// script owns, which may change or go whenever the script runs.
const uint8_t *PeekVirtualFile(VirtualFile *file, size_t *count, bool *lasting = nullptr);
// Moves the position past count bytes of the last peek.
void AdvanceVirtualFile(VirtualFile *file, size_t count);

// Writes count bytes at the position: the number written (less at the end of a memory range), negative on an
// error. The position advances.
int64_t WriteVirtualFile(VirtualFile *file, const void *buffer, size_t count);
int64_t WriteVirtualFileBuffered(VirtualFile *file, const void *buffer, size_t count);
// 1 on success (at once for memory ranges), 0 on a write error.
int FlushVirtualFile(VirtualFile *file);

// Moves the position (mode kSeekFrom*) and returns the previous position, or -1 when the new position would lie
// before the start or past the end (the position is then unchanged). Range positions are range-relative.
int64_t SeekVirtualFile(VirtualFile *file, int64_t offset, int mode);
// 1 when the position has reached the length.
int VirtualFileAtEnd(VirtualFile *file);
// The stream's length (range length for ranges), -1 on an error.
int64_t VirtualFileLength(VirtualFile *file);
// Reads the whole stream from its start into bytes: 0, 1 when its length is outside [minBytes, maxBytes] (the
// caller's format cannot be that size), or 2 when it cannot be read or the buffer cannot be had.
int ReadWholeVirtualFile(VirtualFile *file, int64_t minBytes, int64_t maxBytes, std::vector<uint8_t> &bytes);

// The parts of a ":::chunk" or ":::chunkS" name; 1 when the name has that form with numbers in range.
struct ChunkNameParts {
    bool memory = false; // ":::chunkS": container is a hexadecimal address
    uint64_t offset = 0;
    uint64_t length = 0;
    std::string name;
    std::string container;
};
int ParseChunkName(const char *text, ChunkNameParts *out);

// ---- Memory ranges ------------------------------------------------------------------------------------------
// Makes [base, base + length) reachable through ":::chunkS" and ":::memory" names until unregistered.
// Writable ranges also accept writes from streams opened with a writing mode.
void RegisterMemoryRange(const void *base, uint64_t length, int writable);
void UnregisterMemoryRange(const void *base);
// Writes ":::memory<16 hex digits>:<length>" for a registered range; 0 when the buffer is too small.
int MakeMemoryFileName(char *buffer, size_t size, const void *base, uint64_t length);

// ---- Clipboard ----------------------------------------------------------------------------------------------
// The graphical host connects ":::clipboard": read fills the bytes on open for reading (0 or an error code);
// write receives everything written when a writing stream closes (0 or an error code, which the close reports).
using ClipboardStreamRead = int (*)(std::vector<uint8_t> *out);
using ClipboardStreamWrite = int (*)(const uint8_t *bytes, size_t size);
void SetClipboardStreamHooks(ClipboardStreamRead read, ClipboardStreamWrite write);

// The dos library's open files. Every read and write of the dos commands, the serialised functions and tables
// and the memblock file commands goes through these operations, which keep the library's own position and
// size: a read never starts when it would cross size, and after a write size is the larger of size and
// position. Operations return 0 or an error code; they never see the VM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/app/object_list.h"
#include "runtime/vm/vm.h"

struct VirtualFile;

constexpr int32_t kModeReadWrite = 1004;
constexpr int32_t kModeRead = 1005;
constexpr int32_t kModeWrite = 1006;

constexpr int kAccessRead = 0;
constexpr int kAccessWrite = 1;
constexpr int kAccessReadWrite = 2;

constexpr int32_t kIOBuffered = 0;
constexpr int32_t kIOUnbuffered = 1;

struct FileObject {
    ObjectId id;          // an automatic handle is the record itself
    int32_t mode = 0;     // 1004, kErrWriteFailed or 1006 as the script gave it
    int32_t access = 0;   // kAccess*
    int64_t position = 0; // kept by the library, 0 after opening
    int64_t size = 0;     // set at open, raised by writes
    VirtualFile *stream = nullptr;
    // The stream's own buffer from position on, kept between line reads so that the next line takes no call
    // into the stream; every other operation on the stream drops it.
    const uint8_t *ahead = nullptr;
    size_t aheadCount = 0;
    std::string name; // as the script gave it, for reports
};

// Open files in opening order; lookups take the first match.
extern ObjectList<FileObject> FileList;
// kIOBuffered or kIOUnbuffered; read by every dos read and write and by the memblock file commands.
extern int32_t IOMode;

// kErrFileHandleNotFound (with the number as error argument) for a numbered id, kErrObjectNotFound for an automatic
// handle.
int FindFileObject(ObjectId id, FileObject **out);
// The file named by command argument n; raises FindFileObject's error when there is none.
FileObject *FileObjectArg(VMState *vm, int n);
size_t CountOpenFiles();

// Opens name in mode (kMode*). A numbered id that is open is closed first; kErrWriteFailed when that close lost data
// (the old file is closed all the same and nothing new is opened). An automatic id (handle non-null) gets the
// new record as its handle. kErrWrongUsage for another mode or an empty name, kErrCannotReadFile when the name cannot be
// opened.
int OpenFileObject(ObjectId id, const char *name, int32_t mode, FileObject **out);
// Closes and frees; kErrWriteFailed when buffered data did not reach the file (the file is closed all the same).
int CloseFileObject(FileObject *file);
// Closes every file (shutdown); write errors cannot be reported any more.
void CloseAllFileObjects();
// Writes out what every file holds buffered, for an end that may not reach the close (host/process_end.h); the
// close reports a write error.
void FlushAllFileObjects();

// Reads exactly count bytes at the position: kErrWriteOnlyFile on a write-only file, kErrReadBeyondEnd (before
// reading) when position + count passes size, kErrReadFailed on a short read after position moved by what was read.
int FileReadBytes(FileObject *file, void *buffer, int64_t count);
// Writes count bytes: kErrReadOnlyFile on a read-only file, kErrWriteFailed on a short write after position moved by
// what was written.
int FileWriteBytes(FileObject *file, const void *buffer, size_t count);
// The next line without its LF, CR bytes dropped: kErrWriteOnlyFile, kErrReadBeyondEnd at the end. An empty line
// gives "". The line is left in *bytes/*length: a view into the stream's buffer, or scratch; valid until the next
// call on the file.
int FileReadLine(FileObject *file, std::string *scratch, const char **bytes, size_t *length);
// -1 stands for size; below 0 or above size gives kErrInvalidSeek.
int FileSeek(FileObject *file, int64_t position);
// kErrWriteFailed when the buffered data could not be written.
int FileFlush(FileObject *file);
// 0 or 1; anything else gives kErrWrongUsage.
int SetIOModeValue(int32_t mode);

// The typed reads and writes of the script commands. Integers are written from their low 8/16/32 bits,
// big-endian; ReadShort is unsigned, ReadInt signed.
int FileReadChr(FileObject *file, double *value);
int FileReadShort(FileObject *file, double *value);
int FileReadInt(FileObject *file, double *value);
int FileReadFloat(FileObject *file, double *value);
int FileWriteChr(FileObject *file, int32_t value);
int FileWriteShort(FileObject *file, int32_t value);
int FileWriteInt(FileObject *file, int32_t value);
int FileWriteFloat(FileObject *file, double value);
// Exactly length bytes; length 0 gives "", a negative length kErrWrongUsage (before anything is allocated).
int FileReadString(FileObject *file, int64_t length, std::string *out);
// length 0 writes the whole string, zeros included; a length above the string's (compared unsigned, so any
// negative length) gives kErrLengthExceedsString before anything is written.
int FileWriteString(FileObject *file, const char *bytes, size_t size, int64_t length);
// The text up to its first zero byte and an LF, in one write.
int FileWriteLine(FileObject *file, const char *bytes, size_t size);


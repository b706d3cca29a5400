#include "libs/dos/file_object.h"

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "host/catalog.h"
#include "host/virtual_file.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"
#include "runtime/vm/bounded_reader.h"

namespace {

constexpr ObjectRules<FileObject> kFileRules{.notFoundError = kErrFileHandleNotFound};

} // namespace

ObjectList<FileObject> FileList{&kFileRules};
int32_t IOMode = kIOBuffered;

namespace {

int64_t StreamRead(VirtualFile *stream, void *buffer, size_t count) {
    return IOMode == kIOUnbuffered ? ReadVirtualFile(stream, buffer, count)
                                   : ReadVirtualFileBuffered(stream, buffer, count);
}

int64_t StreamWrite(VirtualFile *stream, const void *buffer, size_t count) {
    return IOMode == kIOUnbuffered ? WriteVirtualFile(stream, buffer, count)
                                   : WriteVirtualFileBuffered(stream, buffer, count);
}

// Before any operation on the stream but a line read: the kept view may not survive it.
inline VirtualFile *Stream(FileObject *file) {
    file->aheadCount = 0;
    return file->stream;
}

// One byte of a line: buffered lines read through the stream's character call.
int StreamGetChar(VirtualFile *stream) {
    if (IOMode != kIOUnbuffered) return GetCharVirtualFile(stream);
    uint8_t byte = 0;
    return ReadVirtualFile(stream, &byte, 1) == 1 ? byte : -1;
}

} // namespace

namespace {

// The number a command last named a file by and that file: a loop reading one file line by line names it
// twice a line. Forgotten whenever a file opens or closes.
double lastArgNumber = 0;
FileObject *lastArgFile = nullptr;

} // namespace

int FindFileObject(ObjectId id, FileObject **out) { return FileList.Find(id, out, 0); }

namespace {

// FileObjectArg past its remembered file: any value, the full lookup, the error.
[[gnu::noinline]] FileObject *FindFileArg(VMState *vm, int n) {
    ObjectId id;
    double number = 0;
    if (ValueTypeAndNumber(vm, n, &number) == TNUMBER) {
        id = ObjectId{SaturateToInt32(number), nullptr};
        if (FileObject *file = FileList.Find(id)) {
            lastArgNumber = number;
            lastArgFile = file;
            return file;
        }
    } else {
        ReadObjectId(&id, vm, n);
    }
    FileObject *file = FileList.Find(id);
    if (!file) RaiseError(vm, FileList.NotFound(id));
    return file;
}

} // namespace

FileObject *FileObjectArg(VMState *vm, int n) {
    double number;
    if (ValueTypeAndNumber(vm, n, &number) == TNUMBER && number == lastArgNumber && lastArgFile) [[likely]]
        return lastArgFile;
    return FindFileArg(vm, n);
}

size_t CountOpenFiles() {
    return FileList.size();
}

int OpenFileObject(ObjectId id, const char *name, int32_t mode, FileObject **out) {
    int access = 0, virtualMode = 0;
    switch (mode) {
    case kModeRead:
        access = kAccessRead, virtualMode = kVirtualFileRead;
        break;
    case kModeWrite:
        access = kAccessWrite, virtualMode = kVirtualFileCreate;
        break;
    case kModeReadWrite:
        access = kAccessReadWrite, virtualMode = kVirtualFileReadWrite;
        break;
    default:
        return kErrWrongUsage;
    }
    if (!name || !*name) return kErrWrongUsage;
    if (!id.handle) {
        FileObject *old = nullptr;
        if (FindFileObject(id, &old) == 0 && CloseFileObject(old) != 0) return kErrWriteFailed;
    }
    PrintConsoleMessage(GetCatalogMessage(kMsgOpeningFile), name, 1);
    SetErrorArgString(name);
    VirtualFile *stream = OpenVirtualFile(name, virtualMode);
    if (!stream) return kErrCannotReadFile;
    // The seek back to the start reports where the end was: the size.
    SeekVirtualFile(stream, 0, kSeekFromEnd);
    int64_t size = SeekVirtualFile(stream, 0, kSeekFromStart);
    auto file = std::make_unique<FileObject>();
    file->mode = mode;
    file->access = access;
    file->size = size < 0 ? 0 : size;
    file->stream = stream;
    file->name = name;
    // Any handle asks for an automatic id here.
    lastArgFile = nullptr;
    if (!FileList.Add(file.get(), id.handle ? ObjectId{0, kAutoHandleRequest} : id)) {
        CloseVirtualFile(stream);
        return kErrOutOfMemory;
    }
    *out = file.release();
    PrintDoneMessage(GetCatalogMessage(kMsgDone));
    return 0;
}

int CloseFileObject(FileObject *file) {
    VirtualFile *stream = file->stream;
    lastArgFile = nullptr;
    if (!FileList.Erase(file)) return kErrObjectNotFound;
    return CloseVirtualFile(stream) == 0 ? 0 : kErrWriteFailed;
}

void CloseAllFileObjects() {
    // Data the script wrote but never closed is flushed here; losing it must not pass for success. Each file
    // leaves the list before its close, which may end the process (a lost display met in a clipboard write):
    // the end's flush then sees only the files still open.
    lastArgFile = nullptr;
    while (FileObject *file = FileList.front()) {
        VirtualFile *stream = file->stream;
        const std::string name = std::move(file->name);
        FileList.Erase(file);
        if (CloseVirtualFile(stream) != 0) NoteShutdownFailure(kErrWriteFailed, name.c_str());
    }
}

void FlushAllFileObjects() {
    for (FileObject *file : FileList) FlushVirtualFile(file->stream);
}

int FileReadBytes(FileObject *file, void *buffer, int64_t count) {
    if (file->access == kAccessWrite) return kErrWriteOnlyFile;
    if (count < 0 || count > file->size - file->position) return kErrReadBeyondEnd;
    if (count == 0) return 0;
    int64_t got = StreamRead(Stream(file), buffer, static_cast<size_t>(count));
    if (got > 0) file->position += got;
    return got == count ? 0 : kErrReadFailed;
}

int FileWriteBytes(FileObject *file, const void *buffer, size_t count) {
    if (file->access == kAccessRead) return kErrReadOnlyFile;
    if (count == 0) return 0;
    int64_t written = StreamWrite(Stream(file), buffer, count);
    if (written > 0) {
        file->position += written;
        file->size = std::max(file->size, file->position);
    }
    return written == static_cast<int64_t>(count) ? 0 : kErrWriteFailed;
}

namespace {

// Index of the first LF or CR in bytes[0, count), or count.
size_t FindLineBreak(const uint8_t *bytes, size_t count) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    auto breaks = [&](size_t at) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + at));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
    };
    // 32 bytes a step: a typical text line takes two or three.
    for (; i + 32 <= count; i += 32)
        if (unsigned hits = breaks(i) | breaks(i + 16) << 16) return i + static_cast<size_t>(std::countr_zero(hits));
    if (i + 16 <= count) {
        if (unsigned hits = breaks(i)) return i + static_cast<size_t>(std::countr_zero(hits));
        i += 16;
    }
#endif
    for (; i < count; i++)
        if (bytes[i] == '\n' || bytes[i] == '\r') return i;
    return count;
}

// The lines the fast path leaves: a CR inside, a line across the buffer's end, unbuffered mode. Every CR in the
// line is dropped.
[[gnu::noinline]] int GatherLine(FileObject *file, std::string *scratch, const char **bytes, size_t *length) {
    scratch->clear();
    size_t left = static_cast<size_t>(file->size - file->position);
    if (IOMode != kIOUnbuffered) {
        // Up to the line feed (or the end) in whole runs.
        while (left) {
            size_t have = 0;
            const uint8_t *run = PeekVirtualFile(file->stream, &have);
            if (!run || !have) return kErrReadFailed;
            size_t n = std::min(have, left);
            const void *hit = memchr(run, '\n', n);
            size_t used = hit ? static_cast<size_t>(static_cast<const uint8_t *>(hit) - run) + 1 : n;
            for (size_t i = 0; i < used; i++)
                if (run[i] != '\r' && run[i] != '\n') scratch->push_back(static_cast<char>(run[i]));
            AdvanceVirtualFile(file->stream, used);
            file->position += static_cast<int64_t>(used);
            left -= used;
            if (hit) break;
        }
    } else {
        VirtualFile *stream = Stream(file);
        while (file->position < file->size) {
            int c = StreamGetChar(stream);
            if (c < 0) return kErrReadFailed;
            file->position++;
            if (c == '\n') break;
            if (c != '\r') scratch->push_back(static_cast<char>(c));
        }
    }
    *bytes = scratch->data();
    *length = scratch->size();
    return 0;
}

} // namespace

namespace {

// A line that ends inside the view (LF, CR LF, or the file's end) is handed out in place; anything else
// (a CR inside, a line across the buffer's end) gives false.
inline bool TakeLine(FileObject *file, const uint8_t *run, size_t have, bool lasting, const char **bytes,
                     size_t *length) {
    size_t n = std::min(have, static_cast<size_t>(file->size - file->position));
    size_t end = FindLineBreak(run, n), used = 0;
    if (end < n && run[end] == '\n')
        used = end + 1;
    else if (end + 1 < n && run[end] == '\r' && run[end + 1] == '\n')
        used = end + 2;
    else if (end == n && n == static_cast<size_t>(file->size - file->position))
        used = n;
    if (!used) return false;
    *bytes = reinterpret_cast<const char *>(run);
    *length = end;
    AdvanceVirtualFile(file->stream, used);
    file->position += static_cast<int64_t>(used);
    if (lasting) {
        file->ahead = run + used;
        file->aheadCount = have - used;
    }
    return true;
}

// A line read without a kept view: a fresh peek, then the gathering path when the line is not whole in it.
[[gnu::noinline]] int ReadLineFresh(FileObject *file, std::string *scratch, const char **bytes, size_t *length) {
    if (IOMode != kIOUnbuffered) {
        size_t have = 0;
        bool lasting = false;
        const uint8_t *run = PeekVirtualFile(file->stream, &have, &lasting);
        if (run && have && TakeLine(file, run, have, lasting, bytes, length)) return 0;
    }
    return GatherLine(file, scratch, bytes, length);
}

} // namespace

int FileReadLine(FileObject *file, std::string *scratch, const char **bytes, size_t *length) {
    if (file->access == kAccessWrite) return kErrWriteOnlyFile;
    if (file->position >= file->size) return kErrReadBeyondEnd;
    // The view the last line left, when there is one and the mode still reads through the buffer.
    size_t have = file->aheadCount;
    file->aheadCount = 0;
    if (have && IOMode != kIOUnbuffered && TakeLine(file, file->ahead, have, true, bytes, length)) return 0;
    return ReadLineFresh(file, scratch, bytes, length);
}

int FileSeek(FileObject *file, int64_t position) {
    if (position == -1) position = file->size;
    if (position < 0 || position > file->size) return kErrInvalidSeek;
    // A stream that cannot get there keeps the library's position in step with it.
    if (SeekVirtualFile(Stream(file), position, kSeekFromStart) < 0) return kErrInvalidSeek;
    file->position = position;
    return 0;
}

int FileFlush(FileObject *file) {
    return FlushVirtualFile(Stream(file)) ? 0 : kErrWriteFailed;
}

int SetIOModeValue(int32_t mode) {
    if (mode != kIOBuffered && mode != kIOUnbuffered) return kErrWrongUsage;
    IOMode = mode;
    return 0;
}

int FileReadChr(FileObject *file, double *value) {
    uint8_t byte = 0;
    int error = FileReadBytes(file, &byte, 1);
    *value = byte;
    return error;
}

int FileReadShort(FileObject *file, double *value) {
    uint8_t bytes[2] = {};
    int error = FileReadBytes(file, bytes, 2);
    *value = LoadU16BE(bytes);
    return error;
}

int FileReadInt(FileObject *file, double *value) {
    uint8_t bytes[4] = {};
    int error = FileReadBytes(file, bytes, 4);
    *value = static_cast<int32_t>(LoadU32BE(bytes));
    return error;
}

int FileReadFloat(FileObject *file, double *value) {
    uint8_t bytes[8] = {};
    int error = FileReadBytes(file, bytes, 8);
    *value = std::bit_cast<double>(LoadU64BE(bytes));
    return error;
}

int FileWriteChr(FileObject *file, int32_t value) {
    uint8_t byte = static_cast<uint8_t>(value);
    return FileWriteBytes(file, &byte, 1);
}

int FileWriteShort(FileObject *file, int32_t value) {
    uint8_t bytes[2];
    StoreU16BE(bytes, static_cast<uint32_t>(value));
    return FileWriteBytes(file, bytes, 2);
}

int FileWriteInt(FileObject *file, int32_t value) {
    uint8_t bytes[4];
    StoreU32BE(bytes, static_cast<uint32_t>(value));
    return FileWriteBytes(file, bytes, 4);
}

int FileWriteFloat(FileObject *file, double value) {
    uint8_t bytes[8];
    StoreU64BE(bytes, std::bit_cast<uint64_t>(value));
    return FileWriteBytes(file, bytes, 8);
}

int FileReadString(FileObject *file, int64_t length, std::string *out) {
    out->clear();
    if (length < 0) return kErrWrongUsage;
    if (file->access == kAccessWrite) return kErrWriteOnlyFile;
    // Checked before the string grows: a length far past the end allocates nothing.
    if (length > file->size - file->position) return kErrReadBeyondEnd;
    out->resize(static_cast<size_t>(length));
    int error = FileReadBytes(file, out->data(), length);
    if (error) out->clear();
    return error;
}

int FileWriteString(FileObject *file, const char *bytes, size_t size, int64_t length) {
    if (file->access == kAccessRead) return kErrReadOnlyFile;
    if (static_cast<uint64_t>(length) > size) return kErrLengthExceedsString;
    return FileWriteBytes(file, bytes, length == 0 ? size : static_cast<size_t>(length));
}

int FileWriteLine(FileObject *file, const char *bytes, size_t size) {
    if (file->access == kAccessRead) return kErrReadOnlyFile;
    std::string line(bytes, strnlen(bytes, size));
    line.push_back('\n');
    return FileWriteBytes(file, line.data(), line.size());
}

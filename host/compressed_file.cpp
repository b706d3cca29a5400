#include "host/compressed_file.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <string>

#include "host/path.h"
#include "host/virtual_file.h"
#include "runtime/app/errors.h"

namespace {

// Closes both streams on every path; a failed close of the destination means buffered data was lost.
struct StreamPair {
    VirtualFile *source = nullptr;
    VirtualFile *destination = nullptr;
    ~StreamPair() {
        CloseVirtualFile(source);
        DiscardVirtualFile(destination);
    }
    // The destination is written as a replacement: it takes the old file's place only after a clean run.
    int CloseDestination(int error) {
        int result = 0;
        if (error) DiscardVirtualFile(destination);
        else result = CloseVirtualFile(destination);
        destination = nullptr;
        return result == 0 ? 0 : kErrCannotWriteFile;
    }
};

struct Buffers {
    unsigned char input[kCompressBufferSize];
    unsigned char output[kCompressBufferSize];
};

bool IsRangeName(const char *name) {
    return std::strncmp(name, ":::", 3) == 0;
}

// Opening the destination for writing empties it; when it is the source, the source would be lost.
bool SameFile(const char *source, const char *destination) {
    if (IsRangeName(source) || IsRangeName(destination)) return false;
    std::string a, b;
    if (!ResolveHostPath(source, &a) || !ResolveHostPath(destination, &b)) return false;
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int WriteAll(VirtualFile *file, const void *bytes, size_t count) {
    if (count == 0) return 0;
    int64_t written = WriteVirtualFileBuffered(file, bytes, count);
    return written == static_cast<int64_t>(count) ? 0 : kErrCannotWriteFile;
}

uint64_t CurrentPosition(VirtualFile *file) {
    int64_t position = SeekVirtualFile(file, 0, kSeekFromCurrent);
    return position < 0 ? 0 : static_cast<uint64_t>(position);
}

int Deflate(StreamPair &files, Buffers &buffers) {
    z_stream stream{};
    int result = deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    if (result != Z_OK) return ZlibResultToError(result);
    int error = 0;
    int flush = Z_NO_FLUSH;
    while (error == 0 && flush != Z_FINISH) {
        int64_t got = ReadVirtualFileBuffered(files.source, buffers.input, sizeof buffers.input);
        bool atEnd = VirtualFileAtEnd(files.source) != 0;
        if (got < 0 || (got < static_cast<int64_t>(sizeof buffers.input) && !atEnd)) {
            error = kErrReadFailed;
            break;
        }
        flush = atEnd ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = buffers.input;
        stream.avail_in = static_cast<uInt>(got);
        do {
            stream.next_out = buffers.output;
            stream.avail_out = sizeof buffers.output;
            result = deflate(&stream, flush);
            if (result == Z_STREAM_ERROR) {
                error = ZlibResultToError(result);
                break;
            }
            error = WriteAll(files.destination, buffers.output, sizeof buffers.output - stream.avail_out);
        } while (error == 0 && stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return error;
}

// Returns 0 only when the zlib stream ended; running out of input first is a data error, and so is more
// output than maxSize.
int Inflate(StreamPair &files, Buffers &buffers, uint64_t maxSize) {
    z_stream stream{};
    int result = inflateInit(&stream);
    if (result != Z_OK) return ZlibResultToError(result);
    int error = 0;
    bool ended = false;
    while (error == 0 && !ended) {
        int64_t got = ReadVirtualFileBuffered(files.source, buffers.input, sizeof buffers.input);
        if (got < 0 ||
            (got < static_cast<int64_t>(sizeof buffers.input) && !VirtualFileAtEnd(files.source))) {
            error = kErrReadFailed;
            break;
        }
        if (got == 0) break;
        stream.next_in = buffers.input;
        stream.avail_in = static_cast<uInt>(got);
        do {
            stream.next_out = buffers.output;
            stream.avail_out = sizeof buffers.output;
            result = inflate(&stream, Z_NO_FLUSH);
            if (result == Z_NEED_DICT || result == Z_DATA_ERROR || result == Z_MEM_ERROR ||
                result == Z_STREAM_ERROR) {
                error = ZlibResultToError(result);
                break;
            }
            if (stream.total_out > maxSize) {
                error = kErrZlibData;
                break;
            }
            error = WriteAll(files.destination, buffers.output, sizeof buffers.output - stream.avail_out);
            if (result == Z_STREAM_END) ended = true;
        } while (error == 0 && !ended && stream.avail_out == 0);
    }
    inflateEnd(&stream);
    if (error == 0 && !ended) error = kErrZlibData;
    return error;
}

} // namespace

int ZlibResultToError(int zlibResult) {
    switch (zlibResult) {
    case Z_OK:
        return 0;
    case Z_ERRNO:
        return kErrZlibIo;
    case Z_STREAM_ERROR:
        return kErrZlibStream;
    case Z_DATA_ERROR:
    case Z_NEED_DICT:
        return kErrZlibData;
    case Z_MEM_ERROR:
        return kErrOutOfMemory;
    case Z_VERSION_ERROR:
        return kErrZlibVersion;
    default:
        return kErrUnknownErrorCode;
    }
}

int CompressToFile(const char *magic, const char *source, const char *destination, uint64_t *outSize) {
    if (outSize) *outSize = 0;
    auto buffers = std::make_unique<Buffers>();
    StreamPair files;
    files.source = OpenVirtualFile(source, kVirtualFileRead);
    if (!files.source) return kErrCannotReadFile;
    if (SameFile(source, destination)) return kErrWrongUsage;
    files.destination = OpenVirtualFile(destination, kVirtualFileReplace);
    if (!files.destination) return kErrCannotWriteFile;
    unsigned char header[kCompressedHeaderSize] = {};
    std::memcpy(header, magic, 4);
    int error = WriteAll(files.destination, header, sizeof header);
    if (error == 0) error = Deflate(files, *buffers);
    uint64_t size = CurrentPosition(files.destination);
    int closeError = files.CloseDestination(error);
    if (error == 0) error = closeError;
    if (error == 0 && outSize) *outSize = size;
    return error;
}

int DecompressFromFile(const char *magic, const char *source, const char *destination, int64_t offset,
                       uint64_t *outSize, uint64_t maxSize) {
    if (outSize) *outSize = 0;
    auto buffers = std::make_unique<Buffers>();
    StreamPair files;
    files.source = OpenVirtualFile(source, kVirtualFileRead);
    if (!files.source) return kErrCannotReadFile;
    unsigned char header[kCompressedHeaderSize] = {};
    if (offset < 0 || SeekVirtualFile(files.source, offset, kSeekFromStart) < 0)
        return kErrUnknownCompression;
    int64_t got = ReadVirtualFileBuffered(files.source, header, 4);
    if (got != 4 || std::memcmp(header, magic, 4) != 0) return kErrUnknownCompression;
    // The reserved word is skipped unread; a file that ends inside it has no stream, which inflating reports.
    ReadVirtualFileBuffered(files.source, header + 4, 4);
    if (SameFile(source, destination)) return kErrWrongUsage;
    files.destination = OpenVirtualFile(destination, kVirtualFileReplace);
    if (!files.destination) return kErrCannotWriteFile;
    int error = Inflate(files, *buffers, maxSize);
    uint64_t size = CurrentPosition(files.destination);
    int closeError = files.CloseDestination(error);
    if (error == 0) error = closeError;
    if (error == 0 && outSize) *outSize = size;
    return error;
}

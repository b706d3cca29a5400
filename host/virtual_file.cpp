#include "host/virtual_file.h"

#include <new>

#include "host/path.h"
#include "host/safe_overwrite.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum StreamKind { kPlainFile, kFileRange, kMemoryRange, kClipboard };

constexpr size_t kBufferSize = 16384;
// Ranges and files beyond this are refused: positions are signed 64-bit throughout.
constexpr uint64_t kMaxStreamLength = uint64_t(1) << 62;

struct MemoryRange {
    uint64_t id;
    uintptr_t base;
    uint64_t length;
    bool writable;
};

struct MemoryRegistry {
    std::mutex lock;
    std::vector<MemoryRange> ranges;
    uint64_t nextId = 1;
    ClipboardStreamRead clipboardRead = nullptr;
    ClipboardStreamWrite clipboardWrite = nullptr;
};

MemoryRegistry &Registry() {
    static MemoryRegistry registry;
    return registry;
}

} // namespace

struct VirtualFile {
    StreamKind kind = kPlainFile;
    bool writable = false;
    bool failed = false; // a write error that the close must report
    int fd = -1;
    uint64_t base = 0;        // file ranges: the range's offset in the container; memory: the address
    uint64_t rangeLength = 0; // ranges: fixed length
    uint64_t memoryRangeId = 0;
    std::vector<uint8_t> clipboard;
    int64_t position = 0;
    std::unique_ptr<SafeOverwrite> replace; // kVirtualFileReplace: committed over the target on success

    // The buffer mirrors [windowStart, windowStart + windowValid) of the file; dirty bytes are not yet written.
    std::unique_ptr<uint8_t[]> buffer;
    int64_t windowStart = 0;
    size_t windowValid = 0;
    bool dirty = false;
    size_t dirtyLow = 0, dirtyHigh = 0;
};

namespace {

bool ParseDecimal(const char *&p, uint64_t *out) {
    if (*p < '0' || *p > '9') return false;
    uint64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (value > (kMaxStreamLength - digit) / 10) return false;
        value = value * 10 + digit;
        ++p;
    }
    *out = value;
    return true;
}

bool ParseHex(const char *&p, uint64_t *out) {
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    uint64_t value = 0;
    int digits = 0;
    for (;; ++p) {
        int d;
        if (*p >= '0' && *p <= '9') d = *p - '0';
        else if (*p >= 'a' && *p <= 'f') d = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'F') d = *p - 'A' + 10;
        else break;
        if (++digits > 16) return false;
        value = (value << 4) | static_cast<uint64_t>(d);
    }
    if (digits == 0) return false;
    *out = value;
    return true;
}

// Finds the registered range holding [address, address + length); its id, or 0.
uint64_t FindMemoryRange(uint64_t address, uint64_t length, bool wantWritable) {
    MemoryRegistry &registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    for (const MemoryRange &range : registry.ranges) {
        uint64_t start = range.base;
        if (address < start || address - start > range.length) continue;
        if (length > range.length - (address - start)) continue;
        if (wantWritable && !range.writable) continue;
        return range.id;
    }
    return 0;
}

// The stream's memory while its range is still registered; null once the owner unregistered it.
uint8_t *MemoryOf(VirtualFile *file) {
    MemoryRegistry &registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    for (const MemoryRange &range : registry.ranges)
        if (range.id == file->memoryRangeId) return reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(file->base));
    return nullptr;
}

VirtualFile *OpenMemory(uint64_t address, uint64_t length, int mode) {
    bool writing = mode != kVirtualFileRead;
    uint64_t id = FindMemoryRange(address, length, writing);
    if (!id) return nullptr;
    auto *file = new VirtualFile;
    file->kind = kMemoryRange;
    file->writable = writing;
    file->base = address;
    file->rangeLength = length;
    file->memoryRangeId = id;
    return file;
}

int OpenFd(const std::string &path, int mode) {
    int flags = O_CLOEXEC;
    if (mode == kVirtualFileRead) flags |= O_RDONLY;
    else if (mode == kVirtualFileCreate) flags |= O_RDWR | O_CREAT | O_TRUNC;
    else if (mode == kVirtualFileReplace) flags |= O_RDWR | O_CREAT | O_EXCL;
    else flags |= O_RDWR | O_CREAT;
    // Opened without waiting: a FIFO with no other end would block open() where no signal ends it. Reads and
    // writes then block as usual.
    int fd = open(path.c_str(), flags | O_NONBLOCK, 0666);
    if (fd < 0) return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

VirtualFile *OpenChunk(const char *text, int mode) {
    ChunkNameParts parts;
    if (!ParseChunkName(text, &parts)) return nullptr;
    if (parts.memory) {
        uint64_t address;
        const char *p = parts.container.c_str();
        if (!ParseHex(p, &address) || *p) return nullptr;
        if (address > UINT64_MAX - parts.offset) return nullptr;
        return OpenMemory(address + parts.offset, parts.length, mode);
    }
    if (mode != kVirtualFileRead) return nullptr; // linked files are read only
    std::string path;
    if (parts.container.empty() || !ResolveHostPath(parts.container.c_str(), &path)) return nullptr;
    int fd = OpenFd(path, kVirtualFileRead);
    if (fd < 0) return nullptr;
    struct stat info;
    // A range reaching past the container's end is a damaged applet: refuse it rather than read short.
    if (fstat(fd, &info) != 0 || parts.offset + parts.length > static_cast<uint64_t>(info.st_size)) {
        close(fd);
        return nullptr;
    }
    auto *file = new VirtualFile;
    file->kind = kFileRange;
    file->fd = fd;
    file->base = parts.offset;
    file->rangeLength = parts.length;
    return file;
}

int64_t FileLength(VirtualFile *file) {
    if (file->kind == kFileRange || file->kind == kMemoryRange) return static_cast<int64_t>(file->rangeLength);
    if (file->kind == kClipboard) return static_cast<int64_t>(file->clipboard.size());
    struct stat info;
    if (fstat(file->fd, &info) != 0) return -1;
    int64_t length = info.st_size;
    if (file->dirty) length = std::max(length, file->windowStart + static_cast<int64_t>(file->windowValid));
    return length;
}

// Reads at a range-relative position straight from the file, clipped to the range.
int64_t RawRead(VirtualFile *file, int64_t position, uint8_t *out, size_t count) {
    if (file->kind == kFileRange) {
        if (static_cast<uint64_t>(position) >= file->rangeLength) return 0;
        count = static_cast<size_t>(std::min<uint64_t>(count, file->rangeLength - static_cast<uint64_t>(position)));
    }
    size_t done = 0;
    while (done < count) {
        ssize_t n = pread(file->fd, out + done, count - done,
                          static_cast<off_t>(file->base + static_cast<uint64_t>(position) + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return done ? static_cast<int64_t>(done) : -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool RawWrite(VirtualFile *file, int64_t position, const uint8_t *in, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = pwrite(file->fd, in + done, count - done, static_cast<off_t>(position) + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool FlushWindow(VirtualFile *file) {
    if (!file->dirty) return true;
    file->dirty = false;
    bool ok = RawWrite(file, file->windowStart + static_cast<int64_t>(file->dirtyLow),
                       file->buffer.get() + file->dirtyLow, file->dirtyHigh - file->dirtyLow);
    if (!ok) {
        file->failed = true;
        file->windowValid = 0; // the window no longer mirrors the file
    }
    return ok;
}

bool IsMemoryLike(VirtualFile *file) { return file->kind == kMemoryRange || file->kind == kClipboard; }

int64_t MemoryRead(VirtualFile *file, uint8_t *out, size_t count) {
    int64_t length = FileLength(file);
    if (file->position >= length) return 0;
    size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), length - file->position));
    const uint8_t *source;
    if (file->kind == kClipboard) {
        source = file->clipboard.data();
    } else {
        source = MemoryOf(file);
        if (!source) return -1;
    }
    memcpy(out, source + file->position, n);
    file->position += static_cast<int64_t>(n);
    return static_cast<int64_t>(n);
}

int64_t MemoryWrite(VirtualFile *file, const uint8_t *in, size_t count) {
    if (file->kind == kClipboard) {
        size_t end = static_cast<size_t>(file->position) + count;
        if (end > file->clipboard.size()) file->clipboard.resize(end);
        memcpy(file->clipboard.data() + file->position, in, count);
        file->position += static_cast<int64_t>(count);
        return static_cast<int64_t>(count);
    }
    uint8_t *target = MemoryOf(file);
    if (!target) return -1;
    int64_t room = static_cast<int64_t>(file->rangeLength) - file->position;
    size_t n = static_cast<size_t>(std::clamp<int64_t>(static_cast<int64_t>(count), 0, std::max<int64_t>(room, 0)));
    memcpy(target + file->position, in, n);
    file->position += static_cast<int64_t>(n);
    return static_cast<int64_t>(n);
}

} // namespace

VirtualFile *OpenVirtualFile(const char *name, int mode) {
    if (!name || mode < kVirtualFileRead || mode > kVirtualFileReplace) return nullptr;
    if (strncmp(name, ":::chunk", 8) == 0) return OpenChunk(name, mode);
    if (strncmp(name, ":::memory", 9) == 0) {
        const char *p = name + 9;
        uint64_t address, length;
        if (!ParseHex(p, &address) || *p++ != ':' || !ParseDecimal(p, &length) || *p) return nullptr;
        return OpenMemory(address, length, mode);
    }
    if (strcmp(name, ":::clipboard") == 0) {
        auto file = std::make_unique<VirtualFile>();
        file->kind = kClipboard;
        file->writable = mode != kVirtualFileRead;
        if (mode != kVirtualFileCreate && mode != kVirtualFileReplace) {
            ClipboardStreamRead read;
            {
                std::lock_guard<std::mutex> guard(Registry().lock);
                read = Registry().clipboardRead;
            }
            if (!read || read(&file->clipboard) != 0) {
                if (mode == kVirtualFileRead) return nullptr;
                file->clipboard.clear();
            }
        }
        return file.release();
    }
    std::string path;
    if (!*name || !ResolveHostPath(name, &path)) return nullptr;
    std::unique_ptr<SafeOverwrite> replace;
    if (mode == kVirtualFileReplace) {
        // Through a link the file it names is replaced, not the link; a device is simply written.
        char resolved[PATH_MAX];
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && realpath(path.c_str(), resolved))
            path = resolved;
        if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) mode = kVirtualFileCreate;
    }
    int fd = -1;
    if (mode == kVirtualFileReplace) {
        replace = std::make_unique<SafeOverwrite>();
        if (BeginSafeOverwrite(path.c_str(), replace.get()) != 0) return nullptr;
        if (MatchTargetPermissions(replace.get()) != 0) {
            AbortSafeOverwrite(replace.get());
            return nullptr;
        }
        fd = replace->fd;
    } else {
        fd = OpenFd(path, mode);
    }
    if (fd < 0) return nullptr;
    auto *file = new VirtualFile;
    file->kind = kPlainFile;
    file->fd = fd;
    file->writable = mode != kVirtualFileRead;
    file->replace = std::move(replace);
    return file;
}

int CloseVirtualFile(VirtualFile *file) {
    if (!file) return 0;
    int result = 0;
    if (file->kind == kPlainFile && !FlushWindow(file)) result = -1;
    if (file->failed) result = -1;
    if (file->replace) {
        // Only complete, durable contents take the old file's place.
        if (result == 0 && CommitSafeOverwrite(file->replace.get()) != 0) result = -1;
        if (result != 0) AbortSafeOverwrite(file->replace.get());
        file->fd = -1; // closed by either
    }
    if (file->kind == kClipboard && file->writable) {
        ClipboardStreamWrite write;
        {
            std::lock_guard<std::mutex> guard(Registry().lock);
            write = Registry().clipboardWrite;
        }
        // Without a clipboard the data is lost: say so instead of reporting success.
        if (!write || write(file->clipboard.data(), file->clipboard.size()) != 0) result = -1;
    }
    if (file->fd >= 0) close(file->fd);
    delete file;
    return result;
}

void DiscardVirtualFile(VirtualFile *file) {
    if (file && file->replace) {
        file->dirty = false;
        file->failed = true; // the close removes the temporary file
    }
    CloseVirtualFile(file);
}

int64_t ReadVirtualFile(VirtualFile *file, void *buffer, size_t count) {
    if (!file || (!buffer && count)) return -1;
    if (IsMemoryLike(file)) return MemoryRead(file, static_cast<uint8_t *>(buffer), count);
    if (!FlushWindow(file)) return -1;
    int64_t n = RawRead(file, file->position, static_cast<uint8_t *>(buffer), count);
    if (n > 0) file->position += n;
    return n;
}

int64_t ReadVirtualFileBuffered(VirtualFile *file, void *buffer, size_t count) {
    if (!file || (!buffer && count)) return -1;
    if (IsMemoryLike(file)) return MemoryRead(file, static_cast<uint8_t *>(buffer), count);
    if (!file->buffer) file->buffer.reset(new uint8_t[kBufferSize]);
    auto *out = static_cast<uint8_t *>(buffer);
    size_t done = 0;
    while (done < count) {
        int64_t offset = file->position - file->windowStart;
        if (offset >= 0 && offset < static_cast<int64_t>(file->windowValid)) {
            size_t n = std::min(count - done, file->windowValid - static_cast<size_t>(offset));
            memcpy(out + done, file->buffer.get() + offset, n);
            done += n;
            file->position += static_cast<int64_t>(n);
            continue;
        }
        if (!FlushWindow(file)) return done ? static_cast<int64_t>(done) : -1;
        if (count - done >= kBufferSize) { // a large read goes straight to the caller's memory
            int64_t n = RawRead(file, file->position, out + done, count - done);
            if (n < 0) return done ? static_cast<int64_t>(done) : -1;
            done += static_cast<size_t>(n);
            file->position += n;
            break;
        }
        file->windowStart = file->position;
        file->windowValid = 0;
        int64_t n = RawRead(file, file->position, file->buffer.get(), kBufferSize);
        if (n < 0) return done ? static_cast<int64_t>(done) : -1;
        if (n == 0) break;
        file->windowValid = static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int GetCharVirtualFile(VirtualFile *file) {
    uint8_t byte;
    if (file && !IsMemoryLike(file)) { // the common case: a byte already in the window
        int64_t offset = file->position - file->windowStart;
        if (offset >= 0 && offset < static_cast<int64_t>(file->windowValid)) {
            ++file->position;
            return file->buffer[static_cast<size_t>(offset)];
        }
    }
    return ReadVirtualFileBuffered(file, &byte, 1) == 1 ? byte : -1;
}

const uint8_t *PeekVirtualFile(VirtualFile *file, size_t *count, bool *lasting) {
    *count = 0;
    if (lasting) *lasting = false;
    if (!file) return nullptr;
    if (IsMemoryLike(file)) {
        static const uint8_t nothing = 0;
        int64_t length = FileLength(file);
        if (file->position >= length) return &nothing; // as a read, the end before a vanished range
        const uint8_t *source = file->kind == kClipboard ? file->clipboard.data() : MemoryOf(file);
        if (!source) return nullptr;
        *count = static_cast<size_t>(length - file->position);
        return source + file->position;
    }
    if (!file->buffer) file->buffer.reset(new uint8_t[kBufferSize]);
    int64_t offset = file->position - file->windowStart;
    if (offset < 0 || offset >= static_cast<int64_t>(file->windowValid)) {
        if (!FlushWindow(file)) return nullptr;
        file->windowStart = file->position;
        file->windowValid = 0;
        int64_t n = RawRead(file, file->position, file->buffer.get(), kBufferSize);
        if (n < 0) return nullptr;
        file->windowValid = static_cast<size_t>(n);
        offset = 0;
    }
    *count = file->windowValid - static_cast<size_t>(offset);
    if (lasting) *lasting = true;
    return file->buffer.get() + offset;
}

void AdvanceVirtualFile(VirtualFile *file, size_t count) {
    if (file) file->position += static_cast<int64_t>(count);
}

int64_t WriteVirtualFile(VirtualFile *file, const void *buffer, size_t count) {
    if (!file || !file->writable || (!buffer && count)) return -1;
    if (IsMemoryLike(file)) return MemoryWrite(file, static_cast<const uint8_t *>(buffer), count);
    if (!FlushWindow(file)) return -1;
    file->windowValid = 0; // the file changes under the window
    if (!RawWrite(file, file->position, static_cast<const uint8_t *>(buffer), count)) {
        file->failed = true;
        return -1;
    }
    file->position += static_cast<int64_t>(count);
    return static_cast<int64_t>(count);
}

int64_t WriteVirtualFileBuffered(VirtualFile *file, const void *buffer, size_t count) {
    if (!file || !file->writable || (!buffer && count)) return -1;
    if (IsMemoryLike(file)) return MemoryWrite(file, static_cast<const uint8_t *>(buffer), count);
    if (!file->buffer) file->buffer.reset(new uint8_t[kBufferSize]);
    auto *in = static_cast<const uint8_t *>(buffer);
    size_t done = 0;
    while (done < count) {
        int64_t offset = file->position - file->windowStart;
        // Writes extend the window only where it stays contiguous, so it never holds a gap of unknown bytes.
        if (offset >= 0 && offset <= static_cast<int64_t>(file->windowValid) && offset < static_cast<int64_t>(kBufferSize)) {
            size_t at = static_cast<size_t>(offset);
            size_t n = std::min(count - done, kBufferSize - at);
            memcpy(file->buffer.get() + at, in + done, n);
            if (!file->dirty) {
                file->dirty = true;
                file->dirtyLow = at;
                file->dirtyHigh = at + n;
            } else {
                file->dirtyLow = std::min(file->dirtyLow, at);
                file->dirtyHigh = std::max(file->dirtyHigh, at + n);
            }
            file->windowValid = std::max(file->windowValid, at + n);
            done += n;
            file->position += static_cast<int64_t>(n);
            continue;
        }
        if (!FlushWindow(file)) return done ? static_cast<int64_t>(done) : -1;
        file->windowStart = file->position;
        file->windowValid = 0;
    }
    return static_cast<int64_t>(done);
}

int FlushVirtualFile(VirtualFile *file) {
    if (!file) return 0;
    if (file->kind != kPlainFile) return 1;
    return FlushWindow(file) ? 1 : 0;
}

int64_t SeekVirtualFile(VirtualFile *file, int64_t offset, int mode) {
    if (!file) return -1;
    int64_t length = FileLength(file);
    if (length < 0) return -1;
    int64_t origin;
    if (mode == kSeekFromCurrent) origin = file->position;
    else if (mode == kSeekFromStart) origin = 0;
    else if (mode == kSeekFromEnd) origin = length;
    else return -1;
    if ((offset > 0 && origin > INT64_MAX - offset) || (offset < 0 && origin < INT64_MIN - offset)) return -1;
    int64_t target = origin + offset;
    if (target < 0) return -1;
    if (target > length) {
        if (file->kind == kPlainFile) return -1;
        target = length; // a range stops at its end
    }
    int64_t previous = file->position;
    file->position = target;
    return previous;
}

int VirtualFileAtEnd(VirtualFile *file) {
    if (!file) return 1;
    int64_t length = FileLength(file);
    return length < 0 || file->position >= length ? 1 : 0;
}

int64_t VirtualFileLength(VirtualFile *file) { return file ? FileLength(file) : -1; }

// ":::chunk<offset>:<length>*<name>/<container>" and ":::chunkS<offset>:<length>*<name>/<hex address>". The
// name ends at the first "/", so the container is everything after it.
int ParseChunkName(const char *text, ChunkNameParts *out) {
    if (!text || !out || strncmp(text, ":::chunk", 8) != 0) return 0;
    const char *p = text + 8;
    out->memory = *p == 'S';
    if (out->memory) ++p;
    if (!ParseDecimal(p, &out->offset) || *p++ != ':') return 0;
    if (!ParseDecimal(p, &out->length) || *p++ != '*') return 0;
    if (out->offset + out->length > kMaxStreamLength) return 0;
    const char *slash = strchr(p, '/');
    if (!slash) return 0;
    out->name.assign(p, static_cast<size_t>(slash - p));
    out->container = slash + 1;
    return 1;
}

void RegisterMemoryRange(const void *base, uint64_t length, int writable) {
    if (!base) return;
    MemoryRegistry &registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    uintptr_t address = reinterpret_cast<uintptr_t>(base);
    for (MemoryRange &range : registry.ranges) {
        if (range.base == address) { // re-registering replaces; open streams of the old range go stale
            range = {registry.nextId++, address, length, writable != 0};
            return;
        }
    }
    registry.ranges.push_back({registry.nextId++, address, length, writable != 0});
}

void UnregisterMemoryRange(const void *base) {
    MemoryRegistry &registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    uintptr_t address = reinterpret_cast<uintptr_t>(base);
    std::erase_if(registry.ranges, [address](const MemoryRange &range) { return range.base == address; });
}

int MakeMemoryFileName(char *buffer, size_t size, const void *base, uint64_t length) {
    if (!buffer) return 0;
    int n = snprintf(buffer, size, ":::memory%016llx:%llu", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(base)),
                     static_cast<unsigned long long>(length));
    return n > 0 && static_cast<size_t>(n) < size ? 1 : 0;
}

void SetClipboardStreamHooks(ClipboardStreamRead read, ClipboardStreamWrite write) {
    MemoryRegistry &registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.clipboardRead = read;
    registry.clipboardWrite = write;
}

int ReadWholeVirtualFile(VirtualFile *file, int64_t minBytes, int64_t maxBytes, std::vector<uint8_t> &bytes) {
    int64_t length = VirtualFileLength(file);
    if (length < minBytes || length > maxBytes) return 1;
    try {
        bytes.resize(size_t(length));
    } catch (const std::bad_alloc &) {
        return 2;
    }
    if (SeekVirtualFile(file, 0, kSeekFromStart) < 0 ||
        ReadVirtualFile(file, bytes.data(), bytes.size()) != int64_t(bytes.size()))
        return 2;
    return 0;
}

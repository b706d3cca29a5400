// StringBuffer: builds a long string in pieces. Local bytes are flushed as string pieces onto the VM stack and
// joined at the end, so the buffer's size is bounded only by the VM's memory. Nothing else may be pushed
// between StringBufferInit and StringBufferPushResult.
#include <algorithm>

#include "runtime/vm/vm_internal.h"

namespace {

// More pieces than this are joined into one, so a long build does not fill the command's stack frame.
constexpr int kMaxPieces = 16;

void Flush(StringBuffer *b) {
    if (b->used == 0) return;
    PushStringLen(b->vm, b->local, b->used);
    b->used = 0;
    b->pieces++;
    if (b->pieces >= kMaxPieces) {
        ConcatValues(b->vm, b->pieces);
        b->pieces = 1;
    }
}

} // namespace

void StringBufferInit(VMState *vm, StringBuffer *buffer) {
    buffer->vm = vm;
    buffer->used = 0;
    buffer->pieces = 0;
}

void StringBufferPrepare(StringBuffer *buffer) {
    if (buffer->used >= sizeof buffer->local) Flush(buffer);
}

void StringBufferAddBytes(StringBuffer *buffer, const char *bytes, size_t length) {
    if (bytes == nullptr) return;
    while (length > 0) {
        if (buffer->used == sizeof buffer->local) Flush(buffer);
        size_t n = std::min(length, sizeof buffer->local - buffer->used);
        std::memcpy(buffer->local + buffer->used, bytes, n);
        buffer->used += n;
        bytes += n;
        length -= n;
    }
}

void StringBufferAddString(StringBuffer *buffer, const char *text) {
    if (text != nullptr) StringBufferAddBytes(buffer, text, std::strlen(text));
}

void StringBufferAddChar(StringBuffer *buffer, char c) { StringBufferAddBytes(buffer, &c, 1); }

void StringBufferPushResult(StringBuffer *buffer) {
    Flush(buffer);
    ConcatValues(buffer->vm, buffer->pieces);
    buffer->pieces = 0;
}

// Byte strings; any byte is allowed, zero included. Short ones are interned: one object per distinct byte
// sequence, so their equality is pointer equality and table lookups by them compare pointers. Long ones live on
// the collector's object list like tables (see VMString).
//
// The interning table is open addressing with linear probing; each slot keeps the string's hash beside its
// pointer, so a probe reads a string's bytes only when the hash matches. Slots are never removed one by one:
// the sweep rebuilds the table from the strings that survive.
#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

#include "runtime/vm/vm_internal.h"
#include "runtime/vm/asan_poison.h"

namespace {

uint64_t Mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

// The last n < 8 bytes as a little-endian word (the bytes above zero), without reading past them: two
// overlapping loads instead of a variable-length copy.
inline uint64_t LoadTail(const char *p, size_t n) {
    if (n >= 4) {
        uint32_t lo, hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + n - 4, 4);
        return uint64_t(lo) | uint64_t(hi) << (8 * (n - 4));
    }
    if (n == 0) return 0;
    const unsigned char *u = reinterpret_cast<const unsigned char *>(p);
    return uint64_t(u[0]) | uint64_t(u[n / 2]) << (8 * (n / 2)) | uint64_t(u[n - 1]) << (8 * (n - 1));
}

uint32_t HashBytes(const char *bytes, size_t length) {
    // Every byte takes part (no sampling), so strings that differ only in their middle still spread.
    if (length <= 16) {
        // Short strings, most keys: the bytes as two words (overlapping from 9 to 15 bytes), one wide multiply
        // that folds them together and one more to spread the result's top bits down.
        uint64_t a, b;
        if (length >= 8) {
            std::memcpy(&a, bytes, 8);
            std::memcpy(&b, bytes + length - 8, 8);
        } else {
            a = LoadTail(bytes, length);
            b = 0;
        }
        unsigned __int128 m = (unsigned __int128)(a ^ 0x9E3779B97F4A7C15ull) * (b ^ 0xC2B2AE3D27D4EB4Full ^ length);
        uint64_t h = uint64_t(m) ^ uint64_t(m >> 64);
        return uint32_t((h * 0x9E3779B97F4A7C15ull) >> 32);
    }
    uint64_t h = 0x9E3779B97F4A7C15ull ^ length;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t w;
        std::memcpy(&w, bytes + i, 8);
        h = Mix(h ^ w);
    }
    return uint32_t(Mix(h ^ LoadTail(bytes + i, length - i) ^ (uint64_t(length) << 56)));
}

// Byte equality for the interning probe: short keys are the common case, and a library call costs more than
// comparing them here.
inline bool SameBytes(const char *a, const char *b, size_t length) {
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) return false;
    }
    return LoadTail(a + i, length - i) == LoadTail(b + i, length - i);
}

// Copies a short string's bytes with a few fixed-size moves (the last ones overlapping) instead of a library call.
inline void CopyShort(char *to, const char *from, size_t n) {
    if (n >= 16) {
        for (size_t i = 0; i + 16 < n; i += 16) std::memcpy(to + i, from + i, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}

// The header, the bytes and their terminator: no padding after them, so a short key's block stays small.
// inlineData is the last member, pointer-aligned and of no declared size, so the bytes start at the end of the
// header (offsetof is not defined for a derived type).
constexpr size_t kStringHeader = sizeof(VMString);
static_assert(alignof(VMString) == sizeof(char *) && sizeof(VMString) == sizeof(GCObject) + 8,
              "inlineData starts right after the header");
size_t StringSize(size_t length) { return kStringHeader + length + 1; }
// A shared string holds the address of its bytes instead.
constexpr size_t kSharedStringSize = kStringHeader + sizeof(char *);

constexpr uint32_t kMinSlots = 256;

// ---- Interned strings' blocks ----

constexpr size_t kSlabBytes = 64 * 1024;
constexpr unsigned kOffsetBits = 13;           // 8-byte units in a slab
constexpr size_t kMaxSlabs = size_t(1) << 19; // the rest of a 32-bit reference
static_assert(kSlabBytes == size_t(8) << kOffsetBits, "an offset fills its bits");
static_assert(sizeof(GCObject) + 2 * sizeof(uint32_t) + kMaxInternedLength + 1 <= (kInternClasses - 1) * 8,
              "every interned string's block has a class");

inline size_t InternClass(size_t size) { return (size + 7) / 8; }

inline VMString *SlotString(const VMState *vm, StringSlot e) {
    uint32_t ref = uint32_t(e.bits);
    return reinterpret_cast<VMString *>(vm->internSlabs[ref >> kOffsetBits] + size_t(ref & ((1u << kOffsetBits) - 1)) * 8);
}
inline uint32_t SlotHash(StringSlot e) { return uint32_t(e.bits >> 32); }

// A block for an interned string, and its reference. A free block keeps its reference after the free list's link.
void *TakeInternBlock(VMState *vm, size_t size, uint32_t *ref) {
    size_t c = InternClass(size), bytes = c * 8;
    void *block = vm->internFree[c];
    if (block != nullptr) {
        ASAN_UNPOISON_MEMORY_REGION(block, bytes);
        vm->internFree[c] = *static_cast<void **>(block);
        std::memcpy(ref, static_cast<char *>(block) + sizeof(void *), sizeof *ref);
    } else {
        if (size_t(vm->internEnd - vm->internCursor) < bytes) {
            // The old slab's tail (under one block) is left unused.
            if (vm->internSlabs.size() >= kMaxSlabs) RaiseError(vm, kErrOutOfMemory);
            vm->internSlabs.reserve(vm->internSlabs.size() + 1); // before the slab, which nothing else would free
            char *slab = static_cast<char *>(std::malloc(kSlabBytes));
            if (slab == nullptr) RaiseError(vm, kErrOutOfMemory);
            vm->internSlabs.push_back(slab);
            vm->internCursor = slab + 8; // offset 0 would make a reference of 0, the empty slot's
            vm->internEnd = slab + kSlabBytes;
            ASAN_POISON_MEMORY_REGION(vm->internCursor, size_t(vm->internEnd - vm->internCursor));
        }
        block = vm->internCursor;
        *ref = uint32_t(vm->internSlabs.size() - 1) << kOffsetBits |
               uint32_t((vm->internCursor - vm->internSlabs.back()) / 8);
        vm->internCursor += bytes;
        ASAN_UNPOISON_MEMORY_REGION(block, bytes);
    }
    vm->gcBytes += bytes;
    vm->gcAllocatedSinceCollect += bytes;
    return block;
}

void ReleaseInternBlock(VMState *vm, void *block, size_t size, uint32_t ref) {
    size_t c = InternClass(size);
    *static_cast<void **>(block) = vm->internFree[c];
    std::memcpy(static_cast<char *>(block) + sizeof(void *), &ref, sizeof ref);
    vm->internFree[c] = block;
    vm->gcBytes -= std::min(c * 8, vm->gcBytes);
    ASAN_POISON_MEMORY_REGION(block, c * 8); // a use after the sweep still shows under the sanitizer
}

void Place(StringSlot *table, uint32_t mask, StringSlot e) {
    uint32_t slot = SlotHash(e) & mask;
    while (table[slot].bits != 0) slot = (slot + 1) & mask;
    table[slot] = e;
}

bool Rebuild(VMState *vm, uint32_t newSize) {
    StringSlot *table = static_cast<StringSlot *>(std::calloc(newSize, sizeof(StringSlot)));
    if (table == nullptr) return false;
    for (uint32_t i = 0; i <= vm->stringMask; i++)
        if (vm->strings[i].bits != 0) Place(table, newSize - 1, vm->strings[i]);
    std::free(vm->strings);
    vm->strings = table;
    vm->stringMask = newSize - 1;
    return true;
}

} // namespace

void InitStrings(VMState *vm) {
    for (void *&list : vm->stringCache) list = nullptr;
    for (void *&list : vm->internFree) list = nullptr;
    vm->internCursor = vm->internEnd = nullptr;
    vm->internSlabs.clear();
    vm->strings = static_cast<StringSlot *>(std::calloc(kMinSlots, sizeof(StringSlot)));
    if (vm->strings == nullptr) throw std::bad_alloc();
    vm->stringMask = kMinSlots - 1;
    vm->stringCount = 0;
}

constexpr size_t kMaxStringLength = 0x7FFFFFF0u;

namespace {

// Blocks of up to 256 bytes are allocated rounded up to 16, so that any block of a class fits any string of it.
inline size_t CacheClass(size_t size) { return (size + 15) / 16; }
inline size_t BlockSize(size_t size) { return size <= 256 ? (size + 15) & ~size_t(15) : size; }

inline void *TakeCachedBlock(VMState *vm, size_t size) {
    if (size <= 256) [[likely]] {
        size_t c = CacheClass(size);
        if (void *block = vm->stringCache[c]) {
            ASAN_UNPOISON_MEMORY_REGION(block, BlockSize(size));
            vm->stringCache[c] = *static_cast<void **>(block);
            vm->gcBytes += BlockSize(size);
            vm->gcAllocatedSinceCollect += BlockSize(size);
            return block;
        }
    }
    return VMAlloc(vm, BlockSize(size));
}

void CacheBlock(VMState *vm, void *block, size_t size) {
    if (size > 256) {
        VMFree(vm, block, BlockSize(size));
        return;
    }
    size_t c = CacheClass(size);
    *static_cast<void **>(block) = vm->stringCache[c];
    vm->stringCache[c] = block;
    vm->gcBytes -= std::min(BlockSize(size), vm->gcBytes);
    ASAN_POISON_MEMORY_REGION(block, BlockSize(size)); // a use after the sweep still shows under the sanitizer
}

// A long string's object from a block of size bytes: not interned, hashed when first used as a key. Linked
// here rather than through LinkObject: strings read line by line make one of these per line.
inline VMString *NewLongObject(VMState *vm, size_t size, size_t length, uint8_t shared) {
    VMString *s = static_cast<VMString *>(TakeCachedBlock(vm, size));
    s->gcnext = vm->allgc;
    vm->allgc = s;
    s->gctype = kGCString;
    s->marked = 0;
    s->hash = 0;
    s->hashed = 0;
    s->shared = shared;
    s->length = uint32_t(length);
    s->hintNode = 0;
    return s;
}

inline VMString *MakeLongString(VMState *vm, size_t length) {
    if (length > kMaxStringLength) RaiseError(vm, kErrOutOfMemory);
    VMString *s = NewLongObject(vm, StringSize(length), length, 0);
    s->inlineData[length] = 0;
    return s;
}

} // namespace

VMString *NewLongString(VMState *vm, size_t length) { return MakeLongString(vm, length); }

namespace {

// Apart from the interning probe, so that a long string (a line read from a file) saves none of its registers.
[[gnu::noinline]] VMString *NewLongCopy(VMState *vm, const char *bytes, size_t length) {
    VMString *s = MakeLongString(vm, length);
    std::memcpy(s->inlineData, bytes, length);
    return s;
}

} // namespace

namespace {

size_t BufferSize(uint32_t capacity) { return offsetof(StringBuf, bytes) + capacity; }

void SetSharedData(VMString *s, char *bytes) { std::memcpy(s->inlineData, &bytes, sizeof bytes); }

void ReleaseBuffer(VMState *vm, StringBuf *b) {
    if (--b->refs == 0) VMFree(vm, b, BufferSize(b->capacity));
}

// A string of length bytes at the start of b (whose bytes the caller writes).
VMString *NewSharedString(VMState *vm, StringBuf *b, size_t length) {
    VMString *s = NewLongObject(vm, kSharedStringSize, length, 1);
    SetSharedData(s, b->bytes);
    b->refs++;
    return s;
}

// A fresh buffer holding a string of length bytes, with room for capacity - 1 bytes.
VMString *NewBufferedString(VMState *vm, size_t length, size_t capacity) {
    StringBuf *b = static_cast<StringBuf *>(VMAlloc(vm, BufferSize(uint32_t(capacity))));
    b->refs = 0;
    b->capacity = uint32_t(capacity);
    b->used = uint32_t(length);
    b->sealed = 0;
    try {
        return NewSharedString(vm, b, length);
    } catch (...) {
        VMFree(vm, b, BufferSize(b->capacity));
        throw;
    }
}

} // namespace

namespace {

[[gnu::noinline]] void FreeLongStringSlow(VMState *vm, VMString *s) {
    if (s->shared) {
        ReleaseBuffer(vm, BufferOf(s));
        CacheBlock(vm, s, kSharedStringSize);
    } else {
        CacheBlock(vm, s, StringSize(s->length));
    }
}

} // namespace

void FreeLongString(VMState *vm, VMString *s) {
    // The usual one, a string of its own that a cache class takes, without the registers the rest needs.
    size_t size = StringSize(s->length);
    if (!s->shared && size <= 256) [[likely]] {
        size_t c = CacheClass(size), bytes = c * 16;
        *static_cast<void **>(static_cast<void *>(s)) = vm->stringCache[c];
        vm->stringCache[c] = s;
        vm->gcBytes -= std::min(bytes, vm->gcBytes);
        ASAN_POISON_MEMORY_REGION(s, bytes);
        return;
    }
    FreeLongStringSlow(vm, s);
}

VMString *JoinLongString(VMState *vm, const VMValue *parts, int count, size_t total) {
    if (total > kMaxStringLength) RaiseError(vm, kErrOutOfMemory);
    // Only a join whose first part is a long string takes a buffer: the others are not growing anything.
    VMString *left = parts[0].tt == TSTRING ? AsString(parts) : nullptr;
    VMString *joined;
    char *out;
    int from = 0;
    if (left != nullptr && left->shared && BufferOf(left)->used == left->length && !BufferOf(left)->sealed &&
        BufferOf(left)->capacity > total) {
        // Append in place: left ends the buffer, so nothing holds the bytes past it.
        StringBuf *b = BufferOf(left);
        joined = NewSharedString(vm, b, total);
        b->used = uint32_t(total);
        out = b->bytes + left->length;
        from = 1;
    } else if (left != nullptr && left->shared && BufferOf(left)->used == left->length) {
        // A string that was itself appended to grows again: room for as much again, so appending n bytes
        // one piece at a time copies O(n) bytes in all.
        joined = NewBufferedString(vm, total, std::min(total * 2, kMaxStringLength) + 1);
        out = StringData(joined);
    } else if (left != nullptr && IsLongString(left)) {
        joined = NewBufferedString(vm, total, total + 1);
        out = StringData(joined);
    } else {
        joined = NewLongString(vm, total);
        out = joined->inlineData;
    }
    char number[64];
    for (int i = from; i < count; i++) {
        if (parts[i].tt == TSTRING) {
            const VMString *str = AsString(&parts[i]);
            std::memcpy(out, StringData(str), str->length);
            out += str->length;
        } else {
            int n = FormatNumber(parts[i].u.n, number, sizeof number);
            std::memcpy(out, number, size_t(n));
            out += n;
        }
    }
    *out = 0;
    return joined;
}

void TerminateString(VMState *vm, VMString *s) {
    if (!s->shared) return;
    StringBuf *b = BufferOf(s);
    if (b->used == s->length) {
        b->sealed = 1;
        return;
    }
    if (StringData(s)[s->length] == 0) return; // bytes below used never change
    // A longer string was appended past s: s moves to a buffer of its own.
    StringBuf *own = static_cast<StringBuf *>(VMAlloc(vm, BufferSize(s->length + 1)));
    own->refs = 1;
    own->capacity = s->length + 1;
    own->used = s->length;
    own->sealed = 1;
    std::memcpy(own->bytes, StringData(s), s->length);
    own->bytes[s->length] = 0;
    ReleaseBuffer(vm, b);
    SetSharedData(s, own->bytes);
}

uint32_t HashLongString(VMString *s) {
    s->hash = HashBytes(StringData(s), s->length);
    s->hashed = 1;
    return s->hash;
}

namespace {

[[gnu::noinline]] VMString *InternString(VMState *vm, const char *bytes, size_t length) {
    uint32_t hash = HashBytes(bytes, length);
    uint32_t mask = vm->stringMask;
    uint32_t slot = hash & mask;
    for (;; slot = (slot + 1) & mask) {
        StringSlot e = vm->strings[slot];
        if (e.bits == 0) break;
        if (SlotHash(e) == hash) {
            VMString *s = SlotString(vm, e);
            if (s->length == length && SameBytes(s->inlineData, bytes, length)) return s;
        }
    }
    // Kept at most four fifths full, so that probes stay short and always end. Probing reads only the slots
    // (the hashes spare the strings), so a fuller, smaller table costs fewer cache misses than it adds steps.
    if (uint64_t(vm->stringCount + 1) * 5 > uint64_t(mask + 1) * 4) {
        if (mask >= 0x3FFFFFFFu || !Rebuild(vm, (mask + 1) * 2)) RaiseError(vm, kErrOutOfMemory);
        mask = vm->stringMask;
        slot = hash & mask;
        while (vm->strings[slot].bits != 0) slot = (slot + 1) & mask;
    }
    uint32_t ref;
    VMString *s = static_cast<VMString *>(TakeInternBlock(vm, StringSize(length), &ref));
    s->gctype = kGCString;
    s->marked = 0;
    s->gcnext = nullptr;
    s->hash = hash;
    s->hashed = 1;
    s->shared = 0;
    s->length = uint32_t(length);
    s->hintNode = 0;
    char *to = s->inlineData;
    CopyShort(to, bytes, length);
    to[length] = 0;
    vm->strings[slot] = {uint64_t(hash) << 32 | ref};
    vm->stringCount++;
    return s;
}

} // namespace

// Two tail calls, so that neither kind pays for the other's registers.
VMString *NewString(VMState *vm, const char *bytes, size_t length) {
    if (length > kMaxInternedLength) return NewLongCopy(vm, bytes, length);
    return InternString(vm, bytes, length);
}

void SweepStrings(VMState *vm) {
    // Dead strings are removed in place by backward-shift deletion, so the survivors are not re-inserted: the
    // scan starts just after an empty slot, so no probe run wraps around the scan's start, and a slot is looked
    // at again after a deletion because a later member of its run may have moved into it.
    uint32_t mask = vm->stringMask;
    uint32_t size = mask + 1;
    uint32_t start = 0;
    while (vm->strings[start].bits != 0) start = (start + 1) & mask; // the table is never full
    StringSlot *t = vm->strings;
    for (uint32_t n = 0, i = (start + 1) & mask; n < size; n++, i = (i + 1) & mask) {
        for (;;) {
            if (t[i].bits == 0) break;
            VMString *str = SlotString(vm, t[i]);
            if (str->marked) {
                str->marked = 0;
                break;
            }
            ReleaseInternBlock(vm, str, StringSize(str->length), uint32_t(t[i].bits));
            vm->stringCount--;
            // Close the gap: pull back later members of the run whose home slot lies at or before the gap.
            uint32_t gap = i;
            t[gap].bits = 0;
            for (uint32_t j = (gap + 1) & mask; t[j].bits != 0; j = (j + 1) & mask) {
                uint32_t home = SlotHash(t[j]) & mask;
                bool between = gap <= j ? (home > gap && home <= j) : (home > gap || home <= j);
                if (between) continue;
                t[gap] = t[j];
                t[j].bits = 0;
                gap = j;
            }
            if (t[i].bits == 0) break; // nothing moved into this slot
        }
    }
    // Shrink after a collection that freed most strings.
    uint32_t newSize = size;
    while (newSize > kMinSlots && size_t(vm->stringCount) * 8 < newSize) newSize /= 2;
    if (newSize != size) Rebuild(vm, newSize);
}

void FreeAllStrings(VMState *vm) {
    if (vm->strings == nullptr) return;
    std::free(vm->strings);
    vm->strings = nullptr;
    for (char *slab : vm->internSlabs) std::free(slab);
    vm->internSlabs.clear();
    TrimStringCache(vm);
}

void TrimStringCache(VMState *vm) {
    for (void *&list : vm->stringCache) {
        while (list != nullptr) {
            ASAN_UNPOISON_MEMORY_REGION(list, sizeof(void *));
            void *next = *static_cast<void **>(list);
            std::free(list);
            list = next;
        }
    }
}

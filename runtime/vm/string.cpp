// Interned byte strings: one object per distinct byte sequence, so string equality is pointer equality and table
// lookups by string compare pointers. Any byte is allowed, zero included.
//
// The interning table is open addressing with linear probing; each slot keeps the string's hash beside its
// pointer, so a probe reads a string's bytes only when the hash matches. Slots are never removed one by one:
// the sweep rebuilds the table from the strings that survive.
#include <cstdlib>
#include <new>
#include <vector>

#include "runtime/vm/vm_internal.h"

namespace {

uint64_t Mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

uint32_t HashBytes(const char *bytes, size_t length) {
    // Every byte takes part (no sampling), so strings that differ only in their middle still spread.
    uint64_t h = 0x9E3779B97F4A7C15ull ^ length;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t w;
        std::memcpy(&w, bytes + i, 8);
        h = Mix(h ^ w);
    }
    uint64_t tail = 0;
    std::memcpy(&tail, bytes + i, length - i);
    return uint32_t(Mix(h ^ tail ^ (uint64_t(length) << 56)));
}

size_t StringSize(size_t length) { return sizeof(VMString) + length; }

constexpr uint32_t kMinSlots = 256;

void Place(StringSlot *table, uint32_t mask, VMString *s) {
    uint32_t slot = s->hash & mask;
    while (table[slot].s != nullptr) slot = (slot + 1) & mask;
    table[slot].hash = s->hash;
    table[slot].s = s;
}

bool Rebuild(VMState *vm, uint32_t newSize) {
    StringSlot *table = static_cast<StringSlot *>(std::calloc(newSize, sizeof(StringSlot)));
    if (table == nullptr) return false;
    for (uint32_t i = 0; i <= vm->stringMask; i++)
        if (vm->strings[i].s != nullptr) Place(table, newSize - 1, vm->strings[i].s);
    std::free(vm->strings);
    vm->strings = table;
    vm->stringMask = newSize - 1;
    return true;
}

} // namespace

void InitStrings(VMState *vm) {
    vm->strings = static_cast<StringSlot *>(std::calloc(kMinSlots, sizeof(StringSlot)));
    if (vm->strings == nullptr) throw std::bad_alloc();
    vm->stringMask = kMinSlots - 1;
    vm->stringCount = 0;
}

VMString *NewString(VMState *vm, const char *bytes, size_t length) {
    if (length > 0x7FFFFFF0u) RaiseError(vm, kErrOutOfMemory);
    uint32_t hash = HashBytes(bytes, length);
    uint32_t mask = vm->stringMask;
    uint32_t slot = hash & mask;
    for (;; slot = (slot + 1) & mask) {
        const StringSlot &e = vm->strings[slot];
        if (e.s == nullptr) break;
        if (e.hash == hash && e.s->length == length && std::memcmp(e.s->data, bytes, length) == 0) return e.s;
    }
    // Kept at most three quarters full so that probes stay short and always end.
    if ((vm->stringCount + 1) * 4 > (mask + 1) * 3) {
        if (mask >= 0x3FFFFFFFu || !Rebuild(vm, (mask + 1) * 2)) RaiseError(vm, kErrOutOfMemory);
        mask = vm->stringMask;
        slot = hash & mask;
        while (vm->strings[slot].s != nullptr) slot = (slot + 1) & mask;
    }
    VMString *s = static_cast<VMString *>(VMAlloc(vm, StringSize(length)));
    s->gctype = kGCString;
    s->marked = 0;
    s->gcnext = nullptr;
    s->hash = hash;
    s->length = uint32_t(length);
    if (length) std::memcpy(s->data, bytes, length);
    s->data[length] = 0;
    vm->strings[slot].hash = hash;
    vm->strings[slot].s = s;
    vm->stringCount++;
    return s;
}

void SweepStrings(VMState *vm) {
    std::vector<VMString *> survivors;
    survivors.reserve(vm->stringCount);
    for (uint32_t i = 0; i <= vm->stringMask; i++) {
        VMString *s = vm->strings[i].s;
        if (s == nullptr) continue;
        if (s->marked) {
            s->marked = 0;
            survivors.push_back(s);
        } else {
            VMFree(vm, s, StringSize(s->length));
        }
    }
    uint32_t size = vm->stringMask + 1;
    // Shrink after a collection that freed most strings; never below the minimum.
    while (size > kMinSlots && survivors.size() * 8 < size) size /= 2;
    if (size != vm->stringMask + 1) {
        StringSlot *table = static_cast<StringSlot *>(std::calloc(size, sizeof(StringSlot)));
        if (table != nullptr) {
            std::free(vm->strings);
            vm->strings = table;
            vm->stringMask = size - 1;
        }
    }
    std::memset(vm->strings, 0, sizeof(StringSlot) * (size_t(vm->stringMask) + 1));
    for (VMString *s : survivors) Place(vm->strings, vm->stringMask, s);
    vm->stringCount = uint32_t(survivors.size());
}

void FreeAllStrings(VMState *vm) {
    if (vm->strings == nullptr) return;
    for (uint32_t i = 0; i <= vm->stringMask; i++)
        if (vm->strings[i].s != nullptr) VMFree(vm, vm->strings[i].s, StringSize(vm->strings[i].s->length));
    std::free(vm->strings);
    vm->strings = nullptr;
}

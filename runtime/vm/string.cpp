// Interned byte strings: one object per distinct byte sequence, so string equality is pointer equality and table
// lookups by string compare pointers. Any byte is allowed, zero included.
#include <cstdlib>

#include "runtime/vm/vm_internal.h"

namespace {

uint32_t HashBytes(const char *bytes, size_t length) {
    // Every byte takes part (no sampling), so strings that differ only in their middle still spread.
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (length * 0xC2B2AE3D27D4EB4Full);
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t w;
        std::memcpy(&w, bytes + i, 8);
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, bytes + i, length - i);
    h = (h ^ tail) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 29;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
    return uint32_t(h);
}

size_t StringSize(size_t length) { return sizeof(VMString) + length; }

void Resize(VMState *vm, uint32_t newSize) {
    VMString **table = static_cast<VMString **>(std::calloc(newSize, sizeof(VMString *)));
    if (table == nullptr) return; // keep the old table: chains just get longer
    for (uint32_t i = 0; i <= vm->stringMask; i++) {
        VMString *s = vm->strings[i];
        while (s != nullptr) {
            VMString *next = s->hnext;
            uint32_t slot = s->hash & (newSize - 1);
            s->hnext = table[slot];
            table[slot] = s;
            s = next;
        }
    }
    std::free(vm->strings);
    vm->strings = table;
    vm->stringMask = newSize - 1;
}

} // namespace

void InitStrings(VMState *vm) {
    vm->strings = static_cast<VMString **>(std::calloc(256, sizeof(VMString *)));
    if (vm->strings == nullptr) throw std::bad_alloc();
    vm->stringMask = 255;
    vm->stringCount = 0;
}

VMString *NewString(VMState *vm, const char *bytes, size_t length) {
    if (length > 0x7FFFFFF0u) RaiseError(vm, kErrOutOfMemory);
    uint32_t hash = HashBytes(bytes, length);
    for (VMString *s = vm->strings[hash & vm->stringMask]; s != nullptr; s = s->hnext) {
        if (s->hash == hash && s->length == length && std::memcmp(s->data, bytes, length) == 0) {
            // A string found dead-but-unswept during a collection's sweep cannot happen: sweeping strings runs
            // without interleaved allocation.
            return s;
        }
    }
    if (vm->stringCount >= vm->stringMask + 1 && vm->stringMask < 0x3FFFFFFFu) Resize(vm, (vm->stringMask + 1) * 2);
    VMString *s = static_cast<VMString *>(VMAlloc(vm, StringSize(length)));
    s->gctype = kGCString;
    s->marked = 0;
    s->gcnext = nullptr;
    s->hash = hash;
    s->length = uint32_t(length);
    if (length) std::memcpy(s->data, bytes, length);
    s->data[length] = 0;
    uint32_t slot = hash & vm->stringMask;
    s->hnext = vm->strings[slot];
    vm->strings[slot] = s;
    vm->stringCount++;
    return s;
}

void SweepStrings(VMState *vm) {
    for (uint32_t i = 0; i <= vm->stringMask; i++) {
        VMString **link = &vm->strings[i];
        while (*link != nullptr) {
            VMString *s = *link;
            if (s->marked) {
                s->marked = 0;
                link = &s->hnext;
            } else {
                *link = s->hnext;
                VMFree(vm, s, StringSize(s->length));
                vm->stringCount--;
            }
        }
    }
}

void FreeAllStrings(VMState *vm) {
    if (vm->strings == nullptr) return;
    for (uint32_t i = 0; i <= vm->stringMask; i++) {
        VMString *s = vm->strings[i];
        while (s != nullptr) {
            VMString *next = s->hnext;
            VMFree(vm, s, StringSize(s->length));
            s = next;
        }
    }
    std::free(vm->strings);
    vm->strings = nullptr;
}

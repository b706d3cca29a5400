// The collector: mark and sweep over every VM allocation. Collections run only at GCCheck points, which the code
// places where every live object is reachable from a root (stack, registry, globals, open upvalues), so a
// collection may run at any of them, as the stress switch does.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "runtime/vm/vm_internal.h"

namespace {

// A heap this small is collected only when it doubles past this floor, so tiny scripts do not collect constantly.
constexpr size_t kMinThreshold = 1024 * 1024;

void MarkObject(VMState *vm, GCObject *o) {
    if (o == nullptr || o->marked) return;
    o->marked = 1;
    if (o->gctype != kGCString) vm->gray.push_back(o);
}

inline void MarkValue(VMState *vm, const VMValue *v) {
    if (v->tt >= TSTRING && v->tt <= TTHREAD) MarkObject(vm, v->u.gc);
}

void Propagate(VMState *vm, GCObject *o) {
    switch (o->gctype) {
    case kGCTable: {
        Table *t = static_cast<Table *>(o);
        MarkObject(vm, t->metatable);
        for (uint32_t i = 0; i < t->arraySize; i++) MarkValue(vm, &t->array[i]);
        for (uint32_t i = 0; i < t->nodeCount; i++) {
            const TableNode &n = t->nodes[i];
            int32_t keyTag = NodeKeyTag(n);
            if (keyTag >= TSTRING && keyTag <= TTHREAD) MarkObject(vm, n.key.gc);
            MarkValue(vm, &n.value);
        }
        break;
    }
    case kGCClosure: {
        ScriptClosure *c = static_cast<ScriptClosure *>(o);
        MarkObject(vm, c->p);
        for (uint32_t i = 0; i < c->numUpvalues; i++) MarkObject(vm, c->upvals[i]);
        break;
    }
    case kGCNative: MarkObject(vm, static_cast<NativeFunction *>(o)->name); break;
    case kGCProto: {
        Proto *p = static_cast<Proto *>(o);
        MarkObject(vm, p->source);
        for (const VMValue &k : p->k) MarkValue(vm, &k);
        for (Proto *child : p->protos) MarkObject(vm, child);
        break;
    }
    case kGCUpval: MarkValue(vm, static_cast<UpVal *>(o)->v); break;
    case kGCUserdata: MarkObject(vm, static_cast<Userdata *>(o)->metatable); break;
    default: break;
    }
}

void FreeObject(VMState *vm, GCObject *o) {
    switch (o->gctype) {
    case kGCTable: FreeTable(vm, static_cast<Table *>(o)); break;
    case kGCClosure: {
        ScriptClosure *c = static_cast<ScriptClosure *>(o);
        VMFree(vm, c, sizeof(ScriptClosure) + sizeof(UpVal *) * (c->numUpvalues ? c->numUpvalues - 1 : 0));
        break;
    }
    case kGCNative: VMFree(vm, o, sizeof(NativeFunction)); break;
    case kGCString: FreeLongString(vm, static_cast<VMString *>(o)); break; // only long ones are on the list
    case kGCProto: FreeProto(vm, static_cast<Proto *>(o)); break;
    case kGCUpval: VMFree(vm, o, sizeof(UpVal)); break;
    case kGCUserdata: {
        Userdata *u = static_cast<Userdata *>(o);
        VMFree(vm, u, sizeof(Userdata) + u->size);
        break;
    }
    default: break;
    }
}

VMValue *StackExtent(VMState *vm) {
    VMValue *extent = vm->top;
    for (CallFrame *f = vm->frames; f <= vm->ci; f++)
        if (!f->isNative && f->top > extent) extent = f->top;
    return extent;
}

} // namespace

const VMValue kNilValue(VMValue::Payload{0}, TNIL);

void *VMAlloc(VMState *vm, size_t size) {
    // No emergency collection here: callers may hold objects that are not rooted yet.
    void *p = std::malloc(size);
    if (p == nullptr) RaiseError(vm, kErrOutOfMemory);
    vm->gcBytes += size;
    vm->gcAllocatedSinceCollect += size;
    return p;
}

void VMFree(VMState *vm, void *p, size_t size) {
    if (p == nullptr) return;
    std::free(p);
    vm->gcBytes -= std::min(size, vm->gcBytes);
}

void *VMRealloc(VMState *vm, void *p, size_t oldSize, size_t newSize) {
    void *q = std::realloc(p, newSize);
    if (q == nullptr) RaiseError(vm, kErrOutOfMemory); // the old block stays valid
    vm->gcBytes += newSize;
    vm->gcBytes -= std::min(oldSize, vm->gcBytes);
    if (newSize > oldSize) vm->gcAllocatedSinceCollect += newSize - oldSize;
    return q;
}

void LinkObject(VMState *vm, GCObject *o, GCType type) {
    o->gctype = type;
    o->marked = 0;
    o->gcnext = vm->allgc;
    vm->allgc = o;
}

void FullCollect(VMState *vm) {
    if (vm->gcPaused || vm->gcRunning || vm->stack == nullptr) return;
    struct Running {
        VMState *vm;
        ~Running() { vm->gcRunning = false; }
    } running{vm};
    vm->gcRunning = true;
    // Roots.
    VMValue *extent = StackExtent(vm);
    for (VMValue *v = vm->stack; v < extent; v++) MarkValue(vm, v);
    // Slots above the extent are dead; clearing them keeps the invariant that every slot below highWater holds
    // a value whose object is still allocated.
    for (VMValue *v = extent; v < vm->highWater; v++) SetNil(v);
    vm->highWater = extent;
    MarkValue(vm, &vm->registry);
    MarkValue(vm, &vm->globals);
    for (UpVal *u = vm->openUpvals; u != nullptr; u = u->openNext) MarkObject(vm, u);
    for (VMString *s : vm->tmNames) MarkObject(vm, s);
    MarkObject(vm, vm->mainProto);
    for (const VMValue &v : vm->gosubSaved) MarkValue(vm, &v);
    while (!vm->gray.empty()) {
        GCObject *o = vm->gray.back();
        vm->gray.pop_back();
        Propagate(vm, o);
    }
    // Sweep.
    TrimStringCache(vm);
    SweepStrings(vm);
    GCObject **link = &vm->allgc;
    while (*link != nullptr) {
        GCObject *o = *link;
        if (o->marked) {
            o->marked = 0;
            link = &o->gcnext;
        } else {
            *link = o->gcnext;
            FreeObject(vm, o);
        }
    }
    // The gray stack keeps its room between collections: growing it again each time asked the allocator for
    // ever larger blocks, which made it consolidate its small free chunks on every collection.
    if (vm->gray.capacity() > 65536) vm->gray.shrink_to_fit();
    size_t live = vm->gcBytes;
    if (vm->gcUserThreshold > live)
        vm->gcThreshold = vm->gcUserThreshold;
    else
        vm->gcThreshold = std::max(2 * live, kMinThreshold);
    vm->gcAllocatedSinceCollect = 0;
}

void FreeAllObjects(VMState *vm) {
    while (vm->allgc != nullptr) {
        GCObject *o = vm->allgc;
        vm->allgc = o->gcnext;
        FreeObject(vm, o);
    }
    FreeAllStrings(vm);
}

int GetGCCount(VMState *vm) { return int(vm->gcBytes / 1024); }
int GetGCThreshold(VMState *vm) { return int(std::min<size_t>(vm->gcThreshold / 1024, INT32_MAX)); }

void SetGCThreshold(VMState *vm, int kilobytes) {
    size_t bytes = kilobytes > 0 ? size_t(kilobytes) * 1024 : 0;
    vm->gcUserThreshold = bytes;
    vm->gcThreshold = bytes;
    if (vm->gcBytes >= vm->gcThreshold) FullCollect(vm);
}

void CollectGarbage(VMState *vm) { FullCollect(vm); }
void SetGCStress(VMState *vm, int on) { vm->gcStress = on != 0; }

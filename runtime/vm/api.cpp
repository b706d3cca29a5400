// The embedding API: stack, values, tables, metatables, references and calls, as command handlers use them.
// Every index is checked: a missing value reads as "none" (TNONE, 0, null), and an operation that needs a value
// at an index that has none raises kErrBadStackIndex.
#include <algorithm>
#include <new>

#include "runtime/vm/vm_internal.h"

namespace {

VMValue *IndexToValue(VMState *vm, int index) {
    CallFrame *ci = vm->ci;
    if (index > 0) {
        VMValue *p = ApiBase(ci) + (index - 1);
        return p < vm->top ? p : nullptr;
    }
    if (index > kRegistryIndex) {
        if (index == 0) return nullptr;
        VMValue *p = vm->top + index;
        return p >= ApiBase(ci) ? p : nullptr;
    }
    if (index == kRegistryIndex) return &vm->registry;
    if (index == kGlobalsIndex) return &vm->globals;
    return nullptr;
}

VMValue *CheckIndex(VMState *vm, int index) {
    VMValue *p = IndexToValue(vm, index);
    if (p == nullptr) RaiseError(vm, kErrBadStackIndex);
    return p;
}

// A real stack slot (no pseudo-index).
VMValue *CheckStackSlot(VMState *vm, int index) {
    if (index <= kRegistryIndex) RaiseError(vm, kErrBadStackIndex);
    return CheckIndex(vm, index);
}

Table *CheckTable(VMState *vm, int index) {
    VMValue *p = CheckIndex(vm, index);
    if (p->tt != TTABLE) RaiseError(vm, kErrIndexNonTable);
    return AsTable(p);
}

inline void Push(VMState *vm, VMValue v) {
    if (vm->top >= ApiLimit(vm, vm->ci)) RaiseError(vm, kErrStackOverflow);
    *vm->top++ = v;
}

inline void NeedValues(VMState *vm, int n) {
    if (vm->top - ApiBase(vm->ci) < n) RaiseError(vm, kErrBadStackIndex);
}

VMValue StringValue(VMString *s) {
    VMValue v;
    SetObject(&v, s, TSTRING);
    return v;
}

} // namespace

// ---- Stack -----------------------------------------------------------------------------------------------------
int GetTop(VMState *vm) { return int(vm->top - ApiBase(vm->ci)); }

void SetTop(VMState *vm, int index) {
    CallFrame *ci = vm->ci;
    if (index >= 0) {
        VMValue *newTop = ApiBase(ci) + index;
        if (newTop > ApiLimit(vm, ci)) RaiseError(vm, kErrStackOverflow);
        while (vm->top < newTop) SetNil(vm->top++);
        vm->top = newTop;
    } else {
        VMValue *newTop = vm->top + index + 1;
        if (newTop < ApiBase(ci)) RaiseError(vm, kErrBadStackIndex);
        vm->top = newTop;
    }
}

int CheckStack(VMState *vm, int n) {
    if (n <= 0) return 1;
    return vm->top + n <= ApiLimit(vm, vm->ci) ? 1 : 0;
}

void PushValue(VMState *vm, int index) { Push(vm, *CheckIndex(vm, index)); }

void InsertValue(VMState *vm, int index) {
    VMValue *p = CheckStackSlot(vm, index);
    VMValue v = vm->top[-1];
    for (VMValue *q = vm->top - 1; q > p; q--) *q = q[-1];
    *p = v;
}

void RemoveValue(VMState *vm, int index) {
    VMValue *p = CheckStackSlot(vm, index);
    for (; p + 1 < vm->top; p++) *p = p[1];
    vm->top--;
}

void PushNil(VMState *vm) { Push(vm, kNilValue); }

void PushNumber(VMState *vm, double n) {
    VMValue v;
    SetNumber(&v, n);
    Push(vm, v);
}

void PushBoolean(VMState *vm, int b) {
    VMValue v;
    SetBool(&v, b);
    Push(vm, v);
}

void PushString(VMState *vm, const char *text) {
    if (text == nullptr) return PushNil(vm);
    PushStringLen(vm, text, std::strlen(text));
}

void PushStringLen(VMState *vm, const char *bytes, size_t length) {
    if (vm->top >= ApiLimit(vm, vm->ci)) RaiseError(vm, kErrStackOverflow);
    if (bytes == nullptr) bytes = "", length = 0;
    SetObject(vm->top, NewString(vm, bytes, length), TSTRING); // the room was checked first
    vm->top++;
    GCCheck(vm);
}

void PushHandle(VMState *vm, void *handle) {
    VMValue v;
    SetLight(&v, handle);
    Push(vm, v);
}

void PushNativeFunction(VMState *vm, NativeFn fn, const char *name) {
    if (vm->top >= ApiLimit(vm, vm->ci)) RaiseError(vm, kErrStackOverflow);
    VMString *s = NewString(vm, name ? name : "?");
    NativeFunction *nf = static_cast<NativeFunction *>(VMAlloc(vm, sizeof(NativeFunction)));
    LinkObject(vm, nf, kGCNative);
    nf->fn = fn;
    nf->name = s;
    VMValue v;
    SetObject(&v, nf, TFUNCTION);
    Push(vm, v);
    GCCheck(vm);
}

void NewTable(VMState *vm) {
    if (vm->top >= ApiLimit(vm, vm->ci)) RaiseError(vm, kErrStackOverflow);
    VMValue v;
    SetObject(&v, NewTableObject(vm, 0, 0), TTABLE);
    Push(vm, v);
    GCCheck(vm);
}

void *NewUserdata(VMState *vm, size_t size) {
    if (vm->top >= ApiLimit(vm, vm->ci)) RaiseError(vm, kErrStackOverflow);
    if (size > (size_t(1) << 40)) RaiseError(vm, kErrOutOfMemory);
    size_t bytes = sizeof(Userdata) + size;
    Userdata *u = static_cast<Userdata *>(VMAlloc(vm, bytes));
    LinkObject(vm, u, kGCUserdata);
    u->metatable = nullptr;
    u->size = size;
    std::memset(u->data, 0, std::max<size_t>(size, 1));
    VMValue v;
    SetObject(&v, u, TUSERDATA);
    Push(vm, v);
    GCCheck(vm);
    return u->data;
}

void ConcatValues(VMState *vm, int n) {
    if (n < 0) RaiseError(vm, kErrBadStackIndex);
    if (n == 0) return PushStringLen(vm, "", 0);
    NeedValues(vm, n);
    ConcatRange(vm, vm->top - n, n);
    vm->top -= n - 1;
    GCCheck(vm);
}

// ---- Types and conversions -------------------------------------------------------------------------------------
int ValueType(VMState *vm, int index) {
    VMValue *p = IndexToValue(vm, index);
    return p ? p->tt : TNONE;
}

int ValueTypeAndNumber(VMState *vm, int index, double *number) {
    VMValue *p = IndexToValue(vm, index);
    if (p == nullptr) return TNONE;
    if (p->tt == TNUMBER) *number = p->u.n;
    return p->tt;
}

int IsNumber(VMState *vm, int index) {
    VMValue *p = IndexToValue(vm, index);
    double d;
    return p && ToNumberValue(p, &d);
}

double VMToNumber(VMState *vm, int index) {
    VMValue *p = IndexToValue(vm, index);
    double d;
    return p && ToNumberValue(p, &d) ? d : 0;
}

const char *VMToString(VMState *vm, int index, size_t *length) {
    VMValue *p = IndexToValue(vm, index);
    if (p != nullptr && p->tt == TNUMBER) SetObject(p, NumberToString(vm, p->u.n), TSTRING);
    if (p == nullptr || p->tt != TSTRING) {
        if (length) *length = 0;
        return nullptr;
    }
    VMString *s = AsString(p);
    if (VL_UNLIKELY(s->shared)) TerminateString(vm, s);
    if (length) *length = s->length;
    return StringData(s);
}

int ToBoolean(VMState *vm, int index) {
    VMValue *p = IndexToValue(vm, index);
    return p && !IsFalse(p);
}

const void *ToPointer(VMState *vm, int index) {
    VMValue *p = IndexToValue(vm, index);
    if (p == nullptr) return nullptr;
    switch (p->tt) {
    case TTABLE:
    case TFUNCTION:
    case TUSERDATA:
    case TTHREAD:
    case TLIGHTHANDLE: return p->u.p;
    default: return nullptr;
    }
}

void *ToHandle(VMState *vm, int index) {
    VMValue *p = IndexToValue(vm, index);
    return p && p->tt == TLIGHTHANDLE ? p->u.p : nullptr;
}

// ---- Comparison ------------------------------------------------------------------------------------------------
int SortPlainList(VMState *vm, int table, int64_t n) {
    Table *t = CheckTable(vm, table);
    if (n < 2) return 1;
    if (n > int64_t(t->arraySize)) return 0;
    VMValue *items = t->array;
    int32_t tag = items[0].tt;
    for (int64_t i = 0; i < n; i++)
        if (items[i].tt != tag || (tag == TNUMBER && items[i].u.n != items[i].u.n)) return 0;
    if (tag == TNUMBER)
        std::sort(items, items + n, [](const VMValue &a, const VMValue &b) { return a.u.n < b.u.n; });
    else if (tag == TSTRING)
        std::sort(items, items + n,
                  [](const VMValue &a, const VMValue &b) { return StringLess(AsString(&a), AsString(&b)); });
    else
        return 0;
    return 1;
}

int LessThan(VMState *vm, int a, int b) {
    VMValue *pa = IndexToValue(vm, a), *pb = IndexToValue(vm, b);
    if (pa == nullptr || pb == nullptr) return 0;
    VMValue va = *pa, vb = *pb;
    return LessThanValues(vm, &va, &vb) ? 1 : 0;
}

int VMRawEqual(VMState *vm, int a, int b) {
    VMValue *pa = IndexToValue(vm, a), *pb = IndexToValue(vm, b);
    return pa && pb && RawEqualValues(pa, pb);
}

// ---- Tables ----------------------------------------------------------------------------------------------------
void GetTable(VMState *vm, int table) {
    VMValue t = *CheckIndex(vm, table);
    NeedValues(vm, 1);
    GetIndexed(vm, &t, vm->top - 1, vm->top - 1);
}

void SetTable(VMState *vm, int table) {
    VMValue t = *CheckIndex(vm, table);
    NeedValues(vm, 2);
    SetIndexed(vm, &t, vm->top - 2, vm->top - 1);
    vm->top -= 2;
}

void VMRawGet(VMState *vm, int table) {
    Table *t = CheckTable(vm, table);
    NeedValues(vm, 1);
    vm->top[-1] = *TableGet(t, vm->top - 1);
}

void VMRawSet(VMState *vm, int table) {
    Table *t = CheckTable(vm, table);
    NeedValues(vm, 2);
    TableSet(vm, t, vm->top - 2, vm->top - 1);
    vm->top -= 2;
}

void RawGetIndex(VMState *vm, int table, int64_t n) {
    Table *t = CheckTable(vm, table);
    Push(vm, *TableGetInt(t, n));
}

void RawSetIndex(VMState *vm, int table, int64_t n) {
    Table *t = CheckTable(vm, table);
    NeedValues(vm, 1);
    TableSetInt(vm, t, n, vm->top - 1);
    vm->top--;
}

void GetField(VMState *vm, int table, const char *key) {
    VMValue t = *CheckIndex(vm, table);
    VMValue k = StringValue(NewString(vm, key ? key : ""));
    Push(vm, k); // keeps the key rooted during a metamethod call
    GetIndexed(vm, &t, &k, vm->top - 1);
}

void RawGetField(VMState *vm, int table, const char *key) {
    Table *t = CheckTable(vm, table);
    VMString *k = NewString(vm, key ? key : "");
    Push(vm, *TableGetStr(t, k));
}

void SetField(VMState *vm, int table, const char *key) {
    VMValue t = *CheckIndex(vm, table);
    NeedValues(vm, 1);
    VMValue k = StringValue(NewString(vm, key ? key : ""));
    Push(vm, k);
    SetIndexed(vm, &t, vm->top - 1, vm->top - 2);
    vm->top -= 2;
}

int NextPair(VMState *vm, int table) {
    Table *t = CheckTable(vm, table);
    NeedValues(vm, 1);
    VMValue key, value;
    if (TableNext(vm, t, vm->top - 1, &key, &value)) {
        vm->top[-1] = key;
        Push(vm, value);
        return 1;
    }
    vm->top--;
    return 0;
}

size_t TableListLength(VMState *vm, int table) { return TableListLength(CheckTable(vm, table)); }

namespace {
void SetTopField(VMState *vm, const char *key, VMValue value) {
    NeedValues(vm, 1);
    VMValue t = vm->top[-1];
    Push(vm, value);
    VMValue k = StringValue(NewString(vm, key ? key : ""));
    Push(vm, k);
    SetIndexed(vm, &t, vm->top - 1, vm->top - 2);
    vm->top -= 2;
}
} // namespace

void SetTableNumber(VMState *vm, const char *key, int32_t value) {
    VMValue v;
    SetNumber(&v, value);
    SetTopField(vm, key, v);
}

void SetTableDouble(VMState *vm, const char *key, double value) {
    VMValue v;
    SetNumber(&v, value);
    SetTopField(vm, key, v);
}

void SetTableString(VMState *vm, const char *key, const char *text) {
    if (text == nullptr) return SetTopField(vm, key, kNilValue);
    NeedValues(vm, 1);
    PushString(vm, text); // rooted while the key is made
    VMValue v = vm->top[-1];
    vm->top--;
    // The string stays alive: nothing collects between here and the store (no GCCheck in SetTopField's path
    // before the value is pushed again).
    SetTopField(vm, key, v);
}

void SetTableObjectId(VMState *vm, const char *key, ObjectId id) {
    VMValue v;
    if (id.handle != nullptr)
        SetLight(&v, id.handle);
    else
        SetNumber(&v, id.number);
    SetTopField(vm, key, v);
}

// ---- Metatables ------------------------------------------------------------------------------------------------
int VMGetMetatable(VMState *vm, int index) {
    VMValue *p = IndexToValue(vm, index);
    if (p == nullptr) return 0;
    Table *mt = GetMetatableOf(p);
    if (mt == nullptr) return 0;
    VMValue v;
    SetObject(&v, mt, TTABLE);
    Push(vm, v);
    return 1;
}

int VMSetMetatable(VMState *vm, int index) {
    VMValue *p = CheckIndex(vm, index);
    NeedValues(vm, 1);
    VMValue *m = vm->top - 1;
    Table *mt = nullptr;
    if (m->tt == TTABLE)
        mt = AsTable(m);
    else if (m->tt != TNIL)
        RaiseError(vm, kErrWrongType);
    if (p->tt == TTABLE)
        AsTable(p)->metatable = mt;
    else if (p->tt == TUSERDATA)
        static_cast<Userdata *>(p->u.gc)->metatable = mt;
    else
        RaiseError(vm, kErrWrongType);
    vm->top--;
    return 1;
}

int GetMetaField(VMState *vm, int index, const char *name) {
    VMValue *p = IndexToValue(vm, index);
    if (p == nullptr || name == nullptr) return 0;
    Table *mt = GetMetatableOf(p);
    if (mt == nullptr) return 0;
    const VMValue *v = TableGetStr(mt, NewString(vm, name));
    if (v->tt == TNIL) return 0;
    Push(vm, *v);
    return 1;
}

int CallMetaMethod(VMState *vm, int index, const char *name) {
    VMValue *p = IndexToValue(vm, index);
    if (p == nullptr) return 0;
    VMValue obj = *p;
    if (!GetMetaField(vm, index, name)) return 0;
    Push(vm, obj);
    CallFunction(vm, 1, 1);
    return 1;
}

// ---- Globals, registry, references -----------------------------------------------------------------------------
void GetGlobal(VMState *vm, const char *name) { GetField(vm, kGlobalsIndex, name); }
void SetGlobal(VMState *vm, const char *name) { SetField(vm, kGlobalsIndex, name); }

int MakeRef(VMState *vm, int registry) {
    Table *t = CheckTable(vm, registry);
    NeedValues(vm, 1);
    if (vm->top[-1].tt == TNIL) {
        vm->top--;
        return -1;
    }
    bool isRegistry = t == AsTable(&vm->registry);
    int ref;
    if (isRegistry && !vm->freeRefs.empty()) {
        ref = vm->freeRefs.back();
        vm->freeRefs.pop_back();
    } else {
        int64_t r = std::max<int64_t>(1, t->arraySize);
        while (TableGetInt(t, r)->tt != TNIL) r++;
        if (r > INT32_MAX) RaiseError(vm, kErrOutOfMemory);
        ref = int(r);
    }
    TableSetInt(vm, t, ref, vm->top - 1);
    vm->top--;
    return ref;
}

void FreeRef(VMState *vm, int registry, int ref) {
    if (ref < 1) return;
    Table *t = CheckTable(vm, registry);
    if (TableGetInt(t, ref)->tt == TNIL) return; // already free: never hand a reference out twice
    TableSetInt(vm, t, ref, &kNilValue);
    if (t == AsTable(&vm->registry)) vm->freeRefs.push_back(ref);
}

void PushRef(VMState *vm, int registry, int ref) {
    Table *t = CheckTable(vm, registry);
    Push(vm, ref < 0 ? kNilValue : *TableGetInt(t, ref));
}

void *GetRegistryHandle(VMState *vm, const char *key) {
    if (key == nullptr) return nullptr;
    const VMValue *v = TableGetStr(AsTable(&vm->registry), NewString(vm, key));
    return v->tt == TLIGHTHANDLE ? v->u.p : nullptr;
}

void SetRegistryHandle(VMState *vm, const char *key, void *handle) {
    if (key == nullptr) return;
    VMValue v;
    if (handle != nullptr)
        SetLight(&v, handle);
    else
        SetNil(&v);
    TableSetStr(vm, AsTable(&vm->registry), NewString(vm, key), &v);
}

// ---- Calls -----------------------------------------------------------------------------------------------------
void CallFunction(VMState *vm, int nargs, int nresults) {
    if (nargs < 0 || vm->top - ApiBase(vm->ci) < nargs + 1) RaiseError(vm, kErrBadStackIndex);
    if (nresults < -1) nresults = -1;
    CallValue(vm, vm->top - nargs - 1, nresults);
}

int ProtectedCall(VMState *vm, int nargs, int nresults, int errfunc) {
    (void)errfunc; // errors are numbers: there is no message handler
    if (nargs < 0 || vm->top - ApiBase(vm->ci) < nargs + 1) return kErrBadStackIndex;
    if (nresults < -1) nresults = -1;
    VMValue *func = vm->top - nargs - 1;
    CallFrame *savedCi = vm->ci;
    size_t gosubs = vm->gosubs.size(), gosubSaved = vm->gosubSaved.size();
    int nested = vm->nestedCalls;
    auto restore = [&]() {
        CloseUpvalues(vm, func);
        vm->ci = savedCi;
        vm->top = func;
        vm->gosubs.resize(gosubs);
        vm->gosubSaved.resize(gosubSaved);
        vm->nestedCalls = nested;
    };
    try {
        CallValue(vm, func, nresults);
        vm->pendingError = 0;
        return 0;
    } catch (VMError &e) {
        restore();
        vm->pendingError = e.code;
        return e.code;
    } catch (std::bad_alloc &) {
        RecordErrorLocation(vm);
        vm->errorDetail.clear();
        restore();
        vm->pendingError = kErrOutOfMemory;
        return kErrOutOfMemory;
    }
}

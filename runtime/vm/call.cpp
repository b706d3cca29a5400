// Calls across the C++ boundary, the native-call boundary with its error policy, metamethod dispatch, errors,
// upvalues and the GOSUB bookkeeping. The interpreter (interpreter.cpp) runs script frames without recursion;
// everything here that calls back into scripts (metamethods, API calls) nests one C++ level, counted against
// kMaxNativeReentry.
#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "runtime/vm/vm_internal.h"

// ---- Errors ----------------------------------------------------------------------------------------------------
void RecordErrorLocation(VMState *vm) {
    vm->errorFile.clear();
    vm->errorLine = 0;
    vm->errorDescription.clear();
    vm->errorTrace.clear();
    vm->errorFrame = -1;
    vm->pendingError = 0;
    for (CallFrame *f = vm->ci; f >= vm->frames; f--) {
        if (f->isNative || f->cl == nullptr) continue;
        Proto *p = f->cl->p;
        ptrdiff_t pcIndex = f->savedpc - p->codePtr - 1;
        if (pcIndex < 0) pcIndex = 0;
        if (size_t(pcIndex) < p->lines.size()) vm->errorLine = p->lines[size_t(pcIndex)];
        if (p->source != nullptr) vm->errorFile.assign(StringData(p->source), p->source->length);
        vm->errorFrame = FrameIndex(vm, f);
        return;
    }
}

void RaiseError(VMState *vm, int code) {
    RecordErrorLocation(vm);
    vm->errorDetail.clear();
    throw VMError{code};
}

void RaiseErrorDetail(VMState *vm, int code, const std::string &detail) {
    RecordErrorLocation(vm);
    vm->errorDetail = detail;
    throw VMError{code};
}

void RaiseGosubLimit(VMState *vm) {
    RaiseErrorDetail(vm, kErrInternalLimit, "at most " + std::to_string(kMaxPendingGosubs) + " Gosubs may be pending");
}

void RaiseErrorDescribed(VMState *vm, int code, std::string description) {
    RecordErrorLocation(vm);
    vm->errorDetail.clear();
    vm->errorDescription = std::move(description);
    throw VMError{code};
}

void AddDispatchTrace(VMState *vm, CallFrame *f) {
    CallFrame *caller = f - 1;
    if (caller < vm->frames || caller->cl == nullptr || f->func->tt != TFUNCTION ||
        f->func->u.gc->gctype != kGCNative)
        return;
    const Proto *p = caller->cl->p;
    ptrdiff_t pcIndex = caller->savedpc - p->codePtr - 1;
    int line = pcIndex >= 0 && size_t(pcIndex) < p->lines.size() ? p->lines[size_t(pcIndex)] : 0;
    std::string where = p->source != nullptr ? std::string(StringData(p->source), p->source->length) : std::string();
    if (!vm->errorTrace.empty()) vm->errorTrace += '\n';
    vm->errorTrace += std::string("called from ") + StringData(static_cast<NativeFunction *>(f->func->u.gc)->name) +
                      " at " + where + ":" + std::to_string(line);
}

const char *GetErrorFile(VMState *vm) { return vm->errorFile.c_str(); }
int GetErrorLine(VMState *vm) { return vm->errorLine; }
const char *GetErrorDetail(VMState *vm) { return vm->errorDetail.c_str(); }
const char *GetErrorDescription(VMState *vm) { return vm->errorDescription.c_str(); }
const char *GetErrorTrace(VMState *vm) { return vm->errorTrace.c_str(); }

// ---- Upvalues --------------------------------------------------------------------------------------------------
UpVal *FindUpvalue(VMState *vm, VMValue *slot) {
    UpVal **link = &vm->openUpvals;
    while (*link != nullptr && (*link)->v >= slot) {
        if ((*link)->v == slot) return *link;
        link = &(*link)->openNext;
    }
    UpVal *u = static_cast<UpVal *>(VMAlloc(vm, sizeof(UpVal)));
    LinkObject(vm, u, kGCUpval);
    u->v = slot;
    SetNil(&u->closed);
    u->openNext = *link;
    *link = u;
    return u;
}

void CloseUpvalues(VMState *vm, VMValue *level) {
    while (vm->openUpvals != nullptr && vm->openUpvals->v >= level) {
        UpVal *u = vm->openUpvals;
        u->closed = *u->v;
        u->v = &u->closed;
        vm->openUpvals = u->openNext;
        u->openNext = nullptr;
    }
}

// ---- Metatables ------------------------------------------------------------------------------------------------
Table *GetMetatableOf(const VMValue *v) {
    if (v->tt == TTABLE) return AsTable(v)->metatable;
    if (v->tt == TUSERDATA) return static_cast<Userdata *>(v->u.gc)->metatable;
    return nullptr;
}

const VMValue *FastTM(VMState *vm, Table *mt, TMEvent event) {
    if (mt == nullptr) return nullptr;
    if (mt->tmAbsent & (1u << event)) return nullptr;
    const VMValue *v = TableGetStr(mt, vm->tmNames[event]);
    if (v->tt == TNIL) {
        mt->tmAbsent |= 1u << event;
        return nullptr;
    }
    return v;
}

const VMValue *GetTM(VMState *vm, const VMValue *o, TMEvent event) { return FastTM(vm, GetMetatableOf(o), event); }

// ---- Calls -----------------------------------------------------------------------------------------------------
namespace {

// Where C++ may push a call: above the running script frame's registers, or at a native frame's top.
VMValue *CallArea(VMState *vm) {
    VMValue *t = vm->top;
    if (!vm->ci->isNative && vm->ci->top > t) t = vm->ci->top;
    return t;
}


// Calls tm(a, b) (and c when given) for metamethods; copies one result to out when out is set.
void CallTM(VMState *vm, const VMValue *tm, const VMValue *a, const VMValue *b, const VMValue *c, VMValue *out) {
    VMValue fv = *tm, av = *a, bv = *b, cv = c ? *c : kNilValue;
    VMValue *savedTop = vm->top;
    VMValue *t = CallArea(vm);
    if (t + 4 > vm->stackEnd) RaiseError(vm, kErrStackOverflow);
    t[0] = fv;
    t[1] = av;
    t[2] = bv;
    vm->top = t + 3;
    if (c != nullptr) {
        t[3] = cv;
        vm->top = t + 4;
    }
    if (t + 4 > vm->highWater) vm->highWater = t + 4;
    CallValue(vm, t, out ? 1 : 0);
    if (out != nullptr) *out = t[0];
    vm->top = savedTop;
}

} // namespace

void ResolveCallable(VMState *vm, VMValue *func) {
    for (int loop = 0; func->tt != TFUNCTION; loop++) {
        const VMValue *tm = GetTM(vm, func, TM_CALL);
        if (tm == nullptr && loop == 0) RaiseErrorDescribed(vm, kErrCallNonFunction, DescribeCall(vm, func));
        if (tm == nullptr || loop >= 100) RaiseError(vm, kErrCallNonFunction);
        if (vm->top >= vm->stackEnd) RaiseError(vm, kErrStackOverflow);
        VMValue f = *tm;
        for (VMValue *p = vm->top; p > func; p--) p[0] = p[-1];
        vm->top++;
        *func = f;
    }
}

CallFrame *PrecallScript(VMState *vm, VMValue *func, int nresults) {
    ScriptClosure *cl = static_cast<ScriptClosure *>(func->u.gc);
    Proto *p = cl->p;
    if (vm->ci + 1 >= vm->framesEnd) RaiseError(vm, kErrStackOverflow);
    int nargs = int(vm->top - func) - 1;
    if (nargs < 0) nargs = 0;
    VMValue *base = func + 1;
    int nvarargs = 0;
    if (p->isVararg) {
        if (base + nargs + p->numParams + p->maxStack > vm->stackEnd) RaiseError(vm, kErrStackOverflow);
        // The extra arguments live in the frame too: a tail call that passes one more each time must hit the
        // frame limit, not crawl (copying every argument per call) towards the whole stack's.
        if (nargs - p->numParams + p->maxStack > kMaxFrameSlots) RaiseError(vm, kErrStackOverflow);
        for (int i = nargs; i < p->numParams; i++) SetNil(base + i);
        if (nargs < p->numParams) nargs = p->numParams;
        VMValue *newBase = base + nargs;
        for (int i = 0; i < p->numParams; i++) {
            newBase[i] = base[i];
            SetNil(base + i);
        }
        nvarargs = nargs - p->numParams;
        base = newBase;
    } else {
        if (base + p->maxStack > vm->stackEnd) RaiseError(vm, kErrStackOverflow);
        for (int i = nargs; i < p->numParams; i++) SetNil(base + i);
    }
    CallFrame *f = ++vm->ci;
    f->func = func;
    f->base = base;
    f->top = base + p->maxStack;
    f->savedpc = p->codePtr;
    f->cl = cl;
    f->k = p->kPtr;
    f->lineDelta = p->lineDelta;
    f->wantedPlusOne = nresults + 1;
    f->callPc = vm->callPcIndex;
    f->nvarargs = nvarargs;
    f->ends = 0;
    f->isNative = 0;
    f->tailCalled = 0;
    f->spare = 0;
    if (f->top > vm->highWater) vm->highWater = f->top;
    if (VMValue *end = base + nargs; end > vm->highWater) vm->highWater = end;
    return f;
}

namespace {

// Back to the command's frame after it raised: a function of its own, so that the call's common path does not
// set up what only the handlers use. Pending returns made since the call belong to the frames above it.
void UnwindNative(VMState *vm, CallFrame *f) {
    CloseUpvalues(vm, f->base);
    vm->ci = f;
    vm->top = f->base;
    DropGosubs(vm, FrameIndex(vm, f) + 1);
}

const char *NativeName(const CallFrame *f) {
    return StringData(static_cast<const NativeFunction *>(f->func->u.gc)->name);
}

} // namespace

const char *RunningCommandName(VMState *vm) {
    const CallFrame *f = vm->ci;
    if (!f->isNative || f->func == nullptr || f->func->tt != TFUNCTION || f->func->u.gc->gctype != kGCNative)
        return nullptr;
    return NativeName(f);
}

int NativeRaised(VMState *vm, CallFrame *f, int code) {
    UnwindNative(vm, f);
    if (vm->commandErrorHook && vm->errorFrame <= FrameIndex(vm, f)) vm->commandErrorHook(vm, NativeName(f), code);
    if (vm->errorPolicy == nullptr || vm->errorPolicy(vm, code)) {
        // Script code this command called failed: its place stays the report's, this call is added.
        if (vm->errorFrame > FrameIndex(vm, f)) AddDispatchTrace(vm, f);
        throw;
    }
    return 0;
}

int NativeOutOfMemory(VMState *vm, CallFrame *f) {
    UnwindNative(vm, f);
    RecordErrorLocation(vm);
    vm->errorDetail.clear();
    if (vm->errorPolicy == nullptr || vm->errorPolicy(vm, kErrOutOfMemory)) throw VMError{kErrOutOfMemory};
    return 0;
}

int NativeOddResult(VMState *vm, CallFrame *f, int r, bool allowGosub) {
    if (r >= kFirstErrorCode) {
        if (vm->commandErrorHook && !(r == vm->pendingError && vm->errorFrame > FrameIndex(vm, f)))
            vm->commandErrorHook(vm, NativeName(f), r);
        if (vm->errorPolicy == nullptr || vm->errorPolicy(vm, r)) {
            // The error of script code the command called back under protection and now passes on.
            if (r == vm->pendingError && vm->errorFrame > FrameIndex(vm, f)) {
                vm->pendingError = 0;
                AddDispatchTrace(vm, f);
                throw VMError{r};
            }
            RaiseError(vm, r);
        }
        vm->top = f->base;
        return 0;
    }
    if ((r == -1 || r == -2) && allowGosub) return r;
    RaiseError(vm, (r == -1 || r == -2) ? kErrGosubOutsideMain : kErrBadCommandResult);
}

int CallNative(VMState *vm, VMValue *func, bool allowGosub) { return CallNativeInline(vm, vm->ci, func, allowGosub); }

void CallValue(VMState *vm, VMValue *func, int nresults) {
    if (vm->nestedCalls >= kMaxNativeReentry) RaiseError(vm, kErrStackOverflow);
    struct NestGuard {
        VMState *vm;
        ~NestGuard() { vm->nestedCalls--; }
    } guard{vm};
    vm->nestedCalls++;
    ResolveCallable(vm, func);
    if (IsScriptClosure(func)) {
        CallFrame *f = PrecallScript(vm, func, nresults);
        f->ends = kFrameFresh;
        Execute(vm); // leaves the results at func, adjusted, with the top after them
        return;
    }
    int n = CallNative(vm, func, false);
    if (nresults >= 0) {
        if (func + nresults > vm->stackEnd) RaiseError(vm, kErrStackOverflow);
        for (int i = n; i < nresults; i++) SetNil(func + i);
        vm->top = func + nresults;
    }
}

// ---- Hooks -----------------------------------------------------------------------------------------------------
void RunLineHook(VMState *vm) {
    // The hook gets an empty native frame of its own above the running code, so that API calls in it see an
    // empty stack. Only the fields an API call reads are set: this runs for every line.
    CallFrame *f = vm->ci + 1;
    VMValue *savedTop = vm->top;
    VMValue *t = CallArea(vm);
    if (f >= vm->framesEnd || t + 1 >= vm->stackEnd) RaiseError(vm, kErrStackOverflow);
    SetNil(t);
    f->func = t;
    f->base = t + 1;
    f->top = std::min(f->base + kMaxFrameSlots, vm->stackEnd);
    f->cl = nullptr;
    f->callPc = vm->callPcIndex;
    f->isNative = 1;
    if (f->top > vm->highWater) vm->highWater = f->top;
    vm->ci = f;
    vm->top = f->base;
    vm->lineHook(vm);
    vm->ci = f - 1;
    vm->top = savedTop;
}

// ---- Indexing --------------------------------------------------------------------------------------------------
constexpr int kMaxMetaChain = 100; // __index/__newindex tables followed before giving up (a loop)

void GetIndexed(VMState *vm, const VMValue *obj, const VMValue *key, VMValue *out) {
    VMValue o = *obj, k = *key;
    for (int loop = 0; loop < kMaxMetaChain; loop++) {
        const VMValue *tm;
        if (o.tt == TTABLE) {
            Table *t = AsTable(&o);
            const VMValue *v = TableGet(t, &k);
            if (v->tt != TNIL) {
                *out = *v;
                return;
            }
            tm = FastTM(vm, t->metatable, TM_INDEX);
            if (tm == nullptr) {
                SetNil(out);
                return;
            }
        } else {
            tm = GetTM(vm, &o, TM_INDEX);
            if (tm == nullptr && loop == 0) RaiseErrorDescribed(vm, kErrIndexNonTable, DescribeIndex(vm, obj));
            if (tm == nullptr) RaiseError(vm, kErrIndexNonTable);
        }
        if (tm->tt == TFUNCTION) {
            CallTM(vm, tm, &o, &k, nullptr, out);
            return;
        }
        o = *tm;
    }
    RaiseError(vm, kErrMetaLoop);
}

void SetIndexed(VMState *vm, const VMValue *obj, const VMValue *key, const VMValue *value) {
    VMValue o = *obj, k = *key, v = *value;
    for (int loop = 0; loop < kMaxMetaChain; loop++) {
        const VMValue *tm;
        if (o.tt == TTABLE) {
            Table *t = AsTable(&o);
            if (t->metatable == nullptr || TableGet(t, &k)->tt != TNIL ||
                (tm = FastTM(vm, t->metatable, TM_NEWINDEX)) == nullptr) {
                TableSet(vm, t, &k, &v);
                return;
            }
        } else {
            tm = GetTM(vm, &o, TM_NEWINDEX);
            if (tm == nullptr && loop == 0) RaiseErrorDescribed(vm, kErrIndexNonTable, DescribeIndex(vm, obj));
            if (tm == nullptr) RaiseError(vm, kErrIndexNonTable);
        }
        if (tm->tt == TFUNCTION) {
            CallTM(vm, tm, &o, &k, &v, nullptr);
            return;
        }
        o = *tm;
    }
    RaiseError(vm, kErrMetaLoop);
}

// ---- Arithmetic and comparison ---------------------------------------------------------------------------------
void Arith(VMState *vm, VMValue *out, const VMValue *a, const VMValue *b, TMEvent event) {
    double x, y;
    if (ToNumberValue(a, &x) && ToNumberValue(b, &y)) {
        double r;
        switch (event) {
        case TM_ADD: r = x + y; break;
        case TM_SUB: r = x - y; break;
        case TM_MUL: r = x * y; break;
        case TM_DIV:
            if (y == 0) RaiseError(vm, kErrDivisionByZero);
            r = x / y;
            break;
        case TM_MOD:
            if (y == 0) RaiseError(vm, kErrDivisionByZero);
            r = x - std::floor(x / y) * y;
            break;
        case TM_POW: r = std::pow(x, y); break;
        case TM_UNM: r = -x; break;
        default: r = 0; break;
        }
        SetNumber(out, r);
        return;
    }
    const VMValue *tm = GetTM(vm, a, event);
    if (tm == nullptr) tm = GetTM(vm, b, event);
    if (tm == nullptr) RaiseErrorDescribed(vm, kErrWrongType, DescribeArith(vm, a, b, event));
    CallTM(vm, tm, a, b, nullptr, out);
}

bool StringLess(const VMString *a, const VMString *b) {
    size_t n = std::min(a->length, b->length);
    int c = std::memcmp(StringData(a), StringData(b), n);
    if (c != 0) return c < 0;
    return a->length < b->length;
}

namespace {

bool CallOrderTM(VMState *vm, const VMValue *a, const VMValue *b, TMEvent event, bool *result) {
    if (a->tt != b->tt || (a->tt != TTABLE && a->tt != TUSERDATA)) return false;
    const VMValue *tm = GetTM(vm, a, event);
    if (tm == nullptr) tm = GetTM(vm, b, event);
    if (tm == nullptr) return false;
    VMValue r;
    CallTM(vm, tm, a, b, nullptr, &r);
    *result = !IsFalse(&r);
    return true;
}

} // namespace

bool LessThanValues(VMState *vm, const VMValue *a, const VMValue *b) {
    if (a->tt == TNUMBER && b->tt == TNUMBER) return a->u.n < b->u.n;
    if (a->tt == TSTRING && b->tt == TSTRING) return StringLess(AsString(a), AsString(b));
    bool r;
    if (CallOrderTM(vm, a, b, TM_LT, &r)) return r;
    RaiseErrorDescribed(vm, kErrWrongType, DescribeCompare(vm, a, b));
}

bool LessEqualValues(VMState *vm, const VMValue *a, const VMValue *b) {
    if (a->tt == TNUMBER && b->tt == TNUMBER) return a->u.n <= b->u.n;
    if (a->tt == TSTRING && b->tt == TSTRING) return !StringLess(AsString(b), AsString(a));
    bool r;
    if (CallOrderTM(vm, a, b, TM_LE, &r)) return r;
    if (CallOrderTM(vm, b, a, TM_LT, &r)) return !r;
    RaiseErrorDescribed(vm, kErrWrongType, DescribeCompare(vm, a, b));
}

bool EqualValues(VMState *vm, const VMValue *a, const VMValue *b) {
    if (a->tt != b->tt) return false;
    if (RawEqualValues(a, b)) return true;
    if (a->tt != TTABLE && a->tt != TUSERDATA) return false;
    const VMValue *tm = GetTM(vm, a, TM_EQ);
    if (tm == nullptr) tm = GetTM(vm, b, TM_EQ);
    if (tm == nullptr) return false;
    VMValue r;
    CallTM(vm, tm, a, b, nullptr, &r);
    return !IsFalse(&r);
}

// ---- Concatenation and length ----------------------------------------------------------------------------------
namespace {
inline bool IsStringLike(const VMValue *v) { return v->tt == TSTRING || v->tt == TNUMBER; }

// Joined pieces are mostly a few bytes long, where a library call costs more than the copy: up to 16 bytes move
// as two overlapping loads and stores.
inline void CopyBytes(char *to, const char *from, size_t n) {
    if (n >= 8 && n <= 16) {
        uint64_t a, b;
        std::memcpy(&a, from, 8);
        std::memcpy(&b, from + n - 8, 8);
        std::memcpy(to, &a, 8);
        std::memcpy(to + n - 8, &b, 8);
    } else if (n >= 4 && n < 8) {
        uint32_t a, b;
        std::memcpy(&a, from, 4);
        std::memcpy(&b, from + n - 4, 4);
        std::memcpy(to, &a, 4);
        std::memcpy(to + n - 4, &b, 4);
    } else if (n < 4) {
        for (size_t i = 0; i < n; i++) to[i] = from[i];
    } else {
        std::memcpy(to, from, n);
    }
}
} // namespace

void ConcatRange(VMState *vm, VMValue *first, int count) {
    if (count <= 0) return;
    bool simple = true;
    for (int i = 0; i < count; i++)
        if (!IsStringLike(&first[i])) simple = false;
    if (simple) {
        if (count == 1) {
            if (first->tt == TNUMBER) SetObject(first, NumberToString(vm, first->u.n), TSTRING);
            return;
        }
        // Measured first, then joined once: straight into the new string when it is long, else in a local
        // buffer for the interning lookup. Numbers are formatted twice, which costs less than keeping them.
        size_t total = 0;
        char number[64];
        for (int i = 0; i < count; i++)
            total += first[i].tt == TSTRING ? AsString(&first[i])->length
                                            : size_t(FormatNumber(first[i].u.n, number, sizeof number));
        if (total > kMaxInternedLength) {
            SetObject(first, JoinLongString(vm, first, count, total), TSTRING);
            return;
        }
        char small[kMaxInternedLength + 1];
        char *out = small;
        for (int i = 0; i < count; i++) {
            if (first[i].tt == TSTRING) {
                const VMString *str = AsString(&first[i]);
                CopyBytes(out, StringData(str), str->length);
                out += str->length;
            } else {
                int n = FormatNumber(first[i].u.n, number, sizeof number);
                CopyBytes(out, number, size_t(n));
                out += n;
            }
        }
        SetObject(first, NewString(vm, small, total), TSTRING);
        return;
    }
    // Right to left, pairwise, so __concat sees the same operands as in `a .. (b .. c)`.
    for (int i = count - 2; i >= 0; i--) {
        VMValue *a = &first[i], *b = &first[i + 1];
        if (IsStringLike(a) && IsStringLike(b)) {
            ConcatRange(vm, a, 2);
            continue;
        }
        const VMValue *tm = GetTM(vm, a, TM_CONCAT);
        if (tm == nullptr) tm = GetTM(vm, b, TM_CONCAT);
        if (tm == nullptr) RaiseErrorDescribed(vm, kErrWrongType, DescribeConcat(vm, IsStringLike(a) ? b : a));
        CallTM(vm, tm, a, b, nullptr, a);
    }
}

double LengthOf(VMState *vm, const VMValue *v, VMValue *out) {
    if (v->tt == TSTRING) {
        SetNumber(out, AsString(v)->length);
        return out->u.n;
    }
    const VMValue *tm = GetTM(vm, v, TM_LEN);
    if (tm != nullptr) {
        CallTM(vm, tm, v, &kNilValue, nullptr, out);
        return 0;
    }
    if (v->tt != TTABLE) RaiseErrorDescribed(vm, kErrWrongType, DescribeLength(vm, v));
    SetNumber(out, double(TableListLength(AsTable(v))));
    return out->u.n;
}

// ---- GOSUB -----------------------------------------------------------------------------------------------------
namespace {

// The first register above the live locals at pc: everything from there up is a temporary.
int ActiveLocalTop(const Proto *p, int pc) {
    int top = 0;
    for (const ProtoLocal &l : p->locals)
        if (uint32_t(pc) >= l.startPc && uint32_t(pc) < l.endPc) top = std::max(top, int(l.reg) + 1);
    return top;
}

bool IsLabelPc(const Proto *p, int64_t pc) {
    for (const ProtoLabel &l : p->labels)
        if (int64_t(l.pc) == pc) return true;
    return false;
}

} // namespace

int GosubFromCommand(VMState *vm, CallFrame *ci, int callPc, int mode, int a, int nargs, int c) {
    Proto *p = ci->cl->p;
    // A label belongs to the main chunk: a request from any other function must not jump into that function.
    if (!p->isMain) RaiseError(vm, kErrGosubOutsideMain);
    if (vm->gosubs.size() >= size_t(kMaxPendingGosubs)) RaiseGosubLimit(vm);
    int64_t target = int64_t(callPc) + vm->gosubJumpDelta;
    if (!IsLabelPc(p, target)) RaiseError(vm, kErrGosubTarget);
    int first = std::min(ActiveLocalTop(p, callPc), a);
    int end = a + 1 + std::max(nargs, 0);
    GosubEntry e{};
    e.frame = FrameIndex(vm, ci);
    e.resumePc = callPc + 1;
    e.callPc = callPc;
    e.callA = a;
    e.callC = c;
    e.savedStart = first;
    e.savedCount = end - first;
    e.savedOffset = int32_t(vm->gosubSaved.size());
    e.mode = int8_t(mode);
    vm->gosubSaved.insert(vm->gosubSaved.end(), ci->base + first, ci->base + end);
    vm->gosubs.push_back(e);
    ci->ends |= kFrameGosubs;
    return int(target);
}

int ReturnFromSub(VMState *vm, CallFrame *ci) {
    int frame = FrameIndex(vm, ci);
    if (vm->gosubs.empty() || vm->gosubs.back().frame != frame) RaiseError(vm, kErrReturnWithoutGosub);
    GosubEntry e = vm->gosubs.back();
    vm->gosubs.pop_back();
    if (e.mode == 0) {
        vm->gosubSaved.resize(size_t(e.savedOffset));
        return e.resumePc;
    }
    for (int i = 0; i < e.savedCount; i++) ci->base[e.savedStart + i] = vm->gosubSaved[size_t(e.savedOffset + i)];
    vm->gosubSaved.resize(size_t(e.savedOffset));
    if (e.mode == -2) {
        vm->top = ci->base + e.savedStart + e.savedCount;
        return e.callPc; // the interrupted call runs again
    }
    // The interrupted call yields no results.
    if (e.callC != 0)
        for (int i = 0; i < e.callC - 1; i++) SetNil(ci->base + e.callA + i);
    else
        vm->top = ci->base + e.callA;
    return e.callPc + 1;
}

void DropGosubs(VMState *vm, int frameIndex) {
    while (!vm->gosubs.empty() && vm->gosubs.back().frame >= frameIndex) {
        vm->gosubSaved.resize(size_t(vm->gosubs.back().savedOffset));
        vm->gosubs.pop_back();
    }
}

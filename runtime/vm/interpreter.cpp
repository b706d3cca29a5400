// The interpreter loop. Script-to-script calls and returns switch frames inside this loop (no C++ recursion);
// only metamethods and API calls from commands nest a new Execute.
//
// Dispatch is computed goto (GCC/Clang). Only instructions where a new line may begin carry a line test: the
// running copy of the code marks them with kOpLineStart (see Proto), whose handler, while the hook is open, runs
// it when the line differs from the one of the instruction run before, and then dispatches the original
// instruction.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/vm/vm_internal.h"

namespace {

inline bool ForNumber(const VMValue *v, double *out) {
    if (v->tt == TNUMBER) {
        *out = v->u.n;
        return true;
    }
    return ToNumberValue(v, out);
}

// A number as a position in an array part: itself when whole and in [0, 2^63), else at or above 2^63, past any
// array (negative whole numbers wrap there). The conversion gives INT64_MIN for NaN and out-of-range values, which
// then fail the round trip.
inline uint64_t ArrayPosition(double d) {
#if defined(__SSE2__)
    int64_t n = _mm_cvttsd_si64(_mm_set_sd(d));
#else
    int64_t n = d > -9.2e18 && d < 9.2e18 ? int64_t(d) : -1;
#endif
    return double(n) == d ? uint64_t(n) : UINT64_MAX;
}

// RK(x) without a branch: which array is a select, the index the low eight bits.
inline const VMValue *RKOperand(const VMValue *base, const VMValue *k, int x) {
    const VMValue *from = IsRKConstant(x) ? k : base;
    return from + (x & int(kMaxRKConstant));
}

} // namespace

void Execute(VMState *vm) {
    // Indexed by the instruction's low byte, the opcode and the two low bits of A above it, so the index is one
    // byte move instead of a move and a mask: the opcodes' row, four times. The unused entries between the
    // running opcodes and kOpLineStart, the last entry, are counted by the row's size.
#define VL_LABEL(name, format, a, b, c, flags) &&L_##name,
#define VL_RUN_LABEL(Name, LABEL, chunk, c, a) &&L_##LABEL,
#define VL_DISPATCH_ROW                                                                                            \
    VL_OPCODES(VL_LABEL) VL_RUN_OPCODES(VL_RUN_LABEL) &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD, &&L_BAD,        \
        &&L_LINESTART,
    static void *const kDispatch[] = {VL_DISPATCH_ROW VL_DISPATCH_ROW VL_DISPATCH_ROW VL_DISPATCH_ROW};
    static_assert(std::size(kDispatch) == 4 << kOpBits, "adjust the unused entries when opcodes are added");
#undef VL_DISPATCH_ROW
#undef VL_RUN_LABEL
#undef VL_LABEL
    // Each entry's place is its opcode's value: the same lists, in the same order, give the opcodes.
#define VL_OP_VALUE(name, format, a, b, c, flags) unsigned(OP_##name),
#define VL_RUN_VALUE(Name, LABEL, chunk, c, a) unsigned(kOp##Name),
    static constexpr unsigned kPlaces[] = {VL_OPCODES(VL_OP_VALUE) VL_RUN_OPCODES(VL_RUN_VALUE)};
#undef VL_RUN_VALUE
#undef VL_OP_VALUE
    static_assert(std::size(kPlaces) == kRunOpcodeEnd && [] {
        for (unsigned place = 0; place < std::size(kPlaces); place++)
            if (kPlaces[place] != place) return false;
        return true;
    }(), "a dispatch entry is not at its opcode's place");
    static_assert(kOpShift == 0 && kAShift == kOpBits && (4 << kOpBits) == 256, "the dispatch index is the low byte");

    // Few live variables, so that they stay in registers: the running frame and its line offset are read from
    // vm->ci where needed (a copy of either cost a spill and a second store on every call and return). The line
    // table is reached as pc + ci->lineDelta bytes and the original instructions as pc + 2 * ci->lineDelta bytes
    // (Proto::run).
    VMValue *base;
    const VMValue *k;
    const Instruction *pc;
    Instruction i;

// A register from an operand field, its byte offset taken from the field in place: values are 16 bytes.
#define REG_AT(shift, max)                                                                                         \
    reinterpret_cast<VMValue *>(reinterpret_cast<char *>(base) + ((i >> ((shift) - 4)) & ((max) << 4)))
#define RA() REG_AT(kAShift, kMaxA)
#define RB() REG_AT(kBShift, kMaxB)
#define RKB() RKOperand(base, k, GetB(i))
#define RKC() RKOperand(base, k, GetC(i))
#define ci (vm->ci)
#define CODE() (ci->cl->p->codePtr)
#define SAVEPC() (ci->savedpc = pc)
#define PROTECT(x)                                                                                                 \
    do {                                                                                                           \
        SAVEPC();                                                                                                  \
        x;                                                                                                         \
    } while (0)
#define DISPATCH()                                                                                                 \
    do {                                                                                                           \
        i = *pc++;                                                                                                 \
        goto *kDispatch[i & 0xff];                                                                                 \
    } while (0)
// The line of an instruction of the running code.
#define LINE_AT(p) (*reinterpret_cast<const int32_t *>(reinterpret_cast<const char *>(p) + ci->lineDelta))
// Runs the hook, when it is open, if the instruction at pc begins a line other than prevLine: the line of the
// instruction that ran before it in this frame, or INT_MIN where every line counts as new (a function's first
// instruction, a backward jump, a command's GOSUB). prevLine is worked out only when the hook is open: no line
// is kept per frame. The hook is called in place: its API calls see an empty stack just above the frame's
// registers (ApiBase), unless call results are pending above them, when RunLineHook gives it a frame of its own.
#define LINE_CHECK(prevLine)                                                                                       \
    do {                                                                                                           \
        if (VL_UNLIKELY(LineHookOpen(vm)) && LINE_AT(pc) != (prevLine)) {                                          \
            ci->savedpc = pc + 1;                                                                                  \
            VMValue *savedTop_ = vm->top;                                                                          \
            if (VL_LIKELY(savedTop_ <= ci->top)) {                                                                 \
                vm->top = ci->top;                                                                                 \
                vm->lineHook(vm);                                                                                  \
                vm->top = savedTop_;                                                                               \
            } else {                                                                                               \
                RunLineHook(vm);                                                                                   \
            }                                                                                                      \
        }                                                                                                          \
    } while (0)
// The instruction at pc as loaded, without its line mark.
#define UNMARKED(p) (*reinterpret_cast<const Instruction *>(reinterpret_cast<const char *>(p) + 2 * ci->lineDelta))
// Checks the line at pc against prevLine, marked or not, and dispatches the instruction there.
#define DISPATCH_CHECKED(prevLine)                                                                                 \
    do {                                                                                                           \
        LINE_CHECK(prevLine);                                                                                      \
        i = UNMARKED(pc);                                                                                          \
        pc++;                                                                                                      \
        goto *kDispatch[i & 0xff];                                                                                 \
    } while (0)
// Dispatch after a jump or a test from the instruction at `from`: the target usually begins a line, so its check
// runs here, from this handler's own jump, rather than through L_LINESTART.
#define DISPATCH_JUMPED(from)                                                                                      \
    do {                                                                                                           \
        i = *pc;                                                                                                   \
        if (GetOp(i) == kOpLineStart) {                                                                            \
            LINE_CHECK(pc <= (from) ? INT_MIN : LINE_AT(from));                                                    \
            i = UNMARKED(pc);                                                                                      \
        }                                                                                                          \
        pc++;                                                                                                      \
        goto *kDispatch[i & 0xff];                                                                                 \
    } while (0)
#define LOAD_FRAME()                                                                                               \
    do {                                                                                                           \
        base = ci->base;                                                                                           \
        k = ci->k;                                                                                                 \
        pc = ci->savedpc;                                                                                          \
    } while (0)
#define JUMP(offset) (pc += (offset))
// Performs the JMP that follows a test instruction.
#define TAKE_JUMP() (pc += GetSBx(*pc) + 1)
// The instruction being run, for DISPATCH_JUMPED.
#define SELF() (pc - 1)

newframe: // a function's first instruction
    LOAD_FRAME();
    DISPATCH_CHECKED(INT_MIN);

L_MOVE:
    *RA() = *RB();
    DISPATCH();
L_LOADK:
    *RA() = k[GetBx(i)];
    DISPATCH();
L_LOADINT:
    SetNumber(RA(), GetSBx(i));
    DISPATCH();
L_LOADNIL: {
    VMValue *ra = RA();
    for (int j = 0; j <= GetB(i); j++) SetNil(ra + j);
    DISPATCH();
}
L_GETUPVAL:
    *RA() = *ci->cl->upvals[GetB(i)]->v;
    DISPATCH();
L_SETUPVAL:
    *ci->cl->upvals[GetB(i)]->v = *RA();
    DISPATCH();
L_GETGLOBAL: {
    Table *g = AsTable(&vm->globals);
    const VMValue *key = &k[GetBx(i)];
    // A global name nearly always finds its node through the string's hint, so that test comes first, in line.
    VMString *name = AsString(key);
    if (VL_LIKELY(name->hintNode < g->nodeCount)) {
        const TableNode &n = g->nodes[name->hintNode];
        if (VL_LIKELY(n.key.gc == name && NodeKeyTag(n) == TSTRING && n.value.tt != TNIL)) {
            *RA() = n.value;
            DISPATCH();
        }
    }
    const VMValue *v = TableGetStr(g, name);
    if (VL_LIKELY(v->tt != TNIL || g->metatable == nullptr))
        *RA() = *v;
    else
        PROTECT(GetIndexed(vm, &vm->globals, key, RA()));
    DISPATCH();
}
L_SETGLOBAL: {
    Table *g = AsTable(&vm->globals);
    if (VL_LIKELY(g->metatable == nullptr)) {
        SAVEPC();
        TableSetStr(vm, g, AsString(&k[GetBx(i)]), RA());
    } else {
        PROTECT(SetIndexed(vm, &vm->globals, &k[GetBx(i)], RA()));
    }
    DISPATCH();
}
// R(A) := R(B)[rc], the array part read here.
#define GETTABLE_ON(rcExpr)                                                                                        \
    {                                                                                                              \
        VMValue *rb = RB();                                                                                        \
        const VMValue *rc = (rcExpr);                                                                              \
        if (VL_LIKELY(rb->tt == TTABLE)) {                                                                         \
            Table *t = AsTable(rb);                                                                                \
            const VMValue *v;                                                                                      \
            uint64_t ix;                                                                                           \
            if (rc->tt == TNUMBER)                                                                                 \
                v = (ix = ArrayPosition(rc->u.n)) < t->arraySize ? &t->array[ix] : TableGet(t, rc);                \
            else if (rc->tt == TSTRING)                                                                            \
                v = TableGetStr(t, AsString(rc));                                                                  \
            else                                                                                                   \
                v = TableGet(t, rc);                                                                               \
            if (VL_LIKELY(v->tt != TNIL || t->metatable == nullptr)) {                                             \
                *RA() = *v;                                                                                        \
                DISPATCH();                                                                                        \
            }                                                                                                      \
        }                                                                                                          \
        PROTECT(GetIndexed(vm, rb, rc, RA()));                                                                     \
        DISPATCH();                                                                                                \
    }
L_GETTABLE:
    GETTABLE_ON(RKC())
L_GETTABLER:
    GETTABLE_ON(REG_AT(kCShift, kMaxC))
#undef GETTABLE_ON
// R(A)[rb] := rc: a present array entry, or one appended at the array's end, stored here.
#define SETTABLE_ON(rbExpr, rcExpr)                                                                                \
    {                                                                                                              \
        VMValue *ra = RA();                                                                                        \
        const VMValue *rb = (rbExpr), *rc = (rcExpr);                                                              \
        if (VL_LIKELY(ra->tt == TTABLE)) {                                                                         \
            Table *t = AsTable(ra);                                                                                \
            if (VL_LIKELY(t->metatable == nullptr)) {                                                              \
                if (rb->tt == TNUMBER && rc->tt != TNIL) {                                                         \
                    uint64_t ix = ArrayPosition(rb->u.n);                                                          \
                    if (ix < t->arraySize) {                                                                       \
                        if (t->array[ix].tt != TNIL) {                                                             \
                            t->array[ix] = *rc;                                                                    \
                            DISPATCH();                                                                            \
                        }                                                                                          \
                    } else if (ix == t->arraySize && t->arraySize < t->arrayCap &&                                 \
                               t->nodeCount == t->deadCount) {                                                     \
                        /* appended to a list that has no keyed entries (which could continue the run) */          \
                        t->array[t->arraySize++] = *rc;                                                            \
                        DISPATCH();                                                                                \
                    }                                                                                              \
                }                                                                                                  \
                SAVEPC();                                                                                          \
                TableSet(vm, t, rb, rc);                                                                           \
                DISPATCH();                                                                                        \
            }                                                                                                      \
        }                                                                                                          \
        PROTECT(SetIndexed(vm, ra, rb, rc));                                                                       \
        DISPATCH();                                                                                                \
    }
L_SETTABLE:
    SETTABLE_ON(RKB(), RKC())
L_SETTABLERR:
    SETTABLE_ON(RB(), REG_AT(kCShift, kMaxC))
#undef SETTABLE_ON
L_NEWTABLE: {
    SAVEPC();
    SetObject(RA(), NewTableObject(vm, uint32_t(GetB(i)), uint32_t(GetC(i))), TTABLE);
    GCCheck(vm);
    DISPATCH();
}
L_SELF: {
    VMValue *ra = RA();
    VMValue obj = *RB();
    const VMValue *key = RKC();
    ra[1] = obj;
    PROTECT(GetIndexed(vm, &obj, key, ra));
    DISPATCH();
}

#define ARITH(event, fastexpr) ARITH_ON(RKB(), RKC(), event, fastexpr)
#define ARITH_ON(rbExpr, rcExpr, event, fastexpr)                                                                  \
    {                                                                                                              \
        const VMValue *rb = (rbExpr), *rc = (rcExpr);                                                              \
        if (VL_LIKELY(rb->tt == TNUMBER && rc->tt == TNUMBER)) {                                                   \
            double x = rb->u.n, y = rc->u.n;                                                                       \
            SetNumber(RA(), (fastexpr));                                                                           \
        } else {                                                                                                   \
            PROTECT(Arith(vm, RA(), rb, rc, event));                                                               \
        }                                                                                                          \
        DISPATCH();                                                                                                \
    }
L_ADD:
    ARITH(TM_ADD, x + y)
L_SUB:
    ARITH(TM_SUB, x - y)
L_MUL:
    ARITH(TM_MUL, x * y)
L_DIV: {
    const VMValue *rb = RKB(), *rc = RKC();
    if (VL_LIKELY(rb->tt == TNUMBER && rc->tt == TNUMBER && rc->u.n != 0))
        SetNumber(RA(), rb->u.n / rc->u.n);
    else
        PROTECT(Arith(vm, RA(), rb, rc, TM_DIV));
    DISPATCH();
}
L_MOD: {
    const VMValue *rb = RKB(), *rc = RKC();
    if (VL_LIKELY(rb->tt == TNUMBER && rc->tt == TNUMBER && rc->u.n != 0)) {
        double x = rb->u.n, y = rc->u.n;
        SetNumber(RA(), x - std::floor(x / y) * y);
    } else {
        PROTECT(Arith(vm, RA(), rb, rc, TM_MOD));
    }
    DISPATCH();
}
L_POW:
    ARITH(TM_POW, std::pow(x, y))
// The running forms: B a register, C a register (RR) or a constant (RK).
#define RC_REG() REG_AT(kCShift, kMaxC)
// The constant's byte offset taken from the C field in place, as REG_AT does: its low eight bits, the flag above.
#define RC_CONST()                                                                                                 \
    reinterpret_cast<const VMValue *>(reinterpret_cast<const char *>(k) + ((i >> (kCShift - 4)) & (kMaxRKConstant << 4)))
L_ADDRR:
    ARITH_ON(RB(), RC_REG(), TM_ADD, x + y)
L_ADDRK:
    ARITH_ON(RB(), RC_CONST(), TM_ADD, x + y)
L_SUBRR:
    ARITH_ON(RB(), RC_REG(), TM_SUB, x - y)
L_SUBRK:
    ARITH_ON(RB(), RC_CONST(), TM_SUB, x - y)
L_MULRR:
    ARITH_ON(RB(), RC_REG(), TM_MUL, x * y)
L_MULRK:
    ARITH_ON(RB(), RC_CONST(), TM_MUL, x * y)
#undef ARITH
#undef ARITH_ON
L_UNM: {
    VMValue *rb = RB();
    if (VL_LIKELY(rb->tt == TNUMBER))
        SetNumber(RA(), -rb->u.n);
    else
        PROTECT(Arith(vm, RA(), rb, rb, TM_UNM));
    DISPATCH();
}
L_NOT:
    SetNumber(RA(), IsFalse(RB()) ? 1 : 0);
    DISPATCH();
L_LEN:
    PROTECT(LengthOf(vm, RB(), RA()));
    DISPATCH();
L_CONCAT: {
    int b = GetB(i), c = GetC(i);
    VMValue *first = base + b;
    if (c == b + 1 && first[0].tt == TSTRING && (first[1].tt == TNUMBER || first[1].tt == TSTRING) &&
        AsString(first)->length <= 64) {
        // `text .. n` and `text .. text`, the common joins, built here without the general loop.
        char joined[128];
        const VMString *left = AsString(first);
        std::memcpy(joined, StringData(left), left->length);
        size_t n = left->length;
        if (first[1].tt == TNUMBER) {
            n += size_t(FormatNumber(first[1].u.n, joined + n, sizeof joined - n));
        } else if (AsString(first + 1)->length <= sizeof joined - n) {
            std::memcpy(joined + n, StringData(AsString(first + 1)), AsString(first + 1)->length);
            n += AsString(first + 1)->length;
        } else {
            n = SIZE_MAX;
        }
        if (n != SIZE_MAX) {
            SAVEPC();
            SetObject(RA(), NewString(vm, joined, n), TSTRING);
            GCCheck(vm);
            DISPATCH();
        }
    }
    PROTECT(ConcatRange(vm, base + b, c - b + 1));
    *RA() = base[b];
    GCCheck(vm);
    DISPATCH();
}
L_JMP: {
    const Instruction *from = SELF();
    JUMP(GetSBx(i));
    DISPATCH_JUMPED(from);
}
// The == rule of EQ, SEQ and SNE: numbers by value, __eq only between tables or userdata, the rest raw.
#define EQUAL_OPERANDS(eq, rb, rc)                                                                                 \
    if (rb->tt == TNUMBER && rc->tt == TNUMBER)                                                                    \
        eq = rb->u.n == rc->u.n;                                                                                   \
    else if (rb->tt != rc->tt)                                                                                     \
        eq = false;                                                                                                \
    else if (rb->tt == TTABLE || rb->tt == TUSERDATA)                                                              \
        PROTECT(eq = EqualValues(vm, rb, rc));                                                                     \
    else                                                                                                           \
        eq = RawEqualValues(rb, rc)
L_EQ: {
    const Instruction *from = SELF();
    const VMValue *rb = RKB(), *rc = RKC();
    bool eq;
    EQUAL_OPERANDS(eq, rb, rc);
    if (eq != (GetA(i) != 0))
        pc++;
    else
        TAKE_JUMP();
    DISPATCH_JUMPED(from);
}
// A is the outcome that takes the jump's skip; the running forms exist only for A = 0 (jump when false, as every
// If and While compiles), so their test needs no operand.
#define COMPARE_JUMP(rbExpr, rcExpr, op, slow, skipWhen)                                                          \
    {                                                                                                              \
        const Instruction *from = SELF();                                                                          \
        const VMValue *rb = (rbExpr), *rc = (rcExpr);                                                              \
        bool r;                                                                                                    \
        if (rb->tt == TNUMBER && rc->tt == TNUMBER)                                                                \
            r = rb->u.n op rc->u.n;                                                                                \
        else                                                                                                       \
            PROTECT(r = slow(vm, rb, rc));                                                                         \
        if (r != (skipWhen))                                                                                       \
            pc++;                                                                                                  \
        else                                                                                                       \
            TAKE_JUMP();                                                                                           \
        DISPATCH_JUMPED(from);                                                                                     \
    }
L_LT:
    COMPARE_JUMP(RKB(), RKC(), <, LessThanValues, GetA(i) != 0)
L_LE:
    COMPARE_JUMP(RKB(), RKC(), <=, LessEqualValues, GetA(i) != 0)
L_LTRR:
    COMPARE_JUMP(RB(), RC_REG(), <, LessThanValues, false)
L_LTRK:
    COMPARE_JUMP(RB(), RC_CONST(), <, LessThanValues, false)
L_LERR:
    COMPARE_JUMP(RB(), RC_REG(), <=, LessEqualValues, false)
L_LERK:
    COMPARE_JUMP(RB(), RC_CONST(), <=, LessEqualValues, false)
#undef COMPARE_JUMP
#undef RC_REG
#undef RC_CONST
L_TEST: {
    const Instruction *from = SELF();
    if ((!IsFalse(RA())) != (GetC(i) != 0))
        pc++;
    else
        TAKE_JUMP();
    DISPATCH_JUMPED(from);
}
L_TESTSET: {
    const Instruction *from = SELF();
    VMValue *rb = RB();
    if ((!IsFalse(rb)) == (GetC(i) != 0)) {
        *RA() = *rb;
        TAKE_JUMP();
    } else {
        pc++;
    }
    DISPATCH_JUMPED(from);
}
L_SEQ:
L_SNE: {
    const VMValue *rb = RKB(), *rc = RKC();
    bool eq;
    EQUAL_OPERANDS(eq, rb, rc);
    if (GetOp(i) == OP_SNE) eq = !eq;
    SetNumber(RA(), eq ? 1 : 0);
    DISPATCH();
}
#undef EQUAL_OPERANDS
L_SLT: {
    const VMValue *rb = RKB(), *rc = RKC();
    bool r;
    if (rb->tt == TNUMBER && rc->tt == TNUMBER)
        r = rb->u.n < rc->u.n;
    else
        PROTECT(r = LessThanValues(vm, rb, rc));
    SetNumber(RA(), r ? 1 : 0);
    DISPATCH();
}
L_SLE: {
    const VMValue *rb = RKB(), *rc = RKC();
    bool r;
    if (rb->tt == TNUMBER && rc->tt == TNUMBER)
        r = rb->u.n <= rc->u.n;
    else
        PROTECT(r = LessEqualValues(vm, rb, rc));
    SetNumber(RA(), r ? 1 : 0);
    DISPATCH();
}
L_CALL: {
    VMValue *ra = RA();
    int b = GetB(i);
    // B = 0: the arguments end at the top that multiple results left; none pending, no arguments.
    VMValue *argsEnd = b != 0 ? ra + b : vm->top > ra ? vm->top : ra + 1;
    vm->top = argsEnd;
    SAVEPC();
    // __call (followed through callable tables): the metamethod takes the object as its first argument
    if (VL_UNLIKELY(ra->tt != TFUNCTION)) {
        ResolveCallable(vm, ra);
        argsEnd = vm->top;
    }
    if (ra->u.gc->gctype == kGCClosure) {
        ScriptClosure *ncl = static_cast<ScriptClosure *>(ra->u.gc);
        Proto *np = ncl->p;
        VMValue *nbase = ra + 1;
        // Integers, so that a vararg function's size cannot wrap: it fails the compare and goes the long way.
        // Below callLimit the stack has room and a frame entry is free.
        uintptr_t ntop = reinterpret_cast<uintptr_t>(nbase) + np->fastFrameBytes;
        if (VL_LIKELY(ntop <= reinterpret_cast<uintptr_t>(vm->callLimit))) {
            // The common script call, set up here without leaving the loop.
            if (VL_UNLIKELY(reinterpret_cast<uintptr_t>(argsEnd) < reinterpret_cast<uintptr_t>(nbase) + np->paramBytes))
                for (VMValue *q = argsEnd; q < nbase + np->numParams; q++) SetNil(q);
            CallFrame *nci = ci + 1;
            nci->func = ra;
            nci->base = nbase;
            nci->top = reinterpret_cast<VMValue *>(ntop);
            nci->cl = ncl;
            nci->k = np->kPtr;
            nci->lineDelta = np->lineDelta;
            nci->wantedPlusOne = GetC(i);
            // nvarargs stays unset: only VARARG reads it, and vararg functions come by PrecallScript
            nci->ends = 0; // the four flag bytes, set together as one word
            nci->isNative = 0;
            nci->tailCalled = 0;
            nci->spare = 0;
            if (nci->top > vm->highWater) vm->highWater = nci->top;
            ci = nci;
            base = nbase;
            k = np->kPtr;
            pc = np->codePtr;
            nci->savedpc = pc;
            // The first instruction always begins a line: its hook runs here and the instruction is dispatched
            // as loaded, without the detour through L_LINESTART.
            LINE_CHECK(INT_MIN);
            i = np->firstInstruction;
            pc++;
            goto *kDispatch[i & 0xff];
        }
        PrecallScript(vm, ra, GetC(i) - 1);
        goto newframe;
    }
    // A command. What the rare GOSUB request needs is worked out again from pc and i after the call.
    vm->callPcIndex = int(pc - CODE()) - 1;
    int nargs = int(vm->top - ra) - 1;
    int n = CallNativeInline(vm, ci, ra, true);
    if (VL_UNLIKELY(n < 0)) {
        pc = CODE() + GosubFromCommand(vm, ci, int(pc - CODE()) - 1, n, GetA(i), nargs, GetC(i));
        DISPATCH_CHECKED(INT_MIN); // a label need not be marked as a line start
    }
    for (int j = n; j < GetC(i) - 1; j++) SetNil(ra + j);
    DISPATCH();
}
L_TAILCALL: {
    VMValue *ra = RA();
    int b = GetB(i);
    if (b != 0)
        vm->top = ra + b;
    else if (vm->top <= ra)
        vm->top = ra + 1;
    SAVEPC();
    if (VL_UNLIKELY(ra->tt != TFUNCTION)) ResolveCallable(vm, ra);
    if (ra->u.gc->gctype == kGCClosure) {
        // Reuse this frame: close its upvalues, move the function and arguments down to its function slot.
        if (vm->openUpvals != nullptr && vm->openUpvals->v >= base) CloseUpvalues(vm, base);
        if (VL_UNLIKELY(!vm->gosubs.empty())) DropGosubs(vm, FrameIndex(vm, ci));
        VMValue *dst = ci->func;
        int count = int(vm->top - ra);
        for (int j = 0; j < count; j++) dst[j] = ra[j];
        vm->top = dst + count;
        int nres = ci->wantedPlusOne - 1;
        uint8_t fresh = ci->ends & kFrameFresh; // the pending returns were dropped above
        ci = ci - 1;
        CallFrame *nci = PrecallScript(vm, dst, nres);
        nci->ends = fresh;
        nci->tailCalled = 1;
        goto newframe;
    }
    // A command: call it with all results kept; the RETURN A 0 that follows returns them.
    int callPc = int(pc - CODE()) - 1;
    vm->callPcIndex = callPc;
    int nargs = int(vm->top - ra) - 1;
    int n = CallNative(vm, ra, true);
    if (VL_UNLIKELY(n < 0)) {
        pc = CODE() + GosubFromCommand(vm, ci, callPc, n, GetA(i), nargs, 0);
        DISPATCH_CHECKED(INT_MIN);
    }
    DISPATCH();
}
L_RETURN: {
    VMValue *ra = RA();
    int b = GetB(i);
    if (vm->openUpvals != nullptr && vm->openUpvals->v >= base) CloseUpvalues(vm, base);
    VMValue *dst = ci->func;
    int wantedPlusOne = ci->wantedPlusOne;
    if (VL_LIKELY(b == 2 && wantedPlusOne == 2)) { // `return x` into `y = f()`
        *dst = *ra;
        vm->top = dst + 1;
    } else {
        int n = b != 0 ? b - 1 : std::max(int(vm->top - ra), 0);
        int wanted = wantedPlusOne - 1;
        if (wanted < 0) {
            for (int j = 0; j < n; j++) dst[j] = ra[j];
            vm->top = dst + n;
        } else {
            int j = 0;
            for (; j < n && j < wanted; j++) dst[j] = ra[j];
            for (; j < wanted; j++) SetNil(dst + j);
            vm->top = dst + wanted;
        }
    }
    if (VL_UNLIKELY(ci->ends != 0)) {
        if (ci->ends & kFrameGosubs) DropGosubs(vm, FrameIndex(vm, ci));
        if (ci->ends & kFrameFresh) {
            ci = ci - 1;
            return;
        }
    }
    ci = ci - 1;
    LOAD_FRAME();
    DISPATCH();
}
L_FORPREP: {
    const Instruction *from = SELF();
    VMValue *ra = RA();
    double init, limit, step;
    if (!ForNumber(ra, &init) || !ForNumber(ra + 1, &limit) || !ForNumber(ra + 2, &step)) {
        SAVEPC();
        const int bad = !ForNumber(ra, &init) ? 0 : !ForNumber(ra + 1, &limit) ? 1 : 2;
        const char *const kRoles[] = {"start", "limit", "step"};
        RaiseErrorDescribed(vm, kErrWrongType, DescribeForValue(vm, ra + bad, kRoles[bad]));
    }
    SetNumber(ra, init - step);
    SetNumber(ra + 1, limit);
    SetNumber(ra + 2, step);
    JUMP(GetSBx(i));
    DISPATCH_JUMPED(from);
}
L_FORLOOP: {
    const Instruction *from = SELF();
    VMValue *ra = RA();
    if (VL_UNLIKELY((ra[0].tt != TNUMBER) | (ra[1].tt != TNUMBER) | (ra[2].tt != TNUMBER))) {
        SAVEPC();
        RaiseError(vm, kErrWrongType);
    }
    double step = ra[2].u.n;
    double idx = ra[0].u.n + step;
    double limit = ra[1].u.n;
    if (step > 0) {
        if (!(idx <= limit)) DISPATCH_JUMPED(from);
    } else if (!(idx >= limit)) {
        DISPATCH_JUMPED(from);
    }
    JUMP(GetSBx(i));
    ra[0].u.n = idx;
    SetNumber(ra + 3, idx);
    DISPATCH_JUMPED(from);
}
L_TFORCALL: {
    VMValue *ra = RA();
    VMValue *cb = ra + 3;
    cb[0] = ra[0];
    cb[1] = ra[1];
    cb[2] = ra[2];
    vm->top = cb + 3;
    int nresults = GetC(i);
    SAVEPC();
    if (VL_UNLIKELY(cb->tt != TFUNCTION)) ResolveCallable(vm, cb);
    if (cb->u.gc->gctype == kGCClosure) {
        PrecallScript(vm, cb, nresults);
        goto newframe;
    }
    vm->callPcIndex = int(pc - CODE()) - 1;
    int n = CallNative(vm, cb, false);
    for (int j = n; j < nresults; j++) SetNil(cb + j);
    DISPATCH();
}
L_TFORLOOP: {
    const Instruction *from = SELF();
    VMValue *ra = RA();
    if (ra[3].tt != TNIL) {
        ra[2] = ra[3];
        JUMP(GetSBx(i));
    }
    DISPATCH_JUMPED(from);
}
L_SETLIST: {
    VMValue *ra = RA();
    int n = GetB(i);
    if (n == 0) {
        n = int(vm->top - ra) - 1;
        if (n < 0) n = 0;
    }
    int64_t start;
    if (GetC(i) == 0)
        start = int64_t(*pc++);
    else
        start = int64_t(GetC(i) - 1) * kFieldsPerFlush;
    SAVEPC();
    if (ra->tt != TTABLE) RaiseError(vm, kErrIndexNonTable);
    Table *t = AsTable(ra);
    for (int j = 1; j <= n; j++) TableSetInt(vm, t, start + j - 1, ra + j);
    DISPATCH();
}
L_CLOSE:
    CloseUpvalues(vm, RA());
    DISPATCH();
L_CLOSURE: {
    SAVEPC();
    ScriptClosure *cl = ci->cl;
    Proto *np = cl->p->protos[size_t(GetBx(i))];
    ScriptClosure *ncl = NewScriptClosure(vm, np);
    for (size_t j = 0; j < np->upvalues.size(); j++) {
        const ProtoUpvalue &d = np->upvalues[j];
        ncl->upvals[j] = d.inParentRegister ? FindUpvalue(vm, base + d.index) : cl->upvals[d.index];
    }
    SetObject(RA(), ncl, TFUNCTION);
    GCCheck(vm);
    DISPATCH();
}
L_VARARG: {
    VMValue *ra = RA();
    int nvar = ci->nvarargs;
    VMValue *src = base - nvar;
    int n = GetB(i) - 1;
    if (n < 0) {
        n = nvar;
        if (ra + n > vm->stackEnd) {
            SAVEPC();
            RaiseError(vm, kErrStackOverflow);
        }
        if (ra + n > vm->highWater) vm->highWater = ra + n;
        vm->top = ra + n;
    }
    for (int j = 0; j < n; j++) {
        if (j < nvar)
            ra[j] = src[j];
        else
            SetNil(ra + j);
    }
    DISPATCH();
}
L_GOSUB: {
    const Instruction *from = SELF();
    SAVEPC();
    if (vm->gosubs.size() >= size_t(kMaxPendingGosubs)) RaiseGosubLimit(vm);
    GosubEntry e{};
    e.frame = FrameIndex(vm, ci);
    e.resumePc = int32_t(pc - CODE());
    e.callPc = -1;
    e.savedOffset = int32_t(vm->gosubSaved.size());
    e.mode = 0;
    vm->gosubs.push_back(e);
    ci->ends |= kFrameGosubs;
    JUMP(GetSBx(i));
    DISPATCH_JUMPED(from);
}
L_RETSUB: {
    SAVEPC();
    const Instruction *from = SELF();
    pc = CODE() + ReturnFromSub(vm, ci);
    // where a pending return resumes need not be marked as a line start
    DISPATCH_CHECKED(pc <= from ? INT_MIN : LINE_AT(from));
}
L_LINESTART: // reached from the instruction before (jumps check their targets themselves)
    pc--;
    DISPATCH_CHECKED(LINE_AT(pc - 1));
L_BAD:
    SAVEPC();
    RaiseError(vm, kErrBadChunk);

#undef RA
#undef REG_AT
#undef RB
#undef RKB
#undef RKC
#undef SAVEPC
#undef CODE
#undef ci
#undef LINE_CHECK
#undef LINE_AT
#undef UNMARKED
#undef DISPATCH_CHECKED
#undef SELF
#undef LOAD_FRAME
#undef PROTECT
#undef DISPATCH
#undef DISPATCH_JUMPED
#undef JUMP
#undef TAKE_JUMP
}

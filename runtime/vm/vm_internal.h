// The VM's inside: value representation, heap objects, frames and the state record. Only runtime/vm includes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "runtime/vm/opcodes.h"
#include "runtime/vm/proto.h"
#include "runtime/vm/vm.h"

#define VL_LIKELY(x) __builtin_expect(!!(x), 1)
#define VL_UNLIKELY(x) __builtin_expect(!!(x), 0)

// ---- Values ----------------------------------------------------------------------------------------------------
struct GCObject;

// A 16-byte tagged value: the payload, then the TypeTag.
//
// Copies move the payload and the tag as two scalar moves on purpose: values are mostly written that way
// (SetNumber), and a 16-byte vector load right after two narrower stores of the same value cannot take the
// stored data from the store buffer, which stalled every call's result copy.
struct VMValue {
    union Payload {
        double n;
        GCObject *gc;
        void *p;
        int32_t b;
    } u;
    int32_t tt;
    // Spare word in the padding. A table node's value keeps its key's tag and hash here (see TableNode); copies
    // do not carry it (see above), so whoever needs it sets it.
    uint32_t aux;

    VMValue() = default;
    constexpr VMValue(Payload payload, int32_t tag) : u(payload), tt(tag), aux(0) {}
    VMValue(const VMValue &o) noexcept : u(o.u), tt(o.tt) {}
    VMValue &operator=(const VMValue &o) noexcept {
        u = o.u;
        tt = o.tt;
        return *this;
    }
};

// Table entries whose key was moved to the array part keep this tag until the next rehash.
constexpr int32_t kTagDeadKey = 15;

inline void SetNil(VMValue *v) { v->u.p = nullptr; v->tt = TNIL; }
inline void SetNumber(VMValue *v, double n) { v->u.n = n; v->tt = TNUMBER; }
inline void SetBool(VMValue *v, int b) { v->u.p = nullptr; v->u.b = b != 0; v->tt = TBOOLEAN; }
inline void SetLight(VMValue *v, void *p) { v->u.p = p; v->tt = TLIGHTHANDLE; }
inline void SetObject(VMValue *v, GCObject *o, int32_t tag) { v->u.gc = o; v->tt = tag; }

extern const VMValue kNilValue;

// ---- Heap objects ----------------------------------------------------------------------------------------------
enum GCType : uint8_t { kGCString, kGCTable, kGCClosure, kGCNative, kGCProto, kGCUpval, kGCUserdata };

struct GCObject {
    GCObject *gcnext;
    uint8_t gctype;
    uint8_t marked;
    // The rest of the header's 16 bytes serves strings, the commonest objects, so that a short string's block
    // is its length, hint and bytes past these 16. Other objects leave it alone.
    uint8_t hashed; // strings: hash is valid (always, for interned ones)
    uint8_t shared; // long strings only: the bytes lie in a StringBuf that other strings may share (see below)
    uint32_t hash;
};

struct VMString;
// One slot of the interning table: the string's hash in the high word and its block's reference in the low one
// (slab number << 13 | offset in 8-byte units, never 0), 0 when empty. The whole hash beside the string spares
// growing and sweeping the table a read of each string, and eight-byte slots keep it small.
struct StringSlot {
    uint64_t bits;
};

struct Table;
// Strings up to kMaxInternedLength bytes are interned: one object per byte sequence, equal exactly when the
// pointers are. Longer ones are built (by joins, file reads) far more often than compared, so each is its own
// object, hashed only when first used as a table key, and equal to another long string of the same bytes.
constexpr uint32_t kMaxInternedLength = 40;
constexpr int kStringCacheClasses = 17; // blocks up to 256 bytes
constexpr int kInternClasses = 10;      // interned strings' blocks, 8 bytes a class: up to 72 bytes
// A string's hash and flags live in the GCObject header (see there).
struct VMString : GCObject {
    uint32_t length;
    // The node number where this string was last found as a key, in whichever table: a guess checked on use
    // (that node of the table at hand must hold this very string), so a wrong one only costs the normal probe.
    // Saves the index probe, a cache miss on big tables, for the common pattern of looking up the same key
    // strings again, and tables filled in the same order share their guesses. No table pointer: every key
    // string is 8 bytes smaller.
    uint32_t hintNode;
    // The bytes, here; a shared string keeps instead the address of its bytes in the buffer here, so that no
    // other string pays for a pointer. Zero-terminated, except a shared string that a longer one was appended
    // past: TerminateString makes it so before its bytes leave the VM as a C string. Sized by the allocation.
    alignas(char *) char inlineData[];
};
inline char *StringData(VMString *s) {
    if (VL_LIKELY(!s->shared)) return s->inlineData;
    char *p;
    std::memcpy(&p, s->inlineData, sizeof p);
    return p;
}
inline const char *StringData(const VMString *s) { return StringData(const_cast<VMString *>(s)); }
// A growable buffer behind long strings built by appending (`s = s .. x`). Strings sharing it all start at
// bytes, each with its own length; used is the longest of them. Bytes below used never change, so every
// sharer keeps its value; only the string whose length is used may append in place, into the room left.
struct StringBuf {
    uint32_t refs;     // strings pointing into it
    uint32_t capacity; // bytes, terminator included
    uint32_t used;
    uint8_t sealed;    // its end string's bytes were handed out as a C string: nothing is appended past them
    char bytes[];
};
inline StringBuf *BufferOf(const VMString *s) {
    return reinterpret_cast<StringBuf *>(const_cast<char *>(StringData(s)) - offsetof(StringBuf, bytes));
}
inline bool IsLongString(const VMString *s) { return s->length > kMaxInternedLength; }
uint32_t HashLongString(VMString *s);
inline uint32_t StringHash(VMString *s) { return VL_LIKELY(s->hashed) ? s->hash : HashLongString(s); }
// Same bytes: pointer equality, plus a byte compare for two long strings.
inline bool SameString(const VMString *a, const VMString *b) {
    return a == b ||
           (a->length == b->length && IsLongString(a) && std::memcmp(StringData(a), StringData(b), a->length) == 0);
}

// Metamethod events; the first ones are cached as "absent" bits in the metatable.
enum TMEvent : uint8_t {
    TM_INDEX,
    TM_NEWINDEX,
    TM_EQ,
    TM_LEN,
    TM_LT,
    TM_LE,
    TM_CALL,
    TM_CONCAT,
    TM_ADD,
    TM_SUB,
    TM_MUL,
    TM_DIV,
    TM_MOD,
    TM_POW,
    TM_UNM,
    TM_TOSTRING,
    TM_METATABLE,
    kTMCount
};

// A hash-part entry in 24 bytes: the value, then the key's payload. The value's spare word (which copies of the
// value leave alone) holds the key's type tag in its low 4 bits and the key's table hash above them, so rehashing
// and probing never read the key's object.
struct TableNode {
    VMValue value;
    VMValue::Payload key;
};
constexpr uint32_t kNodeTagBits = 4;
static_assert(TTHREAD < (1 << kNodeTagBits) && kTagDeadKey < (1 << kNodeTagBits), "key tags fit the node");
// The hash tables use: the top 28 bits of a key's hash.
inline uint32_t TableHashOf(uint32_t hash) { return hash >> kNodeTagBits; }
inline int32_t NodeKeyTag(const TableNode &n) { return int32_t(n.value.aux & ((1u << kNodeTagBits) - 1)); }
inline uint32_t NodeHash(const TableNode &n) { return n.value.aux >> kNodeTagBits; }
inline VMValue NodeKey(const TableNode &n) { return VMValue(n.key, NodeKeyTag(n)); }

// Array part: keys 0..arraySize-1. Hash part: nodes in insertion order, found through an open-addressing index.
// An index entry is 32 bits: with indexCap = 2^k, the low k bits hold the node's field (0 empty, 1 removed,
// else node + 2) and the high bits the key's hash above its slot bits, so a probe reads a node (on big tables a
// cache miss) only when those match too. Four bytes an entry keep the index small and its probe runs in one
// cache line; nodes keep the whole hash for rebuilding it.
struct Table : GCObject {
    uint32_t tmAbsent; // bit e: this table, used as a metatable, has no field for event e
    Table *metatable;
    VMValue *array;
    uint32_t arraySize;
    uint32_t arrayCap;
    uint32_t arrayNils; // Nil values inside the array part
    uint32_t nodeCount; // nodes used (live, Nil-valued and dead); below indexCap - 2, so every one has a field
    uint32_t nodeCap;
    uint32_t deadCount; // nodes with kTagDeadKey
    TableNode *nodes;
    uint32_t *index;
    uint32_t indexCap; // power of two, or 0
    uint32_t indexUsed; // live plus removed slots
};
constexpr uint32_t kIndexRemoved = 1;
inline uint32_t IndexEntry(uint32_t node, uint32_t hash, uint32_t mask) { return (hash & ~mask) | (node + 2); }
// The node of a live entry whose hash bits match, or -1.
inline int64_t IndexMatch(uint32_t e, uint32_t hash, uint32_t mask) {
    uint32_t field = e & mask;
    return ((e ^ hash) & ~mask) == 0 && field > kIndexRemoved ? int64_t(field) - 2 : -1;
}

struct UpVal : GCObject {
    VMValue *v;     // the stack slot while open, &closed after
    VMValue closed;
    UpVal *openNext; // open list, highest stack slot first
};

struct Proto : GCObject {
    // What a call reads, together at the front (one cache line), cached from the vectors below, which never
    // change after the prototype is built.
    const Instruction *codePtr; // the running copy: run.data()
    const VMValue *kPtr;
    intptr_t lineDelta; // bytes from a running instruction to its line; twice that reaches its original word
    uint8_t numParams;
    uint8_t isVararg;
    uint8_t isMain;
    uint8_t maxStack;
    uint32_t paramBytes; // numParams values
    // Bytes from a frame's base to its top for the interpreter's own call, or a size no stack has for a vararg
    // function (which takes the general path): one compare tells both whether the frame fits and whether it is
    // the common kind.
    uintptr_t fastFrameBytes;
    Instruction firstInstruction; // as loaded: the call dispatches it without its line mark
    // The code the interpreter runs, then the lines, then the code with running opcodes (RunOpcode) but no
    // line marks, n words each. In the running copy an instruction where a new line may begin (a line change
    // from the previous word, the first instruction, any jump or skip target) has its opcode replaced by
    // kOpLineStart, so every other instruction runs without a line test; the operand fields stay as loaded.
    std::vector<uint32_t> run;
    std::vector<Instruction> code;
    std::vector<int32_t> lines;
    std::vector<VMValue> k;
    std::vector<Proto *> protos;
    std::vector<ProtoUpvalue> upvalues;
    std::vector<ProtoLocal> locals;
    std::vector<ProtoLabel> labels;
    VMString *source;
    int32_t lineDefined;
    size_t accountedBytes;
};

struct ScriptClosure : GCObject {
    Proto *p;
    uint32_t numUpvalues;
    UpVal *upvals[1];
};

struct NativeFunction : GCObject {
    NativeFn fn;
    VMString *name;
};

struct Userdata : GCObject {
    Table *metatable;
    size_t size;
    alignas(16) unsigned char data[1];
};

inline VMString *AsString(const VMValue *v) { return static_cast<VMString *>(v->u.gc); }
inline Table *AsTable(const VMValue *v) { return static_cast<Table *>(v->u.gc); }
inline bool IsScriptClosure(const VMValue *v) { return v->tt == TFUNCTION && v->u.gc->gctype == kGCClosure; }
inline bool IsNative(const VMValue *v) { return v->tt == TFUNCTION && v->u.gc->gctype == kGCNative; }

// ---- Frames ----------------------------------------------------------------------------------------------------
struct CallFrame {
    VMValue *func;
    VMValue *base;
    VMValue *top; // script: base + maxStack; native: the push limit
    const Instruction *savedpc; // script: the next instruction to run
    ScriptClosure *cl;          // null for a native frame
    const VMValue *k;           // script: the constants (cl->p->kPtr)
    intptr_t lineDelta;         // script: cl->p->lineDelta
    int32_t wantedPlusOne;      // expected results plus one, 0 for all: the C operand of a script CALL as it is
    int32_t callPc;             // native: CallPcIndex when it was entered
    int32_t nvarargs;
    uint8_t ends;               // script: what its RETURN does besides returning (kFrameFresh, kFrameGosubs)
    uint8_t isNative;
    uint8_t tailCalled;         // script: entered by TAILCALL, so the caller's CALL names another function
    uint8_t spare;              // zero: the four flag bytes are cleared as one word
};
constexpr uint8_t kFrameFresh = 1;  // entered from C++: its RETURN leaves Execute
constexpr uint8_t kFrameGosubs = 2; // pending returns were recorded for it: its end drops them (the frames above
                                    // dropped theirs when they ended), so a RETURN tests one byte for both

// A pending return of GOSUB (script instruction or a command's -1/-2 request).
struct GosubEntry {
    int32_t frame;      // index of the main chunk's frame
    int32_t resumePc;   // script GOSUB: where RETSUB continues
    int32_t callPc;     // command request: index of the CALL
    int32_t callA, callC;
    int32_t savedStart; // first saved register
    int32_t savedCount;
    int32_t savedOffset; // into VMState::gosubSaved
    int8_t mode;        // 0 script GOSUB, -1 / -2 command request
};

// Opcodes that exist only in the running copy of the code (never valid in a chunk). The loader rewrites the
// commonest operand shapes of arithmetic, comparisons and indexing to them (B a register, C a register or a
// constant), so their handlers skip the RK decoding; kOpLineStart marks an instruction where a new line may begin.
// One row each, in their order: X(Name, LABEL, chunk opcode, C, A) makes the enum (kOp##Name), the interpreter's
// dispatch entry (L_##LABEL) and the loader's rewrite of the chunk opcode when its C is a register (Register) or a
// constant (Constant) and, for Zero, its A is 0.
#define VL_RUN_OPCODES(X)                                                                                       \
    X(AddRR, ADDRR, ADD, Register, Any)                                                                        \
    X(AddRK, ADDRK, ADD, Constant, Any)                                                                        \
    X(SubRR, SUBRR, SUB, Register, Any)                                                                        \
    X(SubRK, SUBRK, SUB, Constant, Any)                                                                        \
    X(MulRR, MULRR, MUL, Register, Any)                                                                        \
    X(MulRK, MULRK, MUL, Constant, Any)                                                                        \
    X(LtRR, LTRR, LT, Register, Zero) /* the four comparisons only with A = 0: jump when false */              \
    X(LtRK, LTRK, LT, Constant, Zero)                                                                          \
    X(LeRR, LERR, LE, Register, Zero)                                                                          \
    X(LeRK, LERK, LE, Constant, Zero)                                                                          \
    X(GetTableR, GETTABLER, GETTABLE, Register, Any)                                                           \
    X(SetTableRR, SETTABLERR, SETTABLE, Register, Any)

enum RunOpcode : unsigned {
    kRunOpcodeBefore = kNumOpcodes - 1,
#define VL_RUN_OPCODE_ENUM(Name, LABEL, chunk, c, a) kOp##Name,
    VL_RUN_OPCODES(VL_RUN_OPCODE_ENUM)
#undef VL_RUN_OPCODE_ENUM
    kRunOpcodeEnd
};
constexpr unsigned kOpLineStart = (1u << kOpBits) - 1;
static_assert(kRunOpcodeEnd <= kOpLineStart, "the running opcodes must fit the opcode field");
// Builds p->run from p->code and p->lines (verified) and points codePtr and lineDelta at it.
void BuildRunningCode(Proto *p);

constexpr int kMaxCallFrames = 200000;
constexpr int kStackExtra = 8; // slots past kMaxStackSlots that nothing but a frame marker uses

struct VMState {
    VMValue *stack;
    VMValue *stackEnd; // stack + kMaxStackSlots
    // Where the interpreter's own script call may put a frame's top. A frame's function slot lies above the one
    // below it's, so a frame whose top is below stack + kMaxCallFrames - 1 has a frame entry free: this one
    // compare stands for both the stack and the frame limit. Deeper calls go the general way, which checks each.
    VMValue *callLimit;
    VMValue *top;
    VMValue *highWater; // no slot at or above it was written since the last collection
    CallFrame *frames;
    CallFrame *ci;
    CallFrame *framesEnd;
    UpVal *openUpvals;

    VMValue registry;
    VMValue globals;

    // Interned strings: open addressing with the hash beside each pointer, so a probe touches a string's
    // memory only when the hash matches.
    struct StringSlot *strings;
    uint32_t stringMask;
    uint32_t stringCount;
    // Interned strings' blocks: carved from big slabs in 8-byte size classes and reused through a free list per
    // class, without the allocator's per-block header and 16-byte rounding. Slabs go back when the VM closes.
    void *internFree[kInternClasses];
    char *internCursor;
    char *internEnd;
    std::vector<char *> internSlabs; // a block's reference names its slab by its place here
    // Freed blocks of long strings and of shared strings' headers, by size in 16-byte steps, for the next ones
    // of that size: reading lines or appending makes and drops one per step, and the allocator's slow path cost
    // more than the step. A collection returns the blocks that the cycle before it did not reuse.
    void *stringCache[kStringCacheClasses];

    // Collector.
    GCObject *allgc;
    size_t gcBytes;
    size_t gcThreshold;
    size_t gcUserThreshold; // set by SetGCThreshold, 0 when none
    size_t gcAllocatedSinceCollect;
    int gcPaused;
    bool gcStress;
    bool gcRunning;
    std::vector<GCObject *> gray;

    VMString *tmNames[kTMCount];

    // Hooks and interpreter state.
    LineHook lineHook;
    const std::atomic<int> *hookGates[2]; // see SetLineHookGates; both set or both null
    // The two words the interpreter reads where a new line may begin: the hook runs while either is non-zero.
    // The gates, or a constant one without gates, or two constant zeros without a hook (UpdateHookPoll).
    const std::atomic<int> *hookPoll[2];
    CallHook callHook;
    ErrorPolicyHook errorPolicy;
    CommandErrorHook commandErrorHook;
    ConstantResolver constantResolver;
    CloseHook closeHook;
    int nestedCalls;
    int callPcIndex;
    int gosubJumpDelta;
    Proto *mainProto;
    std::vector<GosubEntry> gosubs;
    std::vector<VMValue> gosubSaved;
    std::vector<int32_t> freeRefs; // registry references free for reuse

    // The last raised error.
    std::string errorFile;
    int errorLine;
    std::string errorDetail;
    std::string errorDescription; // the operation and its operands, see GetErrorDescription
    std::string errorTrace;       // "called from ..." lines, see GetErrorTrace
    int errorFrame;               // index of the script frame the error was raised in (-1: none)
    int pendingError;             // code a ProtectedCall from a command returned, until that command returns
};

inline int FrameIndex(VMState *vm, CallFrame *f) { return int(f - vm->frames); }

// A hook is set and, when gated, a gate is open.
inline bool LineHookOpen(const VMState *vm) {
    return (vm->hookPoll[0]->load(std::memory_order_relaxed) | vm->hookPoll[1]->load(std::memory_order_relaxed)) != 0;
}
void UpdateHookPoll(VMState *vm); // state.cpp: after the hook or the gates change

// The stack an API call sees. In a command's (native) frame: its arguments and what it pushed, up to its push
// limit. While a script frame is current (only the line hook runs API calls then) the API sees an empty stack
// just above the frame's registers, so the hook needs no frame of its own.
inline VMValue *ApiBase(const CallFrame *ci) { return ci->cl != nullptr ? ci->top : ci->base; }
inline VMValue *ApiLimit(const VMState *vm, const CallFrame *ci) {
    if (ci->cl == nullptr) return ci->top;
    return vm->stackEnd - ci->top > kMaxFrameSlots ? ci->top + kMaxFrameSlots : vm->stackEnd;
}

// ---- Shared internals (each defined in the file named) ---------------------------------------------------------
// gc.cpp
void *VMAlloc(VMState *vm, size_t size);
void VMFree(VMState *vm, void *p, size_t size);
void *VMRealloc(VMState *vm, void *p, size_t oldSize, size_t newSize);
void LinkObject(VMState *vm, GCObject *o, GCType type);
void FullCollect(VMState *vm);
void FreeAllObjects(VMState *vm);
inline void GCCheck(VMState *vm) {
    if (VL_UNLIKELY(vm->gcBytes >= vm->gcThreshold || (vm->gcStress && vm->gcAllocatedSinceCollect)))
        FullCollect(vm);
}
struct GCPause { // no collection while C++ holds unrooted objects
    VMState *vm;
    explicit GCPause(VMState *v) : vm(v) { vm->gcPaused++; }
    ~GCPause() { vm->gcPaused--; }
};

// string.cpp
VMString *NewString(VMState *vm, const char *bytes, size_t length);
// A long string (length > kMaxInternedLength) whose bytes the caller fills before anything can collect.
VMString *NewLongString(VMState *vm, size_t length);
void FreeLongString(VMState *vm, VMString *s);
// The concatenation of count strings (and numbers, formatted) whose lengths add up to total >
// kMaxInternedLength: appended in place when the first one ends its shared buffer and there is room.
VMString *JoinLongString(VMState *vm, const VMValue *parts, int count, size_t total);
// Makes s zero-terminated for good (see VMString::data).
void TerminateString(VMState *vm, VMString *s);
inline VMString *NewString(VMState *vm, const char *text) { return NewString(vm, text, std::strlen(text)); }
void InitStrings(VMState *vm);
void FreeAllStrings(VMState *vm);
void SweepStrings(VMState *vm);
void TrimStringCache(VMState *vm);

// table.cpp
Table *NewTableObject(VMState *vm, uint32_t arrayHint, uint32_t hashHint);
void FreeTable(VMState *vm, Table *t);
const VMValue *TableGet(const Table *t, const VMValue *key);
const VMValue *TableGetInt(const Table *t, int64_t key);
inline int64_t TableFindStringNode(const Table *t, VMString *s) {
    uint32_t hint = s->hintNode;
    if (hint < t->nodeCount) {
        const TableNode &n = t->nodes[hint];
        if (n.key.gc == s && NodeKeyTag(n) == TSTRING) return hint;
    }
    if (t->indexCap == 0) return -1;
    uint32_t mask = t->indexCap - 1;
    uint32_t hash = TableHashOf(StringHash(s));
    for (uint32_t slot = hash & mask;; slot = (slot + 1) & mask) {
        uint32_t e = t->index[slot];
        if (e == 0) return -1;
        int64_t node = IndexMatch(e, hash, mask);
        if (node >= 0) {
            const TableNode &n = t->nodes[node];
            if (NodeKeyTag(n) == TSTRING && SameString(static_cast<const VMString *>(n.key.gc), s)) {
                s->hintNode = uint32_t(node);
                return node;
            }
        }
    }
}
inline const VMValue *TableGetStr(const Table *t, VMString *key) {
    int64_t n = TableFindStringNode(t, key);
    return n < 0 ? &kNilValue : &t->nodes[n].value;
}
// Stores t[key] = value without metamethods; raises kErrBadTableKey for a Nil or NaN key.
void TableSet(VMState *vm, Table *t, const VMValue *key, const VMValue *value);
void TableSetInt(VMState *vm, Table *t, int64_t key, const VMValue *value);
void TableSetStr(VMState *vm, Table *t, VMString *key, const VMValue *value);
// Steps from key (Nil: the start) to the next pair; false at the end. Raises kErrBadNextKey for a foreign key.
bool TableNext(VMState *vm, const Table *t, const VMValue *key, VMValue *nextKey, VMValue *nextValue);
size_t TableListLength(const Table *t);

// value.cpp
// Inline: every conditional jump tests it.
inline bool IsFalse(const VMValue *v) {
    switch (v->tt) {
    case TNIL: return true;
    case TBOOLEAN: return v->u.b == 0;
    case TNUMBER: return v->u.n == 0;
    case TSTRING: return AsString(v)->length == 0;
    default: return false;
    }
}
bool RawEqualValues(const VMValue *a, const VMValue *b);
bool ToNumberValue(const VMValue *v, double *out); // numbers and numeric strings
VMString *NumberToString(VMState *vm, double n);

// call.cpp: calls, metamethods, errors.
const VMValue *GetTM(VMState *vm, const VMValue *o, TMEvent event);
// Replaces a non-function at func by its __call metamethod (following callable tables), shifting the arguments
// up by one each step; raises kErrCallNonFunction when there is none. The one resolution for every call path.
void ResolveCallable(VMState *vm, VMValue *func);
const VMValue *FastTM(VMState *vm, Table *mt, TMEvent event);
Table *GetMetatableOf(const VMValue *v);
void CallValue(VMState *vm, VMValue *func, int nresults); // C++ entry: results at func.., top after them
// The rare ends of a native call (CallNative), out of line. NativeRaised runs in the call's handler of a VMError
// and rethrows it, or returns 0 when the error policy swallows it; NativeOutOfMemory likewise for bad_alloc.
// NativeOddResult takes a result below 0 or from kFirstErrorCode up: raises, or gives 0 for a swallowed error
// (arguments dropped) or the GOSUB request.
[[gnu::cold]] int NativeRaised(VMState *vm, CallFrame *f, int code);
[[gnu::cold]] int NativeOutOfMemory(VMState *vm, CallFrame *f);
[[gnu::cold]] int NativeOddResult(VMState *vm, CallFrame *f, int r, bool allowGosub);
// Calls a native function at func with the arguments up to top. Returns the number of results, moved to func;
// or -1/-2 when the command asked for a GOSUB and allowGosub is set. The inline form is for the interpreter's
// CALL: that commonest command call sets up no C++ call of its own around the command's.
// caller is vm->ci, which the interpreter has at hand.
inline int CallNativeInline(VMState *vm, CallFrame *caller, VMValue *func, bool allowGosub) {
    NativeFunction *nf = static_cast<NativeFunction *>(func->u.gc);
    CallFrame *f = caller + 1;
    if (VL_UNLIKELY(f >= vm->framesEnd)) RaiseError(vm, kErrStackOverflow);
    // Only what a native frame is read for: the API's stack (base, top, cl), CallPcIndex, the unwinding.
    f->func = func;
    f->base = func + 1;
    f->top = vm->stackEnd - f->base > kMaxFrameSlots ? f->base + kMaxFrameSlots : vm->stackEnd;
    f->cl = nullptr;
    f->callPc = vm->callPcIndex;
    f->isNative = 1;
    if (f->top > vm->highWater) vm->highWater = f->top;
    vm->ci = f;
    if (VL_UNLIKELY(vm->callHook != nullptr)) vm->callHook(vm, StringData(nf->name));
    vm->pendingError = 0;
    int r;
    try {
        r = nf->fn(vm);
    } catch (VMError &e) {
        r = NativeRaised(vm, f, e.code);
    } catch (std::bad_alloc &) {
        r = NativeOutOfMemory(vm, f);
    }
    if (VL_UNLIKELY(unsigned(r) >= unsigned(kFirstErrorCode))) {
        r = NativeOddResult(vm, f, r, allowGosub);
        if (r < 0) {
            vm->ci = caller;
            vm->top = f->base;
            return r;
        }
    }
    // The arguments' start is func + 1, known here without reading the frame back after the call.
    VMValue *top = vm->top;
    if (VL_UNLIKELY(r > top - (func + 1))) RaiseError(vm, kErrBadCommandResult);
    if (VL_LIKELY(r == 1)) {
        func[0] = top[-1];
    } else {
        VMValue *src = top - r;
        for (int i = 0; i < r; i++) func[i] = src[i];
    }
    vm->ci = caller;
    vm->top = func + r;
    return r;
}
int CallNative(VMState *vm, VMValue *func, bool allowGosub);
// Pushes a script frame for the closure at func (arguments up to top).
CallFrame *PrecallScript(VMState *vm, VMValue *func, int nresults);
void Execute(VMState *vm); // runs from the fresh frame at vm->ci until it returns
void CloseUpvalues(VMState *vm, VMValue *level);
UpVal *FindUpvalue(VMState *vm, VMValue *slot);
void GetIndexed(VMState *vm, const VMValue *obj, const VMValue *key, VMValue *out);
void SetIndexed(VMState *vm, const VMValue *obj, const VMValue *key, const VMValue *value);
void Arith(VMState *vm, VMValue *out, const VMValue *a, const VMValue *b, TMEvent event);
bool LessThanValues(VMState *vm, const VMValue *a, const VMValue *b);
bool StringLess(const VMString *a, const VMString *b); // byte order, a prefix first
bool LessEqualValues(VMState *vm, const VMValue *a, const VMValue *b);
bool EqualValues(VMState *vm, const VMValue *a, const VMValue *b);
void ConcatRange(VMState *vm, VMValue *first, int count); // result in *first
double LengthOf(VMState *vm, const VMValue *v, VMValue *out);
void RecordErrorLocation(VMState *vm);
// kErrInternalLimit for a GOSUB beyond kMaxPendingGosubs pending returns.
[[noreturn]] void RaiseGosubLimit(VMState *vm);
// Raises code with a description of the failed operation (GetErrorDescription).
[[noreturn]] void RaiseErrorDescribed(VMState *vm, int code, std::string description);
// A command called script code that failed: adds "called from <command> at <file>:<line>" for the script frame
// below the command's frame f.
void AddDispatchTrace(VMState *vm, CallFrame *f);
// Runs a hook with its own empty native frame above the running code.
void RunLineHook(VMState *vm);
// Handles a command's GOSUB request from the interpreter's CALL: returns the instruction index to continue at.
int GosubFromCommand(VMState *vm, CallFrame *ci, int callPc, int mode, int a, int nargs, int c);
int ReturnFromSub(VMState *vm, CallFrame *ci); // RETSUB: the instruction index to continue at
void DropGosubs(VMState *vm, int frameIndex);  // pending returns of frames >= frameIndex

// debug_names.cpp: descriptions of failed operations, naming their operands from the chunk's debug names.
// Each reads the running frame (vm->ci), whose savedpc stands after the failing instruction.
std::string DescribeCall(VMState *vm, const VMValue *callee);
std::string DescribeIndex(VMState *vm, const VMValue *object);
std::string DescribeArith(VMState *vm, const VMValue *a, const VMValue *b, TMEvent event);
std::string DescribeCompare(VMState *vm, const VMValue *a, const VMValue *b);
std::string DescribeConcat(VMState *vm, const VMValue *bad);
std::string DescribeLength(VMState *vm, const VMValue *v);
std::string DescribeForValue(VMState *vm, const VMValue *v, const char *role);

// loader.cpp
Proto *BuildProto(VMState *vm, const FunctionProto &fp);
ScriptClosure *NewScriptClosure(VMState *vm, Proto *p);
void FreeProto(VMState *vm, Proto *p);

// The script VM's embedding interface: the only header that command libraries and the runtime include to talk to
// the VM. Every function takes the one VMState. Stack indices run 1..n from the bottom of the running command's
// frame and -1.. from the top; kRegistryIndex and kGlobalsIndex name the registry and the globals table.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

struct VMState; // opaque

enum TypeTag : int32_t {
    TNIL = 0,
    TBOOLEAN = 1,
    TLIGHTHANDLE = 2,
    TNUMBER = 3,
    TSTRING = 4,
    TTABLE = 5,
    TFUNCTION = 6,
    TUSERDATA = 7,
    TTHREAD = 8,
};
constexpr int TNONE = -1;

constexpr int kRegistryIndex = -10000;
constexpr int kGlobalsIndex = -10001;

// Limits; each one exceeded raises kErrStackOverflow.
constexpr int kMaxFrameSlots = 2048;       // CheckStack refuses beyond this per running function
constexpr int kMaxStackSlots = 1000000;    // the whole VM stack
constexpr int kMaxNativeReentry = 200;     // native -> script -> native nesting (callbacks in callbacks)
constexpr int kMaxPendingGosubs = 4096;

// The error codes the VM itself raises (the texts live in the runtime's one error table).
constexpr int kFirstErrorCode = 1000; // a command result from here up is an error code
constexpr int kErrOutOfMemory = 1000;
constexpr int kErrUserAbort = 1003;
constexpr int kErrWrongType = 1019;
constexpr int kErrReturnWithoutGosub = 1040;
constexpr int kErrInternalLimit = 1066;
constexpr int kErrDivisionByZero = 1089;
constexpr int kErrStackOverflow = 1135;
constexpr int kErrNotUserFunction = 1324;
// The VM's own codes (messages in docs/errors.md).
constexpr int kErrGosubOutsideMain = 1500;   // a label jump requested while a function other than the main chunk runs
constexpr int kErrGosubTarget = 1501;        // a label jump to an instruction that is not a label of the main chunk
constexpr int kErrBadCommandResult = 1502;   // a command returned more results than it pushed, or a bad count
constexpr int kErrBadStackIndex = 1503;      // an API call with an index outside the running command's stack
constexpr int kErrCallNonFunction = 1504;    // calling a value that is not a function
constexpr int kErrIndexNonTable = 1505;      // indexing a value that is not a table
constexpr int kErrChunkSignature = 1506;     // not a bytecode chunk
constexpr int kErrChunkByteOrder = 1507;     // another endianness byte
constexpr int kErrChunkSizes = 1508;         // other size bytes
constexpr int kErrChunkNumberFormat = 1509;  // another test number
constexpr int kErrChunkVersion = 1510;       // another format version
constexpr int kErrChunkTruncated = 1511;     // the chunk ends early
constexpr int kErrBadChunk = 1512;           // the chunk fails verification
constexpr int kErrUnknownConstant = 1513;    // an unknown #NAME constant in a chunk
constexpr int kErrBadNextKey = 1514;         // NextPair with a key that is not in the table
constexpr int kErrBadTableKey = 1515;        // a table key that is Nil or NaN
constexpr int kErrMetaLoop = 1516;           // an __index/__newindex chain too long (a loop)

// A script object's identifier: a number, or (number 0) the record's own address as a light handle.
struct ObjectId {
    int32_t number = 0;
    void *handle = nullptr;
    friend bool operator==(const ObjectId &, const ObjectId &) = default;
};

// A command handler: returns the number of results pushed (0..999), -1/-2 for a GOSUB request, or an error
// code (>= 1000) that the VM raises or records as the error policy says.
using NativeFn = int (*)(VMState *);

// The one C++ exception type of script errors. Only RaiseError throws it; ProtectedCall and the native-call
// boundary catch it.
struct VMError {
    int code;
};

// ---- State ---------------------------------------------------------------------------------------------------
VMState *NewVMState();
void CloseVMState(VMState *vm);

// ---- Errors --------------------------------------------------------------------------------------------------
// Records the current script line and file, then throws VMError. Never returns.
[[noreturn]] void RaiseError(VMState *vm, int code);
// RaiseError with a text that belongs to this error (GetErrorDetail): which limit was hit, what was refused.
[[noreturn]] void RaiseErrorDetail(VMState *vm, int code, const std::string &detail);
// Where the last raised error happened: the chunk's file name (never null) and line (0 when unknown).
const char *GetErrorFile(VMState *vm);
int GetErrorLine(VMState *vm);
// A text that belongs to the last raised error (an unknown constant's name, a refused chunk's reason), or "".
// The runtime may use it to fill "%s" of the message.
const char *GetErrorDetail(VMState *vm);
// For an error of the script's own code: the failed operation and its operands named as the chunk names them,
// as sentences ("Attempt to call a Nil value (global 'foo')!"), or "" when there is nothing to add.
const char *GetErrorDescription(VMState *vm);
// When the failing code was called back by a command: one line per command on the way out, innermost first
// ("called from WaitEvent at demo.vls:7"), separated by newlines; else "".
const char *GetErrorTrace(VMState *vm);

// ---- Stack ---------------------------------------------------------------------------------------------------
int GetTop(VMState *vm);
void SetTop(VMState *vm, int index); // a negative index pops
int CheckStack(VMState *vm, int n);  // 1 when n more slots fit in the frame (at most kMaxFrameSlots), else 0
void PushValue(VMState *vm, int index);
void InsertValue(VMState *vm, int index); // moves the top value to index
void RemoveValue(VMState *vm, int index);

void PushNil(VMState *vm);
void PushNumber(VMState *vm, double n);
void PushBoolean(VMState *vm, int b);
void PushString(VMState *vm, const char *text); // null pushes Nil
void PushStringLen(VMState *vm, const char *bytes, size_t length);
void PushHandle(VMState *vm, void *handle); // a light handle
// A native function value; the name is what the call trace prints.
void PushNativeFunction(VMState *vm, NativeFn fn, const char *name);
void NewTable(VMState *vm);
void *NewUserdata(VMState *vm, size_t size); // pushes a userdata of size bytes, zero-filled
void ConcatValues(VMState *vm, int n);      // joins the n top values (strings and numbers); n = 0 pushes ""

// ---- Types and conversions -----------------------------------------------------------------------------------
int ValueType(VMState *vm, int index); // TypeTag, or TNONE
// ValueType, and for a number its value in *number as well: the argument readers' common case in one call.
int ValueTypeAndNumber(VMState *vm, int index, double *number);
int IsNumber(VMState *vm, int index);  // numbers and numeric strings
double VMToNumber(VMState *vm, int index);
// The string's bytes (always zero-terminated, zeros allowed inside); a number is converted in place. Null for
// other types. The pointer lives as long as the value stays on the stack.
const char *VMToString(VMState *vm, int index, size_t *length = nullptr);
int ToBoolean(VMState *vm, int index); // Nil, false, 0 and "" are false
const void *ToPointer(VMState *vm, int index);
void *ToHandle(VMState *vm, int index); // a light handle's pointer, else null

// Truncates toward zero; out of range saturates; NaN gives INT32_MIN. Every integer read goes through it.
inline int32_t SaturateToInt32(double n) {
    if (std::isnan(n)) return INT32_MIN;
    if (n >= 2147483647.0) return INT32_MAX;
    if (n <= -2147483648.0) return INT32_MIN;
    return int32_t(n); // in range: truncates toward zero
}
// The VM's number-to-text rule ("%.14g"); returns the length written (buffer of at least 32 bytes).
int FormatNumber(double n, char *buffer, size_t size);
// Parses a whole numeric string (leading/trailing spaces allowed, decimal or 0x hex); 1 on success.
int ParseNumber(const char *text, size_t length, double *out);

// ---- Comparison ----------------------------------------------------------------------------------------------
int LessThan(VMState *vm, int a, int b); // with __lt; number vs string raises kErrWrongType
int VMRawEqual(VMState *vm, int a, int b);

// ---- Tables --------------------------------------------------------------------------------------------------
void GetTable(VMState *vm, int table);       // replaces the key on top with table[key] (with __index)
void SetTable(VMState *vm, int table);       // table[key] = value; pops key (below) and value (top); __newindex
void VMRawGet(VMState *vm, int table);       // replaces the key on top with table[key], no metamethods
void VMRawSet(VMState *vm, int table);       // pops key and value, no metamethods
void RawGetIndex(VMState *vm, int table, int64_t n);
void RawSetIndex(VMState *vm, int table, int64_t n); // pops the value
void GetField(VMState *vm, int table, const char *key);   // pushes table[key] (with __index)
void RawGetField(VMState *vm, int table, const char *key); // pushes table[key], no metamethods
void SetField(VMState *vm, int table, const char *key);   // table[key] = top value, popped (with __newindex)
// Pops a key, pushes the next key and value; returns 0 at the end (nothing pushed). Start with Nil.
// Order: array part 0..n-1, then hash keys in insertion order.
int NextPair(VMState *vm, int table);
size_t TableListLength(VMState *vm, int table); // the run of entries from key 0 to the first Nil
// Sorts t[0..n-1] of the table at index in place by `<` when no script code can take part: every item a number
// (none NaN) or every item a string, all in the array part. Returns 1 when sorted, 0 when the list needs the
// general sort (nothing was moved then).
int SortPlainList(VMState *vm, int table, int64_t n);
// Setters on the table on top of the stack.
void SetTableNumber(VMState *vm, const char *key, int32_t value);
void SetTableDouble(VMState *vm, const char *key, double value);
void SetTableString(VMState *vm, const char *key, const char *text); // null stores Nil
void SetTableObjectId(VMState *vm, const char *key, ObjectId id);

// ---- Metatables ----------------------------------------------------------------------------------------------
int VMGetMetatable(VMState *vm, int index); // pushes it and returns 1, or returns 0
int VMSetMetatable(VMState *vm, int index); // pops a table or Nil
int GetMetaField(VMState *vm, int index, const char *name);   // pushes the field and returns 1 when present
int CallMetaMethod(VMState *vm, int index, const char *name); // calls mt[name](value), leaves one result

// ---- Globals, registry, references ---------------------------------------------------------------------------
void GetGlobal(VMState *vm, const char *name); // pushes globals[name]
void SetGlobal(VMState *vm, const char *name); // globals[name] = top value, popped
int MakeRef(VMState *vm, int registry);        // pops the value; -1 for Nil
void FreeRef(VMState *vm, int registry, int ref);
void PushRef(VMState *vm, int registry, int ref); // pushes the referenced value (Nil for -1)
void *GetRegistryHandle(VMState *vm, const char *key);
void SetRegistryHandle(VMState *vm, const char *key, void *handle);

// ---- Calls ---------------------------------------------------------------------------------------------------
// Calls the function below nargs arguments; nresults -1 keeps all results. Errors propagate.
void CallFunction(VMState *vm, int nargs, int nresults);
// The same, protected: returns 0, or the error code with the stack restored to below the function.
int ProtectedCall(VMState *vm, int nargs, int nresults, int errfunc);

// ---- Garbage collector ---------------------------------------------------------------------------------------
int GetGCCount(VMState *vm);     // kilobytes in use
int GetGCThreshold(VMState *vm); // kilobytes
void SetGCThreshold(VMState *vm, int kilobytes); // collects at once when already above it
void CollectGarbage(VMState *vm);
void SetGCStress(VMState *vm, int on); // collect at every allocation (tests)

// ---- Bytecode ------------------------------------------------------------------------------------------------
// A non-zero writer result stops the dump and DumpStackFunction returns it.
using ChunkWriter = int (*)(VMState *vm, const void *bytes, size_t size, void *data);
int DumpStackFunction(VMState *vm, int index, ChunkWriter writer, void *data);
// The reader returns the next piece (null or size 0 at the end).
using ChunkReader = const char *(*)(VMState *vm, void *data, size_t *size);
int LoadChunk(VMState *vm, ChunkReader reader, void *data, const char *chunkName);
int LoadChunkBuffer(VMState *vm, const void *bytes, size_t size, const char *chunkName);

// ---- Interpreter hooks ---------------------------------------------------------------------------------------
// Runs when an instruction starts a new source line or jumps backward.
using LineHook = void (*)(VMState *vm);
void SetLineHook(VMState *vm, LineHook hook);
// With gates set, the hook is called only while *first or *second is non-zero (relaxed loads, no call
// otherwise), so a hook that acts on flags raised elsewhere costs no call per line. Null first: no gates.
void SetLineHookGates(VMState *vm, const std::atomic<int> *first, const std::atomic<int> *second);
// Before every native call while set (the call trace); name is the command's name.
using CallHook = void (*)(VMState *vm, const char *name);
void SetCallHook(VMState *vm, CallHook hook);
// Told at the native-call boundary of each error a command raised or returned itself, not of one of script code
// it called back and passes on; before the error policy decides.
using CommandErrorHook = void (*)(VMState *vm, const char *command, int code);
void SetCommandErrorHook(VMState *vm, CommandErrorHook hook);
// The name of the command whose handler runs now (the innermost frame is its), or null.
const char *RunningCommandName(VMState *vm);
// When the running command's arguments end with every result of a call written last among them (f(a, g(x)))
// or with the extra arguments ("..."): how many values that last part gave, and in *source the function called
// as the script names it ("g"), "..." for the extra arguments, or "" when unknown. 0 when every argument was
// written out. Reads the caller's code, for error reports only, while the stack holds the arguments alone.
int SpreadArgumentCount(VMState *vm, std::string *source);
// Decides at the native-call boundary what a command's error does: return non-zero to raise it, 0 to swallow it
// (the call then yields no results). Null hook: always raise.
using ErrorPolicyHook = int (*)(VMState *vm, int code);
void SetErrorPolicyHook(VMState *vm, ErrorPolicyHook hook);
// Resolves a "#NAME" constant at load time: pushes the value and returns 0, or returns an error code.
using ConstantResolver = int (*)(VMState *vm, const char *lowerName);
void SetConstantResolver(VMState *vm, ConstantResolver resolver);
// Runs first in CloseVMState, while the VM is whole: what the runtime keeps for a VM ends with it.
using CloseHook = void (*)(VMState *vm);
void SetCloseHook(VMState *vm, CloseHook hook);

// The instruction index of the command call that runs now (stored before every native call).
int CallPcIndex(VMState *vm);
// Written by the event dispatch before a command returns -1/-2: the jump's distance from CallPcIndex.
void SetGosubJumpDelta(VMState *vm, int delta);
// The instruction index of a label of the main chunk (case-insensitive), or -1.
int FindLabel(VMState *vm, const char *name);

// Command-library support: registration, the constants registry and the argument readers every command handler
// uses. Readers raise their documented error (RaiseError) and do not return on failure; the native-call boundary
// then applies the error policy (errors.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/app/errors.h"
#include "runtime/vm/vm.h"

// One row of a command table; a table ends with a row whose name is null.
struct CommandEntry {
    const char *name;
    NativeFn handler;
};

// One row of a constants table {name, string value or null, number}; ends with a null name.
struct ConstantEntry {
    const char *name;
    const char *string;
    double number;
};

// Every command library exports one of these (kSystemLibrary, kStringLibrary, ...); the player lists them in its
// fixed library order and calls registerLibrary at start-up and freeAll at shutdown.
struct LibraryDescriptor {
    const char *name;
    void (*registerLibrary)(VMState *vm);
    void (*freeAll)(VMState *vm);
};

struct CommandDoc;
struct LibraryReference;

// A library recorded by RegisterCommandLibrary.
struct CommandLibraryRecord {
    std::string name;
    const CommandEntry *commands;
    const LibraryReference *reference; // the rows beside the table, or null
};

// ---- Setting up a VM -----------------------------------------------------------------------------------------
// Installs the runtime's hooks on a fresh VM: the error policy, the "#NAME" constant resolver and the call trace.
// Call once per VM before registering libraries.
void InitRuntimeSupport(VMState *vm);
// Turns the call trace on or off: while on, every command call first prints "Now calling <name>()" to the debug
// output.
void SetCallTrace(VMState *vm, int on);

// A change drawn later in one batch (sprites moved by a run of DisplaySprite calls): flush runs once, before the
// next command whose reference row says it observes or changes the display and that keep (the batch's own
// commands; it gets the registered name) does not let pass, or at FlushCommandBarrier (a script callback
// returning to its caller, the line-hook pump once the batch is a frame old), whichever comes first. Setting
// another barrier flushes a pending one first. Closing the VM drops its barrier.
void SetCommandBarrier(VMState *vm, void (*flush)(), bool (*keep)(const char *command));
void FlushCommandBarrier();
// Forgets the VM's pending barrier without running it (the VM or what the barrier draws is going).
void DropCommandBarrier(VMState *vm);
// The pending barrier's number, new for each barrier set while none waits; 0 when none waits.
uint64_t PendingCommandBarrier();

// The test build records the option keys each command reads and the error codes it raises (command_record.cpp);
// readers of option tables that do not go through GetTableOption* note their keys here. Free elsewhere.
// A command that reads a table it made itself holds an OwnOptionTable meanwhile: those keys are not its options.
#ifdef VL_RECORD_COMMANDS
void StartCommandRecord(VMState *vm);
void NoteOptionKey(VMState *vm, const char *key);
extern thread_local int OwnOptionTables;
struct OwnOptionTable {
    OwnOptionTable() { OwnOptionTables++; }
    ~OwnOptionTable() { OwnOptionTables--; }
    OwnOptionTable(const OwnOptionTable &) = delete;
    OwnOptionTable &operator=(const OwnOptionTable &) = delete;
};
#else
inline void StartCommandRecord(VMState *) {}
inline void NoteOptionKey(VMState *, const char *) {}
struct [[maybe_unused]] OwnOptionTable {};
#endif

// ---- Registration --------------------------------------------------------------------------------------------
// Registers every row as a global function under its lower-cased name.
void RegisterCommands(VMState *vm, const CommandEntry *table);
// Records the library in the list used to call commands by name and to dump the command list. Registering a
// name again replaces the earlier record. The reference rows (command_reference.h) tell the command barrier which
// commands leave the display alone.
void RegisterCommandLibrary(const CommandEntry *table, const char *libraryName,
                            const LibraryReference *reference = nullptr);
// The name of the library that registered a command under exactly this name, or null.
const char *CommandLibraryOf(const char *command);
// The reference row of a command registered under exactly this name, or null.
const CommandDoc *FindCommandDoc(const char *command);
// The handler of a registered library's command (case-insensitive), or null.
NativeFn FindCommand(const char *name);
// Registers constants under lower-cased names; a later row with the same name replaces the earlier value.
void RegisterConstants(VMState *vm, const ConstantEntry *table);
// Looks up a constant by name, without "#" (case-insensitive). Null when not registered.
const ConstantEntry *FindConstant(const char *name);
// Forgets every registered constant and library (tests, shutdown).
void ClearCommandRegistry();

// ---- Argument count ------------------------------------------------------------------------------------------
// Fewer than minimum raises kErrNotEnoughArguments; more than a positive maximum raises kErrTooManyArguments; maximum
// 0 with minimum > 0 means no upper limit; 0/0 allows no argument.
// CheckArgs' rule for a count already read; CheckArgs inlines the in-range case, which needs no call.
VMState *CheckArgCount(VMState *vm, int count, int minimum, int maximum);
// Set by the reference check: CheckArgs hands its counts to the probe and raises kErrWrongUsage instead of
// checking, so the handler's body never runs.
extern void (*ArgumentCountProbe)(int minimum, int maximum);
inline VMState *CheckArgs(VMState *vm, int minimum, int maximum) {
    ForgetErrorHint();
    int count = GetTop(vm);
    if (count >= minimum && count <= maximum && !ArgumentCountProbe) [[likely]]
        return vm;
    return CheckArgCount(vm, count, minimum, maximum);
}

// ---- Argument readers (n is the 1-based argument index) ------------------------------------------------------
// A number (numeric strings converted; Nil counts as 0); absent or another type raises kErrNumberExpected.
double CheckNumberArg(VMState *vm, int n);
// The default when the argument is absent; else it must be a number or numeric string (an explicit Nil raises
// kErrNumberExpected, as does any other type).
double OptNumberArg(VMState *vm, int n, double fallback);
// CheckNumberArg / OptNumberArg through SaturateToInt32 (the fallback only when the argument is absent); NaN
// raises kErrWrongUsage.
int32_t CheckInt32Arg(VMState *vm, int n);
int32_t OptInt32Arg(VMState *vm, int n, int32_t fallback);
// Positions and sizes a script gives are kept within +-10^9: a position plus a size, or the join of two
// rectangles, then stays inside 32 bits whatever the script asks for. The position constants (#CENTER ...) lie
// well inside. Every reader of a coordinate, a width or a height goes through this rule.
constexpr int32_t kMaxCoordinate = 1000000000;
constexpr int32_t ClampCoordinate(int64_t v) {
    return int32_t(v < -kMaxCoordinate ? -kMaxCoordinate : v > kMaxCoordinate ? kMaxCoordinate : v);
}
inline int32_t CheckCoordinateArg(VMState *vm, int n) { return ClampCoordinate(CheckInt32Arg(vm, n)); }
inline int32_t OptCoordinateArg(VMState *vm, int n, int32_t fallback) {
    return ClampCoordinate(OptInt32Arg(vm, n, fallback));
}
// Frame numbers, counts and speeds are bounded alike, so that "frame - 1" or a count plus one cannot overflow.
inline int32_t CheckCountArg(VMState *vm, int n) { return ClampCoordinate(CheckInt32Arg(vm, n)); }
inline int32_t OptCountArg(VMState *vm, int n, int32_t fallback) { return ClampCoordinate(OptInt32Arg(vm, n, fallback)); }
// Colours: 0..4294967295 as themselves (truncated), negatives as 32-bit two's complement, larger ones saturate
// to 0xFFFFFFFF. A non-number raises kErrNumberExpected.
uint32_t CheckUnsignedArg(VMState *vm, int n);
uint32_t OptUnsignedArg(VMState *vm, int n, uint32_t fallback);
// The unsigned conversion rule on its own.
uint32_t NumberToUnsigned(double value);
// The string's bytes (zero-terminated; numbers converted); raises kErrStringExpected. Zero bytes inside are allowed
// only when the caller takes the length: without it, a string holding one raises kErrWrongUsage rather than be read
// cut short.
const char *CheckStringArg(VMState *vm, int n, size_t *length = nullptr);
// The string, or the fallback (may be null) when the argument is absent. Like every Opt reader, an explicit Nil
// is not "absent" and raises the type's error (kErrStringExpected here).
const char *OptStringArg(VMState *vm, int n, const char *fallback, size_t *length = nullptr);
void CheckTableArg(VMState *vm, int n);    // raises kErrTableExpected
void CheckFunctionArg(VMState *vm, int n); // raises kErrFunctionExpected
// A wrong type that a handler's own test found rather than a reader: sets n as the error argument and notes for
// the report, as the readers' errors say, what the running command was given and its form. value is the stack
// index of the refused value, or 0 when it is no longer at hand; key the field of argument n it was read from,
// null for argument n itself. Returns code.
int ArgumentTypeError(VMState *vm, int code, int n, int value, const char *key = nullptr);
// A number as is; "N%" as base * N / 100 (base 0: N / 100 with *isPercent set); a string without "%" as its
// number. A negative percentage, one above 100 unless allowed, or an unreadable string raises kErrInvalidPercent;
// other types raise kErrStringOrNumberExpected.
double ReadNumberOrPercent(VMState *vm, int n, double base, int allowOver100, int *isPercent = nullptr);

// A light handle gives {0, handle}; anything else is read with CheckNumberArg and truncated: {number, 0}.
void ReadObjectId(ObjectId *out, VMState *vm, int n);
ObjectId IdArg(VMState *vm, int n); // the same, returned
// The handle value that asks a create command for an automatic object.
inline void *const kAutoHandleRequest = reinterpret_cast<void *>(1);
inline bool IsAutoHandleRequest(const ObjectId &id) { return id.handle == kAutoHandleRequest; }
// A create command's result: the new object's handle when the script asked for an automatic id, else nothing.
inline int PushAutoHandle(VMState *vm, const ObjectId &id, void *handle) {
    if (!IsAutoHandleRequest(id)) return 0;
    PushHandle(vm, handle);
    return 1;
}
// The id argument of a create command: a number gives {number, 0}; Nil or an absent argument gives
// {0, kAutoHandleRequest}, which the creator replaces with its new record's address.
void OptIntegerArg(ObjectId *out, VMState *vm, int n);

// x and y are 99999 unless argument n is the last one and a table; then its "x" and "y" fields are read.
constexpr int32_t kNoPosition = 99999;
void ReadXYOptions(VMState *vm, int n, int32_t *x, int32_t *y);

// The string argument as a file name: a file linked into the applet under that name becomes its ":::chunk"
// name (fonts when fontFlag is set), with *linked = 1; otherwise the name unchanged and *linked = 0.
std::string CheckFileNameArg(VMState *vm, int n, int fontFlag, int *linked = nullptr);
// The same lookup for a name already in hand.
std::string FindLinkedFile(VMState *vm, const char *name, int fontFlag, int *linked = nullptr);

// The value at a stack index as a table field's number (Nil counts as 0, numeric strings converted); other
// types raise kErrNumberFieldExpected naming the field.
double CheckNumberField(VMState *vm, int index, const char *field);
// The value at a stack index as a string; other types raise kErrStringFieldExpected naming the field.
const char *CheckStringField(VMState *vm, int index, const char *field, size_t *length = nullptr);

// A callback's result: a string or number as text, else null with *error = kErrCallbackStringExpected.
const char *ToStringResult(VMState *vm, int index, size_t *length, int *error);
// Every argument as the script's "tostring" renders it, joined with single blanks (DebugPrint, Print).
std::string JoinArgumentsAsText(VMState *vm);
// A callback's result as a number; 0 with *error = kErrCallbackNumberExpected when it is not a number.
double ToNumberResult(VMState *vm, int index, int *error);

// ---- Option tables -------------------------------------------------------------------------------------------
// Each reads one key of the table at stack index `table`. Present (not Nil): stores the value, sets *given to 1
// (given may be null) and returns 1. Absent: leaves the destination alone and returns 0. A present value of the
// wrong type raises kErrNumberFieldExpected (numbers) or kErrStringFieldExpected (strings) naming the key.
int GetTableOption(VMState *vm, int table, const char *key, int32_t *out, int *given = nullptr);
int GetTableOptionUnsigned(VMState *vm, int table, const char *key, uint32_t *out, int *given = nullptr);
int GetTableOptionNumber(VMState *vm, int table, const char *key, double *out, int *given = nullptr);
// Copies at most size - 1 bytes and always terminates (size 0 copies nothing).
int GetTableOptionString(VMState *vm, int table, const char *key, char *buffer, size_t size,
                         int *given = nullptr);
// The whole string.
int GetTableOptionString(VMState *vm, int table, const char *key, std::string *out, int *given = nullptr);
// The field as a file name, mapped to a linked file as CheckFileNameArg does.
int GetTableOptionFileName(VMState *vm, int table, const char *key, std::string *out, int fontFlag,
                           int *given = nullptr);
// A light handle as {0, handle}, a number as {number, 0}.
int GetTableOptionObjectId(VMState *vm, int table, const char *key, ObjectId *out, int *given = nullptr);
// A number, or "N%" of base (base 0: N / 100 and *isPercent = 1); a bad form raises kErrInvalidPercent.
int GetTableOptionPercent(VMState *vm, int table, const char *key, double base, double *out,
                          int *isPercent = nullptr, int *given = nullptr);
// A number, or a layer name turned into its 1-based position through the layer-position hook (hooks.h).
int GetTableOptionLayerPos(VMState *vm, int table, const char *key, int32_t *out, int *given = nullptr);
// A table of four numbers at indices 0..3: a non-table raises kErrTableExpected, a missing element
// kErrNotEnoughArguments, a non-number kErrNumberFieldExpected.
int GetTableOptionMatrix(VMState *vm, int table, const char *key, double out[4], int *given = nullptr);

// ---- Arguments passed on in a table --------------------------------------------------------------------------
// A command that passes its own arguments on as the fields of a table it made (SetLayerTransparency's level
// becomes a style table's "transparency") says, while that table is read, which argument each field came from:
// an error about such a field then names the caller's argument, as it would had the command read it itself,
// rather than a table the caller never gave. A field that holds several arguments as a list (a matrix) names
// the first; its element i came from argument + i. Scopes nest; each lasts until it is destroyed.
struct ForwardedArguments {
    ForwardedArguments();
    ~ForwardedArguments();
    ForwardedArguments(const ForwardedArguments &) = delete;
    ForwardedArguments &operator=(const ForwardedArguments &) = delete;
    void Add(const char *key, int argument);

    static constexpr int kMaxFields = 4;
    const char *keys[kMaxFields] = {};
    int arguments[kMaxFields] = {};
    int count = 0;
    const ForwardedArguments *outer;
};
// The caller's argument the key's value came from, or 0 when the caller gave the table itself.
int ForwardedArgument(const char *key);

// ---- Parsing -------------------------------------------------------------------------------------------------
// text starts with "#". Looks the name up (it ends at the first character that is not a letter, digit or "_").
// Returns 0 with *lengthRead (including "#"), and either *isString = 1 and *stringValue, or *isString = 0 and
// *value; an unregistered name returns kErrUnknownConstant (the name with "#" as the error argument).
int ParseConstantName(VMState *vm, const char *text, int *lengthRead, int *isString, double *value,
                      const char **stringValue = nullptr);
// Optional "-", then decimal beginning with a digit (fraction and exponent allowed), "$" or "0x" hexadecimal, or
// "%" binary.
// *error: 0, kErrValueExpected when no number starts there, kErrGeneralSyntax when "$"/"0x" has no digits; the value
// is then 0.
double ParseOptionNumber(const char *text, int *charsRead, int *error);

// The code generator's shared state and its emitting layer: expression descriptors, jump lists, registers,
// constants and scopes (code_emit.cpp), used by the syntax-tree walker (codegen.cpp).
//
// Registers: a function's locals occupy R(0..activeLocals-1) in declaration order; temporaries are taken above
// them as a stack (freeRegister) and released in reverse order. Every statement starts and ends with
// freeRegister == activeLocals.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "runtime/vm/proto.h"

namespace codegen {

constexpr int kNoJump = -1;
constexpr int kNoRegister = int(kMaxA); // a TESTSET target still to be chosen
constexpr int kMaxLocals = 200;
constexpr int kMaxUpvalues = 255;
constexpr int kMultipleResults = -1;

struct CodegenFailure {
    int line;
    int column;
    std::string message;
};

enum class ExpKind {
    Void,      // no value (an empty expression list)
    Nil,
    Number,    // number
    Constant,  // info: constant index
    NonReloc,  // info: the register holding the value
    Local,     // info: the local's register
    Upvalue,   // info: upvalue index
    Global,    // info: constant index of the name
    Indexed,   // info: table register; aux: RK of the key
    Relocable, // info: instruction whose A still names no register
    Call,      // info: the CALL instruction
    Vararg,    // info: the VARARG instruction
};

struct ExpDesc {
    ExpKind kind = ExpKind::Void;
    int info = 0;
    int aux = 0;
    double number = 0;
    int trueList = kNoJump;  // jumps taken when the value is true
    int falseList = kNoJump; // jumps taken when the value is false
};

struct BlockScope {
    BlockScope *previous = nullptr;
    int activeLocals = 0;
    bool hasUpvalue = false; // a local of this block is captured by a closure
    bool isLoop = false;
    int breakList = kNoJump;
};

struct ActiveLocal {
    std::string name;
    int debugIndex; // into proto.locals
};

struct ConstantKey {
    int kind;
    uint64_t bits;
    std::string text;
    bool operator<(const ConstantKey &o) const {
        if (kind != o.kind) return kind < o.kind;
        if (bits != o.bits) return bits < o.bits;
        return text < o.text;
    }
};

struct PendingGosub {
    int pc;
    std::string label;
    int line, column;
};

// The globals a script assigns anywhere and the ones it calls, so calls to a name that is neither assigned nor
// a command can be reported once the whole script has been seen.
struct GlobalUse {
    std::string name;
    int line, column;
    bool topLevel = false; // runs when the main program reaches it (outside functions and label bodies)
    std::vector<int> control{}; // the main program's ControlMarks around it, outermost first
};
// A key of a table written out in a call to a global, checked against the command's options when the global is
// a command.
struct OptionUse {
    std::string command, key;
    size_t argument; // from 0
    int line, column;
};
struct GlobalNames {
    std::set<std::string> assigned;
    std::vector<GlobalUse> called;
    std::vector<OptionUse> optionKeys;
    // A function assigned to a global by the main program (the first place), and the globals assigned anywhere
    // else: a call that runs before a global's only definition finds Nil.
    std::map<std::string, GlobalUse> definedAtTopLevel;
    std::set<std::string> assignedElsewhere;
    std::vector<GlobalUse> textAdded; // a literal text that is no number, an operand of '+'
    std::vector<GlobalUse> localFunctions; // each Local Function: a call above it reaches for a global instead
};

struct FuncState {
    GlobalNames *globals = nullptr; // shared by every function of the script
    FunctionProto *proto = nullptr;
    FuncState *parent = nullptr;
    BlockScope *block = nullptr;
    std::vector<ActiveLocal> actives;
    std::map<ConstantKey, int> constantIndex;
    int freeRegister = 0;
    int lastTarget = 0;       // the last instruction that is a jump target (LOADNIL merges stop there)
    int pendingJumps = kNoJump; // jumps to the next instruction emitted
    int line = 0;
    int column = 0;
    // main chunk only
    std::vector<PendingGosub> gosubs;
    // Label bodies get registers of their own above everything the rest of the main program uses, so a Gosub
    // (or an event) arriving in the middle of a loop or expression finds its registers untouched afterwards.
    // labelBase is where the next body starts (-1 in the measuring pass); maxOutsideLabels is what the code
    // outside label bodies needs.
    int labelBase = -1;
    bool inLabel = false;
    int labelScopeBase = 0;
    int maxOutsideLabels = 0;
    int paddingLocals = 0; // the unnamed locals below the current label body (not counted as the script's)
    std::set<std::string> labelNames;
    // Loops (positive) and bodies that may not run (negative) around the statement being compiled, each with a
    // number of its own: a call guarded in a loop that also holds its function's definition may run after it.
    std::vector<int> control;
    int controlCount = 0;
};

[[noreturn]] inline void Fail(FuncState &fs, std::string message) { throw CodegenFailure{fs.line, fs.column, std::move(message)}; }

inline int Pc(const FuncState &fs) { return int(fs.proto->code.size()); }
inline int ActiveCount(const FuncState &fs) { return int(fs.actives.size()); }
inline Instruction &InstructionAt(FuncState &fs, int pc) { return fs.proto->code[size_t(pc)]; }
inline Instruction &InstructionOf(FuncState &fs, const ExpDesc &e) { return InstructionAt(fs, e.info); }

inline Instruction WithA(Instruction i, int a) { return (i & ~(Instruction(kMaxA) << kAShift)) | (Instruction(a) << kAShift); }
inline Instruction WithB(Instruction i, int b) { return (i & ~(Instruction(kMaxB) << kBShift)) | (Instruction(b) << kBShift); }
inline Instruction WithC(Instruction i, int c) { return (i & ~(Instruction(kMaxC) << kCShift)) | (Instruction(c) << kCShift); }

// Jump lists: chained through the sBx fields of their jumps; kNoJump ends a list.
void Concat(FuncState &fs, int &list, int other);
int GetLabel(FuncState &fs);
int Jump(FuncState &fs);
void PatchToHere(FuncState &fs, int list);
void PatchList(FuncState &fs, int list, int target);
void FixJump(FuncState &fs, int pc, int destination);

// Emitting instructions (with the current line) and allocating registers and constants.
int Code(FuncState &fs, Instruction i);
int CodeABC(FuncState &fs, OpCode op, int a, int b, int c);
int CodeABx(FuncState &fs, OpCode op, int a, int bx);
int CodeAsBx(FuncState &fs, OpCode op, int a, int sbx);
void CheckStack(FuncState &fs, int n);
void ReserveRegisters(FuncState &fs, int n);
void FreeExp(FuncState &fs, const ExpDesc &e);
int AddConstant(FuncState &fs, const ProtoConstant &k);
int StringConstant(FuncState &fs, const std::string &s);
void LoadNil(FuncState &fs, int from, int n);

// Expression descriptors.
ExpDesc MakeExp(ExpKind kind, int info);
bool HasJumps(const ExpDesc &e);
bool HasMultipleResults(const ExpDesc &e);
void SetReturns(FuncState &fs, ExpDesc &e, int results);
void SetOneResult(FuncState &fs, ExpDesc &e);
void DischargeVars(FuncState &fs, ExpDesc &e);
void ExpToNextRegister(FuncState &fs, ExpDesc &e);
int ExpToAnyRegister(FuncState &fs, ExpDesc &e);
void ExpToValue(FuncState &fs, ExpDesc &e);
int ExpToRK(FuncState &fs, ExpDesc &e);
void StoreVar(FuncState &fs, const ExpDesc &var, ExpDesc &value);

// Conditions: fall through when true (GoIfTrue) or false (GoIfFalse), the other way out goes to a list.
void GoIfTrue(FuncState &fs, ExpDesc &e);
void GoIfFalse(FuncState &fs, ExpDesc &e);
void CodeNot(FuncState &fs, ExpDesc &e);

// Scopes, locals and names.
void EnterBlock(FuncState &fs, BlockScope &block, bool isLoop);
void RemoveLocals(FuncState &fs, int toLevel);
void LeaveBlock(FuncState &fs);
void NewLocal(FuncState &fs, const std::string &name, std::vector<std::string> &pending);
void ActivateLocals(FuncState &fs, std::vector<std::string> &pending);
void SingleVariable(FuncState &fs, const std::string &name, ExpDesc &v);

} // namespace codegen

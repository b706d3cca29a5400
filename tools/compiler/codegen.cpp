// The code generator: a register allocator with expression descriptors and patch lists for jumps, so that
// conditions compile to compare-and-jump pairs, `And`/`Or` yield their deciding operand without copies, and
// values land directly in the register that needs them.
//
// Registers: a function's locals occupy R(0..activeLocals-1) in declaration order; temporaries are taken above
// them as a stack (freeRegister) and released in reverse order. Every statement starts and ends with
// freeRegister == activeLocals.
#include "tools/compiler/codegen.h"

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>

namespace {

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

struct FuncState {
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
};

[[noreturn]] void Fail(FuncState &fs, std::string message) { throw CodegenFailure{fs.line, fs.column, std::move(message)}; }

int Pc(const FuncState &fs) { return int(fs.proto->code.size()); }
int ActiveCount(const FuncState &fs) { return int(fs.actives.size()); }
Instruction &InstructionAt(FuncState &fs, int pc) { return fs.proto->code[size_t(pc)]; }
Instruction &InstructionOf(FuncState &fs, const ExpDesc &e) { return InstructionAt(fs, e.info); }

Instruction WithA(Instruction i, int a) { return (i & ~(Instruction(kMaxA) << kAShift)) | (Instruction(a) << kAShift); }
Instruction WithB(Instruction i, int b) { return (i & ~(Instruction(kMaxB) << kBShift)) | (Instruction(b) << kBShift); }
Instruction WithC(Instruction i, int c) { return (i & ~(Instruction(kMaxC) << kCShift)) | (Instruction(c) << kCShift); }

// ---- Jump lists -------------------------------------------------------------------------------------------
// A list is chained through the sBx fields of its jumps; kNoJump ends it.

int GetJump(FuncState &fs, int pc) {
    int offset = GetSBx(InstructionAt(fs, pc));
    return offset == kNoJump ? kNoJump : pc + 1 + offset;
}

void FixJump(FuncState &fs, int pc, int destination) {
    int offset = destination - (pc + 1);
    if (offset < -kMaxSBx || offset > kMaxSBx + 1) Fail(fs, "control structure too long");
    Instruction &i = InstructionAt(fs, pc);
    i = CreateAsBx(GetOp(i), GetA(i), offset);
}

// Joins the list `other` to `list`. The order inside a list does not matter, so the cheaper end is walked: a
// single jump is linked in front, otherwise other (usually short) is walked. Long If/ElseIf chains, many Breaks
// and the skips over many label bodies stay linear.
void Concat(FuncState &fs, int &list, int other) {
    if (other == kNoJump) return;
    if (list == kNoJump) {
        list = other;
        return;
    }
    if (GetJump(fs, list) == kNoJump) {
        FixJump(fs, list, other);
        return;
    }
    int at = other;
    for (int next; (next = GetJump(fs, at)) != kNoJump;) at = next;
    FixJump(fs, at, list);
    list = other;
}

// The instruction that decides a jump: the test before it, if any.
Instruction &JumpControl(FuncState &fs, int pc) {
    if (pc >= 1 && (kOpcodeInfo[GetOp(InstructionAt(fs, pc - 1))].flags & kOpFlagTest)) return InstructionAt(fs, pc - 1);
    return InstructionAt(fs, pc);
}

bool NeedsValue(FuncState &fs, int list) {
    for (; list != kNoJump; list = GetJump(fs, list))
        if (GetOp(JumpControl(fs, list)) != OP_TESTSET) return true;
    return false;
}

// A TESTSET either gets its destination register or, when none is wanted, becomes a plain TEST.
bool PatchTestRegister(FuncState &fs, int node, int reg) {
    Instruction &i = JumpControl(fs, node);
    if (GetOp(i) != OP_TESTSET) return false;
    if (reg != kNoRegister && reg != GetB(i))
        i = WithA(i, reg);
    else
        i = CreateABC(OP_TEST, GetB(i), 0, GetC(i));
    return true;
}

void RemoveValues(FuncState &fs, int list) {
    for (; list != kNoJump; list = GetJump(fs, list)) PatchTestRegister(fs, list, kNoRegister);
}

void PatchListAux(FuncState &fs, int list, int valueTarget, int reg, int defaultTarget) {
    while (list != kNoJump) {
        int next = GetJump(fs, list);
        if (PatchTestRegister(fs, list, reg))
            FixJump(fs, list, valueTarget);
        else
            FixJump(fs, list, defaultTarget);
        list = next;
    }
}

void DischargePendingJumps(FuncState &fs) {
    PatchListAux(fs, fs.pendingJumps, Pc(fs), kNoRegister, Pc(fs));
    fs.pendingJumps = kNoJump;
}

int Code(FuncState &fs, Instruction i) {
    DischargePendingJumps(fs);
    if (fs.proto->code.size() >= kMaxProtoCode) Fail(fs, "function too long");
    return fs.proto->Emit(i, fs.line);
}
int CodeABC(FuncState &fs, OpCode op, int a, int b, int c) { return Code(fs, CreateABC(op, a, b, c)); }
int CodeABx(FuncState &fs, OpCode op, int a, int bx) {
    if (bx < 0 || unsigned(bx) > kMaxBx) Fail(fs, "too many constants in one function");
    return Code(fs, CreateABx(op, a, unsigned(bx)));
}
int CodeAsBx(FuncState &fs, OpCode op, int a, int sbx) { return Code(fs, CreateAsBx(op, a, sbx)); }

int GetLabel(FuncState &fs) {
    fs.lastTarget = Pc(fs);
    return Pc(fs);
}

int Jump(FuncState &fs) {
    int pending = fs.pendingJumps;
    fs.pendingJumps = kNoJump;
    int j = CodeAsBx(fs, OP_JMP, 0, kNoJump);
    Concat(fs, j, pending);
    return j;
}

void PatchToHere(FuncState &fs, int list) {
    GetLabel(fs);
    Concat(fs, fs.pendingJumps, list);
}

void PatchList(FuncState &fs, int list, int target) {
    if (target == Pc(fs))
        PatchToHere(fs, list);
    else
        PatchListAux(fs, list, target, kNoRegister, target);
}

int CondJump(FuncState &fs, OpCode op, int a, int b, int c) {
    CodeABC(fs, op, a, b, c);
    return Jump(fs);
}

// ---- Registers and constants --------------------------------------------------------------------------------

void CheckStack(FuncState &fs, int n) {
    int needed = fs.freeRegister + n;
    if (needed > fs.proto->maxStack) {
        if (needed > kMaxFunctionRegisters && fs.paddingLocals > 0)
            Fail(fs, "too many label bodies: together they need more than " + std::to_string(kMaxFunctionRegisters) +
                         " registers (move work into functions)");
        if (needed > kMaxFunctionRegisters)
            Fail(fs, "function or expression too complex (more than " + std::to_string(kMaxFunctionRegisters) +
                         " registers)");
        fs.proto->maxStack = uint8_t(needed);
    }
    if (!fs.inLabel) fs.maxOutsideLabels = std::max(fs.maxOutsideLabels, needed);
}

void ReserveRegisters(FuncState &fs, int n) {
    CheckStack(fs, n);
    fs.freeRegister += n;
}

void FreeRegister(FuncState &fs, int reg) {
    if (!IsRKConstant(reg) && reg >= ActiveCount(fs)) --fs.freeRegister;
}

void FreeExp(FuncState &fs, const ExpDesc &e) {
    if (e.kind == ExpKind::NonReloc) FreeRegister(fs, e.info);
}

int AddConstant(FuncState &fs, const ProtoConstant &k) {
    ConstantKey key{int(k.kind), 0, k.text};
    std::memcpy(&key.bits, &k.number, sizeof key.bits);
    auto found = fs.constantIndex.find(key);
    if (found != fs.constantIndex.end()) return found->second;
    if (fs.proto->constants.size() >= kMaxProtoConstants) Fail(fs, "too many constants in one function");
    int index = int(fs.proto->constants.size());
    fs.proto->constants.push_back(k);
    fs.constantIndex.emplace(std::move(key), index);
    return index;
}
int NumberConstant(FuncState &fs, double n) { return AddConstant(fs, ProtoConstant::Number(n)); }
int StringConstant(FuncState &fs, const std::string &s) { return AddConstant(fs, ProtoConstant::String(s)); }

bool HasJumps(const ExpDesc &e) { return e.trueList != e.falseList; }
bool HasMultipleResults(const ExpDesc &e) { return e.kind == ExpKind::Call || e.kind == ExpKind::Vararg; }

ExpDesc MakeExp(ExpKind kind, int info) {
    ExpDesc e;
    e.kind = kind;
    e.info = info;
    return e;
}

void LoadNil(FuncState &fs, int from, int n) {
    // Extend a LOADNIL just before, unless something jumps in between.
    if (Pc(fs) > fs.lastTarget && Pc(fs) > 0 && fs.pendingJumps == kNoJump) {
        Instruction &previous = InstructionAt(fs, Pc(fs) - 1);
        if (GetOp(previous) == OP_LOADNIL) {
            int pfrom = GetA(previous), pto = pfrom + GetB(previous);
            if (pfrom <= from && from <= pto + 1) {
                int to = std::max(pto, from + n - 1);
                previous = WithB(previous, to - pfrom);
                return;
            }
        }
    }
    CodeABC(fs, OP_LOADNIL, from, n - 1, 0);
}

// ---- Expressions to registers -----------------------------------------------------------------------------

void SetReturns(FuncState &fs, ExpDesc &e, int results) {
    if (e.kind == ExpKind::Call) {
        InstructionOf(fs, e) = WithC(InstructionOf(fs, e), results + 1);
    } else if (e.kind == ExpKind::Vararg) {
        Instruction &i = InstructionOf(fs, e);
        i = WithA(WithB(i, results + 1), fs.freeRegister);
        ReserveRegisters(fs, 1);
    }
}

void SetOneResult(FuncState &fs, ExpDesc &e) {
    if (e.kind == ExpKind::Call) {
        e.kind = ExpKind::NonReloc;
        e.info = GetA(InstructionOf(fs, e));
    } else if (e.kind == ExpKind::Vararg) {
        InstructionOf(fs, e) = WithB(InstructionOf(fs, e), 2);
        e.kind = ExpKind::Relocable;
    }
}

void DischargeVars(FuncState &fs, ExpDesc &e) {
    switch (e.kind) {
    case ExpKind::Local: e.kind = ExpKind::NonReloc; break;
    case ExpKind::Upvalue:
        e.info = CodeABC(fs, OP_GETUPVAL, 0, e.info, 0);
        e.kind = ExpKind::Relocable;
        break;
    case ExpKind::Global:
        e.info = CodeABx(fs, OP_GETGLOBAL, 0, e.info);
        e.kind = ExpKind::Relocable;
        break;
    case ExpKind::Indexed:
        FreeRegister(fs, e.aux);
        FreeRegister(fs, e.info);
        e.info = CodeABC(fs, OP_GETTABLE, 0, e.info, e.aux);
        e.kind = ExpKind::Relocable;
        break;
    case ExpKind::Call:
    case ExpKind::Vararg: SetOneResult(fs, e); break;
    default: break;
    }
}

bool FitsLoadInt(double n) {
    return n == std::floor(n) && n >= -kMaxSBx && n <= kMaxSBx + 1 && !(n == 0 && std::signbit(n));
}

void DischargeToRegister(FuncState &fs, ExpDesc &e, int reg) {
    DischargeVars(fs, e);
    switch (e.kind) {
    case ExpKind::Nil: LoadNil(fs, reg, 1); break;
    case ExpKind::Number:
        if (FitsLoadInt(e.number))
            CodeAsBx(fs, OP_LOADINT, reg, int(e.number));
        else
            CodeABx(fs, OP_LOADK, reg, NumberConstant(fs, e.number));
        break;
    case ExpKind::Constant: CodeABx(fs, OP_LOADK, reg, e.info); break;
    case ExpKind::Relocable: InstructionOf(fs, e) = WithA(InstructionOf(fs, e), reg); break;
    case ExpKind::NonReloc:
        if (reg != e.info) CodeABC(fs, OP_MOVE, reg, e.info, 0);
        break;
    default: return; // Void: nothing to load
    }
    e.info = reg;
    e.kind = ExpKind::NonReloc;
}

void DischargeToAnyRegister(FuncState &fs, ExpDesc &e) {
    if (e.kind != ExpKind::NonReloc) {
        ReserveRegisters(fs, 1);
        DischargeToRegister(fs, e, fs.freeRegister - 1);
    }
}

// Loads the number b into reg; jumps over the next instruction when skipNext. The landing pads that turn a
// condition's jumps into the values 0 and 1.
int CodeLoadTruth(FuncState &fs, int reg, int b, bool skipNext) {
    GetLabel(fs);
    int pc = CodeAsBx(fs, OP_LOADINT, reg, b);
    if (skipNext) CodeAsBx(fs, OP_JMP, 0, 1);
    return pc;
}

void ExpToRegister(FuncState &fs, ExpDesc &e, int reg) {
    DischargeToRegister(fs, e, reg);
    if (HasJumps(e)) {
        int loadFalse = kNoJump, loadTrue = kNoJump;
        if (NeedsValue(fs, e.trueList) || NeedsValue(fs, e.falseList)) {
            int skip = Jump(fs);
            loadFalse = CodeLoadTruth(fs, reg, 0, true);
            loadTrue = CodeLoadTruth(fs, reg, 1, false);
            PatchToHere(fs, skip);
        }
        int final = GetLabel(fs);
        PatchListAux(fs, e.falseList, final, reg, loadFalse);
        PatchListAux(fs, e.trueList, final, reg, loadTrue);
    }
    e.falseList = e.trueList = kNoJump;
    e.info = reg;
    e.kind = ExpKind::NonReloc;
}

void ExpToNextRegister(FuncState &fs, ExpDesc &e) {
    DischargeVars(fs, e);
    FreeExp(fs, e);
    ReserveRegisters(fs, 1);
    ExpToRegister(fs, e, fs.freeRegister - 1);
}

int ExpToAnyRegister(FuncState &fs, ExpDesc &e) {
    DischargeVars(fs, e);
    if (e.kind == ExpKind::NonReloc) {
        if (!HasJumps(e)) return e.info;
        if (e.info >= ActiveCount(fs)) {
            ExpToRegister(fs, e, e.info);
            return e.info;
        }
    }
    ExpToNextRegister(fs, e);
    return e.info;
}

void ExpToValue(FuncState &fs, ExpDesc &e) {
    if (HasJumps(e))
        ExpToAnyRegister(fs, e);
    else
        DischargeVars(fs, e);
}

int ExpToRK(FuncState &fs, ExpDesc &e) {
    ExpToValue(fs, e);
    switch (e.kind) {
    case ExpKind::Nil:
    case ExpKind::Number: {
        int k = e.kind == ExpKind::Nil ? AddConstant(fs, ProtoConstant::Nil()) : NumberConstant(fs, e.number);
        if (k <= int(kMaxRKConstant)) {
            e.kind = ExpKind::Constant;
            e.info = k;
            return RKConstant(k);
        }
        break;
    }
    case ExpKind::Constant:
        if (e.info <= int(kMaxRKConstant)) return RKConstant(e.info);
        break;
    default: break;
    }
    return ExpToAnyRegister(fs, e);
}

void StoreVar(FuncState &fs, const ExpDesc &var, ExpDesc &value) {
    switch (var.kind) {
    case ExpKind::Local:
        FreeExp(fs, value);
        ExpToRegister(fs, value, var.info);
        return;
    case ExpKind::Upvalue: {
        int reg = ExpToAnyRegister(fs, value);
        CodeABC(fs, OP_SETUPVAL, reg, var.info, 0);
        break;
    }
    case ExpKind::Global: {
        int reg = ExpToAnyRegister(fs, value);
        CodeABx(fs, OP_SETGLOBAL, reg, var.info);
        break;
    }
    case ExpKind::Indexed: {
        int rk = ExpToRK(fs, value);
        CodeABC(fs, OP_SETTABLE, var.info, var.aux, rk);
        break;
    }
    default: Fail(fs, "cannot assign to this expression");
    }
    FreeExp(fs, value);
}

// ---- Conditions ---------------------------------------------------------------------------------------------

// The truth of e's own value when the compiler can know it: 1 true, 0 false, -1 only known at run time.
int KnownTruth(FuncState &fs, const ExpDesc &e) {
    switch (e.kind) {
    case ExpKind::Nil: return 0;
    case ExpKind::Number: return e.number != 0 ? 1 : 0;
    case ExpKind::Constant: {
        const ProtoConstant &k = fs.proto->constants[size_t(e.info)];
        if (k.kind == ProtoConstant::kString) return k.text.empty() ? 0 : 1;
        if (k.kind == ProtoConstant::kNumber) return k.number != 0 ? 1 : 0;
        if (k.kind == ProtoConstant::kNil) return 0;
        return -1; // a #NAME: only known at load time
    }
    default: return -1;
    }
}

void RemoveLastInstruction(FuncState &fs) {
    fs.proto->code.pop_back();
    fs.proto->lines.pop_back();
}

bool IsNumber(const ExpDesc &e, double n) { return e.kind == ExpKind::Number && e.number == n; }

// A jump taken when truth(e) == condition.
int JumpOnCondition(FuncState &fs, ExpDesc &e, int condition) {
    if (e.kind == ExpKind::Relocable) {
        Instruction i = InstructionOf(fs, e);
        // A value-producing test just emitted becomes a compare-and-jump.
        switch (GetOp(i)) {
        case OP_NOT: RemoveLastInstruction(fs); return CondJump(fs, OP_TEST, GetB(i), 0, !condition);
        case OP_SEQ: RemoveLastInstruction(fs); return CondJump(fs, OP_EQ, condition, GetB(i), GetC(i));
        case OP_SNE: RemoveLastInstruction(fs); return CondJump(fs, OP_EQ, !condition, GetB(i), GetC(i));
        case OP_SLT: RemoveLastInstruction(fs); return CondJump(fs, OP_LT, condition, GetB(i), GetC(i));
        case OP_SLE: RemoveLastInstruction(fs); return CondJump(fs, OP_LE, condition, GetB(i), GetC(i));
        default: break;
        }
    }
    DischargeToAnyRegister(fs, e);
    FreeExp(fs, e);
    return CondJump(fs, OP_TESTSET, kNoRegister, e.info, condition);
}

// Falls through when e is true; the false exits go to e.falseList.
void GoIfTrue(FuncState &fs, ExpDesc &e) {
    DischargeVars(fs, e);
    int jump;
    int truth = KnownTruth(fs, e);
    if (truth == 1)
        jump = kNoJump;
    else if (truth == 0 && IsNumber(e, 0))
        jump = Jump(fs); // the false exit loads 0, which is this value
    else
        jump = JumpOnCondition(fs, e, 0);
    Concat(fs, e.falseList, jump);
    PatchToHere(fs, e.trueList);
    e.trueList = kNoJump;
}

void GoIfFalse(FuncState &fs, ExpDesc &e) {
    DischargeVars(fs, e);
    int jump;
    int truth = KnownTruth(fs, e);
    if (truth == 0)
        jump = kNoJump;
    else if (truth == 1 && IsNumber(e, 1))
        jump = Jump(fs); // the true exit loads 1, which is this value
    else
        jump = JumpOnCondition(fs, e, 1);
    Concat(fs, e.trueList, jump);
    PatchToHere(fs, e.falseList);
    e.falseList = kNoJump;
}

void CodeNot(FuncState &fs, ExpDesc &e) {
    DischargeVars(fs, e);
    int truth = KnownTruth(fs, e);
    if (truth >= 0) {
        e.kind = ExpKind::Number; // the jump lists stay: they are swapped below
        e.number = truth ? 0 : 1;
    } else {
        DischargeToAnyRegister(fs, e);
        FreeExp(fs, e);
        e.info = CodeABC(fs, OP_NOT, 0, e.info, 0);
        e.kind = ExpKind::Relocable;
    }
    std::swap(e.trueList, e.falseList);
    RemoveValues(fs, e.falseList);
    RemoveValues(fs, e.trueList);
}

// ---- Scopes and variables -----------------------------------------------------------------------------------

void EnterBlock(FuncState &fs, BlockScope &block, bool isLoop) {
    block.activeLocals = ActiveCount(fs);
    block.isLoop = isLoop;
    block.previous = fs.block;
    fs.block = &block;
}

void RemoveLocals(FuncState &fs, int toLevel) {
    while (ActiveCount(fs) > toLevel) {
        fs.proto->locals[size_t(fs.actives.back().debugIndex)].endPc = uint32_t(Pc(fs));
        fs.actives.pop_back();
    }
}

void LeaveBlock(FuncState &fs) {
    BlockScope *block = fs.block;
    fs.block = block->previous;
    RemoveLocals(fs, block->activeLocals);
    if (block->hasUpvalue) CodeABC(fs, OP_CLOSE, block->activeLocals, 0, 0);
    fs.freeRegister = ActiveCount(fs);
    PatchToHere(fs, block->breakList);
}

// Declares a local that becomes visible with ActivateLocals; its register is the next one.
void NewLocal(FuncState &fs, const std::string &name, std::vector<std::string> &pending) {
    if (ActiveCount(fs) - fs.paddingLocals + int(pending.size()) >= kMaxLocals)
        Fail(fs, "too many local variables (more than " + std::to_string(kMaxLocals) + " in one function)");
    pending.push_back(name);
}

void ActivateLocals(FuncState &fs, std::vector<std::string> &pending) {
    for (std::string &name : pending) {
        ProtoLocal local;
        local.name = name;
        local.startPc = uint32_t(Pc(fs));
        local.reg = uint8_t(ActiveCount(fs));
        fs.proto->locals.push_back(local);
        fs.actives.push_back({std::move(name), int(fs.proto->locals.size()) - 1});
    }
    pending.clear();
}

int SearchLocal(const FuncState &fs, const std::string &name) {
    for (int i = ActiveCount(fs) - 1; i >= 0; --i)
        if (fs.actives[size_t(i)].name == name) return i;
    return -1;
}

void MarkUpvalue(FuncState &fs, int level) {
    BlockScope *block = fs.block;
    while (block && block->activeLocals > level) block = block->previous;
    if (block) block->hasUpvalue = true;
}

int IndexUpvalue(FuncState &fs, const std::string &name, const ExpDesc &v) {
    bool inRegister = v.kind == ExpKind::Local;
    auto &upvalues = fs.proto->upvalues;
    for (size_t i = 0; i < upvalues.size(); ++i)
        if (upvalues[i].inParentRegister == inRegister && upvalues[i].index == v.info) return int(i);
    if (int(upvalues.size()) >= kMaxUpvalues)
        Fail(fs, "too many upvalues (more than " + std::to_string(kMaxUpvalues) + " in one function)");
    ProtoUpvalue up;
    up.inParentRegister = inRegister;
    up.index = uint8_t(v.info);
    up.name = name;
    upvalues.push_back(up);
    return int(upvalues.size()) - 1;
}

ExpKind ResolveName(FuncState *fs, const std::string &name, ExpDesc &v, bool base) {
    if (!fs) {
        v = MakeExp(ExpKind::Global, 0);
        return ExpKind::Global;
    }
    int reg = SearchLocal(*fs, name);
    if (reg >= 0) {
        v = MakeExp(ExpKind::Local, reg);
        if (!base) MarkUpvalue(*fs, reg);
        return ExpKind::Local;
    }
    if (ResolveName(fs->parent, name, v, false) == ExpKind::Global) return ExpKind::Global;
    v.info = IndexUpvalue(*fs, name, v);
    v.kind = ExpKind::Upvalue;
    return ExpKind::Upvalue;
}

void SingleVariable(FuncState &fs, const std::string &name, ExpDesc &v) {
    if (ResolveName(&fs, name, v, true) == ExpKind::Global) v.info = StringConstant(fs, name);
}

// ---- The walker ---------------------------------------------------------------------------------------------

void CompileExpr(FuncState &fs, const Expr &e, ExpDesc &out);
void CompileBlock(FuncState &fs, const Block &block);
void CompileFunction(FuncState &parent, const FunctionNode &node, ExpDesc &out);

struct LineScope {
    FuncState &fs;
    int savedLine, savedColumn;
    LineScope(FuncState &state, int line, int column) : fs(state), savedLine(state.line), savedColumn(state.column) {
        fs.line = line;
        fs.column = column;
    }
    ~LineScope() {
        fs.line = savedLine;
        fs.column = savedColumn;
    }
};

// Compiles a list; every value but the last goes to the next register. Returns the count.
int CompileExpressionList(FuncState &fs, const std::vector<ExprPtr> &list, ExpDesc &last) {
    for (size_t i = 0; i < list.size(); ++i) {
        CompileExpr(fs, *list[i], last);
        if (i + 1 < list.size()) ExpToNextRegister(fs, last);
    }
    return int(list.size());
}

void AdjustAssign(FuncState &fs, int variables, int expressions, ExpDesc &e) {
    int extra = variables - expressions;
    if (HasMultipleResults(e)) {
        ++extra;
        if (extra < 0) extra = 0;
        SetReturns(fs, e, extra);
        if (extra > 1) ReserveRegisters(fs, extra - 1);
    } else {
        if (e.kind != ExpKind::Void) ExpToNextRegister(fs, e);
        if (extra > 0) {
            int reg = fs.freeRegister;
            ReserveRegisters(fs, extra);
            LoadNil(fs, reg, extra);
        }
    }
}

void SetMultipleResults(FuncState &fs, ExpDesc &e) { SetReturns(fs, e, kMultipleResults); }

void CompileCall(FuncState &fs, const Expr &e, ExpDesc &out) {
    ExpDesc function;
    CompileExpr(fs, *e.a, function);
    ExpToNextRegister(fs, function);
    int base = function.info;
    int argumentCount;
    if (e.list.empty()) {
        argumentCount = 0;
    } else {
        ExpDesc last;
        CompileExpressionList(fs, e.list, last);
        if (HasMultipleResults(last)) {
            SetMultipleResults(fs, last);
            argumentCount = kMultipleResults;
        } else {
            if (last.kind != ExpKind::Void) ExpToNextRegister(fs, last);
            argumentCount = fs.freeRegister - (base + 1);
        }
    }
    if (argumentCount != kMultipleResults && argumentCount + 1 > int(kMaxB)) Fail(fs, "too many arguments in a call");
    LineScope at(fs, e.line, e.column);
    out = MakeExp(ExpKind::Call, CodeABC(fs, OP_CALL, base, argumentCount + 1, 2));
    fs.freeRegister = base + 1; // the call leaves one result in its base register
}

void CompileTable(FuncState &fs, const Expr &e, ExpDesc &out) {
    int pc = CodeABC(fs, OP_NEWTABLE, 0, 0, 0);
    out = MakeExp(ExpKind::Relocable, pc);
    ExpToNextRegister(fs, out);
    int table = out.info;
    int listItems = 0, hashItems = 0, pendingItems = 0;
    ExpDesc pending; // the last positional value, not yet in a register

    auto flush = [&](int count) {
        // Keys start at 0: batch n (from 1) stores at (n-1)*kFieldsPerFlush.
        int batch = (listItems - 1) / kFieldsPerFlush + 1;
        if (batch <= int(kMaxC)) {
            CodeABC(fs, OP_SETLIST, table, count, batch);
        } else {
            CodeABC(fs, OP_SETLIST, table, count, 0);
            Code(fs, Instruction((batch - 1) * kFieldsPerFlush));
        }
        fs.freeRegister = table + 1;
    };

    for (const TableField &field : e.fields) {
        if (pending.kind != ExpKind::Void) {
            ExpToNextRegister(fs, pending);
            pending.kind = ExpKind::Void;
            if (pendingItems == kFieldsPerFlush) {
                flush(pendingItems);
                pendingItems = 0;
            }
        }
        if (field.key) {
            ++hashItems;
            ExpDesc key, value;
            CompileExpr(fs, *field.key, key);
            int rkKey = ExpToRK(fs, key);
            CompileExpr(fs, *field.value, value);
            int rkValue = ExpToRK(fs, value);
            CodeABC(fs, OP_SETTABLE, table, rkKey, rkValue);
            fs.freeRegister = table + 1 + pendingItems;
        } else {
            CompileExpr(fs, *field.value, pending);
            ++listItems;
            ++pendingItems;
        }
    }
    if (pendingItems > 0) {
        if (HasMultipleResults(pending)) {
            SetMultipleResults(fs, pending);
            flush(0);
            --listItems;
        } else {
            if (pending.kind != ExpKind::Void) ExpToNextRegister(fs, pending);
            flush(pendingItems);
        }
    }
    InstructionAt(fs, pc) = CreateABC(OP_NEWTABLE, table, std::min(listItems, int(kMaxB)), std::min(hashItems, int(kMaxC)));
}

void CompileBinary(FuncState &fs, const Expr &e, ExpDesc &out) {
    BinaryOp op = e.binary;
    CompileExpr(fs, *e.a, out);
    // What the left operand needs before the right one is compiled.
    switch (op) {
    case BinaryOp::And: GoIfTrue(fs, out); break;
    case BinaryOp::Or: GoIfFalse(fs, out); break;
    case BinaryOp::Concat: ExpToNextRegister(fs, out); break;
    case BinaryOp::Add: case BinaryOp::Sub: case BinaryOp::Mul: case BinaryOp::Div: case BinaryOp::Mod:
    case BinaryOp::Pow:
        if (out.kind != ExpKind::Number || HasJumps(out)) ExpToRK(fs, out);
        break;
    default: ExpToRK(fs, out); break;
    }
    ExpDesc right;
    CompileExpr(fs, *e.b, right);
    LineScope at(fs, e.line, e.column);
    switch (op) {
    case BinaryOp::And:
        DischargeVars(fs, right);
        Concat(fs, right.falseList, out.falseList);
        out = right;
        return;
    case BinaryOp::Or:
        DischargeVars(fs, right);
        Concat(fs, right.trueList, out.trueList);
        out = right;
        return;
    case BinaryOp::Concat:
        ExpToValue(fs, right);
        // a .. b .. c is right-nested: extend the CONCAT of b .. c down to a's register.
        if (right.kind == ExpKind::Relocable && GetOp(InstructionOf(fs, right)) == OP_CONCAT) {
            FreeExp(fs, out);
            InstructionOf(fs, right) = WithB(InstructionOf(fs, right), out.info);
            out.kind = ExpKind::Relocable;
            out.info = right.info;
        } else {
            ExpToNextRegister(fs, right);
            int second = right.info, first = out.info;
            FreeExp(fs, right);
            FreeExp(fs, out);
            out = MakeExp(ExpKind::Relocable, CodeABC(fs, OP_CONCAT, 0, first, second));
        }
        return;
    default: break;
    }
    OpCode code;
    bool swap = false;
    switch (op) {
    case BinaryOp::Add: code = OP_ADD; break;
    case BinaryOp::Sub: code = OP_SUB; break;
    case BinaryOp::Mul: code = OP_MUL; break;
    case BinaryOp::Div: code = OP_DIV; break;
    case BinaryOp::Mod: code = OP_MOD; break;
    case BinaryOp::Pow: code = OP_POW; break;
    case BinaryOp::Equal: code = OP_SEQ; break;
    case BinaryOp::NotEqual: code = OP_SNE; break;
    case BinaryOp::Less: code = OP_SLT; break;
    case BinaryOp::LessEqual: code = OP_SLE; break;
    case BinaryOp::Greater: code = OP_SLT; swap = true; break;
    case BinaryOp::GreaterEqual: code = OP_SLE; swap = true; break;
    default: Fail(fs, "internal error: unknown operator");
    }
    int o2 = ExpToRK(fs, right);
    int o1 = ExpToRK(fs, out);
    if (o1 > o2) {
        FreeExp(fs, out);
        FreeExp(fs, right);
    } else {
        FreeExp(fs, right);
        FreeExp(fs, out);
    }
    if (swap) std::swap(o1, o2);
    out = MakeExp(ExpKind::Relocable, CodeABC(fs, code, 0, o1, o2));
}

void CompileExpr(FuncState &fs, const Expr &e, ExpDesc &out) {
    LineScope at(fs, e.line, e.column);
    out = ExpDesc{};
    switch (e.kind) {
    case ExprKind::Nil: out.kind = ExpKind::Nil; return;
    case ExprKind::Number:
        out.kind = ExpKind::Number;
        out.number = e.number;
        return;
    case ExprKind::String: out = MakeExp(ExpKind::Constant, StringConstant(fs, e.text)); return;
    case ExprKind::Constant: out = MakeExp(ExpKind::Constant, AddConstant(fs, ProtoConstant::Symbol(e.text))); return;
    case ExprKind::Vararg:
        if (!fs.proto->isVararg || fs.proto->isMainChunk)
            Fail(fs, "'...' used outside a function declared with '...'");
        out = MakeExp(ExpKind::Vararg, CodeABC(fs, OP_VARARG, 0, 1, 0));
        return;
    case ExprKind::Name: SingleVariable(fs, e.text, out); return;
    case ExprKind::Index: {
        CompileExpr(fs, *e.a, out);
        ExpToAnyRegister(fs, out);
        ExpDesc key;
        CompileExpr(fs, *e.b, key);
        out.aux = ExpToRK(fs, key);
        out.kind = ExpKind::Indexed;
        return;
    }
    case ExprKind::Call: CompileCall(fs, e, out); return;
    case ExprKind::Function: CompileFunction(fs, *e.function, out); return;
    case ExprKind::Table: CompileTable(fs, e, out); return;
    case ExprKind::Binary: CompileBinary(fs, e, out); return;
    case ExprKind::Unary:
        CompileExpr(fs, *e.a, out);
        if (e.unary == UnaryOp::Not) {
            CodeNot(fs, out);
        } else if (out.kind == ExpKind::Number && !HasJumps(out)) {
            out.number = -out.number;
        } else {
            int reg = ExpToAnyRegister(fs, out);
            FreeExp(fs, out);
            out = MakeExp(ExpKind::Relocable, CodeABC(fs, OP_UNM, 0, reg, 0));
        }
        return;
    case ExprKind::Paren:
        CompileExpr(fs, *e.a, out);
        DischargeVars(fs, out); // a call in parentheses gives exactly one value
        return;
    }
}

// ---- Statements ---------------------------------------------------------------------------------------------

BlockScope *InnermostLoop(FuncState &fs, bool &crossesUpvalues) {
    crossesUpvalues = false;
    BlockScope *block = fs.block;
    while (block && !block->isLoop) {
        crossesUpvalues |= block->hasUpvalue;
        block = block->previous;
    }
    return block;
}

void CompileAssign(FuncState &fs, const Stat &s) {
    std::vector<ExpDesc> targets;
    for (const ExprPtr &target : s.targets) {
        ExpDesc v;
        CompileExpr(fs, *target, v);
        if (v.kind != ExpKind::Local && v.kind != ExpKind::Upvalue && v.kind != ExpKind::Global &&
            v.kind != ExpKind::Indexed)
            Fail(fs, "cannot assign to this expression");
        // A local assigned here may also be the table or key of an earlier target: those read a copy.
        if (v.kind == ExpKind::Local) {
            bool conflict = false;
            int extra = fs.freeRegister;
            for (ExpDesc &earlier : targets) {
                if (earlier.kind != ExpKind::Indexed) continue;
                if (earlier.info == v.info) {
                    conflict = true;
                    earlier.info = extra;
                }
                if (earlier.aux == v.info) {
                    conflict = true;
                    earlier.aux = extra;
                }
            }
            if (conflict) {
                CodeABC(fs, OP_MOVE, extra, v.info, 0);
                ReserveRegisters(fs, 1);
            }
        }
        targets.push_back(v);
    }
    ExpDesc last;
    int count = CompileExpressionList(fs, s.values, last);
    int variables = int(targets.size());
    if (count == variables) {
        SetOneResult(fs, last);
        StoreVar(fs, targets.back(), last);
    } else {
        AdjustAssign(fs, variables, count, last);
        if (count > variables) fs.freeRegister -= count - variables;
        ExpDesc top = MakeExp(ExpKind::NonReloc, fs.freeRegister - 1);
        StoreVar(fs, targets.back(), top);
    }
    for (int i = variables - 2; i >= 0; --i) {
        ExpDesc top = MakeExp(ExpKind::NonReloc, fs.freeRegister - 1);
        StoreVar(fs, targets[size_t(i)], top);
    }
}

void CompileLocal(FuncState &fs, const Stat &s) {
    std::vector<std::string> pending;
    for (const std::string &name : s.names) NewLocal(fs, name, pending);
    ExpDesc last;
    int count = s.values.empty() ? 0 : CompileExpressionList(fs, s.values, last);
    AdjustAssign(fs, int(s.names.size()), count, last);
    ActivateLocals(fs, pending);
}

void CompileLocalFunction(FuncState &fs, const Stat &s) {
    std::vector<std::string> pending;
    NewLocal(fs, s.names[0], pending);
    ExpDesc v = MakeExp(ExpKind::Local, fs.freeRegister);
    ReserveRegisters(fs, 1);
    ActivateLocals(fs, pending); // visible inside its own body, so it can call itself
    ExpDesc body;
    CompileFunction(fs, *s.function, body);
    StoreVar(fs, v, body);
    fs.proto->locals[size_t(fs.actives.back().debugIndex)].startPc = uint32_t(Pc(fs));
}

// Compiles a condition; returns the list of jumps taken when it is false.
int CompileCondition(FuncState &fs, const Expr &condition) {
    ExpDesc v;
    CompileExpr(fs, condition, v);
    GoIfTrue(fs, v);
    return v.falseList;
}

void CompileScopedBlock(FuncState &fs, const Block &body) {
    BlockScope block;
    EnterBlock(fs, block, false);
    CompileBlock(fs, body);
    LeaveBlock(fs);
}

void CompileIf(FuncState &fs, const Stat &s) {
    int escapes = kNoJump;
    for (size_t i = 0; i < s.clauses.size(); ++i) {
        const IfClause &clause = s.clauses[i];
        fs.line = clause.line;
        if (!clause.condition) {
            CompileScopedBlock(fs, clause.body);
            break;
        }
        int falseExit = CompileCondition(fs, *clause.condition);
        CompileScopedBlock(fs, clause.body);
        if (i + 1 < s.clauses.size()) {
            fs.line = s.clauses[i + 1].line;
            Concat(fs, escapes, Jump(fs));
        }
        PatchToHere(fs, falseExit);
    }
    PatchToHere(fs, escapes);
}

void CompileWhile(FuncState &fs, const Stat &s) {
    int start = GetLabel(fs);
    int exit = CompileCondition(fs, *s.expression);
    BlockScope loop;
    EnterBlock(fs, loop, true);
    CompileScopedBlock(fs, s.body);
    fs.line = s.body.endLine;
    PatchList(fs, Jump(fs), start);
    LeaveBlock(fs);
    PatchToHere(fs, exit);
}

void CompileRepeat(FuncState &fs, const Stat &s) {
    int start = GetLabel(fs);
    BlockScope loop, scope;
    EnterBlock(fs, loop, true);
    EnterBlock(fs, scope, false);
    CompileBlock(fs, s.body);
    fs.line = s.expression->line;
    int exit = CompileCondition(fs, *s.expression); // sees the body's locals
    if (!scope.hasUpvalue) {
        LeaveBlock(fs);
        PatchList(fs, exit, start);
    } else {
        // Captured locals must be closed on both ways out: leave through the break list when true.
        CodeABC(fs, OP_CLOSE, scope.activeLocals, 0, 0);
        Concat(fs, loop.breakList, Jump(fs));
        PatchToHere(fs, exit);
        LeaveBlock(fs);
        PatchList(fs, Jump(fs), start);
    }
    LeaveBlock(fs);
}

void CompileForBody(FuncState &fs, const Stat &s, int base, int variables, bool numeric) {
    int prep = numeric ? CodeAsBx(fs, OP_FORPREP, base, kNoJump) : Jump(fs);
    BlockScope scope;
    EnterBlock(fs, scope, false);
    std::vector<std::string> pending;
    for (int i = 0; i < variables; ++i) NewLocal(fs, s.names[size_t(i)], pending);
    ActivateLocals(fs, pending);
    ReserveRegisters(fs, variables);
    CompileBlock(fs, s.body);
    LeaveBlock(fs);
    fs.line = s.line;
    PatchToHere(fs, prep);
    int loop;
    if (numeric) {
        loop = CodeAsBx(fs, OP_FORLOOP, base, kNoJump);
    } else {
        CodeABC(fs, OP_TFORCALL, base, 0, variables);
        loop = CodeAsBx(fs, OP_TFORLOOP, base, kNoJump);
    }
    PatchList(fs, loop, prep + 1);
}

void CompileNumericFor(FuncState &fs, const Stat &s) {
    BlockScope loop;
    EnterBlock(fs, loop, true);
    int base = fs.freeRegister;
    std::vector<std::string> pending;
    NewLocal(fs, "(for index)", pending);
    NewLocal(fs, "(for limit)", pending);
    NewLocal(fs, "(for step)", pending);
    for (size_t i = 0; i < 3; ++i) {
        if (i < s.values.size()) {
            ExpDesc v;
            CompileExpr(fs, *s.values[i], v);
            ExpToNextRegister(fs, v);
        } else {
            CodeAsBx(fs, OP_LOADINT, fs.freeRegister, 1);
            ReserveRegisters(fs, 1);
        }
    }
    ActivateLocals(fs, pending);
    CompileForBody(fs, s, base, 1, true);
    LeaveBlock(fs);
}

void CompileGenericFor(FuncState &fs, const Stat &s) {
    BlockScope loop;
    EnterBlock(fs, loop, true);
    int base = fs.freeRegister;
    std::vector<std::string> pending;
    NewLocal(fs, "(for generator)", pending);
    NewLocal(fs, "(for state)", pending);
    NewLocal(fs, "(for control)", pending);
    ExpDesc last;
    int count = CompileExpressionList(fs, s.values, last);
    AdjustAssign(fs, 3, count, last);
    CheckStack(fs, 3); // room for the iterator call
    ActivateLocals(fs, pending);
    CompileForBody(fs, s, base, int(s.names.size()), false);
    LeaveBlock(fs);
}

void CompileReturn(FuncState &fs, const Stat &s) {
    if (fs.proto->isMainChunk) {
        // Locals of the body captured by closures must not follow the registers into the next run of it.
        if (fs.inLabel) CodeABC(fs, OP_CLOSE, fs.labelScopeBase, 0, 0);
        CodeABC(fs, OP_RETSUB, 0, 0, 0);
        return;
    }
    int first = 0, count = 0;
    if (!s.values.empty()) {
        ExpDesc last;
        count = CompileExpressionList(fs, s.values, last);
        if (HasMultipleResults(last)) {
            SetMultipleResults(fs, last);
            if (last.kind == ExpKind::Call && count == 1) {
                Instruction &call = InstructionOf(fs, last);
                call = CreateABC(OP_TAILCALL, GetA(call), GetB(call), 0);
            }
            first = ActiveCount(fs);
            count = kMultipleResults;
        } else if (count == 1) {
            first = ExpToAnyRegister(fs, last);
        } else {
            ExpToNextRegister(fs, last);
            first = ActiveCount(fs);
        }
    }
    CodeABC(fs, OP_RETURN, first, count + 1, 0);
}

// Label NAME body EndLabel: a subroutine that only Gosub (or an event) enters; running into it jumps over it.
void CompileLabel(FuncState &fs, const Stat &s) {
    if (!fs.labelNames.insert(s.names[0]).second) Fail(fs, "label '" + s.names[0] + "' is defined twice");
    int skip = Jump(fs);
    ProtoLabel label;
    label.name = s.names[0];
    label.pc = uint32_t(GetLabel(fs));
    fs.proto->labels.push_back(label);

    BlockScope scope;
    EnterBlock(fs, scope, false);
    fs.inLabel = true;
    fs.labelScopeBase = ActiveCount(fs);
    // Reserve the registers below the body's own as unnamed locals (never read, so never loaded).
    int padding = fs.labelBase - ActiveCount(fs);
    if (fs.labelBase + 2 > kMaxFunctionRegisters)
        Fail(fs, "too many label bodies: together they need more than " + std::to_string(kMaxFunctionRegisters) +
                     " registers (move work into functions)");
    for (int i = 0; i < padding; ++i) {
        ProtoLocal local;
        local.name = "(label base)";
        local.startPc = uint32_t(Pc(fs));
        local.reg = uint8_t(ActiveCount(fs));
        fs.proto->locals.push_back(local);
        fs.actives.push_back({local.name, int(fs.proto->locals.size()) - 1});
    }
    if (padding > 0) ReserveRegisters(fs, padding);
    fs.paddingLocals = std::max(padding, 0);
    CompileBlock(fs, s.body);
    fs.line = s.body.endLine;
    CodeABC(fs, OP_CLOSE, fs.labelScopeBase, 0, 0);
    CodeABC(fs, OP_RETSUB, 0, 0, 0);
    LeaveBlock(fs);
    fs.inLabel = false;
    fs.paddingLocals = 0;
    if (fs.labelBase >= 0) fs.labelBase = fs.proto->maxStack; // the next body sits above this one
    PatchToHere(fs, skip);
}

void CompileStatement(FuncState &fs, const Stat &s) {
    fs.line = s.line;
    fs.column = s.column;
    switch (s.kind) {
    case StatKind::Local: CompileLocal(fs, s); break;
    case StatKind::LocalFunction: CompileLocalFunction(fs, s); break;
    case StatKind::Assign: CompileAssign(fs, s); break;
    case StatKind::Call: {
        ExpDesc v;
        CompileExpr(fs, *s.expression, v);
        InstructionOf(fs, v) = WithC(InstructionOf(fs, v), 1); // no results wanted
        break;
    }
    case StatKind::If: CompileIf(fs, s); break;
    case StatKind::NumericFor: CompileNumericFor(fs, s); break;
    case StatKind::GenericFor: CompileGenericFor(fs, s); break;
    case StatKind::While: CompileWhile(fs, s); break;
    case StatKind::Repeat: CompileRepeat(fs, s); break;
    case StatKind::Break: {
        bool crossesUpvalues;
        BlockScope *loop = InnermostLoop(fs, crossesUpvalues);
        if (!loop) Fail(fs, "'Break' outside a loop");
        if (crossesUpvalues) CodeABC(fs, OP_CLOSE, loop->activeLocals, 0, 0);
        Concat(fs, loop->breakList, Jump(fs));
        break;
    }
    case StatKind::Return: CompileReturn(fs, s); break;
    case StatKind::Gosub: {
        int pc = CodeAsBx(fs, OP_GOSUB, 0, kNoJump);
        fs.gosubs.push_back({pc, s.names[0], s.line, s.column});
        GetLabel(fs); // the return lands on the next instruction
        break;
    }
    case StatKind::Label: CompileLabel(fs, s); break;
    }
    fs.freeRegister = ActiveCount(fs);
}

void CompileBlock(FuncState &fs, const Block &block) {
    for (const Stat &s : block.statements) CompileStatement(fs, s);
}

void OpenFunction(FuncState &fs, FuncState *parent, FunctionProto &proto) {
    fs.proto = &proto;
    fs.parent = parent;
    proto.maxStack = 2;
}

void CloseFunction(FuncState &fs, int endLine) {
    fs.line = endLine;
    RemoveLocals(fs, 0);
    CodeABC(fs, OP_RETURN, 0, 1, 0);
}

void CompileFunction(FuncState &parent, const FunctionNode &node, ExpDesc &out) {
    if (parent.proto->protos.size() >= kMaxProtoChildren) Fail(parent, "too many functions in one function");
    parent.proto->protos.emplace_back();
    int index = int(parent.proto->protos.size()) - 1;
    FunctionProto &proto = parent.proto->protos.back();
    proto.source = parent.proto->source;
    proto.lineDefined = node.line;
    proto.isVararg = node.vararg;
    FuncState fs;
    OpenFunction(fs, &parent, proto);
    fs.line = node.line;
    fs.column = parent.column;
    std::vector<std::string> pending;
    for (const std::string &name : node.parameters) NewLocal(fs, name, pending);
    ActivateLocals(fs, pending);
    proto.numParams = uint8_t(node.parameters.size());
    ReserveRegisters(fs, int(node.parameters.size()));
    CompileBlock(fs, node.body);
    CloseFunction(fs, node.endLine);
    // The vector may not grow while the child is compiled (only the child's own vector does), so proto is still
    // valid here.
    out = MakeExp(ExpKind::Relocable, CodeABx(parent, OP_CLOSURE, 0, index));
}

} // namespace

namespace {

// One pass over the main program. labelBase -1 measures what the code outside label bodies needs.
void GeneratePass(const ScriptNode &script, const std::string &chunkName, FunctionProto &main, int labelBase,
                  int *maxOutsideLabels) {
    main = FunctionProto{};
    main.source = chunkName;
    main.isMainChunk = true;
    FuncState fs;
    OpenFunction(fs, nullptr, main);
    fs.labelBase = labelBase;
    CompileBlock(fs, script.main.body);
    CloseFunction(fs, script.main.endLine);
    std::map<std::string, int> labelPcs;
    for (const ProtoLabel &label : main.labels) labelPcs.emplace(label.name, int(label.pc));
    for (const PendingGosub &gosub : fs.gosubs) {
        auto target = labelPcs.find(gosub.label);
        fs.line = gosub.line;
        fs.column = gosub.column;
        if (target == labelPcs.end()) Fail(fs, "unknown label '" + gosub.label + "'");
        FixJump(fs, gosub.pc, target->second);
    }
    *maxOutsideLabels = fs.maxOutsideLabels;
}

} // namespace

bool GenerateCode(const ScriptNode &script, const std::string &chunkName, FunctionProto &main, CompileError &error) {
    try {
        int maxOutsideLabels = 0;
        GeneratePass(script, chunkName, main, -1, &maxOutsideLabels);
        if (!main.labels.empty()) GeneratePass(script, chunkName, main, maxOutsideLabels, &maxOutsideLabels);
    } catch (const CodegenFailure &failure) {
        error.line = failure.line;
        error.column = failure.column;
        error.message = failure.message;
        return false;
    }
    return true;
}

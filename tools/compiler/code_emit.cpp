// The emitting layer of the code generator: patch lists for jumps, register allocation, constants, putting
// expression descriptors into registers, conditions as compare-and-jump pairs, and scopes with their locals and
// upvalues.
#include <cmath>
#include <cstring>

#include "tools/compiler/codegen_state.h"

namespace codegen {

// ---- Jump lists -------------------------------------------------------------------------------------------
// A list is chained through the sBx fields of its jumps; kNoJump ends it.

static int GetJump(FuncState &fs, int pc) {
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
static Instruction &JumpControl(FuncState &fs, int pc) {
    if (pc >= 1 && (kOpcodeInfo[GetOp(InstructionAt(fs, pc - 1))].flags & kOpFlagTest)) return InstructionAt(fs, pc - 1);
    return InstructionAt(fs, pc);
}

static bool NeedsValue(FuncState &fs, int list) {
    for (; list != kNoJump; list = GetJump(fs, list))
        if (GetOp(JumpControl(fs, list)) != OP_TESTSET) return true;
    return false;
}

// A TESTSET either gets its destination register or, when none is wanted, becomes a plain TEST.
static bool PatchTestRegister(FuncState &fs, int node, int reg) {
    Instruction &i = JumpControl(fs, node);
    if (GetOp(i) != OP_TESTSET) return false;
    if (reg != kNoRegister && reg != GetB(i))
        i = WithA(i, reg);
    else
        i = CreateABC(OP_TEST, GetB(i), 0, GetC(i));
    return true;
}

static void RemoveValues(FuncState &fs, int list) {
    for (; list != kNoJump; list = GetJump(fs, list)) PatchTestRegister(fs, list, kNoRegister);
}

static void PatchListAux(FuncState &fs, int list, int valueTarget, int reg, int defaultTarget) {
    while (list != kNoJump) {
        int next = GetJump(fs, list);
        if (PatchTestRegister(fs, list, reg))
            FixJump(fs, list, valueTarget);
        else
            FixJump(fs, list, defaultTarget);
        list = next;
    }
}

static void DischargePendingJumps(FuncState &fs) {
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

static int CondJump(FuncState &fs, OpCode op, int a, int b, int c) {
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

static void FreeRegister(FuncState &fs, int reg) {
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
static int NumberConstant(FuncState &fs, double n) { return AddConstant(fs, ProtoConstant::Number(n)); }
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

static bool FitsLoadInt(double n) {
    return n == std::floor(n) && n >= -kMaxSBx && n <= kMaxSBx + 1 && !(n == 0 && std::signbit(n));
}

static void DischargeToRegister(FuncState &fs, ExpDesc &e, int reg) {
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

static void DischargeToAnyRegister(FuncState &fs, ExpDesc &e) {
    if (e.kind != ExpKind::NonReloc) {
        ReserveRegisters(fs, 1);
        DischargeToRegister(fs, e, fs.freeRegister - 1);
    }
}

// Loads the number b into reg; jumps over the next instruction when skipNext. The landing pads that turn a
// condition's jumps into the values 0 and 1.
static int CodeLoadTruth(FuncState &fs, int reg, int b, bool skipNext) {
    GetLabel(fs);
    int pc = CodeAsBx(fs, OP_LOADINT, reg, b);
    if (skipNext) CodeAsBx(fs, OP_JMP, 0, 1);
    return pc;
}

static void ExpToRegister(FuncState &fs, ExpDesc &e, int reg) {
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
static int KnownTruth(FuncState &fs, const ExpDesc &e) {
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

static void RemoveLastInstruction(FuncState &fs) {
    fs.proto->code.pop_back();
    fs.proto->lines.pop_back();
}

static bool IsNumberConstant(const ExpDesc &e, double n) { return e.kind == ExpKind::Number && e.number == n; }

// A jump taken when truth(e) == condition.
static int JumpOnCondition(FuncState &fs, ExpDesc &e, int condition) {
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

// Falls through when e has the truth `through` (1 or 0); the exits of the other truth go to its list.
static void GoIf(FuncState &fs, ExpDesc &e, int through) {
    DischargeVars(fs, e);
    int &exits = through ? e.falseList : e.trueList, &here = through ? e.trueList : e.falseList;
    int jump;
    int truth = KnownTruth(fs, e);
    if (truth == through)
        jump = kNoJump;
    else if (truth == !through && IsNumberConstant(e, !through))
        jump = Jump(fs); // the other exit loads this very value
    else
        jump = JumpOnCondition(fs, e, !through);
    Concat(fs, exits, jump);
    PatchToHere(fs, here);
    here = kNoJump;
}

void GoIfTrue(FuncState &fs, ExpDesc &e) { GoIf(fs, e, 1); }
void GoIfFalse(FuncState &fs, ExpDesc &e) { GoIf(fs, e, 0); }

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

static int SearchLocal(const FuncState &fs, const std::string &name) {
    for (int i = ActiveCount(fs) - 1; i >= 0; --i)
        if (fs.actives[size_t(i)].name == name) return i;
    return -1;
}

static void MarkUpvalue(FuncState &fs, int level) {
    BlockScope *block = fs.block;
    while (block && block->activeLocals > level) block = block->previous;
    if (block) block->hasUpvalue = true;
}

static int IndexUpvalue(FuncState &fs, const std::string &name, const ExpDesc &v) {
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

static ExpKind ResolveName(FuncState *fs, const std::string &name, ExpDesc &v, bool base) {
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

} // namespace codegen

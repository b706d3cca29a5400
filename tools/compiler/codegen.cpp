// The code generator's walker: statements and expressions of the syntax tree to instructions, through the
// emitting layer (code_emit.cpp). Conditions compile to compare-and-jump pairs, `And`/`Or` yield their deciding
// operand without copies, and values land directly in the register that needs them.
#include "tools/compiler/codegen.h"

#include <algorithm>

#include "runtime/vm/vm.h"
#include "tools/compiler/codegen_state.h"
#include "tools/compiler/names.h"

namespace codegen {
namespace {

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
    if (e.a->kind == ExprKind::Name && function.kind == ExpKind::Global && fs.globals) {
        fs.globals->called.push_back({e.a->text, e.a->line, e.a->column, !fs.parent && !fs.inLabel, fs.control});
        for (size_t n = 0; n < e.list.size(); n++)
            if (e.list[n]->kind == ExprKind::Table)
                for (const TableField &field : e.list[n]->fields)
                    if (field.key && field.key->kind == ExprKind::String)
                        fs.globals->optionKeys.push_back({e.a->text, field.key->text, n, field.key->line,
                                                          field.key->column});
    }
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

// Literal text that is no number, added with '+': an error whenever it runs, unless a metamethod takes it.
bool IsTextAddition(const Expr &e) {
    double ignored;
    auto text = [&](const Expr &operand) {
        return operand.kind == ExprKind::String && !ParseNumber(operand.text.data(), operand.text.size(), &ignored);
    };
    return e.binary == BinaryOp::Add && (text(*e.a) || text(*e.b));
}

void CompileBinary(FuncState &fs, const Expr &e, ExpDesc &out) {
    BinaryOp op = e.binary;
    if (fs.globals && IsTextAddition(e)) fs.globals->textAdded.push_back({"", e.line, e.column});
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
    case ExprKind::Constant:
        if (!IsKnownConstant(e.text)) {
            std::string message = "unknown constant '#" + e.text + "'";
            std::string suggestion = SuggestConstant(e.text);
            if (!suggestion.empty()) message += " (did you mean '#" + suggestion + "'?)";
            Fail(fs, message);
        }
        out = MakeExp(ExpKind::Constant, AddConstant(fs, ProtoConstant::Symbol(e.text))); return;
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
        if (v.kind == ExpKind::Global && fs.globals) {
            fs.globals->assigned.insert(target->text);
            const size_t n = targets.size();
            if (!fs.parent && !fs.inLabel && n < s.values.size() && s.values[n]->kind == ExprKind::Function)
                fs.globals->definedAtTopLevel.emplace(target->text,
                                                      GlobalUse{target->text, s.line, s.column, true, fs.control});
            else
                fs.globals->assignedElsewhere.insert(target->text);
        }
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
    if (fs.globals) fs.globals->localFunctions.push_back({s.names[0], s.line, s.column});
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

// Puts what is compiled in its lifetime inside a loop or a body that may not run (FuncState::control).
struct ControlMark {
    FuncState &fs;
    ControlMark(FuncState &state, bool loop) : fs(state) {
        ++fs.controlCount;
        fs.control.push_back(loop ? fs.controlCount : -fs.controlCount);
    }
    ~ControlMark() { fs.control.pop_back(); }
};

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
            ControlMark guard(fs, false);
            CompileScopedBlock(fs, clause.body);
            break;
        }
        int falseExit = CompileCondition(fs, *clause.condition);
        {
            ControlMark guard(fs, false);
            CompileScopedBlock(fs, clause.body);
        }
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
    {
        ControlMark guard(fs, false), repeated(fs, true);
        CompileScopedBlock(fs, s.body);
    }
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
    {
        ControlMark repeated(fs, true);
        CompileBlock(fs, s.body);
    }
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
    {
        ControlMark guard(fs, false), repeated(fs, true);
        CompileBlock(fs, s.body);
    }
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
    if (parent) fs.globals = parent->globals;
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


// A call under a condition inside a loop that also holds the definition may first run on a later pass, after the
// definition ran. A condition the two share does not count: the first pass into it meets the call first.
bool MayFirstRunAfter(const std::vector<int> &call, const std::vector<int> &definition) {
    size_t shared = 0;
    while (shared < call.size() && shared < definition.size() && call[shared] == definition[shared]) shared++;
    const auto split = call.begin() + std::ptrdiff_t(shared);
    return std::any_of(call.begin(), split, [](int mark) { return mark > 0; }) &&
           std::any_of(split, call.end(), [](int mark) { return mark < 0; });
}

// One pass over the main program. labelBase -1 measures what the code outside label bodies needs.
void GeneratePass(const ScriptNode &script, const std::string &chunkName, FunctionProto &main, int labelBase,
                  int *maxOutsideLabels, GlobalNames *globals) {
    main = FunctionProto{};
    main.source = chunkName;
    main.isMainChunk = true;
    FuncState fs;
    OpenFunction(fs, nullptr, main);
    *globals = GlobalNames{};
    fs.globals = globals;
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
} // namespace codegen

using namespace codegen;

bool GenerateCode(const ScriptNode &script, const std::string &chunkName, FunctionProto &main, CompileError &error,
                  std::vector<CompileError> *warnings) {
    GlobalNames globals;
    try {
        int maxOutsideLabels = 0;
        GeneratePass(script, chunkName, main, -1, &maxOutsideLabels, &globals);
        if (!main.labels.empty())
            GeneratePass(script, chunkName, main, maxOutsideLabels, &maxOutsideLabels, &globals);
    } catch (const CodegenFailure &failure) {
        error.line = failure.line;
        error.column = failure.column;
        error.message = failure.message;
        return false;
    }
    if (!warnings) return true;
    const size_t first = warnings->size();
    // A call to a global the script never assigns is a command or a mistake. Only a warning: a script may set
    // globals in ways the compiler cannot see.
    for (const GlobalUse &use : globals.called) {
        if (globals.assigned.count(use.name) || IsKnownCommand(use.name)) continue;
        const auto below = std::find_if(globals.localFunctions.begin(), globals.localFunctions.end(),
                                        [&](const GlobalUse &local) {
                                            return local.name == use.name &&
                                                   (local.line > use.line ||
                                                    (local.line == use.line && local.column > use.column));
                                        });
        std::string message;
        if (below != globals.localFunctions.end()) {
            message = "'" + use.name + "' is a Local Function defined further down, at line " +
                      std::to_string(below->line) +
                      ", and a local is seen only below its definition: move the Local Function above the call";
        } else {
            message = "unknown command '" + use.name + "'";
            std::string suggestion = SuggestCommand(use.name);
            if (!suggestion.empty()) message += " (did you mean '" + suggestion + "'?)";
        }
        warnings->push_back(CompileError{error.file, use.line, use.column, message});
    }
    // A function exists once its definition has run: a call the main program makes above it finds Nil.
    for (const GlobalUse &use : globals.called) {
        auto definition = globals.definedAtTopLevel.find(use.name);
        if (!use.topLevel || definition == globals.definedAtTopLevel.end() ||
            globals.assignedElsewhere.count(use.name) || IsKnownCommand(use.name))
            continue;
        const GlobalUse &at = definition->second;
        if (at.line < use.line || (at.line == use.line && at.column < use.column)) continue;
        if (MayFirstRunAfter(use.control, at.control)) continue;
        warnings->push_back(CompileError{error.file, use.line, use.column,
                                         "'" + use.name + "' is called before its definition at line " +
                                             std::to_string(at.line) +
                                             " has run, so it is still Nil here: move the Function above the call"});
    }
    for (const GlobalUse &use : globals.textAdded)
        warnings->push_back(CompileError{error.file, use.line, use.column, "'+' adds numbers: text is joined with '..'"});
    // Keys of a table written out in a command's call where it reads options, against the keys it reads.
    for (const OptionUse &use : globals.optionKeys) {
        if (globals.assigned.count(use.command) || !IsKnownCommand(use.command) ||
            !TakesOptionsAt(use.command, use.argument) || IsKnownOption(use.command, use.key))
            continue;
        std::string message = "unknown option '" + use.key + "' of " + CommandSpelling(use.command);
        std::string suggestion = SuggestOption(use.command, use.key);
        if (!suggestion.empty()) message += " (did you mean '" + suggestion + "'?)";
        warnings->push_back(CompileError{error.file, use.line, use.column, message});
    }
    // In the order of the source, as an editor lists them.
    std::stable_sort(warnings->begin() + std::ptrdiff_t(first), warnings->end(),
                     [](const CompileError &a, const CompileError &b) {
                         return a.line != b.line ? a.line < b.line : a.column < b.column;
                     });
    return true;
}

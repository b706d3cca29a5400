// Descriptions of failed operations for error reports: what was attempted and on what, with the operands named as
// the script names them. A register's name comes from the chunk's locals, or else from the instruction that last
// wrote it (a global, a field, an upvalue or a method), found by scanning the function's code up to the failing
// instruction. Only runs when an error is raised.
#include <string>

#include "runtime/vm/vm_internal.h"

namespace {

struct OperandName {
    const char *kind = nullptr; // "local", "global", "field", "upvalue", "method"; null when unknown
    std::string name;
    bool parameter = false; // a parameter of the running function
};

const char *TypeName(const VMValue *v) {
    switch (v->tt) {
    case TNIL: return "Nil";
    case TBOOLEAN: return "boolean";
    case TLIGHTHANDLE: return "handle";
    case TNUMBER: return "number";
    case TSTRING: return "string";
    case TTABLE: return "table";
    case TFUNCTION: return "function";
    case TUSERDATA: return "userdata";
    default: return "value";
    }
}

std::string ConstantText(const Proto *p, int index) {
    if (index < 0 || size_t(index) >= p->k.size() || p->k[size_t(index)].tt != TSTRING) return {};
    const VMString *s = AsString(&p->k[size_t(index)]);
    return std::string(StringData(s), s->length);
}

bool Writes(Instruction i, int reg) {
    const int a = GetA(i);
    switch (GetOp(i)) {
    case OP_LOADNIL: return a <= reg && reg <= a + GetB(i);
    case OP_CALL:
    case OP_TAILCALL:
    case OP_VARARG: return reg >= a;
    case OP_TFORCALL: return reg >= a + 3;
    case OP_SELF: return reg == a || reg == a + 1;
    case OP_FORPREP: return reg >= a && reg <= a + 2;
    case OP_FORLOOP: return reg == a || reg == a + 3;
    case OP_TFORLOOP: return reg == a + 2;
    case OP_SETGLOBAL:
    case OP_SETUPVAL:
    case OP_SETTABLE:
    case OP_SETLIST:
    case OP_EQ:
    case OP_LT:
    case OP_LE:
    case OP_TEST:
    case OP_JMP:
    case OP_RETURN:
    case OP_CLOSE:
    case OP_GOSUB:
    case OP_RETSUB: return false;
    default: return reg == a;
    }
}

// The instruction before lastPc that last wrote reg on every path to it, or -1. A write that a forward jump or
// a label may have bypassed is not trusted.
int FindSetRegister(const Proto *p, int lastPc, int reg) {
    int setPc = -1, jumpTarget = 0;
    for (const ProtoLabel &label : p->labels)
        if (int(label.pc) <= lastPc && int(label.pc) > jumpTarget) jumpTarget = int(label.pc);
    for (int pc = 0; pc < lastPc; pc++) {
        const Instruction i = p->code[size_t(pc)];
        const OpCode op = GetOp(i);
        if (op == OP_JMP || op == OP_GOSUB) {
            const int dest = pc + 1 + GetSBx(i);
            if (pc < dest && dest <= lastPc && dest > jumpTarget) jumpTarget = dest;
        }
        if (Writes(i, reg)) setPc = pc < jumpTarget ? -1 : pc;
        if (op == OP_SETLIST && GetC(i) == 0) pc++; // the next word is data
    }
    return setPc;
}

OperandName NameRegister(const Proto *p, int pc, int reg, int depth = 0);

// The key of an element read as the script wrote it: a number, a text, a variable's name, or "?".
std::string KeyText(const Proto *p, int pc, int rk, int depth) {
    if (!IsRKConstant(rk)) {
        const OperandName key = NameRegister(p, pc, rk, depth);
        return key.kind ? key.name : "?";
    }
    const size_t index = size_t(RKConstantIndex(rk));
    if (index >= p->k.size()) return "?";
    if (p->k[index].tt == TSTRING) return std::string("\"").append(ConstantText(p, int(index))).append("\"");
    if (p->k[index].tt != TNUMBER) return "?";
    char number[64];
    return std::string(number, size_t(FormatNumber(p->k[index].u.n, number, sizeof number)));
}

OperandName NameRegister(const Proto *p, int pc, int reg, int depth) {
    OperandName out;
    const ProtoLocal *local = nullptr;
    for (const ProtoLocal &l : p->locals)
        if (l.reg == reg && int(l.startPc) <= pc && pc < int(l.endPc) && !l.name.empty() && l.name[0] != '(')
            local = &l;
    if (local) {
        out.kind = "local";
        out.name = local->name;
        out.parameter = reg < p->numParams && local->startPc == 0;
        return out;
    }
    const int setPc = FindSetRegister(p, pc, reg);
    if (setPc < 0) return out;
    const Instruction i = p->code[size_t(setPc)];
    switch (GetOp(i)) {
    case OP_MOVE:
        if (GetB(i) < GetA(i) && depth < 8) return NameRegister(p, setPc, GetB(i), depth + 1);
        break;
    case OP_GETGLOBAL:
        out.name = ConstantText(p, GetBx(i));
        out.kind = "global";
        break;
    case OP_GETTABLE:
    case OP_SELF:
        if (IsRKConstant(GetC(i))) {
            out.name = ConstantText(p, RKConstantIndex(GetC(i)));
            out.kind = GetOp(i) == OP_SELF ? "method" : "field";
        }
        // "titles[n]": an element read with a number or a variable, as a list of slides is.
        if (out.name.empty() && GetOp(i) == OP_GETTABLE && depth < 8) {
            const OperandName table = NameRegister(p, setPc, GetB(i), depth + 1);
            if (table.kind) {
                out.kind = "element";
                out.name = table.name + "[" + KeyText(p, setPc, GetC(i), depth + 1) + "]";
            }
        }
        break;
    case OP_GETUPVAL:
        if (size_t(GetB(i)) < p->upvalues.size()) {
            out.name = p->upvalues[size_t(GetB(i))].name;
            out.kind = "upvalue";
        }
        break;
    default: break;
    }
    if (out.name.empty()) out.kind = nullptr;
    return out;
}

// The running script frame and the index of the instruction that failed, or null outside script code.
CallFrame *ScriptFrame(VMState *vm, int *pc) {
    CallFrame *ci = vm->ci;
    if (ci->cl == nullptr) return nullptr;
    *pc = int(ci->savedpc - ci->cl->p->codePtr) - 1;
    return *pc >= 0 && size_t(*pc) < ci->cl->p->code.size() ? ci : nullptr;
}

OperandName NameOperand(VMState *vm, const VMValue *v) {
    int pc;
    CallFrame *ci = ScriptFrame(vm, &pc);
    if (ci == nullptr || v < ci->base || v >= ci->top) return {};
    return NameRegister(ci->cl->p, pc, int(v - ci->base));
}

std::string NameSuffix(const OperandName &n) {
    return n.kind ? std::string(" (") + n.kind + " '" + n.name + "')" : std::string();
}

// "Function 'area' expects 2 arguments, got 1!" when v is a parameter left Nil because the call passed too few.
std::string MissingArgumentNote(VMState *vm, const VMValue *v, const OperandName &n) {
    CallFrame *ci = vm->ci;
    if (!n.parameter || v->tt != TNIL || ci->tailCalled || ci == vm->frames || ci[-1].cl == nullptr) return {};
    const CallFrame *caller = ci - 1;
    const Proto *cp = caller->cl->p;
    const int callPc = int(caller->savedpc - cp->codePtr) - 1;
    if (callPc < 0 || size_t(callPc) >= cp->code.size()) return {};
    const Instruction call = cp->code[size_t(callPc)];
    if (GetOp(call) != OP_CALL || GetB(call) == 0) return {};
    const int given = GetB(call) - 1, expected = ci->cl->p->numParams;
    if (given >= expected) return {};
    const OperandName callee = NameRegister(cp, callPc, GetA(call));
    std::string text = callee.kind ? "Function '" + callee.name + "'" : std::string("The function");
    return " " + text + " expects " + std::to_string(expected) + (expected == 1 ? " argument" : " arguments") +
           ", got " + std::to_string(given) + "!";
}

// "Nil (global 'x')", "a number": an operand as a noun.
std::string OperandText(VMState *vm, const VMValue *v, std::string *note) {
    const OperandName n = NameOperand(vm, v);
    if (note->empty()) *note = MissingArgumentNote(vm, v, n);
    std::string text = v->tt == TNIL ? std::string("Nil") : std::string("a ") + TypeName(v);
    return text + NameSuffix(n);
}

std::string ValueSentence(VMState *vm, const char *attempt, const VMValue *v) {
    const OperandName n = NameOperand(vm, v);
    return std::string("Attempt to ") + attempt + " a " + TypeName(v) + " value" + NameSuffix(n) + "!" +
           MissingArgumentNote(vm, v, n);
}

} // namespace

std::string DescribeCall(VMState *vm, const VMValue *callee) { return ValueSentence(vm, "call", callee); }

std::string DescribeIndex(VMState *vm, const VMValue *object) { return ValueSentence(vm, "index", object); }

std::string DescribeArith(VMState *vm, const VMValue *a, const VMValue *b, TMEvent event) {
    std::string note;
    const std::string x = OperandText(vm, a, &note);
    if (event == TM_UNM) return "Attempt to negate " + x + "!" + note;
    const std::string y = OperandText(vm, b, &note);
    std::string text;
    // Text that is no number, added to a number or text: the script meant to join them.
    double ignored;
    const bool joining = event == TM_ADD && (a->tt == TSTRING || b->tt == TSTRING) &&
                         (a->tt == TSTRING || a->tt == TNUMBER) && (b->tt == TSTRING || b->tt == TNUMBER) &&
                         !(ToNumberValue(a, &ignored) && ToNumberValue(b, &ignored));
    if (joining) note = " Text is joined with '..', not '+'." + note;
    switch (event) {
    case TM_ADD: text = "add " + x + " and " + y; break;
    case TM_SUB: text = "subtract " + y + " from " + x; break;
    case TM_MUL: text = "multiply " + x + " by " + y; break;
    case TM_DIV: text = "divide " + x + " by " + y; break;
    case TM_MOD: text = "take " + x + " modulo " + y; break;
    default: text = "raise " + x + " to the power of " + y; break;
    }
    return "Attempt to " + text + "!" + note;
}

std::string DescribeCompare(VMState *vm, const VMValue *a, const VMValue *b) {
    std::string note;
    const std::string x = OperandText(vm, a, &note);
    return "Attempt to compare " + x + " with " + OperandText(vm, b, &note) + "!" + note;
}

std::string DescribeConcat(VMState *vm, const VMValue *bad) {
    std::string note;
    return "Attempt to concatenate " + OperandText(vm, bad, &note) + "!" + note;
}

std::string DescribeLength(VMState *vm, const VMValue *v) {
    std::string note;
    return "Attempt to take the length of " + OperandText(vm, v, &note) + "!" + note;
}

std::string DescribeForValue(VMState *vm, const VMValue *v, const char *role) {
    std::string note;
    return "Attempt to use " + OperandText(vm, v, &note) + " as a For loop's " + role + "!" + note;
}

int SpreadArgumentCount(VMState *vm, std::string *source) {
    source->clear();
    const CallFrame *f = vm->ci;
    if (!f->isNative || f == vm->frames || f[-1].cl == nullptr) return 0;
    const CallFrame *caller = f - 1;
    const Proto *p = caller->cl->p;
    const int callPc = int(caller->savedpc - p->codePtr) - 1;
    if (callPc < 1 || size_t(callPc) >= p->code.size()) return 0;
    const Instruction call = p->code[size_t(callPc)];
    if ((GetOp(call) != OP_CALL && GetOp(call) != OP_TAILCALL) || GetB(call) != 0 ||
        caller->base + GetA(call) != f->func)
        return 0;
    // The part that left its values up to the top comes right before the call that takes them.
    const Instruction last = p->code[size_t(callPc - 1)];
    const VMValue *first = caller->base + GetA(last);
    if (first <= f->func || first > vm->top) return 0;
    if (GetOp(last) == OP_CALL && GetC(last) == 0) {
        const OperandName name = NameRegister(p, callPc - 1, GetA(last));
        if (name.kind) *source = name.name;
        // A command read from its global is named as registered ("Val" rather than the lower-cased "val").
        const int setPc = FindSetRegister(p, callPc - 1, GetA(last));
        const Instruction set = setPc >= 0 ? p->code[size_t(setPc)] : 0;
        if (setPc >= 0 && GetOp(set) == OP_GETGLOBAL && p->k[size_t(GetBx(set))].tt == TSTRING) {
            VMString *key = AsString(&p->k[size_t(GetBx(set))]);
            const VMValue *value = TableGetStr(AsTable(&vm->globals), key);
            if (value->tt == TFUNCTION && value->u.gc->gctype == kGCNative)
                *source = StringData(static_cast<const NativeFunction *>(value->u.gc)->name);
        }
    } else if (GetOp(last) == OP_VARARG && GetB(last) == 0) {
        *source = "...";
    } else {
        return 0;
    }
    return int(vm->top - first);
}

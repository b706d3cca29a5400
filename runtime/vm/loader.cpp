// Loading and dumping script functions: LoadChunk (decode, verify, resolve #NAME constants, build), the
// compiler's PushProtoClosure, and DumpStackFunction. A loaded function gets fresh Nil upvalues: upvalues are
// never stored.
#include <algorithm>
#include <cctype>
#include <new>

#include "runtime/vm/vm_internal.h"

namespace {

// A chunk larger than this is refused before it is decoded (no applet script comes near it).
constexpr size_t kMaxChunkBytes = size_t(1) << 30;
// The size of a dump's pieces handed to the writer.
constexpr size_t kDumpPieceSize = 4096;

size_t ProtoExtraBytes(const Proto *p) {
    size_t bytes = p->run.capacity() * sizeof(uint32_t) + p->code.capacity() * sizeof(Instruction) +
                   p->lines.capacity() * sizeof(int32_t) +
                   p->k.capacity() * sizeof(VMValue) + p->protos.capacity() * sizeof(Proto *) +
                   p->upvalues.capacity() * sizeof(ProtoUpvalue) + p->locals.capacity() * sizeof(ProtoLocal) +
                   p->labels.capacity() * sizeof(ProtoLabel);
    for (const ProtoUpvalue &u : p->upvalues) bytes += u.name.capacity();
    for (const ProtoLocal &l : p->locals) bytes += l.name.capacity();
    for (const ProtoLabel &l : p->labels) bytes += l.name.capacity();
    return bytes;
}

void ResolveSymbol(VMState *vm, const std::string &name, VMValue *out) {
    if (vm->constantResolver == nullptr) RaiseErrorDetail(vm, kErrUnknownConstant, "#" + name);
    VMValue *before = vm->top;
    int code = vm->constantResolver(vm, name.c_str());
    if (code != 0) {
        vm->top = before;
        RaiseErrorDetail(vm, code, "#" + name);
    }
    if (vm->top != before + 1 || (before->tt != TNUMBER && before->tt != TSTRING)) {
        vm->top = before;
        RaiseErrorDetail(vm, kErrUnknownConstant, "#" + name);
    }
    *out = *before;
    vm->top = before;
}

int PushVerifiedClosure(VMState *vm, const FunctionProto &fp) {
    if (vm->top >= ApiLimit(vm, vm->ci)) return kErrStackOverflow;
    VMValue *savedTop = vm->top;
    try {
        {
            GCPause pause(vm); // nothing built here is rooted until the closure is on the stack
            Proto *p = BuildProto(vm, fp);
            ScriptClosure *c = NewScriptClosure(vm, p);
            for (uint32_t j = 0; j < c->numUpvalues; j++) {
                UpVal *u = static_cast<UpVal *>(VMAlloc(vm, sizeof(UpVal)));
                LinkObject(vm, u, kGCUpval);
                SetNil(&u->closed);
                u->v = &u->closed;
                u->openNext = nullptr;
                c->upvals[j] = u;
            }
            SetObject(vm->top, c, TFUNCTION);
            vm->top++;
            if (p->isMain) vm->mainProto = p;
        }
        GCCheck(vm);
        return 0;
    } catch (VMError &e) {
        vm->top = savedTop;
        return e.code;
    } catch (std::bad_alloc &) {
        vm->top = savedTop;
        return kErrOutOfMemory;
    }
}

void ToFunctionProto(const Proto *p, FunctionProto *out) {
    out->source = p->source ? std::string(StringData(p->source), p->source->length) : std::string();
    out->lineDefined = p->lineDefined;
    out->numParams = p->numParams;
    out->isVararg = p->isVararg != 0;
    out->isMainChunk = p->isMain != 0;
    out->maxStack = p->maxStack;
    out->code = p->code;
    out->lines = p->lines;
    out->constants.clear();
    for (const VMValue &k : p->k) {
        if (k.tt == TNUMBER)
            out->constants.push_back(ProtoConstant::Number(k.u.n));
        else if (k.tt == TSTRING)
            out->constants.push_back(ProtoConstant::String(std::string(StringData(AsString(&k)), AsString(&k)->length)));
        else
            out->constants.push_back(ProtoConstant::Nil());
    }
    out->upvalues = p->upvalues;
    out->locals = p->locals;
    out->labels = p->labels;
    out->protos.resize(p->protos.size());
    for (size_t j = 0; j < p->protos.size(); j++) ToFunctionProto(p->protos[j], &out->protos[j]);
}

const VMValue *StackValue(VMState *vm, int index) {
    int top = GetTop(vm);
    if (index > 0) return index <= top ? ApiBase(vm->ci) + (index - 1) : nullptr;
    if (index < 0 && index > kRegistryIndex) return -index <= top ? vm->top + index : nullptr;
    return nullptr;
}

Instruction WithOp(Instruction i, unsigned op) { return (i & ~(((1u << kOpBits) - 1) << kOpShift)) | (op << kOpShift); }

// The running form of an instruction whose B is a register (VL_RUN_OPCODES), or the instruction itself.
Instruction RunningForm(Instruction i) {
    const bool constantC = IsRKConstant(GetC(i));
    constexpr bool Register = false, Constant = true, Any = false, Zero = true;
#define VL_RUN_REWRITE(Name, LABEL, chunk, c, a)                                                                 \
    if (GetOp(i) == OP_##chunk && constantC == c && (!a || GetA(i) == 0)) return WithOp(i, kOp##Name);
    VL_RUN_OPCODES(VL_RUN_REWRITE)
#undef VL_RUN_REWRITE
    return i;
}

} // namespace

void BuildRunningCode(Proto *p) {
    size_t n = p->code.size();
    std::vector<uint8_t> lineStart(n, 0), data(n, 0);
    auto markTarget = [&](int64_t pc) {
        if (pc >= 0 && uint64_t(pc) < n) lineStart[size_t(pc)] = 1;
    };
    markTarget(0);
    for (size_t pc = 0; pc < n; pc++) {
        if (data[pc]) continue;
        Instruction i = p->code[pc];
        OpCode op = GetOp(i);
        if (pc > 0 && p->lines[pc] != p->lines[pc - 1]) lineStart[pc] = 1;
        if (kOpcodeInfo[op].b == kOperandJump) markTarget(int64_t(pc) + 1 + GetSBx(i));
        // The skip over a test's JMP comes only from the test (the JMP never falls through; other jumps there mark
        // it themselves), so it begins a line only when its line is not the test's.
        if ((kOpcodeInfo[op].flags & kOpFlagTest) && pc + 2 < n && p->lines[pc + 2] != p->lines[pc])
            markTarget(int64_t(pc) + 2);
        if (op == OP_SETLIST && GetC(i) == 0 && pc + 1 < n) {
            data[pc + 1] = 1; // the start index, not an instruction: left as it is
            markTarget(int64_t(pc) + 2);
        }
    }
    p->run.resize(3 * n);
    for (size_t pc = 0; pc < n; pc++) {
        Instruction i = p->code[pc];
        if (!data[pc] && !IsRKConstant(GetB(i))) i = RunningForm(i);
        p->run[pc] = lineStart[pc] && !data[pc] ? WithOp(i, kOpLineStart) : i;
        // A SETLIST's start word counts as on the SETLIST's line: the line hook compares the next instruction's
        // line with the word before it.
        p->run[n + pc] = uint32_t(p->lines[data[pc] ? pc - 1 : pc]);
        p->run[2 * n + pc] = i;
    }
    p->codePtr = p->run.data();
    p->lineDelta = intptr_t(n * sizeof(uint32_t));
    p->firstInstruction = n > 0 ? p->run[2 * n] : 0;
}

Proto *BuildProto(VMState *vm, const FunctionProto &fp) {
    Proto *p = static_cast<Proto *>(VMAlloc(vm, sizeof(Proto)));
    new (p) Proto();
    p->accountedBytes = 0;
    LinkObject(vm, p, kGCProto);
    p->source = NewString(vm, fp.source.data(), fp.source.size());
    p->lineDefined = fp.lineDefined;
    p->numParams = fp.numParams;
    p->isVararg = fp.isVararg;
    p->isMain = fp.isMainChunk;
    p->maxStack = fp.maxStack;
    p->fastFrameBytes = fp.isVararg ? uintptr_t(1) << 62 : uintptr_t(fp.maxStack) * sizeof(VMValue);
    p->paramBytes = uint32_t(fp.numParams * sizeof(VMValue));
    p->code = fp.code;
    p->lines = fp.lines;
    p->upvalues = fp.upvalues;
    p->locals = fp.locals;
    p->labels = fp.labels;
    for (ProtoLabel &l : p->labels)
        for (char &c : l.name) c = char(std::tolower(static_cast<unsigned char>(c)));
    p->k.assign(fp.constants.size(), kNilValue);
    for (size_t j = 0; j < fp.constants.size(); j++) {
        const ProtoConstant &c = fp.constants[j];
        switch (c.kind) {
        case ProtoConstant::kNumber: SetNumber(&p->k[j], c.number); break;
        case ProtoConstant::kString: SetObject(&p->k[j], NewString(vm, c.text.data(), c.text.size()), TSTRING); break;
        case ProtoConstant::kSymbol: ResolveSymbol(vm, c.text, &p->k[j]); break;
        default: break;
        }
    }
    p->protos.reserve(fp.protos.size());
    for (const FunctionProto &child : fp.protos) p->protos.push_back(BuildProto(vm, child));
    BuildRunningCode(p);
    p->kPtr = p->k.data();
    p->accountedBytes = ProtoExtraBytes(p);
    vm->gcBytes += p->accountedBytes;
    vm->gcAllocatedSinceCollect += p->accountedBytes;
    return p;
}

void FreeProto(VMState *vm, Proto *p) {
    vm->gcBytes -= std::min(p->accountedBytes, vm->gcBytes);
    if (vm->mainProto == p) vm->mainProto = nullptr;
    p->~Proto();
    VMFree(vm, p, sizeof(Proto));
}

ScriptClosure *NewScriptClosure(VMState *vm, Proto *p) {
    uint32_t n = uint32_t(p->upvalues.size());
    size_t bytes = sizeof(ScriptClosure) + sizeof(UpVal *) * (n ? n - 1 : 0);
    ScriptClosure *c = static_cast<ScriptClosure *>(VMAlloc(vm, bytes));
    LinkObject(vm, c, kGCClosure);
    c->p = p;
    c->numUpvalues = n;
    for (uint32_t j = 0; j < (n ? n : 1); j++) c->upvals[j] = nullptr;
    return c;
}

int PushProtoClosure(VMState *vm, const FunctionProto &proto) {
    std::string why;
    if (VerifyProto(proto, &why) != 0) {
        vm->errorDetail = why;
        vm->errorFile = proto.source;
        vm->errorLine = 0;
        vm->errorDescription.clear();
        vm->errorTrace.clear();
        return kErrBadChunk;
    }
    return PushVerifiedClosure(vm, proto);
}

int LoadChunkBuffer(VMState *vm, const void *bytes, size_t size, const char *chunkName) {
    FunctionProto fp;
    std::string why;
    int code;
    try {
        code = DecodeChunk(bytes, size, &fp, &why);
    } catch (std::bad_alloc &) {
        code = kErrOutOfMemory;
    }
    if (code == 0) {
        if (fp.source.empty() && chunkName != nullptr) {
            // The name given by the loader stands in for a chunk that carries none.
            std::string name = chunkName;
            std::vector<FunctionProto *> todo{&fp};
            while (!todo.empty()) {
                FunctionProto *f = todo.back();
                todo.pop_back();
                if (f->source.empty()) f->source = name;
                for (FunctionProto &child : f->protos) todo.push_back(&child);
            }
        }
        code = PushVerifiedClosure(vm, fp);
        if (code == 0) return 0;
        why = vm->errorDetail;
    }
    vm->errorFile = chunkName ? chunkName : "";
    vm->errorLine = 0;
    vm->errorDescription.clear();
    vm->errorTrace.clear();
    vm->errorDetail = why;
    return code;
}

int LoadChunk(VMState *vm, ChunkReader reader, void *data, const char *chunkName) {
    std::string buffer;
    try {
        for (;;) {
            size_t size = 0;
            const char *piece = reader(vm, data, &size);
            if (piece == nullptr || size == 0) break;
            if (size > kMaxChunkBytes - buffer.size()) return kErrBadChunk;
            buffer.append(piece, size);
        }
    } catch (std::bad_alloc &) {
        return kErrOutOfMemory;
    }
    return LoadChunkBuffer(vm, buffer.data(), buffer.size(), chunkName);
}

int DumpStackFunction(VMState *vm, int index, ChunkWriter writer, void *data) {
    const VMValue *v = StackValue(vm, index);
    if (v == nullptr || !IsScriptClosure(v)) return kErrNotUserFunction;
    FunctionProto fp;
    std::string bytes;
    try {
        ToFunctionProto(static_cast<ScriptClosure *>(v->u.gc)->p, &fp);
        bytes = DumpProto(fp);
    } catch (std::bad_alloc &) {
        return kErrOutOfMemory;
    }
    for (size_t at = 0; at < bytes.size(); at += kDumpPieceSize) {
        int r = writer(vm, bytes.data() + at, std::min(kDumpPieceSize, bytes.size() - at), data);
        if (r != 0) return r;
    }
    return 0;
}

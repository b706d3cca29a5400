// FunctionProto: the verifier, the BytecodeChunk writer and decoder, and the disassembler. All four are driven by
// the opcode table in opcodes.h.
//
// Function record layout (every field little-endian):
//   string source; i32 lineDefined; u8 numParams; u8 isVararg; u8 isMainChunk; u8 maxStack;
//   u32 n, n x u32 code; u32 n, n x i32 lines;
//   u32 n, n x constant (u8 kind: 0 nil | 3 number f64 | 4 string | 9 symbol string);
//   u32 n, n x upvalue (u8 inParentRegister, u8 index, string name);
//   u32 n, n x function record (nested prototypes);
//   u32 n, n x local (string name, u32 startPc, u32 endPc, u8 register);
//   u32 n, n x label (string name, u32 pc)
// where string = u32 length, then the bytes.
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "runtime/vm/bounded_reader.h"
#include "runtime/vm/proto.h"

bool ProtoConstant::operator==(const ProtoConstant &o) const {
    if (kind != o.kind) return false;
    if (kind == kNumber) return std::memcmp(&number, &o.number, sizeof number) == 0; // -0 and NaN kept apart
    return text == o.text;
}

int FunctionProto::AddConstant(const ProtoConstant &k) {
    for (size_t i = 0; i < constants.size(); i++)
        if (constants[i] == k) return int(i);
    constants.push_back(k);
    return int(constants.size()) - 1;
}

// ---- Verifier --------------------------------------------------------------------------------------------------
namespace {

struct Verifier {
    std::string why;

    bool Fail(const FunctionProto &f, int pc, const char *what) {
        char buffer[160];
        if (pc >= 0)
            std::snprintf(buffer, sizeof buffer, "function at line %d, instruction %d: %s", int(f.lineDefined), pc,
                          what);
        else
            std::snprintf(buffer, sizeof buffer, "function at line %d: %s", int(f.lineDefined), what);
        why = buffer;
        return false;
    }

    bool Function(const FunctionProto &f, int depth, const FunctionProto *parent) {
        if (depth > kMaxProtoNesting) return Fail(f, -1, "functions nested too deeply");
        if (f.maxStack > kMaxFunctionRegisters) return Fail(f, -1, "too many registers");
        if (f.numParams > f.maxStack) return Fail(f, -1, "more parameters than registers");
        if (f.code.empty()) return Fail(f, -1, "no instructions");
        if (f.code.size() > kMaxProtoCode) return Fail(f, -1, "too many instructions");
        if (f.lines.size() != f.code.size()) return Fail(f, -1, "line table does not match the code");
        if (f.constants.size() > kMaxProtoConstants) return Fail(f, -1, "too many constants");
        if (f.protos.size() > kMaxProtoChildren) return Fail(f, -1, "too many nested functions");
        if (f.upvalues.size() > 255) return Fail(f, -1, "too many upvalues");
        if (f.isMainChunk && depth != 0) return Fail(f, -1, "a nested function marked as main chunk");
        if (!f.isMainChunk && !f.labels.empty()) return Fail(f, -1, "labels outside the main chunk");
        for (const ProtoConstant &k : f.constants) {
            if (k.kind != ProtoConstant::kNil && k.kind != ProtoConstant::kNumber &&
                k.kind != ProtoConstant::kString && k.kind != ProtoConstant::kSymbol)
                return Fail(f, -1, "bad constant kind");
            if (k.kind == ProtoConstant::kSymbol && k.text.empty()) return Fail(f, -1, "empty constant name");
        }
        if (parent != nullptr) {
            for (const ProtoUpvalue &u : f.upvalues) {
                if (u.inParentRegister ? u.index >= parent->maxStack : u.index >= parent->upvalues.size())
                    return Fail(f, -1, "upvalue descriptor out of range");
            }
        }
        for (const ProtoLocal &l : f.locals)
            if (l.startPc > l.endPc || l.endPc > f.code.size() || l.reg >= f.maxStack)
                return Fail(f, -1, "local variable out of range");
        if (!Code(f)) return false;
        for (const ProtoLabel &l : f.labels)
            if (l.pc >= f.code.size() || isData[l.pc]) return Fail(f, -1, "label outside the code");
        for (const FunctionProto &child : f.protos)
            if (!Function(child, depth + 1, &f)) return false;
        return true;
    }

    std::vector<bool> isData;

    bool Reg(const FunctionProto &f, int r) const { return r >= 0 && r < f.maxStack; }
    bool RK(const FunctionProto &f, int x) const {
        return IsRKConstant(x) ? size_t(RKConstantIndex(x)) < f.constants.size() : Reg(f, x);
    }

    bool Operand(const FunctionProto &f, int pc, OperandKind kind, int value, bool isA) {
        switch (kind) {
        case kOperandUnused:
            if (value != 0) return Fail(f, pc, "unused operand not 0");
            break;
        case kOperandRegister:
            if (!Reg(f, value)) return Fail(f, pc, "register out of range");
            break;
        case kOperandConstant:
            if (size_t(value) >= f.constants.size()) return Fail(f, pc, "constant out of range");
            break;
        case kOperandStringConst:
            if (size_t(value) >= f.constants.size() || f.constants[size_t(value)].kind != ProtoConstant::kString)
                return Fail(f, pc, "global name is not a string constant");
            break;
        case kOperandRK:
            if (!RK(f, value)) return Fail(f, pc, "RK operand out of range");
            break;
        case kOperandUpvalue:
            if (size_t(value) >= f.upvalues.size()) return Fail(f, pc, "upvalue out of range");
            break;
        case kOperandProto:
            if (size_t(value) >= f.protos.size()) return Fail(f, pc, "function index out of range");
            break;
        case kOperandJump:
        case kOperandNumber: break;
        }
        (void)isA;
        return true;
    }

    bool Target(const FunctionProto &f, int pc, int64_t target) {
        if (target < 0 || target >= int64_t(f.code.size()) || isData[size_t(target)])
            return Fail(f, pc, "jump target outside the code");
        return true;
    }

    bool Code(const FunctionProto &f) {
        size_t n = f.code.size();
        isData.assign(n, false);
        for (size_t pc = 0; pc < n; pc++) {
            Instruction i = f.code[pc];
            if (GetOp(i) >= kNumOpcodes) return Fail(f, int(pc), "unknown opcode");
            if (GetOp(i) == OP_SETLIST && GetC(i) == 0) {
                if (pc + 1 >= n) return Fail(f, int(pc), "SETLIST without its data word");
                isData[pc + 1] = true;
                pc++;
            }
        }
        if (isData[n - 1] || GetOp(f.code[n - 1]) != OP_RETURN) return Fail(f, int(n - 1), "code does not end with RETURN");
        for (size_t pc = 0; pc < n; pc++) {
            if (isData[pc]) continue;
            Instruction i = f.code[pc];
            OpCode op = GetOp(i);
            const OpcodeInfo &info = kOpcodeInfo[op];
            int a = GetA(i), b = GetB(i), c = GetC(i), bx = GetBx(i), sbx = GetSBx(i);
            int p = int(pc);
            if (!Operand(f, p, info.a, a, true)) return false;
            if (info.format == kFormatABC) {
                if (!Operand(f, p, info.b, b, false) || !Operand(f, p, info.c, c, false)) return false;
            } else if (info.format == kFormatABx) {
                if (!Operand(f, p, info.b, bx, false)) return false;
            } else if (info.b == kOperandJump) {
                if (!Target(f, p, int64_t(pc) + 1 + sbx)) return false;
            }
            if ((info.flags & kOpFlagMainOnly) && !f.isMainChunk) return Fail(f, p, "GOSUB/RETSUB outside the main chunk");
            if (info.flags & kOpFlagTest) {
                if (pc + 1 >= n || isData[pc + 1] || GetOp(f.code[pc + 1]) != OP_JMP)
                    return Fail(f, p, "test not followed by JMP");
            }
            switch (op) {
            case OP_LOADNIL:
                if (!Reg(f, a + b)) return Fail(f, p, "LOADNIL range out of registers");
                break;
            case OP_EQ:
            case OP_LT:
            case OP_LE:
                if (a > 1) return Fail(f, p, "comparison flag not 0 or 1");
                break;
            case OP_TEST:
            case OP_TESTSET:
                if (c > 1) return Fail(f, p, "test flag not 0 or 1");
                break;
            case OP_SELF:
                if (!Reg(f, a + 1)) return Fail(f, p, "SELF needs two registers");
                break;
            case OP_CONCAT:
                if (b > c) return Fail(f, p, "CONCAT range reversed");
                break;
            case OP_CALL:
                if (b > 0 && !Reg(f, a + b - 1)) return Fail(f, p, "CALL arguments out of registers");
                if (c > 1 && !Reg(f, a + c - 2)) return Fail(f, p, "CALL results out of registers");
                break;
            case OP_TAILCALL:
                if (b > 0 && !Reg(f, a + b - 1)) return Fail(f, p, "TAILCALL arguments out of registers");
                if (c != 0) return Fail(f, p, "TAILCALL with fixed results");
                if (pc + 1 >= n || GetOp(f.code[pc + 1]) != OP_RETURN || GetA(f.code[pc + 1]) != a ||
                    GetB(f.code[pc + 1]) != 0)
                    return Fail(f, p, "TAILCALL not followed by RETURN A 0");
                break;
            case OP_RETURN:
                if (b > 1 && !Reg(f, a + b - 2)) return Fail(f, p, "RETURN values out of registers");
                break;
            case OP_FORPREP:
            case OP_FORLOOP:
            case OP_TFORLOOP:
                if (!Reg(f, a + 3)) return Fail(f, p, "loop registers out of range");
                break;
            case OP_TFORCALL:
                if (c < 1) return Fail(f, p, "TFORCALL without results");
                if (!Reg(f, a + 2 + c) || !Reg(f, a + 5)) return Fail(f, p, "TFORCALL registers out of range");
                if (pc + 1 >= n || GetOp(f.code[pc + 1]) != OP_TFORLOOP || GetA(f.code[pc + 1]) != a)
                    return Fail(f, p, "TFORCALL not followed by TFORLOOP");
                break;
            case OP_SETLIST:
                if (b > 0 && !Reg(f, a + b)) return Fail(f, p, "SETLIST values out of registers");
                break;
            case OP_VARARG:
                if (!f.isVararg) return Fail(f, p, "VARARG in a function without variable arguments");
                if (b > 1 && !Reg(f, a + b - 2)) return Fail(f, p, "VARARG values out of registers");
                break;
            default: break;
            }
        }
        return true;
    }
};

} // namespace

int VerifyProto(const FunctionProto &proto, std::string *why) {
    Verifier v;
    if (v.Function(proto, 0, nullptr)) return 0;
    if (why) *why = v.why;
    return kErrBadChunk;
}

// ---- Writer ----------------------------------------------------------------------------------------------------
namespace {

// The chunk's own vocabulary over the little-endian writer: signed words, doubles and length-prefixed strings.
struct ProtoWriter {
    std::string out;
    ByteWriter<std::string> bytes{out};
    void U8(uint8_t v) { bytes.U8(v); }
    void U32(uint32_t v) { bytes.U32LE(v); }
    void I32(int32_t v) { bytes.U32LE(uint32_t(v)); }
    void F64(double d) { bytes.U64LE(std::bit_cast<uint64_t>(d)); }
    void Str(const std::string &s) {
        bytes.U32LE(uint32_t(s.size()));
        out.append(s);
    }
};

void WriteFunction(ProtoWriter &w, const FunctionProto &f) {
    w.Str(f.source);
    w.I32(f.lineDefined);
    w.U8(f.numParams);
    w.U8(f.isVararg ? 1 : 0);
    w.U8(f.isMainChunk ? 1 : 0);
    w.U8(f.maxStack);
    w.U32(uint32_t(f.code.size()));
    for (Instruction i : f.code) w.U32(i);
    w.U32(uint32_t(f.lines.size()));
    for (int32_t l : f.lines) w.I32(l);
    w.U32(uint32_t(f.constants.size()));
    for (const ProtoConstant &k : f.constants) {
        w.U8(k.kind);
        if (k.kind == ProtoConstant::kNumber) w.F64(k.number);
        else if (k.kind == ProtoConstant::kString || k.kind == ProtoConstant::kSymbol) w.Str(k.text);
    }
    w.U32(uint32_t(f.upvalues.size()));
    for (const ProtoUpvalue &u : f.upvalues) {
        w.U8(u.inParentRegister ? 1 : 0);
        w.U8(u.index);
        w.Str(u.name);
    }
    w.U32(uint32_t(f.protos.size()));
    for (const FunctionProto &child : f.protos) WriteFunction(w, child);
    w.U32(uint32_t(f.locals.size()));
    for (const ProtoLocal &l : f.locals) {
        w.Str(l.name);
        w.U32(l.startPc);
        w.U32(l.endPc);
        w.U8(l.reg);
    }
    w.U32(uint32_t(f.labels.size()));
    for (const ProtoLabel &l : f.labels) {
        w.Str(l.name);
        w.U32(l.pc);
    }
}

} // namespace

std::string DumpProto(const FunctionProto &proto) {
    ProtoWriter w;
    for (uint8_t b : kChunkSignature) w.U8(b);
    w.U8(kChunkLittleEndian);
    for (uint8_t b : kChunkSizes) w.U8(b);
    w.F64(kChunkTestNumber);
    w.U8(kChunkFormatVersion);
    WriteFunction(w, proto);
    return std::move(w.out);
}

// ---- Decoder ---------------------------------------------------------------------------------------------------
namespace {

// The fewest bytes each record can take, to check counts against the bytes that remain before allocating.
constexpr size_t kMinFunctionBytes = 4 + 4 + 4 + 7 * 4;
constexpr size_t kMinUpvalueBytes = 2 + 4;
constexpr size_t kMinLocalBytes = 4 + 4 + 4 + 1;
constexpr size_t kMinLabelBytes = 4 + 4;

struct Decoder {
    BoundedReader r;
    std::string why;

    bool Truncated(const char *what) {
        r.Fail();
        why = what;
        return false;
    }

    bool Count(size_t minBytes, uint32_t *n, const char *what) {
        *n = r.U32LE();
        if (r.Failed() || size_t(*n) > r.remaining() / minBytes) return Truncated(what);
        return true;
    }

    bool Str(std::string *out, const char *what) {
        uint32_t n = r.U32LE();
        if (r.Failed() || n > r.remaining()) return Truncated(what);
        *out = r.String(n);
        return !r.Failed();
    }

    bool Function(FunctionProto *f, int depth) {
        if (depth > kMaxProtoNesting) {
            why = "functions nested too deeply";
            badStructure = true;
            return false;
        }
        if (!Str(&f->source, "source name")) return false;
        f->lineDefined = r.S32LE();
        f->numParams = r.U8();
        f->isVararg = r.U8() != 0;
        f->isMainChunk = r.U8() != 0;
        f->maxStack = r.U8();
        uint32_t n;
        if (!Count(4, &n, "code")) return false;
        f->code.resize(n);
        for (uint32_t j = 0; j < n; j++) f->code[j] = r.U32LE();
        if (!Count(4, &n, "line table")) return false;
        f->lines.resize(n);
        for (uint32_t j = 0; j < n; j++) f->lines[j] = r.S32LE();
        if (!Count(1, &n, "constants")) return false;
        f->constants.resize(n);
        for (uint32_t j = 0; j < n; j++) {
            ProtoConstant &k = f->constants[j];
            uint8_t kind = r.U8();
            if (r.Failed()) return Truncated("constant");
            switch (kind) {
            case ProtoConstant::kNil: k.kind = ProtoConstant::kNil; break;
            case ProtoConstant::kNumber:
                k.kind = ProtoConstant::kNumber;
                k.number = r.F64LE();
                break;
            case ProtoConstant::kString:
            case ProtoConstant::kSymbol:
                k.kind = ProtoConstant::Kind(kind);
                if (!Str(&k.text, "constant")) return false;
                break;
            default:
                why = "bad constant kind";
                badStructure = true;
                return false;
            }
        }
        if (!Count(kMinUpvalueBytes, &n, "upvalues")) return false;
        f->upvalues.resize(n);
        for (uint32_t j = 0; j < n; j++) {
            f->upvalues[j].inParentRegister = r.U8() != 0;
            f->upvalues[j].index = r.U8();
            if (!Str(&f->upvalues[j].name, "upvalue name")) return false;
        }
        if (!Count(kMinFunctionBytes, &n, "nested functions")) return false;
        f->protos.resize(n);
        for (uint32_t j = 0; j < n; j++)
            if (!Function(&f->protos[j], depth + 1)) return false;
        if (!Count(kMinLocalBytes, &n, "locals")) return false;
        f->locals.resize(n);
        for (uint32_t j = 0; j < n; j++) {
            if (!Str(&f->locals[j].name, "local name")) return false;
            f->locals[j].startPc = r.U32LE();
            f->locals[j].endPc = r.U32LE();
            f->locals[j].reg = r.U8();
        }
        if (!Count(kMinLabelBytes, &n, "labels")) return false;
        f->labels.resize(n);
        for (uint32_t j = 0; j < n; j++) {
            if (!Str(&f->labels[j].name, "label name")) return false;
            f->labels[j].pc = r.U32LE();
        }
        if (r.Failed()) return Truncated("function record");
        return true;
    }

    bool badStructure = false;
};

} // namespace

int DecodeChunk(const void *bytes, size_t size, FunctionProto *out, std::string *why) {
    auto fail = [&](int code, const char *text) {
        if (why) *why = text;
        return code;
    };
    if (bytes == nullptr) size = 0;
    BoundedReader h(bytes, size);
    uint8_t sig[4];
    if (!h.Bytes(sig, 4) || std::memcmp(sig, kChunkSignature, 4) != 0)
        return fail(kErrChunkSignature, "not a bytecode chunk");
    uint8_t endian = h.U8();
    if (h.Failed()) return fail(kErrChunkTruncated, "header truncated");
    if (endian != kChunkLittleEndian) return fail(kErrChunkByteOrder, "other byte order");
    uint8_t sizes[8];
    if (!h.Bytes(sizes, 8)) return fail(kErrChunkTruncated, "header truncated");
    if (std::memcmp(sizes, kChunkSizes, 8) != 0) return fail(kErrChunkSizes, "other sizes");
    double test = h.F64LE();
    if (h.Failed()) return fail(kErrChunkTruncated, "header truncated");
    if (test != kChunkTestNumber) return fail(kErrChunkNumberFormat, "other number format");
    uint8_t version = h.U8();
    if (h.Failed()) return fail(kErrChunkTruncated, "header truncated");
    if (version != kChunkFormatVersion) return fail(kErrChunkVersion, "other format version");

    Decoder d;
    d.r = BoundedReader(static_cast<const uint8_t *>(bytes) + kChunkHeaderSize, size - kChunkHeaderSize);
    FunctionProto f;
    if (!d.Function(&f, 0)) {
        if (why) *why = d.why;
        return d.badStructure ? kErrBadChunk : kErrChunkTruncated;
    }
    if (!d.r.AtEnd()) return fail(kErrBadChunk, "bytes after the function record");
    std::string reason;
    if (VerifyProto(f, &reason) != 0) {
        if (why) *why = reason;
        return kErrBadChunk;
    }
    *out = std::move(f);
    return 0;
}

// ---- Disassembler ----------------------------------------------------------------------------------------------
namespace {

void ConstantText(const FunctionProto &f, int index, std::string *out) {
    if (index < 0 || size_t(index) >= f.constants.size()) {
        *out += "K?";
        return;
    }
    const ProtoConstant &k = f.constants[size_t(index)];
    char buffer[64];
    switch (k.kind) {
    case ProtoConstant::kNumber:
        std::snprintf(buffer, sizeof buffer, "%.14g", k.number);
        *out += buffer;
        break;
    case ProtoConstant::kString: {
        *out += '"';
        for (char c : k.text) {
            if (c == '"' || c == '\\') {
                *out += '\\';
                *out += c;
            } else if (static_cast<unsigned char>(c) < 32) {
                std::snprintf(buffer, sizeof buffer, "\\%03d", static_cast<unsigned char>(c));
                *out += buffer;
            } else {
                *out += c;
            }
        }
        *out += '"';
        break;
    }
    case ProtoConstant::kSymbol: *out += "#" + k.text; break;
    default: *out += "nil"; break;
    }
}

void Operand(const FunctionProto &f, OperandKind kind, int value, std::string *out) {
    char buffer[32];
    switch (kind) {
    case kOperandUnused: return;
    case kOperandRegister: std::snprintf(buffer, sizeof buffer, " R%d", value); break;
    case kOperandConstant:
    case kOperandStringConst:
        *out += ' ';
        ConstantText(f, value, out);
        return;
    case kOperandRK:
        if (IsRKConstant(value)) {
            *out += ' ';
            ConstantText(f, RKConstantIndex(value), out);
            return;
        }
        std::snprintf(buffer, sizeof buffer, " R%d", value);
        break;
    case kOperandUpvalue: std::snprintf(buffer, sizeof buffer, " U%d", value); break;
    case kOperandProto: std::snprintf(buffer, sizeof buffer, " F%d", value); break;
    default: std::snprintf(buffer, sizeof buffer, " %d", value); break;
    }
    *out += buffer;
}

void Disassemble(const FunctionProto &f, const std::string &name, std::string *out) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "function %s (%s:%d) params=%d%s registers=%d upvalues=%zu constants=%zu\n",
                  name.c_str(), f.source.c_str(), int(f.lineDefined), f.numParams, f.isVararg ? "+..." : "",
                  f.maxStack, f.upvalues.size(), f.constants.size());
    *out += buffer;
    for (size_t pc = 0; pc < f.code.size(); pc++) {
        Instruction i = f.code[pc];
        int line = pc < f.lines.size() ? f.lines[pc] : 0;
        OpCode op = GetOp(i);
        if (op >= kNumOpcodes) {
            std::snprintf(buffer, sizeof buffer, "%5zu [%4d] ??? 0x%08" PRIx32 "\n", pc, line, i);
            *out += buffer;
            continue;
        }
        const OpcodeInfo &info = kOpcodeInfo[op];
        std::snprintf(buffer, sizeof buffer, "%5zu [%4d] %-9s", pc, line, info.name);
        *out += buffer;
        Operand(f, info.a, GetA(i), out);
        if (info.format == kFormatABC) {
            Operand(f, info.b, GetB(i), out);
            Operand(f, info.c, GetC(i), out);
        } else if (info.format == kFormatABx) {
            Operand(f, info.b, GetBx(i), out);
        } else if (info.b == kOperandJump) {
            std::snprintf(buffer, sizeof buffer, " -> %lld", static_cast<long long>(pc) + 1 + GetSBx(i));
            *out += buffer;
        } else {
            std::snprintf(buffer, sizeof buffer, " %d", GetSBx(i));
            *out += buffer;
        }
        for (const ProtoLabel &l : f.labels)
            if (l.pc == pc) *out += "    ; label " + l.name;
        *out += '\n';
        if (op == OP_SETLIST && GetC(i) == 0 && pc + 1 < f.code.size()) {
            pc++;
            std::snprintf(buffer, sizeof buffer, "%5zu        (start %" PRIu32 ")\n", pc, f.code[pc]);
            *out += buffer;
        }
    }
    for (size_t j = 0; j < f.protos.size(); j++) {
        *out += '\n';
        Disassemble(f.protos[j], name + "/" + std::to_string(j), out);
    }
}

} // namespace

std::string DisassembleProto(const FunctionProto &proto) {
    std::string out;
    Disassemble(proto, "main", &out);
    return out;
}

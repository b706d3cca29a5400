// The in-memory function prototype that the applet compiler fills directly, and the operations on it that need no
// running script: verify, dump as a BytecodeChunk, disassemble, decode, and turn into a closure on a VM.
//
// The instruction set is described in opcodes.h. A FunctionProto is plain data; nothing here runs code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/vm/opcodes.h"
#include "runtime/vm/vm.h"

// A constant of a function. Symbolic constants ("#NAME" in the source) carry the lower-cased name without the
// "#" and are resolved by the VM's ConstantResolver when the chunk is loaded; an unknown name refuses the chunk.
struct ProtoConstant {
    enum Kind : uint8_t { kNil = 0, kNumber = 3, kString = 4, kSymbol = 9 };
    Kind kind = kNil;
    double number = 0;
    std::string text; // the string's bytes (zeros allowed), or the symbol's name

    static ProtoConstant Nil() { return {}; }
    static ProtoConstant Number(double n) { return {kNumber, n, {}}; }
    static ProtoConstant String(std::string s) { return {kString, 0, std::move(s)}; }
    static ProtoConstant Symbol(std::string name) { return {kSymbol, 0, std::move(name)}; }
    bool operator==(const ProtoConstant &o) const;
};

// Where a closure's upvalue comes from when CLOSURE creates it: a register of the enclosing function's frame
// (inParentRegister) or one of the enclosing closure's own upvalues.
struct ProtoUpvalue {
    bool inParentRegister = false;
    uint8_t index = 0;
    std::string name; // debug name, may be empty
};

// A local variable's live range [startPc, endPc) and its register. GOSUB requests from commands use these to
// find the main chunk's temporaries: every register that holds a live variable (hidden loop state included)
// must be described, or it is saved and restored like a temporary across the subroutine.
struct ProtoLocal {
    std::string name;
    uint32_t startPc = 0;
    uint32_t endPc = 0;
    uint8_t reg = 0;
};

// A label of the main chunk: its lower-cased name and the instruction it stands at.
struct ProtoLabel {
    std::string name;
    uint32_t pc = 0;
};

struct FunctionProto {
    std::string source;      // the chunk's file name, reported with errors
    int32_t lineDefined = 0; // 0 for the main chunk
    uint8_t numParams = 0;
    bool isVararg = false;
    bool isMainChunk = false; // only the top-level function of an applet: labels, GOSUB and RETSUB allowed
    uint8_t maxStack = 2;     // registers used (<= kMaxFunctionRegisters), at least numParams
    std::vector<Instruction> code;
    std::vector<int32_t> lines; // source line of each instruction (same length as code)
    std::vector<ProtoConstant> constants;
    std::vector<FunctionProto> protos; // nested functions, referenced by CLOSURE
    std::vector<ProtoUpvalue> upvalues;
    std::vector<ProtoLocal> locals;
    std::vector<ProtoLabel> labels; // main chunk only

    // Helpers for a compiler: append an instruction with its line and return its index; add a constant (reusing
    // an equal one) and return its index.
    int Emit(Instruction i, int32_t line) {
        code.push_back(i);
        lines.push_back(line);
        return int(code.size()) - 1;
    }
    int AddConstant(const ProtoConstant &k);
    int AddNumber(double n) { return AddConstant(ProtoConstant::Number(n)); }
    int AddString(std::string s) { return AddConstant(ProtoConstant::String(std::move(s))); }
    int AddSymbol(std::string name) { return AddConstant(ProtoConstant::Symbol(std::move(name))); }
};

// The BytecodeChunk header: ESC "VLB", the endianness byte (1: every field little-endian), eight size bytes
// (int, size_t, instruction, number, then the op/A/B/C field widths in bits), the test number 370.5 as a
// little-endian double, and the format version byte. Anything else is refused, without conversion.
constexpr uint8_t kChunkSignature[4] = {0x1B, 'V', 'L', 'B'};
constexpr uint8_t kChunkLittleEndian = 1;
constexpr uint8_t kChunkSizes[8] = {4, 8, 4, 8, kOpBits, kABits, kBBits, kCBits};
constexpr double kChunkTestNumber = 370.5;
constexpr uint8_t kChunkFormatVersion = 1;
constexpr size_t kChunkEndianOffset = 4;
constexpr size_t kChunkSizesOffset = 5;
constexpr size_t kChunkTestNumberOffset = 13;
constexpr size_t kChunkVersionOffset = 21;
constexpr size_t kChunkHeaderSize = 22;

// Limits the loader and verifier enforce (and a compiler should refuse beyond).
constexpr int kMaxProtoNesting = 200;         // nested function definitions
constexpr uint32_t kMaxProtoCode = 1u << 24;  // instructions per function
constexpr uint32_t kMaxProtoConstants = kMaxBx + 1;
constexpr uint32_t kMaxProtoChildren = kMaxBx + 1;

// Checks everything the loader checks (operands, registers, constants, jumps, upvalue descriptors, labels,
// nesting) except symbol resolution. Returns 0, or kErrBadChunk with a reason in *why.
int VerifyProto(const FunctionProto &proto, std::string *why = nullptr);

// Writes the prototype as a BytecodeChunk (symbols stay symbolic). No VM is needed.
std::string DumpProto(const FunctionProto &proto);

// Decodes a BytecodeChunk into a prototype without resolving symbols and verifies it. Returns 0 or the code
// that LoadChunk would give (kErrChunk*), with a reason in *why.
int DecodeChunk(const void *bytes, size_t size, FunctionProto *out, std::string *why = nullptr);

// A readable listing of the prototype and its nested functions (one instruction per line).
std::string DisassembleProto(const FunctionProto &proto);

// Verifies the prototype, resolves its symbols and pushes a closure of it (fresh Nil upvalues) onto the VM
// stack, ready for CallFunction/ProtectedCall. Returns 0, or an error code with nothing pushed.
int PushProtoClosure(VMState *vm, const FunctionProto &proto);

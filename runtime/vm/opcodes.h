// The VM's instruction set: one table (VL_OPCODES) that drives the interpreter, the disassembler, the bytecode
// writer and the load-time verifier.
//
// A register machine in the style of Lua 5.1. Every instruction is one 32-bit word:
//
//     bits  0..5   op   (6 bits, up to 64 opcodes)
//     bits  6..13  A    (8 bits: a register or a small number)
//     bits 14..22  C    (9 bits)
//     bits 23..31  B    (9 bits)
//     bits 14..31  Bx   (18 bits, unsigned) = B:C
//                  sBx  = Bx - kMaxSBx (signed, -131071..131072)
//
// Registers R(0..maxStack-1) are the function's frame: the parameters come first, in order. A register not
// written since the call started holds an unspecified value (never a dangling one): a compiler emits LOADNIL for
// a local declared without a value. A call (CALL, TAILCALL, TFORCALL, and the metamethods behind other
// instructions, which use registers above maxStack) may use every register from its function slot upward as
// scratch: no live local or pending temporary may sit above the registers a call is given.
//
// RK(x): when x < 256 it is register R(x), when x >= 256 it is constant K(x - 256). So only the first 256
// constants can be RK operands; larger constant indices need LOADK first.
//
// Jumps: sBx is relative to the NEXT instruction: the target is (index of the jump) + 1 + sBx. Every jump target
// must be an instruction (not the data word of SETLIST) inside the function.
//
// Values follow the language rules: truth(v) is false for Nil, boolean false, the number 0 and the empty string;
// comparisons and NOT produce the numbers 1 and 0; == never converts between types; arithmetic converts numeric
// strings; `<` on a number and a string raises kErrWrongType; `/` and `%` by zero raise kErrDivisionByZero.
#pragma once

#include <cstdint>

using Instruction = uint32_t;

// Operand kinds for the verifier and the disassembler.
enum OperandKind : uint8_t {
    kOperandUnused = 0,   // must be 0
    kOperandRegister,     // R(x): x < maxStack
    kOperandConstant,     // K(x): x < number of constants
    kOperandRK,           // RK(x)
    kOperandUpvalue,      // x < number of upvalues
    kOperandNumber,       // a count or flag checked by the opcode's own rule
    kOperandJump,         // sBx jump offset
    kOperandProto,        // index into the nested prototypes
    kOperandStringConst,  // K(x) that must be a string constant (global names)
};

enum OpFormat : uint8_t { kFormatABC = 0, kFormatABx, kFormatAsBx };

// Instruction flags.
enum OpFlags : uint8_t {
    kOpFlagNone = 0,
    kOpFlagTest = 1,       // conditionally skips the next instruction, which must be a JMP
    kOpFlagMainOnly = 2,   // allowed only in the main chunk (GOSUB, RETSUB)
};

// X(name, format, A kind, B kind, C kind, flags)
// Semantics (read "pc" as the index of the next instruction):
//
// MOVE A B        R(A) := R(B)
// LOADK A Bx      R(A) := K(Bx)
// LOADINT A sBx   R(A) := sBx (a number)
// LOADNIL A B     R(A), R(A+1), ..., R(A+B) := Nil             (B+1 registers)
// GETUPVAL A B    R(A) := Upvalue[B]
// SETUPVAL A B    Upvalue[B] := R(A)
// GETGLOBAL A Bx  R(A) := Globals[K(Bx)]                       (K(Bx) a string; __index applies)
// SETGLOBAL A Bx  Globals[K(Bx)] := R(A)                       (K(Bx) a string; __newindex applies)
// GETTABLE A B C  R(A) := R(B)[RK(C)]                          (__index applies)
// SETTABLE A B C  R(A)[RK(B)] := RK(C)                         (__newindex applies; a Nil or NaN key raises
//                 kErrBadTableKey)
// NEWTABLE A B C  R(A) := a new table with room for B list entries and C keyed entries (hints only)
// SELF A B C      R(A+1) := R(B); R(A) := R(B)[RK(C)]          (method call set-up)
// ADD A B C       R(A) := RK(B) + RK(C)                        (__add)
// SUB A B C       R(A) := RK(B) - RK(C)                        (__sub)
// MUL A B C       R(A) := RK(B) * RK(C)                        (__mul)
// DIV A B C       R(A) := RK(B) / RK(C)                        (__div; divisor 0 raises kErrDivisionByZero)
// MOD A B C       R(A) := RK(B) % RK(C) = a - floor(a/b)*b     (__mod; divisor 0 raises kErrDivisionByZero)
// POW A B C       R(A) := RK(B) ^ RK(C)                        (__pow)
// UNM A B         R(A) := -R(B)                                (__unm)
// NOT A B         R(A) := truth(R(B)) ? 0 : 1
// LEN A B         R(A) := length of R(B): a string's byte count; a table's list length (the run of entries from
//                 key 0 up to the first Nil) unless it has __len; anything else raises kErrWrongType
// CONCAT A B C    R(A) := R(B) .. R(B+1) .. ... .. R(C)        (B <= C; strings and numbers; else __concat)
// JMP sBx         pc += sBx                                    (a backward jump fires the line hook)
// EQ A B C        if ((RK(B) == RK(C)) != A) then pc++         (A is 0 or 1; __eq for two tables/userdata)
// LT A B C        if ((RK(B) <  RK(C)) != A) then pc++         (__lt)
// LE A B C        if ((RK(B) <= RK(C)) != A) then pc++         (__le, else not __lt(C, B))
// TEST A C        if (truth(R(A)) != C) then pc++              (C is 0 or 1)
// TESTSET A B C   if (truth(R(B)) == C) then R(A) := R(B) else pc++   (for `and`/`or` yielding an operand)
//                 EQ, LT, LE, TEST and TESTSET must be followed by a JMP (the taken branch).
// SEQ A B C       R(A) := (RK(B) == RK(C)) ? 1 : 0
// SNE A B C       R(A) := (RK(B) == RK(C)) ? 0 : 1
// SLT A B C       R(A) := (RK(B) <  RK(C)) ? 1 : 0             (a > b is SLT with the operands swapped)
// SLE A B C       R(A) := (RK(B) <= RK(C)) ? 1 : 0
// CALL A B C      R(A), ..., R(A+C-2) := R(A)(R(A+1), ..., R(A+B-1))
//                 B = 0: the arguments run up to the top set by the previous multi-result instruction (CALL
//                 with C = 0 or VARARG with B = 0). C = 0: keep every result and set the top after the last.
//                 Otherwise results are cut or padded with Nil to C-1. A table with __call is called with itself
//                 as the first argument. Calling anything else raises kErrCallNonFunction.
//                 Before a command (native) runs, its index is stored as CallPcIndex. A command result of -1 or
//                 -2 is a GOSUB request (main chunk only; see GOSUB).
// TAILCALL A B C  return R(A)(R(A+1), ..., R(A+B-1)); C must be 0. Reuses the frame for a script function.
//                 Must be followed by RETURN A 0, which completes it when the callee is a command.
// RETURN A B      return R(A), ..., R(A+B-2)                   (B = 0: up to the top)
// FORPREP A sBx   R(A) := R(A) - R(A+2); pc += sBx             (R(A) index, R(A+1) limit, R(A+2) step; numeric
//                 strings convert, anything else raises kErrWrongType)
// FORLOOP A sBx   R(A) += R(A+2); if (step > 0 ? R(A) <= R(A+1) : R(A) >= R(A+1)) { pc += sBx; R(A+3) := R(A) }
// TFORCALL A C    R(A+3), ..., R(A+2+C) := R(A)(R(A+1), R(A+2))  (C >= 1; the generic-for call; must be
//                 followed by TFORLOOP with the same A). The call is set up in R(A+3..A+5), so maxStack must
//                 exceed A+5 even when C < 3.
// TFORLOOP A sBx  if R(A+3) != Nil then { R(A+2) := R(A+3); pc += sBx }
//                 A generic for: R(A) iterator function, R(A+1) state, R(A+2) control, R(A+3).. loop variables.
//                 The loop is  JMP to TFORCALL; body...; TFORCALL A C; TFORLOOP A (back to the body).
// SETLIST A B C   R(A)[start + i - 1] := R(A+i) for 1 <= i <= B (B = 0: up to the top); start = (C-1) * 50
//                 (kFieldsPerFlush). C = 0: the next code word is the start index itself (not an instruction).
//                 Lists are 0-based: the first positional element of a constructor goes to key 0 (C = 1).
// CLOSE A         close every open upvalue of registers >= R(A)
// CLOSURE A Bx    R(A) := a closure of nested prototype Bx; its upvalues are taken as the prototype's upvalue
//                 descriptors say (a register of this frame, or an upvalue of this closure)
// VARARG A B      R(A), ..., R(A+B-2) := the extra arguments  (B = 0: all of them, sets the top; vararg
//                 functions only)
// GOSUB sBx       push a pending return to pc, then pc += sBx  (main chunk only; 4096 pending raise
//                 kErrInternalLimit)
// RETSUB          continue at the newest pending return of this frame (main chunk only; none pending:
//                 kErrReturnWithoutGosub).
//                 When the pending return came from a command's -1/-2 request, the registers above the live
//                 locals at that call (the main chunk's temporaries, including the call's function and
//                 arguments) are restored first; after -1 the interrupted call yields no results (Nil for
//                 fixed results, none for C = 0); after -2 the call instruction runs again.
#define VL_OPCODES(X)                                                                                         \
    X(MOVE, kFormatABC, kOperandRegister, kOperandRegister, kOperandUnused, kOpFlagNone)                     \
    X(LOADK, kFormatABx, kOperandRegister, kOperandConstant, kOperandUnused, kOpFlagNone)                    \
    X(LOADINT, kFormatAsBx, kOperandRegister, kOperandNumber, kOperandUnused, kOpFlagNone)                   \
    X(LOADNIL, kFormatABC, kOperandRegister, kOperandNumber, kOperandUnused, kOpFlagNone)                    \
    X(GETUPVAL, kFormatABC, kOperandRegister, kOperandUpvalue, kOperandUnused, kOpFlagNone)                  \
    X(SETUPVAL, kFormatABC, kOperandRegister, kOperandUpvalue, kOperandUnused, kOpFlagNone)                  \
    X(GETGLOBAL, kFormatABx, kOperandRegister, kOperandStringConst, kOperandUnused, kOpFlagNone)             \
    X(SETGLOBAL, kFormatABx, kOperandRegister, kOperandStringConst, kOperandUnused, kOpFlagNone)             \
    X(GETTABLE, kFormatABC, kOperandRegister, kOperandRegister, kOperandRK, kOpFlagNone)                     \
    X(SETTABLE, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                           \
    X(NEWTABLE, kFormatABC, kOperandRegister, kOperandNumber, kOperandNumber, kOpFlagNone)                   \
    X(SELF, kFormatABC, kOperandRegister, kOperandRegister, kOperandRK, kOpFlagNone)                         \
    X(ADD, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                                \
    X(SUB, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                                \
    X(MUL, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                                \
    X(DIV, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                                \
    X(MOD, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                                \
    X(POW, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                                \
    X(UNM, kFormatABC, kOperandRegister, kOperandRegister, kOperandUnused, kOpFlagNone)                      \
    X(NOT, kFormatABC, kOperandRegister, kOperandRegister, kOperandUnused, kOpFlagNone)                      \
    X(LEN, kFormatABC, kOperandRegister, kOperandRegister, kOperandUnused, kOpFlagNone)                      \
    X(CONCAT, kFormatABC, kOperandRegister, kOperandRegister, kOperandRegister, kOpFlagNone)                 \
    X(JMP, kFormatAsBx, kOperandUnused, kOperandJump, kOperandUnused, kOpFlagNone)                           \
    X(EQ, kFormatABC, kOperandNumber, kOperandRK, kOperandRK, kOpFlagTest)                                   \
    X(LT, kFormatABC, kOperandNumber, kOperandRK, kOperandRK, kOpFlagTest)                                   \
    X(LE, kFormatABC, kOperandNumber, kOperandRK, kOperandRK, kOpFlagTest)                                   \
    X(TEST, kFormatABC, kOperandRegister, kOperandUnused, kOperandNumber, kOpFlagTest)                       \
    X(TESTSET, kFormatABC, kOperandRegister, kOperandRegister, kOperandNumber, kOpFlagTest)                  \
    X(SEQ, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                                \
    X(SNE, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                                \
    X(SLT, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                                \
    X(SLE, kFormatABC, kOperandRegister, kOperandRK, kOperandRK, kOpFlagNone)                                \
    X(CALL, kFormatABC, kOperandRegister, kOperandNumber, kOperandNumber, kOpFlagNone)                       \
    X(TAILCALL, kFormatABC, kOperandRegister, kOperandNumber, kOperandNumber, kOpFlagNone)                   \
    X(RETURN, kFormatABC, kOperandRegister, kOperandNumber, kOperandUnused, kOpFlagNone)                     \
    X(FORPREP, kFormatAsBx, kOperandRegister, kOperandJump, kOperandUnused, kOpFlagNone)                     \
    X(FORLOOP, kFormatAsBx, kOperandRegister, kOperandJump, kOperandUnused, kOpFlagNone)                     \
    X(TFORCALL, kFormatABC, kOperandRegister, kOperandUnused, kOperandNumber, kOpFlagNone)                   \
    X(TFORLOOP, kFormatAsBx, kOperandRegister, kOperandJump, kOperandUnused, kOpFlagNone)                    \
    X(SETLIST, kFormatABC, kOperandRegister, kOperandNumber, kOperandNumber, kOpFlagNone)                    \
    X(CLOSE, kFormatABC, kOperandRegister, kOperandUnused, kOperandUnused, kOpFlagNone)                      \
    X(CLOSURE, kFormatABx, kOperandRegister, kOperandProto, kOperandUnused, kOpFlagNone)                     \
    X(VARARG, kFormatABC, kOperandRegister, kOperandNumber, kOperandUnused, kOpFlagNone)                     \
    X(GOSUB, kFormatAsBx, kOperandUnused, kOperandJump, kOperandUnused, kOpFlagMainOnly)                     \
    X(RETSUB, kFormatABC, kOperandUnused, kOperandUnused, kOperandUnused, kOpFlagMainOnly)

enum OpCode : uint8_t {
#define VL_OPCODE_ENUM(name, format, a, b, c, flags) OP_##name,
    VL_OPCODES(VL_OPCODE_ENUM)
#undef VL_OPCODE_ENUM
        kNumOpcodes
};

struct OpcodeInfo {
    const char *name;
    OpFormat format;
    OperandKind a, b, c; // for kFormatABx/kFormatAsBx, b describes Bx/sBx
    uint8_t flags;
};

inline constexpr OpcodeInfo kOpcodeInfo[kNumOpcodes] = {
#define VL_OPCODE_INFO(name, format, a, b, c, flags) {#name, format, a, b, c, flags},
    VL_OPCODES(VL_OPCODE_INFO)
#undef VL_OPCODE_INFO
};

// Field layout.
constexpr int kOpBits = 6, kABits = 8, kBBits = 9, kCBits = 9, kBxBits = kBBits + kCBits;
constexpr int kOpShift = 0, kAShift = 6, kCShift = 14, kBShift = 23, kBxShift = 14;
constexpr unsigned kMaxA = (1u << kABits) - 1;
constexpr unsigned kMaxB = (1u << kBBits) - 1;
constexpr unsigned kMaxC = (1u << kCBits) - 1;
constexpr unsigned kMaxBx = (1u << kBxBits) - 1;
constexpr int kMaxSBx = int(kMaxBx >> 1); // sBx = Bx - kMaxSBx
static_assert(kNumOpcodes <= (1 << kOpBits), "opcode field too small");

constexpr unsigned kRKConstantBit = 256; // RK(x) is a constant when x >= 256
constexpr unsigned kMaxRKConstant = 255; // highest constant index usable as an RK operand
constexpr int kFieldsPerFlush = 50;      // SETLIST batch size
// A function's frame: at most this many registers (the A field is 8 bits; a few spare for the call protocol).
constexpr int kMaxFunctionRegisters = 250;

constexpr OpCode GetOp(Instruction i) { return OpCode((i >> kOpShift) & ((1u << kOpBits) - 1)); }
constexpr int GetA(Instruction i) { return int((i >> kAShift) & kMaxA); }
constexpr int GetB(Instruction i) { return int((i >> kBShift) & kMaxB); }
constexpr int GetC(Instruction i) { return int((i >> kCShift) & kMaxC); }
constexpr int GetBx(Instruction i) { return int((i >> kBxShift) & kMaxBx); }
constexpr int GetSBx(Instruction i) { return GetBx(i) - kMaxSBx; }

constexpr Instruction CreateABC(OpCode op, int a, int b, int c) {
    return (Instruction(op) << kOpShift) | ((Instruction(a) & kMaxA) << kAShift) |
           ((Instruction(b) & kMaxB) << kBShift) | ((Instruction(c) & kMaxC) << kCShift);
}
constexpr Instruction CreateABx(OpCode op, int a, unsigned bx) {
    return (Instruction(op) << kOpShift) | ((Instruction(a) & kMaxA) << kAShift) | ((bx & kMaxBx) << kBxShift);
}
constexpr Instruction CreateAsBx(OpCode op, int a, int sbx) { return CreateABx(op, a, unsigned(sbx + kMaxSBx)); }

constexpr bool IsRKConstant(int x) { return (unsigned(x) & kRKConstantBit) != 0; }
constexpr int RKConstantIndex(int x) { return int(unsigned(x) & ~kRKConstantBit); }
constexpr int RKConstant(int constantIndex) { return int(unsigned(constantIndex) | kRKConstantBit); }

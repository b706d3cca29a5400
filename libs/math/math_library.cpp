// Bindings of the "math" command library.
#include "libs/math/math_library.h"

#include <cmath>
#include <ctime>

#include "libs/math/math_ops.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kMathReference;

namespace {

// One number in, one number out.
template <double (*Fn)(double)> int UnaryCommand(VMState *vm) {
    CheckArgs(vm, 1, 1);
    PushNumber(vm, Fn(CheckNumberArg(vm, 1)));
    return 1;
}

template <double (*Fn)(double, double)> int BinaryCommand(VMState *vm) {
    CheckArgs(vm, 2, 2);
    double a = CheckNumberArg(vm, 1), b = CheckNumberArg(vm, 2);
    PushNumber(vm, Fn(a, b));
    return 1;
}

double Abs(double x) { return std::fabs(x); }
double Sin(double x) { return std::sin(x); }
double Cos(double x) { return std::cos(x); }
double Tan(double x) { return std::tan(x); }
double ASin(double x) { return std::asin(x); }
double ACos(double x) { return std::acos(x); }
double ATan(double x) { return std::atan(x); }
double ATan2(double y, double x) { return std::atan2(y, x); }
double Ceil(double x) { return std::ceil(x); }
double Floor(double x) { return std::floor(x); }
double Sqrt(double x) { return std::sqrt(x); }
double Pow(double x, double y) { return std::pow(x, y); }
// Log is the base-10 logarithm; Ln and Ld cover the natural and base-2 ones.
double Log(double x) { return std::log10(x); }
double Ln(double x) { return std::log(x); }
double Exp(double x) { return std::exp(x); }
double Deg(double x) { return x / 0.017453292519943295; }
double Rad(double x) { return x * 0.017453292519943295; }
double Add(double a, double b) { return a + b; }
double Sub(double a, double b) { return a - b; }
double Mul(double a, double b) { return a * b; }
double Int(double x) { return SaturateToInt32(x); }
double Round(double x) { return SaturateToInt32(mathlib::RoundHalfEven(x)); }
double Sgn(double x) { return mathlib::Sgn(x); }

int CmdMod(VMState *vm) {
    CheckArgs(vm, 2, 2);
    double a = CheckNumberArg(vm, 1), b = CheckNumberArg(vm, 2);
    if (b == 0) return kErrDivisionByZero;
    PushNumber(vm, std::fmod(a, b));
    return 1;
}

int CmdDiv(VMState *vm) {
    CheckArgs(vm, 2, 2);
    double a = CheckNumberArg(vm, 1), b = CheckNumberArg(vm, 2);
    if (b == 0) return kErrDivisionByZero;
    PushNumber(vm, a / b);
    return 1;
}

int CmdFrExp(VMState *vm) {
    CheckArgs(vm, 1, 1);
    int exponent = 0;
    double mantissa = std::frexp(CheckNumberArg(vm, 1), &exponent);
    PushNumber(vm, mantissa);
    PushNumber(vm, exponent);
    return 2;
}

int CmdLdExp(VMState *vm) {
    CheckArgs(vm, 2, 2);
    double m = CheckNumberArg(vm, 1);
    PushNumber(vm, std::ldexp(m, CheckInt32Arg(vm, 2)));
    return 1;
}

int CmdRt(VMState *vm) {
    CheckArgs(vm, 2, 2);
    double x = CheckNumberArg(vm, 1), n = CheckNumberArg(vm, 2);
    if (n == 0) return kErrDivisionByZero;
    if (n < 0) return kErrWrongUsage;
    PushNumber(vm, std::pow(x, 1.0 / n));
    return 1;
}

// Ties and NaNs keep the earlier value: only a strictly smaller (larger) argument replaces it.
int CmdMin(VMState *vm) {
    CheckArgs(vm, 2, 0);
    double best = CheckNumberArg(vm, 1);
    for (int i = 2, n = GetTop(vm); i <= n; ++i) {
        double x = CheckNumberArg(vm, i);
        if (x < best) best = x;
    }
    PushNumber(vm, best);
    return 1;
}

int CmdMax(VMState *vm) {
    CheckArgs(vm, 2, 0);
    double best = CheckNumberArg(vm, 1);
    for (int i = 2, n = GetTop(vm); i <= n; ++i) {
        double x = CheckNumberArg(vm, i);
        if (x > best) best = x;
    }
    PushNumber(vm, best);
    return 1;
}

int CmdRnd(VMState *vm) {
    CheckArgs(vm, 1, 1);
    int32_t n = CheckInt32Arg(vm, 1);
    if (n == 0) return kErrDivisionByZero;
    if (n < 0) return kErrWrongUsage;
    PushNumber(vm, SaturateToInt32(RuntimeDrand48() * n));
    return 1;
}

int CmdRndF(VMState *vm) {
    CheckArgs(vm, 0, 0);
    PushNumber(vm, RuntimeDrand48());
    return 1;
}

int CmdWrap(VMState *vm) {
    CheckArgs(vm, 3, 3);
    double x = CheckNumberArg(vm, 1), low = CheckNumberArg(vm, 2), high = CheckNumberArg(vm, 3);
    PushNumber(vm, mathlib::Wrap(x, low, high));
    return 1;
}

int CmdLimit(VMState *vm) {
    CheckArgs(vm, 3, 3);
    double x = CheckNumberArg(vm, 1), low = CheckNumberArg(vm, 2), high = CheckNumberArg(vm, 3);
    PushNumber(vm, mathlib::Limit(x, low, high));
    return 1;
}

// Reads the bit number of BitSet, BitClear and BitTest; -1 when it lies outside the word.
int32_t BitArg(VMState *vm) {
    int32_t bit = CheckInt32Arg(vm, 2);
    return bit >= 0 && bit <= 31 ? bit : -1;
}

int CmdBitSet(VMState *vm) {
    CheckArgs(vm, 2, 2);
    uint32_t x = CheckUnsignedArg(vm, 1);
    int32_t bit = BitArg(vm);
    if (bit < 0) return kErrWrongUsage;
    PushNumber(vm, x | (1u << bit));
    return 1;
}

int CmdBitClear(VMState *vm) {
    CheckArgs(vm, 2, 2);
    uint32_t x = CheckUnsignedArg(vm, 1);
    int32_t bit = BitArg(vm);
    if (bit < 0) return kErrWrongUsage;
    PushNumber(vm, x & ~(1u << bit));
    return 1;
}

int CmdBitTest(VMState *vm) {
    CheckArgs(vm, 2, 2);
    uint32_t x = CheckUnsignedArg(vm, 1);
    int32_t bit = BitArg(vm);
    if (bit < 0) return kErrWrongUsage;
    PushNumber(vm, (x >> bit) & 1u);
    return 1;
}

int CmdBitXor(VMState *vm) {
    CheckArgs(vm, 2, 2);
    uint32_t a = CheckUnsignedArg(vm, 1), b = CheckUnsignedArg(vm, 2);
    PushNumber(vm, a ^ b);
    return 1;
}

int CmdBitComplement(VMState *vm) {
    CheckArgs(vm, 1, 1);
    PushNumber(vm, ~CheckUnsignedArg(vm, 1));
    return 1;
}

template <auto Shift> int ShiftCommand(VMState *vm) {
    CheckArgs(vm, 2, 2);
    uint32_t x = CheckUnsignedArg(vm, 1);
    PushNumber(vm, Shift(x, CheckInt32Arg(vm, 2)));
    return 1;
}

template <uint32_t (*Rotate)(uint32_t, int32_t, int)> int RotateCommand(VMState *vm) {
    CheckArgs(vm, 2, 3);
    uint32_t x = CheckUnsignedArg(vm, 1);
    int32_t n = CheckInt32Arg(vm, 2);
    int width = mathlib::BitWidthOfType(OptInt32Arg(vm, 3, 1));
    if (width == 0) return kErrWrongUsage;
    PushNumber(vm, Rotate(x, n, width));
    return 1;
}

int CmdCast(VMState *vm) {
    CheckArgs(vm, 3, 3);
    uint32_t x = CheckUnsignedArg(vm, 1);
    bool isSigned = CheckInt32Arg(vm, 2) != 0;
    int width = mathlib::BitWidthOfType(CheckInt32Arg(vm, 3));
    if (width == 0) return kErrWrongUsage;
    PushNumber(vm, mathlib::Cast(x, isSigned, width));
    return 1;
}

void RegisterMathLibrary(VMState *vm) {
    RegisterCommands(vm, kMathCommands);
    RegisterCommandLibrary(kMathCommands, "math", &kMathReference);
    RegisterConstants(vm, kMathConstants);
    // Both generators of the runtime start from the wall-clock second, so runs differ unless a script seeds.
    std::time_t now = std::time(nullptr);
    SeedRuntimeRand(static_cast<uint32_t>(now));
    SeedRuntimeDrand48(static_cast<int64_t>(now));
}

void FreeMathLibrary(VMState *) {} // the library keeps no state

} // namespace

const CommandEntry kMathCommands[] = {
    {"Abs", UnaryCommand<Abs>},
    {"Sin", UnaryCommand<Sin>},
    {"Cos", UnaryCommand<Cos>},
    {"Tan", UnaryCommand<Tan>},
    {"ASin", UnaryCommand<ASin>},
    {"ACos", UnaryCommand<ACos>},
    {"ATan", UnaryCommand<ATan>},
    {"ATan2", BinaryCommand<ATan2>},
    {"Ceil", UnaryCommand<Ceil>},
    {"Floor", UnaryCommand<Floor>},
    {"Mod", CmdMod},
    {"FrExp", CmdFrExp},
    {"LdExp", CmdLdExp},
    {"Sqrt", UnaryCommand<Sqrt>},
    {"Pow", BinaryCommand<Pow>},
    {"Rt", CmdRt},
    {"Min", CmdMin},
    {"Max", CmdMax},
    {"Log", UnaryCommand<Log>},
    {"Ld", UnaryCommand<mathlib::Ld>},
    {"Ln", UnaryCommand<Ln>},
    {"Exp", UnaryCommand<Exp>},
    {"Deg", UnaryCommand<Deg>},
    {"Rad", UnaryCommand<Rad>},
    {"Add", BinaryCommand<Add>},
    {"Sub", BinaryCommand<Sub>},
    {"Mul", BinaryCommand<Mul>},
    {"Div", CmdDiv},
    {"Int", UnaryCommand<Int>},
    {"Frac", UnaryCommand<mathlib::Frac>},
    {"Round", UnaryCommand<Round>},
    {"Sgn", UnaryCommand<Sgn>},
    {"Rnd", CmdRnd},
    {"RndF", CmdRndF},
    {"Wrap", CmdWrap},
    {"Limit", CmdLimit},
    {"BitSet", CmdBitSet},
    {"BitClear", CmdBitClear},
    {"BitTest", CmdBitTest},
    {"BitXor", CmdBitXor},
    {"BitComplement", CmdBitComplement},
    {"Shl", ShiftCommand<mathlib::Shl>},
    {"Shr", ShiftCommand<mathlib::Shr>},
    {"Sar", ShiftCommand<mathlib::Sar>},
    {"Ror", RotateCommand<mathlib::Ror>},
    {"Rol", RotateCommand<mathlib::Rol>},
    {"Cast", CmdCast},
    {nullptr, nullptr},
};

const ConstantEntry kMathConstants[] = {
    {"PI", nullptr, 3.141592653589793},
    {nullptr, nullptr, 0},
};

const LibraryDescriptor kMathLibrary = {"math", RegisterMathLibrary, FreeMathLibrary};

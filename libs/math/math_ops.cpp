#include "libs/math/math_ops.h"

#include <bit>
#include <cmath>

namespace mathlib {

int BitWidthOfType(int32_t type) {
    switch (type) {
    case 1: return 32;
    case 6: return 16;
    case 7: return 8;
    default: return 0;
    }
}

// Explicit ties-to-even, so the result never depends on the FPU's current rounding mode.
double RoundHalfEven(double x) {
    double whole = std::floor(x);
    double rest = x - whole; // exact: below 2^52 a double's fraction bits survive the subtraction
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    return whole; // NaN and infinities pass through
}

double Frac(double x) {
    double whole;
    return std::modf(x, &whole);
}

int32_t Sgn(double x) {
    if (x > 0) return 1;
    if (x < 0) return -1;
    return 0;
}

double Wrap(double x, double low, double high) {
    if (x < low) return x - low + high;
    if (x >= high) return x - high + low;
    return x;
}

double Limit(double x, double low, double high) {
    if (x < low) return low;
    if (x > high) return high;
    return x;
}

double Ld(double x) {
    return std::log10(x) / std::log10(2.0);
}

static uint32_t MachineShl(uint32_t x, uint32_t count) {
    count &= 63;
    return count < 32 ? x << count : 0;
}

static uint32_t MachineShr(uint32_t x, uint32_t count) {
    count &= 63;
    return count < 32 ? x >> count : 0;
}

static uint32_t ReduceToWidth(uint32_t x, int width) {
    return width >= 32 ? x : x & ((1u << width) - 1);
}

uint32_t Shl(uint32_t x, int32_t n) {
    return MachineShl(x, static_cast<uint32_t>(n));
}

uint32_t Shr(uint32_t x, int32_t n) {
    return MachineShr(x, static_cast<uint32_t>(n));
}

int32_t Sar(uint32_t x, int32_t n) {
    uint32_t count = static_cast<uint32_t>(n) & 63;
    return static_cast<int32_t>(x) >> (count < 32 ? count : 31);
}

uint32_t Ror(uint32_t x, int32_t n, int width) {
    uint32_t value = ReduceToWidth(x, width);
    uint32_t m = static_cast<uint32_t>(n) & 63;
    return MachineShr(value, m) | ReduceToWidth(MachineShl(value, static_cast<uint32_t>(width) - m), width);
}

uint32_t Rol(uint32_t x, int32_t n, int width) {
    if (width >= 32) return std::rotl(x, static_cast<int>(static_cast<uint32_t>(n) & 31));
    uint32_t value = ReduceToWidth(x, width);
    uint32_t m = static_cast<uint32_t>(n) & 63;
    return ReduceToWidth(MachineShl(value, m), width) | MachineShr(value, static_cast<uint32_t>(width) - m);
}

double Cast(uint32_t x, bool isSigned, int width) {
    switch (width) {
    case 16: return isSigned ? static_cast<double>(static_cast<int16_t>(x)) : static_cast<double>(x & 0xFFFFu);
    case 8: return isSigned ? static_cast<double>(static_cast<int8_t>(x)) : static_cast<double>(x & 0xFFu);
    default: return isSigned ? static_cast<double>(static_cast<int32_t>(x)) : static_cast<double>(x);
    }
}

} // namespace mathlib

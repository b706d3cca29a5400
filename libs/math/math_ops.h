// The math library's operations on plain numbers; math_library.cpp binds them to commands.
#pragma once

#include <cstdint>

namespace mathlib {

// Width types shared with BinStr, Peek and Poke: 1 = 32 bits, 6 = 16 bits, 7 = 8 bits.
int BitWidthOfType(int32_t type); // 0 for any other type

double RoundHalfEven(double x); // the nearest integer, halves to the even neighbour
double Frac(double x);         // the fractional part with the sign of x
int32_t Sgn(double x);         // -1, 0 or 1; 0 for NaN
double Wrap(double x, double low, double high); // one period only
double Limit(double x, double low, double high);
double Ld(double x);

// Shifts use only the count's low 6 bits; counts 32..63 move every bit out, as a 32-bit machine shift does.
uint32_t Shl(uint32_t x, int32_t n);
uint32_t Shr(uint32_t x, int32_t n);
int32_t Sar(uint32_t x, int32_t n);
// Rotations within a width of 32, 16 or 8 bits. Counts above the width are built from the machine shifts above
// and so give 0 (Ror at every width, Rol at 16 and 8); Rol at 32 bits rotates by n mod 32.
uint32_t Ror(uint32_t x, int32_t n, int width);
uint32_t Rol(uint32_t x, int32_t n, int width);
double Cast(uint32_t x, bool isSigned, int width);

} // namespace mathlib

// Number helpers of the library: decimal text to int32 and back in any
// radix, absolute values, float-to-int32 truncation with a defined result
// out of range (0x80000000), square root, sine and cosine at once, and the
// unsigned 128-bit multiply and divide of the microsecond clock.
#pragma once

#include <cstdint>

// An unsigned 128-bit number as two 64-bit halves.
struct Uint128 {
  uint64_t low = 0;
  uint64_t high = 0;
};

// Skips to the first digit or '-'; -1 when there is none. Reads the decimal
// digits after an optional '-' (at most 32; the value wraps in 32 bits) and
// returns them, negated after '-'; a '-' without a digit after it gives 0.
int32_t StrToInt(const char* text);
// Writes value in the radix (2 to 36; any other radix writes decimal):
// "0" for zero, else '-' and the digits of the absolute value, digits above
// 9 as lower-case letters. out needs room for 34 bytes. Returns out.
char* IntToStr(int32_t value, char* out, int radix);

// |value|; AbsInt(INT32_MIN) is INT32_MIN, as in two's complement.
int32_t AbsInt(int32_t value);
float AbsFloat(float value);

// Truncation toward zero; NaN and values outside int32 give 0x80000000.
int32_t FloatToInt(float value);
int32_t DoubleToInt(double value);

float SqrtFloat(float value);
// Sine and cosine of a radian angle, computed in double and rounded to float.
void SinCosF(float angle, float* sine, float* cosine);

// Full unsigned product a × b.
void Mul64To128(const uint64_t* a, const uint64_t* b, Uint128* out);
// Unsigned quotient dividend / divisor, low 64 bits kept. A zero divisor
// gives all ones (what the shift-and-subtract loop produces), never a trap.
void Div128By64(const Uint128* dividend, const uint64_t* divisor, uint64_t* quotient);

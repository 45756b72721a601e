// Number helpers: text conversions, truncating conversions, 128-bit
// arithmetic.
#include "engine/core/base/number_helpers.h"

#include <cmath>

int32_t StrToInt(const char* text) {
  const char* p = text;
  while (*p != '\0' && *p != '-' && !(*p >= '0' && *p <= '9')) ++p;
  if (*p == '\0') return -1;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  }
  uint32_t value = 0;
  for (int digits = 0; digits < 32 && *p >= '0' && *p <= '9'; ++digits, ++p) {
    value = value * 10u + static_cast<uint32_t>(*p - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

char* IntToStr(int32_t value, char* out, int radix) {
  if (radix < 2 || radix > 36) radix = 10;
  char* p = out;
  if (value == 0) {
    *p++ = '0';
    *p = '\0';
    return out;
  }
  uint32_t magnitude = static_cast<uint32_t>(value);
  if (value < 0) {
    *p++ = '-';
    magnitude = 0u - magnitude;
  }
  char digits[33];
  int count = 0;
  while (magnitude != 0) {
    uint32_t digit = magnitude % static_cast<uint32_t>(radix);
    digits[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + (digit - 10));
    magnitude /= static_cast<uint32_t>(radix);
  }
  while (count > 0) *p++ = digits[--count];
  *p = '\0';
  return out;
}

int32_t AbsInt(int32_t value) {
  return value < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(value)) : value;
}

float AbsFloat(float value) { return std::fabs(value); }

int32_t FloatToInt(float value) { return DoubleToInt(static_cast<double>(value)); }

int32_t DoubleToInt(double value) {
  // The range is checked before converting: out-of-range conversion is
  // undefined in C++, and the processor's answer there is 0x80000000.
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(value);  // truncates toward zero
}

float SqrtFloat(float value) { return std::sqrt(value); }

void SinCosF(float angle, float* sine, float* cosine) {
  double radians = static_cast<double>(angle);
  *sine = static_cast<float>(std::sin(radians));
  *cosine = static_cast<float>(std::cos(radians));
}

void Mul64To128(const uint64_t* a, const uint64_t* b, Uint128* out) {
  unsigned __int128 product = static_cast<unsigned __int128>(*a) * *b;
  out->low = static_cast<uint64_t>(product);
  out->high = static_cast<uint64_t>(product >> 64);
}

void Div128By64(const Uint128* dividend, const uint64_t* divisor, uint64_t* quotient) {
  if (*divisor == 0) {
    *quotient = UINT64_MAX;
    return;
  }
  unsigned __int128 value = (static_cast<unsigned __int128>(dividend->high) << 64) | dividend->low;
  *quotient = static_cast<uint64_t>(value / *divisor);
}

// Number and rectangle helpers: text conversions, truncating conversions
// whatever the rounding mode, 128-bit arithmetic and clipping.
#include "engine/core/base/number_helpers.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/core/base/rect_helpers.h"

namespace {

TEST(StrToIntTest, Table) {
  struct Case {
    const char* text;
    int32_t expected;
  };
  const std::vector<Case> cases = {
      {"42", 42},
      {"abc-12x", -12},
      {"abc", -1},
      {"", -1},
      {"x-y", 0},
      {"-", 0},
      {"--5", 0},
      {"ab 7 8", 7},
      {"007", 7},
      {"\x82\x54:15", 15},       // a double-byte character before the number
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MIN},  // wraps in 32 bits
      {"-2147483648", INT32_MIN},
      {"4294967297", 1},
      {"000000000000000000000000000000001", 0},  // the 33rd digit is not read
  };
  for (const Case& c : cases) EXPECT_EQ(StrToInt(c.text), c.expected) << c.text;
}

TEST(IntToStrTest, Table) {
  struct Case {
    int32_t value;
    int radix;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {0, 10, "0"},
      {0, 2, "0"},
      {-255, 16, "-ff"},
      {255, 2, "11111111"},
      {1234567890, 10, "1234567890"},
      {INT32_MIN, 10, "-2147483648"},
      {INT32_MIN, 16, "-80000000"},
      {INT32_MIN, 2, "-10000000000000000000000000000000"},
      {35, 36, "z"},
      {-36, 36, "-10"},
      {77, 1, "77"},   // unsupported radix: decimal
      {77, 37, "77"},
  };
  for (const Case& c : cases) {
    char out[40];
    std::memset(out, 'X', sizeof(out));
    EXPECT_EQ(IntToStr(c.value, out, c.radix), out);
    EXPECT_STREQ(out, c.expected) << c.value << " radix " << c.radix;
  }
}

TEST(AbsTest, Values) {
  EXPECT_EQ(AbsInt(-5), 5);
  EXPECT_EQ(AbsInt(5), 5);
  EXPECT_EQ(AbsInt(INT32_MIN), INT32_MIN);
  EXPECT_EQ(AbsFloat(-2.5f), 2.5f);
  EXPECT_FALSE(std::signbit(AbsFloat(-0.0f)));
}

TEST(TruncationTest, TowardZeroInEveryRoundingModeAndDefinedOutOfRange) {
  struct Case {
    double value;
    int32_t expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Case> double_cases = {
      {2.99, 2}, {-1.9, -1}, {-0.5, 0}, {0.999999, 0}, {-2147483648.0, INT32_MIN},
      {-2147483648.9, INT32_MIN}, {2147483647.0, INT32_MAX}, {2147483647.9, INT32_MAX},
      {2147483648.0, INT32_MIN}, {-2147483649.0, INT32_MIN}, {1e300, INT32_MIN},
      {nan, INT32_MIN}, {inf, INT32_MIN}, {-inf, INT32_MIN},
  };
  const std::vector<std::pair<float, int32_t>> float_cases = {
      {-1.9f, -1}, {2.99f, 2}, {16777217.0f, 16777216}, {2147483520.0f, 2147483520},
      {2147483648.0f, INT32_MIN}, {-2147483648.0f, INT32_MIN}, {-3e9f, INT32_MIN},
      {std::numeric_limits<float>::quiet_NaN(), INT32_MIN},
  };
  const int saved = std::fegetround();
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    std::fesetround(mode);
    for (const Case& c : double_cases) EXPECT_EQ(DoubleToInt(c.value), c.expected) << c.value;
    for (const auto& [value, expected] : float_cases) EXPECT_EQ(FloatToInt(value), expected) << value;
  }
  std::fesetround(saved);
  EXPECT_EQ(std::fegetround(), saved);  // the caller's rounding mode is kept
}

TEST(SinCosFTest, ComputedInDoubleAndRoundedToFloat) {
  float sine = 9, cosine = 9;
  SinCosF(0.0f, &sine, &cosine);
  EXPECT_EQ(sine, 0.0f);
  EXPECT_EQ(cosine, 1.0f);
  // The float nearest pi/2 lies a little above it: its cosine is a small
  // negative number, exactly the double result rounded to float.
  const float half_pi = 1.57079637f;
  SinCosF(half_pi, &sine, &cosine);
  EXPECT_EQ(sine, 1.0f);
  EXPECT_EQ(cosine, static_cast<float>(-4.371139000186241e-08));
  for (float angle : {0.5f, -2.0f, 3.14159274f, 100.0f, 1e6f}) {
    SinCosF(angle, &sine, &cosine);
    EXPECT_EQ(sine, static_cast<float>(std::sin(static_cast<double>(angle)))) << angle;
    EXPECT_EQ(cosine, static_cast<float>(std::cos(static_cast<double>(angle)))) << angle;
  }
  EXPECT_EQ(SqrtFloat(2.25f), 1.5f);
  EXPECT_EQ(SqrtFloat(2.0f), 1.41421354f);
}

TEST(Arithmetic128Test, MultiplyAndDivide) {
  struct Product {
    uint64_t a, b, high, low;
  };
  const std::vector<Product> products = {
      {0, UINT64_MAX, 0, 0},
      {UINT64_MAX, UINT64_MAX, 0xFFFFFFFFFFFFFFFEull, 1},
      {1ull << 32, 1ull << 32, 1, 0},
      {0x123456789ABCDEFull, 1000000, 0x115Cull, 0x71C71C71C70C19C0ull},
  };
  for (const Product& p : products) {
    Uint128 out;
    Mul64To128(&p.a, &p.b, &out);
    EXPECT_EQ(out.high, p.high) << p.a;
    EXPECT_EQ(out.low, p.low) << p.a;
  }
  struct Quotient {
    Uint128 dividend;
    uint64_t divisor, quotient;
  };
  const std::vector<Quotient> quotients = {
      {{0, 1}, 2, 0x8000000000000000ull},
      {{100, 0}, 7, 14},
      {{1, 1}, 1, 1},                         // low 64 bits of 2^64 + 1
      {{0x71C71C71C70C19C0ull, 0x115C}, 1000000, 0x123456789ABCDEFull},
      {{5, 0}, 0, UINT64_MAX},                // zero divisor: no trap
  };
  for (const Quotient& q : quotients) {
    uint64_t quotient = 0;
    Div128By64(&q.dividend, &q.divisor, &quotient);
    EXPECT_EQ(quotient, q.quotient) << q.dividend.low << "/" << q.divisor;
  }
  // The microsecond clock: counter × 1,000,000 / frequency without overflow.
  const uint64_t counter = 0xFFFFFFFFFFFull, million = 1000000, frequency = 3579545;
  Uint128 product;
  Mul64To128(&counter, &million, &product);
  uint64_t micro = 0;
  Div128By64(&product, &frequency, &micro);
  EXPECT_EQ(micro, static_cast<uint64_t>((static_cast<unsigned __int128>(counter) * million) / frequency));
}

TEST(ClipRectTest, RaisesThenClampsInOrder) {
  struct Case {
    IntRect rect, clip, expected;
  };
  const std::vector<Case> cases = {
      {{10, 10, 5, 5}, {0, 0, 100, 100}, {10, 10, 10, 10}},      // raised, not swapped
      {{-5, -5, 50, 50}, {0, 0, 100, 100}, {0, 0, 50, 50}},
      {{150, 20, 200, 30}, {0, 0, 100, 100}, {100, 20, 100, 30}},  // right of the clip
      {{20, 150, 30, 10}, {0, 0, 100, 100}, {20, 100, 30, 100}},
      {{-50, -50, -10, -10}, {0, 0, 100, 100}, {0, 0, 0, 0}},
      {{1, 2, 3, 4}, {0, 0, 640, 480}, {1, 2, 3, 4}},
      {{5, 5, 50, 50}, {10, 10, 0, 0}, {10, 10, 10, 10}},          // backwards clip: near edge wins
  };
  for (const Case& c : cases) {
    IntRect rect = c.rect;
    EXPECT_EQ(ClipRect(&rect, &c.clip), 0);
    EXPECT_EQ(rect.left, c.expected.left);
    EXPECT_EQ(rect.top, c.expected.top);
    EXPECT_EQ(rect.right, c.expected.right);
    EXPECT_EQ(rect.bottom, c.expected.bottom);
  }
}

TEST(RectHelpersTest, NormalizeSizeAndConvert) {
  IntRect rect{30, 40, 10, 5};
  EXPECT_EQ(NormalizeRect(&rect), 0);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 5);
  EXPECT_EQ(rect.right, 30);
  EXPECT_EQ(rect.bottom, 40);
  int width = 0, height = 0;
  EXPECT_EQ(GetRectSize(&rect, &width, &height), 0);
  EXPECT_EQ(width, 20);
  EXPECT_EQ(height, 35);
  EXPECT_EQ(GetRectSize(&rect, nullptr, &height), 0);
  EXPECT_EQ(GetRectSize(&rect, &width, nullptr), 0);
  IntRect wide{INT32_MIN, 0, INT32_MAX, 1};
  GetRectSize(&wide, &width, nullptr);
  EXPECT_EQ(width, -1);  // wraps in 32 bits

  DoubleRect source{-1.5, 2.9, 1e10, -0.2};
  IntRect out;
  DoubleRectToRect(&source, &out);
  EXPECT_EQ(out.left, -1);
  EXPECT_EQ(out.top, 2);
  EXPECT_EQ(out.right, INT32_MIN);
  EXPECT_EQ(out.bottom, 0);
}

}  // namespace

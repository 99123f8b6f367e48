#include "common/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace hulvex {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(FormatJsonNumber, ShortestTextThatReadsBackExactly) {
  struct Case {
    double v;
    const char* text;
  };
  const Case cases[] = {
      {0.1, "0.1"},
      {0.14, "0.14"},
      {static_cast<double>(0.05f), "0.05000000074505806"},  // a float widened: all its digits matter
      {1.0 / 3.0, "0.3333333333333333"},
      {-2.5, "-2.5"},
      {0.0001, "0.0001"},  // the smallest exponent written plainly ...
      {0.00001, "1e-05"},  // ... and the first written with one, as "%.17g" does
      {1e-300, "1e-300"},
      {5e-324, "5e-324"},  // the smallest subnormal
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {1e21, "1e+21"},
      {1e17, "1e+17"},
      {0.0, "0"},
      {-0.0, "-0"},
      {100.0, "100"},
      {-123456.0, "-123456"},
      {1e16, "10000000000000000"},
      {12345678901234568.0, "12345678901234568"},
      {9007199254740993.0, "9007199254740992"},  // 2^53 + 1 is not a double: its neighbour below
  };
  for (const Case& c : cases) {
    const std::string text = FormatJsonNumber(c.v);
    EXPECT_EQ(text, c.text) << c.v;
    const double back = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&back, &c.v, sizeof back), 0) << text << " does not read back as " << c.v;
    // Integral values and the choice of notation are as "%.17g" writes them; only digits that do
    // not change the value are dropped.
    char printf17[40];
    std::snprintf(printf17, sizeof printf17, "%.17g", c.v);
    EXPECT_EQ(std::strchr(text.c_str(), 'e') != nullptr, std::strchr(printf17, 'e') != nullptr) << text;
    if (std::trunc(c.v) == c.v) {
      EXPECT_EQ(std::strchr(text.c_str(), '.') == nullptr, std::strchr(printf17, '.') == nullptr) << text;
    }
    EXPECT_LE(text.size(), std::strlen(printf17)) << text;
  }
}

TEST(FormatJsonNumber, NonFiniteValuesAreStrings) {
  EXPECT_EQ(FormatJsonNumber(std::nan("")), "\"NaN\"");
  EXPECT_EQ(FormatJsonNumber(kInf), "\"Infinity\"");
  EXPECT_EQ(FormatJsonNumber(-kInf), "\"-Infinity\"");
}

TEST(FormatJsonNumber, RoundTripsOverTheExponentRange) {
  // Values built from arbitrary bit patterns, every exponent the double has.
  std::uint64_t bits = 0x9E3779B97F4A7C15u;
  for (int i = 0; i < 20000; ++i) {
    bits = bits * 6364136223846793005u + 1442695040888963407u;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v)) continue;
    const std::string text = FormatJsonNumber(v);
    const double back = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&back, &v, sizeof v), 0) << text;
  }
}

TEST(FormatSeconds, NineSignificantDigits) {
  EXPECT_EQ(FormatSeconds(0.01), "0.01 s");
  EXPECT_EQ(FormatSeconds(3600.00001), "3600.00001 s");
  EXPECT_EQ(FormatSeconds(1234567.891), "1234567.89 s");
  EXPECT_EQ(FormatSeconds(-2), "-2 s");
  EXPECT_EQ(FormatSignificant(1.5e7, 2), "1.5e+07");
}

}  // namespace
}  // namespace hulvex

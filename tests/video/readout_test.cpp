#include "common/number_format.h"
#include "video/readout.h"

#include <gtest/gtest.h>

#include <limits>

namespace hulvex {
namespace {

TEST(Readout, FixedFormatRightAlignsAndNeverCuts) {
  EXPECT_EQ(FormatFixed(1.5, 12, 6), "    1.500000");
  EXPECT_EQ(FormatFixed(-0.25, 12, 3), "      -0.250");
  EXPECT_EQ(FormatFixed(123456789.0, 12, 6), "123456789.000000");
  EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 12, 2), "         NaN");
  EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 6, 2), "  -Inf");
  EXPECT_EQ(FormatFixed(1e300, 12, 2).size(), 304u);
}

struct ReadoutCase {
  const char* name;
  double T, Accel, Speed;
  std::string text;
};

TEST(Readout, LineOfTimeSpeedAndAcceleration) {
  const ReadoutCase cases[] = {
      {"one knot and one g", 1.5, 32.18, 1.6866, "    1.500000        1.00kt       1.000g"},
      {"zero", 0, 0, 0, "    0.000000        0.00kt       0.000g"},
      {"negative acceleration", 12.25, -16.09, 50.6, "   12.250000       30.00kt      -0.500g"},
      // A 16-character time is cut to 15; the text is then cut to 30 after the speed.
      {"huge time", 123456789.0, 0, 0, "123456789.00000        0.00kt       0.000g"},
      {"huge everything", 1e20, 1e20, 1e20, "100000000000000592885375494071kt310752019888129g"},
  };
  for (const auto& c : cases) {
    const std::string text = ReadoutText(c.T, c.Accel, c.Speed);
    EXPECT_EQ(text, c.text) << c.name;
    EXPECT_LE(text.size(), 48u) << c.name;
  }
  EXPECT_EQ(ReadoutText(1.5, 32.18, 1.6866).size(), 39u);
}

}  // namespace
}  // namespace hulvex

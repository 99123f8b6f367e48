#include "common/le_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace hulvex::le {
namespace {

TEST(LeBytes, DecodesLittleEndianAtUnalignedOffsets) {
  // Hand-assembled bytes, independent of the encoders.
  const std::vector<std::uint8_t> b = {0xAA, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x3F};
  EXPECT_EQ(uint8(b, 0), 0xAA);
  EXPECT_EQ(int16(b, 1), 0x1234);
  EXPECT_EQ(int32(b, 3), -2);
  EXPECT_EQ(real32(b, 7), 1.0f);
}

TEST(LeBytes, Real64OfKnownPattern) {
  // 1.5 = 0x3FF8000000000000
  const std::vector<std::uint8_t> b = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F};
  EXPECT_EQ(real64(b, 0), 1.5);
}

TEST(LeBytes, RoundTripsEveryWidthIncludingNonFinite) {
  std::vector<std::uint8_t> b(32);
  put_int16(b, 1, -32768);
  put_int32(b, 3, 2147483647);
  put_real32(b, 7, std::numeric_limits<float>::infinity());
  put_real64(b, 11, -0.1);
  put_real32(b, 19, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(int16(b, 1), -32768);
  EXPECT_EQ(int32(b, 3), 2147483647);
  EXPECT_TRUE(std::isinf(real32(b, 7)));
  EXPECT_EQ(real64(b, 11), -0.1);
  EXPECT_TRUE(std::isnan(real32(b, 19)));
}

TEST(LeBytes, FieldsOutsideTheBufferThrow) {
  const std::vector<std::uint8_t> b(8);
  EXPECT_THROW(int32(b, 5), InternalError);
  EXPECT_THROW(real64(b, 1), InternalError);
  EXPECT_THROW(uint8(b, 8), InternalError);
  EXPECT_THROW(int16(b, std::numeric_limits<std::size_t>::max()), InternalError);
  EXPECT_NO_THROW(real64(b, 0));
}

TEST(LeBytes, LengthPrefixedStringIsCutToItsCapacity) {
  std::vector<std::uint8_t> b = {200, 'A', 'B', 'C', 'D'};
  EXPECT_EQ(LengthPrefixed(b, 0, 4), "ABCD");
  b[0] = 2;
  EXPECT_EQ(LengthPrefixed(b, 0, 4), "AB");
  b[0] = 0;
  EXPECT_EQ(LengthPrefixed(b, 0, 4), "");
  EXPECT_THROW(LengthPrefixed(b, 1, 4), InternalError);
}

TEST(LeBytes, PutLengthPrefixedCutsAndKeepsTheRest) {
  std::vector<std::uint8_t> b(5, 'x');
  put_LengthPrefixed(b, 0, 4, "hello world");
  EXPECT_EQ(b[0], 4);
  EXPECT_EQ(LengthPrefixed(b, 0, 4), "hell");
  put_LengthPrefixed(b, 0, 4, "A");
  EXPECT_EQ(b[2], 'e');  // bytes after the text stay as they were
}

}  // namespace
}  // namespace hulvex::le

#include "hull/boat_record.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "demo/boat_writer.h"
#include "support/file_edit.h"

namespace hulvex {
namespace {
using test_support::TempDir;

TEST(BoatRecord, FieldsSitAtTheirOffsets) {
  // Offsets written out here, independently of the layout header.
  std::array<std::uint8_t, 402> raw{};
  auto put = [&](std::size_t at, const std::vector<std::uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), raw.begin() + static_cast<std::ptrdiff_t>(at));
  };
  put(0, test_support::Int16Bytes(5));
  put(2, test_support::Real32Bytes(8.5f));
  put(46, test_support::Real32Bytes(24.0f));
  put(58, test_support::Int16Bytes(-7));
  put(66, test_support::Real32Bytes(3.25f));
  put(90, test_support::Real32Bytes(30.0f));  // LevTbl[1].Speed
  raw[110] = 1;
  raw[111] = 2;
  put(160, test_support::Real32Bytes(2.5f));
  put(236, {'H', 'U', 'L', 'L', '.', 'S', 'P', 'L'});
  put(308, test_support::Real32Bytes(12.0f));
  put(396, test_support::Real32Bytes(0.75f));
  raw[401] = 1;
  const BoatRecord pb = DecodeBoatRecord(raw);
  EXPECT_EQ(pb.HullType, 5);
  EXPECT_EQ(pb.Beam, 8.5f);
  EXPECT_EQ(pb.Length, 24.0f);
  EXPECT_EQ(pb.Spare58, -7);
  EXPECT_EQ(pb.Reserved62[1], 3.25f);
  EXPECT_EQ(pb.LevTbl[1].Speed, 30.0f);
  EXPECT_EQ(pb.SplineAlt, 1);
  EXPECT_EQ(pb.SplineAlt2, 2);
  EXPECT_EQ(pb.StemRake, 2.5f);
  EXPECT_EQ(pb.BoatName.size(), 48u);
  EXPECT_EQ(pb.BoatName.substr(0, 8), "HULL.SPL");
  EXPECT_EQ(pb.DeadriseLength, 12.0f);
  EXPECT_EQ(pb.PlanSlopeFactor, 0.75f);
  EXPECT_EQ(pb.SplineProps, 1);
}

TEST(BoatRecord, EncodeDecodeRoundTripKeepsUninterpretedBytes) {
  for (int type = 1; type <= 6; ++type) {
    BoatRecord pb = demo::SampleBoat(type);
    for (std::size_t at : {112u, 113u, 126u, 131u, 372u, 375u, 400u}) pb.Raw[at] = static_cast<std::uint8_t>(at);
    const auto bytes = demo::EncodeBoatRecord(pb);
    ASSERT_EQ(bytes.size(), 402u);
    std::array<std::uint8_t, 402> raw{};
    std::copy(bytes.begin(), bytes.end(), raw.begin());
    const BoatRecord back = DecodeBoatRecord(raw);
    EXPECT_EQ(demo::EncodeBoatRecord(back), bytes);
    for (const BoatRealField& f : BoatRealFields()) EXPECT_EQ(back.*f.Member, pb.*f.Member) << f.Name;
    EXPECT_EQ(back.Raw[126], 126);
    EXPECT_EQ(back.Raw[400], static_cast<std::uint8_t>(400));
  }
}

TEST(BoatRecord, RealFieldTableCoversTheRecordWithoutOverlap) {
  std::array<int, 402> owner{};
  for (const BoatRealField& f : BoatRealFields()) {
    ASSERT_LE(f.Offset + 4, 402u) << f.Name;
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(owner[f.Offset + i]++, 0) << f.Name;
  }
  EXPECT_EQ(BoatRealFields().size(), 71u);
}

TEST(SplineFileNameOf, TrailingBlanksGo) {
  struct Case {
    std::string name, expected;
  } cases[] = {
      {"HULL.SPL", "HULL.SPL"},
      {"C:\\LINES\\MY HULL.SPL   ", "C:\\LINES\\MY HULL.SPL"},
      {"", ""},
      {std::string(48, ' '), ""},
      {"  lead", "  lead"},
      {std::string(48, 'A'), std::string(48, 'A')},
  };
  for (const Case& c : cases) {
    BoatRecord pb;
    pb.BoatName = c.name;
    pb.BoatName.resize(48, ' ');
    EXPECT_EQ(SplineFileNameOf(pb), c.expected);
  }
}

TEST(ReadBoatFile, MissingShortAndLongFiles) {
  TempDir dir;
  EXPECT_FALSE(ReadBoatFile(dir / "NONE.BOT").has_value());
  demo::WriteBoatFile(dir / "B.BOT", demo::SampleBoat(2));
  test_support::PatchFile(dir / "B.BOT", 402, {1, 2, 3});  // bytes beyond the record are ignored
  const auto pb = ReadBoatFile(dir / "B.BOT");
  ASSERT_TRUE(pb.has_value());
  EXPECT_EQ(pb->HullType, 2);
  test_support::TruncateFile(dir / "B.BOT", 401);
  try {
    ReadBoatFile(dir / "B.BOT");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Read beyond end of file: " + (dir / "B.BOT"));
  }
}

}  // namespace
}  // namespace hulvex

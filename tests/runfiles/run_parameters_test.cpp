#include "runfiles/run_parameters.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/error.h"
#include "common/le_bytes.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"

namespace hulvex {
namespace {
namespace RL = run_parameters_layout;
using test_support::TempDir;

RunParameters Sample() {
  RunParameters p = demo::SampleRunParameters();
  p.WindV = 12.5f;
  p.TankT = true;
  p.DetailSp = 3;
  p.DetailStrt = 1.25f;
  p.DetailStop = 7.5f;
  p.HyAeroCD = 0.6f;
  p.HyAeroCL = 0.1f;
  p.DTdeg06 = -0.5f;
  p.RWvTdelay = 300.0f;
  p.ICZG1 = -0.25f;
  p.ICT1 = 1.5f;
  p.ThrustCount = 6;
  for (int k = 0; k < 7; ++k) p.ThrustTbl[k] = {1000.0f + k, 2.0f * k};
  for (int i = 0; i < 4; ++i) p.BLTbl[i] = {-1.0f * i, 10.0f * i};
  return p;
}

std::string Bytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

TEST(RunParameters, CurrentLayoutRoundTripsEveryField) {
  const RunParameters p = Sample();
  const RunParameters q = ParseRunParameters(Bytes(demo::EncodeRunParameters(p)), "x");
  EXPECT_EQ(q.FmtVer, p.FmtVer);
  EXPECT_EQ(q.DOFMode, 1);
  EXPECT_EQ(q.BoatFile, "C:\\BOATS\\TEST.BOT");
  EXPECT_EQ(q.WindV, 12.5f);
  EXPECT_EQ(q.WvHHS, p.WvHHS);
  EXPECT_EQ(q.WvSteep, p.WvSteep);
  EXPECT_TRUE(q.HeadSea);
  EXPECT_TRUE(q.TankT);
  EXPECT_EQ(q.Waves, 2);
  EXPECT_EQ(q.StokesN, 5);
  EXPECT_EQ(q.Tmax, p.Tmax);
  EXPECT_EQ(q.RWvN, 20);
  EXPECT_EQ(q.DetailSp, 3);
  EXPECT_EQ(q.DetailStrt, 1.25f);
  EXPECT_EQ(q.DetailStop, 7.5f);
  EXPECT_EQ(q.HyAeroCD, 0.6f);
  EXPECT_EQ(q.HyAeroCL, 0.1f);
  EXPECT_EQ(q.HyDens, p.HyDens);
  EXPECT_EQ(q.CBAR, p.CBAR);
  EXPECT_EQ(q.DTdeg06, -0.5f);
  EXPECT_EQ(q.HyNu, p.HyNu);
  EXPECT_EQ(q.RWvTdelay, 300.0f);
  EXPECT_EQ(q.ICZG, p.ICZG);
  EXPECT_EQ(q.ICZG1, -0.25f);
  EXPECT_EQ(q.ICT, p.ICT);
  EXPECT_EQ(q.ICT1, 1.5f);
  EXPECT_EQ(q.ICV, p.ICV);
  EXPECT_EQ(q.ThrustCount, 6);
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(q.ThrustTbl[k].Value, 1000.0f + k);
    EXPECT_EQ(q.ThrustTbl[k].Time, 2.0f * k);
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(q.BLTbl[i].Angle, -1.0f * i);
    EXPECT_EQ(q.BLTbl[i].Speed, 10.0f * i);
  }
  EXPECT_EQ(q.StationCount, 40);
  EXPECT_FALSE(q.SpeedSpecified);
}

TEST(RunParameters, FieldsSitAtTheirDocumentedOffsets) {
  // Independent of the writer: place values by hand at the table's offsets.
  std::vector<std::uint8_t> raw(RL::kRecordSize, 0);
  raw[0] = 200;
  raw[1] = 0;
  const float tmax = 33.5f;
  std::memcpy(&raw[110], &tmax, 4);  // host is little-endian x86_64
  raw[326] = 0x28;
  raw[327] = 0x00;
  raw[118] = 0xFF;
  raw[119] = 0xFF;  // RWvN = -1
  const RunParameters p = ParseRunParameters(Bytes(raw), "x");
  EXPECT_EQ(p.Tmax, 33.5f);
  EXPECT_EQ(p.StationCount, 40);
  EXPECT_EQ(p.RWvN, -1);
  EXPECT_TRUE(p.SpeedSpecified);
}

struct LayoutCase {
  std::uint8_t firstByte;
  bool current;
};

TEST(RunParameters, FirstByteSelectsTheLayout) {
  for (const LayoutCase c : {LayoutCase{88, true}, LayoutCase{255, true}, LayoutCase{87, false}, LayoutCase{0, false}}) {
    std::vector<std::uint8_t> raw(RL::kRecordSize, 0);
    raw[0] = c.firstByte;
    raw[1] = 0;  // current layout: mode 0
    for (std::size_t i = 2; i < 88; ++i) raw[i] = static_cast<std::uint8_t>('a' + i % 26);
    le::put_real32(raw, 88, 4.25f);
    const RunParameters p = ParseRunParameters(Bytes(raw), "x");
    if (c.current) {
      EXPECT_EQ(p.FmtVer, c.firstByte);
      EXPECT_EQ(p.DOFMode, 0);
      EXPECT_TRUE(p.SpeedSpecified);
    } else {
      EXPECT_EQ(p.FmtVer, 255);
      EXPECT_EQ(p.DOFMode, 1);
      EXPECT_FALSE(p.SpeedSpecified);
      // The boat-file string starts at file offset 0 in the old layout; a length byte above 85
      // (86 and 87 are old-layout markers too) is cut to the capacity.
      const std::size_t n = std::min<std::size_t>(c.firstByte, 85);
      EXPECT_EQ(p.BoatFile, Bytes(std::vector<std::uint8_t>(raw.begin() + 1, raw.begin() + 1 + n)));
    }
    EXPECT_EQ(p.WindV, 4.25f) << int(c.firstByte);  // record offset 88 = file offset 88
  }
}

TEST(RunParameters, OldLayoutWriterReadsBackAsTheCurrentRecord) {
  RunParameters p = Sample();
  p.DOFMode = 0;  // not stored by the old layout
  const RunParameters q = ParseRunParameters(Bytes(demo::EncodeRunParametersOldLayout(p, 0xEE)), "x");
  EXPECT_EQ(q.FmtVer, 255);
  EXPECT_EQ(q.DOFMode, 1);
  EXPECT_EQ(q.BoatFile, p.BoatFile);
  EXPECT_EQ(q.Raw[0], 255);
  EXPECT_EQ(q.Raw[1], 1);
  // Bytes 88 ... 327 are identical in both layouts.
  const auto current = demo::EncodeRunParameters(p);
  EXPECT_TRUE(std::equal(current.begin() + 88, current.end(), q.Raw.begin() + 88));
}

TEST(RunParameters, ReservedBytesArePreservedAsRead) {
  std::vector<std::uint8_t> raw = demo::EncodeRunParameters(Sample());
  for (std::size_t i : {100u, 103u, 114u, 117u, 130u, 137u, 150u, 153u, 166u, 169u, 194u, 233u}) raw[i] = 0xA5;
  const RunParameters p = ParseRunParameters(Bytes(raw), "x");
  EXPECT_TRUE(std::equal(raw.begin(), raw.end(), p.Raw.begin()));
  // The writer starts from Raw, so a read-write cycle keeps them too.
  EXPECT_EQ(demo::EncodeRunParameters(p), raw);
}

TEST(RunParameters, LongerFileUsesItsFirstRecordOnly) {
  TempDir dir;
  auto bytes = demo::EncodeRunParameters(Sample());
  bytes.resize(1000, 0x77);
  demo::WriteTextFile(dir / "R.HVX", Bytes(bytes));
  EXPECT_EQ(ReadRunParameters(dir / "R").StationCount, 40);
}

TEST(RunParameters, ShortFilesFailWithReadBeyondEndOfFile) {
  TempDir dir;
  for (demo::RunLayout layout : {demo::RunLayout::Current, demo::RunLayout::Old}) {
    for (std::size_t size : {0u, 1u, 87u, 88u, 327u}) {
      demo::WriteRunParametersFile(dir / "R.HVX", Sample(), layout);
      test_support::TruncateFile(dir / "R.HVX", size);
      try {
        ReadRunParameters(dir / "R");
        ADD_FAILURE() << "size " << size;
      } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Read beyond end of file: " + (dir / "R.HVX")) << size;
      }
    }
  }
}

TEST(RunParameters, MissingFileFailsWithFileNotFound) {
  TempDir dir;
  try {
    ReadRunParameters(dir / "NOPE");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "File not found: " + (dir / "NOPE.HVX"));
  }
}

TEST(RunParameters, LowerCaseExtensionIsFound) {
  TempDir dir;
  demo::WriteRunParametersFile(dir / "r1.hvx", Sample());
  EXPECT_EQ(ReadRunParameters(dir / "r1").StationCount, 40);
}

TEST(RunParameters, ModeAndSeaKindNames) {
  EXPECT_EQ(ModeName(0), "2 Degrees of Freedom");
  EXPECT_EQ(ModeName(1), "3 Degrees of Freedom (Thrust Specified)");
  EXPECT_EQ(ModeName(2), "3 Degrees of Freedom (RPM Specified)");
  EXPECT_EQ(ModeName(3), "3 Degrees of Freedom (Engine Specified)");
  EXPECT_EQ(ModeName(4), "");
  EXPECT_EQ(SeaKindName(0), "Random Sea");
  EXPECT_EQ(SeaKindName(1), "Flat Sea");
  EXPECT_EQ(SeaKindName(2), "Sinusoidal Sea");
  EXPECT_EQ(SeaKindName(3), "Gerstner Sea");
  EXPECT_EQ(SeaKindName(4), "Stokes Sea");
  EXPECT_EQ(SeaKindName(-1), "");
}

}  // namespace
}  // namespace hulvex

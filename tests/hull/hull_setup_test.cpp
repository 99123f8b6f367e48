#include "hull/hull_setup.h"

#include <gtest/gtest.h>

#include <cmath>

#include "demo/boat_writer.h"

namespace hulvex {
namespace {

// The fields the set-up derives for the analytic types (PlanSlopeFactor is not one of them).
constexpr float BoatRecord::*kDerived[] = {
    &BoatRecord::Length,         &BoatRecord::ChineTaper1,    &BoatRecord::ChineTaper2,   &BoatRecord::ChineTaper3,
    &BoatRecord::GunwaleLength,  &BoatRecord::GunwaleBeam,    &BoatRecord::GunwaleTaper1, &BoatRecord::GunwaleTaper2,
    &BoatRecord::GunwaleTaper3,  &BoatRecord::SheerLowXs,     &BoatRecord::DeadriseAftRad, &BoatRecord::DeadriseBowRad,
    &BoatRecord::DeadriseMixC,   &BoatRecord::DeadriseD1,     &BoatRecord::DeadriseD2,    &BoatRecord::DeadriseDScale,
    &BoatRecord::DeadriseSpan,   &BoatRecord::RockerEnd,      &BoatRecord::KeelSlopeScale, &BoatRecord::RockerCP,
    &BoatRecord::RockerExpM1,    &BoatRecord::KeelExpM1,      &BoatRecord::PlanG1,        &BoatRecord::PlanG,
    &BoatRecord::PlanShift,      &BoatRecord::PlanScale,
};

void Scramble(BoatRecord& pb) {
  float v = 1234.5f;
  for (auto field : kDerived) pb.*field = (v *= -0.77f);
}

bool Prepare(BoatRecord& pb, std::vector<std::string>* messages = nullptr) {
  CollectingDiagnostics diag;
  SplineStore none;
  const bool ok = PrepareHull(pb, none, SplineFileSource{}, diag);
  if (messages) *messages = diag.messages;
  return ok;
}

StationTable Build(const BoatRecord& pb, std::int16_t n) {
  StationTable t;
  NullDiagnostics quiet;
  SetUpStations(pb, n, t, quiet);
  BuildStationTable(pb, SplineStore{}, t, quiet);
  return t;
}

TEST(PrepareHull, DerivedFieldsAreRecomputedWhateverTheFileHeld) {
  for (int type = 1; type <= 6; ++type) {
    const BoatRecord clean = demo::SampleBoat(type);
    BoatRecord scrambled = clean;
    Scramble(scrambled);
    BoatRecord cleanAgain = clean;
    ASSERT_TRUE(Prepare(cleanAgain));
    ASSERT_TRUE(Prepare(scrambled));
    for (auto field : kDerived) {
      if (type < 4 && (field == &BoatRecord::DeadriseAftRad || field == &BoatRecord::DeadriseBowRad ||
                       field == &BoatRecord::DeadriseMixC || field == &BoatRecord::DeadriseD1 ||
                       field == &BoatRecord::DeadriseD2 || field == &BoatRecord::DeadriseDScale ||
                       field == &BoatRecord::DeadriseSpan))
        continue;  // only the deadrise types derive these
      if (type == 3 && field != &BoatRecord::Length) continue;  // type 3 derives only Length
      EXPECT_EQ(scrambled.*field, cleanAgain.*field) << "type " << type;
    }
    const StationTable a = Build(cleanAgain, 40), b = Build(scrambled, 40);
    for (int c = 0; c <= 40; ++c)
      for (const HullSectionField& f : HullSectionFields())
        EXPECT_EQ(a.Sections[c].*f.Member, b.Sections[c].*f.Member) << "type " << type << " " << f.Name;
  }
}

TEST(PrepareHull, PlanSlopeFactorIsUsedAsStored) {
  BoatRecord pb = demo::SampleBoat(4);
  const StationTable before = Build(pb, 40);
  pb.PlanSlopeFactor *= 2;
  ASSERT_TRUE(Prepare(pb));
  const StationTable after = Build(pb, 40);
  EXPECT_NE(before.Sections[5].ChineZSlope, after.Sections[5].ChineZSlope);
  EXPECT_EQ(before.Sections[5].ChineZ, after.Sections[5].ChineZ);
}

TEST(PrepareHull, SinglePrecisionFieldsAndTheFixedConstants) {
  BoatRecord pb = demo::SampleBoat(4);
  ASSERT_TRUE(Prepare(pb));
  // Computed here from the inputs, rounding each stored value as the record does.
  const double k = 3.14159265359 / 180;
  EXPECT_EQ(pb.DeadriseAftRad, static_cast<float>(k * 18.0));
  EXPECT_EQ(pb.DeadriseBowRad, static_cast<float>(k * 45.0));
  EXPECT_EQ(pb.DeadriseSpan, static_cast<float>(static_cast<double>(static_cast<float>(k * 45.0)) -
                                                static_cast<float>(k * 18.0)));
  EXPECT_EQ(pb.DeadriseDScale, static_cast<float>(-static_cast<double>(pb.DeadriseSpan) / 12.0));
  const double f = std::exp(-1.0 / pb.PlanExp * std::log(1.0 / pb.PlanOffset + 1));
  const double gg = std::exp(1.0 / pb.AA * std::log(1 - f));
  const float g1 = static_cast<float>(1 - gg);
  EXPECT_EQ(pb.PlanG1, g1);
  EXPECT_EQ(pb.PlanG, static_cast<float>(1.0 - g1));
  const float shift = static_cast<float>(0.5 * 8.0 * pb.PlanOffset);
  EXPECT_EQ(pb.PlanShift, shift);
  EXPECT_EQ(pb.PlanScale, static_cast<float>(4.0 + shift));
  // The tangent of the chine angle takes the 0.017453293 factor.
  const double tc = std::sin(3.0 * 0.017453293) / std::cos(3.0 * 0.017453293);
  const double h = 15.0, g = 0.5 * (8.0 - pb.TransomBeam);
  EXPECT_EQ(pb.ChineTaper2, static_cast<float>((3 * g / h - tc) / h));
  EXPECT_EQ(pb.ChineTaper3, static_cast<float>((tc - 2 * g / h) / std::exp(2 * std::log(h))));
}

TEST(PrepareHull, ChineLengthIsRaisedToForeLength) {
  BoatRecord pb = demo::SampleBoat(1);
  pb.ForeLength = 30;
  pb.ChineLength = 25;
  ASSERT_TRUE(Prepare(pb));
  EXPECT_EQ(pb.ChineLength, 30.0f);
  EXPECT_EQ(pb.Length, 45.0f);
}

TEST(PrepareHull, NoAfterbodyMeansNoTaper) {
  BoatRecord pb = demo::SampleBoat(1);
  pb.AftLength = 0;
  pb.ChineLength = pb.ForeLength;
  ASSERT_TRUE(Prepare(pb));
  for (auto field : {&BoatRecord::ChineTaper1, &BoatRecord::ChineTaper2, &BoatRecord::ChineTaper3,
                     &BoatRecord::GunwaleTaper1, &BoatRecord::GunwaleTaper2, &BoatRecord::GunwaleTaper3})
    EXPECT_EQ(pb.*field, 0.0f);
  HullSection h;
  NullDiagnostics quiet;
  ComputeHullSection(pb, SplineStore{}, pb.Length, h, quiet);
  EXPECT_EQ(h.ChineHalfBeam, 4.0);
  EXPECT_EQ(h.GunwaleHalfBeam, pb.GunwaleBeam / 2.0);
}

TEST(PrepareHull, EndSlopeOnlyForAnExponentOfExactlyOne) {
  struct Case {
    float aa;
    bool nonzero;
  } cases[] = {{1.0f, true}, {1.0001f, false}, {2.0f, false}};
  for (const Case& c : cases) {
    BoatRecord pb = demo::SampleBoat(1);
    pb.AA = c.aa;
    ASSERT_TRUE(Prepare(pb));
    EXPECT_EQ(pb.ChineTaper1 != 0, c.nonzero) << c.aa;
    if (c.nonzero) {
      EXPECT_EQ(pb.ChineTaper1, static_cast<float>(-0.5 * pb.PlanExp * 8.0 / 9.0));
    }
  }
  BoatRecord pb = demo::SampleBoat(1);
  pb.GunwaleExp1 = 1;
  ASSERT_TRUE(Prepare(pb));
  EXPECT_NE(pb.GunwaleTaper1, 0.0f);
}

TEST(PrepareHull, ExponentBelowOneStopsAfterTheLengths) {
  for (int type : {1, 2, 4, 5, 6}) {
    BoatRecord pb = demo::SampleBoat(type);
    pb.AA = 0.9f;
    pb.AftLength = 20;
    pb.ChineLength = 3;
    Scramble(pb);
    const BoatRecord before = pb;
    std::vector<std::string> messages;
    EXPECT_FALSE(Prepare(pb, &messages));
    EXPECT_EQ(messages, std::vector<std::string>{"PB.AA exponent cannot be less than unity"});
    EXPECT_EQ(pb.Length, pb.ForeLength + 20.0f);
    EXPECT_EQ(pb.ChineLength, pb.ForeLength);
    for (auto field : kDerived)
      if (field != &BoatRecord::Length) {
        EXPECT_EQ(pb.*field, before.*field);
      }
  }
}

TEST(PrepareHull, TypeThreeNeedsNoExponentAndClearsReserved) {
  BoatRecord pb = demo::SampleBoat(3);
  pb.AA = 0;
  pb.Reserved62 = {1, 2, 3, 4};
  std::vector<std::string> messages;
  EXPECT_TRUE(Prepare(pb, &messages));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(pb.Reserved62, (std::array<float, 4>{1, 0, 3, 4}));
}

TEST(Stations, SpacingPositionsAndLimits) {
  BoatRecord pb = demo::SampleBoat(3);
  pb.ForeLength = 10;
  pb.AftLength = 30;
  ASSERT_TRUE(Prepare(pb));
  struct Case {
    std::int16_t n;
    int used;
    double spacing;
    std::vector<std::string> messages;
  } cases[] = {
      {40, 40, 1.0, {}},
      {8, 8, 5.0, {}},
      {1, 1, 40.0, {}},
      {41, 40, 1.0, {"Station count 41 is above 40: 40 stations are used"}},
      {32767, 40, 1.0, {"Station count 32767 is above 40: 40 stations are used"}},
      {0, 0, 0.0, {"Station count 0: the hull needs at least one station and is not drawn"}},
      {-5, 0, 0.0, {"Station count -5: the hull needs at least one station and is not drawn"}},
  };
  for (const Case& c : cases) {
    StationTable t;
    CollectingDiagnostics diag;
    EXPECT_EQ(SetUpStations(pb, c.n, t, diag), c.n > 0);
    EXPECT_EQ(t.StationCount, c.used);
    EXPECT_EQ(t.StationSpacing, c.spacing);
    EXPECT_EQ(t.CgBelowDatum, static_cast<double>(pb.KeelDepth) - pb.VCG);
    EXPECT_EQ(diag.messages, c.messages);
  }
}

TEST(Stations, TableEntriesAtTheirStationsAndStaleEntriesAboveTheCount) {
  // Type 1 with Length 40 and 40 stations: entry c is the section at x = c (entry 0 at 0.0001).
  BoatRecord pb = demo::SampleBoat(1);
  pb.ForeLength = 10;
  pb.AftLength = 30;
  pb.ChineLength = 15;
  ASSERT_TRUE(Prepare(pb));
  StationTable t = Build(pb, 40);
  NullDiagnostics quiet;
  for (int c = 0; c <= 40; ++c) {
    HullSection h;
    ComputeHullSection(pb, SplineStore{}, c == 0 ? 0.0001 : c, h, quiet);
    EXPECT_EQ(t.Sections[c].KeelZ, h.KeelZ) << c;
    EXPECT_EQ(t.Sections[c].ChineHalfBeam, h.ChineHalfBeam) << c;
  }
  const HullSection old30 = t.Sections[30];
  SetUpStations(pb, 20, t, quiet);
  BuildStationTable(pb, SplineStore{}, t, quiet);
  EXPECT_EQ(t.Sections[30].KeelZ, old30.KeelZ);  // untouched above the count
  HullSection at40;
  ComputeHullSection(pb, SplineStore{}, 40.0, at40, quiet);
  EXPECT_EQ(t.Sections[20].SheerHeight, at40.SheerHeight);  // the last station is the transom
}

}  // namespace
}  // namespace hulvex

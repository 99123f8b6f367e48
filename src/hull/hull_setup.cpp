#include "hull/hull_setup.h"

#include <cmath>
#include <string>

#include "common/axb.h"
#include "common/constants.h"

namespace hulvex {
namespace {

double TanDegrees(double degrees) {
  const double a = degrees * kDegToRadForTan;
  return std::sin(a) / std::cos(a);
}

// Every stored value is rounded to single precision; later steps read the stored value.
void Store(float& field, double value) { field = static_cast<float>(value); }

// Derives the analytic coefficients; false when AA < 1 stopped the derivation (reported).
bool PrepareAnalyticHull(BoatRecord& PB, Diagnostics& diag) {
  auto pw = [&](double exponent, double base) { return AXB(exponent, base, diag); };
  Store(PB.Length, static_cast<double>(PB.ForeLength) + PB.AftLength);
  if (PB.ChineLength < PB.ForeLength) PB.ChineLength = PB.ForeLength;
  if (PB.HullType == 3) {
    PB.Reserved62[1] = 0;
    return true;
  }
  const double tc = TanDegrees(PB.ChineAngle);
  if (PB.AA < 1) {
    diag.Message("hull-exponent", "PB.AA exponent cannot be less than unity");
    return false;
  }

  // Afterbody chine taper: Beam/2 at ForeLength, TransomBeam/2 at the transom, plan slope -tc there.
  const double c1 = PB.AA == 1 ? -0.5 * PB.AA * PB.PlanExp * PB.Beam / PB.ForeLength : 0.0;
  if (PB.AftLength > 0) {
    const double h = PB.AftLength;
    const double g = 0.5 * (static_cast<double>(PB.Beam) - PB.TransomBeam);
    Store(PB.ChineTaper1, c1);
    Store(PB.ChineTaper2, (3 * g / h - tc - 2 * c1) / h);
    Store(PB.ChineTaper3, (tc + c1 - 2 * g / h) / pw(2, h));
  } else {
    PB.ChineTaper1 = PB.ChineTaper2 = PB.ChineTaper3 = 0;
  }

  // Forebody chine plan-form: 0 at the bow origin, Beam/2 at ForeLength.
  Store(PB.PlanShift, 0.5 * PB.Beam * PB.PlanOffset);
  const double f = pw(-1.0 / PB.PlanExp, 1.0 / PB.PlanOffset + 1);
  const double gg = pw(1.0 / PB.AA, 1 - f);
  Store(PB.PlanG1, 1 - gg);
  Store(PB.PlanG, 1.0 - PB.PlanG1);
  Store(PB.PlanScale, 0.5 * PB.Beam + PB.PlanShift);

  Store(PB.GunwaleLength, static_cast<double>(PB.ForeLength) + PB.StemRake);
  Store(PB.GunwaleBeam, PB.Beam + 2.0 * PB.Flare);
  const double tg = TanDegrees(PB.GunwaleAngle);
  const double c2 =
      PB.GunwaleExp1 == 1 ? -0.5 * PB.GunwaleExp1 * PB.GunwaleExp2 * PB.GunwaleBeam / PB.GunwaleLength : 0.0;
  if (PB.AftLength > 0) {
    const double h = PB.AftLength;
    const double v = 0.5 * (static_cast<double>(PB.GunwaleBeam) - PB.TransomBeam - 2.0 * PB.TransomFlare);
    Store(PB.GunwaleTaper1, c2);
    Store(PB.GunwaleTaper2, (3 * v / h - tg - 2 * c2) / h);
    Store(PB.GunwaleTaper3, (tg + c2 - 2 * v / h) / pw(2, h));
  } else {
    PB.GunwaleTaper1 = PB.GunwaleTaper2 = PB.GunwaleTaper3 = 0;
  }

  Store(PB.SheerLowXs, static_cast<double>(PB.SheerLowX) + PB.StemRake);

  Store(PB.RockerEnd, pw(PB.RockerExp, 1.0 + PB.RockerCoef));
  Store(PB.KeelSlopeScale, static_cast<double>(PB.KeelDepth) / PB.ForeLength);
  Store(PB.RockerCP, static_cast<double>(PB.RockerCoef) * PB.RockerExp);
  Store(PB.RockerExpM1, PB.RockerExp - 1.0);
  Store(PB.KeelExpM1, PB.KeelExp - 1.0);

  if (PB.HullType >= 4) {
    Store(PB.DeadriseAftRad, kDegToRad * PB.DeadriseAft);
    Store(PB.DeadriseBowRad, kDegToRad * PB.DeadriseBow);
    Store(PB.DeadriseMixC, 1.0 - PB.DeadriseMix);
    Store(PB.DeadriseD1, static_cast<double>(PB.DeadriseExp1) * PB.DeadriseMixC);
    Store(PB.DeadriseD2, static_cast<double>(PB.DeadriseMix) * PB.DeadriseExp2);
    Store(PB.DeadriseSpan, static_cast<double>(PB.DeadriseBowRad) - PB.DeadriseAftRad);
    Store(PB.DeadriseDScale, -static_cast<double>(PB.DeadriseSpan) / PB.DeadriseLength);
  }
  return true;
}

}  // namespace

SplineLayout HullLineLayoutOf(const BoatRecord& pb) {
  if (pb.SplineAlt == 0) return SplineLayout::PlainChine;
  return pb.SplineAlt2 == 0 ? SplineLayout::InnerChine : SplineLayout::ChineAngle;
}

void ApplySplineDimensions(BoatRecord& PB, const SplineHullDimensions& d) {
  PB.Beam = d.Beam;
  PB.KeelDepth = d.KeelDepth;
  PB.Length = d.Length;
  PB.ForeLength = d.ForeLength;
  PB.StemRake = d.StemRake;
  PB.GunwaleBeam = d.GunwaleBeam;
  PB.SheerStem = d.SheerStem;
  if (d.Transom) {
    PB.TransomBeam = d.Transom->TransomBeam;
    PB.SheerTransom = d.Transom->SheerTransom;
    PB.TransomFlare = d.Transom->TransomFlare;
  }
}

bool LoadHullLines(SplineLayout layout, SplineStore& store, BoatRecord& PB, const SplineFileSource& source,
                   Diagnostics& diag) {
  if (!LoadSplineFile(layout, store, source, diag)) return false;
  ApplySplineDimensions(PB, DeriveHullDimensions(layout, store));
  return true;
}

bool PrepareHull(BoatRecord& PB, SplineStore& store, const SplineFileSource& splineFile, Diagnostics& diag) {
  if (PB.HullType >= 7) {
    LoadHullLines(HullLineLayoutOf(PB), store, PB, splineFile, diag);
    return true;
  }
  if (!PrepareAnalyticHull(PB, diag)) return false;
  if (PB.SplineProps != 0) LoadSplineFile(SplineLayout::SlopeFactor, store, splineFile, diag);
  return true;
}

bool SetUpStations(const BoatRecord& PB, std::int16_t N, StationTable& table, Diagnostics& diag) {
  table.CgBelowDatum = static_cast<double>(PB.KeelDepth) - PB.VCG;
  if (N <= 0) {
    diag.Message("station-count", "Station count " + std::to_string(N) + ": the hull needs at least one station and is not drawn");
    table.StationCount = 0;
    table.StationSpacing = 0;
    return false;
  }
  if (N > kMaxStations) {
    diag.Message("station-count", "Station count " + std::to_string(N) + " is above " + std::to_string(kMaxStations) + ": " +
                 std::to_string(kMaxStations) + " stations are used");
  }
  table.StationCount = N > kMaxStations ? kMaxStations : N;
  table.StationSpacing = PB.Length / static_cast<double>(table.StationCount);
  return true;
}

void BuildStationTable(const BoatRecord& PB, const SplineStore& store, StationTable& table, Diagnostics& diag) {
  const int n = table.StationCount < 0 ? 0 : (table.StationCount > kMaxStations ? kMaxStations : table.StationCount);
  ComputeHullSection(PB, store, 0.0001, table.Sections[0], diag);
  for (int c = 1; c <= n; ++c)
    ComputeHullSection(PB, store, static_cast<double>(c) * table.StationSpacing, table.Sections[c], diag);
}

}  // namespace hulvex

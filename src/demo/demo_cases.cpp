// The demonstration cases: the table of boats, seas and schedules, and the records made from it.
#include <cmath>
#include <cstdio>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "demo/boat_writer.h"
#include "demo/demo_runs.h"
#include "demo/demo_units.h"
#include "demo/run_writers.h"
#include "hull/boat_record_layout.h"
#include "hull/hull_setup.h"

namespace hulvex::demo {
namespace {

constexpr double kFtPerMetre = 3.280839895;
constexpr double kSampleLength = 24.0;  // ft, the length of the writers' sample boats

// ---------------------------------------------------------------------------------------------
// Boats

// The sample boat of `hullType` scaled to `length` ft: every length by the same factor, the
// weight by its cube; exponents and angles unchanged.
BoatRecord ScaledBoat(BoatRecord pb, double length) {
  const double s = length / kSampleLength;
  for (float* f : {&pb.Beam, &pb.KeelDepth, &pb.ChineDepth, &pb.Gyradius, &pb.LCG, &pb.VCG, &pb.AftLength,
                   &pb.ForeLength, &pb.PointDepth, &pb.PointX, &pb.TransomBeam, &pb.ChineLength, &pb.StemRake,
                   &pb.SheerLow, &pb.SheerStem, &pb.SheerTransom, &pb.SheerLowX, &pb.Flare, &pb.TransomFlare,
                   &pb.StaticZG, &pb.DeadriseLength})
    *f = static_cast<float>(*f * s);
  pb.Weight = static_cast<float>(pb.Weight * (s * s * s));
  return pb;
}

// Derives the fields the hull set-up derives (so the file holds consistent values) and the
// forebody chine slope factor that matches the chine plan-form.
BoatRecord Derived(BoatRecord pb) {
  NullDiagnostics quiet;
  SplineStore none;
  PrepareHull(pb, none, SplineFileSource{}, quiet);
  if (pb.HullType != 3) pb.PlanSlopeFactor = MatchingPlanSlopeFactor(pb);
  return pb;
}

void SetBoatName(BoatRecord& pb, const std::string& name) {
  pb.BoatName = name;
  pb.BoatName.resize(boat_record_layout::kBoatNameWidth, ' ');
}

// The sample spline table scaled to `length` ft: stations, heights and breadths by the factor;
// slope factors and chine angles unchanged.
SplineTable ScaledSplineTable(SplineLayout layout, double length, int rows) {
  SplineTable t = SampleSplineTable(layout, rows);
  const double s = length / kSampleLength;
  for (auto& row : t.Rows) {
    for (std::size_t k = 0; k < row.size(); ++k) {
      bool scale = false;
      switch (layout) {
        case SplineLayout::PlainChine: scale = k <= 5; break;
        case SplineLayout::InnerChine: scale = k <= 7; break;
        case SplineLayout::ChineAngle: scale = k <= 7 && k != 5; break;
        case SplineLayout::SlopeFactor: scale = k == 0; break;
      }
      if (scale) row[k] = static_cast<float>(row[k] * s);
    }
  }
  return t;
}

// ---------------------------------------------------------------------------------------------
// Runs

RunParameters BaseParameters(const std::string& boatFileName) {
  RunParameters p = SampleRunParameters();
  p.FmtVer = 100;
  p.BoatFile = "C:\\HULVEX\\BOATS\\" + boatFileName;
  p.WindV = 10.0f;
  p.StokesN = 5;
  p.RWvN = 20;
  p.RWvTdelay = 0.0f;
  p.StationCount = 40;
  p.ThrustCount = -1;
  p.ThrustTbl = {};
  return p;
}

void SetSea(RunParameters& p, int waves, double height, double steepness, bool headSea) {
  p.Waves = static_cast<std::int16_t>(waves);
  p.WvHHS = static_cast<float>(height);
  p.WvSteep = static_cast<float>(steepness);
  p.HeadSea = headSea;
}

// A schedule of (value, time) points; DOFMode decides what the values are.
void SetSchedule(RunParameters& p, int mode, std::span<const std::pair<double, double>> points) {
  p.DOFMode = static_cast<std::uint8_t>(mode);
  p.SpeedSpecified = mode == 0;
  p.ThrustCount = static_cast<std::int32_t>(points.size()) - 1;
  int k = 0;
  for (const auto& [value, time] : points)
    p.ThrustTbl[static_cast<std::size_t>(k++)] = {static_cast<float>(value), static_cast<float>(time)};
}

std::string Metres(double ft) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f m", ft / kFtPerMetre);
  return buf;
}

// One demonstration case as data. The boat is the writers' sample boat of HullType (or the sample
// spline boat of the hull-line layout in Spline) scaled to Length, with BoatFields set over it; an
// analytic hull with a Spline layout carries a slope-factor file.
struct DemoRow {
  const char* Name;
  const char* BoatFileName;
  double Length;  // ft
  int HullType;   // 1 ... 6 analytic; 7 a spline hull
  std::optional<SplineLayout> Spline;
  const char* SplineFile;
  int SplineRows;
  std::vector<std::pair<float BoatRecord::*, double>> BoatFields;
  int Waves;
  double WaveHeight, WaveSteepness;
  bool HeadSea;
  int RandomWaves;          // RWvN
  double RandomWaveDelay;   // RWvTdelay, s
  int Mode;                 // DOFMode; the schedule's values are thrust, speed, RPM as it says
  std::vector<std::pair<double, double>> Schedule;  // (value, time)
  double ICV, Tmax, Dt;
  const char* Summary;      // after "A <length> ft (<metres>) "
};

std::vector<DemoRow> DemoRows() {
  using B = BoatRecord;
  const double slow = KnotsToFtPerS(6), fast = KnotsToFtPerS(38);
  const double prismKeel = static_cast<float>(1.75 + 4.0 * std::tan(20.0 * kDeg));
  return {
      {"DV30HEAD", "DV30.BOT", 30.0, 4, std::nullopt, "", 0,
       {{&B::Beam, 9.8f}, {&B::TransomBeam, 9.0f}, {&B::DeadriseAft, 20.0f}, {&B::DeadriseBow, 48.0f}},
       2, 2.0, 1.0 / 30.0, true, 20, 0.0, 1, {{2800.0, 0.0}, {2800.0, 30.0}}, 36.0, 30.0, 0.01,
       "deep-V planing boat: analytic hull with deadrise (hull type 4), 9.8 ft chine beam, "
       "20 degrees deadrise at the transom rising to 48 degrees at the bow. It runs at about "
       "36 knots into a regular sinusoidal head sea 2 ft high and 60 ft long "
       "(steepness 1/30). Thrust specified: a constant 2800 lbf."},
      // Long enough for the camera track.
      {"RK40FOLL", "RK40.BOT", 40.0, 2, std::nullopt, "", 0,
       {{&B::Beam, 13.0f}, {&B::TransomBeam, 12.0f}, {&B::KeelDepth, 2.5f},
        {&B::ChineDepth, static_cast<float>(2.5 - 6.5 * std::tan(17.0 * kDeg))}, {&B::RockerCoef, 0.05f}},
       0, 4.0, 1.0 / 30.0, false, 20, 900.0, 1, {{5500.0, 0.0}, {5500.0, 45.0}}, 30.0, 45.0, 0.02,
       "planing cruiser: analytic hull with a keel rocker (hull type 2), 13 ft chine beam, "
       "about 17 degrees deadrise. It runs at about 30 knots with a random following sea of "
       "20 components, 4 ft significant height and 120 ft significant length, overtaking the "
       "waves; the speed surges as the waves lift the stern. Thrust specified: a constant "
       "5500 lbf."},
      {"SF25HEAD", "SF25.BOT", 25.0, 5, SplineLayout::SlopeFactor, "SF25.SPL", 8,
       {{&B::Beam, 8.4f}, {&B::TransomBeam, 7.8f}, {&B::KeelDepth, 2.2f}, {&B::DeadriseAft, 22.0f},
        {&B::DeadriseBow, 50.0f}, {&B::ChineDepth, static_cast<float>(2.2 - 4.2 * std::tan(22.0 * kDeg))}},
       0, 2.0, 1.0 / 18.0, true, 15, 600.0, 1, {{1700.0, 0.0}, {1700.0, 20.0}}, 32.0, 20.0, 0.005,
       "deep-V planing boat: analytic hull whose chine follows the deadrise (hull type 5), "
       "22 degrees deadrise at the transom, with curved bottom sections given by a "
       "slope-factor file (SF25.SPL). It runs at about 32 knots into a random head sea of 15 "
       "components, 2 ft significant height and 36 ft significant length. Thrust specified: "
       "a constant 1700 lbf."},
      {"PC28STOK", "PC28.BOT", 28.0, 7, SplineLayout::PlainChine, "PC28.SPL", 16, {},
       4, 2.0, 1.0 / 16.0, true, 20, 0.0, 3, {}, 28.0, 25.0, 0.01,
       "planing boat whose hull lines are given by a plain-chine spline file (PC28.SPL), "
       "9.3 ft chine beam. It runs at about 28 knots into a steep Stokes head sea of 5 terms, "
       "2 ft high and 32 ft long (steepness 1/16), with sharp crests and flat troughs. "
       "Engine specified."},
      {"IC36GERS", "IC36.BOT", 36.0, 7, SplineLayout::InnerChine, "IC36.SPL", 16, {},
       3, 3.0, 1.0 / 28.0, false, 20, 0.0, 1, {{4200.0, 0.0}, {4200.0, 30.0}}, 34.0, 30.0, 0.01,
       "planing boat with an inner chine (a spray strake along the bottom), hull lines "
       "given by an inner-chine spline file (IC36.SPL), 12 ft chine beam. It runs at about "
       "34 knots with a trochoidal (Gerstner) following sea 3 ft high and 84 ft long, "
       "overtaking the waves. Thrust specified: a constant 4200 lbf."},
      // Accelerating from displacement speed onto the plane; speed specified in ft/s.
      {"CA32ACC", "CA32.BOT", 32.0, 7, SplineLayout::ChineAngle, "CA32.SPL", 16, {},
       1, 0.0, 0.05, true, 20, 0.0, 0, {{slow, 0.0}, {slow, 2.0}, {fast, 22.0}, {fast, 35.0}}, 6.0, 35.0, 0.01,
       "planing boat with an inner chine and a chine flat set at an angle, hull lines given "
       "by a chine-angle spline file (CA32.SPL), 10.7 ft chine beam. On a flat sea its speed "
       "is specified over time (2 degrees of freedom): 6 knots for 2 s, then a steady "
       "acceleration to 38 knots at 22 s, held to the end. The bow rises over the hump "
       "speed and settles to a planing trim."},
      // 20 degrees deadrise; the datum (where the sheer of this hull type lies) 1.75 ft above the
      // chine, and the forward face of the prism a stem line straight down from it to the keel.
      {"PR24SINE", "PR24.BOT", 24.0, 3, std::nullopt, "", 0,
       {{&B::Beam, 8.0f}, {&B::KeelDepth, prismKeel}, {&B::ChineDepth, 1.75f}, {&B::VCG, 1.5f},
        {&B::LCG, 15.0f}, {&B::StemRake, 0.0f}, {&B::SheerStem, -prismKeel}},
       2, 1.5, 1.0 / 30.0, true, 20, 0.0, 2, {{3200.0, 0.0}, {3200.0, 20.0}}, 28.0, 20.0, 0.01,
       "prismatic planing hull: constant cross-section (hull type 3), 8 ft beam, "
       "20 degrees deadrise, the classic test form of planing research. It runs at about "
       "28 knots into a regular sinusoidal head sea 1.5 ft high and 45 ft long. Propeller "
       "speed specified: a constant 3200 RPM."},
  };
}

}  // namespace

std::vector<DemoCase> DemoCases() {
  std::vector<DemoCase> cases;
  for (const DemoRow& row : DemoRows()) {
    DemoCase c;
    c.Name = row.Name;
    c.BoatFileName = row.BoatFileName;
    const bool splineHull = row.HullType >= 7;
    BoatRecord b = ScaledBoat(splineHull ? SampleSplineBoat(*row.Spline, row.SplineFile) : SampleBoat(row.HullType),
                              row.Length);
    for (const auto& [field, value] : row.BoatFields) b.*field = static_cast<float>(value);
    if (row.Spline) {
      if (!splineHull) {
        b.SplineProps = 1;
        SetBoatName(b, row.SplineFile);
      }
      c.Spline = ScaledSplineTable(*row.Spline, row.Length, row.SplineRows);
    }
    c.Boat = splineHull ? b : Derived(b);
    c.Params = BaseParameters(c.BoatFileName);
    SetSea(c.Params, row.Waves, row.WaveHeight, row.WaveSteepness, row.HeadSea);
    c.Params.RWvN = static_cast<std::int16_t>(row.RandomWaves);
    c.Params.RWvTdelay = static_cast<float>(row.RandomWaveDelay);
    SetSchedule(c.Params, row.Mode, row.Schedule);
    c.Params.ICV = static_cast<float>(row.ICV);
    c.Params.Tmax = static_cast<float>(row.Tmax);
    c.Dt = row.Dt;
    c.Summary = "A " + std::to_string(static_cast<int>(row.Length)) + " ft (" + Metres(row.Length) + ") " + row.Summary;
    cases.push_back(std::move(c));
  }
  return cases;
}

}  // namespace hulvex::demo

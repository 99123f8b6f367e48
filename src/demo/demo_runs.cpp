#include "demo/demo_runs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "common/constants.h"
#include "common/diagnostics.h"
#include "common/error.h"
#include "hull/boat_record_layout.h"
#include "hull/hull_setup.h"
#include "run/loaded_run.h"
#include "runfiles/time_history.h"
#include "sea/sea_model.h"
#include "demo/boat_writer.h"
#include "demo/run_writers.h"

namespace hulvex::demo {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kFtPerMetre = 3.280839895;
constexpr double kDeg = kPi / 180.0;
constexpr double kSampleLength = 24.0;     // ft, the length of the writers' sample boats
constexpr float kNoSurfaceTerm = 2000.0f;  // channel 8 above both thresholds of the video

double KnotsToFtPerS(double knots) { return knots / kFtPerSToKnots; }

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

}  // namespace

namespace {

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

namespace {

// ---------------------------------------------------------------------------------------------
// The demonstration motion model
//
// At every instant the hull is given a target position: its keel aligned with the least-squares
// line of the sea surface over the wetted afterbody, at a planing trim that depends on the speed,
// with the transom keel immersed by the draft that goes with that trim and wetted length. Heave
// and pitch follow their targets as damped second-order responses; the speed follows the run's
// schedule (exactly when it is specified, otherwise through a lag) and surges with the pitch.

struct ModelBoat {
  double Length = 0;        // ft
  double Beam = 0;          // ft
  double LCG = 0;           // ft aft of the bow origin
  double CgBelowDatum = 0;  // ft
  double TransomKeelZ = 0;  // keel depth below the datum at the transom, ft
  double Omega = 0;         // rad/s, natural frequency of heave and pitch
};

constexpr double kDamping = 0.3;      // damping ratio of heave and pitch
constexpr double kSpeedLag = 6.0;     // s, time constant of the speed towards its schedule
constexpr double kSurgeGain = 0.6;    // share of the pitch's gravity component felt in surge
constexpr int kFitPoints = 13;
// A planing boat keeps its bow up: the target pitch stays within these.
constexpr double kMinTrim = 1.0 * kDeg;
constexpr double kMaxTrim = 10.0 * kDeg;
constexpr int kSubsteps = 4;

struct Target {
  double Zcg = 0;    // ft
  double Theta = 0;  // rad
  double Trim = 0;   // rad, the planing trim at this speed (on a level surface)
};

// Planing trim at the speed-length ratio r (knots / sqrt(ft)): a hump of about 7 degrees near
// r = 2.2, settling to 3.5 degrees on the plane.
double PlaningTrim(double r) { return (3.5 + 3.5 * std::exp(-std::pow(r - 2.2, 2))) * kDeg; }

// Wetted keel length: about 2 beams on the plane, more at low speed, at most 90 % of the hull.
double WettedKeelLength(const ModelBoat& b, double r) {
  return std::min(b.Beam * (2.0 + 2.5 * std::exp(-std::pow(r / 2.5, 2))), 0.9 * b.Length);
}

Target SurfaceTarget(const ModelBoat& b, const SeaConstants& sea, double t, double xb, double v, Diagnostics& diag) {
  const double r = std::abs(v) * kFtPerSToKnots / std::sqrt(b.Length);
  const double trim = PlaningTrim(r);
  const double wetted = WettedKeelLength(b, r);
  const double draft = wetted * std::sin(trim);

  // Least-squares line of the surface over the afterbody, against the horizontal distance H.
  const double x0 = std::max(b.Length - 1.5 * wetted, 0.25 * b.Length);
  const double c = std::cos(trim);
  double sh = 0, se = 0, shh = 0, she = 0;
  for (int i = 0; i < kFitPoints; ++i) {
    const double h = (x0 + (b.Length - x0) * i / (kFitPoints - 1)) * c;
    const double e = SeaElevation(sea, xb, h, t, SurfaceTermInputs{}, diag);
    sh += h;
    se += e;
    shh += h * h;
    she += h * e;
  }
  const double n = kFitPoints;
  const double slope = (n * she - sh * se) / (n * shh - sh * sh);  // dEta/dH, H growing aft
  const double mean = se / n;
  const double hMean = sh / n;

  Target tg;
  tg.Trim = trim;
  tg.Theta = std::clamp(trim - std::atan(slope), kMinTrim, kMaxTrim);
  const double s = std::sin(tg.Theta), co = std::cos(tg.Theta);
  const double hTransom = b.Length * co;
  const double transomKeel = mean + slope * (hTransom - hMean) - draft;  // height above mean sea level
  // The picture's mapping: the point (x, z) lies at Zd - z cos(theta) - x sin(theta), with Zd the
  // bow origin's height, Zd = LCG sin(theta) + Zcg + CgBelowDatum cos(theta).
  const double zd = transomKeel + b.TransomKeelZ * co + b.Length * s;
  tg.Zcg = zd - b.LCG * s - b.CgBelowDatum * co;
  return tg;
}

// The schedule's value at time t: linear between its points, held beyond them.
double ScheduleValue(const RunParameters& p, double t) {
  const int n = std::min(p.ThrustCount, 6) + 1;
  if (n <= 0) return 0.0;
  const auto& tbl = p.ThrustTbl;
  if (t <= tbl[0].Time) return tbl[0].Value;
  for (int k = 1; k < n; ++k) {
    const auto& a = tbl[static_cast<std::size_t>(k - 1)];
    const auto& z = tbl[static_cast<std::size_t>(k)];
    if (t > z.Time) continue;
    const double t0 = a.Time, t1 = z.Time, v0 = a.Value, v1 = z.Value;
    return t1 > t0 ? v0 + (v1 - v0) * (t - t0) / (t1 - t0) : v1;
  }
  return tbl[static_cast<std::size_t>(n - 1)].Value;
}

// The speed the schedule asks for at time t, ft/s: the scheduled speed itself (mode 0), or the
// initial speed scaled by the thrust (drag growing with the square of the speed), by the
// propeller speed, or held (engine specified).
double ScheduledSpeed(const RunParameters& p, double t) {
  const double v0 = KnotsToFtPerS(p.ICV);
  const double first = p.ThrustCount >= 0 ? p.ThrustTbl[0].Value : 0.0;
  switch (p.DOFMode) {
    case 0: return ScheduleValue(p, t);
    case 1: return first > 0 ? v0 * std::sqrt(std::max(ScheduleValue(p, t), 0.0) / first) : v0;
    case 2: return first > 0 ? v0 * std::max(ScheduleValue(p, t), 0.0) / first : v0;
    default: return v0;
  }
}

struct Motion {
  std::vector<float> Zcg, Theta, Distance, Speed;
};

Motion RunModel(const ModelBoat& b, const RunParameters& p, const SeaConstants& sea, double dt, std::int32_t steps,
                Diagnostics& diag) {
  Motion m;
  const auto n = static_cast<std::size_t>(steps);
  m.Zcg.resize(n);
  m.Theta.resize(n);
  m.Distance.resize(n);
  m.Speed.resize(n);

  const double w2 = b.Omega * b.Omega, damp = 2 * kDamping * b.Omega;
  const double wp = b.Omega * 0.9, wp2 = wp * wp, dampP = 2 * kDamping * wp;  // pitch a little slower
  const bool speedSpecified = p.DOFMode == 0;

  double v = speedSpecified ? ScheduledSpeed(p, 0.0) : KnotsToFtPerS(p.ICV);
  double x = 0.0;
  Target tg = SurfaceTarget(b, sea, 0.0, x, v, diag);
  double z = tg.Zcg, zd = 0.0, th = tg.Theta, thd = 0.0;

  m.Speed[0] = static_cast<float>(v);
  m.Distance[0] = 0.0f;
  m.Zcg[0] = static_cast<float>(z);
  m.Theta[0] = static_cast<float>(th);
  double distance = 0.0;  // the trapezoid integral of the stored speeds
  const double h = dt / kSubsteps;
  for (std::size_t s = 1; s < n; ++s) {
    const double t0 = static_cast<double>(s - 1) * dt;
    for (int k = 0; k < kSubsteps; ++k) {
      const double t = t0 + k * h;
      tg = SurfaceTarget(b, sea, t, x, v, diag);
      zd += h * (w2 * (tg.Zcg - z) - damp * zd);
      z += h * zd;
      thd += h * (wp2 * (tg.Theta - th) - dampP * thd);
      th += h * thd;
      const double vOld = v;
      if (speedSpecified) {
        v = ScheduledSpeed(p, t + h);
      } else {
        v += h * ((ScheduledSpeed(p, t) - v) / kSpeedLag - kSurgeGain * kG * std::sin(th - tg.Trim));
      }
      x += 0.5 * h * (vOld + v);
    }
    m.Speed[s] = static_cast<float>(v);
    distance += 0.5 * dt * (static_cast<double>(m.Speed[s - 1]) + static_cast<double>(m.Speed[s]));
    m.Distance[s] = static_cast<float>(distance);
    x = distance;  // the sea is followed where the stored history puts the boat
    m.Zcg[s] = static_cast<float>(z);
    m.Theta[s] = static_cast<float>(th);
  }
  return m;
}

HistorySpec HistoryOf(const Motion& m, double dt) {
  HistorySpec h;
  h.LastChannel = 11;
  h.StartTime = 0.0;
  h.Steps = static_cast<std::int32_t>(m.Zcg.size());
  h.EndTime = (h.Steps - 1) * dt;
  h.HeaderText = "HULVEX DEMONSTRATION";
  // Channel 2: the second difference of the heave as stored.
  const std::size_t n = m.Zcg.size();
  std::vector<float> accel(n, 0.0f);
  for (std::size_t s = 1; s + 1 < n; ++s)
    accel[s] = static_cast<float>((static_cast<double>(m.Zcg[s + 1]) - 2.0 * m.Zcg[s] + m.Zcg[s - 1]) / (dt * dt));
  if (n >= 3) {
    accel[0] = accel[1];
    accel[n - 1] = accel[n - 2];
  }
  h.values = [m, accel, dt](std::int32_t step, std::span<float> ch) {
    const auto s = static_cast<std::size_t>(step);
    ch[kChHeight] = m.Zcg[s];
    ch[kChAcceleration] = accel[s];
    ch[kChPitch] = m.Theta[s];
    ch[kChDistance] = m.Distance[s];
    ch[kChSpeed] = m.Speed[s];
    ch[kChSurfaceGain] = kNoSurfaceTerm;
    return step * dt;
  };
  return h;
}

std::string Description(const DemoCase& demo) {
  std::string text = "Demonstration run " + demo.Name + "\r\n\r\n";
  // Wrap the summary at about 80 characters for the case description box.
  std::string line;
  std::size_t pos = 0;
  const std::string& s = demo.Summary;
  while (pos < s.size()) {
    std::size_t end = s.find(' ', pos);
    if (end == std::string::npos) end = s.size();
    const std::string word = s.substr(pos, end - pos);
    if (!line.empty() && line.size() + 1 + word.size() > 80) {
      text += line + "\r\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    pos = end + 1;
  }
  if (!line.empty()) text += line + "\r\n";
  text +=
      "\r\n"
      "The motion in this run (heave, pitch, speed and distance) comes from a simple\r\n"
      "demonstration model, not from a seakeeping simulation: heave and pitch follow the\r\n"
      "sea surface under the hull through a damped response with a planing boat's natural\r\n"
      "period, and the speed follows the run's schedule.\r\n";
  return text;
}

// Opens the run as the viewer does; any message, or a hull that cannot be drawn, is a fault of
// the generator.
void OpenQuietly(LoadedRun& run, const std::string& runPath, const std::string& dir) {
  run.DataDir = dir;
  CollectingDiagnostics diag;
  const RunOpenResult result = OpenRun(run, runPath, diag);
  if (result != RunOpenResult::Loaded || !diag.messages.empty() || !run.Hull.Drawable) {
    std::string why = diag.messages.empty() ? run.Hull.NotDrawableReason : diag.messages.front();
    throw Error("The demonstration run " + runPath + " does not open cleanly: " + why);
  }
}

}  // namespace

std::string WriteDemoRun(const std::string& dir, const DemoCase& demo) {
  try {
    WriteBoatFile(dir + "/" + demo.BoatFileName, demo.Boat);
    if (demo.Spline) {
      std::string splineName = demo.Boat.BoatName;
      splineName.erase(splineName.find_last_not_of(' ') + 1);
      WriteSplineFile(dir + "/" + splineName, *demo.Spline);
    }
    const std::int32_t steps = static_cast<std::int32_t>(std::lround(demo.Params.Tmax / demo.Dt)) + 1;

    // First with a one-step history, to get the prepared hull and the sea as the viewer has them.
    HistorySpec placeholder;
    placeholder.Steps = 1;
    placeholder.EndTime = 0.0;
    const std::string description = Description(demo);
    const std::string runPath = WriteSampleRun(dir, demo.Name, demo.Params, placeholder, description);
    LoadedRun run;
    OpenQuietly(run, runPath, dir);

    ModelBoat b;
    b.Length = run.Hull.PB.Length;
    b.Beam = run.Hull.PB.Beam;
    b.LCG = run.Hull.PB.LCG;
    b.CgBelowDatum = run.Hull.Stations.CgBelowDatum;
    b.TransomKeelZ = run.Hull.Stations.Sections[static_cast<std::size_t>(run.Hull.Stations.StationCount)].KeelZ;
    b.Omega = 2 * kPi / (0.9 + 0.015 * b.Length);  // a natural period of 1.2 s (20 ft) to 1.6 s (50 ft)
    CollectingDiagnostics modelDiag;
    const Motion motion = RunModel(b, run.Params, run.Sea, demo.Dt, steps, modelDiag);
    CloseRun(run);
    if (!modelDiag.messages.empty())
      throw Error("The sea of demonstration run " + runPath + " reported: " + modelDiag.messages.front());

    RunParameters p = demo.Params;
    p.ICZG = motion.Zcg[0];
    p.ICT = static_cast<float>(motion.Theta[0] / kDeg);
    WriteSampleRun(dir, demo.Name, p, HistoryOf(motion, demo.Dt), description);
    OpenQuietly(run, runPath, dir);
    CloseRun(run);
    return runPath;
  } catch (const Error&) {
    throw;
  } catch (const std::exception& e) {
    throw Error(e.what());
  }
}

std::vector<std::string> WriteDemoRuns(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw Error("Cannot create directory " + dir + ": " + ec.message());
  std::vector<std::string> paths;
  for (const DemoCase& demo : DemoCases()) paths.push_back(WriteDemoRun(dir, demo));
  return paths;
}

}  // namespace hulvex::demo

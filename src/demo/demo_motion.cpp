#include "demo/demo_motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>

#include "common/constants.h"
#include "demo/demo_units.h"
#include "sea/sea_model.h"

namespace hulvex::demo {
namespace {

constexpr float kNoSurfaceTerm = 2000.0f;  // channel 8 above both thresholds of the video
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

}  // namespace

ModelBoat ModelBoatOf(const LoadedRun& run) {
  ModelBoat b;
  b.Length = run.Hull.PB.Length;
  b.Beam = run.Hull.PB.Beam;
  b.LCG = run.Hull.PB.LCG;
  b.CgBelowDatum = run.Hull.Stations.CgBelowDatum;
  b.TransomKeelZ = run.Hull.Stations.Sections[static_cast<std::size_t>(run.Hull.Stations.StationCount)].KeelZ;
  b.Omega = 2 * std::numbers::pi / (0.9 + 0.015 * b.Length);
  return b;
}

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

}  // namespace hulvex::demo

#include "sea/sea_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "common/axb.h"
#include "common/constants.h"
#include "common/number_format.h"
#include "sea/stokes_table.h"

namespace hulvex {
namespace {

constexpr double kTrochoidTolerance = 1e-5;        // ft
constexpr int kTrochoidUpdates = 201;

// A stored single-precision setting as written in a message: seven significant digits, the text it
// was typed as ("0.05", "-2", "nan").
std::string Shown(float v) { return FormatSignificant(v, 7); }

void Refuse(Diagnostics& diag, const std::string& field, const std::string& value, const std::string& why) {
  diag.Message("sea-refused", "Sea refused, drawn flat: " + field + " = " + value + " (" + why + ")");
}

// Checks the settings the run's sea kind needs; reports each refused field.
bool SettingsAccepted(const RunParameters& p, Diagnostics& diag) {
  if (p.Waves < 0 || p.Waves > 4) {
    Refuse(diag, "Waves", std::to_string(p.Waves), "the sea kind must be 0 to 4");
    return false;
  }
  if (p.Waves == 1) return true;
  bool ok = true;
  if (!(std::isfinite(p.WvSteep) && p.WvSteep > 0)) {
    Refuse(diag, "WvSteep", Shown(p.WvSteep), "the wave steepness must be a positive number");
    ok = false;
  }
  if (!(std::isfinite(p.WvHHS) && p.WvHHS >= 0)) {
    Refuse(diag, "WvHHS", Shown(p.WvHHS), "the wave height must be a number, 0 or more");
    ok = false;
  }
  if (p.Waves == 0 && (p.RWvN < 1 || p.RWvN > kMaxSeaComponents)) {
    Refuse(diag, "RWvN", std::to_string(p.RWvN), "the random sea needs 1 to 40 components");
    ok = false;
  }
  if (p.Waves == 0 && !std::isfinite(p.RWvTdelay)) {
    Refuse(diag, "RWvTdelay", Shown(p.RWvTdelay), "the prior duration must be a number");
    ok = false;
  }
  if (p.Waves == 4 && (p.StokesN < 1 || p.StokesN > kMaxStokesTerms)) {
    Refuse(diag, "StokesN", std::to_string(p.StokesN), "the Stokes sea needs 1 to 9 terms");
    ok = false;
  }
  return ok;
}

void SetUpRandomComponents(const RunParameters& p, SeaConstants& sea, Diagnostics& diag) {
  const int n = p.RWvN;
  const double hs = p.WvHHS;
  const double steep = p.WvSteep;
  const double b = 12775.62 * steep * steep;
  sea.CompCount = p.RWvN;
  sea.CompAmp = hs / std::sqrt(8.0 * n);
  for (int m = 1; m <= n; ++m) {
    const double w = AXB(0.25, 4 * b / (hs * hs * std::log(2.0 * n / (2 * m - 1))), diag);
    sea.CompOmega[m - 1] = w;
    sea.CompK[m - 1] = w * w * kInvG;
  }
}

}  // namespace

SeaConstants SeaSetUp(const RunParameters& p, Diagnostics& diag) {
  SeaConstants sea;
  sea.Waves = p.Waves;
  sea.DirSign = p.HeadSea ? 1.0f : -1.0f;
  sea.WaveLength = static_cast<double>(p.WvHHS) / p.WvSteep;
  sea.Omega = std::sqrt(kTwoPiG / sea.WaveLength);
  sea.Amp = 0.5 * p.WvHHS;
  sea.RWvTdelay = p.RWvTdelay;

  if (!SettingsAccepted(p, diag)) {
    sea.Refused = true;
    sea.FlatDrawn = true;
    return sea;
  }
  if (p.Waves != 1 && p.WvHHS == 0) {  // a calm sea: the formulas would divide by zero
    sea.FlatDrawn = true;
    return sea;
  }
  switch (p.Waves) {
    case 0: SetUpRandomComponents(p, sea, diag); break;
    case 2: sea.WaveNumber = sea.Omega * sea.Omega * kInvG; break;
    case 4: BuildStokesTable(p, sea); break;
    default: sea.Celerity = std::sqrt(sea.WaveLength * kG * kInv2Pi); break;
  }
  return sea;
}

double LocalSurfaceTerm(double H, const SurfaceTermInputs& term) {
  const double delta = H - term.Start;
  if (!(delta > 0) || term.End == term.Start) return 0.0;
  const double value =
      (1 - std::exp(-10 * delta / (term.End - term.Start))) * ((term.Start + term.End) / 2 - H) * term.Gain;
  return std::isfinite(value) ? value : 0.0;
}

double SolveTrochoid(double k, double a, double X0, Diagnostics& diag) {
  const double ka = k * a;
  const double r = ka > 0.5 ? 0.7 : 1.0;
  double u = X0;
  for (int n = 0; n < kTrochoidUpdates; ++n) {
    const double f = a * std::sin(k * u) + X0 - u;
    if (std::fabs(f) < kTrochoidTolerance) return u;
    u = u - r * f / (ka * std::cos(k * u) - 1);
  }
  diag.Message("trochoid", "WTROCH NO CONVERGE");
  return u;
}

double SeaElevation(const SeaConstants& sea, double Xb, double H, double T, const SurfaceTermInputs& term,
                    Diagnostics& diag) {
  const double d = (Xb - H) * sea.DirSign;
  double eta = 0.0;
  if (!sea.FlatDrawn) {
    switch (sea.Waves) {
      case 1: break;
      case 2: eta = sea.Amp * std::sin(sea.Omega * T + sea.WaveNumber * d); break;
      case 3: {
        const double lambda = sea.WaveLength;
        const double kg = kTwoPi12 / lambda;
        const double xi = d + sea.Celerity * T;
        if (!std::isfinite(xi)) {  // no position on the wave: nothing to solve
          eta = std::numeric_limits<double>::quiet_NaN();
          break;
        }
        const double x0 = xi - std::trunc(xi / lambda) * lambda;
        eta = sea.Amp * std::cos(kg * SolveTrochoid(kg, sea.Amp, x0, diag));
        break;
      }
      case 4: {
        const double q = (d + sea.Celerity * T) / sea.WaveLength;
        eta = StokesLookup(sea.Stokes, q - std::floor(q));
        break;
      }
      default: {
        const double t = T + sea.RWvTdelay;
        for (int n = 0; n < sea.CompCount; ++n) {
          eta += sea.CompAmp * std::sin(sea.CompOmega[n] * t + sea.CompK[n] * d);
        }
        break;
      }
    }
  }
  return eta + LocalSurfaceTerm(H, term);
}

namespace {

// A random sea's sines carried from step to step: for every component, cos and sin of its phase.
struct PhaseRotor {
  static constexpr double kLargestIncrement = 0.5;  // rad: the series below are exact to it
  static constexpr int kStepsPerAnchor = 256;       // rounding grows with every rotation

  // Sets every component's phase afresh at the boat's place d (ft, along the waves) and time tt
  // (s, the sea's delay added); returns the elevation.
  double Anchor(const SeaConstants& sea, double d, double tt) {
    double eta = 0;
    for (int n = 0; n < sea.CompCount; ++n) {
      const double phase = sea.CompOmega[static_cast<std::size_t>(n)] * tt + sea.CompK[static_cast<std::size_t>(n)] * d;
      s[static_cast<std::size_t>(n)] = std::sin(phase);
      c[static_cast<std::size_t>(n)] = std::cos(phase);
      eta += sea.CompAmp * s[static_cast<std::size_t>(n)];
    }
    return eta;
  }

  // Turns every phase by its increment over dd ft and dt s; false, leaving the phases as they
  // were, when an increment is too large for the series (or not finite).
  bool Turn(const SeaConstants& sea, double dd, double dt) {
    const std::size_t count = static_cast<std::size_t>(sea.CompCount);
    for (std::size_t n = 0; n < count; ++n) {
      inc[n] = sea.CompOmega[n] * dt + sea.CompK[n] * dd;
      if (!(std::fabs(inc[n]) <= kLargestIncrement)) return false;
    }
    for (std::size_t n = 0; n < count; ++n) {
      // sin and cos of |x| <= 0.5 by their Taylor series to x^15 and x^16 (remainders < 1e-17).
      const double x = inc[n], x2 = x * x;
      const double sx =
          x * (1 + x2 * (-1.0 / 6 + x2 * (1.0 / 120 + x2 * (-1.0 / 5040 + x2 * (1.0 / 362880 + x2 * (-1.0 / 39916800 +
              x2 * (1.0 / 6227020800 + x2 * (-1.0 / 1307674368000))))))));
      const double cx =
          1 + x2 * (-1.0 / 2 + x2 * (1.0 / 24 + x2 * (-1.0 / 720 + x2 * (1.0 / 40320 + x2 * (-1.0 / 3628800 +
              x2 * (1.0 / 479001600 + x2 * (-1.0 / 87178291200 + x2 * (1.0 / 20922789888000))))))));
      const double cn = c[n] * cx - s[n] * sx;
      s[n] = s[n] * cx + c[n] * sx;
      c[n] = cn;
    }
    return true;
  }

  double Elevation(const SeaConstants& sea) const {
    double eta = 0;
    for (int n = 0; n < sea.CompCount; ++n) eta += sea.CompAmp * s[static_cast<std::size_t>(n)];
    return eta;
  }

  std::array<double, kMaxSeaComponents> c{}, s{}, inc{};
};

}  // namespace

void SeaElevations(const SeaConstants& sea, std::span<const float> xb, double H, std::span<const double> t,
                   std::span<double> out, Diagnostics& diag) {
  const std::size_t n = std::min({xb.size(), t.size(), out.size()});
  if (sea.FlatDrawn || sea.Waves != 0) {
    for (std::size_t i = 0; i < n; ++i) out[i] = SeaElevation(sea, static_cast<double>(xb[i]), H, t[i], SurfaceTermInputs{}, diag);
    return;
  }
  PhaseRotor rotor;
  int sinceAnchor = PhaseRotor::kStepsPerAnchor;  // anchors at the first step
  double lastD = 0, lastT = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double d = (static_cast<double>(xb[i]) - H) * sea.DirSign;
    const double tt = t[i] + sea.RWvTdelay;
    if (sinceAnchor < PhaseRotor::kStepsPerAnchor && rotor.Turn(sea, d - lastD, tt - lastT)) {
      out[i] = rotor.Elevation(sea);
      ++sinceAnchor;
    } else if (std::isfinite(d) && std::isfinite(tt)) {
      out[i] = rotor.Anchor(sea, d, tt);
      sinceAnchor = 1;
    } else {
      out[i] = SeaElevation(sea, static_cast<double>(xb[i]), H, t[i], SurfaceTermInputs{}, diag);
      sinceAnchor = PhaseRotor::kStepsPerAnchor;  // no phase to turn from
      continue;
    }
    lastD = d;
    lastT = tt;
  }
}

}  // namespace hulvex

// Any text as a spline data file: the first byte picks the loader (plain chine, inner chine,
// chine angle, slope factor), the rest is the file. Then the section builders of that layout at
// a few stations, over what the load left in the store.
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/diagnostics.h"
#include "fuzz_support.h"
#include "hull/boat_record.h"
#include "hull/hull_section.h"
#include "hull/hull_setup.h"
#include "spline/spline_files.h"
#include "hull/spline_sections.h"
#include "demo/boat_writer.h"

namespace {
using namespace hulvex;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// A loaded knot set has 1 ... 30 strictly increasing, finite knots.
void CheckKnots(const KnotSet& k) {
  Check(k.Count >= 0 && k.Count <= kSplineMaxKnots);
  for (int i = 0; i < k.Count; ++i) {
    Check(std::isfinite(k.Knots[static_cast<std::size_t>(i)]));
    if (i > 0) Check(k.Knots[static_cast<std::size_t>(i)] > k.Knots[static_cast<std::size_t>(i - 1)]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const auto layout = static_cast<SplineLayout>(data[0] % 4);
  const std::string path = fuzz::WriteInput("LINES.TXT", data + 1, size - 1);
  const SplineFileSource source{"LINES.TXT", "C:\\BOATS\\FUZZ.BOT", fuzz::ScratchDir(), {}};

  NullDiagnostics diag;
  SplineStore store;
  BoatRecord pb = demo::SampleSplineBoat(layout, "LINES.TXT");
  const bool loaded = layout == SplineLayout::SlopeFactor ? LoadSplineFile(layout, store, source, diag)
                                                          : LoadHullLines(layout, store, pb, source, diag);
  if (loaded) {
    Check(store.LastRow >= 0 && store.LastRow <= kSplineLastRow);
    CheckKnots(store.GunwaleKnots);
    CheckKnots(store.BottomKnots);
    CheckKnots(store.InnerKnots);
    if (layout != SplineLayout::SlopeFactor) Check(HullLinesLoaded(store, layout));
  }

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  static const BoatRecord analytic = demo::SampleBoat(1);
  for (double x : {-5.0, -1.5, 0.0, 0.0001, 1.0, 7.3, 12.0, 23.99, 24.0, 40.0, nan, inf, -inf}) {
    HullSection s;
    switch (layout) {
      case SplineLayout::PlainChine: PlainChineSection(store, s, x, diag); break;
      case SplineLayout::InnerChine: InnerChineSection(store, s, x, diag); break;
      case SplineLayout::ChineAngle: ChineAngleSection(store, s, x, diag); break;
      case SplineLayout::SlopeFactor:
        ComputeHullSection(analytic, SplineStore{}, x, s, diag);
        SlopeFactorSection(store, s, x, diag);
        break;
    }
  }
  // The whole station table of a boat prepared with this store.
  if (loaded) {
    StationTable t;
    if (SetUpStations(pb, 40, t, diag)) BuildStationTable(pb, store, t, diag);
  }
  return 0;
}

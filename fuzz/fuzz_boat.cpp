// Any 402 bytes as a boat record plus a station count: decode, prepare, set up the stations and
// build the station table, for the stored hull type and for every other one; then compose a
// frame of the hull on a flat sea.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/diagnostics.h"
#include "fuzz_support.h"
#include "hull/boat_record.h"
#include "hull/hull_model.h"
#include "hull/hull_setup.h"
#include "sea/sea_model.h"
#include "demo/run_writers.h"
#include "video/frame_composition.h"

namespace {
using namespace hulvex;
namespace BL = boat_record_layout;

const SeaConstants& FlatSea() {
  static const SeaConstants sea = [] {
    RunParameters p = demo::SampleRunParameters();
    p.Waves = 1;
    NullDiagnostics diag;
    return SeaSetUp(p, diag);
  }();
  return sea;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void PrepareAndBuild(const std::array<std::uint8_t, BL::kRecordSize>& raw, std::int16_t N) {
  NullDiagnostics diag;
  HullModel hull;
  hull.PB = DecodeBoatRecord(raw);
  hull.BoatLoaded = true;
  hull.SplineFileName = SplineFileNameOf(hull.PB);
  Check(hull.SplineFileName.size() <= BL::kBoatNameWidth);
  // The curves a spline file would have given; no file is found, so the store stays as it is.
  if (hull.PB.HullType >= 7) hull.Splines = fuzz::SampleStore(HullLineLayoutOf(hull.PB));
  else if (hull.PB.SplineProps != 0) hull.Splines = fuzz::SampleStore(SplineLayout::SlopeFactor);
  const SplineFileSource none{"", "C:\\BOATS\\FUZZ.BOT", "", {}};
  StationTable& t = hull.Stations;
  const bool stations = SetUpStations(hull.PB, N, t, diag);
  Check(stations == (N > 0));
  Check(t.StationCount == (N <= 0 ? 0 : std::min<int>(N, kMaxStations)));
  if (hull.PB.HullType < 1) return;  // the open refuses such a boat before any section is computed
  PrepareHull(hull.PB, hull.Splines, none, diag);
  if (!SetUpStations(hull.PB, N, t, diag) && stations) __builtin_trap();
  BuildStationTable(hull.PB, hull.Splines, t, diag);

  // The picture of the built stations, as the open sequence would draw it.
  if (stations) {
    // A hull that cannot be drawn gives the sea alone: its line, or nothing without a length.
    hull.Drawable = false;
    VideoFrame sea;
    const FrameGeometry seaOnly = FrameGeometryOf(hull);
    Check(seaOnly.Stations.empty() && seaOnly.Length > 0);
    ComposeFrame(sea, seaOnly, FlatSea(), 1.5, 0.0f, SurfaceTermInputs{}, StepPose{10.0f, 0.05f, 0.2f}, diag);
    Check(sea.List.count == static_cast<std::size_t>(kSampleStations + 3));
    hull.Drawable = true;  // as the open marks a hull whose stations were built
    const FrameGeometry g = FrameGeometryOf(hull);
    Check(g.Stations.size() == static_cast<std::size_t>(g.StationCount) + 1);
    VideoFrame frame;
    ComposeFrame(frame, g, FlatSea(), 1.5, 0.0f, SurfaceTermInputs{}, StepPose{10.0f, 0.05f, 0.2f}, diag);
    Check(frame.List.count == static_cast<std::size_t>(3 * g.StationCount + 79));
    Check(frame.List.pairs[frame.List.count - 1].a == kEndListMarker);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, BL::kRecordSize> raw{};
  std::memcpy(raw.data(), data, std::min(size, raw.size()));
  std::int16_t N = 40;
  if (size >= raw.size() + 2) N = static_cast<std::int16_t>(data[raw.size()] | (data[raw.size() + 1] << 8));
  else if (size == raw.size() + 1) N = static_cast<std::int8_t>(data[raw.size()]);

  const BoatRecord decoded = DecodeBoatRecord(raw);
  Check(decoded.Raw == raw);
  PrepareAndBuild(raw, N);
  // Every hull type with the same fields: -3, 0, the analytic types, the spline type.
  for (std::int16_t type : {std::int16_t{-3}, std::int16_t{0}, std::int16_t{1}, std::int16_t{2}, std::int16_t{3},
                            std::int16_t{4}, std::int16_t{5}, std::int16_t{6}, std::int16_t{7}}) {
    if (type == decoded.HullType) continue;
    std::array<std::uint8_t, BL::kRecordSize> other = raw;
    other[BL::kHullType] = static_cast<std::uint8_t>(type & 0xff);
    other[BL::kHullType + 1] = static_cast<std::uint8_t>((type >> 8) & 0xff);
    PrepareAndBuild(other, N);
  }
  return 0;
}

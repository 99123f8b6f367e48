#include "video/frame_composition.h"

#include <algorithm>
#include <cmath>

#include "sea/sea_model.h"

namespace hulvex {
namespace {

// The start value handed to the surface term off the hull: far enough aft that the term is off.
constexpr double kSurfaceTermOff = 10'000'000.0;

struct BodyToPicture {
  double S, C, Zd, Length;
  // Body point (x aft, z down from the datum) to picture point.
  PicturePoint Map(double x, double z) const {
    return {static_cast<float>((x * C - z * S) / Length), static_cast<float>((Zd - z * C - x * S) / Length)};
  }
};

class ListWriter {
public:
  ListWriter(DisplayList& list, float shift) : list_(list), shift_(shift) { list_.count = 0; }
  void Start(float colour) { Put(kStartMarker, colour); }
  void Point(PicturePoint p) { Put(static_cast<float>(static_cast<double>(p.X) - shift_), p.Y); }
  void EndLine() { Put(kEndLineMarker, 0); }
  void EndList() { Put(kEndListMarker, 0); }

private:
  void Put(float a, float b) {
    if (list_.count < list_.pairs.size()) list_.pairs[list_.count++] = {a, b};
  }
  DisplayList& list_;
  double shift_;
};

}  // namespace

FrameGeometry FrameGeometryOf(const HullModel& hull) {
  FrameGeometry g;
  if (!hull.Drawable) {
    const float length = hull.PB.Length;
    g.Length = std::isfinite(length) && length > 0 ? length : kNominalPictureLength;
    return g;
  }
  g.Length = hull.PB.Length;
  g.LCG = hull.PB.LCG;
  g.StemRake = hull.PB.StemRake;
  g.SheerStem = hull.PB.SheerStem;
  g.StationSpacing = hull.Stations.StationSpacing;
  g.CgBelowDatum = hull.Stations.CgBelowDatum;
  g.StationCount = std::clamp(hull.Stations.StationCount, 0, kMaxStations);
  g.Stations = std::span<const HullSection>(hull.Stations.Sections.data(), static_cast<std::size_t>(g.StationCount) + 1);
  return g;
}

void ComposeFrame(VideoFrame& frame, const FrameGeometry& g, const SeaConstants& sea, double T, float Shift,
                  const SurfaceTermInputs& term, const StepPose& pose, Diagnostics& diag) {
  if (g.Stations.empty()) {
    frame.List.count = 0;
    ListWriter out(frame.List, Shift);
    if (g.Length > 0) {  // the sea alone, sampled as it is beside a hull
      const double c = std::cos(static_cast<double>(pose.Theta));
      out.Start(static_cast<float>(kColourBlue));
      for (int i = kFirstSampleStation; i <= kLastSampleStation; ++i) {
        const double H = i * (g.Length / 40.0) * c;
        const double eta = SeaElevation(sea, pose.Xb, H, T, SurfaceTermInputs{term.Gain, kSurfaceTermOff, term.End}, diag);
        PicturePoint& p = frame.StationPoints[static_cast<std::size_t>(i - kFirstSampleStation)][0];
        p = {static_cast<float>(H / g.Length), static_cast<float>(eta / g.Length)};
        out.Point(p);
      }
      out.EndLine();
    }
    out.EndList();
    return;
  }
  const int n = std::clamp(std::min(g.StationCount, static_cast<int>(g.Stations.size()) - 1), 0, kMaxStations);
  const double theta = pose.Theta;
  const BodyToPicture view{std::sin(theta), std::cos(theta),
                           g.LCG * std::sin(theta) + pose.Zcg + g.CgBelowDatum * std::cos(theta), g.Length};
  // With the full 40 stations the sea samples sit on the stations themselves.
  const double seaSpacing = n == kMaxStations ? g.StationSpacing : g.Length / 40.0;

  for (int i = kFirstSampleStation; i <= kLastSampleStation; ++i) {
    auto& points = frame.StationPoints[static_cast<std::size_t>(i - kFirstSampleStation)];
    SurfaceTermInputs local{term.Gain, kSurfaceTermOff, term.End};
    if (i >= 0 && i <= n) {
      const HullSection& sec = g.Stations[static_cast<std::size_t>(i)];
      const double x = i * g.StationSpacing;
      points[1] = view.Map(x, sec.KeelZ);
      points[2] = view.Map(x, sec.ChineZ);
      points[3] = view.Map(x, -sec.SheerHeight);
      local.Start = term.Start;
    } else {
      points[1] = points[2] = points[3] = PicturePoint{};
    }
    const double H = i * seaSpacing * view.C;
    const double eta = SeaElevation(sea, pose.Xb, H, T, local, diag);
    points[0] = {static_cast<float>(H / g.Length), static_cast<float>(eta / g.Length)};
  }

  const HullSection& transom = g.Stations[static_cast<std::size_t>(n)];
  const HullSection& bow = g.Stations[0];
  frame.ExtraPoints[0] = view.Map(g.Length, -transom.SheerHeight);
  frame.ExtraPoints[1] = view.Map(g.Length, transom.KeelZ);
  frame.ExtraPoints[2] = view.Map(0.0, -bow.SheerHeight);
  frame.ExtraPoints[3] = view.Map(0.0, 0.0);
  frame.ExtraPoints[4] = view.Map(-static_cast<double>(g.StemRake), -static_cast<double>(g.SheerStem));

  ListWriter out(frame.List, Shift);
  for (int line = 1; line <= 3; ++line) {  // keel, chine, sheer
    out.Start(line == 1 ? static_cast<float>(kColourBlack) : kStartMarker);
    for (int c = 0; c <= n; ++c) out.Point(frame.StationPoints[static_cast<std::size_t>(c - kFirstSampleStation)][static_cast<std::size_t>(line)]);
    out.EndLine();
  }
  const auto& extra = frame.ExtraPoints;
  for (const auto& [from, to] : {std::pair{0, 1}, std::pair{2, 4}, std::pair{3, 4}}) {
    out.Start(kStartMarker);
    out.Point(extra[static_cast<std::size_t>(from)]);
    out.Point(extra[static_cast<std::size_t>(to)]);
    out.EndLine();
  }
  out.Start(static_cast<float>(kColourBlue));
  for (const auto& points : frame.StationPoints) out.Point(points[0]);
  out.EndLine();
  out.EndList();
}

SurfaceTermInputs SurfaceTermOf(const StepValues& step, float threshold) {
  const float gain = step.Channels[kChSurfaceGain];
  if (gain > threshold) return {};
  return {gain, step.Channels[kChSurfaceStart], step.Channels[kChSurfaceEnd]};
}

void ComposeStep(VideoFrame& frame, const FrameGeometry& g, const SeaConstants& sea, const StepValues& step,
                 float Shift, float threshold, Diagnostics& diag) {
  const StepPose pose{step.Channels[kChDistance], step.Channels[kChPitch], step.Channels[kChHeight]};
  ComposeFrame(frame, g, sea, step.StepTime, Shift, SurfaceTermOf(step, threshold), pose, diag);
}

}  // namespace hulvex

// Composing the side view of one step: hull points from the station table mapped by the step's
// height and pitch, and the sea surface sampled along the boat, into a display list.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "common/diagnostics.h"
#include "hull/hull_model.h"
#include "hull/hull_section.h"
#include "runfiles/time_history.h"
#include "sea/sea_constants.h"
#include "sea/sea_model.h"
#include "video/display_list.h"

namespace hulvex {

// Sample stations of the picture: -8 ... 46 (index i + 8).
constexpr int kFirstSampleStation = -8;
constexpr int kLastSampleStation = 46;
constexpr int kSampleStations = kLastSampleStation - kFirstSampleStation + 1;  // 55

// What the picture needs of the hull: the boat's dimensions and the station table.
struct FrameGeometry {
  float Length = 0;       // boat length, ft: the divisor of every picture coordinate
  float LCG = 0;          // CG distance aft of the bow origin, ft
  float StemRake = 0;     // the stem head lies this far ahead of the bow origin, ft
  float SheerStem = 0;    // and this high above the datum, ft
  double StationSpacing = 0;
  double CgBelowDatum = 0;
  int StationCount = 0;   // N, 1 ... 40: stations 0 ... N carry hull points
  std::span<const HullSection> Stations;  // at least N + 1 entries
};

// The boat length the sea is drawn over when the hull cannot be drawn and its boat record gives
// no length (a missing boat file), ft.
inline constexpr float kNominalPictureLength = 30.0f;

// The geometry of a prepared hull: its boat record and the stations built (StationCount 1 ... 40).
// A hull that cannot be drawn gives a sea-only geometry: no stations, and the boat record's length
// when it is a positive number, else kNominalPictureLength.
FrameGeometry FrameGeometryOf(const HullModel& hull);

// A picture point in boat lengths.
struct PicturePoint {
  float X = 0;
  float Y = 0;
};

// The frame's tables, overwritten in place by every ComposeFrame.
struct VideoFrame {
  // Per sample station: sea point, keel, chine, sheer (hull points zero off the hull).
  std::array<std::array<PicturePoint, 4>, kSampleStations> StationPoints{};
  // Transom top, transom bottom, sheer at the bow origin, bow origin, stem head.
  std::array<PicturePoint, 5> ExtraPoints{};
  DisplayList List;
};

// Where a step puts the boat (channels 6, 3 and 0 of the step).
struct StepPose {
  float Xb = 0;     // distance travelled, ft
  float Theta = 0;  // pitch, rad, bow up
  float Zcg = 0;    // height of the centre of gravity above mean sea level, ft
};

// Composes the frame of time T (s) with the picture shifted Shift boat lengths to the left, the
// local surface term `term` and the boat at `pose`. Hull points are formed for stations 0 ... N
// at x = c x StationSpacing; the 55 sea samples lie at x = i x Length / 40 (i = -8 ... 46)
// whatever N is, and carry the local surface term only where a hull station exists.
// g.StationCount must be 1 ... 40 and g.Stations hold N + 1 sections; with no sections the frame
// holds only the sea line (none when g.Length is not positive). Non-finite inputs give
// non-finite points, never a fault.
void ComposeFrame(VideoFrame& frame, const FrameGeometry& g, const SeaConstants& sea, double T, float Shift,
                  const SurfaceTermInputs& term, const StepPose& pose, Diagnostics& diag);

// The surface term of a step read raw: Gain, Start, End from channels 8, 9, 10, or no term
// (0, 0, 1) when channel 8 is greater than `threshold`.
SurfaceTermInputs SurfaceTermOf(const StepValues& step, float threshold);

// Composes the frame of a step read raw (ReadStep with convert false).
void ComposeStep(VideoFrame& frame, const FrameGeometry& g, const SeaConstants& sea, const StepValues& step,
                 float Shift, float threshold, Diagnostics& diag);

}  // namespace hulvex

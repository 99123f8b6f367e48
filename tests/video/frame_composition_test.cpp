#include "video/frame_composition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sea/sea_model.h"

namespace hulvex {
namespace {

constexpr double kLength = 30.0;

// A box-like hull: keel 1.2 ft and chine 0.6 ft below the datum, sheer 2 ft above, at every station.
struct BoxHull {
  explicit BoxHull(int n = 40) : sections(static_cast<std::size_t>(n) + 1) {
    for (auto& s : sections) {
      s.KeelZ = 1.2;
      s.ChineZ = 0.6;
      s.SheerHeight = 2.0;
    }
    g.Length = static_cast<float>(kLength);
    g.LCG = 11.0f;
    g.StemRake = 1.5f;
    g.SheerStem = 2.5f;
    g.StationSpacing = kLength / n;
    g.CgBelowDatum = 0.5;
    g.StationCount = n;
    g.Stations = sections;
  }
  std::vector<HullSection> sections;
  FrameGeometry g;
};

SeaConstants FlatSea() { return SeaConstants{}; }  // Waves 1

VideoFrame Compose(const BoxHull& hull, float shift, float theta, float zcg, float gain = 0, float start = 0,
                   float end = 1) {
  VideoFrame f;
  CollectingDiagnostics diag;
  ComposeFrame(f, hull.g, FlatSea(), 1.0, shift, {gain, start, end}, {100.0f, theta, zcg}, diag);
  EXPECT_TRUE(diag.messages.empty());
  return f;
}

TEST(FrameComposition, LevelBoatAtMeanSeaLevel) {
  const BoxHull hull;
  // Zd = Zcg + CgBelowDatum = 0 (both exact in single precision): the bow origin at mean sea level.
  const VideoFrame f = Compose(hull, 0, 0, -0.5f);
  EXPECT_EQ(f.ExtraPoints[3].X, 0.0f);
  EXPECT_EQ(f.ExtraPoints[3].Y, 0.0f);
  EXPECT_FLOAT_EQ(f.ExtraPoints[0].X, 1.0f);                      // transom top at one boat length
  EXPECT_FLOAT_EQ(f.ExtraPoints[0].Y, static_cast<float>(2.0 / kLength));
  EXPECT_FLOAT_EQ(f.ExtraPoints[1].Y, static_cast<float>(-1.2 / kLength));
  EXPECT_FLOAT_EQ(f.ExtraPoints[4].X, static_cast<float>(-1.5 / kLength));  // stem head ahead
  EXPECT_FLOAT_EQ(f.ExtraPoints[4].Y, static_cast<float>(2.5 / kLength));
  // The sea line: stations -8 ... 46, flat at 0, from -0.2 to 1.15 boat lengths.
  EXPECT_FLOAT_EQ(f.StationPoints.front()[0].X, -0.2f);
  EXPECT_FLOAT_EQ(f.StationPoints.back()[0].X, 1.15f);
  for (const auto& p : f.StationPoints) EXPECT_EQ(p[0].Y, 0.0f);
  // Only stations 0 ... 40 carry hull points.
  for (int i : {-8, -1, 41, 46})
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(f.StationPoints[static_cast<std::size_t>(i + 8)][static_cast<std::size_t>(k)].X, 0.0f);
      EXPECT_EQ(f.StationPoints[static_cast<std::size_t>(i + 8)][static_cast<std::size_t>(k)].Y, 0.0f);
    }
}

TEST(FrameComposition, DisplayListHasTheSevenLinesInOrder) {
  const BoxHull hull;
  const VideoFrame f = Compose(hull, 0, 0.05f, 0.3f);
  const DisplayList& l = f.List;
  ASSERT_EQ(l.count, 199u);
  // Start pairs and their colours; the lengths of the seven polylines.
  const int lengths[] = {41, 41, 41, 2, 2, 2, 55};
  const float colours[] = {0, -16, -16, -16, -16, -16, 16711680};
  std::size_t i = 0;
  for (int line = 0; line < 7; ++line) {
    ASSERT_EQ(l.pairs[i].a, kStartMarker) << line;
    EXPECT_EQ(l.pairs[i].b, colours[line]) << line;
    i += 1 + static_cast<std::size_t>(lengths[line]);
    ASSERT_EQ(l.pairs[i].a, kEndLineMarker) << line;
    EXPECT_EQ(l.pairs[i].b, 0.0f);
    ++i;
  }
  EXPECT_EQ(l.pairs[i].a, kEndListMarker);
  EXPECT_EQ(i + 1, l.count);
  // The keel line holds the keel points of stations 0 ... 40 (sample index i + 8).
  for (int c = 0; c <= 40; ++c) {
    EXPECT_EQ(l.pairs[1 + static_cast<std::size_t>(c)].a, f.StationPoints[static_cast<std::size_t>(c + 8)][1].X);
    EXPECT_EQ(l.pairs[1 + static_cast<std::size_t>(c)].b, f.StationPoints[static_cast<std::size_t>(c + 8)][1].Y);
  }
}

TEST(FrameComposition, PitchIsARigidRotationAboutTheBowOrigin) {
  const BoxHull hull;
  const float theta = 0.1f;
  const VideoFrame f = Compose(hull, 0, theta, 0.3f);
  // Keel line from station 0 to 40: its length is kept and it turns by -theta (bow up, stern down).
  const PicturePoint a = f.StationPoints[8][1], b = f.StationPoints[48][1];
  EXPECT_NEAR(std::hypot(b.X - a.X, b.Y - a.Y), 1.0, 1e-6);
  EXPECT_NEAR(std::atan2(b.Y - a.Y, b.X - a.X), -theta, 1e-6);
  // Bow up: the transom goes down and the stem head goes up relative to the level boat.
  const VideoFrame level = Compose(hull, 0, 0, 0.3f);
  EXPECT_LT(f.ExtraPoints[1].Y, level.ExtraPoints[1].Y);
  EXPECT_GT(f.ExtraPoints[4].Y, level.ExtraPoints[4].Y);
  // The CG, LCG aft of the bow origin and CgBelowDatum below the datum, sits at height Zcg.
  const double s = std::sin(double(theta)), c = std::cos(double(theta));
  const double cgY = f.ExtraPoints[3].Y * kLength - 0.5 * c - 11.0 * s;
  EXPECT_NEAR(cgY, 0.3, 1e-5);
}

TEST(FrameComposition, ShiftMovesEveryPointLeft) {
  const BoxHull hull;
  const VideoFrame a = Compose(hull, 0, 0.02f, 0.5f);
  const VideoFrame b = Compose(hull, 0.1f, 0.02f, 0.5f);
  ASSERT_EQ(a.List.count, b.List.count);
  for (std::size_t i = 0; i < a.List.count; ++i) {
    const DisplayPair p = a.List.pairs[i], q = b.List.pairs[i];
    if (p.a == kStartMarker || p.a == kEndLineMarker || p.a == kEndListMarker) {
      EXPECT_EQ(p.a, q.a);
      continue;
    }
    EXPECT_NEAR(q.a, p.a - 0.1f, 1e-6) << i;
    EXPECT_EQ(q.b, p.b) << i;
  }
}

TEST(FrameComposition, SurfaceTermOnlyUnderTheHull) {
  const BoxHull hull;
  // A term that would lift the sea everywhere aft of H = 0.
  const VideoFrame f = Compose(hull, 0, 0, 0.5f, 0.5f, 0.0f, 30.0f);
  CollectingDiagnostics diag;
  for (int i = -8; i <= 46; ++i) {
    const PicturePoint p = f.StationPoints[static_cast<std::size_t>(i + 8)][0];
    const double H = i * kLength / 40;
    const double expected = (i >= 0 && i <= 40) ? LocalSurfaceTerm(H, {0.5, 0.0, 30.0}) : 0.0;
    EXPECT_NEAR(p.Y * kLength, expected, 1e-5) << i;
  }
  // Somewhere under the hull the term is not zero, so the test means something.
  EXPECT_NE(f.StationPoints[8 + 30][0].Y, 0.0f);
}

TEST(FrameComposition, ChannelEightAboveTheThresholdTurnsTheTermOff) {
  StepValues step;
  step.Channels[kChSurfaceGain] = 1000.5f;
  step.Channels[kChSurfaceStart] = 3.0f;
  step.Channels[kChSurfaceEnd] = 9.0f;
  SurfaceTermInputs t = SurfaceTermOf(step, 1000.0f);
  EXPECT_EQ(t.Gain, 0.0f);
  EXPECT_EQ(t.Start, 0.0f);
  EXPECT_EQ(t.End, 1.0f);
  t = SurfaceTermOf(step, 2000.0f);
  EXPECT_EQ(t.Gain, 1000.5f);
  EXPECT_EQ(t.Start, 3.0f);
  EXPECT_EQ(t.End, 9.0f);
  step.Channels[kChSurfaceGain] = 50.0f;  // not above 50
  EXPECT_EQ(SurfaceTermOf(step, 50.0f).Gain, 50.0f);
}

TEST(FrameComposition, FewerStationsKeepTheSeaWhereItWas) {
  const BoxHull ten(10);
  const VideoFrame f = Compose(ten, 0, 0, -0.5f);
  EXPECT_EQ(f.List.count, 3u * 10 + 79);
  EXPECT_FLOAT_EQ(f.StationPoints.front()[0].X, -0.2f);
  EXPECT_FLOAT_EQ(f.StationPoints.back()[0].X, 1.15f);
  // Hull points stop at station 10, which is the transom.
  EXPECT_FLOAT_EQ(f.StationPoints[8 + 10][1].X, 1.0f);
  EXPECT_EQ(f.StationPoints[8 + 11][1].X, 0.0f);
  EXPECT_FLOAT_EQ(f.ExtraPoints[1].X, 1.0f);
}

TEST(FrameComposition, NonFiniteMotionGivesNonFinitePointsNotAFault) {
  const BoxHull hull;
  VideoFrame f;
  CollectingDiagnostics diag;
  ComposeFrame(f, hull.g, FlatSea(), NAN, 0, {}, {INFINITY, NAN, 1e30f}, diag);
  EXPECT_EQ(f.List.count, 199u);
  EXPECT_TRUE(std::isnan(f.ExtraPoints[3].Y));
  // An empty station table gives the sea alone (a start, 55 samples, the line's and the list's
  // ends), on a flat sea at the mean level; with no length, an empty picture.
  FrameGeometry none = hull.g;
  none.Stations = {};
  ComposeFrame(f, none, FlatSea(), 0, 0, {}, {}, diag);
  EXPECT_EQ(f.List.count, 58u);
  for (std::size_t i = 1; i <= 55; ++i) EXPECT_EQ(f.List.pairs[i].b, 0.0f) << i;
  none.Length = 0;
  ComposeFrame(f, none, FlatSea(), 0, 0, {}, {}, diag);
  EXPECT_EQ(f.List.count, 1u);
  EXPECT_EQ(f.List.pairs[0].a, kEndListMarker);
}

}  // namespace
}  // namespace hulvex

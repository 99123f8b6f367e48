#include "demo/demo_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "cli/run_tool.h"
#include "run/loaded_run.h"
#include "sea/sea_model.h"
#include "spline/spline_files.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"
#include "video/frame_composition.h"
#include "run/smooth_track.h"
#include "video/video_player.h"

namespace hulvex {
namespace {
using test_support::TempDir;

constexpr double kDeg = 3.14159265358979323846 / 180.0;

// What each demonstration run is meant to show.
struct Intended {
  const char* name;
  int hullType;                        // 7 for any spline hull
  std::optional<SplineLayout> layout;  // hull lines, or a slope-factor file of an analytic hull
  int waves;
  bool headSea;
  int mode;
};

const Intended kIntended[] = {
    {"DV30HEAD", 4, std::nullopt, 2, true, 1},
    {"RK40FOLL", 2, std::nullopt, 0, false, 1},
    {"SF25HEAD", 5, SplineLayout::SlopeFactor, 0, true, 1},
    {"PC28STOK", 7, SplineLayout::PlainChine, 4, true, 3},
    {"IC36GERS", 7, SplineLayout::InnerChine, 3, false, 1},
    {"CA32ACC", 7, SplineLayout::ChineAngle, 1, true, 0},
    {"PR24SINE", 3, std::nullopt, 2, true, 2},
};

// The set is written once for the whole suite: it is the expensive part.
class DemoRuns : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    paths_ = new std::vector<std::string>(demo::WriteDemoRuns(dir_->path()));
  }
  static void TearDownTestSuite() {
    delete paths_;
    delete dir_;
  }
  static std::string PathOf(const std::string& name) { return dir_->path() + "/" + name; }

  // Opens the run as the viewer does; every demonstration run must open without a message.
  static void Open(LoadedRun& run, const std::string& name) {
    CollectingDiagnostics diag;
    ASSERT_EQ(OpenRun(run, PathOf(name), diag), RunOpenResult::Loaded) << name;
    ASSERT_TRUE(diag.messages.empty()) << name << ": " << diag.messages.front();
    ASSERT_TRUE(run.Hull.Drawable) << name << ": " << run.Hull.NotDrawableReason;
  }

  static std::vector<std::vector<float>> Series(const LoadedRun& run, std::initializer_list<int> channels) {
    CollectingDiagnostics diag;
    const std::vector<int> list(channels);
    auto series = ReadChannelSeries(run.History, list, diag);
    EXPECT_TRUE(diag.messages.empty());
    return series;
  }

  static TempDir* dir_;
  static std::vector<std::string>* paths_;
};
TempDir* DemoRuns::dir_ = nullptr;
std::vector<std::string>* DemoRuns::paths_ = nullptr;

TEST_F(DemoRuns, EveryRunIsWrittenWithItsBoatAndSplineFiles) {
  ASSERT_EQ(paths_->size(), std::size(kIntended));
  for (std::size_t i = 0; i < paths_->size(); ++i) EXPECT_EQ((*paths_)[i], PathOf(kIntended[i].name));
  for (const char* file : {"DV30.BOT", "RK40.BOT", "SF25.BOT", "SF25.SPL", "PC28.BOT", "PC28.SPL", "IC36.BOT",
                           "IC36.SPL", "CA32.BOT", "CA32.SPL", "PR24.BOT"})
    EXPECT_TRUE(std::filesystem::is_regular_file(PathOf(file))) << file;
}

TEST_F(DemoRuns, EveryRunOpensCleanlyWithTheIntendedHullAndSea) {
  for (const Intended& c : kIntended) {
    SCOPED_TRACE(c.name);
    LoadedRun run;
    Open(run, c.name);
    if (HasFatalFailure()) return;
    const BoatRecord& pb = run.Hull.PB;
    EXPECT_EQ(run.Params.Waves, c.waves);
    EXPECT_EQ(run.Params.HeadSea, c.headSea);
    EXPECT_EQ(run.Params.DOFMode, c.mode);
    EXPECT_EQ(run.Sea.Waves, c.waves);
    EXPECT_FALSE(run.Sea.Refused);
    if (c.hullType == 7) {
      EXPECT_GE(pb.HullType, 7);
      EXPECT_EQ(HullLineLayoutOf(pb), *c.layout);
      EXPECT_GE(run.Hull.Splines.BottomKnots.Count, 5);
    } else {
      EXPECT_EQ(pb.HullType, c.hullType);
      EXPECT_EQ(pb.SplineProps != 0, c.layout == SplineLayout::SlopeFactor);
      if (c.layout) {
        EXPECT_GE(run.Hull.Splines.BottomKnots.Count, 4);
      }
    }
    if (c.hullType == 2) {
      EXPECT_NE(pb.RockerCoef, 0.0f);
    }
    if (c.hullType == 4 || c.hullType == 5) {
      EXPECT_GT(pb.DeadriseAft, 10.0f);
    }
    if (c.waves == 0) {
      EXPECT_GE(run.Params.RWvN, 10);
    }
    if (c.waves == 4) {
      EXPECT_EQ(run.Params.StokesN, 5);
    }

    // A real planing craft of 7 to 15 m and a real sea.
    EXPECT_GE(pb.Length, 23.0f);
    EXPECT_LE(pb.Length, 49.0f);
    EXPECT_GE(pb.Length / pb.Beam, 2.3f);
    EXPECT_LE(pb.Length / pb.Beam, 4.5f);
    EXPECT_EQ(run.Hull.Stations.StationCount, 40);
    if (c.waves != 1) {
      EXPECT_GE(run.Params.WvHHS, 1.0f);
      EXPECT_LE(run.Params.WvHHS, 8.0f);
      EXPECT_GE(run.Params.WvSteep, 0.02f);
      EXPECT_LE(run.Params.WvSteep, 0.08f);
    }

    // The description says what the case is and where its motion comes from.
    EXPECT_NE(run.Description.find(c.name), std::string::npos);
    EXPECT_NE(run.Description.find("demonstration model, not from a seakeeping simulation"), std::string::npos);
  }
}

TEST_F(DemoRuns, DurationsAndStepsAreInRange) {
  for (const Intended& c : kIntended) {
    SCOPED_TRACE(c.name);
    LoadedRun run;
    Open(run, c.name);
    if (HasFatalFailure()) return;
    const auto& t = run.History.StepTimes;
    ASSERT_GE(t.size(), 1000u);
    const double dt = t[1] - t[0];
    EXPECT_GE(dt, 0.005 - 1e-12);
    EXPECT_LE(dt, 0.02 + 1e-12);
    for (std::size_t s = 1; s < t.size(); ++s) ASSERT_NEAR(t[s] - t[s - 1], dt, 1e-9) << s;
    EXPECT_EQ(t.front(), run.History.Header.StartTime);
    EXPECT_NEAR(t.back(), run.History.Header.EndTime, 1e-9);
    EXPECT_NEAR(t.back(), run.Params.Tmax, 1e-4);
    EXPECT_GE(t.back(), 20.0);
    EXPECT_LE(t.back(), 60.0);
    if (std::string(c.name) == "RK40FOLL") {
      EXPECT_GT(t.back(), 8.0 + kTrackWindow);
    }
  }
}

TEST_F(DemoRuns, StoredAccelerationIsTheSecondDifferenceOfTheStoredHeave) {
  for (const Intended& c : kIntended) {
    SCOPED_TRACE(c.name);
    LoadedRun run;
    Open(run, c.name);
    if (HasFatalFailure()) return;
    const auto series = Series(run, {kChHeight, kChAcceleration});
    const auto& z = series[0];
    const auto& a = series[1];
    const auto& t = run.History.StepTimes;
    double largest = 0;
    for (std::size_t s = 1; s + 1 < z.size(); ++s) {
      const double h = t[s + 1] - t[s];
      const double fd = (static_cast<double>(z[s + 1]) - 2.0 * z[s] + z[s - 1]) / (h * h);
      ASSERT_NEAR(a[s], fd, 1e-5 * std::max(1.0, std::abs(fd))) << "step " << s;
      largest = std::max(largest, std::abs(fd));
    }
    // Plausible for a planing boat: under 3 g, and not still in waves.
    EXPECT_LT(largest, 3 * 32.18);
    if (c.waves != 1) {
      EXPECT_GT(largest, 0.1 * 32.18);
    }
  }
}

TEST_F(DemoRuns, DistanceIsTheTrapezoidIntegralOfTheSpeed) {
  for (const Intended& c : kIntended) {
    SCOPED_TRACE(c.name);
    LoadedRun run;
    Open(run, c.name);
    if (HasFatalFailure()) return;
    const auto series = Series(run, {kChDistance, kChSpeed});
    const auto& x = series[0];
    const auto& v = series[1];
    const auto& t = run.History.StepTimes;
    double integral = x[0];
    for (std::size_t s = 1; s < x.size(); ++s) {
      integral += 0.5 * (t[s] - t[s - 1]) * (static_cast<double>(v[s - 1]) + v[s]);
      ASSERT_NEAR(x[s], integral, 1e-6 * std::max(1.0, integral)) << "step " << s;
    }
  }
}

TEST_F(DemoRuns, SpeedFollowsTheSchedule) {
  for (const Intended& c : kIntended) {
    SCOPED_TRACE(c.name);
    LoadedRun run;
    Open(run, c.name);
    if (HasFatalFailure()) return;
    const auto series = Series(run, {kChSpeed});
    const auto& v = series[0];
    const auto& t = run.History.StepTimes;
    const RunParameters& p = run.Params;
    if (c.mode == 0) {
      // Speed specified: the schedule's points, in ft/s, are met exactly; the boat accelerates.
      ASSERT_GE(p.ThrustCount, 1);
      for (int k = 0; k <= p.ThrustCount; ++k) {
        const auto& point = p.ThrustTbl[static_cast<std::size_t>(k)];
        const auto s = static_cast<std::size_t>(std::lround((point.Time - t[0]) / (t[1] - t[0])));
        ASSERT_LT(s, v.size());
        EXPECT_NEAR(v[s], point.Value, 1e-3) << "point " << k;
      }
      EXPECT_GT(v.back() * kFtPerSToKnots, v.front() * kFtPerSToKnots + 20.0);
    } else {
      // Otherwise near the initial speed, with surges.
      const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
      EXPECT_GT(*lo * kFtPerSToKnots, 0.85 * p.ICV);
      EXPECT_LT(*hi * kFtPerSToKnots, 1.1 * p.ICV);
      EXPECT_GT(*hi - *lo, 0.0f);
    }
  }
}

// The picture of every 25th step, as the video composes it: the hull is partly in the water
// (some keel point below the sea line nearly always, the bow origin above it, the transom keel
// mostly in it,
// the sheer at the transom above it), the bow is up a few degrees on average, and channel 8
// carries no surface term.
TEST_F(DemoRuns, PicturesShowAPlaningBoatInTheWaves) {
  for (const Intended& c : kIntended) {
    SCOPED_TRACE(c.name);
    LoadedRun run;
    Open(run, c.name);
    if (HasFatalFailure()) return;
    const FrameGeometry g = FrameGeometryOf(run.Hull);
    const auto series = Series(run, {kChPitch, kChSurfaceGain});
    double pitchSum = 0;
    int frames = 0, wet = 0, transomIn = 0, bowOut = 0, sheerOut = 0;
    for (std::size_t s = 0; s < series[0].size(); ++s) {
      ASSERT_GT(series[1][s], kShowStepThreshold);
      ASSERT_LT(std::abs(series[0][s]), 15 * kDeg) << "pitch in radians, step " << s;
      pitchSum += series[0][s];
      if (s % 25 != 0) continue;
      CollectingDiagnostics diag;
      VideoFrame frame;
      ComposeStep(frame, g, run.Sea, ReadStep(run.History, static_cast<std::int32_t>(s), false, diag), 0.0f,
                  kShowStepThreshold, diag);
      ASSERT_TRUE(diag.messages.empty());
      // Per station: sea, keel, chine, sheer.
      auto station = [&](int i) { return frame.StationPoints[static_cast<std::size_t>(i - kFirstSampleStation)]; };
      bool anyKeelIn = false;
      for (int i = 0; i <= 40; ++i) anyKeelIn = anyKeelIn || station(i)[1].Y < station(i)[0].Y;
      ++frames;
      wet += anyKeelIn;
      transomIn += station(40)[1].Y < station(40)[0].Y;
      bowOut += frame.ExtraPoints[3].Y > station(0)[0].Y;  // the bow origin
      sheerOut += station(40)[3].Y > station(40)[0].Y;
    }
    const double meanPitch = pitchSum / static_cast<double>(series[0].size());
    EXPECT_GT(meanPitch, 2 * kDeg);
    EXPECT_LT(meanPitch, 8 * kDeg);
    EXPECT_GE(wet, frames * 9 / 10);
    EXPECT_GE(transomIn, frames * 6 / 10);
    EXPECT_GE(bowOut, frames * 9 / 10);
    EXPECT_EQ(sheerOut, frames);
  }
}

TEST_F(DemoRuns, TheFollowingSeaSurgesEnoughForTheCameraTrackToShiftThePicture) {
  LoadedRun run;
  Open(run, "RK40FOLL");
  if (HasFatalFailure()) return;
  const auto series = Series(run, {kChDistance, kChSpeed});
  const auto track = BuildSmoothTrack(run.History.StepTimes, series[0], series[1], run.History.Header.StartTime,
                                      run.History.Header.EndTime, kTrackWindow);
  double largest = 0;
  for (std::size_t s = 0; s < track.size(); ++s)
    largest = std::max(largest, std::abs(static_cast<double>(track[s]) - series[0][s]));
  EXPECT_GT(largest / run.Hull.PB.Length, 0.01);  // at least 4 pixels
}

TEST(DemoRunsWriting, IsDeterministicAndOverwritesAnEarlierSet) {
  TempDir dir;
  const auto demo = demo::DemoCases().at(6);
  const std::string path = demo::WriteDemoRun(dir.path(), demo);
  auto bytes = [](const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const std::string first = bytes(path + ".TTS");
  demo::WriteTextFile(path + ".TTS", "damaged");
  EXPECT_EQ(demo::WriteDemoRun(dir.path(), demo), path);
  EXPECT_EQ(bytes(path + ".TTS"), first);
}

TEST(DemoRunsWriting, MakeDemoWritesEveryRunAndRefusesAFileAsItsDirectory) {
  TempDir dir;
  const auto made = cli::test::RunCli({"make-demo", dir / "set"});
  ASSERT_EQ(made.code, 0) << made.err;
  EXPECT_EQ(made.err, "");
  for (const Intended& c : kIntended)
    EXPECT_NE(made.out.find("wrote " + dir / "set/" + c.name + ".HVX\n"), std::string::npos) << c.name;

  demo::WriteTextFile(dir / "plain", "not a directory");
  const auto refused = cli::test::RunCli({"make-demo", dir / "plain"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.err.rfind("error: Cannot create directory " + dir / "plain", 0), 0u) << refused.err;
}

}  // namespace
}  // namespace hulvex

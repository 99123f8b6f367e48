// Several runs on one clock: the stacked panes against each run's own playback pictures, the
// overlay against its definition on a flat sea, the clock with runs of different steps and spans,
// and the command line.
#include "export/compared_frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "cli/run_tool.h"
#include "common/error.h"
#include "export/video_decoding.h"
#include "export/video_export.h"
#include "support/run_builder.h"
#include "video/frame_drawing.h"
#include "video/run_colours.h"

namespace hulvex {
namespace {
using cli::test::RunCli;
using test_support::TempDir;

// A run of the sample boat `hull` planing and surging on a flat sea: `steps` steps `dt` apart from
// `start` s, the CG `heave` ft higher than the writers' sample motion.
struct RunSpec {
  std::string name;
  double start = 0;
  double dt = 0.01;
  std::int32_t steps = 401;
  float heave = 0;
  int hull = 4;
};

std::string WriteRun(const TempDir& dir, const RunSpec& r) {
  test_support::RunBuilder run = test_support::RunBuilder::Named(r.name);
  run.SampleBoat(r.hull, r.name + ".BOT").Steps(r.steps, r.dt);
  run.Params.Waves = 1;  // flat
  run.History.StartTime = r.start;
  run.History.EndTime = r.start + (r.steps - 1) * r.dt;
  const auto planing = demo::SteadyPlaning(r.dt, 45.0, 6.0);
  run.History.values = [planing, r](std::int32_t s, std::span<float> ch) {
    const double t = planing(s, ch);
    ch[kChHeight] += r.heave;
    return r.start + t;
  };
  return run.Write(dir);
}

// Runs opened, with the sources a comparison plays.
struct OpenedRuns {
  OpenedRuns(const TempDir& dir, const std::vector<RunSpec>& specs) {
    for (const RunSpec& spec : specs) {
      LoadedRun run;
      run.DataDir = dir.path();
      NullDiagnostics diag;
      EXPECT_EQ(OpenRun(run, WriteRun(dir, spec), diag), RunOpenResult::Loaded);
      sources.push_back(std::make_unique<VideoSource>(run));
      compared.push_back({sources.back().get(), spec.name});
    }
  }
  std::vector<std::unique_ptr<VideoSource>> sources;
  std::vector<ComparedRun> compared;
};

ExportSettings Settings(std::optional<double> from, std::optional<double> to, int fps, int scale = 1) {
  ExportSettings s;
  s.From = from;
  s.To = to;
  s.Fps = fps;
  s.Scale = scale;
  return s;
}

// Pixels of `picture` whose colour is `rgb`, and whether they lie in `rect`.
int CountColour(const QImage& picture, QRgb rgb, const QRect& rect) {
  int n = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x) n += (picture.pixel(x, y) | 0xFF000000u) == rgb;
  return n;
}

QRgb QRgbOf(RunRgb c) { return qRgb(c.R, c.G, c.B); }

// Frame k of every run: the step whose time is the last at or before From + k / F, from the
// runs' regular steps (closed form), the first before a run starts and the last after it ends.
TEST(ComparedFrames, ClockPicksEachRunsStep) {
  TempDir dir;
  const std::vector<RunSpec> specs = {{"FINE", 0.0, 0.01, 201},    // 0 ... 2 s
                                      {"COARSE", 0.5, 0.03, 41},   // 0.5 ... 1.7 s
                                      {"LATE", 0.2, 0.07, 40}};    // 0.2 ... 2.93 s
  OpenedRuns runs(dir, specs);
  // The default span is the one they share; a span outside it plays the runs' ends.
  const ExportPlan common = PlanComparedExport(runs.compared, Settings({}, {}, 10));
  EXPECT_DOUBLE_EQ(common.From, 0.5);
  EXPECT_NEAR(common.To, 1.7, 1e-12);
  const ExportSettings settings = Settings(0.0, 2.9, 10);
  const ExportPlan plan = PlanComparedExport(runs.compared, settings);
  ASSERT_EQ(plan.Frames, 29);
  NullDiagnostics diag;
  ComparedFrames frames(runs.compared, ComparedLayout::Stacked, plan, settings, diag);
  QImage picture(frames.FrameSize(), QImage::Format_RGB32);
  for (std::int64_t k = 0; frames.Next(picture, diag); ++k) {
    const double t = static_cast<double>(k) / 10.0;
    for (std::size_t i = 0; i < specs.size(); ++i) {
      const RunSpec& r = specs[i];
      const auto expected = static_cast<std::int32_t>(std::clamp(std::floor((t - r.start) / r.dt + 1e-6), 0.0, r.steps - 1.0));
      EXPECT_EQ(frames.StepOf(i), expected) << r.name << " at frame " << k;
    }
  }
  // Hand-picked: COARSE before its start (frame 3, 0.3 s) and after its end (frame 20, 2.0 s).
  const ExportPlan two{0.0, 2.0, 21};
  ComparedFrames again(runs.compared, ComparedLayout::Overlay, two, settings, diag);
  QImage one(again.FrameSize(), QImage::Format_RGB32);
  again.DrawAt(0.3, one, diag, true);
  EXPECT_EQ(again.StepOf(1), 0);
  EXPECT_EQ(again.StepOf(2), 1);  // 0.27 s
  again.DrawAt(2.0, one, diag);
  EXPECT_EQ(again.StepOf(0), 200);
  EXPECT_EQ(again.StepOf(1), 40);
}

// Plans the runs cannot have: no time in common unless both ends are given, times outside all of
// them, too many runs.
TEST(ComparedFrames, PlanErrors) {
  TempDir dir;
  OpenedRuns runs(dir, {{"EARLY", 0.0, 0.01, 101}, {"AFTER", 2.0, 0.01, 101}});
  const struct {
    ExportSettings settings;
    const char* says;  // nothing: planned
  } cases[] = {
      {Settings({}, {}, 10), "The runs have no time in common: EARLY ends at 1 s, AFTER starts at 2 s"},
      {Settings(0.5, {}, 10), "no time in common"},
      {Settings(0.5, 2.5, 10), nullptr},
      {Settings(-0.5, 2.5, 10), "The start time -0.5 s is outside the runs (0 s to 3 s)"},
      {Settings(0.5, 3.5, 10), "The end time 3.5 s is outside the runs"},
  };
  for (const auto& c : cases) {
    if (!c.says) {
      EXPECT_NO_THROW(PlanComparedExport(runs.compared, c.settings));
      continue;
    }
    try {
      PlanComparedExport(runs.compared, c.settings);
      ADD_FAILURE() << "planned: " << c.says;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
  std::vector<ComparedRun> nine(9, runs.compared.front());
  EXPECT_THROW(PlanComparedExport(nine, Settings(0.5, 0.9, 10)), Error);
  EXPECT_THROW(PlanComparedExport({}, Settings(0.5, 0.9, 10)), Error);
}

// Pane i of every frame is run i's own playback picture, pixel for pixel outside its name box, with
// the runs' different boats, steps and spans (the second starts after From), at scales 1 and 2.
TEST(ComparedFrames, StackedPanesAreEachRunsOwnFrames) {
  TempDir dir;
  OpenedRuns runs(dir, {{"FIRST", 0.0, 0.01, 401, 0.0f, 4}, {"SECOND", 0.35, 0.02, 120, 0.2f, 1}});
  for (const int scale : {1, 2}) {
    SCOPED_TRACE(scale);
    const ExportSettings settings = Settings(0.0, 3.0, 8, scale);
    const ExportPlan plan = PlanComparedExport(runs.compared, settings);
    NullDiagnostics diag;
    ComparedFrames frames(runs.compared, ComparedLayout::Stacked, plan, settings, diag);
    ASSERT_EQ(frames.FrameSize(), QSize(620 * scale, 600 * scale));
    std::vector<std::unique_ptr<PlaybackFrames>> own;
    std::vector<QImage> ownPictures;
    for (const ComparedRun& run : runs.compared) {
      own.push_back(std::make_unique<PlaybackFrames>(*run.Source, plan, settings, diag));
      ownPictures.push_back(MakeFrameBitmap(scale));
    }
    QImage picture(frames.FrameSize(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    std::int64_t k = 0;
    for (; frames.Next(picture, diag); ++k) {
      for (std::size_t i = 0; i < own.size(); ++i) {
        ASSERT_TRUE(own[i]->Next(ownPictures[i], diag));
        const QRect pane = StackedPane(static_cast<int>(i), scale);
        const QRect box = RunNameBox(pane, scale);
        int differing = 0;
        for (int y = 0; y < pane.height(); ++y)
          for (int x = 0; x < pane.width(); ++x)
            if (!box.contains(x, pane.top() + y))
              differing += picture.pixel(x, pane.top() + y) != ownPictures[i].pixel(x, y);
        EXPECT_EQ(differing, 0) << "pane " << i << " frame " << k;
        // The box holds the name: black letters and frame on white, nothing else.
        const int black = CountColour(picture, qRgb(0, 0, 0), box);
        EXPECT_GT(black, 2 * (box.width() + box.height()) * scale);
        EXPECT_EQ(black + CountColour(picture, qRgb(255, 255, 255), box), box.width() * box.height());
      }
    }
    EXPECT_EQ(k, plan.Frames);
  }
}

// On a flat sea: an identical run overlays the reference exactly (its lines recoloured), and a run
// raised in heave draws its outline where its own picture has it, the hull higher by
// heave / length x 400 pixels; the legend shows every run's colour.
TEST(ComparedFrames, OverlayOnAFlatSea) {
  TempDir dir;
  constexpr float kRaise = 0.5f;  // ft
  OpenedRuns runs(dir, {{"REF"}, {"SAME"}, {"RAISED", 0.0, 0.01, 401, kRaise}});
  const float length = runs.sources.front()->Geometry().Length;
  const ExportSettings settings = Settings(0.5, 3.5, 4);
  const ExportPlan plan = PlanComparedExport(runs.compared, settings);
  NullDiagnostics diag;
  const QRgb white = qRgb(255, 255, 255), red = qRgb(255, 0, 0);
  const QRgb orange = QRgbOf(RunColour(1)), sky = QRgbOf(RunColour(2));
  const QRect legend = OverlayLegendBox(3, 1);

  for (const bool raised : {false, true}) {
    SCOPED_TRACE(raised ? "raised" : "identical");
    const std::vector<ComparedRun> pair{runs.compared[0], runs.compared[raised ? 2 : 1]};
    ComparedFrames frames(pair, ComparedLayout::Overlay, plan, settings, diag);
    PlaybackFrames ref(*pair[0].Source, plan, settings, diag), other(*pair[1].Source, plan, settings, diag);
    QImage picture(frames.FrameSize(), QImage::Format_RGB32), refPicture = MakeFrameBitmap(1),
        otherPicture = MakeFrameBitmap(1);
    while (frames.Next(picture, diag)) {
      ASSERT_TRUE(ref.Next(refPicture, diag));
      ASSERT_TRUE(other.Next(otherPicture, diag));
      const QRect legendBox = OverlayLegendBox(2, 1);
      int wrong = 0;
      for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
          if (legendBox.contains(x, y)) continue;
          const QRgb p = picture.pixel(x, y), r = refPicture.pixel(x, y), o = otherPicture.pixel(x, y);
          // The further run's lines are where its own picture draws lines (not its readout).
          const bool line = o != white && o != red;
          const QRgb expected = line ? orange : r;
          wrong += p != expected;
        }
      EXPECT_EQ(wrong, 0) << "frame " << frames.NextFrame() - 1;
    }
    // The topmost hull pixel of the mid-hull column: the raised run's lies higher by the raise.
    auto topmost = [](const QImage& img, QRgb colour) {
      for (int y = OverlayLegendBox(3, 1).bottom() + 1; y < img.height(); ++y)
        if (img.pixel(320, y) == colour) return y;
      return -1;
    };
    const int refTop = topmost(refPicture, qRgb(0, 0, 0)), otherTop = topmost(picture, orange);
    ASSERT_GT(refTop, 0);
    const double expectedRise = raised ? kRaise / length * 400.0 : 0.0;
    EXPECT_NEAR(refTop - otherTop, expectedRise, 1.0);
  }

  // The legend: a bar of each run's colour in the top-left corner.
  ComparedFrames three(runs.compared, ComparedLayout::Overlay, plan, settings, diag);
  QImage picture(three.FrameSize(), QImage::Format_RGB32);
  three.DrawAt(1.0, picture, diag, true);
  EXPECT_GE(CountColour(picture, orange, legend), 40);
  EXPECT_GE(CountColour(picture, sky, legend), 40);
  EXPECT_EQ(CountColour(picture, sky, picture.rect()) - CountColour(picture, sky, legend) > 100, true);
}

// The command line: stacked and overlaid files of several runs, and its errors (usage 2, failure 1,
// no file left).
TEST(VideoCommand, SeveralRuns) {
  TempDir dir;
  const std::string a = WriteRun(dir, {"ALPHA"}), b = WriteRun(dir, {"BETA", 0.5, 0.02, 151}),
                    early = WriteRun(dir, {"EARLY", 10.0, 0.01, 101});
  const std::string gif = dir / "both.gif";
  const auto stacked = RunCli({"video", a, b, "-o", gif, "--fps", "10"});
  ASSERT_EQ(stacked.code, 0) << stacked.err;
  EXPECT_EQ(stacked.out, "wrote " + gif + ": 30 frames of 620 x 600 at 10 per second, 0.5 s to 3.5 s of 2 runs stacked\n");
  EXPECT_EQ(test::DecodeVideo(gif).height, 600);

  const auto overlay = RunCli({"video", a, b, "-o", gif, "--fps", "10", "--overlay", "--to", "1"});
  ASSERT_EQ(overlay.code, 0) << overlay.err;
  EXPECT_EQ(overlay.out, "wrote " + gif + ": 5 frames of 620 x 300 at 10 per second, 0.5 s to 1 s of 2 runs overlaid on ALPHA\n");
  const auto video = test::DecodeVideo(gif, {0});
  EXPECT_EQ(video.height, 300);
  EXPECT_GT(CountColour(video.kept.at(0), QRgbOf(RunColour(1)), QRect(0, 0, 620, 300)), 100) << "orange kept exactly";

  const std::string out = dir / "out.mp4";
  struct Bad {
    std::vector<std::string> args;
    int code;
    std::string says;
  };
  const std::vector<std::string> nine(9, a);
  std::vector<std::string> tooMany{"video"};
  tooMany.insert(tooMany.end(), nine.begin(), nine.end());
  tooMany.insert(tooMany.end(), {"-o", out});
  const Bad cases[] = {
      {{"video", a, "-o", out, "--overlay"}, 2, "--overlay needs two or more runs"},
      {tooMany, 2, "At most 8 runs"},
      {{"video", a, dir / "NONE", "-o", out}, 1, "Cannot open the run " + (dir / "NONE")},
      {{"video", a, early, "-o", out}, 1, "no time in common: ALPHA ends at 4 s, EARLY starts at 10 s"},
  };
  for (const Bad& bad : cases) {
    const auto r = RunCli(bad.args);
    SCOPED_TRACE(r.err);
    EXPECT_EQ(r.code, bad.code);
    EXPECT_NE(r.err.find(bad.says), std::string::npos) << bad.says;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  }
}

}  // namespace
}  // namespace hulvex

#include "export/video_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "cli/run_tool.h"
#include "common/error.h"
#include "export/video_decoding.h"
#include "export/video_file_writer.h"
#include "demo/boat_writer.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"
#include "video/frame_drawing.h"
#include "video/video_player.h"

namespace hulvex {
namespace {
using cli::test::RunCli;
using test_support::TempDir;

constexpr double kDt = 0.01;

// A 16 s run of a surging boat (so that the camera shifts the picture). Channel 8 is 100: the
// local surface term is drawn by a single step (threshold 1000) but not by playback ticks (50).
std::string WriteSurgingRun(const TempDir& dir) {
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\B4.BOT";
  demo::WriteBoatFile(dir / "B4.BOT", demo::SampleBoat(4));
  demo::HistorySpec spec;
  spec.Steps = 1601;
  spec.EndTime = 16.0;
  const auto planing = demo::SteadyPlaning(kDt, 45.0, 6.0);
  spec.values = [planing](std::int32_t s, std::span<float> ch) {
    const double t = planing(s, ch);
    ch[kChSurfaceGain] = 100.0f;
    ch[kChSurfaceStart] = 2.0f;
    ch[kChSurfaceEnd] = 10.0f;
    return t;
  };
  return demo::WriteSampleRun(dir.path(), "SURGE", p, spec);
}

struct OpenedRun {
  explicit OpenedRun(const std::string& path) {
    run.DataDir = std::filesystem::path(path).parent_path().string();
    NullDiagnostics diag;
    EXPECT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
  }
  LoadedRun run;
};

struct Case {
  const char* ext;
  std::optional<double> from, to;
  int fps;
  double multiplier;
  int scale;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.ext << " from " << c.from.value_or(-1) << " to " << c.to.value_or(-1) << " fps " << c.fps << " multiplier "
      << c.multiplier << " scale " << c.scale;
}

class ExportFormats : public ::testing::TestWithParam<Case> {};

// What was written, read back: frame count, size, rate and duration; at scale 1 also frames 0
// and a middle one against the picture `hulvex render` gives for the step playback shows then.
TEST_P(ExportFormats, WritesThePlaybackFrames) {
  const Case c = GetParam();
  TempDir dir;
  const std::string runPath = WriteSurgingRun(dir);
  OpenedRun opened(runPath);
  const std::uint64_t openBytes = opened.run.History.File.BytesRead();
  const VideoSource source(opened.run);
  const std::string out = dir / (std::string("video") + c.ext);
  ExportSettings settings{c.from, c.to, c.fps, c.multiplier, c.scale};
  CollectingDiagnostics diag;
  std::int64_t lastDone = 0, total = 0;
  ExportControl control;
  control.Progress = [&](std::int64_t done, std::int64_t all) {
    EXPECT_EQ(done, lastDone + 1);
    lastDone = done;
    total = all;
  };
  ASSERT_EQ(ExportVideo(source, out, settings, control, diag), ExportOutcome::Written);
  EXPECT_TRUE(diag.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(out + ".part"));

  const auto& times = opened.run.History.StepTimes;
  const double from = c.from.value_or(times.front()), to = c.to.value_or(times.back());
  const auto frames = static_cast<std::int64_t>(std::lround((to - from) * c.multiplier * c.fps));
  const std::int64_t middle = frames / 2;
  const auto video = test::DecodeVideo(out, {0, middle});
  EXPECT_EQ(video.frames, frames);
  EXPECT_EQ(total, frames);
  EXPECT_EQ(lastDone, frames);
  EXPECT_EQ(video.width, 620 * c.scale);
  EXPECT_EQ(video.height, 300 * c.scale);
  EXPECT_NEAR(video.frameRate, c.fps, 1e-6);
  EXPECT_NEAR(video.duration, (to - from) * c.multiplier, 1.0 / c.fps);
  if (std::string(c.ext) == ".gif") {
    EXPECT_EQ(video.loop, 0);  // for ever
  }

  // The step of frame k: the last one at or before From + k / (F M).
  auto stepAt = [&](std::int64_t k) {
    const double t = from + static_cast<double>(k) / (c.fps * c.multiplier) + kTimeTolerance;
    return static_cast<std::int32_t>(std::upper_bound(times.begin(), times.end(), t) - times.begin()) - 1;
  };
  // The history is read only for the steps the frames show, each once, and the first once more for
  // the camera's offset: never a pass over the whole run (the camera track is the open's).
  std::set<std::int32_t> shown;
  for (std::int64_t k = 0; k < frames; ++k) shown.insert(stepAt(k));
  const std::uint64_t stepBytes = time_history_layout::kRecordSize * static_cast<std::uint64_t>(opened.run.History.RecordsPerStep);
  EXPECT_EQ(source.History().File.BytesRead(), (shown.size() + 1) * stepBytes);
  EXPECT_EQ(opened.run.History.File.BytesRead(), openBytes) << "the run's own file handle is not used";
  if (c.scale != 1) return;

  const std::int32_t first = stepAt(0), mid = stepAt(middle);
  // The camera: the boat's distance against the 8 s track, from the first step on.
  const auto track = BuildHistoryTrack(opened.run.History, diag);
  auto distance = [&](std::int32_t s) { return ReadStep(opened.run.History, s, false, diag).Channels[kChDistance]; };
  const double offset = static_cast<double>(track[static_cast<std::size_t>(first)]) - distance(first);
  const auto shift = static_cast<float>((distance(mid) - track[static_cast<std::size_t>(mid)] + offset) /
                                        opened.run.Hull.PB.Length);
  ASSERT_GT(std::abs(shift) * 400, 2.0f) << "the camera should shift the middle frame by some pixels";
  char shiftText[32];
  std::snprintf(shiftText, sizeof shiftText, "%.9g", static_cast<double>(shift));

  const std::string png0 = dir / "first.png", pngMid = dir / "middle.png";
  ASSERT_EQ(RunCli({"render", runPath, std::to_string(first), "-o", png0}).code, 0);
  ASSERT_EQ(RunCli({"render", runPath, std::to_string(mid), "--shift", shiftText, "--threshold", "50", "-o", pngMid}).code, 0);
  const QImage expected[2] = {QImage(QString::fromStdString(png0)).convertToFormat(QImage::Format_RGB32),
                              QImage(QString::fromStdString(pngMid)).convertToFormat(QImage::Format_RGB32)};
  const QImage written[2] = {video.kept.at(0), video.kept.at(middle)};
  for (int i = 0; i < 2; ++i) {
    if (std::string(c.ext) == ".gif") {
      EXPECT_EQ(written[i], expected[i]) << "frame " << (i ? middle : 0);
    } else {
      EXPECT_GE(test::Psnr(written[i], expected[i]), 35.0) << "frame " << (i ? middle : 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ExportFormats,
    ::testing::Values(Case{".gif", std::nullopt, std::nullopt, 25, 1.0, 1},  // the whole run
                      Case{".mp4", 4.5, 12.0, 25, 1.0, 1},
                      Case{".MP4", 2.0, 6.0, 10, 0.5, 2},                  // extension in capitals
                      Case{".webm", 6.0, 9.0, 10, 2.0, 1},
                      Case{".gif", 5.003, 9.7, 30, 0.5, 2}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::to_string(param.index) + "_" + (param.param.ext + 1); });

// Cancelling, or a history that cannot be read half way, leaves the file that was there before.
TEST(ExportVideo, CancelOrFailureLeavesNoPartialFile) {
  TempDir dir;
  const std::string runPath = WriteSurgingRun(dir);
  OpenedRun opened(runPath);
  const VideoSource source(opened.run);
  for (const bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "cancel" : "truncated history");
    const std::string out = dir / "old.mp4";
    demo::WriteTextFile(out, "an older file");
    std::atomic<bool> stop{false};
    ExportControl control;
    control.Cancel = &stop;
    control.Progress = [&](std::int64_t done, std::int64_t) {
      EXPECT_TRUE(std::filesystem::exists(out + ".part"));
      if (done != 5) return;
      if (cancel) stop = true;
      else test_support::TruncateFile(runPath + ".TTS", 64 * 600);  // steps 599 on (5.99 s) are gone
    };
    CollectingDiagnostics diag;
    if (cancel) {
      EXPECT_EQ(ExportVideo(source, out, ExportSettings{}, control, diag), ExportOutcome::Cancelled);
    } else {
      EXPECT_THROW(ExportVideo(source, out, ExportSettings{}, control, diag), Error);
    }
    std::ifstream in(out);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "an older file");
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  }
}

// Bad input from the command line: a clear message, exit 2 for usage and 1 for failure, no file.
TEST(VideoCommand, BadInputLeavesNoFile) {
  TempDir dir;
  const std::string run = WriteSurgingRun(dir);
  const std::string out = dir / "out.mp4";
  struct Bad {
    std::vector<std::string> args;
    int code;
    const char* says;
  };
  const Bad cases[] = {
      {{"-o", dir / "out.avi"}, 2, "must end in .mp4, .webm or .gif"},
      {{"-o", out, "--from", "5", "--to", "5"}, 2, "must come before the end time"},
      {{"-o", out, "--fps", "0"}, 2, "frame rate must be positive"},
      {{"-o", dir / "out.gif", "--fps", "60"}, 2, "1 to 50 frames per second"},
      {{"-o", out, "--multiplier", "0"}, 2, "multiplier must be a positive number"},
      {{"-o", out, "--multiplier", "-1"}, 2, "multiplier must be a positive number"},
      {{"-o", out, "--scale", "0"}, 2, "scale must be 1 to 8"},
      {{"-o", out, "--scale", "x"}, 2, "--scale"},
      {{"-o", out, "--from", "17"}, 1, "start time 17 s is outside the run (0 s to 16 s)"},
      {{"-o", out, "--to", "-1"}, 1, "end time -1 s is outside the run"},
      {{"-o", out, "--from", "12", "--to", "16", "--multiplier", "1e6"}, 1, "more than 1000000 frames"},
      {{"-o", dir / "missing/out.mp4"}, 1, "Cannot write"},
      {{"-o", dir.path() + "/"}, 2, "must end in"},
      {{"-o", dir / "dir.mp4"}, 1, "it is a directory"},
  };
  std::filesystem::create_directory(dir / "dir.mp4");
  for (const Bad& b : cases) {
    std::vector<std::string> args{"video", run};
    args.insert(args.end(), b.args.begin(), b.args.end());
    const auto r = RunCli(args);
    SCOPED_TRACE(args.back() + " " + r.err);
    EXPECT_EQ(r.code, b.code);
    EXPECT_NE(r.err.find(b.says), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  }
  const auto missing = RunCli({"video", dir / "NONE", "-o", out});
  EXPECT_EQ(missing.code, 1);
  EXPECT_FALSE(std::filesystem::exists(out));
}

// Pictures in other colours: a GIF takes the nearest of its four, MP4 converts them plainly.
TEST(VideoFileWriter, OtherColoursAndWrongPictures) {
  TempDir dir;
  QImage picture(64, 32, QImage::Format_RGB32);
  const QRgb given[] = {qRgb(100, 100, 100), qRgb(200, 200, 190), qRgb(40, 30, 220), qRgb(200, 10, 40)};
  const QRgb nearest[] = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 0, 255), qRgb(255, 0, 0)};
  for (int x = 0; x < 64; ++x)
    for (int y = 0; y < 32; ++y) picture.setPixel(x, y, given[x / 16]);
  for (const char* ext : {".gif", ".mp4"}) {
    const std::string out = dir / (std::string("colours") + ext);
    VideoFileWriter writer(out, 64, 32, 10);
    EXPECT_THROW(writer.AddFrame(QImage(64, 30, QImage::Format_RGB32)), Error);
    EXPECT_THROW(writer.AddFrame(picture.convertToFormat(QImage::Format_ARGB32)), Error);
    EXPECT_FALSE(std::filesystem::exists(out));  // a failed frame abandons the file
  }
  for (const char* ext : {".gif", ".mp4"}) {
    const std::string out = dir / (std::string("colours") + ext);
    VideoFileWriter writer(out, 64, 32, 10);
    writer.AddFrame(picture);
    writer.AddFrame(picture);
    writer.Finish();
    const auto video = test::DecodeVideo(out, {1});
    ASSERT_EQ(video.frames, 2);
    const QImage& back = video.kept.at(1);
    if (std::string(ext) == ".gif") {
      for (int i = 0; i < 4; ++i) EXPECT_EQ(back.pixel(16 * i + 8, 16), nearest[i]) << i;
    } else {
      for (int i = 0; i < 4; ++i) {
        const QRgb p = back.pixel(16 * i + 8, 16), q = given[i];
        EXPECT_NEAR(qRed(p), qRed(q), 8) << i;
        EXPECT_NEAR(qGreen(p), qGreen(q), 8) << i;
        EXPECT_NEAR(qBlue(p), qBlue(q), 8) << i;
      }
    }
  }
  EXPECT_THROW(VideoFileWriter(dir / "odd.mp4", 63, 32, 10), Error);
  EXPECT_THROW(VideoFileWriter(dir / "fast.gif", 64, 32, 51), Error);
  EXPECT_THROW(VideoFileWriter(dir / "none.mp4", 64, 32, 10).Finish(), Error);  // no frames
  EXPECT_FALSE(std::filesystem::exists(dir / "none.mp4"));
}

// Scale 2 draws the picture larger (not a pixel upscale), still in the four colours only.
TEST(ScaledPicture, LinesAndTextAreDrawnLarger) {
  DisplayList list;
  auto add = [&](float a, float b) { list.pairs[list.count++] = {a, b}; };
  add(kStartMarker, static_cast<float>(kColourBlue));  // the sea level, with a slanting line
  add(-0.2f, 0.0f);
  add(1.15f, 0.0f);
  add(kEndLineMarker, 0);
  add(kStartMarker, static_cast<float>(kColourBlack));
  add(0.0f, 0.1f);
  add(1.0f, 0.25f);
  add(kEndLineMarker, 0);
  add(kEndListMarker, 0);
  CollectingDiagnostics diag;
  QImage one = MakeFrameBitmap(1), two = MakeFrameBitmap(2);
  DrawFrame(one, list, MagnifiedScale(1), 12.5, 32.18, 45.0, diag);
  DrawFrame(two, list, MagnifiedScale(2), 12.5, 32.18, 45.0, diag);
  ASSERT_EQ(two.size(), QSize(1240, 600));

  auto countRed = [](const QImage& img) {
    int red = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        const QRgb p = img.pixel(x, y) & 0xFFFFFFu;
        EXPECT_TRUE(p == 0xFFFFFFu || p == 0 || p == 0xFFu || p == 0xFF0000u) << x << "," << y;
        if (p == 0xFF0000u) {
          ++red;
          EXPECT_GE(x, img.width() * 250 / 620);
          EXPECT_GE(y, img.height() * 20 / 300);
        }
      }
    return red;
  };
  const int red1 = countRed(one), red2 = countRed(two);
  EXPECT_GT(red2, 3 * red1);
  EXPECT_LT(red2, 5 * red1);
  // The sea line: row 180 at scale 1; two rows around row 360 at scale 2, from column 80 to 1160.
  int rows = 0;
  for (int y = 355; y < 366; ++y) rows += two.pixel(600, y) == qRgb(0, 0, 255);
  EXPECT_EQ(rows, 2);
  EXPECT_TRUE(two.pixel(600, 360) == qRgb(0, 0, 255));
  EXPECT_TRUE(two.pixel(76, 360) == qRgb(255, 255, 255));
  EXPECT_TRUE(two.pixel(84, 360) == qRgb(0, 0, 255));
  // Drawn afresh: some aligned 2 x 2 block has two colours, which a pixel upscale never gives.
  bool mixed = false;
  for (int y = 0; y < 600 && !mixed; y += 2)
    for (int x = 0; x < 1240 && !mixed; x += 2)
      mixed = two.pixel(x, y) != two.pixel(x + 1, y) || two.pixel(x, y) != two.pixel(x, y + 1) ||
              two.pixel(x, y) != two.pixel(x + 1, y + 1);
  EXPECT_TRUE(mixed);
}

}  // namespace
}  // namespace hulvex

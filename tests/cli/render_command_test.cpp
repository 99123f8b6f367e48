#include <QImage>

#include <gtest/gtest.h>

#include "cli/run_tool.h"
#include "cli/video_commands.h"
#include "demo/boat_writer.h"
#include "support/run_builder.h"
#include "demo/run_writers.h"
#include "video/frame_drawing.h"

namespace hulvex::cli {
namespace {
using test::RunCli;
using test_support::TempDir;

TEST(RenderCommand, WritesThePictureTheWindowShows) {
  TempDir dir;
  test_support::RunBuilder builder;
  builder.SampleBoat(2).History.values = [](std::int32_t s, std::span<float> ch) {
    ch[kChHeight] = 0.3f;
    ch[kChPitch] = 0.04f;
    ch[kChSpeed] = 45.0f;
    ch[kChSurfaceGain] = 5000.0f;
    return s * 0.01;
  };
  const std::string run = builder.Write(dir);
  const std::string png = dir / "step7.png";
  const auto r = RunCli({"render", run, "7", "-o", png});
  ASSERT_EQ(r.code, 0) << r.err;
  const QImage written(QString::fromStdString(png));
  ASSERT_EQ(written.size(), QSize(620, 300));

  // The same picture drawn from the frame the tool lists.
  ComposedRunStep c;
  FrameOptions o;
  o.run = run;
  o.step = 7;
  CollectingDiagnostics diag;
  ComposeRunStep(c, o, diag);
  QImage expected = MakeFrameBitmap();
  DrawFrame(expected, c.frame.List, PictureScale{}, c.step.StepTime, c.step.Channels[2], c.step.Channels[7], diag);
  EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32), expected);

  EXPECT_EQ(RunCli({"render", run, "7"}).code, 2);  // no output file: bad usage
}

}  // namespace
}  // namespace hulvex::cli

// render: one step's picture exactly as the video window shows it, written as PNG. Runs without
// a display (offscreen platform).
#include <QGuiApplication>
#include <QImage>

#include <memory>
#include <ostream>

#include "cli/video_commands.h"
#include "common/error.h"
#include "video/frame_drawing.h"

namespace hulvex::cli {

namespace {

int Render(const FrameOptions& o, const std::string& file, std::ostream& out, Diagnostics& diag) {
  ComposedRunStep c;
  ComposeRunStep(c, o, diag);
  const auto app = EnsureGuiApplication();
  QImage picture = MakeFrameBitmap();
  DrawFrame(picture, c.frame.List, PictureScale{}, c.step.StepTime, c.step.Channels[kChAcceleration],
            c.step.Channels[kChSpeed], diag);
  if (!picture.save(QString::fromStdString(file), "PNG")) throw Error("Cannot write " + file);
  out << "wrote " << file << "\n";
  return 0;
}

}  // namespace

void RegisterRenderCommand(Tool& tool) {
  auto options = std::make_shared<FrameOptions>();
  auto file = std::make_shared<std::string>();
  CLI::App* cmd = AddCommand(tool, "render", "One step's picture, as the video window shows it, as PNG", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return Render(*options, *file, out, d); });
  });
  AddFrameOptions(cmd, *options);
  cmd->add_option("-o,--output", *file, "The PNG file to write")->required();
}

}  // namespace hulvex::cli

// render: one step's picture exactly as the video window shows it, written as PNG. Runs without
// a display (offscreen platform).
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <memory>
#include <ostream>

#include "cli/video_commands.h"
#include "common/error.h"
#include "common/vector_state.h"
#include "video/frame_drawing.h"

namespace hulvex::cli {

std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The toolkit's own notes (a missing runtime directory, say) are not the tool's messages.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) fprintf(stderr, "%s\n", qPrintable(text));
  });
  static int argc = 1;
  static char name[] = "hulvex";
  static char* argv[] = {name, nullptr};
  auto app = std::make_unique<QGuiApplication>(argc, argv);
  ClearUpperVectorState();  // its creation leaves the vector registers in use (common/vector_state.h)
  return app;
}

namespace {

int Render(const FrameOptions& o, const std::string& file, std::ostream& out, Diagnostics& diag) {
  ComposedStep c;
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

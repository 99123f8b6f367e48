// Playback pacing with the real timer: plays a generated run for 10 s of wall time headless and
// reports how far each frame's display time is from the time the schedule asked for, and the
// total drift against the simulated time times the multiplier: once with the video window alone,
// once in the viewer with its Channels window open (four plots whose cursor follows every frame),
// and once with four long runs open (argument 1: their steps, 10^6 when not given), three of
// them compared with the first and drawn in the Compared Runs window at every frame.
#include <QApplication>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/viewer_application.h"
#include "run/loaded_run.h"
#include "demo/boat_writer.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"
#include "video/frame_composition.h"
#include "video/video_window.h"

namespace {
using namespace hulvex;

// Plays `video` from step 0 for 10 s of wall time at multiplier 1 and prints the figures.
void Pace(TVidFrm& video, const char* setting) {
  const float mult = 1.0f;
  video.VideoMult = [mult] { return mult; };
  NullDiagnostics diag;
  std::vector<double> lateness;  // actual minus requested display time of each frame, ms
  std::int64_t due = 0;
  std::int64_t startWall = 0;
  double startTime = 0;       // simulated time of the first frame
  double composedTime = 0;    // simulated time of the frame composed at the last tick
  double lastTickWall = 0, lastTickShown = 0;
  const auto watch = QObject::connect(video.Timer1, &QTimer::timeout, &video, [&] {
    // Runs after the window's own tick: `due` was the deadline of this tick, and the frame that
    // went on the screen was the one composed at the tick before.
    const std::int64_t now = video.Clock();
    lateness.push_back(static_cast<double>(now - due));
    due = video.Pacer().deadline();
    lastTickWall = static_cast<double>(now - startWall);
    lastTickShown = composedTime;
    composedTime = video.Player().LastFrameTime();
  });

  video.StartPlayback(0, diag);
  startWall = video.Clock();
  startTime = video.Player().LastFrameTime();
  composedTime = startTime;
  due = video.Pacer().deadline();
  QEventLoop loop;
  QTimer::singleShot(10'000, &loop, [&] {
    // Wall time from Go to the last frame's display against the simulated time it stands for.
    const double wall = lastTickWall - static_cast<double>(kFirstTickMs);
    const double simulated = 1000.0 * mult * (lastTickShown - startTime);
    video.StopPlayback();
    double sum = 0, worst = 0;
    for (double l : lateness) {
      sum += std::abs(l);
      worst = std::max(worst, std::abs(l));
    }
    std::printf("pacing, %s: %zu frames (random sea, 40 components, multiplier %.1f)\n", setting, lateness.size(), mult);
    std::printf("pacing, %s: interval error mean %.3f ms, worst %.3f ms\n", setting,
                lateness.empty() ? 0.0 : sum / static_cast<double>(lateness.size()), worst);
    std::printf("pacing, %s: last frame shown %.0f ms after the first tick for %.0f ms of simulated time: drift %.1f ms (%.3f %%)\n",
                setting, wall, simulated, wall - simulated, simulated > 0 ? 100.0 * (wall - simulated) / simulated : 0.0);
    loop.quit();
  });
  loop.exec();
  QObject::disconnect(watch);
}

}  // namespace

// A run of `steps` steps `dt` apart in the random sea of `p`, written as `name` into `dir`.
std::string WritePlaningRun(const std::string& dir, const std::string& name, const RunParameters& p, std::int32_t steps,
                            double dt) {
  demo::HistorySpec spec;
  spec.Steps = steps;
  spec.EndTime = (spec.Steps - 1) * dt;
  spec.values = demo::SteadyPlaning(dt, 45.0, 1.5);
  return demo::WriteSampleRun(dir, name, p, spec);
}

int main(int argc, char** argv) {
  using namespace hulvex;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  hulvex::ViewerApplication app(argc, argv);

  test_support::TempDir dir;
  RunParameters p = demo::SampleRunParameters();
  p.Waves = 0;  // random sea, the costliest frame
  p.RWvN = 40;
  p.BoatFile = "C:\\BOATS\\B.BOT";
  demo::WriteBoatFile(dir / "B.BOT", demo::SampleBoat(4));
  const std::string path = WritePlaningRun(dir.path(), "PACE", p, 12'000, 0.005);  // 60 s
  const std::int32_t longSteps = argc > 1 ? std::atoi(argv[1]) : 1'000'000;

  {
    LoadedRun run;
    run.DataDir = dir.path();
    NullDiagnostics diag;
    if (OpenRun(run, path, diag) != RunOpenResult::Loaded || !run.Hull.Drawable) {
      std::fprintf(stderr, "the generated run did not open\n");
      return 1;
    }
    TVidFrm video;
    video.PrepareVideo(run.History, run.SmoothTrack, FrameGeometryOf(run.Hull), run.Sea);
    Pace(video, "video window alone");
  }
  {
    TForm1 form(dir.path());
    form.CreateSecondaryWindows();
    form.Messages.present = [](const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); };
    form.show();
    form.OpenRunFile(QString::fromStdString(path + ".HVX"));
    if (!form.ChannelsFrm->isVisible() || form.ChannelsFrm->Plots().size() != 4) {
      std::fprintf(stderr, "the Channels window did not open with four plots\n");
      return 1;
    }
    form.ChannelsFrm->resize(1000, 720);
    Pace(*form.VidFrm, "viewer with the Channels window open");
  }
  {
    // Four long runs of different time steps: the reference and three compared with it.
    std::vector<std::string> runs;
    for (const double dt : {0.005, 0.004, 0.006, 0.0045})
      runs.push_back(WritePlaningRun(dir.path(), "LONG" + std::to_string(runs.size() + 1), p, longSteps, dt));
    TForm1 form(dir.path());
    form.CreateSecondaryWindows();
    form.Messages.present = [](const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); };
    form.show();
    form.OpenRunFile(QString::fromStdString(runs.front() + ".HVX"));
    QEventLoop opened;
    QObject::connect(&form.Session(), &ViewerSession::ComparedRunsChanged, &opened, &QEventLoop::quit);
    QStringList compared;
    for (std::size_t k = 1; k < runs.size(); ++k) compared.push_back(QString::fromStdString(runs[k] + ".HVX"));
    form.AddComparedRunFiles(compared);
    opened.exec();
    if (form.Session().ComparedCount() != 3 || !form.ComparedFrm->isVisible()) {
      std::fprintf(stderr, "the compared runs did not open in the Compared Runs window\n");
      return 1;
    }
    // Play once the four runs' statistics are in the tables and the windows have drawn them, as a
    // user would press Go after the runs appear.
    QElapsedTimer settling;
    settling.start();
    QEventLoop computed;
    QObject::connect(&form.Session(), &ViewerSession::StatisticsReady, &computed, &QEventLoop::quit);
    QTimer::singleShot(60'000, &computed, &QEventLoop::quit);
    computed.exec();
    QEventLoop drawn;
    QTimer::singleShot(500, &drawn, &QEventLoop::quit);
    drawn.exec();
    std::printf("pacing: four runs' statistics shown %lld ms after the compared runs opened\n",
                static_cast<long long>(settling.elapsed()) - 500);
    const std::string setting = "viewer with four runs of " + std::to_string(longSteps) + " steps, three in the Compared Runs window";
    Pace(*form.VidFrm, setting.c_str());
  }
  return 0;
}

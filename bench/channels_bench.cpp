// The Channels window on a 1 000 000-step run (LastChannel 11) with its four plots, offscreen at
// 1000 x 720 pixels: a cursor move by one step from the key press to the repaint done (the whole
// path of a bar move: readouts, video frame, cursors), and the rebuild of the four envelopes after
// a zoom, drawn and repainted, and the statistics table of the whole run. Targets: under 4 ms,
// under 15 ms and under 100 ms.
#include <QApplication>

#include <benchmark/benchmark.h>

#include <cmath>

#include "app/main_window.h"
#include "app/viewer_application.h"
#include "channels_steps.h"
#include "demo/boat_writer.h"
#include "demo/run_writers.h"
#include "support/file_edit.h"
#include "support/run_builder.h"

namespace hulvex {
extern std::unique_ptr<TForm1> comparedViewer;  // compared_runs_bench.cpp
namespace {

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// The main window with a long run open and its Channels window shown, once per process; freed
// before the application object.
std::unique_ptr<TForm1> viewer;

TForm1& ViewerWithLongRun() {
  static test_support::TempDir dir;
  if (viewer) return *viewer;
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\B.BOT";
  demo::WriteBoatFile(dir / "B.BOT", demo::SampleBoat(4));
  demo::HistorySpec spec;
  spec.Steps = 1'000'000;
  spec.EndTime = (spec.Steps - 1) * 0.005;
  spec.values = [](std::int32_t s, std::span<float> ch) {
    const double t = s * 0.005;
    ch[kChHeight] = static_cast<float>(0.4 + 0.3 * std::sin(1.9 * t) + 0.05 * std::sin(23.0 * t));
    ch[kChAcceleration] = static_cast<float>(-32.18 * (0.35 * std::sin(1.9 * t) + 0.6 * std::sin(23.0 * t)));
    ch[kChPitch] = static_cast<float>(0.06 + 0.02 * std::cos(1.9 * t));
    ch[kChDistance] = static_cast<float>(45.0 * t);
    ch[kChSpeed] = static_cast<float>(45.0 + 1.5 * std::cos(0.5 * t));
    ch[kChSurfaceGain] = 2000.0f;
    return t;
  };
  const std::string run = demo::WriteSampleRun(dir.path(), "LONG", p, spec);
  viewer = std::make_unique<TForm1>(dir.path());
  viewer->CreateSecondaryWindows();
  viewer->Messages.present = [](const QString&) {};
  viewer->show();
  viewer->OpenRunFile(QString::fromStdString(run + ".HVX"));
  viewer->ChannelsFrm->resize(1000, 720);
  QCoreApplication::processEvents();
  return *viewer;
}

void BM_CursorStepKeyToRepaint(benchmark::State& state) {
  TForm1& form = ViewerWithLongRun();
  ChannelPlot* plot = form.ChannelsFrm->Plots().front();
  PaintCounter counter;
  for (ChannelPlot* p : form.ChannelsFrm->Plots()) p->installEventFilter(&counter);
  bench::PlaceCursorMidRun(form);
  counter.paints = 0;
  bench::StepCursorByKeys(state, plot);
  for (ChannelPlot* p : form.ChannelsFrm->Plots()) p->removeEventFilter(&counter);
  state.counters["plot_paints_per_move"] = static_cast<double>(counter.paints) / static_cast<double>(state.iterations());
  state.counters["plots"] = static_cast<double>(form.ChannelsFrm->Plots().size());
}
BENCHMARK(BM_CursorStepKeyToRepaint)->Unit(benchmark::kMillisecond);

void BM_ZoomEnvelopeRebuild(benchmark::State& state) {
  TForm1& form = ViewerWithLongRun();
  TChannelsFrm& channels = *form.ChannelsFrm;
  const double end = form.Session().Reference().History.StepTimes.back();
  std::size_t points = 0;
  // The plots alone: the statistics a zoom also recomputes are BM_StatisticsOfWholeRun's.
  bench::ZoomInTurns(state, channels, end, [&] { points = channels.Plots().front()->CurrentEnvelope().Points.size(); });
  state.counters["points_per_plot"] = static_cast<double>(points);
  state.counters["plot_width"] = channels.Plots().front()->width();
}
BENCHMARK(BM_ZoomEnvelopeRebuild)->Unit(benchmark::kMillisecond);

// The statistics of the four plotted channels, the impacts and ISO 2631-1 over every step, with
// the tables and the peak marks redrawn: what a zoom out to the whole run adds to the rebuild.
void BM_StatisticsOfWholeRun(benchmark::State& state) {
  TForm1& form = ViewerWithLongRun();
  TChannelsFrm& channels = *form.ChannelsFrm;
  channels.ResetTimeRange();
  QCoreApplication::processEvents();
  ViewerSession& session = form.Session();
  const double end = session.Reference().History.StepTimes.back();
  bool nudge = false;
  for (auto _ : state) {
    // A range a hair different each time, so the session computes it anew; then the tables.
    session.SetVisibleRange(0.0, nudge ? end : end * (1 - 1e-12));
    nudge = !nudge;
    while (session.StatisticsPending()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  state.counters["peaks"] = channels.Impacts().has_value() ? static_cast<double>(channels.Impacts()->PeakCount) : 0.0;
}
BENCHMARK(BM_StatisticsOfWholeRun)->Unit(benchmark::kMillisecond);

// The open of a 100 000-step run whose every step is misnumbered (a step-number message per step,
// summarised into one box) against the same run numbered right: the flood must cost a counter per
// message, not a box or a list. Compare the two cases' times.
void BM_OpenWithAMessagePerStep(benchmark::State& state) {
  static test_support::TempDir dir;
  const bool misnumbered = state.range(0) != 0;
  const std::string name = misnumbered ? "MISNUM" : "GOOD";
  auto run = test_support::RunBuilder::Named(name, "Case\r\n");
  run.SampleBoat(4, "B4.BOT").Steps(100'000, 0.01).History.values = demo::SteadyPlaning(0.01, 50.0);
  if (misnumbered)
    for (std::int32_t s = 0; s < 100'000; ++s) run.History.StepIndexOverride[s] = s + 1;
  const std::string path = run.Write(dir);
  TForm1 form(dir.path());
  form.CreateSecondaryWindows();
  std::size_t boxes = 0;
  form.Messages.present = [&](const QString&) { ++boxes; };
  for (auto _ : state) form.OpenRunFile(QString::fromStdString(path + ".HVX"));
  state.counters["boxes_per_open"] = static_cast<double>(boxes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_OpenWithAMessagePerStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hulvex

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  hulvex::ViewerApplication app(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  hulvex::viewer.reset();
  hulvex::comparedViewer.reset();
  return 0;
}

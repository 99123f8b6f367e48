// The viewer with runs compared, offscreen, on 1 000 000-step runs: opening three compared runs
// beside a reference against opening one (target: at most 2.5 times), the memory each holds
// (28 B/step with four plotted channels), a cursor step by one key with four runs in the four
// plots from the key press to the repaint done (under 8 ms), and the envelopes of the four runs
// rebuilt and drawn after a zoom (under 40 ms).
#include <QApplication>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "channels_steps.h"
#include "demo/boat_writer.h"
#include "demo/run_writers.h"
#include "support/file_edit.h"

namespace hulvex {

std::unique_ptr<TForm1> comparedViewer;  // freed by main before the application object

namespace {

constexpr std::int32_t kSteps = 1'000'000;

// Four runs of 10^6 steps of different time steps and swells: the reference and three more.
const std::vector<std::string>& FourRuns() {
  static test_support::TempDir dir;
  static std::vector<std::string> runs;
  if (!runs.empty()) return runs;
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\B.BOT";
  demo::WriteBoatFile(dir / "B.BOT", demo::SampleBoat(4));
  for (int r = 0; r < 4; ++r) {
    const double dt = 0.005 + 0.0005 * r, omega = 1.9 + 0.1 * r;
    demo::HistorySpec spec;
    spec.Steps = kSteps;
    spec.EndTime = (kSteps - 1) * dt;
    spec.values = [dt, omega](std::int32_t s, std::span<float> ch) {
      const double t = s * dt;
      ch[kChHeight] = static_cast<float>(0.4 + 0.3 * std::sin(omega * t) + 0.05 * std::sin(23.0 * t));
      ch[kChAcceleration] = static_cast<float>(-32.18 * (0.35 * std::sin(omega * t) + 0.6 * std::sin(23.0 * t)));
      ch[kChPitch] = static_cast<float>(0.06 + 0.02 * std::cos(omega * t));
      ch[kChDistance] = static_cast<float>(45.0 * t);
      ch[kChSpeed] = static_cast<float>(45.0 + 1.5 * std::cos(0.5 * t));
      ch[kChSurfaceGain] = 2000.0f;
      return t;
    };
    runs.push_back(demo::WriteSampleRun(dir.path(), "RUN" + std::to_string(r + 1), p, spec) + ".HVX");
  }
  return runs;
}

TForm1& ReferenceOpen() {
  if (comparedViewer) return *comparedViewer;
  const std::vector<std::string>& runs = FourRuns();
  comparedViewer = std::make_unique<TForm1>(QString::fromStdString(runs.front()).section('/', 0, -2).toStdString());
  comparedViewer->CreateSecondaryWindows();
  comparedViewer->Messages.present = [](const QString&) {};
  comparedViewer->show();
  comparedViewer->OpenRunFile(QString::fromStdString(runs.front()));
  comparedViewer->ChannelsFrm->resize(1000, 720);
  QCoreApplication::processEvents();
  return *comparedViewer;
}

// Adds the runs `first` ... `last` - 1 of FourRuns and waits until they are in the session.
void AddCompared(TForm1& form, std::size_t first, std::size_t last) {
  QStringList paths;
  for (std::size_t k = first; k < last; ++k) paths.push_back(QString::fromStdString(FourRuns()[k]));
  form.AddComparedRunFiles(paths);
  while (form.Session().ComparedRunsPending()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Bytes the session holds for run k: its step times and its held channels.
double HeldBytes(const LoadedRun& run) {
  double bytes = static_cast<double>(run.History.StepTimes.capacity() * sizeof(double));
  for (const ChannelSeries& s : run.Series) bytes += static_cast<double>(s.Values.capacity() * sizeof(float));
  return bytes;
}

// Opening compared runs beside the reference, timed from the request to their arrival in the
// session (read in parallel off the GUI thread), then removed again; argument: how many.
void BM_OpenComparedRuns(benchmark::State& state) {
  TForm1& form = ReferenceOpen();
  const auto count = static_cast<std::size_t>(state.range(0));
  double perStep = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    AddCompared(form, 1, 1 + count);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    state.PauseTiming();
    perStep = HeldBytes(form.Session().Run(1)) / kSteps;
    form.Session().RemoveComparedRuns();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["held_bytes_per_step"] = perStep;
  state.counters["runs"] = static_cast<double>(count);
}
BENCHMARK(BM_OpenComparedRuns)->Arg(1)->Arg(3)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

TForm1& FourRunsOpen() {
  TForm1& form = ReferenceOpen();
  if (form.Session().ComparedCount() != 3) {
    form.Session().RemoveComparedRuns();
    AddCompared(form, 1, 4);
    while (form.Session().StatisticsPending()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
  }
  return form;
}

void BM_CursorStepFourRuns(benchmark::State& state) {
  TForm1& form = FourRunsOpen();
  ChannelPlot* plot = form.ChannelsFrm->Plots().front();
  bench::PlaceCursorMidRun(form);
  bench::StepCursorByKeys(state, plot);
  state.counters["runs"] = static_cast<double>(form.Session().RunCount());
  state.counters["plots"] = static_cast<double>(form.ChannelsFrm->Plots().size());
}
BENCHMARK(BM_CursorStepFourRuns)->Unit(benchmark::kMillisecond);

void BM_ZoomEnvelopesFourRuns(benchmark::State& state) {
  TForm1& form = FourRunsOpen();
  TChannelsFrm& channels = *form.ChannelsFrm;
  const double end = form.Session().Reference().History.StepTimes.back();
  // The plots alone, as BM_ZoomEnvelopeRebuild: every run's envelope in every plot.
  bench::ZoomInTurns(state, channels, end, [] {});
  state.counters["runs"] = static_cast<double>(form.Session().RunCount());
}
BENCHMARK(BM_ZoomEnvelopesFourRuns)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hulvex

// The Spectra and Impact Distribution windows on a 100 000-step run in the sample random sea,
// offscreen at 1000 x 740 pixels: a zoom of the Channels window, from the new visible range to the
// spectra (the four plotted channels, the wave and the transfer functions) and the impact extremes
// computed off the GUI thread and both windows redrawn. Target: under 100 ms.
#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cmath>

#include "app/main_window.h"
#include "support/run_builder.h"

namespace hulvex {
namespace {

void BM_SpectraAfterZoom(benchmark::State& state) {
  test_support::TempDir dir;
  const std::string run = test_support::WriteSlammingRun(dir.path(), "SPECTRA", 100'000);
  TForm1 form(dir.path());
  form.CreateSecondaryWindows();
  form.Messages.present = [](const QString&) {};
  form.show();
  form.OpenRunFile(QString::fromStdString(run + ".HVX"));
  form.SpectraFrm->resize(1000, 740);
  form.Spectra1Click();
  form.Impacts1Click();
  SpectraModel& model = *form.Spectra;
  const auto settle = [&] {
    while (model.Pending()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // The replots the new figures queued, then the repaints they ask for.
    for (int pass = 0; pass < 3; ++pass) QCoreApplication::processEvents();
  };
  settle();  // channel 6 is read once, on the first computation
  const double end = form.Session().Reference().History.StepTimes.back();
  bool whole = false;
  for (auto _ : state) {
    // Alternately the whole run and its middle half, as a zoom of the Channels window sets them.
    whole ? form.ChannelsFrm->SetTimeRange(0.0, end) : form.ChannelsFrm->SetTimeRange(end / 4, 3 * end / 4);
    settle();
    whole = !whole;
  }
  const WindowSpectra& s = model.Result(0)->Spectra;
  state.counters["segments"] = s.Layout.has_value() ? static_cast<double>(s.Layout->Segments) : 0.0;
  state.counters["plots"] = static_cast<double>(form.SpectraFrm->Plots().size());
  state.counters["peaks"] = static_cast<double>(model.Result(0)->Impacts.Impacts->PeakCount);
}
BENCHMARK(BM_SpectraAfterZoom)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace hulvex

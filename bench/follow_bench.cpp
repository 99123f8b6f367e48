// Following a long run: the update after 1000 more steps were written (read, index, held
// series, camera track, and the envelopes of a minute-long plot range at the end).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <vector>

#include "common/file_reading.h"
#include "run/channel_series.h"
#include "run/envelope.h"
#include "run/followed_run.h"
#include "support/run_builder.h"

namespace hulvex {
namespace {
namespace HL = time_history_layout;

constexpr std::int32_t kGrowth = 1000;
constexpr std::int32_t kLooks = 30;  // iterations: each appends kGrowth steps
constexpr double kDt = 0.01;

void BM_FollowAppend1000Steps(benchmark::State& state) {
  const auto steps = static_cast<std::int32_t>(state.range(0));
  test_support::TempDir dir;
  auto builder = test_support::RunBuilder::Named("LONG");
  builder.SampleBoat(4, "B4.BOT").Steps(steps + kGrowth * kLooks, kDt);
  builder.History.values = demo::SteadyPlaning(kDt, 45.0, 4.0);
  const std::string run = builder.Write(dir);
  const std::string tts = run + ".TTS";
  const auto whole = ReadWholeFile(tts);
  const std::vector<std::uint8_t> bytes(whole->begin(), whole->end());
  const auto sizeOf = [](std::int64_t n) { return HL::kRecordSize * static_cast<std::size_t>(1 + n); };
  test_support::TruncateFile(tts, sizeOf(steps));

  LoadedRun loaded;
  loaded.Follow = true;
  loaded.HeldChannels.assign(kDefaultPlotChannels.begin(), kDefaultPlotChannels.end());
  NullDiagnostics diag;
  if (OpenRun(loaded, run, diag) != RunOpenResult::Loaded) state.SkipWithError("open failed");
  std::vector<Envelope> envelopes(loaded.Series.size());
  std::int64_t have = steps;
  for (auto _ : state) {
    state.PauseTiming();
    test_support::GrowFileTo(tts, bytes, sizeOf(have + kGrowth));
    have += kGrowth;
    state.ResumeTiming();
    if (ExtendRun(loaded, diag).Growth != HistoryGrowth::Grew) state.SkipWithError("no growth");
    const std::vector<double>& t = loaded.History.StepTimes;
    for (std::size_t k = 0; k < loaded.Series.size(); ++k)
      BuildEnvelope(t, loaded.Series[k].Values, 1.0, t.back() - 60.0, t.back(), 1000, envelopes[k]);
    benchmark::DoNotOptimize(envelopes.data());
  }
  state.counters["steps"] = static_cast<double>(steps);
  state.counters["track_feed_steps"] = static_cast<double>(loaded.TrackFeed.Distance.size());
  state.counters["track_finished"] = loaded.TrackFeed.Progress.Finished ? 1 : 0;
  state.counters["track_last"] = static_cast<double>(loaded.TrackFeed.Progress.Last);
}
BENCHMARK(BM_FollowAppend1000Steps)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Iterations(kLooks)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hulvex

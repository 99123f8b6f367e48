#include "run/window_spectra.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <span>
#include <thread>

#include "common/number_format.h"
#include "runfiles/channel_vocabulary.h"
#include "runfiles/time_history.h"
#include "sea/sea_model.h"

namespace hulvex {
namespace {
namespace an = analysis;

// Keeps the first few messages it is given, in order.
class FirstMessages : public Diagnostics {
public:
  static constexpr std::size_t kKept = 10;
  void Report(const Diagnostic& d) override {
    if (kept.size() < kKept) kept.push_back(d);
  }
  std::vector<Diagnostic> kept;
};

// The sea elevation the boat meets at each step of the window, ft; `messages` gets the sea's.
// Steps are split over threads: each evaluation is independent.
std::vector<double> WaveAtSteps(const SeaConstants& sea, double lcg, std::span<const double> times,
                                std::span<const float> distance, std::vector<Diagnostic>& messages) {
  const std::size_t n = times.size();
  std::vector<double> eta(n);
  constexpr std::size_t kStepsPerThread = 50'000;
  const std::size_t threads =
      std::clamp<std::size_t>(n / kStepsPerThread, 1, std::max(1u, std::thread::hardware_concurrency()));
  std::vector<FirstMessages> sinks(threads);
  auto part = [&](std::size_t t) {
    const std::size_t begin = n * t / threads, end = n * (t + 1) / threads;
    SeaElevations(sea, distance.subspan(begin, end - begin), lcg, times.subspan(begin, end - begin),
                  std::span<double>(eta).subspan(begin, end - begin), sinks[t]);
  };
  std::vector<std::future<void>> others;
  for (std::size_t t = 1; t < threads; ++t) others.push_back(std::async(std::launch::async, part, t));
  part(0);
  for (auto& f : others) f.get();
  for (const FirstMessages& s : sinks) {
    for (const Diagnostic& d : s.kept) {
      if (messages.size() < FirstMessages::kKept) messages.push_back(d);
    }
  }
  return eta;
}

// The reason the wave cannot be computed, or empty.
std::string NoWaveReason(const SpectraInput& input) {
  if (!input.Sea) return input.NoWaveReason.empty() ? "no sea" : input.NoWaveReason;
  if (input.Sea->Waves == 1) return "the sea is flat";
  if (input.Sea->FlatDrawn) return "the sea is drawn flat (its settings were refused, or its height is 0)";
  if (FindHeldValues(input.Steps, kChDistance) == nullptr) return AbsentChannelReason(input.Steps, kChDistance);
  return {};
}

}  // namespace

WindowSpectra ComputeWindowSpectra(const SpectraInput& input, const SpectraRequest& request) {
  const std::span<const double> allTimes = input.Steps.StepTimes;
  const an::StepRange indices = an::FindWindow(allTimes, request.From, request.To);
  WindowSpectra w;
  w.From = std::isinf(request.From) && !allTimes.empty() ? allTimes.front() : request.From;
  w.To = std::isinf(request.To) && !allTimes.empty() ? allTimes.back() : request.To;
  w.Window = {indices.Begin + input.Steps.FirstStep, indices.End + input.Steps.FirstStep};
  const std::span<const double> times = allTimes.subspan(std::min(indices.Begin, allTimes.size()), indices.Count());

  // With no spectrum at all, every entry gives the same reason.
  auto none = [&](const std::string& reason) {
    w.Layout = an::Maybe<SpectrumLayout>::Missing(reason);
    for (int c : request.Channels) {
      w.Channels.emplace_back(c, an::Maybe<SeriesSpectrum>::Missing(reason));
      w.Transfers.emplace_back(c, an::Maybe<an::TransferFunction>::Missing(reason));
    }
    w.Wave = an::Maybe<SeriesSpectrum>::Missing(reason);
    return w;
  };
  const an::Maybe<std::size_t> segment = an::SegmentLength(times.size(), request.SegmentSamples);
  if (!segment.has_value()) return none(segment.Reason);
  const an::SampleGrid grid = an::GridOf(times);
  if (!(grid.Interval > 0)) return none("the window's steps span no time");

  // Every series on the grid: the channels that have values, then the wave.
  std::vector<std::vector<double>> sampled;
  std::vector<std::string> problems;  // per requested channel: why it has no spectrum, or empty
  std::vector<double> buffer;
  for (int c : request.Channels) {
    const std::span<const float>* values = FindHeldValues(input.Steps, c);
    if (values == nullptr) {
      problems.push_back(AbsentChannelReason(input.Steps, c));
      continue;
    }
    const an::Series s = an::ScaledWindow(allTimes, *values, indices, DisplayFactorOf(c), buffer);
    problems.push_back(an::SeriesProblem(s));
    if (!problems.back().empty()) continue;
    sampled.emplace_back(grid.Count);
    an::SampleOnGrid(times, s.Value, grid, sampled.back());
  }
  std::string waveProblem = NoWaveReason(input);
  if (waveProblem.empty()) {
    const std::span<const float> distance =
        FindHeldValues(input.Steps, kChDistance)->subspan(indices.Begin, indices.Count());
    std::vector<double> eta = WaveAtSteps(*input.Sea, input.Lcg, times, distance, w.Messages);
    const auto bad = std::find_if(eta.begin(), eta.end(), [](double v) { return !std::isfinite(v); });
    if (bad != eta.end()) {
      const auto i = static_cast<std::size_t>(bad - eta.begin());
      waveProblem = "the sea elevation at step " + std::to_string(w.Window.Begin + i) + " (" +
                    FormatSeconds(times[i]) + ") is not finite";
    } else {
      sampled.emplace_back(grid.Count);
      an::SampleOnGrid(times, eta, grid, sampled.back());
    }
  }
  const bool hasWave = waveProblem.empty();

  std::vector<std::span<const double>> views(sampled.begin(), sampled.end());
  const std::optional<std::size_t> reference = hasWave ? std::optional(views.size() - 1) : std::nullopt;
  const double rate = 1 / grid.Interval;
  const an::WelchSpectra welch = views.empty() ? an::WelchLayout(grid.Count, rate, *segment)
                                               : an::ComputeWelch(views, rate, *segment, reference);
  const double binWidth = welch.SampleRate / static_cast<double>(welch.SegmentSamples);
  auto spectrumOf = [&](std::size_t k) {
    return an::Maybe<SeriesSpectrum>::Of({welch.Power[k], an::FiguresOf(welch.Frequencies, welch.Power[k], binWidth)});
  };
  w.Layout = an::Maybe<SpectrumLayout>::Of({grid.Interval, grid.Resampled, welch.SegmentSamples, welch.Segments, welch.Frequencies});
  std::size_t next = 0;
  for (std::size_t r = 0; r < request.Channels.size(); ++r) {
    const int c = request.Channels[r];
    if (!problems[r].empty()) {
      w.Channels.emplace_back(c, an::Maybe<SeriesSpectrum>::Missing(problems[r]));
      w.Transfers.emplace_back(c, an::Maybe<an::TransferFunction>::Missing(problems[r]));
      continue;
    }
    w.Channels.emplace_back(c, spectrumOf(next));
    w.Transfers.emplace_back(
        c, hasWave ? an::Maybe<an::TransferFunction>::Of(an::TransferOf(welch.Power[*reference], welch.Power[next],
                                                                        welch.Cross[next]))
                   : an::Maybe<an::TransferFunction>::Missing("no wave: " + waveProblem));
    ++next;
  }
  w.Wave = hasWave ? spectrumOf(*reference) : an::Maybe<SeriesSpectrum>::Missing(waveProblem);
  return w;
}

}  // namespace hulvex

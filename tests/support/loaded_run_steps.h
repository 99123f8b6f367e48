#pragma once
// The steps of a loaded run as the window statistics and spectra take them, built straight from the
// run's own arrays: its held series and channel 6 read from its file. The expected figures of the
// tests of the windows and of their model are computed from these.

#include <span>
#include <vector>

#include "run/channel_series.h"
#include "run/loaded_run.h"
#include "run/window_spectra.h"
#include "run/window_statistics.h"

namespace hulvex::test_support {

class LoadedRunSteps {
public:
  // Reads channel 6 of `run`'s history (messages to `diag`). `run` must outlive this; the spans of
  // Steps point into `run` and into this object, which therefore neither copies nor moves.
  LoadedRunSteps(const LoadedRun& run, Diagnostics& diag) : run_(run) {
    const int six[] = {kChDistance};
    distance_ = ReadChannelSeries(run.History, six, diag).front();
    Steps = HeldSteps(run);
    for (const ChannelSeries& s : run.Series) HeldChannels.push_back(s.Channel);
    Steps.Series.emplace_back(kChDistance, std::span<const float>(distance_));
  }
  LoadedRunSteps(const LoadedRunSteps&) = delete;
  LoadedRunSteps& operator=(const LoadedRunSteps&) = delete;

  // ComputeWindowSpectra over [t0, t1] of every held channel, in segments of `segment` samples (0:
  // the default).
  WindowSpectra Spectra(double t0, double t1, std::size_t segment = 0) const {
    SpectraRequest request;
    request.From = t0;
    request.To = t1;
    request.SegmentSamples = segment;
    request.Channels = HeldChannels;
    return ComputeWindowSpectra({Steps, run_.Sea, run_.Hull.PB.LCG, {}}, request);
  }

  StatisticsInput Steps;
  std::vector<int> HeldChannels;  // the channels of run.Series, in order

private:
  const LoadedRun& run_;
  std::vector<float> distance_;
};

}  // namespace hulvex::test_support

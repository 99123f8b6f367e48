// The channels the viewer plots: which are plotted by default, and keeping or releasing a
// channel's values in memory after the open. How each is named and shown is the channel
// vocabulary's (runfiles/channel_vocabulary.h).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "run/loaded_run.h"

namespace hulvex {

// The default plots, top to bottom: heave, pitch, vertical acceleration at the centre of
// gravity, speed.
inline constexpr std::array<int, 4> kDefaultPlotChannels{kChHeight, kChPitch, kChAcceleration, kChSpeed};

// The values of `channel` held by the run, or nullptr.
const ChannelSeries* FindSeries(const LoadedRun& run, int channel);

// HeldChannels the open history does not store (beyond its LastChannel), in order.
std::vector<int> MissingChannels(const LoadedRun& run);

// Adds `channel` to HeldChannels and, when it is not held yet, reads its values in one more pass
// over the history. Returns the held values. Throws Error when no run is open ("No run is open"),
// the history does not store the channel ("Channel 12 is not in this run: it stores channels 0
// to 11"), or the file cannot be read; HeldChannels is then unchanged.
const ChannelSeries& HoldChannel(LoadedRun& run, int channel, Diagnostics& diag);

// HoldChannel for each of `channels`, the values of all those not held yet read in one pass over
// the history. Throws as HoldChannel does, for the first channel in order the history does not
// store, before anything is read; nothing is held then.
void HoldChannels(LoadedRun& run, std::span<const int> channels, Diagnostics& diag);

// Removes `channel` from HeldChannels and frees its values. Nothing happens for a channel not held.
void ReleaseChannel(LoadedRun& run, int channel);

// Bytes the open run holds per step: the step times, the camera track and the held series.
double HeldBytesPerStep(const LoadedRun& run);

// The bytes read from the history's file since it was opened over the file's size: 1 is one pass
// over the file (the open's indexing pass, a few bytes more for its header and step 0); 0 for
// an empty or closed file.
double HistoryPasses(const TimeHistory& history);

// The step whose time is nearest t in increasing step times (the earlier of two equally near);
// the first or last step for a time outside them; -1 when there are none.
std::int32_t StepNearest(std::span<const double> stepTimes, double t);

}  // namespace hulvex

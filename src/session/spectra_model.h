// The spectra and the impact extremes of the session's visible range, for every open run: what the
// Spectra and Impact Distribution windows show. Computed off the GUI thread, only while a window
// that shows them asks for them, and again whenever the visible range, the held channels, the runs
// or the impact threshold and dead band change. QtCore only: it knows no window.
#pragma once

#include <QObject>
#include <QThreadPool>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "run/window_spectra.h"
#include "run/window_statistics.h"
#include "session/viewer_session.h"

namespace hulvex {

// One run's figures over the range asked for.
struct RangeFigures {
  WindowSpectra Spectra;     // the reference's held channels, the wave and the transfer functions
  WindowStatistics Impacts;  // channel 2's impact peaks and their extremes (Impacts, Extremes)
};

class SpectraModel : public QObject {
  Q_OBJECT
public:
  // Observes `session`, which outlives the model.
  explicit SpectraModel(ViewerSession& session, QObject* parent = nullptr);
  // Waits for a computation still running (it reads only its own copies).
  ~SpectraModel() override;

  // Whether `observer` wants the figures. They are computed while at least one observer does; the
  // first one to ask starts a computation of the current range.
  void SetWanted(const QObject* observer, bool wanted);
  bool Wanted() const { return !wanted_.empty(); }

  // The time range the figures are asked for: the session's visible range, else the whole run
  // (infinite bounds).
  std::pair<double, double> Range() const;

  // The figures of the session's run k over Range(), computed with the session's impact threshold
  // and dead band; one per open run (the reference first), none before the first result, after a
  // run closed or compared runs changed. Published (Ready) only while the range, the channels, the
  // runs and the impact settings are still the ones asked for; older results are dropped.
  std::size_t ResultCount() const { return results_.size(); }
  const RangeFigures* Result(std::size_t k) const { return k < results_.size() ? &results_[k] : nullptr; }
  // Whether a computation is running or waiting for one to end.
  bool Pending() const { return running_ || queued_; }
  // The exposure of the extremes' most probable largest peak, hours (> 0; 1 by default).
  double ExposureHours() const { return exposureHours_; }
  // Sets it and, when it changes, computes the figures again. Ignores a value that is not a finite
  // number above 0.
  void SetExposureHours(double hours);
  // The Welch segment length of the spectra, samples (0: the default for the range's length).
  std::size_t SegmentSamples() const { return segmentSamples_; }
  // Sets it (0 or a power of two of at least 16) and, when it changes, computes the figures again.
  // Ignores any other value.
  void SetSegmentSamples(std::size_t samples);

signals:
  void Ready();

private:
  struct Job;
  // Channel 6 of runs, as the worker read it.
  using DistanceReads = std::vector<std::pair<const LoadedRun*, std::shared_ptr<const std::vector<float>>>>;
  void Schedule();
  void Start();
  void Done(std::uint64_t generation, std::uint64_t runsEpoch, std::shared_ptr<std::vector<RangeFigures>> result,
            std::shared_ptr<DistanceReads> read);
  // Forgets the results and, for the runs about to close, their wave positions read.
  void ForgetRuns(bool referenceToo);

  ViewerSession& session_;
  std::set<const QObject*> wanted_;
  std::vector<RangeFigures> results_;
  // Channel 6 of a run that does not hold it, read once off the GUI thread for the wave.
  std::map<const LoadedRun*, std::shared_ptr<const std::vector<float>>> distance_;
  double threshold_ = 0;                 // the impact settings of the last computation started
  std::optional<double> hysteresis_;
  double exposureHours_ = 1;
  std::size_t segmentSamples_ = 0;
  std::uint64_t generation_ = 0;  // of the range, channels, runs and settings asked for last
  std::uint64_t runsEpoch_ = 0;   // of the open runs: a distance read for closed runs is not kept
  bool running_ = false;
  bool queued_ = false;
  QThreadPool pool_;
};

}  // namespace hulvex

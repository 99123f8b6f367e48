#include "session/spectra_model.h"

#include <cmath>

#include "analysis/spectrum.h"

#include <QMetaObject>

#include <exception>
#include <limits>
#include <span>

#include "common/diagnostics.h"
#include "run/channel_series.h"

namespace hulvex {

// What the worker needs of one run: its own copies, so that the run may close meanwhile.
struct SpectraModel::Job {
  const LoadedRun* Run = nullptr;  // only a key for the distance read; never read by the worker
  std::shared_ptr<const StatisticsSnapshot> Steps;
  std::shared_ptr<const std::vector<float>> Distance;  // channel 6 at every step, when not among Steps
  std::shared_ptr<TimeHistory> History;                // to read channel 6 from, when Distance is not known yet
  std::optional<SeaConstants> Sea;
  double Lcg = 0;
  std::string NoWaveReason;
};

SpectraModel::SpectraModel(ViewerSession& session, QObject* parent) : QObject(parent), session_(session) {
  pool_.setMaxThreadCount(1);  // one computation at a time: newer requests wait, the latest runs next
  connect(&session_, &ViewerSession::VisibleRangeChanged, this, &SpectraModel::Schedule);
  connect(&session_, &ViewerSession::ChannelsChanged, this, &SpectraModel::Schedule);
  connect(&session_, &ViewerSession::RunOpened, this, &SpectraModel::Schedule);
  connect(&session_, &ViewerSession::ComparedRunsChanged, this, [this] {
    ++runsEpoch_;
    Schedule();
  });
  connect(&session_, &ViewerSession::RunClosing, this, [this] { ForgetRuns(true); });
  connect(&session_, &ViewerSession::ComparedRunsClosing, this, [this] { ForgetRuns(false); });
  // The session publishes statistics after each change of the impact settings: follow them.
  connect(&session_, &ViewerSession::StatisticsReady, this, [this] {
    if (session_.ImpactThreshold() != threshold_ || session_.Hysteresis() != hysteresis_) Schedule();
  });
}

SpectraModel::~SpectraModel() { pool_.waitForDone(); }

void SpectraModel::SetWanted(const QObject* observer, bool wanted) {
  const bool was = Wanted();
  if (wanted)
    wanted_.insert(observer);
  else
    wanted_.erase(observer);
  if (!was && Wanted()) Schedule();
}

std::pair<double, double> SpectraModel::Range() const {
  constexpr double inf = std::numeric_limits<double>::infinity();
  return session_.VisibleRange().value_or(std::pair{-inf, inf});
}

void SpectraModel::ForgetRuns(bool referenceToo) {
  ++generation_;
  ++runsEpoch_;
  results_.clear();
  for (auto it = distance_.begin(); it != distance_.end();) {
    const bool reference = it->first == &session_.Reference();
    it = reference && !referenceToo ? std::next(it) : distance_.erase(it);
  }
}

void SpectraModel::SetExposureHours(double hours) {
  if (!(hours > 0) || !std::isfinite(hours) || hours == exposureHours_) return;
  exposureHours_ = hours;
  Schedule();
}

void SpectraModel::SetSegmentSamples(std::size_t samples) {
  if ((samples != 0 && !analysis::IsSegmentLength(samples)) || samples == segmentSamples_) return;
  segmentSamples_ = samples;
  Schedule();
}

void SpectraModel::Schedule() {
  ++generation_;
  if (!Wanted() || !session_.RunLoaded()) return;
  if (running_) {
    queued_ = true;  // started when the one running ends, for what is asked for by then
    return;
  }
  Start();
}

void SpectraModel::Start() {
  queued_ = false;
  const auto [from, to] = Range();
  SpectraRequest spectra;
  spectra.From = from;
  spectra.To = to;
  spectra.SegmentSamples = segmentSamples_;
  spectra.Channels.clear();
  for (const ChannelSeries& s : session_.Reference().Series) spectra.Channels.push_back(s.Channel);
  StatisticsRequest impacts;
  impacts.From = from;
  impacts.To = to;
  impacts.Channels = {kChAcceleration};
  threshold_ = impacts.Threshold = session_.ImpactThreshold();
  hysteresis_ = session_.Hysteresis();
  if (hysteresis_) impacts.Hysteresis = *hysteresis_;
  impacts.ExposureHours = exposureHours_;

  std::vector<Job> jobs;
  for (std::size_t k = 0; k < session_.RunCount(); ++k) {
    const LoadedRun& run = session_.Run(k);
    if (!run.History.IsOpen) continue;
    Job job;
    job.Run = &run;
    job.Steps = std::make_shared<const StatisticsSnapshot>(HeldSteps(run), from, to);
    if (run.Hull.BoatLoaded) {
      job.Sea = run.Sea;
      job.Lcg = static_cast<double>(run.Hull.PB.LCG);
    } else {
      job.NoWaveReason = "the boat file " + run.Hull.MissingBoatFile + " (whose LCG places the wave) was not found";
    }
    const bool flat = run.Sea.Waves == 1 || run.Sea.FlatDrawn;  // no wave: nothing to read
    if (!FindSeries(run, kChDistance) && job.Sea && !flat) {
      // A followed run grows past what was read: read it again then.
      if (const auto known = distance_.find(&run);
          known != distance_.end() && known->second->size() >= run.History.StepTimes.size()) {
        job.Distance = known->second;
      } else {
        try {
          job.History = std::make_shared<TimeHistory>(ReopenTimeHistory(run.History));
        } catch (const std::exception& e) {
          job.Sea.reset();
          job.NoWaveReason = std::string("channel 6 cannot be read: ") + e.what();
        }
      }
    }
    jobs.push_back(std::move(job));
  }
  const std::uint64_t generation = generation_;
  const std::uint64_t epoch = runsEpoch_;
  running_ = true;
  pool_.start([this, jobs = std::move(jobs), spectra, impacts, generation, epoch]() mutable {
    auto result = std::make_shared<std::vector<RangeFigures>>();
    auto read = std::make_shared<DistanceReads>();
    for (Job& job : jobs) {
      if (job.History) {
        try {
          CollectingDiagnostics ignored;  // the open reported the history's faults
          const int wanted[] = {kChDistance};
          job.Distance = std::make_shared<const std::vector<float>>(
              std::move(ReadChannelSeries(*job.History, wanted, ignored).front()));
          read->emplace_back(job.Run, job.Distance);
        } catch (const std::exception& e) {
          job.Sea.reset();
          job.NoWaveReason = std::string("channel 6 cannot be read: ") + e.what();
        }
        job.History.reset();
      }
      StatisticsInput steps = job.Steps->View();
      if (job.Distance && job.Distance->size() >= steps.FirstStep + steps.StepTimes.size())
        steps.Series.emplace_back(kChDistance,
                                  std::span<const float>(*job.Distance).subspan(steps.FirstStep, steps.StepTimes.size()));
      SpectraInput input{steps, job.Sea, job.Lcg, job.NoWaveReason};
      result->push_back({ComputeWindowSpectra(input, spectra), ComputeWindowStatistics(steps, impacts)});
    }
    // Queued to the model's thread; the destructor waits for this task, so `this` is alive.
    QMetaObject::invokeMethod(this, [this, generation, epoch, result, read] { Done(generation, epoch, result, read); },
                              Qt::QueuedConnection);
  });
}

void SpectraModel::Done(std::uint64_t generation, std::uint64_t runsEpoch, std::shared_ptr<std::vector<RangeFigures>> result,
                        std::shared_ptr<DistanceReads> read) {
  running_ = false;
  if (runsEpoch == runsEpoch_)
    for (auto& [run, distance] : *read) distance_[run] = std::move(distance);
  if (generation == generation_) {
    results_ = std::move(*result);
    emit Ready();
    return;
  }
  // Stale: compute what is asked for now instead.
  if (Wanted() && session_.RunLoaded()) Start();
}

}  // namespace hulvex

// stats: per-channel statistics, impact peaks, motion amplitudes and ISO 2631-1 ride quality of
// one run or many (run/window_statistics.h computes them). Runs are computed in parallel, each on
// its own data; results are written in argument order.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <future>
#include <limits>
#include <optional>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/iso2631.h"
#include "analysis/statistics.h"
#include "cli/cli_support.h"
#include "common/error.h"
#include "run/channel_series.h"
#include "run/window_statistics.h"
#include "runfiles/channel_vocabulary.h"

namespace hulvex::cli {
namespace {
namespace an = analysis;

constexpr double kInf = std::numeric_limits<double>::infinity();

struct StatsRequest {
  std::vector<std::string> Runs;
  double From = -kInf;
  double To = kInf;
  std::vector<int> Channels{kChHeight, kChAcceleration, kChPitch, kChSpeed};
  double Threshold = 0;
  double Hysteresis = 0.02;  // impacts' and motions' dead band, a fraction of each channel's range
  bool Csv = false;
  bool Timing = false;
};

// What one run gave: its figures, or the error that stopped it, and its messages.
struct RunOutcome {
  std::string Run;                          // as given
  std::optional<WindowStatistics> Figures;  // absent when the run failed
  double HistoryPasses = 0;                 // the reads of the history over its size
  std::string Error;
  std::vector<std::string> Messages;        // from reading the run, in order
};

std::string Number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

// Opens the run reading the channels it needs with the step times, and computes every figure
// over the window. Throws Error when the run cannot be read, a requested channel is not stored,
// the step times are out of order or no step lies in the window.
void ComputeRun(const StatsRequest& req, Diagnostics& diag, RunOutcome& out) {
  LoadedRun run;
  run.HeldChannels = req.Channels;
  run.HeldChannels.insert(run.HeldChannels.end(), {kChHeight, kChAcceleration, kChPitch});
  std::sort(run.HeldChannels.begin(), run.HeldChannels.end());
  run.HeldChannels.erase(std::unique(run.HeldChannels.begin(), run.HeldChannels.end()), run.HeldChannels.end());
  OpenRunHistory(run, out.Run, diag);
  const TimeHistory& h = run.History;
  const int last = h.Header.LastChannel;
  for (int c : req.Channels) {
    if (c > last) {
      throw Error("Channel " + std::to_string(c) + " is not stored: the last channel of " + run.RunPath + " is " +
                  std::to_string(last));
    }
  }
  if (std::string problem = an::StepTimeProblem(h.StepTimes); !problem.empty()) {
    throw Error("The step times of " + run.RunPath + " are out of order: " + problem);
  }
  StatisticsInput input{h.StepTimes, 0, last, {}};
  for (const ChannelSeries& s : run.Series) input.Series.emplace_back(s.Channel, s.Values);
  WindowStatistics w = ComputeWindowStatistics(input, {req.From, req.To, req.Channels, req.Threshold, req.Hysteresis});
  if (w.Window.Count() == 0) {
    throw Error("No step of " + run.RunPath + " lies between " + Number(w.From) + " s and " + Number(w.To) +
                " s (its steps run from " + Number(h.StepTimes.front()) + " s to " + Number(h.StepTimes.back()) + " s)");
  }
  out.Figures = std::move(w);
  out.HistoryPasses = HistoryPasses(h);
}

// JSON ------------------------------------------------------------------------------------------

void Figure(JsonWriter& j, const char* key, const an::Maybe<double>& v) {
  j.Key(key);
  if (v.has_value()) {
    j.Number(*v);
  } else {
    j.Null();
    j.Key(std::string(key) + "Reason").String(v.Reason);
  }
}

// Writes `key`: null and `key`Reason for a missing block; else `key` and calls body(value).
template <typename T, typename Body>
void Block(JsonWriter& j, const char* key, const an::Maybe<T>& block, Body body) {
  j.Key(key);
  if (!block.has_value()) {
    j.Null();
    j.Key(std::string(key) + "Reason").String(block.Reason);
    return;
  }
  body(*block);
}

std::string JsonOf(const RunOutcome& o, bool oneLine, bool timing) {
  JsonWriter j(oneLine);
  j.BeginObject();
  j.Key("Run").String(o.Run);
  if (!o.Figures) {
    j.Key("Error").String(o.Error);
    j.EndObject();
    return j.str();
  }
  const WindowStatistics& f = *o.Figures;
  j.Key("From").Number(f.From);
  j.Key("To").Number(f.To);
  j.Key("Steps").Integer(static_cast<std::int64_t>(f.Window.Count()));
  j.Key("Channels").BeginArray();
  for (const auto& [c, stats] : f.Channels) {
    j.BeginObject();
    j.Key("Channel").Integer(c);
    const ChannelInfo info = ChannelInfoOf(c);
    j.Key("Name").String(info.Name);
    j.Key("Unit").String(info.Unit);
    if (stats.has_value()) {
      j.Key("Count").Integer(static_cast<std::int64_t>(stats->Count));
      j.Key("Mean").Number(stats->Mean);
      j.Key("Min").Number(stats->Min);
      j.Key("MinTime").Number(stats->MinTime);
      j.Key("Max").Number(stats->Max);
      j.Key("MaxTime").Number(stats->MaxTime);
      j.Key("StdDev").Number(stats->StdDev);
      j.Key("Rms").Number(stats->Rms);
    } else {
      for (const char* key : {"Count", "Mean", "Min", "MinTime", "Max", "MaxTime", "StdDev", "Rms"}) j.Key(key).Null();
      j.Key("Reason").String(stats.Reason);
    }
    j.EndObject();
  }
  j.EndArray();

  Block(j, "Impacts", f.Impacts, [&](const an::ImpactStatistics& s) {
    j.BeginObject();
    j.Key("Channel").Integer(kChAcceleration);
    j.Key("Unit").String(ChannelInfoOf(kChAcceleration).Unit);
    j.Key("Threshold").Number(s.Threshold);
    j.Key("Hysteresis").Number(s.Hysteresis);
    j.Key("Mean").Number(s.Mean);
    j.Key("PeakCount").Integer(static_cast<std::int64_t>(s.PeakCount));
    Figure(j, "PeaksPerMinute", s.PeaksPerMinute);
    Figure(j, "A1_3", s.A1_3);
    Figure(j, "A1_10", s.A1_10);
    Figure(j, "A1_100", s.A1_100);
    const bool has = s.Largest.has_value();
    Figure(j, "Largest", has ? an::Maybe<double>::Of(s.Largest->Height) : an::Maybe<double>::Missing(s.Largest.Reason));
    Figure(j, "LargestTime", has ? an::Maybe<double>::Of(s.Largest->Time) : an::Maybe<double>::Missing(s.Largest.Reason));
    j.EndObject();
  });

  j.Key("Motions").BeginArray();
  for (const auto& [c, stats] : f.Motions) {
    j.BeginObject();
    j.Key("Channel").Integer(c);
    j.Key("Unit").String(ChannelInfoOf(c).Unit);
    if (stats.has_value()) {
      j.Key("Hysteresis").Number(stats->Hysteresis);
      j.Key("Cycles").Integer(static_cast<std::int64_t>(stats->Cycles));
      Figure(j, "SignificantDoubleAmplitude", stats->SignificantDoubleAmplitude);
    } else {
      j.Key("Hysteresis").Null();
      j.Key("Cycles").Null();
      j.Key("SignificantDoubleAmplitude").Null();
      j.Key("Reason").String(stats.Reason);
    }
    j.EndObject();
  }
  j.EndArray();

  Block(j, "Iso2631", f.Iso, [&](const an::IsoFigures& s) {
    j.BeginObject();
    j.Key("Location").String(an::kIsoLocationNote);
    j.Key("Channel").Integer(kChAcceleration);
    j.Key("SampleInterval").Number(s.SampleInterval);
    j.Key("Samples").Integer(static_cast<std::int64_t>(s.Samples));
    j.Key("WeightedRms").Number(s.WeightedRms);
    j.Key("Vdv").Number(s.Vdv);
    j.Key("Mtvv").Number(s.Mtvv);
    Figure(j, "CrestFactor", s.CrestFactor);
    Figure(j, "HoursToVdvAction", s.HoursToVdvAction);
    Figure(j, "HoursToVdvLimit", s.HoursToVdvLimit);
    j.EndObject();
  });
  if (timing) {
    j.Key("Timing").BeginObject();
    j.Key("HistoryPasses").Number(o.HistoryPasses);
    j.EndObject();
  }
  j.EndObject();
  return j.str();
}

// CSV -------------------------------------------------------------------------------------------

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string q = "\"";
  for (char ch : text) {
    if (ch == '"') q += '"';
    q += ch;
  }
  return q + '"';
}

std::string Cell(const an::Maybe<double>& v) { return v.has_value() ? Number(*v) : std::string(); }

// One column of the CSV: its header and how a run's cell is made. Header and rows come from the
// one list of columns, so they cannot drift apart.
struct CsvColumn {
  std::string Header;
  std::function<std::string(const RunOutcome&)> Of;
};

std::vector<CsvColumn> CsvColumns(const StatsRequest& req) {
  std::vector<CsvColumn> columns;
  auto add = [&](std::string header, std::function<std::string(const RunOutcome&)> of) {
    columns.push_back({std::move(header), std::move(of)});
  };
  // A figure of a run that was analysed; empty for a failed run.
  auto figure = [&](std::string header, std::function<std::string(const WindowStatistics&)> of) {
    add(std::move(header), [of = std::move(of)](const RunOutcome& o) { return o.Figures ? of(*o.Figures) : ""; });
  };
  // A figure of a block that may be missing; empty then.
  auto block = [&]<typename T>(std::string header, an::Maybe<T> WindowStatistics::*member, auto of) {
    figure(std::move(header), [member, of](const WindowStatistics& w) {
      const an::Maybe<T>& b = w.*member;
      return b.has_value() ? std::string(of(*b)) : std::string();
    });
  };
  const std::string g = "_" + ChannelInfoOf(kChAcceleration).Unit;

  add("Run", [](const RunOutcome& o) { return o.Run; });
  figure("From", [](const WindowStatistics& w) { return Number(w.From); });
  figure("To", [](const WindowStatistics& w) { return Number(w.To); });
  figure("Steps", [](const WindowStatistics& w) { return std::to_string(w.Window.Count()); });
  using ChannelField = double an::ChannelStatistics::*;
  const std::pair<const char*, ChannelField> channelFields[] = {{"Mean", &an::ChannelStatistics::Mean},
                                                                {"StdDev", &an::ChannelStatistics::StdDev},
                                                                {"Min", &an::ChannelStatistics::Min},
                                                                {"Max", &an::ChannelStatistics::Max}};
  for (std::size_t k = 0; k < req.Channels.size(); ++k) {
    const int c = req.Channels[k];
    for (const auto& nameAndField : channelFields) {
      const ChannelField field = nameAndField.second;
      figure("ch" + std::to_string(c) + "_" + nameAndField.first + "_" + ChannelInfoOf(c).Unit, [k, field](const WindowStatistics& w) {
        const auto& s = w.Channels[k].second;
        return s.has_value() ? Number((*s).*field) : "";
      });
    }
  }
  using Impacts = an::ImpactStatistics;
  block("Hysteresis" + g, &WindowStatistics::Impacts, [](const Impacts& s) { return Number(s.Hysteresis); });
  block("PeakCount", &WindowStatistics::Impacts, [](const Impacts& s) { return std::to_string(s.PeakCount); });
  block("PeaksPerMinute", &WindowStatistics::Impacts, [](const Impacts& s) { return Cell(s.PeaksPerMinute); });
  block("A1_3" + g, &WindowStatistics::Impacts, [](const Impacts& s) { return Cell(s.A1_3); });
  block("A1_10" + g, &WindowStatistics::Impacts, [](const Impacts& s) { return Cell(s.A1_10); });
  block("A1_100" + g, &WindowStatistics::Impacts, [](const Impacts& s) { return Cell(s.A1_100); });
  block("Largest" + g, &WindowStatistics::Impacts,
        [](const Impacts& s) { return s.Largest.has_value() ? Number(s.Largest->Height) : ""; });
  block("LargestTime_s", &WindowStatistics::Impacts,
        [](const Impacts& s) { return s.Largest.has_value() ? Number(s.Largest->Time) : ""; });
  for (std::size_t k = 0; k < kMotionChannels.size(); ++k) {
    const int c = kMotionChannels[k];
    const std::string prefix = "ch" + std::to_string(c) + "_";
    figure(prefix + "Hysteresis_" + ChannelInfoOf(c).Unit, [k](const WindowStatistics& w) {
      const auto& m = w.Motions[k].second;
      return m.has_value() ? Number(m->Hysteresis) : "";
    });
    figure(prefix + "Cycles", [k](const WindowStatistics& w) {
      const auto& m = w.Motions[k].second;
      return m.has_value() ? std::to_string(m->Cycles) : "";
    });
    figure(prefix + "SignificantDoubleAmplitude_" + ChannelInfoOf(c).Unit, [k](const WindowStatistics& w) {
      const auto& m = w.Motions[k].second;
      return m.has_value() ? Cell(m->SignificantDoubleAmplitude) : "";
    });
  }
  using Iso = an::IsoFigures;
  block("Iso2631Location", &WindowStatistics::Iso, [](const Iso&) { return std::string(an::kIsoLocationNote); });
  block("WeightedRms_m/s2", &WindowStatistics::Iso, [](const Iso& s) { return Number(s.WeightedRms); });
  block("Vdv_m/s1.75", &WindowStatistics::Iso, [](const Iso& s) { return Number(s.Vdv); });
  block("Mtvv_m/s2", &WindowStatistics::Iso, [](const Iso& s) { return Number(s.Mtvv); });
  block("CrestFactor", &WindowStatistics::Iso, [](const Iso& s) { return Cell(s.CrestFactor); });
  block("HoursToVdvAction", &WindowStatistics::Iso, [](const Iso& s) { return Cell(s.HoursToVdvAction); });
  block("HoursToVdvLimit", &WindowStatistics::Iso, [](const Iso& s) { return Cell(s.HoursToVdvLimit); });
  add("Error", [](const RunOutcome& o) { return o.Error; });
  return columns;
}

// One CSV line: the header (run == nullptr) or a run's row.
std::string CsvLine(const std::vector<CsvColumn>& columns, const RunOutcome* run) {
  std::string line;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(run ? columns[i].Of(*run) : columns[i].Header);
  }
  return line + '\n';
}

// The command -----------------------------------------------------------------------------------

RunOutcome StatsOfRun(const std::string& given, const StatsRequest& req) {
  RunOutcome out;
  out.Run = given;
  CollectingDiagnostics diag;
  try {
    ComputeRun(req, diag, out);
  } catch (const std::exception& e) {
    out.Figures.reset();
    out.Error = e.what();
  }
  out.Messages = std::move(diag.messages);
  return out;
}

int Stats(const StatsRequest& req, std::ostream& out, Diagnostics& diag, std::ostream& err) {
  const std::size_t count = req.Runs.size();
  const bool oneLine = count > 1;
  const std::vector<CsvColumn> columns = CsvColumns(req);
  if (req.Csv) out << CsvLine(columns, nullptr);

  // Workers take the next run by number; each run's outcome goes through its own promise.
  std::vector<std::promise<RunOutcome>> promises(count);
  std::vector<std::future<RunOutcome>> outcomes;
  for (auto& p : promises) outcomes.push_back(p.get_future());
  std::atomic<std::size_t> next{0};
  const std::size_t threads = std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
  std::vector<std::jthread> workers;
  for (std::size_t t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < count;) {
        try {
          promises[i].set_value(StatsOfRun(req.Runs[i], req));
        } catch (...) {
          promises[i].set_exception(std::current_exception());
        }
      }
    });
  }

  bool failed = false;
  for (std::size_t i = 0; i < count; ++i) {
    const RunOutcome o = outcomes[i].get();
    for (const std::string& m : o.Messages) diag.Message("stats-run", oneLine ? o.Run + ": " + m : m);
    if (!o.Figures) ReportError(err, o.Run + ": " + o.Error);
    out << (req.Csv ? CsvLine(columns, &o) : JsonOf(o, oneLine, req.Timing));
    out.flush();
    failed = failed || !o.Figures;
  }
  return failed ? 1 : 0;
}

}  // namespace

void RegisterStatsCommand(Tool& tool) {
  auto req = std::make_shared<StatsRequest>();
  CLI::App* cmd = AddCommand(tool, "stats", "Seakeeping statistics of one or more runs, as JSON (Lines) or CSV", [=, &tool] {
    if (std::isnan(req->From) || std::isnan(req->To)) throw CLI::ValidationError("--from/--to", "not a number");
    if (req->From > req->To) throw CLI::ValidationError("--from", "is after --to");
    if (!(req->Hysteresis >= 0) || std::isinf(req->Hysteresis)) {
      throw CLI::ValidationError("--hysteresis", "must be a number of at least 0 (a fraction of each channel's range), not " +
                                                     Number(req->Hysteresis));
    }
    return CommandBody([=, &tool](std::istream&, std::ostream& out, Diagnostics& d) { return Stats(*req, out, d, *tool.errors); });
  });
  cmd->add_option("RUN", req->Runs, "The runs' .HVX files, or their paths without extension")->required();
  cmd->add_option("--from", req->From, "Start of the time window, s (default: the first step)");
  cmd->add_option("--to", req->To, "End of the time window, s (default: the last step)");
  cmd->add_option("--channels", req->Channels, "Channels for the per-channel statistics (default 0,2,3,7)")
      ->delimiter(',')
      ->check(CLI::Range(0, time_history_layout::kMaxChannels - 1));
  cmd->add_option("--threshold", req->Threshold, "Least height of a counted impact peak above the mean, g (default 0)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--hysteresis", req->Hysteresis,
                  "Dead band of impacts and motions about the mean, a fraction of each channel's range in the window: "
                  "a crossing needs a sample beyond mean +- fraction x (max - min) (default 0.02; 0: the mean itself)");
  CLI::Option* csv = cmd->add_flag("--csv", req->Csv, "One CSV row per run with the main figures instead of JSON");
  cmd->add_flag("--timing", req->Timing,
                "Add to each run's JSON a Timing object: HistoryPasses, the bytes read from its history over the "
                "history's size (1 is one pass)")
      ->excludes(csv);
}

}  // namespace hulvex::cli

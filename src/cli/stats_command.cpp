// stats: per-channel statistics, impact peaks, motion amplitudes and ISO 2631-1 ride quality of
// one run or many. Runs are computed in parallel, each on its own data; results are written in
// argument order.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <future>
#include <limits>
#include <ostream>
#include <thread>
#include <vector>

#include "analysis/iso2631.h"
#include "analysis/statistics.h"
#include "cli/cli_support.h"
#include "common/error.h"
#include "run/channel_series.h"

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
  bool Csv = false;
};

// The names and units `hulvex stats` writes; the values are scaled to them as the viewer does
// (DisplayOf).
struct ChannelInfo {
  const char* Name;
  const char* Unit;
};

ChannelInfo InfoOf(int channel) {
  switch (channel) {
    case kChHeight: return {"Height of the centre of gravity", "ft"};
    case kChAcceleration: return {"Vertical acceleration", "g"};
    case kChPitch: return {"Pitch", "deg"};
    case kChDistance: return {"Distance along the course", "ft"};
    case kChSpeed: return {"Speed", "kt"};
    case kChSurfaceGain: return {"Local surface term gain", "raw"};
    case kChSurfaceStart: return {"Local surface term start", "raw"};
    case kChSurfaceEnd: return {"Local surface term end", "raw"};
    default: return {"", "raw"};
  }
}

std::string NameOf(int channel) {
  const ChannelInfo info = InfoOf(channel);
  return *info.Name ? info.Name : "Channel " + std::to_string(channel);
}

struct RunFigures {
  double From = 0;
  double To = 0;
  std::size_t Steps = 0;
  std::vector<std::pair<int, an::Maybe<an::ChannelStatistics>>> Channels;
  an::Maybe<an::ImpactStatistics> Impacts;
  std::vector<std::pair<int, an::Maybe<an::MotionStatistics>>> Motions;
  an::Maybe<an::IsoFigures> Iso;
};

std::string Number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

// Opens the run, reads the channels it needs and computes every figure over the window.
// Throws Error when the run cannot be read or a requested channel is not stored.
RunFigures ComputeRun(const std::string& given, const StatsRequest& req, Diagnostics& diag) {
  LoadedRun run;
  OpenRunHistory(run, given, diag);
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
  const an::StepRange window = an::FindWindow(h.StepTimes, req.From, req.To);
  RunFigures f;
  f.From = std::isinf(req.From) ? h.StepTimes.front() : req.From;
  f.To = std::isinf(req.To) ? h.StepTimes.back() : req.To;
  if (window.Count() == 0) {
    throw Error("No step of " + run.RunPath + " lies between " + Number(f.From) + " s and " + Number(f.To) +
                " s (its steps run from " + Number(h.StepTimes.front()) + " s to " + Number(h.StepTimes.back()) + " s)");
  }
  f.Steps = window.Count();

  std::vector<int> wanted = req.Channels;
  for (int c : {int{kChHeight}, int{kChAcceleration}, int{kChPitch}}) {
    if (c <= last) wanted.push_back(c);
  }
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  const std::vector<std::vector<float>> raw = ReadChannelSeries(h, wanted, diag);

  // Each block gets the window's steps of one channel, scaled into one reused buffer, viewed with
  // their run step numbers.
  std::vector<double> values;
  auto over = [&](int c, double scale, auto compute) {
    const std::vector<float>& stored = raw[static_cast<std::size_t>(std::find(wanted.begin(), wanted.end(), c) - wanted.begin())];
    return compute(an::ScaledWindow(h.StepTimes, stored, window, scale, values));
  };
  auto notStored = [&](int c) {
    return "channel " + std::to_string(c) + " is not stored (the last channel is " + std::to_string(last) + ")";
  };

  for (int c : req.Channels) f.Channels.emplace_back(c, over(c, DisplayOf(c).Factor, an::ComputeChannelStatistics));
  if (last >= kChAcceleration) {
    f.Impacts = over(kChAcceleration, kFtPerS2ToG, [&](const an::Series& s) { return an::ComputeImpacts(s, req.Threshold); });
    f.Iso = over(kChAcceleration, an::kMetresPerFoot, an::ComputeIso2631);
  } else {
    f.Impacts = an::Maybe<an::ImpactStatistics>::Missing(notStored(kChAcceleration));
    f.Iso = an::Maybe<an::IsoFigures>::Missing(notStored(kChAcceleration));
  }
  for (int c : {int{kChHeight}, int{kChPitch}}) {
    f.Motions.emplace_back(c, c <= last ? over(c, DisplayOf(c).Factor, an::ComputeMotions)
                                        : an::Maybe<an::MotionStatistics>::Missing(notStored(c)));
  }
  return f;
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

std::string JsonOf(const std::string& given, const RunFigures& f, bool oneLine) {
  JsonWriter j(oneLine);
  j.BeginObject();
  j.Key("Run").String(given);
  j.Key("From").Number(f.From);
  j.Key("To").Number(f.To);
  j.Key("Steps").Integer(static_cast<std::int64_t>(f.Steps));
  j.Key("Channels").BeginArray();
  for (const auto& [c, stats] : f.Channels) {
    j.BeginObject();
    j.Key("Channel").Integer(c);
    j.Key("Name").String(NameOf(c));
    j.Key("Unit").String(InfoOf(c).Unit);
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
    j.Key("Unit").String("g");
    j.Key("Threshold").Number(s.Threshold);
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
    j.Key("Unit").String(InfoOf(c).Unit);
    if (stats.has_value()) {
      j.Key("Cycles").Integer(static_cast<std::int64_t>(stats->Cycles));
      Figure(j, "SignificantDoubleAmplitude", stats->SignificantDoubleAmplitude);
    } else {
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
  j.EndObject();
  return j.str();
}

std::string JsonError(const std::string& given, const std::string& error, bool oneLine) {
  JsonWriter j(oneLine);
  j.BeginObject().Key("Run").String(given).Key("Error").String(error).EndObject();
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

std::vector<std::string> CsvHeader(const StatsRequest& req) {
  std::vector<std::string> h{"Run", "From", "To", "Steps"};
  for (int c : req.Channels) {
    const std::string prefix = "ch" + std::to_string(c) + "_";
    const std::string unit = std::string("_") + InfoOf(c).Unit;
    for (const char* name : {"Mean", "StdDev", "Min", "Max"}) h.push_back(prefix + name + unit);
  }
  for (const char* name : {"PeakCount", "PeaksPerMinute", "A1_3_g", "A1_10_g", "A1_100_g", "Largest_g", "LargestTime_s",
                           "ch0_Cycles", "ch0_SignificantDoubleAmplitude_ft", "ch3_Cycles",
                           "ch3_SignificantDoubleAmplitude_deg", "Iso2631Location", "WeightedRms_m/s2", "Vdv_m/s1.75",
                           "Mtvv_m/s2", "CrestFactor", "HoursToVdvAction", "HoursToVdvLimit", "Error"}) {
    h.push_back(name);
  }
  return h;
}

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(cells[i]);
  }
  return line + '\n';
}

std::string CsvRow(const std::string& given, const RunFigures& f) {
  std::vector<std::string> row{given, Number(f.From), Number(f.To), std::to_string(f.Steps)};
  for (const auto& [c, s] : f.Channels) {
    if (s.has_value()) {
      for (double v : {s->Mean, s->StdDev, s->Min, s->Max}) row.push_back(Number(v));
    } else {
      row.insert(row.end(), 4, "");
    }
  }
  if (const auto& im = f.Impacts; im.has_value()) {
    row.push_back(std::to_string(im->PeakCount));
    for (const auto* v : {&im->PeaksPerMinute, &im->A1_3, &im->A1_10, &im->A1_100}) row.push_back(Cell(*v));
    row.push_back(im->Largest.has_value() ? Number(im->Largest->Height) : "");
    row.push_back(im->Largest.has_value() ? Number(im->Largest->Time) : "");
  } else {
    row.insert(row.end(), 7, "");
  }
  for (const auto& [c, m] : f.Motions) {
    row.push_back(m.has_value() ? std::to_string(m->Cycles) : "");
    row.push_back(m.has_value() ? Cell(m->SignificantDoubleAmplitude) : "");
  }
  if (const auto& iso = f.Iso; iso.has_value()) {
    row.emplace_back(an::kIsoLocationNote);
    for (double v : {iso->WeightedRms, iso->Vdv, iso->Mtvv}) row.push_back(Number(v));
    for (const auto* v : {&iso->CrestFactor, &iso->HoursToVdvAction, &iso->HoursToVdvLimit}) row.push_back(Cell(*v));
  } else {
    row.insert(row.end(), 7, "");
  }
  row.emplace_back();  // Error
  return CsvLine(row);
}

std::string CsvError(const std::string& given, const std::string& error, std::size_t columns) {
  std::vector<std::string> row(columns);
  row.front() = given;
  row.back() = error;
  return CsvLine(row);
}

// The command -----------------------------------------------------------------------------------

struct RunOutcome {
  std::string Text;                   // the run's JSON or CSV line(s)
  std::vector<std::string> Messages;  // from reading the run, in order
  bool Failed = false;
};

RunOutcome StatsOfRun(const std::string& given, const StatsRequest& req, bool oneLine, std::size_t csvColumns) {
  RunOutcome out;
  CollectingDiagnostics diag;
  try {
    const RunFigures f = ComputeRun(given, req, diag);
    out.Text = req.Csv ? CsvRow(given, f) : JsonOf(given, f, oneLine);
  } catch (const std::exception& e) {
    out.Failed = true;
    out.Text = req.Csv ? CsvError(given, e.what(), csvColumns) : JsonError(given, e.what(), oneLine);
  }
  out.Messages = std::move(diag.messages);
  return out;
}

int Stats(const StatsRequest& req, std::ostream& out, Diagnostics& diag) {
  const std::size_t count = req.Runs.size();
  const bool oneLine = count > 1;
  const std::vector<std::string> header = CsvHeader(req);
  if (req.Csv) out << CsvLine(header);

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
          promises[i].set_value(StatsOfRun(req.Runs[i], req, oneLine, header.size()));
        } catch (...) {
          promises[i].set_exception(std::current_exception());
        }
      }
    });
  }

  bool failed = false;
  for (std::size_t i = 0; i < count; ++i) {
    const RunOutcome o = outcomes[i].get();
    for (const std::string& m : o.Messages) diag.Message("stats-run", oneLine ? req.Runs[i] + ": " + m : m);
    out << o.Text;
    out.flush();
    failed = failed || o.Failed;
  }
  return failed ? 1 : 0;
}

}  // namespace

void RegisterStatsCommand(Tool& tool) {
  auto req = std::make_shared<StatsRequest>();
  CLI::App* cmd = AddCommand(tool, "stats", "Seakeeping statistics of one or more runs, as JSON (Lines) or CSV", [=] {
    if (std::isnan(req->From) || std::isnan(req->To)) throw CLI::ValidationError("--from/--to", "not a number");
    if (req->From > req->To) throw CLI::ValidationError("--from", "is after --to");
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return Stats(*req, out, d); });
  });
  cmd->add_option("RUN", req->Runs, "The runs' .HVX files, or their paths without extension")->required();
  cmd->add_option("--from", req->From, "Start of the time window, s (default: the first step)");
  cmd->add_option("--to", req->To, "End of the time window, s (default: the last step)");
  cmd->add_option("--channels", req->Channels, "Channels for the per-channel statistics (default 0,2,3,7)")
      ->delimiter(',')
      ->check(CLI::Range(0, time_history_layout::kMaxChannels - 1));
  cmd->add_option("--threshold", req->Threshold, "Least height of a counted impact peak above the mean, g (default 0)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_flag("--csv", req->Csv, "One CSV row per run with the main figures instead of JSON");
}

}  // namespace hulvex::cli

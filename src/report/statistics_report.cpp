#include "report/statistics_report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

#include "analysis/extremes.h"
#include "analysis/iso2631.h"
#include "analysis/statistics.h"
#include "common/diagnostics.h"
#include "common/error.h"
#include "report/json_figures.h"
#include "report/json_writer.h"
#include "report/report_support.h"
#include "run/channel_series.h"
#include "run/loaded_run.h"
#include "runfiles/channel_vocabulary.h"

namespace hulvex {
namespace {
namespace an = analysis;

std::string Number(double v) { return ReportNumber(v); }

// Opens the run reading the given channels (and those the impacts and motions need) with the step
// times. Throws Error when the run cannot be read, a requested channel is not stored or the step
// times are out of order.
void OpenForStatistics(const std::vector<int>& channels, Diagnostics& diag, LoadedRun& run, const std::string& given,
                       bool partial) {
  OpenRunForWindow(run, given, channels, {kChHeight, kChAcceleration, kChPitch}, diag, partial);
}

// Computes every figure of an opened run over the window. Throws Error when no step lies in it.
void ComputeRun(const LoadedRun& run, const StatisticsRequest& req, RunStatistics& out) {
  WindowStatistics w = ComputeWindowStatistics(HeldSteps(run), req);
  CheckWindowHasSteps(run, w.Window.Count(), w.From, w.To);
  out.Figures = std::move(w);
  out.HistoryPasses = HistoryPasses(run.History);
}

// JSON ------------------------------------------------------------------------------------------

void Figure(JsonWriter& j, const char* key, const an::Maybe<double>& v) { WriteFigure(j, key, v); }

template <typename T, typename Body>
void Block(JsonWriter& j, const char* key, const an::Maybe<T>& block, Body body) {
  WriteBlock(j, key, block, body);
}

}  // namespace

void WriteChannelsJson(JsonWriter& j, const WindowStatistics& f) {
  j.BeginArray();

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
}

namespace {

void WriteJson(JsonWriter& j, const RunStatistics& o, bool timing) {
  if (!BeginRunJson(j, o)) return;
  const WindowStatistics& f = *o.Figures;
  j.Key("Steps").Integer(static_cast<std::int64_t>(f.Window.Count()));
  j.Key("Channels");
  WriteChannelsJson(j, f);

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

  Block(j, "Extremes", f.Extremes, [&](const an::ExtremeValues& e) {
    j.BeginObject();
    j.Key("Channel").Integer(kChAcceleration);
    j.Key("Unit").String(ChannelInfoOf(kChAcceleration).Unit);
    j.Key("Peaks").Integer(static_cast<std::int64_t>(e.Peaks));
    j.Key("RayleighSigma").Number(e.RayleighSigma);
    j.Key("WeibullShape").Number(e.Weibull.Shape);
    j.Key("WeibullScale").Number(e.Weibull.Scale);
    j.Key("PredictedA1_3").Number(e.PredictedA1_3);
    j.Key("PredictedA1_10").Number(e.PredictedA1_10);
    j.Key("PredictedA1_100").Number(e.PredictedA1_100);
    j.Key("PredictedA1_1000").Number(e.PredictedA1_1000);
    j.Key("ExposureHours").Number(e.ExposureHours);
    Figure(j, "MostProbableLargest", e.MostProbableLargest);
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
}

// CSV -------------------------------------------------------------------------------------------

std::string Cell(const an::Maybe<double>& v) { return v.has_value() ? Number(*v) : std::string(); }

// One column of the CSV: its header and how a run's cell is made. Header and rows come from the
// one list of columns, so they cannot drift apart.
struct CsvColumn {
  std::string Header;
  std::function<std::string(const RunStatistics&)> Of;
  std::string Figure;  // the JSON path of the figure it shows ("Channels[2].Max"), empty for Run and Error
};

std::vector<CsvColumn> CsvColumns(const std::vector<int>& channels) {
  std::vector<CsvColumn> columns;
  auto add = [&](std::string header, std::function<std::string(const RunStatistics&)> of, std::string path = {}) {
    columns.push_back({std::move(header), std::move(of), std::move(path)});
  };
  // A figure of a run that was analysed, at `path` in its JSON object; empty for a failed run.
  auto figure = [&](std::string header, std::string path, std::function<std::string(const WindowStatistics&)> of) {
    add(std::move(header), [of = std::move(of)](const RunStatistics& o) { return o.Figures ? of(*o.Figures) : ""; },
        std::move(path));
  };
  // A figure of a block that may be missing; empty then.
  auto block = [&]<typename T>(std::string header, std::string path, an::Maybe<T> WindowStatistics::*member, auto of) {
    figure(std::move(header), std::move(path), [member, of](const WindowStatistics& w) {
      const an::Maybe<T>& b = w.*member;
      return b.has_value() ? std::string(of(*b)) : std::string();
    });
  };
  const std::string g = "_" + ChannelInfoOf(kChAcceleration).Unit;

  add("Run", [](const RunStatistics& o) { return o.Run; });
  figure("From", "From", [](const WindowStatistics& w) { return Number(w.From); });
  figure("To", "To", [](const WindowStatistics& w) { return Number(w.To); });
  figure("Steps", "Steps", [](const WindowStatistics& w) { return std::to_string(w.Window.Count()); });
  using ChannelField = double an::ChannelStatistics::*;
  const std::pair<const char*, ChannelField> channelFields[] = {{"Mean", &an::ChannelStatistics::Mean},
                                                                {"StdDev", &an::ChannelStatistics::StdDev},
                                                                {"Min", &an::ChannelStatistics::Min},
                                                                {"Max", &an::ChannelStatistics::Max}};
  for (std::size_t k = 0; k < channels.size(); ++k) {
    const int c = channels[k];
    for (const auto& nameAndField : channelFields) {
      const ChannelField field = nameAndField.second;
      figure("ch" + std::to_string(c) + "_" + nameAndField.first + "_" + ChannelInfoOf(c).Unit,
             "Channels[" + std::to_string(c) + "]." + nameAndField.first, [k, field](const WindowStatistics& w) {
        const auto& s = w.Channels[k].second;
        return s.has_value() ? Number((*s).*field) : "";
      });
    }
  }
  using Impacts = an::ImpactStatistics;
  block("Hysteresis" + g, "Impacts.Hysteresis", &WindowStatistics::Impacts, [](const Impacts& s) { return Number(s.Hysteresis); });
  block("PeakCount", "Impacts.PeakCount", &WindowStatistics::Impacts, [](const Impacts& s) { return std::to_string(s.PeakCount); });
  block("PeaksPerMinute", "Impacts.PeaksPerMinute", &WindowStatistics::Impacts, [](const Impacts& s) { return Cell(s.PeaksPerMinute); });
  block("A1_3" + g, "Impacts.A1_3", &WindowStatistics::Impacts, [](const Impacts& s) { return Cell(s.A1_3); });
  block("A1_10" + g, "Impacts.A1_10", &WindowStatistics::Impacts, [](const Impacts& s) { return Cell(s.A1_10); });
  block("A1_100" + g, "Impacts.A1_100", &WindowStatistics::Impacts, [](const Impacts& s) { return Cell(s.A1_100); });
  block("Largest" + g, "Impacts.Largest", &WindowStatistics::Impacts,
        [](const Impacts& s) { return s.Largest.has_value() ? Number(s.Largest->Height) : ""; });
  block("LargestTime_s", "Impacts.LargestTime", &WindowStatistics::Impacts,
        [](const Impacts& s) { return s.Largest.has_value() ? Number(s.Largest->Time) : ""; });
  for (std::size_t k = 0; k < kMotionChannels.size(); ++k) {
    const int c = kMotionChannels[k];
    const std::string prefix = "ch" + std::to_string(c) + "_";
    const std::string path = "Motions[" + std::to_string(c) + "].";
    figure(prefix + "Hysteresis_" + ChannelInfoOf(c).Unit, path + "Hysteresis", [k](const WindowStatistics& w) {
      const auto& m = w.Motions[k].second;
      return m.has_value() ? Number(m->Hysteresis) : "";
    });
    figure(prefix + "Cycles", path + "Cycles", [k](const WindowStatistics& w) {
      const auto& m = w.Motions[k].second;
      return m.has_value() ? std::to_string(m->Cycles) : "";
    });
    figure(prefix + "SignificantDoubleAmplitude_" + ChannelInfoOf(c).Unit, path + "SignificantDoubleAmplitude", [k](const WindowStatistics& w) {
      const auto& m = w.Motions[k].second;
      return m.has_value() ? Cell(m->SignificantDoubleAmplitude) : "";
    });
  }
  using Iso = an::IsoFigures;
  block("Iso2631Location", "Iso2631.Location", &WindowStatistics::Iso, [](const Iso&) { return std::string(an::kIsoLocationNote); });
  block("WeightedRms_m/s2", "Iso2631.WeightedRms", &WindowStatistics::Iso, [](const Iso& s) { return Number(s.WeightedRms); });
  block("Vdv_m/s1.75", "Iso2631.Vdv", &WindowStatistics::Iso, [](const Iso& s) { return Number(s.Vdv); });
  block("Mtvv_m/s2", "Iso2631.Mtvv", &WindowStatistics::Iso, [](const Iso& s) { return Number(s.Mtvv); });
  block("CrestFactor", "Iso2631.CrestFactor", &WindowStatistics::Iso, [](const Iso& s) { return Cell(s.CrestFactor); });
  block("HoursToVdvAction", "Iso2631.HoursToVdvAction", &WindowStatistics::Iso, [](const Iso& s) { return Cell(s.HoursToVdvAction); });
  block("HoursToVdvLimit", "Iso2631.HoursToVdvLimit", &WindowStatistics::Iso, [](const Iso& s) { return Cell(s.HoursToVdvLimit); });
  add("Error", [](const RunStatistics& o) { return o.Error; });
  return columns;
}

}  // namespace

std::span<const double> OpenedRun::StepTimes() const {
  return Loaded ? std::span<const double>(Loaded->History.StepTimes) : std::span<const double>();
}

OpenedRun OpenRunForStatistics(const std::string& given, const std::vector<int>& channels, bool partial) {
  OpenedRun out;
  out.Run = given;
  CollectingDiagnostics diag;
  try {
    auto run = std::make_shared<LoadedRun>();
    OpenForStatistics(channels, diag, *run, given, partial);
    out.Loaded = std::move(run);
  } catch (const std::exception& e) {
    out.Error = e.what();
  }
  out.Messages = std::move(diag.messages);
  return out;
}

RunStatistics StatisticsOfOpenedRun(const OpenedRun& opened, const StatisticsRequest& request) {
  RunStatistics out;
  out.Run = opened.Run;
  out.Messages = opened.Messages;
  out.Error = opened.Error;
  if (!opened.Loaded) return out;
  try {
    ComputeRun(*opened.Loaded, request, out);
  } catch (const std::exception& e) {
    out.Figures.reset();
    out.Error = e.what();
  }
  return out;
}

RunStatistics StatisticsOfRunFile(const std::string& given, const StatisticsRequest& request, bool partial) {
  return StatisticsOfOpenedRun(OpenRunForStatistics(given, request.Channels, partial), request);
}

void WriteStatisticsJson(JsonWriter& json, const RunStatistics& run, bool timing) { WriteJson(json, run, timing); }

std::string StatisticsJson(const RunStatistics& run, bool oneLine, bool timing) {
  JsonWriter j(oneLine);
  WriteJson(j, run, timing);
  return j.str();
}

std::vector<std::string> StatisticsCsvColumnNames(const std::vector<int>& channels) {
  std::vector<std::string> names;
  for (const CsvColumn& c : CsvColumns(channels)) names.push_back(c.Header);
  return names;
}

std::vector<std::string> StatisticsCsvColumnFigures(const std::vector<int>& channels) {
  std::vector<std::string> paths;
  for (const CsvColumn& c : CsvColumns(channels)) paths.push_back(c.Figure);
  return paths;
}

std::vector<std::string> StatisticsCsvCells(const std::vector<int>& channels, const RunStatistics& run) {
  std::vector<std::string> cells;
  for (const CsvColumn& c : CsvColumns(channels)) cells.push_back(c.Of(run));
  return cells;
}

std::string StatisticsCsvHeader(const std::vector<int>& channels) { return CsvLine(StatisticsCsvColumnNames(channels)); }

std::string StatisticsCsvRow(const std::vector<int>& channels, const RunStatistics& run) {
  return CsvLine(StatisticsCsvCells(channels, run));
}

}  // namespace hulvex

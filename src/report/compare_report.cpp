#include "report/compare_report.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "analysis/extremes.h"
#include "analysis/iso2631.h"
#include "analysis/statistics.h"
#include "common/check.h"
#include "common/number_format.h"
#include "report/json_writer.h"
#include "report/report_support.h"
#include "common/error.h"
#include "common/file_lookup.h"
#include "runfiles/time_history.h"

namespace hulvex {
namespace {
namespace an = analysis;

// One compared figure: its name and where a run's statistics hold it.
struct ComparedFigure {
  std::string Name;
  std::function<std::optional<double>(const WindowStatistics&)> Of;
};

std::optional<double> ValueOf(const an::Maybe<double>& v) { return v.has_value() ? std::optional(*v) : std::nullopt; }

// The one list of compared figures, in their order.
std::vector<ComparedFigure> ComparedFigures(const std::vector<int>& channels) {
  std::vector<ComparedFigure> figures;
  using Field = double an::ChannelStatistics::*;
  const std::pair<const char*, Field> channelFields[] = {{"Mean", &an::ChannelStatistics::Mean},
                                                         {"Min", &an::ChannelStatistics::Min},
                                                         {"Max", &an::ChannelStatistics::Max},
                                                         {"StdDev", &an::ChannelStatistics::StdDev},
                                                         {"Rms", &an::ChannelStatistics::Rms}};
  for (int c : channels) {
    for (const auto& [name, field] : channelFields) {
      figures.push_back({"Channels[" + std::to_string(c) + "]." + name,
                         [c, field = field](const WindowStatistics& w) -> std::optional<double> {
                           const auto row = std::find_if(w.Channels.begin(), w.Channels.end(),
                                                         [c](const auto& entry) { return entry.first == c; });
                           if (row == w.Channels.end() || !row->second.has_value()) return std::nullopt;
                           return (*row->second).*field;
                         }});
    }
  }
  using Impacts = an::ImpactStatistics;
  auto impact = [&](const char* name, std::function<std::optional<double>(const Impacts&)> of) {
    figures.push_back({std::string("Impacts.") + name, [of = std::move(of)](const WindowStatistics& w) {
                         return w.Impacts.has_value() ? of(*w.Impacts) : std::nullopt;
                       }});
  };
  impact("PeakCount", [](const Impacts& s) { return static_cast<double>(s.PeakCount); });
  impact("PeaksPerMinute", [](const Impacts& s) { return ValueOf(s.PeaksPerMinute); });
  impact("A1_3", [](const Impacts& s) { return ValueOf(s.A1_3); });
  impact("A1_10", [](const Impacts& s) { return ValueOf(s.A1_10); });
  impact("A1_100", [](const Impacts& s) { return ValueOf(s.A1_100); });
  impact("Largest", [](const Impacts& s) {
    return s.Largest.has_value() ? std::optional(s.Largest->Height) : std::nullopt;
  });
  using Extremes = an::ExtremeValues;
  auto extreme = [&](const char* name, std::function<std::optional<double>(const Extremes&)> of) {
    figures.push_back({std::string("Extremes.") + name, [of = std::move(of)](const WindowStatistics& w) {
                         return w.Extremes.has_value() ? of(*w.Extremes) : std::nullopt;
                       }});
  };
  extreme("PredictedA1_3", [](const Extremes& e) { return std::optional(e.PredictedA1_3); });
  extreme("PredictedA1_10", [](const Extremes& e) { return std::optional(e.PredictedA1_10); });
  extreme("PredictedA1_100", [](const Extremes& e) { return std::optional(e.PredictedA1_100); });
  extreme("PredictedA1_1000", [](const Extremes& e) { return std::optional(e.PredictedA1_1000); });
  extreme("MostProbableLargest", [](const Extremes& e) { return ValueOf(e.MostProbableLargest); });
  for (std::size_t k = 0; k < kMotionChannels.size(); ++k) {
    figures.push_back({"Motions[" + std::to_string(kMotionChannels[k]) + "].SignificantDoubleAmplitude",
                       [k](const WindowStatistics& w) -> std::optional<double> {
                         const auto& m = w.Motions[k].second;
                         return m.has_value() ? ValueOf(m->SignificantDoubleAmplitude) : std::nullopt;
                       }});
  }
  using Iso = an::IsoFigures;
  const std::pair<const char*, double Iso::*> isoFields[] = {
      {"WeightedRms", &Iso::WeightedRms}, {"Vdv", &Iso::Vdv}, {"Mtvv", &Iso::Mtvv}};
  for (const auto& [name, field] : isoFields) {
    figures.push_back({std::string("Iso2631.") + name, [field = field](const WindowStatistics& w) -> std::optional<double> {
                         return w.Iso.has_value() ? std::optional((*w.Iso).*field) : std::nullopt;
                       }});
  }
  return figures;
}

std::optional<double> ValueIn(const RunStatistics& run, const ComparedFigure& figure) {
  return run.Figures ? figure.Of(*run.Figures) : std::nullopt;
}

void Optional(JsonWriter& j, const char* key, const std::optional<double>& v) {
  j.Key(key);
  if (v) {
    j.Number(*v);
  } else {
    j.Null();
  }
}

std::string PercentColumnName(const std::string& run) { return "Δ% " + run; }

// The differences of Runs[k] (k >= 1): CompareFigures lists them run by run, each run's in the
// order of the figures.
std::span<const FigureDifference> DifferencesOf(const Comparison& c, std::size_t k, std::size_t figures) {
  HULVEX_ASSERT(k >= 1 && c.Differences.size() == (c.Runs.size() - 1) * figures);
  return std::span<const FigureDifference>(c.Differences).subspan((k - 1) * figures, figures);
}

// Characters of UTF-8 text (bytes that do not continue a character).
std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char ch) { return (static_cast<unsigned char>(ch) & 0xC0) != 0x80; }));
}

std::string TableNumber(const std::optional<double>& v) { return v ? FormatSignificant(*v, 6) : "n/a"; }

std::string TablePercent(const std::optional<double>& p) {
  if (!p) return "n/a";
  std::string text = FormatFixed(*p, 0, 1);
  if (*p > 0) text.insert(text.begin(), '+');
  return text;
}

}  // namespace

std::vector<std::string> ComparedFigureNames(const std::vector<int>& channels) {
  std::vector<std::string> names;
  for (const ComparedFigure& f : ComparedFigures(channels)) names.push_back(f.Name);
  return names;
}

std::optional<double> FigureValue(const WindowStatistics& w, const std::string& figure) {
  std::vector<int> channels;
  for (const auto& entry : w.Channels) channels.push_back(entry.first);
  for (const ComparedFigure& f : ComparedFigures(channels)) {
    if (f.Name == figure) return f.Of(w);
  }
  return std::nullopt;
}

std::optional<double> PercentDifference(std::optional<double> reference, std::optional<double> value) {
  if (!reference || !value || *reference == 0) return std::nullopt;
  return 100 * (*value - *reference) / std::abs(*reference);
}

std::vector<FigureDifference> CompareFigures(const RunStatistics& reference, const std::vector<RunStatistics>& others,
                                             const std::vector<int>& channels) {
  const std::vector<ComparedFigure> figures = ComparedFigures(channels);
  std::vector<FigureDifference> out;
  for (const RunStatistics& run : others) {
    for (const ComparedFigure& f : figures) {
      FigureDifference d{run.Run, f.Name, ValueIn(reference, f), ValueIn(run, f), std::nullopt, std::nullopt};
      if (d.Reference && d.Value) d.Difference = *d.Value - *d.Reference;
      d.Percent = PercentDifference(d.Reference, d.Value);
      out.push_back(std::move(d));
    }
  }
  return out;
}

std::optional<TimeSpan> CommonSpan(std::span<const TimeSpan> spans) {
  if (spans.empty()) return std::nullopt;
  TimeSpan common = spans.front();
  for (const TimeSpan& s : spans) {
    common.First = std::max(common.First, s.First);
    common.Last = std::min(common.Last, s.Last);
  }
  if (!(common.First <= common.Last)) return std::nullopt;
  return common;
}

std::string ComparisonJson(const Comparison& c) {
  HULVEX_ASSERT(!c.Runs.empty());
  JsonWriter j;
  j.BeginObject();
  j.Key("Reference").String(c.Runs.front().Run);
  j.Key("From").Number(c.From);
  j.Key("To").Number(c.To);
  j.Key("Runs").BeginArray();
  for (const RunStatistics& run : c.Runs) WriteStatisticsJson(j, run, false);
  j.EndArray();
  j.Key("Differences").BeginArray();
  for (const FigureDifference& d : c.Differences) {
    j.BeginObject();
    j.Key("Run").String(d.Run);
    j.Key("Figure").String(d.Figure);
    Optional(j, "Reference", d.Reference);
    Optional(j, "Value", d.Value);
    Optional(j, "Difference", d.Difference);
    Optional(j, "Percent", d.Percent);
    j.EndObject();
  }
  j.EndArray();
  j.EndObject();
  return j.str();
}

std::string ComparisonCsv(const Comparison& c) {
  std::string out = StatisticsCsvHeader(c.Channels);
  for (const RunStatistics& run : c.Runs) out += StatisticsCsvRow(c.Channels, run);
  const std::vector<std::string> columnFigures = StatisticsCsvColumnFigures(c.Channels);
  const std::size_t figures = ComparedFigureNames(c.Channels).size();
  for (std::size_t k = 1; k < c.Runs.size(); ++k) {
    const std::span<const FigureDifference> differences = DifferencesOf(c, k, figures);
    std::vector<std::string> cells(columnFigures.size());
    cells.front() = PercentColumnName(c.Runs[k].Run);
    for (std::size_t i = 1; i < columnFigures.size(); ++i) {
      const auto d = std::find_if(differences.begin(), differences.end(),
                                  [&](const FigureDifference& fd) { return fd.Figure == columnFigures[i]; });
      if (d != differences.end() && d->Percent) cells[i] = FormatSignificant(*d->Percent, 9);
    }
    out += CsvLine(cells);
  }
  return out;
}

std::string ComparisonTable(const Comparison& c) {
  HULVEX_ASSERT(!c.Runs.empty());
  const std::vector<ComparedFigure> figures = ComparedFigures(c.Channels);
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> header{"Figure"};
  for (const RunStatistics& run : c.Runs) header.push_back(run.Run);
  for (std::size_t k = 1; k < c.Runs.size(); ++k) header.push_back(PercentColumnName(c.Runs[k].Run));
  rows.push_back(std::move(header));
  for (std::size_t f = 0; f < figures.size(); ++f) {
    std::vector<std::string> row{figures[f].Name};
    for (const RunStatistics& run : c.Runs) row.push_back(TableNumber(ValueIn(run, figures[f])));
    for (std::size_t k = 1; k < c.Runs.size(); ++k) row.push_back(TablePercent(DifferencesOf(c, k, figures.size())[f].Percent));
    rows.push_back(std::move(row));
  }
  std::vector<std::size_t> widths(rows.front().size(), 0);
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));
  }
  std::string out = "Reference " + c.Runs.front().Run + ", from " + FormatSeconds(c.From) + " to " + FormatSeconds(c.To) + "\n";
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      const std::string pad(widths[i] - Width(row[i]), ' ');
      line += i == 0 ? row[i] + pad : "  " + pad + row[i];
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + '\n';
  }
  return out;
}

namespace {

// The window of the comparison: the bounds given, each bound not given taken from the span every
// run covers (spans[i] that of runs[i]). Throws Error when that span is needed and empty, or the
// window is empty.
std::pair<double, double> ChooseWindow(const std::vector<std::string>& runs, const std::vector<TimeSpan>& spans,
                                       double from, double to) {
  const std::optional<TimeSpan> common = CommonSpan(spans);
  if (std::isinf(from) || std::isinf(to)) {
    if (!common) {
      const auto latestStart = std::max_element(spans.begin(), spans.end(), [](auto& a, auto& b) { return a.First < b.First; });
      const auto earliestEnd = std::min_element(spans.begin(), spans.end(), [](auto& a, auto& b) { return a.Last < b.Last; });
      throw Error("The runs share no time: " + runs[static_cast<std::size_t>(latestStart - spans.begin())] +
                  " starts at " + FormatSeconds(latestStart->First) + ", after " +
                  runs[static_cast<std::size_t>(earliestEnd - spans.begin())] + " ends at " +
                  FormatSeconds(earliestEnd->Last));
    }
    if (std::isinf(from)) from = common->First;
    if (std::isinf(to)) to = common->Last;
  }
  if (from > to) {
    throw Error("The window from " + FormatSeconds(from) + " to " + FormatSeconds(to) + " is empty (the runs share " +
                (common ? FormatSeconds(common->First) + " to " + FormatSeconds(common->Last) : std::string("no time")) + ")");
  }
  return {from, to};
}

// The span of each run as its first and last step give it, read from those two steps alone;
// nothing when a run's span cannot be peeked.
std::optional<std::vector<TimeSpan>> PeekedSpans(const std::vector<std::string>& runs) {
  std::vector<TimeSpan> spans;
  for (const std::string& run : runs) {
    const auto span = PeekStepTimeSpan(RunPathOf(run));
    if (!span) return std::nullopt;
    spans.push_back({span->first, span->second});
  }
  return spans;
}

// How a run's open went: its messages, why it failed, and the span of the step times read
// (absent when the open failed or found no step).
struct OpenOutcome {
  std::string Run, Error;
  std::vector<std::string> Messages;
  bool Opened = false;
  std::optional<TimeSpan> Span;
};

OpenOutcome OutcomeOf(const OpenedRun& o) {
  OpenOutcome r{o.Run, o.Error, o.Messages, o.Loaded != nullptr, {}};
  if (o.Loaded && !o.StepTimes().empty()) r.Span = TimeSpan{o.StepTimes().front(), o.StepTimes().back()};
  return r;
}

// Passes every run's messages to `diag` and each run that failed to open or holds no step to
// `failure`, in order. True when no run failed.
bool ReportOpens(const std::vector<OpenOutcome>& runs, Diagnostics& diag, const std::function<void(const std::string&)>& failure) {
  bool ok = true;
  for (const OpenOutcome& o : runs) {
    for (const std::string& m : o.Messages) diag.Message("compare-run", o.Run + ": " + m);
    if (!o.Opened) {
      failure(o.Run + ": " + o.Error);
    } else if (!o.Span) {
      failure(o.Run + ": its history holds no step");
    } else {
      continue;
    }
    ok = false;
  }
  return ok;
}

// The runs' opens and, once the window is chosen, their figures over it.
struct Computed {
  std::vector<OpenOutcome> Opens;
  std::vector<RunStatistics> Figures;
  StatisticsRequest Window;
};

// Each run opened and computed over the window of the peeked spans in one task on the worker
// threads, as `stats` does, its series freed once its figures are computed. Nothing when a span
// cannot be peeked, the peeked spans give no window, or a run opened has step times that span other
// than was peeked (its file changed meanwhile): the window is then to be chosen from the step times
// read.
std::optional<Computed> ComputeOverPeekedWindow(const std::vector<std::string>& runs, const StatisticsRequest& window) {
  const std::optional<std::vector<TimeSpan>> peeked = PeekedSpans(runs);
  if (!peeked) return std::nullopt;
  Computed c{{}, {}, window};
  try {
    std::tie(c.Window.From, c.Window.To) = ChooseWindow(runs, *peeked, window.From, window.To);
  } catch (const Error&) {
    return std::nullopt;  // the runs' own failures, if any, are to be reported first
  }
  auto both = InParallel<std::pair<OpenOutcome, RunStatistics>>(runs.size(), [&](std::size_t i) {
    const OpenedRun o = OpenRunForStatistics(runs[i], c.Window.Channels);
    return std::pair{OutcomeOf(o), StatisticsOfOpenedRun(o, c.Window)};
  });
  for (std::size_t i = 0; i < both.size(); ++i) {
    const OpenOutcome& o = both[i].first;
    const TimeSpan& p = (*peeked)[i];
    if (o.Opened && !(o.Span && o.Span->First == p.First && o.Span->Last == p.Last)) return std::nullopt;
    c.Opens.push_back(std::move(both[i].first));
    c.Figures.push_back(std::move(both[i].second));
  }
  return c;
}

}  // namespace

std::optional<Comparison> CompareRunFiles(const std::vector<std::string>& runs, const StatisticsRequest& window,
                                          Diagnostics& diag, const std::function<void(const std::string&)>& failure) {
  HULVEX_ASSERT(!runs.empty());
  const std::size_t count = runs.size();
  std::optional<Computed> computed = ComputeOverPeekedWindow(runs, window);
  // Without it every run is opened and held, and the window chosen from the step times read.
  std::vector<OpenedRun> held;
  if (!computed) {
    held = InParallel<OpenedRun>(count, [&](std::size_t i) { return OpenRunForStatistics(runs[i], window.Channels); });
    computed = Computed{{}, {}, window};
    for (const OpenedRun& o : held) computed->Opens.push_back(OutcomeOf(o));
  }
  if (!ReportOpens(computed->Opens, diag, failure)) return std::nullopt;
  StatisticsRequest& chosen = computed->Window;
  if (!held.empty()) {
    std::vector<TimeSpan> spans;
    for (const OpenOutcome& o : computed->Opens) spans.push_back(*o.Span);
    std::tie(chosen.From, chosen.To) = ChooseWindow(runs, spans, window.From, window.To);
    computed->Figures = InParallel<RunStatistics>(count, [&](std::size_t i) { return StatisticsOfOpenedRun(held[i], chosen); });
  }

  Comparison c{chosen.Channels, chosen.From, chosen.To, std::move(computed->Figures), {}};
  bool failed = false;
  for (const RunStatistics& r : c.Runs) {
    if (!r.Figures) failure(r.Run + ": " + r.Error);
    failed = failed || !r.Figures;
  }
  if (failed) return std::nullopt;
  c.Differences = CompareFigures(c.Runs.front(), {c.Runs.begin() + 1, c.Runs.end()}, c.Channels);
  return c;
}

}  // namespace hulvex

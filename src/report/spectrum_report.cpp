#include "report/spectrum_report.h"

#include <cstdint>
#include <utility>

#include "common/diagnostics.h"
#include "common/file_lookup.h"
#include "hull/hull_model.h"
#include "report/json_figures.h"
#include "report/json_writer.h"
#include "report/report_support.h"
#include "run/channel_series.h"
#include "run/loaded_run.h"
#include "runfiles/channel_vocabulary.h"
#include "sea/sea_model.h"

namespace hulvex {
namespace {
namespace an = analysis;

// Opens the run with its boat and sea and computes the spectra. Throws Error as
// SpectraOfRunFile documents.
void ComputeRun(const SpectraRequest& req, const std::vector<std::string>& dataDirs, Diagnostics& diag,
                RunSpectra& out) {
  LoadedRun run;
  OpenRunForWindow(run, out.Run, req.Channels, {kChDistance}, diag);
  SpectraInput input;
  input.Steps = HeldSteps(run);
  if (LoadBoat(run.Hull, run.Params, DirectoryOf(run.RunPath), dataDirs, diag)) {
    input.Sea = SeaSetUp(run.Params, diag);
    input.Lcg = static_cast<double>(run.Hull.PB.LCG);
  } else {
    input.NoWaveReason = "the boat file " + run.Hull.MissingBoatFile + " (whose LCG places the wave) was not found";
  }
  WindowSpectra w = ComputeWindowSpectra(input, req);
  CheckWindowHasSteps(run, w.Window.Count(), w.From, w.To);
  for (const Diagnostic& d : w.Messages) diag.Report(d);
  out.Figures = std::move(w);
}

// An array of numbers, or of numbers and nulls.
void Numbers(JsonWriter& j, const std::vector<double>& values) {
  j.BeginArray();
  for (double v : values) j.Number(v);
  j.EndArray();
}
void Numbers(JsonWriter& j, const std::vector<std::optional<double>>& values) {
  j.BeginArray();
  for (const auto& v : values) v ? j.Number(*v) : j.Null();
  j.EndArray();
}

std::string JsonOf(const RunSpectra& o, bool oneLine) {
  JsonWriter j(oneLine);
  if (!BeginRunJson(j, o)) return j.str();
  const WindowSpectra& f = *o.Figures;
  if (f.Layout.has_value()) {
    const SpectrumLayout& l = *f.Layout;
    j.Key("SampleInterval").Number(l.SampleInterval);
    j.Key("Resampled").Bool(l.Resampled);
    j.Key("SegmentSamples").Integer(static_cast<std::int64_t>(l.SegmentSamples));
    j.Key("Segments").Integer(static_cast<std::int64_t>(l.Segments));
    j.Key("Frequencies");
    Numbers(j, l.Frequencies);
  } else {
    for (const char* key : {"SampleInterval", "Resampled", "SegmentSamples", "Segments", "Frequencies"}) j.Key(key).Null();
    j.Key("SpectrumReason").String(f.Layout.Reason);
  }

  j.Key("Channels").BeginArray();
  for (const auto& [c, s] : f.Channels) {
    j.BeginObject();
    const ChannelInfo info = ChannelInfoOf(c);
    j.Key("Channel").Integer(c);
    j.Key("Name").String(info.Name);
    j.Key("Unit").String(info.Unit);
    if (s.has_value()) {
      const an::SpectralFigures& g = s->Figures;
      j.Key("Psd");
      Numbers(j, s->Psd);
      j.Key("M0").Number(g.M0);
      j.Key("M1").Number(g.M1);
      j.Key("M2").Number(g.M2);
      j.Key("M4").Number(g.M4);
      j.Key("SignificantDoubleAmplitude").Number(g.SignificantDoubleAmplitude);
      WriteFigure(j, "Tz", g.Tz);
      WriteFigure(j, "Tp", g.Tp);
      WriteFigure(j, "Bandwidth", g.Bandwidth);
    } else {
      for (const char* key : {"Psd", "M0", "M1", "M2", "M4", "SignificantDoubleAmplitude", "Tz", "Tp", "Bandwidth"}) {
        j.Key(key).Null();
      }
      j.Key("Reason").String(s.Reason);
    }
    j.EndObject();
  }
  j.EndArray();

  WriteBlock(j, "Wave", f.Wave, [&](const SeriesSpectrum& s) {
    j.BeginObject();
    j.Key("Psd");
    Numbers(j, s.Psd);
    j.Key("M0").Number(s.Figures.M0);
    j.Key("SignificantHeight").Number(s.Figures.SignificantDoubleAmplitude);
    WriteFigure(j, "Tz", s.Figures.Tz);
    WriteFigure(j, "Tp", s.Figures.Tp);
    j.EndObject();
  });

  j.Key("TransferFunctions").BeginArray();
  for (const auto& [c, t] : f.Transfers) {
    j.BeginObject();
    j.Key("Channel").Integer(c);
    j.Key("Unit").String(ChannelInfoOf(c).Unit + "/ft");
    if (t.has_value()) {
      j.Key("Gain");
      Numbers(j, t->Gain);
      j.Key("PhaseDeg");
      Numbers(j, t->PhaseDeg);
      j.Key("Coherence");
      Numbers(j, t->Coherence);
    } else {
      for (const char* key : {"Gain", "PhaseDeg", "Coherence"}) j.Key(key).Null();
      j.Key("Reason").String(t.Reason);
    }
    j.EndObject();
  }
  j.EndArray();
  j.EndObject();
  return j.str();
}

// CSV -------------------------------------------------------------------------------------------

std::vector<std::string> Columns(const std::vector<int>& channels) {
  std::vector<std::string> names{"Run", "Frequency_Hz"};
  for (int c : channels) names.push_back("ch" + std::to_string(c) + "_Psd_" + ChannelInfoOf(c).Unit + "2/Hz");
  names.push_back("Wave_Psd_ft2/Hz");
  for (int c : channels) {
    const std::string prefix = "ch" + std::to_string(c) + "_";
    names.push_back(prefix + "Gain_" + ChannelInfoOf(c).Unit + "/ft");
    names.push_back(prefix + "PhaseDeg");
    names.push_back(prefix + "Coherence");
  }
  names.push_back("Error");
  return names;
}

std::string Cell(const std::optional<double>& v) { return v ? ReportNumber(*v) : std::string(); }

}  // namespace

RunSpectra SpectraOfRunFile(const std::string& given, const SpectraRequest& request,
                            const std::vector<std::string>& dataDirs) {
  return ReportOfRun<RunSpectra>(given, [&](Diagnostics& diag, RunSpectra& out) { ComputeRun(request, dataDirs, diag, out); });
}

std::string SpectraJson(const RunSpectra& run, bool oneLine) { return JsonOf(run, oneLine); }

std::string SpectraCsvHeader(const std::vector<int>& channels) { return CsvLine(Columns(channels)); }

std::string SpectraCsvRows(const std::vector<int>& channels, const RunSpectra& run) {
  const std::size_t width = Columns(channels).size();
  auto failed = [&](const std::string& error) {
    std::vector<std::string> cells(width);
    cells.front() = run.Run;
    cells.back() = error;
    return CsvLine(cells);
  };
  if (!run.Figures) return failed(run.Error);
  const WindowSpectra& f = *run.Figures;
  if (!f.Layout.has_value()) return failed(f.Layout.Reason);
  std::string rows;
  for (std::size_t k = 0; k < f.Layout->Frequencies.size(); ++k) {
    std::vector<std::string> cells{run.Run, ReportNumber(f.Layout->Frequencies[k])};
    for (const auto& [c, s] : f.Channels) cells.push_back(s.has_value() ? ReportNumber(s->Psd[k]) : "");
    cells.push_back(f.Wave.has_value() ? ReportNumber(f.Wave->Psd[k]) : "");
    for (const auto& [c, t] : f.Transfers) {
      for (auto member : {&an::TransferFunction::Gain, &an::TransferFunction::PhaseDeg, &an::TransferFunction::Coherence}) {
        cells.push_back(t.has_value() ? Cell(((*t).*member)[k]) : "");
      }
    }
    cells.push_back("");
    rows += CsvLine(cells);
  }
  return rows;
}

}  // namespace hulvex

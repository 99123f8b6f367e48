// spectrum: Welch spectra of channels, the wave met at the centre of gravity and the transfer
// functions from it, of one run or many (report/spectrum_report.h computes and writes them). Runs
// are computed in parallel, each on its own data; results are written in argument order.
#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

#include "analysis/spectrum.h"
#include "cli/cli_support.h"
#include "common/file_lookup.h"
#include "report/spectrum_report.h"
#include "run/window_spectra.h"

namespace hulvex::cli {
namespace {

struct SpectrumOptions {
  std::vector<std::string> Runs;
  SpectraRequest Request;
  bool Csv = false;
};

int Spectrum(const SpectrumOptions& o, std::ostream& out, Diagnostics& diag, std::ostream& err) {
  const std::size_t count = o.Runs.size();
  const bool oneLine = count > 1;
  const std::string programDir = ProgramDirectory();
  const std::vector<std::string> dataDirs{programDir, SharedDataDirectory(programDir)};
  if (o.Csv) out << SpectraCsvHeader(o.Request.Channels);
  bool failed = false;
  ComputeInParallel(
      count, [&](std::size_t i) { return SpectraOfRunFile(o.Runs[i], o.Request, dataDirs); },
      [&](std::size_t, const RunSpectra& r) {
        for (const std::string& m : r.Messages) diag.Message("spectrum-run", oneLine ? r.Run + ": " + m : m);
        if (!r.Figures) ReportError(err, r.Run + ": " + r.Error);
        out << (o.Csv ? SpectraCsvRows(o.Request.Channels, r) : SpectraJson(r, oneLine));
        out.flush();
        failed = failed || !r.Figures;
      });
  return failed ? 1 : 0;
}

}  // namespace

void RegisterSpectrumCommand(Tool& tool) {
  auto o = std::make_shared<SpectrumOptions>();
  CLI::App* cmd = AddCommand(
      tool, "spectrum",
      "Welch spectra of channels, of the wave met at the centre of gravity and the transfer functions from it, "
      "as JSON (Lines) or CSV",
      [=, &tool] {
        const SpectraRequest& r = o->Request;
        if (std::isnan(r.From) || std::isnan(r.To)) throw CLI::ValidationError("--from/--to", "not a number");
        if (r.From > r.To) throw CLI::ValidationError("--from", "is after --to");
        if (r.SegmentSamples != 0 && !analysis::IsSegmentLength(r.SegmentSamples)) {
          throw CLI::ValidationError("--segment", "must be a power of two of at least 16, not " +
                                                      std::to_string(r.SegmentSamples));
        }
        return CommandBody(
            [=, &tool](std::istream&, std::ostream& out, Diagnostics& d) { return Spectrum(*o, out, d, *tool.errors); });
      });
  cmd->add_option("RUN", o->Runs, "The runs' .HVX files, or their paths without extension")->required();
  cmd->add_option("--from", o->Request.From, "Start of the time window, s (default: the first step)");
  cmd->add_option("--to", o->Request.To, "End of the time window, s (default: the last step)");
  cmd->add_option("--channels", o->Request.Channels, "Channels to analyse (default 0,3,2)")
      ->delimiter(',')
      ->check(CLI::Range(0, time_history_layout::kMaxChannels - 1));
  cmd->add_option("--segment", o->Request.SegmentSamples,
                  "Samples per Welch segment, a power of two of at least 16 (default: the largest power of two "
                  "not above an eighth of the window's samples, 64 to 16384)");
  cmd->add_flag("--csv", o->Csv, "CSV rows, one per frequency, instead of JSON");
}

}  // namespace hulvex::cli

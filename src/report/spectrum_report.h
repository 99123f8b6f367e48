// The spectra of a run as the tool gives them: one run file opened and its spectra computed over a
// window (ComputeWindowSpectra), written as JSON or as CSV rows, one per frequency. The JSON object
// and the CSV columns are defined here once.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run/window_spectra.h"

namespace hulvex {

// What one run gave: its spectra, or the error that stopped it, and its messages.
struct RunSpectra {
  std::string Run;                       // the run as the user named it
  std::optional<WindowSpectra> Figures;  // absent when the run failed
  std::string Error;                     // why the run failed; empty when it did not
  std::vector<std::string> Messages;     // from reading the run and its boat, and the sea's, in order
};

// Opens `given` (the ".HVX" path, or the run path without extension) reading the requested
// channels and channel 6, the boat file (for its LCG; looked up in the run's directory, then in
// `dataDirs`) and the sea, and computes the spectra over [request.From, request.To]. A boat file
// not found leaves no wave (the reason names the file). Never throws for a fault of the run: a run
// that cannot be read, a requested channel it does not store, step times out of order or no step
// in the window give Figures empty and Error set. Thread-safe: each call reads its own files.
RunSpectra SpectraOfRunFile(const std::string& given, const SpectraRequest& request,
                            const std::vector<std::string>& dataDirs);

// The spectra as one JSON object: Run, From, To, SampleInterval, Resampled, SegmentSamples,
// Segments, Frequencies, Channels, Wave, TransferFunctions (Run and Error for a failed run);
// missing values are null with a reason. `oneLine`: the object on one line (JSON Lines).
std::string SpectraJson(const RunSpectra& run, bool oneLine);

// The CSV header line for the requested `channels`, and a run's rows: one per frequency (Run,
// Frequency_Hz, each channel's density, the wave's, each transfer function's gain, phase and
// coherence, Error), or one row with Run and Error when the run failed or has no spectrum. Each
// line ends with a newline; values missing at a frequency are empty cells; numbers at 9
// significant digits.
std::string SpectraCsvHeader(const std::vector<int>& channels);
std::string SpectraCsvRows(const std::vector<int>& channels, const RunSpectra& run);

}  // namespace hulvex

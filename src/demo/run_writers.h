// Writers of run files, for tests, benchmarks, fuzz seeds and the demo generator.
// They write exactly the layouts the readers decode; faults are made on request. A file that
// cannot be written throws Error "cannot write PATH".
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "runfiles/run_parameters.h"
#include "runfiles/time_history.h"

namespace hulvex::demo {

// A run parameter record with sensible values: current layout, thrust specified, a sinusoidal
// head sea of 2 ft at steepness 1/20, 40 stations, boat file "C:\BOATS\TEST.BOT".
RunParameters SampleRunParameters();

// The 328 bytes of the current layout: p.Raw with every named field of p written over it.
// SpeedSpecified is derived, not stored.
std::vector<std::uint8_t> EncodeRunParameters(const RunParameters& p);

// The 328 bytes of the old layout: the boat-file string at 0, padding bytes at 86 and 87
// (written as `padding`), then bytes 88 ... 327 of the current layout. FmtVer and DOFMode are
// not stored. The boat-file length byte must stay at most 87 for a reader to see the old layout.
std::vector<std::uint8_t> EncodeRunParametersOldLayout(const RunParameters& p, std::uint8_t padding = 0);

enum class RunLayout { Current, Old };
void WriteRunParametersFile(const std::string& path, const RunParameters& p, RunLayout layout = RunLayout::Current);

// What a time-history file holds. Step values come from `values`, called once per step in order
// with the step number and a buffer of LastChannel + 1 channels to fill (all 0 on entry); it
// returns the step's time. Without it, step s has time StartTime + s * 0.01 and channel c holds
// s + c / 100.
struct HistorySpec {
  std::int16_t Magic = time_history_layout::kExpectedMagic;
  std::int16_t LastChannel = 11;
  double StartTime = 0.0;
  double EndTime = 1.0;
  std::string HeaderText = "HULVEX TIME HISTORY";
  std::int32_t Steps = 101;                      // steps written
  std::optional<std::int32_t> LastStepInHeader;  // default: Steps - 1
  std::map<std::int32_t, std::int32_t> StepIndexOverride;  // step -> stored StepIndex
  std::function<double(std::int32_t step, std::span<float> channels)> values;
};

// Step values of a boat planing at `speed` ft/s, surging by `surge` ft/s at 0.5 rad/s: CG 0.4 ft
// above mean sea level, pitch 0.06 rad, channel 6 the distance run, channel 8 above every
// threshold (no local surface term). Step s is at s x dt.
std::function<double(std::int32_t step, std::span<float> channels)> SteadyPlaning(double dt, double speed = 45.0,
                                                                                  double surge = 0.0);

// Writes the header and the steps; records are written whole (unused bytes 0).
void WriteTimeHistoryFile(const std::string& path, const HistorySpec& spec);

// Writes a time history as a simulator does while it runs: the header first (with the LastStep
// its HistorySpec gives), then the steps one at a time, each appended whole and flushed, so that a
// reader sees the file grow. Throws Error "cannot write PATH" when a write fails.
class GrowingHistoryWriter {
public:
  // Creates (or empties) `path` and writes the header.
  GrowingHistoryWriter(const std::string& path, HistorySpec spec);
  ~GrowingHistoryWriter();
  GrowingHistoryWriter(const GrowingHistoryWriter&) = delete;
  GrowingHistoryWriter& operator=(const GrowingHistoryWriter&) = delete;
  // Appends the next `n` steps (fewer at the end); returns how many were written.
  std::int32_t Append(std::int32_t n = 1);
  std::int32_t Written() const { return written_; }
  bool Done() const { return written_ >= spec_.Steps; }

private:
  std::string path_;
  HistorySpec spec_;
  std::int32_t written_ = 0;
  std::FILE* file_ = nullptr;
};

// Writes a whole text file as given (no line-end conversion).
void WriteTextFile(const std::string& path, const std::string& text);

// A complete run in `dir` named `name`: ".HVX", ".TTS" and ".TXT". Returns the run path without
// extension.
std::string WriteSampleRun(const std::string& dir, const std::string& name, const RunParameters& p,
                           const HistorySpec& history, const std::string& description = "Sample run.\r\n");

}  // namespace hulvex::demo

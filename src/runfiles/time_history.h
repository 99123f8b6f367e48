// The run's time-history file (".TTS"): the boat's motion at every stored time step.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/constants.h"
#include "common/diagnostics.h"
#include "common/read_only_file.h"
#include "runfiles/time_history_layout.h"

namespace hulvex {

struct HistoryHeader {
  std::int16_t Magic = 0;
  std::int16_t LastChannel = 0;
  double StartTime = 0;
  double EndTime = 0;
  std::string HeaderText;  // 8-bit text as stored, at most 31 characters
  std::int32_t LastStep = -1;
};

// The time and channel values of one step. Channels beyond LastChannel are 0.
struct StepValues {
  double StepTime = 0;
  std::array<float, time_history_layout::kMaxChannels> Channels{};
};

// Channel numbers used across the program.
enum Channel : int {
  kChHeight = 0,         // height of the centre of gravity above mean sea level, ft
  kChAcceleration = 2,   // vertical acceleration, ft/s^2 (g when converted)
  kChPitch = 3,          // pitch, rad (degrees when converted)
  kChDistance = 6,       // distance along the course, ft
  kChSpeed = 7,          // speed, ft/s (knots when converted)
  kChSurfaceGain = 8,    // gain of the local surface term
  kChSurfaceStart = 9,   // start of the local surface term
  kChSurfaceEnd = 10,    // end of the local surface term
};

// The display conversions of ReadStep with convert = true are the factors of the channel
// vocabulary (runfiles/channel_vocabulary.h).

// An open time history: the open file, its header and the in-memory index of step times.
// Only StepTimes (8 bytes per step) is held in memory; steps are read from the file on demand.
struct TimeHistory {
  bool IsOpen = false;
  HistoryHeader Header;
  std::int16_t RecordsPerStep = 0;
  // StepTimes[s] is the time of step s for every step the file holds completely. Its size is
  // LastStep + 1, or fewer when the file is truncated.
  std::vector<double> StepTimes;
  std::string HistoryPath;   // the run path without extension; empty when no history is open
  std::string RunFileName;   // its last component, at most 31 characters
  std::string FilePath;      // the ".TTS" file actually opened
  bool SpeedSpecified = false;  // of the run parameters the history was opened with
  // Opened with HistoryStepRule::Present (a run still being written), so ExtendTimeHistory may
  // add the steps written since.
  bool Following = false;
  std::uint64_t SizeSeen = 0;   // the file's size when its steps were last counted
  ReadOnlyFile File;

  // Number of readable steps (0 when closed); the last readable step is StepCount() - 1.
  std::int32_t StepCount() const { return static_cast<std::int32_t>(StepTimes.size()); }
};

// One channel's raw value at every readable step, single precision (4 bytes a step).
struct ChannelSeries {
  int Channel = 0;
  std::vector<float> Values;  // Values[s]: channel Channel of step s, raw
};

enum class HistoryOpenResult {
  Opened,   // indexed; step 0 was read once (its step number checked)
  Missing,  // the file could not be opened; "No file" (and its path) was reported
  Refused,  // the header was refused (wrong magic, channel count, no steps); the reason was reported
};

// Which steps an open counts.
enum class HistoryStepRule {
  // Steps 0 ... LastStep; a file holding fewer is truncated (reported, the complete steps kept),
  // a negative LastStep refused.
  Announced,
  // The steps of a run still being written: the whole steps present, at most LastStep + 1 when
  // LastStep is not negative (a negative LastStep means not known yet), less a trailing run of
  // steps whose StepIndex differs from their position (reserved, not yet filled). Nothing is
  // reported for the steps not yet there.
  Present,
};

// The whole steps the file of `header` holds at `fileSize` bytes, whatever LastStep says.
std::int64_t WholeStepsInFile(const HistoryHeader& header, std::uint64_t fileSize);

// Opens runPath + ".TTS" (the extension found case-insensitively beside the run), checks the header,
// builds StepTimes and reads step 0 with conversion. Any history open before is closed first; on
// any result but Opened the history is left closed. `speedSpecified` is that of the run parameters
// (it selects the conversion of channel 8). Messages go to `diag`: "No file\nPATH", "OLD KVR FILE
// FORMAT, MUST CONVERT", refusals of LastChannel and LastStep, a truncated file (the open succeeds
// with the complete steps found) and the step-number check of step 0.
// Throws Error "Read beyond end of file: PATH" when the file is shorter than its header.
// `collect`, when given, is filled in the same pass that builds StepTimes: each entry's Values get
// its Channel's raw value at every indexed step (0 for a channel the steps do not store), and
// every step's number is checked as ReadStep checks it (mismatches reported in step order). The
// file is then read once in all, a long history in parts on up to four threads. On any result but
// Opened the entries are left empty.
// With HistoryStepRule::Present the steps are counted as that rule says (Refused, "holds no time
// steps yet", while there is none) and the history is Following.
HistoryOpenResult OpenTimeHistory(TimeHistory& history, const std::string& runPath, bool speedSpecified,
                                  Diagnostics& diag, std::span<ChannelSeries> collect = {},
                                  HistoryStepRule rule = HistoryStepRule::Announced);

// What ExtendTimeHistory found.
enum class HistoryGrowth {
  Same,     // no new step
  Grew,     // steps were added
  Changed,  // not growth: the file shrank, its header's Magic, LastChannel, StartTime or EndTime
            // changed, LastStep fell below the steps read, or the last step read changed its time
};
struct HistoryExtension {
  HistoryGrowth Growth = HistoryGrowth::Same;
  std::int32_t StepsBefore = 0;
  std::string Reason;  // for Changed: what changed, in plain words
};

// Adds to a Following history the steps written since they were last counted (the Present rule),
// reading only those: their times are appended to StepTimes, and each entry of `collect` gets
// the new steps' raw values of its Channel appended to its Values (0 for a channel the steps do
// not store). Misnumbered steps among them are reported as ReadStep reports them. A LastStep set
// or moved in the header is taken. On Changed nothing of the history is changed; the caller opens
// the run anew. Throws Error when the history is not open or not Following, or the file cannot be
// read ("Read beyond end of file: PATH"); the steps read before are then kept.
HistoryExtension ExtendTimeHistory(TimeHistory& history, std::span<ChannelSeries> collect, Diagnostics& diag);

// The times of the first and the last step OpenTimeHistory(runPath) would index, read from those
// two steps alone (a few bytes each): the same file, header checks and count of complete steps,
// so for a file nobody changes meanwhile they equal StepTimes.front() and StepTimes.back() of an
// open that succeeds. Nothing when the file is missing, shorter than its header, refused or holds
// no complete step. Never throws and reports nothing.
std::optional<std::pair<double, double>> PeekStepTimeSpan(const std::string& runPath) noexcept;

// The steps OpenTimeHistory(runPath) with HistoryStepRule::Present would index now; 0 when the
// file is missing, shorter than its header or refused. Never throws and reports nothing.
std::int64_t CountStepsPresent(const std::string& runPath) noexcept;

// A second, independent handle on the history `open` has open, for reading it on another thread:
// the same file opened once more, the same header, paths and step count, and a copy of the step
// times (8 bytes a step), so that closing or reopening `open` leaves the result untouched.
// Nothing is read from the file. Throws Error when `open` is not open or its file cannot be
// opened again ("File not found: PATH").
TimeHistory ReopenTimeHistory(const TimeHistory& open);

// Reads step s (0 <= s < StepCount()) directly from the file, one positioned read. A stored step number that differs
// from s is reported as "KVR JT ERROR!<stored> <s>" and the values are used all the same. With
// `convert` the display conversions are applied to channels 2, 3, 7 and, unless SpeedSpecified,
// 8. Throws Error when no history is open, s is outside the readable steps, or the file has
// been shortened since it was opened ("Read beyond end of file: PATH").
StepValues ReadStep(const TimeHistory& history, std::int32_t s, bool convert, Diagnostics& diag);

// Channels `channels` of every readable step, raw, read in one sequential pass: result[k][s] is
// channel channels[k] of step s (0 for a channel the steps do not store). Step-number mismatches
// are reported as by ReadStep. Throws Error when no history is open or the file has been
// shortened since it was opened.
std::vector<std::vector<float>> ReadChannelSeries(const TimeHistory& history, std::span<const int> channels,
                                                  Diagnostics& diag);

// Closes the file and frees the index; the history is then as a default-constructed one.
void CloseTimeHistory(TimeHistory& history);

}  // namespace hulvex

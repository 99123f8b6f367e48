#include "runfiles/time_history.h"

#include <algorithm>
#include <array>
#include <span>

#include "common/error.h"
#include "common/file_lookup.h"
#include "common/le_bytes.h"

namespace hulvex {
namespace L = time_history_layout;

namespace {

constexpr std::size_t kRunFileNameMax = 31;

HistoryHeader DecodeHeader(le::Bytes record) {
  HistoryHeader h;
  h.Magic = le::int16(record, L::kMagic);
  h.LastChannel = le::int16(record, L::kLastChannel);
  h.StartTime = le::real64(record, L::kStartTime);
  h.EndTime = le::real64(record, L::kEndTime);
  h.HeaderText = le::LengthPrefixed(record, L::kHeaderText, L::kHeaderTextCapacity);
  h.LastStep = le::int32(record, L::kLastStep);
  return h;
}

// Fills StepTimes with the time of each of the first `count` steps, reading the file in large
// sequential chunks of whole steps.
void IndexStepTimes(TimeHistory& history, std::int64_t count) {
  const std::size_t stepBytes = L::kRecordSize * static_cast<std::size_t>(history.RecordsPerStep);
  constexpr std::size_t kChunkBytes = 1 << 20;
  const std::size_t stepsPerChunk = std::max<std::size_t>(1, kChunkBytes / stepBytes);
  std::vector<std::uint8_t> chunk(stepsPerChunk * stepBytes);
  history.StepTimes.resize(static_cast<std::size_t>(count));
  for (std::int64_t first = 0; first < count;) {
    const std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(stepsPerChunk), count - first);
    const std::size_t want = static_cast<std::size_t>(n) * stepBytes;
    const std::uint64_t offset = static_cast<std::uint64_t>(L::FirstRecordOfStep(first, history.RecordsPerStep)) * L::kRecordSize;
    if (history.File.ReadAt(offset, std::span(chunk).first(want)) != want) throw ReadBeyondEnd(history.FilePath);
    for (std::int64_t k = 0; k < n; ++k)
      history.StepTimes[static_cast<std::size_t>(first + k)] =
          le::real64(le::Bytes(chunk).subspan(static_cast<std::size_t>(k) * stepBytes, L::kRecordSize), L::kStepTime);
    first += n;
  }
}

}  // namespace

HistoryOpenResult OpenTimeHistory(TimeHistory& history, const std::string& runPath, bool speedSpecified,
                                  Diagnostics& diag) {
  CloseTimeHistory(history);
  const std::string path = SiblingPath(runPath, ".TTS");
  auto file = ReadOnlyFile::Open(path);
  if (!file) {
    diag.Message("No file");
    return HistoryOpenResult::Missing;
  }
  std::array<std::uint8_t, L::kRecordSize> headerRecord{};
  if (file->ReadAt(0, headerRecord) != L::kRecordSize) throw ReadBeyondEnd(path);

  const HistoryHeader header = DecodeHeader(headerRecord);
  if (header.Magic != L::kExpectedMagic) {
    diag.Message("OLD KVR FILE FORMAT, MUST CONVERT");
    return HistoryOpenResult::Refused;
  }
  if (header.LastChannel < 0 || header.LastChannel >= L::kMaxChannels) {
    diag.Message("Time history " + path + ": LastChannel " + std::to_string(header.LastChannel) +
                 " is outside 0 to " + std::to_string(L::kMaxChannels - 1) + "; the file cannot be read");
    return HistoryOpenResult::Refused;
  }
  if (header.LastStep < 0) {
    diag.Message("Time history " + path + " holds no time steps (LastStep " + std::to_string(header.LastStep) + ")");
    return HistoryOpenResult::Refused;
  }

  const int recordsPerStep = L::RecordsPerStepFor(header.LastChannel);
  const std::int64_t records = static_cast<std::int64_t>(file->size() / L::kRecordSize);
  const std::int64_t complete = (records - 1) / recordsPerStep;
  const std::int64_t announced = std::int64_t{header.LastStep} + 1;
  const std::int64_t count = std::min(announced, complete);
  if (count == 0) {
    diag.Message("Time history " + path + " is truncated: the header gives LastStep " +
                 std::to_string(header.LastStep) + " but the file holds no complete time step");
    return HistoryOpenResult::Refused;
  }
  if (count < announced) {
    diag.Message("Time history " + path + " is truncated: the header gives LastStep " +
                 std::to_string(header.LastStep) + " but the file holds " + std::to_string(count) +
                 " complete time steps (0 to " + std::to_string(count - 1) + ")");
  }

  history.File = std::move(*file);
  history.Header = header;
  history.RecordsPerStep = static_cast<std::int16_t>(recordsPerStep);
  history.FilePath = path;
  history.SpeedSpecified = speedSpecified;
  try {
    IndexStepTimes(history, count);
  } catch (...) {
    CloseTimeHistory(history);
    throw;
  }

  history.IsOpen = true;
  history.HistoryPath = runPath;
  history.RunFileName = LastComponent(runPath, "\\:/").substr(0, kRunFileNameMax);
  ReadStep(history, 0, true, diag);
  return HistoryOpenResult::Opened;
}

StepValues ReadStep(const TimeHistory& history, std::int32_t s, bool convert, Diagnostics& diag) {
  if (!history.IsOpen) throw Error("No time history is open");
  if (s < 0 || s >= history.StepCount()) throw ReadBeyondEnd(history.FilePath);

  const int lastChannel = history.Header.LastChannel;
  const int perStep = history.RecordsPerStep;
  std::array<std::uint8_t, L::kRecordSize * L::kMaxRecordsPerStep> buffer{};
  const std::span<std::uint8_t> step = std::span(buffer).first(L::kRecordSize * static_cast<std::size_t>(perStep));
  const std::uint64_t offset = static_cast<std::uint64_t>(L::FirstRecordOfStep(s, perStep)) * L::kRecordSize;
  if (history.File.ReadAt(offset, step) != step.size()) throw ReadBeyondEnd(history.FilePath);
  const le::Bytes head = le::Bytes(step).first(L::kRecordSize);

  StepValues v;
  const std::int32_t stored = le::int32(head, L::kStepIndex);
  if (stored != s) diag.Message("KVR JT ERROR!" + std::to_string(stored) + " " + std::to_string(s));
  v.StepTime = le::real64(head, L::kStepTime);

  const int inFirst = std::min(lastChannel + 1, L::kFirstRecordChannels);
  for (int c = 0; c < inFirst; ++c) v.Channels[c] = le::real32(head, L::kFirstValues + L::kValueWidth * c);
  int channel = L::kFirstRecordChannels;
  for (int r = 1; r < perStep && channel <= lastChannel; ++r) {
    const le::Bytes rec = le::Bytes(step).subspan(L::kRecordSize * static_cast<std::size_t>(r), L::kRecordSize);
    for (int k = 0; k < L::kValuesPerRecord && channel <= lastChannel; ++k, ++channel)
      v.Channels[channel] = le::real32(rec, L::kValueWidth * k);
  }

  if (convert) {
    auto scale = [&](int c, double f) { v.Channels[c] = static_cast<float>(v.Channels[c] * f); };
    scale(kChAcceleration, kFtPerS2ToG);
    scale(kChPitch, kRadToDeg);
    scale(kChSpeed, kFtPerSToKnots);
    if (!history.SpeedSpecified) scale(kChSurfaceGain, kFtPerS2ToG);
  }
  return v;
}

void CloseTimeHistory(TimeHistory& history) { history = TimeHistory{}; }

}  // namespace hulvex

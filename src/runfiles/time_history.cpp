#include "runfiles/time_history.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "common/error.h"
#include "common/file_lookup.h"
#include "common/le_bytes.h"
#include "runfiles/channel_vocabulary.h"

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

std::size_t StepBytes(const TimeHistory& history) {
  return L::kRecordSize * static_cast<std::size_t>(history.RecordsPerStep);
}

// Calls visit(first, n, bytes of steps first ... first + n - 1) for steps begin ... end - 1 in
// order, reading the file in large sequential chunks of whole steps. Throws when the file ends
// before them.
template <typename Visit>
void ForEachChunk(const TimeHistory& history, std::int64_t begin, std::int64_t end, Visit visit) {
  const std::size_t stepBytes = StepBytes(history);
  constexpr std::size_t kChunkBytes = 256 << 10;  // stays in the second-level cache while it is decoded
  const std::size_t stepsPerChunk = std::min<std::size_t>(std::max<std::size_t>(1, kChunkBytes / stepBytes),
                                                          static_cast<std::size_t>(std::max<std::int64_t>(end - begin, 1)));
  std::vector<std::uint8_t> chunk(stepsPerChunk * stepBytes);
  for (std::int64_t first = begin; first < end;) {
    const std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(stepsPerChunk), end - first);
    const std::size_t want = static_cast<std::size_t>(n) * stepBytes;
    const std::uint64_t offset = static_cast<std::uint64_t>(L::FirstRecordOfStep(first, history.RecordsPerStep)) * L::kRecordSize;
    if (history.File.ReadAt(offset, std::span(chunk).first(want)) != want) throw ReadBeyondEnd(history.FilePath);
    visit(static_cast<std::int32_t>(first), static_cast<std::size_t>(n), le::Bytes(chunk).first(want));
    first += n;
  }
}

template <typename Visit>
void ForEachChunk(const TimeHistory& history, std::int64_t count, Visit visit) {
  ForEachChunk(history, 0, count, visit);
}

// Calls visit(s, bytes of step s) for steps 0 ... count - 1 (see ForEachChunk).
template <typename Visit>
void ForEachStepBytes(const TimeHistory& history, std::int64_t count, Visit visit) {
  const std::size_t stepBytes = StepBytes(history);
  ForEachChunk(history, count, [&](std::int32_t first, std::size_t n, le::Bytes bytes) {
    for (std::size_t k = 0; k < n; ++k)
      visit(first + static_cast<std::int32_t>(k), bytes.subspan(k * stepBytes, stepBytes));
  });
}

// How many threads a pass over `count` steps is shared among: up to four cores, with at least
// 65 536 steps each (below that a thread costs more than it saves).
int PartsFor(std::int64_t count) {
  constexpr std::int64_t kMinStepsPerPart = 1 << 16;
  const std::int64_t cores = std::clamp<std::int64_t>(std::thread::hardware_concurrency(), 1, 4);
  return static_cast<int>(std::clamp<std::int64_t>(count / kMinStepsPerPart, 1, cores));
}

// Runs part(k) for k = 0 ... parts - 1, each on its own thread (part 0, and any part no thread
// could be started for, on the caller's). The first exception a part throws is rethrown once every
// part has ended.
template <typename Part>
void RunParts(int parts, Part part) {
  std::vector<std::exception_ptr> failures(static_cast<std::size_t>(parts));
  auto run = [&](int k) {
    try {
      part(k);
    } catch (...) {
      failures[static_cast<std::size_t>(k)] = std::current_exception();
    }
  };
  std::vector<std::thread> others;
  int started = 1;
  try {
    for (; started < parts; ++started) others.emplace_back(run, started);
  } catch (const std::system_error&) {
    // No more threads to be had: the caller's thread does the remaining parts.
  }
  run(0);
  for (int k = started; k < parts; ++k) run(k);
  for (std::thread& t : others) t.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

// The step number check: a stored StepIndex that differs from s is reported.
[[gnu::noinline]] void ReportStepIndex(std::int32_t stored, std::int32_t s, Diagnostics& diag) {
  diag.Message("step-number", "KVR JT ERROR!" + std::to_string(stored) + " " + std::to_string(s));
}
inline void CheckStepIndex(le::Bytes step, std::int32_t s, Diagnostics& diag) {
  const std::int32_t stored = le::int32(step, L::kStepIndex);
  if (stored != s) [[unlikely]] ReportStepIndex(stored, s, diag);
}

// Channel c of a step's bytes (0 <= c <= LastChannel).
float ChannelOf(le::Bytes step, int c) { return le::real32(step, L::ChannelOffset(c)); }

}  // namespace

namespace {

// The header of the file at `path`, or nothing when it is refused (the reason reported): the old
// format's magic, a LastChannel outside the records, no steps. Throws Error when the file is
// shorter than its header.
std::optional<HistoryHeader> AcceptedHeader(const ReadOnlyFile& file, const std::string& path, Diagnostics& diag,
                                            HistoryStepRule rule = HistoryStepRule::Announced) {
  std::array<std::uint8_t, L::kRecordSize> headerRecord{};
  if (file.ReadAt(0, headerRecord) != L::kRecordSize) throw ReadBeyondEnd(path);
  const HistoryHeader header = DecodeHeader(headerRecord);
  if (header.Magic != L::kExpectedMagic) {
    diag.Message("history-format", "OLD KVR FILE FORMAT, MUST CONVERT");
    return std::nullopt;
  }
  if (header.LastChannel < 0 || header.LastChannel >= L::kMaxChannels) {
    diag.Message("history-channels", "Time history " + path + ": LastChannel " + std::to_string(header.LastChannel) +
                 " is outside 0 to " + std::to_string(L::kMaxChannels - 1) + "; the file cannot be read");
    return std::nullopt;
  }
  if (header.LastStep < 0 && rule == HistoryStepRule::Announced) {
    diag.Message("history-empty", "Time history " + path + " holds no time steps (LastStep " + std::to_string(header.LastStep) + ")");
    return std::nullopt;
  }
  return header;
}

// The number of steps the file holds completely, at most the header's LastStep + 1; a shorter
// file is reported as truncated. 0 (refused) when not one step is complete.
std::int64_t CompleteStepCount(const HistoryHeader& header, std::uint64_t fileSize, const std::string& path,
                               Diagnostics& diag) {
  const int recordsPerStep = L::RecordsPerStepFor(header.LastChannel);
  const std::int64_t records = static_cast<std::int64_t>(fileSize / L::kRecordSize);
  const std::int64_t complete = (records - 1) / recordsPerStep;
  const std::int64_t announced = std::int64_t{header.LastStep} + 1;
  const std::int64_t count = std::min(announced, complete);
  if (count == 0) {
    diag.Message("history-truncated", "Time history " + path + " is truncated: the header gives LastStep " +
                 std::to_string(header.LastStep) + " but the file holds no complete time step");
  } else if (count < announced) {
    diag.Message("history-truncated", "Time history " + path + " is truncated: the header gives LastStep " +
                 std::to_string(header.LastStep) + " but the file holds " + std::to_string(count) +
                 " complete time steps (0 to " + std::to_string(count - 1) + ")");
  }
  return count;
}

// StepTimes of the first `count` steps, in one sequential pass.
void IndexSteps(TimeHistory& history, std::int64_t count) {
  history.StepTimes.resize(static_cast<std::size_t>(count));
  ForEachStepBytes(history, count, [&](std::int32_t s, le::Bytes step) {
    history.StepTimes[static_cast<std::size_t>(s)] = le::real64(step, L::kStepTime);
  });
}

// StepTimes and the `collect` channels of steps begin ... end - 1, in one pass shared among up to
// four threads (PartsFor), each filling its own range of every array: StepTimes is sized to
// `end`, each entry's Values gets end - begin values appended. Step numbers are checked,
// mismatches reported in step order.
void IndexAndCollect(TimeHistory& history, std::int64_t begin, std::int64_t end, std::span<ChannelSeries> collect,
                     Diagnostics& diag) {
  const std::int64_t count = end - begin;
  const int parts = PartsFor(count);
  std::vector<std::size_t> bases;
  for (const ChannelSeries& c : collect) bases.push_back(c.Values.size());
  // The arrays are sized first, also shared among the threads: a fresh page costs far more to map
  // than to fill, and the threads map theirs in parallel.
  RunParts(parts, [&](int k) {
    if (k == 0) history.StepTimes.resize(static_cast<std::size_t>(end));
    for (std::size_t c = 0; c < collect.size(); ++c)
      if (static_cast<int>((c + 1) % static_cast<std::size_t>(parts)) == k)
        collect[c].Values.resize(bases[c] + static_cast<std::size_t>(count), 0.0f);
  });
  // The channels the steps store: where step `begin` goes, and the byte offset of the value in a step.
  std::vector<std::pair<float*, std::size_t>> stored;
  for (std::size_t c = 0; c < collect.size(); ++c)
    if (collect[c].Channel >= 0 && collect[c].Channel <= history.Header.LastChannel)
      stored.emplace_back(collect[c].Values.data() + bases[c], L::ChannelOffset(collect[c].Channel));
  const std::size_t stepBytes = StepBytes(history);
  // Misnumbered steps (stored number, step) of each part, reported in step order afterwards.
  std::vector<std::vector<std::pair<std::int32_t, std::int32_t>>> misnumbered(static_cast<std::size_t>(parts));
  RunParts(parts, [&](int k) {
    auto& wrong = misnumbered[static_cast<std::size_t>(k)];
    const std::int64_t from = begin + count * k / parts, to = begin + count * (k + 1) / parts;
    ForEachChunk(history, from, to, [&](std::int32_t first, std::size_t n, le::Bytes bytes) {
      le::CheckRange(bytes.size(), 0, n * stepBytes);
      for (std::size_t i = 0; i < n; ++i) {
        // One step at a time: its bytes are one or a few cache lines, loaded once.
        const std::uint8_t* step = bytes.data() + i * stepBytes;
        const std::size_t at = static_cast<std::size_t>(first) + i;
        const std::size_t into = at - static_cast<std::size_t>(begin);
        std::int32_t number;
        std::memcpy(&number, step + L::kStepIndex, sizeof number);
        if (number != static_cast<std::int32_t>(at)) [[unlikely]] wrong.emplace_back(number, static_cast<std::int32_t>(at));
        std::memcpy(history.StepTimes.data() + at, step + L::kStepTime, sizeof(double));
        for (const auto& [values, offset] : stored) std::memcpy(values + into, step + offset, sizeof(float));
      }
    });
  });
  for (const auto& part : misnumbered)
    for (const auto& [number, s] : part) ReportStepIndex(number, s, diag);
}

// The steps the Present rule counts in `file` of `fileSize` bytes: the whole steps, at most
// LastStep + 1 when LastStep is not negative, less the trailing steps whose StepIndex is not
// their position. Steps before `from` are known to count; only those after are read, from the
// last one back, in chunks.
std::int64_t PresentStepCount(const ReadOnlyFile& file, const HistoryHeader& header, std::uint64_t fileSize,
                              std::int64_t from) {
  std::int64_t whole = WholeStepsInFile(header, fileSize);
  if (header.LastStep >= 0) whole = std::min<std::int64_t>(whole, std::int64_t{header.LastStep} + 1);
  const int recordsPerStep = L::RecordsPerStepFor(header.LastChannel);
  const std::size_t stepBytes = L::kRecordSize * static_cast<std::size_t>(recordsPerStep);
  const std::int64_t stepsPerChunk = std::max<std::int64_t>(1, static_cast<std::int64_t>((64u << 10) / stepBytes));
  std::vector<std::uint8_t> chunk;
  for (std::int64_t end = whole; end > from;) {
    const std::int64_t first = std::max(from, end - stepsPerChunk);
    chunk.resize(static_cast<std::size_t>(end - first) * stepBytes);
    const std::uint64_t offset = static_cast<std::uint64_t>(L::FirstRecordOfStep(first, recordsPerStep)) * L::kRecordSize;
    if (file.ReadAt(offset, chunk) != chunk.size()) return from;  // shortened meanwhile: nothing new for now
    for (std::int64_t s = end - 1; s >= first; --s)
      if (le::int32(chunk, static_cast<std::size_t>(s - first) * stepBytes + L::kStepIndex) == s) return s + 1;
    end = first;
  }
  return from;
}

}  // namespace

std::int64_t WholeStepsInFile(const HistoryHeader& header, std::uint64_t fileSize) {
  if (header.LastChannel < 0 || header.LastChannel >= L::kMaxChannels) return 0;
  const std::int64_t records = static_cast<std::int64_t>(fileSize / L::kRecordSize);
  return records < 1 ? 0 : (records - 1) / L::RecordsPerStepFor(header.LastChannel);
}

HistoryOpenResult OpenTimeHistory(TimeHistory& history, const std::string& runPath, bool speedSpecified,
                                  Diagnostics& diag, std::span<ChannelSeries> collect, HistoryStepRule rule) {
  CloseTimeHistory(history);
  for (ChannelSeries& c : collect) c.Values.clear();
  const std::string path = SiblingPath(runPath, ".TTS");
  auto file = ReadOnlyFile::Open(path);
  if (!file) {
    diag.Message("history-missing", "No file\n" + path);
    return HistoryOpenResult::Missing;
  }
  const std::optional<HistoryHeader> header = AcceptedHeader(*file, path, diag, rule);
  if (!header) return HistoryOpenResult::Refused;
  const bool present = rule == HistoryStepRule::Present;
  const std::uint64_t size = file->size();
  const std::int64_t count =
      present ? PresentStepCount(*file, *header, size, 0) : CompleteStepCount(*header, size, path, diag);
  if (count == 0) {
    if (present) diag.Message("history-empty", "Time history " + path + " holds no time steps yet");
    return HistoryOpenResult::Refused;
  }

  history.File = std::move(*file);
  history.Header = *header;
  history.RecordsPerStep = static_cast<std::int16_t>(L::RecordsPerStepFor(header->LastChannel));
  history.FilePath = path;
  history.SpeedSpecified = speedSpecified;
  history.Following = present;
  history.SizeSeen = size;
  try {
    if (collect.empty()) IndexSteps(history, count);
    else IndexAndCollect(history, 0, count, collect, diag);
  } catch (...) {
    CloseTimeHistory(history);
    for (ChannelSeries& c : collect) c.Values = {};
    throw;
  }

  history.IsOpen = true;
  history.HistoryPath = runPath;
  history.RunFileName = LastComponent(runPath, "\\:/").substr(0, kRunFileNameMax);
  ReadStep(history, 0, true, diag);
  return HistoryOpenResult::Opened;
}

std::optional<std::pair<double, double>> PeekStepTimeSpan(const std::string& runPath) noexcept {
  try {
    const std::string path = SiblingPath(runPath, ".TTS");
    const std::optional<ReadOnlyFile> file = ReadOnlyFile::Open(path);
    if (!file) return std::nullopt;
    NullDiagnostics quiet;
    const std::optional<HistoryHeader> header = AcceptedHeader(*file, path, quiet);
    if (!header) return std::nullopt;
    const std::int64_t count = CompleteStepCount(*header, file->size(), path, quiet);
    if (count == 0) return std::nullopt;
    const int recordsPerStep = L::RecordsPerStepFor(header->LastChannel);
    // The time of step s; nothing when the file has been shortened since its size was taken.
    auto timeOf = [&](std::int64_t s) -> std::optional<double> {
      std::array<std::uint8_t, sizeof(double)> field{};
      const std::uint64_t offset =
          static_cast<std::uint64_t>(L::FirstRecordOfStep(s, recordsPerStep)) * L::kRecordSize + L::kStepTime;
      if (file->ReadAt(offset, field) != field.size()) return std::nullopt;
      return le::real64(field, 0);
    };
    const std::optional<double> first = timeOf(0), last = timeOf(count - 1);
    if (!first || !last) return std::nullopt;
    return std::pair{*first, *last};
  } catch (...) {
    return std::nullopt;
  }
}

std::int64_t CountStepsPresent(const std::string& runPath) noexcept {
  try {
    const std::string path = SiblingPath(runPath, ".TTS");
    const std::optional<ReadOnlyFile> file = ReadOnlyFile::Open(path);
    if (!file) return 0;
    NullDiagnostics quiet;
    const std::optional<HistoryHeader> header = AcceptedHeader(*file, path, quiet, HistoryStepRule::Present);
    return header ? PresentStepCount(*file, *header, file->size(), 0) : 0;
  } catch (...) {
    return 0;
  }
}

TimeHistory ReopenTimeHistory(const TimeHistory& open) {
  if (!open.IsOpen) throw Error("No time history is open");
  auto file = ReadOnlyFile::Open(open.FilePath);
  if (!file) throw FileNotFound(open.FilePath);
  TimeHistory again;
  again.IsOpen = true;
  again.Header = open.Header;
  again.RecordsPerStep = open.RecordsPerStep;
  again.StepTimes = open.StepTimes;
  again.HistoryPath = open.HistoryPath;
  again.RunFileName = open.RunFileName;
  again.FilePath = open.FilePath;
  again.SpeedSpecified = open.SpeedSpecified;
  again.SizeSeen = open.SizeSeen;
  again.File = std::move(*file);
  return again;
}

StepValues ReadStep(const TimeHistory& history, std::int32_t s, bool convert, Diagnostics& diag) {
  if (!history.IsOpen) throw Error("No time history is open");
  if (s < 0 || s >= history.StepCount()) throw ReadBeyondEnd(history.FilePath);

  const int lastChannel = history.Header.LastChannel;
  std::array<std::uint8_t, L::kRecordSize * L::kMaxRecordsPerStep> buffer{};
  const std::span<std::uint8_t> step = std::span(buffer).first(StepBytes(history));
  const std::uint64_t offset = static_cast<std::uint64_t>(L::FirstRecordOfStep(s, history.RecordsPerStep)) * L::kRecordSize;
  if (history.File.ReadAt(offset, step) != step.size()) throw ReadBeyondEnd(history.FilePath);

  CheckStepIndex(step, s, diag);
  StepValues v;
  v.StepTime = le::real64(step, L::kStepTime);
  for (int c = 0; c <= lastChannel; ++c) v.Channels[static_cast<std::size_t>(c)] = ChannelOf(step, c);

  if (convert) {
    auto scale = [&](int c, double f) { v.Channels[c] = DisplayValue(v.Channels[c], f); };
    for (int c : {int{kChAcceleration}, int{kChPitch}, int{kChSpeed}}) scale(c, DisplayFactorOf(c));
    // The gain of a run whose speed is not specified is stored as an acceleration.
    if (!history.SpeedSpecified) scale(kChSurfaceGain, DisplayFactorOf(kChAcceleration));
  }
  return v;
}

std::vector<std::vector<float>> ReadChannelSeries(const TimeHistory& history, std::span<const int> channels,
                                                  Diagnostics& diag) {
  if (!history.IsOpen) throw Error("No time history is open");
  std::vector<std::vector<float>> series(channels.size(), std::vector<float>(history.StepTimes.size(), 0.0f));
  ForEachStepBytes(history, history.StepCount(), [&](std::int32_t s, le::Bytes step) {
    CheckStepIndex(step, s, diag);
    for (std::size_t k = 0; k < channels.size(); ++k) {
      const int c = channels[k];
      if (c >= 0 && c <= history.Header.LastChannel) series[k][static_cast<std::size_t>(s)] = ChannelOf(step, c);
    }
  });
  return series;
}

HistoryExtension ExtendTimeHistory(TimeHistory& history, std::span<ChannelSeries> collect, Diagnostics& diag) {
  if (!history.IsOpen) throw Error("No time history is open");
  if (!history.Following) throw Error("The time history " + history.FilePath + " is not followed");
  HistoryExtension result;
  result.StepsBefore = history.StepCount();
  auto changed = [&](std::string why) {
    result.Growth = HistoryGrowth::Changed;
    result.Reason = std::move(why);
    return result;
  };
  const std::uint64_t size = history.File.CurrentSize();
  if (size < history.SizeSeen) return changed("the file became shorter");
  std::array<std::uint8_t, L::kRecordSize> headerRecord{};
  if (history.File.ReadAt(0, headerRecord) != L::kRecordSize) return changed("the file became shorter");
  const HistoryHeader header = DecodeHeader(headerRecord);
  const HistoryHeader& was = history.Header;
  // Compared bit for bit: a NaN StartTime that stays NaN is no change.
  auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  if (header.Magic != was.Magic || header.LastChannel != was.LastChannel || !same(header.StartTime, was.StartTime) ||
      !same(header.EndTime, was.EndTime))
    return changed("its header changed");
  const std::int64_t before = result.StepsBefore;
  if (header.LastStep >= 0 && std::int64_t{header.LastStep} + 1 < before) return changed("its header's LastStep fell below the steps read");
  std::array<std::uint8_t, sizeof(double)> lastTime{};
  const std::uint64_t lastAt =
      static_cast<std::uint64_t>(L::FirstRecordOfStep(before - 1, history.RecordsPerStep)) * L::kRecordSize + L::kStepTime;
  if (history.File.ReadAt(lastAt, lastTime) != lastTime.size()) return changed("the file became shorter");
  if (!same(le::real64(lastTime, 0), history.StepTimes.back()))
    return changed("step " + std::to_string(before - 1) + " changed its time");

  history.Header.LastStep = header.LastStep;
  history.Header.HeaderText = header.HeaderText;
  history.SizeSeen = size;
  const std::int64_t count = PresentStepCount(history.File, header, size, before);
  if (count <= before) return result;
  std::vector<std::size_t> sizes;
  for (const ChannelSeries& c : collect) sizes.push_back(c.Values.size());
  try {
    IndexAndCollect(history, before, count, collect, diag);
  } catch (...) {
    // Shortened while being read: back to the steps read before.
    history.StepTimes.resize(static_cast<std::size_t>(before));
    for (std::size_t c = 0; c < collect.size(); ++c) collect[c].Values.resize(sizes[c]);
    throw;
  }
  result.Growth = HistoryGrowth::Grew;
  return result;
}

void CloseTimeHistory(TimeHistory& history) { history = TimeHistory{}; }

}  // namespace hulvex

#include "demo/run_writers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <fstream>

#include "common/error.h"
#include "common/le_bytes.h"

namespace hulvex::demo {
namespace RL = run_parameters_layout;
namespace HL = time_history_layout;

namespace {

void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw Error("cannot write " + path);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) throw Error("cannot write " + path);
}

void Encode(le::MutableBytes b, const RunParameterField& f, std::uint8_t v) { le::put_uint8(b, f.Offset, v); }
void Encode(le::MutableBytes b, const RunParameterField& f, bool v) { le::put_uint8(b, f.Offset, v ? 1 : 0); }
void Encode(le::MutableBytes b, const RunParameterField& f, std::int16_t v) { le::put_int16(b, f.Offset, v); }
void Encode(le::MutableBytes b, const RunParameterField& f, std::int32_t v) { le::put_int32(b, f.Offset, v); }
void Encode(le::MutableBytes b, const RunParameterField& f, float v) { le::put_real32(b, f.Offset, v); }
void Encode(le::MutableBytes b, const RunParameterField& f, const std::string& v) {
  le::put_LengthPrefixed(b, f.Offset, f.Capacity, v);
}
template <typename Point, std::size_t N>
void Encode(le::MutableBytes b, const RunParameterField& f, const std::array<Point, N>& slots) {
  for (std::size_t k = 0; k < N; ++k) {
    std::size_t j = 0;
    for (const auto& value : SlotValues(slots[k]))
      le::put_real32(b, RL::SlotValueOffset(f.Offset, k, j++), slots[k].*value.Member);
  }
}

}  // namespace

RunParameters SampleRunParameters() {
  RunParameters p;
  p.FmtVer = 100;
  p.DOFMode = 1;
  p.BoatFile = "C:\\BOATS\\TEST.BOT";
  p.WindV = 0;
  p.WvHHS = 2.0f;
  p.WvSteep = 0.05f;
  p.HeadSea = true;
  p.Waves = 2;
  p.StokesN = 5;
  p.Tmax = 1.0f;
  p.RWvN = 20;
  p.HyDens = 1.9905f;
  p.HyNu = 1.2791e-5f;
  p.CBAR = 0.1f;
  p.ICZG = 0.5f;
  p.ICT = 4.0f;
  p.ICV = 30.0f;
  p.ThrustCount = 1;
  p.ThrustTbl[0] = {1500.0f, 0.0f};
  p.ThrustTbl[1] = {1500.0f, 60.0f};
  p.StationCount = 40;
  p.SpeedSpecified = false;
  return p;
}

std::vector<std::uint8_t> EncodeRunParameters(const RunParameters& p) {
  std::vector<std::uint8_t> raw(p.Raw.begin(), p.Raw.end());
  const le::MutableBytes b(raw);
  for (const RunParameterField& f : RunParameterFields())
    std::visit([&](auto member) { Encode(b, f, p.*member); }, f.Member);
  return raw;
}

std::vector<std::uint8_t> EncodeRunParametersOldLayout(const RunParameters& p, std::uint8_t padding) {
  const std::vector<std::uint8_t> current = EncodeRunParameters(p);
  std::vector<std::uint8_t> old(RL::kRecordSize, 0);
  std::copy(current.begin() + RL::kBoatFile, current.begin() + RL::kBoatFile + RL::kOldBoatFileBytes,
            old.begin() + RL::kOldBoatFile);
  for (std::size_t i = 0; i < RL::kOldPaddingBytes; ++i) old[RL::kOldPadding + i] = padding;
  std::copy(current.begin() + RL::kSharedTail, current.end(), old.begin() + RL::kSharedTail);
  return old;
}

void WriteRunParametersFile(const std::string& path, const RunParameters& p, RunLayout layout) {
  const auto bytes = layout == RunLayout::Current ? EncodeRunParameters(p) : EncodeRunParametersOldLayout(p);
  WriteBytes(path, bytes.data(), bytes.size());
}

std::function<double(std::int32_t, std::span<float>)> SteadyPlaning(double dt, double speed, double surge) {
  return [=](std::int32_t s, std::span<float> ch) {
    const double t = s * dt;
    constexpr double kSurgeOmega = 0.5;
    ch[kChHeight] = 0.4f;
    ch[kChPitch] = 0.06f;
    ch[kChDistance] = static_cast<float>(speed * t + surge / kSurgeOmega * std::sin(kSurgeOmega * t));
    ch[kChSpeed] = static_cast<float>(speed + surge * std::cos(kSurgeOmega * t));
    ch[kChSurfaceGain] = 2000.0f;
    return t;
  };
}

namespace {

std::vector<std::uint8_t> HeaderBytes(const HistorySpec& spec) {
  std::vector<std::uint8_t> header(HL::kRecordSize, 0);
  const le::MutableBytes h(header);
  le::put_int16(h, HL::kMagic, spec.Magic);
  le::put_int16(h, HL::kLastChannel, spec.LastChannel);
  le::put_real64(h, HL::kStartTime, spec.StartTime);
  le::put_real64(h, HL::kEndTime, spec.EndTime);
  le::put_LengthPrefixed(h, HL::kHeaderText, HL::kHeaderTextCapacity, spec.HeaderText);
  le::put_int32(h, HL::kLastStep, spec.LastStepInHeader.value_or(spec.Steps - 1));
  return header;
}

// Writers may be asked for a LastChannel the reader refuses; steps are then laid out as for the
// nearest channel count the format can hold.
int WrittenLastChannel(const HistorySpec& spec) { return std::clamp<int>(spec.LastChannel, 0, HL::kMaxChannels - 1); }

// The bytes of step s into `step` (its size: the records of a step), `channels` a buffer of
// WrittenLastChannel + 1 values.
void EncodeStep(const HistorySpec& spec, std::int32_t s, std::vector<float>& channels, std::vector<std::uint8_t>& step) {
  std::fill(channels.begin(), channels.end(), 0.0f);
  double time;
  if (spec.values) {
    time = spec.values(s, channels);
  } else {
    time = spec.StartTime + s * 0.01;
    for (std::size_t c = 0; c < channels.size(); ++c) channels[c] = static_cast<float>(s + c / 100.0);
  }
  std::fill(step.begin(), step.end(), 0);
  const le::MutableBytes b(step);
  const auto stored = spec.StepIndexOverride.find(s);
  le::put_int32(b, HL::kStepIndex, stored == spec.StepIndexOverride.end() ? s : stored->second);
  le::put_real64(b, HL::kStepTime, time);
  for (std::size_t c = 0; c < channels.size(); ++c) le::put_real32(b, HL::ChannelOffset(static_cast<int>(c)), channels[c]);
}

std::size_t StepBytesOf(const HistorySpec& spec) {
  return HL::kRecordSize * static_cast<std::size_t>(HL::RecordsPerStepFor(WrittenLastChannel(spec)));
}

}  // namespace

void WriteTimeHistoryFile(const std::string& path, const HistorySpec& spec) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw Error("cannot write " + path);
  const std::vector<std::uint8_t> header = HeaderBytes(spec);
  out.write(reinterpret_cast<const char*>(header.data()), HL::kRecordSize);
  std::vector<float> channels(static_cast<std::size_t>(WrittenLastChannel(spec)) + 1);
  std::vector<std::uint8_t> step(StepBytesOf(spec));
  for (std::int32_t s = 0; s < spec.Steps; ++s) {
    EncodeStep(spec, s, channels, step);
    out.write(reinterpret_cast<const char*>(step.data()), static_cast<std::streamsize>(step.size()));
  }
  if (!out) throw Error("cannot write " + path);
}

GrowingHistoryWriter::GrowingHistoryWriter(const std::string& path, HistorySpec spec)
    : path_(path), spec_(std::move(spec)), file_(std::fopen(path.c_str(), "wb")) {
  if (!file_) throw Error("cannot write " + path);
  const std::vector<std::uint8_t> header = HeaderBytes(spec_);
  if (std::fwrite(header.data(), 1, header.size(), file_) != header.size() || std::fflush(file_) != 0)
    throw Error("cannot write " + path);
}

GrowingHistoryWriter::~GrowingHistoryWriter() {
  if (file_) std::fclose(file_);
}

std::int32_t GrowingHistoryWriter::Append(std::int32_t n) {
  std::vector<float> channels(static_cast<std::size_t>(WrittenLastChannel(spec_)) + 1);
  std::vector<std::uint8_t> step(StepBytesOf(spec_));
  std::int32_t done = 0;
  for (; done < n && written_ < spec_.Steps; ++done, ++written_) {
    EncodeStep(spec_, written_, channels, step);
    if (std::fwrite(step.data(), 1, step.size(), file_) != step.size()) throw Error("cannot write " + path_);
  }
  if (std::fflush(file_) != 0) throw Error("cannot write " + path_);
  return done;
}

void WriteTextFile(const std::string& path, const std::string& text) {
  WriteBytes(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::string WriteSampleRun(const std::string& dir, const std::string& name, const RunParameters& p,
                           const HistorySpec& history, const std::string& description) {
  const std::string runPath = dir + "/" + name;
  WriteRunParametersFile(runPath + ".HVX", p);
  WriteTimeHistoryFile(runPath + ".TTS", history);
  WriteTextFile(runPath + ".TXT", description);
  return runPath;
}

}  // namespace hulvex::demo

#include "demo/run_writers.h"

#include <cmath>
#include <fstream>
#include <stdexcept>

#include "common/le_bytes.h"

namespace hulvex::demo {
namespace RL = run_parameters_layout;
namespace HL = time_history_layout;

namespace {

void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) throw std::runtime_error("cannot write " + path);
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
  le::put_uint8(b, RL::kFmtVer, p.FmtVer);
  le::put_uint8(b, RL::kDOFMode, p.DOFMode);
  le::put_LengthPrefixed(b, RL::kBoatFile, RL::kBoatFileCapacity, p.BoatFile);
  le::put_real32(b, RL::kWindV, p.WindV);
  le::put_real32(b, RL::kWvHHS, p.WvHHS);
  le::put_real32(b, RL::kWvSteep, p.WvSteep);
  le::put_uint8(b, RL::kHeadSea, p.HeadSea ? 1 : 0);
  le::put_uint8(b, RL::kTankT, p.TankT ? 1 : 0);
  le::put_int16(b, RL::kWaves, p.Waves);
  le::put_int16(b, RL::kStokesN, p.StokesN);
  le::put_real32(b, RL::kTmax, p.Tmax);
  le::put_int16(b, RL::kRWvN, p.RWvN);
  le::put_int16(b, RL::kDetailSp, p.DetailSp);
  le::put_real32(b, RL::kDetailStrt, p.DetailStrt);
  le::put_real32(b, RL::kDetailStop, p.DetailStop);
  le::put_real32(b, RL::kHyAeroCD, p.HyAeroCD);
  le::put_real32(b, RL::kHyAeroCL, p.HyAeroCL);
  le::put_real32(b, RL::kHyDens, p.HyDens);
  le::put_real32(b, RL::kCBAR, p.CBAR);
  le::put_real32(b, RL::kDTdeg06, p.DTdeg06);
  le::put_real32(b, RL::kHyNu, p.HyNu);
  le::put_real32(b, RL::kRWvTdelay, p.RWvTdelay);
  le::put_real32(b, RL::kICZG, p.ICZG);
  le::put_real32(b, RL::kICZG1, p.ICZG1);
  le::put_real32(b, RL::kICT, p.ICT);
  le::put_real32(b, RL::kICT1, p.ICT1);
  le::put_real32(b, RL::kICV, p.ICV);
  le::put_int32(b, RL::kThrustCount, p.ThrustCount);
  for (std::size_t k = 0; k < RL::kThrustSlots; ++k) {
    le::put_real32(b, RL::kThrustTbl + RL::kSlotSize * k, p.ThrustTbl[k].Value);
    le::put_real32(b, RL::kThrustTbl + RL::kSlotSize * k + 4, p.ThrustTbl[k].Time);
  }
  for (std::size_t i = 0; i < RL::kBLSlots; ++i) {
    le::put_real32(b, RL::kBLTbl + RL::kSlotSize * i, p.BLTbl[i].Angle);
    le::put_real32(b, RL::kBLTbl + RL::kSlotSize * i + 4, p.BLTbl[i].Speed);
  }
  le::put_int16(b, RL::kStationCount, p.StationCount);
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

void WriteTimeHistoryFile(const std::string& path, const HistorySpec& spec) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);

  std::vector<std::uint8_t> header(HL::kRecordSize, 0);
  const le::MutableBytes h(header);
  le::put_int16(h, HL::kMagic, spec.Magic);
  le::put_int16(h, HL::kLastChannel, spec.LastChannel);
  le::put_real64(h, HL::kStartTime, spec.StartTime);
  le::put_real64(h, HL::kEndTime, spec.EndTime);
  le::put_LengthPrefixed(h, HL::kHeaderText, HL::kHeaderTextCapacity, spec.HeaderText);
  le::put_int32(h, HL::kLastStep, spec.LastStepInHeader.value_or(spec.Steps - 1));
  out.write(reinterpret_cast<const char*>(header.data()), HL::kRecordSize);

  // Writers may be asked for a LastChannel the reader refuses; steps are then laid out as for the
  // nearest channel count the format can hold.
  int lastChannel = spec.LastChannel;
  if (lastChannel < 0) lastChannel = 0;
  if (lastChannel >= HL::kMaxChannels) lastChannel = HL::kMaxChannels - 1;
  const int perStep = HL::RecordsPerStepFor(lastChannel);

  std::vector<float> channels(static_cast<std::size_t>(lastChannel) + 1);
  std::vector<std::uint8_t> step(HL::kRecordSize * static_cast<std::size_t>(perStep));
  for (std::int32_t s = 0; s < spec.Steps; ++s) {
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
    for (int c = 0; c <= lastChannel; ++c) {
      const std::size_t offset = c < HL::kFirstRecordChannels
                                     ? HL::kFirstValues + HL::kValueWidth * c
                                     : HL::kRecordSize * (1 + (c - HL::kFirstRecordChannels) / HL::kValuesPerRecord) +
                                           HL::kValueWidth * ((c - HL::kFirstRecordChannels) % HL::kValuesPerRecord);
      le::put_real32(b, offset, channels[static_cast<std::size_t>(c)]);
    }
    out.write(reinterpret_cast<const char*>(step.data()), static_cast<std::streamsize>(step.size()));
  }
  if (!out) throw std::runtime_error("cannot write " + path);
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

#include "runfiles/run_parameters.h"

#include <algorithm>

#include "common/error.h"
#include "common/file_lookup.h"
#include "common/le_bytes.h"
#include "common/file_reading.h"

namespace hulvex {
namespace L = run_parameters_layout;

namespace {

constexpr RunParameterField kFields[] = {
    {"FmtVer", L::kFmtVer, &RunParameters::FmtVer},
    {"DOFMode", L::kDOFMode, &RunParameters::DOFMode},
    {"BoatFile", L::kBoatFile, &RunParameters::BoatFile, L::kBoatFileCapacity},
    {"WindV", L::kWindV, &RunParameters::WindV},
    {"WvHHS", L::kWvHHS, &RunParameters::WvHHS},
    {"WvSteep", L::kWvSteep, &RunParameters::WvSteep},
    {"HeadSea", L::kHeadSea, &RunParameters::HeadSea},
    {"TankT", L::kTankT, &RunParameters::TankT},
    {"Waves", L::kWaves, &RunParameters::Waves},
    {"StokesN", L::kStokesN, &RunParameters::StokesN},
    {"Tmax", L::kTmax, &RunParameters::Tmax},
    {"RWvN", L::kRWvN, &RunParameters::RWvN},
    {"DetailSp", L::kDetailSp, &RunParameters::DetailSp},
    {"DetailStrt", L::kDetailStrt, &RunParameters::DetailStrt},
    {"DetailStop", L::kDetailStop, &RunParameters::DetailStop},
    {"HyAeroCD", L::kHyAeroCD, &RunParameters::HyAeroCD},
    {"HyAeroCL", L::kHyAeroCL, &RunParameters::HyAeroCL},
    {"HyDens", L::kHyDens, &RunParameters::HyDens},
    {"CBAR", L::kCBAR, &RunParameters::CBAR},
    {"DTdeg06", L::kDTdeg06, &RunParameters::DTdeg06},
    {"HyNu", L::kHyNu, &RunParameters::HyNu},
    {"RWvTdelay", L::kRWvTdelay, &RunParameters::RWvTdelay},
    {"ICZG", L::kICZG, &RunParameters::ICZG},
    {"ICZG1", L::kICZG1, &RunParameters::ICZG1},
    {"ICT", L::kICT, &RunParameters::ICT},
    {"ICT1", L::kICT1, &RunParameters::ICT1},
    {"ICV", L::kICV, &RunParameters::ICV},
    {"ThrustCount", L::kThrustCount, &RunParameters::ThrustCount},
    {"ThrustTbl", L::kThrustTbl, &RunParameters::ThrustTbl},
    {"BLTbl", L::kBLTbl, &RunParameters::BLTbl},
    {"StationCount", L::kStationCount, &RunParameters::StationCount},
};

void Decode(le::Bytes b, const RunParameterField& f, std::uint8_t& v) { v = le::uint8(b, f.Offset); }
void Decode(le::Bytes b, const RunParameterField& f, bool& v) { v = le::uint8(b, f.Offset) != 0; }
void Decode(le::Bytes b, const RunParameterField& f, std::int16_t& v) { v = le::int16(b, f.Offset); }
void Decode(le::Bytes b, const RunParameterField& f, std::int32_t& v) { v = le::int32(b, f.Offset); }
void Decode(le::Bytes b, const RunParameterField& f, float& v) { v = le::real32(b, f.Offset); }
void Decode(le::Bytes b, const RunParameterField& f, std::string& v) {
  v = le::LengthPrefixed(b, f.Offset, f.Capacity);
}
template <typename Point, std::size_t N>
void Decode(le::Bytes b, const RunParameterField& f, std::array<Point, N>& slots) {
  for (std::size_t k = 0; k < N; ++k) {
    std::size_t j = 0;
    for (const auto& value : SlotValues(slots[k]))
      slots[k].*value.Member = le::real32(b, L::SlotValueOffset(f.Offset, k, j++));
  }
}

}  // namespace

std::span<const RunParameterField> RunParameterFields() { return kFields; }

RunParameters DecodeRunParameters(const std::array<std::uint8_t, L::kRecordSize>& raw) {
  const le::Bytes b(raw);
  RunParameters p;
  p.Raw = raw;
  for (const RunParameterField& f : kFields) std::visit([&](auto member) { Decode(b, f, p.*member); }, f.Member);
  p.SpeedSpecified = p.DOFMode == 0;
  return p;
}

RunParameters ParseRunParameters(const std::string& bytes, const std::string& path) {
  std::array<std::uint8_t, L::kRecordSize> raw{};
  // Both layouts need 328 bytes of file: the old one has its two padding bytes where the current
  // one has its two leading bytes.
  if (bytes.size() < L::kRecordSize) throw ReadBeyondEnd(path);
  const auto* src = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (src[0] > L::kOldLayoutMaxFirstByte) {
    std::copy(src, src + L::kRecordSize, raw.begin());
  } else {
    raw[L::kFmtVer] = L::kOldLayoutFmtVer;
    raw[L::kDOFMode] = L::kOldLayoutDOFMode;
    std::copy(src + L::kOldBoatFile, src + L::kOldBoatFile + L::kOldBoatFileBytes, raw.begin() + L::kBoatFile);
    std::copy(src + L::kSharedTail, src + L::kRecordSize, raw.begin() + L::kSharedTail);
  }
  return DecodeRunParameters(raw);
}

RunParameters ReadRunParameters(const std::string& runPath) {
  const std::string path = SiblingPath(runPath, ".HVX");
  const auto bytes = ReadFileHead(path, L::kRecordSize);
  if (!bytes) throw FileNotFound(path);
  return ParseRunParameters(*bytes, path);
}

std::string ModeName(int dofMode) {
  switch (dofMode) {
    case 0: return "2 Degrees of Freedom";
    case 1: return "3 Degrees of Freedom (Thrust Specified)";
    case 2: return "3 Degrees of Freedom (RPM Specified)";
    case 3: return "3 Degrees of Freedom (Engine Specified)";
    default: return "";
  }
}

std::string SeaKindName(int waves) {
  switch (waves) {
    case 0: return "Random Sea";
    case 1: return "Flat Sea";
    case 2: return "Sinusoidal Sea";
    case 3: return "Gerstner Sea";
    case 4: return "Stokes Sea";
    default: return "";
  }
}

}  // namespace hulvex

#include "runfiles/run_parameters.h"

#include <algorithm>

#include "common/error.h"
#include "common/file_lookup.h"
#include "common/le_bytes.h"
#include "common/file_reading.h"

namespace hulvex {
namespace L = run_parameters_layout;

RunParameters DecodeRunParameters(const std::array<std::uint8_t, L::kRecordSize>& raw) {
  const le::Bytes b(raw);
  RunParameters p;
  p.Raw = raw;
  p.FmtVer = le::uint8(b, L::kFmtVer);
  p.DOFMode = le::uint8(b, L::kDOFMode);
  p.BoatFile = le::LengthPrefixed(b, L::kBoatFile, L::kBoatFileCapacity);
  p.WindV = le::real32(b, L::kWindV);
  p.WvHHS = le::real32(b, L::kWvHHS);
  p.WvSteep = le::real32(b, L::kWvSteep);
  p.HeadSea = le::uint8(b, L::kHeadSea) != 0;
  p.TankT = le::uint8(b, L::kTankT) != 0;
  p.Waves = le::int16(b, L::kWaves);
  p.StokesN = le::int16(b, L::kStokesN);
  p.Tmax = le::real32(b, L::kTmax);
  p.RWvN = le::int16(b, L::kRWvN);
  p.DetailSp = le::int16(b, L::kDetailSp);
  p.DetailStrt = le::real32(b, L::kDetailStrt);
  p.DetailStop = le::real32(b, L::kDetailStop);
  p.HyAeroCD = le::real32(b, L::kHyAeroCD);
  p.HyAeroCL = le::real32(b, L::kHyAeroCL);
  p.HyDens = le::real32(b, L::kHyDens);
  p.CBAR = le::real32(b, L::kCBAR);
  p.DTdeg06 = le::real32(b, L::kDTdeg06);
  p.HyNu = le::real32(b, L::kHyNu);
  p.RWvTdelay = le::real32(b, L::kRWvTdelay);
  p.ICZG = le::real32(b, L::kICZG);
  p.ICZG1 = le::real32(b, L::kICZG1);
  p.ICT = le::real32(b, L::kICT);
  p.ICT1 = le::real32(b, L::kICT1);
  p.ICV = le::real32(b, L::kICV);
  p.ThrustCount = le::int32(b, L::kThrustCount);
  for (std::size_t k = 0; k < L::kThrustSlots; ++k) {
    p.ThrustTbl[k].Value = le::real32(b, L::kThrustTbl + L::kSlotSize * k);
    p.ThrustTbl[k].Time = le::real32(b, L::kThrustTbl + L::kSlotSize * k + 4);
  }
  for (std::size_t i = 0; i < L::kBLSlots; ++i) {
    p.BLTbl[i].Angle = le::real32(b, L::kBLTbl + L::kSlotSize * i);
    p.BLTbl[i].Speed = le::real32(b, L::kBLTbl + L::kSlotSize * i + 4);
  }
  p.StationCount = le::int16(b, L::kStationCount);
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

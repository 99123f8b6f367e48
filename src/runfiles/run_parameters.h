// The run parameter record of a run (".HVX"): what was set up for the simulated run.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "runfiles/run_parameters_layout.h"

namespace hulvex {

struct ThrustPoint {
  float Value = 0;  // depends on DOFMode: speed (ft/s), thrust (lbf) or propeller RPM
  float Time = 0;   // s
};

struct LevelerPoint {
  float Angle = 0;  // degrees, from this speed threshold up to the next one
  float Speed = 0;  // knots
};

using ThrustTable = std::array<ThrustPoint, run_parameters_layout::kThrustSlots>;
using LevelerTable = std::array<LevelerPoint, run_parameters_layout::kBLSlots>;

// The record with every named field decoded. `Raw` holds the 328 bytes of the current layout as
// read (for an old-layout file: as converted), so reserved bytes are kept.
struct RunParameters {
  std::array<std::uint8_t, run_parameters_layout::kRecordSize> Raw{};

  std::uint8_t FmtVer = 0;
  std::uint8_t DOFMode = 0;
  std::string BoatFile;  // 8-bit text as stored, at most 85 characters
  float WindV = 0;
  float WvHHS = 0;
  float WvSteep = 0;
  bool HeadSea = false;
  bool TankT = false;
  std::int16_t Waves = 0;
  std::int16_t StokesN = 0;
  float Tmax = 0;
  std::int16_t RWvN = 0;
  std::int16_t DetailSp = 0;
  float DetailStrt = 0;
  float DetailStop = 0;
  float HyAeroCD = 0;
  float HyAeroCL = 0;
  float HyDens = 0;
  float CBAR = 0;
  float DTdeg06 = 0;
  float HyNu = 0;
  float RWvTdelay = 0;
  float ICZG = 0;
  float ICZG1 = 0;
  float ICT = 0;
  float ICT1 = 0;
  float ICV = 0;
  std::int32_t ThrustCount = 0;
  ThrustTable ThrustTbl{};
  LevelerTable BLTbl{};
  std::int16_t StationCount = 0;

  // Derived: true exactly when DOFMode is 0 (the speed is prescribed over time).
  bool SpeedSpecified = false;
};

// One stored field of the record: its name, byte offset and member. A text holds at most
// `Capacity` characters after its length byte; a slot table holds kSlotSize-byte slots of two
// real32 values, named by SlotValues.
struct RunParameterField {
  const char* Name;
  std::size_t Offset;
  std::variant<std::uint8_t RunParameters::*, bool RunParameters::*, std::int16_t RunParameters::*,
               std::int32_t RunParameters::*, float RunParameters::*, std::string RunParameters::*,
               ThrustTable RunParameters::*, LevelerTable RunParameters::*>
      Member;
  std::size_t Capacity = 0;
};

// Every named field of the record, in the order of the record (SpeedSpecified is derived, not
// stored). Decoding, the writers and the tool's JSON all go through this one table.
std::span<const RunParameterField> RunParameterFields();

// The two values of a slot, in stored order, with their names.
template <typename Point>
struct SlotValue {
  const char* Name;
  float Point::*Member;
};
constexpr std::array<SlotValue<ThrustPoint>, 2> SlotValues(const ThrustPoint&) {
  return {{{"Value", &ThrustPoint::Value}, {"Time", &ThrustPoint::Time}}};
}
constexpr std::array<SlotValue<LevelerPoint>, 2> SlotValues(const LevelerPoint&) {
  return {{{"Angle", &LevelerPoint::Angle}, {"Speed", &LevelerPoint::Speed}}};
}

// Decodes the named fields and SpeedSpecified from a current-layout record. Values are taken as
// stored, with no range check (NaN and infinities included); a bool8 is true when its byte is not 0.
RunParameters DecodeRunParameters(const std::array<std::uint8_t, run_parameters_layout::kRecordSize>& raw);

// Reads `runPath` + ".HVX" (the extension found case-insensitively beside the run) in either layout.
// Throws Error "File not found: PATH" when the file cannot be opened and "Read beyond end of file:
// PATH" when it is shorter than the layout needs. Bytes beyond the record are ignored.
RunParameters ReadRunParameters(const std::string& runPath);

// Decodes a run parameter file's bytes (either layout); `path` only names the file in errors.
RunParameters ParseRunParameters(const std::string& bytes, const std::string& path);

// The names the program gives the propulsion modes (DOFMode 0 ... 3) and the sea kinds
// (Waves 0 ... 4); an empty text for any other value.
std::string ModeName(int dofMode);
std::string SeaKindName(int waves);

}  // namespace hulvex

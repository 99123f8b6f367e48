// The boat record (".BOT"): the hull's design inputs, fields kept for the program that writes boat
// files, and the derived coefficients of the analytic hull formulas.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "hull/boat_record_layout.h"

namespace hulvex {

struct BoatLevelerPoint {
  float Angle = 0;  // degrees, from this speed threshold up to the next one
  float Speed = 0;  // knots
};

// The record with every named field decoded. `Raw` holds the 402 bytes as read, so fields the
// viewer does not interpret survive; the named fields are the working values (the hull set-up and
// the spline loaders change them, Raw stays as read).
struct BoatRecord {
  std::array<std::uint8_t, boat_record_layout::kRecordSize> Raw{};

  std::int16_t HullType = 0;
  float Beam = 0;
  float KeelDepth = 0;
  float ChineDepth = 0;
  float KeelExp = 0;
  float ChineExp = 0;
  float AA = 0;
  float PlanExp = 0;
  float Weight = 0;
  float Gyradius = 0;
  float LCG = 0;
  float VCG = 0;
  float Length = 0;
  float AftLength = 0;
  float ForeLength = 0;
  std::int16_t Spare58 = 0;
  std::int16_t LevelerFit = 0;
  std::array<float, boat_record_layout::kReserved62Count> Reserved62{};
  std::array<BoatLevelerPoint, boat_record_layout::kLevTblCount> LevTbl{};
  std::uint8_t SplineAlt = 0;
  std::uint8_t SplineAlt2 = 0;
  float LineAngle = 0;
  float PointDepth = 0;
  float PointX = 0;
  float TransomBeam = 0;
  float ChineTaper1 = 0;
  float ChineTaper2 = 0;
  float ChineTaper3 = 0;
  float ChineLength = 0;
  float ChineExpA = 0;
  float ChineExpB = 0;
  float StemRake = 0;
  float GunwaleLength = 0;
  float GunwaleExp1 = 0;
  float GunwaleExp2 = 0;
  float GunwaleBeam = 0;
  float GunwaleTaper1 = 0;
  float GunwaleTaper2 = 0;
  float GunwaleTaper3 = 0;
  float SheerLowXs = 0;
  float SheerLow = 0;
  float SheerStem = 0;
  float SheerTransom = 0;
  float SheerExpFwd = 0;
  float SheerExpAft = 0;
  float SheerLowX = 0;
  float ChineAngle = 0;
  float GunwaleAngle = 0;
  float Flare = 0;
  float TransomFlare = 0;
  std::string BoatName;  // the 48 stored characters, blanks included (8-bit text)
  float StaticZG = 0;
  float StaticTrim = 0;
  float DeadriseAft = 0;
  float DeadriseBow = 0;
  float DeadriseAftRad = 0;
  float DeadriseBowRad = 0;
  float DeadriseLength = 0;
  float DeadriseMix = 0;
  float DeadriseMixC = 0;
  float DeadriseExp1 = 0;
  float DeadriseExp2 = 0;
  float DeadriseD1 = 0;
  float DeadriseD2 = 0;
  float DeadriseDScale = 0;
  float DeadriseSpan = 0;
  float RockerCoef = 0;
  float RockerExp = 0;
  float RockerEnd = 0;
  float KeelSlopeScale = 0;
  float RockerCP = 0;
  float RockerExpM1 = 0;
  float KeelExpM1 = 0;
  float PlanG1 = 0;
  float PlanG = 0;
  float PlanOffset = 0;
  float PlanShift = 0;
  float PlanScale = 0;
  float PlanSlopeFactor = 0;
  std::uint8_t SplineProps = 0;
};

// One single-precision field of the record: its name, byte offset and member. Every real32 field
// of the record except the arrays Reserved62 and LevTbl, in the order of the record.
struct BoatRealField {
  const char* Name;
  std::size_t Offset;
  float BoatRecord::*Member;
};
std::span<const BoatRealField> BoatRealFields();

// Decodes every named field from the 402 stored bytes, taken as stored (no range check).
BoatRecord DecodeBoatRecord(const std::array<std::uint8_t, boat_record_layout::kRecordSize>& raw);

// Reads record 0 of the boat file at `path`. Returns nothing when the file cannot be opened.
// Throws Error "Read beyond end of file: PATH" when it holds fewer than 402 bytes; bytes beyond
// the first record are ignored.
std::optional<BoatRecord> ReadBoatFile(const std::string& path);

// The spline file name of a boat: BoatName (at most 48 characters) with trailing blanks removed;
// empty when the name is all blanks.
std::string SplineFileNameOf(const BoatRecord& pb);

}  // namespace hulvex

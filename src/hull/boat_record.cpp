#include "hull/boat_record.h"

#include <algorithm>

#include "common/error.h"
#include "common/le_bytes.h"
#include "common/file_reading.h"

namespace hulvex {
namespace BL = boat_record_layout;

namespace {

// Every real32 field but the two arrays, in record order.
constexpr BoatRealField kRealFields[] = {
    {"Beam", BL::kBeam, &BoatRecord::Beam},
    {"KeelDepth", BL::kKeelDepth, &BoatRecord::KeelDepth},
    {"ChineDepth", BL::kChineDepth, &BoatRecord::ChineDepth},
    {"KeelExp", BL::kKeelExp, &BoatRecord::KeelExp},
    {"ChineExp", BL::kChineExp, &BoatRecord::ChineExp},
    {"AA", BL::kAA, &BoatRecord::AA},
    {"PlanExp", BL::kPlanExp, &BoatRecord::PlanExp},
    {"Weight", BL::kWeight, &BoatRecord::Weight},
    {"Gyradius", BL::kGyradius, &BoatRecord::Gyradius},
    {"LCG", BL::kLCG, &BoatRecord::LCG},
    {"VCG", BL::kVCG, &BoatRecord::VCG},
    {"Length", BL::kLength, &BoatRecord::Length},
    {"AftLength", BL::kAftLength, &BoatRecord::AftLength},
    {"ForeLength", BL::kForeLength, &BoatRecord::ForeLength},
    {"LineAngle", BL::kLineAngle, &BoatRecord::LineAngle},
    {"PointDepth", BL::kPointDepth, &BoatRecord::PointDepth},
    {"PointX", BL::kPointX, &BoatRecord::PointX},
    {"TransomBeam", BL::kTransomBeam, &BoatRecord::TransomBeam},
    {"ChineTaper1", BL::kChineTaper1, &BoatRecord::ChineTaper1},
    {"ChineTaper2", BL::kChineTaper2, &BoatRecord::ChineTaper2},
    {"ChineTaper3", BL::kChineTaper3, &BoatRecord::ChineTaper3},
    {"ChineLength", BL::kChineLength, &BoatRecord::ChineLength},
    {"ChineExpA", BL::kChineExpA, &BoatRecord::ChineExpA},
    {"ChineExpB", BL::kChineExpB, &BoatRecord::ChineExpB},
    {"StemRake", BL::kStemRake, &BoatRecord::StemRake},
    {"GunwaleLength", BL::kGunwaleLength, &BoatRecord::GunwaleLength},
    {"GunwaleExp1", BL::kGunwaleExp1, &BoatRecord::GunwaleExp1},
    {"GunwaleExp2", BL::kGunwaleExp2, &BoatRecord::GunwaleExp2},
    {"GunwaleBeam", BL::kGunwaleBeam, &BoatRecord::GunwaleBeam},
    {"GunwaleTaper1", BL::kGunwaleTaper1, &BoatRecord::GunwaleTaper1},
    {"GunwaleTaper2", BL::kGunwaleTaper2, &BoatRecord::GunwaleTaper2},
    {"GunwaleTaper3", BL::kGunwaleTaper3, &BoatRecord::GunwaleTaper3},
    {"SheerLowXs", BL::kSheerLowXs, &BoatRecord::SheerLowXs},
    {"SheerLow", BL::kSheerLow, &BoatRecord::SheerLow},
    {"SheerStem", BL::kSheerStem, &BoatRecord::SheerStem},
    {"SheerTransom", BL::kSheerTransom, &BoatRecord::SheerTransom},
    {"SheerExpFwd", BL::kSheerExpFwd, &BoatRecord::SheerExpFwd},
    {"SheerExpAft", BL::kSheerExpAft, &BoatRecord::SheerExpAft},
    {"SheerLowX", BL::kSheerLowX, &BoatRecord::SheerLowX},
    {"ChineAngle", BL::kChineAngle, &BoatRecord::ChineAngle},
    {"GunwaleAngle", BL::kGunwaleAngle, &BoatRecord::GunwaleAngle},
    {"Flare", BL::kFlare, &BoatRecord::Flare},
    {"TransomFlare", BL::kTransomFlare, &BoatRecord::TransomFlare},
    {"StaticZG", BL::kStaticZG, &BoatRecord::StaticZG},
    {"StaticTrim", BL::kStaticTrim, &BoatRecord::StaticTrim},
    {"DeadriseAft", BL::kDeadriseAft, &BoatRecord::DeadriseAft},
    {"DeadriseBow", BL::kDeadriseBow, &BoatRecord::DeadriseBow},
    {"DeadriseAftRad", BL::kDeadriseAftRad, &BoatRecord::DeadriseAftRad},
    {"DeadriseBowRad", BL::kDeadriseBowRad, &BoatRecord::DeadriseBowRad},
    {"DeadriseLength", BL::kDeadriseLength, &BoatRecord::DeadriseLength},
    {"DeadriseMix", BL::kDeadriseMix, &BoatRecord::DeadriseMix},
    {"DeadriseMixC", BL::kDeadriseMixC, &BoatRecord::DeadriseMixC},
    {"DeadriseExp1", BL::kDeadriseExp1, &BoatRecord::DeadriseExp1},
    {"DeadriseExp2", BL::kDeadriseExp2, &BoatRecord::DeadriseExp2},
    {"DeadriseD1", BL::kDeadriseD1, &BoatRecord::DeadriseD1},
    {"DeadriseD2", BL::kDeadriseD2, &BoatRecord::DeadriseD2},
    {"DeadriseDScale", BL::kDeadriseDScale, &BoatRecord::DeadriseDScale},
    {"DeadriseSpan", BL::kDeadriseSpan, &BoatRecord::DeadriseSpan},
    {"RockerCoef", BL::kRockerCoef, &BoatRecord::RockerCoef},
    {"RockerExp", BL::kRockerExp, &BoatRecord::RockerExp},
    {"RockerEnd", BL::kRockerEnd, &BoatRecord::RockerEnd},
    {"KeelSlopeScale", BL::kKeelSlopeScale, &BoatRecord::KeelSlopeScale},
    {"RockerCP", BL::kRockerCP, &BoatRecord::RockerCP},
    {"RockerExpM1", BL::kRockerExpM1, &BoatRecord::RockerExpM1},
    {"KeelExpM1", BL::kKeelExpM1, &BoatRecord::KeelExpM1},
    {"PlanG1", BL::kPlanG1, &BoatRecord::PlanG1},
    {"PlanG", BL::kPlanG, &BoatRecord::PlanG},
    {"PlanOffset", BL::kPlanOffset, &BoatRecord::PlanOffset},
    {"PlanShift", BL::kPlanShift, &BoatRecord::PlanShift},
    {"PlanScale", BL::kPlanScale, &BoatRecord::PlanScale},
    {"PlanSlopeFactor", BL::kPlanSlopeFactor, &BoatRecord::PlanSlopeFactor},
};

}  // namespace

std::span<const BoatRealField> BoatRealFields() { return kRealFields; }

BoatRecord DecodeBoatRecord(const std::array<std::uint8_t, BL::kRecordSize>& raw) {
  BoatRecord pb;
  pb.Raw = raw;
  const le::Bytes b(pb.Raw);
  pb.HullType = le::int16(b, BL::kHullType);
  for (const BoatRealField& f : kRealFields) pb.*f.Member = le::real32(b, f.Offset);
  pb.Spare58 = le::int16(b, BL::kSpare58);
  pb.LevelerFit = le::int16(b, BL::kLevelerFit);
  for (std::size_t i = 0; i < BL::kReserved62Count; ++i) pb.Reserved62[i] = le::real32(b, BL::kReserved62 + 4 * i);
  for (std::size_t i = 0; i < BL::kLevTblCount; ++i) {
    pb.LevTbl[i].Angle = le::real32(b, BL::kLevTbl + BL::kLevPairSize * i);
    pb.LevTbl[i].Speed = le::real32(b, BL::kLevTbl + BL::kLevPairSize * i + 4);
  }
  pb.SplineAlt = le::uint8(b, BL::kSplineAlt);
  pb.SplineAlt2 = le::uint8(b, BL::kSplineAlt2);
  pb.BoatName = le::FixedChars(b, BL::kBoatName, BL::kBoatNameWidth);
  pb.SplineProps = le::uint8(b, BL::kSplineProps);
  return pb;
}

std::optional<BoatRecord> ReadBoatFile(const std::string& path) {
  const auto bytes = ReadFileHead(path, BL::kRecordSize);
  if (!bytes) return std::nullopt;
  if (bytes->size() < BL::kRecordSize) throw ReadBeyondEnd(path);
  std::array<std::uint8_t, BL::kRecordSize> raw{};
  std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes->data()), BL::kRecordSize, raw.begin());
  return DecodeBoatRecord(raw);
}

std::string SplineFileNameOf(const BoatRecord& pb) {
  std::string name = pb.BoatName.substr(0, std::min(pb.BoatName.size(), BL::kBoatNameWidth));
  const auto last = name.find_last_not_of(' ');
  name.erase(last == std::string::npos ? 0 : last + 1);
  return name;
}

}  // namespace hulvex

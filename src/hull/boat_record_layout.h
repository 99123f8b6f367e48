// Byte layout of the boat record (".BOT"): offsets of every field, in one place for the reader and
// the writers. Packed, little-endian, single-precision reals.
#pragma once

#include <cstddef>

namespace hulvex::boat_record_layout {

constexpr std::size_t kRecordSize = 402;

constexpr std::size_t kHullType = 0;          // int16
constexpr std::size_t kBeam = 2;              // real32, all reals below likewise
constexpr std::size_t kKeelDepth = 6;
constexpr std::size_t kChineDepth = 10;
constexpr std::size_t kKeelExp = 14;
constexpr std::size_t kChineExp = 18;
constexpr std::size_t kAA = 22;
constexpr std::size_t kPlanExp = 26;
constexpr std::size_t kWeight = 30;
constexpr std::size_t kGyradius = 34;
constexpr std::size_t kLCG = 38;
constexpr std::size_t kVCG = 42;
constexpr std::size_t kLength = 46;
constexpr std::size_t kAftLength = 50;
constexpr std::size_t kForeLength = 54;
constexpr std::size_t kSpare58 = 58;          // int16
constexpr std::size_t kLevelerFit = 60;       // int16
constexpr std::size_t kReserved62 = 62;       // 4 reals
constexpr std::size_t kReserved62Count = 4;
constexpr std::size_t kLevTbl = 78;           // 4 pairs {Angle real32, Speed real32}
constexpr std::size_t kLevTblCount = 4;
constexpr std::size_t kLevPairSize = 8;
constexpr std::size_t kSplineAlt = 110;       // uint8
constexpr std::size_t kSplineAlt2 = 111;      // uint8
constexpr std::size_t kLineAngle = 114;
constexpr std::size_t kPointDepth = 118;
constexpr std::size_t kPointX = 122;
constexpr std::size_t kTransomBeam = 132;
constexpr std::size_t kChineTaper1 = 136;
constexpr std::size_t kChineTaper2 = 140;
constexpr std::size_t kChineTaper3 = 144;
constexpr std::size_t kChineLength = 148;
constexpr std::size_t kChineExpA = 152;
constexpr std::size_t kChineExpB = 156;
constexpr std::size_t kStemRake = 160;
constexpr std::size_t kGunwaleLength = 164;
constexpr std::size_t kGunwaleExp1 = 168;
constexpr std::size_t kGunwaleExp2 = 172;
constexpr std::size_t kGunwaleBeam = 176;
constexpr std::size_t kGunwaleTaper1 = 180;
constexpr std::size_t kGunwaleTaper2 = 184;
constexpr std::size_t kGunwaleTaper3 = 188;
constexpr std::size_t kSheerLowXs = 192;
constexpr std::size_t kSheerLow = 196;
constexpr std::size_t kSheerStem = 200;
constexpr std::size_t kSheerTransom = 204;
constexpr std::size_t kSheerExpFwd = 208;
constexpr std::size_t kSheerExpAft = 212;
constexpr std::size_t kSheerLowX = 216;
constexpr std::size_t kChineAngle = 220;
constexpr std::size_t kGunwaleAngle = 224;
constexpr std::size_t kFlare = 228;
constexpr std::size_t kTransomFlare = 232;
constexpr std::size_t kBoatName = 236;        // 48 characters, blank-padded, no length byte
constexpr std::size_t kBoatNameWidth = 48;
constexpr std::size_t kStaticZG = 284;
constexpr std::size_t kStaticTrim = 288;
constexpr std::size_t kDeadriseAft = 292;
constexpr std::size_t kDeadriseBow = 296;
constexpr std::size_t kDeadriseAftRad = 300;
constexpr std::size_t kDeadriseBowRad = 304;
constexpr std::size_t kDeadriseLength = 308;
constexpr std::size_t kDeadriseMix = 312;
constexpr std::size_t kDeadriseMixC = 316;
constexpr std::size_t kDeadriseExp1 = 320;
constexpr std::size_t kDeadriseExp2 = 324;
constexpr std::size_t kDeadriseD1 = 328;
constexpr std::size_t kDeadriseD2 = 332;
constexpr std::size_t kDeadriseDScale = 336;
constexpr std::size_t kDeadriseSpan = 340;
constexpr std::size_t kRockerCoef = 344;
constexpr std::size_t kRockerExp = 348;
constexpr std::size_t kRockerEnd = 352;
constexpr std::size_t kKeelSlopeScale = 356;
constexpr std::size_t kRockerCP = 360;
constexpr std::size_t kRockerExpM1 = 364;
constexpr std::size_t kKeelExpM1 = 368;
constexpr std::size_t kPlanG1 = 376;
constexpr std::size_t kPlanG = 380;
constexpr std::size_t kPlanOffset = 384;
constexpr std::size_t kPlanShift = 388;
constexpr std::size_t kPlanScale = 392;
constexpr std::size_t kPlanSlopeFactor = 396;
constexpr std::size_t kSplineProps = 401;     // uint8

}  // namespace hulvex::boat_record_layout

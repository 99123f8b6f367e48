#include "demo/boat_writer.h"

#include <cmath>
#include <fstream>

#include "common/diagnostics.h"
#include "common/error.h"
#include "common/le_bytes.h"
#include "hull/hull_setup.h"
#include "demo/run_writers.h"

namespace hulvex::demo {
namespace BL = boat_record_layout;

std::vector<std::uint8_t> EncodeBoatRecord(const BoatRecord& pb) {
  std::vector<std::uint8_t> raw(pb.Raw.begin(), pb.Raw.end());
  const le::MutableBytes b(raw);
  le::put_int16(b, BL::kHullType, pb.HullType);
  for (const BoatRealField& f : BoatRealFields()) le::put_real32(b, f.Offset, pb.*f.Member);
  le::put_int16(b, BL::kSpare58, pb.Spare58);
  le::put_int16(b, BL::kLevelerFit, pb.LevelerFit);
  for (std::size_t i = 0; i < BL::kReserved62Count; ++i) le::put_real32(b, BL::kReserved62 + 4 * i, pb.Reserved62[i]);
  for (std::size_t i = 0; i < BL::kLevTblCount; ++i) {
    le::put_real32(b, BL::kLevTbl + BL::kLevPairSize * i, pb.LevTbl[i].Angle);
    le::put_real32(b, BL::kLevTbl + BL::kLevPairSize * i + 4, pb.LevTbl[i].Speed);
  }
  le::put_uint8(b, BL::kSplineAlt, pb.SplineAlt);
  le::put_uint8(b, BL::kSplineAlt2, pb.SplineAlt2);
  le::put_FixedChars(b, BL::kBoatName, BL::kBoatNameWidth, pb.BoatName);
  le::put_uint8(b, BL::kSplineProps, pb.SplineProps);
  return raw;
}

void WriteBoatFile(const std::string& path, const BoatRecord& pb) {
  const auto bytes = EncodeBoatRecord(pb);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw Error("cannot write " + path);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw Error("cannot write " + path);
}

BoatRecord SampleBoat(int hullType) {
  BoatRecord pb;
  pb.HullType = static_cast<std::int16_t>(hullType);
  pb.Beam = 8.0f;
  pb.KeelDepth = hullType >= 5 ? 2.1f : 1.5f;
  pb.ChineDepth = 0.8f;
  pb.KeelExp = 2.0f;
  pb.ChineExp = 1.5f;
  pb.AA = 1.5f;
  pb.PlanExp = 0.7f;
  pb.Weight = 4500.0f;
  pb.Gyradius = 6.0f;
  pb.LCG = 15.0f;
  pb.VCG = 2.2f;
  pb.AftLength = 15.0f;
  pb.ForeLength = 9.0f;
  pb.LevTbl[0] = {2.0f, 0.0f};
  pb.LevTbl[1] = {1.0f, 25.0f};
  pb.LineAngle = 4.0f;
  pb.PointDepth = 0.3f;
  pb.PointX = 20.0f;
  pb.TransomBeam = 7.2f;
  pb.ChineLength = 12.0f;
  pb.ChineExpA = 1.5f;
  pb.ChineExpB = 2.5f;
  pb.StemRake = 2.5f;
  pb.GunwaleExp1 = 1.3f;
  pb.GunwaleExp2 = 0.6f;
  pb.SheerLow = 2.8f;
  pb.SheerStem = 4.2f;
  pb.SheerTransom = 3.0f;
  pb.SheerExpFwd = 1.6f;
  pb.SheerExpAft = 2.0f;
  pb.SheerLowX = 14.0f;
  pb.ChineAngle = 3.0f;
  pb.GunwaleAngle = 4.0f;
  pb.Flare = 0.6f;
  pb.TransomFlare = 0.4f;
  pb.BoatName = std::string(BL::kBoatNameWidth, ' ');
  pb.StaticZG = 0.9f;
  pb.StaticTrim = 3.5f;
  pb.DeadriseAft = 18.0f;
  pb.DeadriseBow = 45.0f;
  pb.DeadriseLength = 12.0f;
  pb.DeadriseMix = 0.3f;
  pb.DeadriseExp1 = 1.5f;
  pb.DeadriseExp2 = 3.0f;
  pb.RockerCoef = hullType == 2 ? 0.05f : 0.0f;
  pb.RockerExp = 2.0f;
  pb.PlanOffset = 0.2f;

  // Derived fields as the hull set-up derives them, and the plan-form slope factor that matches
  // the chine plan-form.
  NullDiagnostics quiet;
  SplineStore none;
  PrepareHull(pb, none, SplineFileSource{}, quiet);
  pb.PlanSlopeFactor = MatchingPlanSlopeFactor(pb);
  return pb;
}

float MatchingPlanSlopeFactor(const BoatRecord& pb) {
  const double PlanScale = pb.PlanScale, PlanExp = pb.PlanExp, AA = pb.AA, PlanG = pb.PlanG,
               ForeLength = pb.ForeLength;
  return static_cast<float>(PlanScale * PlanExp * AA * std::pow(PlanG, AA) / ForeLength);
}

BoatRecord SampleSplineBoat(SplineLayout layout, const std::string& splineFileName) {
  BoatRecord pb = SampleBoat(1);
  if (layout == SplineLayout::SlopeFactor) {
    pb.SplineProps = 1;
  } else {
    pb.HullType = 7;
    pb.SplineAlt = layout == SplineLayout::PlainChine ? 0 : 1;
    pb.SplineAlt2 = layout == SplineLayout::ChineAngle ? 1 : 0;
  }
  pb.BoatName = splineFileName;
  pb.BoatName.resize(BL::kBoatNameWidth, ' ');
  return pb;
}

}  // namespace hulvex::demo

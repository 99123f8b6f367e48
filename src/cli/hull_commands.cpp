// boat, stations: the prepared boat record and the table of hull sections of a run.
#include <ostream>

#include "cli/cli_support.h"
#include "common/error.h"
#include "common/file_lookup.h"

namespace hulvex::cli {
namespace {

void WriteBoatJson(JsonWriter& j, const BoatRecord& pb) {
  j.BeginObject();
  j.Key("HullType").Integer(pb.HullType);
  for (const BoatRealField& f : BoatRealFields()) {
    j.Key(f.Name).Number(pb.*f.Member);
    if (f.Member == &BoatRecord::ForeLength) {
      // The record's order: the integers and arrays between ForeLength and LineAngle.
      j.Key("Spare58").Integer(pb.Spare58);
      j.Key("LevelerFit").Integer(pb.LevelerFit);
      j.Key("Reserved62").BeginArray();
      for (float v : pb.Reserved62) j.Number(v);
      j.EndArray();
      j.Key("LevTbl").BeginArray();
      for (const auto& l : pb.LevTbl) j.BeginObject().Key("Angle").Number(l.Angle).Key("Speed").Number(l.Speed).EndObject();
      j.EndArray();
      j.Key("SplineAlt").Integer(pb.SplineAlt);
      j.Key("SplineAlt2").Integer(pb.SplineAlt2);
    }
    if (f.Member == &BoatRecord::TransomFlare) j.Key("BoatName").Text8(pb.BoatName);
  }
  j.Key("SplineProps").Integer(pb.SplineProps);
  j.EndObject();
}

int Boat(const std::string& given, const std::string& dataDir, std::ostream& out, Diagnostics& diag) {
  LoadedRun run;
  OpenWholeRun(run, given, dataDir, diag);
  JsonWriter j;
  j.BeginObject();
  j.Key("PB");
  WriteBoatJson(j, run.Hull.PB);
  j.Key("SplineFileName").Text8(run.Hull.SplineFileName);
  j.EndObject();
  out << j.str();
  return 0;
}

int Stations(const std::string& given, const std::string& dataDir, std::ostream& out, Diagnostics& diag) {
  LoadedRun run;
  OpenWholeRun(run, given, dataDir, diag);
  const StationTable& t = run.Hull.Stations;
  JsonWriter j;
  j.BeginObject();
  j.Key("StationCount").Integer(t.StationCount);
  j.Key("StationSpacing").Number(t.StationSpacing);
  j.Key("CgBelowDatum").Number(t.CgBelowDatum);
  j.Key("Stations").BeginArray();
  for (int c = 0; c <= kMaxStations; ++c) {
    if (c > t.StationCount) {
      j.Null();
      continue;
    }
    j.BeginObject();
    for (const HullSectionField& f : HullSectionFields()) j.Key(f.Name).Number(t.Sections[c].*f.Member);
    j.EndObject();
  }
  j.EndArray();
  j.EndObject();
  out << j.str();
  return 0;
}

}  // namespace

void RegisterHullCommands(Tool& tool) {
  auto run = std::make_shared<std::string>();
  auto dataDir = std::make_shared<std::string>();
  const std::string dataHelp = "Directory of boat and spline files (default: the program's directory)";

  CLI::App* boat = AddCommand(tool, "boat", "The prepared boat record and its spline file name as JSON", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return Boat(*run, *dataDir, out, d); });
  });
  boat->add_option("RUN", *run, "The run's .HVX file, or its path without extension")->required();
  boat->add_option("--data-dir", *dataDir, dataHelp);

  CLI::App* stations = AddCommand(tool, "stations", "The hull sections at the stations as JSON", [=] {
    return CommandBody(
        [=](std::istream&, std::ostream& out, Diagnostics& d) { return Stations(*run, *dataDir, out, d); });
  });
  stations->add_option("RUN", *run, "The run's .HVX file, or its path without extension")->required();
  stations->add_option("--data-dir", *dataDir, dataHelp);
}

}  // namespace hulvex::cli

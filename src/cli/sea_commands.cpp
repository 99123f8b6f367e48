// sea: the sea surface of a run, sampled at points read from the input, or its derived constants.
#include <array>
#include <charconv>
#include <cmath>
#include <istream>
#include <optional>
#include <ostream>
#include <string_view>

#include "cli/cli_support.h"
#include "common/file_lookup.h"
#include "common/number_format.h"
#include "sea/sea_model.h"

namespace hulvex::cli {
namespace {

using Sample = std::array<double, 6>;  // Xb H T Gain Start End

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// The six numbers of one line, or nothing when the line holds anything else. Numbers are in the
// C locale's form, with an optional leading '+'; "nan" and "inf" are numbers.
std::optional<Sample> ParseSample(std::string_view line) {
  Sample v{};
  std::size_t count = 0;
  std::size_t pos = 0;
  while (true) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos == line.size()) break;
    std::size_t end = pos;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    std::string_view token = line.substr(pos, end - pos);
    pos = end;
    if (token.size() > 1 && token[0] == '+' && token[1] != '-') token.remove_prefix(1);
    if (count == v.size()) return std::nullopt;
    double x = 0;
    const auto r = std::from_chars(token.data(), token.data() + token.size(), x);
    if (r.ec != std::errc() || r.ptr != token.data() + token.size()) return std::nullopt;
    v[count++] = x;
  }
  if (count != v.size()) return std::nullopt;
  return v;
}

std::string FormatElevation(double eta) { return std::isnan(eta) ? "nan" : FormatSignificant(eta, 17); }

// One elevation per input line; a line that is not six numbers is reported by its number and
// printed as "nan", so the output stays line for line with the input; blank lines are skipped.
// Exit code 1 when any line was refused.
int SampleSea(const std::string& given, std::istream& in, std::ostream& out, Diagnostics& diag) {
  const RunParameters params = ReadRunParameters(RunPathOf(given));
  const SeaConstants sea = SeaSetUp(params, diag);
  int code = 0;
  std::string line;
  for (long number = 1; std::getline(in, line); ++number) {
    if (line.find_first_not_of(" \t\r\f\v") == std::string::npos) continue;
    const auto s = ParseSample(line);
    if (!s) {
      diag.Message("sample-line", "line " + std::to_string(number) +
                   " of the input is not six numbers (Xb H T Gain Start End); printed as nan");
      out << "nan\n";
      code = 1;
      continue;
    }
    const auto& [xb, h, t, gain, start, end] = *s;
    out << FormatElevation(SeaElevation(sea, xb, h, t, {gain, start, end}, diag)) << '\n';
  }
  return code;
}

void WriteSeaConstantsJson(JsonWriter& j, const SeaConstants& sea) {
  j.BeginObject();
  j.Key("Waves").Integer(sea.Waves);
  j.Key("WavesName").String(SeaKindName(sea.Waves));
  j.Key("Refused").Bool(sea.Refused);
  j.Key("FlatDrawn").Bool(sea.FlatDrawn);
  j.Key("DirSign").Number(sea.DirSign);
  j.Key("WaveLength").Number(sea.WaveLength);
  j.Key("Omega").Number(sea.Omega);
  j.Key("Amp").Number(sea.Amp);
  j.Key("WaveNumber").Number(sea.WaveNumber);
  j.Key("Celerity").Number(sea.Celerity);
  j.Key("RWvTdelay").Number(sea.RWvTdelay);
  j.Key("CompCount").Integer(sea.CompCount);
  j.Key("CompAmp").Number(sea.CompAmp);
  j.Key("CompOmega").BeginArray();
  for (int n = 0; n < sea.CompCount; ++n) j.Number(sea.CompOmega[n]);
  j.EndArray();
  j.Key("CompK").BeginArray();
  for (int n = 0; n < sea.CompCount; ++n) j.Number(sea.CompK[n]);
  j.EndArray();
  if (sea.Waves == 4 && !sea.FlatDrawn) {
    j.Key("StokesPhase").BeginArray();
    for (float v : sea.Stokes.StokesPhase) j.Number(v);
    j.EndArray();
    j.Key("StokesZ").BeginArray();
    for (float v : sea.Stokes.StokesZ) j.Number(v);
    j.EndArray();
  }
  j.EndObject();
}

int SeaTable(const std::string& given, std::ostream& out, Diagnostics& diag) {
  const RunParameters params = ReadRunParameters(RunPathOf(given));
  const SeaConstants sea = SeaSetUp(params, diag);
  JsonWriter j;
  WriteSeaConstantsJson(j, sea);
  out << j.str();
  return 0;
}

}  // namespace

void RegisterSeaCommands(Tool& tool) {
  auto run = std::make_shared<std::string>();
  auto table = std::make_shared<bool>(false);

  CLI::App* sea = AddCommand(tool, "sea", "Sea surface elevations for lines 'Xb H T Gain Start End' on stdin", [=] {
    return CommandBody([=](std::istream& in, std::ostream& out, Diagnostics& d) {
      return *table ? SeaTable(*run, out, d) : SampleSea(*run, in, out, d);
    });
  });
  sea->add_option("RUN", *run, "The run's .HVX file, or its path without extension")->required();
  sea->add_flag("--table", *table, "The run's sea constants as JSON instead");
}

}  // namespace hulvex::cli

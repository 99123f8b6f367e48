#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <regex>

#include "cli/run_tool.h"
#include "runfiles/time_history.h"
#include "runfiles/time_history_layout.h"
#include "support/file_edit.h"
#include "support/run_builder.h"

namespace hulvex::cli {
namespace {
using json = nlohmann::json;
using test::Lines;
using test::RunCli;
using test_support::RunBuilder;
using test_support::TempDir;

constexpr double kPi = 3.141592653589793;

// A run of a swell of `amplitude` from `start` s for `steps` steps of 0.01 s: heave at 0.5 Hz,
// acceleration at 1 Hz with a slam on each crest, pitch (zero when `flatPitch`) and a steady speed.
std::string SwellRun(const TempDir& dir, const std::string& name, double start, std::int32_t steps, double amplitude,
                     bool flatPitch = false) {
  RunBuilder b = RunBuilder::Named(name);
  b.Steps(steps);
  b.History.StartTime = start;
  b.History.EndTime = start + (steps - 1) * 0.01;
  b.History.values = [=](std::int32_t s, std::span<float> ch) {
    const double t = start + s * 0.01;
    const double wave = std::sin(2 * kPi * t);
    ch[kChHeight] = static_cast<float>(1 + amplitude * std::sin(kPi * t));
    ch[kChAcceleration] = static_cast<float>(16 * amplitude * (wave + (wave > 0.9 ? 4 * (wave - 0.9) : 0)));
    ch[kChPitch] = flatPitch ? 0.0f : static_cast<float>(0.03 * amplitude * std::cos(kPi * t));
    ch[kChSpeed] = 70;
    return t;
  };
  return b.Write(dir);
}

// The reference from 0 s to 20 s, with a flat pitch; B from 3 s to 25 s; C from 1 s to 18 s: the
// three share 3 s to 18 s. D, from 30 s to 35 s, shares no time with them.
struct Runs {
  TempDir dir;
  std::string a = SwellRun(dir, "A", 0, 2001, 1.0, true);
  std::string b = SwellRun(dir, "B", 3, 2201, 1.3);
  std::string c = SwellRun(dir, "C", 1, 1701, 0.7);
  std::string d = SwellRun(dir, "D", 30, 501, 1.0);
};
const Runs& Fixture() {
  static const Runs runs;
  return runs;
}

// The value at `figure` ("Channels[3].Rms", "Impacts.A1_3", "Motions[0].SignificantDoubleAmplitude")
// of a run's object of `hulvex stats`; the bracket is a channel number.
json FigureIn(const json& run, const std::string& figure) {
  static const std::regex listed(R"((Channels|Motions)\[(\d+)\]\.(\w+))"), block(R"((\w+)\.(\w+))");
  std::smatch m;
  if (std::regex_match(figure, m, listed)) {
    for (const json& entry : run[m[1].str()]) {
      if (entry["Channel"] == std::stoi(m[2].str())) return entry.at(m[3].str());
    }
  } else if (std::regex_match(figure, m, block)) {
    const json& b = run.at(m[1].str());
    return b.is_null() ? json(nullptr) : b.at(m[2].str());
  }
  ADD_FAILURE() << "no figure " << figure;
  return nullptr;
}

TEST(CompareCommand, JsonHoldsEachRunsStatisticsOverTheSharedTimeAndTheirDifferences) {
  const Runs& r = Fixture();
  struct Case {
    const char* name;
    std::vector<std::string> window, options;  // options: those `hulvex stats` takes too
    double from, to;
  };
  const Case cases[] = {
      {"the shared time", {}, {}, 3, 18},
      {"bounds and dead band given", {"--from", "4.5", "--to", "12"}, {"--threshold", "0.2", "--hysteresis", "0"}, 4.5, 12},
      {"one bound given", {"--to", "10"}, {}, 3, 10},
  };
  for (const Case& k : cases) {
    std::vector<std::string> args{"compare", r.a, r.b, r.c, "--json"};
    args.insert(args.end(), k.window.begin(), k.window.end());
    args.insert(args.end(), k.options.begin(), k.options.end());
    const auto out = RunCli(args);
    ASSERT_EQ(out.code, 0) << k.name << "\n" << out.err;
    const json j = json::parse(out.out);
    EXPECT_EQ(j["Reference"], r.a) << k.name;
    EXPECT_EQ(j["From"], k.from) << k.name;
    EXPECT_EQ(j["To"], k.to) << k.name;
    const std::vector<std::string> runs{r.a, r.b, r.c};
    ASSERT_EQ(j["Runs"].size(), runs.size()) << k.name;
    for (std::size_t i = 0; i < runs.size(); ++i) {
      // What `hulvex stats` gives the run alone over the same window with the same options.
      std::vector<std::string> alone{"stats", runs[i], "--from", j["From"].dump(), "--to", j["To"].dump()};
      alone.insert(alone.end(), k.options.begin(), k.options.end());
      EXPECT_EQ(j["Runs"][i], json::parse(RunCli(alone).out)) << k.name << " " << runs[i];
    }

    // Every figure of B and C against A's, from the runs' objects.
    const json& differences = j["Differences"];
    ASSERT_EQ(differences.size() % 2, 0u);
    const std::size_t figures = differences.size() / 2;
    EXPECT_EQ(figures, 4 * 5 + 6 + 5 + 2 + 3u) << k.name;
    std::size_t nullPercents = 0;
    for (std::size_t d = 0; d < differences.size(); ++d) {
      const json& diff = differences[d];
      const std::size_t other = 1 + d / figures;
      EXPECT_EQ(diff["Run"], runs[other]);
      EXPECT_EQ(diff["Figure"], differences[d % figures]["Figure"]) << "the same figures for each run";
      const std::string figure = diff["Figure"];
      const json reference = FigureIn(j["Runs"][0], figure), value = FigureIn(j["Runs"][other], figure);
      EXPECT_EQ(diff["Reference"], reference) << figure;
      EXPECT_EQ(diff["Value"], value) << figure;
      if (reference.is_null() || value.is_null()) {
        EXPECT_TRUE(diff["Difference"].is_null()) << figure;
        EXPECT_TRUE(diff["Percent"].is_null()) << figure;
        ++nullPercents;
        continue;
      }
      const double ref = reference.get<double>(), v = value.get<double>();
      EXPECT_DOUBLE_EQ(diff["Difference"].get<double>(), v - ref) << figure;
      if (ref == 0) {
        EXPECT_TRUE(diff["Percent"].is_null()) << figure;
        ++nullPercents;
      } else {
        EXPECT_NEAR(diff["Percent"].get<double>(), 100 * (v - ref) / std::abs(ref), 1e-12 * std::abs(v - ref) * 100 / std::abs(ref))
            << figure;
      }
    }
    // A's flat pitch (mean 0) and A1_100 (fewer than 100 peaks) give null percents.
    EXPECT_GE(nullPercents, 2 * 5u) << k.name;
  }
}

// The compared figure a CSV column of `hulvex stats` shows, or "" for a column of none.
std::string FigureOfColumn(const std::string& header) {
  static const std::map<std::string, std::string> blocks = {
      {"PeakCount", "Impacts.PeakCount"}, {"PeaksPerMinute", "Impacts.PeaksPerMinute"}, {"A1_3_g", "Impacts.A1_3"},
      {"A1_10_g", "Impacts.A1_10"},       {"A1_100_g", "Impacts.A1_100"},               {"Largest_g", "Impacts.Largest"},
      {"WeightedRms_m/s2", "Iso2631.WeightedRms"}, {"Vdv_m/s1.75", "Iso2631.Vdv"},      {"Mtvv_m/s2", "Iso2631.Mtvv"}};
  static const std::regex perChannel(R"(ch(\d+)_(Mean|StdDev|Min|Max|SignificantDoubleAmplitude)_.+)");
  if (std::smatch m; std::regex_match(header, m, perChannel)) {
    return (m[2] == "SignificantDoubleAmplitude" ? "Motions[" : "Channels[") + m[1].str() + "]." + m[2].str();
  }
  const auto it = blocks.find(header);
  return it == blocks.end() ? "" : it->second;
}

// The CSV cell's number, or null for an empty cell.
json Cell(const std::string& cell) { return cell.empty() ? json(nullptr) : json(std::stod(cell)); }

TEST(CompareCommand, CsvIsTheStatsRowsThenAPercentRowPerFurtherRun) {
  const Runs& r = Fixture();
  const auto csv = RunCli({"compare", r.a, r.b, r.c, "--csv"});
  ASSERT_EQ(csv.code, 0) << csv.err;
  const std::vector<std::string> lines = Lines(csv.out);
  const std::vector<std::string> stats = Lines(RunCli({"stats", r.a, r.b, r.c, "--csv", "--from", "3", "--to", "18"}).out);
  ASSERT_EQ(lines.size(), stats.size() + 2);
  for (std::size_t i = 0; i < stats.size(); ++i) EXPECT_EQ(lines[i], stats[i]);

  const json j = json::parse(RunCli({"compare", r.a, r.b, r.c, "--json"}).out);
  const std::vector<std::string> header = test::CsvCells(lines[0]);
  for (std::size_t k = 1; k <= 2; ++k) {
    const std::vector<std::string> row = test::CsvCells(lines[3 + k]);
    ASSERT_EQ(row.size(), header.size());
    EXPECT_EQ(row.front(), "Δ% " + std::string(k == 1 ? r.b : r.c));
    std::size_t shown = 0;
    for (std::size_t col = 1; col < header.size(); ++col) {
      const std::string figure = FigureOfColumn(header[col]);
      json expected = nullptr;
      for (const json& d : j["Differences"]) {
        if (d["Run"] == row.front().substr(std::string("Δ% ").size()) && d["Figure"] == figure) expected = d["Percent"];
      }
      const json cell = Cell(row[col]);
      if (expected.is_null()) {
        EXPECT_TRUE(cell.is_null()) << header[col];
      } else {
        ++shown;
        EXPECT_NEAR(cell.get<double>(), expected.get<double>(), 1e-8 * std::abs(expected.get<double>())) << header[col];
      }
    }
    EXPECT_GE(shown, 10u);
  }
}

// Characters of UTF-8 text.
std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char ch) { return (ch & 0xC0) != 0x80; }));
}

// The cells of a table line: fields apart by two spaces or more.
std::vector<std::string> TableCells(const std::string& line) {
  static const std::regex gap(" {2,}");
  return {std::sregex_token_iterator(line.begin(), line.end(), gap, -1), std::sregex_token_iterator()};
}

TEST(CompareCommand, TableHasARowPerFigureWithTheRunsValuesAndPercentsAligned) {
  const Runs& r = Fixture();
  const auto table = RunCli({"compare", r.a, r.b, r.c});
  ASSERT_EQ(table.code, 0) << table.err;
  const json j = json::parse(RunCli({"compare", r.a, r.b, r.c, "--json"}).out);
  const std::vector<std::string> lines = Lines(table.out);
  const std::size_t figures = j["Differences"].size() / 2;
  ASSERT_EQ(lines.size(), 2 + figures);
  EXPECT_EQ(lines[0], "Reference " + r.a + ", from 3 s to 18 s");
  EXPECT_EQ(TableCells(lines[1]), (std::vector<std::string>{"Figure", r.a, r.b, r.c, "Δ% " + r.b, "Δ% " + r.c}));
  for (std::size_t f = 0; f < figures; ++f) {
    const std::string& line = lines[2 + f];
    EXPECT_EQ(Width(line), Width(lines[1])) << "aligned: " << line;
    const std::vector<std::string> cells = TableCells(line);
    ASSERT_EQ(cells.size(), 6u) << line;
    const std::string figure = j["Differences"][f]["Figure"];
    EXPECT_EQ(cells[0], figure);
    for (std::size_t run = 0; run < 3; ++run) {
      const json v = FigureIn(j["Runs"][run], figure);
      if (v.is_null()) {
        EXPECT_EQ(cells[1 + run], "n/a") << figure;
      } else {
        EXPECT_NEAR(std::stod(cells[1 + run]), v.get<double>(), 1e-5 * std::abs(v.get<double>())) << figure;
      }
    }
    for (std::size_t other = 0; other < 2; ++other) {
      const json p = j["Differences"][other * figures + f]["Percent"];
      if (p.is_null()) {
        EXPECT_EQ(cells[4 + other], "n/a") << figure;
      } else {
        EXPECT_NEAR(std::stod(cells[4 + other]), p.get<double>(), 0.05 + 1e-9) << figure;
        EXPECT_EQ(cells[4 + other][0], p.get<double>() > 0 ? '+' : p.get<double>() < 0 ? '-' : '0') << figure;
      }
    }
  }
}

// The window comes from each run's first and last step as the open indexes them, whatever the
// file's last record or the header's times say: B is cut inside a step, the header of C announces
// fewer steps than the file holds, that of D gives a start and an end its steps do not have.
TEST(CompareCommand, WindowIsTheStepTimesSpanNotTheLastRecordsOrTheHeaders) {
  namespace L = time_history_layout;
  using test_support::Int32Bytes;
  using test_support::PatchFile;
  using test_support::Real64Bytes;
  const TempDir dir;
  const std::string a = SwellRun(dir, "A", 0, 2001, 1.0);  // 0 s to 20 s
  const std::string b = SwellRun(dir, "B", 3, 2201, 1.3);  // written to 25 s, cut after 17.99 s
  test_support::TruncateFile(b + ".TTS", L::kRecordSize * (1 + 1500) + 20);
  const std::string c = SwellRun(dir, "C", 1, 1701, 0.7);  // written to 18 s, the header ending it at 15 s
  PatchFile(c + ".TTS", L::kLastStep, Int32Bytes(1400));
  const std::string d = SwellRun(dir, "D", 2, 1701, 0.9);  // 2 s to 19 s, the header saying -100 s to 1000 s
  PatchFile(d + ".TTS", L::kStartTime, Real64Bytes(-100));
  PatchFile(d + ".TTS", L::kEndTime, Real64Bytes(1000));
  const std::vector<std::string> runs{a, b, c, d};

  // The shared time from each run's span as `hulvex stats` reads the run alone.
  double from = -std::numeric_limits<double>::infinity(), to = std::numeric_limits<double>::infinity();
  for (const std::string& run : runs) {
    const json alone = json::parse(RunCli({"stats", run}).out);
    from = std::max(from, alone["From"].get<double>());
    to = std::min(to, alone["To"].get<double>());
  }
  EXPECT_NEAR(from, 3, 1e-9);
  EXPECT_NEAR(to, 15, 1e-9);

  const auto out = RunCli({"compare", a, b, c, d, "--json"});
  ASSERT_EQ(out.code, 0) << out.err;
  const json j = json::parse(out.out);
  EXPECT_EQ(j["From"], from);
  EXPECT_EQ(j["To"], to);
  ASSERT_EQ(j["Runs"].size(), runs.size());
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(j["Runs"][i], json::parse(RunCli({"stats", runs[i], "--from", j["From"].dump(), "--to", j["To"].dump()}).out))
        << runs[i];
  }
}

TEST(CompareCommand, FailuresNameTheRunOrTheWindowAndWriteNoTable) {
  const Runs& r = Fixture();
  const std::string missing = r.dir / "NONE";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string err;  // all of stderr for code 1, its start for code 2
  };
  const Case cases[] = {
      {"a run that cannot be read", {"compare", r.a, missing, r.b}, 1,
       "error: " + missing + ": File not found: " + missing + ".HVX\n"},
      {"no shared time", {"compare", r.a, r.d, r.c}, 1,
       "error: The runs share no time: " + r.d + " starts at 30 s, after " + r.c + " ends at 18 s\n"},
      {"a bound beyond the shared time", {"compare", r.a, r.b, "--from", "21"}, 1,
       "error: The window from 21 s to 20 s is empty (the runs share 3 s to 20 s)\n"},
      {"a window without a step of a run", {"compare", r.a, r.b, "--from", "0", "--to", "2"}, 1,
       "error: " + r.b + ": No step of " + r.b + " lies between 0 s and 2 s (its steps run from 3 s to 25 s)\n"},
      {"one run", {"compare", r.a}, 2, "RUN: needs two runs or more"},
      {"from after to", {"compare", r.a, r.b, "--from", "5", "--to", "1"}, 2, "--from: is after --to"},
      {"negative hysteresis", {"compare", r.a, r.b, "--hysteresis", "-1"}, 2, "--hysteresis: must be a number"},
      {"json and csv", {"compare", r.a, r.b, "--json", "--csv"}, 2, "--json excludes --csv"},
  };
  for (const Case& c : cases) {
    const auto out = RunCli(c.args);
    EXPECT_EQ(out.code, c.code) << c.name << "\n" << out.err;
    EXPECT_EQ(out.out, "") << c.name;
    EXPECT_EQ(out.err.substr(0, c.code == 1 ? std::string::npos : c.err.size()), c.err) << c.name;
  }
}

}  // namespace
}  // namespace hulvex::cli

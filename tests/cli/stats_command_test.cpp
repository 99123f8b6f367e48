#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <regex>
#include <sstream>

#include "cli/run_tool.h"
#include "demo/demo_runs.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"
#include "runfiles/channel_vocabulary.h"
#include "runfiles/time_history.h"
#include "support/run_builder.h"

namespace hulvex::cli {
namespace {
using json = nlohmann::json;
using test::RunCli;
using test_support::RunBuilder;
using test_support::TempDir;

// Two demonstration runs, written once for the whole suite.
struct Demo {
  TempDir dir;
  std::string head, accelerating;  // DV30HEAD (sinusoidal head sea), CA32ACC (flat sea)
  Demo() {
    for (const auto& c : demo::DemoCases()) {
      if (c.Name == "DV30HEAD") head = demo::WriteDemoRun(dir.path(), c);
      if (c.Name == "CA32ACC") accelerating = demo::WriteDemoRun(dir.path(), c);
    }
  }
};
const Demo& Runs() {
  static const Demo demo;
  return demo;
}

// Time and channels 0 and 2 of every step, read back with `hulvex csv` (display units).
struct Column {
  std::vector<double> time, height, accel;
};
Column CsvOf(const std::string& run) {
  const auto r = RunCli({"csv", run});
  std::istringstream in(r.out);
  std::string line;
  std::getline(in, line);
  Column c;
  while (std::getline(in, line)) {
    std::vector<double> f;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, ',');) f.push_back(std::stod(cell));
    c.time.push_back(f[1]);
    c.height.push_back(f[2]);
    c.accel.push_back(f[4]);
  }
  return c;
}

TEST(StatsCommand, OneRunMatchesAnIndependentPassOverItsSteps) {
  const std::string run = Runs().head;
  const auto r = RunCli({"stats", run, "--from", "5", "--to", "15.5"});
  ASSERT_EQ(r.code, 0) << r.err;
  const json j = json::parse(r.out);
  const Column c = CsvOf(run);

  double sum = 0, squares = 0, maxAccel = -1e300;
  std::vector<double> heights;
  for (std::size_t i = 0; i < c.time.size(); ++i) {
    if (c.time[i] < 5 || c.time[i] > 15.5) continue;
    heights.push_back(c.height[i]);
    sum += c.height[i];
    squares += c.height[i] * c.height[i];
    maxAccel = std::max(maxAccel, c.accel[i]);
  }
  const std::size_t steps = heights.size();
  const double mean = sum / static_cast<double>(steps);
  double deviations = 0;
  for (double h : heights) deviations += (h - mean) * (h - mean);
  EXPECT_EQ(j["Run"], run);
  EXPECT_EQ(j["From"], 5.0);
  EXPECT_EQ(j["To"], 15.5);
  EXPECT_EQ(j["Steps"], steps);
  ASSERT_EQ(j["Channels"].size(), 4u);
  const json& height = j["Channels"][0];
  EXPECT_EQ(height["Name"], "Height of the centre of gravity");
  EXPECT_EQ(height["Unit"], "ft");
  EXPECT_NEAR(height["Mean"].get<double>(), mean, 1e-9);
  EXPECT_NEAR(height["StdDev"].get<double>(), std::sqrt(deviations / static_cast<double>(steps)), 1e-9);
  EXPECT_NEAR(height["Rms"].get<double>(), std::sqrt(squares / static_cast<double>(steps)), 1e-9);
  const json& accel = j["Channels"][1];
  EXPECT_EQ(accel["Unit"], "g");
  EXPECT_NEAR(accel["Max"].get<double>(), maxAccel, 1e-6);
  EXPECT_EQ(j["Channels"][2]["Unit"], "deg");
  EXPECT_EQ(j["Channels"][3]["Unit"], "kt");

  const json& impacts = j["Impacts"];
  EXPECT_GT(impacts["PeakCount"].get<int>(), 3);
  EXPECT_GE(impacts["A1_10"].get<double>(), impacts["A1_3"].get<double>());
  EXPECT_EQ(impacts["A1_100"], nullptr);
  EXPECT_EQ(impacts["A1_100Reason"].get<std::string>().substr(0, 31), "needs at least 100 counted peak");
  EXPECT_EQ(j["Motions"].size(), 2u);
  const json& iso = j["Iso2631"];
  EXPECT_EQ(iso["Location"], "at the centre of gravity; not a seat measurement");
  EXPECT_NEAR(iso["SampleInterval"].get<double>(), 0.01, 1e-12);
  EXPECT_GT(iso["WeightedRms"].get<double>(), 0);

  // The largest peak as threshold counts it (and its equals only); above it, none counts.
  const std::string largest = impacts["Largest"].dump();
  const json at = json::parse(RunCli({"stats", run, "--from", "5", "--to", "15.5", "--threshold", largest}).out);
  EXPECT_GE(at["Impacts"]["PeakCount"].get<int>(), 1);
  EXPECT_LT(at["Impacts"]["PeakCount"].get<int>(), impacts["PeakCount"].get<int>());
  EXPECT_EQ(at["Impacts"]["A1_3"], nullptr);
  EXPECT_EQ(at["Impacts"]["LargestTime"], impacts["LargestTime"]);
  const std::string above = std::to_string(impacts["Largest"].get<double>() * 1.001);
  const json none = json::parse(RunCli({"stats", run, "--from", "5", "--to", "15.5", "--threshold", above}).out);
  EXPECT_EQ(none["Impacts"]["PeakCount"], 0);
  EXPECT_EQ(none["Impacts"]["LargestReason"], "none of the " + impacts["PeakCount"].dump() + " peaks reaches the threshold");

  // A window under 2 s has no ISO figures.
  const json shortWindow = json::parse(RunCli({"stats", run, "--from", "5", "--to", "6"}).out);
  EXPECT_EQ(shortWindow["Iso2631"], nullptr);
  EXPECT_EQ(shortWindow["Iso2631Reason"], "the window lasts 1 s, less than 2 s");
}

// 5 s of a flat sea (constant values with a quantised noise of a few 1e-4 ft/s^2 or ft), then
// 10 s of a 1 Hz swell: 0.5 g of acceleration and 0.3 ft of heave.
float Swell(std::int32_t s, double amplitude) {
  const double noise = 1e-4 * ((s * 7919) % 5 - 2);
  return static_cast<float>(s < 500 ? noise : amplitude * std::sin(2 * 3.141592653589793 * (s - 500) * 0.01) + noise);
}

TEST(StatsCommand, HysteresisZeroKeepsTheMeanCrossingsAndTheDefaultBandDropsTheNoise) {
  TempDir dir;
  RunBuilder builder;
  builder.Steps(1500, 0.01).History.values = [](std::int32_t s, std::span<float> ch) {
    ch[kChHeight] = 1.0f + Swell(s, 0.3);
    ch[kChAcceleration] = Swell(s, 0.5 * 32.174);
    return s * 0.01;
  };
  const std::string run = builder.Write(dir);

  // The figures about the mean itself, worked out here: a peak tops a run of steps above the mean
  // that starts and ends inside the run; a cycle runs between up-crossings of the mean.
  auto meanCrossings = [](int channel, double amplitude) {
    std::vector<double> v;
    for (std::int32_t s = 0; s < 1500; ++s) {
      const float raw = channel == kChHeight ? 1.0f + Swell(s, amplitude) : Swell(s, amplitude);
      v.push_back(static_cast<double>(raw) * DisplayFactorOf(channel));
    }
    double mean = 0;
    for (double x : v) mean += x;
    mean /= static_cast<double>(v.size());
    std::vector<std::size_t> ups;
    std::vector<std::pair<double, double>> peaks;  // height, time
    for (std::size_t i = 1; i < v.size(); ++i) {
      if (v[i] > mean && !(v[i - 1] > mean)) ups.push_back(i);
      if (!(v[i] > mean) && v[i - 1] > mean && !ups.empty()) {
        const auto top = std::max_element(v.begin() + static_cast<std::ptrdiff_t>(ups.back()), v.begin() + static_cast<std::ptrdiff_t>(i));
        peaks.emplace_back(*top - mean, static_cast<double>(top - v.begin()) * 0.01);
      }
    }
    return std::pair{peaks, ups.empty() ? 0 : ups.size() - 1};
  };
  const auto peaks = meanCrossings(kChAcceleration, 0.5 * 32.174).first;
  const std::size_t heaveCycles = meanCrossings(kChHeight, 0.3).second;
  const auto largest = *std::max_element(peaks.begin(), peaks.end(), [](auto& a, auto& b) { return a.first < b.first; });

  const json zero = json::parse(RunCli({"stats", run, "--hysteresis", "0"}).out);
  EXPECT_EQ(zero["Impacts"]["Hysteresis"], 0.0);
  EXPECT_EQ(zero["Impacts"]["PeakCount"], peaks.size());
  EXPECT_GT(peaks.size(), 100u);  // the noise of the flat part counts
  EXPECT_EQ(zero["Impacts"]["Largest"], largest.first);
  EXPECT_NEAR(zero["Impacts"]["LargestTime"].get<double>(), largest.second, 1e-9);
  EXPECT_EQ(zero["Motions"][0]["Hysteresis"], 0.0);
  EXPECT_EQ(zero["Motions"][0]["Cycles"], heaveCycles);

  // The default band, 2 % of each range, is far above the noise, which stays inside it: the swell's
  // first rise follows no low sample, so 9 of its 10 peaks count, and 9 up-crossings give 8 cycles.
  const json band = json::parse(RunCli({"stats", run}).out);
  const json& g = band["Channels"][1];
  const json& heave = band["Channels"][0];
  EXPECT_NEAR(band["Impacts"]["Hysteresis"].get<double>(), 0.02 * (g["Max"].get<double>() - g["Min"].get<double>()), 1e-12);
  EXPECT_EQ(band["Impacts"]["PeakCount"], 9);
  EXPECT_NEAR(band["Impacts"]["Largest"].get<double>(), 0.5, 1e-3);
  EXPECT_NEAR(band["Motions"][0]["Hysteresis"].get<double>(), 0.02 * (heave["Max"].get<double>() - heave["Min"].get<double>()), 1e-12);
  EXPECT_EQ(band["Motions"][0]["Cycles"], 8);
}

TEST(StatsCommand, SeveralRunsGiveOneLineEachInOrderAndAFailureDoesNotStopTheOthers) {
  const Demo& d = Runs();
  const std::string missing = d.dir / "NONE";
  const auto r = RunCli({"stats", d.accelerating, missing, d.head, d.accelerating});
  EXPECT_EQ(r.code, 1);
  std::istringstream in(r.out);
  std::vector<json> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], json::parse(R"({"Run": ")" + missing + R"(", "Error": "File not found: )" + missing + R"(.HVX"})"));
  // The failure is on stderr too, once, in the tool's error format.
  EXPECT_EQ(r.err, "error: " + missing + ": File not found: " + missing + ".HVX\n");
  // Computed in parallel, each line is what the run gives alone.
  EXPECT_EQ(lines[0], json::parse(RunCli({"stats", d.accelerating}).out));
  EXPECT_EQ(lines[2], json::parse(RunCli({"stats", d.head}).out));
  EXPECT_EQ(lines[3], lines[0]);
}

// Where the JSON holds the figure each CSV column names: the block and key of the columns that
// are not per channel.
const std::map<std::string, std::pair<std::string, std::string>> kJsonOfColumn = {
    {"Hysteresis_g", {"Impacts", "Hysteresis"}},   {"PeakCount", {"Impacts", "PeakCount"}},       {"PeaksPerMinute", {"Impacts", "PeaksPerMinute"}},
    {"A1_3_g", {"Impacts", "A1_3"}},               {"A1_10_g", {"Impacts", "A1_10"}},
    {"A1_100_g", {"Impacts", "A1_100"}},           {"Largest_g", {"Impacts", "Largest"}},
    {"LargestTime_s", {"Impacts", "LargestTime"}}, {"Iso2631Location", {"Iso2631", "Location"}},
    {"WeightedRms_m/s2", {"Iso2631", "WeightedRms"}}, {"Vdv_m/s1.75", {"Iso2631", "Vdv"}},
    {"Mtvv_m/s2", {"Iso2631", "Mtvv"}},            {"CrestFactor", {"Iso2631", "CrestFactor"}},
    {"HoursToVdvAction", {"Iso2631", "HoursToVdvAction"}}, {"HoursToVdvLimit", {"Iso2631", "HoursToVdvLimit"}},
};

// The JSON value the CSV column `header` names in a run's JSON object (a top-level key, a
// channel's or motion's figure "chN_Figure[_unit]" whose unit must be the entry's, or a block's).
json JsonOfColumn(const json& run, const std::string& header) {
  if (run.contains(header)) return run[header];
  static const std::regex perChannel(R"(ch(\d+)_([A-Za-z]+)(?:_(.+))?)");
  if (std::smatch m; std::regex_match(header, m, perChannel)) {
    for (const char* list : {"Channels", "Motions"}) {
      for (const json& entry : run[list]) {
        if (entry["Channel"] != std::stoi(m[1]) || !entry.contains(m[2].str())) continue;
        if (m[3].matched) {
          EXPECT_EQ(entry["Unit"], m[3].str()) << header;
        }
        return entry[m[2].str()];
      }
    }
  }
  const auto it = kJsonOfColumn.find(header);
  if (it == kJsonOfColumn.end()) {
    ADD_FAILURE() << "no JSON figure for the column " << header;
    return nullptr;
  }
  const json& block = run[it->second.first];
  return block.is_null() ? json(nullptr) : block[it->second.second];
}

std::vector<std::string> CsvCells(const std::string& line) {
  EXPECT_EQ(line.find('"'), std::string::npos) << line;
  return test::CsvCells(line);
}

TEST(StatsCommand, EveryCsvColumnIsTheJsonFigureItsHeaderNames) {
  const Demo& d = Runs();
  const std::string missing = d.dir / "NONE";
  const std::vector<std::string> runs{d.head, missing, d.accelerating};
  std::vector<std::string> args{"stats"};
  args.insert(args.end(), runs.begin(), runs.end());
  args.insert(args.end(), {"--channels", "7,3,0,2", "--from", "2", "--to", "30"});
  const auto jsonRun = RunCli(args);
  args.push_back("--csv");
  const auto csvRun = RunCli(args);
  EXPECT_EQ(csvRun.code, 1);
  EXPECT_EQ(csvRun.err, jsonRun.err);

  std::istringstream jsonLines(jsonRun.out), csvLines(csvRun.out);
  std::string line;
  std::getline(csvLines, line);
  const std::vector<std::string> header = CsvCells(line);
  EXPECT_EQ(header.front(), "Run");
  EXPECT_EQ(header.back(), "Error");
  for (const std::string& run : runs) {
    ASSERT_TRUE(std::getline(jsonLines, line));
    const json j = json::parse(line);
    ASSERT_TRUE(std::getline(csvLines, line));
    const std::vector<std::string> row = CsvCells(line);
    ASSERT_EQ(row.size(), header.size()) << run;
    EXPECT_EQ(row.front(), run);
    const bool failed = j.contains("Error");
    for (std::size_t i = 0; i < header.size(); ++i) {
      const std::string& cell = row[i];
      // A failed run has its run and error only; an analysed one an empty error.
      json expected = nullptr;
      if (header[i] == "Error") {
        expected = failed ? j["Error"] : json("");
      } else if (!failed || header[i] == "Run") {
        expected = JsonOfColumn(j, header[i]);
      }
      if (expected.is_null()) {
        EXPECT_EQ(cell, "") << run << " " << header[i];
      } else if (expected.is_number()) {
        const double v = expected.get<double>();
        EXPECT_NEAR(std::stod(cell), v, 1e-8 * std::max(1.0, std::abs(v))) << run << " " << header[i];
      } else {
        EXPECT_EQ(cell, expected.get<std::string>()) << run << " " << header[i];
      }
    }
  }
  EXPECT_FALSE(std::getline(csvLines, line));
}

TEST(StatsCommand, TimingCountsTheReadsOfEachHistory) {
  const Demo& d = Runs();
  const auto r = RunCli({"stats", d.head, d.accelerating, "--timing"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    const double passes = json::parse(line)["Timing"]["HistoryPasses"].get<double>();
    EXPECT_GE(passes, 1.0);
    EXPECT_LT(passes, 1.01);  // one pass: the header and step 0 once more
  }
  EXPECT_FALSE(json::parse(RunCli({"stats", d.head}).out).contains("Timing"));
  EXPECT_EQ(RunCli({"stats", d.head, "--timing", "--csv"}).code, 2);
}

TEST(StatsCommand, BadRequests) {
  const Demo& d = Runs();
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string error;  // start of the run's Error for code 1, of the message on stderr for code 2
  };
  const Case cases[] = {
      {"from after to", {"stats", d.head, "--from", "5", "--to", "1"}, 2, ""},
      {"channel out of range", {"stats", d.head, "--channels", "0,110"}, 2, ""},
      {"negative threshold", {"stats", d.head, "--threshold", "-1"}, 2, ""},
      {"negative hysteresis", {"stats", d.head, "--hysteresis", "-0.01"}, 2,
       "--hysteresis: must be a number of at least 0 (a fraction of each channel's range), not -0.01"},
      {"hysteresis not a number", {"stats", d.head, "--hysteresis", "nan"}, 2, "--hysteresis: must be a number"},
      {"no run", {"stats"}, 2, ""},
      {"channel not stored", {"stats", d.head, "--channels", "12"}, 1, "Channel 12 is not stored: the last channel of"},
      {"window beside the run", {"stats", d.head, "--from", "1000"}, 1, "No step of " + d.head + " lies between 1000 s"},
  };
  for (const Case& c : cases) {
    const auto r = RunCli(c.args);
    EXPECT_EQ(r.code, c.code) << c.name << "\n" << r.err;
    if (c.code == 1) {
      EXPECT_EQ(json::parse(r.out)["Error"].get<std::string>().substr(0, c.error.size()), c.error) << c.name;
    } else {
      EXPECT_EQ(r.err.substr(0, c.error.size()), c.error) << c.name;
    }
  }
}

// The regular head sea of DV30HEAD (2 ft high): the wave's m0 is the variance of a 1 ft amplitude
// and the heave responds at the wave's encounter period; the flat sea of CA32ACC gives no wave and
// no transfer function, with reasons. The statistics' extremes grow with the exposure.
TEST(SpectrumCommand, RegularSeaGivesTheWaveAndFlatSeaGivesReasons) {
  const auto head = RunCli({"spectrum", Runs().head});
  ASSERT_EQ(head.code, 0) << head.err;
  const json h = json::parse(head.out);
  EXPECT_EQ(h["Frequencies"].size(), h["SegmentSamples"].get<std::size_t>() / 2 + 1);
  EXPECT_NEAR(h["Wave"]["M0"].get<double>(), 0.5, 0.01);
  EXPECT_EQ(h["Channels"][0]["Tp"], h["Wave"]["Tp"]);
  ASSERT_EQ(h["TransferFunctions"].size(), 3u);
  EXPECT_EQ(h["TransferFunctions"][1]["Unit"], "deg/ft");

  const auto flat = RunCli({"spectrum", Runs().accelerating, "--channels", "0", "--csv"});
  ASSERT_EQ(flat.code, 0) << flat.err;
  EXPECT_EQ(flat.out.substr(0, flat.out.find('\n')),
            "Run,Frequency_Hz,ch0_Psd_ft2/Hz,Wave_Psd_ft2/Hz,ch0_Gain_ft/ft,ch0_PhaseDeg,ch0_Coherence,Error");
  const json f = json::parse(RunCli({"spectrum", Runs().accelerating}).out);
  EXPECT_TRUE(f["Wave"].is_null());
  EXPECT_EQ(f["WaveReason"], "the sea is flat");
  EXPECT_EQ(f["TransferFunctions"][0]["Reason"], "no wave: the sea is flat");
  EXPECT_EQ(RunCli({"spectrum", Runs().head, "--segment", "100"}).code, 2);

  const json hour = json::parse(RunCli({"stats", Runs().head}).out)["Extremes"];
  const json day = json::parse(RunCli({"stats", Runs().head, "--exposure", "24"}).out)["Extremes"];
  ASSERT_FALSE(hour.is_null());
  EXPECT_EQ(hour["PredictedA1_3"], day["PredictedA1_3"]);
  EXPECT_GT(day["MostProbableLargest"].get<double>(), hour["MostProbableLargest"].get<double>());
  EXPECT_EQ(day["ExposureHours"], 24);
}

}  // namespace
}  // namespace hulvex::cli

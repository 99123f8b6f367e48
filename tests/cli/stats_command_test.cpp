#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "cli/run_tool.h"
#include "demo/demo_runs.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"

namespace hulvex::cli {
namespace {
using json = nlohmann::json;
using test::RunCli;
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
  std::size_t steps = 0;
  for (std::size_t i = 0; i < c.time.size(); ++i) {
    if (c.time[i] < 5 || c.time[i] > 15.5) continue;
    ++steps;
    sum += c.height[i];
    squares += c.height[i] * c.height[i];
    maxAccel = std::max(maxAccel, c.accel[i]);
  }
  EXPECT_EQ(j["Run"], run);
  EXPECT_EQ(j["From"], 5.0);
  EXPECT_EQ(j["To"], 15.5);
  EXPECT_EQ(j["Steps"], steps);
  ASSERT_EQ(j["Channels"].size(), 4u);
  const json& height = j["Channels"][0];
  EXPECT_EQ(height["Name"], "Height of the centre of gravity");
  EXPECT_EQ(height["Unit"], "ft");
  EXPECT_NEAR(height["Mean"].get<double>(), sum / static_cast<double>(steps), 1e-9);
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
  // Computed in parallel, each line is what the run gives alone.
  EXPECT_EQ(lines[0], json::parse(RunCli({"stats", d.accelerating}).out));
  EXPECT_EQ(lines[2], json::parse(RunCli({"stats", d.head}).out));
  EXPECT_EQ(lines[3], lines[0]);
}

TEST(StatsCommand, CsvHasOneRowPerRun) {
  const Demo& d = Runs();
  const auto r = RunCli({"stats", d.head, d.dir / "NONE", "--csv", "--channels", "7"});
  EXPECT_EQ(r.code, 1);
  std::istringstream in(r.out);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
    if (line.back() == ',') cells.emplace_back();
    rows.push_back(cells);
  }
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][4], "ch7_Mean_kt");
  EXPECT_EQ(rows[0].back(), "Error");
  ASSERT_EQ(rows[1].size(), rows[0].size());
  ASSERT_EQ(rows[2].size(), rows[0].size());
  EXPECT_EQ(rows[1][0], d.head);
  EXPECT_EQ(rows[1].back(), "");
  EXPECT_EQ(rows[2].back(), "File not found: " + (d.dir / "NONE") + ".HVX");
  const json j = json::parse(RunCli({"stats", d.head, "--channels", "7"}).out);
  EXPECT_NEAR(std::stod(rows[1][4]), j["Channels"][0]["Mean"].get<double>(), 1e-6);
}

TEST(StatsCommand, BadRequests) {
  const Demo& d = Runs();
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string error;  // start of the run's Error, for code 1
  };
  const Case cases[] = {
      {"from after to", {"stats", d.head, "--from", "5", "--to", "1"}, 2, ""},
      {"channel out of range", {"stats", d.head, "--channels", "0,110"}, 2, ""},
      {"negative threshold", {"stats", d.head, "--threshold", "-1"}, 2, ""},
      {"no run", {"stats"}, 2, ""},
      {"channel not stored", {"stats", d.head, "--channels", "12"}, 1, "Channel 12 is not stored: the last channel of"},
      {"window beside the run", {"stats", d.head, "--from", "1000"}, 1, "No step of " + d.head + " lies between 1000 s"},
  };
  for (const Case& c : cases) {
    const auto r = RunCli(c.args);
    EXPECT_EQ(r.code, c.code) << c.name << "\n" << r.err;
    if (c.code == 1) {
      EXPECT_EQ(json::parse(r.out)["Error"].get<std::string>().substr(0, c.error.size()), c.error) << c.name;
    }
  }
}

}  // namespace
}  // namespace hulvex::cli

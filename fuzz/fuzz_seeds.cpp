// Writes the seed corpora of the fuzz targets into DIR/seeds_NAME, using the project's writers.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <iostream>
#include <string>

#include "fuzz_support.h"
#include "demo/boat_writer.h"
#include "demo/run_writers.h"
#include "demo/spline_writer.h"

namespace fs = std::filesystem;
using namespace hulvex;

namespace {

void Seed(const fs::path& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(dir);
  demo::WriteTextFile((dir / name).string(), std::string(bytes.begin(), bytes.end()));
}

std::vector<std::uint8_t> ReadBack(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: hulvex_fuzz_seeds DIR\n";
    return 2;
  }
  const fs::path root = argv[1];
  const fs::path tmp = root / "tmp";
  fs::create_directories(tmp);

  // Run parameters: both layouts, every mode and sea kind.
  for (int mode = 0; mode < 4; ++mode) {
    for (int waves = 0; waves < 5; ++waves) {
      RunParameters p = demo::SampleRunParameters();
      p.DOFMode = static_cast<std::uint8_t>(mode);
      p.Waves = static_cast<std::int16_t>(waves);
      const std::string tag = std::to_string(mode) + "_" + std::to_string(waves);
      Seed(root / "seeds_run_parameters", "current_" + tag, demo::EncodeRunParameters(p));
      Seed(root / "seeds_run_parameters", "old_" + tag, demo::EncodeRunParametersOldLayout(p));
    }
  }

  // Time histories of several channel counts, a step-index fault, a truncated one.
  for (std::int16_t last : {std::int16_t{0}, std::int16_t{11}, std::int16_t{12}, std::int16_t{28}, std::int16_t{109}}) {
    demo::HistorySpec spec;
    spec.LastChannel = last;
    spec.Steps = 6;
    spec.StepIndexOverride = {{3, 99}};
    const std::string path = (tmp / "h.TTS").string();
    demo::WriteTimeHistoryFile(path, spec);
    Seed(root / "seeds_time_history", "last" + std::to_string(last), ReadBack(path));
    spec.LastStepInHeader = 100;
    demo::WriteTimeHistoryFile(path, spec);
    Seed(root / "seeds_time_history", "truncated" + std::to_string(last), ReadBack(path));
  }

  // Boat records of every hull type and spline layout, each followed by a station count.
  auto boatSeed = [&](const std::string& name, const BoatRecord& pb, std::int16_t stations) {
    std::vector<std::uint8_t> bytes = demo::EncodeBoatRecord(pb);
    bytes.push_back(static_cast<std::uint8_t>(stations & 0xff));
    bytes.push_back(static_cast<std::uint8_t>((stations >> 8) & 0xff));
    Seed(root / "seeds_boat", name, bytes);
  };
  for (int type = 1; type <= 6; ++type) {
    boatSeed("type" + std::to_string(type), demo::SampleBoat(type), 40);
    boatSeed("type" + std::to_string(type) + "_n7", demo::SampleBoat(type), 7);
  }
  const SplineLayout layouts[] = {SplineLayout::PlainChine, SplineLayout::InnerChine, SplineLayout::ChineAngle,
                                  SplineLayout::SlopeFactor};
  for (const SplineLayout layout : layouts) {
    const std::string tag = std::to_string(static_cast<int>(layout));
    boatSeed("spline" + tag, demo::SampleSplineBoat(layout, "LINES.TXT"), 40);
  }

  // Spline files of every layout (first byte: the layout), plain and in the variants the reader
  // accepts: rows over several lines, lone LFs, comments, a code-26 end, blank lines after.
  for (const SplineLayout layout : layouts) {
    const int i = static_cast<int>(layout);
    auto splineSeed = [&](const std::string& name, const std::string& text) {
      std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(i)};
      bytes.insert(bytes.end(), text.begin(), text.end());
      Seed(root / "seeds_spline_files", name + std::to_string(i), bytes);
    };
    const demo::SplineTable table = demo::SampleSplineTable(layout, 12);
    splineSeed("plain", demo::FormatSplineText(table));
    splineSeed("rows30_", demo::FormatSplineText(demo::SampleSplineTable(layout, 30)));
    splineSeed("rows6_", demo::FormatSplineText(demo::SampleSplineTable(layout, 6)));
    demo::SplineTextOptions o;
    o.NumbersPerLine = 3;
    o.Comment = "  ! station";
    splineSeed("split", demo::FormatSplineText(table, o));
    o = {};
    o.LineEnd = "\n";
    o.EndWithCode26 = true;
    o.AfterCode26 = "garbage 1 2 3";
    splineSeed("lf26_", demo::FormatSplineText(table, o));
    o = {};
    o.Separator = "\t";
    o.TrailingBlankLines = 2;
    o.BlankLinesBetweenRows = 1;
    splineSeed("blank", demo::FormatSplineText(table, o));
  }

  // The open sequence: every generated run unchanged, and each of its files as a whole
  // replacement (so the mutator sees every format).
  for (int v = 0; v < fuzz::kRunVariants; ++v) {
    const std::uint8_t variant = static_cast<std::uint8_t>(v);
    Seed(root / "seeds_open_sequence", "run" + std::to_string(v), {variant, 0});
    if (v % fuzz::kHullVariants != 6 && v % fuzz::kHullVariants != 9 && v >= fuzz::kHullVariants) continue;
    const fuzz::BaseRun& run = fuzz::BaseRunOf(v);
    for (std::size_t f = 0; f < run.Files.size(); ++f) {
      std::vector<std::uint8_t> bytes{variant, static_cast<std::uint8_t>(fuzz::kReplaceWholeFile | f)};
      bytes.insert(bytes.end(), run.Files[f].Bytes.begin(), run.Files[f].Bytes.end());
      Seed(root / "seeds_open_sequence", "run" + std::to_string(v) + "_file" + std::to_string(f), bytes);
    }
  }
  // A few edits of the kinds the input can hold: a hostile StationCount, a NaN wave height, the
  // time history cut inside a step, the boat file removed.
  Seed(root / "seeds_open_sequence", "edit_stations", {2, 0, 0, 3, 70, 1, 9});
  Seed(root / "seeds_open_sequence", "edit_nan", {12, 0, 0, 2, 92, 0, 0});
  Seed(root / "seeds_open_sequence", "edit_cut", {22, 0, 1, 1, 100, 0});
  Seed(root / "seeds_open_sequence", "edit_noboat", {31, 0, 3, 4, 0, 0});
  // Following: a run grown in steps, cut inside a step, shrunk and regrown; with LastStep unknown;
  // with a step misnumbered.
  Seed(root / "seeds_follow", "grow", {0, 0, 3, 0, 0x20, 0, 0x60, 0x80, 0xa0, 0xff, 0xff});
  Seed(root / "seeds_follow", "shrink", {11, 0, 3, 0, 0x80, 0, 0x40, 0x10, 0xc0, 0xff, 0xff});
  Seed(root / "seeds_follow", "unknown", {7, 1, 2, 0, 0x10, 0x33, 0x73, 0xff, 0xff});
  Seed(root / "seeds_follow", "misnumbered", {3, 0, 1, 0, 0x70, 0xff, 0xff, 0x40, 0x03, 0x09});
  fs::remove_all(tmp);
  return 0;
}

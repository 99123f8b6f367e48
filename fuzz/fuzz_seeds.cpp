// Writes the seed corpora of the fuzz targets into DIR/seeds_NAME, using the project's writers.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <iostream>
#include <string>

#include "testing/run_writers.h"

namespace fs = std::filesystem;
using namespace hulvex;

namespace {

void Seed(const fs::path& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(dir);
  testing::WriteTextFile((dir / name).string(), std::string(bytes.begin(), bytes.end()));
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
      RunParameters p = testing::SampleRunParameters();
      p.DOFMode = static_cast<std::uint8_t>(mode);
      p.Waves = static_cast<std::int16_t>(waves);
      const std::string tag = std::to_string(mode) + "_" + std::to_string(waves);
      Seed(root / "seeds_run_parameters", "current_" + tag, testing::EncodeRunParameters(p));
      Seed(root / "seeds_run_parameters", "old_" + tag, testing::EncodeRunParametersOldLayout(p));
    }
  }

  // Time histories of several channel counts, a step-index fault, a truncated one.
  for (std::int16_t last : {std::int16_t{0}, std::int16_t{11}, std::int16_t{12}, std::int16_t{28}, std::int16_t{109}}) {
    testing::HistorySpec spec;
    spec.LastChannel = last;
    spec.Steps = 6;
    spec.StepIndexOverride = {{3, 99}};
    const std::string path = (tmp / "h.TTS").string();
    testing::WriteTimeHistoryFile(path, spec);
    Seed(root / "seeds_time_history", "last" + std::to_string(last), ReadBack(path));
    spec.LastStepInHeader = 100;
    testing::WriteTimeHistoryFile(path, spec);
    Seed(root / "seeds_time_history", "truncated" + std::to_string(last), ReadBack(path));
  }
  fs::remove_all(tmp);
  return 0;
}

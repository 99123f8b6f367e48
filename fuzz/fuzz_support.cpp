#include "fuzz_support.h"

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "common/diagnostics.h"
#include "hull/boat_record.h"
#include "demo/boat_writer.h"
#include "demo/run_writers.h"
#include "demo/spline_writer.h"

namespace hulvex::fuzz {
namespace fs = std::filesystem;

const std::string& ScratchDir() {
  // Never destroyed, so that the removal at exit can still name it.
  static const std::string* dir = [] {
    // Memory-backed when the system has it: inputs are written for every run.
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    const auto p = base / ("hulvex-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(p);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(*dir, ignored);
    });
    return new std::string(p.string());
  }();
  return *dir;
}

std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

const SplineStore& SampleStore(SplineLayout layout) {
  static std::array<std::unique_ptr<SplineStore>, 4> stores;
  auto& slot = stores[static_cast<std::size_t>(layout)];
  if (!slot) {
    slot = std::make_unique<SplineStore>();
    const std::string text = demo::FormatSplineText(demo::SampleSplineTable(layout, 12));
    NullDiagnostics diag;
    StoreSplineTable(layout, ReadSplineText(text, NumbersPerRow(layout)), "LINES.TXT", *slot, diag);
  }
  return *slot;
}

namespace {

std::vector<std::uint8_t> ReadBack(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

BaseRun MakeBaseRun(int variant) {
  const int hull = variant % kHullVariants;
  const int sea = variant / kHullVariants;
  const fs::path dir = fs::path(ScratchDir()) / ("base" + std::to_string(variant));
  fs::create_directories(dir);

  BoatRecord pb;
  std::string splineName;
  if (hull < 6) {
    pb = demo::SampleBoat(hull + 1);
  } else {
    const SplineLayout layout = hull == 6   ? SplineLayout::PlainChine
                                : hull == 7 ? SplineLayout::InnerChine
                                : hull == 8 ? SplineLayout::ChineAngle
                                            : SplineLayout::SlopeFactor;
    splineName = "LINES.TXT";
    pb = demo::SampleSplineBoat(layout, splineName);
    demo::WriteSplineFile((dir / splineName).string(), demo::SampleSplineTable(layout, 12));
  }
  demo::WriteBoatFile((dir / "BOAT.BOT").string(), pb);

  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\BOAT.BOT";
  p.Waves = static_cast<std::int16_t>(sea);
  p.RWvN = 12;
  p.StokesN = 5;
  p.StationCount = static_cast<std::int16_t>(hull % 3 == 0 ? 40 : 20 + hull);
  p.DOFMode = hull % 2 == 1 ? 1 : 0;
  p.SpeedSpecified = p.DOFMode == 0;

  // Twelve seconds of a boat at 30 ft/s over waves, so the camera track has a middle part.
  demo::HistorySpec h;
  h.LastChannel = hull % 2 == 0 ? 11 : 28;
  h.StartTime = 0;
  h.EndTime = 12;
  h.Steps = 31;
  h.values = [](std::int32_t s, std::span<float> c) {
    const double t = 0.4 * s;
    c[0] = static_cast<float>(0.3 * std::sin(t));
    c[2] = static_cast<float>(5 * std::cos(2 * t));
    c[3] = static_cast<float>(0.05 * std::sin(t + 1));
    c[6] = static_cast<float>(30 * t);
    c[7] = static_cast<float>(30 + std::sin(t));
    c[8] = s % 3 == 0 ? 2000.0f : 0.5f;
    c[9] = 2.0f;
    c[10] = 20.0f;
    return t;
  };
  demo::WriteSampleRun(dir.string(), "RUN", p, h, "Fuzz run.\r\n");

  BaseRun run;
  run.RunName = "RUN";
  for (const char* name : {"RUN.HVX", "RUN.TTS", "RUN.TXT", "BOAT.BOT"})
    run.Files.push_back({name, ReadBack((dir / name).string())});
  if (!splineName.empty()) run.Files.push_back({splineName, ReadBack((dir / splineName).string())});
  fs::remove_all(dir);
  return run;
}

}  // namespace

const BaseRun& BaseRunOf(int variant) {
  static std::array<std::unique_ptr<BaseRun>, kRunVariants> runs;
  auto& slot = runs[static_cast<std::size_t>(variant % kRunVariants)];
  if (!slot) slot = std::make_unique<BaseRun>(MakeBaseRun(variant % kRunVariants));
  return *slot;
}

void WriteRun(const std::string& dir, const BaseRun& run) {
  fs::create_directories(dir);
  for (const RunFile& f : run.Files) {
    std::ofstream out(dir + "/" + f.Name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(f.Bytes.data()), static_cast<std::streamsize>(f.Bytes.size()));
  }
}

}  // namespace hulvex::fuzz

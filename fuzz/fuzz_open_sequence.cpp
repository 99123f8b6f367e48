// The whole open sequence of the core over a generated valid run whose files are mutated (see
// fuzz_support.h for how an input reads): OpenRun, and for a drawable run the frames of a few
// steps and the video's preparation and first ticks. A bad open must leave the loaded run so
// that the good run opens normally afterwards.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "common/diagnostics.h"
#include "common/error.h"
#include "fuzz_support.h"
#include "run/loaded_run.h"
#include "video/frame_composition.h"
#include "video/readout.h"
#include "video/video_player.h"

namespace {
using namespace hulvex;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

const std::uint32_t kHostile32[] = {
    0x7fc00000u,  // NaN
    0x7f800000u,  // +inf
    0xff800000u,  // -inf
    0x00000000u,  // 0
    0x80000000u,  // -0, or the lowest int32
    0xbf800000u,  // -1
    0x7f7fffffu,  // the largest float
    0x00000001u,  // the smallest denormal, or int32 1
    0xffffffffu,  // int32 -1 (a NaN as a float)
    0x7fffffffu,  // int32 max
    0x501502f9u,  // 1e10
    0x3a83126fu,  // 0.001
};
const std::uint16_t kHostile16[] = {0, 0xffff, 0xfffb, 1, 7, 9, 10, 29, 40, 41, 109, 110, 0x7fff, 0x8000, 32000};

// The file at `index` of `files`, mutated as the input says.
void ApplyEdits(std::vector<fuzz::RunFile>& files, std::vector<bool>& removed, const std::uint8_t* p,
                const std::uint8_t* end) {
  while (end - p >= 4) {
    fuzz::RunFile& f = files[p[0] % files.size()];
    auto& bytes = f.Bytes;
    const std::size_t offset = static_cast<std::size_t>(p[2] | (p[3] << 8)) % (bytes.size() + 1);
    const int op = p[1] % 5;
    p += 4;
    auto write = [&](const std::uint8_t* b, std::size_t n) {
      if (bytes.size() < offset + n) bytes.resize(offset + n);
      std::memcpy(bytes.data() + offset, b, n);
    };
    switch (op) {
      case 0: {
        if (p == end) return;
        const std::size_t n = std::min<std::size_t>(*p % 8 + 1, static_cast<std::size_t>(end - p - 1));
        write(p + 1, n);
        p += 1 + n;
        break;
      }
      case 1: bytes.resize(offset); break;
      case 2: {
        if (p == end) return;
        const std::uint32_t v = kHostile32[*p++ % std::size(kHostile32)];
        const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        write(b, 4);
        break;
      }
      case 3: {
        if (p == end) return;
        const std::uint16_t v = kHostile16[*p++ % std::size(kHostile16)];
        const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
        write(b, 2);
        break;
      }
      default: removed[static_cast<std::size_t>(&f - files.data())] = true; break;
    }
  }
}

void ShowTheRun(LoadedRun& run, Diagnostics& diag) {
  const FrameGeometry g = FrameGeometryOf(run.Hull);
  Check(g.StationCount >= 1 && g.StationCount <= kMaxStations);
  const std::int32_t last = run.History.StepCount() - 1;
  VideoFrame frame;
  for (std::int32_t s : {0, 1, last / 2, last}) {
    if (s < 0 || s > last) continue;
    const StepValues step = ReadStep(run.History, s, false, diag);
    ComposeStep(frame, g, run.Sea, step, 0.25f, kShowStepThreshold, diag);
    Check(frame.List.count == static_cast<std::size_t>(3 * g.StationCount + 79));
    Check(frame.List.pairs[frame.List.count - 1].a == kEndListMarker);
    (void)ReadoutText(step.StepTime, step.Channels[kChAcceleration], step.Channels[kChSpeed]);
  }
  VideoPlayer video;
  video.PrepareVideo(run.History, run.SmoothTrack, g, run.Sea);
  Check(video.SmoothTrack().size() == run.History.StepTimes.size());
  video.ShowStep(0, diag);
  if (video.StartPlayback(0, diag)) {
    for (int i = 0; i < 3 && video.Playing(); ++i) {
      const NextFrame next = video.Tick(1.0f, diag);
      Check(next.step >= 0 && next.step <= last);
      Check(next.intervalMs >= 0);
    }
  }
  video.CloseVideo();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  namespace fs = std::filesystem;
  const fuzz::BaseRun& base = fuzz::BaseRunOf(data[0] % fuzz::kRunVariants);
  const std::string dir = fuzz::ScratchDir() + "/run";
  const std::string goodDir = fuzz::ScratchDir() + "/good" + std::to_string(data[0] % fuzz::kRunVariants);
  static std::vector<bool> goodWritten(fuzz::kRunVariants, false);
  if (!goodWritten[data[0] % fuzz::kRunVariants]) {
    fuzz::WriteRun(goodDir, base);
    goodWritten[data[0] % fuzz::kRunVariants] = true;
  }

  fuzz::BaseRun run = base;
  std::vector<bool> removed(run.Files.size(), false);
  if (data[1] & fuzz::kReplaceWholeFile) {
    run.Files[(data[1] & 0x7f) % run.Files.size()].Bytes.assign(data + 2, data + size);
  } else {
    ApplyEdits(run.Files, removed, data + 2, data + size);
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  fuzz::WriteRun(dir, run);
  for (std::size_t i = 0; i < run.Files.size(); ++i)
    if (removed[i]) fs::remove(dir + "/" + run.Files[i].Name, ec);

  NullDiagnostics diag;
  LoadedRun loaded;
  RunOpenResult result = RunOpenResult::HistoryRefused;
  bool threw = false;
  try {
    result = OpenRun(loaded, dir + "/" + run.RunName, diag);
  } catch (const Error&) {
    threw = true;
    Check(!loaded.History.IsOpen);
    Check(!loaded.Hull.Drawable);
  }
  const bool loadedWhole = !threw && result == RunOpenResult::Loaded;
  if (!threw) Check(loaded.History.IsOpen == loadedWhole);
  if (loadedWhole) Check(loaded.History.StepCount() >= 1);
  const bool shown = loadedWhole && loaded.Hull.Drawable;
  if (shown) ShowTheRun(loaded, diag);
  // After anything but a full success the same context opens the good run normally.
  if (!shown) {
    Check(OpenRun(loaded, goodDir + "/" + base.RunName, diag) == RunOpenResult::Loaded);
    Check(loaded.Hull.Drawable);
  }
  return 0;
}

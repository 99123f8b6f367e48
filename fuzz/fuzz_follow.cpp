// Following a run while it is written: a generated valid run whose time history (possibly
// patched) grows, shrinks and regrows through a list of lengths, each a prefix of the same
// bytes. After every look, the followed run (opened, extended, or opened anew on a change that is
// not growth) must hold exactly what a fresh open of the file as it then is holds.
//
// Input: [variant][flags][k][k growth points, 2 bytes each][patches...]
//   variant: the generated run (mod fuzz::kRunVariants);
//   flags bit 0: the header's LastStep made -1 (not known yet);
//   k % 8 + 1 growth points, each the fraction (value / 65536) of the history's length to cut it at;
//   then 3-byte patches [offset low][offset high][byte] written into the history first.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "common/error.h"
#include "fuzz_support.h"
#include "run/channel_series.h"
#include "run/followed_run.h"
#include "run/loaded_run.h"
#include "support/file_edit.h"

namespace {
using namespace hulvex;
namespace fs = std::filesystem;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

template <typename T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool Open(LoadedRun& run, const std::string& path, Diagnostics& diag) {
  run.Follow = true;
  run.HeldChannels.assign(kDefaultPlotChannels.begin(), kDefaultPlotChannels.end());
  try {
    return OpenRun(run, path, diag) == RunOpenResult::Loaded;
  } catch (const Error&) {
    Check(!run.History.IsOpen);
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const fuzz::BaseRun& base = fuzz::BaseRunOf(data[0] % fuzz::kRunVariants);
  fuzz::BaseRun run = base;
  std::vector<std::uint8_t> history;
  for (fuzz::RunFile& f : run.Files)
    if (f.Name == "RUN.TTS") history = f.Bytes;
  if (data[1] & 1) std::memset(history.data() + 52, 0xff, 4);  // LastStep -1
  const std::size_t points = data[2] % 8 + 1;
  const std::uint8_t* p = data + 3;
  const std::uint8_t* end = data + size;
  std::vector<std::size_t> cuts;
  for (std::size_t i = 0; i < points && end - p >= 2; ++i, p += 2)
    cuts.push_back(static_cast<std::size_t>((p[0] | (p[1] << 8)) * (history.size() + 1) / 65536));
  for (; end - p >= 3; p += 3) history[static_cast<std::size_t>(p[0] | (p[1] << 8)) % history.size()] = p[2];

  const std::string dir = fuzz::ScratchDir() + "/follow";
  std::error_code ec;
  fs::remove_all(dir, ec);
  fuzz::WriteRun(dir, run);
  const std::string path = dir + "/" + run.RunName;
  const std::string tts = path + ".TTS";
  fs::resize_file(tts, 0, ec);

  NullDiagnostics diag;
  LoadedRun followed;
  bool open = false;
  for (std::size_t cut : cuts) {
    test_support::GrowFileTo(tts, history, cut);
    if (open) {
      try {
        const HistoryExtension grown = ExtendRun(followed, diag);
        Check(followed.History.StepCount() >= grown.StepsBefore);
        if (grown.Growth == HistoryGrowth::Changed) open = Open(followed, path, diag);
      } catch (const Error&) {
        open = Open(followed, path, diag);
      }
    } else {
      open = Open(followed, path, diag);
    }
    LoadedRun fresh;
    const bool freshOpen = Open(fresh, path, diag);
    Check(freshOpen == open);
    if (!open) continue;
    Check(followed.History.StepCount() >= 1);
    Check(SameBits(followed.History.StepTimes, fresh.History.StepTimes));
    Check(SameBits(followed.SmoothTrack, fresh.SmoothTrack));
    Check(followed.Series.size() == fresh.Series.size());
    for (std::size_t k = 0; k < fresh.Series.size(); ++k) {
      Check(followed.Series[k].Channel == fresh.Series[k].Channel);
      Check(SameBits(followed.Series[k].Values, fresh.Series[k].Values));
    }
  }
  return 0;
}

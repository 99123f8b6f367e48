// Exporting the playback of a run as a video file (MP4, WebM or GIF).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "common/diagnostics.h"
#include "export/compared_frames.h"
#include "export/playback_frames.h"

namespace hulvex {

// How the caller follows and stops an export.
struct ExportControl {
  // Called on the exporting thread after every frame written, with the frames written so far
  // and the frame count.
  std::function<void(std::int64_t done, std::int64_t total)> Progress;
  // Set from any thread to stop the export; looked at before every frame.
  const std::atomic<bool>* Cancel = nullptr;
};

enum class ExportOutcome { Written, Cancelled };

// Checks the settings against `path`'s format: the extension is .mp4, .webm or .gif, and the
// frame rate within the format's bounds (CheckVideoTarget), as well as CheckExportSettings. Throws Error.
void CheckExportTarget(const std::string& path, const ExportSettings& settings);

// Writes every frame of `frames` (from NextFrame() on) to `path`, in the format of its extension, at
// `fps` frames per second (both checked by CheckVideoTarget). The frames' size must suit the
// format (even for MP4 and WebM). Thread, progress, cancelling and failures as ExportVideo: the
// file appears only when complete, and a file that was at `path` stays as it was otherwise.
ExportOutcome ExportFrames(FrameSource& frames, const std::string& path, int fps, const ExportControl& control,
                           Diagnostics& diag);

// Writes the playback of `settings`' stretch of `source` (PlaybackFrames) to `path`, in the format
// of its extension, one frame at a time. Uses no state but its arguments, so it may run on any
// thread (a QGuiApplication must exist: the readout needs fonts), `diag` and `control` called on
// that thread. The file appears only when it is complete: when cancelled (Cancelled) or failing
// (Error: bad settings, a stretch outside the run, a file that cannot be written, a step that
// cannot be read), nothing is left at `path`, and a file that was there stays as it was.
ExportOutcome ExportVideo(const VideoSource& source, const std::string& path, const ExportSettings& settings,
                          const ExportControl& control, Diagnostics& diag);

// Writes the playback of `runs` on one clock (ComparedFrames in `layout`) over the stretch of
// PlanComparedExport to `path`, as ExportVideo does (thread, progress, cancelling, failures).
// Throws Error as PlanComparedExport and ExportVideo do.
ExportOutcome ExportComparedVideo(std::span<const ComparedRun> runs, ComparedLayout layout, const std::string& path,
                                  const ExportSettings& settings, const ExportControl& control, Diagnostics& diag);

}  // namespace hulvex

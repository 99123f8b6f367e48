// The playback of several runs on one clock: one pane per run stacked, or the further runs' hulls
// overlaid on the first run's picture.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "export/playback_frames.h"

namespace hulvex {

// A run taken into a comparison, and the name its pane or legend row shows.
struct ComparedRun {
  const VideoSource* Source = nullptr;  // not owned; must outlive whatever uses it
  std::string Name;
};

enum class ComparedLayout {
  Stacked,  // one pane per run, top to bottom in order, without gaps
  Overlay,  // the first run's picture with the further runs' hulls and sea lines in their colours
};

// The picture of `runs` runs at magnification `scale`: 620 scale wide, and 300 scale high per
// run stacked (300 scale for an overlay).
QSize ComparedFrameSize(int runs, ComparedLayout layout, int scale);

// Pane `index` of a stacked picture at magnification `scale`: rows 300 scale x index ... one less
// than 300 scale x (index + 1), the full width.
QRect StackedPane(int index, int scale);

// Draws pane `index` of a stacked picture at magnification `scale` in place: `run`'s composed
// step exactly as its own picture (RunPlayback::Draw), with `name` in the pane's name box
// (DrawRunNameBox). `picture` is QImage::Format_RGB32, 620 scale wide and reaching the pane's
// last row.
void DrawStackedPane(QImage& picture, int index, const RunPlayback& run, const std::string& name, int scale,
                     Diagnostics& diag);

// The plan of a comparison: 1 ... kMaxComparedRuns runs, each with steps. From and To default to
// the span every run covers (the latest first step's time to the earliest last step's), which
// must not be empty when either is defaulted; given times must lie within the span of all the
// runs together (earliest first to latest last). Throws Error saying what is wrong (and for
// PlanWithin's checks).
ExportPlan PlanComparedExport(std::span<const ComparedRun> runs, const ExportSettings& settings);

// Several runs played on one clock: at time t every run shows the step its RunPlayback (started at
// the plan's From) shows at t. Stacked, pane i is exactly that run's own playback picture
// (RunPlayback::Draw) with its name in the pane's name box (DrawRunNameBox). Overlaid, the
// picture is the first run's own, with each further run i's display list drawn over it in
// RunColour(i) (DrawOverlayRun: its own height, pitch and camera shift) and the legend of all the
// names in the top-left corner (DrawOverlayLegend).
class ComparedFrames : public FrameSource {
public:
  // Reads each run's first step (for its camera's offset). The runs' sources must outlive this
  // object. Throws Error when there are no runs or more than kMaxComparedRuns, a source is
  // missing, or a step cannot be read.
  ComparedFrames(std::span<const ComparedRun> runs, ComparedLayout layout, const ExportPlan& plan,
                 const ExportSettings& settings, Diagnostics& diag);

  // As FrameSource: ComparedFrameSize of the runs, the plan's frame count, the next frame.
  QSize FrameSize() const override { return ComparedFrameSize(static_cast<int>(runs_.size()), layout_, scale_); }
  std::int64_t FrameCount() const override { return plan_.Frames; }
  std::int64_t NextFrame() const override { return next_; }
  // Draws frame NextFrame(), whose time is From + k / (Fps x Multiplier) (DrawAt).
  bool Next(QImage& picture, Diagnostics& diag) override;

  // Draws the picture of time t into `picture` (FrameSize(), QImage::Format_RGB32). Only what
  // changed since the last call is drawn (stacked: the panes whose step changed; overlaid: the
  // whole picture when any step changed), so `picture` must hold what the last call drew, or be
  // drawn with `redraw` true. Times may go back as well as forward. Throws Error when a step
  // cannot be read.
  void DrawAt(double t, QImage& picture, Diagnostics& diag, bool redraw = false);

  // The step run i showed at the last DrawAt (-1 before it).
  std::int32_t StepOf(std::size_t run) const { return runs_.at(run)->Step(); }

private:
  std::vector<std::unique_ptr<RunPlayback>> runs_;
  std::vector<std::string> names_;
  ComparedLayout layout_;
  ExportPlan plan_;
  double framesPerSimulatedSecond_;
  int scale_;
  std::int64_t next_ = 0;
};

}  // namespace hulvex

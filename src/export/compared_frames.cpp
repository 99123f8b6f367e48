#include "export/compared_frames.h"

#include <algorithm>
#include <limits>

#include "common/error.h"
#include "common/number_format.h"
#include "video/frame_drawing.h"
#include "video/run_colours.h"

namespace hulvex {

QSize ComparedFrameSize(int runs, ComparedLayout layout, int scale) {
  const int panes = layout == ComparedLayout::Stacked ? runs : 1;
  return {kFrameWidth * scale, kFrameHeight * scale * panes};
}

QRect StackedPane(int index, int scale) {
  return {0, kFrameHeight * scale * index, kFrameWidth * scale, kFrameHeight * scale};
}

void DrawStackedPane(QImage& picture, int index, const RunPlayback& run, const std::string& name, int scale,
                     Diagnostics& diag) {
  // The pane as a picture of its own over the rows it occupies: drawn in place, not copied.
  const QRect pane = StackedPane(index, scale);
  QImage view(picture.scanLine(pane.top()), pane.width(), pane.height(), picture.bytesPerLine(), QImage::Format_RGB32);
  run.Draw(view, scale, diag);
  DrawRunNameBox(view, view.rect(), name, scale);
}

namespace {

void CheckRunCount(std::size_t runs) {
  if (runs < 1 || runs > static_cast<std::size_t>(kMaxComparedRuns))
    throw Error("1 to " + std::to_string(kMaxComparedRuns) + " runs can be played together, not " +
                std::to_string(runs));
}

}  // namespace

ExportPlan PlanComparedExport(std::span<const ComparedRun> runs, const ExportSettings& settings) {
  CheckExportSettings(settings);
  CheckRunCount(runs.size());
  double earliestFirst = std::numeric_limits<double>::infinity(), latestFirst = -earliestFirst;
  double earliestLast = earliestFirst, latestLast = -earliestFirst;
  const ComparedRun* startsLast = nullptr;
  const ComparedRun* endsFirst = nullptr;
  for (const ComparedRun& run : runs) {
    if (!run.Source) throw Error("The run " + run.Name + " is not open");
    const auto& times = run.Source->History().StepTimes;
    if (times.empty()) throw Error("The run " + run.Name + " has no steps");
    earliestFirst = std::min(earliestFirst, times.front());
    latestLast = std::max(latestLast, times.back());
    if (times.front() > latestFirst) latestFirst = times.front(), startsLast = &run;
    if (times.back() < earliestLast) earliestLast = times.back(), endsFirst = &run;
  }
  if ((!settings.From || !settings.To) && !(latestFirst < earliestLast))
    throw Error("The runs have no time in common: " + endsFirst->Name + " ends at " + FormatSeconds(earliestLast) +
                ", " + startsLast->Name + " starts at " + FormatSeconds(latestFirst) +
                "; give both the start and the end time");
  return PlanWithin(earliestFirst, latestLast, latestFirst, earliestLast,
                    runs.size() == 1 ? "the run" : "the runs", settings);
}

ComparedFrames::ComparedFrames(std::span<const ComparedRun> runs, ComparedLayout layout, const ExportPlan& plan,
                               const ExportSettings& settings, Diagnostics& diag)
    : layout_(layout),
      plan_(plan),
      framesPerSimulatedSecond_(settings.Fps * settings.Multiplier),
      scale_(settings.Scale) {
  CheckRunCount(runs.size());
  for (const ComparedRun& run : runs) {
    if (!run.Source) throw Error("The run " + run.Name + " is not open");
    runs_.push_back(std::make_unique<RunPlayback>(*run.Source, plan.From, diag));
    names_.push_back(run.Name);
  }
}

bool ComparedFrames::Next(QImage& picture, Diagnostics& diag) {
  if (next_ >= plan_.Frames) return false;
  DrawAt(plan_.From + static_cast<double>(next_) / framesPerSimulatedSecond_, picture, diag, next_ == 0);
  ++next_;
  return true;
}

void ComparedFrames::DrawAt(double t, QImage& picture, Diagnostics& diag, bool redraw) {
  if (picture.size() != FrameSize() || picture.format() != QImage::Format_RGB32)
    throw Error("The picture of the compared runs has the wrong size or format");
  if (layout_ == ComparedLayout::Stacked) {
    for (std::size_t i = 0; i < runs_.size(); ++i) {
      if (runs_[i]->ShowTime(t, diag) || redraw)
        DrawStackedPane(picture, static_cast<int>(i), *runs_[i], names_[i], scale_, diag);
    }
    return;
  }
  bool changed = redraw;
  for (const auto& run : runs_) changed = run->ShowTime(t, diag) || changed;
  if (!changed) return;
  runs_.front()->Draw(picture, scale_, diag);
  const PictureScale scale = MagnifiedScale(scale_);
  for (std::size_t i = 1; i < runs_.size(); ++i)
    DrawOverlayRun(picture, runs_[i]->List(), RunColour(static_cast<int>(i)), scale, diag);
  DrawOverlayLegend(picture, names_, scale_);
}

}  // namespace hulvex

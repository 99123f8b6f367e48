// The "Channels" window: one plot per held channel of the session's run, stacked over one shared
// time axis, with one cursor on the current step. Owned by the main window: it closes with it and
// never keeps the program alive. Clicks and keys in a plot move the session's current step, so the
// readouts, the video and the cursor follow the one path of a move. The range the plots show is
// the session's visible range; under the plots, the session's statistics of that range (computed
// off the GUI thread, shown when they arrive); the counted impact peaks and their A1/10 level on
// the acceleration plot.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/statistics.h"
#include "app/gui_messages.h"
#include "plots/channel_plot.h"
#include "session/viewer_session.h"

namespace hulvex {

// A figure as the statistics tables show it: 5 significant digits.
QString FigureText(double v);

class TChannelsFrm : public QWidget {
  Q_OBJECT
public:
  // `owner` is the main window, `session` the state it shows and commands, `messages` where errors
  // of adding a plot go, `busyArea` the screen area the window is first placed beside (the main
  // and the Video window). `session` outlives the window.
  TChannelsFrm(QWidget* owner, ViewerSession& session, CommandMessages& messages, std::function<QRect()> busyArea);

  // Plots the held series of the session's run (whole run shown, cursor on step 0), says which
  // held channels the run does not store, and shows the window (placed beside the main window
  // the first time). Called when the session opens a run.
  void ShowRun();
  // Removes the plots (before the run they show is closed) and hides the window.
  void CloseRun();

  // Puts the cursor of every plot on step s.
  void SetCursorStep(std::int32_t s);
  // Shows [t0, t1] on every plot, kept inside the run and at least a few steps wide, and makes it
  // the session's visible range (whose statistics follow when they are computed).
  void SetTimeRange(double t0, double t1);
  void ResetTimeRange();

  // A plot of `channel` at the bottom, its values read in one more pass; errors go to the messages.
  void AddChannel(int channel);
  void RemoveChannel(int channel);

  const std::vector<ChannelPlot*>& Plots() const { return plots_; }
  // The time range the plots show, in seconds, while the window is shown with a plot; else nothing.
  std::optional<std::pair<double, double>> VisibleRange() const;

  // The impacts of the vertical acceleration over the visible range (missing, with the reason,
  // when it is not plotted).
  const analysis::Maybe<analysis::ImpactStatistics>& Impacts() const { return impacts_; }
  // Moves to the next (direction > 0) or previous counted peak of the visible range whose height
  // reaches the A1/10 level, from the cursor step (keys ] and [). False when there is none (or
  // the statistics of the range have not arrived yet).
  bool MoveToPeak(int direction);
  // Shows the session's statistics in the tables, the peak marks and the A1/10 line; rows of
  // channels the result does not cover yet say so.
  void ShowStatistics();

  QSpinBox* ChannelBox = nullptr;
  QPushButton* AddBtn = nullptr;
  QLabel* MissingLbl = nullptr;
  QLabel* EmptyLbl = nullptr;
  // One row per plot, as plotted: Count, Mean, Min, Max, StdDev, Rms in display units.
  QTableWidget* StatsTable = nullptr;
  // One row: the impacts (g above the mean) and the ISO 2631-1 figures of the acceleration.
  QTableWidget* ImpactTable = nullptr;
  QLabel* ImpactLbl = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  ChannelPlot* AddPlot(const ChannelSeries& series);
  void Relabel();
  void PlaceBeside();
  // The impact row and the ISO 2631-1 figures of `stats` (or why they are missing: `pending`
  // while no result covers the plots), and the peak marks.
  void ShowImpacts(const WindowStatistics* stats, const std::string& pending);
  // The counted peaks and the A1/10 line on the acceleration plot.
  void MarkPeaks(ChannelPlot& acceleration);
  // Tells the session the range the plots show, while the window is shown.
  void PublishRange();

  QWidget* owner_;
  ViewerSession& session_;
  CommandMessages& messages_;
  std::function<QRect()> busyArea_;
  const LoadedRun* run_ = nullptr;
  std::vector<ChannelPlot*> plots_;
  QVBoxLayout* plotLayout_ = nullptr;
  std::int32_t cursor_ = 0;
  bool placed_ = false;
  analysis::Maybe<analysis::ImpactStatistics> impacts_;
};

}  // namespace hulvex

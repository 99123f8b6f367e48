// The "Channels" window: one plot per held channel of the open run, stacked over one shared time
// axis, with one cursor on the current step. Owned by the main window: it closes with it and never
// keeps the program alive. Clicks and keys in a plot move the time bar the way a user does, so the
// readouts, the video and the cursor follow the one path of a bar move. Under the plots, the
// statistics of the visible time range, recomputed whenever the range or the plots change (never
// on a cursor move); the counted impact peaks and their A1/10 level on the acceleration plot.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/statistics.h"
#include "app/gui_messages.h"
#include "plots/channel_plot.h"
#include "run/loaded_run.h"

namespace hulvex {

// A figure as the statistics tables show it: 5 significant digits.
QString FigureText(double v);

class TChannelsFrm : public QWidget {
  Q_OBJECT
public:
  // `owner` is the main window, `video` the video window (neither is covered where they usually
  // are), `timeBar` the bar a click or a key moves, `messages` where errors of adding a plot go.
  TChannelsFrm(QWidget* owner, const QWidget* video, QScrollBar* timeBar, CommandMessages& messages);

  // Plots the held series of an open run (whole run shown, cursor on step 0), says which held
  // channels the run does not store, and shows the window (placed beside the main window the first
  // time). `run` must stay open until CloseRun.
  void ShowRun(LoadedRun& run);
  // Removes the plots (before the run they show is closed) and hides the window.
  void CloseRun();

  // Puts the cursor of every plot on step s.
  void SetCursorStep(std::int32_t s);
  // Shows [t0, t1] on every plot, kept inside the run and at least a few steps wide, with its
  // statistics.
  void SetTimeRange(double t0, double t1);
  // The same as a drag or the wheel asks for it: the plots follow at once, the statistics at most
  // every kStatisticsPauseMs while the range keeps changing, and once more after the last change.
  void FollowTimeRange(double t0, double t1);
  static constexpr int kStatisticsPauseMs = 60;
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
  // Moves the bar to the next (direction > 0) or previous counted peak of the visible range whose
  // height reaches the A1/10 level, from the cursor step (keys ] and [). False when there is none.
  bool MoveToPeak(int direction);
  // Recomputes the tables, the peak marks and the A1/10 line for the visible range; every change
  // of the range or of the plots does (those of a drag or the wheel through StatisticsDue).
  void UpdateStatistics();
  // Fires when statistics deferred by FollowTimeRange are due; stopped by UpdateStatistics.
  QTimer* StatisticsDue = nullptr;

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

private:
  ChannelPlot* AddPlot(const ChannelSeries& series);
  void Relabel();
  void PlaceBeside();
  void MoveTo(double t);
  void MoveToStep(std::int32_t s);
  // Shows [t0, t1] on every plot (see SetTimeRange) without the statistics.
  void ShowTimeRange(double t0, double t1);

  QWidget* owner_;
  const QWidget* video_;
  QScrollBar* timeBar_;
  CommandMessages& messages_;
  LoadedRun* run_ = nullptr;
  std::vector<ChannelPlot*> plots_;
  QVBoxLayout* plotLayout_ = nullptr;
  std::int32_t cursor_ = 0;
  bool placed_ = false;
  analysis::Maybe<analysis::ImpactStatistics> impacts_;
  std::vector<double> buffer_;     // the visible steps of one channel, reused
  std::vector<double> isoBuffer_;  // those of the acceleration in m/s^2, for ISO 2631-1
};

}  // namespace hulvex

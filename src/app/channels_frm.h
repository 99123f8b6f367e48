// The "Channels" window: one plot per held channel of the session's run, stacked over one shared
// time axis, with one cursor on the current step. Owned by the main window: it closes with it and
// never keeps the program alive. Clicks and keys in a plot move the session's current step, so the
// readouts, the video and the cursor follow the one path of a move. The range the plots show is
// the session's visible range; under the plots, the session's statistics of that range (computed
// off the GUI thread, shown when they arrive); the counted impact peaks and their A1/10 level on
// the acceleration plot. The main window's keys (Space, arrows, pages, ends, Ctrl+Up/Down) work
// whatever has the focus inside the window: they go to the session, never to a button.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
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
#include "app/window_output.h"
#include "plots/channel_plot.h"
#include "session/viewer_session.h"

namespace hulvex {

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
  // The reference run gained steps stepsBefore ... on: the plots take the grown series.
  void RunGrew(std::int32_t stepsBefore);

  // A plot of `channel` at the bottom, its values read in one more pass; errors go to the messages.
  void AddChannel(int channel);
  void RemoveChannel(int channel);

  const std::vector<ChannelPlot*>& Plots() const { return plots_; }
  // The time range the plots show, in seconds, while the window is shown with a plot; else nothing.
  std::optional<std::pair<double, double>> VisibleRange() const;

  // The impacts of the vertical acceleration over the visible range (missing, with the reason,
  // when it is not plotted).
  const analysis::Maybe<analysis::ImpactStatistics>& Impacts() const { return impacts_; }
  // Which peaks the peak keys go to: every counted peak (] and [) or those at least A1/3 high
  // (Shift+] and Shift+[).
  enum class PeakKind { Counted, AboveA1_3 };
  // Moves to the next (direction > 0) or previous peak of `kind` of the visible range from the
  // cursor step. False, and the session's move messages say why, when there is none (or the
  // statistics of the range have not arrived yet).
  bool MoveToPeak(int direction, PeakKind kind = PeakKind::Counted);
  // Writes the plots, stacked as shown, to `path`: PDF or SVG by its extension (".pdf", ".svg"),
  // else PNG. The file appears only when complete: on failure a file of that name stays as it was.
  // Throws Error naming the file and the reason when there is no plot or it cannot be written.
  void SavePlots(const QString& path) const;
  // Asks for a file (FileDialog) and saves the plots there; errors go to the messages.
  void SavePlotsAs();
  // Writes the statistics of the visible range as CSV, the columns of `hulvex stats --csv` for the
  // plotted channels, one row per run (the reference first). Same file rule and errors as
  // SavePlots; throws when no statistics have arrived yet.
  void SaveStatistics(const QString& path) const;
  void SaveStatisticsAs();
  // Ask for the files of SavePlotsAs and SaveStatisticsAs; tests replace them. Empty: cancelled.
  std::function<QString()> ChooseImageFile;
  std::function<QString()> ChooseCsvFile;
  // Shows the session's statistics in the tables, the peak marks and the A1/10 line; rows of
  // channels the result does not cover yet say so.
  void ShowStatistics();

  QSpinBox* ChannelBox = nullptr;
  QPushButton* AddBtn = nullptr;
  QLabel* MissingLbl = nullptr;
  QWidget* RunsBar = nullptr;  // shown while runs are compared
  QLabel* ReferenceLbl = nullptr;
  QLabel* EmptyLbl = nullptr;  // in the plots' area while it has no plot
  QScrollArea* PlotArea = nullptr;  // the plots, each at least kMinPlotHeight high
  QSplitter* Splitter = nullptr;    // the plots' area above, the tables below
  // "12.30 s – 24.50 s, 1221 steps": the range the tables cover.
  QLabel* RangeLbl = nullptr;
  // One row per plot, as plotted: Count, Mean, Min, its time, Max, its time, StdDev, Rms in
  // display units. Each figure's cell holds it at full precision (Qt::UserRole, tooltip).
  QTableWidget* StatsTable = nullptr;
  // One row per motion channel (heave, pitch): cycles and significant double amplitude.
  QTableWidget* MotionTable = nullptr;
  // One row: the impacts (g above the mean) and the ISO 2631-1 figures of the acceleration.
  QTableWidget* ImpactTable = nullptr;
  QLabel* ImpactLbl = nullptr;
  // The impact threshold (g) and the dead band (% of the range); empty is the default.
  QLineEdit* ThresholdEdit = nullptr;
  QLineEdit* HysteresisEdit = nullptr;

  static constexpr int kMinPlotHeight = 90;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  // The window's keys, from whichever child has the focus; false for other keys.
  bool WindowKey(QObject* watched, QKeyEvent* event);
  // Sends the keys of `w` and its children through eventFilter (WindowKey).
  void WatchKeys(QWidget* w);
  void ShowTableMenu(QTableWidget* table, const QPoint& global);
  // Gives every plot the curves of the shown compared runs that store its channel.
  void ShowComparedCurves();
  // The row of run names above the plots: the reference, then a check box per compared run.
  void ShowRunsBar();
  // Asks for a file with `choose` and writes it with `save`; says what was written, or the error.
  void SaveAs(const std::function<QString()>& choose, const std::function<void(const QString&)>& save);
  void ShowPlotMenu(ChannelPlot* plot, const QPoint& global);
  void ReadImpactFields();
  void ShowRange(const WindowStatistics* stats);
  // The motion rows: per motion channel, a row per run then a "Δ% RUN" row per compared run.
  void ShowMotions(const std::string& pending);
  // Rows per channel in the tables: one per run, then one per compared run's differences.
  int RowsPerGroup() const;
  // Run `run`'s statistics of the visible range; null while none cover the plots.
  const WindowStatistics* StatisticsOf(std::size_t run) const;
  // A row's name: the group's ("Pitch, deg"), with the run's name while runs are compared.
  QString RowName(const QString& group, std::size_t run) const;
  // Fills the "Δ% RUN" rows after the runs' rows of the group starting at `groupRow`: at each
  // (column, figure) the percent difference from the reference as `hulvex compare` gives it;
  // appends the rows' names to `names`.
  void ShowDifferences(QTableWidget* table, int groupRow, QStringList& names,
                       const std::vector<std::pair<int, std::string>>& figures);
  ChannelPlot* AddPlot(const ChannelSeries& series);
  void Relabel();
  void PlaceBeside();
  // The impact rows and the ISO 2631-1 figures of every run (or why they are missing: `pending`
  // while no result covers the plots), their differences, and the reference's peak marks.
  void ShowImpacts(const std::string& pending);
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
  QWidget* plotPane_ = nullptr;
  std::int32_t cursor_ = 0;
  std::vector<bool> runShown_;  // per run of the session: its curves are drawn
  bool splitterSized_ = false;  // the splitter's first sizes are set once, when first shown
  bool placed_ = false;
  analysis::Maybe<analysis::ImpactStatistics> impacts_;
};

}  // namespace hulvex

// What the windows of figures over the visible range share (Spectra, Impact Distribution): a line
// saying what the figures cover, Copy and Save Plots As… buttons, a grid of FigurePlots above a table
// of figures, Ctrl+C and a menu for copying and saving. They show the session's SpectraModel, which
// computes only while one of them is shown.
#pragma once

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QWidget>

#include <functional>
#include <vector>

#include "app/gui_messages.h"
#include "plots/figure_plot.h"
#include "session/spectra_model.h"
#include "session/viewer_session.h"

namespace hulvex {

class TFigureWindow : public QWidget {
  Q_OBJECT
public:
  // `owner` is the main window; `session` and `model` outlive the window; errors of saving go to
  // `messages`. ShowFigures runs whenever the model's figures are ready and when runs close; the
  // derived window's constructor calls it once itself.
  TFigureWindow(QWidget* owner, ViewerSession& session, SpectraModel& model, CommandMessages& messages);
  // No longer wants the model's figures.
  ~TFigureWindow() override;

  // Shows the model's latest figures.
  virtual void ShowFigures() = 0;
  const std::vector<FigurePlot*>& Plots() const { return plots_; }
  // The plot of that title, or nullptr.
  FigurePlot* Plot(const QString& title) const;
  // Writes the plots as laid out to `path` (PDF or SVG by extension, else PNG). Throws Error.
  void SavePlots(const QString& path) const;
  // Asks for a file (ChooseImageFile) and saves there; errors go to the messages.
  void SavePlotsAs();
  // The plots as an image and the table (its selected cells, else all) as text on the clipboard.
  void CopyFigures() const;
  std::function<QString()> ChooseImageFile;

  QLabel* RangeLbl = nullptr;  // what the figures cover, or why there are none
  QScrollArea* PlotArea = nullptr;
  QSplitter* Splitter = nullptr;  // the plots above, the table below
  QTableWidget* FiguresTable = nullptr;

protected:
  // Closes the window when the main window is hidden (closed, not minimized).
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  // Removes every plot.
  void ClearPlots();
  // Adds a plot at (row, column) of the grid.
  void AddPlot(FigurePlot* plot, int row, int column);
  // Adds a control of the window's own to the top row, after the range text, before the buttons.
  void AddTopControl(QWidget* control);
  // The text of RangeLbl while no figures have arrived.
  QString WaitingText() const;
  QWidget* PlotPane() const { return plotPane_; }

  ViewerSession& session_;
  SpectraModel& model_;

private:
  // Where this window (at its present size) first goes in `room`: the middle, or further down and
  // right by a title bar's height for each figure window already shown there, within `room`.
  QPoint CascadedPlace(const QRect& room) const;

  QWidget* owner_;
  CommandMessages& messages_;
  QWidget* plotPane_ = nullptr;
  QGridLayout* grid_ = nullptr;
  QHBoxLayout* top_ = nullptr;
  std::vector<FigurePlot*> plots_;
  bool placed_ = false;
};

}  // namespace hulvex

// What the viewer's windows share to show and hand out their figures: runs' names and colours,
// figures as the tables show them, tables as tab-separated text, and plots written to image files
// (PNG, SVG, PDF) or put on the clipboard with their table.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSaveFile>
#include <QString>
#include <QTableWidget>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <vector>

#include "analysis/series.h"
#include "app/gui_messages.h"
#include "common/diagnostics.h"
#include "run/loaded_run.h"

namespace hulvex {

// A run's name as every window shows it (its file name without extension).
QString RunName(const LoadedRun& run);
// Run k's colour in the figure plots: the reference (k = 0) in the plots' own blue, compared run k
// in RunColour(k) as in the overlaid video.
QColor RunPlotColour(std::size_t k);

// A figure as the tables show it: 4 significant digits (the tooltip and a copy carry every digit).
QString FigureText(double v);
// A table cell showing `v` with FigureText, holding it whole (Qt::UserRole, tooltip); a missing
// figure shows "—" with its reason as the tooltip.
QTableWidgetItem* FigureItem(double v);
QTableWidgetItem* FigureItem(const analysis::Maybe<double>& v);

// The cells of `table` as tab-separated lines: a header line (an empty corner, then the column
// headers), then one line per row (its header, then its cells). Only the rows and columns holding
// a selected cell, and of them only the selected cells, when `selectedOnly` and a cell is
// selected; else every cell. Figures at full precision (FormatJsonNumber), others as shown.
QString TableText(const QTableWidget& table, bool selectedOnly);

// Writes a file through `write` so that it appears only when complete (QSaveFile: a temporary file
// renamed at the end; on failure a file of that name stays as it was). Throws Error naming the file
// and the system's reason when it cannot be opened, `write` returns false or the commit fails.
void WriteWhole(const QString& path, const std::function<bool(QSaveFile&)>& write);

// Asks for the file of Save Plots As… (PNG, SVG or PDF) in a dialog over `parent`; empty: cancelled.
QString ChoosePlotFile(QWidget* parent);
// Asks for a file with `choose` (empty: cancelled) and writes it with `save`; "Wrote PATH" goes to
// `notes`, an error to `messages`, which are then flushed.
void SaveChosenFile(const std::function<QString()>& choose, const std::function<void(const QString&)>& save,
                    Diagnostics& notes, CommandMessages& messages);

// A widget drawn at `At` (pixels) of a picture of several.
struct PlacedWidget {
  QWidget* Widget = nullptr;
  QPoint At;
};
// `widgets` at their places relative to `area` (an ancestor of each), moved so that the picture
// starts at (0, 0).
std::vector<PlacedWidget> PlacedIn(const QWidget& area, const std::vector<QWidget*>& widgets);
// The size of the picture of `widgets`: from (0, 0) to the furthest corner of any.
QSize PictureSize(const std::vector<PlacedWidget>& widgets);
// The widgets drawn on white at their places.
QImage PictureOf(const std::vector<PlacedWidget>& widgets);
// Writes the picture of `widgets` to `path`: PDF or SVG by its extension (".pdf", ".svg", any
// case), else PNG; `title` names an SVG. Same file rule and errors as WriteWhole; throws Error when
// `widgets` is empty.
void SavePicture(const QString& path, const std::vector<PlacedWidget>& widgets, const QString& title);
// Puts the picture of `widgets` and `text` on the clipboard together (an image and plain text).
void CopyPicture(const std::vector<PlacedWidget>& widgets, const QString& text);

}  // namespace hulvex

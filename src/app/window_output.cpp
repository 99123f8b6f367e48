#include "app/window_output.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <exception>
#include <limits>
#include <set>

#include "common/error.h"
#include "common/number_format.h"
#include "export/compared_views.h"
#include "video/run_colours.h"

namespace hulvex {

QString RunName(const LoadedRun& run) { return QString::fromStdString(RunDisplayName(run)); }

QColor RunPlotColour(std::size_t k) {
  if (k == 0) return QColor(20, 70, 170);  // ChannelPlot's own curve
  const RunRgb c = RunColour(static_cast<int>(k));
  return QColor(c.R, c.G, c.B);
}

QString FigureText(double v) { return QString::fromStdString(FormatSignificant(v, 4)); }

QTableWidgetItem* FigureItem(double v) {
  auto* item = new QTableWidgetItem(FigureText(v));
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  item->setData(Qt::UserRole, v);
  item->setToolTip(QString::fromStdString(FormatJsonNumber(v)));
  return item;
}

QTableWidgetItem* FigureItem(const analysis::Maybe<double>& v) {
  if (v.has_value()) return FigureItem(*v);
  auto* item = new QTableWidgetItem(QStringLiteral("—"));
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  item->setToolTip(QString::fromStdString(v.Reason));
  return item;
}

QString TableText(const QTableWidget& table, bool selectedOnly) {
  const QList<QTableWidgetItem*> selected = table.selectedItems();
  const bool some = selectedOnly && !selected.isEmpty();
  std::set<int> rows, columns;
  if (some) {
    for (const QTableWidgetItem* item : selected) {
      rows.insert(item->row());
      columns.insert(item->column());
    }
  } else {
    for (int r = 0; r < table.rowCount(); ++r) rows.insert(r);
    for (int c = 0; c < table.columnCount(); ++c) columns.insert(c);
  }
  const auto header = [](const QTableWidgetItem* item) { return item ? item->text() : QString(); };
  QString text;
  for (int c : columns) text += QLatin1Char('\t') + header(table.horizontalHeaderItem(c));
  text += QLatin1Char('\n');
  for (int r : rows) {
    text += header(table.verticalHeaderItem(r));
    for (int c : columns) {
      text += QLatin1Char('\t');
      const QTableWidgetItem* item = table.item(r, c);
      if (!item || (some && !item->isSelected())) continue;
      const QVariant full = item->data(Qt::UserRole);
      text += full.isValid() ? QString::fromStdString(FormatJsonNumber(full.toDouble())) : item->text();
    }
    text += QLatin1Char('\n');
  }
  return text;
}

void WriteWhole(const QString& path, const std::function<bool(QSaveFile&)>& write) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    throw Error("Cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
  const bool written = write(file);
  if (!written || file.error() != QFileDevice::NoError || !file.commit()) {
    const std::string reason = file.errorString().toStdString();
    file.cancelWriting();
    throw Error("Cannot write " + path.toStdString() + (reason.empty() ? std::string() : ": " + reason));
  }
}

QString ChoosePlotFile(QWidget* parent) {
  return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Plots As"), QString(),
                                      QStringLiteral("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
}

void SaveChosenFile(const std::function<QString()>& choose, const std::function<void(const QString&)>& save,
                    Diagnostics& notes, CommandMessages& messages) {
  const QString path = choose ? choose() : QString();
  if (path.isEmpty()) return;
  try {
    save(path);
    notes.Message("saved", "Wrote " + path.toStdString());
  } catch (const std::exception& e) {
    messages.Message("error", e.what());
  }
  messages.Flush();
}

std::vector<PlacedWidget> PlacedIn(const QWidget& area, const std::vector<QWidget*>& widgets) {
  std::vector<PlacedWidget> placed;
  QPoint origin(std::numeric_limits<int>::max(), std::numeric_limits<int>::max());
  for (QWidget* w : widgets) {
    placed.push_back({w, w->mapTo(&area, QPoint(0, 0))});
    origin.setX(std::min(origin.x(), placed.back().At.x()));
    origin.setY(std::min(origin.y(), placed.back().At.y()));
  }
  for (PlacedWidget& p : placed) p.At -= origin;
  return placed;
}

QSize PictureSize(const std::vector<PlacedWidget>& widgets) {
  QSize size(0, 0);
  for (const PlacedWidget& p : widgets) size = size.expandedTo(QSize(p.At.x() + p.Widget->width(), p.At.y() + p.Widget->height()));
  return size;
}

namespace {

void Paint(QPainter& painter, const std::vector<PlacedWidget>& widgets) {
  for (const PlacedWidget& p : widgets) p.Widget->render(&painter, p.At);
}

}  // namespace

QImage PictureOf(const std::vector<PlacedWidget>& widgets) {
  QImage image(PictureSize(widgets).expandedTo(QSize(1, 1)), QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  Paint(painter, widgets);
  painter.end();
  return image;
}

void SavePicture(const QString& path, const std::vector<PlacedWidget>& widgets, const QString& title) {
  if (widgets.empty()) throw Error("No plot to save: nothing is plotted");
  const QSize size = PictureSize(widgets);
  const int width = std::max(size.width(), 1), height = std::max(size.height(), 1);
  WriteWhole(path, [&](QSaveFile& file) {
    if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
      QPdfWriter pdf(&file);
      pdf.setResolution(96);
      pdf.setPageSize(QPageSize(QSizeF(width, height), QPageSize::Point));
      pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
      QPainter painter;
      if (!painter.begin(&pdf)) return false;
      painter.scale(pdf.width() / static_cast<double>(width), pdf.height() / static_cast<double>(height));
      Paint(painter, widgets);
      return painter.end();
    }
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
      QSvgGenerator svg;
      svg.setOutputDevice(&file);
      svg.setSize(QSize(width, height));
      svg.setViewBox(QRect(0, 0, width, height));
      svg.setTitle(title);
      QPainter painter;
      if (!painter.begin(&svg)) return false;
      Paint(painter, widgets);
      return painter.end();
    }
    return PictureOf(widgets).save(&file, "PNG");
  });
}

void CopyPicture(const std::vector<PlacedWidget>& widgets, const QString& text) {
  auto* data = new QMimeData;
  if (!widgets.empty()) data->setImageData(PictureOf(widgets));
  data->setText(text);
  QGuiApplication::clipboard()->setMimeData(data);
}

}  // namespace hulvex

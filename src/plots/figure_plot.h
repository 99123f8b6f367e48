// A plot of curves over one variable (a frequency, a peak height) rather than over the run's time:
// named curves (lines, dashed lines or points) with a legend, vertical marks, either vertical axis
// linear or logarithmic, and an optional second vertical axis on the right. Points that are not
// finite, or not positive on a logarithmic axis, are gaps. When it has nothing to draw it shows a
// message (why) over its empty axes.
#pragma once

#include <QColor>
#include <QString>

#include <qcustomplot.h>

#include <cstddef>
#include <vector>

namespace hulvex {

class FigurePlot : public QCustomPlot {
  Q_OBJECT
public:
  explicit FigurePlot(const QString& title, QWidget* parent = nullptr);

  enum class Style { Line, Dashed, Dotted, Points };
  struct Curve {
    QString Name;  // in the legend; empty: not listed
    QColor Colour;
    Style Kind = Style::Line;
    std::vector<double> X, Y;
    bool RightAxis = false;  // drawn against the right axis
  };
  // A vertical line at X across the plot, listed in the legend by Name, with Label at its top, on
  // text line Row from the top (marks of different rows may lie close without their labels meeting).
  struct Mark {
    QString Name;
    QString Label;
    QColor Colour;
    double X = 0;
    int Row = 0;
  };

  // The axes' titles and scales; the right axis is shown only with a title.
  void SetAxes(const QString& x, const QString& left, bool leftLog, const QString& right = {}, bool rightLog = false);
  // Replaces the curves and marks and fits the axes: the horizontal axis to [xFrom, xTo] (or to
  // the curves' points when xTo <= xFrom), each vertical axis to its curves' points within it (a
  // logarithmic axis spans at most `logDecades` decades below its largest value).
  void SetCurves(std::vector<Curve> curves, std::vector<Mark> marks, double xFrom = 0, double xTo = 0,
                 double logDecades = 6);
  // Shows `text` in the middle of the plot (why there is nothing to plot); empty removes it.
  void SetMessage(const QString& text);
  // The corner of the plot the legend sits in (top right unless set), where the curves leave room.
  void SetLegendCorner(Qt::Alignment corner);

  QString Title() const { return title_; }
  QString Message() const { return message_; }
  const std::vector<Curve>& Curves() const { return curves_; }
  const std::vector<Mark>& Marks() const { return marks_; }

private:
  QString title_;
  QString message_;
  std::vector<Curve> curves_;
  std::vector<Mark> marks_;
};

}  // namespace hulvex

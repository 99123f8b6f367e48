#include "plots/figure_plot.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <limits>

namespace hulvex {
namespace {

// The lowest and highest of `values` that an axis of that scale can show, over points whose x lies
// in [x0, x1]; lo > hi when there is none.
void Span(const std::vector<double>& x, const std::vector<double>& y, double x0, double x1, bool log, double& lo,
          double& hi) {
  for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i) {
    if (!(x[i] >= x0 && x[i] <= x1) || !std::isfinite(y[i]) || (log && y[i] <= 0)) continue;
    lo = std::min(lo, y[i]);
    hi = std::max(hi, y[i]);
  }
}

void FitAxis(QCPAxis* axis, double lo, double hi, bool log, double decades) {
  if (lo > hi) {
    axis->setRange(log ? 0.1 : 0.0, 1.0);
    return;
  }
  if (log) {
    hi *= 2;
    lo = std::max(lo / 2, hi * std::pow(10.0, -decades));
  } else {
    lo = std::min(lo, 0.0);
    hi = hi > lo ? hi + 0.05 * (hi - lo) : lo + 1;
  }
  axis->setRange(lo, hi);
}

void SetScale(QCPAxis* axis, bool log) {
  if (log) {
    axis->setScaleType(QCPAxis::stLogarithmic);
    axis->setTicker(QSharedPointer<QCPAxisTickerLog>(new QCPAxisTickerLog));
    axis->setNumberFormat(QStringLiteral("eb"));
    axis->setNumberPrecision(0);
  } else {
    axis->setScaleType(QCPAxis::stLinear);
    axis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
    axis->setNumberFormat(QStringLiteral("g"));
    axis->setNumberPrecision(4);
  }
}

}  // namespace

FigurePlot::FigurePlot(const QString& title, QWidget* parent) : QCustomPlot(parent), title_(title) {
  setMinimumSize(240, 150);
  plotLayout()->insertRow(0);
  plotLayout()->addElement(0, 0, new QCPTextElement(this, title, QFont(font().family(), font().pointSize(), QFont::Bold)));
  QFont small = font();
  small.setPointSizeF(std::max(6.0, small.pointSizeF() - 1.5));
  legend->setFont(small);
  legend->setBrush(QColor(255, 255, 255, 210));
  legend->setRowSpacing(-2);
  legend->setVisible(false);
  axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
}

void FigurePlot::SetAxes(const QString& x, const QString& left, bool leftLog, const QString& right, bool rightLog) {
  xAxis->setLabel(x);
  yAxis->setLabel(left);
  SetScale(yAxis, leftLog);
  yAxis2->setVisible(!right.isEmpty());
  yAxis2->setLabel(right);
  SetScale(yAxis2, rightLog);
}

void FigurePlot::SetMessage(const QString& text) {
  message_ = text;
  for (int i = itemCount() - 1; i >= 0; --i)
    if (auto* t = qobject_cast<QCPItemText*>(item(i)); t && t->objectName() == QLatin1String("message")) removeItem(t);
  if (!text.isEmpty()) {
    auto* note = new QCPItemText(this);
    note->setObjectName(QStringLiteral("message"));
    note->position->setType(QCPItemPosition::ptAxisRectRatio);
    note->position->setCoords(0.5, 0.5);
    note->setText(text);
    note->setColor(QColor(90, 90, 90));
  }
  replot(QCustomPlot::rpQueuedReplot);  // once, however many changes come before the next event loop pass
}

void FigurePlot::SetCurves(std::vector<Curve> curves, std::vector<Mark> marks, double xFrom, double xTo,
                           double logDecades) {
  clearGraphs();
  for (int i = itemCount() - 1; i >= 0; --i)
    if (item(i)->objectName() == QLatin1String("mark")) removeItem(i);
  curves_ = std::move(curves);
  marks_ = std::move(marks);
  if (!(xTo > xFrom)) {
    xFrom = std::numeric_limits<double>::infinity();
    xTo = -xFrom;
    for (const Curve& c : curves_)
      for (double v : c.X)
        if (std::isfinite(v)) xFrom = std::min(xFrom, v), xTo = std::max(xTo, v);
    for (const Mark& m : marks_) xFrom = std::min(xFrom, m.X), xTo = std::max(xTo, m.X);
    if (!(xTo >= xFrom)) xFrom = 0, xTo = 1;
    if (xTo == xFrom) xTo = xFrom + 1;
  }
  xAxis->setRange(xFrom, xTo);
  const double inf = std::numeric_limits<double>::infinity();
  double lo[2] = {inf, inf}, hi[2] = {-inf, -inf};
  const bool log[2] = {yAxis->scaleType() == QCPAxis::stLogarithmic, yAxis2->scaleType() == QCPAxis::stLogarithmic};
  for (const Curve& c : curves_) {
    const int a = c.RightAxis ? 1 : 0;
    Span(c.X, c.Y, xFrom, xTo, log[a], lo[a], hi[a]);
  }
  FitAxis(yAxis, lo[0], hi[0], log[0], logDecades);
  FitAxis(yAxis2, lo[1], hi[1], log[1], logDecades);

  bool listed = false;
  for (const Curve& c : curves_) {
    QCPGraph* g = addGraph(xAxis, c.RightAxis ? yAxis2 : yAxis);
    const bool onLog = log[c.RightAxis ? 1 : 0];
    QVector<double> x, y;
    x.reserve(static_cast<qsizetype>(c.X.size()));
    y.reserve(static_cast<qsizetype>(c.X.size()));
    for (std::size_t i = 0; i < std::min(c.X.size(), c.Y.size()); ++i) {
      x.push_back(c.X[i]);
      y.push_back(std::isfinite(c.Y[i]) && (!onLog || c.Y[i] > 0) ? c.Y[i] : std::numeric_limits<double>::quiet_NaN());
    }
    g->setData(x, y, true);
    switch (c.Kind) {
      case Style::Line: g->setPen(QPen(c.Colour, 1.5)); break;
      case Style::Dashed: g->setPen(QPen(c.Colour, 1.5, Qt::DashLine)); break;
      case Style::Dotted: g->setPen(QPen(c.Colour, 1.5, Qt::DotLine)); break;
      case Style::Points:
        g->setPen(QPen(c.Colour, 1.2));
        g->setLineStyle(QCPGraph::lsNone);
        g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 5));
        break;
    }
    g->setName(c.Name);
    if (c.Name.isEmpty()) g->removeFromLegend();
    listed = listed || !c.Name.isEmpty();
  }
  for (const Mark& m : marks_) {
    QCPGraph* g = addGraph();
    g->setData(QVector<double>{m.X, m.X}, QVector<double>{yAxis->range().lower, yAxis->range().upper}, true);
    g->setPen(QPen(m.Colour, 1.2, Qt::DashDotLine));
    g->setName(m.Name);
    listed = listed || !m.Name.isEmpty();
    if (m.Name.isEmpty()) g->removeFromLegend();
    if (m.Label.isEmpty()) continue;
    auto* label = new QCPItemText(this);
    label->setObjectName(QStringLiteral("mark"));
    label->position->setTypeX(QCPItemPosition::ptPlotCoords);
    label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    label->position->setCoords(m.X, 0.0);
    label->setPositionAlignment(Qt::AlignTop | Qt::AlignLeft);
    label->setPadding(QMargins(3, 2 + std::max(m.Row, 0) * QFontMetrics(label->font()).height(), 0, 0));
    label->setText(m.Label);
    label->setColor(m.Colour.darker(130));
  }
  legend->setVisible(listed);
  // A long legend (several runs' curves) in two columns, so that it stays within a small plot.
  constexpr int kLegendRows = 6;
  const int items = legend->itemCount();
  legend->setWrap(items > kLegendRows ? (items + 1) / 2 : 0);
  legend->setFillOrder(QCPLayoutGrid::foRowsFirst, true);
  replot(QCustomPlot::rpQueuedReplot);  // once, however many changes come before the next event loop pass
}

void FigurePlot::SetLegendCorner(Qt::Alignment corner) {
  axisRect()->insetLayout()->setInsetAlignment(0, corner);
  replot(QCustomPlot::rpQueuedReplot);
}

}  // namespace hulvex

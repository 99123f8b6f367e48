#include "plots/channel_plot.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QStyleHints>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

#include "run/time_navigation.h"

namespace hulvex {
namespace {

// Fixed left and right margins, so that the time axes of stacked plots line up; the top margin
// is the header strip with the remove button, the title and the readout.
constexpr int kLeftMargin = 72;
constexpr int kRightMargin = 14;
constexpr int kHeader = 20;
// One wheel notch zooms the time axis by this factor about the mouse.
constexpr double kWheelZoom = 0.8;
// A rubber band narrower than this is taken for a click.
constexpr int kMinBand = 4;

}  // namespace

ChannelPlot::ChannelPlot(int channel, std::span<const double> stepTimes, std::span<const float> values, QWidget* parent)
    : QCustomPlot(parent), channel_(channel), display_(ChannelInfoOf(channel)), times_(stepTimes), values_(values) {
  setObjectName(QStringLiteral("ChannelPlot%1").arg(channel));
  setFocusPolicy(Qt::ClickFocus);
  setMinimumHeight(80);
  setNotAntialiasedElements(QCP::aeAll);  // many short vertical strokes: crisp and quick
  axisRect()->setAutoMargins(QCP::msBottom);
  axisRect()->setMargins(QMargins(kLeftMargin, kHeader, kRightMargin, 0));
  xAxis->setTickLabels(false);
  yAxis->setNumberFormat(QStringLiteral("g"));
  yAxis->setNumberPrecision(4);
  graph_ = addGraph();
  graph_->setPen(QPen(QColor(20, 70, 170), 1));
  graph_->setAdaptiveSampling(false);  // the envelope is at screen resolution already
  marks_ = addGraph();
  marks_->setLineStyle(QCPGraph::lsNone);
  marks_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(QColor(230, 120, 0), 1.5), Qt::NoBrush, 6));
  level_ = new QCPItemStraightLine(this);
  level_->setPen(QPen(QColor(230, 120, 0), 1, Qt::DashLine));
  level_->setVisible(false);

  RemoveButton = new QToolButton(this);
  RemoveButton->setObjectName(QStringLiteral("RemoveButton"));
  RemoveButton->setText(QStringLiteral("×"));
  RemoveButton->setToolTip(QStringLiteral("Remove this plot"));
  RemoveButton->setAutoRaise(true);
  RemoveButton->setFocusPolicy(Qt::NoFocus);  // Space is the window's key, never a press of this button
  RemoveButton->setGeometry(2, 1, kHeader - 2, kHeader - 2);
  connect(RemoveButton, &QToolButton::clicked, this, [this] { emit RemoveRequested(channel_); });
  band_ = new QRubberBand(QRubberBand::Rectangle, this);
  pickTimer_.setSingleShot(true);
  connect(&pickTimer_, &QTimer::timeout, this, [this] {
    if (drag_ == Drag::Press) drag_ = Drag::None;
    emit TimePicked(pressTime_);
  });

  const std::size_t n = std::min(times_.size(), values_.size());
  times_ = times_.first(n);
  values_ = values_.first(n);
  if (n > 0) SetTimeRange(times_.front(), times_.back());
}

QString ChannelPlot::Title() const {
  return QString::fromStdString(display_.Name) + QStringLiteral(", ") + QString::fromStdString(display_.Unit);
}

void ChannelPlot::SetSeries(std::span<const double> stepTimes, std::span<const float> values) {
  const std::size_t n = std::min(stepTimes.size(), values.size());
  times_ = stepTimes.first(n);
  values_ = values.first(n);
  const QCPRange range = xAxis->range();
  SetTimeRange(range.lower, range.upper);
}

void ChannelPlot::SetTimeRange(double t0, double t1) {
  if (t1 <= t0) t1 = t0 + 1e-9 * std::max(1.0, std::abs(t0));
  xAxis->setRange(t0, t1);
  Rebuild();
}

void ChannelPlot::SetTimeLabels(bool shown) {
  xAxis->setTickLabels(shown);
  xAxis->setLabel(shown ? QStringLiteral("time, s") : QString());
  replot();
}

namespace {

void SetGraphPoints(QCPGraph* graph, const Envelope& envelope) {
  QVector<QCPGraphData> points;
  points.reserve(static_cast<qsizetype>(envelope.Points.size()));
  for (const EnvelopePoint& p : envelope.Points) points.append(QCPGraphData(p.t, p.v));
  graph->data()->set(points, true);
}

}  // namespace

void ChannelPlot::Rebuild() {
  const QCPRange range = xAxis->range();
  const int columns = std::max(1, width() - kLeftMargin - kRightMargin);
  BuildEnvelope(times_, values_, display_.Factor, range.lower, range.upper, columns, envelope_);
  SetGraphPoints(graph_, envelope_);
  double lo = envelope_.Min, hi = envelope_.Max;
  for (Compared& c : compared_) {
    BuildEnvelope(c.Curve.Times, c.Curve.Values, display_.Factor, range.lower, range.upper, columns, c.Env);
    SetGraphPoints(c.Graph, c.Env);
    if (std::isfinite(c.Env.Min)) lo = std::isfinite(lo) ? std::min(lo, c.Env.Min) : c.Env.Min;
    if (std::isfinite(c.Env.Max)) hi = std::isfinite(hi) ? std::max(hi, c.Env.Max) : c.Env.Max;
  }

  if (std::isfinite(lo) && std::isfinite(hi)) {
    double pad = (hi - lo) * 0.08;
    if (!(pad > 0)) pad = std::max(std::abs(hi) * 0.05, 1e-3);
    yAxis->setRange(lo - pad, hi + pad);
  }
  PlaceMarks();
  replot();
}

void ChannelPlot::SetMarks(std::span<const double> times, std::span<const double> values, double level) {
  const std::size_t n = std::min(times.size(), values.size());
  markTimes_.assign(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(n));
  markValues_.assign(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n));
  level_->setVisible(std::isfinite(level));
  level_->point1->setCoords(0, level);
  level_->point2->setCoords(1, level);
  PlaceMarks();
  replot();
}

void ChannelPlot::PlaceMarks() {
  const std::span<const double> times = markTimes_, values = markValues_;
  const std::size_t n = times.size();
  QVector<QCPGraphData> points;
  points.reserve(static_cast<qsizetype>(std::min<std::size_t>(n, 4096)));
  // Marks closer than a pixel would be drawn over each other: the highest of a column stands for them.
  double column = -std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < n; ++i) {
    const double x = std::floor(PixelOfTime(times[i]));
    if (x != column || points.empty()) {
      points.append(QCPGraphData(times[i], values[i]));
      column = x;
    } else if (values[i] > points.back().value) {
      points.back() = QCPGraphData(times[i], values[i]);
    }
  }
  marks_->data()->set(points, true);
}

std::size_t ChannelPlot::MarkCount() const { return static_cast<std::size_t>(marks_->data()->size()); }

std::vector<QPointF> ChannelPlot::Marks() const {
  std::vector<QPointF> marks;
  for (const QCPGraphData& d : *marks_->data()) marks.emplace_back(d.key, d.value);
  return marks;
}

double ChannelPlot::Level() const {
  return level_->visible() ? level_->point1->coords().y() : std::numeric_limits<double>::quiet_NaN();
}

void ChannelPlot::SetComparedCurves(std::vector<ComparedCurve> curves) {
  for (Compared& c : compared_) removeGraph(c.Graph);
  compared_.clear();
  for (ComparedCurve& curve : curves) {
    const std::size_t n = std::min(curve.Times.size(), curve.Values.size());
    curve.Times = curve.Times.first(n);
    curve.Values = curve.Values.first(n);
    Compared c;
    c.Graph = addGraph();
    c.Graph->setPen(QPen(curve.Colour, 1));
    c.Graph->setAdaptiveSampling(false);
    c.Graph->setName(curve.Name);
    c.Curve = std::move(curve);
    compared_.push_back(std::move(c));
  }
  // The plot's own run over the compared ones, and the marks over all.
  graph_->setLayer(QStringLiteral("main"));
  marks_->setLayer(QStringLiteral("main"));
  Rebuild();
  update(ReadoutRect());
}

double ChannelPlot::ComparedValueAtCursor(std::size_t k) const {
  const Compared& c = compared_.at(k);
  if (cursor_ < 0 || c.Curve.Times.empty()) return std::numeric_limits<double>::quiet_NaN();
  const double t = times_[static_cast<std::size_t>(cursor_)];
  return static_cast<double>(DisplayValue(c.Curve.Values[static_cast<std::size_t>(StepAtOrBefore(c.Curve.Times, t))], display_.Factor));
}

QString ChannelPlot::CursorText() const {
  if (cursor_ < 0) return {};
  const float v = DisplayValue(values_[static_cast<std::size_t>(cursor_)], display_.Factor);
  return QString::number(static_cast<double>(v), 'g', 6) + QLatin1Char(' ') + QString::fromStdString(display_.Unit);
}

QRect ChannelPlot::CursorStrip() const {
  if (cursor_ < 0) return {};
  const double x = PixelOfTime(times_[static_cast<std::size_t>(cursor_)]);
  const QRect area = axisRect()->rect();
  if (!(x >= area.left() - 2 && x <= area.right() + 2)) return {};
  return QRect(static_cast<int>(std::floor(x)) - 2, area.top(), 5, area.height() + 1);
}

QRect ChannelPlot::ReadoutRect() const { return QRect(width() / 2, 0, width() / 2 - kRightMargin, kHeader); }

void ChannelPlot::SetCursorStep(std::int32_t s) {
  if (times_.empty()) return;
  s = std::clamp<std::int32_t>(s, 0, static_cast<std::int32_t>(times_.size()) - 1);
  if (s == cursor_) return;
  const QRect before = CursorStrip();
  cursor_ = s;
  update(before);
  update(CursorStrip());
  update(ReadoutRect());
}

void ChannelPlot::paintEvent(QPaintEvent* event) {
  QCustomPlot::paintEvent(event);  // the buffered curves, axes and grid
  QPainter painter(this);
  painter.setPen(Qt::black);
  // The title starts over the plot area, clear of the value axis's top tick label, and takes the
  // width the readout leaves (elided only when both do not fit).
  const QString readout = CursorText();
  // The shown compared runs' values at the cursor, right of the plot's own, each in its colour.
  std::vector<std::pair<QString, QColor>> others;
  int othersWidth = 0;
  for (std::size_t k = 0; k < compared_.size(); ++k) {
    if (cursor_ < 0) continue;
    others.emplace_back(QStringLiteral("  ") + QString::number(ComparedValueAtCursor(k), 'g', 5), compared_[k].Curve.Colour);
    othersWidth += painter.fontMetrics().horizontalAdvance(others.back().first);
  }
  const int readoutWidth = painter.fontMetrics().horizontalAdvance(readout) + othersWidth + 12;
  const int titleWidth = std::max(0, width() - kRightMargin - kLeftMargin - std::max(readoutWidth, width() / 4));
  painter.drawText(QRect(kLeftMargin, 0, titleWidth, kHeader), Qt::AlignLeft | Qt::AlignVCenter,
                   painter.fontMetrics().elidedText(Title(), Qt::ElideRight, titleWidth));
  QRect readoutRect = ReadoutRect();
  for (auto it = others.rbegin(); it != others.rend(); ++it) {
    painter.setPen(it->second.darker(120));
    painter.drawText(readoutRect, Qt::AlignRight | Qt::AlignVCenter, it->first);
    readoutRect.setRight(readoutRect.right() - painter.fontMetrics().horizontalAdvance(it->first));
  }
  painter.setPen(Qt::black);
  painter.drawText(readoutRect, Qt::AlignRight | Qt::AlignVCenter, readout);
  if (cursor_ >= 0) {
    const QRect strip = CursorStrip();
    if (!strip.isEmpty()) {
      const double x = PixelOfTime(times_[static_cast<std::size_t>(cursor_)]);
      painter.setPen(QPen(QColor(210, 0, 0), 1));
      painter.drawLine(QPointF(x, strip.top()), QPointF(x, strip.bottom()));
    }
  }
}

void ChannelPlot::resizeEvent(QResizeEvent* event) {
  QCustomPlot::resizeEvent(event);
  // About one value label per 22 pixels of the axis (the plot less its title and time axis), at
  // least two, and that many even where a rounder step would give more, so that a short plot's
  // labels neither overlap nor thin out to one.
  yAxis->ticker()->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
  yAxis->ticker()->setTickCount(std::clamp((height() - 40) / 22, 2, 6));
  Rebuild();  // as many columns as the plot is wide
}

void ChannelPlot::mousePressEvent(QMouseEvent* event) {
  const QRect area = axisRect()->rect();
  const QPoint at = event->position().toPoint();
  if (!area.contains(at) || times_.empty()) {
    QCustomPlot::mousePressEvent(event);
    return;
  }
  pressAt_ = at;
  pressRange_ = xAxis->range();
  const bool left = event->button() == Qt::LeftButton;
  if (event->button() == Qt::RightButton || (left && (event->modifiers() & Qt::ShiftModifier))) {
    drag_ = Drag::Pan;
  } else if (left && (event->modifiers() & Qt::ControlModifier)) {
    drag_ = Drag::Band;
    band_->setGeometry(QRect(at.x(), area.top(), 1, area.height()));
    band_->show();
  } else if (left) {
    // A click moves once the double-click interval is over: the first press of a double click
    // (which shows the whole run) must not move the cursor.
    drag_ = Drag::Press;
    pressTime_ = TimeOfPixel(at.x());
    pickTimer_.start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
  }
  event->accept();
}

void ChannelPlot::mouseMoveEvent(QMouseEvent* event) {
  const QRect area = axisRect()->rect();
  const int x = std::clamp(event->position().toPoint().x(), area.left(), area.right());
  switch (drag_) {
    case Drag::Press:
      if ((event->position().toPoint() - pressAt_).manhattanLength() < QApplication::startDragDistance()) break;
      pickTimer_.stop();
      drag_ = Drag::Scrub;
      [[fallthrough]];
    case Drag::Scrub: emit TimePicked(TimeOfPixel(x)); break;
    case Drag::Pan: {
      const double shift = (event->position().x() - pressAt_.x()) * pressRange_.size() / std::max(1, area.width());
      emit RangeRequested(pressRange_.lower - shift, pressRange_.upper - shift);
      break;
    }
    case Drag::Band:
      band_->setGeometry(QRect(std::min(x, pressAt_.x()), area.top(), std::abs(x - pressAt_.x()) + 1, area.height()));
      break;
    case Drag::None: QCustomPlot::mouseMoveEvent(event); return;
  }
  event->accept();
}

void ChannelPlot::mouseReleaseEvent(QMouseEvent* event) {
  if (drag_ == Drag::Band) {
    band_->hide();
    const QRect area = axisRect()->rect();
    const int x = std::clamp(event->position().toPoint().x(), area.left(), area.right());
    if (std::abs(x - pressAt_.x()) >= kMinBand)
      emit RangeRequested(TimeOfPixel(std::min(x, pressAt_.x())), TimeOfPixel(std::max(x, pressAt_.x())));
  }
  if (drag_ == Drag::Pan && event->button() == Qt::RightButton &&
      (event->position().toPoint() - pressAt_).manhattanLength() < kMinBand)
    emit MenuRequested(event->globalPosition().toPoint());  // a right click, not a pan
  if (drag_ == Drag::None) QCustomPlot::mouseReleaseEvent(event);
  drag_ = Drag::None;  // a pending click stays pending until its interval is over
}

void ChannelPlot::contextMenuEvent(QContextMenuEvent* event) {
  // The mouse's menu comes with the release of a right click (a right drag pans).
  if (event->reason() != QContextMenuEvent::Mouse) emit MenuRequested(event->globalPos());
  event->accept();
}

void ChannelPlot::mouseDoubleClickEvent(QMouseEvent* event) {
  if (axisRect()->rect().contains(event->position().toPoint())) {
    drag_ = Drag::None;
    pickTimer_.stop();  // the first click of the two moves nothing
    emit ResetRequested();
    event->accept();
    return;
  }
  QCustomPlot::mouseDoubleClickEvent(event);
}

void ChannelPlot::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches == 0 || times_.empty()) {
    event->ignore();
    return;
  }
  const double factor = std::pow(kWheelZoom, notches);
  const double center = TimeOfPixel(event->position().x());
  const QCPRange r = xAxis->range();
  emit RangeRequested(center + (r.lower - center) * factor, center + (r.upper - center) * factor);
  event->accept();
}

void ChannelPlot::keyPressEvent(QKeyEvent* event) {
  int action;
  switch (event->key()) {
    case Qt::Key_Left: action = QAbstractSlider::SliderSingleStepSub; break;
    case Qt::Key_Right: action = QAbstractSlider::SliderSingleStepAdd; break;
    case Qt::Key_PageUp: action = QAbstractSlider::SliderPageStepSub; break;
    case Qt::Key_PageDown: action = QAbstractSlider::SliderPageStepAdd; break;
    case Qt::Key_Home: action = QAbstractSlider::SliderToMinimum; break;
    case Qt::Key_End: action = QAbstractSlider::SliderToMaximum; break;
    default: QCustomPlot::keyPressEvent(event); return;
  }
  emit SliderActionRequested(action);
  event->accept();
}

}  // namespace hulvex

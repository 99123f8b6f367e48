// The plot of one channel over the run's time: the min/max envelope of the visible range at the
// plot's pixel width (rebuilt when the range or the width changes; never the whole series), the
// vertical axis fitted to it, and the time cursor with the cursor step's value in the corner.
// The cursor is drawn over the plot's buffered curves, never into them: moving it repaints the
// strips it leaves and enters and the readout, not the curves.
#pragma once

#include <QRubberBand>
#include <QTimer>
#include <QToolButton>

#include <qcustomplot.h>

#include <cstdint>
#include <span>
#include <vector>

#include "run/envelope.h"
#include "runfiles/channel_vocabulary.h"

namespace hulvex {

class ChannelPlot : public QCustomPlot {
  Q_OBJECT
public:
  // Plots `values` (raw, one per step) of `channel` at `stepTimes` (increasing). Both must stay
  // unchanged while the plot exists.
  ChannelPlot(int channel, std::span<const double> stepTimes, std::span<const float> values, QWidget* parent = nullptr);

  int Channel() const { return channel_; }
  // The channel's vocabulary entry: its name, unit and display factor.
  const ChannelInfo& Display() const { return display_; }
  // "Pitch, deg", or "Channel 12, raw".
  QString Title() const;

  // The series grew (a followed run): plots `values` at `stepTimes` from now on (the same rules
  // as the constructor's), keeping the time range; the caller sets a new range when it wants one.
  void SetSeries(std::span<const double> stepTimes, std::span<const float> values);

  // Shows [t0, t1] of the time axis: the envelope is rebuilt and the curves redrawn.
  void SetTimeRange(double t0, double t1);
  QCPRange TimeRange() const { return xAxis->range(); }
  // Whether the time axis carries its labels (the bottom plot of a stack).
  void SetTimeLabels(bool shown);

  // Puts the cursor on step s (clamped to the steps); repaints only the cursor and the readout.
  void SetCursorStep(std::int32_t s);
  std::int32_t CursorStep() const { return cursor_; }
  // The readout in the corner: the cursor step's display value and unit ("0.4123 ft").
  QString CursorText() const;

  // Marks the points (times[i], values[i]) (display units; times increasing) over the curve, at
  // most one per pixel column of the time range shown (the highest), and draws a horizontal line
  // at `level` (none when NaN). Replaces the marks and line of the call before. The points are
  // kept: the marks are merged again whenever the range or the width changes.
  void SetMarks(std::span<const double> times, std::span<const double> values, double level);
  std::size_t MarkCount() const;  // marks drawn
  std::vector<QPointF> Marks() const;  // the marks drawn: (time, value), in time order
  // The level line's value; NaN without one.
  double Level() const;

  // A further run's curve on the same time axis: its step times (increasing) and raw values of
  // this plot's channel, which must stay unchanged while the plot shows them, its name and colour.
  struct ComparedCurve {
    QString Name;
    QColor Colour;
    std::span<const double> Times;
    std::span<const float> Values;
  };
  // Replaces the compared curves (none: the plot's own run alone). Each is drawn as its envelope
  // of the visible range, under the plot's own run's curve; the value axis fits them all. The
  // readout adds each one's value at the cursor's time, in its colour.
  void SetComparedCurves(std::vector<ComparedCurve> curves);
  std::size_t ComparedCount() const { return compared_.size(); }
  // Compared curve k's readout value at the cursor (display units): its last step at or before the
  // cursor step's time (its first before it starts); NaN without a cursor.
  double ComparedValueAtCursor(std::size_t k) const;
  const Envelope& ComparedEnvelope(std::size_t k) const { return compared_.at(k).Env; }

  const Envelope& CurrentEnvelope() const { return envelope_; }
  // The pixel column of time t, and the time at pixel column x, on the time axis.
  double PixelOfTime(double t) const { return xAxis->coordToPixel(t); }
  double TimeOfPixel(double x) const { return xAxis->pixelToCoord(x); }

  QToolButton* RemoveButton = nullptr;

signals:
  // A left drag at time t, or a left click at t once it is plain that no double click follows
  // (the double-click interval after the press): the window moves there as the time bar would.
  void TimePicked(double t);
  // The wheel, a pan or a rubber band asks for this time range; a double click for the whole run.
  void RangeRequested(double t0, double t1);
  void ResetRequested();
  // A key that moves the time bar (QAbstractSlider::SliderAction).
  void SliderActionRequested(int action);
  void RemoveRequested(int channel);
  // A right click without a drag, or the menu key: the window's menu for this plot at `global`.
  void MenuRequested(const QPoint& global);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  void Rebuild();
  // Merges the points of the last SetMarks per pixel column of the range and width shown.
  void PlaceMarks();
  // Where the cursor and its readout are drawn (widget pixels); empty without a cursor.
  QRect CursorStrip() const;
  QRect ReadoutRect() const;

  int channel_;
  ChannelInfo display_;
  std::span<const double> times_;
  std::span<const float> values_;
  Envelope envelope_;
  QCPGraph* graph_ = nullptr;
  QCPGraph* marks_ = nullptr;
  QCPItemStraightLine* level_ = nullptr;
  struct Compared {
    ComparedCurve Curve;
    QCPGraph* Graph = nullptr;
    Envelope Env;
  };
  std::vector<Compared> compared_;
  std::int32_t cursor_ = -1;

  std::vector<double> markTimes_, markValues_;

  // Press: a left press not yet a drag nor known to be a click (a double click may follow).
  enum class Drag { None, Press, Scrub, Pan, Band };
  Drag drag_ = Drag::None;
  QPoint pressAt_;
  double pressTime_ = 0;
  QTimer pickTimer_;  // ends the double-click interval after a left press: then it is a click
  QCPRange pressRange_;
  QRubberBand* band_ = nullptr;
};

}  // namespace hulvex

#include "plots/channel_plot.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

#include "common/constants.h"
#include "runfiles/time_history.h"

namespace hulvex {
namespace {

// Pitch (radians stored, degrees shown) of 1001 steps 0.01 s apart, in a plot 600 pixels wide.
class PlotTest : public ::testing::Test {
protected:
  PlotTest() {
    for (int s = 0; s <= 1000; ++s) {
      times.push_back(0.01 * s);
      values.push_back(static_cast<float>(0.05 * std::sin(3.0 * 0.01 * s) + (s == 613 ? 0.2 : 0.0)));
    }
    plot = std::make_unique<ChannelPlot>(kChPitch, times, values);
    plot->resize(600, 200);
    plot->show();
    plot->SetTimeRange(0, 10);
  }
  std::vector<double> times;
  std::vector<float> values;
  std::unique_ptr<ChannelPlot> plot;
};

TEST_F(PlotTest, TheEnvelopeHoldsTheExtremesOfTheRangeInDisplayUnits) {
  struct Range {
    double t0, t1;
  };
  for (const Range r : {Range{0, 10}, Range{6.0, 6.3}, Range{2.5, 4}}) {
    plot->SetTimeRange(r.t0, r.t1);
    double lo = INFINITY, hi = -INFINITY;
    for (std::size_t s = 0; s < times.size(); ++s) {
      if (times[s] < r.t0 || times[s] > r.t1) continue;
      const double shown = static_cast<float>(static_cast<double>(values[s]) * kRadToDeg);
      lo = std::min(lo, shown);
      hi = std::max(hi, shown);
    }
    const Envelope& e = plot->CurrentEnvelope();
    EXPECT_DOUBLE_EQ(e.Min, lo) << r.t0;
    EXPECT_DOUBLE_EQ(e.Max, hi) << r.t0;
    // At most two points per pixel column, plus one beyond each edge.
    EXPECT_LE(e.Points.size(), 2u * static_cast<std::size_t>(plot->axisRect()->width()) + 2);
    EXPECT_LE(plot->yAxis->range().lower, lo);
    EXPECT_GE(plot->yAxis->range().upper, hi);
  }
}

TEST_F(PlotTest, TheCursorIsKeptOnTheStepsAndReadsInDisplayUnits) {
  for (auto [asked, step] : {std::pair{613, 613}, std::pair{-5, 0}, std::pair{5000, 1000}}) {
    plot->SetCursorStep(asked);
    EXPECT_EQ(plot->CursorStep(), step);
    const float shown = static_cast<float>(static_cast<double>(values[static_cast<std::size_t>(step)]) * kRadToDeg);
    EXPECT_EQ(plot->CursorText(), QString::number(static_cast<double>(shown), 'g', 6) + " deg");
  }
}

TEST_F(PlotTest, TheWheelAsksForARangeShrunkAboutThePointer) {
  QSignalSpy asked(plot.get(), &ChannelPlot::RangeRequested);
  const QPointF at(plot->PixelOfTime(4.0), plot->axisRect()->rect().center().y());
  const double center = plot->TimeOfPixel(at.x());
  QWheelEvent wheel(at, plot->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(plot.get(), &wheel);
  ASSERT_EQ(asked.size(), 1);
  EXPECT_NEAR(asked[0][0].toDouble(), center - center * 0.8, 1e-9);
  EXPECT_NEAR(asked[0][1].toDouble(), center + (10 - center) * 0.8, 1e-9);
}

TEST_F(PlotTest, MarksInOnePixelColumnKeepTheHighest) {
  const double perPixel = 10.0 / plot->axisRect()->width();
  const double t = plot->TimeOfPixel(std::floor(plot->PixelOfTime(5.0)) + 0.2);  // room in its column
  // Two peaks a fifth of a pixel apart, in both orders, and one two pixels on.
  for (auto [first, second] : {std::pair{1.0, 2.0}, std::pair{2.0, 1.0}}) {
    const std::vector<double> at{t, t + 0.2 * perPixel, t + 2 * perPixel};
    const std::vector<double> height{first, second, 0.5};
    plot->SetMarks(at, height, 1.5);
    const std::vector<QPointF> marks = plot->Marks();
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[0].y(), 2.0);
    EXPECT_EQ(marks[0].x(), first == 2.0 ? at[0] : at[1]);
    EXPECT_EQ(marks[1].y(), 0.5);
    EXPECT_EQ(plot->Level(), 1.5);
  }
  plot->SetMarks({}, {}, NAN);
  EXPECT_EQ(plot->MarkCount(), 0u);
  EXPECT_TRUE(std::isnan(plot->Level()));
}

}  // namespace
}  // namespace hulvex

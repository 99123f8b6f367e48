#include "app/channels_frm.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/main_window.h"
#include "cli/run_tool.h"
#include "report/compare_report.h"
#include "analysis/iso2631.h"
#include "run/channel_series.h"
#include "support/run_builder.h"
#include "viewer_fixture.h"

namespace hulvex {
namespace {
using test_support::RunBuilder;
using test_support::TempDir;

// A surging, heaving boat: every plotted channel moves. `lastChannel` below 7 leaves channels out.
std::string WriteRun(const TempDir& dir, const std::string& name, std::int32_t steps, std::int16_t lastChannel = 11) {
  RunBuilder run;
  run.Name = name;
  run.SampleBoat(4, "B4.BOT").Steps(steps, 0.01).History.LastChannel = lastChannel;
  run.History.values = [](std::int32_t s, std::span<float> ch) {
    const double t = s * 0.01;
    float all[41] = {};
    all[kChHeight] = static_cast<float>(0.4 + 0.2 * std::sin(2 * t));
    // Slams at 1.7 Hz whose heights swell and fade: peaks of many heights.
    all[kChAcceleration] = static_cast<float>((0.5 + 0.4 * std::sin(0.9 * t)) * std::sin(10.68 * t) * 32.18);
    all[kChPitch] = static_cast<float>(0.06 + 0.02 * std::cos(2 * t));
    all[kChDistance] = static_cast<float>(45 * t);
    all[kChSpeed] = static_cast<float>(45 + std::cos(0.5 * t));
    all[kChSurfaceGain] = 2000.0f;
    for (int c = 12; c <= 40; ++c) all[c] = static_cast<float>(c + std::sin(t));
    std::copy_n(all, std::min<std::size_t>(ch.size(), 41), ch.begin());
    return t;
  };
  return run.Write(dir);
}

class ChannelsTest : public ViewerTest {
protected:
  void SetUp() override {
    ViewerTest::SetUp();
    form->show();
    // A click on a plot moves once the double-click interval is over: a short one here.
    doubleClick_ = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(kClickInterval);
  }
  void TearDown() override {
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(doubleClick_);
    ViewerTest::TearDown();
  }
  static constexpr int kClickInterval = 60;
  int doubleClick_ = 400;
  // A left click at time t, and the wait for the interval after which it moves; the step it
  // lands on (as the plot was laid out when clicked).
  std::int32_t Click(ChannelPlot& plot, double t) {
    const std::int32_t step = StepAt(plot, t);
    QTest::mouseClick(&plot, Qt::LeftButton, {}, At(plot, t));
    // The playback's frames are driven by hand here (Timer1Timer), not by its timer meanwhile.
    const QSignalBlocker frames(form->VidFrm->Timer1);
    QTest::qWait(kClickInterval + 40);
    // A loaded machine may run the click's timer late: wait for the move itself, a while at most.
    static_cast<void>(QTest::qWaitFor([&] { return form->Session().CurrentStep() == step; }, 2000));
    return step;
  }
  void GoTo(std::int32_t s) {
    form->TimeBar->setSliderPosition(s);
    form->TimeBar->triggerAction(QAbstractSlider::SliderMove);
  }
  // A figure's full precision, as its cell keeps it.
  double Figure(QTableWidget* table, int row, int column) { return table->item(row, column)->data(Qt::UserRole).toDouble(); }
  TChannelsFrm& Channels() { return *form->ChannelsFrm; }
  ChannelPlot& Plot(std::size_t k) { return *Channels().Plots().at(k); }
  QPoint At(ChannelPlot& plot, double t) {
    return QPoint(static_cast<int>(std::lround(plot.PixelOfTime(t))), plot.axisRect()->rect().center().y());
  }

  // The step a click at time t lands on: the time of the pixel the click hits, to its nearest step
  // (a pixel may span more than one step).
  std::int32_t StepAt(ChannelPlot& plot, double t) {
    return StepNearest(form->Session().Reference().History.StepTimes, plot.TimeOfPixel(At(plot, t).x()));
  }

  // The cursor of every plot, the time bar and the video are on step s; each readout shows the
  // step's converted value as the main window's conversion gives it.
  void ExpectOnStep(std::int32_t s, bool barAndReadouts = true) {
    const StepValues converted = ReadStep(form->Session().Reference().History, s, true, diag);
    for (ChannelPlot* p : Channels().Plots()) {
      EXPECT_EQ(p->CursorStep(), s) << p->Title().toStdString();
      EXPECT_TRUE(p->CursorText().startsWith(QString::number(converted.Channels[p->Channel()], 'g', 6)))
          << p->CursorText().toStdString();
    }
    if (!barAndReadouts) return;
    EXPECT_EQ(form->TimeBar->value(), s);
    EXPECT_EQ(form->Session().Navigation().CurrentStep, s);
    EXPECT_EQ(form->At_T->text().toStdString(), "at _JT=" + std::to_string(s));
    EXPECT_EQ(form->VidFrm->Player().VideoPos(), s);
  }

  // The display values of `channel` times `scale` at the steps whose time lies in [t0, t1], as an
  // analysis series (step numbers of the run) over `time` and `value`.
  analysis::Series Window(int channel, double scale, double t0, double t1) {
    const std::vector<double>& all = form->Session().Reference().History.StepTimes;
    const ChannelSeries* held = FindSeries(form->Session().Reference(), channel);
    time.clear();
    value.clear();
    std::size_t first = 0;
    for (std::size_t s = 0; s < all.size(); ++s) {
      if (all[s] < t0 || all[s] > t1) continue;
      if (time.empty()) first = s;
      time.push_back(all[s]);
      value.push_back(static_cast<double>(held->Values[s]) * scale);
    }
    return {time, value, first};
  }
  QString Cell(QTableWidget* table, int row, int column) { return table->item(row, column)->text(); }
  // The session computes the statistics off the GUI thread: waits until the latest range's arrive.
  void WaitForStatistics() {
    for (int i = 0; i < 1000 && form->Session().StatisticsPending(); ++i) QTest::qWait(5);
    ASSERT_FALSE(form->Session().StatisticsPending());
    QCoreApplication::processEvents();
  }

  std::vector<double> time, value;
  NullDiagnostics diag;
};

TEST_F(ChannelsTest, OpeningARunShowsTheFourPlotsBesideTheOtherWindows) {
  Open(WriteRun(dir, "RUN", 20001));
  ASSERT_TRUE(shown.empty()) << shown.front();
  ASSERT_TRUE(Channels().isVisible());
  ASSERT_EQ(Channels().Plots().size(), 4u);
  std::vector<std::string> titles;
  for (ChannelPlot* p : Channels().Plots()) titles.push_back(p->Title().toStdString());
  EXPECT_EQ(titles, (std::vector<std::string>{"Height of the centre of gravity, ft", "Pitch, deg", "Vertical acceleration, g", "Speed, kt"}));
  EXPECT_FALSE(Channels().frameGeometry().intersects(form->frameGeometry()));
  EXPECT_FALSE(Channels().frameGeometry().intersects(form->VidFrm->frameGeometry()));
  EXPECT_FALSE(Channels().MissingLbl->isVisible());
  for (ChannelPlot* p : Channels().Plots()) {
    EXPECT_EQ(p->TimeRange().lower, 0.0);
    EXPECT_EQ(p->TimeRange().upper, 200.0);
    // 20 001 steps, a few points per pixel column handed to the widget.
    EXPECT_LE(p->CurrentEnvelope().Points.size(), 2u * static_cast<std::size_t>(p->width()));
    EXPECT_EQ(p->CursorStep(), 0);
  }
  EXPECT_TRUE(Plot(3).xAxis->tickLabels());
  EXPECT_FALSE(Plot(0).xAxis->tickLabels());
}

TEST_F(ChannelsTest, BarKeysClicksAndPlaybackPutTheCursorWhereTheRunIs) {
  Open(WriteRun(dir, "RUN", 1001));
  form->TimeBar->setSliderPosition(500);
  form->TimeBar->triggerAction(QAbstractSlider::SliderMove);
  ExpectOnStep(500);
  QTest::keyClick(form->TimeBar, Qt::Key_Right);  // one step (the bar decides which way)
  EXPECT_EQ(std::abs(form->TimeBar->value() - 500), 1);
  ExpectOnStep(form->TimeBar->value());
  QTest::keyClick(&Plot(2), Qt::Key_Right);
  QTest::keyClick(&Plot(2), Qt::Key_Right);
  ExpectOnStep(form->TimeBar->value());
  form->TimeBar->setSliderPosition(501);
  form->TimeBar->triggerAction(QAbstractSlider::SliderMove);
  QTest::keyClick(&Plot(2), Qt::Key_Left);
  ExpectOnStep(500);
  QTest::keyClick(&Plot(0), Qt::Key_PageDown);  // the bar's page: 20 steps
  ExpectOnStep(520);
  ExpectOnStep(Click(Plot(1), 2.5));
  // Dragging scrubs through the steps under the mouse.
  QTest::mousePress(&Plot(3), Qt::LeftButton, {}, At(Plot(3), 3.0));
  QTest::mouseMove(&Plot(3), At(Plot(3), 7.0));
  const std::int32_t dragged = StepAt(Plot(3), 7.0);
  ExpectOnStep(dragged);
  QTest::mouseRelease(&Plot(3), Qt::LeftButton, {}, At(Plot(3), 7.0));

  // Playback: the cursor follows every frame put on the screen; bar and readouts wait for Stop.
  form->GoClick();
  ExpectOnStep(dragged);
  clock = 300;
  form->VidFrm->Timer1Timer();  // shows the frame of the dragged-to step, composes 4 steps on
  form->VidFrm->Timer1Timer();  // shows that one
  ExpectOnStep(dragged + 4, false);
  EXPECT_EQ(form->At_T->text(), QStringLiteral("at _JT=%1").arg(dragged));
  // A click during playback goes there as a bar move does, and the playback goes on from there.
  const std::int32_t clicked = Click(Plot(0), 1.0);
  ExpectOnStep(clicked);
  EXPECT_TRUE(form->VidFrm->Player().Playing());
  form->VidFrm->Timer1Timer();
  form->VidFrm->Timer1Timer();
  ExpectOnStep(clicked + 4, false);
  form->Stop1Click();
  EXPECT_EQ(form->TimeBar->value(), clicked + 8);
  for (ChannelPlot* p : Channels().Plots()) EXPECT_EQ(p->CursorStep(), clicked + 8);
}

TEST_F(ChannelsTest, CursorMovesRepaintTheCursorNotTheCurves) {
  Open(WriteRun(dir, "RUN", 1001));
  // The acceleration plot too: its peak marks change with the range, not with the cursor.
  QSignalSpy replots(&Plot(2), &QCustomPlot::afterReplot);
  for (int k = 0; k < 5; ++k) QTest::keyClick(&Plot(1), Qt::Key_Right);
  EXPECT_EQ(replots.count(), 0);
  Channels().SetTimeRange(1.0, 2.0);
  EXPECT_GT(replots.count(), 0);
  // Out of the zoomed range the page turns so that the cursor stays in sight.
  form->TimeBar->setSliderPosition(900);
  form->TimeBar->triggerAction(QAbstractSlider::SliderMove);
  for (ChannelPlot* p : Channels().Plots()) {
    EXPECT_NEAR(p->TimeRange().lower, 8.9, 1e-9);
    EXPECT_NEAR(p->TimeRange().size(), 1.0, 1e-9);
  }
}

TEST_F(ChannelsTest, ZoomAndPanOnOnePlotMoveThemAll) {
  Open(WriteRun(dir, "RUN", 1001));
  auto expectRange = [&](double lower, double upper) {
    for (ChannelPlot* p : Channels().Plots()) {
      EXPECT_NEAR(p->TimeRange().lower, lower, 1e-6) << p->Title().toStdString();
      EXPECT_NEAR(p->TimeRange().upper, upper, 1e-6) << p->Title().toStdString();
      EXPECT_GE(p->CurrentEnvelope().Points.front().t, lower - 0.01);  // rebuilt for the range
    }
  };
  // Two notches of the wheel at t = 4: the axis shrinks to 0.64 of its width about 4.
  QWheelEvent wheel(At(Plot(1), 4.0), Plot(1).mapToGlobal(At(Plot(1), 4.0)), {}, QPoint(0, 240), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  const double at = Plot(1).TimeOfPixel(At(Plot(1), 4.0).x());
  QApplication::sendEvent(&Plot(1), &wheel);
  expectRange(at - at * 0.64, at + (10.0 - at) * 0.64);
  // The plots follow at once; the statistics of the new range when they have been computed.
  WaitForStatistics();
  const QCPRange wheeled = Plot(0).TimeRange();
  EXPECT_EQ(Cell(Channels().StatsTable, 0, 0).toStdString(),
            std::to_string(Window(Plot(0).Channel(), 1.0, wheeled.lower, wheeled.upper).Time.size()));

  const QCPRange zoomed = Plot(0).TimeRange();
  const double perPixel = zoomed.size() / Plot(2).axisRect()->width();
  for (auto [button, modifier] : {std::pair{Qt::RightButton, Qt::NoModifier}, std::pair{Qt::LeftButton, Qt::ShiftModifier}}) {
    const QCPRange before = Plot(0).TimeRange();
    const QPoint from = At(Plot(2), 5.0);
    QTest::mousePress(&Plot(2), button, modifier, from);
    QTest::mouseMove(&Plot(2), from + QPoint(-50, 0));
    QTest::mouseRelease(&Plot(2), button, modifier, from + QPoint(-50, 0));
    expectRange(before.lower + 50 * perPixel, before.upper + 50 * perPixel);
  }
  // Ctrl-drag: a rubber band from 5 s to 6 s.
  QTest::mousePress(&Plot(3), Qt::LeftButton, Qt::ControlModifier, At(Plot(3), 5.0));
  QTest::mouseMove(&Plot(3), At(Plot(3), 6.0));
  const double t0 = Plot(3).TimeOfPixel(At(Plot(3), 5.0).x()), t1 = Plot(3).TimeOfPixel(At(Plot(3), 6.0).x());
  QTest::mouseRelease(&Plot(3), Qt::LeftButton, Qt::ControlModifier, At(Plot(3), 6.0));
  expectRange(t0, t1);
  // Panning stops at the run's ends, zooming at a few steps; a double click shows the whole run.
  Channels().SetTimeRange(-50.0, -40.0);
  expectRange(0.0, 10.0);
  Channels().SetTimeRange(3.0, 3.0);
  expectRange(3.0, 3.04);
  // A double click shows the whole run and leaves the cursor where it was.
  const std::int32_t before = form->Session().CurrentStep();
  QTest::mouseDClick(&Plot(0), Qt::LeftButton, {}, At(Plot(0), 3.02));
  QTest::qWait(kClickInterval + 40);
  expectRange(0.0, 10.0);
  EXPECT_EQ(form->Session().CurrentStep(), before);
  EXPECT_TRUE(shown.empty());
}

TEST_F(ChannelsTest, StatisticsTableFollowsTheVisibleRange) {
  namespace an = analysis;
  Open(WriteRun(dir, "RUN", 3001));
  ASSERT_EQ(Channels().Plots().size(), 4u);
  EXPECT_TRUE(Channels().ImpactLbl->text().contains("at the centre of gravity; not a seat measurement"));
  QTableWidget* stats = Channels().StatsTable;
  QTableWidget* impacts = Channels().ImpactTable;
  // Each range as the wheel, a rubber band or a double click leaves it: the whole run, a zoom,
  // a window shorter than ISO 2631-1 needs.
  struct Case {
    double t0, t1;
  };
  QString wholeMean;
  for (const Case& c : {Case{0, 30}, Case{4.5, 21.3}, Case{10, 11.5}}) {
    SCOPED_TRACE(c.t0);
    Channels().SetTimeRange(c.t0, c.t1);
    WaitForStatistics();
    ASSERT_EQ(stats->rowCount(), 4);
    for (int row = 0; row < 4; ++row) {
      ChannelPlot& plot = Plot(static_cast<std::size_t>(row));
      EXPECT_EQ(stats->verticalHeaderItem(row)->text(), plot.Title());
      // Worked out here from the stored values, not by the statistics code the window shows.
      const analysis::Series w = Window(plot.Channel(), plot.Display().Factor, c.t0, c.t1);
      const double n = static_cast<double>(w.Value.size());
      double sum = 0, squares = 0, lo = w.Value[0], hi = w.Value[0];
      for (double v : w.Value) {
        sum += v;
        squares += v * v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
      const double mean = sum / n;
      double deviations = 0;
      for (double v : w.Value) deviations += (v - mean) * (v - mean);
      EXPECT_EQ(Cell(stats, row, 0), QString::number(w.Value.size()));
      // Mean, Min, Max, StdDev, Rms: shown at 4 digits, kept whole.
      const std::pair<int, double> figures[] = {{1, mean}, {2, lo}, {4, hi}, {6, std::sqrt(deviations / n)}, {7, std::sqrt(squares / n)}};
      for (auto [column, expected] : figures) {
        EXPECT_NEAR(Figure(stats, row, column), expected, 1e-9 * std::abs(expected) + 1e-12) << row << " " << column;
        EXPECT_EQ(Cell(stats, row, column), FigureText(Figure(stats, row, column)));
      }
      // The times of the extremes hold them.
      const auto valueAt = [&](double t) {
        const auto at = std::find(w.Time.begin(), w.Time.end(), t);
        return at == w.Time.end() ? std::nan("") : w.Value[static_cast<std::size_t>(at - w.Time.begin())];
      };
      EXPECT_EQ(valueAt(Figure(stats, row, 3)), lo);
      EXPECT_EQ(valueAt(Figure(stats, row, 5)), hi);
    }
    if (c.t0 == 0) wholeMean = Cell(stats, 2, 1);
    else EXPECT_NE(Cell(stats, 2, 1), wholeMean);

    // The impact peaks worked out here: the largest value of each run of steps above the mean
    // that starts and ends inside the window.
    const analysis::Series g = Window(kChAcceleration, kFtPerS2ToG, c.t0, c.t1);
    double gMean = 0;
    for (double v : g.Value) gMean += v;
    gMean /= static_cast<double>(g.Value.size());
    std::vector<double> heights;
    bool inRun = false;
    double top = 0;
    for (std::size_t i = 0; i < g.Value.size(); ++i) {
      const bool above = g.Value[i] > gMean;
      if (above && !inRun && i > 0 && !(g.Value[i - 1] > gMean)) {
        inRun = true;
        top = g.Value[i];
      } else if (above && inRun) {
        top = std::max(top, g.Value[i]);
      } else if (!above && inRun) {
        heights.push_back(top - gMean);
        inRun = false;
      }
    }
    std::sort(heights.rbegin(), heights.rend());
    auto highest = [&](std::size_t fraction) -> std::optional<double> {
      const std::size_t k = heights.size() / fraction;
      if (k == 0) return std::nullopt;
      double sum = 0;
      for (std::size_t i = 0; i < k; ++i) sum += heights[i];
      return sum / static_cast<double>(k);
    };
    ASSERT_FALSE(heights.empty());
    EXPECT_EQ(Cell(impacts, 0, 0), QString::number(heights.size()));
    EXPECT_NEAR(Figure(impacts, 0, 5), heights.front(), 1e-9 * heights.front());
    // A1/n, or "—" and why (too few peaks for A1/100 anywhere here, for A1/10 in the short window).
    for (auto [column, fraction] : {std::pair{2, 3u}, std::pair{3, 10u}, std::pair{4, 100u}}) {
      const std::optional<double> expected = highest(fraction);
      if (expected) {
        EXPECT_NEAR(Figure(impacts, 0, column), *expected, 1e-9 * *expected) << column;
      } else {
        EXPECT_EQ(Cell(impacts, 0, column), QStringLiteral("—")) << column;
        EXPECT_FALSE(impacts->item(0, column)->toolTip().isEmpty()) << column;
      }
    }
    EXPECT_EQ(highest(10).has_value(), c.t1 - c.t0 > 5);
    // The peaks and the A1/10 level on the acceleration plot.
    EXPECT_EQ(Plot(2).MarkCount(), heights.size());
    if (highest(10)) EXPECT_NEAR(Plot(2).Level(), gMean + *highest(10), 1e-9);
    else EXPECT_TRUE(std::isnan(Plot(2).Level()));

    const auto iso = an::ComputeIso2631(Window(kChAcceleration, an::kMetresPerFoot, c.t0, c.t1));
    if (c.t1 - c.t0 < an::kIsoMinDuration) {
      ASSERT_FALSE(iso.has_value());
      for (int k = 6; k < 9; ++k) {
        EXPECT_EQ(Cell(impacts, 0, k), "—");
        EXPECT_EQ(impacts->item(0, k)->toolTip().toStdString(), iso.Reason);
      }
    } else {
      ASSERT_TRUE(iso.has_value()) << iso.Reason;
      EXPECT_EQ(Cell(impacts, 0, 6), FigureText(iso->WeightedRms));
      EXPECT_EQ(Cell(impacts, 0, 7), FigureText(iso->Vdv));
      EXPECT_EQ(Cell(impacts, 0, 8), FigureText(iso->Mtvv));
    }
  }
  // A double click on a plot shows the whole run and its figures again; without the acceleration
  // plot the impacts say why they are missing.
  QTest::mouseDClick(&Plot(0), Qt::LeftButton, {}, At(Plot(0), 11.0));
  WaitForStatistics();
  EXPECT_EQ(Cell(stats, 2, 1), wholeMean);
  QTest::mouseClick(Plot(2).RemoveButton, Qt::LeftButton);
  QCoreApplication::processEvents();
  EXPECT_EQ(stats->rowCount(), 3);
  EXPECT_EQ(Cell(impacts, 0, 0), "—");
  EXPECT_EQ(impacts->item(0, 0)->toolTip(), "the vertical acceleration (channel 2) is not plotted");
}

TEST_F(ChannelsTest, BracketKeysGoToCountedPeaksAndShiftedOnesToPeaksAboveA1_3) {
  Open(WriteRun(dir, "RUN", 10001));
  Channels().SetTimeRange(4.0, 84.0);
  WaitForStatistics();
  const auto im = analysis::ComputeImpacts(Window(kChAcceleration, kFtPerS2ToG, 4.0, 84.0), 0.0);
  ASSERT_TRUE(im.has_value() && im->A1_3.has_value());
  std::vector<std::int32_t> all, high;  // the counted peaks' steps, and those reaching A1/3, in time order
  for (const analysis::Peak& p : im->Peaks) {
    all.push_back(static_cast<std::int32_t>(p.Step));
    if (p.Height >= *im->A1_3) high.push_back(static_cast<std::int32_t>(p.Step));
  }
  ASSERT_GE(high.size(), 3u);
  ASSERT_GT(all.size(), high.size());
  GoTo(400);
  // Each key from a plot, the window or the channel box, and the step it leads to. Shift+] arrives
  // as } on a US layout, as ] with Shift on others: both are taken.
  struct Press {
    QWidget* to;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::int32_t step;
  };
  const std::vector<Press> presses{
      {&Plot(2), Qt::Key_BracketRight, {}, all[0]},
      {&Plot(0), Qt::Key_BracketRight, {}, all[1]},
      {Channels().ChannelBox, Qt::Key_BracketLeft, {}, all[0]},
      {&Plot(3), Qt::Key_BraceRight, Qt::ShiftModifier, high[0]},
      {&Channels(), Qt::Key_BracketRight, Qt::ShiftModifier, high[1]},
      {Channels().ChannelBox, Qt::Key_BraceLeft, Qt::ShiftModifier, high[0]},
  };
  for (const Press& p : presses) {
    QTest::keyClick(p.to, p.key, p.modifiers);
    ExpectOnStep(p.step);
  }
  // Past the last one the cursor stays and the status line says why.
  GoTo(high.back());
  QTest::keyClick(&Plot(1), Qt::Key_BraceRight, Qt::ShiftModifier);
  ExpectOnStep(high.back());
  EXPECT_TRUE(form->StatusLine->text().contains("A1/3")) << form->StatusLine->text().toStdString();
  GoTo(all.back());
  QTest::keyClick(&Plot(1), Qt::Key_BracketRight);
  ExpectOnStep(all.back());
  EXPECT_TRUE(form->StatusLine->text().contains("No counted peak after the cursor")) << form->StatusLine->text().toStdString();
  QTest::keyClick(&Plot(1), Qt::Key_BracketLeft);
  ExpectOnStep(all[all.size() - 2]);
  EXPECT_TRUE(shown.empty());
}

TEST_F(ChannelsTest, KeysWorkWhateverHasTheFocusAndNeverPressAButton) {
  Open(WriteRun(dir, "RUN", 1001));
  WaitForStatistics();
  EXPECT_EQ(Plot(0).RemoveButton->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(Channels().AddBtn->focusPolicy(), Qt::NoFocus);
  GoTo(500);
  QWidget* targets[] = {Channels().ChannelBox, Channels().AddBtn, &Plot(1), Plot(2).RemoveButton, Channels().StatsTable,
                        Channels().ImpactTable, Channels().ThresholdEdit, &Channels()};
  for (QWidget* w : targets) {
    SCOPED_TRACE(w->objectName().toStdString());
    const std::int32_t s = form->Session().CurrentStep();
    QTest::keyClick(w, Qt::Key_Right);
    QTest::keyClick(w, Qt::Key_Right);
    EXPECT_EQ(form->Session().CurrentStep(), s + 2);
    QTest::keyClick(w, Qt::Key_Left);
    EXPECT_EQ(form->Session().CurrentStep(), s + 1);
    QTest::keyClick(w, Qt::Key_PageDown);  // the bar's page: 20 steps
    EXPECT_EQ(form->Session().CurrentStep(), s + 21);
    QTest::keyClick(w, Qt::Key_Space);
    EXPECT_TRUE(form->Session().Playing());
    QTest::keyClick(w, Qt::Key_Space);
    EXPECT_FALSE(form->Session().Playing());
    const float mult = form->Session().VideoMult();
    QTest::keyClick(w, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(form->Session().VideoMult(), mult / 2);
    QTest::keyClick(w, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(form->Session().VideoMult(), mult);
    QCoreApplication::processEvents();  // a pressed × would remove its plot now
    EXPECT_EQ(Channels().Plots().size(), 4u);
    EXPECT_EQ(Channels().ChannelBox->value(), 0);
  }
  QTest::keyClick(Channels().ChannelBox, Qt::Key_End);
  EXPECT_EQ(form->Session().CurrentStep(), 1000);
  QTest::keyClick(&Plot(0), Qt::Key_Home);
  EXPECT_EQ(form->Session().CurrentStep(), 0);
  EXPECT_TRUE(shown.empty()) << shown.front();
}

TEST_F(ChannelsTest, WithoutARunNothingCanBeAddedAndWithOneTheTitleNamesIt) {
  EXPECT_FALSE(Channels().AddBtn->isEnabled());
  EXPECT_FALSE(Channels().ChannelBox->isEnabled());
  EXPECT_EQ(Channels().EmptyLbl->text(), QStringLiteral("Open a run (File ▸ Open)"));
  Open(WriteRun(dir, "DV30HEAD", 300));
  EXPECT_TRUE(Channels().AddBtn->isEnabled());
  EXPECT_TRUE(Channels().ChannelBox->isEnabled());
  EXPECT_EQ(Channels().windowTitle(), QStringLiteral("Channels — DV30HEAD"));
  Channels().AddChannel(2);
  EXPECT_EQ(Channels().Plots().size(), 4u);
  EXPECT_EQ(form->StatusLine->text(), QStringLiteral("Channel 2 (Vertical acceleration) is plotted already"));
}

TEST_F(ChannelsTest, TablesStateTheirRangeAndCopyAtFullPrecision) {
  Open(WriteRun(dir, "RUN", 3001));
  Channels().SetTimeRange(4.5, 21.3);
  WaitForStatistics();
  const WindowStatistics& st = *form->Session().Statistics();
  EXPECT_EQ(Channels().RangeLbl->text(),
            QStringLiteral("%1 s – %2 s, %3 steps").arg(st.From, 0, 'f', 2).arg(st.To, 0, 'f', 2).arg(st.Window.Count()));
  // Every column as wide as its text: nothing cut.
  QTableWidget* stats = Channels().StatsTable;
  for (int c = 0; c < stats->columnCount(); ++c)
    for (int r = 0; r < stats->rowCount(); ++r)
      EXPECT_GE(stats->columnWidth(c), stats->fontMetrics().horizontalAdvance(Cell(stats, r, c))) << r << " " << c;
  // The motions: heave and pitch, as the statistics give them.
  QTableWidget* motions = Channels().MotionTable;
  ASSERT_EQ(motions->rowCount(), 2);
  for (int r = 0; r < 2; ++r) {
    ASSERT_TRUE(st.Motions[static_cast<std::size_t>(r)].second.has_value());
    const auto& m = *st.Motions[static_cast<std::size_t>(r)].second;
    EXPECT_EQ(Cell(motions, r, 0), QString::number(m.Cycles));
    if (m.SignificantDoubleAmplitude.has_value()) {
      EXPECT_EQ(Figure(motions, r, 1), *m.SignificantDoubleAmplitude);
    }
  }
  // Ctrl+C on a selection: its rows and columns, headers first, the figures parsed back exactly.
  stats->setRangeSelected(QTableWidgetSelectionRange(1, 1, 2, 2), true);
  QTest::keyClick(stats, Qt::Key_C, Qt::ControlModifier);
  const QStringList lines = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], QStringLiteral("\tMean\tMin"));
  for (int r = 1; r <= 2; ++r) {
    const QStringList cells = lines[r].split('\t');
    ASSERT_EQ(cells.size(), 3);
    EXPECT_EQ(cells[0], Plot(static_cast<std::size_t>(r)).Title());
    EXPECT_EQ(cells[1].toDouble(), Figure(stats, r, 1));
    EXPECT_EQ(cells[2].toDouble(), Figure(stats, r, 2));
  }
  // Without a selection: the whole table.
  EXPECT_EQ(TableText(*Channels().ImpactTable, true).split('\n', Qt::SkipEmptyParts).size(), 2);
  EXPECT_EQ(TableText(*stats, false).split('\n', Qt::SkipEmptyParts).size(), 5);
}

TEST_F(ChannelsTest, ThresholdAndHysteresisFieldsSetTheSessionsValues) {
  Open(WriteRun(dir, "RUN", 3001));
  WaitForStatistics();
  const std::size_t all = Channels().Impacts()->PeakCount;
  // Each entry as typed, and the threshold and dead band the session holds after it.
  struct Case {
    const char* threshold;
    const char* hysteresis;
    double heldThreshold;
    std::optional<double> heldHysteresis;
  };
  for (const Case& c : {Case{"0.5", "5", 0.5, 0.05}, Case{"", "", 0.0, std::nullopt}, Case{"0.25", "0", 0.25, 0.0},
                        Case{"-1", "abc", 0.25, 0.0}}) {
    SCOPED_TRACE(c.threshold);
    Channels().ThresholdEdit->setText(c.threshold);
    Channels().HysteresisEdit->setText(c.hysteresis);
    emit Channels().ThresholdEdit->editingFinished();
    WaitForStatistics();
    EXPECT_EQ(form->Session().ImpactThreshold(), c.heldThreshold);
    EXPECT_EQ(form->Session().Hysteresis(), c.heldHysteresis);
    ASSERT_TRUE(Channels().Impacts().has_value());
    for (const analysis::Peak& p : Channels().Impacts()->Peaks) EXPECT_GE(p.Height, c.heldThreshold);
    if (c.heldThreshold == 0) EXPECT_EQ(Channels().Impacts()->PeakCount, all);
    else EXPECT_LT(Channels().Impacts()->PeakCount, all);
  }
  EXPECT_TRUE(form->StatusLine->text().contains("The threshold is not a number of 0 or more")) << form->StatusLine->text().toStdString();
}

TEST_F(ChannelsTest, PeakMarksAreTheCountedPeaksAfterReAddingAndResizing) {
  Open(WriteRun(dir, "RUN", 3001));
  WaitForStatistics();
  QTest::mouseClick(Plot(2).RemoveButton, Qt::LeftButton);
  QCoreApplication::processEvents();
  WaitForStatistics();
  Channels().AddChannel(kChAcceleration);
  WaitForStatistics();
  ChannelPlot& acceleration = Plot(3);
  ASSERT_EQ(acceleration.Channel(), kChAcceleration);
  ASSERT_TRUE(Channels().Impacts().has_value());
  EXPECT_EQ(acceleration.MarkCount(), Channels().Impacts()->PeakCount);
  for (QSize size : {QSize(520, 700), QSize(1200, 900)}) {
    Channels().resize(size);
    QCoreApplication::processEvents();
    EXPECT_EQ(acceleration.MarkCount(), Channels().Impacts()->PeakCount) << size.width();
  }
}

TEST_F(ChannelsTest, PlotsAreSavedAsPngSvgAndPdfAndAFailedSaveKeepsTheOldFile) {
  Open(WriteRun(dir, "RUN", 300));
  QSize shownSize(Channels().Plots().front()->width(), 0);
  for (const ChannelPlot* p : Channels().Plots()) shownSize.rheight() += p->height();
  struct Case {
    const char* file;
    QByteArray signature;
    bool image;  // read back as a picture of the plots' size
  };
  for (const Case& c : {Case{"plots.png", QByteArray("\x89PNG\r\n\x1a\n", 8), true}, Case{"plots.svg", "<?xml", true},
                        Case{"plots.pdf", "%PDF", false}}) {
    const QString path = QString::fromStdString(dir.path() + "/" + c.file);
    Channels().ChooseImageFile = [&] { return path; };
    Channels().SavePlotsAs();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.file;
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith(c.signature)) << c.file;
    EXPECT_GT(bytes.size(), 2000) << c.file;
    if (c.image) {
      QImageReader reader(path);
      // An SVG's size is in physical units: its view box is the plots' size in pixels.
      if (QString(c.file).endsWith(".svg")) reader.setScaledSize(shownSize);
      const QImage read = reader.read();
      EXPECT_EQ(read.size(), shownSize) << c.file << " " << reader.errorString().toStdString();
      EXPECT_TRUE(bytes.contains(QStringLiteral("viewBox=\"0 0 %1 %2\"").arg(shownSize.width()).arg(shownSize.height()).toUtf8()) ||
                  !QString(c.file).endsWith(".svg"));
    } else {
      EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF")) << c.file;
    }
  }
  // A file that cannot be written: the message names it, nothing is left half written.
  Channels().ChooseImageFile = [&] { return QString::fromStdString(dir.path() + "/no/such/dir/plots.png"); };
  Channels().SavePlotsAs();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(QString::fromStdString(shown[0]).startsWith("Cannot write " + QString::fromStdString(dir.path()))) << shown[0];
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/no"));
}

TEST_F(ChannelsTest, SavedStatisticsAreTheToolsCsvOfTheVisibleRange) {
  const std::string run = WriteRun(dir, "RUN", 1001);
  Open(run);
  Channels().SetTimeRange(2.0, 7.5);
  WaitForStatistics();
  const QString path = QString::fromStdString(dir.path() + "/stats.csv");
  Channels().ChooseCsvFile = [&] { return path; };
  Channels().SaveStatisticsAs();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList saved = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  // The plots' order: heave, pitch, acceleration, speed.
  const auto tool = cli::test::RunCli({"stats", run, "--from", "2", "--to", "7.5", "--channels", "0,3,2,7", "--csv"});
  ASSERT_EQ(tool.code, 0) << tool.err;
  const QStringList expected = QString::fromStdString(tool.out).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(saved.size(), 2);
  ASSERT_EQ(expected.size(), 2);
  EXPECT_EQ(saved[0].toStdString(), expected[0].toStdString());
  // The same figures; the run column names the run as each was given it.
  EXPECT_EQ(saved[1].section(',', 1).toStdString(), expected[1].section(',', 1).toStdString());
  EXPECT_EQ(saved[1].section(QChar(','), 0, 0), QString::fromStdString(form->Session().Reference().RunPath));
}

TEST_F(ChannelsTest, ComparedRunsOverlayEveryPlotAndTheirBoxesShowOrHideThem) {
  Open(WriteRun(dir, "REF", 1001));
  // B stores channels up to 3: its speed plot goes without it.
  const std::string b = WriteRun(dir, "B", 700), c = WriteRun(dir, "C", 1500, 3);
  form->AddComparedRunFiles({QString::fromStdString(b + ".HVX"), QString::fromStdString(c + ".HVX")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Session().ComparedRunsPending(); }, 30000));
  ASSERT_EQ(form->Session().RunCount(), 3u);
  for (ChannelPlot* p : Channels().Plots())
    EXPECT_EQ(p->ComparedCount(), p->Channel() == kChSpeed ? 1u : 2u) << p->Channel();
  ASSERT_TRUE(Channels().RunsBar->isVisible());
  // Each compared value in the readout is that run's step at the cursor's time.
  GoTo(850);
  ChannelPlot& heave = Plot(0);
  ASSERT_EQ(heave.Channel(), kChHeight);
  const double t = form->Session().Reference().History.StepTimes[850];
  for (std::size_t k = 1; k <= 2; ++k) {
    const LoadedRun& run = form->Session().Run(k);
    const std::size_t step = static_cast<std::size_t>(std::min<double>(std::floor(t / 0.01 + 1e-9), run.History.StepCount() - 1.0));
    EXPECT_DOUBLE_EQ(heave.ComparedValueAtCursor(k - 1), FindSeries(run, kChHeight)->Values[step]) << k;
  }
  // A run's box hides its curves in every plot, and shows them again.
  auto* box = Channels().RunsBar->findChild<QCheckBox*>(QStringLiteral("RunBox1"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->focusPolicy(), Qt::NoFocus);
  box->click();
  for (ChannelPlot* p : Channels().Plots()) EXPECT_EQ(p->ComparedCount(), p->Channel() == kChSpeed ? 0u : 1u);
  box->click();
  EXPECT_EQ(heave.ComparedCount(), 2u);
  // The tables: a row per run and a "Δ% RUN" row per compared run, at the comparison's percent.
  WaitForStatistics();
  QTableWidget* stats = Channels().StatsTable;
  ASSERT_EQ(stats->rowCount(), 4 * 5);
  EXPECT_EQ(stats->verticalHeaderItem(1)->text().toStdString(), "Height of the centre of gravity, ft — B");
  EXPECT_EQ(stats->verticalHeaderItem(3)->text().toStdString(), "Δ% B");
  const auto percent = PercentDifference(FigureValue(*form->Session().Statistics(0), "Channels[0].Rms"),
                                         FigureValue(*form->Session().Statistics(1), "Channels[0].Rms"));
  ASSERT_TRUE(percent.has_value());
  EXPECT_EQ(Figure(stats, 3, 7), *percent);
  // Removing them leaves the reference alone.
  form->Session().RemoveComparedRuns();
  for (ChannelPlot* p : Channels().Plots()) EXPECT_EQ(p->ComparedCount(), 0u);
  EXPECT_FALSE(Channels().RunsBar->isVisible());
}

TEST_F(ChannelsTest, PlotsAreAddedByNumberAndRemoved) {
  Open(WriteRun(dir, "RUN", 1001, 40));
  Channels().SetTimeRange(2.0, 4.0);
  form->TimeBar->setSliderPosition(300);
  form->TimeBar->triggerAction(QAbstractSlider::SliderMove);
  EXPECT_EQ(Channels().ChannelBox->maximum(), 40);
  Channels().ChannelBox->setValue(12);
  QTest::mouseClick(Channels().AddBtn, Qt::LeftButton);
  ASSERT_EQ(Channels().Plots().size(), 5u);
  ChannelPlot& added = Plot(4);
  EXPECT_EQ(added.Title(), "Channel 12, raw");
  EXPECT_EQ(added.TimeRange().lower, 2.0);
  EXPECT_EQ(added.CursorStep(), 300);
  EXPECT_EQ(added.CursorText(), QString::number(ReadStep(form->Session().Reference().History, 300, false, diag).Channels[12], 'g', 6) + " raw");
  EXPECT_TRUE(added.xAxis->tickLabels());
  EXPECT_FALSE(Plot(3).xAxis->tickLabels());
  Channels().AddChannel(12);  // shown already: the status line says so
  EXPECT_EQ(Channels().Plots().size(), 5u);
  EXPECT_EQ(form->StatusLine->text(), QStringLiteral("Channel 12 is plotted already"));
  Channels().AddChannel(41);
  EXPECT_EQ(shown, std::vector<std::string>{"Channel 41 is not in this run: it stores channels 0 to 40"});

  QTest::mouseClick(added.RemoveButton, Qt::LeftButton);
  QTest::mouseClick(Plot(0).RemoveButton, Qt::LeftButton);
  QCoreApplication::processEvents();
  ASSERT_EQ(Channels().Plots().size(), 3u);
  EXPECT_EQ(Plot(0).Title(), "Pitch, deg");
  EXPECT_EQ(FindSeries(form->Session().Reference(), 12), nullptr);
  EXPECT_EQ(FindSeries(form->Session().Reference(), 0), nullptr);
  EXPECT_EQ(form->Session().Reference().HeldChannels, (std::vector<int>{3, 2, 7}));
}

TEST_F(ChannelsTest, ARunWithoutSpeedShowsThePlotsItHasAndSaysWhatIsMissing) {
  Open(WriteRun(dir, "SHORT", 300, 5));
  ASSERT_TRUE(shown.empty()) << shown.front();
  ASSERT_EQ(Channels().Plots().size(), 3u);
  EXPECT_EQ(Plot(2).Title(), "Vertical acceleration, g");
  EXPECT_TRUE(Channels().MissingLbl->isVisible());
  EXPECT_EQ(Channels().MissingLbl->text(),
            "Not plotted: this run stores channels 0 to 5 only, so channel 7 (Speed) is missing.");
  // The next run has every channel again.
  Open(WriteRun(dir, "FULL", 300));
  EXPECT_EQ(Channels().Plots().size(), 4u);
  EXPECT_FALSE(Channels().MissingLbl->isVisible());
}

TEST_F(ChannelsTest, ViewMenuShowsTheWindowsAndQuitClosesThem) {
  EXPECT_EQ(form->Channels1->shortcut(), QKeySequence(QStringLiteral("Ctrl+1")));
  EXPECT_EQ(form->Video1->shortcut(), QKeySequence(QStringLiteral("Ctrl+2")));
  EXPECT_FALSE(form->Video1->isEnabled());
  form->Channels1->trigger();
  EXPECT_TRUE(Channels().isVisible());
  EXPECT_TRUE(Channels().EmptyLbl->isVisible());  // no run yet
  EXPECT_EQ(Channels().windowTitle(), QStringLiteral("Channels"));
  Open(WriteRun(dir, "RUN", 300));
  Channels().close();
  form->VidFrm->close();
  form->Channels1->trigger();
  form->Video1->trigger();
  EXPECT_TRUE(Channels().isVisible());
  EXPECT_TRUE(form->VidFrm->isVisible());
  EXPECT_FALSE(Channels().testAttribute(Qt::WA_QuitOnClose));
  form->Quit1Click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(Channels().isVisible());
}

}  // namespace
}  // namespace hulvex

#include "session/spectra_model.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "support/loaded_run_steps.h"
#include "support/run_builder.h"

namespace hulvex {
namespace {

using test_support::WriteSlammingRun;

class SpectraModelTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(session.Open(WriteSlammingRun(dir.path(), "RUN", 2000, 0.1), diag), RunOpenResult::Loaded); }
  void Wait() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.Pending(); }, 60000));
    QCoreApplication::processEvents();
  }
  // ComputeWindowSpectra and the impacts over [t0, t1] of session run k's own arrays, channel 6
  // read from its file.
  RangeFigures Expected(std::size_t k, double t0, double t1) {
    const test_support::LoadedRunSteps run(session.Run(k), diag);
    StatisticsRequest impacts;
    impacts.From = t0;
    impacts.To = t1;
    impacts.Channels = {kChAcceleration};
    return {run.Spectra(t0, t1), ComputeWindowStatistics(run.Steps, impacts)};
  }
  void ExpectEqual(const RangeFigures& got, const RangeFigures& want) {
    EXPECT_DOUBLE_EQ(got.Spectra.From, want.Spectra.From);
    EXPECT_DOUBLE_EQ(got.Spectra.To, want.Spectra.To);
    ASSERT_EQ(got.Spectra.Channels.size(), want.Spectra.Channels.size());
    for (std::size_t i = 0; i < want.Spectra.Channels.size(); ++i) {
      ASSERT_TRUE(got.Spectra.Channels[i].second.has_value()) << got.Spectra.Channels[i].second.Reason;
      EXPECT_EQ(got.Spectra.Channels[i].second->Psd, want.Spectra.Channels[i].second->Psd);
    }
    ASSERT_TRUE(got.Spectra.Wave.has_value()) << got.Spectra.Wave.Reason;
    EXPECT_EQ(got.Spectra.Wave->Psd, want.Spectra.Wave->Psd);
    ASSERT_TRUE(got.Spectra.Transfers.front().second.has_value());
    EXPECT_EQ(got.Spectra.Transfers.front().second->Gain, want.Spectra.Transfers.front().second->Gain);
    ASSERT_TRUE(got.Impacts.Extremes.has_value()) << got.Impacts.Extremes.Reason;
    EXPECT_EQ(got.Impacts.Impacts->PeakCount, want.Impacts.Impacts->PeakCount);
    EXPECT_EQ(got.Impacts.Extremes->PredictedA1_10, want.Impacts.Extremes->PredictedA1_10);
  }

  test_support::TempDir dir;
  CollectingDiagnostics diag;
  ViewerSession session{dir.path()};
  SpectraModel model{session};
};

TEST_F(SpectraModelTest, ComputesOnlyWhileWantedAndPublishesTheLatestRangeOnly) {
  QSignalSpy ready(&model, &SpectraModel::Ready);
  session.SetVisibleRange(2, 12);
  EXPECT_FALSE(model.Pending());  // nobody wants the figures
  const QObject window;
  model.SetWanted(&window, true);
  Wait();
  ASSERT_EQ(ready.size(), 1);
  ExpectEqual(*model.Result(0), Expected(0, 2, 12));

  // A drag: many ranges in a row while the first is computed; only the last one's are published.
  ready.clear();
  for (int k = 0; k < 20; ++k) session.SetVisibleRange(0.1 * k, 8 + 0.1 * k);
  Wait();
  EXPECT_LE(ready.size(), 2);
  ExpectEqual(*model.Result(0), Expected(0, 1.9, 9.9));

  // The impact settings of the session are followed.
  session.SetImpactThreshold(0.5);
  ASSERT_TRUE(QTest::qWaitFor([&] { return model.Result(0)->Impacts.Impacts->Threshold == 0.5; }, 60000));

  // Closing the run drops the figures and a result still being computed.
  session.SetVisibleRange(0, 15);
  session.CloseRuns();
  EXPECT_EQ(model.ResultCount(), 0u);
  Wait();
  EXPECT_EQ(model.ResultCount(), 0u);
}

TEST_F(SpectraModelTest, ComparedRunsGetTheirOwnFiguresOverTheSameRange) {
  const QObject window;
  model.SetWanted(&window, true);
  Wait();
  ASSERT_EQ(model.ResultCount(), 1u);
  EXPECT_EQ(model.Result(0)->Spectra.From, session.Reference().History.StepTimes.front());  // no range: the whole run
  session.AddComparedRuns({WriteSlammingRun(dir.path(), "TWO", 2000, 0.3)});
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.ComparedCount() == 1 && !model.Pending(); }, 60000));
  session.SetVisibleRange(3, 13);
  Wait();
  ASSERT_EQ(model.ResultCount(), 2u);
  ExpectEqual(*model.Result(1), Expected(1, 3, 13));
  // Three times the heave: several times its energy (short segments take some of it away).
  EXPECT_GT(model.Result(1)->Spectra.Channels[0].second->Figures.M0, 5 * model.Result(0)->Spectra.Channels[0].second->Figures.M0);
  session.RemoveComparedRuns();
  Wait();
  EXPECT_EQ(model.ResultCount(), 1u);
}

}  // namespace
}  // namespace hulvex

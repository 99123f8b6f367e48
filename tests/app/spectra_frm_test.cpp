#include "app/spectra_frm.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "app/impacts_frm.h"
#include "app/main_window.h"
#include "app/window_output.h"
#include "support/loaded_run_steps.h"
#include "viewer_fixture.h"

namespace hulvex {
namespace {
using test_support::WriteSlammingRun;

class SpectraWindowsTest : public ViewerTest {
protected:
  void SetUp() override {
    ViewerTest::SetUp();
    form->show();
  }
  TSpectraFrm& Spectra() { return *form->SpectraFrm; }
  TImpactsFrm& Impacts() { return *form->ImpactsFrm; }
  void Wait() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Spectra->Pending(); }, 60000));
    QCoreApplication::processEvents();
  }
  // The spectra of the reference over [t0, t1] from its own arrays, channel 6 read from its file.
  WindowSpectra Expected(double t0, double t1) { return test_support::LoadedRunSteps(form->Session().Reference(), diag).Spectra(t0, t1); }
  // The row of the figures table whose header is `name`.
  int Row(QTableWidget* table, const QString& name) {
    for (int r = 0; r < table->rowCount(); ++r)
      if (table->verticalHeaderItem(r)->text() == name) return r;
    ADD_FAILURE() << "no row " << name.toStdString();
    return 0;
  }
  double Figure(QTableWidget* table, int row, int column) { return table->item(row, column)->data(Qt::UserRole).toDouble(); }

  NullDiagnostics diag;
};

TEST_F(SpectraWindowsTest, ViewMenuShowsBothWindowsWhichFollowTheChannelsWindowsRange) {
  EXPECT_EQ(form->Spectra1->shortcut(), QKeySequence(QStringLiteral("Ctrl+3")));
  EXPECT_EQ(form->Impacts1->shortcut(), QKeySequence(QStringLiteral("Ctrl+4")));
  Open(WriteSlammingRun(dir.path(), "RUN", 3000));
  EXPECT_FALSE(form->Spectra->Pending());  // no window wants figures yet
  form->Spectra1->trigger();
  form->Impacts1->trigger();
  EXPECT_TRUE(Spectra().isVisible());
  EXPECT_TRUE(Impacts().isVisible());
  // The second does not cover the first whole: its title bar is clear below the first one's.
  EXPECT_GT(Impacts().pos().y(), Spectra().pos().y());
  EXPECT_GT(Impacts().pos().x(), Spectra().pos().x());
  EXPECT_EQ(Spectra().objectName(), QStringLiteral("SpectraFrm"));
  EXPECT_EQ(Impacts().objectName(), QStringLiteral("ImpactsFrm"));
  EXPECT_EQ(Impacts().windowTitle(), QStringLiteral("Impact Distribution"));

  form->ChannelsFrm->SetTimeRange(4, 24);
  Wait();
  const WindowSpectra want = Expected(4, 24);
  EXPECT_TRUE(Spectra().RangeLbl->text().startsWith(QStringLiteral("4 s – 24 s, 2001 steps"))) << Spectra().RangeLbl->text().toStdString();
  // The table and the plots show the figures of that range.
  QTableWidget* table = Spectra().FiguresTable;
  ASSERT_TRUE(want.Wave.has_value()) << want.Wave.Reason;
  EXPECT_EQ(Figure(table, Row(table, "Wave, ft"), 0), want.Wave->Figures.M0);
  EXPECT_EQ(Figure(table, Row(table, "Wave, ft"), 1), want.Wave->Figures.SignificantDoubleAmplitude);
  EXPECT_EQ(Figure(table, Row(table, "Height of the centre of gravity, ft"), 3), *want.Channels[0].second->Figures.Tp);
  // The heave's peak is the bin of its 0.65 Hz.
  EXPECT_NEAR(1 / *want.Channels[0].second->Figures.Tp, 4.1 / (2 * M_PI), 0.5 / (0.01 * want.Layout->SegmentSamples));
  const FigurePlot* heave = Spectra().Plot("Heave spectrum");
  ASSERT_NE(heave, nullptr);
  ASSERT_EQ(heave->Curves().size(), 1u);
  EXPECT_EQ(heave->Curves()[0].Y, want.Channels[0].second->Psd);
  EXPECT_EQ(heave->Curves()[0].Colour, RunPlotColour(0));
  EXPECT_EQ(heave->yAxis->scaleType(), QCPAxis::stLogarithmic);
  const FigurePlot* gain = Spectra().Plot("Heave per unit wave height");
  ASSERT_NE(gain, nullptr);
  ASSERT_EQ(gain->Curves().size(), 1u);
  const auto& transfer = *want.Transfers[0].second;
  for (std::size_t k = 0; k < transfer.Gain.size(); ++k)
    if (transfer.Gain[k]) {
      EXPECT_EQ(gain->Curves()[0].Y[k], *transfer.Gain[k]);
    }
  EXPECT_EQ(Spectra().Plot("Coherence with the wave")->Curves().size(), want.Transfers.size());

  // The impacts: every counted peak at i / (N + 1), the fits and their predictions marked.
  const WindowStatistics& stats = form->Spectra->Result(0)->Impacts;
  ASSERT_TRUE(stats.Extremes.has_value()) << stats.Extremes.Reason;
  const FigurePlot* exceedance = Impacts().Plots().front();
  EXPECT_TRUE(exceedance->Message().isEmpty());
  ASSERT_EQ(exceedance->Curves().size(), 3u);
  const auto& points = exceedance->Curves()[0];
  ASSERT_EQ(points.X.size(), stats.Impacts->PeakCount);
  EXPECT_DOUBLE_EQ(points.Y.front(), 1.0 / static_cast<double>(stats.Impacts->PeakCount + 1));
  EXPECT_EQ(points.X.front(), stats.Impacts->Largest->Height);
  ASSERT_EQ(exceedance->Marks().size(), 3u);
  EXPECT_EQ(exceedance->Marks()[0].X, stats.Extremes->PredictedA1_3);
  EXPECT_EQ(exceedance->Marks()[2].X, stats.Extremes->PredictedA1_100);
  EXPECT_EQ(exceedance->yAxis->scaleType(), QCPAxis::stLogarithmic);
  EXPECT_EQ(Figure(Impacts().FiguresTable, 0, 2), stats.Extremes->Weibull.Shape);

  // Hidden, they ask for nothing more.
  Spectra().close();
  Impacts().close();
  form->ChannelsFrm->SetTimeRange(2, 20);
  EXPECT_FALSE(form->Spectra->Pending());
}

TEST_F(SpectraWindowsTest, TheExposureTypedInTheImpactWindowIsTheLargestPeaksTimeAtSea) {
  Open(WriteSlammingRun(dir.path(), "RUN", 3000));
  form->Impacts1->trigger();
  form->ChannelsFrm->SetTimeRange(2, 28);
  Wait();
  QDoubleSpinBox* exposure = Impacts().ExposureSpin;
  EXPECT_EQ(exposure->value(), 1.0);
  const auto largest = [&](double hours) {
    StatisticsRequest r;
    r.From = 2;
    r.To = 28;
    r.Channels = {kChAcceleration};
    r.ExposureHours = hours;
    const auto m = ComputeWindowStatistics(test_support::LoadedRunSteps(form->Session().Reference(), diag).Steps, r)
                       .Extremes->MostProbableLargest;
    EXPECT_TRUE(m.has_value()) << m.Reason;
    return m.has_value() ? *m : 0.0;
  };
  EXPECT_EQ(Figure(Impacts().FiguresTable, 0, 8), largest(1));
  // Typed and entered: the figures are computed again for it.
  exposure->selectAll();
  QTest::keyClicks(exposure, QStringLiteral("0.5"));
  QTest::keyClick(exposure, Qt::Key_Return);
  EXPECT_EQ(form->Spectra->ExposureHours(), 0.5);
  Wait();
  EXPECT_EQ(Impacts().FiguresTable->horizontalHeaderItem(8)->text(), QStringLiteral("Largest in 0.5 h"));
  EXPECT_EQ(Figure(Impacts().FiguresTable, 0, 8), largest(0.5));
  EXPECT_LT(largest(0.5), largest(1));
  // The model takes no exposure that is not a positive number.
  for (double bad : {0.0, -1.0, std::nan("")}) form->Spectra->SetExposureHours(bad);
  EXPECT_EQ(form->Spectra->ExposureHours(), 0.5);
}

TEST_F(SpectraWindowsTest, TheSegmentChosenInTheSpectraWindowSetsTheirResolution) {
  Open(WriteSlammingRun(dir.path(), "RUN", 3000));
  form->Spectra1->trigger();
  form->ChannelsFrm->SetTimeRange(2, 28);
  Wait();
  const auto layout = [&] { return form->Spectra->Result(0)->Spectra.Layout; };
  ASSERT_TRUE(layout().has_value());
  EXPECT_EQ(layout()->SegmentSamples, 256u);  // the default for 2601 samples
  QComboBox* segment = Spectra().SegmentBox;
  EXPECT_EQ(segment->currentText(), QStringLiteral("Segment: auto"));

  segment->setCurrentIndex(segment->findText(QStringLiteral("Segment: 1024")));
  Wait();
  ASSERT_TRUE(layout().has_value());
  EXPECT_EQ(layout()->SegmentSamples, 1024u);
  EXPECT_TRUE(Spectra().RangeLbl->text().contains(QStringLiteral("of 1024 samples"))) << Spectra().RangeLbl->text().toStdString();
  const WindowSpectra want = test_support::LoadedRunSteps(form->Session().Reference(), diag).Spectra(2, 28, 1024);
  EXPECT_EQ(form->Spectra->Result(0)->Spectra.Wave->Psd, want.Wave->Psd);

  // Longer than the range: as long as the range allows, and the warning that goes with few segments.
  segment->setCurrentIndex(segment->findText(QStringLiteral("Segment: 4096")));
  Wait();
  ASSERT_TRUE(layout().has_value());
  EXPECT_EQ(layout()->SegmentSamples, 2048u);
  EXPECT_TRUE(Spectra().RangeLbl->text().contains(QStringLiteral("Few segments"))) << Spectra().RangeLbl->text().toStdString();
  // Back to the default; the model takes no length that is not a segment length.
  segment->setCurrentIndex(0);
  for (std::size_t bad : {1u, 100u, 8u}) form->Spectra->SetSegmentSamples(bad);
  EXPECT_EQ(form->Spectra->SegmentSamples(), 0u);
}

TEST_F(SpectraWindowsTest, ComparedRunsAppearInTheirColours) {
  Open(WriteSlammingRun(dir.path(), "RUN", 2000));
  form->Spectra1->trigger();
  form->Impacts1->trigger();
  ASSERT_TRUE(AddCompared(*form, {WriteSlammingRun(dir.path(), "TWO", 2000, 0.3)}));
  Wait();
  for (const FigurePlot* p : Spectra().Plots()) {
    const bool coherence = p->Title().startsWith("Coherence");
    ASSERT_EQ(p->Curves().size(), coherence ? 8u : 2u) << p->Title().toStdString();
    EXPECT_EQ(p->legend->columnCount(), coherence ? 2 : 1) << p->Title().toStdString();  // eight entries: two columns
    EXPECT_EQ(p->Curves().back().Colour, RunPlotColour(1)) << p->Title().toStdString();
  }
  EXPECT_EQ(Spectra().FiguresTable->rowCount(), 10);  // the wave and four channels, two runs each
  const int two = Row(Spectra().FiguresTable, "Height of the centre of gravity, ft — TWO");
  EXPECT_EQ(Figure(Spectra().FiguresTable, two, 0), form->Spectra->Result(1)->Spectra.Channels[0].second->Figures.M0);
  EXPECT_EQ(Impacts().Plots().front()->Curves().size(), 6u);
  const auto& marks = Impacts().Plots().front()->Marks();
  ASSERT_EQ(marks.size(), 6u);
  for (std::size_t i = 0; i < marks.size(); ++i) EXPECT_EQ(marks[i].Row, static_cast<int>(i / 3)) << i;  // a label line per run
  EXPECT_EQ(Impacts().FiguresTable->rowCount(), 2);
}

TEST_F(SpectraWindowsTest, MissingFiguresShowTheirReasonInsteadOfAPlot) {
  Open(WriteSlammingRun(dir.path(), "RUN", 2000));
  form->Spectra1->trigger();
  form->Impacts1->trigger();
  form->ChannelsFrm->SetTimeRange(1, 1.5);  // 51 steps, and at most one slam
  Wait();
  for (const FigurePlot* p : Spectra().Plots()) {
    EXPECT_TRUE(p->Curves().empty());
    EXPECT_TRUE(p->Message().contains("a spectrum needs at least 64")) << p->Message().toStdString();
  }
  EXPECT_TRUE(Impacts().Plots().front()->Message().startsWith("No extremes: ")) << Impacts().Plots().front()->Message().toStdString();
  EXPECT_EQ(Impacts().FiguresTable->item(0, 1)->text(), QStringLiteral("—"));
}

TEST_F(SpectraWindowsTest, PlotsAreSavedAndCopiedWithTheirTable) {
  Open(WriteSlammingRun(dir.path(), "RUN", 2000));
  form->Spectra1->trigger();
  form->Impacts1->trigger();
  Wait();
  struct Case {
    const char* file;
    QByteArray signature;
  };
  for (TFigureWindow* window : {static_cast<TFigureWindow*>(&Spectra()), static_cast<TFigureWindow*>(&Impacts())}) {
    for (const Case& c : {Case{"plots.png", QByteArray("\x89PNG\r\n\x1a\n", 8)}, Case{"plots.svg", "<?xml"}, Case{"plots.pdf", "%PDF"}}) {
      const QString path = QString::fromStdString(dir.path() + "/" + c.file);
      std::filesystem::remove(path.toStdString());
      window->ChooseImageFile = [&] { return path; };
      window->SavePlotsAs();
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.file;
      const QByteArray bytes = file.readAll();
      EXPECT_TRUE(bytes.startsWith(c.signature)) << c.file;
      EXPECT_GT(bytes.size(), 2000) << c.file;
    }
    window->CopyFigures();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_TRUE(copied->hasImage());
    EXPECT_EQ(copied->text(), TableText(*window->FiguresTable, false));
  }
  EXPECT_TRUE(shown.empty());
  Spectra().ChooseImageFile = [&] { return QString::fromStdString(dir.path() + "/no/such/dir/plots.png"); };
  Spectra().SavePlotsAs();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(QString::fromStdString(shown[0]).startsWith("Cannot write ")) << shown[0];
}

}  // namespace
}  // namespace hulvex

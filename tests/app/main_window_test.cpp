#include "app/main_window.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "app/start_frm.h"
#include "app/start_up.h"
#include "common/file_lookup.h"
#include "runfiles/run_parameters_layout.h"
#include "runfiles/time_history_layout.h"
#include "demo/boat_writer.h"
#include "support/run_builder.h"
#include "viewer_fixture.h"
#include "demo/run_writers.h"

namespace hulvex {
namespace {
using test_support::RunBuilder;
using test_support::TempDir;

class MainWindowTest : public ViewerTest {};

TEST(StartUp, StartBoxShowsItsTextsAndClosesWithOkOrEscape) {
  TStartFrm box;
  EXPECT_EQ(box.windowTitle(), "HULVEX Viewer Startup");
  EXPECT_EQ(box.size(), QSize(532, 364));
  QTimer::singleShot(0, [&] { QTest::mouseClick(box.OKBtn, Qt::LeftButton); });
  EXPECT_EQ(box.exec(), QDialog::Accepted);
  TStartFrm again;
  QTimer::singleShot(0, [&] { QTest::keyClick(&again, Qt::Key_Escape); });
  again.exec();
  EXPECT_FALSE(again.isVisible());
}

TEST(StartUp, TheStartUpBoxComesFirstThenTheMainWindowWithTheRun) {
  TempDir dir;
  demo::HistorySpec spec;
  spec.Steps = 30;
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\B4.BOT";
  demo::WriteBoatFile(dir / "B4.BOT", demo::SampleBoat(4));
  const std::string run = demo::WriteSampleRun(dir.path(), "FIRST", p, spec);
  const QString before = QDir::currentPath();
  bool sawBoxAlone = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<TStartFrm*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    int visibleMain = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<TForm1*>(w) && w->isVisible()) ++visibleMain;
    sawBoxAlone = visibleMain == 0;
    QTest::mouseClick(box->OKBtn, Qt::LeftButton);
  });
  const auto form = StartUp(QString::fromStdString(dir.path()), QString::fromStdString(run + ".HVX"));
  EXPECT_TRUE(sawBoxAlone);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(QDir::currentPath().toStdString(), dir.path());
  EXPECT_EQ(form->windowTitle().toStdString(), "Current Run Name = " + run);
  EXPECT_TRUE(form->VidFrm->isVisible());
  QDir::setCurrent(before);
}

TEST_F(MainWindowTest, InitialState) {
  EXPECT_EQ(form->windowTitle(), "KVRView2");
  EXPECT_EQ(form->TimeLbl->text(), "_T = 0");
  EXPECT_EQ(form->At_T->text(), "at");
  EXPECT_FALSE(form->TimeBar->isEnabled());
  EXPECT_EQ(form->Session().VideoMult(), 1.0f);
  EXPECT_TRUE(form->Memo2->toPlainText().contains("How to use this program:"));
  // Go and Stop before any run do nothing.
  form->GoClick();
  form->Stop1Click();
  EXPECT_TRUE(shown.empty());
}

TEST_F(MainWindowTest, OpeningARunSetsCaptionRangeAndStepZero) {
  const std::string run = WritePlaningRun(dir.path(), "RUN1", 1001);
  Open(run);
  EXPECT_TRUE(shown.empty()) << shown.front();
  EXPECT_EQ(form->windowTitle().toStdString(), "Current Run Name = " + run);
  EXPECT_EQ(form->TLowLbl->text(), "Low _T =    0.000000");
  EXPECT_EQ(form->AtLO->text(), "at _JT=0");
  EXPECT_EQ(form->THiLbl->text(), "Hi _T =   10.000000");
  EXPECT_EQ(form->AtHI->text(), "at _JT=1000");
  EXPECT_EQ(form->Session().Navigation().CurrentStep, 0);
  EXPECT_EQ(form->TimeBar->maximum(), 1000);
  EXPECT_EQ(form->TimeBar->pageStep(), 20);
  // The current-step readouts keep their text until the bar is moved.
  EXPECT_EQ(form->TimeLbl->text(), "_T = 0");
  EXPECT_EQ(form->Memo1->toPlainText(), "Case RUN1\n");
  EXPECT_TRUE(form->VidFrm->isVisible());
  EXPECT_TRUE(form->Go->isEnabled());
  EXPECT_EQ(form->VidFrm->Player().VideoPos(), 0);
}

TEST_F(MainWindowTest, MovingTheBarUpdatesTheReadoutsAndTheVideo) {
  Open(WritePlaningRun(dir.path(), "RUN1", 1001));
  form->TimeBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(form->TimeLbl->text(), "_T =    0.010000");
  EXPECT_EQ(form->At_T->text(), "at _JT=1");
  EXPECT_EQ(form->VidFrm->Player().VideoPos(), 1);
  form->TimeBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(form->Session().Navigation().CurrentStep, 21);
  EXPECT_EQ(form->TimeLbl->text(), "_T =    0.210000");
  // Moving the bar from the program is no scroll event.
  form->TimeBar->setValue(500);
  EXPECT_EQ(form->At_T->text(), "at _JT=21");
}

TEST_F(MainWindowTest, PlaybackPacesStepsAndStopShowsTheStepItSelects) {
  Open(WritePlaningRun(dir.path(), "RUN1", 1001));
  form->TimeBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // step 1, readouts say so
  form->GoClick();
  ASSERT_TRUE(form->VidFrm->Player().Playing());
  EXPECT_TRUE(form->VidFrm->Timer1->isActive());
  EXPECT_EQ(form->VidFrm->Timer1->interval(), 300);
  EXPECT_EQ(form->VidFrm->Player().LastShift(), 0.0f);  // the first frame is never shifted
  // Ticks on time: every fourth step, each 40 ms.
  clock = 300;
  for (int k = 1; k <= 5; ++k) {
    form->VidFrm->Timer1Timer();
    EXPECT_EQ(form->VidFrm->Player().VideoPos(), 1 + 4 * k);
    EXPECT_EQ(form->VidFrm->Timer1->interval(), 40);
    clock += 40;
  }
  form->Stop1Click();
  EXPECT_FALSE(form->VidFrm->Player().Playing());
  EXPECT_FALSE(form->VidFrm->Timer1->isActive());
  EXPECT_EQ(form->TimeBar->value(), 21);
  EXPECT_EQ(form->Session().Navigation().CurrentStep, 21);
  // The readouts and the picture show the step the bar shows: the frame composed last.
  EXPECT_EQ(form->At_T->text(), "at _JT=21");
  EXPECT_EQ(form->TimeLbl->text(), "_T =    0.210000");
  EXPECT_EQ(form->VidFrm->Player().ComposedStep(), 21);
  EXPECT_EQ(form->VidFrm->Shown(), form->VidFrm->FrameBitmap());
}

TEST_F(MainWindowTest, LateTicksShortenTheNextWait) {
  Open(WritePlaningRun(dir.path(), "RUN1", 1001));
  form->GoClick();
  clock = 310;  // the first tick came 10 ms late
  form->VidFrm->Timer1Timer();
  EXPECT_EQ(form->VidFrm->Timer1->interval(), 30);
}

TEST_F(MainWindowTest, GoOnTheLastStepStartsNothingAndTheEndMovesTheBar) {
  Open(WritePlaningRun(dir.path(), "RUN1", 101));
  form->TimeBar->setSliderPosition(100);
  form->TimeBar->triggerAction(QAbstractSlider::SliderMove);
  ASSERT_EQ(form->Session().Navigation().CurrentStep, 100);
  form->GoClick();
  EXPECT_FALSE(form->VidFrm->Player().Playing());
  // From the step before the last, the first tick ends the playback on the last step.
  form->TimeBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  form->GoClick();
  ASSERT_TRUE(form->VidFrm->Player().Playing());
  form->VidFrm->Timer1Timer();
  EXPECT_FALSE(form->VidFrm->Player().Playing());
  EXPECT_EQ(form->Session().Navigation().CurrentStep, 100);
  EXPECT_EQ(form->TimeBar->value(), 100);
  // The last step was not composed; Stop draws it, so that the picture shows it too.
  EXPECT_EQ(form->VidFrm->Player().ComposedStep(), 99);
  form->Stop1Click();
  EXPECT_EQ(form->VidFrm->Player().ComposedStep(), 100);
  EXPECT_EQ(form->At_T->text(), "at _JT=100");
  // Go while playing stops.
  form->TimeBar->triggerAction(QAbstractSlider::SliderToMinimum);
  form->GoClick();
  ASSERT_TRUE(form->VidFrm->Player().Playing());
  form->GoClick();
  EXPECT_FALSE(form->VidFrm->Player().Playing());
}

TEST_F(MainWindowTest, MovingTheBarDuringPlaybackContinuesFromThatStep) {
  Open(WritePlaningRun(dir.path(), "RUN1", 1001));
  form->GoClick();
  clock = 300;
  form->VidFrm->Timer1Timer();
  form->TimeBar->setSliderPosition(600);
  form->TimeBar->triggerAction(QAbstractSlider::SliderMove);
  EXPECT_EQ(form->VidFrm->Player().VideoPos(), 600);
  EXPECT_EQ(form->VidFrm->Player().LastShift(), 0.0f);
  form->VidFrm->Timer1Timer();
  EXPECT_EQ(form->VidFrm->Player().VideoPos(), 604);
}

struct MultiplierCase {
  const char* typed;
  bool ok;
  float expected;
  bool error;
};

TEST_F(MainWindowTest, MultiplierDialog) {
  const MultiplierCase cases[] = {
      {" 2.5", true, 2.5f, false}, {"0", true, 2.5f, true},    {"-1", true, 2.5f, true},
      {"2.5 ", true, 2.5f, true},  {"abc", true, 2.5f, true},  {"4", false, 2.5f, false},
      {"0.5", true, 0.5f, false},
  };
  for (const auto& c : cases) {
    shown.clear();
    QTimer::singleShot(0, [&] {
      EXPECT_EQ(form->VmultFrm->Edit1->text().size(), 10);  // the value right-aligned in 10
      form->VmultFrm->Edit1->clear();
      QTest::keyClicks(form->VmultFrm->Edit1, c.typed);
      QTest::keyClick(form->VmultFrm->Edit1, Qt::Key_Return);  // Enter does not close the dialog
      EXPECT_TRUE(form->VmultFrm->isVisible());
      QTest::mouseClick(c.ok ? form->VmultFrm->OKBtn : form->VmultFrm->CancelBtn, Qt::LeftButton);
    });
    form->VideoTimeAdj1Click();
    EXPECT_EQ(form->Session().VideoMult(), c.expected) << c.typed;
    EXPECT_EQ(shown, c.error ? std::vector<std::string>{"Time Multiplier error!"} : std::vector<std::string>{})
        << c.typed;
  }
}

TEST_F(MainWindowTest, BadRunsLeaveTheProgramUsable) {
  const std::string good = WritePlaningRun(dir.path(), "GOOD", 50);
  const std::string noTts = WritePlaningRun(dir.path(), "NOTTS", 50);
  std::filesystem::remove(noTts + ".TTS");
  const std::string old = WritePlaningRun(dir.path(), "OLD", 50);
  test_support::PatchFile(old + ".TTS", 0, test_support::Int16Bytes(1));
  const std::string noHvx = dir / "NOHVX";

  Open(good);
  Open(noTts);
  EXPECT_EQ(shown, std::vector<std::string>{"No file\n" + noTts + ".TTS\nMissing KVR file"});
  EXPECT_EQ(form->Memo1->toPlainText(), "Case NOTTS\n");
  EXPECT_FALSE(form->TimeBar->isEnabled());
  EXPECT_FALSE(form->VidFrm->isVisible());
  form->GoClick();
  form->Stop1Click();
  form->TimeBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);

  shown.clear();
  Open(old);
  EXPECT_EQ(shown, std::vector<std::string>{"OLD KVR FILE FORMAT, MUST CONVERT"});
  shown.clear();
  Open(noHvx);
  EXPECT_EQ(shown, std::vector<std::string>{"File not found: " + noHvx + ".HVX"});

  shown.clear();
  Open(good);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(form->TimeBar->isEnabled());
  EXPECT_TRUE(form->VidFrm->isVisible());
}

TEST_F(MainWindowTest, HostileRunsGiveTheirMessagesAndTheNextOpenWorks) {
  const std::string good = WritePlaningRun(dir.path(), "GOOD", 50);
  const std::string noStations = WritePlaningRun(dir.path(), "NOSTATIONS", 50);
  test_support::PatchFile(noStations + ".HVX", run_parameters_layout::kStationCount, test_support::Int16Bytes(-5));
  const std::string nanSteps = WritePlaningRun(dir.path(), "NANSTEPS", 50);
  for (std::int32_t s = 0; s < 50; ++s)
    for (int ch : {kChHeight, kChPitch, kChDistance, kChSpeed})
      test_support::PatchFile(nanSteps + ".TTS",
                         time_history_layout::kRecordSize * static_cast<std::size_t>(s + 1) +
                             time_history_layout::kFirstValues + 4 * static_cast<std::size_t>(ch),
                         test_support::Real32Bytes(std::numeric_limits<float>::quiet_NaN()));
  const std::string hugeLast = WritePlaningRun(dir.path(), "HUGELAST", 50);
  test_support::PatchFile(hugeLast + ".TTS", time_history_layout::kLastStep, test_support::Int32Bytes(2147483647));

  Open(noStations);
  EXPECT_EQ(shown, std::vector<std::string>{"Station count -5: the hull needs at least one station and is not drawn\n"
                                            "The hull is not drawn: the station count is -5"});
  form->GoClick();
  form->TimeBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  form->Stop1Click();

  // Steps whose motion values are not numbers: nothing to draw, but playback runs to the end.
  shown.clear();
  Open(nanSteps);
  EXPECT_TRUE(shown.empty()) << shown.front();
  form->GoClick();
  for (int i = 0; i < 60 && form->VidFrm->Player().Playing(); ++i) {
    clock += 1000;
    form->VidFrm->Timer1Timer();
  }
  form->Stop1Click();

  shown.clear();
  Open(hugeLast);
  EXPECT_EQ(shown, std::vector<std::string>{"Time history " + hugeLast +
                                            ".TTS is truncated: the header gives LastStep 2147483647 but the file "
                                            "holds 50 complete time steps (0 to 49)"});
  form->TimeBar->setValue(form->TimeBar->maximum());

  shown.clear();
  Open(good);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(form->TimeBar->isEnabled());
  EXPECT_TRUE(form->VidFrm->isVisible());
}

TEST_F(MainWindowTest, MessagesOfOneCommandMakeOneBox) {
  demo::HistorySpec spec;
  spec.Steps = 30;
  for (int s = 0; s < 30; ++s) spec.StepIndexOverride[s] = 7;
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\B4.BOT";
  demo::WriteBoatFile(dir / "B4.BOT", demo::SampleBoat(4));
  const std::string run = demo::WriteSampleRun(dir.path(), "BADIDX", p, spec);
  Open(run);
  // Step 0 is checked at the open, by the camera track and when it is drawn; every other step but
  // 7 by the track: 31 step-number faults, one kind, shown by its first text.
  EXPECT_EQ(shown, std::vector<std::string>{"KVR JT ERROR!7 0 (31 times)"});
}

TEST_F(MainWindowTest, ClosingTheVideoWindowOnlyHidesIt) {
  Open(WritePlaningRun(dir.path(), "RUN1", 1001));
  form->GoClick();
  form->VidFrm->close();
  EXPECT_FALSE(form->VidFrm->isVisible());
  clock = 300;
  form->VidFrm->Timer1Timer();  // ticks go on while it is hidden
  EXPECT_TRUE(form->VidFrm->Player().Playing());
  EXPECT_EQ(form->VidFrm->Player().VideoPos(), 4);
  // Go shows it again and plays.
  form->Stop1Click();
  form->GoClick();
  EXPECT_TRUE(form->VidFrm->isVisible());
  EXPECT_TRUE(form->VidFrm->Player().Playing());
  form->VidFrm->close();
  Open(WritePlaningRun(dir.path(), "RUN2", 50));  // the next run shows it again
  EXPECT_TRUE(form->VidFrm->isVisible());
  EXPECT_FALSE(form->VidFrm->Player().Playing());
}

TEST_F(MainWindowTest, UndrawableHullShowsTheSeaAndTheReadoutsAndSaysWhy) {
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\ZERO.BOT";
  BoatRecord boat = demo::SampleBoat(4);
  boat.HullType = 0;
  demo::WriteBoatFile(dir / "ZERO.BOT", boat);
  demo::HistorySpec spec;
  spec.Steps = 20;
  const std::string run = demo::WriteSampleRun(dir.path(), "ZERO", p, spec);
  Open(run);
  ASSERT_FALSE(shown.empty());
  EXPECT_NE(shown.back().find("The hull is not drawn: "), std::string::npos);
  EXPECT_TRUE(form->TimeBar->isEnabled());
  ASSERT_TRUE(form->VidFrm->isVisible());
  EXPECT_TRUE(form->VidFrm->StatusLine()->text().startsWith("Hull not drawn: ")) << form->VidFrm->StatusLine()->text().toStdString();
  form->TimeBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(form->At_T->text(), "at _JT=1");
  form->GoClick();
  EXPECT_TRUE(form->VidFrm->Player().Playing());
  form->Stop1Click();
}

TEST_F(MainWindowTest, AMissingBoatFileIsNamedAndNoOtherRunsHullIsDrawn) {
  const std::string withBoat = WritePlaningRun(dir.path(), "WITHBOAT", 50);
  auto noBoat = RunBuilder::Named("NOBOAT");
  noBoat.Steps(50).Params.BoatFile = "C:\\BOATS\\DV30.BOT";
  const std::string missing = noBoat.Write(dir);
  Open(withBoat);
  ASSERT_TRUE(form->VidFrm->isVisible());
  shown.clear();
  Open(missing);
  // One box: the specified text, the file and where it was looked for, then that no hull is drawn.
  EXPECT_EQ(shown, std::vector<std::string>{"Boat File Not Found!\nDV30.BOT — looked in " + dir.path() + ", " +
                                            SharedDataDirectory(dir.path()) +
                                            "\nThe hull is not drawn: Boat File Not Found: DV30.BOT"});
  const HullModel& hull = form->Session().Reference().Hull;
  EXPECT_FALSE(hull.BoatLoaded);  // nothing of WITHBOAT's boat
  EXPECT_EQ(hull.Stations.StationCount, 0);
  // The video shows the sea (blue) and the readouts (red), and no hull line (black).
  ASSERT_TRUE(form->VidFrm->isVisible());
  EXPECT_EQ(form->VidFrm->StatusLine()->text().toStdString(),
            "Hull not drawn: Boat File Not Found: DV30.BOT (sea drawn for a 30 ft boat)");
  const auto count = [&](QRgb colour) {
    const QImage picture = form->VidFrm->FrameBitmap().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) n += (picture.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
    return n;
  };
  EXPECT_EQ(count(qRgb(0, 0, 0)), 0);
  EXPECT_GT(count(qRgb(0, 0, 255)), 200);
  form->GoClick();
  EXPECT_TRUE(form->VidFrm->Player().Playing());
  form->Stop1Click();
  EXPECT_TRUE(form->TimeBar->isEnabled());  // the readouts follow the bar
  form->TimeBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(form->At_T->text(), "at _JT=1");
  Open(withBoat);  // the run with its boat shows its video again
  EXPECT_TRUE(form->VidFrm->isVisible());
}

TEST_F(MainWindowTest, TheStatusLineIsClearOfTheVideoWindowAtItsPlace) {
  form->show();
  form->VidFrm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  const QRect line(form->StatusLine->mapToGlobal(QPoint(0, 0)), form->StatusLine->size());
  // Above the Video window's frame, whatever height a window manager's decorations give it.
  EXPECT_LT(line.bottom(), form->VidFrm->frameGeometry().top()) << "status line at y " << line.top();
  EXPECT_FALSE(line.intersects(QRect(form->Memo2->mapToGlobal(QPoint(0, 0)), form->Memo2->size())));
  EXPECT_GT(line.height(), 0);
}

TEST_F(MainWindowTest, PlaybackMessagesGoToTheStatusLineNotToBoxes) {
  demo::HistorySpec spec;
  spec.Steps = 400;
  spec.values = demo::SteadyPlaning(0.01);
  for (int s = 1; s < 400; ++s) spec.StepIndexOverride[s] = -s;  // every step is misnumbered
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\B4.BOT";
  demo::WriteBoatFile(dir / "B4.BOT", demo::SampleBoat(4));
  Open(demo::WriteSampleRun(dir.path(), "MISNUM", p, spec));
  const QSize size = form->VidFrm->size();
  shown.clear();
  form->GoClick();
  shown.clear();  // Go's own step read reports once, as a command message
  for (int k = 0; k < 50; ++k) form->VidFrm->Timer1Timer();
  EXPECT_TRUE(shown.empty());
  const QString line = form->VidFrm->StatusLine()->text();
  EXPECT_EQ(line.toStdString(), "KVR JT ERROR!-4 4 (50 times)");
  EXPECT_TRUE(form->VidFrm->Player().Playing());
  // The message did not resize the window, and the user cannot either.
  EXPECT_EQ(form->VidFrm->size(), size);
  EXPECT_EQ(form->VidFrm->minimumSize(), form->VidFrm->maximumSize());
}

TEST_F(MainWindowTest, CancelledOpenClosesTheRun) {
  Open(WritePlaningRun(dir.path(), "RUN1", 100));
  form->ChooseRunFile = [] { return QString(); };
  form->Open2Click();
  EXPECT_FALSE(form->VidFrm->isVisible());
  EXPECT_FALSE(form->TimeBar->isEnabled());
  EXPECT_FALSE(form->Session().Reference().History.IsOpen);
  form->GoClick();
}

}  // namespace
}  // namespace hulvex

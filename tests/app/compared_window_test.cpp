// The Compared Runs window and the overlay of the compared runs' hulls in the Video window, driven
// through the main window: each pane against that run's own picture at the session's time, the
// overlay against the export's overlay of the same time.
#include "video/compared_window.h"

#include <QPainter>
#include <QSignalBlocker>
#include <QTest>

#include <gtest/gtest.h>

#include "export/compared_frames.h"
#include "export/compared_views.h"
#include "video/frame_drawing.h"
#include "viewer_fixture.h"

namespace hulvex {
namespace {

// A run of the sample boat `hull` from `start` s, `steps` steps `dt` apart, planing.
std::string WriteRun(const std::string& dir, const std::string& name, int hull, double start, std::int32_t steps,
                     double dt) {
  auto run = test_support::RunBuilder::Named(name);
  run.SampleBoat(hull, name + ".BOT").Steps(steps, dt);
  run.History.StartTime = start;
  run.History.EndTime = start + (steps - 1) * dt;
  const auto planing = demo::SteadyPlaning(dt, 45.0, 3.0);
  run.History.values = [planing, start](std::int32_t s, std::span<float> ch) { return start + planing(s, ch); };
  return run.Write(dir);
}

// Pane `index` of `picture` with its name box blacked out.
QImage PaneOutsideNameBox(const QImage& picture, int index) {
  QImage pane = picture.copy(StackedPane(index, 1));
  QPainter(&pane).fillRect(RunNameBox(pane.rect(), 1), Qt::black);
  return pane;
}

QImage OutsideNameBox(QImage picture) {
  QPainter(&picture).fillRect(RunNameBox(picture.rect(), 1), Qt::black);
  return picture;
}

// The reference RUN1 (0 ... 10 s, 0.01 s steps), RUN2 (another time step, ending at 8.985 s) and
// RUN3 (another boat, starting at 2 s) compared with it.
class ComparedWindowTest : public ViewerTest {
protected:
  void SetUp() override {
    ViewerTest::SetUp();
    Open(WritePlaningRun(dir.path(), "RUN1", 1001));
    ASSERT_TRUE(AddCompared(*form, {WriteRun(dir.path(), "RUN2", 4, 0.0, 600, 0.015),
                                    WriteRun(dir.path(), "RUN3", 5, 2.0, 401, 0.02)}));
    ASSERT_EQ(form->Session().ComparedCount(), 2u);
  }
  TComparedFrm& Window() { return *form->ComparedFrm; }
  // The window's picture once its worker has drawn the latest request. The Video window's own
  // timer stays quiet meanwhile: the tests tick it by hand on their clock.
  QImage Drawn() {
    const QSignalBlocker quiet(form->VidFrm->Timer1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Window().Drawing(); }, 10000));
    return Window().Picture();
  }
  double TimeOf(std::int32_t step) { return form->Session().Reference().History.StepTimes.at(static_cast<std::size_t>(step)); }
  void MoveBarTo(std::int32_t step) {
    form->TimeBar->setSliderPosition(step);
    form->TimeBar->triggerAction(QAbstractSlider::SliderMove);
  }
};

TEST_F(ComparedWindowTest, PanesAreEachRunsOwnVideoPictureAfterAMove) {
  EXPECT_TRUE(Window().isVisible());
  EXPECT_EQ(Window().windowTitle(), QStringLiteral("Compared Runs — RUN2, RUN3"));
  EXPECT_EQ(Window().Picture().size(), QSize(620, 600));
  // Before RUN3 starts; 0.01 s before a step of RUN2 (0.30 s), of RUN3 (2.40 s); after RUN2 ends.
  for (const std::int32_t step : {0, 29, 239, 1000}) {
    SCOPED_TRACE(step);
    MoveBarTo(step);
    for (std::size_t k = 1; k <= 2; ++k) {
      TVidFrm own;  // that run in a Video window of its own, at its step of the session's time
      own.PrepareVideo(form->Session().Run(k));
      NullDiagnostics diag;
      own.ShowStep(form->Session().StepOfRunAt(k, TimeOf(step)), diag);
      EXPECT_EQ(PaneOutsideNameBox(Drawn(), static_cast<int>(k - 1)), OutsideNameBox(own.FrameBitmap()))
          << "run " << k;
      own.CloseVideo();
    }
  }
}

TEST_F(ComparedWindowTest, PanesFollowTheVideoWindowsFramesDuringPlayback) {
  const std::int32_t start = 100;
  MoveBarTo(start);
  form->GoClick();
  ASSERT_TRUE(form->VidFrm->Player().Playing());
  // Each run played from the same time on its own, as an export of it alone draws it.
  std::vector<std::unique_ptr<VideoSource>> sources;
  std::vector<std::unique_ptr<RunPlayback>> own;
  NullDiagnostics diag;
  for (std::size_t k = 1; k <= 2; ++k) {
    sources.push_back(std::make_unique<VideoSource>(form->Session().Run(k)));
    own.push_back(std::make_unique<RunPlayback>(*sources.back(), TimeOf(start), diag));
  }
  clock = 300;
  for (int tick = 0; tick < 40; ++tick) {
    // A tick puts on the screen the frame composed at the tick before.
    const std::int32_t onScreen = form->VidFrm->Player().VideoPos();
    form->VidFrm->Timer1Timer();
    clock += 40;
    if (tick % 13 != 0) continue;
    SCOPED_TRACE(tick);
    for (std::size_t i = 0; i < own.size(); ++i) {
      QImage expected = MakeFrameBitmap();
      own[i]->ShowTime(TimeOf(onScreen), diag);
      own[i]->Draw(expected, 1, diag);
      EXPECT_EQ(PaneOutsideNameBox(Drawn(), static_cast<int>(i)), OutsideNameBox(expected)) << "run " << i + 2;
    }
  }
  EXPECT_EQ(form->Session().CurrentStep(), start);  // the window has no timer and moves nothing
}

TEST_F(ComparedWindowTest, OverlayIsTheExportsOverlayAndOffGivesThePlainPictureBack) {
  MoveBarTo(300);
  const QImage plain = form->VidFrm->Shown();
  ASSERT_TRUE(form->OverlayHulls1->isEnabled());
  form->OverlayHulls1->trigger();
  EXPECT_TRUE(form->Session().OverlayHulls());
  EXPECT_FALSE(Window().isVisible());
  // The export's overlay of the three runs started at the same time.
  std::vector<std::unique_ptr<VideoSource>> sources;
  std::vector<ComparedRun> runs;
  for (std::size_t k = 0; k < 3; ++k) {
    sources.push_back(std::make_unique<VideoSource>(form->Session().Run(k)));
    runs.push_back({sources.back().get(), RunDisplayName(form->Session().Run(k))});
  }
  ExportSettings settings;
  settings.From = TimeOf(300);
  NullDiagnostics diag;
  ComparedFrames overlay(runs, ComparedLayout::Overlay, ExportPlan{TimeOf(300), TimeOf(300) + 1, 1}, settings, diag);
  QImage expected = MakeFrameBitmap();
  overlay.DrawAt(TimeOf(300), expected, diag, true);
  EXPECT_EQ(form->VidFrm->Shown(), expected);
  EXPECT_NE(expected, plain);

  form->OverlayHulls1->trigger();
  EXPECT_EQ(form->VidFrm->Shown(), plain);
  EXPECT_TRUE(Window().isVisible());
}

TEST_F(ComparedWindowTest, RemovingTheComparedRunsHidesTheWindowAndEndsTheOverlay) {
  form->OverlayHulls1->trigger();
  form->findChild<QAction*>(QStringLiteral("RemoveCompared1"))->trigger();
  EXPECT_FALSE(Window().isVisible());
  EXPECT_TRUE(Window().Picture().isNull());
  EXPECT_FALSE(form->OverlayHulls1->isEnabled());
  EXPECT_FALSE(form->OverlayHulls1->isChecked());
  EXPECT_FALSE(form->Session().OverlayHulls());
  // The plain picture again, and moves go on without the window.
  MoveBarTo(10);
  const QImage plain = form->VidFrm->Shown();
  NullDiagnostics diag;
  TVidFrm own;
  own.PrepareVideo(form->Session().Reference());
  own.ShowStep(10, diag);
  EXPECT_EQ(plain, own.FrameBitmap());
  own.CloseVideo();
}

TEST_F(ComparedWindowTest, TheMainWindowsKeysWorkInTheWindow) {
  QTest::keyClick(&Window(), Qt::Key_Right);
  EXPECT_EQ(form->Session().CurrentStep(), 1);
}

}  // namespace
}  // namespace hulvex

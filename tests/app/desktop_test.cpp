// The viewer as a desktop user meets it: one box per command, the status line for bar moves,
// what an open leaves on screen, the open dialog, window ownership, Quit and the keys.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <functional>

#include "app/main_window.h"
#include "runfiles/time_history_layout.h"
#include "support/run_builder.h"
#include "viewer_fixture.h"

namespace hulvex {
namespace {
using test_support::RunBuilder;
using test_support::TempDir;

// Closes whatever modal window is up until `modal` is gone, so that a failed check cannot hang.
void CloseLeftOpen(QWidget* modal) {
  QTimer::singleShot(3000, modal, [modal] {
    ADD_FAILURE() << "a modal window was left open: " << QApplication::activeModalWidget()->windowTitle().toStdString();
    QApplication::activeModalWidget()->close();
    CloseLeftOpen(modal);
  });
}

// Runs `check` on the modal window once it is up (the calling code then blocks in its loop).
void WhenModal(const std::function<void(QWidget*)>& check) {
  QTimer::singleShot(10, [check] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      check(modal);
      CloseLeftOpen(modal);
    } else {
      WhenModal(check);
    }
  });
}

class DesktopTest : public ViewerTest {
protected:
  void Activate(QWidget* window) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  }
};

TEST(CommandMessages, TheEleventhKindIsCountedAndShownKindsKeepCountingAfterIt) {
  std::vector<std::string> presented;
  CommandMessages messages([] { return nullptr; });
  messages.present = [&](const QString& text) { presented.push_back(text.toStdString()); };
  const std::string firstTen = "\nm1\nm2\nm3\nm4\nm5\nm6\nm7\nm8\nm9\n";
  for (int i = 0; i < 11; ++i) messages.Message("k" + std::to_string(i), "m" + std::to_string(i));
  messages.Flush();
  for (int i = 0; i < 11; ++i) messages.Message("k" + std::to_string(i), "m" + std::to_string(i));
  for (const char* again : {"k11", "k0", "k10", "k0"}) messages.Message(again, "again");
  messages.Flush();
  messages.Flush();  // nothing left over: no box
  EXPECT_EQ(presented, (std::vector<std::string>{"m0" + firstTen + "… and 1 more message",
                                                 "m0 (3 times)" + firstTen + "… and 3 more messages"}));
}

// What the flood costs in time is BM_OpenWithAMessagePerStep's (bench/channels_bench.cpp).
TEST_F(DesktopTest, AHundredThousandMisnumberedStepsOpenWithOneBox) {
  Open(WritePlaningRun(dir.path(), "MISNUM", 100'000, 0.01, true));
  // Step 0 is checked at the open, by the camera track and when it is drawn, every other step once:
  // one kind of message, counted.
  EXPECT_EQ(shown, std::vector<std::string>{"KVR JT ERROR!1 0 (100002 times)"});
  EXPECT_TRUE(form->VidFrm->isVisible());
}

TEST_F(DesktopTest, BarMovesAndTheEndOfPlaybackReportToTheStatusLineNotToBoxes) {
  Open(WritePlaningRun(dir.path(), "MISNUM", 400, 0.01, true));
  shown.clear();
  for (int s = 1; s <= 100; ++s) form->TimeBar->setSliderPosition(s);  // a drag: one scroll event a position
  form->MoveBar(QAbstractSlider::SliderToMaximum);
  form->MoveBar(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(form->VidFrm->Player().VideoPos(), 398);
  form->GoClick();
  shown.clear();  // Go is a command: its own step read is one box
  form->VidFrm->Timer1Timer();
  ASSERT_FALSE(form->VidFrm->Player().Playing());
  EXPECT_TRUE(shown.empty()) << shown.front();
  const QString line = form->StatusLine->text();
  // One kind, counted: steps 1 ... 100, 399, 398 and 399 again at the end.
  EXPECT_EQ(line.toStdString(), "KVR JT ERROR!2 1 (103 times)");
  Open(WritePlaningRun(dir.path(), "GOOD", 50));
  EXPECT_EQ(form->StatusLine->text(), "");
}

TEST_F(DesktopTest, AnOpenThatLoadsNothingShowsNothingOfThePreviousRun) {
  const std::string good = WritePlaningRun(dir.path(), "GOOD", 50);
  const std::string noTts = WritePlaningRun(dir.path(), "NOTTS", 50);
  std::filesystem::remove(noTts + ".TTS");
  const std::string old = WritePlaningRun(dir.path(), "OLD", 50);
  test_support::PatchFile(old + ".TTS", 0, test_support::Int16Bytes(1));
  struct Case {
    const char* name;
    std::function<void()> open;
    QString description;  // what the failed open itself read
  };
  const Case cases[] = {
      {"cancelled",
       [&] {
         form->ChooseRunFile = [] { return QString(); };
         form->Open2Click();
       },
       ""},
      {"no .HVX", [&] { Open(dir / "NOHVX"); }, ""},
      {"no .TTS", [&] { Open(noTts); }, "Case NOTTS\n"},
      {"old .TTS", [&] { Open(old); }, "Case OLD\n"},
  };
  for (const Case& c : cases) {
    Open(good);
    form->MoveBar(QAbstractSlider::SliderSingleStepAdd);
    ASSERT_EQ(form->At_T->text(), "at _JT=1");
    c.open();
    EXPECT_EQ(form->windowTitle(), "KVRView2") << c.name;
    for (QLabel* label : {form->TLowLbl, form->AtLO, form->THiLbl, form->AtHI}) EXPECT_EQ(label->text(), "") << c.name;
    EXPECT_EQ(form->TimeLbl->text(), "_T = 0") << c.name;
    EXPECT_EQ(form->At_T->text(), "at") << c.name;
    EXPECT_EQ(form->Memo1->toPlainText(), c.description) << c.name;
    EXPECT_FALSE(form->TimeBar->isEnabled()) << c.name;
  }
}

TEST_F(DesktopTest, AMissingDescriptionIsReportedAndTheRunOpens) {
  Open(WritePlaningRun(dir.path(), "DESCRIBED", 50));
  const std::string run = WritePlaningRun(dir.path(), "NOTXT", 50);
  std::filesystem::remove(run + ".TXT");
  Open(run);
  EXPECT_EQ(shown, std::vector<std::string>{"Cannot open file " + run + ".TXT"});
  EXPECT_EQ(form->windowTitle().toStdString(), "Current Run Name = " + run);
  EXPECT_EQ(form->Memo1->toPlainText(), "");
  EXPECT_TRUE(form->VidFrm->isVisible());
  form->MoveBar(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(form->At_T->text(), "at _JT=1");
  EXPECT_EQ(form->VidFrm->Player().VideoPos(), 1);
}

TEST_F(DesktopTest, TheOpenDialogCompletesHvxStartsWhereTheLastRunWasAndOpensTheFileChosen) {
  const std::string sub = dir / "runs";
  std::filesystem::create_directory(sub);
  WritePlaningRun(sub, "RUN", 50);
  const std::string lower = WritePlaningRun(sub, "run", 30);
  for (const char* ext : {".HVX", ".TTS", ".TXT"}) {
    std::string lowerExt = ext;
    for (char& c : lowerExt) c = static_cast<char>(std::tolower(c));
    std::filesystem::rename(lower + ext, lower + lowerExt);
  }
  form->show();
  // Types `name` into the dialog and presses Enter, after checking where it starts.
  auto choose = [&](const std::string& startDir, const char* name) {
    WhenModal([=, this](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Open Run File");
      EXPECT_EQ(dialog->directory().absolutePath().toStdString(), startDir);
      EXPECT_EQ(dialog->windowHandle()->transientParent(), form->windowHandle());
      auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      ASSERT_NE(edit, nullptr);
      edit->setText(QString::fromUtf8(name));
      QTest::keyClick(edit, Qt::Key_Return);
    });
    form->Open2Click();
  };
  choose(dir.path(), "runs/RUN");  // completed to RUN.HVX
  EXPECT_EQ(form->windowTitle().toStdString(), "Current Run Name = " + sub + "/RUN");
  EXPECT_EQ(form->Session().Navigation().HighStep, 49);
  choose(sub, "run.hvx");  // not RUN.HVX, which comes first in name order
  EXPECT_EQ(form->Session().Navigation().HighStep, 29);
  // Memo2 sits 112 pixels into the client area below the menu bar.
  EXPECT_EQ(form->Memo2->mapTo(form.get(), QPoint(0, 0)).y(), form->menuBar()->height() + 112);
}

TEST_F(DesktopTest, DialogsAndBoxesBelongToTheVideoWindowWhileItIsShown) {
  form->Messages.present = boxes;
  form->show();
  Open(WritePlaningRun(dir.path(), "RUN", 100));
  form->Session().SetVideoMult(0.004f);
  for (bool videoShown : {true, false}) {
    if (!videoShown) form->VidFrm->close();
    QWindow* owner = videoShown ? form->VidFrm->windowHandle() : form->windowHandle();
    QString boxText;
    WhenModal([&](QWidget* dialog) {
      EXPECT_EQ(dialog, form->VmultFrm);
      EXPECT_EQ(dialog->windowHandle()->transientParent(), owner);
      EXPECT_EQ(form->VmultFrm->Edit1->text(), "     0.004");  // not "0.00"
      // Typing replaces the value, even after OK had the focus the time before.
      EXPECT_EQ(form->VmultFrm->focusWidget(), form->VmultFrm->Edit1);
      EXPECT_EQ(form->VmultFrm->Edit1->selectedText(), form->VmultFrm->Edit1->text());
      QTest::mouseClick(form->VmultFrm->OKBtn, Qt::LeftButton);
    });
    form->VideoTimeAdj1Click();
    EXPECT_EQ(form->Session().VideoMult(), 0.004f);  // OK without a change keeps the value
    // A refused value: the box belongs to the same window.
    WhenModal([&](QWidget*) {
      form->VmultFrm->Edit1->setText(QStringLiteral("0"));
      WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowHandle()->transientParent(), owner);
        boxText = box->text();
        box->accept();
      });
      QTest::mouseClick(form->VmultFrm->OKBtn, Qt::LeftButton);
    });
    form->VideoTimeAdj1Click();
    EXPECT_EQ(boxText, "Time Multiplier error!");
  }
}

TEST_F(DesktopTest, QuitWhilePlayingStopsThePlaybackAndEndsTheProgram) {
  form->show();
  Open(WritePlaningRun(dir.path(), "RUN", 1000));
  form->GoClick();
  ASSERT_TRUE(form->VidFrm->Player().Playing());
  bool ended = true;
  QTimer::singleShot(0, form.get(), [&] { form->Quit1Click(); });
  QTimer::singleShot(5000, [&] {
    ended = false;
    QApplication::quit();
  });
  QApplication::exec();
  EXPECT_TRUE(ended);
  EXPECT_FALSE(form->VidFrm->isVisible());
  EXPECT_FALSE(form->VidFrm->Player().Playing());
  EXPECT_FALSE(form->VidFrm->Timer1->isActive());
}

TEST_F(DesktopTest, KeysInEitherWindowMoveTheBarPlayAndScaleTheMultiplier) {
  Open(WritePlaningRun(dir.path(), "RUN", 1001));
  struct KeyMove {
    Qt::Key key;
    std::int32_t step;
  };
  const KeyMove moves[] = {{Qt::Key_Right, 1},    {Qt::Key_PageDown, 21}, {Qt::Key_Left, 20},
                           {Qt::Key_End, 1000},   {Qt::Key_PageUp, 980},  {Qt::Key_Home, 0}};
  for (QWidget* window : {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(form->VidFrm)}) {
    Activate(window);
    for (const KeyMove& m : moves) {
      QTest::keyClick(window, m.key);
      EXPECT_EQ(form->TimeBar->value(), m.step) << window->objectName().toStdString() << " " << m.key;
      EXPECT_EQ(form->At_T->text(), QStringLiteral("at _JT=%1").arg(m.step));
      EXPECT_EQ(form->VidFrm->Player().VideoPos(), m.step);
    }
  }
  // Space plays and stops; on the last step it starts again from step 0.
  QTest::keyClick(form->VidFrm, Qt::Key_Space);
  EXPECT_TRUE(form->VidFrm->Player().Playing());
  form->VidFrm->Timer1Timer();
  QTest::keyClick(form->VidFrm, Qt::Key_Space);
  EXPECT_FALSE(form->VidFrm->Player().Playing());
  EXPECT_EQ(form->At_T->text(), "at _JT=4");
  QTest::keyClick(form->VidFrm, Qt::Key_End);
  QTest::keyClick(form->VidFrm, Qt::Key_Space);
  EXPECT_TRUE(form->VidFrm->Player().Playing());
  EXPECT_EQ(form->VidFrm->Player().VideoPos(), 0);
  EXPECT_EQ(form->TimeBar->value(), 0);
  // Ctrl+Up halves the multiplier (faster), Ctrl+Down doubles it; the title shows it.
  struct MultKey {
    Qt::Key key;
    float mult;
    const char* title;
  };
  const MultKey mults[] = {{Qt::Key_Up, 0.5f, "Video (multiplier 0.5)"},
                           {Qt::Key_Down, 1.0f, "Video"},
                           {Qt::Key_Down, 2.0f, "Video (multiplier 2)"}};
  for (const MultKey& m : mults) {
    QTest::keyClick(form->VidFrm, m.key, Qt::ControlModifier);
    EXPECT_EQ(form->Session().VideoMult(), m.mult);
    EXPECT_EQ(form->VidFrm->windowTitle(), m.title);
  }
  form->Session().SetVideoMult(1024.0f);
  QTest::keyClick(form->VidFrm, Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(form->Session().VideoMult(), 1024.0f);  // the slowest the keys go
}

}  // namespace
}  // namespace hulvex

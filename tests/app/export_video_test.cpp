#include "app/export_video.h"

#include <QApplication>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <tuple>
#include <utility>

#include "app/channels_frm.h"
#include "app/main_window.h"
#include "common/number_format.h"
#include "export/video_decoding.h"
#include "viewer_fixture.h"

namespace hulvex {
namespace {
using test_support::TempDir;

// A run of `seconds` at 100 steps a second.
std::string WriteRun(const TempDir& dir, const std::string& name, double seconds) {
  return WritePlaningRun(dir.path(), name, static_cast<std::int32_t>(seconds * 100) + 1);
}

class ExportVideoCommandTest : public ::testing::Test {
protected:
  void SetUp() override {
    form = std::make_unique<TForm1>(dir.path());
    form->CreateSecondaryWindows();
    form->Messages.present = [this](const QString& text) { shown.push_back(text.toStdString()); };
    command = form->findChild<VideoExportCommand*>();
    action = form->findChild<QAction*>(QStringLiteral("ExportVideo1"));
    ASSERT_TRUE(command && action);
    command->ChooseFile = [this] { return QString::fromStdString(out); };
    command->ChooseRange = [this](const TimeHistory&, int, ExportSettings& settings) {
      proposed = {settings.From.value_or(-1), settings.To.value_or(-1)};
      if (chosen) std::tie(settings.From, settings.To) = *chosen;
      settings.Fps = fps;
      settings.Scale = scale;
      return chosen.has_value() || !cancelRange;
    };
  }
  // Waits for the export to end; true when it wrote the file.
  bool Written(QSignalSpy& finished) {
    return (finished.count() > 0 || finished.wait(120000)) && finished.at(0).at(0).toBool();
  }
  void TearDown() override { form.reset(); }

  TempDir dir;
  std::string out = dir / "run.gif";
  std::unique_ptr<TForm1> form;
  VideoExportCommand* command = nullptr;
  QAction* action = nullptr;
  std::vector<std::string> shown;
  std::pair<double, double> proposed;
  std::optional<std::pair<double, double>> chosen;  // what the range dialog returns
  int fps = 25, scale = 1;                           // and the frame rate and scale it returns
  bool cancelRange = false;
};

TEST_F(ExportVideoCommandTest, CancelHalfwayLeavesNoFileWhileThePlaybackGoesOn) {
  form->OpenRunFile(QString::fromStdString(WriteRun(dir, "LONG", 20.0) + ".HVX"));
  form->Session().SetVideoMult(2.0f);  // 40 s of video: 1000 frames
  form->GoClick();
  QSignalSpy finished(command, &VideoExportCommand::Finished);
  action->trigger();
  ASSERT_TRUE(command->Running());
  EXPECT_FALSE(action->isEnabled());  // one export at a time
  const std::int32_t position = form->VidFrm->Player().VideoPos();
  ASSERT_TRUE(QTest::qWaitFor([&] { return command->ProgressDialog()->value() >= 500; }, 120000));
  EXPECT_GT(form->VidFrm->Player().VideoPos(), position);  // the playback went on meanwhile
  EXPECT_TRUE(std::filesystem::exists(out + ".part"));
  QTest::mouseClick(command->ProgressDialog()->findChild<QPushButton*>(), Qt::LeftButton);
  EXPECT_FALSE(Written(finished));
  EXPECT_FALSE(command->Running());
  EXPECT_TRUE(action->isEnabled());
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  EXPECT_TRUE(shown.empty());
}

TEST_F(ExportVideoCommandTest, ExportsToTheEndWhileAnotherRunIsOpened) {
  // File: Open, Add Run to Compare..., Remove Compared Runs, Export Video..., Save Plots As...,
  // Save Statistics As..., a separator, Quit.
  const auto items = qobject_cast<QMenu*>(action->parent())->actions();
  QStringList names;
  for (const QAction* a : items) names << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
  EXPECT_EQ(names, (QStringList{"Open2", "AddCompared1", "RemoveCompared1", action->objectName(), "SavePlots1",
                                "SaveStatistics1", "-", "Quit1"}));
  // Before a run, and for a name of no known format: one box each, nothing written.
  action->trigger();
  const std::string run = WriteRun(dir, "SHORT", 8.0);
  form->OpenRunFile(QString::fromStdString(run + ".HVX"));
  out = dir / "run.avi";
  action->trigger();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[1].find("must end in .mp4, .webm or .gif"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out));

  shown.clear();
  out = dir / "run.mp4";
  QSignalSpy finished(command, &VideoExportCommand::Finished);
  action->trigger();
  ASSERT_TRUE(command->Running());
  form->OpenRunFile(QString::fromStdString(WriteRun(dir, "OTHER", 2.0) + ".HVX"));  // closes SHORT
  ASSERT_TRUE(Written(finished));
  EXPECT_TRUE(shown.empty()) << shown.front();
  EXPECT_EQ(proposed, std::pair(0.0, 8.0));  // the whole run the Channels window shows
  const auto video = test::DecodeVideo(out);
  EXPECT_EQ(video.frames, 200);  // 8 s at 25 frames per second
  EXPECT_EQ(video.width, 620);
  EXPECT_NEAR(video.duration, 8.0, 0.04);
}

TEST_F(ExportVideoCommandTest, ProposesTheChannelsRangeAndWritesTheChosenOne) {
  form->OpenRunFile(QString::fromStdString(WriteRun(dir, "RANGE", 8.0) + ".HVX"));
  form->ChannelsFrm->SetTimeRange(2.0, 5.0);
  cancelRange = true;
  action->trigger();
  EXPECT_EQ(proposed, std::pair(2.0, 5.0));
  EXPECT_FALSE(command->Running());  // a cancelled range writes nothing
  form->ChannelsFrm->hide();  // without the window: the whole run
  action->trigger();
  EXPECT_EQ(proposed, std::pair(0.0, 8.0));
  EXPECT_FALSE(std::filesystem::exists(out));

  chosen = std::pair(1.0, 3.0);
  QSignalSpy finished(command, &VideoExportCommand::Finished);
  action->trigger();
  ASSERT_TRUE(Written(finished));
  EXPECT_EQ(test::DecodeVideo(out).frames, 50);  // 2 s at 25 frames per second
  EXPECT_TRUE(shown.empty());
}

TEST_F(ExportVideoCommandTest, StepFaultsOnEveryFrameMakeOneShortBox) {
  // Every step misnumbered: 50 frames, each reading a step with a fault of its own text.
  form->OpenRunFile(QString::fromStdString(WritePlaningRun(dir.path(), "MISNUM", 201, 0.01, true) + ".HVX"));
  shown.clear();
  QSignalSpy finished(command, &VideoExportCommand::Finished);
  action->trigger();
  ASSERT_TRUE(Written(finished));
  ASSERT_EQ(shown.size(), 1u);
  // One kind of fault: one line with its count (every step the export reads, the frames' among them).
  EXPECT_TRUE(shown[0].starts_with("KVR JT ERROR!")) << shown[0];
  EXPECT_EQ(shown[0].find('\n'), std::string::npos) << shown[0];
  EXPECT_TRUE(shown[0].ends_with(" times)")) << shown[0];
}

TEST_F(ExportVideoCommandTest, TheDialogShowsTheMultiplierAndTheLengthOfTheFile) {
  form->OpenRunFile(QString::fromStdString(WriteRun(dir, "DIALOG", 8.0) + ".HVX"));
  VideoExportCommand real(form.get());  // its own dialog, driven below
  struct Case {
    double from, to;
    int fps, scale;
    std::int64_t frames;  // round((to - from) x 16 x fps)
  } cases[] = {{0.0, 8.0, 25, 1, 3200}, {1.0, 1.5, 10, 3, 80}, {2.0, 2.001, 1, 1, 1}, {0.0, 0.01, 1, 2, 1}};
  for (const Case& c : cases) {
    ExportSettings settings;
    settings.From = 3.0;
    settings.To = 4.0;
    settings.Multiplier = 16;
    QString multiplier, length;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_TRUE(dialog);
      // The "Multiplier" row shows the multiplier the export uses.
      for (auto* label : dialog->findChildren<QLabel*>())
        if (label->text() == "16") multiplier = label->text();
      dialog->findChild<QDoubleSpinBox*>("To")->setValue(c.to);  // To first: From stays before it
      dialog->findChild<QDoubleSpinBox*>("From")->setValue(c.from);
      dialog->findChild<QSpinBox*>("Fps")->setValue(c.fps);
      dialog->findChild<QSpinBox*>("Scale")->setValue(c.scale);
      length = dialog->findChild<QLabel*>("Length")->text();
      dialog->accept();
    });
    ASSERT_TRUE(real.ChooseRange(form->Session().Reference().History, 50, settings));
    EXPECT_EQ(multiplier, "16");
    EXPECT_EQ(length.toStdString(), std::to_string(c.frames) + " frames, " +
                                        FormatSeconds(static_cast<double>(c.frames) / c.fps)) << c.fps;
    EXPECT_EQ(std::tuple(settings.From, settings.To, settings.Fps, settings.Scale),
              std::tuple(std::optional(c.from), std::optional(c.to), c.fps, c.scale));
  }
  // Settings the export refuses give the refusal's text.
  ExportSettings late;
  late.From = 9.0;
  EXPECT_TRUE(ExportLengthText(form->Session().Reference().History, late).startsWith("The start time 9 s"))
      << ExportLengthText(form->Session().Reference().History, late).toStdString();
}

TEST_F(ExportVideoCommandTest, AWrittenFileIsReportedInTheStatusLine) {
  form->OpenRunFile(QString::fromStdString(WriteRun(dir, "STATUS", 4.0) + ".HVX"));
  chosen = std::pair(1.0, 3.0);
  fps = 10;
  scale = 2;
  form->Session().SetVideoMult(1.5f);
  QSignalSpy finished(command, &VideoExportCommand::Finished);
  action->trigger();
  ASSERT_TRUE(Written(finished));
  const auto video = test::DecodeVideo(out);
  EXPECT_EQ(video.frames, 30);  // 2 s x 1.5 x 10 frames per second
  EXPECT_EQ(video.width, 1240);
  EXPECT_EQ(form->StatusLine->text().toStdString(), "Wrote " + out + " (30 frames, 3 s)");
  EXPECT_TRUE(shown.empty());
  // A cancelled export reports nothing there.
  form->StatusLine->clear();
  cancelRange = true;
  chosen.reset();
  action->trigger();
  EXPECT_EQ(form->StatusLine->text(), "");
}

TEST_F(ExportVideoCommandTest, WithComparedRunsTheShownPictureIsExportedOverTheirCommonSpan) {
  form->OpenRunFile(QString::fromStdString(WriteRun(dir, "REF", 4.0) + ".HVX"));
  ASSERT_TRUE(AddCompared(*form, {WriteRun(dir, "SHORT", 3.0)}));
  struct Case {
    bool overlay;
    int height;
  };
  for (const Case c : {Case{false, 600}, Case{true, 300}}) {
    SCOPED_TRACE(c.overlay);
    form->Session().SetOverlayHulls(c.overlay);
    chosen = std::pair(1.0, 1.4);
    QSignalSpy finished(command, &VideoExportCommand::Finished);
    action->trigger();
    EXPECT_EQ(proposed, std::pair(0.0, 3.0));  // the span both runs cover
    ASSERT_TRUE(Written(finished));
    const auto video = test::DecodeVideo(out);
    EXPECT_EQ(video.frames, 10);
    EXPECT_EQ(video.width, 620);
    EXPECT_EQ(video.height, c.height);
  }
  EXPECT_TRUE(shown.empty());
}

}  // namespace
}  // namespace hulvex

#include "app/export_video.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/main_window.h"
#include "export/video_decoding.h"
#include "demo/boat_writer.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"

namespace hulvex {
namespace {
using test_support::TempDir;

std::string WriteRun(const TempDir& dir, const std::string& name, double seconds) {
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\B4.BOT";
  demo::WriteBoatFile(dir / "B4.BOT", demo::SampleBoat(4));
  demo::HistorySpec spec;
  spec.Steps = static_cast<std::int32_t>(seconds * 100) + 1;
  spec.EndTime = seconds;
  spec.values = demo::SteadyPlaning(0.01, 45.0, 5.0);
  return demo::WriteSampleRun(dir.path(), name, p, spec);
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
  }
  void TearDown() override { form.reset(); }

  TempDir dir;
  std::string out = dir / "run.gif";
  std::unique_ptr<TForm1> form;
  VideoExportCommand* command = nullptr;
  QAction* action = nullptr;
  std::vector<std::string> shown;
};

TEST_F(ExportVideoCommandTest, CancelHalfwayLeavesNoFileWhileThePlaybackGoesOn) {
  form->OpenRunFile(QString::fromStdString(WriteRun(dir, "LONG", 20.0) + ".HVX"));
  form->VideoMult = 2.0f;  // 40 s of video: 1000 frames
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
  ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
  EXPECT_FALSE(finished.at(0).at(0).toBool());
  EXPECT_FALSE(command->Running());
  EXPECT_TRUE(action->isEnabled());
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  EXPECT_TRUE(shown.empty());
}

TEST_F(ExportVideoCommandTest, ExportsToTheEndWhileAnotherRunIsOpened) {
  // File: Open, Export Video..., a separator, Quit.
  const auto items = qobject_cast<QMenu*>(action->parent())->actions();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0], form->Open2);
  EXPECT_EQ(items[1], action);
  EXPECT_TRUE(items[2]->isSeparator());
  EXPECT_EQ(items[3], form->Quit1);
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
  ASSERT_TRUE(finished.count() > 0 || finished.wait(120000));
  EXPECT_TRUE(finished.at(0).at(0).toBool());
  EXPECT_TRUE(shown.empty()) << shown.front();
  const auto video = test::DecodeVideo(out);
  EXPECT_EQ(video.frames, 200);  // 8 s at 25 frames per second
  EXPECT_EQ(video.width, 620);
  EXPECT_NEAR(video.duration, 8.0, 0.04);
}

}  // namespace
}  // namespace hulvex

// What the viewer's window tests share: a main window with its secondary windows, and the runs
// they open.
#pragma once

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/run_builder.h"

namespace hulvex {

// A run `name` of `steps` steps `dt` apart, steady planing at 50 ft/s, with the sample type-4 boat
// beside it as B4.BOT; `misnumbered` stores every step's number as step + 1.
inline std::string WritePlaningRun(const std::string& dir, const std::string& name, std::int32_t steps,
                                   double dt = 0.01, bool misnumbered = false) {
  auto run = test_support::RunBuilder::Named(name, "Case " + name + "\r\n");
  run.SampleBoat(4, "B4.BOT").Steps(steps, dt).History.values = demo::SteadyPlaning(dt, 50.0);
  if (misnumbered)
    for (std::int32_t s = 0; s < steps; ++s) run.History.StepIndexOverride[s] = s + 1;
  return run.Write(dir);
}

// Adds `runPaths` (paths without extension) as compared runs of `form` and waits until they have
// joined; false when they did not within a minute.
inline bool AddCompared(TForm1& form, const std::vector<std::string>& runPaths) {
  QSignalSpy changed(&form.Session(), &ViewerSession::ComparedRunsChanged);
  QStringList files;
  for (const std::string& path : runPaths) files.push_back(QString::fromStdString(path + ".HVX"));
  form.AddComparedRunFiles(files);
  return changed.count() > 0 || changed.wait(60000);
}

// The main window on a temporary directory with its secondary windows made: the texts it would
// show in message boxes are collected in `shown` (`boxes` keeps the real presenter), and the
// video's clock reads `clock`.
class ViewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    form = std::make_unique<TForm1>(dir.path());
    form->CreateSecondaryWindows();
    boxes = form->Messages.present;
    form->Messages.present = [this](const QString& text) { shown.push_back(text.toStdString()); };
    form->VidFrm->Clock = [this] { return clock; };
  }
  void TearDown() override { form.reset(); }

  void Open(const std::string& runPath) { form->OpenRunFile(QString::fromStdString(runPath + ".HVX")); }

  test_support::TempDir dir;
  std::unique_ptr<TForm1> form;
  CommandMessages::Presenter boxes;
  std::vector<std::string> shown;
  std::int64_t clock = 0;
};

}  // namespace hulvex

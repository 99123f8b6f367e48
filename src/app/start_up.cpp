#include "app/start_up.h"

#include <QDir>

#include "app/start_frm.h"

namespace hulvex {

std::unique_ptr<TForm1> StartUp(const QString& programDir, const QString& runFile, const QStringList& comparedRuns,
                                bool follow) {
  auto form = std::make_unique<TForm1>(programDir.toStdString());
  {
    TStartFrm start;
    start.exec();
  }
  form->CreateSecondaryWindows();
  QDir::setCurrent(programDir);
  form->show();
  if (follow) form->Follow1->setChecked(true);
  if (!runFile.isEmpty()) form->OpenRunFile(runFile);
  if (!comparedRuns.isEmpty()) form->AddComparedRunFiles(comparedRuns);
  return form;
}

}  // namespace hulvex

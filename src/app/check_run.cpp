#include "app/check_run.h"

#include <QDir>

#include <ostream>

#include "app/main_window.h"

namespace hulvex {

int CheckRun(const QString& programDir, const QString& runFile, std::ostream& out, std::ostream& err) {
  TForm1 form(programDir.toStdString());
  form.Messages.present = [&err](const QString& text) { err << "message: " << text.toStdString() << "\n"; };
  form.CreateSecondaryWindows();
  QDir::setCurrent(programDir);
  form.OpenRunFile(runFile);
  if (!form.RunLoaded()) {
    out << "run not loaded\n";
    return 1;
  }
  const LoadedRun& run = form.Session().Reference();
  if (!run.Hull.Drawable || !form.Session().VideoReady()) {
    out << "hull not drawable: " << run.Hull.NotDrawableReason << "\n";
    return 1;
  }
  out << "hull drawable: " << run.Hull.BoatPath << "\n";
  return 0;
}

}  // namespace hulvex

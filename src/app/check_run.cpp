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
  if (!form.Run.Hull.Drawable || !form.VidFrm->Player().VideoOpen()) {
    out << "hull not drawable: " << form.Run.Hull.NotDrawableReason << "\n";
    return 1;
  }
  out << "hull drawable: " << form.Run.Hull.BoatPath << "\n";
  return 0;
}

}  // namespace hulvex

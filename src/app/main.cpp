// hulvex-viewer: the start-up box, then the main window; an optional run path opens that run.
#include <QApplication>
#include <QDir>

#include "app/main_window.h"
#include "app/start_frm.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KVRView2"));
  // The program's data directory is the real directory of the executable.
  const QString programDir = QDir(QCoreApplication::applicationDirPath()).canonicalPath();

  // A run given on the command line, taken relative to where the program was started.
  const QStringList args = QCoreApplication::arguments();
  const QString runFile = args.size() > 1 ? QDir::current().absoluteFilePath(args.at(1)) : QString();

  hulvex::TForm1 form(programDir.toStdString());
  {
    hulvex::TStartFrm start;
    start.exec();
  }
  form.CreateSecondaryWindows();
  QDir::setCurrent(programDir);
  form.show();

  if (!runFile.isEmpty()) form.OpenRunFile(runFile);
  return QApplication::exec();
}

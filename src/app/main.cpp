// hulvex-viewer: the start-up box, then the main window; an optional run path opens that run.
#include <QApplication>
#include <QDir>

#include "app/start_up.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KVRView2"));
  // The program's data directory is the real directory of the executable.
  const QString programDir = QDir(QCoreApplication::applicationDirPath()).canonicalPath();
  // A run given on the command line, taken relative to where the program was started.
  const QStringList args = QCoreApplication::arguments();
  const QString runFile = args.size() > 1 ? QDir::current().absoluteFilePath(args.at(1)) : QString();

  const auto form = hulvex::StartUp(programDir, runFile);
  return QApplication::exec();
}

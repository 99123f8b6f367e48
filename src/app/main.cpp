// hulvex-viewer: the start-up box, then the main window; an optional run path opens that run.
// --help and --version are answered before the application object exists (no display needed);
// --check opens the run without a user and reports (CheckRun).
#include <QApplication>
#include <QDir>

#include <iostream>

#include "app/check_run.h"
#include "app/start_up.h"
#include "app/viewer_application.h"
#include "app/viewer_arguments.h"

int main(int argc, char** argv) {
  using Action = hulvex::ViewerArguments::Action;
  const hulvex::ViewerArguments args = hulvex::ParseViewerArguments(argc, argv);
  switch (args.action) {
    case Action::Help: std::cout << hulvex::ViewerHelp(); return 0;
    case Action::Version: std::cout << hulvex::ViewerVersion() << "\n"; return 0;
    case Action::BadUsage:
      std::cerr << "hulvex-viewer: " << args.Problem << "\nTry 'hulvex-viewer --help' for more information.\n";
      return 2;
    case Action::Start:
    case Action::Check: break;
  }

  // The command line is the viewer's own: Qt sees the program name only.
  int qtArgc = 1;
  hulvex::ViewerApplication app(qtArgc, argv);
  QApplication::setApplicationName(QStringLiteral("KVRView2"));
  // The program's data directory is the real directory of the executable.
  const QString programDir = QDir(QCoreApplication::applicationDirPath()).canonicalPath();
  // A run given on the command line, taken relative to where the program was started.
  const QString runFile =
      args.RunFile.empty() ? QString() : QDir::current().absoluteFilePath(QString::fromLocal8Bit(args.RunFile.c_str()));

  if (args.action == Action::Check) return hulvex::CheckRun(programDir, runFile, std::cout, std::cerr);
  QStringList compared;  // absolute: the start-up makes the program's directory current
  for (const std::string& r : args.ComparedRuns) compared << QDir::current().absoluteFilePath(QString::fromLocal8Bit(r.c_str()));
  const auto form = hulvex::StartUp(programDir, runFile, compared, args.Follow);
  return QApplication::exec();
}

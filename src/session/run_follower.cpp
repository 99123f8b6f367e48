#include "session/run_follower.h"

#include <exception>

#include "common/number_format.h"
#include "session/viewer_session.h"

namespace hulvex {

RunFollower::RunFollower(ViewerSession& session, QObject* parent) : QObject(parent), session_(session) {
  poll_.setInterval(1000);
  connect(&poll_, &QTimer::timeout, this, &RunFollower::Look);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &RunFollower::Look);
  connect(&session_, &ViewerSession::RunOpened, this, [this] {
    updated_ = QDateTime::currentDateTime();
    Rewatch();
  });
  connect(&session_, &ViewerSession::RunClosing, this, [this] {
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
  });
  connect(&session_, &ViewerSession::FollowChanged, this, &RunFollower::Rewatch);
  connect(&session_, &ViewerSession::RunGrew, this, [this] {
    updated_ = QDateTime::currentDateTime();
    emit StatusChanged(StatusText());
  });
}

QString RunFollower::StatusText() const {
  if (!session_.Following() || !session_.RunLoaded()) return {};
  const TimeHistory& h = session_.Reference().History;
  return QStringLiteral("Following: %1 steps, last at %2 (updated %3)")
      .arg(h.StepCount())
      .arg(QString::fromStdString(FormatSeconds(h.StepTimes.back())))
      .arg(updated_.toString(QStringLiteral("HH:mm:ss")));
}

void RunFollower::Look() {
  if (!session_.Following()) return;
  CollectingDiagnostics messages;
  if (session_.RunLoaded()) {
    session_.ExtendReference(messages);
  } else {
    // An open that found no step yet: opened when the first step is there.
    const std::string path = session_.Reference().RunPath;
    if (path.empty() || CountStepsPresent(path) == 0) return;
    try {
      session_.Open(path, messages);
    } catch (const std::exception& e) {
      messages.Message("error", e.what());
    }
  }
  // Told after the look, so that they stay on the status line over the new status.
  for (const Diagnostic& d : messages.diagnostics)
    emit Message(QString::fromStdString(d.Kind), QString::fromStdString(d.Text));
  if (!session_.RunLoaded()) return;
  // A writer that replaces the file ends the watch of the old one: watch the path again.
  const QString path = QString::fromStdString(session_.Reference().History.FilePath);
  if (session_.RunLoaded() && !watcher_.files().contains(path)) watcher_.addPath(path);
}

void RunFollower::Rewatch() {
  if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
  if (session_.Following()) {
    if (session_.RunLoaded()) watcher_.addPath(QString::fromStdString(session_.Reference().History.FilePath));
    poll_.start();
  } else {
    poll_.stop();
  }
  emit StatusChanged(StatusText());
}

}  // namespace hulvex

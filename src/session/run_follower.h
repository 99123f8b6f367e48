// Watching the reference run's time history while the session follows it.
#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include "common/diagnostics.h"

namespace hulvex {

class ViewerSession;

// While `session` follows its reference run, every change notice of its ".TTS" file
// (QFileSystemWatcher) and every tick of a one-second poll (notices are unreliable on network
// file systems) asks the session to extend the run (ExtendReference); a run whose open found no
// step yet is opened once its first step is there. A Qt child of `parent`;
// `session` must outlive it.
class RunFollower : public QObject {
  Q_OBJECT
public:
  explicit RunFollower(ViewerSession& session, QObject* parent = nullptr);

  // "Following: N steps, last at T s (updated HH:MM:SS)", HH:MM:SS the local time the steps last
  // grew (or the run was opened); empty while not following or no run is loaded.
  QString StatusText() const;
  // One look at the file now: what the poll and the watcher do.
  void Look();
  // The poll's interval, ms (1000).
  int PollInterval() const { return poll_.interval(); }

signals:
  // The status text changed (a growth, an open, follow mode switched).
  void StatusChanged(const QString& text);
  // A message of a look: a change that was not growth, a run that could not be read anew.
  void Message(const QString& kind, const QString& text);

private:
  // Watches the reference's file while following (and nothing else), and tells the status.
  void Rewatch();

  ViewerSession& session_;
  QFileSystemWatcher watcher_;
  QTimer poll_;
  QDateTime updated_;
};

}  // namespace hulvex

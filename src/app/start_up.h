// The start-up sequence of the viewer, up to the message loop.
#pragma once

#include <QString>

#include <memory>

#include "app/main_window.h"

namespace hulvex {

// Creates the main window (not shown), shows the start-up box modally and waits for it to close,
// creates the video window and the multiplier dialog, makes `programDir` the current directory,
// shows the main window and, when `runFile` is not empty, opens that run as if it had been
// chosen in the dialog, then adds `comparedRuns` (absolute paths) as runs compared with it. Needs
// a QApplication. The caller runs the message loop.
// With `follow`, View > Follow is switched on before the run is opened.
std::unique_ptr<TForm1> StartUp(const QString& programDir, const QString& runFile, const QStringList& comparedRuns = {},
                                bool follow = false);

}  // namespace hulvex

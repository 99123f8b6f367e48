// hulvex-viewer --check: one open in the viewer's own windows, reported on streams instead of
// shown, so that an installation can be checked without a user.
#pragma once

#include <QString>

#include <iosfwd>

namespace hulvex {

// Creates the main window for `programDir` as start-up does (without the start-up box), makes
// `programDir` the current directory and opens `runFile` as the Open command does. Every message
// of the open goes to `err` as "message: TEXT". Writes one line to `out`: "hull drawable: BOATFILE"
// (the boat file that was read), "hull not drawable: REASON" or "run not loaded". Returns 0 when
// the run is loaded and its video is prepared, 1 otherwise. Needs a QApplication; runs no message loop.
int CheckRun(const QString& programDir, const QString& runFile, std::ostream& out, std::ostream& err);

}  // namespace hulvex

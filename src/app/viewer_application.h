// The viewer's application object.
#pragma once

#include <QApplication>

namespace hulvex {

// A QApplication whose every event handler starts with the vector registers' upper halves
// cleared (common/vector_state.h): Qt's painting of one window leaves them in use, and the next
// handler's arithmetic (a playback tick's frame, the statistics of a zoom) would pay for it.
class ViewerApplication : public QApplication {
public:
  ViewerApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace hulvex

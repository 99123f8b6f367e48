#include "app/viewer_application.h"

#include "common/vector_state.h"

namespace hulvex {

ViewerApplication::ViewerApplication(int& argc, char** argv) : QApplication(argc, argv) { ClearUpperVectorState(); }

bool ViewerApplication::notify(QObject* receiver, QEvent* event) {
  ClearUpperVectorState();
  return QApplication::notify(receiver, event);
}

}  // namespace hulvex

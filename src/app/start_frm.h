// The start-up box, shown once before the main window.
#pragma once

#include <QDialog>
#include <QPushButton>

namespace hulvex {

class TStartFrm : public QDialog {
  Q_OBJECT
public:
  explicit TStartFrm(QWidget* parent = nullptr);
  QPushButton* OKBtn = nullptr;
};

}  // namespace hulvex

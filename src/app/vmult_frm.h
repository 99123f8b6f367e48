// The dialog of the VideoTimeAdj command: the video time multiplier.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

namespace hulvex {

class TVmultFrm : public QDialog {
  Q_OBJECT
public:
  explicit TVmultFrm(QWidget* parent = nullptr);
  QLineEdit* Edit1 = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

protected:
  // Each time the dialog opens, the typing goes into Edit1 and replaces its whole text.
  void showEvent(QShowEvent* event) override;
};

}  // namespace hulvex

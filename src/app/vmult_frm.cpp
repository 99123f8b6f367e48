#include "app/vmult_frm.h"

#include <QGridLayout>
#include <QLabel>

namespace hulvex {

TVmultFrm::TVmultFrm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("VmultFrm"));
  setWindowTitle(QStringLiteral("Video Time Multiplier"));
  setFixedSize(290, 117);
  auto* grid = new QGridLayout(this);
  auto* hint = new QLabel(QStringLiteral("The bigger the number the slower the video motion."), this);
  hint->setWordWrap(true);  // the dialog's width is fixed; the font is the desktop's
  grid->addWidget(hint, 0, 0, 1, 2);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  // OK is not the default button: Enter does not close the dialog. Escape is Cancel (reject).
  OKBtn->setAutoDefault(false);
  OKBtn->setDefault(false);
  CancelBtn->setAutoDefault(false);
  grid->addWidget(Edit1, 1, 0);
  grid->addWidget(OKBtn, 1, 1);
  grid->addWidget(CancelBtn, 2, 1);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TVmultFrm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Edit1->setFocus();
  Edit1->selectAll();
}

}  // namespace hulvex

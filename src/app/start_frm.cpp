#include "app/start_frm.h"

#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

namespace hulvex {
namespace {

QLabel* Line(const QString& text, int pixelSize, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setPixelSize(pixelSize);
  label->setFont(font);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

}  // namespace

TStartFrm::TStartFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("StartFrm"));
  setWindowTitle(QStringLiteral("HULVEX Viewer Startup"));
  setFixedSize(532, 364);
  auto* layout = new QVBoxLayout(this);
  layout->addStretch();
  layout->addWidget(Line(QStringLiteral(" 3 Degrees of Freedom Time Domain Planing Boat Simulation"), 16, this));
  layout->addSpacing(24);
  QLabel* title = Line(QStringLiteral("HULVEX Demo Viewer V.2"), 32, this);
  QFont italic = title->font();
  italic.setItalic(true);
  title->setFont(italic);
  title->setStyleSheet(QStringLiteral("color: blue;"));
  layout->addWidget(title);
  layout->addSpacing(24);
  layout->addWidget(Line(QStringLiteral("For Version 4.3+"), 13, this));
  layout->addStretch();
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(OKBtn);
  row->addStretch();
  layout->addLayout(row);
  // OK is also the cancel button: Escape closes the box the same way (QDialog's reject).
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace hulvex

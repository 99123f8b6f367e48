#include "app/gui_messages.h"

#include <QMessageBox>

#include <utility>

namespace hulvex {

CommandMessages::CommandMessages(std::function<QWidget*()> owner)
    : present([owner = std::move(owner)](const QString& text) {
        QMessageBox::information(owner(), QStringLiteral("KVRView2"), text);
      }) {}

void CommandMessages::Report(const Diagnostic& d) { summary_.Add(d); }

QString CommandMessages::SummaryText() const { return QString::fromStdString(summary_.Text()); }

void CommandMessages::Flush() {
  if (summary_.Empty()) return;
  const QString text = SummaryText();
  summary_.Clear();
  present(text);
}

}  // namespace hulvex

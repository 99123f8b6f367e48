#include "app/gui_messages.h"

#include <QMessageBox>

namespace hulvex {

CommandMessages::CommandMessages(QWidget* parent)
    : present([parent](const QString& text) { QMessageBox::information(parent, QStringLiteral("KVRView2"), text); }) {}

void CommandMessages::Message(const std::string& text) {
  for (auto& [seen, count] : pending_) {
    if (seen == text) {
      ++count;
      return;
    }
  }
  pending_.emplace_back(text, 1);
}

void CommandMessages::Flush() {
  auto pending = std::move(pending_);
  pending_.clear();
  for (const auto& [text, count] : pending) {
    QString shown = QString::fromStdString(text);
    if (count > 1) shown += QStringLiteral("\n\n(%1 times)").arg(count);
    present(shown);
  }
}

}  // namespace hulvex

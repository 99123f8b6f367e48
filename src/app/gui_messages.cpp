#include "app/gui_messages.h"

#include <QMessageBox>

namespace hulvex {

CommandMessages::CommandMessages(std::function<QWidget*()> owner)
    : present([owner = std::move(owner)](const QString& text) {
        QMessageBox::information(owner(), QStringLiteral("KVRView2"), text);
      }) {}

void CommandMessages::Message(const std::string& text) {
  for (auto& [seen, count] : shown_) {
    if (seen == text) {
      ++count;
      return;
    }
  }
  if (shown_.size() < kShownTexts) {
    shown_.emplace_back(text, 1);
  } else {
    ++more_;
  }
}

QString CommandMessages::SummaryText() const {
  QStringList lines;
  for (const auto& [text, count] : shown_) {
    QString line = QString::fromStdString(text);
    if (count > 1) line += QStringLiteral(" (%1 times)").arg(count);
    lines << line;
  }
  if (more_ == 1) lines << QStringLiteral("… and 1 more message");
  if (more_ > 1) lines << QStringLiteral("… and %1 more messages").arg(more_);
  return lines.join(QLatin1Char('\n'));
}

void CommandMessages::Flush() {
  if (shown_.empty()) return;
  const QString text = SummaryText();
  shown_.clear();
  more_ = 0;
  present(text);
}

}  // namespace hulvex

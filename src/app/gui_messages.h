// Messages of one command in the main window: collected while the command runs, then shown in one
// box at its end.
#pragma once

#include <QString>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/diagnostics.h"

namespace hulvex {

class CommandMessages : public Diagnostics {
public:
  // How many distinct texts one box lists; messages with further texts are only counted.
  static constexpr std::size_t kShownTexts = 10;

  // Shows the summary of one command; by default a modal box with an OK button, owned by the
  // window `owner` returns when the box opens (so that it stacks above it). Tests replace it.
  using Presenter = std::function<void(const QString& text)>;
  explicit CommandMessages(std::function<QWidget*()> owner);

  // Constant time per message (at most kShownTexts comparisons), so a flood of distinct texts
  // costs little.
  void Message(const std::string& text) override;
  // Shows what was collected, if anything, as one text (SummaryText) and forgets it.
  void Flush();
  // The texts in the order of first appearance, one a line, with " (N times)" after a text that
  // came N > 1 times; then "… and N more messages" for the messages whose texts did not fit.
  QString SummaryText() const;

  Presenter present;

private:
  std::vector<std::pair<std::string, std::size_t>> shown_;
  std::size_t more_ = 0;
};

}  // namespace hulvex

// Messages of one command in the main window: collected while the command runs, then shown in one
// box at its end.
#pragma once

#include <QString>
#include <QWidget>

#include <cstddef>
#include <functional>

#include "common/diagnostics.h"

namespace hulvex {

class CommandMessages : public Diagnostics {
public:
  // How many kinds of message one box lists; messages of further kinds are only counted.
  static constexpr std::size_t kShownKinds = MessageSummary::kShownKinds;

  // Shows the summary of one command; by default a modal box with an OK button, owned by the
  // window `owner` returns when the box opens (so that it stacks above it). Tests replace it.
  using Presenter = std::function<void(const QString& text)>;
  explicit CommandMessages(std::function<QWidget*()> owner);

  // Constant time per message (MessageSummary::Add), so a flood costs little.
  void Report(const Diagnostic& d) override;
  // Shows what was collected, if anything, as one text (SummaryText) and forgets it.
  void Flush();
  // The MessageSummary of the messages collected: each kind once, one a line, with its first text
  // and " (N times)"; then "… and N more messages" for the messages of kinds that did not fit.
  QString SummaryText() const;

  Presenter present;

private:
  MessageSummary summary_;
};

}  // namespace hulvex

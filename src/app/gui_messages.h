// Messages of one command in the main window: collected while the command runs, then shown, each
// distinct text once (with how often it came when it repeated).
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/diagnostics.h"

namespace hulvex {

class CommandMessages : public Diagnostics {
public:
  // Shows one message; by default a modal box with an OK button. Tests replace it.
  using Presenter = std::function<void(const QString& text)>;
  explicit CommandMessages(QWidget* parent);

  void Message(const std::string& text) override;
  // Shows what was collected, in the order of first appearance, and forgets it.
  void Flush();

  Presenter present;

private:
  std::vector<std::pair<std::string, int>> pending_;
};

}  // namespace hulvex

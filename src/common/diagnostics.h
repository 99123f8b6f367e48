// Messages that do not end a command: the core reports them here, the caller decides how they show.
#pragma once

#include <string>
#include <vector>

namespace hulvex {

// Receives the messages the program shows to the user (step-number mismatches, refused settings,
// slope checks, ...). The text is the complete message. Implemented by the GUI (message boxes or a
// status line), the CLI (stderr) and the tests (a list).
class Diagnostics {
public:
  virtual ~Diagnostics() = default;
  virtual void Message(const std::string& text) = 0;
};

// Keeps every message in order; for tests and for callers that show messages after a command.
class CollectingDiagnostics : public Diagnostics {
public:
  void Message(const std::string& text) override;
  std::vector<std::string> messages;
};

// Drops every message.
class NullDiagnostics : public Diagnostics {
public:
  void Message(const std::string& text) override;
};

}  // namespace hulvex

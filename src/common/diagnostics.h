// Messages that do not end a command: the core reports them here, the caller decides how they show.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hulvex {

// One message: `Kind` is a short stable key naming the fault ("step-number", "boat-file",
// "spline-slope"), the same for every occurrence of that fault however its text varies; `Text` is
// the complete message the user reads.
struct Diagnostic {
  std::string Kind;
  std::string Text;
};

// Receives the messages the program shows to the user (step-number mismatches, refused settings,
// slope checks, ...). Implemented by the GUI (message boxes or a status line), the CLI (stderr) and
// the tests (a list).
class Diagnostics {
public:
  virtual ~Diagnostics() = default;
  virtual void Report(const Diagnostic& d) = 0;
  // Report({kind, text}).
  void Message(std::string kind, std::string text);
};

// Keeps every message in order; for tests and for callers that show messages after a command.
// `messages` holds the texts, `diagnostics` the same messages with their kinds.
class CollectingDiagnostics : public Diagnostics {
public:
  void Report(const Diagnostic& d) override;
  std::vector<std::string> messages;
  std::vector<Diagnostic> diagnostics;
};

// Drops every message.
class NullDiagnostics : public Diagnostics {
public:
  void Report(const Diagnostic& d) override;
};

// A summary of many messages for one place on the screen: each kind once, in the order of first
// appearance, with the text of its first message and " (N times)" when it came N > 1 times; at most
// kShownKinds kinds, then "… and N more messages" for the messages of further kinds. Each Add costs
// at most kShownKinds comparisons, so a flood costs a counter.
class MessageSummary {
public:
  static constexpr std::size_t kShownKinds = 10;

  void Add(const Diagnostic& d);
  bool Empty() const { return shown_.empty(); }
  // The summary, one kind a line (or joined by `separator`), then the "more" line if any; "" when
  // empty.
  std::string Text(std::string_view separator = "\n") const;
  void Clear();

private:
  struct Entry {
    std::string kind;
    std::string example;
    std::size_t count;
  };
  std::vector<Entry> shown_;
  std::size_t more_ = 0;
};

}  // namespace hulvex

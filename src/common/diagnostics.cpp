#include "common/diagnostics.h"

namespace hulvex {

void Diagnostics::Message(std::string kind, std::string text) { Report({std::move(kind), std::move(text)}); }

void CollectingDiagnostics::Report(const Diagnostic& d) {
  messages.push_back(d.Text);
  diagnostics.push_back(d);
}

void NullDiagnostics::Report(const Diagnostic&) {}

void MessageSummary::Add(const Diagnostic& d) {
  for (Entry& e : shown_) {
    if (e.kind == d.Kind) {
      ++e.count;
      return;
    }
  }
  if (shown_.size() < kShownKinds) {
    shown_.push_back({d.Kind, d.Text, 1});
  } else {
    ++more_;
  }
}

std::string MessageSummary::Text(std::string_view separator) const {
  std::string text;
  bool first = true;
  const auto line = [&](const std::string& s) {
    if (!first) text += separator;
    text += s;
    first = false;
  };
  for (const Entry& e : shown_) line(e.count > 1 ? e.example + " (" + std::to_string(e.count) + " times)" : e.example);
  if (more_ == 1) line("… and 1 more message");
  if (more_ > 1) line("… and " + std::to_string(more_) + " more messages");
  return text;
}

void MessageSummary::Clear() {
  shown_.clear();
  more_ = 0;
}

}  // namespace hulvex

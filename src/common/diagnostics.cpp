#include "common/diagnostics.h"

namespace hulvex {

void CollectingDiagnostics::Message(const std::string& text) { messages.push_back(text); }

void NullDiagnostics::Message(const std::string&) {}

}  // namespace hulvex

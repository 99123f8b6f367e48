// Checks of the program's own invariants: a failure is a programming fault, never a bad input.
#pragma once

#include <stdexcept>

namespace hulvex {

// Thrown when an invariant of the program does not hold. Deliberately not an Error: the handlers of
// a command report it like any std::exception, but code that recovers from bad input (catching
// Error) does not swallow it.
class InternalError : public std::logic_error {
public:
  using std::logic_error::logic_error;
};

// Throws InternalError "Internal error: CONDITION (file:line)". Never aborts.
[[noreturn]] void FailedAssertion(const char* condition, const char* file, int line);

}  // namespace hulvex

// Checks `cond`, a condition that only a fault in the program can make false (the caller's
// precondition, an internal invariant); input from files and users is checked with Error instead.
#define HULVEX_ASSERT(cond) \
  ((cond) ? static_cast<void>(0) : ::hulvex::FailedAssertion(#cond, __FILE__, __LINE__))

// Figures that may be missing, written the one way every report writes them: the value, or null
// followed by the key with "Reason" appended and the reason.
#pragma once

#include <string>

#include "analysis/series.h"
#include "report/json_writer.h"

namespace hulvex {

inline void WriteFigure(JsonWriter& j, const char* key, const analysis::Maybe<double>& v) {
  j.Key(key);
  if (v.has_value()) {
    j.Number(*v);
  } else {
    j.Null();
    j.Key(std::string(key) + "Reason").String(v.Reason);
  }
}

// Writes `key`: null and `key`Reason for a missing block; else `key` and calls body(value).
template <typename T, typename Body>
void WriteBlock(JsonWriter& j, const char* key, const analysis::Maybe<T>& block, Body body) {
  j.Key(key);
  if (!block.has_value()) {
    j.Null();
    j.Key(std::string(key) + "Reason").String(block.Reason);
    return;
  }
  body(*block);
}

}  // namespace hulvex

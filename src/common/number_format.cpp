#include "common/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace hulvex {

std::string FormatFixed(double v, int width, int decimals) {
  std::string body;
  if (std::isnan(v)) {
    body = "NaN";
  } else if (std::isinf(v)) {
    body = v > 0 ? "+Inf" : "-Inf";
  } else {
    // Large enough for the widest double in fixed notation (309 digits and the decimals).
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    body = buf;
  }
  if (static_cast<int>(body.size()) < width) body.insert(0, static_cast<std::size_t>(width) - body.size(), ' ');
  return body;
}

std::string FormatSignificant(double v, int digits) {
  char buf[400];  // "%.Ng" never writes more than a sign, N digits, a point and an exponent
  std::snprintf(buf, sizeof buf, "%.*g", digits, v);
  return buf;
}

std::string FormatSeconds(double t) { return FormatSignificant(t, 9) + " s"; }

std::string FormatJsonNumber(double v) {
  if (std::isnan(v)) return "\"NaN\"";
  if (std::isinf(v)) return v > 0 ? "\"Infinity\"" : "\"-Infinity\"";
  // The shortest round-trip digits in scientific form: [-]D[.DDD]e±XX.
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  const std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));
  const std::size_t e = sci.find('e');
  const char* sign = sci.data() + e + 1;  // '+' or '-', which from_chars does not take
  int exponent = 0;
  std::from_chars(sign + 1, sci.data() + sci.size(), exponent);
  if (*sign == '-') exponent = -exponent;
  if (exponent < -4 || exponent >= 17) return std::string(sci);

  const bool negative = sci.front() == '-';
  std::string digits;
  for (char c : sci.substr(0, e))
    if (c >= '0' && c <= '9') digits += c;
  std::string text = negative ? "-" : "";
  if (exponent < 0) {
    text += "0.";
    text.append(static_cast<std::size_t>(-exponent - 1), '0');
    text += digits;
  } else {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      text += digits;
      text.append(whole - digits.size(), '0');
    } else {
      text += digits.substr(0, whole);
      text += '.';
      text += digits.substr(whole);
    }
  }
  return text;
}

}  // namespace hulvex

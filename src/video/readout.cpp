#include "video/readout.h"

#include "common/number_format.h"
#include "runfiles/time_history.h"

namespace hulvex {
namespace {

void AppendCut(std::string& text, const std::string& piece, std::size_t limit) {
  text += piece;
  if (text.size() > limit) text.resize(limit);
}

}  // namespace

std::string ReadoutText(double T, double Accel, double Speed) {
  constexpr std::size_t kNumberMax = 15;
  std::string t = FormatFixed(T, 12, 6);
  std::string v = FormatFixed(Speed * kFtPerSToKnots, 12, 2);
  std::string a = FormatFixed(Accel * kFtPerS2ToG, 12, 3);
  for (std::string* s : {&t, &v, &a})
    if (s->size() > kNumberMax) s->resize(kNumberMax);
  std::string text = t;
  AppendCut(text, v, 30);
  AppendCut(text, "kt", 32);
  AppendCut(text, a, 47);
  AppendCut(text, "g", 48);
  return text;
}

}  // namespace hulvex

#include "demo/spline_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "demo/run_writers.h"

namespace hulvex::demo {
namespace {

constexpr double kLength = 24.0;
constexpr double kStemHead = -1.5;

double F(double v) { return static_cast<float>(v); }

// Heights above the base level and half-breadths of the sample hull at station x.
double Keel(double x) { return 0.4 + 1.6 * std::exp(-std::max(x, 0.0) / 3.0); }
double ChineHeight(double x) { return 1.2 + 0.8 * std::exp(-std::max(x, 0.0) / 4.0); }
double ChineBeam(double x) {
  x = std::max(x, 0.0);
  return x <= 10 ? 4.0 * (x / 10) * (2 - x / 10) : 4.0 - 0.002 * (x - 10) * (x - 10);
}
double InnerBeam(double x) { return 0.8 * ChineBeam(x); }
double InnerHeight(double x) { return Keel(x) + 0.75 * (ChineHeight(x) - Keel(x)); }
double ChineAngle(double x) { return 8.0 + 4.0 * std::max(x, 0.0) / kLength; }
double Gunwale(double x) { return 4.4 - 4.1 * std::exp(-(x - kStemHead) / 3.0); }
double Sheer(double x) { return 5.0 + 0.8 * std::exp(-(x - kStemHead) / 4.0); }
double KeelSlopeFactor(double x) { return 1.0 + 0.1 * std::max(x, 0.0) / kLength; }
double ChineSlopeFactor(double) { return 1.3; }

}  // namespace

SplineTable SampleSplineTable(SplineLayout layout, int rows) {
  SplineTable t;
  t.Layout = layout;
  const bool hullLines = layout != SplineLayout::SlopeFactor;
  const int bottomRows = hullLines ? rows - 1 : rows;  // rows from station 0 to the transom
  for (int i = 0; i < rows; ++i) {
    const int j = hullLines ? i - 1 : i;  // row number
    const double x = j < 0 ? kStemHead : kLength * std::pow(static_cast<double>(j) / (bottomRows - 1), 1.2);
    std::vector<double> r;
    switch (layout) {
      case SplineLayout::PlainChine:
        r = {x, Keel(x), ChineBeam(x), ChineHeight(x), Gunwale(x), Sheer(x), KeelSlopeFactor(x), ChineSlopeFactor(x)};
        break;
      case SplineLayout::InnerChine:
        r = {x,          Keel(x),    InnerBeam(x), InnerHeight(x),    ChineBeam(x),
             ChineHeight(x), Gunwale(x), Sheer(x), KeelSlopeFactor(x), ChineSlopeFactor(x)};
        break;
      case SplineLayout::ChineAngle:
        r = {x,             Keel(x),    InnerBeam(x), InnerHeight(x),    ChineBeam(x),
             ChineAngle(x), Gunwale(x), Sheer(x),     KeelSlopeFactor(x), ChineSlopeFactor(x)};
        break;
      case SplineLayout::SlopeFactor: r = {x, KeelSlopeFactor(x), ChineSlopeFactor(x)}; break;
    }
    for (double& v : r) v = F(v);
    t.Rows.push_back(std::move(r));
  }
  return t;
}

std::string FormatSplineText(const SplineTable& table, const SplineTextOptions& o) {
  std::string text;
  char buf[40];
  for (std::size_t i = 0; i < table.Rows.size(); ++i) {
    if (i > 0)
      for (int b = 0; b < o.BlankLinesBetweenRows; ++b) text += o.LineEnd;
    const auto& row = table.Rows[i];
    for (std::size_t k = 0; k < row.size(); ++k) {
      if (k > 0) {
        const bool newLine = o.NumbersPerLine > 0 && k % static_cast<std::size_t>(o.NumbersPerLine) == 0;
        text += newLine ? o.LineEnd : o.Separator;
      }
      if (o.Replace && o.Replace->Row == static_cast<int>(i) && o.Replace->Position == static_cast<int>(k)) {
        text += o.Replace->Text;
      } else {
        std::snprintf(buf, sizeof buf, "%.9g", row[k]);
        text += buf;
      }
    }
    text += o.Comment;
    text += o.LineEnd;
  }
  for (int b = 0; b < o.TrailingBlankLines; ++b) text += o.LineEnd;
  if (o.EndWithCode26) {
    text += '\x1A';
    text += o.AfterCode26;
  }
  return text;
}

void WriteSplineFile(const std::string& path, const SplineTable& table, const SplineTextOptions& options) {
  WriteTextFile(path, FormatSplineText(table, options));
}

}  // namespace hulvex::demo

#include "spline/spline_files.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <span>
#include <system_error>

#include "common/file_lookup.h"
#include "common/file_reading.h"

namespace hulvex {
namespace {

constexpr char kEndOfText = 26;

// One number position of a layout: the curve it fills and the first row of that curve's fit.
struct LayoutColumn {
  SplineCurve SplineStore::*Curve;
  int FitFrom;
};

using SS = SplineStore;
constexpr LayoutColumn kPlainChine[] = {
    {&SS::KeelCurve, 0},      {&SS::ChineBeamCurve, 0},  {&SS::ChineHeightCurve, 0}, {&SS::GunwaleCurve, -1},
    {&SS::SheerCurve, -1},    {&SS::KeelSlopeCurve, 0},  {&SS::ChineSlopeCurve, 0},
};
constexpr LayoutColumn kInnerChine[] = {
    {&SS::KeelCurve, 1},       {&SS::InnerBeamCurve, 1}, {&SS::InnerHeightCurve, 1},
    {&SS::ChineBeamCurve, 0},  {&SS::ChineHeightCurve, 0}, {&SS::GunwaleCurve, -1},
    {&SS::SheerCurve, -1},     {&SS::KeelSlopeCurve, 1},  {&SS::ChineSlopeCurve, 1},
};
constexpr LayoutColumn kChineAngle[] = {
    {&SS::KeelCurve, 0},      {&SS::InnerBeamCurve, 0}, {&SS::InnerHeightCurve, 0},
    {&SS::ChineBeamCurve, 0}, {&SS::ChineAngleCurve, 0}, {&SS::GunwaleCurve, -1},
    {&SS::SheerCurve, -1},    {&SS::KeelSlopeCurve, 0},  {&SS::ChineSlopeCurve, 0},
};
constexpr LayoutColumn kSlopeFactor[] = {
    {&SS::KeelSlopeCurve, 0},
    {&SS::ChineSlopeCurve, 0},
};

std::span<const LayoutColumn> ColumnsOf(SplineLayout layout) {
  switch (layout) {
    case SplineLayout::PlainChine: return kPlainChine;
    case SplineLayout::InnerChine: return kInnerChine;
    case SplineLayout::ChineAngle: return kChineAngle;
    case SplineLayout::SlopeFactor: return kSlopeFactor;
  }
  return {};
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal real: optional sign, digits with an optional decimal point (at least one digit),
// optional exponent. Out-of-range values (as float32) are refused.
std::optional<float> ParseReal(std::string_view token) {
  std::size_t i = 0;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
  int digits = 0;
  while (i < token.size() && IsDigit(token[i])) ++i, ++digits;
  if (i < token.size() && token[i] == '.') {
    ++i;
    while (i < token.size() && IsDigit(token[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
    ++i;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    int expDigits = 0;
    while (i < token.size() && IsDigit(token[i])) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != token.size()) return std::nullopt;

  const bool negative = token[0] == '-';
  const std::string_view body = (token[0] == '+' || token[0] == '-') ? token.substr(1) : token;
  double v = 0;
  const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), v, std::chars_format::general);
  if (end != body.data() + body.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    // Too small for a double reads as 0; too large is refused.
    const auto e = body.find_first_of("eE");
    if (e == std::string_view::npos || body[e + 1] != '-') return std::nullopt;
    v = 0;
  } else if (ec != std::errc()) {
    return std::nullopt;
  }
  if (std::fabs(v) > std::numeric_limits<float>::max()) return std::nullopt;
  return static_cast<float>(negative ? -v : v);
}

std::optional<std::string> FindIn(const std::string& dir, const std::string& name) {
  if (dir.empty()) return std::nullopt;
  return FindInDirectory(dir, name);
}

std::optional<std::string> FindInRunOrDataDirs(const SplineFileSource& source, const std::string& name) {
  if (auto found = FindIn(source.RunDir, name)) return found;
  for (const std::string& dir : source.DataDirs)
    if (auto found = FindIn(dir, name)) return found;
  return std::nullopt;
}

// Rows of a table start at station row -1 for the hull lines, at 0 for the slope factors.
int FirstRowOf(SplineLayout layout) { return layout == SplineLayout::SlopeFactor ? 0 : -1; }

std::string Rejected(const std::string& fileName, const std::string& problem) {
  return "Spline file " + fileName + " rejected: " + problem;
}

}  // namespace

bool LoadSplineFile(SplineLayout layout, SplineStore& store, const SplineFileSource& source, Diagnostics& diag) {
  const auto path = FindSplineFile(source);
  const auto bytes = path ? ReadWholeFile(*path) : std::nullopt;
  if (!bytes) {
    diag.Message("spline-file", "No Spline File for=" + source.BoatFile);
    return false;
  }
  return StoreSplineTable(layout, ReadSplineText(*bytes, NumbersPerRow(layout)), *path, store, diag);
}

int NumbersPerRow(SplineLayout layout) { return 1 + static_cast<int>(ColumnsOf(layout).size()); }

int MinimumRows(SplineLayout layout) {
  switch (layout) {
    case SplineLayout::PlainChine: return 5;
    case SplineLayout::InnerChine: return 6;
    case SplineLayout::ChineAngle: return 5;
    case SplineLayout::SlopeFactor: return 4;
  }
  return 0;
}

SplineText ReadSplineText(std::string_view text, int numbersPerRow) {
  const auto end = text.find(kEndOfText);
  if (end != std::string_view::npos) text = text.substr(0, end);
  auto separator = [](char c) { return static_cast<unsigned char>(c) <= 32; };

  SplineText out;
  std::size_t pos = 0;
  int line = 1;
  while (pos < text.size()) {
    if (static_cast<int>(out.Rows.size()) == kMaximumSplineRows) {
      out.Problem = "more than " + std::to_string(kMaximumSplineRows) + " rows";
      return out;
    }
    std::vector<float> row(static_cast<std::size_t>(numbersPerRow), 0.0f);
    const int startLine = line;
    int rowLine = 0;
    for (int i = 0; i < numbersPerRow; ++i) {
      while (pos < text.size() && separator(text[pos])) {
        if (text[pos] == '\r') ++line;
        ++pos;
      }
      if (pos >= text.size()) break;  // numbers missing at the end of the text read as 0
      const std::size_t start = pos;
      while (pos < text.size() && !separator(text[pos])) ++pos;
      const std::string_view token = text.substr(start, pos - start);
      if (rowLine == 0) rowLine = line;
      const auto value = ParseReal(token);
      if (!value) {
        out.Problem = "Invalid numeric input \"" + std::string(token) + "\" on line " + std::to_string(line);
        return out;
      }
      row[static_cast<std::size_t>(i)] = *value;
    }
    out.LastRowFromBlanks = rowLine == 0;
    // The rest of the line: up to and including the next CR, and an LF right after it.
    while (pos < text.size() && text[pos] != '\r') ++pos;
    if (pos < text.size()) {
      ++pos;
      ++line;
      if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    out.Rows.push_back(std::move(row));
    out.RowLines.push_back(rowLine == 0 ? startLine : rowLine);
  }
  return out;
}

std::optional<std::string> FindSplineFile(const SplineFileSource& source) {
  const std::string& name = source.SplineFileName;
  if (name.empty()) return std::nullopt;
  std::error_code ec;
  if (std::filesystem::path(name).is_absolute()) {
    if (std::filesystem::is_regular_file(name, ec)) return name;
  } else {
    if (auto found = FindInRunOrDataDirs(source, name)) return found;
  }
  const std::string last = LastComponent(name, "\\/:");
  if (last.empty() || last == name) return std::nullopt;
  return FindInRunOrDataDirs(source, last);
}

std::optional<std::string> SplineTableProblem(SplineLayout layout, const SplineText& text) {
  if (!text.Problem.empty()) return text.Problem;
  const int rows = static_cast<int>(text.Rows.size());
  if (rows > kMaximumSplineRows) return "more than " + std::to_string(kMaximumSplineRows) + " rows";
  if (rows < MinimumRows(layout))
    return std::to_string(rows) + " rows, fewer than the " + std::to_string(MinimumRows(layout)) + " this layout needs";
  const int firstRow = FirstRowOf(layout);
  for (int i = 1; i < rows; ++i) {
    if (!(text.Rows[i][0] > text.Rows[i - 1][0])) {
      std::string problem = "the stations do not increase strictly at row " + std::to_string(firstRow + i) +
                            " (line " + std::to_string(text.RowLines[i]) + ")";
      if (i == rows - 1 && text.LastRowFromBlanks) problem += "; blank lines after the last row read as a row of zeros";
      return problem;
    }
  }
  return std::nullopt;
}

void StoreSplineColumns(SplineLayout layout, const SplineText& text, SplineStore& store) {
  const auto columns = ColumnsOf(layout);
  const int firstRow = FirstRowOf(layout);
  const int rows = static_cast<int>(text.Rows.size());
  for (int i = 0; i < rows; ++i) {
    const int r = firstRow + i;
    store.StationX[r] = text.Rows[i][0];
    for (std::size_t c = 0; c < columns.size(); ++c) (store.*columns[c].Curve).Values[r] = text.Rows[i][c + 1];
  }
  const int last = firstRow + rows - 1;
  store.LastRow = static_cast<std::int16_t>(last);

  auto fillKnots = [&](KnotSet& set, int from) {
    set.Count = static_cast<std::int16_t>(last - from + 1);
    for (int r = from; r <= last; ++r) set.Knots[static_cast<std::size_t>(r - from)] = store.StationX[r];
  };
  fillKnots(store.BottomKnots, 0);
  if (layout == SplineLayout::SlopeFactor) return;
  store.ChineHeightCurve.Values[0] = store.KeelCurve.Values[0];
  fillKnots(store.GunwaleKnots, -1);
  if (layout == SplineLayout::InnerChine) {
    fillKnots(store.InnerKnots, 1);
    store.StemEndX = store.StationX[1];
  }
}

SplineHullDimensions DeriveHullDimensions(SplineLayout layout, const SplineStore& store) {
  const int last = store.LastRow;
  const SplineColumn& beam = store.ChineBeamCurve.Values;
  float maxBeam = 0;
  int jmax = last;
  for (int j = 0; j <= last; ++j) {
    if (beam[j] > maxBeam) {
      maxBeam = beam[j];
      jmax = j;
    }
  }
  // Sums and products in double, each rounded once as it is stored.
  const double z0 = store.KeelCurve.Values[0];
  const double lastBeam = beam[last];
  auto stored = [](double v) { return static_cast<float>(v); };
  SplineHullDimensions d;
  d.Beam = stored(2.0 * maxBeam);
  d.KeelDepth = stored(z0);
  d.Length = store.StationX[last];
  d.ForeLength = store.StationX[jmax];
  d.StemRake = -store.StationX[-1];
  d.GunwaleBeam = stored(2.0 * store.GunwaleCurve.Values[jmax]);
  d.SheerStem = stored(store.SheerCurve.Values[-1] - z0);
  if (layout == SplineLayout::PlainChine) {
    d.Transom = SplineHullDimensions::TransomFields{stored(2.0 * lastBeam), stored(store.SheerCurve.Values[last] - z0),
                                                    stored(store.GunwaleCurve.Values[last] - lastBeam)};
  }
  return d;
}

void FitSplineCurves(SplineLayout layout, SplineStore& store) {
  for (const LayoutColumn& c : ColumnsOf(layout)) {
    SplineCurve& curve = store.*c.Curve;
    FitSpline(store.StationX, curve.Values, c.FitFrom, store.LastRow, curve.Coefs);
  }
}

bool StoreSplineTable(SplineLayout layout, const SplineText& text, const std::string& fileName, SplineStore& store,
                      Diagnostics& diag) {
  if (const auto problem = SplineTableProblem(layout, text)) {
    diag.Message("spline-table", Rejected(fileName, *problem));
    return false;
  }
  StoreSplineColumns(layout, text, store);
  FitSplineCurves(layout, store);
  return true;
}

}  // namespace hulvex

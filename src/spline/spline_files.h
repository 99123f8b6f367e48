// The spline data files: plain-text tables of hull lines (three layouts) or of bottom slope
// factors, read into the SplineStore and fitted.
//
// Text format: 8-bit text; a line ends at CR (an LF after it is taken with it; a lone LF is not a
// line end). Numbers are runs of characters above code 32, separated by anything at or below
// code 32, line ends included, so a row may run over several lines. After a row's last number the
// rest of its line is skipped. The text ends at its physical end or at a code-26 byte; anything
// after the last row's line end (blank lines, blanks) reads as one more row of zeros.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/diagnostics.h"
#include "spline/spline_store.h"

namespace hulvex {

enum class SplineLayout {
  PlainChine,   // 8 numbers per row, rows -1 ... LastRow
  InnerChine,   // 10 numbers per row, rows -1 ... LastRow
  ChineAngle,   // 10 numbers per row, rows -1 ... LastRow
  SlopeFactor,  // 3 numbers per row, rows 0 ... LastRow
};

int NumbersPerRow(SplineLayout layout);
int MinimumRows(SplineLayout layout);   // 5, 6, 5, 4
constexpr int kMaximumSplineRows = 30;

// The rows of a spline text, as read, before any check of their meaning.
struct SplineText {
  std::vector<std::vector<float>> Rows;  // each of NumbersPerRow numbers
  std::vector<int> RowLines;             // the line (1-based) each row starts on
  bool LastRowFromBlanks = false;        // the last row held no number at all
  std::string Problem;                   // empty when every number parsed and at most 30 rows came
};

// Reads rows of `numbersPerRow` numbers until the end of the text. Stops at the first number that
// cannot be parsed ("Invalid numeric input ...") or at a 31st row ("more than 30 rows"), with
// Problem set.
SplineText ReadSplineText(std::string_view text, int numbersPerRow);

// Where a spline file is looked for, and what the missing-file message names.
struct SplineFileSource {
  std::string SplineFileName;  // from the boat record, used as given first
  std::string BoatFile;        // the run's boat-file name, for "No Spline File for="
  std::string RunDir;          // looked in first
  std::vector<std::string> DataDirs;  // then these, in order; empty ones skipped
};

// The spline file: the name as given (absolute, or relative to the run's directory, then to each
// data directory), then, for a name with a directory part, its last component; in each directory
// the exact name first, then a case-insensitive match. Nothing for an empty name or when no file
// is found.
std::optional<std::string> FindSplineFile(const SplineFileSource& source);

// The reason a read table cannot be stored in `layout`: the text's own Problem, more than 30 or
// fewer than MinimumRows rows, or stations that do not increase strictly. Nothing when it can.
std::optional<std::string> SplineTableProblem(SplineLayout layout, const SplineText& text);

// Writes a checked table into the store: the layout's columns, LastRow and the knot sets it
// evaluates on (for the hull lines also the keel height as the chine height of row 0). Curves the
// layout does not hold are left as they are. `text` must have passed SplineTableProblem.
void StoreSplineColumns(SplineLayout layout, const SplineText& text, SplineStore& store);

// The boat dimensions a hull-line table fixes, read from the stored columns (after
// StoreSplineColumns of a hull-line layout). The transom fields come only from the plain-chine
// layout.
struct SplineHullDimensions {
  struct TransomFields {
    float TransomBeam = 0;
    float SheerTransom = 0;
    float TransomFlare = 0;
  };
  float Beam = 0;
  float KeelDepth = 0;
  float Length = 0;
  float ForeLength = 0;
  float StemRake = 0;
  float GunwaleBeam = 0;
  float SheerStem = 0;
  std::optional<TransomFields> Transom;
};
SplineHullDimensions DeriveHullDimensions(SplineLayout layout, const SplineStore& store);

// Fits the not-a-knot splines of every curve the layout holds, rows FitFrom ... LastRow.
void FitSplineCurves(SplineLayout layout, SplineStore& store);

// Checks, stores and fits an already read table. A table with a problem is reported as "Spline
// file NAME rejected: ..." and leaves the store untouched (false).
bool StoreSplineTable(SplineLayout layout, const SplineText& text, const std::string& fileName, SplineStore& store,
                      Diagnostics& diag);

// Finds and reads the spline file of `source`, then StoreSplineTable. A file that cannot be
// found or read reports "No Spline File for=" + source.BoatFile and changes nothing. True when
// the store was updated.
bool LoadSplineFile(SplineLayout layout, SplineStore& store, const SplineFileSource& source, Diagnostics& diag);

}  // namespace hulvex

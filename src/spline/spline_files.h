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
#include "hull/boat_record.h"
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

// The hull-line layout a spline hull (HullType 7 and above) selects by SplineAlt and SplineAlt2.
SplineLayout HullLineLayoutOf(const BoatRecord& pb);

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
  std::string DataDir;         // then here; skipped when empty
};

// The spline file: the name as given (absolute, or relative to the run's directory, then to the
// data directory), then, for a name with a directory part, its last component; in each directory
// the exact name first, then a case-insensitive match. Nothing for an empty name or when no file
// is found.
std::optional<std::string> FindSplineFile(const SplineFileSource& source);

// Checks and stores an already read table. Rejects (reporting "Spline file NAME rejected: ...",
// store and boat untouched, false) a text with a Problem, more than 30 or fewer than
// MinimumRows rows, or stations that do not increase strictly. Otherwise writes the layout's
// columns, LastRow, knot sets and fits, and for the hull-line layouts the boat fields they set
// (`pb` may be null only for SlopeFactor), and returns true.
bool StoreSplineTable(SplineLayout layout, const SplineText& text, const std::string& fileName, SplineStore& store,
                      BoatRecord* pb, Diagnostics& diag);

// The four loaders: find and read the file, then StoreSplineTable. A file that cannot be found or
// read reports "No Spline File for=" + source.BoatFile and changes nothing. True when the store
// was updated.
bool LoadPlainChineFile(SplineStore& store, BoatRecord& pb, const SplineFileSource& source, Diagnostics& diag);
bool LoadInnerChineFile(SplineStore& store, BoatRecord& pb, const SplineFileSource& source, Diagnostics& diag);
bool LoadChineAngleFile(SplineStore& store, BoatRecord& pb, const SplineFileSource& source, Diagnostics& diag);
bool LoadSlopeFactorFile(SplineStore& store, const SplineFileSource& source, Diagnostics& diag);

}  // namespace hulvex

// Writers of spline data files (the four text layouts), for tests and the demo generator, with
// the faults the reader must cope with made on request.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "spline/spline_files.h"

namespace hulvex::demo {

// A table as it goes into a file: one row per station, NumbersPerRow(Layout) numbers each.
struct SplineTable {
  SplineLayout Layout = SplineLayout::PlainChine;
  std::vector<std::vector<double>> Rows;
};

// Smooth hull lines of a 24 ft planing boat (or slope factors along it), `rows` rows with
// strictly increasing stations: for the hull-line layouts the first row at -1.5 ft (the stem
// head), the second at 0 and the last at 24 ft; for the slope-factor layout from 0 to 24 ft.
// Every value is exactly a float32. Any row count above 2 is possible (31 makes a file too long).
SplineTable SampleSplineTable(SplineLayout layout, int rows = 12);

struct SplineTextOptions {
  std::string LineEnd = "\r\n";        // "\n" gives lone LFs
  std::string Separator = " ";         // between numbers
  int NumbersPerLine = 0;              // > 0: rows run over several lines of this many numbers
  std::string Comment;                 // written after each row's numbers, on its line
  int BlankLinesBetweenRows = 0;
  int TrailingBlankLines = 0;          // empty lines after the last row
  bool EndWithCode26 = false;          // a code-26 byte after the last line ...
  std::string AfterCode26;             // ... followed by this text
  struct Replacement {
    int Row = 0;       // 0-based row of the table
    int Position = 0;  // 0-based number in the row
    std::string Text;  // written instead of the number (letters inside numbers, ...)
  };
  std::optional<Replacement> Replace;
};

// The text of the file: numbers with 9 significant digits, each line ended by LineEnd.
std::string FormatSplineText(const SplineTable& table, const SplineTextOptions& options = {});
void WriteSplineFile(const std::string& path, const SplineTable& table, const SplineTextOptions& options = {});

}  // namespace hulvex::demo

// TWvLayoutTable: the rows of a container's table as the list of cells they
// write: empty cells that carry a row's height or a column's width, runs of
// empty cells joined into one, and the cells of elements. It is found by a
// sweep down the rows that looks only at the edges of covered stretches and
// at the columns whose width is still to be written, so it grows with the
// elements and the markup, never with rows times columns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavkit {

// The grid lines of one element with an area: columns [ColStart, ColEnd)
// and rows [RowStart, RowEnd), both ranges not empty.
struct TWvGridArea {
  int ColStart = 0;
  int ColEnd = 0;
  int RowStart = 0;
  int RowEnd = 0;
};

// The grid lines of one axis: the distinct values among edges, ascending,
// are the lines 0, 1, 2 ...; lines[i] becomes the line of edges[i]. Returns
// the extents between consecutive lines, the rows or columns of the grid.
std::vector<int> WvNumberGridLines(const std::vector<int>& edges, std::vector<int>& lines);

class TWvLayoutTable {
 public:
  // Where an element's area is covered by an element of a higher index, the
  // higher one wins, and an element whose top-left cell is won by another
  // has no cell. Returns false once the markup of the rows and empty cells
  // would go beyond maxMarkup bytes; the table is then incomplete.
  bool Build(std::vector<int> columnWidths, std::vector<int> rowHeights,
             const std::vector<TWvGridArea>& areas, std::int64_t maxMarkup);

  // The bytes of markup of the rows and empty cells.
  std::int64_t MarkupBytes() const { return FMarkupBytes; }

  // Appends the rows to out. Every element cell is left to writeElement,
  // with the element's index in areas and the height of its first row, in
  // the order of the table: rows top to bottom, cells left to right.
  void Write(
      std::string& out,
      const std::function<void(std::string& out, int element, int height)>& writeElement) const;

 private:
  enum TStepKind : std::uint8_t { skRow, skEmpty, skSizedEmpty, skRun, skElement, skRowEnd };
  struct TStep {
    TStepKind Kind;
    int Value;  // skSizedEmpty: the column; skRun: the cells; skElement: the element
  };

  void Emit(TStepKind kind, int value);
  void FlushRun(int& run);

  std::vector<int> FColumnWidths;
  std::vector<int> FRowHeights;
  std::vector<TStep> FSteps;
  std::int64_t FMarkupBytes = 0;
  int FRow = 0;  // the row being built, for the size of its markup
};

}  // namespace tavkit

// The cells of a container's table, found by a sweep down its rows.
#include <tavkit/layout/detail/WvLayoutTable.h>

#include <algorithm>
#include <charconv>
#include <numeric>
#include <string_view>

#include <tavkit/layout/detail/WvCoverTree.h>

namespace tavkit {

namespace {

constexpr std::string_view kRowTag = "<TR VALIGN=\"top\" ALIGN=\"left\">";
constexpr std::string_view kHeight = "<TD HEIGHT=";
constexpr std::string_view kWidth = " WIDTH=";
constexpr std::string_view kEmptyEnd = " ></TD>";
constexpr std::string_view kColSpan = "<TD COLSPAN=";
constexpr std::string_view kRunEnd = "></TD>";
constexpr std::string_view kOneCell = "<TD></TD>";
constexpr std::string_view kRowEnd = "</TR>";

std::int64_t Digits(int value) {
  char digits[16];
  return std::to_chars(digits, digits + sizeof digits, value).ptr - digits;
}

void AppendInt(std::string& out, int value) {
  char digits[16];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// order, stably sorted by key(element), which lies in [0, keys): a counting
// sort, in time linear in the elements and keys.
template <class Key>
std::vector<int> SortByKey(const std::vector<int>& order, int keys, Key key) {
  std::vector<std::size_t> first(static_cast<std::size_t>(keys) + 1, 0);
  for (int e : order) ++first[static_cast<std::size_t>(key(e)) + 1];
  for (std::size_t k = 1; k < first.size(); ++k) first[k] += first[k - 1];
  std::vector<int> sorted(order.size());
  for (int e : order) sorted[first[static_cast<std::size_t>(key(e))]++] = e;
  return sorted;
}

}  // namespace

std::vector<int> WvNumberGridLines(const std::vector<int>& edges, std::vector<int>& lines) {
  // Each edge as one 64-bit key, its value above its index, so that one sort
  // of plain numbers orders them; the sign bit is flipped to keep negative
  // values first.
  std::vector<std::uint64_t> keys(edges.size()), sorted(edges.size());
  for (std::size_t i = 0; i < edges.size(); ++i)
    keys[i] = std::uint64_t(std::uint32_t(edges[i]) ^ 0x80000000u) << 32 | i;
  // The layout sorts every edge on every put. A radix sort by the value's
  // four bytes, lowest first, is several times faster than a comparison
  // sort on many edges; on a few, its counting costs more than the sort.
  if (keys.size() < 256) std::sort(keys.begin(), keys.end());
  for (int shift = 32; shift < 64 && keys.size() >= 256; shift += 8) {
    std::size_t first[257] = {};
    for (std::uint64_t key : keys) ++first[(key >> shift & 0xFF) + 1];
    for (std::size_t d = 1; d < 257; ++d) first[d] += first[d - 1];
    for (std::uint64_t key : keys) sorted[first[key >> shift & 0xFF]++] = key;
    keys.swap(sorted);
  }
  lines.assign(edges.size(), 0);
  std::vector<int> extents;
  int line = -1;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const std::size_t edge = keys[k] & 0xFFFFFFFFu;
    if (k == 0 || (keys[k] >> 32) != (keys[k - 1] >> 32)) {
      if (k > 0) extents.push_back(edges[edge] - edges[keys[k - 1] & 0xFFFFFFFFu]);
      ++line;
    }
    lines[edge] = line;
  }
  return extents;
}

void TWvLayoutTable::Emit(TStepKind kind, int value) {
  FSteps.push_back(TStep{kind, value});
  const int height = FRowHeights[static_cast<std::size_t>(FRow)];
  switch (kind) {
    case skRow:
      FMarkupBytes += static_cast<std::int64_t>(kRowTag.size());
      break;
    case skEmpty:
      FMarkupBytes += static_cast<std::int64_t>(kHeight.size() + kEmptyEnd.size()) + Digits(height);
      break;
    case skSizedEmpty:
      FMarkupBytes += static_cast<std::int64_t>(kHeight.size() + kWidth.size() + kEmptyEnd.size()) +
                      Digits(height) + Digits(FColumnWidths[static_cast<std::size_t>(value)]);
      break;
    case skRun:
      FMarkupBytes +=
          value == 1 ? static_cast<std::int64_t>(kOneCell.size())
                     : static_cast<std::int64_t>(kColSpan.size() + kRunEnd.size()) + Digits(value);
      break;
    case skElement:
      break;
    case skRowEnd:
      FMarkupBytes += static_cast<std::int64_t>(kRowEnd.size());
      break;
  }
}

// Empty cells left of the current one that have not been written yet.
void TWvLayoutTable::FlushRun(int& run) {
  if (run > 0) Emit(skRun, run);
  run = 0;
}

bool TWvLayoutTable::Build(std::vector<int> columnWidths, std::vector<int> rowHeights,
                           const std::vector<TWvGridArea>& areas, std::int64_t maxMarkup) {
  FColumnWidths = std::move(columnWidths);
  FRowHeights = std::move(rowHeights);
  FSteps.clear();
  FMarkupBytes = 0;
  const int columns = static_cast<int>(FColumnWidths.size());
  const int rows = static_cast<int>(FRowHeights.size());
  const std::size_t count = areas.size();
  auto area = [&](int element) -> const TWvGridArea& {
    return areas[static_cast<std::size_t>(element)];
  };

  // Elements come into the sweep at their first row, left to right, and
  // leave it after their last.
  std::vector<int> elements(count);
  std::iota(elements.begin(), elements.end(), 0);
  const std::vector<int> byStart =
      SortByKey(SortByKey(elements, columns, [&](int e) { return area(e).ColStart; }), rows,
                [&](int e) { return area(e).RowStart; });
  const std::vector<int> byEnd =
      SortByKey(elements, rows + 1, [&](int e) { return area(e).RowEnd; });

  // A column's width is written once, by the first empty cell it has from
  // the top. unsized[c] leads to the first column from c rightwards whose
  // width is still to be written (columns itself when there is none), so
  // that runs of sized columns are passed over at once.
  std::vector<int> unsized(static_cast<std::size_t>(columns) + 1);
  std::iota(unsized.begin(), unsized.end(), 0);
  auto nextUnsized = [&](int c) {
    while (unsized[static_cast<std::size_t>(c)] != c) {
      int& link = unsized[static_cast<std::size_t>(c)];
      link = unsized[static_cast<std::size_t>(link)];
      c = link;
    }
    return c;
  };

  TWvCoverTree cover(columns, static_cast<int>(count));
  std::vector<int> origins;
  std::size_t started = 0, ended = 0;
  for (int r = 0; r < rows; ++r) {
    FRow = r;
    for (; ended < count && area(byEnd[ended]).RowEnd <= r; ++ended) {
      const TWvGridArea& a = area(byEnd[ended]);
      cover.Remove(a.ColStart, a.ColEnd, byEnd[ended]);
    }
    const std::size_t arriving = started;
    for (; started < count && area(byStart[started]).RowStart == r; ++started) {
      const TWvGridArea& a = area(byStart[started]);
      cover.Add(a.ColStart, a.ColEnd, byStart[started]);
    }
    origins.clear();
    for (std::size_t i = arriving; i < started; ++i)
      if (cover.TopChild(area(byStart[i]).ColStart) == byStart[i]) origins.push_back(byStart[i]);

    Emit(skRow, 0);
    int run = 0;
    int done = 0;  // the columns left of this one have been passed
    std::size_t origin = 0;
    // A covered stretch ends the pending run; the elements whose cells
    // start in it are written there.
    auto covered = [&](int end) {
      FlushRun(run);
      for (; origin < origins.size() && area(origins[origin]).ColStart < end; ++origin)
        Emit(skElement, origins[origin]);
    };
    for (const TWvColumnRange& stretch : cover.Uncovered()) {
      const int first = stretch.First, end = stretch.End;
      if (first > done) covered(first);
      int c = first;
      if (c == 0) {  // the first cell of a row is written, with the row's height
        Emit(nextUnsized(0) == 0 ? skSizedEmpty : skEmpty, 0);
        unsized[0] = 1;
        c = 1;
      }
      while (c < end) {
        const int next = nextUnsized(c);
        if (next >= end) {
          run += end - c;
          break;
        }
        run += next - c;
        FlushRun(run);
        Emit(skSizedEmpty, next);
        unsized[static_cast<std::size_t>(next)] = next + 1;
        c = next + 1;
      }
      done = end;
    }
    if (done < columns) covered(columns);
    // A row closes with its pending run, but one lone empty cell is left
    // out, and a row that ends without a pending run gets one empty cell.
    if (run != 1) Emit(skRun, run == 0 ? 1 : run);
    Emit(skRowEnd, 0);
    if (FMarkupBytes > maxMarkup) return false;
  }
  return true;
}

void TWvLayoutTable::Write(
    std::string& out,
    const std::function<void(std::string& out, int element, int height)>& writeElement) const {
  int row = -1;
  int height = 0;
  for (const TStep& step : FSteps) {
    switch (step.Kind) {
      case skRow:
        height = FRowHeights[static_cast<std::size_t>(++row)];
        out += kRowTag;
        break;
      case skEmpty:
        out += kHeight;
        AppendInt(out, height);
        out += kEmptyEnd;
        break;
      case skSizedEmpty:
        out += kHeight;
        AppendInt(out, height);
        out += kWidth;
        AppendInt(out, FColumnWidths[static_cast<std::size_t>(step.Value)]);
        out += kEmptyEnd;
        break;
      case skRun:
        if (step.Value == 1) {
          out += kOneCell;
        } else {
          out += kColSpan;
          AppendInt(out, step.Value);
          out += kRunEnd;
        }
        break;
      case skElement:
        writeElement(out, step.Value, height);
        break;
      case skRowEnd:
        out += kRowEnd;
        break;
    }
  }
}

}  // namespace tavkit

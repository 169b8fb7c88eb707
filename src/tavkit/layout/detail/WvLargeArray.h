// TLargeArray: the two-dimensional grid of a container's table. Cells are
// held by value in one block, row after row, so a grid of a million cells
// costs one allocation; an empty cell holds the value type's default.
#pragma once

#include <cstddef>
#include <vector>

#include <tavkit/platform/base/Exceptions.h>

namespace tavkit {

template <class T>
class TLargeArray {
 public:
  TLargeArray(int width, int height)
      : FWidth(width < 0 ? 0 : width),
        FHeight(height < 0 ? 0 : height),
        FCells(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight)) {}

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

  // Stores value at column x of row y, replacing what was there.
  void insert(int x, int y, const T& value) { FCells[Index(x, y)] = value; }
  // The cell at column x of row y (the default value when nothing was stored).
  const T& extract(int x, int y) const { return FCells[Index(x, y)]; }
  T& at(int x, int y) { return FCells[Index(x, y)]; }

 private:
  std::size_t Index(int x, int y) const {
    if (x < 0 || x >= FWidth) ListIndexError(x);
    if (y < 0 || y >= FHeight) ListIndexError(y);
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth) +
           static_cast<std::size_t>(x);
  }

  int FWidth;
  int FHeight;
  std::vector<T> FCells;
};

}  // namespace tavkit

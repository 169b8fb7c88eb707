// Integer geometry shared by the drawing of single frames and of whole GIF
// images: rectangles are placed from property values and tile counts that
// may be huge, so sums are made 64 bits wide and brought back into the
// canvas's integer range.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

#include <tavkit/platform/base/Types.h>

namespace tavkit::detail {

inline int Saturate(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

inline TRect Shifted(const TRect& r, int dx, int dy) {
  return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

// The first k >= 0 for which a tile at origin + k * step, size long, ends
// beyond limit.
inline std::int64_t FirstTile(std::int64_t origin, std::int64_t size, std::int64_t step,
                              std::int64_t limit) {
  if (origin + size > limit) return 0;
  return (limit - origin - size) / step + 1;
}

}  // namespace tavkit::detail

// Scan lists: one list of element edges per axis. Sorted, the distinct edge
// coordinates become the grid lines of a container's table, and every
// element learns on which lines it starts and ends.
#pragma once

#include <cstdint>

#include <tavkit/platform/base/Lists.h>

namespace tavkit {

class TWvComponent;

enum TWvListType : std::uint8_t { XLISTTYPE, YLISTTYPE };

// One edge of an element (or of the container itself, with no component).
class TWvScanListMember {
 public:
  TWvScanListMember(TWvComponent* component, bool isStart, int position, int crossPosition)
      : Component(component), IsStart(isStart), Position(position), CrossPosition(crossPosition) {}

  TWvComponent* Component;
  bool IsStart;
  int Position;       // along the list's axis
  int CrossPosition;  // the same corner along the other axis; second sort key
  int Span = 0;       // distinct positions from a start edge to its end edge
};

// Orders edges by position, then by cross position.
int ScanListSort(TWvScanListMember* a, TWvScanListMember* b);

// A list of edges that owns its members.
class TWvScanList : public TList<TWvScanListMember> {
 public:
  explicit TWvScanList(TWvListType listType) : FListType(listType) {}
  ~TWvScanList();
  TWvScanList(const TWvScanList&) = delete;
  TWvScanList& operator=(const TWvScanList&) = delete;

  TWvListType ListType() const { return FListType; }
  void SortMembers() { Sort(ScanListSort); }

  // Writes each element's start and end grid line (ColStart/ColEnd for an x
  // list, RowStart/RowEnd for a y list). Lines are numbered by the distinct
  // coordinates of the sorted list, the container's own near edge being
  // line 0; the container's edges take part in the counting, so elements
  // reaching beyond the container's far edge still get lines that match the
  // grid's cells.
  void NotifyComponents();
  // The 0-based index of the distinct coordinate where the component's first
  // edge lies, or -1 when it has none in the list.
  int GetElementPosition(const TWvComponent* component) const;
  // The list index of the component's first member; -1 when absent.
  int FindElementStart(const TWvComponent* component) const;
  // The number of distinct positions in the list.
  int CalculateSize() const;
  // Stores in every start member the number of position changes up to the
  // end member of the same component.
  void CalculateSpanValues();

 private:
  TWvListType FListType;
};

}  // namespace tavkit

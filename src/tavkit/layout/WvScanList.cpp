// Sorting and numbering of element edges for the container layout.
#include <tavkit/layout/detail/WvScanList.h>

#include <tavkit/core/WvComponent.h>

namespace tavkit {

int ScanListSort(TWvScanListMember* a, TWvScanListMember* b) {
  if (a->Position != b->Position) return a->Position < b->Position ? -1 : 1;
  if (a->CrossPosition != b->CrossPosition) return a->CrossPosition < b->CrossPosition ? -1 : 1;
  return 0;
}

TWvScanList::~TWvScanList() {
  for (TWvScanListMember* member : *this) delete member;
}

void TWvScanList::NotifyComponents() {
  int line = -1;
  bool seen = false;
  int last = 0;
  for (TWvScanListMember* member : *this) {
    if (!seen || member->Position > last) {
      ++line;
      last = member->Position;
      seen = true;
    }
    TWvComponent* c = member->Component;
    if (c == nullptr) continue;
    if (FListType == XLISTTYPE)
      (member->IsStart ? c->ColStart : c->ColEnd) = line;
    else
      (member->IsStart ? c->RowStart : c->RowEnd) = line;
  }
}

int TWvScanList::GetElementPosition(const TWvComponent* component) const {
  int counter = -1;
  bool seen = false;
  int greatest = 0;
  for (TWvScanListMember* member : *this) {
    if (!seen || member->Position > greatest) {
      ++counter;
      greatest = member->Position;
      seen = true;
    }
    if (member->Component == component && component != nullptr) return counter;
  }
  return -1;
}

int TWvScanList::FindElementStart(const TWvComponent* component) const {
  for (int i = 0; i < Count(); ++i)
    if (Get(i)->Component == component) return i;
  return -1;
}

int TWvScanList::CalculateSize() const {
  int size = 0;
  for (int i = 0; i < Count(); ++i)
    if (i == 0 || Get(i)->Position != Get(i - 1)->Position) ++size;
  return size;
}

void TWvScanList::CalculateSpanValues() {
  for (int i = 0; i < Count(); ++i) {
    TWvScanListMember* start = Get(i);
    if (!start->IsStart) continue;
    int span = 0;
    for (int j = i + 1; j < Count(); ++j) {
      if (Get(j)->Position != Get(j - 1)->Position) ++span;
      if (Get(j)->Component == start->Component) break;
    }
    start->Span = span;
  }
}

}  // namespace tavkit

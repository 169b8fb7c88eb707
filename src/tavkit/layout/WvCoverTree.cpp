// The column cover of the layout's row sweep.
#include <tavkit/layout/detail/WvCoverTree.h>

#include <algorithm>

namespace tavkit {

namespace {

int PowerOfTwoAtLeast(int value) {
  int power = 1;
  while (power < value) power *= 2;
  return power;
}

}  // namespace

TWvCoverTree::TWvCoverTree(int columns, int children)
    : FColumns(std::max(columns, 0)),
      FLeaves(PowerOfTwoAtLeast(FColumns)),
      FNodes(2 * static_cast<std::size_t>(FLeaves)),
      FHeaps(FNodes.size()),
      FRemoved(static_cast<std::size_t>(std::max(children, 0)), 0) {
  if (FColumns > 0) FStretches.push_back(TWvColumnRange{0, FColumns});
}

void TWvCoverTree::Add(int first, int end, int child) {
  Update(first, end, 1, child);
}

void TWvCoverTree::Remove(int first, int end, int child) {
  FRemoved[static_cast<std::size_t>(child)] = 1;
  Update(first, end, -1, child);
}

void TWvCoverTree::Recount(int node) {
  const auto i = static_cast<std::size_t>(node);
  TNode& n = FNodes[i];
  if (node >= FLeaves) {
    n.Min = n.Max = n.Count;
  } else {
    const TNode& left = FNodes[2 * i];
    const TNode& right = FNodes[2 * i + 1];
    n.Min = n.Count + std::min(left.Min, right.Min);
    n.Max = n.Count + std::max(left.Max, right.Max);
  }
}

void TWvCoverTree::Update(int first, int end, int delta, int child) {
  first = std::max(first, 0);
  end = std::min(end, FColumns);
  if (first >= end) return;
  FChanged.push_back(TWvColumnRange{first, end});
  // The nodes that make up [first, end), found from both ends upwards;
  // then every node above them is counted again.
  int lo = first + FLeaves, hi = end + FLeaves;
  const int lowest = lo, highest = hi - 1;
  auto take = [&](int node) {
    FNodes[static_cast<std::size_t>(node)].Count += delta;
    // A removed child stays in the heap until it comes to the top, where
    // TopChild drops it.
    if (delta > 0) {
      std::vector<int>& heap = FHeaps[static_cast<std::size_t>(node)];
      heap.push_back(child);
      std::push_heap(heap.begin(), heap.end());
    }
    Recount(node);
  };
  for (; lo < hi; lo /= 2, hi /= 2) {
    if (lo & 1) take(lo++);
    if (hi & 1) take(--hi);
  }
  for (int left = lowest / 2, right = highest / 2; left >= 1; left /= 2, right /= 2) {
    Recount(left);
    if (right != left) Recount(right);
  }
}

int TWvCoverTree::TopChild(int column) {
  int top = -1;
  for (int node = column + FLeaves; node >= 1; node /= 2) {
    // A node that holds no child now has nothing to give, whatever removed
    // ones its heap still lists.
    if (FNodes[static_cast<std::size_t>(node)].Count == 0) continue;
    std::vector<int>& heap = FHeaps[static_cast<std::size_t>(node)];
    while (!heap.empty() && FRemoved[static_cast<std::size_t>(heap.front())]) {
      std::pop_heap(heap.begin(), heap.end());
      heap.pop_back();
    }
    if (!heap.empty()) top = std::max(top, heap.front());
  }
  return top;
}

void TWvCoverTree::UncoveredIn(int node, int lo, int hi, int first, int end,
                               std::vector<TWvColumnRange>& out) const {
  if (hi <= first || end <= lo || lo >= FColumns) return;
  const TNode& n = FNodes[static_cast<std::size_t>(node)];
  if (n.Min > 0) return;
  if (n.Max == 0) {
    const TWvColumnRange piece{std::max(lo, first), std::min({hi, end, FColumns})};
    if (!out.empty() && out.back().End == piece.First)
      out.back().End = piece.End;
    else
      out.push_back(piece);
    return;
  }
  const int mid = lo + (hi - lo) / 2;
  UncoveredIn(2 * node, lo, mid, first, end, out);
  UncoveredIn(2 * node + 1, mid, hi, first, end, out);
}

const std::vector<TWvColumnRange>& TWvCoverTree::Uncovered() {
  if (FChanged.empty()) return FStretches;
  // The changed ranges, sorted and joined where they overlap or touch.
  std::sort(FChanged.begin(), FChanged.end(),
            [](const TWvColumnRange& a, const TWvColumnRange& b) { return a.First < b.First; });
  std::size_t joined = 0;
  for (const TWvColumnRange& range : FChanged) {
    if (joined > 0 && range.First <= FChanged[joined - 1].End)
      FChanged[joined - 1].End = std::max(FChanged[joined - 1].End, range.End);
    else
      FChanged[joined++] = range;
  }
  FChanged.resize(joined);

  // What the last list holds outside the changed ranges stands; inside
  // them the tree is asked again.
  FKept.clear();
  std::size_t k = 0;
  for (const TWvColumnRange& stretch : FStretches) {
    int first = stretch.First;
    while (k < FChanged.size() && FChanged[k].End <= first) ++k;
    for (std::size_t j = k; first < stretch.End; ++j) {
      if (j == FChanged.size() || FChanged[j].First >= stretch.End) {
        FKept.push_back(TWvColumnRange{first, stretch.End});
        break;
      }
      if (FChanged[j].First > first) FKept.push_back(TWvColumnRange{first, FChanged[j].First});
      first = std::max(first, FChanged[j].End);
    }
  }
  FFound.clear();
  for (const TWvColumnRange& range : FChanged)
    UncoveredIn(1, 0, FLeaves, range.First, range.End, FFound);
  FChanged.clear();

  // Both lists in column order, joined where they touch.
  FStretches.clear();
  std::size_t kept = 0, found = 0;
  while (kept < FKept.size() || found < FFound.size()) {
    const bool takeKept =
        found == FFound.size() || (kept < FKept.size() && FKept[kept].First < FFound[found].First);
    const TWvColumnRange& piece = takeKept ? FKept[kept++] : FFound[found++];
    if (!FStretches.empty() && FStretches.back().End == piece.First)
      FStretches.back().End = piece.End;
    else
      FStretches.push_back(piece);
  }
  return FStretches;
}

}  // namespace tavkit

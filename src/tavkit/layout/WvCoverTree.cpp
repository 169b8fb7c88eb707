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
      FRemoved(static_cast<std::size_t>(std::max(children, 0)), 0) {}

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
    std::vector<int>& heap = FHeaps[static_cast<std::size_t>(node)];
    while (!heap.empty() && FRemoved[static_cast<std::size_t>(heap.front())]) {
      std::pop_heap(heap.begin(), heap.end());
      heap.pop_back();
    }
    if (!heap.empty()) top = std::max(top, heap.front());
  }
  return top;
}

}  // namespace tavkit

// TWvCoverTree: which columns of one table row the children cover, kept as
// the row sweep goes down the table. A segment tree over the columns: each
// child is held by the few nodes that make up its column range, so adding or
// removing a child costs the logarithm of the columns, and listing the
// uncovered stretches of a row costs their number times that logarithm,
// however many columns or children lie under the covered parts.
#pragma once

#include <vector>

namespace tavkit {

class TWvCoverTree {
 public:
  // columns: the width of the row; children: the number of child indexes.
  TWvCoverTree(int columns, int children);

  // Child child covers the columns [first, end) from now on, or no longer.
  void Add(int first, int end, int child);
  void Remove(int first, int end, int child);
  // The highest child index covering column, or -1 when none does.
  int TopChild(int column);

  // Calls uncovered(first, end) for the uncovered columns, left to right, in
  // stretches; two stretches may follow each other without a covered column
  // between them.
  template <class F>
  void ForEachUncovered(F&& uncovered) const {
    if (FColumns > 0) Uncovered(1, 0, FLeaves, uncovered);
  }

 private:
  void Update(int first, int end, int delta, int child);
  void Recount(int node);

  // Nodes cover powers of two of columns; the leaves past the last column
  // are never covered and never reported.
  template <class F>
  void Uncovered(int node, int lo, int hi, F& uncovered) const {
    const TNode& n = FNodes[static_cast<std::size_t>(node)];
    if (lo >= FColumns || n.Min > 0) return;
    if (n.Max == 0) {
      uncovered(lo, hi < FColumns ? hi : FColumns);
      return;
    }
    const int mid = lo + (hi - lo) / 2;
    Uncovered(2 * node, lo, mid, uncovered);
    Uncovered(2 * node + 1, mid, hi, uncovered);
  }

  int FColumns;
  int FLeaves;  // a power of two, at least FColumns; node 1 is the root
  struct TNode {
    int Count = 0;  // children whose range holds the node whole
    int Min = 0;    // least and most children over one column below the
    int Max = 0;    // node, counting the node's own
  };
  std::vector<TNode> FNodes;
  // The children of each node's Count, highest index on top; removed ones linger until
  // they come to the top.
  std::vector<std::vector<int>> FHeaps;
  std::vector<char> FRemoved;
};

}  // namespace tavkit

// TWvCoverTree: which columns of one table row the children cover, kept as
// the row sweep goes down the table. A segment tree over the columns: each
// child is held by the few nodes that make up its column range, so adding or
// removing a child costs the logarithm of the columns. The uncovered
// stretches of a row are kept as a list and looked up again in the tree only
// where children came or went, so listing them costs their number plus the
// logarithm of the columns for each change, however many columns or
// children lie under the covered parts.
#pragma once

#include <vector>

namespace tavkit {

// Columns [First, End).
struct TWvColumnRange {
  int First = 0;
  int End = 0;
};

class TWvCoverTree {
 public:
  // columns: the width of the row; children: the number of child indexes.
  TWvCoverTree(int columns, int children);

  // Child child covers the columns [first, end) from now on, or no longer.
  void Add(int first, int end, int child);
  void Remove(int first, int end, int child);
  // The highest child index covering column, or -1 when none does.
  int TopChild(int column);
  // The uncovered stretches, left to right, none touching the next.
  const std::vector<TWvColumnRange>& Uncovered();

 private:
  void Update(int first, int end, int delta, int child);
  void Recount(int node);

  // Appends the uncovered stretches of the node's columns [lo, hi) within
  // [first, end) to out. Nodes cover powers of two of columns; the leaves
  // past the last column are never covered and never reported.
  void UncoveredIn(int node, int lo, int hi, int first, int end,
                   std::vector<TWvColumnRange>& out) const;

  struct TNode {
    int Count = 0;  // children whose range holds the node whole
    int Min = 0;    // least and most children over one column below the
    int Max = 0;    // node, counting the node's own
  };

  int FColumns;
  int FLeaves;  // a power of two, at least FColumns; node 1 is the root
  std::vector<TNode> FNodes;
  // The children of each node's Count, highest index on top; removed ones
  // linger until they come to the top.
  std::vector<std::vector<int>> FHeaps;
  std::vector<char> FRemoved;
  // The stretches as last listed, and the ranges changed since.
  std::vector<TWvColumnRange> FStretches;
  std::vector<TWvColumnRange> FChanged;
  std::vector<TWvColumnRange> FKept, FFound;  // room reused by Uncovered
};

}  // namespace tavkit

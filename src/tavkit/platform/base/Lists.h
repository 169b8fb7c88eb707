// Index-stable lists of object pointers. TList never owns what it holds; every
// index is checked and a bad one raises EListError rather than reading past
// the end. TThreadList wraps a list behind a lock for use across threads.
//
// ```cpp
// int three = 3, one = 1, two = 2;
// TList<int> numbers;                         // holds pointers and owns nothing
// numbers.Add(&three);
// numbers.Add(&one);
// numbers.Add(&two);
// numbers.Sort([](int* a, int* b) { return *a - *b; });
// int* smallest = numbers.First();
// try {
//   numbers.Get(3);
// } catch (const EListError& error) {         // every index is checked
// }
// ```
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include <tavkit/platform/base/Exceptions.h>

namespace tavkit {

template <class T>
class TList {
 public:
  // Comparison for Sort: negative when a comes first, zero when equal.
  using TListSortCompare = std::function<int(T* a, T* b)>;

  int Count() const { return static_cast<int>(FItems.size()); }
  bool IsEmpty() const { return FItems.empty(); }

  T* Get(int index) const { return FItems[Check(index)]; }
  T* operator[](int index) const { return Get(index); }
  void Put(int index, T* item) { FItems[Check(index)] = item; }

  int Add(T* item) {
    FItems.push_back(item);
    return Count() - 1;
  }
  void Insert(int index, T* item) {
    if (index < 0 || index > Count()) ListIndexError(index);
    FItems.insert(FItems.begin() + index, item);
  }
  void Delete(int index) { FItems.erase(FItems.begin() + Check(index)); }
  // Removes the first occurrence of item; returns its former index or -1.
  int Remove(T* item) {
    int index = IndexOf(item);
    if (index >= 0) Delete(index);
    return index;
  }
  void Clear() { FItems.clear(); }
  // Grows with null entries or cuts off the tail.
  void SetCount(int count) {
    if (count < 0) ListIndexError(count);
    FItems.resize(static_cast<std::size_t>(count), nullptr);
  }
  void Exchange(int a, int b) { std::swap(FItems[Check(a)], FItems[Check(b)]); }
  void Move(int from, int to) {
    T* item = Get(from);
    Check(to);
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, item);
  }
  int IndexOf(const T* item) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i] == item) return static_cast<int>(i);
    return -1;
  }
  T* First() const { return Get(0); }
  T* Last() const { return Get(Count() - 1); }

  // Sorts with a merge sort: every access stays inside the list whatever the
  // comparison answers, so a careless comparison can never corrupt memory.
  void Sort(const TListSortCompare& compare) {
    std::vector<T*> buffer(FItems.size());
    MergeSort(0, FItems.size(), buffer, compare);
  }

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  std::size_t Check(int index) const {
    if (index < 0 || index >= Count()) ListIndexError(index);
    return static_cast<std::size_t>(index);
  }

  void MergeSort(std::size_t lo, std::size_t hi, std::vector<T*>& buffer,
                 const TListSortCompare& compare) {
    if (hi - lo < 2) return;
    std::size_t mid = lo + (hi - lo) / 2;
    MergeSort(lo, mid, buffer, compare);
    MergeSort(mid, hi, buffer, compare);
    std::size_t i = lo, j = mid, k = lo;
    while (i < mid && j < hi)
      buffer[k++] = compare(FItems[j], FItems[i]) < 0 ? FItems[j++] : FItems[i++];
    while (i < mid) buffer[k++] = FItems[i++];
    while (j < hi) buffer[k++] = FItems[j++];
    for (k = lo; k < hi; ++k) FItems[k] = buffer[k];
  }

  std::vector<T*> FItems;
};

// A list guarded by a mutex: LockList returns the list with the lock held
// until UnlockList; Add and Remove take the lock themselves.
template <class T>
class TThreadList {
 public:
  TList<T>& LockList() {
    FLock.lock();
    return FList;
  }
  void UnlockList() { FLock.unlock(); }
  void Add(T* item) {
    std::lock_guard<std::mutex> guard(FLock);
    if (FList.IndexOf(item) < 0) FList.Add(item);
  }
  void Remove(T* item) {
    std::lock_guard<std::mutex> guard(FLock);
    FList.Remove(item);
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(FLock);
    FList.Clear();
  }

 private:
  std::mutex FLock;
  TList<T> FList;
};

}  // namespace tavkit

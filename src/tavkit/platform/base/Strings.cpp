// Line lists: the generic operations of TStrings and the in-memory TStringList.
#include <tavkit/platform/base/Strings.h>

#include <algorithm>

#include <tavkit/platform/base/Exceptions.h>

namespace tavkit {

int TStrings::Add(const std::string& line) {
  int index = Count();
  Insert(index, line);
  return index;
}

void TStrings::AddStrings(const TStrings& other) {
  // Copy first: other may be this very list.
  std::vector<std::string> lines = other.ToVector();
  for (const auto& line : lines) Add(line);
}

void TStrings::AddStrings(std::initializer_list<std::string> lines) {
  for (const auto& line : lines) Add(line);
}

int TStrings::IndexOf(const std::string& line) const {
  for (int i = 0; i < Count(); ++i)
    if (Get(i) == line) return i;
  return -1;
}

std::string TStrings::GetText() const {
  std::string text;
  for (int i = 0; i < Count(); ++i) {
    text += Get(i);
    text += '\n';
  }
  return text;
}

void TStrings::SetText(const std::string& text) {
  Clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      Add(text.substr(start));
      return;
    }
    Add(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
}

std::vector<std::string> TStrings::ToVector() const {
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(Count()));
  for (int i = 0; i < Count(); ++i) lines.push_back(Get(i));
  return lines;
}

bool TStrings::Equals(const TStrings& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Get(i) != other.Get(i)) return false;
  return true;
}

void TStrings::Assign(const TPersistent* source) {
  auto* lines = dynamic_cast<const TStrings*>(source);
  if (lines == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (lines == this) return;
  std::vector<std::string> copy = lines->ToVector();
  Clear();
  for (const auto& line : copy) Add(line);
}

TStringList::TStringList(std::initializer_list<std::string> lines) : FLines(lines) {}

std::size_t TStringList::Check(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return static_cast<std::size_t>(index);
}

const std::string& TStringList::Get(int index) const {
  return FLines[Check(index)];
}

void TStringList::Put(int index, const std::string& line) {
  FLines[Check(index)] = line;
  Changed();
}

void TStringList::Insert(int index, const std::string& line) {
  if (index < 0 || index > Count()) ListIndexError(index);
  FLines.insert(FLines.begin() + index, line);
  Changed();
}

void TStringList::Delete(int index) {
  FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(Check(index)));
  Changed();
}

void TStringList::Clear() {
  if (FLines.empty()) return;
  FLines.clear();
  Changed();
}

void TStringList::Sort() {
  std::sort(FLines.begin(), FLines.end());
  Changed();
}

void TStringList::Assign(const TPersistent* source) {
  auto* lines = dynamic_cast<const TStrings*>(source);
  if (lines == nullptr || lines == this) {
    TStrings::Assign(source);
    return;
  }
  std::vector<std::string> copy;
  copy.reserve(static_cast<std::size_t>(lines->Count()));
  for (int i = 0; i < lines->Count(); ++i) copy.push_back(lines->Get(i));
  if (copy.empty() && FLines.empty()) return;
  FLines.swap(copy);
  Changed();
}

void TStringList::Changed() {
  if (OnChange) OnChange(this);
}

namespace {

[[noreturn]] void ReadOnlyList() {
  throw EListError("The list cannot be changed");
}

}  // namespace

const std::string& TStringsView::Get(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return FLines[static_cast<std::size_t>(index)];
}

void TStringsView::Put(int, const std::string&) {
  ReadOnlyList();
}

void TStringsView::Insert(int, const std::string&) {
  ReadOnlyList();
}

void TStringsView::Delete(int) {
  ReadOnlyList();
}

void TStringsView::Clear() {
  ReadOnlyList();
}

}  // namespace tavkit

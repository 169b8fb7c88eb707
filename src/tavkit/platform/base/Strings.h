// Lists of text lines. TStrings is the framework's abstract line list that
// properties publish; TStringList keeps the lines in memory and reports each
// change. Strings hold Latin-1 bytes, one byte per character.
//
// ```cpp
// TStringList lines{"Tea", "Coffee"};
// lines.Add("Cocoa");
// lines.Sort();
// std::string text = lines.GetText();         // "Cocoa\nCoffee\nTea\n"
// lines.SetText("one\r\ntwo");                // two lines
// lines.OnChange = [](TObject*) { std::cout << "changed\n"; };
// ```
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include <tavkit/platform/base/Objects.h>

namespace tavkit {

class TStrings : public TPersistent {
 public:
  virtual int Count() const = 0;
  virtual const std::string& Get(int index) const = 0;
  virtual void Put(int index, const std::string& line) = 0;
  virtual void Insert(int index, const std::string& line) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  const std::string& operator[](int index) const { return Get(index); }
  const std::string& Strings(int index) const { return Get(index); }
  bool IsEmpty() const { return Count() == 0; }

  int Add(const std::string& line);
  void AddStrings(const TStrings& other);
  void AddStrings(std::initializer_list<std::string> lines);
  int IndexOf(const std::string& line) const;
  // The lines joined by line feeds, each line followed by one.
  std::string GetText() const;
  // Replaces the lines by those of a text broken at CR LF, LF or CR.
  void SetText(const std::string& text);
  std::vector<std::string> ToVector() const;
  bool Equals(const TStrings& other) const;

  // Copies the lines of another string list (and nothing else).
  void Assign(const TPersistent* source) override;
};

class TStringList : public TStrings {
 public:
  TStringList() = default;
  TStringList(std::initializer_list<std::string> lines);

  int Count() const override { return static_cast<int>(FLines.size()); }
  const std::string& Get(int index) const override;
  void Put(int index, const std::string& line) override;
  void Insert(int index, const std::string& line) override;
  void Delete(int index) override;
  void Clear() override;
  // Orders the lines by their bytes.
  void Sort();
  // Takes the lines of another list in one step: one allocation of the
  // right size and one change reported, however many lines there are.
  void Assign(const TPersistent* source) override;

  auto begin() const { return FLines.begin(); }
  auto end() const { return FLines.end(); }

  // Called after every change of the lines.
  TNotifyEvent OnChange;

 private:
  void Changed();
  std::size_t Check(int index) const;
  std::vector<std::string> FLines;
};

// Lines held elsewhere, shown as a list that cannot be changed: hands a
// vector of lines to what takes a TStrings (a property setter, Assign)
// without a copy of every line. Changing it raises EListError. The vector
// must outlive the view.
class TStringsView final : public TStrings {
 public:
  explicit TStringsView(const std::vector<std::string>& lines) : FLines(lines) {}

  int Count() const override { return static_cast<int>(FLines.size()); }
  const std::string& Get(int index) const override;
  void Put(int index, const std::string& line) override;
  void Insert(int index, const std::string& line) override;
  void Delete(int index) override;
  void Clear() override;

 private:
  const std::vector<std::string>& FLines;
};

}  // namespace tavkit

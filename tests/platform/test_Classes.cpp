// Lists, string lists, streams and collections: index checks, order and
// change reporting that the rest of the library builds on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Lists.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/base/Strings.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::ErrorOf;

TEST(TList, IndexErrorsRaiseInsteadOfReadingPastTheEnd) {
  int a = 1;
  TList<int> list;
  list.Add(&a);
  EXPECT_THROW(list.Get(1), EListError);
  EXPECT_THROW(list.Get(-1), EListError);
  EXPECT_THROW(list.Insert(2, &a), EListError);
  EXPECT_THROW(list.Delete(5), EListError);
  EXPECT_THROW(list.Move(0, 3), EListError);
  EXPECT_EQ(ErrorOf<EListError>([&] { list.Get(7); }), "List index out of bounds (7)");
}

TEST(TList, EditingKeepsOrder) {
  int v[5] = {0, 1, 2, 3, 4};
  TList<int> list;
  for (int& x : v) list.Add(&x);
  list.Move(0, 4);        // 1 2 3 4 0
  list.Exchange(0, 1);    // 2 1 3 4 0
  list.Insert(2, &v[4]);  // 2 1 4 3 4 0
  list.Remove(&v[4]);     // 2 1 3 4 0
  std::string order;
  for (int* p : list) order += std::to_string(*p);
  EXPECT_EQ(order, "21340");
  EXPECT_EQ(list.IndexOf(&v[3]), 2);
  list.SetCount(7);
  EXPECT_EQ(list.Get(6), nullptr);
}

TEST(TList, SortOrdersAndSurvivesAnInconsistentComparison) {
  std::vector<int> values = {5, 3, 9, 1, 1, 7, 2, 8, 0, 6};
  TList<int> list;
  for (int& x : values) list.Add(&x);
  list.Sort([](int* a, int* b) { return *a - *b; });
  std::string sorted;
  for (int* p : list) sorted += std::to_string(*p);
  EXPECT_EQ(sorted, "0112356789");
  // A comparison that answers at random must still leave every item in the list once.
  unsigned seed = 12345;
  list.Sort([&seed](int*, int*) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>(seed >> 16) % 3 - 1;
  });
  EXPECT_EQ(list.Count(), 10);
  int sum = 0;
  for (int* p : list) sum += *p;
  EXPECT_EQ(sum, 42);
}

TEST(TStringList, TextSplitsEveryLineEndAndAssignCopies) {
  TStringList lines;
  lines.SetText("a\r\nb\nc\rd");
  EXPECT_EQ(lines.ToVector(), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(lines.GetText(), "a\nb\nc\nd\n");
  TStringList copy;
  copy.Assign(&lines);
  EXPECT_TRUE(copy.Equals(lines));
  copy.Assign(&copy);
  EXPECT_EQ(copy.Count(), 4);
  EXPECT_THROW(copy.Get(4), EListError);
}

TEST(TStringList, ReportsEveryChange) {
  TStringList lines;
  int changes = 0;
  lines.OnChange = [&changes](TObject*) { ++changes; };
  lines.Add("x");
  lines.Put(0, "y");
  lines.Insert(0, "z");
  lines.Delete(1);
  lines.Clear();
  EXPECT_EQ(changes, 5);
}

// Assign reports one change however many lines come, and none when an
// empty list takes an empty one; a view hands lines over without letting
// them be changed.
TEST(TStringList, AssignReportsOneChangeAndViewsCannotBeChanged) {
  const std::vector<std::string> held = {"a", "", "c"};
  const TStringsView view(held);
  TStringList lines;
  int changes = 0;
  lines.OnChange = [&changes](TObject*) { ++changes; };
  lines.Assign(&view);
  EXPECT_EQ(lines.ToVector(), held);
  EXPECT_EQ(changes, 1);
  const std::vector<std::string> none;
  const TStringsView empty(none);
  lines.Assign(&empty);
  lines.Assign(&empty);
  EXPECT_TRUE(lines.IsEmpty());
  EXPECT_EQ(changes, 2);

  TStringsView changing(held);
  const std::function<void()> edits[] = {
      [&] { changing.Put(0, "x"); }, [&] { changing.Insert(0, "x"); },
      [&] { changing.Delete(0); },   [&] { changing.Clear(); },
      [&] { changing.Add("x"); },    [&] { changing.Get(3); }};
  for (const auto& change : edits) EXPECT_THROW(change(), EListError);
  EXPECT_EQ(changing.ToVector(), held);
}

TEST(TMemoryStream, ReadWriteSeekAndShortReads) {
  TMemoryStream stream;
  stream.WriteString("hello");
  EXPECT_EQ(stream.GetSize(), 5);
  stream.SetPosition(1);
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 8), 4);
  EXPECT_EQ(std::string(buffer, 4), "ello");
  stream.SetPosition(3);
  EXPECT_THROW(stream.ReadBuffer(buffer, 3), EReadError);
  EXPECT_THROW(stream.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
  stream.Seek(10, TSeekOrigin::soBeginning);
  stream.WriteByte('!');
  EXPECT_EQ(stream.GetSize(), 11);
}

TEST(TFileStream, CreatesTruncatesRefusesToOverwriteAndNamesMissingFiles) {
  std::string path = std::string(TAVKIT_BINARY_DIR) + "/stream-test.bin";
  std::remove(path.c_str());
  {
    TFileStream out(path, fmCreate);
    out.WriteString("0123456789");
  }
  {
    TFileStream out(path, fmCreate);
    out.WriteString("ab");
  }
  EXPECT_EQ(ReadFileBytes(path).size(), 2u);
  EXPECT_THROW(TFileStream(path, fmCreateNew), EFCreateError);
  std::remove(path.c_str());
  try {
    TFileStream in(path, fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find(path), std::string::npos);
  }
}

TEST(WriteFileAtomically, ReplacesTheFileALinkPointsToAndKeepsItsPermissions) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(TAVKIT_BINARY_DIR) / "atomic-write";
  fs::remove_all(folder);
  fs::create_directories(folder / "real");
  std::ofstream(folder / "real" / "target.txt") << "old";
  fs::permissions(folder / "real" / "target.txt", fs::perms(0640));
  fs::create_symlink(folder / "real" / "target.txt", folder / "link.txt");
  WriteFileAtomically((folder / "link.txt").string(), "new", 3);
  EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
  EXPECT_EQ(testsupport::ReadText(folder / "real" / "target.txt"), "new");
  EXPECT_EQ(fs::status(folder / "real" / "target.txt").permissions(), fs::perms(0640));
  // Nothing is left beside the file but the file.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "real"), fs::directory_iterator()), 1);
}

TEST(WriteFileAtomically, RefusesWhatCannotBeReplaced) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(TAVKIT_BINARY_DIR) / "atomic-refusals";
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "locked.txt") << "kept";
  fs::permissions(folder / "locked.txt", fs::perms(0444));
  const std::string locked = (folder / "locked.txt").string();
  const std::string missing = (folder / "none" / "x.txt").string();
  // A user with every right (root) may still write a read-only file; the
  // mode is what says it is not to be changed.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {locked, "Cannot create file \"" + locked + "\": the file is read-only"},
      {folder.string(), "Cannot create file \"" + folder.string() + "\": Is a directory"},
      {missing, "Cannot create file \"" + missing + "\": No such file or directory"},
  };
  for (const auto& [path, message] : cases)
    EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(path, "x", 1); }), message);
  EXPECT_EQ(testsupport::ReadText(folder / "locked.txt"), "kept");
}

TEST(ReadFileBytes, ReadsPipesToTheirEndWithinTheLimit) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(write(ends[1], "abcdef", 6), 6);
  close(ends[1]);
  const std::string path = "/proc/self/fd/" + std::to_string(ends[0]);
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcdef");
  close(ends[0]);
  EXPECT_EQ(ErrorOf([] { ReadFileBytes("/dev/zero", 100000, "MaxSomething"); }),
            "Cannot read file \"/dev/zero\": it is larger than 100000 bytes");
  try {
    ReadFileBytes("/dev/zero", 10, "MaxSomething");
    FAIL() << "read past the limit";
  } catch (const ETooLarge& refusal) {
    EXPECT_EQ(refusal.LimitName(), "MaxSomething");
  }
}

class TNamedItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  std::string Label;
  void SetLabel(const std::string& label) {
    Label = label;
    Changed(false);
  }
  std::string GetDisplayName() const override { return Label.empty() ? "unnamed" : Label; }
  void Assign(const TPersistent* source) override {
    Label = static_cast<const TNamedItem*>(source)->Label;
  }
};

class TNamedCollection : public TCollectionOf<TNamedItem> {
 public:
  std::vector<TCollectionItem*> Updates;

 protected:
  void Update(TCollectionItem* item) override { Updates.push_back(item); }
};

TEST(TCollection, ItemsKnowTheirPlaceAndReportChanges) {
  TNamedCollection items;
  TNamedItem* a = items.AddItem();
  TNamedItem* b = items.AddItem();
  EXPECT_EQ(b->GetIndex(), 1);
  EXPECT_NE(a->GetID(), b->GetID());
  items.Updates.clear();
  b->SetLabel("b");
  ASSERT_EQ(items.Updates.size(), 1u);
  EXPECT_EQ(items.Updates[0], b);
  b->SetIndex(0);
  EXPECT_EQ(items.Items(0), b);
  EXPECT_EQ(items.Items(1)->GetDisplayName(), "unnamed");
  EXPECT_THROW(items.GetItem(2), EListError);

  TNamedCollection copy;
  copy.Assign(&items);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.Items(0)->Label, "b");
  delete copy.Items(0);
  EXPECT_EQ(copy.Count(), 1);
}

}  // namespace
}  // namespace tavkit

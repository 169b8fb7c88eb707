// Script lists: dependency order, de-duplication, merging and the script block.
#include <tavkit/scripts/WvJavascriptList.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <tavkit/scripts/WvJavascript.h>

namespace tavkit {
namespace {

class WvJavascriptListTest : public ::testing::Test {
 protected:
  TWvJavascript* NewScript(std::initializer_list<std::string> lines = {}) {
    auto* script = new TWvJavascript(&form);
    script->Getscript().AddStrings(lines);
    return script;
  }
  static void Depend(TWvJavascript* from, TWvJavascript* to) {
    from->GetDependList().AddItem()->setScript(to);
  }
  static std::vector<TWvJavascript*> Order(const TWvJavascriptlist& list) {
    std::vector<TWvJavascript*> order;
    for (int i = 0; i < list.numberOfScripts(); ++i) order.push_back(list.GetScript(i));
    return order;
  }

  TComponent form{nullptr};
};

TEST_F(WvJavascriptListTest, DependenciesComeFirstAndNothingTwice) {
  TWvJavascript* a = NewScript();
  TWvJavascript* b = NewScript();
  TWvJavascript* c = NewScript();
  Depend(a, b);
  Depend(b, c);
  TWvJavascriptlist list;
  EXPECT_TRUE(list.AddScript(a));
  EXPECT_EQ(Order(list), (std::vector<TWvJavascript*>{c, b, a}));
  EXPECT_FALSE(list.AddScript(b));
  EXPECT_FALSE(list.AddScript(a));
  EXPECT_TRUE(list.AddScript(nullptr));
  EXPECT_EQ(Order(list), (std::vector<TWvJavascript*>{c, b, a}));
}

TEST_F(WvJavascriptListTest, PresentScriptsAreNeverMoved) {
  TWvJavascript* a = NewScript();
  TWvJavascript* b = NewScript();
  TWvJavascript* x = NewScript();
  Depend(a, b);
  TWvJavascriptlist list;
  list.AddScript(b);
  list.AddScript(x);
  EXPECT_TRUE(list.AddScript(a));
  EXPECT_EQ(Order(list), (std::vector<TWvJavascript*>{b, x, a}));
}

TEST_F(WvJavascriptListTest, DiamondsAndEmptyDependenciesKeepFirstComeOrder) {
  TWvJavascript* top = NewScript();
  TWvJavascript* left = NewScript();
  TWvJavascript* right = NewScript();
  TWvJavascript* base = NewScript();
  Depend(top, left);
  Depend(top, nullptr);
  Depend(top, right);
  Depend(left, base);
  Depend(right, base);
  TWvJavascriptlist list;
  list.AddScript(top);
  EXPECT_EQ(Order(list), (std::vector<TWvJavascript*>{base, left, right, top}));
}

TEST_F(WvJavascriptListTest, MergingListsOfTwoElements) {
  TWvJavascript* a = NewScript();
  TWvJavascript* b = NewScript();
  TWvJavascript* c = NewScript();
  Depend(c, b);
  TWvJavascriptlist first, second, page;
  first.AddScript(a);
  first.AddScript(b);
  second.AddScript(c);
  second.AddScript(a);
  page.AddList(first);
  page.AddList(second);
  page.AddList(page);
  EXPECT_EQ(Order(page), (std::vector<TWvJavascript*>{a, b, c}));
}

TEST_F(WvJavascriptListTest, IndexOutsideTheListIsAListError) {
  TWvJavascriptlist list;
  EXPECT_THROW(list.GetScript(0), EListError);
  list.AddScript(NewScript());
  EXPECT_NE(list.GetScript(0), nullptr);
  EXPECT_THROW(list.GetScript(1), EListError);
  EXPECT_THROW(list.GetScript(-1), EListError);
}

TEST_F(WvJavascriptListTest, BlockEndsEveryLineWithCrLf) {
  TWvJavascriptlist list;
  EXPECT_EQ(list.Put(), "<script language=\"JavaScript\">\r\n</script>");
  TWvJavascript* lib = NewScript({"function sq(x) {", "return x*x; }"});
  TWvJavascript* user = NewScript({"", "function go() { sq(2); }"});
  Depend(user, lib);
  list.AddScript(user);
  EXPECT_EQ(list.Put(),
            "<script language=\"JavaScript\">\r\n"
            "function sq(x) {\r\nreturn x*x; }\r\n"
            "\r\nfunction go() { sq(2); }\r\n"
            "</script>");
}

TEST_F(WvJavascriptListTest, LongDependencyChainsDoNotExhaustTheStack) {
  const int length = 200000;
  std::vector<std::unique_ptr<TWvJavascript>> chain;
  for (int i = 0; i < length; ++i) chain.push_back(std::make_unique<TWvJavascript>(nullptr));
  // Linked from the far end, so that every cycle check meets a script without dependencies.
  for (int i = length - 1; i > 0; --i) Depend(chain[i].get(), chain[i - 1].get());
  TWvJavascriptlist list;
  list.AddScript(chain.back().get());
  ASSERT_EQ(list.numberOfScripts(), length);
  EXPECT_EQ(list.GetScript(0), chain.front().get());
  EXPECT_EQ(list.GetScript(length - 1), chain.back().get());
}

}  // namespace
}  // namespace tavkit

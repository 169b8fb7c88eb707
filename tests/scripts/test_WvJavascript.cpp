// Script components: function names, the cycle refusal, copying dependencies
// and dependencies that outlive the script they point at.
#include <tavkit/scripts/WvJavascript.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <tavkit/platform/base/Dialogs.h>
#include <tavkit/platform/base/Registry.h>

namespace tavkit {
namespace {

std::string FunctionNameOf(std::initializer_list<std::string> lines) {
  TWvJavascript script(nullptr);
  script.Getscript().AddStrings(lines);
  return script.getScriptFunctionName();
}

TEST(WvJavascriptFunctionName, FindsTheFirstDeclaredFunction) {
  EXPECT_EQ(FunctionNameOf({"function checkForm(f)"}), "checkForm");
  EXPECT_EQ(FunctionNameOf({"  Function  Show () {"}), " Show ");
  EXPECT_EQ(FunctionNameOf({"var x = 1;", "function go(a, b) {", "function later() {"}), "go");
  EXPECT_EQ(FunctionNameOf({"FUNCTION Up(){}"}), "Up");
  EXPECT_EQ(FunctionNameOf({"function f() { } // function g()"}), "f");
}

TEST(WvJavascriptFunctionName, SkipsCommentsAndLinesWithoutAParenthesisAfterTheKeyword) {
  EXPECT_EQ(FunctionNameOf({"// function old(x)", "function current(x)"}), "current");
  EXPECT_EQ(FunctionNameOf({"x(1); function late(y)", "function next(z)"}), "next");
  EXPECT_EQ(FunctionNameOf({"function noParens", "functions(x)"}), "");
  EXPECT_EQ(FunctionNameOf({}), "");
  EXPECT_EQ(FunctionNameOf({"function (anonymous)"}), "");
}

class WvJavascriptDependencies : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = SetMessageBoxHandler([this](const std::string& text, TMsgDlgType type) {
      messages.push_back(text);
      types.push_back(type);
    });
  }
  void TearDown() override { SetMessageBoxHandler(previous); }

  static TWvJavaScriptdependency* Depend(TWvJavascript& from, TWvJavascript* to) {
    auto* dependency = from.GetDependList().AddItem();
    dependency->setScript(to);
    return dependency;
  }

  TMessageBoxHandler previous;
  std::vector<std::string> messages;
  std::vector<TMsgDlgType> types;
  TComponent form{nullptr};
};

TEST_F(WvJavascriptDependencies, CycleTestFollowsDependencies) {
  auto* a = new TWvJavascript(&form);
  auto* b = new TWvJavascript(&form);
  auto* c = new TWvJavascript(&form);
  Depend(*a, nullptr);
  Depend(*a, b);
  Depend(*b, c);
  EXPECT_TRUE(a->IsCyclePresent(a));
  EXPECT_TRUE(a->IsCyclePresent(c));
  EXPECT_FALSE(c->IsCyclePresent(a));
  EXPECT_FALSE(b->IsCyclePresent(a));
  EXPECT_FALSE(a->IsCyclePresent(nullptr));
  EXPECT_TRUE(messages.empty());
}

TEST_F(WvJavascriptDependencies, ClosingACycleIsRefusedWithAWarning) {
  auto* a = new TWvJavascript(&form);
  auto* c = new TWvJavascript(&form);
  auto* self = Depend(*a, a);
  EXPECT_EQ(self->getScript(), nullptr);
  Depend(*a, c);
  auto* back = Depend(*c, nullptr);
  back->setScript(a);
  EXPECT_EQ(back->getScript(), nullptr);

  auto* d = new TWvJavascript(&form);
  back->setScript(d);
  back->setScript(a);
  EXPECT_EQ(back->getScript(), d);

  ASSERT_EQ(messages.size(), 3u);
  for (std::size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i], "Circular dependency detected. Cannot select script.");
    EXPECT_EQ(types[i], TMsgDlgType::mtWarning);
  }
  back->setScript(nullptr);
  EXPECT_EQ(back->getScript(), nullptr);
}

TEST_F(WvJavascriptDependencies, CopiedDependenciesAreCheckedToo) {
  auto* a = new TWvJavascript(&form);
  auto* b = new TWvJavascript(&form);
  auto* c = new TWvJavascript(&form);
  Depend(*b, a);
  Depend(*b, c);
  // a takes b's list: the entry pointing at a itself is refused, c is kept.
  a->setDependList(b->GetDependList());
  ASSERT_EQ(a->GetDependList().Count(), 2);
  EXPECT_EQ(a->GetDependList().Items(0)->getScript(), nullptr);
  EXPECT_EQ(a->GetDependList().Items(1)->getScript(), c);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(a->GetDependList().GetOwner(), a);

  TStringList lines{"function f() {", "}"};
  a->writescript(lines);
  lines.Clear();
  EXPECT_EQ(a->Getscript().ToVector(), (std::vector<std::string>{"function f() {", "}"}));
}

TEST_F(WvJavascriptDependencies, FreeingAScriptClearsDependenciesOnIt) {
  auto* a = new TWvJavascript(&form);
  auto* b = new TWvJavascript(nullptr);
  auto* c = new TWvJavascript(nullptr);
  Depend(*a, b);
  Depend(*a, c);
  Depend(*a, b);
  delete b;
  EXPECT_EQ(a->GetDependList().Items(0)->getScript(), nullptr);
  EXPECT_EQ(a->GetDependList().Items(1)->getScript(), c);
  EXPECT_EQ(a->GetDependList().Items(2)->getScript(), nullptr);
  EXPECT_FALSE(a->IsCyclePresent(nullptr));
  // A script that is freed while it still depends on another leaves no trace there.
  delete a;
  delete c;
}

TEST_F(WvJavascriptDependencies, RetargetingOneOfTwoDependenciesKeepsWatchingForTheOther) {
  auto* a = new TWvJavascript(&form);
  auto* b = new TWvJavascript(nullptr);
  auto* c = new TWvJavascript(&form);
  auto* first = Depend(*a, b);
  auto* second = Depend(*a, b);
  first->setScript(c);
  delete b;
  EXPECT_EQ(first->getScript(), c);
  EXPECT_EQ(second->getScript(), nullptr);
}

// A ladder of shared dependencies has exponentially many paths; the cycle
// test must still answer at once.
TEST_F(WvJavascriptDependencies, SharedDependenciesAreSearchedOnce) {
  std::vector<TWvJavascript*> rungs;
  for (int i = 0; i < 60; ++i) {
    auto* left = new TWvJavascript(&form);
    auto* right = new TWvJavascript(&form);
    if (!rungs.empty()) {
      for (TWvJavascript* side : {left, right}) {
        Depend(*side, rungs[rungs.size() - 2]);
        Depend(*side, rungs[rungs.size() - 1]);
      }
    }
    rungs.push_back(left);
    rungs.push_back(right);
  }
  auto* outsider = new TWvJavascript(&form);
  EXPECT_FALSE(rungs.back()->IsCyclePresent(outsider));
  EXPECT_TRUE(rungs.back()->IsCyclePresent(rungs[0]));
}

TEST(WvJavascriptRegistry, PublishesScriptDependenciesAndPalette) {
  WvJavascript::Register();
  WvJavascript::RegisterClasses();
  const TClassInfo* info = TClassRegistry::Instance().Find("TWvJavascript");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->PalettePage, "Taveno");

  std::unique_ptr<TComponent> made(CreateComponent("TWvJavascript", nullptr));
  auto* script = dynamic_cast<TWvJavascript*>(made.get());
  ASSERT_NE(script, nullptr);
  info->FindProperty("script")->Set(*script, TPropValue(std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(std::get<std::vector<std::string>>(info->FindProperty("script")->Get(*script)),
            (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(std::get<TPersistent*>(info->FindProperty("DependList")->Get(*script)),
            &script->GetDependList());

  const TClassInfo* item = TClassRegistry::Instance().Find("TWvJavaScriptdependency");
  ASSERT_NE(item, nullptr);
  const TPropInfo* ref = item->FindProperty("script");
  ASSERT_NE(ref, nullptr);
  EXPECT_EQ(ref->RefClass, "TWvJavascript");
  TWvJavascript other(nullptr);
  auto* dependency = script->GetDependList().AddItem();
  ref->Set(*dependency, TPropValue(static_cast<TComponent*>(&other)));
  EXPECT_EQ(dependency->getScript(), &other);
}

}  // namespace
}  // namespace tavkit

// Whole documents from pages, and the panel, template and free-HTML elements.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <tavkit/core/WvOptimizer.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/layout/WvPanel.h>
#include <tavkit/layout/WvStandardComponent.h>
#include <tavkit/layout/WvTemplate.h>
#include <tavkit/scripts/WvJavascript.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {
namespace {

const std::string kHeadStart =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE>";
const std::string kGenerator = "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\">";
const std::string kNoScripts = "<script language=\"JavaScript\">\r\n</script>";
const std::string kRow = "<TR VALIGN=\"top\" ALIGN=\"left\">";

TWvJavascript* MakeScript(TComponent* owner, const std::string& name, const std::string& body) {
  auto* script = new TWvJavascript(owner);
  script->SetName(name);
  script->Getscript().Add("function " + name + "(x) {");
  script->Getscript().Add(body);
  script->Getscript().Add("}");
  return script;
}

TEST(WvPage, DefaultPageWithoutChildren) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  EXPECT_EQ(page->GetLeft(), 0);
  EXPECT_EQ(page->put(nullptr),
            kHeadStart + "</TITLE>" + kGenerator + kNoScripts +
                "</HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" VLINK=\"000000\" "
                "TEXT=\"000000\"  ><TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 "
                "CELLPADDING=0 WIDTH=500>" +
                kRow + "<TD HEIGHT=300 WIDTH=500 ></TD><TD></TD></TR></TABLE></BODY></HTML>");
}

TEST(WvPage, EveryPartOfTheDocumentInItsPlace) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 40, 20);
  page->SetBackGroundColor(clNone);
  page->SetPageTitle("T<i>");
  page->SetBackGroundImage("bg.gif");
  page->SetLinkColor(clBlue);
  page->SetVLinkColor(clRed);
  page->SetDefaultTextColor(clGreen);
  page->SetCenterContents(true);
  page->GetMetaTags()->AddStrings({"NAME=\"a\" CONTENT=\"1\"", "HTTP-EQUIV=\"x\""});
  page->GetScripts()->AddStrings({"x", "y"});
  page->GetHTMLBefore()->Add("before");
  page->GetHTMLInside()->Add("inside");
  page->GetHTMLAfter()->Add("after");
  TWvJavascript* load = MakeScript(&form, "hello", "  alert(x);");
  page->GetJSOnLoad()->setScript(load);
  page->GetJSOnLoad()->getParameterlist()->Add("'hi'");
  EXPECT_EQ(page->put(nullptr),
            " before" + kHeadStart +
                "T<i></TITLE><META NAME=\"a\" CONTENT=\"1\">"
                "<META HTTP-EQUIV=\"x\">" +
                kGenerator +
                "x y <script language=\"JavaScript\">\r\nfunction hello(x) {\r\n  alert(x);\r\n"
                "}\r\n</script></HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#0000FF\" "
                "VLINK=\"FF0000\" TEXT=\"008000\" BACKGROUND=\"bg.gif\" "
                "onLoad=\"hello('hi')\" ><center><TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 "
                "WIDTH=40> inside" +
                kRow +
                "<TD HEIGHT=20 WIDTH=40 ></TD><TD></TD></TR></TABLE></center>"
                "</BODY></HTML> after");
}

TEST(WvPage, StyleSheetListsTheClassesOfThisDocument) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 10, 10);
  TWvOptimizer optimizer(&form);
  TWvFont font;
  page->OnBeforePut = [&](TObject*) { optimizer.getClassName(font, clWhite, taLeft); };
  std::string html = page->put(&optimizer);
  EXPECT_EQ(html, kHeadStart + "</TITLE>" + kGenerator + kNoScripts +
                      "<STYLE TYPE=\"text/css\" media=\"SCREEN\">.T0{font :  10pt  ARIAL,SYSTEM;"
                      "color : #000000;background-color : #FFFFFF; text-align : Left;}</STYLE>"
                      "</HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" VLINK=\"000000\" "
                      "TEXT=\"000000\"  ><TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 "
                      "CELLPADDING=0 WIDTH=10>" +
                      kRow + "<TD HEIGHT=10 WIDTH=10 ></TD><TD></TD></TR></TABLE></BODY></HTML>");
  optimizer.setUseCSS(false);
  EXPECT_EQ(page->put(&optimizer).find("<STYLE"), std::string::npos);
}

TEST(WvPage, PutEventsNestInGridOrder) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  std::vector<std::string> events;
  auto watch = [&events](TWvVisibleComponent* c, const std::string& name) {
    c->SetName(name);
    c->OnBeforePut = [&events, name](TObject*) { events.push_back("before " + name); };
    c->OnAfterPut = [&events, name](TObject*) { events.push_back("after " + name); };
  };
  auto* panel = new TWvPanel(&form);
  panel->SetParent(page);
  panel->SetBounds(100, 10, 100, 100);
  auto* inner = new TWvStandardComponent(&form);
  inner->SetParent(panel);
  auto* first = new TWvStandardComponent(&form);
  first->SetParent(page);
  first->SetBounds(10, 10, 20, 20);
  watch(page, "page");
  watch(panel, "panel");
  watch(inner, "inner");
  watch(first, "first");
  page->put(nullptr);
  EXPECT_EQ(events,
            (std::vector<std::string>{"before page", "before first", "after first", "before panel",
                                      "before inner", "after inner", "after panel", "after page"}));
}

TEST(WvPage, ScriptsOfChildrenThenLoadEventsWithoutDuplicates) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  TWvJavascript* a = MakeScript(&form, "a", "");
  TWvJavascript* b = MakeScript(&form, "b", "");
  auto* tmpl = new TWvTemplate(&form);
  tmpl->SetParent(page);
  auto* hidden = new TWvPage(&form);  // not on the page: reached through the template
  hidden->GetJSOnUnload()->setScript(b);
  tmpl->SetDisplayedComponent(hidden);
  page->GetJSOnLoad()->setScript(a);
  page->GetJSOnUnload()->setScript(b);
  auto list = page->ScriptList();
  ASSERT_EQ(list->numberOfScripts(), 2);
  EXPECT_EQ(list->GetScript(0), b);
  EXPECT_EQ(list->GetScript(1), a);
  delete a;
  EXPECT_EQ(page->GetJSOnLoad()->getScript(), nullptr);
}

TEST(WvPanel, FreeHtmlAroundItsGrid) {
  TComponent form(nullptr);
  auto* panel = new TWvPanel(&form);
  panel->SetBounds(5, 5, 30, 10);
  panel->GetHTMLBefore()->Add("<B>");
  panel->GetHTMLInside()->Add("<CAPTION>c</CAPTION>");
  panel->GetHTMLAfter()->Add("</B>");
  EXPECT_EQ(panel->put(nullptr),
            " <B><TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=30> <CAPTION>c</CAPTION>" +
                kRow + "<TD HEIGHT=10 WIDTH=30 ></TD><TD></TD></TR></TABLE> </B>");
}

TEST(WvTemplate, ShowsTheDisplayedElementAndForgetsItWhenFreed) {
  TComponent form(nullptr);
  auto* tmpl = new TWvTemplate(&form);
  tmpl->GetHTMLBefore()->Add("[");
  tmpl->GetHTMLInside()->Add("never");
  tmpl->GetHTMLAfter()->Add("]");
  tmpl->SetBackGroundColor(clYellow);
  EXPECT_EQ(tmpl->put(nullptr), " [ ]");
  EXPECT_EQ(tmpl->GetBackGroundColor(), clYellow);
  auto* shown = new TWvStandardComponent(&form);
  shown->GetHTMLInside()->Add("shown");
  shown->SetBackGroundColor(clAqua);
  tmpl->SetDisplayedComponent(shown);
  EXPECT_EQ(tmpl->put(nullptr), " [ shown ]");
  EXPECT_EQ(tmpl->GetBackGroundColor(), clAqua);
  delete shown;
  EXPECT_EQ(tmpl->GetDisplayedComponent(), nullptr);
  EXPECT_EQ(tmpl->put(nullptr), " [ ]");
}

TEST(WvStandardComponent, WritesItsLinesAndRefusesChildren) {
  TComponent form(nullptr);
  auto* element = new TWvStandardComponent(&form);
  EXPECT_EQ(element->GetWidth(), 50);
  EXPECT_EQ(element->GetHeight(), 25);
  element->GetHTMLInside()->AddStrings({"<HR>", "<P>"});
  EXPECT_EQ(element->put(nullptr), " <HR> <P>");
  auto* child = new TWvStandardComponent(&form);
  EXPECT_THROW(child->SetParent(element), Exception);
}

}  // namespace
}  // namespace tavkit

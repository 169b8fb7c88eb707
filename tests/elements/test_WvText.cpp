// Hyperlinks and text elements: anchors with their events and target, lines
// in font markup or a style class, the free HTML inside the anchor, the
// scripts they report, and a text written as part of a whole page.
#include <gtest/gtest.h>

#include <string>

#include <tavkit/core/WvOptimizer.h>
#include <tavkit/elements/WvText.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/scripts/WvJavascript.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {
namespace {

TWvJavascript* MakeScript(TComponent* owner, const std::string& name) {
  auto* script = new TWvJavascript(owner);
  script->SetName(name);
  script->Getscript().AddStrings({"function " + name + "(x) {", "}"});
  return script;
}

TWvText* MakeText(TComponent* owner, std::initializer_list<std::string> lines) {
  auto* text = new TWvText(owner);
  TStringList list(lines);
  text->WriteText(&list);
  return text;
}

const std::string kFontStart = "<FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >";

TEST(WvLink, AnchorAttributesKeepTheirBlanksWithAndWithoutEvents) {
  TComponent form(nullptr);
  TWvLink link(&form);
  EXPECT_EQ(link.CreateLinkedText("x", "00FF00"), "x");  // no URL, no anchor
  link.SetURL("a.html");
  EXPECT_EQ(link.CreateHREF(), "HREF=\"a.html\"   ");
  EXPECT_EQ(link.CreateLinkedText("x", ""), "<A HREF=\"a.html\"   >x</A>");
  EXPECT_EQ(link.CreateLinkedText("x", "00FF00"),
            "<A HREF=\"a.html\"   ><font color=#00FF00>x</font></A>");

  TWvJavascript* over = MakeScript(&form, "over");
  TWvJavascript* click = MakeScript(&form, "click");
  link.GetJSOnMouseOver()->setScript(over);
  link.GetJSOnClick()->setScript(click);
  link.GetJSOnClick()->getParameterlist()->AddStrings({"this", "1"});
  link.SetTarget("main");
  EXPECT_EQ(link.CreateHREF(),
            "HREF=\"a.html\" onMouseOver=\"over()\"  onClick=\"click(this,1)\" target=\"main\"");
  EXPECT_EQ(link.CreateLinkedText("<B>x</B>", ""),
            "<A HREF=\"a.html\" onMouseOver=\"over()\"  onClick=\"click(this,1)\" "
            "target=\"main\"><B>x</B></A>");

  // Over, out, click: the order of the list follows the events, not the
  // order in which they were set.
  TWvJavascript* out = MakeScript(&form, "out");
  link.GetJSOnMouseOut()->setScript(out);
  auto scripts = link.ScriptList();
  ASSERT_EQ(scripts->numberOfScripts(), 3);
  EXPECT_EQ(scripts->GetScript(0), over);
  EXPECT_EQ(scripts->GetScript(1), out);
  EXPECT_EQ(scripts->GetScript(2), click);

  // A copy has its own invokers that name the same scripts.
  TWvLink copy(&form);
  copy.Assign(&link);
  EXPECT_EQ(copy.CreateHREF(), link.CreateHREF());
  link.GetJSOnClick()->setScript(nullptr);
  EXPECT_EQ(copy.GetJSOnClick()->getScript(), click);
}

TEST(WvText, LinesWithAndWithoutLineBreaks) {
  TComponent form(nullptr);
  TWvText* text = MakeText(&form, {"a", "<I>b</I>"});
  EXPECT_EQ(text->GetWidth(), 70);
  EXPECT_EQ(text->GetHeight(), 20);
  EXPECT_EQ(text->put(nullptr), kFontStart + "a<br><I>b</I><br></FONT>");
  text->SetAutoLineBreak(false);
  EXPECT_EQ(text->put(nullptr), kFontStart + "a<I>b</I></FONT>");

  TWvText* empty = MakeText(&form, {});
  empty->GetHTMLBefore()->Add("[");
  empty->GetHTMLInside()->Add("|");
  empty->GetHTMLAfter()->Add("]");
  EXPECT_EQ(empty->put(nullptr), " [" + kFontStart + "</FONT> | ]");
}

TEST(WvText, FontFlagsAndColour) {
  TComponent form(nullptr);
  TWvText* text = MakeText(&form, {"Hi"});
  TWvFont font;
  font.SetFontSize(5);
  font.SetBold(true);
  font.SetColor(clRed);
  font.SetPrimaryFont("COURIER NEW");
  font.SetSecondaryFonts("");
  text->SetFont(&font);
  EXPECT_EQ(text->put(nullptr),
            "<FONT SIZE=\"5\" FACE=\"COURIER NEW\" COLOR=\"FF0000\" ><B>Hi<br></B></FONT>");
  // The element keeps its own font: the caller's stays the caller's.
  font.SetFontSize(1);
  EXPECT_EQ(text->GetFont()->GetFontSize(), 5);
  EXPECT_NE(text->GetFont(), &font);
}

TEST(WvText, LinkEnclosesTheFreeHtmlAndCarriesTheFontColour) {
  TComponent form(nullptr);
  TWvText* text = MakeText(&form, {"go"});
  text->SetLink("next.html");
  text->GetHyperLink()->SetTarget("_top");
  text->GetHTMLBefore()->Add("<P>");
  text->GetHTMLAfter()->Add("</P>");
  EXPECT_EQ(text->GetHyperLink()->GetURL(), "next.html");
  EXPECT_EQ(text->put(nullptr),
            "<A HREF=\"next.html\"    target=\"_top\"><font color=#000000> <P>" + kFontStart +
                "go<br></FONT> </P></font></A>");
}

TEST(WvText, LinkOfAFontWithoutColourHasNoColourWrapper) {
  TComponent form(nullptr);
  TWvText* text = MakeText(&form, {"go"});
  text->GetFont()->SetColor(clNone);
  text->SetLink("next.html");
  EXPECT_EQ(text->put(nullptr),
            "<A HREF=\"next.html\"   ><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\"  >go<br></FONT></A>");
}

TEST(WvText, StyleSheetsTakeTheLookIntoAClass) {
  TComponent form(nullptr);
  TWvOptimizer optimizer(&form);
  TWvText* first = MakeText(&form, {"a", "b"});
  first->SetLink("x.html");
  first->GetFont()->SetColor(clBlue);
  EXPECT_EQ(first->put(&optimizer),
            "<A HREF=\"x.html\"   ><font color=#0000FF>a<br>b<br></font></A>");
  EXPECT_EQ(first->GetStyleClass(), "T0");

  // Same font, colour and alignment share the class; another alignment does not.
  TWvText* second = MakeText(&form, {"c"});
  second->GetFont()->SetColor(clBlue);
  EXPECT_EQ(second->put(&optimizer), "c<br>");
  EXPECT_EQ(second->GetStyleClass(), "T0");
  second->SetAlign(taRight);
  second->put(&optimizer);
  EXPECT_EQ(second->GetStyleClass(), "T1");

  // Without style sheets the markup comes back and the class stays recorded.
  optimizer.setUseCSS(false);
  EXPECT_EQ(second->put(&optimizer),
            "<FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"0000FF\" >c<br></FONT>");
  EXPECT_EQ(second->GetStyleClass(), "T1");
}

TEST(WvText, ScriptsOfTheLinkAndPutEvents) {
  TComponent form(nullptr);
  TWvText* text = MakeText(&form, {"a"});
  TWvJavascript* click = MakeScript(&form, "click");
  text->GetHyperLink()->GetJSOnClick()->setScript(click);
  auto scripts = text->ScriptList();
  ASSERT_EQ(scripts->numberOfScripts(), 1);
  EXPECT_EQ(scripts->GetScript(0), click);

  // A before-put handler's change shows in the same output.
  std::string seen;
  text->OnBeforePut = [&](TObject*) {
    TStringList lines{"late"};
    text->WriteText(&lines);
  };
  text->OnAfterPut = [&](TObject*) { seen = text->readText()->Get(0); };
  EXPECT_EQ(text->put(nullptr), kFontStart + "late<br></FONT>");
  EXPECT_EQ(seen, "late");
}

TEST(WvText, ChangesRepaintThePreviewOnlyAtDesignTime) {
  TComponent form(nullptr);
  TWvText* text = MakeText(&form, {"a"});
  const int atRunTime = text->RepaintRequests();
  text->GetFont()->SetBold(true);
  text->SetLink("a.html");
  EXPECT_EQ(text->RepaintRequests(), atRunTime);

  form.SetDesigning(true);
  text->GetFont()->SetBold(false);
  EXPECT_EQ(text->RepaintRequests(), atRunTime + 1);
  text->SetLink("b.html");
  EXPECT_EQ(text->RepaintRequests(), atRunTime + 2);
  TStringList lines{"b"};
  text->WriteText(&lines);
  EXPECT_EQ(text->RepaintRequests(), atRunTime + 3);
}

class TextOnPage : public ::testing::Test {
 protected:
  void SetUp() override {
    page->SetBounds(0, 0, 100, 40);
    text = MakeText(&form, {"Hello"});
    text->SetParent(page);
    text->SetBounds(10, 10, 70, 20);
    text->SetLink("next.html");
  }
  TComponent form{nullptr};
  TWvPage* page = new TWvPage(&form);
  TWvText* text = nullptr;
  const std::string head =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE></TITLE>"
      "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\">"
      "<script language=\"JavaScript\">\r\n</script>";
  const std::string body =
      "</HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" VLINK=\"000000\" TEXT=\"000000\"  >"
      "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=100>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 WIDTH=10 ></TD>"
      "<TD HEIGHT=10 WIDTH=70 ></TD><TD HEIGHT=10 WIDTH=20 ></TD><TD></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=20 ></TD>";
  const std::string tail =
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD><TD COLSPAN=2></TD></TR>"
      "</TABLE></BODY></HTML>";
};

TEST_F(TextOnPage, PlainMarkup) {
  text->SetAlign(taCenter);
  EXPECT_EQ(page->put(nullptr),
            head + body +
                "<TD ALIGN=\"center\" HEIGHT=20    ><A HREF=\"next.html\"   >"
                "<font color=#000000><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >"
                "Hello<br></FONT></font></A></TD></TR>" +
                tail);
}

TEST_F(TextOnPage, StyleSheetMode) {
  TWvOptimizer optimizer(&form);
  text->GetFont()->SetFontSize(4);
  text->GetFont()->SetItalic(true);
  text->SetBackGroundColor(clYellow);
  EXPECT_EQ(page->put(&optimizer),
            head +
                "<STYLE TYPE=\"text/css\" media=\"SCREEN\">.T0{font :  italic 14pt  "
                "ARIAL,SYSTEM;color : #000000;background-color : #FFFF00; text-align : Left;}"
                "</STYLE>" +
                body +
                "<TD  HEIGHT=20   BGCOLOR=\"#FFFF00\" class=\"T0\" ><A HREF=\"next.html\"   >"
                "<font color=#000000>Hello<br></font></A></TD></TR>" +
                tail);
  // The class list starts again for the next document.
  EXPECT_EQ(optimizer.ClassCount(), 0);
}

}  // namespace
}  // namespace tavkit

// Pictures and image maps: the IMG tag with its blanks, size, events and
// link, the MAP block of the hot spots, what may be placed on what, the
// scripts an image reports, and an image map written inside a page.
#include <gtest/gtest.h>

#include <string>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/elements/WvImage.h>
#include <tavkit/elements/WvImageMap.h>
#include <tavkit/elements/WvText.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/layout/WvPanel.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/scripts/WvJavascript.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {
namespace {

TWvJavascript* MakeScript(TComponent* owner, const std::string& name) {
  auto* script = new TWvJavascript(owner);
  script->SetName(name);
  script->Getscript().AddStrings({"function " + name + "() {", "}"});
  return script;
}

TWvImageMap* AddMap(TComponent* owner, TWvImage* image, int l, int t, int w, int h) {
  auto* map = new TWvImageMap(owner);
  map->SetParent(image);
  map->SetBounds(l, t, w, h);
  return map;
}

// The name the next image map of this run will get.
std::string NextMapName() {
  const std::string probe = WvGetUniqueID("MAP");
  return "MAP" + std::to_string(std::stoi(probe.substr(3)) + 1);
}

TEST(WvImage, PlainTagAndItsBlanks) {
  TComponent form(nullptr);
  auto* image = new TWvImage(&form);
  EXPECT_EQ(image->GetWidth(), 100);
  EXPECT_EQ(image->GetHeight(), 100);
  EXPECT_EQ(image->put(nullptr), "<IMG SRC=\"\"    BORDER=0 >");
  image->SetImagePath("a.gif");
  EXPECT_EQ(image->put(nullptr), "<IMG SRC=\"a.gif\"    BORDER=0 >");

  image->SetStretch(true);
  image->SetBounds(5, 5, 120, 40);
  image->GetHTMLBefore()->Add("<P>");
  image->GetHTMLInside()->Add("ALT=\"a\"");
  image->GetHTMLAfter()->Add("</P>");
  EXPECT_EQ(image->put(nullptr),
            " <P><IMG SRC=\"a.gif\" WIDTH =120 HEIGHT =40    BORDER=0  ALT=\"a\"> </P>");
}

TEST(WvImage, EventsAndLink) {
  TComponent form(nullptr);
  auto* image = new TWvImage(&form);
  image->SetImagePath("a.gif");
  image->GetJSOnLoad()->setScript(MakeScript(&form, "loaded"));
  EXPECT_EQ(image->put(nullptr), "<IMG SRC=\"a.gif\"   onLoad=\"loaded()\" BORDER=0 >");
  image->GetJSOnAbort()->setScript(MakeScript(&form, "aborted"));
  image->SetLink("big.html");
  image->GetHyperlink()->SetTarget("view");
  // The optimizer makes no difference to a picture, and a link has no colour.
  TWvOptimizer optimizer(&form);
  EXPECT_EQ(image->put(&optimizer),
            "<A HREF=\"big.html\"    target=\"view\"><IMG SRC=\"a.gif\"  onAbort=\"aborted()\" "
            "onLoad=\"loaded()\" BORDER=0 ></A>");
  EXPECT_EQ(image->GetStyleClass(), "");
}

TEST(WvImage, HotSpotsBecomeAMapAndTheImageLinkIsDropped) {
  TComponent form(nullptr);
  auto* image = new TWvImage(&form);
  image->SetImagePath("plan.gif");
  image->SetLink("ignored.html");
  image->GetHTMLBefore()->Add("[");
  image->GetHTMLInside()->Add("ALT=\"plan\"");
  image->GetHTMLAfter()->Add("]");
  TWvImageMap* first = AddMap(&form, image, 10, 10, 50, 20);
  first->SetLink("a.html");
  first->SetAltText("A");
  first->GetHyperLink()->GetJSOnClick()->setScript(MakeScript(&form, "pick"));
  AddMap(&form, image, 70, 10, 30, 30);  // no link: the HREF is still written

  auto expected = [](const std::string& name) {
    return " [<MAP NAME=\"" + name +
           "\"><AREA SHAPE=\"RECT\" COORDS=\"10,10,60,30\" HREF=\"a.html\"   "
           "onClick=\"pick()\" ALT=\"A\"> <AREA SHAPE=\"RECT\" COORDS=\"70,10,100,40\" "
           "HREF=\"\"    ALT=\"\"> </MAP><IMG SRC=\"plan.gif\"    BORDER=0 USEMAP=\"#" +
           name + "\"  ALT=\"plan\"> ]";
  };
  const std::string name = NextMapName();
  EXPECT_EQ(image->put(nullptr), expected(name));
  // Every put makes a map name of its own, so two maps never share one.
  const std::string again = NextMapName();
  EXPECT_NE(again, name);
  EXPECT_EQ(image->put(nullptr), expected(again));
}

TEST(WvImageMap, HotSpotDefaultsAndCorner) {
  TComponent form(nullptr);
  auto* image = new TWvImage(&form);
  image->SetImagePath("p.gif");
  auto* map = new TWvImageMap(&form);
  EXPECT_EQ(map->GetWidth(), 50);
  EXPECT_EQ(map->GetHeight(), 25);
  EXPECT_FALSE(map->HasStyle(csOpaque));
  map->SetParent(image);
  // A hot spot may start in the picture's own corner.
  map->SetLeft(0);
  map->SetTop(0);
  const std::string name = NextMapName();
  EXPECT_EQ(image->put(nullptr), "<MAP NAME=\"" + name +
                                     "\"><AREA SHAPE=\"RECT\" COORDS=\"0,0,50,25\" HREF=\"\"    "
                                     "ALT=\"\"> </MAP><IMG SRC=\"p.gif\"    BORDER=0 USEMAP=\"#" +
                                     name + "\" >");
}

TEST(WvImageMap, PlacedOnlyOnImagesAndImagesTakeNothingElse) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  auto* panel = new TWvPanel(&form);
  panel->SetParent(page);
  auto* image = new TWvImage(&form);
  image->SetParent(page);
  auto* text = new TWvText(&form);
  text->SetParent(page);
  auto* map = new TWvImageMap(&form);

  try {
    map->SetParent(page);
    FAIL() << "a page took an image map";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Imagemaps can only be put on images");
  }
  EXPECT_THROW(map->SetParent(panel), Exception);
  EXPECT_EQ(map->GetParent(), nullptr);
  EXPECT_EQ(page->GetControlCount(), 3);

  auto* other = new TWvText(&form);
  try {
    other->SetParent(image);
    FAIL() << "an image took a text";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Only imagemaps can be put on images");
  }
  EXPECT_EQ(image->GetControlCount(), 0);
  EXPECT_EQ(image->put(nullptr), "<IMG SRC=\"\"    BORDER=0 >");
  // Neither can anything be put into a text or a hot spot.
  EXPECT_THROW(map->SetParent(text), Exception);
  map->SetParent(image);
  EXPECT_THROW(other->SetParent(map), Exception);
  EXPECT_EQ(image->GetControlCount(), 1);
}

TEST(WvImage, ScriptsInEventOrderThenLinkThenHotSpots) {
  TComponent form(nullptr);
  auto* image = new TWvImage(&form);
  TWvJavascript* abort = MakeScript(&form, "abort");
  TWvJavascript* load = MakeScript(&form, "load");
  TWvJavascript* over = MakeScript(&form, "over");
  TWvJavascript* spot1 = MakeScript(&form, "spot1");
  TWvJavascript* spot2 = MakeScript(&form, "spot2");
  spot2->GetDependList().AddItem()->setScript(spot1);  // written after what it needs
  image->GetJSOnAbort()->setScript(abort);
  image->GetJSOnLoad()->setScript(load);
  image->GetHyperlink()->GetJSOnMouseOver()->setScript(over);
  AddMap(&form, image, 1, 1, 5, 5)->GetHyperLink()->GetJSOnClick()->setScript(spot2);
  AddMap(&form, image, 9, 9, 5, 5)->GetHyperLink()->GetJSOnMouseOut()->setScript(load);

  auto scripts = image->ScriptList();
  ASSERT_EQ(scripts->numberOfScripts(), 5);
  EXPECT_EQ(scripts->GetScript(0), load);
  EXPECT_EQ(scripts->GetScript(1), abort);
  EXPECT_EQ(scripts->GetScript(2), over);
  EXPECT_EQ(scripts->GetScript(3), spot1);
  EXPECT_EQ(scripts->GetScript(4), spot2);
}

TEST(WvImage, ImageMapInsideAPageWithAndWithoutStyleSheets) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 200, 120);
  auto* image = new TWvImage(&form);
  image->SetParent(page);
  image->SetBounds(20, 10, 160, 100);
  image->SetImagePath("/img/plan.gif");
  image->SetAlign(taRight);
  image->SetBackGroundColor(clSilver);
  TWvImageMap* map = AddMap(&form, image, 5, 5, 40, 30);
  map->SetLink("room.html");
  map->SetAltText("Room");
  map->GetHyperLink()->GetJSOnMouseOver()->setScript(MakeScript(&form, "light"));

  const std::string doc1 =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE></TITLE>"
      "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\">"
      "<script language=\"JavaScript\">\r\nfunction light() {\r\n}\r\n</script>";
  const std::string doc2 =
      "</HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" VLINK=\"000000\" TEXT=\"000000\"  >"
      "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=200>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 WIDTH=20 ></TD>"
      "<TD HEIGHT=10 WIDTH=160 ></TD><TD HEIGHT=10 WIDTH=20 ></TD><TD></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=100 ></TD>"
      "<TD ALIGN=\"right\" HEIGHT=100   BGCOLOR=\"#C0C0C0\" >";
  const std::string doc3 =
      "</TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD><TD COLSPAN=2></TD>"
      "</TR></TABLE></BODY></HTML>";
  auto picture = [](const std::string& name) {
    return "<MAP NAME=\"" + name +
           "\"><AREA SHAPE=\"RECT\" COORDS=\"5,5,45,35\" HREF=\"room.html\" "
           "onMouseOver=\"light()\"   ALT=\"Room\"> </MAP><IMG SRC=\"/img/plan.gif\"    "
           "BORDER=0 USEMAP=\"#" +
           name + "\" >";
  };

  std::string name = NextMapName();
  EXPECT_EQ(page->put(nullptr), doc1 + doc2 + picture(name) + doc3);

  // A picture asks for no style class: the sheet is empty and the cell has
  // no class attribute.
  TWvOptimizer optimizer(&form);
  name = NextMapName();
  EXPECT_EQ(page->put(&optimizer), doc1 + "<STYLE TYPE=\"text/css\" media=\"SCREEN\"></STYLE>" +
                                       doc2 + picture(name) + doc3);
}

}  // namespace
}  // namespace tavkit

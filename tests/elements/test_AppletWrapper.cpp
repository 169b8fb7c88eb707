// Applets and wrapped native controls: the APPLET tag with its parameters;
// the wrapper's refusals, removal notice and design preview (also when it
// lies on the control it wraps); the GIF it writes at its own size with the
// tag and map that show it; both on a page read from a form file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/elements/WvImageMap.h>
#include <tavkit/elements/WvJavaApplet.h>
#include <tavkit/elements/WvText.h>
#include <tavkit/elements/WvVCLWrapper.h>
#include <tavkit/gif/GIF.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/platform/base/Dialogs.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/controls/Chart.h>
#include <tavkit/platform/controls/StdCtrls.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascript.h>
#include <tavkit/scripts/WvScriptInvoker.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::CountPixels;

const std::string kRow = "<TR VALIGN=\"top\" ALIGN=\"left\">";
const std::string kDocumentStart =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE></TITLE>"
    "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\"><script "
    "language=\"JavaScript\">\r\n</script></HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" "
    "VLINK=\"000000\" TEXT=\"000000\"  >";

TPanel* MakePanel(TComponent* owner, int width, int height, TColor color) {
  auto* panel = new TPanel(owner);
  panel->SetBounds(0, 0, width, height);
  panel->SetColor(color);
  panel->SetBevelOuter(bvNone);
  return panel;
}

std::unique_ptr<TBitmap> Paint(TControl* control, TColor background) {
  const TRect all = Rect(0, 0, control->GetWidth(), control->GetHeight());
  auto bitmap = std::make_unique<TBitmap>(all.Right, all.Bottom, TPixelFormat::pf24bit);
  bitmap->Canvas().Brush().Color = background;
  bitmap->Canvas().FillRect(all);
  control->PaintTo(bitmap->Canvas(), 0, 0);
  return bitmap;
}

std::string NextMapName() {
  return "MAP" + std::to_string(std::stoi(WvGetUniqueID("MAP").substr(3)) + 1);
}

TEST(WvJavaApplet, TagParametersAndEvents) {
  TComponent form(nullptr);
  auto* applet = new TWvJavaApplet(&form);
  EXPECT_EQ(applet->GetWidth(), 200);
  EXPECT_EQ(applet->GetHeight(), 200);
  EXPECT_EQ(applet->GetBackGroundColor(), clSilver);
  applet->SetCode("A.class");
  EXPECT_EQ(applet->put(nullptr),
            "<APPLET CODE=\"A.class\" CODEBASE=\"\" NAME=\"\" HEIGHT=200 WIDTH=200></APPLET>");

  applet->SetBounds(5, 5, 320, 40);
  applet->SetCodeBase("/java/");
  applet->GetHTMLBefore()->Add("<CENTER>");
  applet->GetHTMLInside()->AddStrings({"No", "applets."});
  applet->GetHTMLAfter()->Add("</CENTER>");
  // A value keeps every "=" after the first; a line without one repeats the
  // pair before it (both empty on the first line).
  TStringList parameters({"speed", "a=1", "b=x=y", "fast", "=anonymous"});
  applet->SetParameters(&parameters);
  parameters.Clear();
  std::vector<std::string> events;
  applet->OnBeforePut = [&](TObject*) {
    events.push_back("before");
    applet->SetInstanceName("late");
  };
  applet->OnAfterPut = [&](TObject*) { events.push_back("after"); };
  EXPECT_EQ(applet->put(nullptr),
            " <CENTER><APPLET CODE=\"A.class\" CODEBASE=\"/java/\" NAME=\"late\" HEIGHT=40 "
            "WIDTH=320> No applets.<PARAM NAME=\"\" VALUE=\"\"><PARAM NAME=\"a\" VALUE=\"1\">"
            "<PARAM NAME=\"b\" VALUE=\"x=y\"><PARAM NAME=\"b\" VALUE=\"x=y\"><PARAM NAME=\"\" "
            "VALUE=\"anonymous\"></APPLET> </CENTER>");
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));

  auto* text = new TWvText(&form);
  EXPECT_THROW(text->SetParent(applet), Exception);
  EXPECT_EQ(applet->GetControlCount(), 0);
}

TEST(WvVCLWrapper, RefusalsHotSpotsAndRemoval) {
  std::vector<std::string> boxes;
  TMessageBoxHandler previous =
      SetMessageBoxHandler([&](const std::string& text, TMsgDlgType type) {
        EXPECT_EQ(type, TMsgDlgType::mtWarning);
        boxes.push_back(text);
      });
  TComponent form(nullptr);
  auto* wrapper = new TWvVCLWrapper(&form);
  EXPECT_EQ(wrapper->GetWidth(), 50);
  EXPECT_EQ(wrapper->GetHeight(), 25);
  auto* map = new TWvImageMap(&form);
  map->SetParent(wrapper);
  auto* text = new TWvText(&form);
  auto* chart = new TBarChart(&form);
  for (TControl* refused : std::vector<TControl*>{text, chart}) {
    try {
      refused->SetParent(wrapper);
      ADD_FAILURE() << "the wrapper took " << refused->ClassName();
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Only imagemaps can be put on images !!!");
    }
  }
  EXPECT_EQ(wrapper->GetControlCount(), 1);

  // Page elements, the wrapper itself and hot spots are refused and the old
  // control stays: silently at run time, with a warning while designing.
  wrapper->SetControl(chart);
  for (TWinControl* refused : std::vector<TWinControl*>{text, wrapper, map})
    wrapper->SetControl(refused);
  EXPECT_TRUE(boxes.empty());
  form.SetDesigning(true);
  wrapper->SetControl(text);
  EXPECT_EQ(boxes, (std::vector<std::string>{"Taveno components are not allowed"}));
  EXPECT_EQ(wrapper->GetVCLControl(), chart);
  SetMessageBoxHandler(previous);

  // Only the removal of the wrapped control clears the reference.
  auto* panel = MakePanel(&form, 10, 10, clRed);
  wrapper->SetControl(panel);
  delete chart;
  EXPECT_EQ(wrapper->GetVCLControl(), panel);
  delete panel;
  EXPECT_EQ(wrapper->GetVCLControl(), nullptr);
  {
    TComponent elsewhere(nullptr);
    wrapper->SetControl(new TBarChart(&elsewhere));
  }
  EXPECT_EQ(wrapper->GetVCLControl(), nullptr);
}

TEST(WrapperPreview, TheControlStretchedWithItsHotSpotsOnTop) {
  TComponent form(nullptr);
  form.SetDesigning(true);
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetBounds(1, 1, 80, 40);
  EXPECT_EQ(CountPixels(*Paint(wrapper, clYellow), clYellow), 80 * 40);  // nothing to show
  wrapper->SetControl(MakePanel(&form, 40, 20, clRed));
  EXPECT_EQ(CountPixels(*Paint(wrapper, clYellow), clRed), 80 * 40);

  auto* map = new TWvImageMap(&form);
  map->SetParent(wrapper);
  map->SetBounds(10, 10, 20, 10);
  const auto bitmap = Paint(wrapper, clYellow);
  EXPECT_EQ(bitmap->GetPixel(10, 10), clBlack);
  EXPECT_EQ(bitmap->GetPixel(15, 15), clRed);
  const int ink = CountPixels(*bitmap, clBlack);
  EXPECT_GT(ink, 20);
  EXPECT_LT(ink, 2 * (20 + 10));
  EXPECT_EQ(ink + CountPixels(*bitmap, clRed), 80 * 40);
}

TEST(WrapperPreview, AControlHoldingItsOwnWrapperIsPaintedOnce) {
  // Each would paint the other without end; inside its own picture the
  // wrapper stays blank, so the panel's red shows through.
  TComponent form(nullptr);
  TPanel* red = MakePanel(&form, 100, 50, clRed);
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetParent(red);
  wrapper->SetBounds(10, 10, 40, 20);
  wrapper->SetControl(red);
  EXPECT_EQ(CountPixels(*Paint(wrapper, clWhite), clRed), 40 * 20);
  EXPECT_EQ(CountPixels(*Paint(red, clYellow), clRed), 100 * 50);

  // Two wrappers on each other's controls: the blue panel's picture shows
  // its own wrapper's picture of the red panel, and there it stops.
  TPanel* blue = MakePanel(&form, 60, 30, clBlue);
  auto* back = new TWvVCLWrapper(&form);
  back->SetParent(blue);
  back->SetBounds(5, 5, 20, 10);
  back->SetControl(red);
  wrapper->SetControl(blue);
  const auto crossed = Paint(red, clYellow);
  EXPECT_EQ(crossed->GetPixel(5, 5), clRed);
  EXPECT_EQ(crossed->GetPixel(11, 11), clBlue);
  EXPECT_EQ(crossed->GetPixel(20, 17), clRed);
}

// Points the server images at a fresh folder of the build for one test.
class WrapperPut : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    StdCtrls::Register();
    Chart::Register();
    WvPage::Register();
    WvText::Register();
    WvImageMap::Register();
    WvJavaApplet::Register();
    WvVCLWrapper::Register();
  }
  void SetUp() override {
    Folder = std::filesystem::path(TAVKIT_BINARY_DIR) / "applet-images" /
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(Folder);
    WvSetInternalImagePath(Folder.string() + "/");
    WvSetExternalImagePath("/img/");
  }

  std::vector<std::string> Written() const {
    std::vector<std::string> names;
    if (std::filesystem::exists(Folder))
      for (const auto& entry : std::filesystem::directory_iterator(Folder))
        names.push_back(entry.path().filename().string());
    return names;
  }
  // The file that the last put added, with its generated name.
  std::string Added(const std::vector<std::string>& before) const {
    std::vector<std::string> added;
    for (const std::string& name : Written())
      if (std::find(before.begin(), before.end(), name) == before.end()) added.push_back(name);
    EXPECT_EQ(added.size(), 1u);
    if (added.size() != 1) return std::string();
    EXPECT_TRUE(std::regex_match(added[0], std::regex("AG[0-9]+_[0-9]+\\.gif"))) << added[0];
    return added[0];
  }
  // The picture of a written file as the codec reads it.
  std::unique_ptr<TBitmap> Decode(const std::string& name, int width, int height) const {
    TGIFImage gif;
    gif.LoadFromFile((Folder / name).string());
    EXPECT_EQ(gif.GetWidth(), width);
    EXPECT_EQ(gif.GetHeight(), height);
    auto bitmap = std::make_unique<TBitmap>(width, height, TPixelFormat::pf24bit);
    bitmap->Canvas().StretchDraw(Rect(0, 0, width, height), gif);
    return bitmap;
  }

  TComponent form{nullptr};
  std::filesystem::path Folder;
};

TEST_F(WrapperPut, AChartShrunkToTheWrappersSize) {
  auto* chart = new TBarChart(&form);
  chart->SetBounds(0, 0, 200, 100);
  chart->SetTitle("Visits");
  chart->AddValue("Jan", 12);
  chart->AddValue("Feb", 30, clRed);
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetBounds(1, 1, 100, 50);
  wrapper->SetControl(chart);
  const std::string html = wrapper->put(nullptr);
  const std::string name = Added({});
  EXPECT_EQ(html, "<IMG SRC=\"/img/" + name + "\"    BORDER=0 >");

  // Wherever the chart is one colour around the matching place, the GIF
  // shows that colour, within the half step of the web palette.
  const auto drawn = Paint(chart, clWhite);
  const auto written = Decode(name, 100, 50);
  auto near = [](TColor a, TColor b) {
    for (int shift : {0, 8, 16})
      if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 25) return false;
    return true;
  };
  int navy = 0, red = 0;
  for (int y = 1; y < 49; ++y)
    for (int x = 1; x < 99; ++x) {
      const TColor colour = drawn->GetPixel(2 * x, 2 * y);
      bool uniform = true;
      for (int dy = -2; dy <= 3; ++dy)
        for (int dx = -2; dx <= 3; ++dx)
          uniform = uniform && drawn->GetPixel(2 * x + dx, 2 * y + dy) == colour;
      if (!uniform) continue;
      ASSERT_TRUE(near(written->GetPixel(x, y), colour)) << x << "," << y;
      navy += colour == clNavy;
      red += colour == clRed;
    }
  EXPECT_GT(navy, 10);
  EXPECT_GT(red, 30);
}

TEST_F(WrapperPut, HotSpotsScriptsAndTheBeforePutHandlerFirst) {
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetBounds(1, 1, 20, 10);
  auto* script = new TWvJavascript(&form);
  script->SetName("shown");
  script->Getscript().AddStrings({"function shown() {", "}"});
  wrapper->GetJSOnLoad()->setScript(script);
  wrapper->GetHTMLBefore()->Add("<P>");
  wrapper->GetHTMLInside()->Add("ALT=\"v\"");
  auto* spot = new TWvImageMap(&form);
  spot->SetParent(wrapper);
  spot->SetBounds(2, 1, 5, 8);
  spot->SetLink("jan.html");
  // The handler supplies the control, and it shows in this very put.
  std::vector<std::string> events;
  wrapper->OnBeforePut = [&](TObject*) {
    events.push_back("before");
    wrapper->SetControl(MakePanel(&form, 40, 20, clRed));
  };
  wrapper->OnAfterPut = [&](TObject*) { events.push_back("after"); };
  const std::string map = NextMapName();
  const std::string html = wrapper->put(nullptr);
  const std::string name = Added({});
  EXPECT_EQ(html, " <P><MAP NAME=\"" + map +
                      "\"><AREA SHAPE=\"RECT\" COORDS=\"2,1,7,9\" HREF=\"jan.html\"    ALT=\"\"> "
                      "</MAP><IMG SRC=\"/img/" +
                      name + "\"   onLoad=\"shown()\" BORDER=0 USEMAP=\"#" + map +
                      "\"  ALT=\"v\">");
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));
  EXPECT_EQ(CountPixels(*Decode(name, 20, 10), clRed), 20 * 10);
}

TEST_F(WrapperPut, WithoutAControlOnlyTheFreeHtml) {
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 100, 60);
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetParent(page);
  wrapper->SetBounds(10, 10, 50, 25);
  wrapper->SetImagePath("old.gif");  // a picture of earlier days is not shown
  (new TWvImageMap(&form))->SetParent(wrapper);
  wrapper->GetHTMLBefore()->Add("[");
  wrapper->GetHTMLAfter()->Add("]");
  int events = 0;
  wrapper->OnBeforePut = wrapper->OnAfterPut = [&](TObject*) { ++events; };
  EXPECT_EQ(page->put(nullptr),
            kDocumentStart +
                "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=100>" +
                kRow + "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=50 ></TD>" +
                "<TD HEIGHT=10 WIDTH=40 ></TD><TD></TD></TR>" + kRow +
                "<TD HEIGHT=25 ></TD><TD  HEIGHT=25    > [ ]</TD></TR>" + kRow +
                "<TD HEIGHT=25 ></TD><TD COLSPAN=2></TD></TR></TABLE></BODY></HTML>");
  EXPECT_EQ(events, 2);
  EXPECT_TRUE(Written().empty());
}

TEST_F(WrapperPut, PicturesThatCannotBeMadeLeaveAnEmptySource) {
  auto* wrapper = new TWvVCLWrapper(&form);
  TPanel* panel = MakePanel(&form, 40, 20, clRed);
  wrapper->SetControl(panel);
  const std::string empty = "<IMG SRC=\"\"    BORDER=0 >";
  // A wrapper without pixels, a control too large for any bitmap, and a
  // server image folder that cannot be made below a plain file.
  wrapper->SetBounds(1, 1, 0, 50);
  EXPECT_EQ(wrapper->put(nullptr), empty);
  wrapper->SetBounds(1, 1, 100, 50);
  panel->SetBounds(0, 0, MaxControlCoordinate, MaxControlCoordinate);
  EXPECT_EQ(wrapper->put(nullptr), empty);
  panel->SetBounds(0, 0, 40, 20);
  std::filesystem::create_directories(Folder);
  { TFileStream blocker((Folder / "file").string(), fmCreate); }
  WvSetInternalImagePath((Folder / "file" / "images").string() + "/");
  EXPECT_EQ(wrapper->put(nullptr), empty);
  EXPECT_EQ(Written(), (std::vector<std::string>{"file"}));

  // A wrapper lying on the control it shows still writes one picture.
  WvSetInternalImagePath(Folder.string() + "/");
  wrapper->SetBounds(5, 5, 20, 10);
  wrapper->SetParent(panel);
  const std::string html = wrapper->put(nullptr);
  const std::string name = Added({"file"});
  EXPECT_EQ(html, "<IMG SRC=\"/img/" + name + "\"    BORDER=0 >");
  EXPECT_EQ(CountPixels(*Decode(name, 20, 10), clRed), 20 * 10);
}

const char* const kForm = R"({
  "form": "StatsForm",
  "components": [
    { "class": "TBarChart", "name": "Chart1",
      "properties": { "Width": 200, "Height": 100, "Title": "Visits",
                      "Values": [ { "Label": "Jan", "Value": 12 } ] } },
    { "class": "TWvPage", "name": "Page1",
      "properties": { "Left": 0, "Top": 0, "Width": 300, "Height": 200 },
      "children": [
        { "class": "TWvJavaApplet", "name": "Clock",
          "properties": { "Left": 10, "Top": 10, "Width": 120, "Height": 60,
                          "Code": "Clock.class", "CodeBase": "/java/",
                          "InstanceName": "clock", "Parameters": ["zone=UTC", "face=round"] } },
        { "class": "TWvVCLWrapper", "name": "Visits",
          "properties": { "Left": 150, "Top": 10, "Width": 100, "Height": 50,
                          "VCLControl": "Chart1" },
          "children": [
            { "class": "TWvImageMap", "name": "January",
              "properties": { "Left": 20, "Top": 5, "Width": 30, "Height": 40,
                              "Link": "jan.html", "AltText": "January" } } ] }
      ] }
  ]
})";

TEST_F(WrapperPut, AppletAndWrappedChartOnAPageThroughAFormFile) {
  auto expectDocument = [this](TComponent& owner) {
    const std::vector<std::string> before = Written();
    const std::string map = NextMapName();
    const std::string html = dynamic_cast<TWvPage*>(owner.FindComponent("Page1"))->put(nullptr);
    const std::string name = Added(before);
    EXPECT_EQ(html,
              kDocumentStart +
                  "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=300>" +
                  kRow +
                  "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=120 ></TD>"
                  "<TD HEIGHT=10 WIDTH=20 ></TD><TD HEIGHT=10 WIDTH=100 ></TD>"
                  "<TD HEIGHT=10 WIDTH=50 ></TD><TD></TD></TR>" +
                  kRow +
                  "<TD HEIGHT=50 ></TD><TD  HEIGHT=50 ROWSPAN=2  BGCOLOR=\"#C0C0C0\" ><APPLET "
                  "CODE=\"Clock.class\" CODEBASE=\"/java/\" NAME=\"clock\" HEIGHT=60 WIDTH=120>"
                  "<PARAM NAME=\"zone\" VALUE=\"UTC\"><PARAM NAME=\"face\" VALUE=\"round\">"
                  "</APPLET></TD><TD></TD><TD  HEIGHT=50    ><MAP NAME=\"" +
                  map +
                  "\"><AREA SHAPE=\"RECT\" COORDS=\"20,5,50,45\" HREF=\"jan.html\"    "
                  "ALT=\"January\"> </MAP><IMG SRC=\"/img/" +
                  name + "\"    BORDER=0 USEMAP=\"#" + map + "\" ></TD></TR>" + kRow +
                  "<TD HEIGHT=10 ></TD><TD COLSPAN=3></TD></TR>" + kRow +
                  "<TD HEIGHT=130 ></TD><TD COLSPAN=4></TD></TR></TABLE></BODY></HTML>");
    Decode(name, 100, 50);
  };
  LoadFormFromText(kForm, form);
  expectDocument(form);
  const std::string saved = SaveForm(form);
  EXPECT_NE(saved.find("\"VCLControl\": \"Chart1\""), std::string::npos);
  TComponent again(nullptr);
  LoadFormFromText(saved, again);
  EXPECT_EQ(dynamic_cast<TWvVCLWrapper*>(again.FindComponent("Visits"))->GetVCLControl(),
            again.FindComponent("Chart1"));
  EXPECT_EQ(SaveForm(again), saved);
  expectDocument(again);

  // A page element named as the control is a fault of the file.
  const std::string text = R"({ "form": "F", "components": [
    { "class": "TWvPage", "name": "Page1", "children": [
      { "class": "TWvText", "name": "Text1" },
      { "class": "TWvVCLWrapper", "name": "Wrapper1", "properties": { "VCLControl": "Text1" } }
    ] } ] })";
  TComponent bad(nullptr);
  try {
    LoadFormFromText(text, bad);
    ADD_FAILURE() << "a page element was taken as the wrapped control";
  } catch (const EFormFileError& e) {
    EXPECT_STREQ(e.what(),
                 "Form file: component Wrapper1 (TWvVCLWrapper), property VCLControl: Text1 is a "
                 "TWvText, which the property cannot refer to (it needs a TWinControl)");
  }
  EXPECT_EQ(bad.ComponentCount(), 0);
}

TEST_F(WrapperPut, PublishedPropertiesAndPalette) {
  const TClassRegistry& registry = TClassRegistry::Instance();
  const TClassInfo* applet = registry.Find("TWvJavaApplet");
  const TClassInfo* wrapper = registry.Find("TWvVCLWrapper");
  ASSERT_TRUE(applet != nullptr && wrapper != nullptr);
  EXPECT_EQ(applet->PalettePage, "Taveno");
  EXPECT_EQ(wrapper->PalettePage, "Taveno");
  auto own = [](const TClassInfo* info) {
    std::vector<std::string> names;
    for (const TPropInfo& property : info->Properties) names.push_back(property.Name);
    return names;
  };
  EXPECT_EQ(own(applet),
            (std::vector<std::string>{"Code", "CodeBase", "InstanceName", "Parameters"}));
  EXPECT_EQ(own(wrapper), (std::vector<std::string>{"VCLControl"}));
  // Of the picture base only the two script events are published.
  EXPECT_NE(wrapper->FindProperty("JSOnLoad"), nullptr);
  for (const char* hidden : {"ImagePath", "Link", "Stretch", "Hyperlink"})
    EXPECT_EQ(wrapper->FindProperty(hidden), nullptr) << hidden;
}

}  // namespace
}  // namespace tavkit

// Applets and wrapped native controls: the APPLET tag with its parameters,
// an applet inside a page, the refusals and removal notice of the wrapper,
// its design preview (also when it lies on the control it wraps), and what
// both publish to form files; the GIF file a wrapper writes at its own size
// with the tag and map that show it, on its own and on a page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "core/WvMiscTools.h"
#include "elements/WvImageMap.h"
#include "elements/WvJavaApplet.h"
#include "elements/WvText.h"
#include "elements/WvVCLWrapper.h"
#include "gif/GIFImage.h"
#include "layout/WvPage.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Chart.h"
#include "platform/Dialogs.h"
#include "platform/Exceptions.h"
#include "platform/FormFile.h"
#include "platform/Registry.h"
#include "platform/StdCtrls.h"
#include "scripts/WvJavascript.h"
#include "scripts/WvScriptInvoker.h"

namespace tavkit {
namespace {

const std::string kDocumentStart =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE></TITLE>"
    "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\"><script "
    "language=\"JavaScript\">\r\n</script></HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" "
    "VLINK=\"000000\" TEXT=\"000000\"  >";
const std::string kRow = "<TR VALIGN=\"top\" ALIGN=\"left\">";

// Records the message boxes shown while it lives.
class TMessageBoxRecorder {
 public:
  TMessageBoxRecorder()
      : FPrevious(SetMessageBoxHandler([this](const std::string& text, TMsgDlgType type) {
          Boxes.push_back(text);
          Types.push_back(type);
        })) {}
  ~TMessageBoxRecorder() { SetMessageBoxHandler(std::move(FPrevious)); }

  std::vector<std::string> Boxes;
  std::vector<TMsgDlgType> Types;

 private:
  TMessageBoxHandler FPrevious;
};

TPanel* MakePanel(TComponent* owner, int width, int height, TColor color) {
  auto* panel = new TPanel(owner);
  panel->SetBounds(0, 0, width, height);
  panel->SetColor(color);
  panel->SetBevelOuter(bvNone);
  return panel;
}

std::unique_ptr<TBitmap> Paint(TControl* control, TColor background) {
  auto bitmap =
      std::make_unique<TBitmap>(control->GetWidth(), control->GetHeight(), TPixelFormat::pf24bit);
  bitmap->Canvas().Brush().Color = background;
  bitmap->Canvas().FillRect(Rect(0, 0, control->GetWidth(), control->GetHeight()));
  control->PaintTo(bitmap->Canvas(), 0, 0);
  return bitmap;
}

int CountColour(const TBitmap& bitmap, TColor colour) {
  int count = 0;
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) count += bitmap.GetPixel(x, y) == colour;
  return count;
}

// The name the next image map of this run will get.
std::string NextMapName() {
  const std::string probe = WvGetUniqueID("MAP");
  return "MAP" + std::to_string(std::stoi(probe.substr(3)) + 1);
}

// Points the server images at a fresh folder of the build for one test.
class ServerImages : public ::testing::Test {
 protected:
  void SetUp() override {
    FInternal = WvGetInternalImagePath();
    FExternal = WvGetExternalImagePath();
    Folder = std::filesystem::path(TAVKIT_BINARY_DIR) / "applet-images" /
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(Folder);
    WvSetInternalImagePath(Folder.string() + "/");
    WvSetExternalImagePath("/img/");
  }
  void TearDown() override {
    WvSetInternalImagePath(FInternal);
    WvSetExternalImagePath(FExternal);
  }

  // The names of the files written so far, sorted.
  std::vector<std::string> Written() const {
    std::vector<std::string> names;
    if (!std::filesystem::exists(Folder)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The one file written, checked for the generated name pattern.
  std::string OnlyFile() const {
    const std::vector<std::string> names = Written();
    EXPECT_EQ(names.size(), 1u);
    if (names.size() != 1) return std::string();
    EXPECT_TRUE(std::regex_match(names[0], std::regex("AG[0-9]+_[0-9]+\\.gif"))) << names[0];
    return names[0];
  }
  // The first frame of a written file as the codec reads it.
  std::unique_ptr<TBitmap> Decode(const std::string& name, int width, int height) const {
    TGIFImage gif;
    gif.LoadFromFile((Folder / name).string());
    EXPECT_EQ(gif.GetWidth(), width);
    EXPECT_EQ(gif.GetHeight(), height);
    auto bitmap = std::make_unique<TBitmap>(width, height, TPixelFormat::pf24bit);
    bitmap->Canvas().StretchDraw(Rect(0, 0, width, height), gif);
    return bitmap;
  }

  std::filesystem::path Folder;

 private:
  std::string FInternal;
  std::string FExternal;
};

// True when the colours differ by less than half a step of the web palette
// in every channel, which is what colour reduction may move a pixel.
bool Near(TColor a, TColor b) {
  for (int shift : {0, 8, 16})
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >
        25)
      return false;
  return true;
}

TEST(WvJavaApplet, DefaultsAndTheBareTag) {
  TComponent form(nullptr);
  auto* applet = new TWvJavaApplet(&form);
  EXPECT_EQ(applet->GetWidth(), 200);
  EXPECT_EQ(applet->GetHeight(), 200);
  EXPECT_FALSE(applet->GetContainer());
  EXPECT_EQ(applet->GetBackGroundColor(), clSilver);
  EXPECT_FALSE(applet->IsBackgroundTransparent());
  applet->SetCode("A.class");
  EXPECT_EQ(applet->put(nullptr),
            "<APPLET CODE=\"A.class\" CODEBASE=\"\" NAME=\"\" HEIGHT=200 WIDTH=200></APPLET>");
}

TEST(WvJavaApplet, ParametersFreeHtmlAndEvents) {
  TComponent form(nullptr);
  auto* applet = new TWvJavaApplet(&form);
  applet->SetBounds(5, 5, 320, 40);
  applet->SetCode("Ticker.class");
  applet->SetCodeBase("/java/");
  applet->SetInstanceName("ticker");
  applet->GetHTMLBefore()->Add("<CENTER>");
  applet->GetHTMLInside()->AddStrings({"Your browser", "runs no applets."});
  applet->GetHTMLAfter()->Add("</CENTER>");
  // A value keeps every "=" after the first; a line without one repeats the
  // pair before it; a value may be empty.
  TStringList parameters({"a=1", "b=x=y", "speed", "text=", "=anonymous"});
  applet->SetParameters(&parameters);
  parameters.Clear();  // the applet keeps its own copy
  std::vector<std::string> events;
  applet->OnBeforePut = [&](TObject*) {
    events.push_back("before");
    applet->SetInstanceName("late");  // a change made here shows in this put
  };
  applet->OnAfterPut = [&](TObject*) { events.push_back("after"); };
  EXPECT_EQ(applet->put(nullptr),
            " <CENTER><APPLET CODE=\"Ticker.class\" CODEBASE=\"/java/\" NAME=\"late\" HEIGHT=40 "
            "WIDTH=320> Your browser runs no applets.<PARAM NAME=\"a\" VALUE=\"1\"><PARAM "
            "NAME=\"b\" VALUE=\"x=y\"><PARAM NAME=\"b\" VALUE=\"x=y\"><PARAM NAME=\"text\" "
            "VALUE=\"\"><PARAM NAME=\"\" VALUE=\"anonymous\"></APPLET> </CENTER>");
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));

  // A first line without "=" has no pair before it: both are empty.
  TStringList lone({"flag"});
  applet->SetParameters(&lone);
  applet->GetHTMLBefore()->Clear();
  applet->GetHTMLInside()->Clear();
  applet->GetHTMLAfter()->Clear();
  EXPECT_EQ(applet->put(nullptr),
            "<APPLET CODE=\"Ticker.class\" CODEBASE=\"/java/\" NAME=\"late\" HEIGHT=40 WIDTH=320>"
            "<PARAM NAME=\"\" VALUE=\"\"></APPLET>");
}

TEST(WvJavaApplet, SilverCellOnAPageAndNothingInsideIt) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 200, 100);
  auto* applet = new TWvJavaApplet(&form);
  applet->SetParent(page);
  applet->SetBounds(10, 10, 120, 60);
  applet->SetCode("Clock.class");
  EXPECT_EQ(page->put(nullptr),
            kDocumentStart +
                "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=200>" +
                kRow + "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=120 ></TD>" +
                "<TD HEIGHT=10 WIDTH=70 ></TD><TD></TD></TR>" + kRow +
                "<TD HEIGHT=60 ></TD><TD  HEIGHT=60   BGCOLOR=\"#C0C0C0\" ><APPLET "
                "CODE=\"Clock.class\" CODEBASE=\"\" NAME=\"\" HEIGHT=60 WIDTH=120></APPLET>"
                "</TD></TR>" +
                kRow + "<TD HEIGHT=30 ></TD><TD COLSPAN=2></TD></TR></TABLE></BODY></HTML>");

  auto* text = new TWvText(&form);
  try {
    text->SetParent(applet);
    FAIL() << "an applet took a text";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Cannot place component in a non-container");
  }
  EXPECT_EQ(applet->GetControlCount(), 0);
}

TEST(WvVCLWrapper, DefaultsAndOnlyHotSpotsOnIt) {
  TComponent form(nullptr);
  auto* wrapper = new TWvVCLWrapper(&form);
  EXPECT_EQ(wrapper->GetWidth(), 50);
  EXPECT_EQ(wrapper->GetHeight(), 25);
  EXPECT_TRUE(wrapper->GetContainer());
  EXPECT_EQ(wrapper->GetVCLControl(), nullptr);
  EXPECT_FALSE(wrapper->GetStretch());

  auto* map = new TWvImageMap(&form);
  map->SetParent(wrapper);
  EXPECT_EQ(wrapper->GetControlCount(), 1);
  // Neither a page element nor a native control may lie on the picture.
  auto* text = new TWvText(&form);
  auto* panel = new TPanel(&form);
  for (TControl* refused : std::vector<TControl*>{text, panel}) {
    try {
      refused->SetParent(wrapper);
      FAIL() << "the wrapper took a " << refused->GetName();
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Only imagemaps can be put on images !!!");
    }
    EXPECT_EQ(refused->GetParent(), nullptr);
  }
  EXPECT_EQ(wrapper->GetControlCount(), 1);
}

TEST(WvVCLWrapper, PageElementsAreRefusedWithAWarningOnlyWhileDesigning) {
  TMessageBoxRecorder recorder;
  TComponent form(nullptr);
  auto* wrapper = new TWvVCLWrapper(&form);
  auto* chart = new TBarChart(&form);
  auto* text = new TWvText(&form);
  auto* other = new TWvVCLWrapper(&form);
  auto* map = new TWvImageMap(&form);

  // At run time the refusal is silent and the control stays.
  wrapper->SetControl(chart);
  for (TWinControl* refused : std::vector<TWinControl*>{text, wrapper, other, map}) {
    wrapper->SetControl(refused);
    EXPECT_EQ(wrapper->GetVCLControl(), chart);
  }
  EXPECT_TRUE(recorder.Boxes.empty());

  form.SetDesigning(true);
  wrapper->SetControl(text);
  wrapper->SetControl(wrapper);
  EXPECT_EQ(wrapper->GetVCLControl(), chart);
  EXPECT_EQ(recorder.Boxes, (std::vector<std::string>{"Taveno components are not allowed",
                                                      "Taveno components are not allowed"}));
  EXPECT_EQ(recorder.Types[0], TMsgDlgType::mtWarning);

  // Native controls and no control at all are accepted without a word.
  auto* panel = new TPanel(&form);
  wrapper->SetControl(panel);
  EXPECT_EQ(wrapper->GetVCLControl(), panel);
  wrapper->SetControl(nullptr);
  EXPECT_EQ(wrapper->GetVCLControl(), nullptr);
  EXPECT_EQ(recorder.Boxes.size(), 2u);
}

TEST(WvVCLWrapper, ForgetsTheControlWhenItIsFreed) {
  TComponent form(nullptr);
  auto* wrapper = new TWvVCLWrapper(&form);
  auto* first = new TPanel(&form);
  auto* second = new TPanel(&form);
  wrapper->SetControl(first);
  wrapper->SetControl(second);
  delete first;  // no longer wrapped: the reference stays
  EXPECT_EQ(wrapper->GetVCLControl(), second);
  {
    // A control of another owner, freed before the wrapper's form.
    TComponent elsewhere(nullptr);
    wrapper->SetControl(new TBarChart(&elsewhere));
  }
  EXPECT_EQ(wrapper->GetVCLControl(), nullptr);

  wrapper->SetControl(second);
  delete second;
  EXPECT_EQ(wrapper->GetVCLControl(), nullptr);

  // A wrapper freed before its control leaves the control nothing to call.
  auto* chart = new TBarChart(&form);
  wrapper->SetControl(chart);
  delete wrapper;
  delete chart;
}

class WrapperPreview : public ::testing::Test {
 protected:
  void SetUp() override { form.SetDesigning(true); }
  TComponent form{nullptr};
};

TEST_F(WrapperPreview, TheControlStretchedOverTheWrapperWithItsHotSpots) {
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetBounds(1, 1, 80, 40);
  // Nothing to show: the designer's surface stays as it was.
  EXPECT_EQ(CountColour(*Paint(wrapper, clYellow), clYellow), 80 * 40);

  // A red panel of 40 by 20 fills the whole wrapper, twice its size.
  wrapper->SetControl(MakePanel(&form, 40, 20, clRed));
  EXPECT_EQ(CountColour(*Paint(wrapper, clYellow), clRed), 80 * 40);

  // A hot spot draws its dashed frame over the picture, and only that.
  auto* map = new TWvImageMap(&form);
  map->SetParent(wrapper);
  map->SetBounds(10, 10, 20, 10);
  const auto bitmap = Paint(wrapper, clYellow);
  EXPECT_EQ(bitmap->GetPixel(10, 10), clBlack);
  EXPECT_EQ(bitmap->GetPixel(15, 15), clRed);
  EXPECT_EQ(bitmap->GetPixel(40, 30), clRed);
  const int ink = CountColour(*bitmap, clBlack);
  EXPECT_GT(ink, 20);
  EXPECT_LT(ink, 2 * (20 + 10));
  EXPECT_EQ(ink + CountColour(*bitmap, clRed), 80 * 40);
}

TEST_F(WrapperPreview, AWrapperOnTheControlItWrapsPaintsOnce) {
  // The panel holds the wrapper that shows the panel: each would paint the
  // other without end. Inside its own picture the wrapper stays blank, so
  // the panel's red shows through.
  TPanel* panel = MakePanel(&form, 100, 50, clRed);
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetParent(panel);
  wrapper->SetBounds(10, 10, 40, 20);
  wrapper->SetControl(panel);
  EXPECT_EQ(CountColour(*Paint(wrapper, clWhite), clRed), 40 * 20);
  EXPECT_EQ(CountColour(*Paint(panel, clYellow), clRed), 100 * 50);

  // Two wrappers that each lie on the other's control end the same way.
  TPanel* second = MakePanel(&form, 60, 30, clBlue);
  auto* back = new TWvVCLWrapper(&form);
  back->SetParent(second);
  back->SetBounds(5, 5, 20, 10);
  back->SetControl(panel);
  wrapper->SetControl(second);
  const auto crossed = Paint(panel, clYellow);
  EXPECT_EQ(crossed->GetPixel(5, 5), clRed);
  EXPECT_EQ(crossed->GetPixel(11, 11), clBlue);
  // Inside the blue panel's picture, its own wrapper shows the red panel.
  EXPECT_EQ(crossed->GetPixel(20, 17), clRed);
}

TBarChart* MakeChart(TComponent* owner) {
  auto* chart = new TBarChart(owner);
  chart->SetBounds(0, 0, 200, 100);
  chart->SetTitle("Visits");
  chart->AddValue("Jan", 12);
  chart->AddValue("Feb", 30, clRed);
  chart->SetMaxValue(30);
  return chart;
}

using WrapperPut = ServerImages;

TEST_F(WrapperPut, AChartShrunkToTheWrappersSize) {
  TComponent form(nullptr);
  TBarChart* chart = MakeChart(&form);
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetBounds(1, 1, 100, 50);
  wrapper->SetControl(chart);
  const std::string html = wrapper->put(nullptr);
  const std::string name = OnlyFile();
  // No size attributes: the file itself has the wrapper's size.
  EXPECT_EQ(html, "<IMG SRC=\"/img/" + name + "\"    BORDER=0 >");
  EXPECT_EQ(wrapper->GetImagePath(), "/img/" + name);
  const auto written = Decode(name, 100, 50);

  // Wherever the chart is one colour around the matching place, the GIF
  // shows that colour: the white ground, the navy and the red bar.
  const auto drawn = Paint(chart, clWhite);
  int white = 0, navy = 0, red = 0;
  for (int y = 1; y < 49; ++y)
    for (int x = 1; x < 99; ++x) {
      const TColor colour = drawn->GetPixel(2 * x, 2 * y);
      bool uniform = true;
      for (int dy = -2; dy <= 3 && uniform; ++dy)
        for (int dx = -2; dx <= 3 && uniform; ++dx)
          uniform = drawn->GetPixel(2 * x + dx, 2 * y + dy) == colour;
      if (!uniform) continue;
      ASSERT_TRUE(Near(written->GetPixel(x, y), colour)) << x << "," << y;
      white += colour == clWhite;
      navy += colour == clNavy;
      red += colour == clRed;
    }
  EXPECT_GT(white, 1000);
  EXPECT_GT(navy, 10);
  EXPECT_GT(red, 30);

  // Every put writes a picture of its own.
  const std::string again = wrapper->put(nullptr);
  const std::vector<std::string> names = Written();
  ASSERT_EQ(names.size(), 2u);
  const std::string other = names[0] == name ? names[1] : names[0];
  EXPECT_EQ(again, "<IMG SRC=\"/img/" + other + "\"    BORDER=0 >");
}

TEST_F(WrapperPut, HotSpotsScriptsAndFreeHtml) {
  TComponent form(nullptr);
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetBounds(1, 1, 100, 50);
  wrapper->SetControl(MakeChart(&form));
  auto* script = new TWvJavascript(&form);
  script->SetName("shown");
  script->Getscript().AddStrings({"function shown() {", "}"});
  wrapper->GetJSOnLoad()->setScript(script);
  wrapper->GetHTMLBefore()->Add("<P>");
  wrapper->GetHTMLInside()->Add("ALT=\"visits\"");
  wrapper->GetHTMLAfter()->Add("</P>");
  auto* january = new TWvImageMap(&form);
  january->SetParent(wrapper);
  january->SetBounds(20, 5, 30, 40);
  january->SetLink("jan.html");
  january->SetAltText("January");
  auto* february = new TWvImageMap(&form);
  february->SetParent(wrapper);
  february->SetBounds(60, 5, 30, 40);

  const std::string map = NextMapName();
  const std::string html = wrapper->put(nullptr);
  EXPECT_EQ(html, " <P><MAP NAME=\"" + map +
                      "\"><AREA SHAPE=\"RECT\" COORDS=\"20,5,50,45\" HREF=\"jan.html\"    "
                      "ALT=\"January\"> <AREA SHAPE=\"RECT\" COORDS=\"60,5,90,45\" HREF=\"\"    "
                      "ALT=\"\"> </MAP><IMG SRC=\"/img/" +
                      OnlyFile() + "\"   onLoad=\"shown()\" BORDER=0 USEMAP=\"#" + map +
                      "\"  ALT=\"visits\"> </P>");
}

TEST_F(WrapperPut, TheBeforePutHandlerComesFirstAndEachEventOnce) {
  TComponent form(nullptr);
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetBounds(1, 1, 20, 10);
  TPanel* panel = MakePanel(&form, 40, 20, clRed);
  std::vector<std::string> events;
  // The handler supplies the control: it shows in this very put.
  wrapper->OnBeforePut = [&](TObject*) {
    events.push_back("before");
    wrapper->SetControl(panel);
  };
  wrapper->OnAfterPut = [&](TObject*) { events.push_back("after"); };
  const std::string html = wrapper->put(nullptr);
  EXPECT_EQ(html, "<IMG SRC=\"/img/" + OnlyFile() + "\"    BORDER=0 >");
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));
  EXPECT_EQ(CountColour(*Decode(OnlyFile(), 20, 10), clRed), 20 * 10);
  // The handler is still there for the next put.
  wrapper->put(nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after", "before", "after"}));
}

TEST_F(WrapperPut, WithoutAControlOnlyTheFreeHtml) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 100, 60);
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetParent(page);
  wrapper->SetBounds(10, 10, 50, 25);
  wrapper->SetImagePath("old.gif");  // a picture of earlier days is not shown
  auto* map = new TWvImageMap(&form);
  map->SetParent(wrapper);
  wrapper->GetHTMLBefore()->Add("[");
  wrapper->GetHTMLAfter()->Add("]");
  int before = 0, after = 0;
  wrapper->OnBeforePut = [&](TObject*) { ++before; };
  wrapper->OnAfterPut = [&](TObject*) { ++after; };
  EXPECT_EQ(wrapper->put(nullptr), " [ ]");
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  EXPECT_EQ(page->put(nullptr),
            kDocumentStart +
                "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=100>" +
                kRow + "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=50 ></TD>" +
                "<TD HEIGHT=10 WIDTH=40 ></TD><TD></TD></TR>" + kRow +
                "<TD HEIGHT=25 ></TD><TD  HEIGHT=25    > [ ]</TD></TR>" + kRow +
                "<TD HEIGHT=25 ></TD><TD COLSPAN=2></TD></TR></TABLE></BODY></HTML>");
  EXPECT_TRUE(Written().empty());
}

TEST_F(WrapperPut, PicturesThatCannotBeMadeLeaveAnEmptySource) {
  TComponent form(nullptr);
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetBounds(1, 1, 100, 50);
  TPanel* panel = MakePanel(&form, 40, 20, clRed);
  wrapper->SetControl(panel);
  const std::string empty = "<IMG SRC=\"\"    BORDER=0 >";

  // A wrapper without pixels, and a control too large for any bitmap.
  wrapper->SetBounds(1, 1, 0, 50);
  EXPECT_EQ(wrapper->put(nullptr), empty);
  wrapper->SetBounds(1, 1, 100, 50);
  panel->SetBounds(0, 0, MaxControlCoordinate, MaxControlCoordinate);
  EXPECT_EQ(wrapper->put(nullptr), empty);
  EXPECT_TRUE(Written().empty());

  // A server image folder that cannot be made: below a plain file.
  panel->SetBounds(0, 0, 40, 20);
  std::filesystem::create_directories(Folder);
  const std::filesystem::path blocker = Folder / "plain-file";
  { TFileStream file(blocker.string(), fmCreate); }
  WvSetInternalImagePath((blocker / "images").string() + "/");
  EXPECT_EQ(wrapper->put(nullptr), empty);
  EXPECT_EQ(Written(), (std::vector<std::string>{"plain-file"}));

  // A wrapper that lies on the control it shows still writes one picture.
  WvSetInternalImagePath(Folder.string() + "/");
  std::filesystem::remove(blocker);
  wrapper->SetBounds(5, 5, 20, 10);
  wrapper->SetParent(panel);
  const std::string html = wrapper->put(nullptr);
  EXPECT_EQ(html, "<IMG SRC=\"/img/" + OnlyFile() + "\"    BORDER=0 >");
  EXPECT_EQ(CountColour(*Decode(OnlyFile(), 20, 10), clRed), 20 * 10);
}

TEST_F(WrapperPut, AppletAndWrappedChartOnAPage) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 300, 200);
  auto* applet = new TWvJavaApplet(&form);
  applet->SetParent(page);
  applet->SetBounds(10, 10, 120, 60);
  applet->SetCode("Clock.class");
  auto* wrapper = new TWvVCLWrapper(&form);
  wrapper->SetParent(page);
  wrapper->SetBounds(150, 10, 100, 50);
  wrapper->SetControl(MakeChart(&form));

  const std::string html = page->put(nullptr);
  EXPECT_EQ(html,
            kDocumentStart +
                "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=300>" +
                kRow +
                "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=120 ></TD>"
                "<TD HEIGHT=10 WIDTH=20 ></TD><TD HEIGHT=10 WIDTH=100 ></TD>"
                "<TD HEIGHT=10 WIDTH=50 ></TD><TD></TD></TR>" +
                kRow +
                "<TD HEIGHT=50 ></TD><TD  HEIGHT=50 ROWSPAN=2  BGCOLOR=\"#C0C0C0\" ><APPLET "
                "CODE=\"Clock.class\" CODEBASE=\"\" NAME=\"\" HEIGHT=60 WIDTH=120></APPLET></TD>"
                "<TD></TD><TD  HEIGHT=50    ><IMG SRC=\"/img/" +
                OnlyFile() + "\"    BORDER=0 ></TD></TR>" + kRow +
                "<TD HEIGHT=10 ></TD><TD COLSPAN=3></TD></TR>" + kRow +
                "<TD HEIGHT=130 ></TD><TD COLSPAN=4></TD></TR></TABLE></BODY></HTML>");
  Decode(OnlyFile(), 100, 50);
}

const char* const kForm = R"({
  "form": "StatsForm",
  "components": [
    { "class": "TBarChart", "name": "Chart1",
      "properties": { "Width": 200, "Height": 100, "Title": "Visits",
                      "Values": [ { "Label": "Jan", "Value": 12 },
                                  { "Label": "Feb", "Value": 30, "Color": "clRed" } ] } },
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

class AppletWrapperForms : public ServerImages {
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

  // Checks the document of the form's page; its picture is the one file
  // that the put adds to the folder.
  void ExpectDocument(TComponent& form) {
    auto* page = dynamic_cast<TWvPage*>(form.FindComponent("Page1"));
    ASSERT_NE(page, nullptr);
    const std::vector<std::string> earlier = Written();
    const std::string map = NextMapName();
    const std::string html = page->put(nullptr);
    std::vector<std::string> added;
    for (const std::string& name : Written())
      if (std::find(earlier.begin(), earlier.end(), name) == earlier.end()) added.push_back(name);
    ASSERT_EQ(added.size(), 1u);
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
                  added[0] + "\"    BORDER=0 USEMAP=\"#" + map + "\" ></TD></TR>" + kRow +
                  "<TD HEIGHT=10 ></TD><TD COLSPAN=3></TD></TR>" + kRow +
                  "<TD HEIGHT=130 ></TD><TD COLSPAN=4></TD></TR></TABLE></BODY></HTML>");
    Decode(added[0], 100, 50);
  }
};

TEST_F(AppletWrapperForms, AWrappedChartSurvivesTheRoundTrip) {
  TComponent form(nullptr);
  LoadFormFromText(kForm, form);
  auto* wrapper = dynamic_cast<TWvVCLWrapper*>(form.FindComponent("Visits"));
  auto* applet = dynamic_cast<TWvJavaApplet*>(form.FindComponent("Clock"));
  ASSERT_NE(wrapper, nullptr);
  ASSERT_NE(applet, nullptr);
  EXPECT_EQ(wrapper->GetVCLControl(), form.FindComponent("Chart1"));
  ASSERT_EQ(wrapper->GetControlCount(), 1);
  EXPECT_EQ(applet->GetParameters()->ToVector(),
            (std::vector<std::string>{"zone=UTC", "face=round"}));
  EXPECT_EQ(applet->GetBackGroundColor(), clSilver);
  ExpectDocument(form);

  const std::string saved = SaveForm(form);
  TComponent again(nullptr);
  LoadFormFromText(saved, again);
  auto* reloaded = dynamic_cast<TWvVCLWrapper*>(again.FindComponent("Visits"));
  ASSERT_NE(reloaded, nullptr);
  EXPECT_EQ(reloaded->GetVCLControl(), again.FindComponent("Chart1"));
  EXPECT_EQ(SaveForm(again), saved);
  ExpectDocument(again);

  // The reference is written by name; a wrapper without a control writes none.
  EXPECT_NE(saved.find("\"VCLControl\": \"Chart1\""), std::string::npos);
  reloaded->SetControl(nullptr);
  TComponent empty(nullptr);
  LoadFormFromText(SaveForm(again), empty);
  EXPECT_EQ(dynamic_cast<TWvVCLWrapper*>(empty.FindComponent("Visits"))->GetVCLControl(), nullptr);
}

TEST_F(AppletWrapperForms, APageElementInTheReferenceIsNamedAsTheFault) {
  const std::string text = R"({ "form": "F", "components": [
    { "class": "TWvPage", "name": "Page1", "children": [
      { "class": "TWvText", "name": "Text1" },
      { "class": "TWvVCLWrapper", "name": "Wrapper1",
        "properties": { "VCLControl": "Text1" } } ] } ] })";
  TComponent form(nullptr);
  try {
    LoadFormFromText(text, form);
    FAIL() << "a page element was taken as the wrapped control";
  } catch (const EFormFileError& e) {
    EXPECT_STREQ(e.what(),
                 "Form file: component Wrapper1 (TWvVCLWrapper), property VCLControl: Text1 is a "
                 "TWvText, which the property cannot refer to (it needs a TWinControl)");
  }
  EXPECT_EQ(form.ComponentCount(), 0);
}

TEST(AppletWrapperRegistry, PublishedPropertiesAndPalette) {
  WvJavaApplet::Register();
  WvVCLWrapper::Register();
  const TClassRegistry& registry = TClassRegistry::Instance();
  const TClassInfo* applet = registry.Find("TWvJavaApplet");
  const TClassInfo* wrapper = registry.Find("TWvVCLWrapper");
  ASSERT_NE(applet, nullptr);
  ASSERT_NE(wrapper, nullptr);
  EXPECT_EQ(applet->PalettePage, "Taveno");
  EXPECT_EQ(wrapper->PalettePage, "Taveno");

  auto names = [](const TClassInfo* info) {
    std::vector<std::string> own;
    for (const TPropInfo& property : info->Properties) own.push_back(property.Name);
    return own;
  };
  EXPECT_EQ(names(applet),
            (std::vector<std::string>{"Code", "CodeBase", "InstanceName", "Parameters"}));
  EXPECT_EQ(names(wrapper), (std::vector<std::string>{"VCLControl"}));
  // Of the picture base only the two script events are published.
  EXPECT_NE(wrapper->FindProperty("JSOnLoad"), nullptr);
  EXPECT_NE(wrapper->FindProperty("JSOnAbort"), nullptr);
  for (const char* hidden : {"ImagePath", "Link", "Stretch", "Hyperlink"})
    EXPECT_EQ(wrapper->FindProperty(hidden), nullptr) << hidden;
  const TPropInfo* control = wrapper->FindProperty("VCLControl");
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->Kind, TPropKind::pkComponent);
  EXPECT_EQ(control->RefClass, "TWinControl");
}

}  // namespace
}  // namespace tavkit

// The element spine: the put protocol and its events, the background colour
// chain, the bounds clamp, the containment refusals, design-time repaints and
// the design preview drawn into a bitmap.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <tavkit/core/WvVisibleComponent.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {
namespace {

// An element that writes its own text between the free HTML, as every real
// element does.
class TWord : public TWvVisibleComponent {
 public:
  using TWvVisibleComponent::TWvVisibleComponent;
  std::string put(TWvCustomOptimizer*) override {
    ActivateBeforePutEvent();
    std::string html =
        CollapsedBefore() + "<B>" + Word + CollapsedInside() + "</B>" + CollapsedAfter();
    ActivateAfterPutEvent();
    return html;
  }
  std::string Word = "w";
};

class TPretendImageMap : public TWvVisibleComponent {
 public:
  using TWvVisibleComponent::TWvVisibleComponent;
  bool IsImageMap() const override { return true; }
};

class TPretendPage : public TWvVisibleComponent {
 public:
  using TWvVisibleComponent::TWvVisibleComponent;
  bool IsPage() const override { return true; }
};

TEST(WvComponentPut, BaseWritesNothingButFiresBothEventsInOrder) {
  TComponent form(nullptr);
  auto* element = new TWvVisibleComponent(&form);
  element->GetHTMLBefore()->Add("a");
  element->GetHTMLAfter()->Add("z");
  std::vector<std::string> fired;
  element->OnBeforePut = [&](TObject* sender) {
    EXPECT_EQ(sender, element);
    fired.push_back("before");
  };
  element->OnAfterPut = [&](TObject*) { fired.push_back("after"); };
  EXPECT_EQ(element->put(nullptr), "");
  EXPECT_EQ(fired, (std::vector<std::string>{"before", "after"}));
}

TEST(WvComponentPut, FreeHtmlIsCollapsedAndABeforeHandlerChangesTheSameOutput) {
  TComponent form(nullptr);
  auto* word = new TWord(&form);
  word->GetHTMLBefore()->Add("a");
  word->GetHTMLBefore()->Add("b");
  word->GetHTMLInside()->Add("i");
  word->GetHTMLAfter()->Add("z");
  EXPECT_EQ(word->put(nullptr), " a b<B>w i</B> z");
  word->OnBeforePut = [&](TObject*) {
    word->Word = "changed";
    word->GetHTMLAfter()->Clear();
  };
  EXPECT_EQ(word->put(nullptr), " a b<B>changed i</B>");
}

TEST(WvComponentDefaults, ConstructorSizeColourAlignmentAndSpans) {
  TComponent form(nullptr);
  TWvVisibleComponent element(&form);
  EXPECT_EQ(element.GetWidth(), 300);
  EXPECT_EQ(element.GetHeight(), 300);
  EXPECT_EQ(element.GetBackGroundColor(), clNone);
  EXPECT_EQ(element.GetAlign(), taLeft);
  EXPECT_EQ(element.GetStyleClass(), "");
  EXPECT_FALSE(element.GetContainer());
  element.RowStart = 2;
  element.RowEnd = 5;
  element.ColStart = 1;
  element.ColEnd = 2;
  EXPECT_EQ(element.CalcRowSpan(), 3);
  EXPECT_EQ(element.CalcColSpan(), 1);
  EXPECT_TRUE(element.ScriptList()->numberOfScripts() == 0);
}

TEST(WvComponentColour, TransparencyInheritsUpTheParentChain) {
  TComponent form(nullptr);
  auto* page = new TPretendPage(&form);
  page->SetContainer(true);
  auto* box = new TWvVisibleComponent(&form);
  box->SetContainer(true);
  box->SetParent(page);
  auto* inner = new TWvVisibleComponent(&form);
  inner->SetParent(box);

  EXPECT_EQ(inner->GetBackGroundColor(), clNone);  // the chain ends in a transparent page
  box->SetBackGroundColor(clRed);
  EXPECT_EQ(inner->GetBackGroundColor(), clRed);
  EXPECT_TRUE(inner->IsBackgroundTransparent());
  EXPECT_EQ(inner->GetOwnBackGroundColor(), clNone);
  inner->SetBackGroundColor(clBlue);
  EXPECT_EQ(inner->GetBackGroundColor(), clBlue);
  EXPECT_FALSE(inner->IsBackgroundTransparent());
  inner->SetIsBackgroundTransparent(true);  // only repaints; the colour stays
  EXPECT_EQ(inner->GetBackGroundColor(), clBlue);
}

TEST(WvComponentBounds, ElementsStayOffCoordinateZeroButPagesMayNot) {
  TComponent form(nullptr);
  TWvVisibleComponent element(&form);
  element.SetBounds(-5, 0, 40, 30);
  EXPECT_EQ(element.GetLeft(), 1);
  EXPECT_EQ(element.GetTop(), 1);
  EXPECT_EQ(element.GetWidth(), 40);
  element.SetBounds(7, 9, 10, 11);
  EXPECT_EQ(element.GetLeft(), 7);
  EXPECT_EQ(element.GetTop(), 9);
  element.SetLeft(0);  // the single-property setters go through SetBounds too
  EXPECT_EQ(element.GetLeft(), 1);

  TPretendPage page(&form);
  page.SetBounds(0, 0, 640, 480);
  EXPECT_EQ(page.GetLeft(), 0);
  EXPECT_EQ(page.GetTop(), 0);
}

TEST(WvComponentInsert, RefusalsCarryTheirMessagesAndChangeNothing) {
  TComponent form(nullptr);
  auto* leaf = new TWvVisibleComponent(&form);
  auto* child = new TWvVisibleComponent(&form);
  try {
    child->SetParent(leaf);
    FAIL() << "a non-container accepted an element";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot place component in a non-container");
  }
  EXPECT_EQ(child->GetParent(), nullptr);
  EXPECT_EQ(leaf->GetControlCount(), 0);

  auto* container = new TWvVisibleComponent(&form);
  container->SetContainer(true);
  auto* map = new TPretendImageMap(&form);
  try {
    map->SetParent(container);
    FAIL() << "a container accepted an image map";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Imagemaps can only be put on images");
  }
  EXPECT_EQ(map->GetParent(), nullptr);

  child->SetParent(container);
  EXPECT_EQ(child->GetParent(), container);
  // Controls that are not elements may go anywhere.
  auto* plain = new TCustomControl(&form);
  plain->SetParent(leaf);
  EXPECT_EQ(plain->GetParent(), leaf);
}

TEST(WvComponentRepaint, OnlyTheDesignerRepaints) {
  TComponent form(nullptr);
  auto* box = new TWvVisibleComponent(&form);
  box->SetContainer(true);
  auto* child = new TWvVisibleComponent(&form);
  child->SetParent(box);

  box->SetBackGroundColor(clRed);
  box->Perform(CM_DESIGNTIMEUPDATE);
  EXPECT_EQ(box->RepaintRequests(), 0);
  EXPECT_EQ(child->RepaintRequests(), 0);

  form.SetDesigning(true);
  box->SetBackGroundColor(clGreen);  // itself, then every child
  EXPECT_EQ(box->RepaintRequests(), 1);
  EXPECT_EQ(child->RepaintRequests(), 1);
  box->Perform(CM_DESIGNTIMEUPDATE);
  EXPECT_EQ(box->RepaintRequests(), 2);
  int changes = 0;
  box->OnChange = [&](TObject*) { ++changes; };
  box->HasChanged();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(box->RepaintRequests(), 3);
  box->SetAlign(taRight);
  EXPECT_EQ(box->RepaintRequests(), 4);
}

TEST(WvComponentPreview, FillNameAndDashedInvertedFrame) {
  TComponent form(nullptr);
  form.SetDesigning(true);
  auto* element = new TWvVisibleComponent(&form);
  element->SetName("Box");
  element->SetBounds(1, 1, 60, 30);
  element->SetBackGroundColor(clYellow);

  TBitmap bitmap(60, 30, TPixelFormat::pf24bit);
  bitmap.Canvas().Brush().Color = clWhite;
  bitmap.Canvas().FillRect(TRect{0, 0, 60, 30});
  element->PaintTo(bitmap.Canvas(), 0, 0);

  // The frame inverts what lies under it (yellow becomes blue), 18 pixels on
  // and 6 off, the pattern running on around the corners; the far corner of
  // each side belongs to the next side.
  const TColor frame = clBlue;
  std::string left, bottom;
  for (int y = 0; y < 30; ++y) left += bitmap.GetPixel(0, y) == frame ? '#' : '.';
  for (int x = 0; x < 60; ++x) bottom += bitmap.GetPixel(x, 29) == frame ? '#' : '.';
  EXPECT_EQ(left, std::string(18, '#') + std::string(6, '.') + std::string(5, '#') + "#");
  // The bottom side continues the fifth pixel of the third dash after the
  // 29 pixels of the left side.
  EXPECT_EQ(bottom, std::string(13, '#') + std::string(6, '.') + std::string(18, '#') +
                        std::string(6, '.') + std::string(16, '#') + "#");

  // Inside: the background colour, and the name in grey from (5, 5).
  EXPECT_EQ(bitmap.GetPixel(30, 25), clYellow);
  EXPECT_EQ(bitmap.GetPixel(4, 10), clYellow);
  int grey = 0, minX = 60, minY = 30;
  for (int y = 1; y < 29; ++y)
    for (int x = 1; x < 59; ++x) {
      TColor c = bitmap.GetPixel(x, y);
      EXPECT_TRUE(c == clYellow || c == TColor{0xAAAAAA}) << x << "," << y;
      if (c == TColor{0xAAAAAA}) {
        ++grey;
        minX = std::min(minX, x);
        minY = std::min(minY, y);
      }
    }
  EXPECT_GT(grey, 20);
  EXPECT_GE(minX, 5);
  EXPECT_LE(minX, 7);
  EXPECT_GE(minY, 5);
  EXPECT_LE(minY, 9);

  // For a person to look at.
  std::filesystem::create_directories(TAVKIT_BINARY_DIR "/previews");
  bitmap.SaveToPNGFile(TAVKIT_BINARY_DIR "/previews/visible-component.png");
  EXPECT_TRUE(std::filesystem::exists(TAVKIT_BINARY_DIR "/previews/visible-component.png"));
}

TEST(WvComponentPreview, TransparentElementShowsItsParentsColour) {
  TComponent form(nullptr);
  form.SetDesigning(true);
  auto* box = new TWvVisibleComponent(&form);
  box->SetContainer(true);
  box->SetBounds(1, 1, 40, 40);
  box->SetBackGroundColor(clRed);
  auto* inner = new TWvVisibleComponent(&form);
  inner->SetParent(box);
  inner->SetBounds(10, 10, 20, 20);

  TBitmap bitmap(40, 40, TPixelFormat::pf24bit);
  box->PaintTo(bitmap.Canvas(), 0, 0);
  EXPECT_EQ(bitmap.GetPixel(5, 35), clRed);
  EXPECT_EQ(bitmap.GetPixel(25, 25), clRed);   // inside the inner element
  EXPECT_EQ(bitmap.GetPixel(10, 12), clAqua);  // its frame: red inverted
  EXPECT_EQ(bitmap.GetPixel(29, 28), clAqua);
}

}  // namespace
}  // namespace tavkit

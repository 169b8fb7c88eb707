// The GIF document in memory: colour maps, frames, extensions and the
// image's own settings, with the warnings and errors their edits give.
#include <gtest/gtest.h>

#include "GIFTestSupport.h"
#include "TestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;
using testsupport::ErrorOf;

TEST(GIFColorMap, CapacityGrowsIn16And32AndStopsAt256) {
  TGIFImage image;
  TGIFColorMap& map = image.GetColorMap();
  EXPECT_EQ(map.GetBitsPerPixel(), 0);
  map.Add(RGB(0, 0, 0));
  EXPECT_EQ(map.GetCapacity(), 16);
  EXPECT_EQ(map.GetBitsPerPixel(), 1);
  const std::vector<std::pair<int, int>> bits = {{2, 1}, {3, 2}, {16, 4}, {17, 5}, {256, 8}};
  for (int i = 1; i < 256; ++i) {
    map.Add(RGB(static_cast<std::uint8_t>(i), 0, 0));
    if (i == 15) {
      EXPECT_EQ(map.GetCapacity(), 16);
    }
    if (i == 16) {
      EXPECT_EQ(map.GetCapacity(), 32);
    }
    for (const auto& [count, expected] : bits) {
      if (map.GetCount() == count) {
        EXPECT_EQ(map.GetBitsPerPixel(), expected) << count;
      }
    }
  }
  EXPECT_EQ(map.GetCapacity(), 256);
  EXPECT_EQ(map.Add(RGB(7, 0, 0)), 7);
  EXPECT_EQ(ErrorOf<GIFException>([&] { map.Add(RGB(1, 2, 3)); }), "Color table overflow");
  EXPECT_EQ(map.GetCount(), 256);
}

TEST(GIFColorMap, DuplicatesAreFoundFromTheEndUnlessSorted) {
  TGIFImage image;
  Load(image, Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x81, 0, 0,
                    5,   5,   5,   9,   9,   9,   5, 5, 5, 0, 0,    0, 0x3B});
  TGIFColorMap& map = image.GetColorMap();
  EXPECT_EQ(map.IndexOf(RGB(5, 5, 5)), 2);
  EXPECT_EQ(map.Add(RGB(5, 5, 5)), 2);
  map.SetSorted(true);
  EXPECT_EQ(map.IndexOf(RGB(5, 5, 5)), 0);
  EXPECT_EQ(map.IndexOf(RGB(1, 1, 1)), -1);
}

TEST(GIFColorMap, IndicesOutsideTheMap) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  TGIFColorMap& map = image.GetColorMap();
  map.Add(RGB(10, 20, 30));
  EXPECT_EQ(map.GetColor(0), RGB(10, 20, 30));
  EXPECT_EQ(map.GetColor(1), clBlack);
  EXPECT_EQ(map.GetColor(-1), clBlack);
  EXPECT_EQ(log.Messages, (std::vector<std::string>{"Invalid color index", "Invalid color index"}));
  EXPECT_EQ(ErrorOf<GIFException>([&] { map.SetColor(1, clRed); }), "Invalid color index");
  EXPECT_EQ(ErrorOf<GIFException>([&] { map.Delete(1); }), "Invalid color index");
  map.Add(RGB(1, 1, 1));
  map.Delete(0);
  EXPECT_EQ(map.GetCount(), 1);
  EXPECT_EQ(map.GetColor(0), RGB(1, 1, 1));
}

TEST(GIFColorMap, OptimizePutsTheMostUsedColoursFirst) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 6, 1, {0, 2, 2, 2, 1, 2}, 4);
  auto* control = new TGIFGraphicControlExtension(frame);
  frame->GetExtensions().Add(control);
  control->SetTransparent(true);
  control->SetTransparentColorIndex(1);
  const TColor c0 = frame->GetColorMap().GetColor(0);
  const TColor c1 = frame->GetColorMap().GetColor(1);
  const TColor c2 = frame->GetColorMap().GetColor(2);
  EXPECT_TRUE(frame->GetColorMap().Optimize());
  // Uses: 2 four times, then 0 and 1 once each (in the order the sort
  // leaves them), then the unused colour 3, which is dropped.
  EXPECT_EQ(frame->GetColorMap().GetCount(), 3);
  EXPECT_TRUE(frame->GetColorMap().GetSorted());
  EXPECT_EQ(frame->GetColorMap().GetColor(0), c2);
  const Bytes pixels(frame->GetData(), frame->GetData() + 6);
  for (int i = 0; i < 6; ++i) {
    const TColor before = std::vector<TColor>{c0, c2, c2, c2, c1, c2}[static_cast<std::size_t>(i)];
    EXPECT_EQ(frame->GetColorMap().GetColor(pixels[static_cast<std::size_t>(i)]), before);
  }
  EXPECT_EQ(frame->GetColorMap().GetColor(control->GetTransparentColorIndex()), c1);
}

// Pixels beyond the map (possible in files) count for no colour and keep
// their value.
TEST(GIFColorMap, OptimizeLeavesIndicesBeyondTheMap) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 4, 1, {5, 1, 1, 200}, 2);
  EXPECT_TRUE(frame->GetColorMap().Optimize());
  EXPECT_EQ(Bytes(frame->GetData(), frame->GetData() + 4), (Bytes{5, 0, 0, 200}));
  EXPECT_EQ(frame->GetColorMap().GetCount(), 1);
}

TEST(GIFColorMap, OptimizeOfOneColourOrAMapInUseOrder) {
  TGIFImage image;
  TGIFSubImage* single = AddFrame(image, 2, 1, {0, 0}, 1);
  EXPECT_FALSE(single->GetColorMap().Optimize());
  EXPECT_FALSE(single->GetColorMap().GetSorted());
  TGIFSubImage* ordered = AddFrame(image, 3, 1, {0, 0, 1}, 3);
  EXPECT_TRUE(ordered->GetColorMap().Optimize());
  EXPECT_EQ(ordered->GetColorMap().GetCount(), 3);
}

TEST(GIFImage, AddingAFrameGrowsTheScreen) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  AddFrame(image, 100, 50, {}, 2);
  EXPECT_EQ(image.GetWidth(), 100);
  EXPECT_EQ(image.GetHeight(), 50);
  EXPECT_EQ(log.Messages.size(), 3u);
  log.Messages.clear();
  AddFrame(image, 10, 10, {}, 2, false, 90, 40);
  EXPECT_EQ(log.Messages, std::vector<std::string>{});
  AddFrame(image, 10, 10, {}, 2, false, 95, 0);
  EXPECT_EQ(image.GetWidth(), 105);
  EXPECT_EQ(log.Messages, (std::vector<std::string>{"Image width too small for contained frames",
                                                    "Image exceeds Logical Screen size"}));
  TGIFHeader other(nullptr);
  EXPECT_EQ(ErrorOf<GIFException>([&] { image.Add(&other); }),
            "Object type not supported for operation");
}

TEST(GIFImage, ScreenCannotShrinkBelowItsFrames) {
  TGIFImage image;
  AddFrame(image, 10, 20, {}, 2, false, 5, 5);
  EXPECT_EQ(ErrorOf<GIFException>([&] { image.SetWidth(14); }),
            "Image width too small for contained frames");
  EXPECT_EQ(ErrorOf<GIFException>([&] { image.SetHeight(24); }),
            "Image height too small for contained frames");
  EXPECT_EQ(image.GetWidth(), 15);
  image.SetWidth(40);
  image.SetHeight(25);
  EXPECT_EQ(image.GetWidth(), 40);
  EXPECT_EQ(image.GetHeight(), 25);
}

TEST(GIFImage, AssignCopiesFramesButNotCompressionOrSpeed) {
  TGIFImage source;
  source.SetCompression(gcRLE);
  source.SetAnimationSpeed(300);
  source.SetDitherMode(dmFloydSteinberg);
  TGIFSubImage* frame = AddFrame(source, 2, 2, {0, 1, 1, 0}, 2);
  auto* comment = new TGIFCommentExtension(frame);
  comment->GetLines().Add("note");
  frame->GetExtensions().Add(comment);
  auto* closing = new TGIFSubImage(&source);
  closing->GetExtensions().Add(new TGIFCommentExtension(closing));
  source.GetImages().Add(closing);

  TGIFImage copy;
  copy.Assign(&source);
  EXPECT_EQ(copy.GetCompression(), gcLZW);
  EXPECT_EQ(copy.GetAnimationSpeed(), 100);
  EXPECT_EQ(copy.GetDitherMode(), dmFloydSteinberg);
  ASSERT_EQ(copy.GetImages().GetCount(), 2);
  const TGIFExtension* copied = copy.GetImages().GetImage(0)->GetExtensions().GetExtension(0);
  EXPECT_NE(copied, comment);
  EXPECT_EQ(copied->GetSubImage(), copy.GetImages().GetImage(0));
  // The frame without pixels keeps its extension too.
  EXPECT_EQ(copy.GetImages().GetImage(1)->GetExtensions().GetCount(), 1);
  source.SetCompression(gcLZW);
  EXPECT_EQ(Save(copy), Save(source));
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.GetEmpty());
}

TEST(GIFImage, Settings) {
  TGIFImage image;
  image.SetAnimationSpeed(0);
  EXPECT_EQ(image.GetAnimationSpeed(), 1);
  image.SetAnimationSpeed(5000);
  EXPECT_EQ(image.GetAnimationSpeed(), 1000);
  image.SetDrawOptions({goDither, goAutoDither});
  DoAutoDither = true;
  EXPECT_TRUE(image.GetDoDither());
  DoAutoDither = false;
  EXPECT_FALSE(image.GetDoDither());
  image.SetDrawOptions({goDither});
  EXPECT_TRUE(image.GetDoDither());
  image.SetDrawOptions({goAutoDither});
  EXPECT_FALSE(image.GetDoDither());

  const TGIFDrawOptions defaults = GIFImageDefaultDrawOptions;
  EXPECT_TRUE(defaults.Contains(goLoop));
  GIFImage::Register();
  EXPECT_EQ(GIFImageDefaultDrawOptions, TGIFDrawOptions(defaults).Exclude(goLoop));
  GIFImageDefaultDrawOptions = defaults;
}

TEST(GIFImage, PackMovesTheColoursOfALoneFrameIntoTheGlobalMap) {
  TGIFImage image;
  AddFrame(image, 2, 1, {0, 1}, 2);
  image.Pack();
  EXPECT_EQ(image.GetColorMap().GetCount(), 2);
  EXPECT_EQ(image.GetImages().GetImage(0)->GetColorMap().GetCount(), 0);
  EXPECT_EQ(&image.GetImages().GetImage(0)->GetActiveColorMap(), &image.GetColorMap());
  image.Clear();
  EXPECT_TRUE(image.GetEmpty());
  EXPECT_EQ(image.GetColorMap().GetCount(), 0);
  EXPECT_EQ(image.GetWidth(), 0);
}

TEST(GIFSubImage, PixelsAndBounds) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 3, 2, {0, 1, 2, 3, 4, 5}, 8, false, 7, 9);
  EXPECT_EQ(frame->GetPixel(2, 1), 5);
  EXPECT_EQ(ErrorOf<GIFException>([&] { frame->GetPixel(3, 0); }), "Invalid pixel coordinates");
  EXPECT_EQ(ErrorOf<GIFException>([&] { frame->GetPixel(0, -1); }), "Invalid pixel coordinates");
  EXPECT_EQ(frame->GetBoundsRect(), (TRect{7, 9, 10, 11}));
  EXPECT_EQ(frame->GetClientRect(), (TRect{0, 0, 3, 2}));
  EXPECT_EQ(frame->GetVersion(), gv87a);
  EXPECT_EQ(image.GetVersion(), gv87a);
  frame->Clear();
  EXPECT_TRUE(frame->GetEmpty());
  EXPECT_EQ(frame->GetLeft(), 7);
}

TEST(GIFExtensions, GraphicControlFlags) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  TGIFSubImage* frame = AddFrame(image, 1, 1, {0}, 2);
  auto* control = new TGIFGraphicControlExtension(frame);
  frame->GetExtensions().Add(control);
  EXPECT_EQ(frame->GetVersion(), gv89a);
  EXPECT_EQ(frame->GetGraphicControlExtension(), control);
  control->SetDisposal(13);
  EXPECT_EQ(control->GetDisposal(), static_cast<TDisposalMethod>(5));
  control->SetUserInput(true);
  EXPECT_EQ(control->GetPacked(), 0x16);
  control->SetTransparent(true);
  EXPECT_TRUE(frame->GetTransparent());
  log.Messages.clear();
  control->SetTransparentColorIndex(9);
  EXPECT_EQ(control->GetTransparentColorIndex(), 0);
  EXPECT_EQ(log.Messages, std::vector<std::string>{"Invalid color index"});
  control->SetTransparentColor(RGB(1, 1, 254));
  EXPECT_EQ(control->GetTransparentColorIndex(), 1);
  EXPECT_EQ(control->GetTransparentColor(), RGB(1, 1, 254));
  frame->GetExtensions().Delete(0);
  EXPECT_FALSE(frame->GetTransparent());
  EXPECT_EQ(frame->GetGraphicControlExtension(), nullptr);
}

TEST(GIFExtensions, BackgroundIndexOutsideTheGlobalMap) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  image.GetHeader().SetBackgroundColorIndex(7);
  EXPECT_EQ(image.GetBackgroundColorIndex(), 7);
  image.GetHeader().SetBackgroundColor(RGB(4, 5, 6));
  image.GetHeader().SetBackgroundColorIndex(3);
  EXPECT_EQ(image.GetBackgroundColorIndex(), 0);
  EXPECT_EQ(image.GetBackgroundColor(), RGB(4, 5, 6));
  EXPECT_EQ(log.Messages, std::vector<std::string>{"Invalid color index"});
}

}  // namespace
}  // namespace tavkit

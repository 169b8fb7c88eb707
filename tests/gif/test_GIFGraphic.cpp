// The GIF image as a picture: where frames land when scaled and tiled,
// transparent drawing through masks, the dithered rendering, the image's
// own bitmap and palette, progress reports, the clipboard and the picture
// class's file and clipboard registries.
#include <gtest/gtest.h>

#include <filesystem>

#include <tavkit/platform/graphics/Clipboard.h>
#include <tavkit/platform/graphics/Picture.h>
#include "AnimationSupport.h"
#include "GIFTestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;

TEST(GIFFrameDrawing, ScaleRectPlacesTheFrameOnTheScaledScreen) {
  auto image = MakeAnimation(40, 40, {FramePlan{10, 10, 20, 20, std::vector<std::uint8_t>(400)}});
  const TGIFSubImage& frame = *image->GetImages().GetImage(0);
  EXPECT_EQ(frame.ScaleRect(Rect(0, 0, 80, 80)), Rect(20, 20, 60, 60));
  EXPECT_EQ(frame.ScaleRect(Rect(5, 7, 25, 47)), Rect(10, 17, 20, 37));
  // Thirds round to the nearest pixel.
  EXPECT_EQ(frame.ScaleRect(Rect(0, 0, 30, 30)), Rect(8, 8, 23, 23));
}

TEST(GIFFrameDrawing, TilingA16PixelImageInto40PixelsDrawsNineClippedTiles) {
  std::vector<std::uint8_t> pixels(256, 0);
  pixels[0] = 2;  // a blue corner marks each tile's origin
  auto image = MakeAnimation(16, 16, {FramePlan{0, 0, 16, 16, pixels}});
  const TGIFSubImage& frame = *image->GetImages().GetImage(0);
  EXPECT_EQ(frame.TileRects(Rect(0, 0, 40, 40), Rect(0, 0, 40, 40)).size(), 9u);
  EXPECT_EQ(frame.TileRects(Rect(0, 0, 40, 40), Rect(20, 20, 25, 25)).size(), 1u);

  image->SetDrawOptions(TGIFDrawOptions{goTile});
  TBitmap canvas(48, 48, TPixelFormat::pf24bit);
  image->Draw(canvas.Canvas(), Rect(0, 0, 40, 40));
  for (int y : {0, 16, 32})
    for (int x : {0, 16, 32}) EXPECT_EQ(canvas.GetPixel(x, y), clBlue) << x << "," << y;
  EXPECT_EQ(canvas.GetPixel(39, 39), clRed);
  EXPECT_EQ(canvas.GetPixel(40, 39), clWhite);
  EXPECT_EQ(canvas.GetPixel(39, 40), clWhite);
}

TEST(GIFFrameDrawing, TransparentPixelsLeaveTheCanvasThroughTheMask) {
  auto image = MakeAnimation(3, 1, {FramePlan{0, 0, 3, 1, {0, 3, 1}, dmNone, 0, 3}});
  TGIFSubImage& frame = *image->GetImages().GetImage(0);
  EXPECT_TRUE(frame.HasMask());
  EXPECT_EQ(Letters(*frame.GetMask()), "KWK");

  TBitmap canvas(3, 1, TPixelFormat::pf24bit);
  canvas.Canvas().Brush().Color = clBlue;
  canvas.Canvas().FillRect(Rect(0, 0, 3, 1));
  frame.Draw(canvas.Canvas(), Rect(0, 0, 3, 1), true, false);
  EXPECT_EQ(Letters(canvas), "RBG");
  frame.Draw(canvas.Canvas(), Rect(0, 0, 3, 1), false, false);
  EXPECT_EQ(Letters(canvas), "RYG");

  // Another transparent index rebuilds the mask; none transparent: no mask.
  frame.GetGraphicControlExtension()->SetTransparentColorIndex(0);
  EXPECT_TRUE(frame.HasMask());
  EXPECT_EQ(Letters(*frame.GetMask()), "WKK");
  frame.GetGraphicControlExtension()->SetTransparentColorIndex(4);
  EXPECT_FALSE(frame.HasMask());
}

TEST(GIFFrameDrawing, RenderingKeepsTheFrameColoursAndIndices) {
  auto image = MakeAnimation(2, 2, {FramePlan{0, 0, 2, 2, {0, 1, 2, 4}}});
  TGIFSubImage& frame = *image->GetImages().GetImage(0);
  TBitmap* bitmap = frame.GetBitmap();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->GetPixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(bitmap->GetRawPixel(1, 1), 4u);
  EXPECT_EQ(Letters(*bitmap), "RG/BK");
  EXPECT_EQ(frame.GetBitmap(), bitmap);
  // A changed colour map drops the rendering made with the old colours.
  image->GetColorMap().SetColor(0, clYellow);
  EXPECT_EQ(Letters(*frame.GetBitmap()), "YG/BK");
}

TEST(GIFFrameDrawing, DitheringSpreadsTheErrorAlongTheRowButNotThroughTransparentPixels) {
  // Grey 30 lies between web levels 0 and 51: nearest colour gives level 1
  // (index 43) everywhere; with the error carried on the row alternates.
  auto image = std::make_unique<TGIFImage>();
  image->GetColorMap().Add(RGB(30, 30, 30));
  image->GetColorMap().Add(clLime);
  AddFrame(*image, 3, 1, {0, 0, 0}, 0);
  AddFrame(*image, 3, 1, {0, 1, 0}, 0);
  auto* control = new TGIFGraphicControlExtension(image->GetImages().GetImage(1));
  control->SetTransparentColorIndex(1);
  control->SetTransparent(true);
  image->GetImages().GetImage(1)->GetExtensions().Add(control);
  image->SetDrawOptions(TGIFDrawOptions{goDither});
  ASSERT_TRUE(image->GetDoDither());

  const TBitmap* plain = image->GetImages().GetImage(0)->GetBitmap();
  EXPECT_EQ(plain->GetPalette(), WebPalette());
  EXPECT_EQ(plain->GetRawPixel(0, 0), 43u);
  EXPECT_EQ(plain->GetRawPixel(1, 0), 0u);
  EXPECT_EQ(plain->GetRawPixel(2, 0), 43u);
  const TBitmap* masked = image->GetImages().GetImage(1)->GetBitmap();
  EXPECT_EQ(masked->GetRawPixel(0, 0), 43u);
  EXPECT_EQ(masked->GetRawPixel(1, 0), 30u);  // lime: 0, 5, 0
  EXPECT_EQ(masked->GetRawPixel(2, 0), 43u);
}

TEST(GIFFrameDrawing, ADeviceIndependentCopyLoadsBackAsABitmap) {
  TBitmap source(3, 2, TPixelFormat::pf8bit);
  source.SetPalette({{10, 20, 30, 0}, {200, 100, 50, 0}, {0, 255, 0, 0}});
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) source.SetRawPixel(x, y, static_cast<std::uint32_t>((x + y) % 3));
  TGIFSubImage frame(nullptr);
  frame.BitmapToDIB(source);
  TBitmap back;
  frame.DIBToBitmap(back);
  EXPECT_EQ(back.GetPixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(back.GetPalette(), source.GetPalette());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(back.GetRawPixel(x, y), source.GetRawPixel(x, y));
  frame.FreeDIB();
  EXPECT_THROW(frame.DIBToBitmap(back), GIFException);
}

TEST(GIFImageGraphic, TheImageBitmapIsTheFirstFrameOnTheScreen) {
  auto image = MakeAnimation(
      3, 2, {FramePlan{1, 0, 2, 1, {2, 1}}, FramePlan{0, 0, 3, 2, {0, 0, 0, 0, 0, 0}}});
  const TBitmap* own = image->GetBitmap();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(Letters(*own), "WBG/WWW");
  TBitmap copy;
  copy.Assign(image.get());
  EXPECT_EQ(Letters(copy), "WBG/WWW");
  // A frame the size of the screen is copied with its palette.
  auto still = MakeAnimation(2, 1, {FramePlan{0, 0, 2, 1, {3, 4}}});
  EXPECT_EQ(still->GetBitmap()->GetPixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(still->GetPalette(), still->GetBitmap()->GetPalette());
  EXPECT_EQ(Letters(*still->GetBitmap()), "YK");
}

TEST(GIFImageGraphic, FramesWithoutColoursOfTheirOwnUseTheGlobalColours) {
  // The image's bitmap takes the first frame's own colours; the second
  // frame still draws with the global ones.
  auto image = MakeAnimation(1, 1, {FramePlan{0, 0, 1, 1, {0}}, FramePlan{0, 0, 1, 1, {0}}});
  image->GetImages().GetImage(0)->GetColorMap().Add(clAqua);
  ASSERT_NE(image->GetBitmap(), nullptr);
  EXPECT_EQ(Letters(*image->GetBitmap()), "C");
  EXPECT_EQ(Letters(*image->GetImages().GetImage(1)->GetBitmap()), "R");
}

TEST(GIFImageGraphic, ProgressIsReportedFromStartToEnd) {
  auto image = MakeAnimation(
      1, 1, {FramePlan{0, 0, 1, 1, {0}}, FramePlan{0, 0, 1, 1, {1}}, FramePlan{0, 0, 1, 1, {2}}});
  std::vector<std::string> reports;
  image->OnProgress = [&](TObject*, TProgressStage stage, int percent, bool redraw, const TRect&,
                          const std::string& message) {
    reports.push_back(message + " " + std::to_string(static_cast<int>(stage)) + " " +
                      std::to_string(percent) + (redraw ? " redraw" : ""));
  };
  Save(*image);
  EXPECT_EQ(reports, (std::vector<std::string>{"Saving... 0 0", "Saving... 1 33", "Saving... 1 66",
                                               "Saving... 1 100", "Saving... 2 100 redraw"}));
  reports.clear();
  TGIFImage copy;
  copy.Assign(image.get());
  EXPECT_EQ(reports,
            (std::vector<std::string>{"Copying... 0 0", "Copying... 1 33", "Copying... 1 66",
                                      "Copying... 1 100", "Copying... 2 100"}));
  // Loading reports how far into the stream each frame ended.
  const Bytes file = Save(*image);
  reports.clear();
  copy.OnProgress = image->OnProgress;
  Load(copy, file);
  ASSERT_EQ(reports.size(), 5u);
  EXPECT_EQ(reports.front(), "Loading... 0 0");
  EXPECT_EQ(reports[3], "Loading... 1 " + std::to_string((file.size() - 1) * 100 / file.size()));
  EXPECT_EQ(reports.back(), "Loading... 2 100 redraw");
}

TEST(GIFImageGraphic, AnAbortedRenderingLeavesNoBitmap) {
  auto image = MakeAnimation(1, 64, {FramePlan{0, 0, 1, 64, std::vector<std::uint8_t>(64)}});
  std::vector<int> endings;
  image->OnProgress = [&](TObject*, TProgressStage stage, int percent, bool, const TRect&,
                          const std::string& message) {
    if (message != "Rendering...") return;
    if (stage == TProgressStage::psRunning) throw EAbort("stop");
    if (stage == TProgressStage::psEnding) endings.push_back(percent);
  };
  EXPECT_EQ(image->GetImages().GetImage(0)->GetBitmap(), nullptr);
  EXPECT_EQ(endings, (std::vector<int>{0}));
  image->OnProgress = nullptr;
  EXPECT_NE(image->GetImages().GetImage(0)->GetBitmap(), nullptr);
}

TEST(GIFImageGraphic, CopiedAndPastedThroughTheClipboardWithAllFrames) {
  GIFImage::Initialize();
  auto image = MakeAnimation(
      2, 1,
      {FramePlan{0, 0, 2, 1, {0, 1}, dmNone, 5}, FramePlan{1, 0, 1, 1, {2}, dmBackground, 7},
       FramePlan{0, 0, 1, 1, {3}, dmPrevious, 9, 3}},
      2);
  Clipboard().Assign(*image);
  EXPECT_EQ(Clipboard().GetFormats(),
            (std::vector<TClipboardFormat>{GIFClipboardFormat(), CF_BITMAP, CF_PALETTE}));
  EXPECT_EQ(GetClipboardFormatName(GIFClipboardFormat()), "GIF Image");

  TPicture picture;
  Clipboard().AssignToPicture(picture);
  auto* pasted = dynamic_cast<TGIFImage*>(picture.GetGraphic());
  ASSERT_NE(pasted, nullptr);
  EXPECT_EQ(FramesOf(*pasted), FramesOf(*image));
  EXPECT_EQ(Save(*pasted), Save(*image));

  // A bitmap alone on the clipboard comes back as a bitmap, which a GIF
  // image takes as its one frame.
  TBitmap bitmap(2, 1, TPixelFormat::pf24bit);
  bitmap.SetPixel(0, 0, clRed);
  Clipboard().Assign(bitmap);
  TPicture fromBitmap;
  Clipboard().AssignToPicture(fromBitmap);
  ASSERT_NE(dynamic_cast<TBitmap*>(fromBitmap.GetGraphic()), nullptr);
  TGIFImage gif;
  const std::optional<TClipboardData> data = Clipboard().GetAsHandle(CF_BITMAP);
  ASSERT_TRUE(data.has_value());
  gif.LoadFromClipboardFormat(CF_BITMAP, *data, {});
  ASSERT_EQ(gif.GetImages().GetCount(), 1);
  EXPECT_EQ(Letters(*gif.GetBitmap()), "RW");

  // An empty image puts nothing.
  TGIFImage empty;
  Clipboard().Assign(empty);
  EXPECT_TRUE(Clipboard().GetFormats().empty());
}

TEST(GIFImageGraphic, PicturesLoadGIFFilesThroughTheRegistry) {
  GIFImage::Initialize();
  auto image = MakeAnimation(2, 1, {FramePlan{0, 0, 2, 1, {0, 1}}});
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "tavkit-picture-test.gif";
  image->SaveToFile(path.string());
  TPicture picture;
  picture.LoadFromFile(path.string());
  auto* loaded = dynamic_cast<TGIFImage*>(picture.GetGraphic());
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(FramesOf(*loaded), FramesOf(*image));
  EXPECT_EQ(Letters(picture.Bitmap()), "RG");
  std::filesystem::remove(path);

  GIFImage::Finalize();
  TPicture unknown;
  EXPECT_THROW(unknown.LoadFromFile("anything.gif"), EInvalidGraphic);
  GIFImage::Initialize();
}

}  // namespace
}  // namespace tavkit

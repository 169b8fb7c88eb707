// Inputs the fuzz target found trouble with, kept so that the trouble stays
// away: each file loads, saves and loads again as the codec promises.
#include <gtest/gtest.h>

#include "GIFTestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;

// A frame of no height on a screen of no height takes the screen's size and
// holds no pixels; it writes nothing, and the saved file holds no frames.
TEST(GIFFuzzFinds, FrameWithoutPixelsSavesAsAFileWithoutFrames) {
  const Bytes input = {0x47, 0x49, 0x46, 0x38, 0x01, 0x61, 0x37, 0x01, 0x00, 0x00, 0x00, 0x00,
                       0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x02,
                       0x02, 0x44, 0x01, 0x00, 0x3B, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00};
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  Load(image, input);
  EXPECT_EQ(log.Messages, std::vector<std::string>{"Image exceeds Logical Screen size"});
  ASSERT_EQ(image.GetImages().GetCount(), 1);
  EXPECT_TRUE(image.GetImages().GetImage(0)->GetEmpty());
  const Bytes saved = Save(image);
  EXPECT_EQ(saved, (Bytes{0x47, 0x49, 0x46, 0x38, 0x37, 0x61, 0x37, 0x01, 0x00, 0x00, 0x77, 0x00,
                          0x00, 0x3B}));
  TGIFImage reloaded;
  Load(reloaded, saved);
  EXPECT_TRUE(reloaded.GetEmpty());
}

// An interlaced frame of no width has rows but no pixels to put them in.
TEST(GIFFuzzFinds, InterlacedFrameOfNoWidth) {
  const Bytes input = {'G',  'I',  'F',  '8',  '9',  'a',  0x00, 0x00, 0x10, 0x00,
                       0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                       0x05, 0x00, 0x40, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
  TGIFImage image;
  Load(image, input);
  ASSERT_EQ(image.GetImages().GetCount(), 1);
  EXPECT_EQ(image.GetImages().GetImage(0)->GetHeight(), 16);
  EXPECT_TRUE(image.GetImages().GetImage(0)->GetEmpty());
}

// Odd bytes where extensions may stand are read as descriptors; two of the
// frames so made have no size and no pixels but carry colour maps and
// extensions. The frame with pixels survives saving and loading.
TEST(GIFFuzzFinds, DescriptorsReadAtOddBytes) {
  const Bytes input = {
      0x47, 0x49, 0x46, 0x38, 0x39, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x15, 0x00, 0x00,
      0x21, 0xF9, 0x40, 0x09, 0x0A, 0x00, 0x03, 0x00, 0x00, 0x00, 0x47, 0x49, 0x46, 0x49, 0x46,
      0x30, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x21, 0xF9, 0x40, 0x09, 0x0A, 0x00, 0x03, 0x00,
      0x00, 0x00, 0x47, 0x49, 0x46, 0x38, 0x39, 0x00, 0x02, 0x00, 0x00, 0xF9, 0x21, 0x00, 0x07,
      0x00, 0x00, 0x20, 0x21, 0x0A, 0x38, 0x39, 0x61, 0x02, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00,
      0x00, 0x01, 0x01, 0x80, 0x00, 0x21, 0x0A, 0x00, 0x03, 0x00, 0x00, 0x00, 0x3B, 0x3B,
  };
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  Load(image, input);
  EXPECT_EQ(log.Messages, (std::vector<std::string>{
                              "Invalid extension introducer", "Image exceeds Logical Screen size",
                              "Decoder bit buffer under-run", "Invalid extension introducer",
                              "Image exceeds Logical Screen size", "Decoder bit buffer under-run",
                              "Decoder bit buffer under-run", "Unknown GIF block type",
                              "Invalid Image trailer"}));
  ASSERT_EQ(image.GetImages().GetCount(), 3);
  EXPECT_TRUE(image.GetImages().GetImage(1)->GetEmpty());
  EXPECT_EQ(image.GetImages().GetImage(1)->GetColorMap().GetCount(), 4);
  const std::vector<Frame> frames = FramesOf(image);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].Width, 257);
  EXPECT_EQ(frames[0].Height, 128);

  TGIFImage reloaded;
  Load(reloaded, Save(image));
  EXPECT_EQ(FramesOf(reloaded), frames);
  EXPECT_EQ(reloaded.GetImages().GetImage(0)->GetExtensions().GetCount(), 2);
  TGIFImage again;
  Load(again, Save(reloaded));
  EXPECT_EQ(Save(again), Save(reloaded));
}

}  // namespace
}  // namespace tavkit

// GIF files written and read block by block: the exact bytes of header,
// colour tables, extensions and frames, and what unusual or broken files
// load as, with their warnings and errors.
#include <gtest/gtest.h>

#include "GIFTestSupport.h"
#include "TestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;
using testsupport::ErrorOf;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// One 1 x 1 frame whose only colour is (10, 20, 30).
TGIFSubImage* AddDot(TGIFImage& image) {
  TGIFSubImage* frame = AddFrame(image, 1, 1, {0}, 0);
  frame->GetColorMap().Add(RGB(10, 20, 30));
  return frame;
}

const Bytes kDotFrame = {0x2C, 0,  0, 0, 0, 1,    0,    1,    0,    0x80, 10,
                         20,   30, 0, 0, 0, 0x02, 0x02, 0x44, 0x01, 0x00};

// The message of the GIF error that loading the file raises.
std::string LoadError(const Bytes& file) {
  TGIFImage image;
  return ErrorOf<GIFException>([&] { Load(image, file); });
}

TEST(GIFWrite, OnePixelWithTwoColours) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  AddFrame(image, 1, 1, {0}, 2);
  EXPECT_EQ(Save(image), (Bytes{'G', 'I',  'F', '8', '7', 'a',  1,    0,    1,    0,    0,    0,
                                0,   0x2C, 0,   0,   0,   0,    1,    0,    1,    0,    0x80, 0,
                                0,   255,  1,   1,   254, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B}));
  EXPECT_EQ(log.Messages, (std::vector<std::string>{"Image width too small for contained frames",
                                                    "Image height too small for contained frames",
                                                    "Image exceeds Logical Screen size"}));
}

TEST(GIFWrite, OneColourTableIsPaddedToTwoEntries) {
  TGIFImage image;
  AddDot(image);
  EXPECT_EQ(Save(image), Concat({ToBytes("GIF87a"), {1, 0, 1, 0, 0, 0, 0}, kDotFrame, {0x3B}}));
}

TEST(GIFWrite, ImageWithoutFramesCannotBeSaved) {
  TGIFImage image;
  TMemoryStream stream;
  try {
    image.SaveToStream(stream);
    FAIL() << "saved";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Unsupported GIF version");
  }
}

TEST(GIFWrite, GlobalTableAndSortedLocalTableSetTheirFlags) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 1, 1, {0}, 3);
  frame->GetColorMap().SetSorted(true);
  image.GetColorMap().Add(RGB(1, 2, 3));
  EXPECT_EQ(Save(image),
            (Bytes{'G', 'I', 'F', '8',  '9', 'a', 1, 0, 1, 0,    0x90, 0,    0,    1,    2,   3,
                   0,   0,   0,   0x2C, 0,   0,   0, 0, 1, 0,    1,    0,    0xA1, 0,    0,   255,
                   1,   1,   254, 2,    2,   253, 0, 0, 0, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B}));
}

const Bytes kExtensions = {0x21, 0xF9, 4,   0x09, 10,  0,   0,   0,            // control
                           0x21, 0xFE, 3,   'a',  'b', 'c', 2,   'd', 'e', 0,  // comment
                           0x21, 0xFF, 11,  'N',  'E', 'T', 'S', 'C', 'A', 'P',
                           'E',  '2',  '.', '0',  3,  // loop
                           1,    3,    0,   0,        //
                           0x21, 0x01, 12,  1,    0,   2,   0,   3,   0,   4,
                           0,    5,    6,   0,    0,   2,   'H', 'i', 0};  // text

TEST(GIFWrite, ExtensionsStandInFrontOfTheirFrame) {
  TGIFImage image;
  TGIFSubImage* frame = AddDot(image);
  auto* control = new TGIFGraphicControlExtension(frame);
  control->SetTransparent(true);
  control->SetDisposal(dmBackground);
  control->SetDelay(10);
  frame->GetExtensions().Add(control);
  auto* comment = new TGIFCommentExtension(frame);
  comment->GetLines().Add("abc");
  comment->GetLines().Add("");
  comment->GetLines().Add("de");
  frame->GetExtensions().Add(comment);
  auto* loop = new TGIFAppExtNSLoop(frame);
  loop->SetLoopCount(3);
  frame->GetExtensions().Add(loop);
  auto* text = new TGIFTextExtension(frame);
  for (int i = 1; i <= 4; ++i) text->SetBounds(i, i);
  text->SetCharWidthHeight(1, 5);
  text->SetCharWidthHeight(2, 6);
  text->GetLines().Add("Hi");
  frame->GetExtensions().Add(text);
  const Bytes expected =
      Concat({ToBytes("GIF89a"), {1, 0, 1, 0, 0, 0, 0}, kExtensions, kDotFrame, {0x3B}});
  EXPECT_EQ(Save(image), expected);

  TGIFImage loaded;
  Load(loaded, expected);
  const TGIFSubImage* read = loaded.GetImages().GetImage(0);
  ASSERT_EQ(read->GetExtensions().GetCount(), 4);
  EXPECT_TRUE(read->GetTransparent());
  auto* readControl =
      dynamic_cast<TGIFGraphicControlExtension*>(read->GetExtensions().GetExtension(0));
  ASSERT_NE(readControl, nullptr);
  EXPECT_EQ(read->GetGraphicControlExtension(), readControl);
  EXPECT_EQ(readControl->GetDisposal(), dmBackground);
  EXPECT_EQ(readControl->GetDelay(), 10);
  auto* readComment = dynamic_cast<TGIFCommentExtension*>(read->GetExtensions().GetExtension(1));
  ASSERT_NE(readComment, nullptr);
  EXPECT_EQ(readComment->GetLines().ToVector(), (std::vector<std::string>{"abc", "de"}));
  auto* readLoop = dynamic_cast<TGIFAppExtNSLoop*>(read->GetExtensions().GetExtension(2));
  ASSERT_NE(readLoop, nullptr);
  EXPECT_EQ(readLoop->GetLoopCount(), 3);
  auto* readText = dynamic_cast<TGIFTextExtension*>(read->GetExtensions().GetExtension(3));
  ASSERT_NE(readText, nullptr);
  EXPECT_EQ(readText->GetCharWidthHeight(2), 6);
  EXPECT_EQ(Save(loaded), expected);
}

TEST(GIFWrite, LongCommentLinesAreCutInto255ByteSubBlocks) {
  TGIFImage image;
  TGIFSubImage* frame = AddDot(image);
  auto* comment = new TGIFCommentExtension(frame);
  comment->GetLines().Add(std::string(255, 'x') + std::string(45, 'y'));
  frame->GetExtensions().Add(comment);
  const Bytes saved = Save(image);
  const Bytes expected = Concat({ToBytes("GIF89a"),
                                 {1, 0, 1, 0, 0, 0, 0, 0x21, 0xFE, 255},
                                 Bytes(255, 'x'),
                                 {45},
                                 Bytes(45, 'y'),
                                 {0},
                                 kDotFrame,
                                 {0x3B}});
  EXPECT_EQ(saved, expected);
  TGIFImage loaded;
  Load(loaded, saved);
  auto* read =
      dynamic_cast<TGIFCommentExtension*>(loaded.GetImages().GetImage(0)->GetExtensions().First());
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->GetLines().Count(), 2);
  EXPECT_EQ(read->GetLines().Get(0), std::string(255, 'x'));
  EXPECT_EQ(read->GetLines().Get(1), std::string(45, 'y'));
}

TEST(GIFWrite, InterlacedFrameWithLocalTableStaysInterlaced) {
  TGIFImage image;
  AddFrame(image, 1, 3, {0, 1, 2}, 4, true);
  const Bytes expected = {'G',  'I', 'F',  '8',  '7',  'a',  1,    0,   3, 0,   0x11,
                          0,    0,   0x2C, 0,    0,    0,    0,    1,   0, 3,   0,
                          0xC1, 0,   0,    255,  1,    1,    254,  2,   2, 253, 3,
                          3,    252, 0x02, 0x02, 0x84, 0x52, 0x00, 0x3B};
  EXPECT_EQ(Save(image), expected);
  TGIFImage loaded;
  Load(loaded, expected);
  EXPECT_TRUE(loaded.GetImages().GetImage(0)->GetInterlaced());
  EXPECT_EQ(FramesOf(loaded), (std::vector<Frame>{{0, 0, 1, 3, {0, 1, 2}}}));
  EXPECT_EQ(Save(loaded), expected);
}

TEST(GIFRead, SignatureInAnyCaseAndAnyVersionLoads) {
  for (const char* start : {"gif89a", "GiF87a", "GIF90z"}) {
    TGIFImage image;
    WarningLog log;
    log.Attach(image);
    Load(image, Concat({ToBytes(start), {1, 0, 1, 0, 0, 0, 0}, kDotFrame, {0x3B}}));
    EXPECT_EQ(FramesOf(image), (std::vector<Frame>{{0, 0, 1, 1, {0}}})) << start;
    EXPECT_EQ(log.Messages, std::vector<std::string>{}) << start;
  }
}

TEST(GIFRead, ZeroBytesBetweenBlocksAndAMissingTrailerAreAccepted) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  Load(image, Concat({ToBytes("GIF89a"),
                      {1, 0, 1, 0, 0, 0, 0, 0, 0},
                      kExtensions,
                      {0},
                      kDotFrame,
                      {0, 0},
                      kDotFrame}));
  ASSERT_EQ(image.GetImages().GetCount(), 2);
  EXPECT_EQ(image.GetImages().GetImage(0)->GetExtensions().GetCount(), 4);
  EXPECT_EQ(log.Messages, std::vector<std::string>{});
}

TEST(GIFRead, GlobalTableSizeBits) {
  TGIFImage image;
  Bytes file = Concat({ToBytes("GIF89a"), {1, 0, 1, 0, 0x87, 0, 0}, Bytes(768, 9), {0x3B}});
  Load(image, file);
  EXPECT_EQ(image.GetColorMap().GetCount(), 256);
  Load(image, Concat({ToBytes("GIF89a"), {1, 0, 1, 0, 0x80, 0, 0}, Bytes(6, 9), {0x3B}}));
  EXPECT_EQ(image.GetColorMap().GetCount(), 2);
  EXPECT_FALSE(image.GetColorMap().GetSorted());
}

TEST(GIFRead, UnknownApplicationExtensionsAreWrittenBackUnchanged) {
  const Bytes file = Concat({ToBytes("GIF89a"),
                             {1, 0, 1, 0, 0, 0, 0, 0x21, 0xFF, 11},
                             ToBytes("XMP DataXMP"),
                             {3, 'a', 'b', 'c', 1, 'z', 0, 0x21, 0xFF, 11},
                             ToBytes("ANIMEXTS1.0"),
                             {3, 1, 5, 0, 0},
                             kDotFrame,
                             {0x3B}});
  TGIFImage image;
  Load(image, file);
  const TGIFExtensionList& extensions = image.GetImages().GetImage(0)->GetExtensions();
  ASSERT_EQ(extensions.GetCount(), 2);
  auto* unknown = dynamic_cast<TGIFUnknownAppExtension*>(extensions.GetExtension(0));
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->GetSubBlockCount(), 2);
  auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(extensions.GetExtension(1));
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->GetLoopCount(), 5);
  EXPECT_EQ(Save(image), file);
}

TEST(GIFRead, FrameWithoutSizeTakesTheScreenSize) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  Load(image,
       Concat({ToBytes("GIF87a"),
               {2, 0, 1, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x01, 0x0C, 0x00},
               {0x3B}}));
  EXPECT_EQ(FramesOf(image), (std::vector<Frame>{{0, 0, 2, 1, {1, 0}}}));
  EXPECT_EQ(log.Messages, (std::vector<std::string>{"Image exceeds Logical Screen size",
                                                    "Decoder bit buffer under-run"}));
}

TEST(GIFRead, UnknownBlockEndsTheFramesAndWarnsTwice) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  Load(image, Concat({ToBytes("GIF89a"), {1, 0, 1, 0, 0, 0, 0}, kDotFrame, {0x99}, kDotFrame}));
  EXPECT_EQ(image.GetImages().GetCount(), 1);
  EXPECT_EQ(log.Messages,
            (std::vector<std::string>{"Unknown GIF block type", "Invalid Image trailer"}));
}

TEST(GIFRead, OddByteAfterAnExtensionIsReadAsADescriptor) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  Bytes frame = kDotFrame;
  frame[0] = 0x77;
  Load(image,
       Concat({ToBytes("GIF89a"), {1, 0, 1, 0, 0, 0, 0, 0x21, 0xFE, 1, 'x', 0}, frame, {0x3B}}));
  ASSERT_EQ(image.GetImages().GetCount(), 1);
  EXPECT_EQ(image.GetImages().GetImage(0)->GetDescriptor().Separator, 0x77);
  EXPECT_EQ(FramesOf(image), (std::vector<Frame>{{0, 0, 1, 1, {0}}}));
  EXPECT_EQ(log.Messages, std::vector<std::string>{"Invalid extension introducer"});
  // Written back with the proper separator, so that it reads as a frame.
  EXPECT_EQ(
      Save(image),
      Concat({ToBytes("GIF89a"), {1, 0, 1, 0, 0, 0, 0, 0x21, 0xFE, 1, 'x', 0}, kDotFrame, {0x3B}}));
}

TEST(GIFRead, ErrorsNameWhatIsWrong) {
  const Bytes screen = {1, 0, 1, 0, 0, 0, 0};
  EXPECT_EQ(LoadError(ToBytes("GIF8")), "Premature end of data");
  EXPECT_EQ(LoadError(ToBytes("GIF89a\1\0")), "Premature end of data");
  EXPECT_EQ(LoadError(Concat({ToBytes("JPG89a"), screen})), "Invalid GIF signature");
  EXPECT_EQ(LoadError(Concat({ToBytes("GIF89a"), screen, {0x21, 0x42, 0}})),
            "Unknown extension type");
  EXPECT_EQ(LoadError(Concat({ToBytes("GIF89a"), screen, {0x21, 0xFF, 5, 1, 2, 3, 4, 5, 0}})),
            "Unsupported Application Extension block size");
  EXPECT_EQ(
      LoadError(Concat(
          {ToBytes("GIF89a"), screen, {0x21, 0xFF, 11}, ToBytes("NETSCAPE2.0"), {3, 2, 0, 0, 0}})),
      "Invalid GIF data");
  EXPECT_EQ(LoadError(Concat({ToBytes("GIF89a"), screen, {0x21, 0xF9, 4, 0}})),
            "Premature end of data");
  EXPECT_EQ(LoadError(Concat({ToBytes("GIF89a"), screen, {0x21, 0xFE, 5, 'a'}})),
            "Premature end of data");
  EXPECT_EQ(LoadError(Concat({ToBytes("GIF89a"), screen, {0x2C, 0, 0, 0}})),
            "Premature end of data");
  EXPECT_EQ(LoadError(Concat({ToBytes("GIF89a"), screen, {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x81, 1}})),
            "Premature end of data");
}

TEST(GIFRead, FailedLoadKeepsWhatWasReadBeforeTheError) {
  TGIFImage image;
  EXPECT_THROW(
      Load(image, Concat({ToBytes("GIF89a"), {3, 0, 1, 0, 0, 0, 0}, kDotFrame, {0x21, 0x42, 0}})),
      GIFException);
  EXPECT_EQ(image.GetWidth(), 3);
  EXPECT_EQ(image.GetImages().GetCount(), 1);
}

// A header of a few bytes must not make the reader allocate gigabytes.
TEST(GIFRead, FramesBeyondThePixelLimitsAreRefusedBeforeAllocation) {
  const Bytes huge = Concat({ToBytes("GIF89a"),
                             {0, 0, 0, 0, 0, 0, 0},
                             {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x44, 1, 0}});
  EXPECT_EQ(LoadError(huge), "Image frame exceeds the pixel limit");

  const std::int64_t saved = MaxGIFTotalPixels;
  MaxGIFTotalPixels = 3;
  const std::string error = LoadError(Concat(
      {ToBytes("GIF89a"), {2, 0, 1, 0, 0, 0, 0}, kDotFrame, kDotFrame, kDotFrame, kDotFrame}));
  MaxGIFTotalPixels = saved;
  EXPECT_EQ(error, "Image frames exceed the total pixel limit");
}

}  // namespace
}  // namespace tavkit

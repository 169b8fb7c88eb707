// The codec against giflib: what one writes the other reads with the same
// colour indices, and real files load here as giflib decodes them.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "GIFTestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;

struct Case {
  int Width;
  int Height;
  int Depth;
  int Kind;
  bool Interlaced;
  TGIFCompression Compression;
};

// Every combination of encoder, interlacing, depth and kind of data, at
// sizes from one pixel to large enough for many clear codes.
std::vector<Case> Cases() {
  std::vector<Case> cases;
  std::mt19937 random(20240601);
  std::uniform_int_distribution<int> side(1, 160);
  for (TGIFCompression compression : {gcLZW, gcRLE})
    for (bool interlaced : {false, true})
      for (int depth = 1; depth <= 8; ++depth)
        for (int kind = 0; kind < 4; ++kind)
          cases.push_back({side(random), side(random), depth, kind, interlaced, compression});
  cases.push_back({1, 1, 1, 0, false, gcLZW});
  cases.push_back({1, 1, 8, 0, true, gcRLE});
  cases.push_back({640, 480, 8, 0, false, gcLZW});
  cases.push_back({640, 480, 8, 1, true, gcRLE});
  cases.push_back({3000, 1, 4, 3, false, gcRLE});
  cases.push_back({1, 3000, 2, 1, true, gcLZW});
  return cases;
}

TEST(GIFInterop, GiflibReadsEveryImageWeWrite) {
  std::mt19937 random(7);
  for (const Case& c : Cases()) {
    SCOPED_TRACE(testing::Message()
                 << c.Width << "x" << c.Height << " depth " << c.Depth << " kind " << c.Kind
                 << " interlaced " << c.Interlaced << " compression " << c.Compression);
    TGIFImage image;
    image.SetCompression(c.Compression);
    const Bytes pixels = MakePixels(random, c.Width, c.Height, c.Depth, c.Kind);
    TGIFSubImage* frame = AddFrame(image, c.Width, c.Height, pixels, 1 << c.Depth, c.Interlaced);
    auto* control = new TGIFGraphicControlExtension(frame);
    control->SetDelay(7);
    control->SetTransparentColorIndex(0);
    control->SetTransparent(true);
    frame->GetExtensions().Add(control);
    auto* comment = new TGIFCommentExtension(frame);
    comment->GetLines().Add(std::string(300, 'c'));
    frame->GetExtensions().Add(comment);
    auto* loop = new TGIFAppExtNSLoop(frame);
    loop->SetLoopCount(2);
    frame->GetExtensions().Add(loop);

    const auto decoded = GiflibDecode(Save(image));
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->size(), 1u);
    EXPECT_EQ((*decoded)[0], (Frame{0, 0, c.Width, c.Height, pixels}));
  }
}

TEST(GIFInterop, WeReadEveryImageGiflibWrites) {
  std::mt19937 random(11);
  for (const Case& c : Cases()) {
    if (c.Compression == gcRLE) continue;
    SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height << " depth " << c.Depth
                                    << " kind " << c.Kind << " interlaced " << c.Interlaced);
    const Frame frame{0, 0, c.Width, c.Height,
                      MakePixels(random, c.Width, c.Height, c.Depth, c.Kind)};
    TGIFImage image;
    WarningLog warnings;
    warnings.Attach(image);
    Load(image, GiflibEncode(frame, c.Depth, c.Interlaced));
    EXPECT_EQ(FramesOf(image), std::vector<Frame>{frame});
    EXPECT_EQ(warnings.Messages, std::vector<std::string>{});
  }
}

// Both encoders give the same pixels back through our own decoder, and
// writing what was read gives the same file again.
TEST(GIFInterop, OurFilesRoundTrip) {
  std::mt19937 random(13);
  for (const Case& c : Cases()) {
    SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height << " depth " << c.Depth
                                    << " kind " << c.Kind << " compression " << c.Compression);
    TGIFImage image;
    image.SetCompression(c.Compression);
    const Bytes pixels = MakePixels(random, c.Width, c.Height, c.Depth, c.Kind);
    AddFrame(image, c.Width, c.Height, pixels, 1 << c.Depth, c.Interlaced);
    const Bytes saved = Save(image);
    TGIFImage loaded;
    loaded.SetCompression(c.Compression);
    Load(loaded, saved);
    EXPECT_EQ(FramesOf(loaded), (std::vector<Frame>{{0, 0, c.Width, c.Height, pixels}}));
    EXPECT_EQ(Save(loaded), saved);
  }
}

// Every sample of tests/data/gif, the ones broken on purpose included.
const char* const kSamples[] = {"animated-red-blue.gif",
                                "bricks-dither.gif",
                                "bricks-gray.gif",
                                "bricks-nodither.gif",
                                "gifplayer-muybridge.gif",
                                "harvesters.gif",
                                "hat.gif",
                                "hibiscus.primitive.gif",
                                "hibiscus.regular.gif",
                                "hippopotamus.interlaced.gif",
                                "hippopotamus.interlaced.truncated.gif",
                                "hippopotamus.masked-with-muybridge.gif",
                                "hippopotamus.regular.gif",
                                "lzwof.gif",
                                "lzwoob.gif",
                                "muybridge.gif",
                                "pjw-thumbnail.gif",
                                "waves.gif"};

TEST(GIFInterop, SamplesLoadWithTheIndicesGiflibDecodes) {
  int compared = 0;
  for (const char* name : kSamples) {
    SCOPED_TRACE(name);
    const std::filesystem::path path = SamplesDir() / name;
    ASSERT_TRUE(std::filesystem::exists(path)) << "missing sample " << path;
    const Bytes bytes = ReadFile(path);
    const auto expected = GiflibDecode(bytes);
    TGIFImage image;
    try {
      Load(image, bytes);
    } catch (const GIFException& e) {
      // Only files giflib refuses too may fail here.
      EXPECT_FALSE(expected.has_value()) << e.what();
      continue;
    }
    if (!expected.has_value()) continue;
    EXPECT_EQ(FramesOf(image), *expected);
    ++compared;
  }
  EXPECT_GT(compared, 10);
}

}  // namespace
}  // namespace tavkit

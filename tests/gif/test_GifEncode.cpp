// tavkit gif encode, run as users run it: the exact file for a small
// picture, the same GIF from PNG, BMP and PPM, every option read back by
// giflib, and the exit codes of bad arguments and bad pictures.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include <sys/wait.h>
#include <unistd.h>

#include "GIFTestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;
namespace fs = std::filesystem;

class GifEncode : public ::testing::Test {
 protected:
  void SetUp() override {
    FFolder = fs::temp_directory_path() / ("tavkit-encode-" + std::to_string(getpid()));
    fs::create_directories(FFolder);
  }
  void TearDown() override { fs::remove_all(FFolder); }

  // Runs tavkit with the arguments; answers its exit code and keeps what it
  // printed.
  int Run(const std::string& arguments) {
    const Result result = RunTavkit(arguments);
    FOutput = result.Output;
    return result.ExitCode;
  }

  std::string Path(const std::string& name) const { return (FFolder / name).string(); }

  std::string Write(const std::string& name, const Bytes& bytes) const {
    TMemoryStream(bytes).SaveToFile(Path(name));
    return Path(name);
  }

  fs::path FFolder;
  std::string FOutput;
};

Bytes PPM(int width, int height, const std::string& maximum, const Bytes& samples) {
  const std::string header = "P6\n# made by a test\n" + std::to_string(width) + " " +
                             std::to_string(height) + "\n" + maximum + "\n";
  Bytes bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), samples.begin(), samples.end());
  return bytes;
}

// Red and blue in a checker of 3 by 2: two exact colours, indices 0 1 0 / 1 0 1.
const Bytes kChecker = {255, 0, 0, 0, 0, 255, 255, 0, 0, 0, 0, 255, 255, 0, 0, 0, 0, 255};

TEST_F(GifEncode, WritesTheExactFileOfAFewColours) {
  const std::string in = Write("checker.ppm", PPM(3, 2, "255", kChecker));
  ASSERT_EQ(Run("gif encode " + in + " -o " + Path("out.gif") + " --reduction rmNone"), 0)
      << FOutput;
  // clang-format off
  Bytes expected = {'G', 'I', 'F', '8', '7', 'a', 3, 0, 2, 0, 0x00, 0, 0,
                    0x2C, 0, 0, 0, 0, 3, 0, 2, 0, 0x80,
                    255, 0, 0, 0, 0, 255,
                    2, 3, 0x44, 0x6C, 0x05, 0, 0x3B};
  // clang-format on
  EXPECT_EQ(ReadFile(Path("out.gif")), expected);
  // Two rows stay in their order when interlaced; only the flag differs.
  ASSERT_EQ(Run("gif encode " + in + " -o " + Path("out.gif") + " --reduction rmNone --interlace"),
            0);
  expected[22] = 0xC0;
  EXPECT_EQ(ReadFile(Path("out.gif")), expected);
}

TEST_F(GifEncode, PngBmpAndPpmOfOnePictureGiveOneGif) {
  auto bitmap = std::make_unique<TBitmap>(41, 29, TPixelFormat::pf24bit);
  Bytes samples, wide;
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < 41; ++x) {
      const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(x * 6),
                                   static_cast<std::uint8_t>(y * 8),
                                   static_cast<std::uint8_t>((x ^ y) * 5)};
      bitmap->SetPixel(x, y, RGB(rgb[0], rgb[1], rgb[2]));
      for (std::uint8_t c : rgb) {
        samples.push_back(c);
        // The same picture with two-byte samples: c * 257 of 65535.
        wide.push_back(c);
        wide.push_back(c);
      }
    }
  bitmap->SaveToPNGFile(Path("in.png"));
  bitmap->SaveToFile(Path("in.bmp"));
  Write("in.ppm", PPM(41, 29, "255", samples));
  Write("wide.ppm", PPM(41, 29, "65535", wide));
  std::vector<Bytes> files;
  for (const char* in : {"in.png", "in.bmp", "in.ppm", "wide.ppm"}) {
    ASSERT_EQ(Run("gif encode " + Path(in) + " -o " + Path("out.gif")), 0) << in << FOutput;
    files.push_back(ReadFile(Path("out.gif")));
  }
  for (std::size_t i = 1; i < files.size(); ++i) EXPECT_EQ(files[i], files[0]) << i;
  TGIFImage direct;
  direct.Assign(bitmap.get());
  EXPECT_EQ(files[0], Save(direct));
}

TEST_F(GifEncode, GiflibReadsWhatEveryOptionWrites) {
  Bytes samples;
  for (int y = 0; y < 19; ++y)
    for (int x = 0; x < 33; ++x)
      samples.insert(samples.end(),
                     {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(255 - y * 9),
                      static_cast<std::uint8_t>(x * y)});
  const std::string in = Write("in.ppm", PPM(33, 19, "255", samples));
  for (const char* reduction : {"rmNetscape", "rmQuantize"})
    for (const char* dither : {"dmNearest", "dmFloydSteinberg"})
      for (const char* compression : {"gcLZW", "gcRLE"})
        for (const char* interlace : {"", " --interlace"}) {
          const std::string options = std::string(" --reduction ") + reduction + " --dither " +
                                      dither + " --compression " + compression + interlace;
          ASSERT_EQ(Run("gif encode " + in + " -o " + Path("out.gif") + options), 0) << options;
          const Bytes gif = ReadFile(Path("out.gif"));
          TGIFImage ours;
          Load(ours, gif);
          ASSERT_EQ(ours.GetImages().GetCount(), 1) << options;
          EXPECT_EQ(ours.GetImages().GetImage(0)->GetInterlaced(), *interlace != '\0');
          const std::optional<std::vector<Frame>> decoded = GiflibDecode(gif);
          ASSERT_TRUE(decoded) << options;
          EXPECT_EQ(*decoded, FramesOf(ours)) << options;
        }
}

TEST_F(GifEncode, BadArgumentsAndBadPictures) {
  const std::string in = Write("checker.ppm", PPM(3, 2, "255", kChecker));
  const std::string out = " -o " + Path("out.gif");
  EXPECT_EQ(Run("gif encode --help"), 0);
  EXPECT_EQ(FOutput.rfind("usage: tavkit gif encode IN -o OUT.gif", 0), 0u) << FOutput;
  EXPECT_EQ(Run("gif encode " + in), 2);
  EXPECT_EQ(FOutput, "error: expected -o OUT.gif\n");
  EXPECT_EQ(Run("gif encode" + out), 2);
  EXPECT_EQ(Run("gif encode " + in + out + " --reduction rmBest"), 2);
  EXPECT_EQ(FOutput,
            "error: unknown value 'rmBest' of --reduction; expected one of rmNone, rmNetscape, "
            "rmQuantize\n");
  EXPECT_EQ(Run("gif encode " + in + out + " --dither"), 2);
  EXPECT_EQ(Run("gif encode " + in + out + " --compression gcZIP"), 2);
  EXPECT_EQ(Run("gif encode " + in + out + " --fast"), 2);
  EXPECT_FALSE(fs::exists(Path("out.gif")));

  EXPECT_EQ(Run("gif encode " + Path("missing.png") + out), 1);
  const std::string text = Write("text.txt", ToBytes("hello"));
  EXPECT_EQ(Run("gif encode " + text + out), 1);
  EXPECT_EQ(FOutput, "error: '" + text + "' is not a PNG, BMP or binary PPM picture\n");
  // The picture registry knows GIF files too, but they are not pictures to encode.
  const std::string gif = Write("in.gif", ToBytes("GIF89a\x01\x00\x01\x00\x00\x00\x00;"));
  EXPECT_EQ(Run("gif encode " + gif + out), 1);
  EXPECT_EQ(FOutput, "error: '" + gif + "' is not a PNG, BMP or binary PPM picture\n");
  const std::string truncated =
      Write("short.ppm", PPM(3, 2, "255", Bytes(kChecker.begin(), kChecker.end() - 1)));
  EXPECT_EQ(Run("gif encode " + truncated + out), 1);
  EXPECT_EQ(FOutput, "error: Invalid PPM image: the pixels are truncated\n");
  for (const char* header : {"P6\n3 2\n", "P6\n3 x 2\n255\n", "P6\n3 2\n0\n", "P6\n3 2\n70000\n",
                             "P6\n99999999999 2\n255\n"}) {
    const std::string bad = Write("bad.ppm", ToBytes(header));
    EXPECT_EQ(Run("gif encode " + bad + out), 1) << header;
  }
  const std::string empty = Write("empty.ppm", PPM(0, 2, "255", {}));
  EXPECT_EQ(Run("gif encode " + empty + out), 1);
  EXPECT_FALSE(fs::exists(Path("out.gif")));

  // More than 256 colours cannot be kept exactly.
  Bytes many;
  for (int i = 0; i < 300; ++i)
    many.insert(many.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 7});
  const std::string colourful = Write("many.ppm", PPM(300, 1, "255", many));
  EXPECT_EQ(Run("gif encode " + colourful + out + " --reduction rmNone"), 1);
  EXPECT_EQ(FOutput, "error: Color table overflow\n");
  EXPECT_EQ(Run("gif encode " + colourful + out), 0);
}

}  // namespace
}  // namespace tavkit

// tavkit gif decode and tavkit gif frames, run as users run them: a frame as
// the codec renders it, and animations played through the painter, frame by
// frame against frames worked out by hand and against what headless
// Chromium composes from the same files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "AnimationSupport.h"
#include "GIFTestSupport.h"
#include "HeadlessBrowser.h"
#include "TestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;
namespace fs = std::filesystem;
using testsupport::LoadPNG;

fs::path ScratchDir(const std::string& name) {
  const fs::path dir = fs::path(TAVKIT_BINARY_DIR) / "gif-frames" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Every frame-NNNN.png of a folder, in order, read by readPicture.
template <class Read>
auto ReadFrames(const fs::path& dir, Read readPicture) {
  std::vector<decltype(readPicture(*LoadPNG(dir)))> frames;
  for (int i = 0;; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%04d.png", i);
    if (!fs::exists(dir / name)) break;
    frames.push_back(readPicture(*LoadPNG(dir / name)));
  }
  return frames;
}

std::vector<std::string> PlayedLetters(const fs::path& gif, const fs::path& dir) {
  const Result result = RunTavkit("gif frames " + gif.string() + " -o " + dir.string());
  EXPECT_EQ(result.ExitCode, 0) << result.Output;
  std::vector<std::string> frames = ReadFrames(dir, [](const TBitmap& b) { return Letters(b); });
  // The command names every frame file as it writes it.
  std::string written;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%04zu.png", i);
    written += (dir / name).string() + "\n";
  }
  EXPECT_EQ(result.Output, written);
  return frames;
}

std::unique_ptr<TGIFImage> BackgroundAnimation() {
  return MakeAnimation(4, 2,
                       {FramePlan{0, 0, 4, 2, {0, 0, 0, 0, 0, 0, 0, 0}, dmNoDisposal, 10},
                        FramePlan{1, 0, 2, 2, {1, 3, 1, 1}, dmBackground, 10, 3},
                        FramePlan{0, 1, 1, 1, {2}, dmNone, 10}},
                       0);
}

std::unique_ptr<TGIFImage> PreviousAnimation() {
  return MakeAnimation(
      4, 2,
      {FramePlan{0, 0, 4, 2, {0, 0, 0, 0, 0, 0, 0, 0}, dmNoDisposal, 10},
       FramePlan{0, 0, 2, 1, {1, 1}, dmPrevious, 10},
       FramePlan{2, 1, 2, 1, {2, 3}, dmBackground, 10, 3},
       FramePlan{0, 0, 1, 2, {2, 2}, dmPrevious, 10}, FramePlan{3, 0, 1, 1, {1}, dmNone, 10}});
}

fs::path WriteGIF(TGIFImage& image, const fs::path& path) {
  image.SaveToFile(path.string());
  return path;
}

TEST(GifFrames, DecodeWritesOneFrameAsRendered) {
  const fs::path dir = ScratchDir("decode");
  const fs::path gif = WriteGIF(*BackgroundAnimation(), dir / "background.gif");
  Result result =
      RunTavkit("gif decode " + gif.string() + " -o " + (dir / "one.png").string() + " --frame 1");
  ASSERT_EQ(result.ExitCode, 0) << result.Output;
  EXPECT_EQ(Letters(*LoadPNG(dir / "one.png")), "GY/GG");
  result = RunTavkit("gif decode " + gif.string() + " -o " + (dir / "zero.png").string());
  ASSERT_EQ(result.ExitCode, 0) << result.Output;
  EXPECT_EQ(Letters(*LoadPNG(dir / "zero.png")), "RRRR/RRRR");

  result =
      RunTavkit("gif decode " + gif.string() + " -o " + (dir / "x.png").string() + " --frame 3");
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(result.Output, "error: there is no frame 3; the file has 3 frames\n");
  result =
      RunTavkit("gif decode " + gif.string() + " -o " + (dir / "x.png").string() + " --frame -1");
  EXPECT_EQ(result.ExitCode, 2);
  EXPECT_EQ(result.Output, "error: --frame takes a frame number, not '-1'\n");
  EXPECT_FALSE(fs::exists(dir / "x.png"));
}

TEST(GifFrames, FramesShowDisposalToBackgroundAndTransparency) {
  const fs::path dir = ScratchDir("background");
  const fs::path gif = WriteGIF(*BackgroundAnimation(), dir / "background.gif");
  EXPECT_EQ(PlayedLetters(gif, dir / "out"),
            (std::vector<std::string>{"RRRR/RRRR", "RGRR/RGGR", "RWWR/BWWR"}));
}

TEST(GifFrames, FramesShowDisposalToPrevious) {
  const fs::path dir = ScratchDir("previous");
  const fs::path gif = WriteGIF(*PreviousAnimation(), dir / "previous.gif");
  EXPECT_EQ(
      PlayedLetters(gif, dir / "out"),
      (std::vector<std::string>{"RRRR/RRRR", "GGRR/RRRR", "RRRR/RRBR", "BRRR/BRWW", "RRRG/RRWW"}));
}

TEST(GifFrames, FramesRefusesFilesItCannotPlay) {
  const fs::path dir = ScratchDir("refused");
  TMemoryStream(ToBytes("GIF89a\x01")).SaveToFile((dir / "broken.gif").string());
  Result result =
      RunTavkit("gif frames " + (dir / "broken.gif").string() + " -o " + (dir / "out").string());
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(result.Output, "error: Premature end of data\n");
  result = RunTavkit("gif frames " + (dir / "broken.gif").string());
  EXPECT_EQ(result.ExitCode, 2);
  EXPECT_EQ(result.Output, "error: expected -o DIR\n");
}

// An animation of random frames on a 12 x 9 screen: random places and
// sizes, pixels of the five letter colours (index 3 transparent in some
// frames), disposals taken in turn from the list given.
std::unique_ptr<TGIFImage> RandomAnimation(unsigned seed, const std::vector<int>& disposals) {
  std::mt19937 random(seed);
  const auto between = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  std::vector<FramePlan> frames;
  for (int i = 0; i < 8; ++i) {
    FramePlan frame;
    frame.Width = i == 0 ? 12 : between(1, 8);
    frame.Height = i == 0 ? 9 : between(1, 6);
    frame.Left = i == 0 ? 0 : between(0, 12 - frame.Width);
    frame.Top = i == 0 ? 0 : between(0, 9 - frame.Height);
    for (int p = 0; p < frame.Width * frame.Height; ++p)
      frame.Pixels.push_back(static_cast<std::uint8_t>(between(0, 4)));
    frame.Disposal = disposals[static_cast<std::size_t>(i) % disposals.size()];
    frame.Delay = 5;
    if (between(0, 2) != 0) frame.Transparent = 3;
    frames.push_back(frame);
  }
  return MakeAnimation(12, 9, frames, 0);
}

std::string Base64(const Bytes& bytes) {
  static const char* const digits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t n = (std::uint32_t{bytes[i]} << 16) |
                            (i + 1 < bytes.size() ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                            (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    out += digits[(n >> 18) & 63];
    out += digits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? digits[n & 63] : '=';
  }
  return out;
}

// A frame as "RRGGBB" words, row after row.
std::string HexPixels(const TBitmap& bitmap) {
  std::string out;
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) {
      const TColor c = bitmap.GetPixel(x, y);
      char word[8];
      std::snprintf(word, sizeof(word), "%02x%02x%02x ", GetRValue(c), GetGValue(c), GetBValue(c));
      out += word;
    }
  return out;
}

// A frame of a large picture in short: the 32-bit FNV-1a hash of its red,
// green and blue bytes, row after row, in hexadecimal.
std::string PixelDigest(const TBitmap& bitmap) {
  std::uint32_t hash = 0x811C9DC5u;
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) {
      const TColor c = bitmap.GetPixel(x, y);
      for (std::uint8_t byte : {GetRValue(c), GetGValue(c), GetBValue(c)}) {
        hash ^= byte;
        hash *= 0x01000193u;
      }
    }
  char text[12];
  std::snprintf(text, sizeof(text), "%08x", hash);
  return text;
}

// The frames Chromium composes for each file, drawn over white, as
// HexPixels gives them, or as PixelDigest gives them when digests is set.
std::vector<std::vector<std::string>> BrowserFrames(const std::vector<fs::path>& files,
                                                    const fs::path& dir, bool digests) {
  std::string sources;
  for (const fs::path& file : files)
    sources += std::string(sources.empty() ? "" : ",") + "'" + Base64(ReadFile(file)) + "'";
  std::ofstream(dir / "frames.html", std::ios::binary)
      << "<html><body><script>\n"
         "const hex = v => v.toString(16).padStart(2, '0');\n"
         "async function framesOf(source) {\n"
         "  const bytes = Uint8Array.from(atob(source), c => c.charCodeAt(0));\n"
         "  const decoder = new ImageDecoder({data: bytes, type: 'image/gif'});\n"
         "  await decoder.tracks.ready;\n"
         "  const frames = [];\n"
         "  for (let i = 0; i < decoder.tracks.selectedTrack.frameCount; i++) {\n"
         "    const frame = (await decoder.decode({frameIndex: i})).image;\n"
         "    const canvas = document.createElement('canvas');\n"
         "    canvas.width = frame.displayWidth;\n"
         "    canvas.height = frame.displayHeight;\n"
         "    const g = canvas.getContext('2d');\n"
         "    g.fillStyle = '#ffffff';\n"
         "    g.fillRect(0, 0, canvas.width, canvas.height);\n"
         "    g.drawImage(frame, 0, 0);\n"
         "    const d = g.getImageData(0, 0, canvas.width, canvas.height).data;\n"
         "    let text = '', hash = 0x811c9dc5;\n"
         "    for (let p = 0; p < d.length; p += 4) {\n"
         "      if (!digests) text += hex(d[p]) + hex(d[p + 1]) + hex(d[p + 2]) + ' ';\n"
         "      for (let k = 0; k < 3; k++) hash = Math.imul(hash ^ d[p + k], 0x01000193) >>> 0;\n"
         "    }\n"
         "    frames.push(digests ? hash.toString(16).padStart(8, '0') : text);\n"
         "    frame.close();\n"
         "  }\n"
         "  return frames;\n"
         "}\n"
         "const sources = ["
      << sources << "];\n"
      << "const digests = " << (digests ? "true" : "false") << ";\n"
      << "</script></body></html>\n";
  testsupport::HeadlessBrowser browser(dir / "chromium");
  browser.Navigate("file://" + (dir / "frames.html").string());
  return browser.Evaluate("Promise.all(sources.map(framesOf))")
      .get<std::vector<std::vector<std::string>>>();
}

// Plays every file with tavkit gif frames and compares each frame with what
// Chromium composes from the same file: as HexPixels gives them, or as
// PixelDigest gives them when digests is set.
void ExpectPlayedAsChromiumShows(const std::vector<fs::path>& files, const fs::path& dir,
                                 bool digests) {
  const auto browser = BrowserFrames(files, dir, digests);
  ASSERT_EQ(browser.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].filename().string());
    const fs::path out = dir / ("out-" + std::to_string(i));
    const Result result = RunTavkit("gif frames " + files[i].string() + " -o " + out.string());
    ASSERT_EQ(result.ExitCode, 0) << result.Output;
    EXPECT_EQ(digests ? ReadFrames(out, PixelDigest) : ReadFrames(out, HexPixels), browser[i]);
  }
}

TEST(GifFrames, FramesMatchWhatChromiumShows) {
  const fs::path dir = ScratchDir("browser");
  std::vector<fs::path> files = {
      WriteGIF(*BackgroundAnimation(), dir / "background.gif"),
      WriteGIF(*PreviousAnimation(), dir / "previous.gif"),
      WriteGIF(*RandomAnimation(5, {dmNoDisposal, dmBackground, dmNone}), dir / "random-bg.gif"),
      WriteGIF(*RandomAnimation(6, {dmPrevious, dmNoDisposal, dmPrevious, dmBackground}),
               dir / "random-prev.gif")};
  ExpectPlayedAsChromiumShows(files, dir, false);
}

TEST(GifFrames, RealAnimationsMatchWhatChromiumShows) {
  const std::vector<std::string> names = {"animated-red-blue.gif", "muybridge.gif", "waves.gif",
                                          "gifplayer-muybridge.gif",
                                          "hippopotamus.masked-with-muybridge.gif"};
  std::vector<fs::path> files;
  for (const std::string& name : names) {
    files.push_back(SamplesDir() / name);
    ASSERT_TRUE(fs::exists(files.back())) << "missing sample " << files.back();
  }
  const fs::path dir = ScratchDir("samples");
  ExpectPlayedAsChromiumShows(files, dir, true);
}

}  // namespace
}  // namespace tavkit

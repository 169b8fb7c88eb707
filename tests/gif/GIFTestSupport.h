// Helpers shared by the GIF codec's tests: building images in memory,
// saving and loading them through memory streams, collecting warnings, and
// giflib as an independent reader and writer to compare against.
#pragma once

#include <gif_lib.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <tavkit/gif/GIF.h>
#include <tavkit/gif/detail/GIFDecoder.h>
#include <tavkit/gif/detail/GIFLZW.h>
#include <tavkit/gif/detail/GIFStream.h>
#include <tavkit/platform/base/Streams.h>

namespace tavkit::giftest {

using Bytes = std::vector<std::uint8_t>;

// The tavkit program of this build, for the tests of its gif subcommands.
inline const std::filesystem::path kTavkit = TAVKIT_PROGRAM;

struct Result {
  std::string Output;  // standard output and standard error together
  int ExitCode;
};

// Runs tavkit with the arguments (quoted for the shell).
inline Result RunTavkit(const std::string& arguments) {
  Result result{"", -1};
  std::FILE* pipe = popen((kTavkit.string() + " " + arguments + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
    result.Output.append(buffer, n);
  const int status = pclose(pipe);
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline Bytes ToBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// A frame as a plain value: its place, size and colour indices, rows from
// the top.
struct Frame {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  Bytes Pixels;
  friend bool operator==(const Frame&, const Frame&) = default;
};

// Appends a frame with a local colour map of `colors` grey levels.
inline TGIFSubImage* AddFrame(TGIFImage& image, int width, int height, const Bytes& pixels,
                              int colors, bool interlaced = false, int left = 0, int top = 0) {
  auto* frame = new TGIFSubImage(&image);
  frame->SetBounds(1, left);
  frame->SetBounds(2, top);
  frame->SetBounds(3, width);
  frame->SetBounds(4, height);
  frame->SetInterlaced(interlaced);
  frame->NewImage();
  if (!pixels.empty()) std::memcpy(frame->GetData(), pixels.data(), pixels.size());
  for (int i = 0; i < colors; ++i)
    frame->GetColorMap().Add(RGB(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                 static_cast<std::uint8_t>(255 - i)));
  image.Add(frame);
  return frame;
}

inline Bytes Save(TGIFImage& image) {
  TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

// Records every warning an image issues.
struct WarningLog {
  std::vector<std::string> Messages;
  void Attach(TGIFImage& image) {
    image.OnWarning = [this](TObject*, TGIFSeverity, const std::string& message) {
      Messages.push_back(message);
    };
  }
};

inline void Load(TGIFImage& image, const Bytes& bytes) {
  TMemoryStream stream(bytes);
  image.LoadFromStream(stream);
}

inline std::vector<Frame> FramesOf(const TGIFImage& image) {
  std::vector<Frame> frames;
  for (int i = 0; i < image.GetImages().GetCount(); ++i) {
    const TGIFSubImage* sub = image.GetImages().GetImage(i);
    if (sub->GetEmpty()) continue;
    Frame frame{sub->GetLeft(), sub->GetTop(), sub->GetWidth(), sub->GetHeight(), {}};
    frame.Pixels.assign(sub->GetData(), sub->GetData() + sub->GetDataSize());
    frames.push_back(std::move(frame));
  }
  return frames;
}

inline Bytes ReadFile(const std::filesystem::path& path) {
  TMemoryStream stream;
  stream.LoadFromFile(path.string());
  return stream.Bytes();
}

// The real-world GIF files of tests/data/gif (their origins are in its SOURCES.md).
inline std::filesystem::path SamplesDir() {
  return std::filesystem::path(TAVKIT_TEST_DATA_DIR) / "gif";
}

// giflib reads and writes through these callbacks from and into memory.
struct MemoryCursor {
  const Bytes* Data;
  std::size_t Position = 0;
};

inline int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int count) {
  auto* cursor = static_cast<MemoryCursor*>(gif->UserData);
  const std::size_t n =
      std::min(static_cast<std::size_t>(count), cursor->Data->size() - cursor->Position);
  std::memcpy(buffer, cursor->Data->data() + cursor->Position, n);
  cursor->Position += n;
  return static_cast<int>(n);
}

inline int WriteToMemory(GifFileType* gif, const GifByteType* buffer, int count) {
  static_cast<Bytes*>(gif->UserData)
      ->insert(static_cast<Bytes*>(gif->UserData)->end(), buffer, buffer + count);
  return count;
}

// The frames giflib decodes from a file, or nothing when it refuses it.
inline std::optional<std::vector<Frame>> GiflibDecode(const Bytes& bytes) {
  MemoryCursor cursor{&bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(&cursor, ReadFromMemory, &error);
  if (gif == nullptr) return std::nullopt;
  std::optional<std::vector<Frame>> frames;
  if (DGifSlurp(gif) == GIF_OK) {
    frames.emplace();
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& saved = gif->SavedImages[i];
      const GifImageDesc& d = saved.ImageDesc;
      Frame frame{d.Left, d.Top, d.Width, d.Height, {}};
      frame.Pixels.assign(saved.RasterBits,
                          saved.RasterBits + static_cast<std::size_t>(d.Width) * d.Height);
      frames->push_back(std::move(frame));
    }
  }
  DGifCloseFile(gif, &error);
  return frames;
}

// A GIF of one frame written by giflib, line by line.
inline Bytes GiflibEncode(const Frame& frame, int bitsPerPixel, bool interlaced) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToMemory, &error);
  ColorMapObject* map = GifMakeMapObject(1 << bitsPerPixel, nullptr);
  for (int i = 0; i < map->ColorCount; ++i)
    map->Colors[i] = GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(i), 0};
  EGifPutScreenDesc(gif, frame.Width, frame.Height, bitsPerPixel, 0, map);
  EGifPutImageDesc(gif, 0, 0, frame.Width, frame.Height, interlaced, nullptr);
  std::vector<int> rows;
  if (interlaced) {
    ForEachInterlacedRow(frame.Height, [&](int y) { rows.push_back(y); });
  } else {
    for (int y = 0; y < frame.Height; ++y) rows.push_back(y);
  }
  Bytes line(static_cast<std::size_t>(frame.Width));
  for (int y : rows) {
    std::memcpy(line.data(), frame.Pixels.data() + static_cast<std::size_t>(y) * frame.Width,
                line.size());
    EGifPutLine(gif, line.data(), frame.Width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// Pixel data of several kinds, so that encoders meet long runs, repeated
// patterns and noise: depth bits per pixel, width x height values.
inline Bytes MakePixels(std::mt19937& random, int width, int height, int depth, int kind) {
  Bytes pixels(static_cast<std::size_t>(width) * height);
  const int colors = 1 << depth;
  std::uniform_int_distribution<int> color(0, colors - 1);
  std::uniform_int_distribution<int> runLength(1, 300);
  for (std::size_t i = 0; i < pixels.size();) {
    switch (kind % 4) {
      case 0:  // noise
        pixels[i++] = static_cast<std::uint8_t>(color(random));
        break;
      case 1: {  // runs of random length
        const auto value = static_cast<std::uint8_t>(color(random));
        for (int n = runLength(random); n > 0 && i < pixels.size(); --n) pixels[i++] = value;
        break;
      }
      case 2:  // a smooth picture
        pixels[i] = static_cast<std::uint8_t>(((i % width) / 3 + (i / width) / 5) % colors);
        ++i;
        break;
      default:  // mostly one colour with specks
        pixels[i++] = static_cast<std::uint8_t>(random() % 17 == 0 ? color(random) : 0);
        break;
    }
  }
  return pixels;
}

}  // namespace tavkit::giftest

// GIF codec speed against giflib, side by side in one run. Decoding: each
// file of the shared gif-samples folder is decoded from memory by both
// libraries (bytes processed = colour indices decoded). Encoding: the same
// index data (the first frame of each sample) is written by our LZW encoder
// and by giflib's EGifPutLine (bytes processed = indices encoded). Colour
// reduction: a 640 by 480 true-colour picture reduced with each palette and
// dithering, and turned into a whole server image (giflib has no peer).
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gif/GIFImage.h"

namespace {

using namespace tavkit;

const std::string kSamples = TAVKIT_SHARED_DIR "/gif-samples/";

struct TMemoryInput {
  const std::vector<std::uint8_t>* Bytes;
  std::size_t Position;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int count) {
  auto* input = static_cast<TMemoryInput*>(gif->UserData);
  const std::size_t n =
      std::min(static_cast<std::size_t>(count), input->Bytes->size() - input->Position);
  std::memcpy(buffer, input->Bytes->data() + input->Position, n);
  input->Position += n;
  return static_cast<int>(n);
}

int WriteMemory(GifFileType* gif, const GifByteType* buffer, int count) {
  auto* output = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  output->insert(output->end(), buffer, buffer + count);
  return count;
}

std::int64_t OurPixels(const std::vector<std::uint8_t>& bytes) {
  TGIFImage image;
  TMemoryStream stream(bytes);
  image.LoadFromStream(stream);
  std::int64_t pixels = 0;
  for (int i = 0; i < image.GetImages().GetCount(); ++i)
    pixels += static_cast<std::int64_t>(image.GetImages().GetImage(i)->GetDataSize());
  return pixels;
}

void BM_DecodeOurs(benchmark::State& state, const std::string& file) {
  TMemoryStream stream(ReadFileBytes(kSamples + file));
  const std::int64_t pixels = OurPixels(stream.Bytes());
  for (auto _ : state) {
    TGIFImage image;
    stream.SetPosition(0);
    image.LoadFromStream(stream);
    benchmark::DoNotOptimize(image.GetImages().GetImage(0)->GetData());
  }
  state.SetBytesProcessed(state.iterations() * pixels);
}

void BM_DecodeGiflib(benchmark::State& state, const std::string& file) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(kSamples + file);
  const std::int64_t pixels = OurPixels(bytes);
  for (auto _ : state) {
    TMemoryInput input{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&input, ReadMemory, &error);
    if (DGifSlurp(gif) != GIF_OK) {
      DGifCloseFile(gif, &error);
      state.SkipWithError("giflib rejects the file");
      return;
    }
    benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
    DGifCloseFile(gif, &error);
  }
  state.SetBytesProcessed(state.iterations() * pixels);
}

// The first frame of a sample: its indices, size and colour count.
struct TFrame {
  std::vector<std::uint8_t> Pixels;
  int Width = 0;
  int Height = 0;
  int Colors = 0;
};

TFrame FirstFrame(const std::string& file) {
  TGIFImage image;
  image.LoadFromFile(kSamples + file);
  TGIFSubImage& frame = *image.GetImages().GetImage(0);
  TFrame result;
  result.Pixels.assign(frame.GetData(), frame.GetData() + frame.GetDataSize());
  result.Width = frame.GetWidth();
  result.Height = frame.GetHeight();
  result.Colors = std::max(2, frame.GetActiveColorMap().GetCount());
  return result;
}

void BM_EncodeOurs(benchmark::State& state, const std::string& file) {
  const TFrame frame = FirstFrame(file);
  TGIFImage image;
  auto* subImage = new TGIFSubImage(&image);
  subImage->SetBounds(3, frame.Width);
  subImage->SetBounds(4, frame.Height);
  subImage->NewImage();
  std::memcpy(subImage->GetData(), frame.Pixels.data(), frame.Pixels.size());
  for (int i = 0; i < frame.Colors; ++i) subImage->GetColorMap().Add(RGB(i, i, 255 - i));
  image.Add(subImage);
  TMemoryStream output;
  for (auto _ : state) {
    output.SetPosition(0);
    image.SaveToStream(output);
    benchmark::DoNotOptimize(output.Memory());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frame.Pixels.size()));
}

void BM_EncodeGiflib(benchmark::State& state, const std::string& file) {
  const TFrame frame = FirstFrame(file);
  int bits = 1;
  while ((1 << bits) < frame.Colors) ++bits;
  std::vector<GifColorType> colors(static_cast<std::size_t>(1) << bits);
  for (int i = 0; i < frame.Colors; ++i)
    colors[static_cast<std::size_t>(i)] =
        GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(i),
                     static_cast<GifByteType>(255 - i)};
  std::vector<std::uint8_t> output;
  std::vector<GifPixelType> row(static_cast<std::size_t>(frame.Width));
  for (auto _ : state) {
    output.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&output, WriteMemory, &error);
    ColorMapObject* map = GifMakeMapObject(1 << bits, colors.data());
    EGifPutScreenDesc(gif, frame.Width, frame.Height, bits, 0, nullptr);
    EGifPutImageDesc(gif, 0, 0, frame.Width, frame.Height, false, map);
    for (int y = 0; y < frame.Height; ++y) {
      std::memcpy(row.data(), frame.Pixels.data() + static_cast<std::size_t>(y) * frame.Width,
                  row.size());
      EGifPutLine(gif, row.data(), frame.Width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frame.Pixels.size()));
}

// A 640 by 480 picture with the colour variety of a photograph: smooth
// gradients, waves and a little noise, some 150000 distinct colours.
const TBitmap& Photograph() {
  static const auto picture = [] {
    auto bitmap = std::make_unique<TBitmap>(640, 480, TPixelFormat::pf24bit);
    std::uint32_t noise = 12345;
    for (int y = 0; y < 480; ++y) {
      std::uint8_t* row = bitmap->ScanLine(y);
      for (int x = 0; x < 640; ++x, row += 3) {
        noise = noise * 1664525u + 1013904223u;
        const double wave = 40 * std::sin(x / 37.0) * std::cos(y / 23.0);
        const auto clamp = [](double v) {
          return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
        };
        row[2] = clamp(x * 0.35 + wave + (noise >> 29));
        row[1] = clamp(y * 0.45 + wave * 0.5 + ((noise >> 26) & 7));
        row[0] = clamp(200 - x * 0.2 + y * 0.1 - wave + ((noise >> 23) & 7));
      }
    }
    return bitmap;
  }();
  return *picture;
}

void BM_Reduce(benchmark::State& state, TColorReduction reduction, TDitherMode dither) {
  const TBitmap& photo = Photograph();
  for (auto _ : state) benchmark::DoNotOptimize(ReduceColors(photo, reduction, dither));
  state.SetItemsProcessed(state.iterations() * photo.GetWidth() * photo.GetHeight());
}

// Assign and save, as the library writes a server image.
void BM_ServerImage(benchmark::State& state, TColorReduction reduction, TDitherMode dither) {
  const TBitmap& photo = Photograph();
  for (auto _ : state) {
    TGIFImage image;
    image.SetColorReduction(reduction);
    image.SetDitherMode(dither);
    image.Assign(&photo);
    TMemoryStream output;
    image.SaveToStream(output);
    benchmark::DoNotOptimize(output.Memory());
  }
  state.SetItemsProcessed(state.iterations() * photo.GetWidth() * photo.GetHeight());
}

void RegisterReductions() {
  const struct {
    const char* Name;
    TColorReduction Reduction;
    TDitherMode Dither;
  } modes[] = {{"rmNetscape/dmNearest", rmNetscape, dmNearest},
               {"rmNetscape/dmFloydSteinberg", rmNetscape, dmFloydSteinberg},
               {"rmQuantize/dmNearest", rmQuantize, dmNearest},
               {"rmQuantize/dmFloydSteinberg", rmQuantize, dmFloydSteinberg}};
  for (const auto& mode : modes)
    benchmark::RegisterBenchmark((std::string("Reduce640x480/") + mode.Name).c_str(), BM_Reduce,
                                 mode.Reduction, mode.Dither)
        ->Unit(benchmark::kMillisecond);
  for (const auto& mode : modes)
    benchmark::RegisterBenchmark((std::string("ServerImage640x480/") + mode.Name).c_str(),
                                 BM_ServerImage, mode.Reduction, mode.Dither)
        ->Unit(benchmark::kMillisecond);
}

// The samples giflib accepts; the others are corrupt on purpose.
const char* const kFiles[] = {
    "harvesters.gif",
    "hat.gif",
    "pjw-thumbnail.gif",
    "hibiscus.regular.gif",
    "hibiscus.primitive.gif",
    "bricks-dither.gif",
    "bricks-gray.gif",
    "bricks-nodither.gif",
    "hippopotamus.regular.gif",
    "hippopotamus.interlaced.gif",
    "hippopotamus.masked-with-muybridge.gif",
    "muybridge.gif",
    "gifplayer-muybridge.gif",
    "waves.gif",
    "animated-red-blue.gif",
};

int RegisterAll() {
  RegisterReductions();
  if (!std::filesystem::exists(kSamples)) return 0;
  for (const char* file : kFiles) {
    benchmark::RegisterBenchmark((std::string("Decode/ours/") + file).c_str(), BM_DecodeOurs, file);
    benchmark::RegisterBenchmark((std::string("Decode/giflib/") + file).c_str(), BM_DecodeGiflib,
                                 file);
  }
  for (const char* file : kFiles) {
    benchmark::RegisterBenchmark((std::string("Encode/ours/") + file).c_str(), BM_EncodeOurs, file);
    benchmark::RegisterBenchmark((std::string("Encode/giflib/") + file).c_str(), BM_EncodeGiflib,
                                 file);
  }
  return 0;
}

const int kRegistered = RegisterAll();

// The console report, followed by our speed over giflib's for every file
// and the mean of those ratios, for decoding and for encoding.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const auto found = run.counters.find("bytes_per_second");
      if (found != run.counters.end()) FSpeeds[run.benchmark_name()] = found->second.value;
    }
  }
  void Finalize() override {
    for (const char* what : {"Decode", "Encode"}) {
      double sum = 0;
      int count = 0;
      std::printf("\n%s MB/s        ours    giflib   ratio\n", what);
      for (const char* file : kFiles) {
        const double ours = Speed(what, "ours", file);
        const double giflib = Speed(what, "giflib", file);
        if (ours <= 0 || giflib <= 0) continue;
        std::printf("%-40s %8.1f %8.1f %7.2f\n", file, ours / 1e6, giflib / 1e6, ours / giflib);
        sum += ours / giflib;
        ++count;
      }
      if (count > 0) std::printf("%-40s %25.2f\n", "mean ratio", sum / count);
    }
    ConsoleReporter::Finalize();
  }

 private:
  double Speed(const char* what, const char* who, const char* file) const {
    const auto found = FSpeeds.find(std::string(what) + "/" + who + "/" + file);
    return found == FSpeeds.end() ? 0 : found->second;
  }
  std::map<std::string, double> FSpeeds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

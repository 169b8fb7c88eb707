// GIF codec speed against giflib, side by side in one run. Decoding: each
// sample of tests/data/gif that giflib accepts is decoded from memory by both
// libraries (bytes processed = colour indices decoded). Encoding: the same
// index data (the first frame of each sample) is written by our LZW encoder
// and by giflib's EGifPutLine (bytes processed = indices encoded). Colour
// reduction: photograph-like true-colour pictures reduced with each palette
// and dithering, and written whole as GIF files the way server images are;
// on a 1024 by 768 picture giflib's median-cut GifQuantizeBuffer with
// EGifPutLine runs beside them, the nearest it has to our quantizer without
// dithering. Those runs report megapixels per second and the file size.
// Server pictures of a web page: a 340 by 180 bar chart and a 48 by 48
// photograph, display bitmaps as pages paint them, made into frames
// (Import) and written whole as GIF files (ToStream) with the defaults.
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

#include <tavkit/core/WvGifMaker.h>
#include <tavkit/gif/GIF.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/controls/Chart.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace {

using namespace tavkit;

const std::string kSamples = TAVKIT_TEST_DATA_DIR "/gif/";

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

// A picture with the colour variety of a photograph: smooth gradients,
// waves and a little noise (some 150000 distinct colours at 640 by 480).
// Each size is drawn once.
const TBitmap& Photograph(int width, int height) {
  static std::map<std::pair<int, int>, std::unique_ptr<TBitmap>> pictures;
  std::unique_ptr<TBitmap>& picture = pictures[{width, height}];
  if (picture) return *picture;
  picture = std::make_unique<TBitmap>(width, height, TPixelFormat::pf24bit);
  const double sx = 640.0 / width, sy = 480.0 / height;
  std::uint32_t noise = 12345;
  const auto clamp = [](double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); };
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture->ScanLine(y);
    for (int x = 0; x < width; ++x, row += 3) {
      noise = noise * 1664525u + 1013904223u;
      const double px = x * sx, py = y * sy;
      const double wave = 40 * std::sin(px / 37.0) * std::cos(py / 23.0);
      row[2] = clamp(px * 0.35 + wave + (noise >> 29));
      row[1] = clamp(py * 0.45 + wave * 0.5 + ((noise >> 26) & 7));
      row[0] = clamp(200 - px * 0.2 + py * 0.1 - wave + ((noise >> 23) & 7));
    }
  }
  return *picture;
}

void CountPixels(benchmark::State& state, const TBitmap& photo) {
  const double pixels = static_cast<double>(photo.GetWidth()) * photo.GetHeight();
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pixels));
  state.counters["MP/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * pixels / 1e6, benchmark::Counter::kIsRate);
}

void BM_Reduce(benchmark::State& state, int width, int height, TColorReduction reduction,
               TDitherMode dither) {
  const TBitmap& photo = Photograph(width, height);
  for (auto _ : state) benchmark::DoNotOptimize(ReduceColors(photo, reduction, dither));
  CountPixels(state, photo);
}

// Assign and save, as the library writes a server image.
void BM_ServerImage(benchmark::State& state, TColorReduction reduction, TDitherMode dither) {
  const TBitmap& photo = Photograph(640, 480);
  for (auto _ : state) {
    TGIFImage image;
    image.SetColorReduction(reduction);
    image.SetDitherMode(dither);
    image.Assign(&photo);
    TMemoryStream output;
    image.SaveToStream(output);
    benchmark::DoNotOptimize(output.Memory());
  }
  CountPixels(state, photo);
}

std::string BenchFile(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

double FileSize(const std::string& fileName) {
  const double size = static_cast<double>(std::filesystem::file_size(fileName));
  std::filesystem::remove(fileName);
  return size;
}

// The whole path from the bitmap to a GIF file on disk. With the defaults
// this is the server image's own routine.
void BM_PhotoToFile(benchmark::State& state, TColorReduction reduction, TDitherMode dither) {
  const TBitmap& photo = Photograph(1024, 768);
  const std::string fileName = BenchFile("tavkit-bench-ours.gif");
  for (auto _ : state) {
    if (reduction == GIFImageDefaultColorReduction && dither == GIFImageDefaultDitherMode) {
      WvGifToFile(photo, fileName);
      continue;
    }
    TGIFImage image;
    image.SetColorReduction(reduction);
    image.SetDitherMode(dither);
    image.Assign(&photo);
    image.SaveToFile(fileName);
  }
  CountPixels(state, photo);
  state.counters["bytes"] = FileSize(fileName);
}

// A page's bar chart: title, axis and labels in anti-aliased text, a few
// dozen colours, painted as a page paints its charts.
const TBitmap& ChartPicture() {
  static const std::unique_ptr<TBitmap> picture = [] {
    TBarChart chart(nullptr);
    chart.SetBounds(0, 0, 340, 180);
    chart.SetTitle("Price in cents");
    chart.SetBarColor(TColor{0xA06020});
    const char* const labels[] = {"Teapot", "Kettle", "Cup", "Saucer", "Spoon", "Tray"};
    int value = 350;
    for (const char* label : labels) {
      chart.AddValue(label, value, value % 3 == 0 ? TColor{0x2080F0} : clNone);
      value = value * 7 % 1900 + 120;
    }
    auto bitmap = std::make_unique<TBitmap>(340, 180);
    for (int pass = 0; pass < 2; ++pass) chart.PaintTo(bitmap->Canvas(), 0, 0);
    return bitmap;
  }();
  return *picture;
}

// A product photograph as a page shows it: a display bitmap of more than
// 256 colours.
const TBitmap& ProductPicture() {
  static const std::unique_ptr<TBitmap> picture = [] {
    TBitmap photograph;
    photograph.Assign(&Photograph(48, 48));
    auto bitmap = std::make_unique<TBitmap>(48, 48);
    bitmap->Canvas().StretchDraw(Rect(0, 0, 48, 48), photograph);
    return bitmap;
  }();
  return *picture;
}

// A display bitmap becomes a frame colour by colour; one of more than 256
// colours is refused and taken again as a true-colour picture, reduced, as
// server pictures are written.
void WriteServerPicture(const TBitmap& picture, TStream& output) {
  try {
    WvGifToStream(picture, output);
  } catch (const GIFException&) {
    TBitmap trueColor;
    trueColor.Assign(&picture);
    trueColor.SetPixelFormat(TPixelFormat::pf24bit);
    output.SetSize(0);
    WvGifToStream(trueColor, output);
  }
}

using TPagePicture = const TBitmap& (*)();

void BM_PageImport(benchmark::State& state, TPagePicture pagePicture) {
  const TBitmap& picture = pagePicture();
  for (auto _ : state) {
    TGIFImage image;
    try {
      image.Assign(&picture);
    } catch (const GIFException&) {
      TBitmap trueColor;
      trueColor.Assign(&picture);
      trueColor.SetPixelFormat(TPixelFormat::pf24bit);
      image.Assign(&trueColor);
    }
    benchmark::DoNotOptimize(image.GetImages().GetImage(0)->GetData());
  }
  CountPixels(state, picture);
}

void BM_PageToStream(benchmark::State& state, TPagePicture pagePicture) {
  const TBitmap& picture = pagePicture();
  TMemoryStream output;
  for (auto _ : state) {
    output.SetSize(0);
    WriteServerPicture(picture, output);
    benchmark::DoNotOptimize(output.Memory());
  }
  CountPixels(state, picture);
  state.counters["bytes"] = static_cast<double>(output.GetSize());
}

void RegisterPagePictures() {
  benchmark::RegisterBenchmark("Page/Import/chart340x180", BM_PageImport, ChartPicture)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Page/ToStream/chart340x180", BM_PageToStream, ChartPicture)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Page/Import/photo48x48", BM_PageImport, ProductPicture)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Page/ToStream/photo48x48", BM_PageToStream, ProductPicture)
      ->Unit(benchmark::kMicrosecond);
}

// giflib's quantizer takes three separate planes.
struct TPlanes {
  std::vector<GifByteType> Red, Green, Blue;
};

TPlanes PlanesOf(const TBitmap& photo) {
  TPlanes planes;
  for (int y = 0; y < photo.GetHeight(); ++y) {
    const std::uint8_t* row = photo.ScanLine(y);
    for (int x = 0; x < photo.GetWidth(); ++x, row += 3) {
      planes.Blue.push_back(row[0]);
      planes.Green.push_back(row[1]);
      planes.Red.push_back(row[2]);
    }
  }
  return planes;
}

// Median cut to 256 colours, one index per pixel, the colour planes taken
// from the photograph first as giflib's callers must. False, with the
// benchmark marked as failed, when giflib refuses.
bool GiflibQuantize(benchmark::State& state, const TBitmap& photo,
                    std::vector<GifByteType>& indices, std::vector<GifColorType>& colors) {
  TPlanes planes = PlanesOf(photo);
  int colorCount = 256;
  indices.resize(planes.Red.size());
  colors.assign(256, GifColorType{0, 0, 0});
  if (GifQuantizeBuffer(static_cast<unsigned>(photo.GetWidth()),
                        static_cast<unsigned>(photo.GetHeight()), &colorCount, planes.Red.data(),
                        planes.Green.data(), planes.Blue.data(), indices.data(),
                        colors.data()) == GIF_OK)
    return true;
  state.SkipWithError("GifQuantizeBuffer failed");
  return false;
}

void BM_ReduceGiflib(benchmark::State& state) {
  const TBitmap& photo = Photograph(1024, 768);
  std::vector<GifByteType> indices;
  std::vector<GifColorType> colors;
  for (auto _ : state) {
    if (!GiflibQuantize(state, photo, indices, colors)) return;
    benchmark::DoNotOptimize(indices.data());
  }
  CountPixels(state, photo);
}

void BM_PhotoToFileGiflib(benchmark::State& state) {
  const TBitmap& photo = Photograph(1024, 768);
  const std::string fileName = BenchFile("tavkit-bench-giflib.gif");
  const int width = photo.GetWidth(), height = photo.GetHeight();
  std::vector<GifByteType> indices;
  std::vector<GifColorType> colors;
  for (auto _ : state) {
    if (!GiflibQuantize(state, photo, indices, colors)) return;
    int error = 0;
    GifFileType* gif = EGifOpenFileName(fileName.c_str(), false, &error);
    if (gif == nullptr) {
      state.SkipWithError("giflib cannot create the file");
      return;
    }
    ColorMapObject* map = GifMakeMapObject(256, colors.data());
    EGifPutScreenDesc(gif, width, height, 8, 0, nullptr);
    EGifPutImageDesc(gif, 0, 0, width, height, false, map);
    for (int y = 0; y < height; ++y)
      EGifPutLine(gif, indices.data() + static_cast<std::size_t>(y) * width, width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
  }
  CountPixels(state, photo);
  state.counters["bytes"] = FileSize(fileName);
}

const struct {
  const char* Name;
  TColorReduction Reduction;
  TDitherMode Dither;
} kModes[] = {{"rmNetscape/dmNearest", rmNetscape, dmNearest},
              {"rmNetscape/dmFloydSteinberg", rmNetscape, dmFloydSteinberg},
              {"rmQuantize/dmNearest", rmQuantize, dmNearest},
              {"rmQuantize/dmFloydSteinberg", rmQuantize, dmFloydSteinberg}};

void RegisterReductions() {
  for (const auto& mode : kModes)
    benchmark::RegisterBenchmark((std::string("Reduce640x480/") + mode.Name).c_str(), BM_Reduce,
                                 640, 480, mode.Reduction, mode.Dither)
        ->Unit(benchmark::kMillisecond);
  for (const auto& mode : kModes)
    benchmark::RegisterBenchmark((std::string("ServerImage640x480/") + mode.Name).c_str(),
                                 BM_ServerImage, mode.Reduction, mode.Dither)
        ->Unit(benchmark::kMillisecond);
  for (const auto& mode : kModes)
    benchmark::RegisterBenchmark((std::string("Reduce1024x768/ours/") + mode.Name).c_str(),
                                 BM_Reduce, 1024, 768, mode.Reduction, mode.Dither)
        ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Reduce1024x768/giflib/GifQuantizeBuffer", BM_ReduceGiflib)
      ->Unit(benchmark::kMillisecond);
  for (const auto& mode : kModes)
    benchmark::RegisterBenchmark((std::string("File1024x768/ours/") + mode.Name).c_str(),
                                 BM_PhotoToFile, mode.Reduction, mode.Dither)
        ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("File1024x768/giflib/GifQuantizeBuffer+EGifPutLine",
                               BM_PhotoToFileGiflib)
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
  RegisterPagePictures();
  RegisterReductions();
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

// The console report, followed by the megapixels per second and file sizes
// of the 1024 by 768 photograph, and by our speed over giflib's for every
// file with the mean of those ratios, for decoding and for encoding.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const auto found = run.counters.find("bytes_per_second");
      if (found != run.counters.end()) FSpeeds[run.benchmark_name()] = found->second.value;
      const auto rate = run.counters.find("MP/s");
      if (rate == run.counters.end() || run.benchmark_name().find("1024x768/") == std::string::npos)
        continue;
      const auto bytes = run.counters.find("bytes");
      FPhotoRuns.push_back({run.benchmark_name(), rate->second.value,
                            bytes == run.counters.end() ? 0 : bytes->second.value});
    }
  }
  void Finalize() override {
    if (!FPhotoRuns.empty()) std::printf("\n1024x768 photograph%34s %10s\n", "MP/s", "bytes");
    for (const TPhotoRun& run : FPhotoRuns) {
      if (run.Bytes > 0)
        std::printf("%-52s %7.2f %10.0f\n", run.Name.c_str(), run.Rate, run.Bytes);
      else
        std::printf("%-52s %7.2f %10s\n", run.Name.c_str(), run.Rate, "-");
    }
    for (const char* what : {"Decode", "Encode"}) {
      double sum = 0;
      int count = 0;
      for (const char* file : kFiles) {
        const double ours = Speed(what, "ours", file);
        const double giflib = Speed(what, "giflib", file);
        if (ours <= 0 || giflib <= 0) continue;
        if (count == 0) std::printf("\n%s MB/s        ours    giflib   ratio\n", what);
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
  struct TPhotoRun {
    std::string Name;
    double Rate;
    double Bytes;
  };
  std::map<std::string, double> FSpeeds;
  std::vector<TPhotoRun> FPhotoRuns;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // A run without a sample would compare fewer files and still look complete.
  for (const char* file : kFiles)
    if (!std::filesystem::exists(kSamples + file)) {
      std::fprintf(stderr, "missing GIF sample: %s%s\n", kSamples.c_str(), file);
      return 1;
    }
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

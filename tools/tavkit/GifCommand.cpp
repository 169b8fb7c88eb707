// tavkit gif: looks into GIF files with the library's own codec. "info"
// describes a file as the codec reads it (screen, colour tables, frames with
// a hash of their colour indices, and every warning the codec issued), as
// text for people or as one JSON object for scripts and tests. "decode"
// writes one frame as the codec renders it and "frames" plays an animation
// through the painter, writing every frame as it is shown. "encode" turns a
// PNG, BMP or PPM picture into a GIF file the way the library writes its
// server images, with the colour reduction and compression to choose.
#include <cinttypes>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include <tavkit/gif/GIF.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/base/TextEncoding.h>
#include <tavkit/platform/base/Threads.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/Picture.h>
#include "Commands.h"

namespace tavkit::cli {

namespace {

const char* const kGifUsage =
    "usage: tavkit gif SUBCOMMAND [ARGS...]\n"
    "\n"
    "Inspects GIF files with the library's GIF codec.\n"
    "\n"
    "subcommands:\n"
    "  info FILE [--json]   describe the file: screen, colours, frames, warnings\n"
    "  decode FILE -o OUT   write one frame as a PNG file\n"
    "  frames FILE -o DIR   play the animation and write every frame as a PNG file\n"
    "  encode IN -o OUT     write a PNG, BMP or PPM picture as a GIF file\n"
    "\n"
    "Run 'tavkit gif SUBCOMMAND --help' for the options of one subcommand.\n";

const char* const kInfoUsage =
    "usage: tavkit gif info FILE [--json]\n"
    "\n"
    "Loads the GIF file FILE and describes it: the version in its header, the\n"
    "logical screen, the colour tables, the loop count, and for each frame its\n"
    "place, size, interlacing, colours, transparency, delay, disposal and the\n"
    "64-bit FNV-1a hash of its colour indices (rows from the top). Warnings the\n"
    "codec issued while reading are listed in the order they came.\n"
    "\n"
    "  --json   print one JSON object instead of text\n";

const char* const kDecodeUsage =
    "usage: tavkit gif decode FILE -o OUT.png [--frame N]\n"
    "\n"
    "Loads the GIF file FILE and writes one of its frames as the codec renders\n"
    "it: the frame alone, at its own size, in its own colours (transparent\n"
    "pixels show the colour their index has), as the PNG file OUT.png.\n"
    "\n"
    "  --frame N   the frame to write, counted from 0 as 'tavkit gif info' lists\n"
    "              them (default 0)\n";

const char* const kFramesUsage =
    "usage: tavkit gif frames FILE -o DIR\n"
    "\n"
    "Loads the GIF file FILE and plays it once through the library's painter on a\n"
    "white picture of its logical screen, the way a browser shows it on a white\n"
    "page: every frame drawn over the ones before it, transparent pixels showing\n"
    "what is beneath, each frame's disposal carried out. After each frame the\n"
    "picture is written as DIR/frame-NNNN.png (NNNN counting from 0000); DIR is\n"
    "made when it does not exist. The frames are played as fast as they can be\n"
    "drawn, without their delays.\n";

const char* const kEncodeUsage =
    "usage: tavkit gif encode IN -o OUT.gif [--reduction rmNetscape|rmQuantize|rmNone]\n"
    "                         [--dither dmNearest|dmFloydSteinberg] [--compression gcLZW|gcRLE]\n"
    "                         [--interlace]\n"
    "\n"
    "Reads the picture IN (PNG, BMP or binary PPM) and writes it as the GIF file\n"
    "OUT.gif. With the defaults the file holds exactly what the library writes\n"
    "for a server image of the same picture.\n"
    "\n"
    "  --reduction R    how pictures of more than 256 colours are reduced:\n"
    "                   rmNetscape (the 216 web colours, default), rmQuantize\n"
    "                   (a palette made for the picture) or rmNone (colours kept\n"
    "                   exactly; pictures of more than 256 colours fail)\n"
    "  --dither D       dmNearest (nearest colour, default) or dmFloydSteinberg\n"
    "                   (error diffusion)\n"
    "  --compression C  gcLZW (default) or gcRLE (runs, for decoders without LZW)\n"
    "  --interlace      store the rows interlaced\n";

// Refuses an output file that is the input file: the input would be gone
// before anyone noticed that the command wrote something else.
void RefuseOutputOverInput(const std::string& input, const std::string& output) {
  std::error_code error;
  if (std::filesystem::equivalent(input, output, error))
    throw UsageError("-o " + output + " names the input file; write to another file");
}

// What info reports about one frame.
struct FrameInfo {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool Interlaced = false;
  int LocalColors = 0;
  int TransparentIndex = -1;  // -1: none
  int Delay = -1;             // -1: no graphic control extension
  int Disposal = -1;
  std::uint64_t Hash = 0;
};

struct FileInfo {
  std::string Version;
  int Width = 0;
  int Height = 0;
  int Background = 0;
  int Aspect = 0;
  int GlobalColors = 0;
  int LoopCount = -1;  // -1: no looping extension
  std::vector<FrameInfo> Frames;
  std::vector<std::string> Warnings;
};

std::uint64_t Fnv1a64(const std::uint8_t* bytes, std::size_t count) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < count; ++i) {
    hash ^= bytes[i];
    hash *= 1099511628211ull;
  }
  return hash;
}

FrameInfo DescribeFrame(const TGIFSubImage& frame) {
  FrameInfo info;
  info.Left = frame.GetLeft();
  info.Top = frame.GetTop();
  info.Width = frame.GetWidth();
  info.Height = frame.GetHeight();
  info.Interlaced = frame.GetInterlaced();
  info.LocalColors = frame.GetColorMap().GetCount();
  if (const TGIFGraphicControlExtension* control = frame.GetGraphicControlExtension()) {
    if (control->GetTransparent()) info.TransparentIndex = control->GetTransparentColorIndex();
    info.Delay = control->GetDelay();
    info.Disposal = control->GetDisposal();
  }
  info.Hash = Fnv1a64(frame.GetData(), frame.GetDataSize());
  return info;
}

// The first looping extension in front of any frame.
int LoopCountOf(const TGIFImage& image) {
  for (int i = 0; i < image.GetImages().GetCount(); ++i) {
    const TGIFExtensionList& extensions = image.GetImages().GetImage(i)->GetExtensions();
    for (int j = 0; j < extensions.GetCount(); ++j)
      if (const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(extensions.GetExtension(j)))
        return loop->GetLoopCount();
  }
  return -1;
}

FileInfo Describe(const std::string& fileName) {
  TMemoryStream stream;
  stream.LoadFromFile(fileName);
  FileInfo info;
  TGIFImage image;
  image.OnWarning = [&info](TObject*, TGIFSeverity, const std::string& message) {
    info.Warnings.push_back(message);
  };
  image.LoadFromStream(stream);
  // The codec keeps no version of its own for what it read; the header's
  // three characters are what the file says.
  info.Version.assign(reinterpret_cast<const char*>(stream.Memory()) + 3, 3);
  const TGIFHeader& header = image.GetHeader();
  info.Width = header.GetScreenWidth();
  info.Height = header.GetScreenHeight();
  info.Background = header.GetBackgroundColorIndex();
  info.Aspect = header.GetAspectRatio();
  info.GlobalColors = header.GetColorMap().GetCount();
  info.LoopCount = LoopCountOf(image);
  // Sub-images that hold only extensions (a comment after the last frame)
  // are no frames.
  for (int i = 0; i < image.GetImages().GetCount(); ++i) {
    const TGIFSubImage& frame = *image.GetImages().GetImage(i);
    if (!frame.GetEmpty()) info.Frames.push_back(DescribeFrame(frame));
  }
  return info;
}

std::string HashText(std::uint64_t hash) {
  char text[17];
  std::snprintf(text, sizeof(text), "%016" PRIx64, hash);
  return text;
}

using Json = nlohmann::ordered_json;

Json NumberOrNull(int value) {
  return value < 0 ? Json() : Json(value);
}

// nlohmann's compact form with a blank after every comma and colon, the
// layout this command has always printed and scripts compare byte for byte.
// Strings are escaped to ASCII, so Latin-1 text comes out as \u00XX.
std::string Dump(const Json& value) {
  const bool object = value.is_object();
  if (!object && !value.is_array()) return value.dump(-1, ' ', true);
  std::string out = object ? "{" : "[";
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (it != value.begin()) out += ", ";
    if (object) out += Json(it.key()).dump(-1, ' ', true) + ": ";
    out += Dump(*it);
  }
  return out + (object ? "}" : "]");
}

std::string ToJson(const FileInfo& info) {
  Json frames = Json::array();
  for (const FrameInfo& f : info.Frames)
    frames.push_back(Json{{"left", f.Left},
                          {"top", f.Top},
                          {"width", f.Width},
                          {"height", f.Height},
                          {"interlaced", f.Interlaced},
                          {"local_colors", f.LocalColors},
                          {"transparent_index", NumberOrNull(f.TransparentIndex)},
                          {"delay", NumberOrNull(f.Delay)},
                          {"disposal", NumberOrNull(f.Disposal)},
                          {"pixels_fnv1a64", HashText(f.Hash)}});
  Json warnings = Json::array();
  for (const std::string& warning : info.Warnings) warnings.push_back(Latin1ToUtf8(warning));
  const Json file{{"version", Latin1ToUtf8(info.Version)},
                  {"width", info.Width},
                  {"height", info.Height},
                  {"background", info.Background},
                  {"aspect", info.Aspect},
                  {"global_colors", info.GlobalColors},
                  {"loop_count", NumberOrNull(info.LoopCount)},
                  {"frames", frames},
                  {"warnings", warnings}};
  return Dump(file) + "\n";
}

std::string ToText(const FileInfo& info) {
  std::string out = "GIF" + info.Version + ", screen " + std::to_string(info.Width) + "x" +
                    std::to_string(info.Height) + ", background " +
                    std::to_string(info.Background) + ", aspect " + std::to_string(info.Aspect) +
                    ", " + std::to_string(info.GlobalColors) + " global colours";
  if (info.LoopCount == 0) out += ", loops for ever";
  if (info.LoopCount > 0) out += ", loops " + std::to_string(info.LoopCount) + " times";
  out += "\n";
  for (std::size_t i = 0; i < info.Frames.size(); ++i) {
    const FrameInfo& f = info.Frames[i];
    out += "frame " + std::to_string(i) + ": " + std::to_string(f.Width) + "x" +
           std::to_string(f.Height) + " at " + std::to_string(f.Left) + "," +
           std::to_string(f.Top) + (f.Interlaced ? ", interlaced" : "") + ", " +
           std::to_string(f.LocalColors) + " local colours";
    if (f.TransparentIndex >= 0) out += ", transparent index " + std::to_string(f.TransparentIndex);
    if (f.Delay >= 0) out += ", delay " + std::to_string(f.Delay) + "/100 s";
    if (f.Disposal >= 0) out += ", disposal " + std::to_string(f.Disposal);
    out += ", pixels " + HashText(f.Hash) + "\n";
  }
  for (const std::string& warning : info.Warnings) out += "warning: " + warning + "\n";
  return out;
}

void WriteOut(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    throw EInOutError("cannot write to standard output");
}

int InfoCommand(Args args) {
  if (WantsHelp(args)) {
    std::fputs(kInfoUsage, stdout);
    return 0;
  }
  const bool json = TakeFlag(args, "--json");
  RejectUnknownOptions(args);
  if (args.size() != 1) throw UsageError("expected one GIF file");
  const FileInfo info = Describe(args[0]);
  WriteOut(json ? ToJson(info) : ToText(info));
  return 0;
}

// One of the names, as its position in the list.
int ParseChoice(const std::string& option, const std::string& value,
                const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == value) return static_cast<int>(i);
  std::string known;
  for (const std::string& name : names) known += (known.empty() ? "" : ", ") + name;
  throw UsageError("unknown value '" + value + "' of " + option + "; expected one of " + known);
}

// A PNG, BMP or PPM file, told apart by its first bytes as the picture
// registry tells them. GIF files are refused although the registry knows
// them: this command makes GIF files, it does not convert them.
void LoadPicture(const std::string& fileName, TBitmap& bitmap) {
  TMemoryStream stream;
  stream.LoadFromFile(fileName);
  const std::optional<TFileFormat> format =
      TPicture::FileFormatOf(stream.Memory(), stream.Bytes().size());
  if (!format ||
      (format->Extension != "png" && format->Extension != "bmp" && format->Extension != "ppm"))
    throw EInvalidGraphic("'" + fileName + "' is not a PNG, BMP or binary PPM picture");
  const std::unique_ptr<TGraphic> picture = format->Factory();
  picture->LoadFromStream(stream);
  bitmap.Assign(picture.get());
  if (bitmap.GetEmpty()) throw EInvalidGraphic("'" + fileName + "' holds no pixels");
}

int EncodeCommand(Args args) {
  if (WantsHelp(args)) {
    std::fputs(kEncodeUsage, stdout);
    return 0;
  }
  const std::string output = TakeOption(args, "-o");
  const std::string reduction = TakeOption(args, "--reduction", "rmNetscape");
  const std::string dither = TakeOption(args, "--dither", "dmNearest");
  const std::string compression = TakeOption(args, "--compression", "gcLZW");
  const bool interlace = TakeFlag(args, "--interlace");
  RejectUnknownOptions(args);
  if (args.size() != 1) throw UsageError("expected one picture to encode");
  if (output.empty()) throw UsageError("expected -o OUT.gif");
  RefuseOutputOverInput(args[0], output);
  TGIFImage image;
  image.SetColorReduction(static_cast<TColorReduction>(
      ParseChoice("--reduction", reduction, {"rmNone", "rmNetscape", "rmQuantize"})));
  image.SetDitherMode(
      static_cast<TDitherMode>(ParseChoice("--dither", dither, {"dmNearest", "dmFloydSteinberg"})));
  image.SetCompression(
      static_cast<TGIFCompression>(ParseChoice("--compression", compression, {"gcLZW", "gcRLE"})));

  TBitmap bitmap;
  LoadPicture(args[0], bitmap);
  image.Assign(&bitmap);
  for (int i = 0; i < image.GetImages().GetCount(); ++i)
    image.GetImages().GetImage(i)->SetInterlaced(interlace);
  TMemoryStream encoded;
  image.SaveToStream(encoded);
  encoded.SaveToFile(output);
  return 0;
}

void LoadImage(const std::string& fileName, TGIFImage& image) {
  TMemoryStream stream;
  stream.LoadFromFile(fileName);
  image.LoadFromStream(stream);
}

int DecodeCommand(Args args) {
  if (WantsHelp(args)) {
    std::fputs(kDecodeUsage, stdout);
    return 0;
  }
  const std::string output = TakeOption(args, "-o");
  const std::string frameText = TakeOption(args, "--frame", "0");
  RejectUnknownOptions(args);
  if (args.size() != 1) throw UsageError("expected one GIF file");
  if (output.empty()) throw UsageError("expected -o OUT.png");
  RefuseOutputOverInput(args[0], output);
  if (frameText.empty() || frameText.size() > 5 ||
      frameText.find_first_not_of("0123456789") != std::string::npos)
    throw UsageError("--frame takes a frame number, not '" + frameText + "'");
  const int wanted = std::stoi(frameText);
  TGIFImage image;
  LoadImage(args[0], image);
  int seen = 0;
  for (int i = 0; i < image.GetImages().GetCount(); ++i) {
    TGIFSubImage& frame = *image.GetImages().GetImage(i);
    if (frame.GetEmpty()) continue;
    if (seen++ < wanted) continue;
    TBitmap* bitmap = frame.GetBitmap();
    if (bitmap == nullptr) throw EInvalidGraphic("frame " + frameText + " cannot be rendered");
    bitmap->SaveToPNGFile(output);
    return 0;
  }
  throw Exception("there is no frame " + frameText + "; the file has " + std::to_string(seen) +
                  (seen == 1 ? " frame" : " frames"));
}

int FramesCommand(Args args) {
  if (WantsHelp(args)) {
    std::fputs(kFramesUsage, stdout);
    return 0;
  }
  const std::string output = TakeOption(args, "-o");
  RejectUnknownOptions(args);
  if (args.size() != 1) throw UsageError("expected one GIF file");
  if (output.empty()) throw UsageError("expected -o DIR");
  TGIFImage image;
  LoadImage(args[0], image);
  if (image.GetEmpty()) throw Exception("the file has no frames");
  if (image.GetWidth() == 0 || image.GetHeight() == 0)
    throw Exception("the file's logical screen is empty");
  std::filesystem::create_directories(output);

  TBitmap picture(image.GetWidth(), image.GetHeight(), TPixelFormat::pf24bit);
  int started = 0, written = 0;
  std::exception_ptr failure;
  // A frame is complete once the painter turns to the next one or ends.
  const auto write = [&](TObject* sender) {
    if (failure || written >= started) return;
    try {
      char name[32];
      std::snprintf(name, sizeof(name), "frame-%04d.png", written);
      const std::string path = (std::filesystem::path(output) / name).string();
      picture.SaveToPNGFile(path);
      // One line a frame, as it is written: long animations show progress.
      std::printf("%s\n", path.c_str());
      std::fflush(stdout);
      ++written;
    } catch (...) {
      failure = std::current_exception();
      static_cast<TGIFPainter*>(sender)->Stop();
    }
  };
  image.OnPaintFrame = [&](TObject* sender) {
    write(sender);
    ++started;
  };
  image.OnPaintEnd = write;
  // The delays pass at once: the clock only moves when the painter waits.
  TVirtualClock clock;
  const TClockInUse inUse(clock);
  image.Paint(picture.Canvas(), Rect(0, 0, image.GetWidth(), image.GetHeight()),
              TGIFDrawOptions{goTransparent, goAnimate});
  if (failure) std::rethrow_exception(failure);
  return 0;
}

}  // namespace

int GifCommand(const Args& args) {
  if (args.empty()) throw UsageError("expected a subcommand; see 'tavkit gif --help'");
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(kGifUsage, stdout);
    return 0;
  }
  Args rest(args.begin() + 1, args.end());
  if (args[0] == "info") return InfoCommand(rest);
  if (args[0] == "decode") return DecodeCommand(rest);
  if (args[0] == "frames") return FramesCommand(rest);
  if (args[0] == "encode") return EncodeCommand(rest);
  throw UsageError("unknown gif subcommand '" + args[0] + "'");
}

}  // namespace tavkit::cli

// tavkit gif: looks into GIF files with the library's own codec. "info"
// describes a file as the codec reads it (screen, colour tables, frames with
// a hash of their colour indices, and every warning the codec issued), as
// text for people or as one JSON object for scripts and tests.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "gif/GIFImage.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

namespace tavkit::cli {

namespace {

const char* const kGifUsage =
    "usage: tavkit gif SUBCOMMAND [ARGS...]\n"
    "\n"
    "Inspects GIF files with the library's GIF codec.\n"
    "\n"
    "subcommands:\n"
    "  info FILE [--json]   describe the file: screen, colours, frames, warnings\n"
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

// A JSON string of Latin-1 bytes.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonNumberOrNull(int value) {
  return value < 0 ? "null" : std::to_string(value);
}

std::string HashText(std::uint64_t hash) {
  char text[17];
  std::snprintf(text, sizeof(text), "%016" PRIx64, hash);
  return text;
}

std::string ToJson(const FileInfo& info) {
  std::string out = "{\"version\": " + JsonString(info.Version) +
                    ", \"width\": " + std::to_string(info.Width) +
                    ", \"height\": " + std::to_string(info.Height) +
                    ", \"background\": " + std::to_string(info.Background) +
                    ", \"aspect\": " + std::to_string(info.Aspect) +
                    ", \"global_colors\": " + std::to_string(info.GlobalColors) +
                    ", \"loop_count\": " + JsonNumberOrNull(info.LoopCount) + ", \"frames\": [";
  for (std::size_t i = 0; i < info.Frames.size(); ++i) {
    const FrameInfo& f = info.Frames[i];
    if (i > 0) out += ", ";
    out += "{\"left\": " + std::to_string(f.Left) + ", \"top\": " + std::to_string(f.Top) +
           ", \"width\": " + std::to_string(f.Width) + ", \"height\": " + std::to_string(f.Height) +
           ", \"interlaced\": " + (f.Interlaced ? "true" : "false") +
           ", \"local_colors\": " + std::to_string(f.LocalColors) +
           ", \"transparent_index\": " + JsonNumberOrNull(f.TransparentIndex) +
           ", \"delay\": " + JsonNumberOrNull(f.Delay) +
           ", \"disposal\": " + JsonNumberOrNull(f.Disposal) + ", \"pixels_fnv1a64\": \"" +
           HashText(f.Hash) + "\"}";
  }
  out += "], \"warnings\": [";
  for (std::size_t i = 0; i < info.Warnings.size(); ++i)
    out += (i > 0 ? ", " : "") + JsonString(info.Warnings[i]);
  return out + "]}\n";
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

}  // namespace

int GifCommand(const Args& args) {
  if (args.empty()) throw UsageError("expected a subcommand; see 'tavkit gif --help'");
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(kGifUsage, stdout);
    return 0;
  }
  Args rest(args.begin() + 1, args.end());
  if (args[0] == "info") return InfoCommand(rest);
  throw UsageError("unknown gif subcommand '" + args[0] + "'");
}

}  // namespace tavkit::cli

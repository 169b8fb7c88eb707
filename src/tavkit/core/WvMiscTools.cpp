// Markup helpers, text drawing and server images. WvMakeLatinHTML and
// WvstripHTML run over every text of every page, so both work in a single pass
// over their input and build the result by appending, never by deleting and
// inserting in place. Server images are written by many CGI processes into
// one directory at once, so names are drawn from a generator seeded per
// process and files are created exclusively.
#include <tavkit/core/WvMiscTools.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <random>
#include <string_view>
#include <system_error>

#include <unistd.h>

#include <tavkit/core/WvFont.h>
#include <tavkit/core/WvGifMaker.h>
#include <tavkit/gif/GIFTypes.h>
#include <tavkit/platform/base/ErrorLog.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/RequestState.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

namespace {

// Entity names of the characters 160 to 255, the Latin-1 set of HTML 3.2.
constexpr std::array<std::string_view, 96> kLatinEntities = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The unique-identifier counter. Atomic so that a stray second thread cannot
// tear it; it wraps at 32 bits like the plain integer it stands for.
std::atomic<std::int32_t> gUniqueIDCounter{0};

// The numbers name the maps of one page, so a server that answers many
// requests in one process starts each page from 0, as a CGI process does.
const bool gUniqueIDPerRequest = [] {
  RegisterRequestReset([] { gUniqueIDCounter = 0; });
  return true;
}();

void AppendHexByte(std::string& dest, unsigned byte) {
  dest += kHexDigits[(byte >> 4) & 0xF];
  dest += kHexDigits[byte & 0xF];
}

// Pixel heights a browser gives the HTML font sizes 1 to 6.
constexpr std::array<int, 6> kPixelHeights = {13, 16, 18, 21, 27, 36};

unsigned CanvasFontStyle(const TWvFont& font) {
  unsigned style = 0;
  if (font.GetBold()) style |= fsBold;
  if (font.GetItalic()) style |= fsItalic;
  if (font.GetUnderline()) style |= fsUnderline;
  if (font.GetStrikeout()) style |= fsStrikeOut;
  return style;
}

}  // namespace

void WvStrToHTML(std::string& dest, const std::string& text) {
  dest += text;
}

std::string WvCollapseStringList(const TStrings& list) {
  std::string result;
  for (int i = 0; i < list.Count(); ++i) {
    result += ' ';
    result += list.Get(i);
  }
  return result;
}

std::string Wvinttohex(std::int32_t value) {
  auto bits = static_cast<std::uint32_t>(value);
  std::string result;
  result.reserve(6);
  AppendHexByte(result, (bits >> 16) & 0xFF);
  AppendHexByte(result, (bits >> 8) & 0xFF);
  AppendHexByte(result, bits & 0xFF);
  return result;
}

std::string WvMakeWebColor(TColor colour) {
  std::string result;
  result.reserve(6);
  AppendHexByte(result, GetRValue(colour));
  AppendHexByte(result, GetGValue(colour));
  AppendHexByte(result, GetBValue(colour));
  return result;
}

std::string WvMakeLatinHTML(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    auto code = static_cast<unsigned char>(c);
    if (code < 160) {
      result += c;
      continue;
    }
    result += '&';
    result += kLatinEntities[code - 160];
  }
  return result;
}

// Removing the first tag leaves in front of the next search only text that
// holds neither "<" nor ">", so the next "<" and ">" of the shortened text are
// simply the next ones after the removed tag. The scan therefore keeps two
// positions moving forward and never looks at a character twice.
std::string WvstripHTML(const std::string& text) {
  std::string result;
  std::size_t pos = 0;
  while (true) {
    std::size_t open = text.find('<', pos);
    if (open == std::string::npos) {
      result.append(text, pos, std::string::npos);
      return result;
    }
    std::size_t close = text.find('>', pos);
    if (close == std::string::npos || close < open) return text;
    result.append(text, pos, open - pos);
    pos = close + 1;
  }
}

namespace {

// The text with each character that has a replacement replaced.
template <class Replacement>
std::string Escaped(const std::string& text, Replacement replacement) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (const char* instead = replacement(c))
      result += instead;
    else
      result += c;
  }
  return result;
}

const char* TextReplacement(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    default:
      return nullptr;
  }
}

const char* AttributeReplacement(char c) {
  switch (c) {
    case '"':
      return "&quot;";
    case '\'':
      return "&#39;";
    default:
      return TextReplacement(c);
  }
}

}  // namespace

std::string WvEscapeText(const std::string& text) {
  return Escaped(text, TextReplacement);
}

std::string WvEscapeAttribute(const std::string& text) {
  return Escaped(text, AttributeReplacement);
}

std::string WvEncodeFormValue(const std::string& value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(value.size());
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    // Unreserved characters, counted by hand: the locale plays no part.
    const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                            c == '-' || c == '_' || c == '.' || c == '~';
    if (unreserved) {
      result += c;
    } else if (c == ' ') {
      result += '+';
    } else {
      result += '%';
      result += digits[byte >> 4];
      result += digits[byte & 15];
    }
  }
  return result;
}

void WvExtractHiddenValues(const std::string& line, std::string& name, std::string& value) {
  std::size_t eq = line.find('=');
  if (eq == std::string::npos) return;
  name = line.substr(0, eq);
  value = line.substr(eq + 1);
}

std::string WvGetUniqueID(const std::string& prefix) {
  return prefix + std::to_string(gUniqueIDCounter.fetch_add(1));
}

std::int32_t WvMinimum(std::int32_t a, std::int32_t b) {
  return b < a ? b : a;
}

std::int32_t WvDrawString(const std::string& text, const TWvFont& font, TCanvas& canvas,
                          const TRect& rect, TColor colour, t_WvTextAlign align) {
  canvas.Brush().Color = colour;
  canvas.FillRect(rect);

  TFont& canvasFont = canvas.Font();
  canvasFont.Name = font.GetPrimaryFont();
  canvasFont.Style = CanvasFontStyle(font);
  canvasFont.Height = kPixelHeights[static_cast<std::size_t>(font.GetFontSize() - 1)];
  canvasFont.Color = font.GetColor();

  const int rectWidth = rect.Right - rect.Left;
  const int textWidth = canvas.TextWidth(text);
  int x = rect.Left;
  if (align == taCenter)
    x = rect.Left + rectWidth / 2 - textWidth / 2;
  else if (align == taRight)
    x = rect.Left + rectWidth - textWidth;
  if (x < rect.Left) x = rect.Left;

  canvas.TextRect(rect, x, rect.Top + 1, text);
  return canvas.TextHeight(text + "W");
}

namespace {

std::string ProgramImageFolder() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  std::string folder = error ? std::string("./") : program.parent_path().string() + "/";
  return folder + "images/";
}

// Unit-wide, without a lock: set once at start, read while pages are written.
std::string& InternalImagePath() {
  static std::string path = ProgramImageFolder();
  return path;
}

std::string& ExternalImagePath() {
  static std::string path = "/images/";
  return path;
}

}  // namespace

void WvSetInternalImagePath(const std::string& path) {
  // File names are appended to the path: a folder named without its final
  // separator is still the folder, not the start of the names beside it.
  InternalImagePath() = !path.empty() && path.back() != '/' ? path + "/" : path;
}
void WvSetExternalImagePath(const std::string& path) {
  ExternalImagePath() = path;
}
std::string WvGetInternalImagePath() {
  return InternalImagePath();
}
std::string WvGetExternalImagePath() {
  return ExternalImagePath();
}

namespace {

// The generator of file names. It is seeded again when the process id
// changes, so that a server that forks its workers does not hand every
// worker the same names.
struct TNameGenerator {
  std::mutex Lock;
  std::mt19937 Engine;
  pid_t SeededFor = 0;

  int Next() {
    std::lock_guard<std::mutex> guard(Lock);
    const pid_t pid = getpid();
    if (pid != SeededFor) {
      const auto now = std::chrono::system_clock::now().time_since_epoch().count();
      const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
      std::seed_seq seed{static_cast<std::uint32_t>(now), static_cast<std::uint32_t>(now >> 32),
                         static_cast<std::uint32_t>(tick), static_cast<std::uint32_t>(pid)};
      Engine.seed(seed);
      SeededFor = pid;
    }
    return std::uniform_int_distribution<int>(0, 99999998)(Engine);
  }
};

TNameGenerator& NameGenerator() {
  static TNameGenerator generator;
  return generator;
}

// Makes the directory and any missing parents. Only an empty path is an
// error here; a directory that cannot be made shows when the file cannot be
// written into it.
void ForceImageDirectory(const std::string& path) {
  if (path.empty()) throw Exception("Cannot create directory");
  std::error_code error;
  std::filesystem::create_directories(path, error);
}

bool IsGeneratedImageName(const std::string& name) {
  return name.size() >= 6 && name.compare(0, 2, "AG") == 0 &&
         name.compare(name.size() - 4, 4, ".gif") == 0;
}

}  // namespace

std::string WvGenerateRandomFilename(const std::string& prefix, const std::string& extension) {
  const int first = NameGenerator().Next();
  const int second = NameGenerator().Next();
  return prefix + std::to_string(first) + "_" + std::to_string(second) + "." + extension;
}

std::string WvGenerateServerImage(TBitmap& bitmap, int width, int height, bool stretch) {
  try {
    const std::string folder = WvGetInternalImagePath();
    ForceImageDirectory(folder);
    TMemoryStream encoded;
    if (stretch) {
      TBitmap stretched(width, height);
      if (stretched.GetEmpty()) return "";
      stretched.Canvas().StretchDraw(Rect(0, 0, width, height), bitmap);
      // The display bitmap keeps a drawing's exact colours, but a GIF frame
      // takes at most 256 of them from it; a stretched photograph has far
      // more, and is written as a true-colour picture, reduced instead.
      try {
        WvGifToStream(stretched, encoded);
      } catch (const GIFException& error) {
        if (std::string(error.what()) != sColorTableOverflow) throw;
        stretched.SetPixelFormat(TPixelFormat::pf24bit);
        encoded.Clear();
        WvGifToStream(stretched, encoded);
      }
    } else {
      if (bitmap.GetEmpty()) return "";
      WvGifToStream(bitmap, encoded);
    }
    // Two numbers below 10^8 rarely meet, but many processes write here at
    // once: a taken name is simply drawn again.
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = WvGenerateRandomFilename("AG", "gif");
      if (WriteNewFile(folder + name, encoded.Memory(), encoded.Bytes().size())) return WvGetExternalImagePath() + name;
    }
    LogError("cannot write a server image into " + folder + ": every name drawn was taken");
    return "";
  } catch (const std::exception& error) {
    // The page goes on without the picture; whoever runs the site learns why.
    LogError("cannot write a server image: " + std::string(error.what()));
    return "";
  } catch (...) {
    LogError("cannot write a server image");
    return "";
  }
}

void WvCleanupTempResources(int minutes, int count) {
  namespace fs = std::filesystem;
  if (count <= 0) return;
  const auto limit = std::chrono::duration<double, std::ratio<60>>(minutes);
  const auto now = fs::file_time_type::clock::now();
  int deleted = 0;
  std::error_code listing;
  for (fs::directory_iterator entry(WvGetInternalImagePath(), listing);
       !listing && entry != fs::directory_iterator() && deleted < count; entry.increment(listing)) {
    if (!IsGeneratedImageName(entry->path().filename().string())) continue;
    std::error_code error;
    const fs::file_time_type changed = entry->last_write_time(error);
    if (error || now - changed <= limit) continue;
    if (fs::is_directory(entry->symlink_status(error)) || error) continue;
    if (fs::remove(entry->path(), error)) ++deleted;
  }
}

}  // namespace tavkit

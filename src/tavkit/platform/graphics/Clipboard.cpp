// The in-process clipboard and its format names. A recursive mutex stands
// for the host's open/close protocol: a graphic that puts a second format of
// its own while the clipboard puts it (a GIF image adds its file) does so
// under the same opening.
#include <tavkit/platform/graphics/Clipboard.h>

#include <algorithm>
#include <cctype>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/graphics/Picture.h>

namespace tavkit {

namespace {

struct TFormatNames {
  std::mutex Mutex;
  std::vector<std::string> Names;  // format 0xC000 + i
};

TFormatNames& FormatNames() {
  static TFormatNames names;
  return names;
}

constexpr TClipboardFormat kFirstNamedFormat = 0xC000;

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Holds the clipboard open for one scope.
class TOpened {
 public:
  explicit TOpened(TClipboard& clipboard) : FClipboard(clipboard) { FClipboard.Open(); }
  ~TOpened() { FClipboard.Close(); }
  TOpened(const TOpened&) = delete;
  TOpened& operator=(const TOpened&) = delete;

 private:
  TClipboard& FClipboard;
};

}  // namespace

TClipboardFormat RegisterClipboardFormat(const std::string& name) {
  if (name.empty()) throw Exception("A clipboard format needs a name");
  TFormatNames& names = FormatNames();
  std::lock_guard lock(names.Mutex);
  for (std::size_t i = 0; i < names.Names.size(); ++i)
    if (SameName(names.Names[i], name)) return kFirstNamedFormat + static_cast<TClipboardFormat>(i);
  names.Names.push_back(name);
  return kFirstNamedFormat + static_cast<TClipboardFormat>(names.Names.size() - 1);
}

std::string GetClipboardFormatName(TClipboardFormat format) {
  TFormatNames& names = FormatNames();
  std::lock_guard lock(names.Mutex);
  if (format < kFirstNamedFormat || format - kFirstNamedFormat >= names.Names.size()) return "";
  return names.Names[format - kFirstNamedFormat];
}

TClipboardData PaletteToClipboardData(const TPalette& palette) {
  TClipboardData data;
  data.reserve(palette.size() * 4);
  for (const TPaletteEntry& e : palette)
    data.insert(data.end(), {e.peRed, e.peGreen, e.peBlue, e.peFlags});
  return data;
}

TPalette PaletteFromClipboardData(const TClipboardData& data) {
  TPalette palette(data.size() / 4);
  for (std::size_t i = 0; i < palette.size(); ++i)
    palette[i] = TPaletteEntry{data[4 * i], data[4 * i + 1], data[4 * i + 2], data[4 * i + 3]};
  return palette;
}

void TClipboard::Open() {
  FMutex.lock();
}

void TClipboard::Close() {
  FMutex.unlock();
}

void TClipboard::Clear() {
  TOpened opened(*this);
  FData.clear();
}

bool TClipboard::HasFormat(TClipboardFormat format) {
  TOpened opened(*this);
  return std::any_of(FData.begin(), FData.end(), [&](const auto& e) { return e.first == format; });
}

void TClipboard::SetAsHandle(TClipboardFormat format, TClipboardData data) {
  TOpened opened(*this);
  for (auto& entry : FData)
    if (entry.first == format) {
      entry.second = std::move(data);
      return;
    }
  FData.emplace_back(format, std::move(data));
}

std::optional<TClipboardData> TClipboard::GetAsHandle(TClipboardFormat format) {
  TOpened opened(*this);
  for (const auto& entry : FData)
    if (entry.first == format) return entry.second;
  return std::nullopt;
}

std::vector<TClipboardFormat> TClipboard::GetFormats() {
  TOpened opened(*this);
  std::vector<TClipboardFormat> formats;
  for (const auto& entry : FData) formats.push_back(entry.first);
  return formats;
}

void TClipboard::Assign(TGraphic& graphic) {
  TOpened opened(*this);
  FData.clear();
  TClipboardFormat format = 0;
  TClipboardData data;
  TPalette palette;
  try {
    graphic.SaveToClipboardFormat(format, data, palette);
  } catch (...) {
    // Nothing half-put stays behind.
    FData.clear();
    throw;
  }
  // Format 0: the graphic had nothing to put (an empty picture).
  if (format == 0) return;
  SetAsHandle(format, std::move(data));
  if (!palette.empty()) SetAsHandle(CF_PALETTE, PaletteToClipboardData(palette));
}

void TClipboard::AssignToPicture(TPicture& picture) {
  TOpened opened(*this);
  const std::optional<TClipboardData> paletteData = GetAsHandle(CF_PALETTE);
  const TPalette palette = paletteData ? PaletteFromClipboardData(*paletteData) : TPalette{};
  // A copy: the graphic that reads may look at the clipboard itself.
  const auto entries = FData;
  for (const auto& [format, data] : entries)
    if (TPicture::SupportsClipboardFormat(format)) {
      picture.LoadFromClipboardFormat(format, data, palette);
      return;
    }
  throw EInvalidGraphic("Unsupported clipboard format");
}

TClipboard& Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}

}  // namespace tavkit

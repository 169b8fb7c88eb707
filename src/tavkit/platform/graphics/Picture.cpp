// TPicture, the PNG and PPM graphics and the process-wide registry of
// picture file formats. The registry is guarded by a mutex because codecs
// register themselves from static initialisers and pictures may load on any
// thread.
#include <tavkit/platform/graphics/Picture.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <optional>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

namespace {

struct TClipboardEntry {
  TClipboardFormat Format;
  TGraphicFactory Factory;
};

struct TFormatRegistry {
  std::mutex Mutex;
  std::vector<TFileFormat> Formats;
  std::vector<TClipboardEntry> ClipboardFormats;
};

TFormatRegistry& Registry() {
  static TFormatRegistry registry{
      {},
      {TFileFormat{"bmp", "Bitmaps", [] { return std::make_unique<TBitmap>(); }, "BM"},
       TFileFormat{"png", "Portable Network Graphics", [] { return std::make_unique<TPngImage>(); },
                   "\x89PNG\r\n\x1A\n"},
       TFileFormat{"ppm", "Portable Pixmap", [] { return std::make_unique<TPpmImage>(); }, "P6"}},
      {TClipboardEntry{CF_BITMAP, [] { return std::make_unique<TBitmap>(); }}}};
  return registry;
}

std::optional<TGraphicFactory> FindClipboardFactory(TClipboardFormat format) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  for (const TClipboardEntry& entry : registry.ClipboardFormats)
    if (entry.Format == format) return entry.Factory;
  return std::nullopt;
}

std::string NormalExtension(std::string extension) {
  if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

// The extension of the file's own name (not of a directory), lower case.
std::string ExtensionOf(const std::string& fileName) {
  std::size_t slash = fileName.find_last_of('/');
  std::size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return NormalExtension(fileName.substr(dot + 1));
}

std::optional<TFileFormat> FindByExtension(const std::string& extension) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  for (const TFileFormat& f : registry.Formats)
    if (f.Extension == extension) return f;
  return std::nullopt;
}

std::optional<TFileFormat> FindBySignature(const std::uint8_t* bytes, std::size_t size) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  for (const TFileFormat& f : registry.Formats)
    if (!f.Signature.empty() && f.Signature.size() <= size &&
        std::equal(f.Signature.begin(), f.Signature.end(), bytes,
                   [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }))
      return f;
  return std::nullopt;
}

// A new graphic of the same kind holding a copy of graphic.
std::unique_ptr<TGraphic> CopyOf(const TGraphic& graphic) {
  std::string name = graphic.ClassName();
  for (const TFileFormat& format : TPicture::FileFormats()) {
    std::unique_ptr<TGraphic> copy = format.Factory();
    if (copy && copy->ClassName() == name) {
      copy->Assign(&graphic);
      return copy;
    }
  }
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->Assign(&graphic);
  return bitmap;
}

}  // namespace

TBitmapImage::TBitmapImage() {
  FBitmap.OnChange = [this](TObject*) { Changed(this); };
}

void TBitmapImage::Assign(const TPersistent* source) {
  if (auto* image = dynamic_cast<const TBitmapImage*>(source))
    FBitmap.Assign(&image->FBitmap);
  else if (auto* bitmap = dynamic_cast<const TBitmap*>(source))
    FBitmap.Assign(bitmap);
  else
    TGraphic::Assign(source);
}

void TBitmapImage::AssignTo(TPersistent* dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    bitmap->Assign(&FBitmap);
    return;
  }
  TGraphic::AssignTo(dest);
}

void TBitmapImage::SetWidth(int width) {
  FBitmap.SetWidth(width);
}

void TBitmapImage::SetHeight(int height) {
  FBitmap.SetHeight(height);
}

void TPngImage::LoadFromStream(TStream& stream) {
  Bitmap().LoadFromPNGStream(stream);
}

void TPngImage::SaveToStream(TStream& stream) {
  Bitmap().SaveToPNGStream(stream);
}

void TPpmImage::LoadFromStream(TStream& stream) {
  Bitmap().LoadFromPPMStream(stream);
}

void TPpmImage::SaveToStream(TStream& stream) {
  Bitmap().SaveToPPMStream(stream);
}

TPicture::TPicture() = default;

TPicture::~TPicture() = default;

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::Adopt(std::unique_ptr<TGraphic> graphic) {
  FGraphic = std::move(graphic);
  if (FGraphic) FGraphic->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  Adopt(std::move(graphic));
}

TBitmap& TPicture::Bitmap() {
  if (auto* bitmap = dynamic_cast<TBitmap*>(FGraphic.get())) return *bitmap;
  auto bitmap = std::make_unique<TBitmap>();
  if (FGraphic && !FGraphic->GetEmpty()) {
    try {
      bitmap->Assign(FGraphic.get());
    } catch (const EConvertError&) {
      // A graphic that cannot hand over its pixels is drawn instead.
      bitmap->SetSize(FGraphic->GetWidth(), FGraphic->GetHeight());
      FGraphic->Draw(bitmap->Canvas(), Rect(0, 0, bitmap->GetWidth(), bitmap->GetHeight()));
    }
  }
  Adopt(std::move(bitmap));
  return static_cast<TBitmap&>(*FGraphic);
}

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string extension = ExtensionOf(fileName);
  std::optional<TFileFormat> format = FindByExtension(extension);
  if (!format) throw EInvalidGraphic("Unknown picture file extension (." + extension + ")");
  TMemoryStream stream(ReadFileBytes(fileName));
  // A file whose contents are plainly of another registered format (a PNG
  // saved as .bmp) is read as what it is.
  std::optional<TFileFormat> actual = FindBySignature(stream.Memory(), stream.Bytes().size());
  if (actual && actual->Extension != format->Extension) format = actual;
  std::unique_ptr<TGraphic> graphic = format->Factory();
  graphic->LoadFromStream(stream);
  Adopt(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& fileName) {
  if (!FGraphic) return;
  std::optional<TFileFormat> format = FindByExtension(ExtensionOf(fileName));
  if (format) {
    std::unique_ptr<TGraphic> converted = format->Factory();
    if (converted->ClassName() != FGraphic->ClassName()) {
      converted->Assign(FGraphic.get());
      converted->SaveToFile(fileName);
      return;
    }
  }
  FGraphic->SaveToFile(fileName);
}

void TPicture::LoadFromStream(TStream& stream) {
  std::int64_t start = stream.GetPosition();
  std::uint8_t head[16] = {};
  std::int64_t got = stream.Read(head, sizeof head);
  stream.SetPosition(start);
  std::optional<TFileFormat> format = FindBySignature(head, static_cast<std::size_t>(got));
  if (!format) throw EInvalidGraphic("Unknown picture format");
  std::unique_ptr<TGraphic> graphic = format->Factory();
  graphic->LoadFromStream(stream);
  Adopt(std::move(graphic));
}

void TPicture::SaveToStream(TStream& stream) {
  if (FGraphic) FGraphic->SaveToStream(stream);
}

void TPicture::Assign(const TPersistent* source) {
  if (source == this) return;
  if (source == nullptr) {
    Adopt(nullptr);
  } else if (auto* picture = dynamic_cast<const TPicture*>(source)) {
    Adopt(picture->FGraphic ? CopyOf(*picture->FGraphic) : nullptr);
  } else if (auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    Adopt(CopyOf(*graphic));
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::LoadFromClipboardFormat(TClipboardFormat format, const TClipboardData& data,
                                       const TPalette& palette) {
  std::optional<TGraphicFactory> factory = FindClipboardFactory(format);
  if (!factory) throw EInvalidGraphic("Unsupported clipboard format");
  std::unique_ptr<TGraphic> graphic = (*factory)();
  graphic->LoadFromClipboardFormat(format, data, palette);
  Adopt(std::move(graphic));
}

void TPicture::SaveToClipboardFormat(TClipboardFormat& format, TClipboardData& data,
                                     TPalette& palette) {
  format = 0;
  data.clear();
  palette.clear();
  if (FGraphic) FGraphic->SaveToClipboardFormat(format, data, palette);
}

void TPicture::AssignTo(TPersistent* dest) const {
  if (auto* graphic = dynamic_cast<TGraphic*>(dest)) {
    graphic->Assign(FGraphic.get());
    return;
  }
  TPersistent::AssignTo(dest);
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicFactory factory, const std::string& signature) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  std::string key = NormalExtension(extension);
  TFileFormat format{key, description, std::move(factory), signature};
  for (TFileFormat& f : registry.Formats)
    if (f.Extension == key) {
      f = std::move(format);
      return;
    }
  registry.Formats.push_back(std::move(format));
}

void TPicture::UnregisterFileFormat(const std::string& extension) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  std::string key = NormalExtension(extension);
  std::erase_if(registry.Formats, [&](const TFileFormat& f) { return f.Extension == key; });
}

void TPicture::RegisterClipboardFormat(TClipboardFormat format, TGraphicFactory factory) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  for (TClipboardEntry& entry : registry.ClipboardFormats)
    if (entry.Format == format) {
      entry.Factory = std::move(factory);
      return;
    }
  registry.ClipboardFormats.push_back(TClipboardEntry{format, std::move(factory)});
}

void TPicture::UnregisterClipboardFormat(TClipboardFormat format) {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  std::erase_if(registry.ClipboardFormats,
                [&](const TClipboardEntry& entry) { return entry.Format == format; });
}

bool TPicture::SupportsClipboardFormat(TClipboardFormat format) {
  return FindClipboardFactory(format).has_value();
}

std::optional<TFileFormat> TPicture::FileFormatOf(const std::uint8_t* bytes, std::size_t size) {
  return FindBySignature(bytes, size);
}

std::vector<TFileFormat> TPicture::FileFormats() {
  TFormatRegistry& registry = Registry();
  std::lock_guard lock(registry.Mutex);
  return registry.Formats;
}

}  // namespace tavkit

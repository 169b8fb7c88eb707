// The document model: lists, header, sub-images, trailer and the image, and
// the stream layout they read and write.
#include <tavkit/gif/GIFModel.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include <tavkit/gif/GIFExtensions.h>
#include <tavkit/gif/GIFPainter.h>
#include <tavkit/gif/detail/GIFDecoder.h>
#include <tavkit/gif/detail/GIFLZW.h>
#include <tavkit/gif/detail/GIFStream.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

namespace {

const char* const kLoading = "Loading...";
const char* const kSaving = "Saving...";
const char* const kCopying = "Copying...";

}  // namespace

// Items

void TGIFItem::Warning(TGIFSeverity severity, const std::string& message) {
  if (FImage) FImage->Warning(this, severity, message);
}

void TGIFItem::LoadFromStream(TStream& stream) {
  TGIFReader reader(stream);
  LoadFromReader(reader);
  reader.Finish();
}

// Lists

TGIFList::~TGIFList() {
  Clear();
}

void TGIFList::Warning(TGIFSeverity severity, const std::string& message) {
  if (FImage) FImage->Warning(this, severity, message);
}

void TGIFList::SaveToStream(TStream& stream) {
  for (TGIFItem* item : FItems) item->SaveToStream(stream);
}

void TGIFList::Clear() {
  while (GetCount() > 0) Delete(0);
}

void TGIFList::Delete(int index) {
  delete FItems.Get(index);
  FItems.Delete(index);
}

TGIFSubImage* TGIFImageList::GetImage(int index) const {
  return static_cast<TGIFSubImage*>(GetItem(index));
}

void TGIFImageList::SetImage(int index, TGIFSubImage* subImage) {
  SetItem(index, subImage);
}

void TGIFImageList::LoadFromStream(TStream& stream, TObject* parent) {
  TGIFReader reader(stream);
  LoadFromReader(reader, dynamic_cast<TGIFImage*>(parent));
  reader.Finish();
}

namespace {

// Skips zero bytes; answers the next byte (left unread) or -1 at the end.
int SkipZeros(TGIFReader& reader) {
  int next = reader.ReadByte();
  while (next == 0) next = reader.ReadByte();
  if (next >= 0) reader.Back();
  return next;
}

}  // namespace

void TGIFImageList::LoadFromReader(TGIFReader& reader, TGIFImage* image) {
  for (int next = SkipZeros(reader); next >= 0 && next != 0x3B; next = SkipZeros(reader)) {
    if (next != 0x21 && next != 0x2C) {
      Warning(gsWarning, sUnknownBlockType);
      return;
    }
    auto subImage = std::make_unique<TGIFSubImage>(image);
    subImage->LoadFromReader(reader);
    Add(subImage.release());
    if (image != nullptr) {
      const std::size_t size = reader.Position() + reader.Remaining();
      image->ReportProgress(this, TProgressStage::psRunning,
                            static_cast<int>(reader.Position() * 100 / size), false, kLoading);
    }
  }
}

TGIFExtensionList::TGIFExtensionList(TGIFSubImage* subImage)
    : TGIFList(subImage ? subImage->GetImage() : nullptr) {}

TGIFExtension* TGIFExtensionList::GetExtension(int index) const {
  return static_cast<TGIFExtension*>(GetItem(index));
}

void TGIFExtensionList::SetExtension(int index, TGIFExtension* extension) {
  SetItem(index, extension);
}

void TGIFExtensionList::LoadFromStream(TStream& stream, TObject* parent) {
  TGIFReader reader(stream);
  LoadFromReader(reader, dynamic_cast<TGIFSubImage*>(parent));
  reader.Finish();
}

void TGIFExtensionList::LoadFromReader(TGIFReader& reader, TGIFSubImage* subImage) {
  int next = reader.ReadByte();
  while (next != 0x2C && next != 0x3B) {
    if (next < 0) return;
    // Padding between blocks; skipped here as between frames, so that an
    // extension stays with the frame it stands in front of.
    if (next == 0) {
      next = reader.ReadByte();
      continue;
    }
    if (next != 0x21) {
      Warning(gsWarning, sInvalidExtensionIntroducer);
      break;
    }
    const TGIFExtensionClass* extensionClass = TGIFExtension::FindExtension(reader);
    if (extensionClass == nullptr) throw GIFException(sUnknownExtensionType);
    reader.Back();
    std::unique_ptr<TGIFExtension> extension(extensionClass->Create(subImage));
    extension->LoadFromReader(reader);
    Add(extension.release());
    next = reader.ReadByte();
  }
  reader.Back();
}

// Header

TGIFHeader::TGIFHeader(TGIFImage* image)
    : TGIFItem(image), FColorMap(std::make_unique<TGIFGlobalColorMap>(this)) {}

TGIFVersion TGIFHeader::GetVersion() const {
  return FColorMap->GetSorted() || FAspectRatio != 0 ? gv89a : gv87a;
}

void TGIFHeader::SaveToStream(TStream& stream) {
  const TGIFVersion version = FImage ? FImage->GetVersion() : GetVersion();
  if (version == gvUnknown) throw GIFException(sUnsupportedVersion);
  std::uint8_t bytes[13] = {'G', 'I', 'F'};
  std::memcpy(bytes + 3, GIFVersions[version], 3);
  Prepare();
  PutWord(bytes + 6, FScreenWidth);
  PutWord(bytes + 8, FScreenHeight);
  bytes[10] = FPackedFields;
  bytes[11] = FBackgroundColorIndex;
  bytes[12] = FAspectRatio;
  stream.WriteBuffer(bytes, sizeof(bytes));
  if (FPackedFields & 0x80) FColorMap->SaveToStream(stream);
}

void TGIFHeader::LoadFromReader(TGIFReader& reader) {
  std::uint8_t signature[6];
  reader.ReadBuffer(signature, sizeof(signature));
  for (int i = 0; i < 3; ++i)
    if (std::toupper(signature[i]) != "GIF"[i]) throw GIFException(sInvalidSignature);
  std::uint8_t screen[7];
  reader.ReadBuffer(screen, sizeof(screen));
  FScreenWidth = GetWord(screen);
  FScreenHeight = GetWord(screen + 2);
  FPackedFields = screen[4];
  FBackgroundColorIndex = screen[5];
  FAspectRatio = screen[6];
  if (FPackedFields & 0x80)
    FColorMap->LoadFromReader(reader, 2 << (FPackedFields & 7));
  else
    FColorMap->Clear();
}

void TGIFHeader::Prepare() {
  const bool hasTable = FColorMap->GetCount() > 0;
  const int resolution = FImage ? FImage->GetColorResolution() : GetColorResolution();
  const int bits = FImage ? FImage->GetBitsPerPixel() : GetBitsPerPixel();
  int packed = (resolution << 4) & 0x70;
  if (hasTable) {
    packed |= 0x80 | ((FColorMap->GetBitsPerPixel() - 1) & 0x07);
    if (FColorMap->GetSorted()) packed |= 0x08;
  } else {
    packed |= (bits - 1) & 0x07;
  }
  FPackedFields = static_cast<std::uint8_t>(packed);
}

void TGIFHeader::SetBackgroundColorIndex(int index) {
  if (FColorMap->GetCount() > 0 && (index < 0 || index >= FColorMap->GetCount())) {
    Warning(gsWarning, sInvalidColorIndex);
    index = 0;
  }
  FBackgroundColorIndex = static_cast<std::uint8_t>(index);
}

TColor TGIFHeader::GetBackgroundColor() {
  return FColorMap->GetColor(FBackgroundColorIndex);
}

void TGIFHeader::SetBackgroundColor(TColor color) {
  int index = FColorMap->IndexOf(color);
  if (index < 0) index = FColorMap->Add(color);
  SetBackgroundColorIndex(index);
}

void TGIFHeader::AssignTo(TPersistent* dest) const {
  auto* header = dynamic_cast<TGIFHeader*>(dest);
  if (header == nullptr) {
    TGIFItem::AssignTo(dest);
    return;
  }
  header->FColorMap->Assign(FColorMap.get());
  header->FScreenWidth = FScreenWidth;
  header->FScreenHeight = FScreenHeight;
  header->FPackedFields = FPackedFields;
  header->FBackgroundColorIndex = FBackgroundColorIndex;
  header->FAspectRatio = FAspectRatio;
}

// Sub-images

TGIFSubImage::TGIFSubImage(TGIFImage* image)
    : TGIFItem(image),
      FColorMap(std::make_unique<TGIFLocalColorMap>(this)),
      FExtensions(std::make_unique<TGIFExtensionList>(this)) {}

TGIFSubImage::~TGIFSubImage() {
  Clear();
}

void TGIFSubImage::Clear() {
  FExtensions->Clear();
  FColorMap->Clear();
  FData.reset();
  FDataSize = 0;
  FDescriptor.Width = 0;
  FDescriptor.Height = 0;
  FTransparent = false;
  FGCE = nullptr;
  FPalette.clear();
  FreeBitmap();
  FreeMask();
  FreeDIB();
}

void TGIFSubImage::NewImage() {
  FData.reset();
  FDataSize = 0;
  const std::int64_t size = std::int64_t{FDescriptor.Width} * FDescriptor.Height;
  if (size == 0) return;
  if (size > MaxGIFFramePixels)
    throw ETooLargeAs<GIFException>("MaxGIFFramePixels", MaxGIFFramePixels, sFrameTooLarge);
  auto* pixels =
      static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(size) + GIFPixelSlack, 1));
  if (pixels == nullptr) throw EOutOfMemory("Out of memory");
  FData.reset(pixels);
  FDataSize = static_cast<std::size_t>(size);
}

bool TGIFSubImage::GetEmpty() const {
  return !FData || FDataSize == 0 || FDescriptor.Width == 0 || FDescriptor.Height == 0;
}

int TGIFSubImage::GetBounds(int index) const {
  switch (index) {
    case 1:
      return FDescriptor.Left;
    case 2:
      return FDescriptor.Top;
    case 3:
      return FDescriptor.Width;
    case 4:
      return FDescriptor.Height;
    default:
      return 0;
  }
}

void TGIFSubImage::SetBounds(int index, int value) {
  const auto word = static_cast<std::uint16_t>(value);
  switch (index) {
    case 1:
      FDescriptor.Left = word;
      break;
    case 2:
      FDescriptor.Top = word;
      break;
    case 3:
      FDescriptor.Width = word;
      break;
    case 4:
      FDescriptor.Height = word;
      break;
    default:
      break;
  }
}

TRect TGIFSubImage::GetBoundsRect() const {
  return Bounds(FDescriptor.Left, FDescriptor.Top, FDescriptor.Width, FDescriptor.Height);
}

TRect TGIFSubImage::GetClientRect() const {
  return Rect(0, 0, FDescriptor.Width, FDescriptor.Height);
}

void TGIFSubImage::SetInterlaced(bool interlaced) {
  FDescriptor.PackedFields = static_cast<std::uint8_t>(
      interlaced ? FDescriptor.PackedFields | 0x40 : FDescriptor.PackedFields & ~0x40);
}

TGIFVersion TGIFSubImage::GetVersion() const {
  return FColorMap->GetSorted() || FExtensions->GetCount() > 0 ? gv89a : gv87a;
}

TGIFColorMap& TGIFSubImage::GetActiveColorMap() {
  if (FColorMap->GetCount() == 0 && FImage && FImage->GetColorMap().GetCount() > 0)
    return FImage->GetColorMap();
  return *FColorMap;
}

std::uint8_t TGIFSubImage::GetPixel(int x, int y) const {
  if (x < 0 || x >= FDescriptor.Width || y < 0 || y >= FDescriptor.Height || !FData)
    throw GIFException(sInvalidPixelCoordinates);
  return FData[static_cast<std::size_t>(y) * FDescriptor.Width + static_cast<std::size_t>(x)];
}

void TGIFSubImage::Assign(const TPersistent* source) {
  if (source == this) return;
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    AssignBitmap(*bitmap);
    return;
  }
  const auto* other = dynamic_cast<const TGIFSubImage*>(source);
  if (other == nullptr) {
    TGIFItem::Assign(source);
    return;
  }
  Clear();
  if (!other->GetEmpty()) {
    FDescriptor = other->FDescriptor;
    FTransparent = other->FTransparent;
    NewImage();
    std::memcpy(FData.get(), other->FData.get(), FDataSize);
    FColorMap->Assign(other->FColorMap.get());
  }
  // Extensions are copied through their stream form, so that each copy is
  // a fresh object belonging to this sub-image. A frame without pixels can
  // still carry extensions (a closing comment, say); they are copied too.
  if (other->FExtensions->GetCount() > 0) {
    TMemoryStream buffer;
    other->FExtensions->SaveToStream(buffer);
    TGIFReader reader(buffer.Memory(), static_cast<std::size_t>(buffer.GetSize()));
    FExtensions->LoadFromReader(reader, this);
  }
  if (other->FBitmap) {
    FBitmap = std::make_unique<TBitmap>();
    FBitmap->Assign(other->FBitmap.get());
  }
}

void TGIFSubImage::Prepare() {
  int packed = FDescriptor.PackedFields & 0x58;
  if (FColorMap->GetCount() > 0) {
    packed |= 0x80 | ((FColorMap->GetBitsPerPixel() - 1) & 0x07);
    if (FColorMap->GetSorted()) packed |= 0x20;
  }
  FDescriptor.PackedFields = static_cast<std::uint8_t>(packed);
}

void TGIFSubImage::SaveToStream(TStream& stream) {
  FExtensions->SaveToStream(stream);
  if (GetEmpty()) return;
  Prepare();
  // A frame read from a broken file may hold another first byte, which no
  // reader would take for a frame again; the file always gets the separator.
  std::uint8_t bytes[10] = {0x2C};
  PutWord(bytes + 1, FDescriptor.Left);
  PutWord(bytes + 3, FDescriptor.Top);
  PutWord(bytes + 5, FDescriptor.Width);
  PutWord(bytes + 7, FDescriptor.Height);
  bytes[9] = FDescriptor.PackedFields;
  stream.WriteBuffer(bytes, sizeof(bytes));
  if (FColorMap->GetCount() > 0) FColorMap->SaveToStream(stream);
  Compress(stream);
}

void TGIFSubImage::LoadFromReader(TGIFReader& reader) {
  Clear();
  FExtensions->LoadFromReader(reader, this);
  const int next = reader.ReadByte();
  if (next < 0) return;
  reader.Back();
  if (next == 0x3B || next == 0) return;

  std::uint8_t bytes[10];
  reader.ReadBuffer(bytes, sizeof(bytes));
  FDescriptor.Separator = bytes[0];
  FDescriptor.Left = GetWord(bytes + 1);
  FDescriptor.Top = GetWord(bytes + 3);
  FDescriptor.Width = GetWord(bytes + 5);
  FDescriptor.Height = GetWord(bytes + 7);
  FDescriptor.PackedFields = bytes[9];
  if ((FDescriptor.Width == 0 || FDescriptor.Height == 0) && FImage) {
    FDescriptor.Height = FImage->GetHeader().GetScreenHeight();
    FDescriptor.Width = FImage->GetHeader().GetScreenWidth();
    Warning(gsWarning, sImageExceedsScreen);
  }
  if (FDescriptor.PackedFields & 0x80)
    FColorMap->LoadFromReader(reader, 2 << (FDescriptor.PackedFields & 7));
  const std::int64_t pixels = std::int64_t{FDescriptor.Width} * FDescriptor.Height;
  if (pixels > MaxGIFFramePixels)
    throw ETooLargeAs<GIFException>("MaxGIFFramePixels", MaxGIFFramePixels, sFrameTooLarge);
  if (FImage) FImage->ReservePixels(pixels);
  Decompress(reader);
}

void TGIFSubImage::LoadFromFile(const std::string& fileName) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
  TGIFReader reader(bytes.data(), bytes.size());
  LoadFromReader(reader);
}

void TGIFSubImage::Compress(TStream& stream) {
  const int bits = FColorMap->GetCount() > 0 ? FColorMap->GetBitsPerPixel()
                   : FImage                  ? FImage->GetBitsPerPixel()
                                             : 0;
  const bool rle = FImage && FImage->GetCompression() == gcRLE;
  std::unique_ptr<TGIFEncoder> encoder;
  if (rle)
    encoder = std::make_unique<TRLEEncoder>();
  else
    encoder = std::make_unique<TLZWEncoder>();
  encoder->Compress(stream, bits, FData.get(), GetInterlaced(), FDescriptor.Height,
                    FDescriptor.Width);
}

void TGIFSubImage::Decompress(TStream& stream) {
  TGIFReader reader(stream);
  Decompress(reader);
  reader.Finish();
}

void TGIFSubImage::Decompress(TGIFReader& reader) {
  NewImage();
  const TGIFDecodeResult result = DecodeGIFImageData(reader, FData.get(), FDescriptor.Width,
                                                     FDescriptor.Height, GetInterlaced());
  if (result.PrematureEnd) Warning(gsWarning, sPrematureEnd);
  if (result.Underrun) Warning(gsWarning, sDecoderUnderrun);
}

// Trailer

void TGIFTrailer::SaveToStream(TStream& stream) {
  stream.WriteByte(0x3B);
}

void TGIFTrailer::LoadFromReader(TGIFReader& reader) {
  const int next = reader.ReadByte();
  if (next >= 0 && next != 0x3B) Warning(gsWarning, sInvalidTrailer);
}

// Image

TGIFImage::TGIFImage()
    : FImages(std::make_unique<TGIFImageList>(this)),
      FHeader(std::make_unique<TGIFHeader>(this)),
      FDrawOptions(GIFImageDefaultDrawOptions),
      FColorReduction(GIFImageDefaultColorReduction),
      FDitherMode(GIFImageDefaultDitherMode),
      FCompression(GIFImageDefaultCompression),
      FThreadPriority(GIFImageDefaultThreadPriority),
      FAnimationSpeed(GIFImageDefaultAnimationSpeed) {
  NewImage();
}

TGIFImage::~TGIFImage() {
  PaintStop();
  // A quit message may have ended the wait: painters still ending forget
  // the image and draw no more.
  TList<TGIFPainter>& painters = FPainters.LockList();
  for (TGIFPainter* painter : painters) painter->Detach();
  painters.Clear();
  FDrawPainter = nullptr;
  FPainters.UnlockList();
  DropBitmap();
  FImages->Clear();
}

void TGIFImage::Clear() {
  PaintStop();
  FImages->Clear();
  FHeader->GetColorMap().Clear();
  FHeader->SetScreenWidth(0);
  FHeader->SetScreenHeight(0);
  FHeader->Prepare();
  SetPalette(TPalette{});
}

int TGIFImage::Add(TPersistent* source) {
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) return AddBitmap(*bitmap);
  auto* subImage = dynamic_cast<TGIFSubImage*>(source);
  if (subImage == nullptr) throw GIFException(sObjectNotSupported);
  return AddSubImage(subImage);
}

int TGIFImage::AddBitmap(const TBitmap& bitmap) {
  auto subImage = std::make_unique<TGIFSubImage>(this);
  subImage->Assign(&bitmap);
  return AddSubImage(subImage.release());
}

int TGIFImage::AddSubImage(TGIFSubImage* subImage) {
  const int index = FImages->Add(subImage);
  bool grew = false;
  const int right = subImage->GetLeft() + subImage->GetWidth();
  const int bottom = subImage->GetTop() + subImage->GetHeight();
  if (FHeader->GetScreenWidth() < right) {
    FHeader->SetScreenWidth(static_cast<std::uint16_t>(std::min(right, 65535)));
    Warning(this, gsWarning, sImageWidthTooSmall);
    grew = true;
  }
  if (FHeader->GetScreenHeight() < bottom) {
    FHeader->SetScreenHeight(static_cast<std::uint16_t>(std::min(bottom, 65535)));
    Warning(this, gsWarning, sImageHeightTooSmall);
    grew = true;
  }
  if (grew) {
    Warning(subImage, gsWarning, sImageExceedsScreen);
    FreeBitmap();
    Changed(this);
  }
  return index;
}

void TGIFImage::Assign(const TPersistent* source) {
  if (source == this) return;
  if (source == nullptr) {
    Clear();
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    Clear();
    AddBitmap(*bitmap);
    return;
  }
  const auto* other = dynamic_cast<const TGIFImage*>(source);
  if (other == nullptr) {
    // Any other picture comes in through a bitmap of its own.
    if (dynamic_cast<const TGraphic*>(source) != nullptr) {
      TBitmap bitmap;
      bitmap.Assign(source);
      Clear();
      AddBitmap(bitmap);
      return;
    }
    TGraphic::Assign(source);
    return;
  }
  AssignImage(*other);
}

void TGIFImage::AssignImage(const TGIFImage& other) {
  Clear();
  OnProgress = other.OnProgress;
  OnWarning = other.OnWarning;
  ReportProgress(this, TProgressStage::psStarting, 0, false, kCopying);
  try {
    FHeader->Assign(other.FHeader.get());
    FThreadPriority = other.FThreadPriority;
    FEraseColor = other.FEraseColor;
    FDrawOptions = other.FDrawOptions;
    FColorReduction = other.FColorReduction;
    FDitherMode = other.FDitherMode;
    const int count = other.FImages->GetCount();
    for (int i = 0; i < count; ++i) {
      auto copy = std::make_unique<TGIFSubImage>(this);
      copy->Assign(other.FImages->GetImage(i));
      Add(copy.release());
      ReportProgress(this, TProgressStage::psRunning, (i + 1) * 100 / count, false, kCopying);
    }
  } catch (...) {
    ReportProgress(this, TProgressStage::psEnding, 0, false, kCopying);
    throw;
  }
  ReportProgress(this, TProgressStage::psEnding, 100, false, kCopying);
}

void TGIFImage::Pack() {
  FreeBitmap();
  SetPalette(TPalette{});
  for (int i = 0; i < FImages->GetCount(); ++i) {
    TGIFSubImage* frame = FImages->GetImage(i);
    frame->FreeBitmap();
    frame->SetPalette(TPalette{});
  }
  if (FHeader->GetColorMap().GetCount() != 0 || FImages->GetCount() != 1) return;
  TGIFSubImage* only = FImages->GetImage(0);
  FHeader->GetColorMap().Assign(&only->GetColorMap());
  only->GetColorMap().Clear();
}

TGIFVersion TGIFImage::GetVersion() const {
  TGIFVersion version = gvUnknown;
  for (int i = 0; i < FImages->GetCount() && version != gv89a; ++i)
    version = std::max(version, FImages->GetImage(i)->GetVersion());
  return version;
}

int TGIFImage::GetColorResolution() const {
  int resolution = FHeader->GetColorResolution();
  for (int i = 0; i < FImages->GetCount(); ++i)
    resolution = std::max(resolution, FImages->GetImage(i)->GetColorResolution());
  return resolution;
}

int TGIFImage::GetBitsPerPixel() const {
  int bits = FHeader->GetBitsPerPixel();
  for (int i = 0; i < FImages->GetCount(); ++i)
    bits = std::max(bits, FImages->GetImage(i)->GetBitsPerPixel());
  return bits;
}

void TGIFImage::SetWidth(int width) {
  for (int i = 0; i < FImages->GetCount(); ++i) {
    const TGIFSubImage* subImage = FImages->GetImage(i);
    if (subImage->GetLeft() + subImage->GetWidth() > width) throw GIFException(sImageWidthTooSmall);
  }
  FHeader->SetScreenWidth(static_cast<std::uint16_t>(std::clamp(width, 0, 65535)));
  FreeBitmap();
  Changed(this);
}

void TGIFImage::SetHeight(int height) {
  for (int i = 0; i < FImages->GetCount(); ++i) {
    const TGIFSubImage* subImage = FImages->GetImage(i);
    if (subImage->GetTop() + subImage->GetHeight() > height)
      throw GIFException(sImageHeightTooSmall);
  }
  FHeader->SetScreenHeight(static_cast<std::uint16_t>(std::clamp(height, 0, 65535)));
  FreeBitmap();
  Changed(this);
}

void TGIFImage::SetDrawOptions(TGIFDrawOptions options) {
  if (options == FDrawOptions) return;
  StopDraw();
  FDrawOptions = options;
  Pack();
  Changed(this);
}

void TGIFImage::SetAnimationSpeed(int speed) {
  speed = std::clamp(speed, 1, 1000);
  if (speed == FAnimationSpeed) return;
  FAnimationSpeed = speed;
  FPainters.LockList();
  if (FDrawPainter != nullptr) FDrawPainter->SetAnimationSpeed(speed);
  FPainters.UnlockList();
}

bool TGIFImage::GetDoDither() const {
  return FDrawOptions.Contains(goDither) && (!FDrawOptions.Contains(goAutoDither) || DoAutoDither);
}

void TGIFImage::Warning(TObject* sender, TGIFSeverity severity, const std::string& message) {
  if (OnWarning) OnWarning(sender, severity, message);
}

void TGIFImage::SaveToStream(TStream& stream) {
  ReportProgress(this, TProgressStage::psStarting, 0, false, kSaving);
  try {
    FHeader->SaveToStream(stream);
    const int count = FImages->GetCount();
    for (int i = 0; i < count; ++i) {
      FImages->GetImage(i)->SaveToStream(stream);
      ReportProgress(FImages.get(), TProgressStage::psRunning, (i + 1) * 100 / count, false,
                     kSaving);
    }
    TGIFTrailer(this).SaveToStream(stream);
  } catch (...) {
    ReportProgress(this, TProgressStage::psEnding, 0, true, kSaving);
    throw;
  }
  ReportProgress(this, TProgressStage::psEnding, 100, true, kSaving);
}

void TGIFImage::LoadFromStream(TStream& stream) {
  TGIFReader reader(stream);
  LoadFromReader(reader);
  reader.Finish();
}

void TGIFImage::LoadFromReader(TGIFReader& reader) {
  Clear();
  ReportProgress(this, TProgressStage::psStarting, 0, false, kLoading);
  FLoadedPixels = 0;
  FLoading = true;
  try {
    FHeader->LoadFromReader(reader);
    FImages->LoadFromReader(reader, this);
    TGIFTrailer(this).LoadFromReader(reader);
  } catch (...) {
    FLoading = false;
    ReportProgress(this, TProgressStage::psEnding, 0, true, kLoading);
    throw;
  }
  FLoading = false;
  ReportProgress(this, TProgressStage::psEnding, 100, true, kLoading);
}

void TGIFImage::ReservePixels(std::int64_t pixels) {
  if (!FLoading) return;
  if (FLoadedPixels + pixels > MaxGIFTotalPixels)
    throw ETooLargeAs<GIFException>("MaxGIFTotalPixels", MaxGIFTotalPixels, sImageTooLarge);
  FLoadedPixels += pixels;
}

}  // namespace tavkit

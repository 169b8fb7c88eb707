// A frame of the GIF document: its pixels, bounds and colours, copies of other
// frames, and its stream form (descriptor, local colour table and image
// data through the LZW coders). Rendering and drawing the frame are in
// GIFSubImageDrawing.cpp, making a frame of a bitmap in GIFSubImageImport.cpp.
#include <tavkit/gif/GIFSubImage.h>

#include <cstring>
#include <vector>

#include <tavkit/gif/GIFImage.h>
#include <tavkit/gif/detail/GIFDecoder.h>
#include <tavkit/gif/detail/GIFLZW.h>
#include <tavkit/gif/detail/GIFStream.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/DecodeBudget.h>

namespace tavkit {

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
  TDecodeBudget::Take<GIFException>(pixels, sFrameTooLarge);
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

void TGIFSubImage::Progress(TProgressStage stage, int percent, bool redrawNow,
                            const std::string& message) {
  if (FImage) FImage->ReportProgress(this, stage, percent, redrawNow, message);
}

}  // namespace tavkit

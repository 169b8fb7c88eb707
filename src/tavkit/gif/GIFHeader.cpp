// The head of a GIF file in the stream format: signature, version, logical
// screen descriptor and global colour table. The version written is the
// oldest one that can hold everything in the image.
#include <tavkit/gif/GIFHeader.h>

#include <cctype>
#include <cstring>

#include <tavkit/gif/GIFImage.h>
#include <tavkit/gif/detail/GIFStream.h>
#include <tavkit/platform/base/Streams.h>

namespace tavkit {

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

}  // namespace tavkit

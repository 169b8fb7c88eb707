// Reading and writing of the extension blocks, and their registries.
#include <tavkit/gif/GIFExtensions.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include <tavkit/gif/GIFSubImage.h>
#include <tavkit/gif/detail/GIFStream.h>

namespace tavkit {

namespace {

template <class T>
TGIFExtension* Make(TGIFSubImage* subImage) {
  return new T(subImage);
}

std::vector<std::pair<std::uint8_t, const TGIFExtensionClass*>>& ExtensionRegistry() {
  static std::vector<std::pair<std::uint8_t, const TGIFExtensionClass*>> registry = {
      {0x01, &TGIFTextExtension::Class()},
      {0xF9, &TGIFGraphicControlExtension::Class()},
      {0xFE, &TGIFCommentExtension::Class()},
      {0xFF, &TGIFApplicationExtension::Class()},
  };
  return registry;
}

using TIdentifier = std::array<std::uint8_t, 11>;

TIdentifier MakeIdentifier(const std::string& text) {
  TIdentifier identifier{};
  std::memcpy(identifier.data(), text.data(), std::min(text.size(), identifier.size()));
  return identifier;
}

std::vector<std::pair<TIdentifier, const TGIFExtensionClass*>>& ApplicationRegistry() {
  static std::vector<std::pair<TIdentifier, const TGIFExtensionClass*>> registry = {
      {MakeIdentifier("NETSCAPE2.0"), &TGIFAppExtNSLoop::Class()},
      {MakeIdentifier("ANIMEXTS1.0"), &TGIFAppExtNSLoop::Class()},
  };
  return registry;
}

}  // namespace

void WriteGIFLines(TStream& stream, const TStrings& lines) {
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string& line = lines.Get(i);
    for (std::size_t at = 0; at < line.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, line.size() - at);
      stream.WriteByte(static_cast<std::uint8_t>(n));
      stream.WriteBuffer(line.data() + at, static_cast<std::int64_t>(n));
    }
  }
  stream.WriteByte(0);
}

void ReadGIFLines(TGIFReader& reader, TStrings& lines) {
  lines.Clear();
  for (int length = reader.ReadByte(); length > 0; length = reader.ReadByte()) {
    std::string line(static_cast<std::size_t>(length), '\0');
    reader.ReadBuffer(line.data(), line.size());
    lines.Add(line);
  }
}

TGIFExtension::TGIFExtension(TGIFSubImage* subImage)
    : TGIFItem(subImage ? subImage->GetImage() : nullptr), FSubImage(subImage) {}

void TGIFExtension::SaveToStream(TStream& stream) {
  const std::uint8_t introducer[2] = {0x21, GetExtensionType()};
  stream.WriteBuffer(introducer, 2);
  WriteBody(stream);
}

void TGIFExtension::LoadFromReader(TGIFReader& reader) {
  std::uint8_t introducer[2];
  reader.ReadBuffer(introducer, 2);
  if (introducer[0] != 0x21) throw GIFException(sInvalidExtensionIntroducer);
  if (introducer[1] != GetExtensionType()) throw GIFException(sExtensionLabelMismatch);
  ReadBody(reader);
}

void TGIFExtension::RegisterExtension(std::uint8_t label,
                                      const TGIFExtensionClass& extensionClass) {
  ExtensionRegistry().emplace_back(label, &extensionClass);
}

const TGIFExtensionClass* TGIFExtension::FindExtension(TStream& stream) {
  TGIFReader reader(stream);
  return FindExtension(reader);
}

const TGIFExtensionClass* TGIFExtension::FindExtension(TGIFReader& reader) {
  const std::size_t start = reader.Position();
  const int label = reader.ReadByte();
  const TGIFExtensionClass* found = nullptr;
  if (label >= 0) {
    const auto& registry = ExtensionRegistry();
    for (auto it = registry.rbegin(); it != registry.rend(); ++it) {
      if (it->first != label) continue;
      found = it->second;
      break;
    }
  }
  // Ask for ever more specific classes until one answers for itself. Every
  // step reads from just behind the label.
  while (found != nullptr) {
    const std::size_t behindLabel = reader.Position();
    const TGIFExtensionClass* sub = found->FindSubExtension(*found, reader);
    reader.SetPosition(behindLabel);
    if (sub == found) break;
    found = sub;
  }
  reader.SetPosition(start);
  return found;
}

const TGIFExtensionClass* TGIFExtension::FindSubExtension(const TGIFExtensionClass& self,
                                                          TGIFReader&) {
  return &self;
}

// Graphic control

const TGIFExtensionClass& TGIFGraphicControlExtension::Class() {
  static const TGIFExtensionClass cls{"TGIFGraphicControlExtension", 0xF9,
                                      Make<TGIFGraphicControlExtension>,
                                      TGIFExtension::FindSubExtension};
  return cls;
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* subImage)
    : TGIFExtension(subImage) {
  if (FSubImage && FSubImage->FGCE == nullptr) FSubImage->FGCE = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  if (!FSubImage) return;
  if (GetTransparent()) FSubImage->FTransparent = false;
  if (FSubImage->FGCE == this) FSubImage->FGCE = nullptr;
  FSubImage->FreeMask();
}

void TGIFGraphicControlExtension::SetTransparent(bool transparent) {
  FPacked = static_cast<std::uint8_t>(transparent ? FPacked | 0x01 : FPacked & ~0x01);
  if (!FSubImage) return;
  FSubImage->FTransparent = transparent;
  FSubImage->FreeMask();
}

void TGIFGraphicControlExtension::SetUserInput(bool userInput) {
  FPacked = static_cast<std::uint8_t>(userInput ? FPacked | 0x02 : FPacked & ~0x02);
}

void TGIFGraphicControlExtension::SetDisposal(int disposal) {
  FPacked = static_cast<std::uint8_t>((FPacked & ~0x1C) | ((disposal & 0x07) << 2));
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int index) {
  if (FSubImage) {
    TGIFColorMap& map = FSubImage->GetActiveColorMap();
    if (map.GetCount() > 0 && (index < 0 || index >= map.GetCount())) {
      Warning(gsWarning, sInvalidColorIndex);
      index = 0;
    }
  }
  FTransparentColorIndex = static_cast<std::uint8_t>(index);
  if (FSubImage) FSubImage->FreeMask();
}

TColor TGIFGraphicControlExtension::GetTransparentColor() {
  if (!FSubImage) return clBlack;
  return FSubImage->GetActiveColorMap().GetColor(FTransparentColorIndex);
}

void TGIFGraphicControlExtension::SetTransparentColor(TColor color) {
  if (!FSubImage) return;
  TGIFColorMap& map = FSubImage->GetActiveColorMap();
  int index = map.IndexOf(color);
  if (index < 0) index = map.Add(color);
  FTransparentColorIndex = static_cast<std::uint8_t>(index);
  FSubImage->FreeMask();
}

void TGIFGraphicControlExtension::WriteBody(TStream& stream) {
  std::uint8_t record[6] = {FBlockSize, FPacked, 0, 0, FTransparentColorIndex, FTerminator};
  PutWord(record + 2, FDelay);
  stream.WriteBuffer(record, sizeof(record));
}

void TGIFGraphicControlExtension::ReadBody(TGIFReader& reader) {
  std::uint8_t record[6];
  reader.ReadBuffer(record, sizeof(record));
  FBlockSize = record[0];
  FPacked = record[1];
  FDelay = GetWord(record + 2);
  FTransparentColorIndex = record[4];
  FTerminator = record[5];
  if (GetTransparent() && FSubImage) {
    FSubImage->FTransparent = true;
    FSubImage->FreeMask();
  }
}

// Plain text

const TGIFExtensionClass& TGIFTextExtension::Class() {
  static const TGIFExtensionClass cls{"TGIFTextExtension", 0x01, Make<TGIFTextExtension>,
                                      TGIFExtension::FindSubExtension};
  return cls;
}

int TGIFTextExtension::GetBounds(int index) const {
  switch (index) {
    case 1:
      return FLeft;
    case 2:
      return FTop;
    case 3:
      return FWidth;
    case 4:
      return FHeight;
    default:
      return 0;
  }
}

void TGIFTextExtension::SetBounds(int index, int value) {
  const auto word = static_cast<std::uint16_t>(value);
  switch (index) {
    case 1:
      FLeft = word;
      break;
    case 2:
      FTop = word;
      break;
    case 3:
      FWidth = word;
      break;
    case 4:
      FHeight = word;
      break;
    default:
      break;
  }
}

int TGIFTextExtension::GetCharWidthHeight(int index) const {
  return index == 1 ? FCharWidth : index == 2 ? FCharHeight : 0;
}

void TGIFTextExtension::SetCharWidthHeight(int index, int value) {
  if (index == 1) FCharWidth = static_cast<std::uint8_t>(value);
  if (index == 2) FCharHeight = static_cast<std::uint8_t>(value);
}

int TGIFTextExtension::GetColorIndex(int index) const {
  return index == 1 ? FForegroundColorIndex : index == 2 ? FBackgroundColorIndex : 0;
}

void TGIFTextExtension::SetColorIndex(int index, int value) {
  if (index == 1) FForegroundColorIndex = static_cast<std::uint8_t>(value);
  if (index == 2) FBackgroundColorIndex = static_cast<std::uint8_t>(value);
}

int TGIFTextExtension::ColorIndexOf(TColor color) {
  TGIFColorMap& map = FSubImage->GetActiveColorMap();
  int index = map.IndexOf(color);
  return index >= 0 ? index : map.Add(color);
}

TColor TGIFTextExtension::GetForegroundColor() {
  return FSubImage ? FSubImage->GetActiveColorMap().GetColor(FForegroundColorIndex) : clBlack;
}

void TGIFTextExtension::SetForegroundColor(TColor color) {
  if (FSubImage) FForegroundColorIndex = static_cast<std::uint8_t>(ColorIndexOf(color));
}

TColor TGIFTextExtension::GetBackgroundColor() {
  return FSubImage ? FSubImage->GetActiveColorMap().GetColor(FBackgroundColorIndex) : clBlack;
}

void TGIFTextExtension::SetBackgroundColor(TColor color) {
  if (FSubImage) FBackgroundColorIndex = static_cast<std::uint8_t>(ColorIndexOf(color));
}

void TGIFTextExtension::WriteBody(TStream& stream) {
  std::uint8_t record[13] = {FBlockSize};
  PutWord(record + 1, FLeft);
  PutWord(record + 3, FTop);
  PutWord(record + 5, FWidth);
  PutWord(record + 7, FHeight);
  record[9] = FCharWidth;
  record[10] = FCharHeight;
  record[11] = FForegroundColorIndex;
  record[12] = FBackgroundColorIndex;
  stream.WriteBuffer(record, sizeof(record));
  WriteGIFLines(stream, FLines);
}

void TGIFTextExtension::ReadBody(TGIFReader& reader) {
  std::uint8_t record[13];
  reader.ReadBuffer(record, sizeof(record));
  FBlockSize = record[0];
  FLeft = GetWord(record + 1);
  FTop = GetWord(record + 3);
  FWidth = GetWord(record + 5);
  FHeight = GetWord(record + 7);
  FCharWidth = record[9];
  FCharHeight = record[10];
  FForegroundColorIndex = record[11];
  FBackgroundColorIndex = record[12];
  ReadGIFLines(reader, FLines);
}

// Comment

const TGIFExtensionClass& TGIFCommentExtension::Class() {
  static const TGIFExtensionClass cls{"TGIFCommentExtension", 0xFE, Make<TGIFCommentExtension>,
                                      TGIFExtension::FindSubExtension};
  return cls;
}

void TGIFCommentExtension::WriteBody(TStream& stream) {
  WriteGIFLines(stream, FLines);
}

void TGIFCommentExtension::ReadBody(TGIFReader& reader) {
  ReadGIFLines(reader, FLines);
}

// Application extensions

// Instances of this class itself are made only for blocks whose size byte
// is neither 10 nor 11, which the reader then refuses; an unknown
// application extension stands in for the abstract class.
const TGIFExtensionClass& TGIFApplicationExtension::Class() {
  static const TGIFExtensionClass cls{"TGIFApplicationExtension", 0xFF,
                                      Make<TGIFUnknownAppExtension>,
                                      TGIFApplicationExtension::FindSubExtension};
  return cls;
}

std::string TGIFApplicationExtension::GetIdentifierText() const {
  std::string text(11, '\0');
  std::memcpy(text.data(), FIdentifier.Identifier, 8);
  std::memcpy(text.data() + 8, FIdentifier.Authentication, 3);
  return text;
}

void TGIFApplicationExtension::SetIdentifierText(const std::string& text) {
  const TIdentifier bytes = MakeIdentifier(text);
  std::memcpy(FIdentifier.Identifier, bytes.data(), 8);
  std::memcpy(FIdentifier.Authentication, bytes.data() + 8, 3);
}

void TGIFApplicationExtension::RegisterExtension(const std::string& identifier,
                                                 const TGIFExtensionClass& extensionClass) {
  ApplicationRegistry().emplace_back(MakeIdentifier(identifier), &extensionClass);
}

const TGIFExtensionClass* TGIFApplicationExtension::FindSubExtension(const TGIFExtensionClass& self,
                                                                     TGIFReader& reader) {
  const int blockSize = reader.ReadByte();
  TIdentifier identifier{};
  if (blockSize == 10)
    return reader.TryRead(identifier.data(), 10) ? &TGIFUnknownAppExtension::Class() : nullptr;
  if (blockSize != 11) return &self;
  if (!reader.TryRead(identifier.data(), 11)) return &TGIFUnknownAppExtension::Class();
  const auto& registry = ApplicationRegistry();
  for (auto it = registry.rbegin(); it != registry.rend(); ++it)
    if (it->first == identifier) return it->second;
  return &TGIFUnknownAppExtension::Class();
}

void TGIFApplicationExtension::WriteBody(TStream& stream) {
  stream.WriteByte(11);
  stream.WriteBuffer(FIdentifier.Identifier, 8);
  stream.WriteBuffer(FIdentifier.Authentication, 3);
  SaveData(stream);
}

void TGIFApplicationExtension::ReadBody(TGIFReader& reader) {
  const int blockSize = reader.ReadByte();
  if (blockSize < 0) throw GIFException(sPrematureEnd);
  if (blockSize != 10 && blockSize != 11) throw GIFException(sUnsupportedAppBlockSize);
  std::uint8_t bytes[11] = {};
  reader.ReadBuffer(bytes, static_cast<std::size_t>(blockSize));
  std::memcpy(FIdentifier.Identifier, bytes, 8);
  std::memcpy(FIdentifier.Authentication, bytes + 8, 3);
  LoadData(reader);
}

TGIFBlock::TGIFBlock(const std::uint8_t* bytes, std::uint8_t length) : FLength(length) {
  std::memcpy(FBytes, bytes, length);
}

void TGIFBlock::SaveToStream(TStream& stream) const {
  stream.WriteByte(FLength);
  stream.WriteBuffer(FBytes, FLength);
}

void TGIFBlock::LoadFromReader(TGIFReader& reader) {
  const int length = reader.ReadByte();
  if (length < 0) throw GIFException(sPrematureEnd);
  FLength = static_cast<std::uint8_t>(length);
  reader.ReadBuffer(FBytes, FLength);
}

TGIFUnknownAppExtension::TGIFUnknownAppExtension(TGIFSubImage* subImage)
    : TGIFApplicationExtension(subImage) {}

const TGIFExtensionClass& TGIFUnknownAppExtension::Class() {
  static const TGIFExtensionClass cls{"TGIFUnknownAppExtension", 0xFF,
                                      Make<TGIFUnknownAppExtension>,
                                      TGIFExtension::FindSubExtension};
  return cls;
}

const TGIFBlock& TGIFUnknownAppExtension::GetSubBlock(int index) const {
  if (index < 0 || index >= GetSubBlockCount()) ListIndexError(index);
  return *FSubBlocks[static_cast<std::size_t>(index)];
}

void TGIFUnknownAppExtension::AddSubBlock(const std::uint8_t* bytes, std::uint8_t length) {
  FSubBlocks.push_back(std::make_unique<TGIFBlock>(bytes, length));
}

void TGIFUnknownAppExtension::SaveData(TStream& stream) {
  for (const auto& block : FSubBlocks) block->SaveToStream(stream);
  stream.WriteByte(0);
}

void TGIFUnknownAppExtension::LoadData(TGIFReader& reader) {
  FSubBlocks.clear();
  for (;;) {
    const int length = reader.ReadByte();
    if (length <= 0) return;
    reader.Back();
    auto block = std::make_unique<TGIFBlock>();
    block->LoadFromReader(reader);
    FSubBlocks.push_back(std::move(block));
  }
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* subImage) : TGIFApplicationExtension(subImage) {
  SetIdentifierText("NETSCAPE2.0");
}

const TGIFExtensionClass& TGIFAppExtNSLoop::Class() {
  static const TGIFExtensionClass cls{"TGIFAppExtNSLoop", 0xFF, Make<TGIFAppExtNSLoop>,
                                      TGIFExtension::FindSubExtension};
  return cls;
}

void TGIFAppExtNSLoop::SaveData(TStream& stream) {
  std::uint8_t data[5] = {3, 1, 0, 0, 0};
  PutWord(data + 2, FLoopCount);
  stream.WriteBuffer(data, sizeof(data));
}

namespace {

// Reads one byte that must have the given value.
void Expect(TGIFReader& reader, std::uint8_t value) {
  std::uint8_t byte;
  reader.ReadBuffer(&byte, 1);
  if (byte != value) throw GIFException(sInvalidGIFData);
}

}  // namespace

// The block is checked byte by byte, so that a wrong byte is reported as
// such even when the data ends soon after it.
void TGIFAppExtNSLoop::LoadData(TGIFReader& reader) {
  Expect(reader, 3);
  Expect(reader, 1);
  std::uint8_t count[2];
  reader.ReadBuffer(count, sizeof(count));
  Expect(reader, 0);
  FLoopCount = GetWord(count);
}

}  // namespace tavkit

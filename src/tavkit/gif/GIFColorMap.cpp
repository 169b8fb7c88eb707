// Colour map editing, reordering by use, conversion to and from palettes
// and the colour table layout on file.
#include <tavkit/gif/GIFColorMap.h>

#include <algorithm>
#include <cstring>

#include <tavkit/gif/GIFExtensions.h>
#include <tavkit/gif/GIFHeader.h>
#include <tavkit/gif/GIFImage.h>
#include <tavkit/gif/GIFSubImage.h>
#include <tavkit/gif/detail/GIFStream.h>
#include <tavkit/platform/base/Streams.h>

namespace tavkit {

void TGIFColorMap::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TGIFColorMap*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  FEntries.assign(other->FEntries.size(), TGIFColor{});
  std::copy_n(other->FEntries.begin(), other->FCount, FEntries.begin());
  FCount = other->FCount;
  FSorted = other->FSorted;
  Changed();
}

TGIFColor TGIFColorMap::Color2RGB(TColor color) {
  return TGIFColor{GetRValue(color), GetGValue(color), GetBValue(color)};
}

TColor TGIFColorMap::RGB2Color(const TGIFColor& rgb) {
  return RGB(rgb.Red, rgb.Green, rgb.Blue) & 0xFFFFFF;
}

void TGIFColorMap::Clear() {
  FEntries.clear();
  FEntries.shrink_to_fit();
  FCount = 0;
  FSorted = false;
}

int TGIFColorMap::IndexOf(TColor color) const {
  const TGIFColor rgb = Color2RGB(color);
  if (FSorted) {
    for (int i = 0; i < FCount; ++i)
      if (FEntries[static_cast<std::size_t>(i)] == rgb) return i;
    return -1;
  }
  for (int i = FCount - 1; i >= 0; --i)
    if (FEntries[static_cast<std::size_t>(i)] == rgb) return i;
  return -1;
}

int TGIFColorMap::Add(TColor color) {
  const int existing = IndexOf(color);
  if (existing >= 0) return existing;
  return Append(color);
}

int TGIFColorMap::Append(TColor color) {
  if (FCount > 255) throw GIFException(sColorTableOverflow);
  if (FCount + 1 > GetCapacity()) SetCapacity(FCount + 1);
  FEntries[static_cast<std::size_t>(FCount)] = Color2RGB(color);
  ++FCount;
  FSorted = false;
  Changed();
  return FCount - 1;
}

void TGIFColorMap::Delete(int index) {
  if (index < 0 || index >= FCount) throw GIFException(sInvalidColorIndex);
  std::copy(FEntries.begin() + index + 1, FEntries.begin() + FCount, FEntries.begin() + index);
  --FCount;
  FSorted = false;
  Changed();
}

TColor TGIFColorMap::GetColor(int index) {
  if (index < 0 || index >= FCount) {
    Warning(gsWarning, sInvalidColorIndex);
    return clBlack;
  }
  return RGB2Color(FEntries[static_cast<std::size_t>(index)]);
}

void TGIFColorMap::SetColor(int index, TColor color) {
  if (index < 0 || index >= FCount) throw GIFException(sInvalidColorIndex);
  FEntries[static_cast<std::size_t>(index)] = Color2RGB(color);
  Changed();
}

void TGIFColorMap::SetCapacity(int n) {
  if (n < GetCapacity()) return;
  int capacity = n <= 16 ? 16 : (n + 31) / 32 * 32;
  FEntries.resize(static_cast<std::size_t>(std::min(capacity, 256)));
}

int TGIFColorMap::GetBitsPerPixel() const {
  if (FCount == 0) return 0;
  int bits = 1;
  while (bits < 8 && (1 << bits) < FCount) ++bits;
  return bits;
}

namespace {

struct TUsage {
  int Index;
  std::size_t Uses;
};

// Sorts by use, most used first. The order among equal counts is part of
// what callers see (it decides the new colour indices), so it is always
// this procedure's.
void SortByUse(std::vector<TUsage>& records, int left, int right) {
  int i = left;
  do {
    i = left;
    int j = right;
    const std::size_t pivot = records[static_cast<std::size_t>((left + right) / 2)].Uses;
    do {
      while (records[static_cast<std::size_t>(i)].Uses > pivot) ++i;
      while (records[static_cast<std::size_t>(j)].Uses < pivot) --j;
      if (i <= j) {
        std::swap(records[static_cast<std::size_t>(i)], records[static_cast<std::size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j) SortByUse(records, left, j);
    left = i;
  } while (i < right);
}

}  // namespace

bool TGIFColorMap::DoOptimize(TGIFSubImage* subImage, bool canDelete) {
  if (FCount <= 1) return false;
  FSorted = true;
  std::vector<TUsage> records(static_cast<std::size_t>(FCount));
  for (int i = 0; i < FCount; ++i) records[static_cast<std::size_t>(i)] = {i, 0};
  std::uint8_t* data = subImage ? subImage->GetData() : nullptr;
  const std::size_t size = data ? subImage->GetDataSize() : 0;
  // Pixels whose index lies beyond the map count for no colour.
  for (std::size_t p = 0; p < size; ++p)
    if (data[p] < FCount) ++records[data[p]].Uses;
  SortByUse(records, 0, FCount - 1);

  bool moved = false;
  for (int i = 0; i < FCount; ++i) moved |= records[static_cast<std::size_t>(i)].Index != i;
  if (!moved) return true;

  std::uint8_t newIndex[256];
  for (int i = 0; i < 256; ++i) newIndex[i] = static_cast<std::uint8_t>(i);
  for (int j = 0; j < FCount; ++j)
    newIndex[records[static_cast<std::size_t>(j)].Index] = static_cast<std::uint8_t>(j);
  for (std::size_t p = 0; p < size; ++p) data[p] = newIndex[data[p]];
  if (subImage && subImage->GetTransparent() && subImage->GetGraphicControlExtension()) {
    auto* gce = subImage->GetGraphicControlExtension();
    gce->SetTransparentColorIndex(newIndex[gce->GetTransparentColorIndex()]);
  }

  std::vector<TGIFColor> entries(FEntries);
  for (int k = 0; k < FCount; ++k) FEntries[newIndex[k]] = entries[static_cast<std::size_t>(k)];
  if (canDelete) {
    for (int j = 0; j < FCount; ++j) {
      if (records[static_cast<std::size_t>(j)].Uses != 0) continue;
      FCount = j;
      break;
    }
  }
  Changed();
  return true;
}

void TGIFColorMap::ImportPalette(const TPalette& palette) {
  Clear();
  const int count = static_cast<int>(std::min<std::size_t>(palette.size(), 256));
  if (count == 0) return;
  SetCapacity(count);
  for (int i = 0; i < count; ++i) {
    const TPaletteEntry& e = palette[static_cast<std::size_t>(i)];
    FEntries[static_cast<std::size_t>(i)] = TGIFColor{e.peRed, e.peGreen, e.peBlue};
  }
  FCount = count;
  Changed();
}

void TGIFColorMap::ImportColorTable(const void* table, int count) {
  Clear();
  count = std::min(count, 256);
  if (count <= 0) return;
  SetCapacity(count);
  const auto* quads = static_cast<const std::uint8_t*>(table);
  for (int i = 0; i < count; ++i, quads += 4)
    FEntries[static_cast<std::size_t>(i)] = TGIFColor{quads[2], quads[1], quads[0]};
  FCount = count;
  Changed();
}

void TGIFColorMap::ImportDIBColors(const TBitmap& bitmap) {
  ImportPalette(bitmap.GetPalette());
  Changed();
}

TPalette TGIFColorMap::ExportPalette() const {
  TPalette palette(static_cast<std::size_t>(FCount));
  for (int i = 0; i < FCount; ++i) {
    const TGIFColor& c = FEntries[static_cast<std::size_t>(i)];
    palette[static_cast<std::size_t>(i)] = TPaletteEntry{c.Red, c.Green, c.Blue, 0};
  }
  return palette;
}

void TGIFColorMap::SaveToStream(TStream& stream) const {
  if (FCount == 0) return;
  std::vector<std::uint8_t> table(3u << GetBitsPerPixel(), 0);
  std::memcpy(table.data(), FEntries.data(), 3 * static_cast<std::size_t>(FCount));
  stream.WriteBuffer(table.data(), static_cast<std::int64_t>(table.size()));
}

void TGIFColorMap::LoadFromStream(TStream& stream, int count) {
  TGIFReader reader(stream);
  LoadFromReader(reader, count);
  reader.Finish();
}

void TGIFColorMap::LoadFromReader(TGIFReader& reader, int count) {
  Clear();
  count = std::clamp(count, 0, 256);
  SetCapacity(count);
  reader.ReadBuffer(FEntries.data(), 3 * static_cast<std::size_t>(count));
  FCount = count;
}

void TGIFGlobalColorMap::Warning(TGIFSeverity severity, const std::string& message) {
  if (TGIFImage* image = FHeader->GetImage()) image->Warning(this, severity, message);
}

bool TGIFGlobalColorMap::Optimize() {
  TGIFImage* image = FHeader->GetImage();
  if (image == nullptr || image->GetImages().GetCount() == 0) return false;
  return DoOptimize(image->GetImages().GetImage(0), image->GetImages().GetCount() == 1);
}

void TGIFGlobalColorMap::Changed() {
  if (TGIFImage* image = FHeader->GetImage()) image->SetPalette(TPalette{});
}

void TGIFLocalColorMap::Warning(TGIFSeverity severity, const std::string& message) {
  if (TGIFImage* image = FSubImage->GetImage()) image->Warning(this, severity, message);
}

bool TGIFLocalColorMap::Optimize() {
  return DoOptimize(FSubImage, true);
}

void TGIFLocalColorMap::Changed() {
  FSubImage->SetPalette(TPalette{});
}

}  // namespace tavkit

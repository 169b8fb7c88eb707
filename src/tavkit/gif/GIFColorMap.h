// Colour maps of a GIF document: up to 256 red-green-blue triples, kept in
// a block that only grows. The global map belongs to the logical screen,
// each frame may have a local one; the two kinds differ only in whom they
// report warnings and changes to.
//
// ```cpp
// TGIFImage gif;
// gif.LoadFromFile("logo.gif");
// TGIFColorMap& global = gif.GetColorMap();
// int white = global.IndexOf(clWhite);        // -1 when there is none
// TGIFSubImage& frame = *gif.GetImages().GetImage(0);
// TGIFColorMap& colours = frame.GetActiveColorMap();  // its own, else the global map
// TColor first = colours.GetColor(0);
// ```
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tavkit/gif/GIFTypes.h>
#include <tavkit/platform/base/Types.h>
#include <tavkit/platform/graphics/Bitmap.h>

namespace tavkit {

class TGIFHeader;
class TGIFReader;
class TGIFSubImage;
class TStream;

struct TGIFColor {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
  friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};
static_assert(sizeof(TGIFColor) == 3, "colour tables are read and written as packed triples");

class TGIFColorMap : public TPersistent {
 public:
  TGIFColorMap() = default;

  // From another colour map: capacity, count, sort flag and colours.
  void Assign(const TPersistent* source) override;

  virtual void Warning(TGIFSeverity severity, const std::string& message) = 0;
  // Reorders the colours by use (see DoOptimize); answers whether it did.
  virtual bool Optimize() = 0;
  // Called after every change of the colours.
  virtual void Changed() = 0;

  static TGIFColor Color2RGB(TColor color);
  static TColor RGB2Color(const TGIFColor& rgb);

  void Clear();
  // The index of an exact match: the first one in a sorted map, the last one
  // otherwise; -1 when there is none.
  int IndexOf(TColor color) const;
  // The index of color, appended when it is not there yet.
  int Add(TColor color);
  // Appends a colour the caller knows is not in the map yet, sparing the
  // search; raises "Color table overflow" when the map holds 256 already.
  int Append(TColor color);
  void Delete(int index);
  // An index outside the map is warned about and answers black.
  TColor GetColor(int index);
  void SetColor(int index, TColor color);

  int GetCapacity() const { return static_cast<int>(FEntries.size()); }
  // Grows the block to hold n colours (16, or a multiple of 32, at most 256).
  void SetCapacity(int n);
  int GetCount() const { return FCount; }
  bool GetSorted() const { return FSorted; }
  void SetSorted(bool sorted) { FSorted = sorted; }
  const TGIFColor* GetEntries() const { return FEntries.data(); }
  // 0 for an empty map, else the smallest n with 2^n >= Count.
  int GetBitsPerPixel() const;

  // Puts the colours subImage uses most first, rewriting its pixels (and
  // its transparent index) to match; with canDelete the unused colours are
  // dropped. Answers false only for maps of at most one colour.
  bool DoOptimize(TGIFSubImage* subImage, bool canDelete);

  void ImportPalette(const TPalette& palette);
  // count entries of four bytes each: blue, green, red, reserved.
  void ImportColorTable(const void* table, int count);
  void ImportDIBColors(const TBitmap& bitmap);
  TPalette ExportPalette() const;

  // The colours, then black up to the next power of two.
  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream, int count);
  void LoadFromReader(TGIFReader& reader, int count);

 private:
  std::vector<TGIFColor> FEntries;  // Capacity triples
  int FCount = 0;
  bool FSorted = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
 public:
  explicit TGIFGlobalColorMap(TGIFHeader* header) : FHeader(header) {}
  void Warning(TGIFSeverity severity, const std::string& message) override;
  bool Optimize() override;
  void Changed() override;

 private:
  TGIFHeader* FHeader;
};

class TGIFLocalColorMap : public TGIFColorMap {
 public:
  explicit TGIFLocalColorMap(TGIFSubImage* subImage) : FSubImage(subImage) {}
  void Warning(TGIFSeverity severity, const std::string& message) override;
  bool Optimize() override;
  void Changed() override;

 private:
  TGIFSubImage* FSubImage;
};

}  // namespace tavkit

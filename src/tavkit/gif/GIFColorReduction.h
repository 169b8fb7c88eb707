// Colour reduction: how a bitmap of more than 256 colours becomes an 8-bit
// picture a GIF frame can hold. Every pixel is mapped onto a palette, either
// the 216-colour web cube or one an octree quantizer builds from the picture,
// by nearest colour or with Floyd-Steinberg error diffusion. Frames take
// bitmaps through it (GIFSubImageImport.cpp).
//
// ```cpp
// TBitmap photo;
// photo.LoadFromFile("photo.bmp");            // 24 bits per pixel
// std::unique_ptr<TBitmap> cube = ReduceColors(photo, rmNetscape, dmNearest);
// std::unique_ptr<TBitmap> own = ReduceColors(photo, rmQuantize, dmFloydSteinberg);
// TGIFImage gif;
// gif.SetColorReduction(rmQuantize);          // how Add reduces a bitmap of many colours
// gif.SetDitherMode(dmFloydSteinberg);
// gif.Add(&photo);
// ```
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <tavkit/gif/GIFColorMap.h>
#include <tavkit/gif/GIFTypes.h>
#include <tavkit/platform/graphics/Bitmap.h>

namespace tavkit {

// The web cube: entry r * 36 + g * 6 + b has the components r * 51, g * 51
// and b * 51, for r, g and b in 0..5.
TPalette WebPalette();

// The twenty colours every 256-colour display keeps for itself, ten at each
// end of its palette; a quantized palette reserves the same places for them.
extern const std::array<TPaletteEntry, 20> StaticPaletteColors;

// Maps a colour onto one of a palette's entries.
class TColorLookup {
 public:
  explicit TColorLookup(int colors) : FColors(colors) {}
  virtual ~TColorLookup() = default;

  // How many palette colours the lookup can answer with.
  int GetColors() const { return FColors; }
  // The index of the entry chosen for the colour; chosen receives its colour.
  virtual int Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                     TGIFColor& chosen) = 0;

 protected:
  int FColors;
};

// The web cube, by arithmetic: each component is rounded to the nearest of
// its six levels.
class TNetscapeColorLookup : public TColorLookup {
 public:
  TNetscapeColorLookup() : TColorLookup(216) {}
  int Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue, TGIFColor& chosen) override;
};

// Any palette of up to 256 entries. The nearest entry (smallest sum of the
// component differences, the lowest index on ties) is searched once per
// 15-bit colour and remembered: every colour of the same 15-bit cell gets
// the answer found first. A cell that holds a palette colour answers the
// lowest such entry from the start.
class TFastColorLookup : public TColorLookup {
 public:
  explicit TFastColorLookup(const TPalette& palette);
  int Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue, TGIFColor& chosen) override;

 private:
  static int Slot(int red, int green, int blue) {
    return (red >> 3) | ((green >> 3) << 5) | ((blue >> 3) << 10);
  }

  TPalette FEntries;
  std::vector<std::uint16_t> FCache;  // 32768 slots, 0xFFFF = not yet known
};

// Walks an image's rows in serpentine order, left to right first and then
// alternating, and maps each pixel through a lookup. The plain engine takes
// the nearest colour; a subclass may spread the error of each choice.
class TDitherEngine {
 public:
  TDitherEngine(TColorLookup& lookup, int width) : FLookup(lookup), FWidth(width) {}
  virtual ~TDitherEngine() = default;

  // The index for the pixel at the current position; moves on by one step.
  virtual int Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, TGIFColor& chosen);
  // Turns round for the next row, which starts at the end this one reached.
  virtual void NextLine();

  // The column of the next pixel, and the direction of the walk (+1 or -1).
  int GetPosition() const { return FPosition; }
  int GetStep() const { return FStep; }

 protected:
  TColorLookup& FLookup;
  int FWidth;
  int FStep = 1;
  int FPosition = 0;
};

// Floyd-Steinberg error diffusion along the serpentine walk: each pixel
// passes 7/16 of its error to the next pixel of its row and 3/16, 5/16 and
// 1/16 to the pixels below it (behind, under, ahead). One row of errors per
// channel is all it keeps.
class TFloydSteinbergEngine : public TDitherEngine {
 public:
  TFloydSteinbergEngine(TColorLookup& lookup, int width);

  int Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, TGIFColor& chosen) override;
  void NextLine() override;

 private:
  // Per channel (red, green, blue): the errors for the next row, pixel x in
  // slot x + 1, and the error carried forward within the row.
  struct TChannel {
    std::vector<int> Errors;
    int Carry = 0;
    int Under = 0;
    int UnderBehind = 0;
  };
  std::array<TChannel, 3> FChannels;
  int FSlot = 0;  // the slot behind the next pixel
};

// A node of the quantizer's colour tree: a leaf sums the colours that reached
// it; an inner node has up to eight children, one per combination of the
// next bit of red, green and blue.
struct TOctreeNode {
  bool Leaf = false;
  int Pixels = 0;
  std::int64_t RedTotal = 0;
  std::int64_t GreenTotal = 0;
  std::int64_t BlueTotal = 0;
  TOctreeNode* Link = nullptr;  // next reducible node of the same level
  std::array<std::unique_ptr<TOctreeNode>, 8> Children;
};

// Octree colour quantizer: colours are sorted into a tree by their bits,
// most significant first, and whenever it has more leaves than the limit the
// most recently made node of the deepest level with inner nodes is folded
// into a leaf, so the tree stays within the limit while it reads.
class TColorQuantizer {
 public:
  explicit TColorQuantizer(int colourLimit = 236, int depth = 8);
  ~TColorQuantizer();
  TColorQuantizer(const TColorQuantizer&) = delete;
  TColorQuantizer& operator=(const TColorQuantizer&) = delete;

  void AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // Every pixel of the bitmap, bottom row first, each row left to right.
  void ProcessImage(const TBitmap& bitmap);
  int GetLeaves() const { return FLeaves; }
  // The average colour of every leaf, tree order (children 0 to 7, depth
  // first).
  std::vector<TGIFColor> GetColorTable() const;

 private:
  void Reduce();

  std::unique_ptr<TOctreeNode> FRoot;
  int FLeaves = 0;
  std::array<TOctreeNode*, 8> FReducible{};
  int FColourLimit;
  int FDepth;
};

// A palette of 256 entries for the bitmap: the static colours in entries 0
// to 9 and 246 to 255, and in between up to 236 colours quantized from the
// picture (black where it has fewer).
TPalette QuantizedPalette(const TBitmap& bitmap);

// A new 8-bit bitmap of the source's size whose pixels are the source's
// mapped onto the web palette (rmNetscape) or onto its quantized palette
// (rmQuantize), by nearest colour or with error diffusion. With rmNone the
// result is blank: no reduction is made. The source is only read.
std::unique_ptr<TBitmap> ReduceColors(const TBitmap& bitmap, TColorReduction reduction,
                                      TDitherMode dither);

}  // namespace tavkit

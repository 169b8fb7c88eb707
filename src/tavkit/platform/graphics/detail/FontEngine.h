// TFontEngine: the text service behind TCanvas. It finds a face for a font
// name with fontconfig, sizes it with FreeType so that the character cell is
// exactly the font's Height in pixels, and renders glyphs as 1-bit images so
// that text keeps exact colours in paletted bitmaps and GIF files. Faces,
// sizes and glyphs are cached; one lock guards all FreeType state, so any
// thread may measure and draw text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

// Vertical measures of a font, in pixels, relative to the top of its cell.
struct TFontMetrics {
  int Height = 0;  // ascent plus descent
  int Ascent = 0;  // rows above the baseline; the baseline is row Ascent
  int Descent = 0;
  int UnderlineTop = 0;  // first row of the underline
  int UnderlineThickness = 1;
  int StrikeOutTop = 0;  // first row of the strike-out line
  int StrikeOutThickness = 1;
};

// One glyph as a 1-bit image: rows top-down, Pitch bytes each, most
// significant bit leftmost. Left is the offset of column 0 from the pen
// position, Top the height of row 0 above the baseline.
struct TGlyphImage {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Rows = 0;
  int Pitch = 0;
  int Advance = 0;
  std::vector<std::uint8_t> Bits;
};

// The face a font resolves to, as fontconfig and FreeType name it.
struct TFaceInfo {
  std::string Family;  // "Liberation Sans"
  std::string Style;   // "Bold Italic"
  std::string FileName;
  bool SyntheticBold = false;
  bool SyntheticItalic = false;
};

// Receives the glyphs of a text in order, with the pen position of each
// (pixels from the start of the text).
using TGlyphSink = std::function<void(int penX, const TGlyphImage& glyph)>;

class TFontEngine {
 public:
  // The one engine of the process.
  static TFontEngine& Instance();
  TFontEngine(const TFontEngine&) = delete;
  TFontEngine& operator=(const TFontEngine&) = delete;
  ~TFontEngine();

  TFontMetrics GetMetrics(const TFont& font);
  // The sum of the advances of the characters (Latin-1 bytes), without kerning.
  int TextWidth(const TFont& font, std::string_view text);
  // Hands every glyph of text to sink while the engine is locked (the sink
  // must not call the engine) and returns the width of the text.
  int RenderText(const TFont& font, std::string_view text, const TGlyphSink& sink);
  TFaceInfo ResolveFace(const TFont& font);

 private:
  TFontEngine();
  class TImpl;
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace tavkit

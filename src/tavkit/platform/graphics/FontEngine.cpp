// The FreeType and fontconfig text engine. Font names go through fontconfig
// (with a few classic names mapped onto families it knows), faces are opened
// once per file, and every (face, cell height, synthetic style) gets a size
// record whose glyphs are rendered on first use and kept. Everything that
// touches FreeType or fontconfig runs under one mutex.
#include <tavkit/platform/graphics/detail/FontEngine.h>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <map>
#include <mutex>
#include <unordered_map>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Limits.h>

namespace tavkit {

namespace {

// Height that a font of Height 0 gets. Fonts above MaxFontPixelSize keep
// their metrics but draw their glyphs at that size.
constexpr int DefaultFontHeight = 13;
// Glyphs of sizes up to this are cached; larger ones are rendered per use.
constexpr int MaxCachedPpem = 256;
// Size records kept before the cache starts again from nothing.
constexpr std::size_t MaxSizeRecords = 96;

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

// Names of the classic host's system faces that fontconfig does not know,
// mapped onto the family whose metrics they share.
const char* ClassicAlias(const std::string& lowerName) {
  static const std::map<std::string, const char*> aliases = {{"system", "Arial"},
                                                             {"ms sans serif", "Arial"},
                                                             {"ms shell dlg", "Arial"},
                                                             {"ms shell dlg 2", "Arial"},
                                                             {"microsoft sans serif", "Arial"},
                                                             {"ms serif", "Times New Roman"},
                                                             {"small fonts", "Arial"}};
  auto it = aliases.find(lowerName);
  return it == aliases.end() ? nullptr : it->second;
}

struct TFace {
  FT_Face Face = nullptr;
  int CurrentPpem = 0;  // the pixel size last set on Face
  FT_UInt (*CharIndex)(FT_Face, unsigned char) = nullptr;
  // Vertical design metrics in font units.
  double CellAscent = 0;
  double CellDescent = 0;
  double UnitsPerEm = 1;
  double UnderlinePosition = 0;
  double UnderlineThickness = 0;
  double StrikeOutPosition = 0;
  double StrikeOutSize = 0;
};

FT_UInt UnicodeIndex(FT_Face face, unsigned char c) {
  return FT_Get_Char_Index(face, c);
}
// Symbol fonts map the byte range onto the private area starting at 0xF000.
FT_UInt SymbolIndex(FT_Face face, unsigned char c) {
  FT_UInt index = FT_Get_Char_Index(face, 0xF000u + c);
  return index != 0 ? index : FT_Get_Char_Index(face, c);
}

struct TResolved {
  TFace* Face = nullptr;
  TFaceInfo Info;
};

struct TSizeRecord {
  TFace* Face = nullptr;
  bool Bold = false;
  bool Italic = false;
  int Ppem = 1;
  TFontMetrics Metrics;
  std::array<std::unique_ptr<TGlyphImage>, 256> Glyphs;
};

// The cell height a font asks for, and the em size that gives it.
int CellHeight(const TFont& font, const TFace& face) {
  if (font.Height > 0) return font.Height;
  if (font.Height == 0) return DefaultFontHeight;
  double em = -static_cast<double>(font.Height);
  double cell = std::round(em * (face.CellAscent + face.CellDescent) / face.UnitsPerEm);
  return static_cast<int>(std::clamp(cell, 1.0, 1e9));
}

}  // namespace

class TFontEngine::TImpl {
 public:
  TImpl() {
    if (FT_Init_FreeType(&FLibrary) != 0) throw Exception("The FreeType library cannot be started");
    FConfig = FcInitLoadConfigAndFonts();
  }

  ~TImpl() {
    FSizes.clear();
    for (auto& [key, face] : FFaces) FT_Done_Face(face->Face);
    if (FConfig != nullptr) FcConfigDestroy(FConfig);
    FT_Done_FreeType(FLibrary);
  }

  std::mutex Mutex;

  TSizeRecord& Size(const TFont& font) {
    unsigned style = font.Style & (fsBold | fsItalic);
    if (FLast != nullptr && FLastHeight == font.Height && FLastStyle == style &&
        FLastName == font.Name)
      return *FLast;
    TResolved& resolved = Resolve(font.Name, style);
    std::string key =
        Lower(font.Name) + '\n' + std::to_string(style) + '\n' + std::to_string(font.Height);
    auto it = FSizes.find(key);
    if (it == FSizes.end()) {
      if (FSizes.size() >= MaxSizeRecords) FSizes.clear();
      it = FSizes.emplace(key, MakeSize(font, resolved)).first;
    }
    FLast = it->second.get();
    FLastName = font.Name;
    FLastHeight = font.Height;
    FLastStyle = style;
    return *FLast;
  }

  TResolved& Resolve(const std::string& name, unsigned style) {
    std::string key = Lower(name) + '\n' + std::to_string(style);
    auto it = FResolved.find(key);
    if (it != FResolved.end()) return it->second;
    return FResolved.emplace(key, Match(name, style)).first->second;
  }

  // The glyph of a character, rendered now when it is not cached; a glyph
  // too large for the cache lives in scratch until the next call.
  const TGlyphImage& Glyph(TSizeRecord& size, unsigned char c) {
    std::unique_ptr<TGlyphImage>& slot = size.Glyphs[c];
    if (slot) return *slot;
    auto glyph = std::make_unique<TGlyphImage>(Render(size, c));
    if (size.Ppem > MaxCachedPpem) {
      FScratch = std::move(glyph);
      return *FScratch;
    }
    slot = std::move(glyph);
    return *slot;
  }

 private:
  TResolved Match(const std::string& name, unsigned style) {
    bool bold = (style & fsBold) != 0;
    bool italic = (style & fsItalic) != 0;
    FcPattern* pattern = FcPatternCreate();
    std::string family = name.empty() ? std::string("sans-serif") : name;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    if (const char* alias = ClassicAlias(Lower(name)))
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(alias));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(FConfig, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(FConfig, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) throw Exception("No font face found for \"" + name + "\"");

    TResolved resolved;
    FcChar8* text = nullptr;
    int index = 0;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
    if (FcPatternGetString(match, FC_FILE, 0, &text) == FcResultMatch)
      resolved.Info.FileName = reinterpret_cast<const char*>(text);
    if (FcPatternGetString(match, FC_FAMILY, 0, &text) == FcResultMatch)
      resolved.Info.Family = reinterpret_cast<const char*>(text);
    if (FcPatternGetString(match, FC_STYLE, 0, &text) == FcResultMatch)
      resolved.Info.Style = reinterpret_cast<const char*>(text);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    FcPatternDestroy(match);

    resolved.Info.SyntheticBold = bold && weight < FC_WEIGHT_DEMIBOLD;
    resolved.Info.SyntheticItalic = italic && slant == FC_SLANT_ROMAN;
    resolved.Face = OpenFace(resolved.Info.FileName, index, name);
    return resolved;
  }

  TFace* OpenFace(const std::string& fileName, int index, const std::string& name) {
    std::string key = fileName + '\n' + std::to_string(index);
    auto it = FFaces.find(key);
    if (it != FFaces.end()) return it->second.get();
    auto face = std::make_unique<TFace>();
    if (fileName.empty() || FT_New_Face(FLibrary, fileName.c_str(), index, &face->Face) != 0)
      throw Exception("No font face found for \"" + name + "\"");
    FT_Face f = face->Face;
    face->CharIndex = UnicodeIndex;
    if (FT_Select_Charmap(f, FT_ENCODING_UNICODE) != 0) {
      if (FT_Select_Charmap(f, FT_ENCODING_MS_SYMBOL) == 0)
        face->CharIndex = SymbolIndex;
      else if (f->num_charmaps > 0)
        FT_Set_Charmap(f, f->charmaps[0]);
    }
    // The cell of the classic host is the Windows ascent plus descent of the
    // OS/2 table; fonts without one fall back to the horizontal header.
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
      face->CellAscent = os2->usWinAscent;
      face->CellDescent = os2->usWinDescent;
    } else {
      face->CellAscent = f->ascender;
      face->CellDescent = -f->descender;
    }
    face->UnitsPerEm = f->units_per_EM > 0 ? f->units_per_EM : 1000;
    if (face->CellAscent + face->CellDescent <= 0) {
      face->CellAscent = face->UnitsPerEm * 0.9;
      face->CellDescent = face->UnitsPerEm * 0.2;
    }
    face->UnderlinePosition = f->underline_position;
    face->UnderlineThickness = f->underline_thickness;
    if (os2 != nullptr && os2->yStrikeoutSize > 0) {
      face->StrikeOutPosition = os2->yStrikeoutPosition;
      face->StrikeOutSize = os2->yStrikeoutSize;
    } else {
      face->StrikeOutPosition = face->UnitsPerEm * 0.26;
      face->StrikeOutSize = face->UnderlineThickness;
    }
    return FFaces.emplace(key, std::move(face)).first->second.get();
  }

  std::unique_ptr<TSizeRecord> MakeSize(const TFont& font, const TResolved& resolved) {
    auto size = std::make_unique<TSizeRecord>();
    TFace& face = *resolved.Face;
    size->Face = resolved.Face;
    size->Bold = resolved.Info.SyntheticBold;
    size->Italic = resolved.Info.SyntheticItalic;

    int height = CellHeight(font, face);
    double cell = face.CellAscent + face.CellDescent;
    double scale = height / cell;  // pixels per font unit
    double ppem = std::round(face.UnitsPerEm * scale);
    size->Ppem = static_cast<int>(std::clamp(ppem, 1.0, static_cast<double>(MaxFontPixelSize)));

    TFontMetrics& m = size->Metrics;
    m.Height = height;
    m.Ascent = static_cast<int>(
        std::clamp(std::round(face.CellAscent * scale), 0.0, static_cast<double>(height)));
    m.Descent = height - m.Ascent;
    m.UnderlineThickness =
        std::max(1, static_cast<int>(std::round(face.UnderlineThickness * scale)));
    int below = static_cast<int>(
        std::round(-face.UnderlinePosition * scale - face.UnderlineThickness * scale / 2));
    m.UnderlineTop = m.Ascent + std::max(1, below);
    if (m.UnderlineTop + m.UnderlineThickness > height)
      m.UnderlineTop = std::max(0, height - m.UnderlineThickness);
    m.StrikeOutThickness = std::max(1, static_cast<int>(std::round(face.StrikeOutSize * scale)));
    m.StrikeOutTop =
        std::max(0, m.Ascent - static_cast<int>(std::round(face.StrikeOutPosition * scale)));
    return size;
  }

  TGlyphImage Render(TSizeRecord& size, unsigned char c) {
    TFace& face = *size.Face;
    FT_Face f = face.Face;
    TGlyphImage glyph;
    if (face.CurrentPpem != size.Ppem) {
      if (FT_IS_SCALABLE(f)) {
        if (FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(size.Ppem)) != 0) return glyph;
      } else if (!SelectNearestStrike(f, size.Ppem)) {
        return glyph;
      }
      face.CurrentPpem = size.Ppem;
    }
    FT_Int32 flags = FT_LOAD_TARGET_MONO;
    if (size.Bold || size.Italic) flags |= FT_LOAD_NO_BITMAP;
    if (FT_Load_Glyph(f, face.CharIndex(f, c), flags) != 0) return glyph;
    FT_GlyphSlot slot = f->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      if (size.Italic) FT_GlyphSlot_Oblique(slot);
      if (size.Bold) FT_GlyphSlot_Embolden(slot);
    }
    glyph.Advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
      return glyph;
    CopyBitmap(slot, glyph);
    return glyph;
  }

  static bool SelectNearestStrike(FT_Face f, int ppem) {
    if (f->num_fixed_sizes <= 0) return false;
    int best = 0;
    for (int i = 1; i < f->num_fixed_sizes; ++i) {
      if (std::abs(f->available_sizes[i].height - ppem) <
          std::abs(f->available_sizes[best].height - ppem))
        best = i;
    }
    return FT_Select_Size(f, best) == 0;
  }

  // Copies the rendered bitmap into the glyph as 1 bit per pixel; grey
  // strikes (embedded bitmaps) are cut at half intensity.
  static void CopyBitmap(FT_GlyphSlot slot, TGlyphImage& glyph) {
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.Left = slot->bitmap_left;
    glyph.Top = slot->bitmap_top;
    glyph.Width = static_cast<int>(bitmap.width);
    glyph.Rows = static_cast<int>(bitmap.rows);
    glyph.Pitch = (glyph.Width + 7) / 8;
    glyph.Bits.assign(static_cast<std::size_t>(glyph.Pitch) * glyph.Rows, 0);
    if (bitmap.buffer == nullptr) return;
    for (int y = 0; y < glyph.Rows; ++y) {
      const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
      std::uint8_t* out = glyph.Bits.data() + static_cast<std::size_t>(y) * glyph.Pitch;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        std::copy(row, row + glyph.Pitch, out);
      } else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        for (int x = 0; x < glyph.Width; ++x)
          if (row[x] >= 128) out[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
      }
    }
  }

  FT_Library FLibrary = nullptr;
  FcConfig* FConfig = nullptr;
  std::unordered_map<std::string, std::unique_ptr<TFace>> FFaces;
  std::unordered_map<std::string, TResolved> FResolved;
  std::unordered_map<std::string, std::unique_ptr<TSizeRecord>> FSizes;
  std::unique_ptr<TGlyphImage> FScratch;
  TSizeRecord* FLast = nullptr;
  std::string FLastName;
  int FLastHeight = 0;
  unsigned FLastStyle = 0;
};

TFontEngine::TFontEngine() : FImpl(std::make_unique<TImpl>()) {}

TFontEngine::~TFontEngine() = default;

TFontEngine& TFontEngine::Instance() {
  static TFontEngine engine;
  return engine;
}

TFontMetrics TFontEngine::GetMetrics(const TFont& font) {
  std::lock_guard lock(FImpl->Mutex);
  return FImpl->Size(font).Metrics;
}

int TFontEngine::TextWidth(const TFont& font, std::string_view text) {
  std::lock_guard lock(FImpl->Mutex);
  TSizeRecord& size = FImpl->Size(font);
  int width = 0;
  for (char c : text) width += FImpl->Glyph(size, static_cast<unsigned char>(c)).Advance;
  return width;
}

int TFontEngine::RenderText(const TFont& font, std::string_view text, const TGlyphSink& sink) {
  std::lock_guard lock(FImpl->Mutex);
  TSizeRecord& size = FImpl->Size(font);
  int penX = 0;
  for (char c : text) {
    const TGlyphImage& glyph = FImpl->Glyph(size, static_cast<unsigned char>(c));
    sink(penX, glyph);
    penX += glyph.Advance;
  }
  return penX;
}

TFaceInfo TFontEngine::ResolveFace(const TFont& font) {
  std::lock_guard lock(FImpl->Mutex);
  return FImpl->Resolve(font.Name, font.Style & (fsBold | fsItalic)).Info;
}

}  // namespace tavkit

// TPicture: a holder for one graphic of any registered kind (bitmap, PNG
// image, PPM image, GIF image), loading and saving by file extension or by
// the stream's leading bytes, and copying through the clipboard. The
// file-format and clipboard-format registries are shared by the whole
// process, so that a codec living in another folder (GIF) makes itself known
// by registering its extension and its clipboard format; BMP, PNG and PPM
// files and the bitmap clipboard format are registered from the start.
//
// ```cpp
// TPicture picture;
// picture.LoadFromFile("logo.png");           // by extension, or by the file's first bytes
// int width = picture.GetWidth();
// picture.SaveToFile("logo.bmp");             // converted to the format of the extension
// TBitmap& pixels = picture.Bitmap();         // the picture as a bitmap, to draw on
// pixels.Canvas().TextOut(2, 2, "Draft");
// ```
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Graphic.h>

namespace tavkit {

class TStream;

// A picture file format whose pixels are kept in a bitmap (PNG, PPM). The
// formats differ only in how they read and write; they convert into each
// other and into bitmaps by copying the pixels. Changes of the bitmap are
// changes of the image.
class TBitmapImage : public TGraphic {
 public:
  // Copies another image of any of these formats or a bitmap; other
  // graphics copy themselves.
  void Assign(const TPersistent* source) override;

  void Draw(TCanvas& canvas, const TRect& rect) override { FBitmap.Draw(canvas, rect); }
  bool GetEmpty() const override { return FBitmap.GetEmpty(); }
  int GetWidth() const override { return FBitmap.GetWidth(); }
  int GetHeight() const override { return FBitmap.GetHeight(); }
  void SetWidth(int width) override;
  void SetHeight(int height) override;

  // The pixels; changes made through it are saved with the image.
  TBitmap& Bitmap() { return FBitmap; }
  const TBitmap& Bitmap() const { return FBitmap; }

 protected:
  TBitmapImage();
  void AssignTo(TPersistent* dest) const override;

 private:
  TBitmap FBitmap;
};

// A PNG file as a graphic: the picture is kept in a bitmap (24 or 32 bits,
// or paletted) and written back as PNG.
class TPngImage : public TBitmapImage {
 public:
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
};

// A binary PPM file as a graphic: read into a 24-bit bitmap and written
// back with one-byte samples.
class TPpmImage : public TBitmapImage {
 public:
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
};

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

// One registered file format. Signature holds the bytes every file of the
// format starts with (empty: recognised by extension only).
struct TFileFormat {
  std::string Extension;  // without the dot, lower case
  std::string Description;
  TGraphicFactory Factory;
  std::string Signature;
};

class TPicture : public TPersistent {
 public:
  TPicture();
  ~TPicture() override;

  // The graphic held, or null.
  TGraphic* GetGraphic() const { return FGraphic.get(); }
  // Takes the graphic over (null empties the picture).
  void SetGraphic(std::unique_ptr<TGraphic> graphic);
  // The picture as a bitmap: a bitmap graphic itself, otherwise the graphic
  // is drawn into a new bitmap of its size, which then replaces it.
  TBitmap& Bitmap();
  int GetWidth() const { return FGraphic ? FGraphic->GetWidth() : 0; }
  int GetHeight() const { return FGraphic ? FGraphic->GetHeight() : 0; }

  // Loads the format registered for the file's extension (raising
  // EInvalidGraphic "Unknown picture file extension (.xyz)" for others); when
  // the contents carry the signature of another registered format, that one
  // is read instead. A failed load leaves the picture as it was.
  void LoadFromFile(const std::string& fileName);
  // Writes the format registered for the file's extension, converting the
  // graphic when it is of another kind; an unregistered extension gets the
  // graphic's own format.
  void SaveToFile(const std::string& fileName);
  // Reads from the stream's position, choosing the format by its signature.
  void LoadFromStream(TStream& stream);
  // Writes the graphic in its own format (nothing for an empty picture).
  void SaveToStream(TStream& stream);

  // Copies a picture or a graphic (null empties).
  void Assign(const TPersistent* source) override;

  // Reads the graphic class registered for the clipboard format (raising
  // EInvalidGraphic "Unsupported clipboard format" for others).
  void LoadFromClipboardFormat(TClipboardFormat format, const TClipboardData& data,
                               const TPalette& palette);
  // The graphic's own format, data and palette (nothing for an empty
  // picture: format 0).
  void SaveToClipboardFormat(TClipboardFormat& format, TClipboardData& data, TPalette& palette);

  // Called after every change of the picture or of its graphic.
  TNotifyEvent OnChange;

  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 TGraphicFactory factory, const std::string& signature = "");
  static void UnregisterFileFormat(const std::string& extension);
  // The formats registered, BMP, PNG and PPM first.
  static std::vector<TFileFormat> FileFormats();
  // The registered format whose signature the bytes start with, if any.
  static std::optional<TFileFormat> FileFormatOf(const std::uint8_t* bytes, std::size_t size);

  // The graphic class that reads a clipboard format; a later registration
  // of the same format wins.
  static void RegisterClipboardFormat(TClipboardFormat format, TGraphicFactory factory);
  static void UnregisterClipboardFormat(TClipboardFormat format);
  static bool SupportsClipboardFormat(TClipboardFormat format);

 protected:
  // Graphics accept a picture by taking a copy of its graphic.
  void AssignTo(TPersistent* dest) const override;

 private:
  void Adopt(std::unique_ptr<TGraphic> graphic);
  void Changed();

  std::unique_ptr<TGraphic> FGraphic;
};

}  // namespace tavkit

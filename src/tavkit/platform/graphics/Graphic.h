// TGraphic: the abstract picture of the framework (bitmap, GIF image, PNG
// image). A graphic knows its size, draws itself into a rectangle of a canvas,
// reads and writes its own file format, puts itself on the clipboard in its
// own clipboard format and reports the progress of long operations.
//
// ```cpp
// TPicture picture;
// picture.LoadFromFile("logo.png");
// TGraphic& graphic = *picture.GetGraphic();  // here a TPngImage
// graphic.OnProgress = [](TObject*, TProgressStage, int percent, bool, const TRect&,
//                         const std::string& what) { std::cout << what << percent << "%\n"; };
// TBitmap thumbnail(64, 64);
// graphic.Draw(thumbnail.Canvas(), Rect(0, 0, 64, 64));  // scaled into the rectangle
// graphic.SaveToFile("copy.png");             // in its own format
// ```
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <tavkit/platform/base/Objects.h>
#include <tavkit/platform/base/Types.h>

namespace tavkit {

class TCanvas;
class TStream;

// One palette entry: red, green, blue and flags, as the host stores them.
struct TPaletteEntry {
  std::uint8_t peRed = 0;
  std::uint8_t peGreen = 0;
  std::uint8_t peBlue = 0;
  std::uint8_t peFlags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};
using TPalette = std::vector<TPaletteEntry>;

// A clipboard format number and the memory block the clipboard holds for it.
using TClipboardFormat = unsigned;
using TClipboardData = std::vector<std::uint8_t>;
// The predefined formats: a bitmap (its BMP file) and a palette (four
// bytes per entry: red, green, blue, flags).
inline constexpr TClipboardFormat CF_BITMAP = 2;
inline constexpr TClipboardFormat CF_PALETTE = 9;

enum class TProgressStage { psStarting, psRunning, psEnding };

// Told how far a long operation has come: its stage, the percentage done,
// whether the picture should be shown again now, the part of the picture
// that changed (empty: unknown) and what the operation is ("Loading...").
using TProgressEvent =
    std::function<void(TObject* sender, TProgressStage stage, int percentDone, bool redrawNow,
                       const TRect& rect, const std::string& message)>;

class TGraphic : public TPersistent {
 public:
  // Draws the picture scaled into rect of the canvas.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  virtual bool GetEmpty() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

  bool GetTransparent() const { return FTransparent; }
  virtual void SetTransparent(bool transparent);
  bool GetModified() const { return FModified; }
  void SetModified(bool modified);
  // Set when the picture's palette changed, so that whoever shows it
  // realises the palette again.
  bool GetPaletteModified() const { return FPaletteModified; }
  void SetPaletteModified(bool modified) { FPaletteModified = modified; }

  // Fills in the graphic's own clipboard format, the data to put under it
  // and its palette (empty when it has none). The default raises
  // EInvalidGraphic: not every graphic can be copied.
  virtual void SaveToClipboardFormat(TClipboardFormat& format, TClipboardData& data,
                                     TPalette& palette);
  // Reads the graphic from clipboard data of the given format.
  virtual void LoadFromClipboardFormat(TClipboardFormat format, const TClipboardData& data,
                                       const TPalette& palette);

  // Called after every change of the picture.
  TNotifyEvent OnChange;
  // Called as long operations go on.
  TProgressEvent OnProgress;

 protected:
  virtual void Changed(TObject* sender);
  // Passes a progress report to OnProgress.
  virtual void Progress(TObject* sender, TProgressStage stage, int percentDone, bool redrawNow,
                        const TRect& rect, const std::string& message);

 private:
  bool FTransparent = false;
  bool FModified = false;
  bool FPaletteModified = false;
};

}  // namespace tavkit

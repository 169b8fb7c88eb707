// The clipboard of the process: named formats registered at run time, one
// memory block per format, kept in the order they were put so that a reader
// takes the richest format first, and the bridge between graphics and the
// clipboard (a graphic puts its own format and palette; a picture is filled
// from the first format a registered graphic class reads).
//
// ```cpp
// TBitmap picture(100, 50);
// Clipboard().Assign(picture);                // as CF_BITMAP, with its palette
// TPicture pasted;
// Clipboard().AssignToPicture(pasted);        // from the first format a graphic reads
// TClipboardFormat notes = RegisterClipboardFormat("Shop Notes");
// Clipboard().SetAsHandle(notes, TClipboardData{'h', 'i'});
// ```
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <tavkit/platform/graphics/Graphic.h>

namespace tavkit {

class TPicture;

// The number of a named format; the same name (letter case aside) always
// gets the same number, counted from 0xC000 as on the classic host.
TClipboardFormat RegisterClipboardFormat(const std::string& name);
// The name a format was registered under; empty for predefined formats.
std::string GetClipboardFormatName(TClipboardFormat format);

// A palette as clipboard data, and back (trailing odd bytes are ignored).
TClipboardData PaletteToClipboardData(const TPalette& palette);
TPalette PaletteFromClipboardData(const TClipboardData& data);

class TClipboard {
 public:
  // Opening gives the calling thread the clipboard until the matching
  // Close; other threads wait. Every operation below opens it for its own
  // duration, so Open is needed only to make several of them one change.
  void Open();
  void Close();

  void Clear();
  bool HasFormat(TClipboardFormat format);
  // Puts data under a format, replacing what the format held.
  void SetAsHandle(TClipboardFormat format, TClipboardData data);
  // The data held under a format, if any.
  std::optional<TClipboardData> GetAsHandle(TClipboardFormat format);
  // The formats held, in the order they were put.
  std::vector<TClipboardFormat> GetFormats();

  // Empties the clipboard and puts the graphic: whatever the graphic adds
  // itself, its own format and, when it has one, its palette.
  void Assign(TGraphic& graphic);
  // Fills the picture from the first format held that a registered graphic
  // class reads; raises EInvalidGraphic "Unsupported clipboard format" when
  // there is none.
  void AssignToPicture(TPicture& picture);

 private:
  std::recursive_mutex FMutex;
  std::vector<std::pair<TClipboardFormat, TClipboardData>> FData;
};

// The one clipboard of the process.
TClipboard& Clipboard();

}  // namespace tavkit

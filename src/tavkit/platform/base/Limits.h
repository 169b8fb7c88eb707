// Every limit of the library, in one table: how large an input, a picture, a
// layout or a request may be before the library refuses it, and the bounds it
// clamps values to. Each refusal raises ETooLarge, so that an application can
// catch "larger than this library accepts" as one thing.
//
// ```cpp
// MaxBitmapBytes = std::int64_t{64} << 20;    // a shared server: 64 MiB of pixels a bitmap,
// MaxGIFTotalPixels = std::int64_t{1} << 24;  // set before the work starts
// TPicture upload;
// try {
//   upload.LoadFromFile("upload.png");
// } catch (const ETooLarge& refusal) {        // whichever limit refused; catch it first
//   std::cerr << refusal.Message() << " (" << refusal.LimitName() << " is "
//             << refusal.LimitValue() << ")\n";
// } catch (const Exception& error) {          // no picture, or a broken one
//   std::cerr << error.Message() << "\n";
// }
// ```
#pragma once

#include <cstdint>
#include <string>

namespace tavkit {

// Refusals. Constants are fixed by the library; settings (plain variables)
// may be lowered by a program before it starts its work, for example a
// server that puts pages designed by others and bounds what one may cost.

// Form files: the size of the text (checked before it is read), the number
// of components in it (each one is told of every other as it joins the form),
// the levels of "children" below a top-level component, and the nesting of
// JSON values anywhere in the file. The designer takes request bodies up to
// the size of a form file.
inline constexpr std::int64_t MaxFormFileSize = std::int64_t{64} << 20;
inline constexpr int MaxFormComponents = 10000;
inline constexpr int MaxFormNesting = 64;
inline constexpr int MaxFormJsonDepth = 256;

// Bitmaps: width and height each at most MaxBitmapSide, and at most
// MaxBitmapBytes of pixel rows (a setting).
inline constexpr int MaxBitmapSide = 1 << 24;
inline std::int64_t MaxBitmapBytes = std::int64_t{1} << 30;

// GIF files: a frame is one byte per pixel, so a hostile header could ask for
// 4 GB per frame from a file of a few bytes. A frame above MaxGIFFramePixels,
// or frames together above MaxGIFTotalPixels, are refused before any pixel
// memory is taken (both settings).
inline std::int64_t MaxGIFFramePixels = std::int64_t{1} << 28;
inline std::int64_t MaxGIFTotalPixels = std::int64_t{1} << 29;

// Pictures that a page element reads to show at its own size (a data-bound
// image's field): the pixels of every frame and bitmap decoded for one
// element, together (a setting). A GIF of a few bytes can claim a frame of
// 16384 x 16384 pixels; beyond this the element shows no picture, as for
// an unreadable one, and the page is written all the same.
inline std::int64_t MaxElementPicturePixels = std::int64_t{1} << 25;

// Files read whole into memory (pictures, GIF files): a file, pipe or
// device that goes on past this many bytes is refused as it is read (a
// setting).
inline std::int64_t MaxReadFileSize = std::int64_t{256} << 20;
// Layout: the markup of one container's table apart from its children's own
// cells, that is its rows and empty cells (a setting). The layout costs in
// proportion to it, and it can grow with the square of the number of
// children: tall children side by side with gaps between them put an empty
// cell between every two of them in every row. A page of 5000 elements at
// random places writes under 2 MB of it.
inline std::int64_t MaxLayoutMarkup = std::int64_t{1} << 26;

// CGI: the request body read by default (a form's fields, not uploads); each
// gateway may set its own (TWvCGI::SetMaxContentLength).
inline constexpr std::int64_t MaxCGIContentLength = std::int64_t{1} << 20;

// Design previews painted as one picture (tavkit preview, the designer).
inline constexpr std::int64_t MaxPreviewPixels = std::int64_t{1} << 26;

// Bounds that values are clamped to, never refused.

// Control bounds: the largest distance from the parent's origin and the
// largest size. Far beyond any page, yet small enough that edges, distances
// between them and offsets summed through nested parents stay within int.
inline constexpr int MaxControlCoordinate = 1 << 24;

// Text drawn larger than this many pixels per em is drawn at this size.
inline constexpr int MaxFontPixelSize = 2048;

// The width in characters that a list's preview reserves for its longest
// option; keeps the preview arithmetic in range.
inline constexpr int MaxPreviewTextLength = 1 << 20;

// The most room a table reserves ahead for its text from the size of its
// first row; a guess beyond reason (one long cell above many short rows) is
// not made.
inline constexpr std::int64_t MaxTableReserve = std::int64_t{1} << 28;

// Input larger than this library accepts. It is raised as the exception its
// place always raised (EFormFileError for a form file, GIFException for a GIF
// file, EOutOfMemory for a bitmap, Exception elsewhere), so handlers of those
// keep working; catch ETooLarge to handle every refusal of size in one place.
class ETooLarge {
 public:
  ETooLarge(std::string limitName, std::int64_t limitValue, std::string message)
      : FLimitName(std::move(limitName)), FLimitValue(limitValue), FMessage(std::move(message)) {}
  virtual ~ETooLarge() = default;
  // The limit that refused, by its name in this table ("MaxFormFileSize").
  const std::string& LimitName() const { return FLimitName; }
  std::int64_t LimitValue() const { return FLimitValue; }
  const std::string& Message() const { return FMessage; }

 private:
  std::string FLimitName;
  std::int64_t FLimitValue;
  std::string FMessage;
};

// ETooLarge raised as Base (Exception or one of its subclasses).
template <class Base>
class ETooLargeAs : public Base, public ETooLarge {
 public:
  ETooLargeAs(const std::string& limitName, std::int64_t limitValue, const std::string& message)
      : Base(message), ETooLarge(limitName, limitValue, message) {}
  using Base::Message;
};

}  // namespace tavkit

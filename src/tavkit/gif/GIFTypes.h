// The vocabulary of the GIF codec: its enumerations, the draw-option set, the
// unit-level settings that new images and painters start from, the error
// class and the texts of every error and warning the codec issues. Everything
// else in src/gif builds on this file and on the platform layer only.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Objects.h>
#include <tavkit/platform/base/Threads.h>

namespace tavkit {

enum TGIFVersion { gvUnknown, gv87a, gv89a };
enum TGIFSeverity { gsInfo, gsWarning, gsError };
enum TGIFCompression { gcLZW, gcRLE };
enum TColorReduction { rmNone, rmNetscape, rmQuantize };
enum TDitherMode { dmNearest, dmFloydSteinberg };
// The disposal field of a file has three bits, so values 4 to 7 can be read
// back too; the fixed underlying type keeps them valid values of the type.
enum TDisposalMethod : std::uint8_t { dmNone, dmNoDisposal, dmBackground, dmPrevious };

enum TGIFDrawOption {
  goAsync,
  goTransparent,
  goAnimate,
  goLoop,
  goLoopContinously,
  goValidateCanvas,
  goDirectDraw,
  goClearOnLoop,
  goTile,
  goDither,
  goAutoDither
};

// A set of draw options; bit n stands for the option of ordinal n.
class TGIFDrawOptions {
 public:
  constexpr TGIFDrawOptions() = default;
  constexpr TGIFDrawOptions(std::initializer_list<TGIFDrawOption> options) {
    for (TGIFDrawOption option : options) Include(option);
  }
  constexpr bool Contains(TGIFDrawOption option) const { return (FBits & Bit(option)) != 0; }
  constexpr TGIFDrawOptions& Include(TGIFDrawOption option) {
    FBits = static_cast<std::uint16_t>(FBits | Bit(option));
    return *this;
  }
  constexpr TGIFDrawOptions& Exclude(TGIFDrawOption option) {
    FBits = static_cast<std::uint16_t>(FBits & ~Bit(option));
    return *this;
  }
  constexpr std::uint16_t Bits() const { return FBits; }
  friend constexpr bool operator==(TGIFDrawOptions, TGIFDrawOptions) = default;

 private:
  static constexpr std::uint16_t Bit(TGIFDrawOption option) {
    return static_cast<std::uint16_t>(1u << option);
  }
  std::uint16_t FBits = 0;
};

// The warning event: who issued it, how serious it is and what it says.
using TGIFWarning =
    std::function<void(TObject* sender, TGIFSeverity severity, const std::string& message)>;

// Unit-level settings, read when an image or painter is created.
extern TGIFDrawOptions GIFImageDefaultDrawOptions;
extern TColorReduction GIFImageDefaultColorReduction;
extern TDitherMode GIFImageDefaultDitherMode;
extern TGIFCompression GIFImageDefaultCompression;
extern TThreadPriority GIFImageDefaultThreadPriority;
extern int GIFImageDefaultAnimationSpeed;
// True when the display shows at most 256 colours, so that frames are best
// dithered to the web palette. This platform draws into 32-bit bitmaps.
extern bool DoAutoDither;
extern int GIFDelayExp;
extern int GIFDefaultDelay;
extern int GIFMinimumDelay;
extern int GIFMaximumDelay;

// The three version characters written for gv87a and gv89a (empty for
// gvUnknown, which cannot be written).
extern const char* const GIFVersions[3];

namespace GIFImage {
// Removes goLoop from the default draw options; run when the package is
// installed into the design environment, where previews should not loop.
void Register();
}  // namespace GIFImage

// Every error the codec raises.
class GIFException : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

// The codec's messages, byte for byte.
inline constexpr const char* sObjectNotSupported = "Object type not supported for operation";
inline constexpr const char* sImageWidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* sImageHeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* sImageExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* sInvalidColorIndex = "Invalid color index";
inline constexpr const char* sColorTableOverflow = "Color table overflow";
inline constexpr const char* sInvalidPixelCoordinates = "Invalid pixel coordinates";
inline constexpr const char* sUnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* sPrematureEnd = "Premature end of data";
inline constexpr const char* sInvalidSignature = "Invalid GIF signature";
inline constexpr const char* sUnknownBlockType = "Unknown GIF block type";
inline constexpr const char* sInvalidTrailer = "Invalid Image trailer";
inline constexpr const char* sInvalidExtensionIntroducer = "Invalid extension introducer";
inline constexpr const char* sUnknownExtensionType = "Unknown extension type";
inline constexpr const char* sExtensionLabelMismatch =
    "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* sUnsupportedAppBlockSize =
    "Unsupported Application Extension block size";
inline constexpr const char* sInvalidGIFData = "Invalid GIF data";
inline constexpr const char* sInvalidStreamOperation = "Invalid stream operation";
inline constexpr const char* sDecoderUnderrun = "Decoder bit buffer under-run";
inline constexpr const char* sCircularTableEntry = "Circular decoder table entry";
inline constexpr const char* sNoColorTable = "No global or local color table defined";
inline constexpr const char* sInvalidCodeSize = "Invalid LZW code size";
inline constexpr const char* sFrameTooLarge = "Image frame exceeds the pixel limit";
inline constexpr const char* sImageTooLarge = "Image frames exceed the total pixel limit";
inline constexpr const char* sOutOfMemDIB = "Failed to allocate memory for GIF DIB";
inline constexpr const char* sDIBCreate = "Failed to create DIB from Bitmap";
inline constexpr const char* sNoDIB = "Image has no DIB";
inline constexpr const char* sInvalidBitmap = "Invalid bitmap: it has no pixels";
inline constexpr const char* sBitmapTooLarge = "Bitmap exceeds the GIF frame size of 65535 pixels";
inline constexpr const char* sScanLineOutOfRange = "Scan line index out of range";

}  // namespace tavkit

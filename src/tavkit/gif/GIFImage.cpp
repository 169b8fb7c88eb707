// The GIF image as a document: its frames and logical screen, its settings,
// copies of other images and pictures, and reading and writing it as a
// file, a stream or a clipboard block, with progress reports. Drawing and
// the painters are in GIFImageDrawing.cpp.
#include <tavkit/gif/GIFImage.h>

#include <algorithm>
#include <new>
#include <optional>

#include <tavkit/gif/GIFGraphic.h>
#include <tavkit/gif/GIFPainter.h>
#include <tavkit/gif/GIFTrailer.h>
#include <tavkit/gif/detail/GIFProgress.h>
#include <tavkit/gif/detail/GIFStream.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Clipboard.h>

namespace tavkit {

using detail::kCopying;
using detail::kLoading;
using detail::kSaving;

TGIFImage::TGIFImage()
    : FImages(std::make_unique<TGIFImageList>(this)),
      FHeader(std::make_unique<TGIFHeader>(this)),
      FDrawOptions(GIFImageDefaultDrawOptions),
      FColorReduction(GIFImageDefaultColorReduction),
      FDitherMode(GIFImageDefaultDitherMode),
      FCompression(GIFImageDefaultCompression),
      FThreadPriority(GIFImageDefaultThreadPriority),
      FAnimationSpeed(GIFImageDefaultAnimationSpeed) {
  NewImage();
}

TGIFImage::~TGIFImage() {
  PaintStop();
  // A quit message may have ended the wait: painters still ending forget
  // the image and draw no more.
  TList<TGIFPainter>& painters = FPainters.LockList();
  for (TGIFPainter* painter : painters) painter->Detach();
  painters.Clear();
  FDrawPainter = nullptr;
  FPainters.UnlockList();
  DropBitmap();
  FImages->Clear();
}

void TGIFImage::Clear() {
  PaintStop();
  FImages->Clear();
  FHeader->GetColorMap().Clear();
  FHeader->SetScreenWidth(0);
  FHeader->SetScreenHeight(0);
  FHeader->Prepare();
  SetPalette(TPalette{});
}

int TGIFImage::Add(TPersistent* source) {
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) return AddBitmap(*bitmap);
  auto* subImage = dynamic_cast<TGIFSubImage*>(source);
  if (subImage == nullptr) throw GIFException(sObjectNotSupported);
  return AddSubImage(subImage);
}

int TGIFImage::AddBitmap(const TBitmap& bitmap) {
  auto subImage = std::make_unique<TGIFSubImage>(this);
  subImage->Assign(&bitmap);
  return AddSubImage(subImage.release());
}

int TGIFImage::AddSubImage(TGIFSubImage* subImage) {
  const int index = FImages->Add(subImage);
  bool grew = false;
  const int right = subImage->GetLeft() + subImage->GetWidth();
  const int bottom = subImage->GetTop() + subImage->GetHeight();
  if (FHeader->GetScreenWidth() < right) {
    FHeader->SetScreenWidth(static_cast<std::uint16_t>(std::min(right, 65535)));
    Warning(this, gsWarning, sImageWidthTooSmall);
    grew = true;
  }
  if (FHeader->GetScreenHeight() < bottom) {
    FHeader->SetScreenHeight(static_cast<std::uint16_t>(std::min(bottom, 65535)));
    Warning(this, gsWarning, sImageHeightTooSmall);
    grew = true;
  }
  if (grew) {
    Warning(subImage, gsWarning, sImageExceedsScreen);
    FreeBitmap();
    Changed(this);
  }
  return index;
}

void TGIFImage::Assign(const TPersistent* source) {
  if (source == this) return;
  if (source == nullptr) {
    Clear();
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    Clear();
    AddBitmap(*bitmap);
    return;
  }
  const auto* other = dynamic_cast<const TGIFImage*>(source);
  if (other == nullptr) {
    // Any other picture comes in through a bitmap of its own.
    if (dynamic_cast<const TGraphic*>(source) != nullptr) {
      TBitmap bitmap;
      bitmap.Assign(source);
      Clear();
      AddBitmap(bitmap);
      return;
    }
    TGraphic::Assign(source);
    return;
  }
  AssignImage(*other);
}

void TGIFImage::AssignImage(const TGIFImage& other) {
  Clear();
  OnProgress = other.OnProgress;
  OnWarning = other.OnWarning;
  ReportProgress(this, TProgressStage::psStarting, 0, false, kCopying);
  try {
    FHeader->Assign(other.FHeader.get());
    FThreadPriority = other.FThreadPriority;
    FEraseColor = other.FEraseColor;
    FDrawOptions = other.FDrawOptions;
    FColorReduction = other.FColorReduction;
    FDitherMode = other.FDitherMode;
    const int count = other.FImages->GetCount();
    for (int i = 0; i < count; ++i) {
      auto copy = std::make_unique<TGIFSubImage>(this);
      copy->Assign(other.FImages->GetImage(i));
      Add(copy.release());
      ReportProgress(this, TProgressStage::psRunning, (i + 1) * 100 / count, false, kCopying);
    }
  } catch (...) {
    ReportProgress(this, TProgressStage::psEnding, 0, false, kCopying);
    throw;
  }
  ReportProgress(this, TProgressStage::psEnding, 100, false, kCopying);
}

void TGIFImage::Pack() {
  FreeBitmap();
  SetPalette(TPalette{});
  for (int i = 0; i < FImages->GetCount(); ++i) {
    TGIFSubImage* frame = FImages->GetImage(i);
    frame->FreeBitmap();
    frame->SetPalette(TPalette{});
  }
  if (FHeader->GetColorMap().GetCount() != 0 || FImages->GetCount() != 1) return;
  TGIFSubImage* only = FImages->GetImage(0);
  FHeader->GetColorMap().Assign(&only->GetColorMap());
  only->GetColorMap().Clear();
}

TGIFVersion TGIFImage::GetVersion() const {
  TGIFVersion version = gvUnknown;
  for (int i = 0; i < FImages->GetCount() && version != gv89a; ++i)
    version = std::max(version, FImages->GetImage(i)->GetVersion());
  return version;
}

int TGIFImage::GetColorResolution() const {
  int resolution = FHeader->GetColorResolution();
  for (int i = 0; i < FImages->GetCount(); ++i)
    resolution = std::max(resolution, FImages->GetImage(i)->GetColorResolution());
  return resolution;
}

int TGIFImage::GetBitsPerPixel() const {
  int bits = FHeader->GetBitsPerPixel();
  for (int i = 0; i < FImages->GetCount(); ++i)
    bits = std::max(bits, FImages->GetImage(i)->GetBitsPerPixel());
  return bits;
}

void TGIFImage::SetWidth(int width) {
  for (int i = 0; i < FImages->GetCount(); ++i) {
    const TGIFSubImage* subImage = FImages->GetImage(i);
    if (subImage->GetLeft() + subImage->GetWidth() > width) throw GIFException(sImageWidthTooSmall);
  }
  FHeader->SetScreenWidth(static_cast<std::uint16_t>(std::clamp(width, 0, 65535)));
  FreeBitmap();
  Changed(this);
}

void TGIFImage::SetHeight(int height) {
  for (int i = 0; i < FImages->GetCount(); ++i) {
    const TGIFSubImage* subImage = FImages->GetImage(i);
    if (subImage->GetTop() + subImage->GetHeight() > height)
      throw GIFException(sImageHeightTooSmall);
  }
  FHeader->SetScreenHeight(static_cast<std::uint16_t>(std::clamp(height, 0, 65535)));
  FreeBitmap();
  Changed(this);
}

void TGIFImage::SetDrawOptions(TGIFDrawOptions options) {
  if (options == FDrawOptions) return;
  StopDraw();
  FDrawOptions = options;
  Pack();
  Changed(this);
}

void TGIFImage::SetAnimationSpeed(int speed) {
  speed = std::clamp(speed, 1, 1000);
  if (speed == FAnimationSpeed) return;
  FAnimationSpeed = speed;
  FPainters.LockList();
  if (FDrawPainter != nullptr) FDrawPainter->SetAnimationSpeed(speed);
  FPainters.UnlockList();
}

bool TGIFImage::GetDoDither() const {
  return FDrawOptions.Contains(goDither) && (!FDrawOptions.Contains(goAutoDither) || DoAutoDither);
}

void TGIFImage::Warning(TObject* sender, TGIFSeverity severity, const std::string& message) {
  if (OnWarning) OnWarning(sender, severity, message);
}

void TGIFImage::SaveToStream(TStream& stream) {
  ReportProgress(this, TProgressStage::psStarting, 0, false, kSaving);
  try {
    FHeader->SaveToStream(stream);
    const int count = FImages->GetCount();
    for (int i = 0; i < count; ++i) {
      FImages->GetImage(i)->SaveToStream(stream);
      ReportProgress(FImages.get(), TProgressStage::psRunning, (i + 1) * 100 / count, false,
                     kSaving);
    }
    TGIFTrailer(this).SaveToStream(stream);
  } catch (...) {
    ReportProgress(this, TProgressStage::psEnding, 0, true, kSaving);
    throw;
  }
  ReportProgress(this, TProgressStage::psEnding, 100, true, kSaving);
}

void TGIFImage::LoadFromStream(TStream& stream) {
  TGIFReader reader(stream);
  LoadFromReader(reader);
  reader.Finish();
}

void TGIFImage::LoadFromReader(TGIFReader& reader) {
  Clear();
  ReportProgress(this, TProgressStage::psStarting, 0, false, kLoading);
  FLoadedPixels = 0;
  FLoading = true;
  try {
    FHeader->LoadFromReader(reader);
    FImages->LoadFromReader(reader, this);
    TGIFTrailer(this).LoadFromReader(reader);
  } catch (...) {
    FLoading = false;
    ReportProgress(this, TProgressStage::psEnding, 0, true, kLoading);
    throw;
  }
  FLoading = false;
  ReportProgress(this, TProgressStage::psEnding, 100, true, kLoading);
}

void TGIFImage::ReservePixels(std::int64_t pixels) {
  if (!FLoading) return;
  if (FLoadedPixels + pixels > MaxGIFTotalPixels)
    throw ETooLargeAs<GIFException>("MaxGIFTotalPixels", MaxGIFTotalPixels, sImageTooLarge);
  FLoadedPixels += pixels;
}

void TGIFImage::ReportProgress(TObject* sender, TProgressStage stage, int percent, bool redrawNow,
                               const std::string& message) {
  Progress(sender, stage, percent, redrawNow, TRect{}, message);
}

void TGIFImage::SaveToClipboardFormat(TClipboardFormat& format, TClipboardData& data,
                                      TPalette& palette) {
  if (GetEmpty()) return;
  if (TBitmap* bitmap = GetBitmap()) bitmap->SaveToClipboardFormat(format, data, palette);
  TMemoryStream stream;
  SaveToStream(stream);
  TClipboardData block;
  try {
    block.reserve(stream.Bytes().size());
  } catch (const std::bad_alloc&) {
    // No memory for the file: the bitmap alone goes on the clipboard.
    return;
  }
  block.assign(stream.Bytes().begin(), stream.Bytes().end());
  Clipboard().SetAsHandle(GIFClipboardFormat(), std::move(block));
}

void TGIFImage::LoadFromClipboardFormat(TClipboardFormat format, const TClipboardData& data,
                                        const TPalette& palette) {
  if (format == GIFClipboardFormat()) {
    TMemoryStream stream(data);
    LoadFromStream(stream);
    return;
  }
  if (std::optional<TClipboardData> gif = Clipboard().GetAsHandle(GIFClipboardFormat())) {
    TMemoryStream stream(std::move(*gif));
    LoadFromStream(stream);
    return;
  }
  TBitmap bitmap;
  bitmap.LoadFromClipboardFormat(format, data, palette);
  Assign(&bitmap);
}

}  // namespace tavkit

// Helpers for the tests of drawing and animation: animations built frame by
// frame on a global colour table of plain colours, pictures written as one
// letter per pixel so that a composed frame reads like "RGGR/RWWR", a clock
// that records how the painter waits, and a painter run that keeps every
// frame as it was shown.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <tavkit/gif/GIF.h>
#include <tavkit/platform/base/Threads.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit::giftest {

// Global colours 0..4: red, lime, blue, yellow, black.
inline const std::vector<TColor> kLetterColors = {clRed, clLime, clBlue, clYellow, clBlack};

struct FramePlan {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels;
  int Disposal = -1;  // -1: no graphic control extension
  int Delay = 0;
  int Transparent = -1;  // -1: no transparent index
};

// An animation on a width x height screen; loopCount >= 0 puts a looping
// extension in front of the first frame.
inline std::unique_ptr<TGIFImage> MakeAnimation(int width, int height,
                                                const std::vector<FramePlan>& frames,
                                                int loopCount = -1) {
  auto image = std::make_unique<TGIFImage>();
  for (TColor color : kLetterColors) image->GetColorMap().Add(color);
  image->GetHeader().SetScreenWidth(static_cast<std::uint16_t>(width));
  image->GetHeader().SetScreenHeight(static_cast<std::uint16_t>(height));
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const FramePlan& plan = frames[i];
    auto* frame = new TGIFSubImage(image.get());
    frame->SetBounds(1, plan.Left);
    frame->SetBounds(2, plan.Top);
    frame->SetBounds(3, plan.Width);
    frame->SetBounds(4, plan.Height);
    frame->NewImage();
    std::memcpy(frame->GetData(), plan.Pixels.data(), plan.Pixels.size());
    if (i == 0 && loopCount >= 0) {
      auto* loop = new TGIFAppExtNSLoop(frame);
      loop->SetLoopCount(static_cast<std::uint16_t>(loopCount));
      frame->GetExtensions().Add(loop);
    }
    if (plan.Disposal >= 0) {
      auto* control = new TGIFGraphicControlExtension(frame);
      control->SetDisposal(plan.Disposal);
      control->SetDelay(static_cast<std::uint16_t>(plan.Delay));
      if (plan.Transparent >= 0) {
        control->SetTransparentColorIndex(plan.Transparent);
        control->SetTransparent(true);
      }
      frame->GetExtensions().Add(control);
    }
    image->Add(frame);
  }
  return image;
}

// One letter per pixel, rows separated by '/': R, G (lime), B, Y, K (black),
// W (white), C (cyan), '?' for anything else.
inline std::string Letters(const TBitmap& bitmap) {
  std::string out;
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    if (y > 0) out += '/';
    for (int x = 0; x < bitmap.GetWidth(); ++x) {
      switch (bitmap.GetPixel(x, y) & 0xFFFFFF) {
        case clRed:
          out += 'R';
          break;
        case clLime:
          out += 'G';
          break;
        case clBlue:
          out += 'B';
          break;
        case clYellow:
          out += 'Y';
          break;
        case clBlack:
          out += 'K';
          break;
        case clWhite:
          out += 'W';
          break;
        case clAqua:
          out += 'C';
          break;
        default:
          out += '?';
      }
    }
  }
  return out;
}

// A virtual clock that also records every sleep and timed wait.
class TRecordingClock : public TVirtualClock {
 public:
  void Sleep(std::uint32_t milliseconds) override {
    Record(Sleeps, milliseconds);
    TVirtualClock::Sleep(milliseconds);
  }
  bool WaitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
               std::uint32_t milliseconds, const std::function<bool()>& ready) override {
    Record(Waits, milliseconds);
    return TVirtualClock::WaitFor(condition, lock, milliseconds, ready);
  }
  std::vector<std::uint32_t> GetSleeps() {
    std::lock_guard guard(FMutex);
    return Sleeps;
  }
  std::vector<std::uint32_t> GetWaits() {
    std::lock_guard guard(FMutex);
    return Waits;
  }

 private:
  void Record(std::vector<std::uint32_t>& list, std::uint32_t value) {
    std::lock_guard guard(FMutex);
    list.push_back(value);
  }
  std::mutex FMutex;
  std::vector<std::uint32_t> Sleeps;
  std::vector<std::uint32_t> Waits;
};

// Puts a clock in place for one test.
using ClockInUse = TClockInUse;

// What a painter run showed: each composed frame (taken when the painter
// turns to the next frame or ends), and the clock at each frame.
struct PaintLog {
  std::vector<std::string> Shown;
  std::vector<std::uint32_t> FrameTicks;
  int Frames = 0;
  int Loops = 0;
  int Begins = 0;
  int Ends = 0;
};

// Hooks the log to the image's paint events, reading the picture.
inline void Record(TGIFImage& image, const TBitmap& picture, PaintLog& log) {
  image.OnPaintBegin = [&log](TObject*) { ++log.Begins; };
  image.OnPaintFrame = [&log, &picture](TObject*) {
    if (log.Frames > static_cast<int>(log.Shown.size())) log.Shown.push_back(Letters(picture));
    log.FrameTicks.push_back(GetTickCount());
    ++log.Frames;
  };
  image.OnPaintLoop = [&log](TObject*) { ++log.Loops; };
  image.OnPaintEnd = [&log, &picture](TObject*) {
    if (log.Frames > static_cast<int>(log.Shown.size())) log.Shown.push_back(Letters(picture));
    ++log.Ends;
  };
}

// A white picture of the image's screen, played through a synchronous
// painter with the options given, against a virtual clock.
inline PaintLog PlaySynchronously(TGIFImage& image, TGIFDrawOptions options,
                                  TClock* clock = nullptr) {
  TVirtualClock fallback;
  ClockInUse inUse(clock != nullptr ? *clock : fallback);
  TBitmap picture(image.GetWidth(), image.GetHeight(), TPixelFormat::pf24bit);
  PaintLog log;
  Record(image, picture, log);
  image.Paint(picture.Canvas(), Rect(0, 0, picture.GetWidth(), picture.GetHeight()), options);
  image.OnPaintBegin = image.OnPaintFrame = image.OnPaintLoop = image.OnPaintEnd = nullptr;
  return log;
}

}  // namespace tavkit::giftest

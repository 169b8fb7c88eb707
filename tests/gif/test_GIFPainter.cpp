// The animation painter: frame timing against a recording clock, looping,
// composition of frames that dispose of themselves (checked pixel by pixel,
// one letter per pixel), painting through its own thread, and painters that
// meet a canvas or an image going away while they run.
#include <gtest/gtest.h>

#include <chrono>

#include "AnimationSupport.h"
#include "TestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;
using testsupport::WaitUntil;

const TGIFDrawOptions kPlayOnce = {goAnimate, goTransparent};
const TGIFDrawOptions kPlayLooping = {goAnimate, goTransparent, goLoop};

FramePlan Dot(int left, std::uint8_t color, int delay) {
  return FramePlan{left, 0, 1, 1, {color}, dmNoDisposal, delay};
}

// Runs the calls that painters make on the main thread, for a little while.
void PumpMainThread() {
  CheckSynchronize(10);
}

// Pumps the main thread until the image has no painters left.
void PumpUntilIdle(TGIFImage& image) {
  const auto idle = [&image] {
    TList<TGIFPainter>& painters = image.GetPainters().LockList();
    const bool empty = painters.IsEmpty();
    image.GetPainters().UnlockList();
    return empty;
  };
  EXPECT_TRUE(WaitUntil(idle, PumpMainThread)) << "the painters did not end";
}

TEST(GIFPainterTiming, DelaysBelowTheMinimumAndZeroDelays) {
  // The first frame of a synchronous painter waits one hundredth; Delay 2
  // counts as the minimum 4, Delay 0 as the default 10; each hundredth is
  // GIFDelayExp (12) ms at speed 100, slept in steps of at most 100 ms.
  auto image = MakeAnimation(3, 1, {Dot(0, 0, 2), Dot(1, 1, 0), Dot(2, 2, 7)});
  TRecordingClock clock;
  const PaintLog log = PlaySynchronously(*image, kPlayOnce, &clock);
  EXPECT_EQ(log.FrameTicks, (std::vector<std::uint32_t>{12, 12 + 48, 12 + 48 + 120}));
  EXPECT_EQ(clock.GetSleeps(), (std::vector<std::uint32_t>{12, 48, 100, 20}));
  EXPECT_EQ(log.Shown, (std::vector<std::string>{"RWW", "RGW", "RGB"}));
}

TEST(GIFPainterTiming, AnimationSpeedScalesTheWaits) {
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 10), Dot(1, 1, 10)});
  image->SetAnimationSpeed(200);
  TRecordingClock clock;
  const PaintLog log = PlaySynchronously(*image, kPlayOnce, &clock);
  // (10 x 12 - 0 ms since the frame was drawn) x 100 / 200.
  EXPECT_EQ(log.FrameTicks, (std::vector<std::uint32_t>{6, 66}));
}

TEST(GIFPainterTiming, LongDelaysAreCappedOnlyForSynchronousPainters) {
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 5000), Dot(1, 1, 5000)});
  TRecordingClock clock;
  const PaintLog log = PlaySynchronously(*image, kPlayOnce, &clock);
  EXPECT_EQ(log.FrameTicks, (std::vector<std::uint32_t>{12, 12 + 12000}));

  // The asynchronous painter waits on its event for the whole delay; its
  // first frame does not wait at all.
  TRecordingClock asyncClock;
  ClockInUse inUse(asyncClock);
  TBitmap picture(2, 1, TPixelFormat::pf24bit);
  PaintLog asyncLog;
  Record(*image, picture, asyncLog);
  ASSERT_NE(image->Paint(picture.Canvas(), Rect(0, 0, 2, 1),
                         TGIFDrawOptions{goAsync, goAnimate, goTransparent}),
            nullptr);
  PumpUntilIdle(*image);
  EXPECT_EQ(asyncClock.GetWaits(), (std::vector<std::uint32_t>{60000}));
  EXPECT_EQ(asyncLog.Shown, (std::vector<std::string>{"RW", "RG"}));
  EXPECT_EQ(asyncLog.Ends, 1);
}

TEST(GIFPainterLoops, LoopCountPlaysTheFramesThatOftenOnlyWithLoop) {
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 1), Dot(1, 1, 1)}, 3);
  const PaintLog looping = PlaySynchronously(*image, kPlayLooping);
  EXPECT_EQ(looping.Frames, 6);
  EXPECT_EQ(looping.Loops, 2);
  EXPECT_EQ(looping.Begins, 1);
  EXPECT_EQ(looping.Ends, 1);

  const PaintLog once = PlaySynchronously(*image, kPlayOnce);
  EXPECT_EQ(once.Frames, 2);
  EXPECT_EQ(once.Loops, 0);

  // Without goAnimate only the first frame is shown.
  const PaintLog still = PlaySynchronously(*image, TGIFDrawOptions{goLoop});
  EXPECT_EQ(still.Frames, 1);
}

TEST(GIFPainterLoops, LoopingForEverIsForAsynchronousPaintersOnly) {
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 1), Dot(1, 1, 1)}, 0);
  EXPECT_EQ(PlaySynchronously(*image, kPlayLooping).Frames, 2);
}

TEST(GIFPainterLoops, ClearOnLoopStartsEachLoopFromTheBackground) {
  // Frame 0 leaves its right pixel transparent; frame 1 paints it.
  auto image =
      MakeAnimation(2, 1, {FramePlan{0, 0, 2, 1, {0, 3}, dmNoDisposal, 1, 3}, Dot(1, 1, 1)}, 2);
  EXPECT_EQ(PlaySynchronously(*image, kPlayLooping).Shown,
            (std::vector<std::string>{"RW", "RG", "RG", "RG"}));
  TGIFDrawOptions clearing = kPlayLooping;
  clearing.Include(goClearOnLoop);
  EXPECT_EQ(PlaySynchronously(*image, clearing).Shown,
            (std::vector<std::string>{"RW", "RG", "RW", "RG"}));
}

TEST(GIFPainterComposition, DisposalToBackground) {
  // Red screen; a 2x2 frame with a transparent corner, disposed to the
  // background; a blue dot.
  auto image = MakeAnimation(4, 2,
                             {FramePlan{0, 0, 4, 2, {0, 0, 0, 0, 0, 0, 0, 0}, dmNoDisposal, 1},
                              FramePlan{1, 0, 2, 2, {1, 3, 1, 1}, dmBackground, 1, 3},
                              FramePlan{0, 1, 1, 1, {2}, dmNone, 1}});
  EXPECT_EQ(PlaySynchronously(*image, kPlayOnce).Shown,
            (std::vector<std::string>{"RRRR/RRRR", "RGRR/RGGR", "RWWR/BWWR"}));
  // Without goTransparent the area is cleared with EraseColor, and
  // transparent pixels are drawn in their colour.
  image->SetEraseColor(clAqua);
  EXPECT_EQ(PlaySynchronously(*image, TGIFDrawOptions{goAnimate}).Shown,
            (std::vector<std::string>{"RRRR/RRRR", "RGYR/RGGR", "RCCR/BCCR"}));
}

TEST(GIFPainterComposition, DisposalToPrevious) {
  auto image = MakeAnimation(
      4, 2,
      {FramePlan{0, 0, 4, 2, {0, 0, 0, 0, 0, 0, 0, 0}, dmNoDisposal, 1},
       FramePlan{0, 0, 2, 1, {1, 1}, dmPrevious, 1},
       FramePlan{2, 1, 2, 1, {2, 3}, dmBackground, 1, 3},
       FramePlan{0, 0, 1, 2, {2, 2}, dmPrevious, 1}, FramePlan{3, 0, 1, 1, {1}, dmNone, 1}});
  EXPECT_EQ(
      PlaySynchronously(*image, kPlayOnce).Shown,
      (std::vector<std::string>{"RRRR/RRRR", "GGRR/RRRR", "RRRR/RRBR", "BRRR/BRWW", "RRRG/RRWW"}));
}

TEST(GIFPainterComposition, FramesAreScaledIntoTheTargetRectangle) {
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 1), Dot(1, 2, 1)});
  TVirtualClock clock;
  ClockInUse inUse(clock);
  TBitmap picture(6, 2, TPixelFormat::pf24bit);
  image->Paint(picture.Canvas(), Rect(1, 0, 5, 2), kPlayOnce);
  EXPECT_EQ(Letters(picture), "WRRBBW/WRRBBW");
}

// Only what frames change is copied to the target: what a frame disposed to
// the background or to the previous picture leaves behind must still be put
// right by the next frame, far from it and into a target rectangle that
// does not start at the canvas's corner.
TEST(GIFPainterComposition, WhatAFrameLeavesIsPutRightByTheNext) {
  auto image = MakeAnimation(
      3, 1,
      {FramePlan{0, 0, 3, 1, {0, 0, 0}, dmNone, 1}, FramePlan{0, 0, 1, 1, {1}, dmBackground, 1},
       FramePlan{2, 0, 1, 1, {2}, dmPrevious, 1}, FramePlan{1, 0, 1, 1, {3}, dmNone, 1},
       FramePlan{2, 0, 1, 1, {1}, dmBackground, 1}, FramePlan{0, 0, 1, 1, {2}, dmPrevious, 1},
       FramePlan{1, 0, 1, 1, {4}, dmNone, 1}});
  EXPECT_EQ(PlaySynchronously(*image, kPlayOnce).Shown,
            (std::vector<std::string>{"RRR", "GRR", "WRB", "WYR", "WYG", "BYW", "WKW"}));
  TVirtualClock clock;
  ClockInUse inUse(clock);
  TBitmap picture(5, 1, TPixelFormat::pf24bit);
  image->Paint(picture.Canvas(), Rect(2, 0, 5, 1), kPlayOnce);
  EXPECT_EQ(Letters(picture), "WWWKW");
}

// A frame of one pixel on a screen of four million costs about one pixel:
// copying the whole composition for each of a thousand frames took a
// minute.
TEST(GIFPainterComposition, AFrameCostsItsOwnSizeNotTheScreens) {
  constexpr int kSide = 2048, kFrames = 1000;
  std::vector<FramePlan> frames;
  for (int i = 0; i < kFrames; ++i)
    frames.push_back(
        FramePlan{i * 37 % kSide, i * 91 % kSide, 1, 1, {std::uint8_t(i % 4)}, dmBackground, 1});
  auto image = MakeAnimation(kSide, kSide, frames);
  TVirtualClock clock;
  ClockInUse inUse(clock);
  TBitmap picture(kSide, kSide, TPixelFormat::pf24bit);
  int shown = 0;
  image->OnPaintFrame = [&](TObject*) { ++shown; };
  const auto start = std::chrono::steady_clock::now();
  image->Paint(picture.Canvas(), Rect(0, 0, kSide, kSide), kPlayOnce);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(shown, kFrames);
  // Every frame but the last was disposed of: one pixel of its colour stays.
  const int last = kFrames - 1;
  EXPECT_EQ(testsupport::CountPixels(picture, clWhite), kSide * kSide - 1);
  EXPECT_EQ(picture.GetPixel(last * 37 % kSide, last * 91 % kSide), kLetterColors[last % 4]);
}

TEST(GIFPainterThreads, ASingleFrameIsPaintedBeforePaintReturns) {
  auto image = MakeAnimation(2, 1, {FramePlan{0, 0, 2, 1, {2, 1}}});
  TBitmap picture(2, 1, TPixelFormat::pf24bit);
  EXPECT_EQ(
      image->Paint(picture.Canvas(), Rect(0, 0, 2, 1), TGIFDrawOptions{goAsync, goAnimate, goLoop}),
      nullptr);
  EXPECT_EQ(Letters(picture), "BG");
  TList<TGIFPainter>& painters = image->GetPainters().LockList();
  EXPECT_TRUE(painters.IsEmpty());
  image->GetPainters().UnlockList();
}

TEST(GIFPainterThreads, AnAsynchronousPainterDrawsOnTheMainThread) {
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 1), Dot(1, 1, 1)});
  TVirtualClock clock;
  ClockInUse inUse(clock);
  TBitmap picture(2, 1, TPixelFormat::pf24bit);
  std::vector<bool> onMainThread;
  image->OnPaintFrame = [&](TObject* sender) {
    onMainThread.push_back(IsMainThread());
    EXPECT_EQ(static_cast<TGIFPainter*>(sender)->GetImage(), image.get());
  };
  TGIFPainter* painter =
      image->Paint(picture.Canvas(), Rect(0, 0, 2, 1), TGIFDrawOptions{goAsync, goAnimate});
  ASSERT_NE(painter, nullptr);
  PumpUntilIdle(*image);
  EXPECT_EQ(onMainThread, (std::vector<bool>{true, true}));
  EXPECT_EQ(Letters(picture), "RG");
}

TEST(GIFPainterThreads, DrawWaitsForTheFirstFrameAndKeepsTheBitmapUpToDate) {
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 1), Dot(1, 1, 1)});
  TVirtualClock clock;
  ClockInUse inUse(clock);
  TBitmap screen(4, 1, TPixelFormat::pf24bit);
  image->Draw(screen.Canvas(), Rect(0, 0, 4, 1));
  EXPECT_EQ(Letters(screen), "RRWW");
  ASSERT_NE(image->GetDrawPainter(), nullptr);
  PumpUntilIdle(*image);
  EXPECT_EQ(image->GetDrawPainter(), nullptr);
  image->Draw(screen.Canvas(), Rect(0, 0, 4, 1));
  EXPECT_EQ(Letters(screen), "RRGG");
}

TEST(GIFPainterThreads, DirectDrawPaintsOnTheCanvasAndFollowsTheImageSettings) {
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 1), Dot(1, 1, 1)}, 0);
  TVirtualClock clock;
  ClockInUse inUse(clock);
  image->SetDrawOptions(TGIFDrawOptions{goAsync, goAnimate, goLoop, goDirectDraw});
  TBitmap screen(2, 1, TPixelFormat::pf24bit);
  image->Draw(screen.Canvas(), Rect(0, 0, 2, 1));
  TGIFPainter* painter = image->GetDrawPainter();
  ASSERT_NE(painter, nullptr);
  EXPECT_EQ(painter->GetCanvas(), &screen.Canvas());
  // Drawing the same place again leaves the painter at it.
  image->Draw(screen.Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(image->GetDrawPainter(), painter);
  EXPECT_TRUE(WaitUntil([&] { return Letters(screen) == "RG"; }, PumpMainThread))
      << "the screen shows " << Letters(screen);
  image->SetAnimationSpeed(300);
  EXPECT_EQ(painter->GetAnimationSpeed(), 300);
  // New options stop the painter of Draw before they take effect.
  image->SetDrawOptions(TGIFDrawOptions{goAnimate});
  EXPECT_EQ(image->GetDrawPainter(), nullptr);
  TList<TGIFPainter>& painters = image->GetPainters().LockList();
  EXPECT_TRUE(painters.IsEmpty());
  image->GetPainters().UnlockList();
}

TEST(GIFPainterThreads, PaintersEndCleanlyWhenTheImageGoesAway) {
  // Looping for ever, one painter of Draw and two of Paint, one of them
  // paused: destroying the image stops them all and waits for them.
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 1), Dot(1, 1, 1), Dot(0, 2, 1)}, 0);
  TVirtualClock clock;
  ClockInUse inUse(clock);
  TBitmap screen(2, 1, TPixelFormat::pf24bit);
  int ends = 0;
  image->OnPaintEnd = [&ends](TObject*) { ++ends; };
  const TGIFDrawOptions options = {goAsync, goAnimate, goLoop, goTransparent};
  image->SetDrawOptions(options);
  image->Draw(screen.Canvas(), Rect(0, 0, 2, 1));
  ASSERT_NE(image->Paint(screen.Canvas(), Rect(0, 0, 2, 1), options), nullptr);
  TGIFPainter* paused = image->Paint(screen.Canvas(), Rect(0, 0, 2, 1), options);
  ASSERT_NE(paused, nullptr);
  for (int i = 0; i < 20; ++i) CheckSynchronize(10);
  paused->Suspend();
  for (int i = 0; i < 20; ++i) CheckSynchronize(10);
  image.reset();
  EXPECT_EQ(ends, 3);
  ReapFinishedThreads();
}

TEST(GIFPainterThreads, PauseResumeAndRestart) {
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 1), Dot(1, 1, 1)}, 0);
  TVirtualClock clock;
  ClockInUse inUse(clock);
  TBitmap picture(2, 1, TPixelFormat::pf24bit);
  int begins = 0;
  image->OnPaintBegin = [&begins](TObject*) { ++begins; };
  TGIFPainter* painter =
      image->Paint(picture.Canvas(), Rect(0, 0, 2, 1), TGIFDrawOptions{goAsync, goAnimate, goLoop});
  ASSERT_NE(painter, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return begins >= 1; }, PumpMainThread))
      << "the painter did not begin";
  image->PaintPause();
  EXPECT_TRUE(painter->GetSuspended());
  image->PaintRestart();
  EXPECT_FALSE(painter->GetSuspended());
  EXPECT_TRUE(WaitUntil([&] { return begins >= 2; }, PumpMainThread))
      << "the painter did not begin again";
  EXPECT_EQ(begins, 2);
  image->PaintStop();
  TList<TGIFPainter>& painters = image->GetPainters().LockList();
  EXPECT_TRUE(painters.IsEmpty());
  image->GetPainters().UnlockList();
}

TEST(GIFPainterCanvas, APainterStopsWhenItsCanvasGoesAway) {
  auto image = MakeAnimation(2, 1, {Dot(0, 0, 1), Dot(1, 1, 1), Dot(0, 2, 1)});
  TVirtualClock clock;
  ClockInUse inUse(clock);
  auto picture = std::make_unique<TBitmap>(2, 1, TPixelFormat::pf24bit);
  int frames = 0, ends = 0;
  image->OnPaintFrame = [&](TObject*) {
    if (++frames == 2) picture.reset();
  };
  image->OnPaintEnd = [&ends](TObject*) { ++ends; };
  image->Paint(picture->Canvas(), Rect(0, 0, 2, 1), TGIFDrawOptions{goAnimate, goValidateCanvas});
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(ends, 1);
}

TEST(GIFPainterCanvas, CanvasHandlesLiveAsLongAsTheirBitmap) {
  auto bitmap = std::make_unique<TBitmap>(1, 1);
  const HDC handle = bitmap->Canvas().GetHandle();
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(bitmap->Canvas().GetHandle(), handle);
  EXPECT_TRUE(IsDeviceContext(handle));
  bitmap.reset();
  EXPECT_FALSE(IsDeviceContext(handle));
  TBitmap other(1, 1);
  EXPECT_NE(other.Canvas().GetHandle(), handle);
  TCanvas unbound;
  EXPECT_EQ(unbound.GetHandle(), 0u);
}

}  // namespace
}  // namespace tavkit

// TGIFPainter: plays a GIF image on a canvas, frame after frame with the
// frames' delays, their disposal and the image's looping extension. An
// asynchronous painter times the animation on a thread of its own and does
// everything that touches the image or a canvas on the main thread through
// Synchronize, so that pictures are only ever used from the main thread; a
// synchronous painter runs the same loop in the caller's thread.
//
// ```cpp
// TGIFImage gif;
// gif.LoadFromFile("spinner.gif");
// TBitmap screen(gif.GetWidth(), gif.GetHeight());
// TGIFPainter* painter = gif.Paint(screen.Canvas(), Rect(0, 0, gif.GetWidth(), gif.GetHeight()),
//                                  {goAsync, goAnimate, goLoop, goTransparent});
// if (painter != nullptr) painter->SetAnimationSpeed(200);  // null: a still, drawn at once
// for (int i = 0; i < 100; ++i) CheckSynchronize(10);       // the main thread draws
// gif.PaintStop();                            // ends every painter and waits for them
// // Without goAsync, Paint plays the animation once in the calling thread;
// // a TVirtualClock in use lets its delays pass at once.
// ```
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <tavkit/gif/GIFImage.h>
#include <tavkit/platform/base/Threads.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

class TGIFPainter : public TThread {
 public:
  // A suspended painter of the image into rect of the canvas; it adds
  // itself to the image's painters, and to *slot when given (cleared again
  // when it ends). Made by TGIFImage::InternalPaint.
  TGIFPainter(TGIFImage* image, TCanvas& canvas, const TRect& rect, TGIFDrawOptions options,
              TGIFPainter** slot = nullptr);
  ~TGIFPainter() override;

  // Lets an asynchronous painter run (or go on after a pause).
  void Start();
  // Ends the painting: the painter stops at the next frame or wait.
  void Stop();
  // Starts the animation over from its first frame.
  void Restart();
  int GetAnimationSpeed() const { return FAnimationSpeed.load(); }
  // Clamped to 1..1000; a change restarts the animation at the new speed.
  void SetAnimationSpeed(int speed);

  // The frame being shown, -1 when the painter is not painting.
  int GetActiveImage() const { return FActiveImage.load(); }
  bool GetAsync() const { return FOptions.Contains(goAsync); }
  TGIFDrawOptions GetDrawOptions() const { return FOptions; }
  // The image painted; null once the image has gone or the painter ended.
  // Main thread only.
  TGIFImage* GetImage() const { return FImage; }
  TCanvas* GetCanvas() const { return FCanvas; }
  const TRect& GetRect() const { return FRect; }
  // Whether a frame has reached the canvas since the painter started.
  bool GetFirstFrameDrawn() const { return FFirstFrameDrawn.load(); }

  TNotifyEvent OnStartPaint;
  TNotifyEvent OnPaint;
  TNotifyEvent OnLoop;
  TNotifyEvent OnEndPaint;

 protected:
  void Execute() override;
  // Asynchronous painters end on the main thread (DoOnTerminate).
  void DoTerminate() override;

 private:
  friend class TGIFImage;

  // What the loop needs to know of one frame, read on the main thread.
  struct TFrameInfo {
    bool Present = false;
    int LoopCount = -1;  // -1: no looping extension
    bool HasControl = false;
    TDisposalMethod Disposal = dmNoDisposal;
    int Delay = 0;
  };

  // Runs method on the main thread (asynchronous) or at once (synchronous).
  void DoSynchronize(const std::function<void()>& method);
  // Runs Execute in the caller's thread, ends and frees the painter.
  void RunSynchronously();
  void Animate();
  // Waits `wait` hundredths of a second (scaled by GIFDelayExp and the
  // speed) counted from lastTime, or until a signal cuts the wait short.
  void WaitFrame(int wait, std::uint32_t lastTime);
  TFrameInfo ReadFrame(int index);
  void PrefetchBitmap(int index);
  void DoEvent(const TNotifyEvent& event);
  // Draws frame index; terminates the painter when the image or the
  // canvas has gone.
  void DrawFrame(int index, TDisposalMethod disposal, TDisposalMethod previous);
  bool CanvasValid();
  void DoPaint(TGIFSubImage& frame);
  void DoPaintFrame(TGIFSubImage& frame, int index, TDisposalMethod disposal,
                    TDisposalMethod previous);
  // Clears the frame's area of the composition buffer: back to the
  // background copy with goTransparent, else EraseColor.
  void ClearArea(TGIFSubImage& frame);
  // The part of the composition a frame covers, in the buffer's
  // coordinates: all of it when tiled.
  TRect FrameArea(TGIFSubImage& frame) const;
  // Copies the buffer to the target where the target shows something else.
  void ShowStale();
  // Leaves the image's painters (main thread).
  void DoOnTerminate();
  // Forgets the image, which is going away (main thread, list locked).
  void Detach();

  TGIFImage* FImage;
  TCanvas* FCanvas;
  TRect FRect;
  const TGIFDrawOptions FOptions;
  TGIFPainter** FSlot;
  HDC FCanvasHandle = 0;
  TColor FEraseColor = clNone;
  std::atomic<int> FAnimationSpeed;
  std::atomic<int> FActiveImage{-1};
  std::atomic<bool> FRestart{false};
  std::atomic<bool> FFirstFrameDrawn{false};
  std::unique_ptr<TBitmap> FBuffer;          // the composition
  std::vector<TRect> FStale;                 // parts of the target not showing FBuffer
  std::unique_ptr<TBitmap> FPreviousBuffer;  // for frames disposed to previous
  std::unique_ptr<TBitmap> FBackground;      // what was under the image
  std::unique_ptr<TEvent> FEvent;
};

}  // namespace tavkit

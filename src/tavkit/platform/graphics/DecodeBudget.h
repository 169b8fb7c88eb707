// Pixel budgets for decoding. Code that shows a picture at a size of its own
// (a page element draws a database picture at the element's size) opens a
// budget around reading it; every GIF frame and every bitmap made on that
// thread while the budget is open counts against it, before its memory is
// taken, so that a file of a few bytes claiming a huge picture is refused
// instead of costing a gigabyte and seconds on every page that shows it.
//
// ```cpp
// TPicture picture;
// try {
//   const TDecodeBudget budget("MaxElementPicturePixels", MaxElementPicturePixels);
//   picture.LoadFromFile("upload.gif");       // refused once its pixels pass the budget
//   picture.Bitmap();                         // the bitmap made of it is counted too
// } catch (const ETooLarge& refusal) {        // refusal.LimitName() is the budget's name
//   std::cerr << refusal.Message() << "\n";
// }
// ```
#pragma once

#include <cstdint>
#include <string>

#include <tavkit/platform/base/Limits.h>

namespace tavkit {

class TDecodeBudget {
 public:
  // Opens a budget of pixels on this thread, named after the limit it
  // stands for; budgets nest, and the innermost one counts.
  TDecodeBudget(std::string limitName, std::int64_t pixels);
  ~TDecodeBudget();
  TDecodeBudget(const TDecodeBudget&) = delete;
  TDecodeBudget& operator=(const TDecodeBudget&) = delete;

  // The pixels not yet taken.
  std::int64_t GetLeft() const { return FLeft; }

  // Counts pixels about to be decoded against the budget open on this
  // thread; raises ETooLargeAs<E> with message, naming the budget's limit,
  // when they do not fit. Without an open budget it does nothing.
  template <class E>
  static void Take(std::int64_t pixels, const std::string& message) {
    if (const TDecodeBudget* refusing = Consume(pixels))
      throw ETooLargeAs<E>(refusing->FLimitName, refusing->FLimit, message);
  }

 private:
  // Takes the pixels, or returns the budget they do not fit in.
  static const TDecodeBudget* Consume(std::int64_t pixels);

  std::string FLimitName;
  std::int64_t FLimit;
  std::int64_t FLeft;
  TDecodeBudget* FOuter;
};

}  // namespace tavkit

// The budget open on each thread, as a chain from the innermost outward.
#include <tavkit/platform/graphics/DecodeBudget.h>

#include <utility>

namespace tavkit {

namespace {

thread_local TDecodeBudget* Innermost = nullptr;

}  // namespace

TDecodeBudget::TDecodeBudget(std::string limitName, std::int64_t pixels)
    : FLimitName(std::move(limitName)), FLimit(pixels), FLeft(pixels), FOuter(Innermost) {
  Innermost = this;
}

TDecodeBudget::~TDecodeBudget() {
  Innermost = FOuter;
}

const TDecodeBudget* TDecodeBudget::Consume(std::int64_t pixels) {
  TDecodeBudget* budget = Innermost;
  if (budget == nullptr || pixels <= 0) return nullptr;
  if (pixels > budget->FLeft) return budget;
  budget->FLeft -= pixels;
  return nullptr;
}

}  // namespace tavkit

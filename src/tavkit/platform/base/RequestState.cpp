// The resets of request state. Units register theirs while static objects
// are made, so the list is made on first use rather than in static order.
#include <tavkit/platform/base/RequestState.h>

#include <mutex>
#include <vector>

namespace tavkit {

namespace {

struct TResets {
  std::mutex Lock;
  std::vector<void (*)()> Items;
};

TResets& Resets() {
  static TResets resets;
  return resets;
}

}  // namespace

void RegisterRequestReset(void (*reset)()) {
  TResets& resets = Resets();
  std::lock_guard<std::mutex> lock(resets.Lock);
  resets.Items.push_back(reset);
}

void ResetRequestState() {
  TResets& resets = Resets();
  std::lock_guard<std::mutex> lock(resets.Lock);
  for (auto* reset : resets.Items) reset();
}

}  // namespace tavkit

// Layout speed: put of a page with 10 to 5000 fixed-size children placed at
// random (overlapping), at random without overlap, and on a regular grid.
// Reports the time per put, the document's size, the time per byte written
// and the most heap memory one put held at once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <tavkit/layout/WvPage.h>
#include <tavkit/layout/WvStandardComponent.h>

#include "PeakMemory.h"

namespace {

using namespace tavkit;

enum Placement { kOverlapping, kSeparate, kRegular };

struct Page {
  std::unique_ptr<TComponent> Form = std::make_unique<TComponent>(nullptr);
  TWvPage* Root = nullptr;
};

Page MakePage(int children, Placement placement) {
  Page result;
  result.Root = new TWvPage(result.Form.get());
  std::mt19937 random(42u + static_cast<unsigned>(children));
  auto add = [&](int l, int t, int w, int h) {
    auto* element = new TWvStandardComponent(result.Form.get());
    element->SetParent(result.Root);
    element->SetBounds(l, t, w, h);
    element->GetHTMLInside()->Add("<IMG SRC=\"x.gif\" WIDTH=" + std::to_string(w) +
                                  " HEIGHT=" + std::to_string(h) + ">");
  };
  const int slotW = 48, slotH = 32;
  int side = 1;
  while (side * side < children) ++side;
  if (placement == kOverlapping) {
    result.Root->SetBounds(0, 0, 1024, 768);
    std::uniform_int_distribution<int> x(1, 960), y(1, 720), size(8, 64);
    for (int i = 0; i < children; ++i) add(x(random), y(random), size(random), size(random));
  } else if (placement == kSeparate) {
    // Twice as many slots as children, a random half taken, each child at a
    // random place inside its own slot.
    int columns = side * 2;
    result.Root->SetBounds(0, 0, columns * slotW + 1, side * slotH + 1);
    std::vector<int> slots(static_cast<std::size_t>(columns * side));
    for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = static_cast<int>(i);
    std::shuffle(slots.begin(), slots.end(), random);
    std::uniform_int_distribution<int> dx(1, 16), dy(1, 8), w(8, 30), h(8, 22);
    for (int i = 0; i < children; ++i) {
      int slot = slots[static_cast<std::size_t>(i)];
      add((slot % columns) * slotW + dx(random), (slot / columns) * slotH + dy(random), w(random),
          h(random));
    }
  } else {
    result.Root->SetBounds(0, 0, side * slotW + 1, side * slotH + 1);
    for (int i = 0; i < children; ++i)
      add((i % side) * slotW + 4, (i / side) * slotH + 4, slotW - 8, slotH - 8);
  }
  return result;
}

void BM_PagePut(benchmark::State& state, Placement placement) {
  Page page = MakePage(static_cast<int>(state.range(0)), placement);
  std::size_t bytes = 0;
  std::size_t peak = 0;
  for (auto _ : state) {
    std::string html;
    peak = std::max(peak, peakmemory::Of([&] { html = page.Root->put(nullptr); }));
    bytes = html.size();
    benchmark::DoNotOptimize(html);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["ns_per_byte"] = benchmark::Counter(
      static_cast<double>(bytes) * 1e-9,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(BM_PagePut, random_overlapping, kOverlapping)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PagePut, random_separate, kSeparate)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PagePut, regular_grid, kRegular)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// The container layout against the straightforward layout it replaced: a
// grid of every row by every column, each cell taken by the last element
// covering it, walked cell by cell. On hand-made and thousands of random
// containers (nested ones, elements overlapping, touching, without area, on
// and beyond the container's edges) both write the same bytes, put the
// elements in the same order and give them the same grid lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/layout/WvPanel.h>

namespace tavkit {
namespace {

std::vector<std::string> gPutOrder;

// An element whose HTML is its name, recording when it is put.
class TNamed : public TWvVisibleComponent {
 public:
  using TWvVisibleComponent::TWvVisibleComponent;
  std::string put(TWvCustomOptimizer*) override {
    gPutOrder.push_back(GetName());
    return GetName();
  }
};

int Line(const std::vector<int>& lines, int position) {
  return static_cast<int>(std::lower_bound(lines.begin(), lines.end(), position) - lines.begin());
}

struct TReferenceLines {
  int ColStart, ColEnd, RowStart, RowEnd;
  bool operator==(const TReferenceLines&) const = default;
};

std::string Span(const char* name, int span) {
  return span < 2 ? " " : " " + std::string(name) + "=" + std::to_string(span);
}

// The layout of the container's children as the grid walk wrote it; lines
// receives every element's grid lines.
std::string GridLayout(TWvCustomContainer& container, const std::string& tableStart,
                       const std::string& tableEnd, std::vector<TReferenceLines>& lines) {
  std::vector<TWvComponent*> children;
  for (int i = 0; i < container.GetControlCount(); ++i)
    if (auto* child = dynamic_cast<TWvComponent*>(container.GetControl(i)))
      children.push_back(child);
  std::vector<int> xs = {0, container.GetWidth()}, ys = {0, container.GetHeight()};
  for (TWvComponent* c : children) {
    xs.insert(xs.end(), {c->GetLeft(), c->GetLeft() + c->GetWidth()});
    ys.insert(ys.end(), {c->GetTop(), c->GetTop() + c->GetHeight()});
  }
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  const int columns = static_cast<int>(xs.size()) - 1, rows = static_cast<int>(ys.size()) - 1;

  struct TCell {
    TWvComponent* Child = nullptr;
    bool Origin = false;
    TReferenceLines At{};
  };
  std::vector<TCell> grid(static_cast<std::size_t>(columns * rows));
  auto cell = [&](int column, int row) -> TCell& {
    return grid[std::size_t(row * columns + column)];
  };
  lines.clear();
  for (TWvComponent* c : children) {
    TReferenceLines at{Line(xs, c->GetLeft()), Line(xs, c->GetLeft() + c->GetWidth()),
                       Line(ys, c->GetTop()), Line(ys, c->GetTop() + c->GetHeight())};
    lines.push_back(at);
    if (c->GetWidth() <= 0 || c->GetHeight() <= 0) continue;
    for (int row = at.RowStart; row < at.RowEnd; ++row)
      for (int column = at.ColStart; column < at.ColEnd; ++column)
        cell(column, row) = TCell{c, false, at};
    cell(at.ColStart, at.RowStart).Origin = true;
  }

  std::string out =
      container.IsBackgroundTransparent()
          ? "<TABLE BORDER=0"
          : "<TABLE BGCOLOR=\"#" + WvMakeWebColor(container.GetBackGroundColor()) + "\" BORDER=0";
  out += " CELLSPACING=0 CELLPADDING=0 WIDTH=" + std::to_string(container.GetWidth()) + ">" +
         tableStart;
  std::vector<bool> done(static_cast<std::size_t>(columns));
  for (int row = 0; row < rows; ++row) {
    const std::string height = std::to_string(ys[std::size_t(row) + 1] - ys[std::size_t(row)]);
    out += "<TR VALIGN=\"top\" ALIGN=\"left\">";
    int run = 0;
    auto flush = [&] {
      if (run > 1) out += "<TD COLSPAN=" + std::to_string(run) + "></TD>";
      if (run == 1) out += "<TD></TD>";
      run = 0;
    };
    for (int column = 0; column < columns; ++column) {
      const TCell& here = cell(column, row);
      const auto c = static_cast<std::size_t>(column);
      if (here.Child == nullptr) {
        if (column == 0 || !done[c]) {
          flush();
          out += "<TD HEIGHT=" + height;
          if (!done[c]) out += " WIDTH=" + std::to_string(xs[c + 1] - xs[c]);
          out += " ></TD>";
        } else {
          ++run;
        }
        done[c] = true;
        continue;
      }
      flush();
      if (!here.Origin) continue;
      auto* visible = dynamic_cast<TWvVisibleComponent*>(here.Child);
      std::string align, background;
      if (visible != nullptr) {
        if (!visible->IsBackgroundTransparent())
          background = "BGCOLOR=\"#" + WvMakeWebColor(visible->GetBackGroundColor()) + "\"";
        if (visible->GetAlign() == taRight) align = "ALIGN=\"right\"";
        if (visible->GetAlign() == taCenter) align = "ALIGN=\"center\"";
      }
      std::string html = visible != nullptr ? visible->put(nullptr) : std::string();
      std::string styleClass = visible != nullptr && !visible->GetStyleClass().empty()
                                   ? " class=\"" + visible->GetStyleClass() + "\""
                                   : std::string();
      out += "<TD " + align + " HEIGHT=" + height +
             Span("ROWSPAN", here.At.RowEnd - here.At.RowStart) +
             Span("COLSPAN", here.At.ColEnd - here.At.ColStart) + " " + background + styleClass +
             " >" + html + "</TD>";
    }
    if (run == 0) out += "<TD></TD>";
    if (run > 1) flush();
    out += "</TR>";
  }
  return out + tableEnd + "</TABLE>";
}

// Lays the container and every container inside it out both ways.
void ExpectSameLayout(TWvCustomContainer& container, const std::string& what) {
  gPutOrder.clear();
  const std::string written = container.IterateChildren("<start>", "<end>", nullptr);
  const std::vector<std::string> writtenOrder = gPutOrder;
  std::vector<TReferenceLines> writtenLines;
  for (int i = 0; i < container.GetControlCount(); ++i)
    if (auto* c = dynamic_cast<TWvComponent*>(container.GetControl(i)))
      writtenLines.push_back({c->ColStart, c->ColEnd, c->RowStart, c->RowEnd});

  gPutOrder.clear();
  std::vector<TReferenceLines> lines;
  EXPECT_EQ(written, GridLayout(container, "<start>", "<end>", lines)) << what;
  EXPECT_EQ(writtenOrder, gPutOrder) << what;
  EXPECT_TRUE(writtenLines == lines) << what;

  for (int i = 0; i < container.GetControlCount(); ++i)
    if (auto* inner = dynamic_cast<TWvCustomContainer*>(container.GetControl(i)))
      ExpectSameLayout(*inner, what + " in " + inner->GetName());
}

struct TRect {
  int Left, Top, Width, Height;
};

TEST(LayoutAgainstGrid, HandMadeContainers) {
  const struct {
    const char* What;
    TRect Container;
    std::vector<TRect> Elements;
  } cases[] = {
      {"empty", {1, 1, 120, 40}, {}},
      {"no size at all", {1, 1, 0, 0}, {}},
      {"no size, one element", {1, 1, 0, 0}, {{3, 3, 4, 4}}},
      {"one element", {1, 1, 200, 100}, {{10, 10, 50, 20}}},
      {"filling the container", {1, 1, 50, 50}, {{1, 1, 49, 49}}},
      {"on the far edges", {1, 1, 50, 50}, {{20, 20, 30, 30}}},
      {"beyond the far edges",
       {1, 1, 50, 30},
       {{10, 10, 20, 10}, {40, 10, 30, 10}, {60, 40, 5, 5}}},
      {"side by side, touching", {1, 1, 90, 60}, {{10, 10, 20, 10}, {30, 10, 40, 10}}},
      {"stacked, touching", {1, 1, 90, 60}, {{10, 10, 20, 10}, {10, 20, 20, 10}}},
      {"a later one on an earlier one's origin",
       {1, 1, 90, 60},
       {{10, 10, 60, 40}, {5, 5, 20, 20}}},
      {"a later one inside an earlier one", {1, 1, 90, 60}, {{10, 10, 60, 40}, {30, 20, 10, 10}}},
      {"an earlier one inside a later one", {1, 1, 90, 60}, {{30, 20, 10, 10}, {10, 10, 60, 40}}},
      {"the same place twice", {1, 1, 90, 60}, {{10, 10, 20, 20}, {10, 10, 20, 20}}},
      {"without area", {1, 1, 100, 100}, {{10, 10, 80, 80}, {10, 10, 30, 0}, {40, 40, 0, 20}}},
      {"a column of gaps", {1, 1, 40, 40}, {{5, 1, 5, 39}, {15, 1, 5, 39}, {25, 5, 5, 30}}},
      {"a frame of four",
       {1, 1, 60, 60},
       {{5, 5, 50, 5}, {5, 50, 50, 5}, {5, 10, 5, 40}, {50, 10, 5, 40}}},
  };
  for (const auto& c : cases) {
    TComponent form(nullptr);
    auto* panel = new TWvPanel(&form);
    panel->SetBounds(c.Container.Left, c.Container.Top, c.Container.Width, c.Container.Height);
    int n = 0;
    for (const TRect& r : c.Elements) {
      auto* element = new TNamed(&form);
      element->SetName("E" + std::to_string(n++));
      element->SetParent(panel);
      element->SetBounds(r.Left, r.Top, r.Width, r.Height);
    }
    ExpectSameLayout(*panel, c.What);
  }
}

// A random container: few distinct coordinates, so that edges meet often;
// elements with and without area, coloured, aligned and classed or not,
// plain components (which may sit at 0 or left of it) and nested panels.
class TRandomPage {
 public:
  // scale: the outer container is that many times as large and holds that
  // many times as many elements.
  TRandomPage(unsigned seed, int scale) : FRandom(seed), FScale(scale) {}

  TWvPanel* Make(TComponent& form) {
    auto* panel = new TWvPanel(&form);
    panel->SetName("Outer");
    panel->SetBounds(1, 1, Side() * FScale, Side() * FScale);
    Fill(form, panel, 2);
    return panel;
  }

  std::string Description() const { return FDescription.str(); }

 private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(FRandom); }

  int Side() { return Pick(0, 3) == 0 ? Pick(0, 4) : Pick(5, 40); }

  // Elements inside panel, and inside the panels among them down to depth.
  void Fill(TComponent& form, TWvPanel* panel, int depth) {
    const int width = panel->GetWidth(), height = panel->GetHeight();
    if (Pick(0, 3) == 0) panel->SetBackGroundColor(0x102030);
    FDescription << panel->GetName() << " " << width << "x" << height << ":";
    const int count = Pick(0, depth == 2 ? 14 * FScale * FScale : 5);
    for (int i = 0; i < count; ++i) {
      const int kind = Pick(0, 9);
      TWvComponent* element;
      if (kind == 0 && depth > 0) {
        element = new TWvPanel(&form);
        element->SetName(panel->GetName() + "P" + std::to_string(i));
        element->SetParent(panel);
      } else if (kind == 1) {
        element = new TWvComponent(&form);
        element->SetName(panel->GetName() + "C" + std::to_string(i));
        element->SetParent(panel);
      } else {
        auto* named = new TNamed(&form);
        named->SetName(panel->GetName() + "E" + std::to_string(i));
        named->SetParent(panel);
        if (Pick(0, 3) == 0) named->SetBackGroundColor(0x00FF00);
        named->SetAlign(static_cast<t_WvTextAlign>(Pick(0, 3)));
        if (Pick(0, 4) == 0) named->SetStyleClass("S" + std::to_string(i));
        element = named;
      }
      const int low = kind == 1 ? -3 : 1;
      const int left = Pick(low, width + 4), top = Pick(low, height + 4);
      const int w = Pick(0, 5) == 0 ? 0 : Pick(1, std::max(1, width / 2 + 2));
      const int h = Pick(0, 5) == 0 ? 0 : Pick(1, std::max(1, height / 2 + 2));
      element->SetBounds(left, top, w, h);
      FDescription << " " << element->GetName() << "(" << element->GetLeft() << ","
                   << element->GetTop() << "," << w << "," << h << ")";
      if (auto* inner = dynamic_cast<TWvPanel*>(element)) Fill(form, inner, depth - 1);
    }
    FDescription << ";";
  }

  std::mt19937 FRandom;
  int FScale;
  std::ostringstream FDescription;
};

TEST(LayoutAgainstGrid, ThousandsOfRandomContainers) {
  // Small ones by the thousand; a few with hundreds of elements, which sort
  // their edges another way and sweep deeper trees.
  for (unsigned seed = 1; seed <= 4040; ++seed) {
    TComponent form(nullptr);
    TRandomPage page(seed, seed <= 4000 ? 1 : 6);
    TWvPanel* panel = page.Make(form);
    ExpectSameLayout(*panel, "seed " + std::to_string(seed) + ": " + page.Description());
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace tavkit

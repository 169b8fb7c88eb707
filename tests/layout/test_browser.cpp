// The promise of the layout, checked in a real browser: a page of fixed-size
// boxes at random positions inside nested panels is loaded into headless
// Chromium, and every box must land within one pixel of where it was placed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <tavkit/layout/WvPage.h>
#include <tavkit/layout/WvPanel.h>
#include <tavkit/layout/WvStandardComponent.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadText;

struct Placed {
  std::string Id;
  TRect Design;  // page coordinates
};

class BoxPlacer {
 public:
  BoxPlacer(TComponent& form, std::vector<Placed>& placed, unsigned seed)
      : FForm(form), FPlaced(placed), FRandom(seed) {}

  // Places count boxes of random size into random slots of a grid of
  // 60 x 50 pixel slots over region (container coordinates), at random
  // offsets inside their slots, so that no two boxes overlap.
  void Fill(TWinControl* container, TPoint origin, TRect region, int count) {
    const int slotWidth = 60, slotHeight = 50;
    int columns = (region.Right - region.Left) / slotWidth;
    int rows = (region.Bottom - region.Top) / slotHeight;
    ASSERT_GE(columns * rows, count);
    std::vector<int> slots(static_cast<std::size_t>(columns * rows));
    std::iota(slots.begin(), slots.end(), 0);
    std::shuffle(slots.begin(), slots.end(), FRandom);
    for (int i = 0; i < count; ++i) {
      int slot = slots[static_cast<std::size_t>(i)];
      int w = Between(8, slotWidth - 4), h = Between(6, slotHeight - 4);
      int left = region.Left + (slot % columns) * slotWidth + Between(1, slotWidth - w - 1);
      int top = region.Top + (slot / columns) * slotHeight + Between(1, slotHeight - h - 1);
      std::string id = "box" + std::to_string(FPlaced.size());
      auto* box = new TWvStandardComponent(&FForm);
      box->SetParent(container);
      box->SetBounds(left, top, w, h);
      box->GetHTMLInside()->Add("<DIV ID=\"" + id + "\" STYLE=\"width:" + std::to_string(w) +
                                "px;height:" + std::to_string(h) + "px;background:#" +
                                (i % 2 ? "C04040" : "4040C0") + "\"></DIV>");
      FPlaced.push_back({id, Bounds(origin.X + left, origin.Y + top, w, h)});
    }
  }

 private:
  int Between(int low, int high) {
    return std::uniform_int_distribution<int>(low, std::max(low, high))(FRandom);
  }

  TComponent& FForm;
  std::vector<Placed>& FPlaced;
  std::mt19937 FRandom;
};

TEST(BrowserLayout, FortyBoxesInNestedPanelsLandWithinAPixel) {
  TComponent form(nullptr);
  std::vector<Placed> placed;
  BoxPlacer placer(form, placed, 20261207);

  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 800, 600);
  auto* left = new TWvPanel(&form);
  left->SetParent(page);
  left->SetBounds(20, 20, 360, 250);
  left->SetBackGroundColor(TColor{0xF0E8E0});
  auto* inner = new TWvPanel(&form);
  inner->SetParent(left);
  inner->SetBounds(190, 130, 160, 110);
  inner->SetBackGroundColor(clYellow);
  auto* right = new TWvPanel(&form);
  right->SetParent(page);
  right->SetBounds(420, 20, 360, 560);

  placer.Fill(left, TPoint{20, 20}, TRect{1, 1, 181, 241}, 10);
  placer.Fill(inner, TPoint{210, 150}, TRect{1, 1, 159, 109}, 4);
  placer.Fill(right, TPoint{420, 20}, TRect{1, 1, 361, 551}, 14);
  placer.Fill(page, TPoint{0, 0}, TRect{20, 300, 380, 580}, 12);
  ASSERT_EQ(placed.size(), 40u);

  // Each box reports where it landed, relative to the page's own table (the
  // browser's body margin lies outside the design).
  std::string html = page->put(nullptr);
  std::size_t body = html.rfind("</BODY>");
  ASSERT_NE(body, std::string::npos);
  html.insert(body,
              "<SCRIPT>var t = document.getElementsByTagName('TABLE')[0].getBoundingClientRect();"
              "var out = '';"
              "for (var i = 0; i < 40; i++) {"
              "  var r = document.getElementById('box' + i).getBoundingClientRect();"
              "  out += 'box' + i + ' ' + (r.left - t.left) + ' ' + (r.top - t.top) + ' ' +"
              "         r.width + ' ' + r.height + ';';"
              "}"
              "var p = document.createElement('PRE'); p.id = 'rects'; p.textContent = out;"
              "document.body.appendChild(p);</SCRIPT>");
  fs::path dir = fs::path(TAVKIT_BINARY_DIR) / "browser";
  fs::create_directories(dir);
  std::ofstream(dir / "layout.html", std::ios::binary) << html;

  std::string command =
      "timeout 120 chromium --headless --no-sandbox --disable-gpu "
      "--disable-dev-shm-usage --user-data-dir='" +
      (dir / "profile").string() + "' --window-size=1000,800 --dump-dom 'file://" +
      (dir / "layout.html").string() + "' >'" + (dir / "dom.html").string() + "' 2>'" +
      (dir / "chromium.log").string() + "'";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "chromium failed; see " << (dir / "chromium.log").string();

  std::string dom = ReadText(dir / "dom.html");
  std::smatch rects;
  ASSERT_TRUE(std::regex_search(dom, rects, std::regex("<pre id=\"rects\">([^<]*)</pre>")))
      << "no measurements in " << (dir / "dom.html").string();
  std::map<std::string, std::vector<double>> landed;
  std::istringstream entries(rects[1].str());
  std::string entry;
  while (std::getline(entries, entry, ';')) {
    std::istringstream fields(entry);
    std::string id;
    std::vector<double> box(4);
    fields >> id >> box[0] >> box[1] >> box[2] >> box[3];
    landed[id] = box;
  }
  ASSERT_EQ(landed.size(), 40u);
  for (const Placed& p : placed) {
    const std::vector<double>& r = landed[p.Id];
    EXPECT_NEAR(r[0], p.Design.Left, 1.0) << p.Id;
    EXPECT_NEAR(r[1], p.Design.Top, 1.0) << p.Id;
    EXPECT_NEAR(r[2], p.Design.Right - p.Design.Left, 1.0) << p.Id;
    EXPECT_NEAR(r[3], p.Design.Bottom - p.Design.Top, 1.0) << p.Id;
  }
}

}  // namespace
}  // namespace tavkit

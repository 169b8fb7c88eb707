// The container layout: tables written for child rectangles, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <tavkit/layout/WvPanel.h>

namespace tavkit {
namespace {

// An element whose HTML is a fixed text, recording the order of its puts.
class TFixed : public TWvVisibleComponent {
 public:
  TFixed(TComponent* owner, TWinControl* parent, std::string html, int l, int t, int w, int h,
         std::vector<std::string>* order = nullptr)
      : TWvVisibleComponent(owner), FHtml(std::move(html)), FOrder(order) {
    SetParent(parent);
    SetBounds(l, t, w, h);
  }
  std::string put(TWvCustomOptimizer*) override {
    ActivateBeforePutEvent();
    if (FOrder) FOrder->push_back(FHtml);
    ActivateAfterPutEvent();
    return FHtml;
  }

 private:
  std::string FHtml;
  std::vector<std::string>* FOrder;
};

const std::string kRow = "<TR VALIGN=\"top\" ALIGN=\"left\">";

class ContainerLayout : public ::testing::Test {
 protected:
  TComponent form{nullptr};
  TWvPanel* panel = new TWvPanel(&form);
};

TEST_F(ContainerLayout, WorkedExampleOfOneChild) {
  panel->SetBounds(1, 1, 200, 100);
  new TFixed(&form, panel, "X", 10, 10, 50, 20);
  EXPECT_EQ(panel->IterateChildren("[start]", "[end]", nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=200>[start]" + kRow +
                "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=50 ></TD>"
                "<TD HEIGHT=10 WIDTH=140 ></TD><TD></TD></TR>" +
                kRow + "<TD HEIGHT=20 ></TD><TD  HEIGHT=20    >X</TD></TR>" + kRow +
                "<TD HEIGHT=70 ></TD><TD COLSPAN=2></TD></TR>[end]</TABLE>");
}

TEST_F(ContainerLayout, EmptyContainerHasOneSizedCell) {
  panel->SetBounds(1, 1, 120, 40);
  EXPECT_EQ(panel->IterateChildren("", "", nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=120>" + kRow +
                "<TD HEIGHT=40 WIDTH=120 ></TD><TD></TD></TR></TABLE>");
}

TEST_F(ContainerLayout, ColouredContainerAndCellAttributes) {
  panel->SetBounds(1, 1, 100, 50);
  panel->SetBackGroundColor(clRed);
  auto* child = new TFixed(&form, panel, "C", 1, 1, 99, 49);
  child->SetAlign(taCenter);
  child->SetBackGroundColor(0x336699);
  child->SetStyleClass("T0");
  EXPECT_EQ(panel->IterateChildren("", "", nullptr),
            "<TABLE BGCOLOR=\"#FF0000\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=100>" + kRow +
                "<TD HEIGHT=1 WIDTH=1 ></TD><TD HEIGHT=1 WIDTH=99 ></TD><TD></TD></TR>" + kRow +
                "<TD HEIGHT=49 ></TD><TD ALIGN=\"center\" HEIGHT=49   BGCOLOR=\"#996633\" "
                "class=\"T0\" >C</TD><TD></TD></TR></TABLE>");
}

TEST_F(ContainerLayout, SpansAndAdjacentChildrenShareGridLines) {
  panel->SetBounds(1, 1, 90, 60);
  // A spans three columns and three rows; B and C touch without a gap.
  new TFixed(&form, panel, "A", 10, 10, 60, 40);
  new TFixed(&form, panel, "B", 10, 50, 20, 10);
  new TFixed(&form, panel, "C", 30, 50, 40, 10);
  new TFixed(&form, panel, "D", 30, 20, 10, 10);  // lies on A: takes that cell over
  auto* a = static_cast<TWvComponent*>(panel->GetControl(0));
  EXPECT_EQ(panel->IterateChildren("", "", nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=90>" + kRow +
                "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=20 ></TD>"
                "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=30 ></TD>"
                "<TD HEIGHT=10 WIDTH=20 ></TD><TD></TD></TR>" +
                kRow + "<TD HEIGHT=10 ></TD><TD  HEIGHT=10 ROWSPAN=3 COLSPAN=3  >A</TD></TR>" +
                kRow + "<TD HEIGHT=10 ></TD><TD  HEIGHT=10    >D</TD></TR>" + kRow +
                "<TD HEIGHT=20 ></TD></TR>" + kRow +
                "<TD HEIGHT=10 ></TD><TD  HEIGHT=10    >B</TD>"
                "<TD  HEIGHT=10  COLSPAN=2  >C</TD></TR></TABLE>");
  EXPECT_EQ(a->ColStart, 1);
  EXPECT_EQ(a->ColEnd, 4);
}

TEST_F(ContainerLayout, ChildrenArePutInGridOrder) {
  panel->SetBounds(1, 1, 100, 100);
  std::vector<std::string> order;
  new TFixed(&form, panel, "lower", 5, 50, 10, 10, &order);
  new TFixed(&form, panel, "right", 60, 5, 10, 10, &order);
  new TFixed(&form, panel, "left", 5, 5, 10, 10, &order);
  panel->IterateChildren("", "", nullptr);
  EXPECT_EQ(order, (std::vector<std::string>{"left", "right", "lower"}));
}

TEST_F(ContainerLayout, ZeroSizedChildClaimsNoCellAndCannotStealAnOrigin) {
  panel->SetBounds(1, 1, 100, 100);
  new TFixed(&form, panel, "big", 10, 10, 80, 80);
  new TFixed(&form, panel, "flat", 10, 10, 30, 0);  // starts on big's origin
  new TFixed(&form, panel, "thin", 40, 40, 0, 20);  // inside big
  std::string html = panel->IterateChildren("", "", nullptr);
  EXPECT_EQ(html, "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=100>" + kRow +
                      "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=30 ></TD>"
                      "<TD HEIGHT=10 WIDTH=50 ></TD><TD HEIGHT=10 WIDTH=10 ></TD><TD></TD></TR>" +
                      kRow +
                      "<TD HEIGHT=30 ></TD><TD  HEIGHT=30 ROWSPAN=3 COLSPAN=2  >big</TD></TR>" +
                      kRow + "<TD HEIGHT=20 ></TD></TR>" + kRow + "<TD HEIGHT=30 ></TD></TR>" +
                      kRow + "<TD HEIGHT=10 ></TD><TD COLSPAN=3></TD></TR></TABLE>");
}

TEST_F(ContainerLayout, ChildBeyondTheFarEdgeKeepsTheTableConsistent) {
  panel->SetBounds(1, 1, 50, 30);
  new TFixed(&form, panel, "inside", 10, 10, 20, 10);
  new TFixed(&form, panel, "over", 40, 10, 30, 10);  // reaches x = 70, beyond 50
  new TFixed(&form, panel, "out", 60, 40, 5, 5);     // wholly outside
  std::string html = panel->IterateChildren("", "", nullptr);
  EXPECT_EQ(html,
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=50>" + kRow +
                "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=20 ></TD>"
                "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=10 ></TD>"
                "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=5 ></TD>"
                "<TD HEIGHT=10 WIDTH=5 ></TD><TD></TD></TR>" +
                kRow +
                "<TD HEIGHT=10 ></TD><TD  HEIGHT=10    >inside</TD><TD></TD>"
                "<TD  HEIGHT=10  COLSPAN=4  >over</TD><TD></TD></TR>" +
                kRow + "<TD HEIGHT=10 ></TD><TD COLSPAN=6></TD></TR>" + kRow +
                "<TD HEIGHT=10 ></TD><TD COLSPAN=6></TD></TR>" + kRow +
                "<TD HEIGHT=5 ></TD><TD COLSPAN=4></TD><TD  HEIGHT=5    >out</TD></TR></TABLE>");
}

}  // namespace
}  // namespace tavkit

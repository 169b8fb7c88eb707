// The container layout: from child rectangles to one HTML table.
#include <tavkit/layout/WvContainer.h>

#include <charconv>
#include <vector>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/layout/detail/WvLargeArray.h>
#include <tavkit/layout/detail/WvScanList.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

namespace {

void AppendInt(std::string& out, int value) {
  char digits[16];
  auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// The extents between consecutive distinct positions of a sorted list.
std::vector<TWvSize> Extents(const TWvScanList& list) {
  std::vector<TWvSize> sizes;
  for (int i = 1; i < list.Count(); ++i) {
    int step = list.Get(i)->Position - list.Get(i - 1)->Position;
    if (step > 0) sizes.push_back(TWvSize{step, false});
  }
  return sizes;
}

// Empty cells left of the current one that have not been written yet.
void FlushRun(std::string& out, int& run) {
  if (run > 1) {
    out += "<TD COLSPAN=";
    AppendInt(out, run);
    out += "></TD>";
  } else if (run == 1) {
    out += "<TD></TD>";
  }
  run = 0;
}

const char* AlignText(t_WvTextAlign align) {
  if (align == taRight) return "ALIGN=\"right\"";
  if (align == taCenter) return "ALIGN=\"center\"";
  return "";
}

// The table cell of one element at its origin.
void WriteElementCell(std::string& out, TWvComponent* element, int height,
                      TWvCustomOptimizer* optimizer) {
  auto* visible = dynamic_cast<TWvVisibleComponent*>(element);
  std::string background;
  const char* align = "";
  if (visible != nullptr) {
    if (!visible->IsBackgroundTransparent())
      background = "BGCOLOR=\"#" + WvMakeWebColor(visible->GetBackGroundColor()) + "\"";
    align = AlignText(visible->GetAlign());
  }
  int colSpan = element->CalcColSpan();
  int rowSpan = element->CalcRowSpan();
  std::string html = visible != nullptr ? visible->put(optimizer) : std::string();
  out += "<TD ";
  out += align;
  out += " HEIGHT=";
  AppendInt(out, height);
  if (rowSpan < 2) {
    out += ' ';
  } else {
    out += " ROWSPAN=";
    AppendInt(out, rowSpan);
  }
  if (colSpan < 2) {
    out += ' ';
  } else {
    out += " COLSPAN=";
    AppendInt(out, colSpan);
  }
  out += ' ';
  out += background;
  if (visible != nullptr && !visible->GetStyleClass().empty()) {
    out += " class=\"";
    out += visible->GetStyleClass();
    out += '"';
  }
  out += " >";
  out += html;
  out += "</TD>";
}

}  // namespace

TWvCustomContainer::TWvCustomContainer(TComponent* owner) : TWvVisibleComponent(owner) {
  SetContainer(true);
}

std::string TWvCustomContainer::IterateChildren(const std::string& tableStart,
                                                const std::string& tableEnd,
                                                TWvCustomOptimizer* optimizer) {
  const int width = GetWidth();
  const int height = GetHeight();

  TWvScanList xs(XLISTTYPE);
  TWvScanList ys(YLISTTYPE);
  xs.Add(new TWvScanListMember(nullptr, true, 0, 0));
  xs.Add(new TWvScanListMember(nullptr, false, width, height));
  ys.Add(new TWvScanListMember(nullptr, true, 0, 0));
  ys.Add(new TWvScanListMember(nullptr, false, height, width));

  std::vector<TWvComponent*> children;
  for (int i = 0; i < GetControlCount(); ++i)
    if (auto* child = dynamic_cast<TWvComponent*>(GetControl(i))) children.push_back(child);
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    TWvComponent* c = *it;
    int l = c->GetLeft(), t = c->GetTop(), w = c->GetWidth(), h = c->GetHeight();
    xs.Add(new TWvScanListMember(c, true, l, t));
    xs.Add(new TWvScanListMember(c, false, l + w, t + h));
    ys.Add(new TWvScanListMember(c, true, t, l));
    ys.Add(new TWvScanListMember(c, false, t + h, l + w));
  }
  xs.SortMembers();
  ys.SortMembers();
  xs.NotifyComponents();
  ys.NotifyComponents();

  std::string out;
  out.reserve(256 + children.size() * 96);
  if (IsBackgroundTransparent()) {
    out += "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=";
  } else {
    out += "<TABLE BGCOLOR=\"#";
    out += WvMakeWebColor(GetBackGroundColor());
    out += "\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=";
  }
  AppendInt(out, width);
  out += '>';
  out += tableStart;

  std::vector<TWvSize> rows = Extents(ys);
  std::vector<TWvSize> columns = Extents(xs);
  const int columnCount = static_cast<int>(columns.size());
  const int rowCount = static_cast<int>(rows.size());

  std::int64_t cells = std::int64_t(columnCount + 1) * rowCount;
  for (TWvComponent* c : children)
    if (c->GetWidth() > 0 && c->GetHeight() > 0)
      cells += std::int64_t(c->ColEnd - c->ColStart) * (c->RowEnd - c->RowStart);
  if (cells > MaxLayoutCells)
    throw ETooLargeAs<Exception>("MaxLayoutCells", MaxLayoutCells,
                                 "The layout of " + (GetName().empty() ? ClassName() : GetName()) +
                                     " needs more than " + std::to_string(MaxLayoutCells) +
                                     " grid cells");

  // A child without area claims no cell, so it can never take over (or be
  // taken for) the origin of another child.
  TLargeArray<TWvGridInfo> grid(columnCount + 1, rowCount);
  for (TWvComponent* c : children) {
    if (c->GetWidth() <= 0 || c->GetHeight() <= 0) continue;
    for (int col = c->ColStart; col < c->ColEnd; ++col)
      for (int row = c->RowStart; row < c->RowEnd; ++row)
        grid.insert(col, row, TWvGridInfo{c, TWvGridInfo::Covered});
    grid.at(c->ColStart, c->RowStart).Kind = TWvGridInfo::Origin;
  }

  for (int r = 0; r < rowCount; ++r) {
    const int rowHeight = rows[static_cast<std::size_t>(r)].Size;
    out += "<TR VALIGN=\"top\" ALIGN=\"left\">";
    bool firstCell = true;
    int run = 0;
    for (int c = 0; c < columnCount; ++c) {
      TWvSize& column = columns[static_cast<std::size_t>(c)];
      const TWvGridInfo& cell = grid.extract(c, r);
      if (cell.Component == nullptr) {
        if (firstCell || !column.Done) {
          FlushRun(out, run);
          out += "<TD HEIGHT=";
          AppendInt(out, rowHeight);
          if (!column.Done) {
            out += " WIDTH=";
            AppendInt(out, column.Size);
          }
          out += " ></TD>";
        } else {
          ++run;
        }
        column.Done = true;
      } else if (cell.Kind == TWvGridInfo::Origin) {
        FlushRun(out, run);
        WriteElementCell(out, cell.Component, rowHeight, optimizer);
      } else {
        FlushRun(out, run);
      }
      firstCell = false;
    }
    if (run == 0)
      out += "<TD></TD>";
    else if (run > 1)
      FlushRun(out, run);
    out += "</TR>";
  }
  out += tableEnd;
  out += "</TABLE>";
  return out;
}

std::unique_ptr<TWvJavascriptlist> TWvCustomContainer::ScriptList() {
  std::unique_ptr<TWvJavascriptlist> list = TWvVisibleComponent::ScriptList();
  for (int i = 0; i < GetControlCount(); ++i)
    if (auto* child = dynamic_cast<TWvVisibleComponent*>(GetControl(i)))
      list->AddList(*child->ScriptList());
  return list;
}

namespace WvContainer {
void RegisterClasses() {
  WvVisibleComponent::RegisterClasses();
  RegisterClass<TWvCustomContainer, TWvVisibleComponent>({});
}
}  // namespace WvContainer

}  // namespace tavkit

// The container layout: from child rectangles to one HTML table.
#include <tavkit/layout/WvContainer.h>

#include <charconv>
#include <vector>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/layout/detail/WvLayoutTable.h>
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

  std::vector<TWvComponent*> children;
  for (int i = 0; i < GetControlCount(); ++i)
    if (auto* child = dynamic_cast<TWvComponent*>(GetControl(i))) children.push_back(child);

  // Every edge of a child, and the container's own, is a grid line; edges
  // at the same coordinate share their line. Children learn their lines,
  // also those without area, which take part in the lines but have no cell.
  std::vector<int> xEdges = {0, width}, yEdges = {0, height};
  for (TWvComponent* c : children) {
    xEdges.insert(xEdges.end(), {c->GetLeft(), c->GetLeft() + c->GetWidth()});
    yEdges.insert(yEdges.end(), {c->GetTop(), c->GetTop() + c->GetHeight()});
  }
  std::vector<int> xLines, yLines;
  std::vector<int> columnWidths = WvNumberGridLines(xEdges, xLines);
  std::vector<int> rowHeights = WvNumberGridLines(yEdges, yLines);
  std::vector<TWvGridArea> areas;
  std::vector<TWvComponent*> placed;
  for (std::size_t i = 0; i < children.size(); ++i) {
    TWvComponent* c = children[i];
    c->ColStart = xLines[2 * i + 2];
    c->ColEnd = xLines[2 * i + 3];
    c->RowStart = yLines[2 * i + 2];
    c->RowEnd = yLines[2 * i + 3];
    if (c->GetWidth() <= 0 || c->GetHeight() <= 0) continue;
    areas.push_back(TWvGridArea{c->ColStart, c->ColEnd, c->RowStart, c->RowEnd});
    placed.push_back(c);
  }
  TWvLayoutTable table;
  if (!table.Build(std::move(columnWidths), std::move(rowHeights), areas, MaxLayoutMarkup))
    throw ETooLargeAs<Exception>("MaxLayoutMarkup", MaxLayoutMarkup,
                                 "The table of " + (GetName().empty() ? ClassName() : GetName()) +
                                     " needs more than " + std::to_string(MaxLayoutMarkup) +
                                     " bytes of rows and empty cells");
  std::string out;
  out.reserve(128 + tableStart.size() + static_cast<std::size_t>(table.MarkupBytes()) +
              tableEnd.size() + placed.size() * 64);
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

  table.Write(out, [&](std::string& text, int element, int rowHeight) {
    WriteElementCell(text, placed[static_cast<std::size_t>(element)], rowHeight, optimizer);
  });
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

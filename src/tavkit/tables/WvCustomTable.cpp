// Rows and cells of a table, the frequency list of row classes, the table's
// HTML in plain and style-sheet mode, and the drawing of its preview.
#include <tavkit/tables/WvCustomTable.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/Picture.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include <tavkit/tables/WvCustomTableColumn.h>

namespace tavkit {

namespace {

// " BGCOLOR=..." for a colour, nothing for no colour.
std::string BackgroundAttribute(TColor color) {
  if (color == clNone) return std::string();
  return " BGCOLOR=\"#" + WvMakeWebColor(color) + "\"";
}

const char* AlignmentParagraph(t_WvTextAlign align) {
  switch (align) {
    case taCenter:
      return "<P Align=Center>";
    case taLeft:
      return "<P Align=Left>";
    case taRight:
      return "<P Align=Right>";
    case taNone:
      break;
  }
  return "<P>";
}

// A font without a colour leaves a linked cell in the page's link colour;
// its placeholder value would otherwise paint the text white.
std::string LinkColor(const TWvFont& font) {
  return font.GetColor() == clNone ? std::string() : WvMakeWebColor(font.GetColor());
}

// The web path of a new server image of a cell's picture, scaled to the
// cell; "" for an empty picture or one that cannot become a bitmap. The
// picture is copied first: writing the table leaves its cells as they were.
std::string PictureCellImage(const TPicture& picture, int width, int height) {
  const TGraphic* graphic = picture.GetGraphic();
  if (graphic == nullptr || graphic->GetEmpty()) return std::string();
  TPicture copy;
  TBitmap* bitmap = nullptr;
  try {
    copy.Assign(&picture);
    bitmap = &copy.Bitmap();
  } catch (const std::exception&) {
    return std::string();
  }
  return WvGenerateServerImage(*bitmap, width, height, true);
}

}  // namespace

// ---- TWvClassList -----------------------------------------------------------

void TWvClassList::addclass(const std::string& Name) {
  for (const auto& item : FItems)
    if (item->GetName() == Name) {
      item->Increment();
      return;
    }
  FItems.push_back(std::make_unique<TWvClassListItem>(Name));
}

std::string TWvClassList::getMostFrequentClass() {
  if (FItems.empty()) return std::string();
  std::stable_sort(FItems.begin(), FItems.end(),
                   [](const auto& a, const auto& b) { return a->GetCount() > b->GetCount(); });
  return FItems.front()->GetName();
}

// ---- TWvCustomTable: rows and cells -------------------------------------------

TWvCustomTable::TWvCustomTable(TComponent* owner) : TWvVisibleComponent(owner) {}

TWvCustomTable::~TWvCustomTable() {
  EmptyTable();
  FColumnList.reset();
}

void TWvCustomTable::AddRow(const TStrings* List) {
  auto row = std::make_unique<TWvTableRow>();
  const int cells = List != nullptr ? List->Count() : ColumnCount();
  for (int i = 0; i < cells; ++i) {
    auto item = List != nullptr ? std::make_unique<TWvTableItem>(List->Get(i), "", this)
                                : std::make_unique<TWvTableItem>(this);
    item->FPlacements = 1;
    row->Add(item.release());
  }
  FRows.Add(row.release());
}

void TWvCustomTable::AppendRow(std::vector<std::unique_ptr<TWvTableItem>>& cells) {
  auto row = std::make_unique<TWvTableRow>();
  for (int c = 0; c < ColumnCount(); ++c) {
    const auto i = static_cast<std::size_t>(c);
    std::unique_ptr<TWvTableItem> item = i < cells.size() && cells[i] != nullptr
                                             ? std::move(cells[i])
                                             : std::make_unique<TWvTableItem>(this);
    item->FPlacements = 1;
    row->Add(item.release());
  }
  FRows.Add(row.release());
}

void TWvCustomTable::InsertRow(int Index, const TStrings* List) {
  if (Index < 0 || Index > NumberOfRows()) ListIndexError(Index);
  auto row = std::make_unique<TWvTableRow>();
  const int cells = List != nullptr ? List->Count() : 0;
  for (int i = 0; i < cells; ++i) {
    auto item = std::make_unique<TWvTableItem>(this);
    item->SetText(List->Get(i));
    item->FPlacements = 1;
    row->Add(item.release());
  }
  FRows.Insert(Index, row.release());
}

void TWvCustomTable::Release(TWvTableItem* item) {
  if (--item->FPlacements <= 0) delete item;
}

void TWvCustomTable::DeleteRow(int Index) {
  std::unique_ptr<TWvTableRow> row(FRows.Get(Index));
  FRows.Delete(Index);
  for (TWvTableItem* item : *row) Release(item);
}

void TWvCustomTable::EmptyTable() {
  while (NumberOfRows() > 0) DeleteRow(NumberOfRows() - 1);
  for (TWvTableItem* item : FDisplaced) delete item;
  FDisplaced.clear();
}

void TWvCustomTable::CheckAddress(int Col, int Row) const {
  if (Col > ColumnCount() - 1 || Col < 0)
    throw TWvInvalidTableColumnException("Invalid Column number (" + std::to_string(Col) + ")");
  if (Row < 0)
    throw TWvInvalidTableRowException("Invalid Row number (" + std::to_string(Row) + ")");
}

TWvTableItem* TWvCustomTable::GetItem(int Col, int Row) {
  CheckAddress(Col, Row);
  // A row beyond the last brings the missing rows, each full of empty cells.
  while (NumberOfRows() - 1 < Row) AddRow();
  return FRows.Get(Row)->Get(Col);
}

void TWvCustomTable::SetItem(int Col, int Row, TWvTableItem* Item) {
  CheckAddress(Col, Row);
  if (Item == nullptr) throw Exception("Cannot store an empty table item");
  TWvTableRow* row = NumberOfRows() > Row ? FRows.Get(Row) : nullptr;
  // A short row refuses the column before anything has changed.
  if (row != nullptr) row->Get(Col);
  while (NumberOfRows() - 1 < Row) AddRow();
  row = FRows.Get(Row);
  TWvTableItem* former = row->Get(Col);
  if (former == Item) return;
  row->Put(Col, Item);
  FDisplaced.erase(Item);
  ++Item->FPlacements;
  if (--former->FPlacements <= 0) FDisplaced.insert(former);
}

void TWvCustomTable::UpdateSelf(TObject*) {
  invalidate();
}

// ---- Properties -------------------------------------------------------------

void TWvCustomTable::SetHeaderColor(TColor value) {
  FHeaderColor = value;
  HasChanged();
}

void TWvCustomTable::SetListColor1(TColor value) {
  FListColor1 = value;
  HasChanged();
}

void TWvCustomTable::SetListColor2(TColor value) {
  FListColor2 = value;
  HasChanged();
}

void TWvCustomTable::SetBorder(int value) {
  FBorder = value;
  HasChanged();
}

void TWvCustomTable::SetSpacing(int value) {
  FSpacing = value;
  HasChanged();
}

void TWvCustomTable::SetPadding(int value) {
  FPadding = value;
  HasChanged();
}

void TWvCustomTable::SetDisplayHeader(bool value) {
  FDisplayHeader = value;
  HasChanged();
}

void TWvCustomTable::SetheaderHeight(int value) {
  FHeaderHeight = value;
  HasChanged();
}

void TWvCustomTable::SetRowHeight(int value) {
  FRowHeight = value;
  HasChanged();
}

void TWvCustomTable::SetMaxRows(int value) {
  FMaxRows = value;
  HasChanged();
}

void TWvCustomTable::SetupTable(std::unique_ptr<TWvCustomColumnList> columns) {
  FColumnList = std::move(columns);
  for (int i = 0; i < 3; ++i) FColumnList->Add();
  FColumnList->OnChange = [this](TObject* sender) { UpdateSelf(sender); };
  for (int i = 0; i < 3; ++i) Columns(i)->GetHeaderFont()->SetColor(0xFFFFFF);
  FBorder = 0;
  FSpacing = 0;
  FPadding = 0;
  FDisplayHeader = true;
  FHeaderHeight = 20;
  FRowHeight = 20;
  FMaxRows = 15;
  FHeaderColor = 0x800000;
  FListColor1 = 0xEEEEEE;
  FListColor2 = 0xFFFFFF;
}

void TWvCustomTable::AssignColumnList(const TWvCustomColumnList* columns) {
  if (columns != nullptr) FColumnList->Assign(columns);
  HasChanged();
}

// ---- HTML -------------------------------------------------------------------

std::string TWvCustomTable::HeaderRow(TWvCustomOptimizer* optimizer, bool styleMode) const {
  std::string html = "<TR VALIGN=\"top\" ALIGN=\"left\" >";
  const std::string height = std::to_string(FHeaderHeight);
  for (int c = 0; c < ColumnCount(); ++c) {
    const TWvCustomTableColumn& column = *Columns(c);
    html += "<TD height=" + height + " width=" + std::to_string(column.Getwidth());
    if (styleMode) {
      html +=
          " CLASS=\"" +
          optimizer->getClassName(*column.GetHeaderFont(), FHeaderColor, column.GetHeaderAlign()) +
          "\">" + column.GetHeader();
    } else {
      html += BackgroundAttribute(FHeaderColor) + ">" +
              AlignmentParagraph(column.GetHeaderAlign()) +
              column.GetHeaderFont()->CreateHTMLText(column.GetHeader());
    }
    html += "</TD>";
  }
  return html + "</TR>";
}

std::string TWvCustomTable::MostFrequentRowClass(TWvCustomOptimizer& optimizer,
                                                 TColor rowColor) const {
  TWvClassList classes;
  for (int c = 0; c < ColumnCount(); ++c)
    classes.addclass(
        optimizer.getClassName(*Columns(c)->GetRowFont(), rowColor, Columns(c)->GetDataAlign()));
  return classes.getMostFrequentClass();
}

std::int64_t TWvCustomTable::RowsWritten() const {
  // The smaller of the rows from StartIndex on and MaxRows; wide arithmetic
  // keeps extreme property values from overflowing.
  const std::int64_t available = std::int64_t{NumberOfRows()} - FStartIndex;
  return available - 1 < FMaxRows ? available : FMaxRows;
}

std::unique_ptr<TWvJavascriptlist> TWvCustomTable::ScriptList() {
  std::unique_ptr<TWvJavascriptlist> list = TWvVisibleComponent::ScriptList();
  // The scripts that the links of the written cells call must reach the
  // page's script block, as those of any other link do.
  const std::int64_t count = RowsWritten();
  for (std::int64_t n = 0; n < count; ++n) {
    const std::int64_t j = FStartIndex + n;
    if (j < 0 || j >= NumberOfRows()) continue;
    for (TWvTableItem* item : *FRows.Get(static_cast<int>(j)))
      list->AddList(*item->GetHyperLink()->ScriptList());
  }
  return list;
}

std::string TWvCustomTable::put(TWvCustomOptimizer* optimizer) {
  ActivateBeforePutEvent();
  const bool styleMode = optimizer != nullptr && optimizer->getUseCSS();
  const bool optimised = styleMode && optimizer->getoptimizeTableDefinitions();
  bool widthsWritten = false;

  std::string result = CollapsedBefore();
  const std::string background = IsBackgroundTransparent()
                                     ? std::string()
                                     : "BGCOLOR=\"#" + WvMakeWebColor(GetBackGroundColor()) + "\"";
  result += "<TABLE BORDER=" + std::to_string(FBorder) +
            " CELLSPACING=" + std::to_string(FSpacing) +
            " CELLPADDING=" + std::to_string(FPadding) + " " + background + ">";
  result += CollapsedInside();

  if (FDisplayHeader) {
    result += HeaderRow(optimizer, styleMode);
    widthsWritten = true;
  }

  // The class each row carries in optimised mode: the one most of its cells
  // would have. Asked for both parities so that the style sheet lists them.
  std::string oddClass, evenClass;
  if (optimised) {
    oddClass = MostFrequentRowClass(*optimizer, FListColor1);
    evenClass = MostFrequentRowClass(*optimizer, FListColor2);
  }

  // What every row of a colour repeats is worked out once: the row
  // backgrounds, the link colour of each column and, as the cells first ask
  // for them, the class of each column in each row colour. The optimizer
  // hands out the same name for the same font, colour and alignment, and
  // asking in the order the cells do keeps its numbering unchanged.
  const int columns = ColumnCount();
  const std::string backgrounds[2] = {BackgroundAttribute(FListColor2),
                                      BackgroundAttribute(FListColor1)};
  std::vector<std::string> linkColors(static_cast<std::size_t>(columns));
  for (int c = 0; c < columns; ++c)
    linkColors[static_cast<std::size_t>(c)] = LinkColor(*Columns(c)->GetRowFont());
  std::vector<std::string> cellClasses(static_cast<std::size_t>(columns) * 2);
  std::vector<bool> classKnown(cellClasses.size(), false);
  const std::string rowHeight = std::to_string(FRowHeight);
  std::string content;

  const std::int64_t count = RowsWritten();
  for (std::int64_t n = 0; n < count; ++n) {
    const int j = static_cast<int>(FStartIndex + n);
    const TWvTableRow& row = *FRows.Get(j);
    const std::size_t rowStart = result.size();
    const bool odd = j % 2 != 0;
    const TColor rowColor = odd ? FListColor1 : FListColor2;
    const std::string& rowClass = odd ? oddClass : evenClass;
    const std::string& rowBackground = backgrounds[odd ? 1 : 0];
    if (optimised) {
      result += "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"";
      result += rowClass;
      result += "\">";
    } else {
      result += "<TR VALIGN=\"top\" ALIGN=\"left\">";
    }
    for (int c = 0; c < columns; ++c) {
      const TWvCustomTableColumn& column = *Columns(c);
      const TWvTableItem& item = *row.Get(c);
      // Only the first cell of a row carries the row height, and only the
      // first row written carries the widths.
      const bool first = c == 0;
      const std::string width =
          widthsWritten ? std::string() : " width=" + std::to_string(column.Getwidth());
      if (item.GetPicture() != nullptr) {
        // Picture cells carry their own height and the row colour in every mode.
        result += "<TD height=" + rowHeight + " " + width + " " + rowBackground + ">";
        content = "<IMG height=" + rowHeight + " width=" + std::to_string(column.Getwidth()) +
                  " SRC=\"" + PictureCellImage(*item.GetPicture(), column.Getwidth(), FRowHeight) +
                  "\">";
      } else if (styleMode) {
        const std::size_t slot = static_cast<std::size_t>(c) * 2 + (odd ? 1 : 0);
        if (!classKnown[slot]) {
          cellClasses[slot] =
              optimizer->getClassName(*column.GetRowFont(), rowColor, column.GetDataAlign());
          classKnown[slot] = true;
        }
        const std::string& cellClass = cellClasses[slot];
        result += "<TD";
        if (first) {
          result += " height=";
          result += rowHeight;
        }
        result += width;
        if (!(optimised && cellClass == rowClass)) {
          result += " CLASS=\"";
          result += cellClass;
          result += "\"";
        }
        result += ">";
        content = item.GetText();
      } else {
        result += "<TD ";
        if (first) {
          result += " height=";
          result += rowHeight;
        }
        result += width;
        result += rowBackground;
        result += ">";
        content = AlignmentParagraph(column.GetDataAlign());
        content += column.GetRowFont()->CreateHTMLText(item.GetText());
      }
      // A cell without a link is its content as it stands.
      if (item.getlink().empty())
        result += content;
      else
        result +=
            item.GetHyperLink()->CreateLinkedText(content, linkColors[static_cast<std::size_t>(c)]);
      result += "</TD>";
    }
    widthsWritten = true;
    result += "</TR>";
    // The rows of a table are much alike: room for the others, as long as
    // the first row is, saves growing the text again and again. A guess
    // beyond reason (one long cell above many short rows) is not made.
    if (n == 0 && count > 1) {
      const std::uint64_t rowSize = result.size() - rowStart;
      const std::uint64_t rest = static_cast<std::uint64_t>(count - 1);
      if (rowSize * rest < static_cast<std::uint64_t>(MaxTableReserve))
        result.reserve(result.size() +
                       static_cast<std::size_t>(rowSize * rest + rowSize * rest / 8));
    }
  }

  result += "</TABLE>";
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

// ---- Preview ----------------------------------------------------------------

namespace {

// Preview coordinates are added up from property values that may be huge;
// they are summed wide and kept within the canvas's integer range.
int ClampToInt(std::int64_t value) {
  return static_cast<int>(
      std::clamp<std::int64_t>(value, -(std::int64_t{1} << 30), std::int64_t{1} << 30));
}

TRect CellRect(std::int64_t x, std::int64_t y, int width, int height) {
  return Rect(ClampToInt(x), ClampToInt(y), ClampToInt(x + width), ClampToInt(y + height));
}

}  // namespace

void TWvCustomTable::PaintCell(const TWvTableItem& item, const TWvCustomTableColumn& column,
                               const TRect& cell, TColor rowColor) {
  TCanvas& canvas = Canvas();
  if (item.GetPicture() == nullptr) {
    WvDrawString(item.GetText(), *column.GetRowFont(), canvas, cell, rowColor,
                 column.GetDataAlign());
    return;
  }
  // A picture that cannot be drawn leaves the cell in its row colour.
  try {
    TGraphic* graphic = item.GetPicture()->GetGraphic();
    if (graphic != nullptr && !graphic->GetEmpty()) canvas.StretchDraw(cell, *graphic);
  } catch (const std::exception&) {
  }
}

void TWvCustomTable::PaintTable() {
  TCanvas& canvas = Canvas();
  // A preview must never stop the designer: a failure ends the drawing.
  try {
    canvas.Brush().Color = GetBackGroundColor();
    canvas.FillRect(ClientRect());
    const std::int64_t start = std::int64_t{FBorder} + 1;
    std::int64_t y = start;
    if (FDisplayHeader) {
      std::int64_t x = start;
      for (int c = 0; c < ColumnCount() && x < GetWidth(); ++c) {
        const TWvCustomTableColumn& column = *Columns(c);
        WvDrawString(column.GetHeader(), *column.GetHeaderFont(), canvas,
                     CellRect(x, y, column.Getwidth(), FHeaderHeight), FHeaderColor,
                     column.GetHeaderAlign());
        x += std::int64_t{column.Getwidth()} + FSpacing;
      }
      y += std::int64_t{FHeaderHeight} + FSpacing;
    }
    // Always MaxRows rows, whatever StartIndex says. Rows that start below
    // the control cannot be seen, and rows that do not move down would only
    // paint over each other, so the drawing stops there.
    const std::int64_t step = std::int64_t{FRowHeight} + FSpacing;
    for (int i = 0; i < FMaxRows && y < GetHeight() && (i == 0 || step > 0); ++i) {
      const TColor rowColor = i % 2 == 0 ? FListColor2 : FListColor1;
      const TWvTableRow* row = i < NumberOfRows() ? FRows.Get(i) : nullptr;
      std::int64_t x = start;
      for (int c = 0; c < ColumnCount() && x < GetWidth(); ++c) {
        const TWvCustomTableColumn& column = *Columns(c);
        const TRect cell = CellRect(x, y, column.Getwidth(), FRowHeight);
        canvas.Brush().Color = rowColor;
        canvas.FillRect(cell);
        // A row shorter than the columns leaves its missing cells empty.
        if (row != nullptr && c < row->Count()) PaintCell(*row->Get(c), column, cell, rowColor);
        x += std::int64_t{column.Getwidth()} + FSpacing;
      }
      y += step;
    }
  } catch (const std::exception&) {
  }
  PaintOutline();
}

namespace WvCustomTable {
void RegisterClasses() {
  WvVisibleComponent::RegisterClasses();
  WvCustomColumnList::RegisterClasses();
  using C = TWvCustomTable;
  RegisterClass<C, TWvVisibleComponent>({
      props::Integer<C>("StartIndex", &C::GetStartIndex, &C::SetStartIndex),
      props::Color<C>("HeaderColor", &C::GetHeaderColor, &C::SetHeaderColor),
      props::Color<C>("ListColor1", &C::GetListColor1, &C::SetListColor1),
      props::Color<C>("ListColor2", &C::GetListColor2, &C::SetListColor2),
      props::Integer<C>("Border", &C::GetBorder, &C::SetBorder),
      props::Integer<C>("Spacing", &C::GetSpacing, &C::SetSpacing),
      props::Integer<C>("Padding", &C::GetPadding, &C::SetPadding),
      props::Boolean<C>("DisplayHeader", &C::GetDisplayHeader, &C::SetDisplayHeader),
      props::Integer<C>("headerHeight", &C::GetheaderHeight, &C::SetheaderHeight),
      props::Integer<C>("RowHeight", &C::GetRowHeight, &C::SetRowHeight),
      props::Integer<C>("MaxRows", &C::GetMaxRows, &C::SetMaxRows),
  });
}
}  // namespace WvCustomTable

}  // namespace tavkit

// Rows and cells of a table, the frequency list of row classes, the table's
// HTML in plain and style-sheet mode, and the drawing of its preview.
#include <tavkit/tables/WvCustomTable.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/DecodeBudget.h>
#include <tavkit/platform/graphics/Picture.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include <tavkit/tables/WvCustomTableColumn.h>

namespace tavkit {

namespace {

// The most room a spare item keeps for its text.
constexpr std::size_t MaxSpareTextRoom = 1024;

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
    const TDecodeBudget budget("MaxElementPicturePixels", MaxElementPicturePixels);
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
  // The row takes its length at once rather than growing cell by cell.
  row->SetCount(ColumnCount());
  for (int c = 0; c < ColumnCount(); ++c) {
    const auto i = static_cast<std::size_t>(c);
    std::unique_ptr<TWvTableItem> item = i < cells.size() && cells[i] != nullptr
                                             ? std::move(cells[i])
                                             : std::make_unique<TWvTableItem>(this);
    item->FPlacements = 1;
    row->Put(c, item.release());
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

TWvCustomTable::TSpareItems::~TSpareItems() {
  for (std::size_t r = FNextRow; r < FRows.size(); ++r) {
    std::unique_ptr<TWvTableRow> row(FRows[r]);
    for (TWvTableItem* item : *row) Release(item);
  }
}

// An old row is a chain of memory that lies apart: the row, its list of
// cells, the items, their texts. Each step asks for one more link of the
// chains of the rows ahead, so that the waits for them overlap the work on
// this row instead of coming one after the other.
void TWvCustomTable::TSpareItems::Prefetch(std::size_t row) const {
  auto ahead = [&](std::size_t rows) -> const TWvTableRow* {
    return row + rows < FRows.size() ? FRows[row + rows] : nullptr;
  };
  if (const TWvTableRow* next = ahead(4)) __builtin_prefetch(next);
  if (const TWvTableRow* next = ahead(3); next != nullptr && next->Count() > 0) {
    const auto* cells = reinterpret_cast<const char*>(&*next->begin());
    const std::size_t bytes = static_cast<std::size_t>(next->Count()) * sizeof(TWvTableItem*);
    for (std::size_t at = 0; at < bytes; at += 64) __builtin_prefetch(cells + at);
  }
  if (const TWvTableRow* next = ahead(2))
    for (const TWvTableItem* item : *next) __builtin_prefetch(item, 1);
  if (const TWvTableRow* next = ahead(1))
    for (const TWvTableItem* item : *next) __builtin_prefetch(item->FText.data(), 1);
}

void TWvCustomTable::TSpareItems::TakeNextRow() {
  FItems.clear();
  FNext = 0;
  while (FItems.empty() && FNextRow < FRows.size()) {
    Prefetch(FNextRow);
    std::unique_ptr<TWvTableRow> row(FRows[FNextRow++]);
    for (TWvTableItem* item : *row) {
      if (item->FPlacements != 1) {
        Release(item);
        continue;
      }
      item->FPlacements = 0;
      item->FPicture.reset();
      item->FHyperLink.reset();
      // A text keeps its room for the next one, unless that room is large:
      // one long text must not hold its memory through every reading after.
      if (item->FText.capacity() > MaxSpareTextRoom) std::string().swap(item->FText);
      item->FText.clear();
      FItems.emplace_back(item);
    }
  }
}

void TWvCustomTable::EmptyTableKeeping(TSpareItems& spares) {
  spares.FRows.reserve(spares.FRows.size() + static_cast<std::size_t>(NumberOfRows()));
  for (TWvTableRow* row : FRows) spares.FRows.push_back(row);
  FRows.Clear();
  for (TWvTableItem* item : FDisplaced) delete item;
  FDisplaced.clear();
}

std::unique_ptr<TWvTableItem> TWvCustomTable::NewItem(TSpareItems& spares) {
  if (spares.FNext >= spares.FItems.size()) spares.TakeNextRow();
  if (spares.FNext >= spares.FItems.size()) return std::make_unique<TWvTableItem>(this);
  return std::move(spares.FItems[spares.FNext++]);
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
      if (const TWvLink* link = item->FindHyperLink()) list->AddList(*link->ScriptList());
  }
  return list;
}

namespace {

// The markup a font puts around a cell's text. CreateHTMLText writes the
// text as it stands between an opening and a closing that depend on the font
// alone; they are found once per column, where the markup of a probe parts
// from that of no text, so that a cell appends three pieces instead of having
// the markup built anew. The probe is a control byte that font markup never
// holds.
struct TFontMarkup {
  std::string Opening;
  std::string Closing;
};

TFontMarkup SplitFontMarkup(const TWvFont& font) {
  const std::string bare = font.CreateHTMLText(std::string());
  const std::string probed = font.CreateHTMLText("\x01");
  const auto at = std::mismatch(bare.begin(), bare.end(), probed.begin(), probed.end()).first;
  return TFontMarkup{std::string(bare.begin(), at), std::string(at, bare.end())};
}

// Writes the body rows of a table. A cell is written in one of three modes:
// a picture (the same in every mode), text with a style class, or text with
// font markup. What every row of one colour repeats is worked out once: the
// row backgrounds, the widths, link colours and font markup of each column
// and, as the cells first ask for them, the class of each column in each row
// colour. The optimizer hands out the same name for the same font, colour and
// alignment, and asking in the order the cells do keeps its numbering
// unchanged. A cell without a link is appended where it stands; only a
// linked one is put together first, to be wrapped in its link.
class TTableBody {
 public:
  // widthsWritten: a header row has given the columns their widths already.
  TTableBody(const TWvCustomTable& table, TWvCustomOptimizer* optimizer, bool widthsWritten);

  // Rows first to first + count - 1, one TR element each.
  void Write(std::string& html, int first, std::int64_t count);

 private:
  struct TColumnText {
    std::string Width;      // " width=N"
    std::string LinkColor;  // of the row font
    TFontMarkup Font;       // of the row font, after the alignment paragraph
    const char* Paragraph;  // the alignment paragraph of the data
  };

  void Row(std::string& html, int index);
  void Prefetch(int index) const;
  // Each appends the cell's opening TD tag to html and its content (before
  // any link) to content.
  void PictureCell(const TWvTableItem& item, int column, bool odd, std::string& html,
                   std::string& content) const;
  void StyleCell(const TWvTableItem& item, int column, bool odd, std::string& html,
                 std::string& content);
  void FontCell(const TWvTableItem& item, int column, bool odd, std::string& html,
                std::string& content) const;
  const std::string& Width(int column) const;
  // The class most cells of a row in that colour would have.
  std::string MostFrequentRowClass(TColor rowColor) const;

  const TWvCustomTable& FTable;
  TWvCustomOptimizer* FOptimizer;
  bool FStyleMode;
  bool FOptimised;
  bool FWidthsWritten;
  std::string FRowHeight;
  // Row classes and backgrounds, [0] for even rows and [1] for odd ones.
  std::string FRowClasses[2];
  std::string FBackgrounds[2];
  std::vector<TColumnText> FColumns;
  // Column c in even rows at 2c, in odd rows at 2c + 1; empty until asked.
  std::vector<std::optional<std::string>> FCellClasses;
  // The content of a linked cell; kept to reuse its room.
  std::string FContent;
};

TTableBody::TTableBody(const TWvCustomTable& table, TWvCustomOptimizer* optimizer,
                       bool widthsWritten)
    : FTable(table),
      FOptimizer(optimizer),
      FStyleMode(optimizer != nullptr && optimizer->getUseCSS()),
      FOptimised(FStyleMode && optimizer->getoptimizeTableDefinitions()),
      FWidthsWritten(widthsWritten),
      FRowHeight(std::to_string(table.GetRowHeight())) {
  // The class each row carries in optimised mode: the one most of its cells
  // would have. Asked for both parities so that the style sheet lists them.
  if (FOptimised) {
    FRowClasses[1] = MostFrequentRowClass(table.GetListColor1());
    FRowClasses[0] = MostFrequentRowClass(table.GetListColor2());
  }
  FBackgrounds[0] = BackgroundAttribute(table.GetListColor2());
  FBackgrounds[1] = BackgroundAttribute(table.GetListColor1());
  const int columns = table.ColumnCount();
  for (int c = 0; c < columns; ++c) {
    const TWvCustomTableColumn& column = *table.Columns(c);
    FColumns.push_back(
        TColumnText{" width=" + std::to_string(column.Getwidth()), LinkColor(*column.GetRowFont()),
                    FStyleMode ? TFontMarkup() : SplitFontMarkup(*column.GetRowFont()),
                    AlignmentParagraph(column.GetDataAlign())});
  }
  FCellClasses.resize(static_cast<std::size_t>(columns) * 2);
}

std::string TTableBody::MostFrequentRowClass(TColor rowColor) const {
  TWvClassList classes;
  for (int c = 0; c < FTable.ColumnCount(); ++c)
    classes.addclass(FOptimizer->getClassName(*FTable.Columns(c)->GetRowFont(), rowColor,
                                              FTable.Columns(c)->GetDataAlign()));
  return classes.getMostFrequentClass();
}

void TTableBody::Write(std::string& html, int first, std::int64_t count) {
  for (std::int64_t n = 0; n < count; ++n) {
    const std::size_t rowStart = html.size();
    Prefetch(static_cast<int>(first + n));
    Row(html, static_cast<int>(first + n));
    // The rows of a table are much alike: room for the others, as long as
    // the first row is, saves growing the text again and again. A guess
    // beyond reason (one long cell above many short rows) is not made.
    if (n == 0 && count > 1) {
      const std::uint64_t rowSize = html.size() - rowStart;
      const std::uint64_t rest = static_cast<std::uint64_t>(count - 1);
      if (rowSize * rest < static_cast<std::uint64_t>(MaxTableReserve))
        html.reserve(html.size() + static_cast<std::size_t>(rowSize * rest + rowSize * rest / 8));
    }
  }
}

// The items of a table lie wherever their rows were filled, each with its
// text (and link, if any) apart, and a row written from memory out of the
// cache waits for each of them in turn: most of the time of a large table.
// Asking for the items two rows ahead, and for the links and texts of the
// next row, lets those waits overlap.
void TTableBody::Prefetch(int index) const {
  const int rows = FTable.NumberOfRows();
  if (index + 1 >= 0 && index + 1 < rows)
    for (const TWvTableItem* item : FTable.GetRow(index + 1)) {
      if (const TWvLink* link = item->FindHyperLink()) __builtin_prefetch(link);
      __builtin_prefetch(item->GetText().data());
    }
  if (index + 2 >= 0 && index + 2 < rows)
    for (const TWvTableItem* item : FTable.GetRow(index + 2)) __builtin_prefetch(item);
}

// Only the first row written carries the widths.
const std::string& TTableBody::Width(int column) const {
  static const std::string none;
  return FWidthsWritten ? none : FColumns[static_cast<std::size_t>(column)].Width;
}

void TTableBody::Row(std::string& html, int index) {
  const TWvTableRow& row = FTable.GetRow(index);
  const bool odd = index % 2 != 0;
  if (FOptimised) {
    html += "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"";
    html += FRowClasses[odd ? 1 : 0];
    html += "\">";
  } else {
    html += "<TR VALIGN=\"top\" ALIGN=\"left\">";
  }
  for (int c = 0; c < static_cast<int>(FColumns.size()); ++c) {
    const TWvTableItem& item = *row.Get(c);
    const bool linked = !item.getlink().empty();
    std::string& content = linked ? FContent : html;
    if (linked) content.clear();
    if (item.GetPicture() != nullptr)
      PictureCell(item, c, odd, html, content);
    else if (FStyleMode)
      StyleCell(item, c, odd, html, content);
    else
      FontCell(item, c, odd, html, content);
    if (linked)
      html += item.FindHyperLink()->CreateLinkedText(
          FContent, FColumns[static_cast<std::size_t>(c)].LinkColor);
    html += "</TD>";
  }
  FWidthsWritten = true;
  html += "</TR>";
}

// Picture cells carry their own height and the row colour in every mode.
void TTableBody::PictureCell(const TWvTableItem& item, int column, bool odd, std::string& html,
                             std::string& content) const {
  const int width = FTable.Columns(column)->Getwidth();
  html += "<TD height=" + FRowHeight + " " + Width(column) + " " + FBackgrounds[odd ? 1 : 0] + ">";
  content += "<IMG height=" + FRowHeight + " width=" + std::to_string(width) + " SRC=\"" +
             PictureCellImage(*item.GetPicture(), width, FTable.GetRowHeight()) + "\">";
}

// Only the first cell of a row carries the row height. In optimised mode a
// cell whose class is the row's leaves it to the row.
void TTableBody::StyleCell(const TWvTableItem& item, int column, bool odd, std::string& html,
                           std::string& content) {
  const std::size_t slot = static_cast<std::size_t>(column) * 2 + (odd ? 1 : 0);
  if (!FCellClasses[slot]) {
    const TWvCustomTableColumn& col = *FTable.Columns(column);
    FCellClasses[slot] = FOptimizer->getClassName(
        *col.GetRowFont(), odd ? FTable.GetListColor1() : FTable.GetListColor2(),
        col.GetDataAlign());
  }
  const std::string& cellClass = *FCellClasses[slot];
  html += "<TD";
  if (column == 0) {
    html += " height=";
    html += FRowHeight;
  }
  html += Width(column);
  if (!(FOptimised && cellClass == FRowClasses[odd ? 1 : 0])) {
    html += " CLASS=\"";
    html += cellClass;
    html += "\"";
  }
  html += ">";
  content += item.GetText();
}

// Only the first cell of a row carries the row height; every cell carries
// the row colour, its alignment and its font.
void TTableBody::FontCell(const TWvTableItem& item, int column, bool odd, std::string& html,
                          std::string& content) const {
  html += "<TD ";
  if (column == 0) {
    html += " height=";
    html += FRowHeight;
  }
  html += Width(column);
  html += FBackgrounds[odd ? 1 : 0];
  html += ">";
  const TColumnText& text = FColumns[static_cast<std::size_t>(column)];
  content += text.Paragraph;
  content += text.Font.Opening;
  content += item.GetText();
  content += text.Font.Closing;
}

}  // namespace

std::string TWvCustomTable::put(TWvCustomOptimizer* optimizer) {
  ActivateBeforePutEvent();
  std::string result = CollapsedBefore();
  const std::string background = IsBackgroundTransparent()
                                     ? std::string()
                                     : "BGCOLOR=\"#" + WvMakeWebColor(GetBackGroundColor()) + "\"";
  result += "<TABLE BORDER=" + std::to_string(FBorder) +
            " CELLSPACING=" + std::to_string(FSpacing) +
            " CELLPADDING=" + std::to_string(FPadding) + " " + background + ">";
  result += CollapsedInside();
  if (FDisplayHeader)
    result += HeaderRow(optimizer, optimizer != nullptr && optimizer->getUseCSS());
  TTableBody(*this, optimizer, FDisplayHeader).Write(result, FStartIndex, RowsWritten());
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

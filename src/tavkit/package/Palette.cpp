// The palette pictures, each a small drawing on the 16 standard colours. The
// icons share a handful of motifs (a sheet of paper, a landscape picture, a
// database drum, bevelled buttons and fields) so that related components look
// related: every data-bound element is its plain element with the drum in
// front. Coordinates are pixels of the 32 x 32 bitmap; rectangles exclude
// their right and bottom edges as on every canvas.
#include <tavkit/package/Palette.h>

#include <algorithm>
#include <initializer_list>
#include <tuple>
#include <utility>

#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit::Palette {

namespace {

// ---- Drawing helpers ----------------------------------------------------------

void Fill(TCanvas& c, const TRect& r, TColor color) {
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = color;
  c.FillRect(r);
}

// A rectangle with a one-pixel outline; clNone as fill leaves the inside alone.
void Box(TCanvas& c, const TRect& r, TColor fill, TColor outline = clBlack) {
  c.Pen() = TPen{};
  c.Pen().Color = outline;
  c.Brush().Style = fill == clNone ? TBrushStyle::bsClear : TBrushStyle::bsSolid;
  c.Brush().Color = fill;
  c.Rectangle(r);
}

// A line that includes both of its end points.
void Line(TCanvas& c, int x1, int y1, int x2, int y2, TColor color) {
  c.Pen() = TPen{};
  c.Pen().Color = color;
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
  c.SetPixel(x2, y2, color);
}

void Shape(TCanvas& c, std::initializer_list<TPoint> points, TColor fill,
           TColor outline = clBlack) {
  c.Pen() = TPen{};
  c.Pen().Color = outline;
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = fill;
  c.Polygon(points.begin(), static_cast<int>(points.size()));
}

void Oval(TCanvas& c, const TRect& r, TColor fill, TColor outline = clBlack) {
  c.Pen() = TPen{};
  c.Pen().Color = outline;
  c.Brush().Style = fill == clNone ? TBrushStyle::bsClear : TBrushStyle::bsSolid;
  c.Brush().Color = fill;
  c.Ellipse(r.Left, r.Top, r.Right, r.Bottom);
}

void Write(TCanvas& c, int x, int y, const std::string& text, int height, TColor color,
           unsigned style = 0, const char* face = "ARIAL") {
  c.Brush().Style = TBrushStyle::bsClear;
  c.Font().Name = face;
  c.Font().Height = height;
  c.Font().Style = style;
  c.Font().Color = color;
  c.TextOut(x, y, text);
}

// The classic three-dimensional edge: light above and to the left, shadow
// below and to the right (the other way round for a sunken edge).
void Bevel(TCanvas& c, const TRect& r, bool raised) {
  TColor light = raised ? clWhite : clGray;
  TColor dark = raised ? clGray : clWhite;
  Line(c, r.Left, r.Top, r.Right - 1, r.Top, light);
  Line(c, r.Left, r.Top, r.Left, r.Bottom - 1, light);
  Line(c, r.Left, r.Bottom - 1, r.Right - 1, r.Bottom - 1, dark);
  Line(c, r.Right - 1, r.Top, r.Right - 1, r.Bottom - 1, dark);
}

// A raised button face with a black outline.
void Button(TCanvas& c, const TRect& r) {
  Box(c, r, clSilver);
  Bevel(c, TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}, true);
}

// A white field with the shadow of a sunken edge inside its outline, as text
// fields and list boxes are drawn; the outline keeps it clear on white too.
void Field(TCanvas& c, const TRect& r) {
  Box(c, r, clWhite);
  Line(c, r.Left + 1, r.Top + 1, r.Right - 2, r.Top + 1, clGray);
  Line(c, r.Left + 1, r.Top + 1, r.Left + 1, r.Bottom - 2, clGray);
}

// A sheet of paper with its top right corner folded over.
void Sheet(TCanvas& c, const TRect& r) {
  int fold = 5;
  Shape(c,
        {{r.Left, r.Top},
         {r.Right - 1 - fold, r.Top},
         {r.Right - 1, r.Top + fold},
         {r.Right - 1, r.Bottom - 1},
         {r.Left, r.Bottom - 1}},
        clWhite);
  Shape(c,
        {{r.Right - 1 - fold, r.Top},
         {r.Right - 1 - fold, r.Top + fold},
         {r.Right - 1, r.Top + fold}},
        clSilver);
}

// Grey lines standing for running text.
void TextLines(TCanvas& c, int left, int top, std::initializer_list<int> rights, int step = 3,
               TColor color = clGray) {
  int y = top;
  for (int right : rights) {
    Line(c, left, y, right, y, color);
    y += step;
  }
}

// A landscape: sky, sun and two green hills, framed in black.
void Landscape(TCanvas& c, const TRect& r) {
  Box(c, r, clAqua);
  int w = r.Right - r.Left, h = r.Bottom - r.Top;
  Oval(c, TRect{r.Left + w * 5 / 8, r.Top + 2, r.Left + w * 5 / 8 + 7, r.Top + 9}, clYellow,
       clOlive);
  Shape(c,
        {{r.Left + 1, r.Bottom - 2},
         {r.Left + w * 3 / 8, r.Top + h * 3 / 8},
         {r.Left + w * 5 / 8, r.Bottom - 2}},
        clGreen, clGreen);
  Shape(c,
        {{r.Left + w * 3 / 8, r.Bottom - 2},
         {r.Left + w * 3 / 4, r.Top + h / 2},
         {r.Right - 2, r.Bottom - 5},
         {r.Right - 2, r.Bottom - 2}},
        clLime, clGreen);
  Box(c, r, clNone);
}

// The database drum in front of a data-bound element: its top right corner
// is at (right, top) and it is 13 pixels wide.
void Drum(TCanvas& c, int right, int top, int height) {
  int left = right - 13, bottom = top + height;
  Oval(c, TRect{left, bottom - 6, right, bottom}, clOlive);
  Fill(c, TRect{left + 1, top + 3, right - 1, bottom - 3}, clOlive);
  Line(c, left, top + 3, left, bottom - 4, clBlack);
  Line(c, right - 1, top + 3, right - 1, bottom - 4, clBlack);
  Oval(c, TRect{left, top, right, top + 6}, clYellow);
}

// A small table: a header row and body rows of three columns.
void Grid(TCanvas& c, const TRect& r, int rows, TColor header, TColor odd, TColor even) {
  int rowHeight = (r.Bottom - r.Top - 1) / rows;
  for (int i = 0; i < rows; ++i) {
    TColor color = i == 0 ? header : (i % 2 == 1 ? odd : even);
    Fill(c, TRect{r.Left, r.Top + i * rowHeight, r.Right, r.Top + (i + 1) * rowHeight}, color);
  }
  int bottom = r.Top + rows * rowHeight;
  Box(c, TRect{r.Left, r.Top, r.Right, bottom + 1}, clNone);
  for (int i = 1; i < rows; ++i)
    Line(c, r.Left, r.Top + i * rowHeight, r.Right - 1, r.Top + i * rowHeight, clBlack);
  int columnWidth = (r.Right - r.Left - 1) / 3;
  for (int i = 1; i < 3; ++i)
    Line(c, r.Left + i * columnWidth, r.Top, r.Left + i * columnWidth, bottom, clBlack);
}

// A web panel: a coloured area holding a text block and a picture.
void WebPanel(TCanvas& c, const TRect& r) {
  Box(c, r, clTeal);
  int mid = r.Left + (r.Right - r.Left) * 5 / 8;
  Fill(c, TRect{r.Left + 3, r.Top + 3, mid - 1, r.Top + 11}, clWhite);
  TextLines(c, r.Left + 4, r.Top + 4, {mid - 3, mid - 4, mid - 2});
  Box(c, TRect{mid + 1, r.Top + 3, r.Right - 3, r.Top + 11}, clYellow, clOlive);
  Fill(c, TRect{r.Left + 3, r.Top + 13, r.Right - 3, r.Bottom - 3}, clWhite);
  TextLines(c, r.Left + 4, r.Top + 14, {r.Right - 6, r.Right - 9});
}

// A small arrow pointing right, for things that send.
void SendArrow(TCanvas& c, int left, int top, TColor color) {
  Shape(c,
        {{left, top + 3},
         {left + 6, top + 3},
         {left + 6, top},
         {left + 11, top + 5},
         {left + 6, top + 10},
         {left + 6, top + 7},
         {left, top + 7}},
        color);
}

// Dots around a rectangle, as a hot spot or a placeholder is marked.
void Marquee(TCanvas& c, const TRect& r, TColor color) {
  c.Pen() = TPen{};
  c.Pen().Color = color;
  c.Pen().Style = TPenStyle::psDot;
  c.Brush().Style = TBrushStyle::bsClear;
  c.Rectangle(r);
}

// ---- The pictures -----------------------------------------------------------

void DrawPage(TCanvas& c) {
  Sheet(c, TRect{5, 1, 27, 31});
  Fill(c, TRect{8, 8, 20, 11}, clNavy);
  TextLines(c, 8, 14, {23, 21, 23, 18}, 3);
  Line(c, 8, 26, 16, 26, clBlue);
}

void DrawPanel(TCanvas& c) {
  WebPanel(c, TRect{2, 5, 30, 28});
}

void DrawTemplate(TCanvas& c) {
  Sheet(c, TRect{5, 1, 27, 31});
  Marquee(c, TRect{8, 8, 24, 27}, clRed);
  Write(c, 10, 10, "{ }", 14, clPurple, fsBold);
}

void DrawStandardComponent(TCanvas& c) {
  Box(c, TRect{2, 6, 30, 26}, clWhite);
  Write(c, 5, 5, "<>", 22, clMaroon, fsBold);
}

void DrawText(TCanvas& c) {
  Write(c, 2, 3, "A", 26, clNavy, fsBold, "Times New Roman");
  Write(c, 18, 10, "a", 20, clBlack, 0, "Times New Roman");
}

void DrawImage(TCanvas& c) {
  Landscape(c, TRect{2, 5, 30, 27});
}

void DrawImageMap(TCanvas& c) {
  Landscape(c, TRect{2, 5, 30, 27});
  Marquee(c, TRect{6, 9, 19, 22}, clRed);
  Shape(c, {{18, 17}, {18, 29}, {21, 26}, {24, 31}, {26, 30}, {23, 25}, {27, 25}}, clWhite);
}

void DrawJavaApplet(TCanvas& c) {
  for (int x : {11, 15, 19}) {
    Line(c, x, 2, x + 1, 4, clGray);
    Line(c, x + 1, 5, x, 7, clGray);
    Line(c, x, 8, x + 1, 9, clGray);
  }
  Oval(c, TRect{4, 24, 28, 30}, clSilver, clGray);
  Oval(c, TRect{19, 14, 27, 22}, clNone, clBlack);
  Oval(c, TRect{20, 15, 26, 21}, clNone, clBlack);
  Shape(c, {{7, 12}, {23, 12}, {21, 26}, {9, 26}}, clWhite);
  Oval(c, TRect{7, 10, 24, 15}, clMaroon);
}

void DrawVCLWrapper(TCanvas& c) {
  Box(c, TRect{5, 6, 27, 26}, clSilver);
  Fill(c, TRect{6, 7, 26, 11}, clNavy);
  Button(c, TRect{9, 15, 23, 22});
  for (auto [x, y, dx, dy] : {std::tuple{1, 2, 1, 1}, std::tuple{30, 2, -1, 1},
                              std::tuple{1, 29, 1, -1}, std::tuple{30, 29, -1, -1}}) {
    Line(c, x, y, x + 5 * dx, y, clRed);
    Line(c, x, y, x, y + 5 * dy, clRed);
    Line(c, x + dx, y + dy, x + 5 * dx, y + dy, clRed);
    Line(c, x + dx, y + dy, x + dx, y + 5 * dy, clRed);
  }
}

void DrawInputForm(TCanvas& c) {
  Box(c, TRect{2, 2, 30, 30}, clWhite, clTeal);
  Box(c, TRect{3, 3, 29, 29}, clNone, clTeal);
  for (int y : {6, 13}) {
    Line(c, 5, y + 2, 10, y + 2, clGray);
    Field(c, TRect{12, y, 27, y + 6});
  }
  Button(c, TRect{15, 20, 27, 27});
}

void DrawSubmitButton(TCanvas& c) {
  Button(c, TRect{1, 8, 31, 24});
  SendArrow(c, 10, 11, clGreen);
}

void DrawTextInputField(TCanvas& c) {
  Field(c, TRect{1, 9, 31, 23});
  Write(c, 4, 10, "ab", 13, clBlack);
  Line(c, 21, 12, 21, 19, clNavy);
  Line(c, 19, 11, 23, 11, clNavy);
  Line(c, 19, 20, 23, 20, clNavy);
}

void DrawTextArea(TCanvas& c) {
  Field(c, TRect{1, 2, 31, 30});
  TextLines(c, 4, 6, {20, 18, 21, 16, 20, 13, 19}, 3, clBlack);
  Fill(c, TRect{23, 4, 29, 28}, clSilver);
  Button(c, TRect{23, 4, 29, 9});
  Button(c, TRect{23, 23, 29, 28});
  Button(c, TRect{23, 11, 29, 16});
}

void CheckBoxRow(TCanvas& c, int top, bool checked) {
  Field(c, TRect{3, top, 14, top + 11});
  if (checked)
    for (int d = 0; d < 2; ++d) {
      Line(c, 5, top + 5 + d, 7, top + 7 + d, clBlack);
      Line(c, 7, top + 7 + d, 11, top + 3 + d, clBlack);
    }
  Line(c, 17, top + 5, 28, top + 5, clNavy);
}

void DrawCheckBox(TCanvas& c) {
  CheckBoxRow(c, 3, true);
  CheckBoxRow(c, 18, false);
}

void RadioRow(TCanvas& c, int top, bool chosen) {
  Oval(c, TRect{3, top, 15, top + 12}, clWhite, clGray);
  Oval(c, TRect{4, top + 1, 14, top + 11}, clNone, clBlack);
  if (chosen) Oval(c, TRect{7, top + 4, 11, top + 8}, clBlack);
  Line(c, 18, top + 6, 28, top + 6, clNavy);
}

void DrawRadioButton(TCanvas& c) {
  RadioRow(c, 3, true);
  RadioRow(c, 18, false);
}

void DrawDropDownlist(TCanvas& c) {
  Field(c, TRect{1, 3, 31, 13});
  Line(c, 4, 8, 15, 8, clBlack);
  Button(c, TRect{21, 4, 30, 12});
  Shape(c, {{23, 7}, {27, 7}, {25, 9}}, clBlack);
  Box(c, TRect{1, 13, 31, 30}, clWhite);
  Line(c, 4, 16, 20, 16, clBlack);
  Fill(c, TRect{2, 19, 30, 24}, clNavy);
  Line(c, 4, 21, 17, 21, clWhite);
  Line(c, 4, 26, 22, 26, clBlack);
}

void DrawListBox(TCanvas& c) {
  Field(c, TRect{1, 2, 31, 30});
  TextLines(c, 4, 6, {18, 16}, 4, clBlack);
  Fill(c, TRect{3, 12, 23, 17}, clNavy);
  Line(c, 4, 14, 19, 14, clWhite);
  TextLines(c, 4, 19, {20, 15, 18}, 4, clBlack);
  Fill(c, TRect{23, 4, 29, 28}, clSilver);
  Button(c, TRect{23, 4, 29, 9});
  Button(c, TRect{23, 23, 29, 28});
  Button(c, TRect{23, 16, 29, 21});
}

void DrawTable(TCanvas& c) {
  Grid(c, TRect{1, 4, 31, 29}, 4, clNavy, clWhite, clAqua);
}

void DrawDBTable(TCanvas& c) {
  Grid(c, TRect{1, 2, 27, 23}, 4, clNavy, clWhite, clAqua);
  Drum(c, 31, 14, 17);
}

void DrawDBPanel(TCanvas& c) {
  WebPanel(c, TRect{1, 2, 27, 24});
  Drum(c, 31, 14, 17);
}

void DrawDBText(TCanvas& c) {
  Write(c, 1, 2, "A", 20, clNavy, fsBold, "Times New Roman");
  Write(c, 13, 7, "a", 16, clBlack, 0, "Times New Roman");
  Drum(c, 31, 14, 17);
}

void DrawDBImage(TCanvas& c) {
  Landscape(c, TRect{1, 2, 27, 23});
  Drum(c, 31, 14, 17);
}

void DrawJavascript(TCanvas& c) {
  Box(c, TRect{3, 3, 29, 29}, clYellow, clOlive);
  Write(c, 9, 13, "JS", 15, clBlack, fsBold);
}

void DrawOptimizer(TCanvas& c) {
  Oval(c, TRect{2, 4, 30, 32}, clWhite);
  Fill(c, TRect{2, 27, 30, 32}, clSilver);
  Line(c, 3, 26, 28, 26, clBlack);
  Line(c, 5, 21, 7, 20, clGreen);
  Line(c, 8, 12, 10, 14, clGreen);
  Line(c, 16, 7, 16, 10, clOlive);
  Line(c, 24, 12, 22, 14, clRed);
  Line(c, 27, 21, 25, 20, clRed);
  for (int d = 0; d < 2; ++d) Line(c, 16 + d, 22, 23 + d, 13, clRed);
  Oval(c, TRect{13, 19, 20, 26}, clBlack);
}

void DrawCGI(TCanvas& c) {
  Box(c, TRect{2, 3, 14, 30}, clSilver);
  Bevel(c, TRect{3, 4, 13, 29}, true);
  for (int y : {7, 11}) Box(c, TRect{5, y, 11, y + 3}, clGray);
  Fill(c, TRect{5, 22, 7, 24}, clLime);
  Sheet(c, TRect{21, 6, 31, 26});
  TextLines(c, 23, 13, {28, 27, 28, 26}, 3, clNavy);
  SendArrow(c, 12, 12, clBlue);
}

void DrawStandardPanel(TCanvas& c) {
  Box(c, TRect{2, 6, 30, 26}, clSilver);
  Bevel(c, TRect{3, 7, 29, 25}, true);
  Bevel(c, TRect{6, 10, 26, 22}, false);
}

void DrawLabel(TCanvas& c) {
  Write(c, 7, 2, "A", 28, clNavy, 0, "Times New Roman");
  Line(c, 4, 29, 27, 29, clBlack);
}

void DrawButton(TCanvas& c) {
  Button(c, TRect{1, 8, 31, 24});
  Write(c, 8, 10, "OK", 12, clBlack, fsBold);
}

void DrawShape(TCanvas& c) {
  Box(c, TRect{3, 3, 17, 17}, clBlue);
  Oval(c, TRect{13, 5, 30, 22}, clRed);
  Shape(c, {{9, 14}, {19, 30}, {1, 30}}, clYellow);
}

void DrawDataSource(TCanvas& c) {
  Drum(c, 14, 5, 22);
  for (int y : {12, 19}) Line(c, 16, y, 27, y, clRed);
  Shape(c, {{25, 9}, {29, 12}, {25, 15}}, clRed, clRed);
  Shape(c, {{19, 16}, {15, 19}, {19, 22}}, clRed, clRed);
}

void DrawSQLiteQuery(TCanvas& c) {
  Drum(c, 14, 2, 16);
  Box(c, TRect{3, 18, 31, 30}, clWhite, clNavy);
  Write(c, 5, 19, "SQL", 11, clNavy, fsBold);
  Line(c, 16, 6, 27, 6, clGray);
  Line(c, 16, 9, 25, 9, clGray);
  Line(c, 16, 12, 28, 12, clGray);
}

// The SQLite query's drum on the other side, as a server's, with its label.
void DrawPgQuery(TCanvas& c) {
  Drum(c, 30, 2, 16);
  Box(c, TRect{1, 18, 29, 30}, clWhite, clTeal);
  Write(c, 3, 19, "PG", 11, clTeal, fsBold);
  Line(c, 3, 6, 14, 6, clGray);
  Line(c, 3, 9, 12, 9, clGray);
  Line(c, 3, 12, 15, 12, clGray);
}

void DrawBarChart(TCanvas& c) {
  Box(c, TRect{1, 1, 31, 31}, clWhite);
  Line(c, 5, 4, 5, 27, clBlack);
  Line(c, 5, 27, 28, 27, clBlack);
  const std::pair<TColor, int> bars[] = {{clRed, 12}, {clGreen, 19}, {clBlue, 8}, {clYellow, 15}};
  int x = 7;
  for (auto [color, height] : bars) {
    Box(c, TRect{x, 27 - height, x + 5, 27}, color);
    x += 5;
  }
}

using TPainter = void (*)(TCanvas&);

// Which picture each palette component gets.
const std::pair<const char*, TPainter> kPictures[] = {
    {"TWvPage", DrawPage},
    {"TWvPanel", DrawPanel},
    {"TWvTemplate", DrawTemplate},
    {"TWvStandardComponent", DrawStandardComponent},
    {"TWvText", DrawText},
    {"TWvImage", DrawImage},
    {"TWvImageMap", DrawImageMap},
    {"TWvJavaApplet", DrawJavaApplet},
    {"TWvVCLWrapper", DrawVCLWrapper},
    {"TWvInputForm", DrawInputForm},
    {"TWvSubmitButton", DrawSubmitButton},
    {"TWvTextInputField", DrawTextInputField},
    {"TWvTextArea", DrawTextArea},
    {"TWvCheckBox", DrawCheckBox},
    {"TWvRadioButton", DrawRadioButton},
    {"TWvDropDownlist", DrawDropDownlist},
    {"TWvListBox", DrawListBox},
    {"TWvTable", DrawTable},
    {"TWvDBTable", DrawDBTable},
    {"TWvDBPanel", DrawDBPanel},
    {"TWvDBText", DrawDBText},
    {"TWvDBImage", DrawDBImage},
    {"TWvJavascript", DrawJavascript},
    {"TWvOptimizer", DrawOptimizer},
    {"TWvCGI", DrawCGI},
    {"TPanel", DrawStandardPanel},
    {"TLabel", DrawLabel},
    {"TButton", DrawButton},
    {"TShape", DrawShape},
    {"TDataSource", DrawDataSource},
    {"TSQLiteQuery", DrawSQLiteQuery},
    {"TPgQuery", DrawPgQuery},
    {"TBarChart", DrawBarChart},
};

}  // namespace

void Register() {
  for (const auto& [name, painter] : kPictures)
    TClassRegistry::Instance().SetPaletteIcon(name, [draw = painter](TBitmap& bitmap) {
      // Palette pictures sit on the face of a palette button.
      Fill(bitmap.Canvas(), TRect{0, 0, bitmap.GetWidth(), bitmap.GetHeight()}, clSilver);
      draw(bitmap.Canvas());
    });
}

std::vector<std::string> Pages() {
  std::vector<std::string> pages{"Taveno"};
  for (const TClassInfo* info : TClassRegistry::Instance().Classes())
    if (!info->PalettePage.empty() &&
        std::find(pages.begin(), pages.end(), info->PalettePage) == pages.end())
      pages.push_back(info->PalettePage);
  return pages;
}

std::vector<const TClassInfo*> Components() {
  std::vector<const TClassInfo*> all;
  for (const auto& page : Pages()) {
    auto components = TClassRegistry::Instance().PaletteComponents(page);
    all.insert(all.end(), components.begin(), components.end());
  }
  return all;
}

}  // namespace tavkit::Palette

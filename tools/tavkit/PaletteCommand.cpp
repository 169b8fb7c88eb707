// tavkit palette: writes the palette bitmap of every palette component as a
// PNG file named after the bitmap, so that a designer or a documentation page
// can use the pictures without linking the library, and optionally one
// contact sheet showing them all with their names.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <tavkit/package/Package.h>
#include <tavkit/package/Palette.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include "Commands.h"

namespace tavkit::cli {

namespace {

const char* const kPaletteUsage =
    "usage: tavkit palette -o DIR [--page NAME] [--sheet FILE.png]\n"
    "\n"
    "Writes the palette bitmap (32 x 32 pixels, 16 colours) of every palette\n"
    "component as DIR/NAME.png, NAME being the class name in capitals, and\n"
    "prints the path of each file written.\n"
    "\n"
    "  -o DIR            the folder to write into (made when missing)\n"
    "  --page NAME       only the components of this palette page\n"
    "  --sheet FILE.png  also draw every bitmap written, twice its size and\n"
    "                    with its name, page by page into one picture\n";

// The contact sheet: a title line per page, then its icons in rows.
constexpr int kScale = 2;
constexpr int kColumns = 6;
constexpr int kMargin = 12;
constexpr int kLabelHeight = 14;
constexpr int kTitleHeight = 18;

struct TSheetEntry {
  std::string Page;
  std::string Name;
  std::unique_ptr<TBitmap> Icon;
};

void SetSheetFont(TCanvas& canvas, int height, unsigned style) {
  canvas.Font().Name = "ARIAL";
  canvas.Font().Height = height;
  canvas.Font().Style = style;
  canvas.Font().Color = clBlack;
  canvas.Brush().Style = TBrushStyle::bsClear;
}

void WriteSheet(const std::vector<TSheetEntry>& entries, const std::string& fileName) {
  constexpr int iconSize = PaletteIconSize * kScale;
  TCanvas measure;
  SetSheetFont(measure, kLabelHeight - 2, 0);
  int cellWidth = iconSize;
  for (const auto& entry : entries) cellWidth = std::max(cellWidth, measure.TextWidth(entry.Name));
  cellWidth += kMargin;
  int cellHeight = iconSize + kLabelHeight + kMargin;

  // Lay the sheet out first: a page starts with its title on a new row.
  std::vector<TPoint> cells;
  std::vector<std::pair<std::string, int>> titles;
  int y = kMargin, column = 0;
  for (const auto& entry : entries) {
    if (titles.empty() || entry.Page != titles.back().first) {
      if (!titles.empty()) y += cellHeight;
      titles.emplace_back(entry.Page, y);
      y += kTitleHeight;
      column = 0;
    } else if (column == kColumns) {
      y += cellHeight;
      column = 0;
    }
    cells.push_back(TPoint{kMargin + column * cellWidth, y});
    ++column;
  }

  TBitmap sheet(kMargin + kColumns * cellWidth, y + cellHeight, TPixelFormat::pf24bit);
  TCanvas& canvas = sheet.Canvas();
  SetSheetFont(canvas, kTitleHeight - 2, fsBold);
  for (const auto& [page, top] : titles) canvas.TextOut(kMargin, top, page);
  SetSheetFont(canvas, kLabelHeight - 2, 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    TPoint cell = cells[i];
    int iconLeft = cell.X + (cellWidth - kMargin - iconSize) / 2;
    canvas.CopyFromBitmap(TRect{iconLeft, cell.Y, iconLeft + iconSize, cell.Y + iconSize},
                          *entries[i].Icon, TRect{0, 0, PaletteIconSize, PaletteIconSize});
    int labelLeft = cell.X + (cellWidth - kMargin - canvas.TextWidth(entries[i].Name)) / 2;
    canvas.TextOut(labelLeft, cell.Y + iconSize + 2, entries[i].Name);
  }
  sheet.SaveToPNGFile(fileName);
}

}  // namespace

int PaletteCommand(const Args& arguments) {
  if (WantsHelp(arguments)) {
    std::fputs(kPaletteUsage, stdout);
    return 0;
  }
  Args args = arguments;
  std::string out = TakeOption(args, "-o");
  std::string page = TakeOption(args, "--page");
  std::string sheet = TakeOption(args, "--sheet");
  RejectUnknownOptions(args);
  if (!args.empty()) throw UsageError("unexpected argument " + args[0]);
  if (out.empty()) throw UsageError("-o DIR is required");

  RegisterPackage();
  std::vector<const TClassInfo*> components;
  if (page.empty()) {
    components = Palette::Components();
  } else {
    components = TClassRegistry::Instance().PaletteComponents(page);
    if (components.empty()) throw UsageError("there is no palette page named " + page);
  }

  std::error_code error;
  std::filesystem::create_directories(out, error);
  if (error) throw EInOutError("cannot make the folder " + out + ": " + error.message());

  std::vector<TSheetEntry> entries;
  for (const TClassInfo* info : components) {
    std::string name = info->ResourceName();
    auto icon = PaletteBitmap(name);
    if (icon == nullptr) throw Exception("the component " + info->Name + " has no palette bitmap");
    std::string path = (std::filesystem::path(out) / (name + ".png")).string();
    icon->SaveToPNGFile(path);
    std::printf("%s\n", path.c_str());
    entries.push_back(TSheetEntry{info->PalettePage, name, std::move(icon)});
  }
  if (!sheet.empty()) {
    WriteSheet(entries, sheet);
    std::printf("%s\n", sheet.c_str());
  }
  return 0;
}

}  // namespace tavkit::cli

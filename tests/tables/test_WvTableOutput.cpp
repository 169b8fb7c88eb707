// The HTML of a table, byte for byte: the opening tag with and without a
// background, the header in font markup or style classes, widths on the
// first row written, alternating row colours by store index, the window of
// rows that StartIndex and MaxRows cut out, the row classes of the optimised
// mode, linked cells, the free HTML, failures on short rows, and a table
// written as part of a whole page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/scripts/WvJavascript.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include <tavkit/scripts/WvScriptInvoker.h>
#include <tavkit/tables/WvTable.h>

namespace tavkit {
namespace {

const std::string kHeaderCell =
    "<TD height=20 width=100 BGCOLOR=\"#000080\"><P Align=Center><FONT SIZE=\"2\" "
    "FACE=\"ARIAL,SYSTEM\" COLOR=\"FFFFFF\" >default</FONT></TD>";
const std::string kHeaderRow =
    "<TR VALIGN=\"top\" ALIGN=\"left\" >" + kHeaderCell + kHeaderCell + kHeaderCell + "</TR>";
const std::string kRow = "<TR VALIGN=\"top\" ALIGN=\"left\">";

// The data font's markup of text, as the default columns write it.
std::string Data(const std::string& text) {
  return "<P Align=Center><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >" + text +
         "</FONT>";
}

class TableOutput : public ::testing::Test {
 protected:
  void AddRow(std::initializer_list<std::string> cells) {
    TStringList list(cells);
    table->AddRow(&list);
  }
  // Rows "r0", "r1", ... of one cell per column: "r<i>c<col>".
  void AddRows(int count) {
    for (int i = 0; i < count; ++i) {
      const std::string r = "r" + std::to_string(i);
      AddRow({r + "a", r + "b", r + "c"});
    }
  }
  TComponent form{nullptr};
  TWvTable* table = new TWvTable(&form);
};

TEST_F(TableOutput, EmptyDefaultTableInPlainMarkup) {
  EXPECT_EQ(table->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 >"
            "<TR VALIGN=\"top\" ALIGN=\"left\" >"
            "<TD height=20 width=100 BGCOLOR=\"#000080\"><P Align=Center><FONT SIZE=\"2\" "
            "FACE=\"ARIAL,SYSTEM\" COLOR=\"FFFFFF\" >default</FONT></TD>"
            "<TD height=20 width=100 BGCOLOR=\"#000080\"><P Align=Center><FONT SIZE=\"2\" "
            "FACE=\"ARIAL,SYSTEM\" COLOR=\"FFFFFF\" >default</FONT></TD>"
            "<TD height=20 width=100 BGCOLOR=\"#000080\"><P Align=Center><FONT SIZE=\"2\" "
            "FACE=\"ARIAL,SYSTEM\" COLOR=\"FFFFFF\" >default</FONT></TD>"
            "</TR></TABLE>");
}

TEST_F(TableOutput, PlainRowsAlternateAndCarryWidthsOnlyWithoutHeader) {
  AddRow({"a", "b", "c"});
  AddRow({"d", "e", "f"});
  EXPECT_EQ(table->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 >" + kHeaderRow + kRow +
                "<TD  height=20 BGCOLOR=\"#FFFFFF\">" + Data("a") +
                "</TD><TD  BGCOLOR=\"#FFFFFF\">" + Data("b") + "</TD><TD  BGCOLOR=\"#FFFFFF\">" +
                Data("c") + "</TD></TR>" + kRow + "<TD  height=20 BGCOLOR=\"#EEEEEE\">" +
                Data("d") + "</TD><TD  BGCOLOR=\"#EEEEEE\">" + Data("e") +
                "</TD><TD  BGCOLOR=\"#EEEEEE\">" + Data("f") + "</TD></TR></TABLE>");

  // Without the header the widths stand on the first data row; a row
  // colour of none leaves a single blank before the ">".
  table->SetDisplayHeader(false);
  table->SetListColor1(clNone);
  table->SetBorder(1);
  table->SetSpacing(2);
  table->SetPadding(3);
  table->SetRowHeight(25);
  table->Columns(1)->Setwidth(40);
  table->Columns(2)->SetDataAlign(taNone);
  EXPECT_EQ(table->put(nullptr),
            "<TABLE BORDER=1 CELLSPACING=2 CELLPADDING=3 >" + kRow +
                "<TD  height=25 width=100 BGCOLOR=\"#FFFFFF\">" + Data("a") +
                "</TD><TD  width=40 BGCOLOR=\"#FFFFFF\">" + Data("b") +
                "</TD><TD  width=100 BGCOLOR=\"#FFFFFF\"><P><FONT SIZE=\"2\" "
                "FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >c</FONT></TD></TR>" +
                kRow + "<TD  height=25>" + Data("d") + "</TD><TD >" + Data("e") +
                "</TD><TD ><P><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >f</FONT>"
                "</TD></TR></TABLE>");
}

TEST_F(TableOutput, HeaderOfOneColumnOnAColouredTable) {
  table->GetColumnList()->Delete(2);
  table->GetColumnList()->Delete(1);
  TWvTableColumn* column = table->GetColumnList()->Items(0);
  column->SetHeader("Name <b>");
  column->SetHeaderAlign(taRight);
  column->GetHeaderFont()->SetColor(clNone);
  column->GetHeaderFont()->SetBold(true);
  table->SetHeaderColor(clNone);
  table->SetBackGroundColor(clYellow);
  table->GetHTMLBefore()->Add("<CENTER>");
  table->GetHTMLInside()->AddStrings({"<CAPTION>", "x</CAPTION>"});
  table->GetHTMLAfter()->Add("</CENTER>");
  EXPECT_EQ(table->put(nullptr),
            " <CENTER><TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 BGCOLOR=\"#FFFF00\"> <CAPTION> "
            "x</CAPTION><TR VALIGN=\"top\" ALIGN=\"left\" ><TD height=20 width=100><P "
            "Align=Right><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\"  ><B>Name <b></B></FONT></TD>"
            "</TR></TABLE> </CENTER>");
}

TEST_F(TableOutput, WindowOfRowsFromStartIndexUpToMaxRows) {
  table->SetDisplayHeader(false);
  table->GetColumnList()->Delete(2);
  table->GetColumnList()->Delete(1);
  table->Columns(0)->GetRowFont()->SetColor(clNone);
  table->SetListColor1(clNone);
  table->SetListColor2(clNone);
  for (int i = 0; i < 40; ++i) {
    TStringList cell({std::to_string(i)});
    table->AddRow(&cell);
  }
  auto rowsWritten = [&] {
    std::vector<std::string> rows;
    const std::string html = table->put(nullptr);
    const std::string open = "<FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\"  >";
    for (std::size_t at = html.find(open); at != std::string::npos; at = html.find(open, at)) {
      at += open.size();
      rows.push_back(html.substr(at, html.find('<', at) - at));
    }
    return rows;
  };
  table->SetMaxRows(15);
  table->SetStartIndex(30);
  EXPECT_EQ(rowsWritten(),
            (std::vector<std::string>{"30", "31", "32", "33", "34", "35", "36", "37", "38", "39"}));
  table->SetStartIndex(0);
  EXPECT_EQ(rowsWritten().size(), 15u);
  EXPECT_EQ(rowsWritten().back(), "14");

  // Past the end, or no rows allowed: the table without data rows.
  for (int start : {40, 41}) {
    table->SetStartIndex(start);
    EXPECT_EQ(table->put(nullptr), "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ></TABLE>");
  }
  table->SetStartIndex(0);
  table->SetMaxRows(0);
  EXPECT_EQ(table->put(nullptr), "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ></TABLE>");
  table->SetMaxRows(-3);
  EXPECT_EQ(table->put(nullptr), "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ></TABLE>");

  // The colour follows the index in the store, not the place in the output:
  // with StartIndex 1 the first row written is an odd one. The widths stand
  // on that first written row.
  table->SetMaxRows(2);
  table->SetStartIndex(1);
  table->SetListColor1(clRed);
  table->SetListColor2(clBlue);
  EXPECT_EQ(table->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 >" + kRow +
                "<TD  height=20 width=100 BGCOLOR=\"#FF0000\"><P Align=Center><FONT SIZE=\"2\" "
                "FACE=\"ARIAL,SYSTEM\"  >1</FONT></TD></TR>" +
                kRow +
                "<TD  height=20 BGCOLOR=\"#0000FF\"><P Align=Center><FONT SIZE=\"2\" "
                "FACE=\"ARIAL,SYSTEM\"  >2</FONT></TD></TR></TABLE>");
}

TEST_F(TableOutput, LinkedCellsTakeTheRowFontColour) {
  table->SetDisplayHeader(false);
  table->GetColumnList()->Delete(2);
  auto* linked = new TWvTableItem("Go", "go.html", table);
  linked->GetHyperLink()->SetTarget("main");
  table->SetItem(0, 0, linked);
  table->GetItem(1, 0)->SetText("plain");
  table->Columns(0)->GetRowFont()->SetColor(clGreen);
  // A row font without a colour leaves the link in the page's link colour.
  auto* uncoloured = new TWvTableItem("Off", "off.html", table);
  table->Columns(1)->GetRowFont()->SetColor(clNone);
  table->SetItem(1, 1, uncoloured);
  EXPECT_EQ(table->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 >" + kRow +
                "<TD  height=20 width=100 BGCOLOR=\"#FFFFFF\"><A HREF=\"go.html\"    "
                "target=\"main\"><font color=#008000><P Align=Center><FONT SIZE=\"2\" "
                "FACE=\"ARIAL,SYSTEM\" COLOR=\"008000\" >Go</FONT></font></A></TD>"
                "<TD  width=100 BGCOLOR=\"#FFFFFF\"><P Align=Center><FONT SIZE=\"2\" "
                "FACE=\"ARIAL,SYSTEM\"  >plain</FONT></TD></TR>" +
                kRow +
                "<TD  height=20 BGCOLOR=\"#EEEEEE\"><P Align=Center><FONT SIZE=\"2\" "
                "FACE=\"ARIAL,SYSTEM\" COLOR=\"008000\" ></FONT></TD><TD  BGCOLOR=\"#EEEEEE\">"
                "<A HREF=\"off.html\"   ><P Align=Center><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\"  >"
                "Off</FONT></A></TD></TR></TABLE>");
}

// Plain cells hold their text in the row font's markup exactly as the font
// itself writes it, for every style of font and any text, linked or not.
TEST_F(TableOutput, PlainCellsHoldTheTextInTheRowFontsOwnMarkup) {
  const struct {
    const char* What;
    void (*Style)(TWvFont&);
  } fonts[] = {
      {"default", [](TWvFont&) {}},
      {"bold", [](TWvFont& f) { f.SetBold(true); }},
      {"italic and underlined", [](TWvFont& f) { f.SetItalic(true), f.SetUnderline(true); }},
      {"every style, no colour",
       [](TWvFont& f) {
         f.SetBold(true), f.SetItalic(true), f.SetUnderline(true), f.SetStrikeout(true);
         f.SetColor(clNone);
       }},
      {"odd faces",
       [](TWvFont& f) { f.SetPrimaryFont("A\x01<B>"), f.SetSecondaryFonts(""), f.SetFontSize(6); }},
  };
  const std::vector<std::string> texts = {"", "x", "<B>&amp;</B>", "\x01", "</FONT>"};
  for (const auto& font : fonts) {
    TComponent owner(nullptr);
    auto* one = new TWvTable(&owner);
    one->SetDisplayHeader(false);
    one->GetColumnList()->Delete(2);
    one->GetColumnList()->Delete(1);
    TWvFont& rowFont = *one->Columns(0)->GetRowFont();
    font.Style(rowFont);
    std::string expected = "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 >";
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const bool linked = i % 2 == 1;
      one->SetItem(0, static_cast<int>(i),
                   new TWvTableItem(texts[i], linked ? "to.html" : "", one));
      const std::string content = "<P Align=Center>" + rowFont.CreateHTMLText(texts[i]);
      expected += kRow + "<TD  height=20" + (i == 0 ? " width=100" : "") +
                  (i % 2 == 0 ? " BGCOLOR=\"#FFFFFF\">" : " BGCOLOR=\"#EEEEEE\">") +
                  one->GetItem(0, static_cast<int>(i))
                      ->GetHyperLink()
                      ->CreateLinkedText(content, rowFont.GetColor() == clNone
                                                      ? std::string()
                                                      : WvMakeWebColor(rowFont.GetColor())) +
                  "</TD></TR>";
    }
    EXPECT_EQ(one->put(nullptr), expected + "</TABLE>") << font.What;
  }
}

TEST_F(TableOutput, StyleClassesOnEveryCellWithoutTableOptimisation) {
  TWvOptimizer optimizer(&form);
  optimizer.setoptimizeTableDefinitions(false);
  AddRow({"a", "<i>b</i>", "c"});
  AddRow({"d", "e", "f"});
  table->SetItem(2, 1, new TWvTableItem("x", "x.html", table));
  EXPECT_EQ(table->put(&optimizer),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ><TR VALIGN=\"top\" ALIGN=\"left\" >"
            "<TD height=20 width=100 CLASS=\"T0\">default</TD>"
            "<TD height=20 width=100 CLASS=\"T0\">default</TD>"
            "<TD height=20 width=100 CLASS=\"T0\">default</TD></TR>" +
                kRow +
                "<TD height=20 CLASS=\"T1\">a</TD><TD CLASS=\"T1\"><i>b</i></TD>"
                "<TD CLASS=\"T1\">c</TD></TR>" +
                kRow +
                "<TD height=20 CLASS=\"T2\">d</TD><TD CLASS=\"T2\">e</TD><TD CLASS=\"T2\">"
                "<A HREF=\"x.html\"   ><font color=#000000>x</font></A></TD></TR></TABLE>");
  EXPECT_EQ(optimizer.getClassDescriptions(),
            ".T0{font :  10pt  ARIAL,SYSTEM;color : #FFFFFF;background-color : #000080; "
            "text-align : Center;}"
            ".T1{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : #FFFFFF; "
            "text-align : Center;}"
            ".T2{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : #EEEEEE; "
            "text-align : Center;}");
}

TEST_F(TableOutput, OptimisedRowsCarryTheirMostCommonClass) {
  TWvOptimizer optimizer(&form);
  table->SetDisplayHeader(false);
  table->Columns(2)->SetDataAlign(taLeft);
  AddRows(3);
  // Header classes are not asked for; the odd-row classes come first (T0
  // for the two centred columns, T1 for the left one), then the even ones.
  EXPECT_EQ(table->put(&optimizer),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 >"
            "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"T2\"><TD height=20 width=100>r0a</TD>"
            "<TD width=100>r0b</TD><TD width=100 CLASS=\"T3\">r0c</TD></TR>"
            "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"T0\"><TD height=20>r1a</TD><TD>r1b</TD>"
            "<TD CLASS=\"T1\">r1c</TD></TR>"
            "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"T2\"><TD height=20>r2a</TD><TD>r2b</TD>"
            "<TD CLASS=\"T3\">r2c</TD></TR></TABLE>");
  EXPECT_EQ(optimizer.ClassCount(), 4);

  // Both parities are asked for even when no row of one of them follows.
  optimizer.reset();
  table->EmptyTable();
  EXPECT_EQ(table->put(&optimizer), "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ></TABLE>");
  EXPECT_EQ(optimizer.ClassCount(), 4);

  // Without style sheets the optimizer plays no part.
  optimizer.reset();
  optimizer.setUseCSS(false);
  AddRow({"p", "q", "r"});
  EXPECT_EQ(table->put(&optimizer),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 >" + kRow +
                "<TD  height=20 width=100 BGCOLOR=\"#FFFFFF\">" + Data("p") +
                "</TD><TD  width=100 BGCOLOR=\"#FFFFFF\">" + Data("q") +
                "</TD><TD  width=100 BGCOLOR=\"#FFFFFF\"><P Align=Left><FONT SIZE=\"2\" "
                "FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >r</FONT></TD></TR></TABLE>");
  EXPECT_EQ(optimizer.ClassCount(), 0);
}

TEST_F(TableOutput, ShortRowsAndANegativeStartFailWithoutTheAfterEvent) {
  int before = 0, after = 0;
  table->OnBeforePut = [&](TObject*) { ++before; };
  table->OnAfterPut = [&](TObject*) { ++after; };
  AddRow({"a", "b", "c"});
  AddRow({"d"});
  // The second cell of the short row is the first one missing: the row
  // list refuses it by its index instead of reading past the row's end.
  try {
    table->put(nullptr);
    ADD_FAILURE() << "a short row was written";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (1)");
  }
  table->DeleteRow(1);
  table->SetStartIndex(-1);
  EXPECT_THROW(table->put(nullptr), EListError);
  EXPECT_EQ(before, 2);
  EXPECT_EQ(after, 0);
  table->SetStartIndex(0);
  EXPECT_NO_THROW(table->put(nullptr));
  EXPECT_EQ(after, 1);
}

TEST(TableOnPage, TheScriptsOfWrittenCellLinksReachThePage) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 120, 40);
  auto* table = new TWvTable(&form);
  table->SetParent(page);
  table->SetBounds(10, 10, 100, 20);
  table->SetDisplayHeader(false);
  table->GetColumnList()->Delete(2);
  table->GetColumnList()->Delete(1);
  auto makeScript = [&](const std::string& name) {
    auto* script = new TWvJavascript(&form);
    script->SetName(name);
    script->Getscript().AddStrings({"function " + name + "(x) {", "}"});
    return script;
  };
  TWvJavascript* shown = makeScript("shown");
  TWvJavascript* hidden = makeScript("hidden");
  table->SetItem(0, 0, new TWvTableItem("Go", "go.html", table));
  table->GetItem(0, 0)->GetHyperLink()->GetJSOnClick()->setScript(shown);
  table->GetItem(0, 0)->GetHyperLink()->GetJSOnClick()->getParameterlist()->Add("this");
  // A row that put does not write brings no script.
  table->SetItem(0, 1, new TWvTableItem("Later", "later.html", table));
  table->GetItem(0, 1)->GetHyperLink()->GetJSOnMouseOver()->setScript(hidden);
  table->SetMaxRows(1);
  TStringList empty;
  table->InsertRow(1, &empty);  // a short row past the window is no failure

  auto scripts = table->ScriptList();
  ASSERT_EQ(scripts->numberOfScripts(), 1);
  EXPECT_EQ(scripts->GetScript(0), shown);

  EXPECT_EQ(page->put(nullptr),
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE></TITLE>"
            "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\">"
            "<script language=\"JavaScript\">\r\nfunction shown(x) {\r\n}\r\n</script>"
            "</HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" VLINK=\"000000\" TEXT=\"000000\"  >"
            "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=120>"
            "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 WIDTH=10 ></TD>"
            "<TD HEIGHT=10 WIDTH=100 ></TD><TD HEIGHT=10 WIDTH=10 ></TD><TD></TD></TR>"
            "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=20 ></TD><TD  HEIGHT=20    >"
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ><TR VALIGN=\"top\" ALIGN=\"left\">"
            "<TD  height=20 width=100 BGCOLOR=\"#FFFFFF\"><A HREF=\"go.html\"   "
            "onClick=\"shown(this)\"><font color=#000000><P Align=Center><FONT SIZE=\"2\" "
            "FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >Go</FONT></font></A></TD></TR></TABLE>"
            "</TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD>"
            "<TD COLSPAN=2></TD></TR></TABLE></BODY></HTML>");
}

TEST(TableOnPage, WrittenInItsCellWithTheStyleSheetOfItsClasses) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 220, 60);
  auto* table = new TWvTable(&form);
  table->SetParent(page);
  table->SetBounds(10, 10, 200, 40);
  table->GetColumnList()->Delete(2);
  TStringList cells({"1", "2"});
  table->AddRow(&cells);
  const std::string head =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE></TITLE>"
      "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\">"
      "<script language=\"JavaScript\">\r\n</script>";
  const std::string grid =
      "</HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" VLINK=\"000000\" TEXT=\"000000\"  >"
      "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=220>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 WIDTH=10 ></TD>"
      "<TD HEIGHT=10 WIDTH=200 ></TD><TD HEIGHT=10 WIDTH=10 ></TD><TD></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=40 ></TD><TD  HEIGHT=40    >";
  const std::string tail =
      "</TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD><TD COLSPAN=2></TD></TR>"
      "</TABLE></BODY></HTML>";

  EXPECT_EQ(page->put(nullptr),
            head + grid +
                "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ><TR VALIGN=\"top\" ALIGN=\"left\" >"
                "<TD height=20 width=100 BGCOLOR=\"#000080\"><P Align=Center><FONT SIZE=\"2\" "
                "FACE=\"ARIAL,SYSTEM\" COLOR=\"FFFFFF\" >default</FONT></TD>"
                "<TD height=20 width=100 BGCOLOR=\"#000080\"><P Align=Center><FONT SIZE=\"2\" "
                "FACE=\"ARIAL,SYSTEM\" COLOR=\"FFFFFF\" >default</FONT></TD></TR>"
                "<TR VALIGN=\"top\" ALIGN=\"left\"><TD  height=20 BGCOLOR=\"#FFFFFF\"><P "
                "Align=Center><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >1</FONT>"
                "</TD><TD  BGCOLOR=\"#FFFFFF\"><P Align=Center><FONT SIZE=\"2\" "
                "FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >2</FONT></TD></TR></TABLE>" +
                tail);

  TWvOptimizer optimizer(&form);
  EXPECT_EQ(page->put(&optimizer),
            head +
                "<STYLE TYPE=\"text/css\" media=\"SCREEN\">"
                ".T0{font :  10pt  ARIAL,SYSTEM;color : #FFFFFF;background-color : #000080; "
                "text-align : Center;}"
                ".T1{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : #EEEEEE; "
                "text-align : Center;}"
                ".T2{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : #FFFFFF; "
                "text-align : Center;}</STYLE>" +
                grid +
                "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ><TR VALIGN=\"top\" ALIGN=\"left\" >"
                "<TD height=20 width=100 CLASS=\"T0\">default</TD>"
                "<TD height=20 width=100 CLASS=\"T0\">default</TD></TR>"
                "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"T2\"><TD height=20>1</TD><TD>2</TD>"
                "</TR></TABLE>" +
                tail);
}

}  // namespace
}  // namespace tavkit

// The rows and cells of a table: rows added, inserted and deleted, cells
// stored and fetched with the row store growing behind them, the two
// exceptions for bad addresses with their exact messages, who frees a cell
// that is replaced, sorting whole rows, and the choice of a row's class.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <tavkit/platform/graphics/Picture.h>
#include <tavkit/tables/WvTable.h>

namespace tavkit {
namespace {

// The texts of every row, to see the whole store at once.
std::vector<std::vector<std::string>> Texts(const TWvCustomTable& table) {
  std::vector<std::vector<std::string>> rows;
  for (int r = 0; r < table.NumberOfRows(); ++r) {
    std::vector<std::string> cells;
    for (TWvTableItem* item : table.GetRow(r)) cells.push_back(item->GetText());
    rows.push_back(cells);
  }
  return rows;
}

using Rows = std::vector<std::vector<std::string>>;

class TableModel : public ::testing::Test {
 protected:
  void AddRow(std::initializer_list<std::string> cells) {
    TStringList list(cells);
    table->AddRow(&list);
  }
  TComponent form{nullptr};
  TWvTable* table = new TWvTable(&form);
};

TEST_F(TableModel, RowsTakeAsManyCellsAsTheyAreGiven) {
  AddRow({"a", "b"});
  table->AddRow();
  TStringList four({"1", "2", "3", "4"});
  table->InsertRow(1, &four);
  table->InsertRow(0);
  table->InsertRow(table->NumberOfRows());
  EXPECT_EQ(Texts(*table), (Rows{{}, {"a", "b"}, {"1", "2", "3", "4"}, {"", "", ""}, {}}));

  // Cells made from a list carry the table as their link's owner and no URL.
  const TWvTableItem* cell = table->GetRow(1).Get(0);
  EXPECT_EQ(cell->GetHyperLink()->GetOwner(), table);
  EXPECT_EQ(cell->getlink(), "");
  EXPECT_EQ(cell->GetPicture(), nullptr);

  table->DeleteRow(2);
  EXPECT_EQ(Texts(*table), (Rows{{}, {"a", "b"}, {"", "", ""}, {}}));
  EXPECT_THROW(table->DeleteRow(4), EListError);
  EXPECT_THROW(table->DeleteRow(-1), EListError);
  EXPECT_THROW(table->InsertRow(5), EListError);
  EXPECT_EQ(table->NumberOfRows(), 4);

  table->EmptyTable();
  EXPECT_EQ(table->NumberOfRows(), 0);
  table->EmptyTable();
  EXPECT_EQ(table->NumberOfRows(), 0);
}

// A table of many cells holds few links: a cell makes its link only when
// it is asked for, and an empty URL makes none.
TEST_F(TableModel, ACellMakesItsLinkWhenItIsAskedFor) {
  TWvTableItem cell("Tea", "", table);
  cell.setlink("");
  EXPECT_EQ(cell.FindHyperLink(), nullptr);
  EXPECT_EQ(cell.getlink(), "");
  cell.setlink("tea.html");
  ASSERT_NE(cell.FindHyperLink(), nullptr);
  EXPECT_EQ(cell.FindHyperLink()->GetURL(), "tea.html");
  EXPECT_EQ(cell.FindHyperLink()->GetOwner(), table);
  TWvTableItem plain(table);
  TWvLink* made = plain.GetHyperLink();
  EXPECT_EQ(plain.FindHyperLink(), made);
  EXPECT_EQ(made->GetURL(), "");
}

TEST_F(TableModel, SetItemGrowsTheStoreWithFullRows) {
  auto* item = new TWvTableItem("x", "x.html", table);
  table->SetItem(1, 4, item);
  EXPECT_EQ(table->NumberOfRows(), 5);
  EXPECT_EQ(Texts(*table),
            (Rows{{"", "", ""}, {"", "", ""}, {"", "", ""}, {"", "", ""}, {"", "x", ""}}));
  EXPECT_EQ(table->GetItem(1, 4), item);
  EXPECT_EQ(item->getlink(), "x.html");

  // GetItem beyond the last row leaves the rows behind it, and hands out
  // the new empty cell.
  TWvTableItem* fresh = table->GetItem(0, 6);
  EXPECT_EQ(table->NumberOfRows(), 7);
  EXPECT_EQ(fresh->GetText(), "");
  EXPECT_EQ(table->GetItem(0, 6), fresh);
}

TEST_F(TableModel, GetItemOnAnEmptyTable) {
  TWvTableItem* item = table->GetItem(0, 2);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->GetText(), "");
  EXPECT_EQ(table->NumberOfRows(), 3);
}

TEST_F(TableModel, BadAddressesRaiseWithTheirMessagesAndChangeNothing) {
  auto expectColumn = [&](int col, int row, const std::string& message) {
    try {
      table->GetItem(col, row);
      ADD_FAILURE() << "no exception for column " << col;
    } catch (const TWvInvalidTableColumnException& e) {
      EXPECT_EQ(e.Message(), message);
    }
  };
  expectColumn(3, 0, "Invalid Column number (3)");
  expectColumn(-1, 0, "Invalid Column number (-1)");
  // The column is checked first.
  expectColumn(7, -2, "Invalid Column number (7)");

  try {
    table->GetItem(0, -1);
    ADD_FAILURE() << "no exception for row -1";
  } catch (const TWvInvalidTableRowException& e) {
    EXPECT_EQ(e.Message(), "Invalid Row number (-1)");
  }

  TWvTableItem mine(table);
  try {
    table->SetItem(0, -5, &mine);
    ADD_FAILURE() << "no exception for row -5";
  } catch (const TWvInvalidTableRowException& e) {
    EXPECT_EQ(e.Message(), "Invalid Row number (-5)");
  }
  EXPECT_THROW(table->SetItem(3, 9, &mine), TWvInvalidTableColumnException);
  EXPECT_THROW(table->SetItem(0, 0, nullptr), Exception);
  EXPECT_EQ(table->NumberOfRows(), 0);

  // A valid column past the end of a short row: the row list's own error,
  // and the row store stays as it was.
  AddRow({"a"});
  EXPECT_THROW(table->GetItem(2, 0), EListError);
  EXPECT_THROW(table->SetItem(2, 0, &mine), EListError);
  EXPECT_EQ(Texts(*table), (Rows{{"a"}}));

  // Both exceptions are the framework's general exception too.
  EXPECT_THROW(table->GetItem(5, 0), Exception);
}

TEST_F(TableModel, AReplacedCellStaysValidUntilTheTableGoes) {
  AddRow({"a", "b", "c"});
  TWvTableItem* a = table->GetItem(0, 0);
  TWvTableItem* b = table->GetItem(1, 0);
  // Swapping two cells through SetItem: the first call displaces a, which
  // the caller still holds and stores again at once.
  table->SetItem(0, 0, b);
  table->SetItem(1, 0, a);
  EXPECT_EQ(Texts(*table), (Rows{{"b", "a", "c"}}));

  // One item in two cells, then one of the rows deleted: the other cell
  // still holds a live item.
  AddRow({"d", "e", "f"});
  table->SetItem(2, 1, a);
  table->DeleteRow(0);
  EXPECT_EQ(Texts(*table), (Rows{{"d", "e", "a"}}));
  table->GetItem(2, 0)->SetText("still here");
  EXPECT_EQ(a->GetText(), "still here");

  // Storing a cell's own item again changes nothing.
  table->SetItem(2, 0, a);
  EXPECT_EQ(table->GetItem(2, 0), a);

  TWvTableItem* replaced = table->GetItem(0, 0);
  table->SetItem(0, 0, new TWvTableItem("new", "", table));
  EXPECT_EQ(replaced->GetText(), "d");  // still readable after being replaced
}

TEST_F(TableModel, PictureCellsOwnTheirPicture) {
  TWvTableItem* item = table->GetItem(0, 0);
  auto picture = std::make_unique<TPicture>();
  picture->SetGraphic(std::make_unique<TBitmap>(4, 4));
  item->SetPicture(std::move(picture));
  ASSERT_NE(item->GetPicture(), nullptr);
  EXPECT_EQ(item->GetPicture()->GetWidth(), 4);
  item->SetPicture(nullptr);
  EXPECT_EQ(item->GetPicture(), nullptr);
}

TEST_F(TableModel, SortMovesWholeRows) {
  AddRow({"b", "2", "x"});
  AddRow({"c", "3", "y"});
  AddRow({"a", "1", "z"});
  table->Sort([](TWvTableRow* left, TWvTableRow* right) {
    return left->Get(0)->GetText().compare(right->Get(0)->GetText());
  });
  EXPECT_EQ(Texts(*table), (Rows{{"a", "1", "z"}, {"b", "2", "x"}, {"c", "3", "y"}}));
  EXPECT_EQ(table->ColumnCount(), 3);
  EXPECT_EQ(table->Columns(0)->GetHeader(), "default");
}

TEST(WvClassList, MostFrequentNameWins) {
  TWvClassList classes;
  EXPECT_EQ(classes.getMostFrequentClass(), "");
  for (const char* name : {"A", "B", "A", "C"}) classes.addclass(name);
  EXPECT_EQ(classes.getMostFrequentClass(), "A");

  // Names compare with their letter case; a tie goes to the name counted first.
  TWvClassList tie;
  for (const char* name : {"b", "B", "a", "B", "a"}) tie.addclass(name);
  EXPECT_EQ(tie.getMostFrequentClass(), "B");
}

}  // namespace
}  // namespace tavkit

// The property model: every property of every kind is described with the
// value the form file holds, sending a described value back changes nothing,
// a new value of each kind comes back as it was sent, and the form tree and
// palette are told as the registry and the controls have them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <set>

#include <tavkit/package/Package.h>
#include "DesignTestSupport.h"
#include "design/DesignSession.h"
#include "design/PropertyModel.h"

namespace tavkit {
namespace {

using design::DescribeComponent;
using design::TDesignSession;
using design::TJson;

// Every kind of property: integers, colours, booleans, strings, string
// lists and enumerations on the text, a font, a link with script invokers,
// a collection of columns with fonts in them, references to scripts and a
// data set, and a field of a table in an SQLite file beside the form.
const char* const kModelForm = R"({
  "form": "ModelForm",
  "components": [
    { "class": "TWvJavascript", "name": "Check",
      "properties": { "script": ["function check(x) {", "}"] } },
    { "class": "TSQLiteQuery", "name": "Items",
      "properties": { "DatabaseFile": "items.db", "SQL": ["SELECT ID, NAME FROM ITEMS"],
                      "Active": true } },
    { "class": "TDataSource", "name": "ItemSource", "properties": { "DataSet": "Items" } },
    { "class": "TWvPage", "name": "Page1",
      "properties": { "Left": 0, "Top": 0, "Width": 500, "Height": 400 },
      "children": [
        { "class": "TWvText", "name": "Text1",
          "properties": { "Left": 10, "Top": 10, "Width": 200, "Height": 20, "Text": ["Hello"],
                          "HyperLink": { "URL": "a.html",
                                         "JSOnClick": { "Script": "Check",
                                                        "parameterlist": ["this"] } } } },
        { "class": "TWvTable", "name": "Table1",
          "properties": { "Left": 10, "Top": 50, "Width": 300, "Height": 100,
                          "ColumnList": [ { "Header": "One", "width": 80 },
                                          { "Header": "Two", "width": 120 } ] } },
        { "class": "TWvDBText", "name": "Name1",
          "properties": { "Left": 10, "Top": 200, "Width": 200, "Height": 20,
                          "Field": "Items.NAME" } }
      ] }
  ]
})";

class PropertyModel : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterPackage();
    folder = designtest::ScratchFolder("design-model");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "items.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE ITEMS (ID INTEGER, NAME TEXT);"
                           "INSERT INTO ITEMS VALUES (1, 'Apple'), (2, 'Pear');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    file = (folder / "model.json").string();
    designtest::WriteFile(file, kModelForm);
    session = std::make_unique<TDesignSession>(file);
  }

  TJson Describe(const std::string& name) {
    return DescribeComponent(session->Form(), session->Text(), name);
  }

  // The description of the property at path (names and item indices).
  TJson Property(const std::string& name, const TJson& path) {
    TJson list = Describe(name)["properties"];
    TJson found;
    for (const TJson& step : path) {
      if (step.is_number()) {
        list = found["items"][step.get<std::size_t>()];
        continue;
      }
      found = TJson();
      for (const TJson& p : list)
        if (p["name"] == step) found = p;
      EXPECT_FALSE(found.is_null()) << "no property " << step << " of " << name;
      if (found.contains("properties")) list = found["properties"];
    }
    return found;
  }

  designtest::fs::path folder;
  std::string file;
  std::unique_ptr<TDesignSession> session;
};

// The value a description stands for, as the form file writes it.
TJson ValueOf(const TJson& property) {
  if (property["kind"] == "object") {
    TJson object = TJson::object();
    for (const TJson& p : property["properties"]) object[p["name"].get<std::string>()] = ValueOf(p);
    return object;
  }
  if (property["kind"] == "collection") {
    TJson items = TJson::array();
    for (const TJson& item : property["items"]) {
      TJson object = TJson::object();
      for (const TJson& p : item) object[p["name"].get<std::string>()] = ValueOf(p);
      items.push_back(object);
    }
    return items;
  }
  return property["value"];
}

TEST_F(PropertyModel, EveryDescribedValueGoesBackUnchanged) {
  const std::string before = session->Text();
  std::set<std::string> kinds;
  int sent = 0;
  std::function<void(const std::string&, const TJson&, const TJson&)> walk =
      [&](const std::string& component, const TJson& list, const TJson& path) {
        for (const TJson& property : list) {
          TJson at = path;
          at.push_back(property["name"]);
          kinds.insert(property["kind"].get<std::string>());
          design::TEditResult result = session->SetProperty(component, at, ValueOf(property));
          ++sent;
          EXPECT_FALSE(result.Changed) << component << " " << at.dump();
          EXPECT_EQ(result.Error + result.Warning, "") << component << " " << at.dump();
          if (property["kind"] == "object") walk(component, property["properties"], at);
          if (property["kind"] == "collection")
            for (std::size_t i = 0; i < property["items"].size(); ++i) {
              TJson item = at;
              item.push_back(i);
              walk(component, property["items"][i], item);
            }
        }
      };
  for (const char* name : {"Check", "Items", "ItemSource", "Page1", "Text1", "Table1", "Name1"})
    walk(name, Describe(name)["properties"], TJson::array());
  EXPECT_EQ(kinds, (std::set<std::string>{"integer", "color", "boolean", "string", "strings",
                                          "enum", "object", "collection", "component", "field"}));
  EXPECT_GT(sent, 150);
  EXPECT_EQ(session->Text(), before);
  EXPECT_FALSE(session->CanUndo());
}

TEST_F(PropertyModel, NewValuesOfEveryKindComeBackAsSent) {
  struct TCase {
    const char* Component;
    const char* Path;
    TJson Value;
  };
  const TCase cases[] = {
      {"Text1", R"(["Left"])", 33},
      {"Text1", R"(["BackGroundColor"])", "clRed"},
      {"Text1", R"(["BackGroundColor"])", "#102030"},
      {"Text1", R"(["AutoLineBreak"])", false},
      {"Page1", R"(["PageTitle"])", "Caf\xC3\xA9 \xC3\x9C"},
      {"Text1", R"(["Text"])", TJson::array({"one", "two"})},
      {"Text1", R"(["Align"])", "taRight"},
      {"Text1", R"(["Font", "Size"])", 5},
      {"Text1", R"(["Font", "Bold"])", true},
      {"Text1", R"(["Font", "Color"])", "#804020"},
      {"Text1", R"(["Font", "Color"])", "clMaroon"},
      {"Text1", R"(["HyperLink", "JSOnClick", "Script"])", ""},
      {"Text1", R"(["HyperLink", "JSOnClick", "parameterlist"])", TJson::array({"a", "b"})},
      {"Table1", R"(["ColumnList", 1, "Header"])", "Second"},
      {"Table1", R"(["ColumnList", 0, "RowFont", "Italic"])", true},
      {"ItemSource", R"(["DataSet"])", ""},
      {"Name1", R"(["Field"])", "Items.ID"},
  };
  for (const TCase& c : cases) {
    const TJson path = TJson::parse(c.Path);
    design::TEditResult result = session->SetProperty(c.Component, path, c.Value);
    EXPECT_TRUE(result.Changed) << c.Component << " " << c.Path << " " << result.Error;
    EXPECT_EQ(Property(c.Component, path)["value"], c.Value) << c.Component << " " << c.Path;
  }
  // A collection is replaced whole: items added empty take the defaults.
  const TJson columns = TJson::parse(R"([{"Header": "Only"}, {}])");
  ASSERT_TRUE(session->SetProperty("Table1", "ColumnList", columns).Changed);
  const TJson described = Property("Table1", TJson::array({"ColumnList"}));
  ASSERT_EQ(described["items"].size(), 2u);
  EXPECT_EQ(Property("Table1", TJson::parse(R"(["ColumnList", 0, "Header"])"))["value"], "Only");
  EXPECT_EQ(Property("Table1", TJson::parse(R"(["ColumnList", 1, "Header"])"))["value"], "default");
}

TEST_F(PropertyModel, ChoicesFitTheProperty) {
  EXPECT_EQ(Property("Text1", TJson::array({"Align"}))["choices"],
            TJson::parse(R"(["taCenter", "taLeft", "taRight", "taNone"])"));
  EXPECT_EQ(Property("Text1", TJson::parse(R"(["HyperLink", "JSOnClick", "Script"])"))["choices"],
            TJson::parse(R"(["", "Check"])"));
  EXPECT_EQ(Property("ItemSource", TJson::array({"DataSet"}))["choices"],
            TJson::parse(R"(["", "Items"])"));
  EXPECT_EQ(Property("Name1", TJson::array({"Field"}))["choices"],
            TJson::parse(R"(["", "Items.ID", "Items.NAME"])"));
  const TJson color = Property("Table1", TJson::array({"HeaderColor"}));
  EXPECT_EQ(color["value"], "clNavy");
  EXPECT_EQ(color["rgb"], "#000080");
  EXPECT_EQ(color["choices"].size(), 17u);
  EXPECT_EQ(color["choices"][0], "clNone");
  // A system colour is kept as the host's number and shown as its colour;
  // a colour that has a name is written by its name.
  ASSERT_TRUE(session->SetProperty("Table1", "HeaderColor", 0x80000005u).Changed);
  EXPECT_EQ(Property("Table1", TJson::array({"HeaderColor"}))["value"], -2147483643);
  EXPECT_EQ(Property("Table1", TJson::array({"HeaderColor"}))["rgb"], "#FFFFFF");
  ASSERT_TRUE(session->SetProperty("Table1", "HeaderColor", "#800000").Changed);
  EXPECT_EQ(Property("Table1", TJson::array({"HeaderColor"}))["value"], "clMaroon");
}

TEST_F(PropertyModel, TellsTheFormAsATreeOfControlsAndTheOtherComponents) {
  const TJson design = design::DescribeForm(session->Form());
  EXPECT_EQ(design, TJson::parse(R"({"form": "ModelForm",
    "controls": [{"name": "Page1", "class": "TWvPage", "left": 0, "top": 0, "width": 500,
                  "height": 400, "parentable": true, "accepts": true, "children": [
      {"name": "Text1", "class": "TWvText", "left": 10, "top": 10, "width": 200, "height": 20,
       "parentable": true, "accepts": false, "children": []},
      {"name": "Table1", "class": "TWvTable", "left": 10, "top": 50, "width": 300,
       "height": 100, "parentable": true, "accepts": false, "children": []},
      {"name": "Name1", "class": "TWvDBText", "left": 10, "top": 200, "width": 200,
       "height": 20, "parentable": true, "accepts": false, "children": []}]}],
    "components": [{"name": "Check", "class": "TWvJavascript"},
                   {"name": "Items", "class": "TSQLiteQuery"},
                   {"name": "ItemSource", "class": "TDataSource"}]})"));
  const TJson text = Describe("Text1");
  EXPECT_EQ(text["class"], "TWvText");
  EXPECT_EQ(text["control"], true);
  EXPECT_EQ(Describe("check")["name"], "Check");
  EXPECT_THROW(Describe("Nobody"), Exception);
}

TEST_F(PropertyModel, ThePaletteHoldsEveryComponentOfTheTavenoPage) {
  const TJson palette = design::DescribePalette("Taveno");
  ASSERT_EQ(palette.size(), 25u);
  EXPECT_EQ(palette[0],
            TJson::parse(R"({"class": "TWvOptimizer", "control": false, "icon": true})"));
  EXPECT_EQ(palette[2], TJson::parse(R"({"class": "TWvPage", "control": true, "icon": true})"));
  for (const TJson& tool : palette) EXPECT_EQ(tool["icon"], true) << tool["class"];
  EXPECT_EQ(design::DescribePalette("Nowhere"), TJson::array());
}

TEST_F(PropertyModel, EditsOfTheTextNameTheirComponentAndPath) {
  const std::string text = session->Text();
  EXPECT_THROW(design::SetFormProperty(text, "Nobody", "Left", 1), Exception);
  EXPECT_THROW(design::SetFormProperty(text, "Table1", TJson::parse(R"(["ColumnList", 5])"), 1),
               Exception);
  EXPECT_THROW(design::SetFormProperty(text, "Table1", TJson::parse(R"(["Left", "x"])"), 1),
               Exception);
  const std::string moved = design::SetFormProperty(text, "text1", "Left", 44);
  EXPECT_NE(moved.find("\"Left\": 44"), std::string::npos);
  EXPECT_EQ(design::SetFormProperty(moved, "Text1", "Left", 10), text);
}

}  // namespace
}  // namespace tavkit

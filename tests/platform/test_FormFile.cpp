// Tests of form files: every kind of property value, references written
// before their target, the parent/child tree, the errors that name their
// place (leaving nothing behind), field resolvers and the byte-exact round
// trip. Small component classes made for these tests stand in for the
// library's own, registered with the class registry like any other class.
#include <tavkit/platform/formfile/FormFile.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/controls/Controls.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

int Live = 0;  // test components and sub-objects alive right now
std::vector<std::string> LoadedOrder;
std::string FolderSeenInLoaded;
bool LoadingSeenBySetter = false;
bool DesigningSeenBySetter = false;

struct TCounted {
  TCounted() { ++Live; }
  ~TCounted() { --Live; }
  TCounted(const TCounted&) = delete;
  TCounted& operator=(const TCounted&) = delete;
};

class TFormTestFont : public TPersistent {
 public:
  int Size = 3;
  bool Bold = false;
  TColor Color = clNone;
  TCounted Count;
};

class TFormTestScript : public TComponent {
 public:
  using TComponent::TComponent;
  TStringList* GetLines() { return &Lines; }
  void SetLines(const TStrings* lines) { Lines.Assign(lines); }
  TFormTestScript* Depends = nullptr;
  TStringList Lines;
  TCounted Count;
};

class TFormTestItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  std::string Caption;
  int Width = 0;
  TFormTestScript* Script = nullptr;
  TCounted Count;
};

// A data set whose Fields lines are the fields the test resolver knows.
class TFormTestData : public TComponent {
 public:
  using TComponent::TComponent;
  TStringList Fields;
  TCounted Count;
};

enum class TFormTestAlign : std::uint8_t { taCenter, taLeft, taRight, taNone };

class TFormTestPanel : public TWinControl {
 public:
  explicit TFormTestPanel(TComponent* owner) : TWinControl(owner) {
    // Constructor items, which a collection in the file replaces.
    Items.AddItem()->Caption = "default 1";
    Items.AddItem()->Caption = "default 2";
  }
  void validateInsert(TComponent*) override {
    if (Closed) throw Exception("Cannot place component in a non-container");
  }
  void Loaded() override {
    LoadedOrder.push_back(GetName() + (IsLoading() ? "" : " (not loading)"));
    TWinControl::Loaded();
  }
  TColor Color = clBlack;
  std::string Caption;
  bool Closed = false;
  TFormTestAlign Align = TFormTestAlign::taLeft;
  TStringList Lines;
  TFormTestFont Font;
  TCollectionOf<TFormTestItem> Items;
  TFormTestScript* Script = nullptr;
  std::string Field;  // "DataSet.FIELD" once the resolver has bound it
  TCounted Count;
};

class TFormTestLeaf : public TControl {
 public:
  using TControl::TControl;
  void SetText(const std::string& text) {
    Text = text;
    LoadingSeenBySetter = IsLoading();
    DesigningSeenBySetter = IsDesigning();
  }
  void Loaded() override {
    LoadedOrder.push_back(GetName() + (IsLoading() ? "" : " (not loading)"));
    FolderSeenInLoaded = CurrentFormLoad() != nullptr ? CurrentFormLoad()->Folder : "(none)";
    TControl::Loaded();
  }
  std::string Text;
  TCounted Count;
};

template <class C, class T>
auto Field(T C::*member) {
  return [member](C& object) { return object.*member; };
}
template <class C, class T>
auto Setter(T C::*member) {
  return [member](C& object, T value) { object.*member = value; };
}

void RegisterTestClasses() {
  static bool done = [] {
    RegisterControlClasses();
    RegisterClass<TFormTestFont, TPersistent>({
        props::Integer<TFormTestFont>("Size", Field(&TFormTestFont::Size),
                                      Setter(&TFormTestFont::Size)),
        props::Boolean<TFormTestFont>("Bold", Field(&TFormTestFont::Bold),
                                      Setter(&TFormTestFont::Bold)),
        props::Color<TFormTestFont>("Color", Field(&TFormTestFont::Color),
                                    Setter(&TFormTestFont::Color)),
    });
    RegisterClass<TFormTestScript, TComponent>({
        props::Strings<TFormTestScript>("Lines", &TFormTestScript::GetLines,
                                        &TFormTestScript::SetLines),
        props::Component<TFormTestScript, TFormTestScript>(
            "Depends", Field(&TFormTestScript::Depends), Setter(&TFormTestScript::Depends)),
    });
    RegisterClass<TFormTestItem, TCollectionItem>({
        props::String<TFormTestItem>("Caption", Field(&TFormTestItem::Caption),
                                     Setter(&TFormTestItem::Caption)),
        props::Integer<TFormTestItem>("Width", Field(&TFormTestItem::Width),
                                      Setter(&TFormTestItem::Width)),
        props::Component<TFormTestItem, TFormTestScript>("Script", Field(&TFormTestItem::Script),
                                                         Setter(&TFormTestItem::Script)),
    });
    RegisterClass<TFormTestData, TComponent>({
        props::Strings<TFormTestData>(
            "Fields", [](TFormTestData& d) -> TStringList& { return d.Fields; },
            [](TFormTestData& d, const TStrings& lines) { d.Fields.Assign(&lines); }),
    });
    TPropInfo field = props::MakeInfo("Field", TPropKind::pkField);
    field.Get = [](TPersistent& o) { return TPropValue(static_cast<TFormTestPanel&>(o).Field); };
    RegisterClass<TFormTestPanel, TWinControl>({
        props::Color<TFormTestPanel>("Color", Field(&TFormTestPanel::Color),
                                     Setter(&TFormTestPanel::Color)),
        props::String<TFormTestPanel>("Caption", Field(&TFormTestPanel::Caption),
                                      Setter(&TFormTestPanel::Caption)),
        props::Boolean<TFormTestPanel>("Closed", Field(&TFormTestPanel::Closed),
                                       Setter(&TFormTestPanel::Closed)),
        props::Enum<TFormTestPanel>("Align", {"taCenter", "taLeft", "taRight", "taNone"},
                                    Field(&TFormTestPanel::Align), Setter(&TFormTestPanel::Align)),
        props::Strings<TFormTestPanel>(
            "Lines", [](TFormTestPanel& p) { return &p.Lines; },
            [](TFormTestPanel& p, const TStrings* lines) { p.Lines.Assign(lines); }),
        props::Object<TFormTestPanel>("Font", [](TFormTestPanel& p) { return &p.Font; }),
        props::Collection<TFormTestPanel>("Items", [](TFormTestPanel& p) { return &p.Items; }),
        props::Component<TFormTestPanel, TFormTestScript>("Script", Field(&TFormTestPanel::Script),
                                                          Setter(&TFormTestPanel::Script)),
        field,
    });
    RegisterClass<TFormTestLeaf, TControl>({
        props::String<TFormTestLeaf>("Text", Field(&TFormTestLeaf::Text), &TFormTestLeaf::SetText),
    });
    return true;
  }();
  (void)done;
}

// Binds "Data.FIELD" when Data is a TFormTestData listing FIELD.
bool TestResolver(const TFieldReference& reference) {
  auto* data = dynamic_cast<TFormTestData*>(reference.DataSet);
  if (data == nullptr || data->Fields.IndexOf(reference.FieldName) < 0) return false;
  static_cast<TFormTestPanel*>(reference.Target)->Field =
      data->GetName() + "." + reference.FieldName;
  return true;
}

class FormFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterTestClasses();
    LoadedOrder.clear();
    ResolverId = RegisterFieldResolver(TestResolver);
  }
  void TearDown() override { UnregisterFieldResolver(ResolverId); }

  // Loads text into a fresh form expecting failure; returns the message and
  // checks that nothing of the form was left behind.
  std::string LoadError(const std::string& text) {
    int before = Live;
    TComponent form(nullptr);
    form.SetName("Before");
    try {
      LoadFormFromText(text, form);
    } catch (const EFormFileError& e) {
      EXPECT_EQ(form.ComponentCount(), 0) << e.Message();
      EXPECT_EQ(form.GetName(), "Before");
      EXPECT_FALSE(form.IsLoading());
      EXPECT_EQ(Live, before);
      return e.Message();
    }
    ADD_FAILURE() << "no error for " << text;
    return "";
  }

  template <class T>
  static T* Find(TComponent& form, const std::string& name) {
    return dynamic_cast<T*>(form.FindComponent(name));
  }

  int ResolverId = 0;
};

// References point forward (Panel1.Script names Main, written after it);
// values use every spelling the format allows.
const char* const SampleForm = R"({
  "form": "Sample",
  "components": [
    { "class": "TFormTestScript", "name": "Helper", "properties": { "Lines": ["a();", "b();"] } },
    { "class": "TFormTestPanel", "name": "Panel1",
      "properties": { "Left": 0, "Top": 0, "Width": 640, "Height": 400,
                      "Color": "clWhite", "Caption": "Caf\u00e9 \"Z\"", "Align": "taRight",
                      "Lines": ["x", "", "\u00ff"],
                      "Font": { "Size": 4, "Bold": true, "Color": "#800000" },
                      "Items": [ { "Caption": "one", "Width": 10, "Script": "Helper" },
                                 { "Caption": "two" } ],
                      "Script": "Main", "Field": "Data1.NAME" },
      "children": [
        { "class": "TFormTestLeaf", "name": "Leaf1",
          "properties": { "Left": 5, "Top": 6, "Width": 7, "Height": 8, "Text": "first" } },
        { "class": "TFormTestPanel", "name": "Inner",
          "properties": { "Color": 4294967295, "Align": "TANONE", "Items": [] },
          "children": [ { "class": "TFormTestLeaf", "name": "Leaf2" } ] }
      ] },
    { "class": "TFormTestScript", "name": "Main", "properties": { "Depends": "Helper" } },
    { "class": "TFormTestData", "name": "Data1", "properties": { "Fields": ["ID", "NAME"] } }
  ]
})";

TEST_F(FormFileTest, LoadsEveryKindOfValue) {
  TComponent form(nullptr);
  LoadFormFromText(SampleForm, form);
  EXPECT_EQ(form.GetName(), "Sample");
  ASSERT_EQ(form.ComponentCount(), 7);

  auto* panel = Find<TFormTestPanel>(form, "Panel1");
  auto* inner = Find<TFormTestPanel>(form, "Inner");
  auto* leaf1 = Find<TFormTestLeaf>(form, "Leaf1");
  auto* helper = Find<TFormTestScript>(form, "Helper");
  auto* main = Find<TFormTestScript>(form, "Main");
  ASSERT_TRUE(panel && inner && leaf1 && helper && main);

  EXPECT_EQ(panel->GetWidth(), 640);
  EXPECT_EQ(panel->Color, clWhite);
  EXPECT_EQ(panel->Caption, "Caf\xE9 \"Z\"");
  EXPECT_EQ(panel->Align, TFormTestAlign::taRight);
  EXPECT_EQ(panel->Lines.ToVector(), (std::vector<std::string>{"x", "", "\xFF"}));
  EXPECT_EQ(panel->Font.Size, 4);
  EXPECT_TRUE(panel->Font.Bold);
  EXPECT_EQ(panel->Font.Color, clMaroon);
  ASSERT_EQ(panel->Items.Count(), 2);
  EXPECT_EQ(panel->Items.Items(0)->Caption, "one");
  EXPECT_EQ(panel->Items.Items(0)->Width, 10);
  EXPECT_EQ(panel->Items.Items(0)->Script, helper);
  EXPECT_EQ(panel->Items.Items(1)->Caption, "two");
  EXPECT_EQ(panel->Script, main);
  EXPECT_EQ(panel->Field, "Data1.NAME");
  EXPECT_EQ(main->Depends, helper);
  EXPECT_EQ(helper->Lines.ToVector(), (std::vector<std::string>{"a();", "b();"}));

  EXPECT_EQ(inner->Color, -1);
  EXPECT_EQ(inner->Align, TFormTestAlign::taNone);
  EXPECT_EQ(inner->Items.Count(), 0);

  // The tree: children in the order written, non-controls without parent.
  EXPECT_EQ(panel->GetParent(), nullptr);
  ASSERT_EQ(panel->GetControlCount(), 2);
  EXPECT_EQ(panel->GetControl(0), leaf1);
  EXPECT_EQ(panel->GetControl(1), inner);
  EXPECT_EQ(inner->GetControl(0), form.FindComponent("Leaf2"));
  EXPECT_EQ(leaf1->BoundsRect(), Bounds(5, 6, 7, 8));

  // Loaded runs once loading is complete, while still marked as loading.
  EXPECT_EQ(LoadedOrder, (std::vector<std::string>{"Panel1", "Leaf1", "Inner", "Leaf2"}));
  EXPECT_TRUE(LoadingSeenBySetter);
  EXPECT_FALSE(form.IsLoading());
  for (int i = 0; i < form.ComponentCount(); ++i) EXPECT_FALSE(form.Components(i)->IsLoading());
}

TEST_F(FormFileTest, ComponentsTakeTheFormsDesigningState) {
  TComponent form(nullptr);
  form.SetDesigning(true);
  LoadFormFromText(R"({"form": "F", "components": [
      {"class": "TFormTestLeaf", "name": "L", "properties": {"Text": "t"}}]})",
                   form);
  EXPECT_TRUE(DesigningSeenBySetter);
  EXPECT_TRUE(form.FindComponent("L")->IsDesigning());
}

TEST_F(FormFileTest, CollectionsReplaceTheConstructorItems) {
  TComponent form(nullptr);
  LoadFormFromText(R"({"form": "F", "components": [
      {"class": "TFormTestPanel", "name": "P", "properties": {"Items": [{"Width": 3}]}},
      {"class": "TFormTestPanel", "name": "Q"}]})",
                   form);
  auto* p = Find<TFormTestPanel>(form, "P");
  ASSERT_EQ(p->Items.Count(), 1);
  EXPECT_EQ(p->Items.Items(0)->Caption, "");
  EXPECT_EQ(p->Items.Items(0)->Width, 3);
  EXPECT_EQ(Find<TFormTestPanel>(form, "Q")->Items.Count(), 2);
}

const char* const SavedSmallForm = R"({
  "form": "Small",
  "components": [
    {
      "class": "TFormTestScript",
      "name": "JS",
      "properties": {
        "Tag": 0,
        "Lines": [
          "f();"
        ],
        "Depends": ""
      }
    },
    {
      "class": "TFormTestPanel",
      "name": "Page",
      "properties": {
        "Tag": 7,
        "Left": 1,
        "Top": 2,
        "Width": 300,
        "Height": 200,
        "Color": "#123456",
        "Caption": "Ä",
        "Closed": false,
        "Align": "taCenter",
        "Lines": [],
        "Font": {
          "Size": 3,
          "Bold": false,
          "Color": "clNone"
        },
        "Items": [
          {
            "Caption": "c",
            "Width": 1,
            "Script": "JS"
          }
        ],
        "Script": "JS",
        "Field": "Data.ID"
      },
      "children": [
        {
          "class": "TFormTestLeaf",
          "name": "Leaf",
          "properties": {
            "Tag": 0,
            "Left": 0,
            "Top": 0,
            "Width": 0,
            "Height": 0,
            "Text": ""
          }
        }
      ]
    },
    {
      "class": "TFormTestData",
      "name": "Data",
      "properties": {
        "Tag": 0,
        "Fields": [
          "ID"
        ]
      }
    }
  ]
}
)";

TEST_F(FormFileTest, SavesEveryPublishedProperty) {
  TComponent form(nullptr);
  form.SetName("Small");
  auto* script = new TFormTestScript(&form);
  script->SetName("JS");
  script->Lines.Add("f();");
  auto* page = new TFormTestPanel(&form);
  page->SetName("Page");
  page->SetTag(7);
  page->SetBounds(1, 2, 300, 200);
  page->Color = RGB(0x12, 0x34, 0x56);
  page->Caption = "\xC4";
  page->Align = TFormTestAlign::taCenter;
  page->Items.Clear();
  page->Items.AddItem()->Caption = "c";
  page->Items.Items(0)->Width = 1;
  page->Items.Items(0)->Script = script;
  page->Script = script;
  page->Field = "Data.ID";
  auto* leaf = new TFormTestLeaf(&form);
  leaf->SetName("Leaf");
  leaf->SetParent(page);
  auto* data = new TFormTestData(&form);
  data->SetName("Data");
  data->Fields.Add("ID");

  const std::string saved = SaveForm(form);
  EXPECT_EQ(saved, SavedSmallForm);

  TComponent again(nullptr);
  LoadFormFromText(saved, again);
  EXPECT_EQ(SaveForm(again), saved);
}

TEST_F(FormFileTest, RoundTripIsByteForByte) {
  TComponent form(nullptr);
  LoadFormFromText(SampleForm, form);
  const std::string first = SaveForm(form);
  TComponent second(nullptr);
  LoadFormFromText(first, second);
  EXPECT_EQ(SaveForm(second), first);
}

TEST_F(FormFileTest, ColoursAreSavedByNameHexOrNumber) {
  TComponent form(nullptr);
  form.SetName("F");
  auto* a = new TFormTestPanel(&form);
  a->SetName("A");
  a->Color = clNone;
  a->Font.Color = static_cast<TColor>(0x80000005u);
  auto* b = new TFormTestPanel(&form);
  b->SetName("B");
  b->Color = clTeal;
  b->Font.Color = 0x00ABCDEF;
  TComponent again(nullptr);
  LoadFormFromText(SaveForm(form), again);
  EXPECT_EQ(Find<TFormTestPanel>(again, "A")->Color, clNone);
  EXPECT_EQ(Find<TFormTestPanel>(again, "A")->Font.Color, static_cast<TColor>(0x80000005u));
  EXPECT_EQ(Find<TFormTestPanel>(again, "B")->Color, clTeal);
  EXPECT_EQ(Find<TFormTestPanel>(again, "B")->Font.Color, 0x00ABCDEF);
  const std::string text = SaveForm(again);
  for (const char* expected : {"\"Color\": \"clNone\"", "\"Color\": -2147483643",
                               "\"Color\": \"clTeal\"", "\"Color\": \"#EFCDAB\""})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
}

TEST_F(FormFileTest, ErrorsNameThePlaceAndLeaveNothing) {
  struct Case {
    const char* Text;
    const char* Message;
  };
  const Case cases[] = {
      {"{\"form\": \"F\",\n \"components\": [\n  {\"class\": }]}",
       "Form file: malformed JSON at line 3, column 13: syntax error while parsing value - "
       "unexpected '}'; expected '[', '{', or a literal"},
      {"",
       "Form file: malformed JSON at line 1, column 1: syntax error while parsing value - "
       "unexpected end of input; expected '[', '{', or a literal"},
      {R"({"form": "F", "x": 1e400})",
       "Form file: malformed JSON: number overflow parsing '1e400'"},
      {"[]", "Form file: the file holds an array, not an object"},
      {R"({"components": []})", "Form file: \"form\" must be given as a string"},
      {R"({"form": "F", "extra": 1})", "Form file: unknown key \"extra\""},
      {R"({"form": "1F"})", "Form file: form \"1F\": '1F' is not a valid component name"},
      {R"({"form": "F", "components": [{"class": "TNope", "name": "X"}]})",
       "Form file: component X: unknown class TNope"},
      {R"({"form": "F", "components": [{"name": "X"}]})",
       "Form file: component X: \"class\" must be given as a string"},
      {R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": "X", "kids": []}]})",
       "Form file: component X: unknown key \"kids\""},
      {R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": "X",
           "properties": {"Colour": 1}}]})",
       "Form file: component X (TFormTestLeaf): unknown property Colour of class TFormTestLeaf"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Font": {"Sise": 1}}}]})",
       "Form file: component X (TFormTestPanel): unknown property Font.Sise of class "
       "TFormTestFont"},
      {R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": "X",
           "properties": {"Left": "5"}}]})",
       "Form file: component X (TFormTestLeaf), property Left: expected an integer, found a "
       "string"},
      {R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": "X",
           "properties": {"Left": 2147483648}}]})",
       "Form file: component X (TFormTestLeaf), property Left: 2147483648 is outside "
       "-2147483648 to 2147483647"},
      {R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": "X",
           "properties": {"Width": 1.5}}]})",
       "Form file: component X (TFormTestLeaf), property Width: expected an integer, found a "
       "number with a fraction"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Closed": 1}}]})",
       "Form file: component X (TFormTestPanel), property Closed: expected true or false, found "
       "an integer"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Color": "clOrange"}}]})",
       "Form file: component X (TFormTestPanel), property Color: unknown colour \"clOrange\" "
       "(expected a colour name or \"#RRGGBB\")"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Color": "#12345"}}]})",
       "Form file: component X (TFormTestPanel), property Color: unknown colour \"#12345\" "
       "(expected a colour name or \"#RRGGBB\")"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Align": "taMiddle"}}]})",
       "Form file: component X (TFormTestPanel), property Align: unknown value \"taMiddle\" "
       "(expected one of taCenter, taLeft, taRight, taNone)"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Caption": "\u20ac"}}]})",
       "Form file: component X (TFormTestPanel), property Caption: the character U+20AC cannot "
       "be held (only U+0000 to U+00FF can)"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Lines": ["ok", 3]}}]})",
       "Form file: component X (TFormTestPanel), property Lines: expected a string, found an "
       "integer"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Items": [{"Width": 1}, {"Width": "w"}]}}]})",
       "Form file: component X (TFormTestPanel), property Items[1].Width: expected an integer, "
       "found a string"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Script": "Nobody"}}]})",
       "Form file: component X (TFormTestPanel), property Script: no component named Nobody in "
       "the form"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Script": "X"}}]})",
       "Form file: component X (TFormTestPanel), property Script: X is a TFormTestPanel, which "
       "the property cannot refer to (it needs a TFormTestScript)"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Script": 3}}]})",
       "Form file: component X (TFormTestPanel), property Script: expected a component name, "
       "found an integer"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": {"Items": [{"Script": "X"}], "items": []}}]})",
       "Form file: component X (TFormTestPanel): property Items is given twice"},
      {R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": "A"},
                                       {"class": "TFormTestLeaf", "name": "a"}]})",
       "Form file: component a (TFormTestLeaf): the name a is already taken in the form"},
      {R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": "F"}]})",
       "Form file: component F (TFormTestLeaf): the name F is already taken in the form"},
      {R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": "A",
           "children": [{"class": "TFormTestLeaf", "name": "B"}]}]})",
       "Form file: component A (TFormTestLeaf): cannot hold child controls"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "A",
           "children": [{"class": "TFormTestData", "name": "D"}]}]})",
       "Form file: component D (TFormTestData): is not a control and cannot be a child"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "P",
           "properties": {"Closed": true},
           "children": [{"class": "TFormTestLeaf", "name": "L"}]}]})",
       "Form file: component L (TFormTestLeaf): cannot be placed in P: Cannot place component in "
       "a non-container"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "P",
           "properties": {"Field": "Data"}}]})",
       "Form file: component P (TFormTestPanel), property Field: expected "
       "\"DataSetName.FIELDNAME\", found \"Data\""},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "P",
           "properties": {"Field": "Data.ID"}}]})",
       "Form file: component P (TFormTestPanel), property Field: no component named Data in the "
       "form"},
      {R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "P",
           "properties": {"Field": "D.PRICE"}}, {"class": "TFormTestData", "name": "D"}]})",
       "Form file: component P (TFormTestPanel), property Field: no field resolver knows the "
       "field PRICE of D (TFormTestData)"},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadError(c.Text), c.Message) << c.Text;
}

// Numbers are told by how they are written, and a value of the file quoted in
// a message is cut at 60 characters, so that a message stays one readable
// line whatever the file holds.
TEST_F(FormFileTest, MessagesSayWhatIsWrongWithAValueInOneShortLine) {
  const std::string leaf = R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": "X",
           "properties": )";
  const std::string panel = R"({"form": "F", "components": [{"class": "TFormTestPanel", "name": "X",
           "properties": )";
  const std::string ones(100000, '1');
  const std::string longName(1000, 'N');
  const std::string cut60(60, 'N');
  struct Case {
    std::string Text;
    std::string Message;
  };
  const Case cases[] = {
      {leaf + R"({"Width": 1e2}}]})",
       "Form file: component X (TFormTestLeaf), property Width: expected an integer, found a "
       "number with an exponent"},
      {leaf + R"({"Width": 1.5e2}}]})",
       "Form file: component X (TFormTestLeaf), property Width: expected an integer, found a "
       "number with a fraction"},
      {leaf + R"({"Left": -9223372036854775809}}]})",
       "Form file: component X (TFormTestLeaf), property Left: -9223372036854775809 is outside "
       "-2147483648 to 2147483647"},
      {leaf + R"({"Left": 18446744073709551616}}]})",
       "Form file: component X (TFormTestLeaf), property Left: 18446744073709551616 is outside "
       "-2147483648 to 2147483647"},
      {leaf + R"({"Left": 9223372036854775808}}]})",
       "Form file: component X (TFormTestLeaf), property Left: 9223372036854775808 is outside "
       "-2147483648 to 2147483647"},
      {panel + R"({"Color": 99999999999999999999}}]})",
       "Form file: component X (TFormTestPanel), property Color: 99999999999999999999 is outside "
       "-2147483648 to 4294967295"},
      {panel + R"({"Lines": ["ok", 2E-3]}}]})",
       "Form file: component X (TFormTestPanel), property Lines: expected a string, found a "
       "number with an exponent"},
      {panel + R"({"Closed": 1e2}}]})",
       "Form file: component X (TFormTestPanel), property Closed: expected true or false, found "
       "a number with an exponent"},
      {panel + R"({"Caption": -99999999999999999999}}]})",
       "Form file: component X (TFormTestPanel), property Caption: expected a string, found an "
       "integer beyond 64 bits"},
      {leaf + R"({"Left": )" + ones + "}}]}",
       "Form file: malformed JSON: number overflow parsing '" + std::string(60, '1') + "...'"},
      {R"({"form": "F", "components": [{"class": ")" + longName + R"(", "name": "X"}]})",
       "Form file: component X: unknown class " + cut60 + "..."},
      {R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": ")" + longName +
           R"(", "properties": {")" + longName + R"(": 1}}]})",
       "Form file: component " + cut60 + "... (TFormTestLeaf): unknown property " + cut60 +
           "... of class TFormTestLeaf"},
      {panel + R"({"Script": ")" + longName + R"("}}]})",
       "Form file: component X (TFormTestPanel), property Script: no component named " + cut60 +
           "... in the form"},
      {panel + R"({"Align": ")" + longName + R"("}}]})",
       "Form file: component X (TFormTestPanel), property Align: unknown value \"" + cut60 +
           "...\" (expected one of taCenter, taLeft, taRight, taNone)"},
      {R"({"form": "F", ")" + longName + R"(": 1})", "Form file: unknown key \"" + cut60 + "...\""},
      {R"({"form": "F", "components": [)" + std::string(1000, ' ') + "\"" + longName,
       "Form file: malformed JSON at line 1, column 2031: syntax error while parsing value - "
       "invalid string: missing closing quote; last read: '\"" +
           std::string(59, 'N') + "...'"},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadError(c.Text), c.Message) << c.Text.substr(0, 200);
}

// A chain of panels nested level deep, each the only child of the one above.
std::string NestedPanels(int levels) {
  return testsupport::NestedFormText("TFormTestPanel", levels);
}

TEST_F(FormFileTest, HostileInputIsBounded) {
  TComponent form(nullptr);
  LoadFormFromText(NestedPanels(MaxFormNesting), form);
  EXPECT_EQ(form.ComponentCount(), MaxFormNesting + 1);

  EXPECT_EQ(LoadError(NestedPanels(MaxFormNesting + 1)),
            "Form file: component P65 (TFormTestPanel): children are nested deeper than 64 "
            "levels");
  EXPECT_EQ(LoadError(std::string(100000, '[') + std::string(100000, ']')),
            "Form file: values are nested deeper than 256 levels");
  std::string huge = R"({"form": "F", "components": [], "x": ")";
  huge += std::string(static_cast<std::size_t>(MaxFormFileSize), ' ') + "\"}";
  EXPECT_EQ(LoadError(huge), "Form file: the file is larger than 67108864 bytes");
}

TEST_F(FormFileTest, FieldsAreBoundByTheFirstResolverThatKnowsThem) {
  const std::string text = R"({"form": "F", "components": [
      {"class": "TFormTestPanel", "name": "P", "properties": {"Field": "D.PRICE"}},
      {"class": "TFormTestData", "name": "D", "properties": {"Fields": ["ID"]}}]})";
  int calls = 0;
  int id = RegisterFieldResolver([&](const TFieldReference& reference) {
    ++calls;
    EXPECT_EQ(reference.Property->Name, "Field");
    if (reference.FieldName != "PRICE") return false;
    static_cast<TFormTestPanel*>(reference.Target)->Field = "bound by the second";
    return true;
  });
  TComponent form(nullptr);
  LoadFormFromText(text, form);
  EXPECT_EQ(Find<TFormTestPanel>(form, "P")->Field, "bound by the second");
  EXPECT_EQ(calls, 1);

  // A resolver that refuses gets its message placed.
  UnregisterFieldResolver(id);
  id = RegisterFieldResolver(
      [](const TFieldReference&) -> bool { throw Exception("field PRICE is not a number"); });
  EXPECT_EQ(LoadError(text),
            "Form file: component P (TFormTestPanel), property Field: field PRICE is not a "
            "number");
  UnregisterFieldResolver(id);
}

TEST_F(FormFileTest, LoadsFromFilesAndStreams) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tavkit-forms-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "form.json").string();
  {
    std::ofstream out(file, std::ios::binary);
    out << R"({"form": "OnDisk", "components": [{"class": "TFormTestLeaf", "name": "L"}]})";
  }
  TComponent form(nullptr);
  LoadForm(file, form);
  EXPECT_EQ(form.GetName(), "OnDisk");
  EXPECT_EQ(FolderSeenInLoaded, dir.string());
  EXPECT_EQ(CurrentFormLoad(), nullptr);

  SaveFormToFile(form, file);
  TMemoryStream stream;
  stream.LoadFromFile(file);
  TComponent fromStream(nullptr);
  LoadFormFromStream(stream, fromStream, "/data");
  EXPECT_EQ(FolderSeenInLoaded, "/data");
  EXPECT_EQ(SaveForm(fromStream), SaveForm(form));

  try {
    TComponent broken(nullptr);
    LoadForm((dir / "missing.json").string(), broken);
    ADD_FAILURE() << "no error for a missing file";
  } catch (const EFOpenError&) {
  }
  {
    std::ofstream out(file, std::ios::binary);
    out << "{\"form\": \"F\",\n\"components\": 5}";
  }
  try {
    TComponent broken(nullptr);
    LoadForm(file, broken);
    ADD_FAILURE() << "no error for a broken file";
  } catch (const EFormFileError& e) {
    EXPECT_EQ(e.Message(),
              "Form file " + file + ": \"components\" must be an array, not an integer");
  }
  std::filesystem::remove_all(dir);
}

// A form given as <(command) is a pipe, which cannot be measured or sought
// before reading; a folder is no form file and is called one.
TEST_F(FormFileTest, PipesAreReadAsTheyComeAndFoldersAreNamedAsSuch) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const std::string text =
      R"({"form": "Piped", "components": [{"class": "TFormTestLeaf", "name": "L"}]})";
  ASSERT_EQ(write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(ends[1]);
  TComponent form(nullptr);
  LoadForm("/dev/fd/" + std::to_string(ends[0]), form);
  close(ends[0]);
  EXPECT_EQ(form.GetName(), "Piped");
  EXPECT_EQ(form.ComponentCount(), 1);

  const std::string folder = std::filesystem::temp_directory_path().string();
  TComponent none(nullptr);
  EXPECT_EQ(testsupport::ErrorOf<EFOpenError>([&] { LoadForm(folder, none); }),
            "Cannot open file \"" + folder + "\": Is a directory");
  EXPECT_EQ(none.ComponentCount(), 0);
}

// A server keeps one template for its life: every load must give a form of
// its own, equal to what loading the text gives, with nothing shared between
// two forms, and without the file being read again.
TEST_F(FormFileTest, TemplateGivesEveryLoadAFormOfItsOwn) {
  const int before = Live;
  const TFormTemplate sample = TFormTemplate::FromText(SampleForm);
  TComponent reference(nullptr);
  LoadFormFromText(SampleForm, reference);
  {
    TComponent first(nullptr), second(nullptr);
    sample.Load(first);
    sample.Load(second);
    EXPECT_EQ(SaveForm(first), SaveForm(reference));
    Find<TFormTestLeaf>(first, "Leaf1")->Text = "changed";
    Find<TFormTestPanel>(first, "Panel1")->Items.AddItem()->Caption = "added";
    EXPECT_EQ(SaveForm(second), SaveForm(reference));
    EXPECT_EQ(Find<TFormTestPanel>(second, "Panel1")->Script, Find<TComponent>(second, "Main"));
  }
  TComponent third(nullptr);
  sample.Load(third);
  EXPECT_EQ(SaveForm(third), SaveForm(reference));

  // A load that fails leaves nothing and does not spoil the template.
  const TFormTemplate broken = TFormTemplate::FromText(
      R"({"form": "F", "components": [{"class": "TFormTestLeaf", "name": "A"},
                                      {"class": "TNope", "name": "X"}]})");
  for (int attempt = 0; attempt < 2; ++attempt) {
    TComponent form(nullptr);
    try {
      broken.Load(form);
      ADD_FAILURE() << "no error for an unknown class";
    } catch (const EFormFileError& e) {
      EXPECT_EQ(e.Message(), "Form file: component X: unknown class TNope");
      EXPECT_EQ(form.ComponentCount(), 0);
    }
  }
  EXPECT_THROW(TFormTemplate::FromText("{\"form\": "), EFormFileError);

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tavkit-template-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "form.json").string();
  {
    std::ofstream out(file, std::ios::binary);
    out << R"({"form": "OnDisk", "components": [{"class": "TFormTestLeaf", "name": "L"}]})";
  }
  const TFormTemplate onDisk(file);
  std::filesystem::remove_all(dir);
  FolderSeenInLoaded.clear();
  TComponent fromDisk(nullptr);
  onDisk.Load(fromDisk);
  EXPECT_EQ(fromDisk.GetName(), "OnDisk");
  EXPECT_EQ(FolderSeenInLoaded, dir.string());
  EXPECT_THROW(TFormTemplate((dir / "form.json").string()), EFOpenError);
  reference.DestroyComponents();
  third.DestroyComponents();
  fromDisk.DestroyComponents();
  EXPECT_EQ(Live, before);
}

}  // namespace
}  // namespace tavkit

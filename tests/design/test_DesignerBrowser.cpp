// tavkit design used as a person uses it: the program started on an example
// form, headless Chromium pressing, moving and releasing the mouse on the
// designer's page and filling in the inspector. Every step is checked in the
// design the server holds; the saved file and the page the designer shows
// are checked byte for byte against tavkit render of the saved file. The
// screenshots stay in the build folder for a person to look at.
#include <gtest/gtest.h>

#include <cstdlib>

#include "DesignTestSupport.h"
#include "HeadlessBrowser.h"
#include "design/DesignSession.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using design::TJson;
using designtest::DesignerProgram;
using testsupport::HeadlessBrowser;
using testsupport::ReadText;

// What `tavkit render FORM` writes.
std::string TavkitRender(const fs::path& form, const fs::path& folder) {
  const fs::path out = folder / "render.html";
  const std::string command = "'" TAVKIT_PROGRAM "' render '" + form.string() + "' >'" +
                              out.string() + "' 2>'" + (folder / "render.err").string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadText(folder / "render.err");
  return ReadText(out);
}

class DesignerBrowser : public ::testing::Test {
 protected:
  void Open(const std::string& example) {
    folder = designtest::ScratchFolder("design-browser");
    form = folder / fs::path(example).filename();
    fs::copy_file(fs::path(TAVKIT_SOURCE_DIR) / example, form);
    fs::copy(fs::path(TAVKIT_SOURCE_DIR) / "examples" / "images", folder / "images");
    program = std::make_unique<DesignerProgram>(form, folder / "designer.log");
    browser = std::make_unique<HeadlessBrowser>(folder / "browser", 1900, 1000);
    browser->Navigate(program->Url());
    Idle();
  }

  void Idle() { browser->Evaluate("designer.idle().then(() => true)"); }

  // The window rectangle of an element: left, top, width, height.
  std::vector<double> Box(const std::string& selector) {
    const TJson box =
        browser->Evaluate("(() => { const r = document.querySelector(" + TJson(selector).dump() +
                          ").getBoundingClientRect();"
                          " return [r.left, r.top, r.width, r.height]; })()");
    EXPECT_TRUE(box.is_array()) << "nothing matches " << selector;
    return box.get<std::vector<double>>();
  }

  void Drag(const std::vector<double>& from, double dx, double dy, int modifiers = 0) {
    browser->Drag(from[0], from[1], from[0] + dx, from[1] + dy, 8, modifiers);
    Idle();
  }

  // Grabs a control a few pixels inside its upper left corner, clear of its
  // handles.
  std::vector<double> Grip(const std::string& name) {
    const std::string selector = ".ctl[data-name='" + name + "']";
    browser->Evaluate("document.querySelector(" + TJson(selector).dump() +
                      ").scrollIntoView({block: 'center', inline: 'center'})");
    const auto box = Box(selector);
    return {box[0] + 6, box[1] + 6};
  }

  void Key(const std::string& key, int modifiers = 0) {
    browser->Key(key, modifiers);
    Idle();
  }

  void ShiftClick(const std::string& name) {
    const auto at = Grip(name);
    browser->Mouse("mouseMoved", at[0], at[1], HeadlessBrowser::kShift);
    browser->Mouse("mousePressed", at[0], at[1], HeadlessBrowser::kShift);
    browser->Mouse("mouseReleased", at[0], at[1], HeadlessBrowser::kShift);
    Idle();
  }

  TJson Selection() { return browser->Evaluate("designer.selection()"); }

  // Left, top, width and height of controls as the server holds them.
  std::vector<std::vector<int>> Bounds(const std::vector<std::string>& names) {
    std::vector<std::vector<int>> all;
    for (const auto& name : names) {
      const TJson c = Control(name);
      all.push_back({c["left"], c["top"], c["width"], c["height"]});
    }
    return all;
  }

  void Click(const std::string& selector) {
    browser->Evaluate("document.querySelector(" + TJson(selector).dump() +
                      ").scrollIntoView({block: 'center'})");
    const auto box = Box(selector);
    browser->Mouse("mouseMoved", box[0] + box[2] / 2, box[1] + box[3] / 2);
    browser->Mouse("mousePressed", box[0] + box[2] / 2, box[1] + box[3] / 2);
    browser->Mouse("mouseReleased", box[0] + box[2] / 2, box[1] + box[3] / 2);
    Idle();
  }

  // Sets an editor of the inspector as a person would and lets it tell.
  void Fill(const std::string& selector, const std::string& value) {
    browser->Evaluate("(() => { const e = document.querySelector(" + TJson(selector).dump() +
                      "); e.value = " + TJson(value).dump() +
                      "; e.dispatchEvent(new Event('change', {bubbles: true})); })()");
    Idle();
  }

  // Clicks a control of the inspector (a check box, a button).
  void Press(const std::string& selector) {
    browser->Evaluate("document.querySelector(" + TJson(selector).dump() + ").click()");
    Idle();
  }

  static std::string Editor(const std::string& path) { return "[data-path='" + path + "']"; }

  TJson State() { return TJson::parse(program->Request("GET", "/api/state").Body); }

  // A control of the design tree the server holds, found by name.
  TJson Control(const std::string& name) {
    std::function<TJson(const TJson&)> find = [&](const TJson& nodes) -> TJson {
      for (const TJson& node : nodes) {
        if (node["name"] == name) return node;
        TJson found = find(node["children"]);
        if (!found.is_null()) return found;
      }
      return TJson();
    };
    return find(State()["design"]["controls"]);
  }

  // The value of a property of a component as the inspector is told it.
  TJson Value(const std::string& component, const std::vector<std::string>& path) {
    TJson list = TJson::parse(
        program->Request("GET", "/api/component?name=" + component).Body)["properties"];
    TJson found;
    for (const auto& step : path) {
      for (const TJson& p : list)
        if (p["name"] == step) found = p;
      if (found.contains("properties")) list = found["properties"];
    }
    return found.contains("items") ? found["items"] : found["value"];
  }

  std::string ModalText() {
    return browser
        ->Evaluate(
            "document.getElementById('modal').hidden ? '(hidden)' : "
            "document.getElementById('modalText').textContent")
        .get<std::string>();
  }

  void Screenshot(const std::string& name) {
    designtest::WriteFile(folder / name, browser->Screenshot());
  }

  fs::path folder;
  fs::path form;
  std::unique_ptr<DesignerProgram> program;
  std::unique_ptr<HeadlessBrowser> browser;
};

TEST_F(DesignerBrowser, DesignsAFormWithTheMouseAndTheInspectorAndSavesIt) {
  Open("examples/hello.json");
  const std::string original = ReadText(form);
  // The moves below are to the pixel: the grid is turned off in the toolbar.
  Press("#gridOn");
  EXPECT_EQ(browser->Evaluate("document.querySelectorAll('#palette .tool').length"), 25);
  EXPECT_EQ(browser->Evaluate("document.querySelectorAll('#surface .ctl').length"), 10);
  Screenshot("designer-hello-opened.png");
  // Opened from the address with its token, and under the policy of the
  // designer's pages, the page still has its style sheet and pictures.
  EXPECT_EQ(browser->Evaluate("fetch('/').then(r => r.headers.get('content-security-policy'))"
                              ".then(p => p.startsWith(\"default-src 'none'\"))"),
            true);
  EXPECT_EQ(
      browser->Evaluate("getComputedStyle(document.getElementById('toolbar')).backgroundColor"),
      "rgb(45, 62, 80)");
  EXPECT_EQ(browser->Evaluate("document.querySelector(\".tool[data-class='TWvText'] img\")"
                              ".naturalWidth"),
            32);
  EXPECT_EQ(browser->Evaluate("document.querySelector('#surface .ctl img').naturalWidth > 0"),
            true);

  // Drag the Grid text 20 pixels right and 10 down inside its panel.
  auto grid = Box(".ctl[data-name='Grid']");
  Drag({grid[0] + 8, grid[1] + 8}, 20, 10);
  TJson moved = Control("Grid");
  EXPECT_EQ((std::vector<int>{moved["left"], moved["top"], moved["width"], moved["height"]}),
            (std::vector<int>{30, 120, 180, 60}));

  // Resize by the lower right handle, then pull the left edge past the
  // panel's: the library keeps a child off coordinate 0.
  Drag({Box(".handle.se")[0] + 4, Box(".handle.se")[1] + 4}, 40, 20);
  moved = Control("Grid");
  EXPECT_EQ((std::vector<int>{moved["left"], moved["top"], moved["width"], moved["height"]}),
            (std::vector<int>{30, 120, 220, 80}));
  Drag({Box(".handle.w")[0] + 4, Box(".handle.w")[1] + 4}, -50, 0);
  moved = Control("Grid");
  EXPECT_EQ((std::vector<int>{moved["left"], moved["top"], moved["width"], moved["height"]}),
            (std::vector<int>{1, 120, 270, 80}));

  // Drag Grid2 out of its panel into the sidebar: it changes its parent.
  const auto grid2 = Box(".ctl[data-name='Grid2']");
  const auto side = Box(".ctl[data-name='Sidebar']");
  Drag({grid2[0] + 5, grid2[1] + 5}, side[0] + 100 - grid2[0] - 5, side[1] + 140 - grid2[1] - 5);
  const TJson sidebarNode = State()["design"]["controls"][0]["children"][1];
  ASSERT_EQ(sidebarNode["children"].size(), 3u);
  EXPECT_EQ(sidebarNode["children"][2]["name"], "Grid2");
  EXPECT_EQ(
      (std::vector<int>{sidebarNode["children"][2]["left"], sidebarNode["children"][2]["top"]}),
      (std::vector<int>{95, 135}));

  // Drop a text from the palette into the sidebar panel.
  const auto tool = Box(".tool[data-class='TWvText']");
  const auto sidebar = Box(".ctl[data-name='Sidebar']");
  const double fromX = tool[0] + tool[2] / 2, fromY = tool[1] + tool[3] / 2;
  browser->Drag(fromX, fromY, sidebar[0] + 20, sidebar[1] + 265, 12);
  Idle();
  EXPECT_EQ(ModalText(), "(hidden)");
  EXPECT_EQ(State()["design"]["controls"][0]["children"][1]["children"][3]["name"], "WvText1");
  const TJson dropped = Control("WvText1");
  EXPECT_EQ((std::vector<int>{dropped["left"], dropped["top"]}), (std::vector<int>{20, 265}));
  EXPECT_EQ(browser->Evaluate("designer.selected()"), "WvText1");

  // Its font and colours, and its text, through the inspector.
  Fill(Editor(R"(["Text"])"), "Dropped here");
  Fill(Editor(R"(["Font","Size"])"), "4");
  Press(Editor(R"(["Font","Bold"])"));
  Fill(Editor(R"(["Font","Color"])") + " [data-role=picker]", "#804020");
  Fill(Editor(R"(["BackGroundColor"])") + " [data-role=constant]", "clYellow");
  EXPECT_EQ(Value("WvText1", {"Text"}), TJson::array({"Dropped here"}));
  EXPECT_EQ(Value("WvText1", {"Font", "Size"}), 4);
  EXPECT_EQ(Value("WvText1", {"Font", "Bold"}), true);
  EXPECT_EQ(Value("WvText1", {"Font", "Color"}), "#804020");
  EXPECT_EQ(Value("WvText1", {"BackGroundColor"}), "clYellow");
  EXPECT_EQ(ModalText(), "(hidden)");

  // A dependency of Util on Greeter would close a cycle: refused with the
  // library's warning box, and the new item keeps no script.
  Click(".trayItem[data-name='Util']");
  EXPECT_EQ(browser->Evaluate("designer.selected()"), "Util");
  Press(R"([data-add='["DependList"]'])");
  ASSERT_EQ(Value("Util", {"DependList"}).size(), 1u);
  Fill(Editor(R"(["DependList",0,"script"])"), "Greeter");
  EXPECT_EQ(ModalText(), "Circular dependency detected. Cannot select script.");
  Screenshot("designer-hello-refusal.png");
  Click("#modalOk");
  EXPECT_EQ(ModalText(), "(hidden)");
  EXPECT_EQ(Value("Util", {"DependList"})[0][0]["value"], "");

  // Undo takes the empty dependency back; then the design is saved.
  Click("#undo");
  EXPECT_EQ(Value("Util", {"DependList"}), TJson::array());
  Click("#save");
  EXPECT_EQ(ModalText(), "(hidden)");
  EXPECT_EQ(State()["modified"], false);
  EXPECT_EQ(browser->Evaluate("document.getElementById('status').textContent"), "Saved");
  Screenshot("designer-hello.png");

  // The saved file holds the design; the previous file is kept.
  EXPECT_EQ(ReadText(fs::path(form.string() + ".bak")), original);
  const TJson saved = TJson::parse(ReadText(form));
  const TJson page = saved["components"][3];
  ASSERT_EQ(page["name"], "Page1");
  const TJson gridSaved = page["children"][2]["children"][1];
  ASSERT_EQ(gridSaved["name"], "Grid");
  EXPECT_EQ(gridSaved["properties"]["Left"], 1);
  EXPECT_EQ(gridSaved["properties"]["Width"], 270);
  const TJson text = page["children"][1]["children"][3];
  ASSERT_EQ(text["name"], "WvText1");
  EXPECT_EQ(text["properties"]["Font"]["Color"], "#804020");
  EXPECT_EQ(saved["components"][1]["properties"]["DependList"], TJson::array());

  // What the designer shows as the rendered page is what tavkit render
  // writes for the saved file, byte for byte.
  const designtest::THttpReply shown = program->Request("GET", "/page/");
  EXPECT_EQ(shown.Status, 200);
  EXPECT_EQ(shown.Body, TavkitRender(form, folder));
  EXPECT_NE(shown.Body.find("Dropped here"), std::string::npos);
}

TEST_F(DesignerBrowser, RefusesATextOnAnImageAndRendersImageMapsAsTavkitRenderDoes) {
  Open("examples/showcase.json");
  const int version = State()["version"];
  const auto tool = Box(".tool[data-class='TWvText']");
  const auto image = Box(".ctl[data-name='FloorPlan']");
  browser->Drag(tool[0] + tool[2] / 2, tool[1] + tool[3] / 2, image[0] + 200, image[1] + 120, 12);
  Idle();
  EXPECT_EQ(ModalText(), "Only imagemaps can be put on images");
  Screenshot("designer-showcase-refusal.png");
  Click("#modalOk");
  EXPECT_EQ(State()["version"], version);
  EXPECT_EQ(State()["canUndo"], false);

  // A hot spot moved on its image stays on it.
  const auto map = Box(".ctl[data-name='" +
                       Control("FloorPlan")["children"][0]["name"].get<std::string>() + "']");
  Drag({map[0] + 4, map[1] + 4}, 6, 3);
  EXPECT_EQ(Control("FloorPlan")["children"].size(), 2u);
  EXPECT_EQ(ModalText(), "(hidden)");

  Click("#save");
  EXPECT_EQ(State()["modified"], false);
  Screenshot("designer-showcase.png");
  const designtest::THttpReply shown = program->Request("GET", "/page/");
  EXPECT_EQ(shown.Status, 200);
  EXPECT_EQ(shown.Body, TavkitRender(form, folder));
  EXPECT_NE(shown.Body.find("<MAP NAME=\"MAP0\">"), std::string::npos);
  // The page in the frame finds the picture beside the form.
  EXPECT_EQ(browser->Evaluate("document.getElementById('rendered').contentDocument.images[0]"
                              ".naturalWidth"),
            240);
}

// The showcase laid out with several selected at once, the toolbar's
// alignment, the keyboard and the zoom; every step is one step of undo.
TEST_F(DesignerBrowser, SelectsSeveralArrangesThemWithTheKeyboardAndZoomsToThePixel) {
  Open("examples/showcase.json");
  // The floor plan's picture is drawn in the design as on the page: the
  // kitchen's blue inside its hot spot.
  EXPECT_EQ(browser->Evaluate(
                "(() => { const p = document.querySelector(\".ctl[data-name='FloorPlan'] img\");"
                " const c = document.createElement('canvas'); c.width = p.naturalWidth;"
                " c.height = p.naturalHeight; c.getContext('2d').drawImage(p, 0, 0);"
                " return [...c.getContext('2d').getImageData(60, 40, 1, 1).data]; })()"),
            TJson({192, 224, 255, 255}));
  Screenshot("designer-pictures.png");
  const std::vector<std::string> top = {"Heading", "Intro", "MoreLink"};
  const auto before = Bounds(top);

  // A rectangle drawn on the page from (40, 4) to (600, 60) touches the
  // three at its top and nothing below them.
  const auto page = Box(".ctl[data-name='Page1']");
  browser->Drag(page[0] + 40, page[1] + 4, page[0] + 600, page[1] + 60);
  Idle();
  EXPECT_EQ(Selection(), TJson(top));
  EXPECT_EQ(browser->Evaluate("document.getElementById('inspectorTitle').textContent"),
            "3 selected");

  // Held with Alt 8 pixels lower, edges and centres meet those of the
  // captions, the page and the labels of the form: guide lines show where.
  const auto grip = Grip("Heading");
  browser->Mouse("mouseMoved", grip[0], grip[1], HeadlessBrowser::kAlt);
  browser->Mouse("mousePressed", grip[0], grip[1], HeadlessBrowser::kAlt);
  for (int y = 2; y <= 8; y += 2)
    browser->Mouse("mouseMoved", grip[0], grip[1] + y, HeadlessBrowser::kAlt);
  EXPECT_EQ(browser->Evaluate("[...document.querySelectorAll('.guide')].map(g => "
                              "g.style.width === '0px' ? 'x' + parseInt(g.style.left) : "
                              "'y' + parseInt(g.style.top)).sort().join()"),
            "x20,x360,x420,x700,y128");
  Screenshot("designer-selection.png");
  // Dragged on with the grid: the grabbed one lands on it, the others keep
  // their places beside it, and one undo takes all three back.
  browser->Mouse("mouseMoved", grip[0] + 14, grip[1] + 10, 0);
  browser->Mouse("mouseReleased", grip[0] + 14, grip[1] + 10, 0);
  Idle();
  EXPECT_EQ(Bounds(top), (std::vector<std::vector<int>>{
                             {32, 24, 680, 36}, {32, 68, 400, 64}, {452, 68, 260, 20}}));
  Key("z", HeadlessBrowser::kCtrl);
  EXPECT_EQ(Bounds(top), before);
  EXPECT_EQ(State()["canUndo"], false);

  // Align left: a click and two Shift+clicks select three, one button.
  Click(".ctl[data-name='PlanCaption']");
  ShiftClick("FormCaption");
  ShiftClick("MoreLink");
  EXPECT_EQ(Selection(), TJson({"PlanCaption", "FormCaption", "MoreLink"}));
  Click("[data-arrange='left']");
  const std::vector<std::vector<int>> aligned = {
      {20, 128, 240, 20}, {20, 128, 400, 20}, {20, 56, 260, 20}};
  EXPECT_EQ(Bounds({"PlanCaption", "FormCaption", "MoreLink"}), aligned);
  Key("z", HeadlessBrowser::kCtrl);
  EXPECT_EQ(Bounds({"FormCaption", "MoreLink"}),
            (std::vector<std::vector<int>>{{300, 128, 400, 20}, {440, 56, 260, 20}}));
  Key("y", HeadlessBrowser::kCtrl);
  EXPECT_EQ(Bounds({"PlanCaption", "FormCaption", "MoreLink"}), aligned);

  // The keyboard on one label: one pixel, a grid step, a size.
  Click(".ctl[data-name='NameLabel']");
  Key("ArrowRight");
  Key("ArrowDown", HeadlessBrowser::kShift);
  Key("ArrowRight", HeadlessBrowser::kCtrl);
  Key("ArrowDown", HeadlessBrowser::kCtrl | HeadlessBrowser::kShift);
  EXPECT_EQ(Bounds({"NameLabel"}), (std::vector<std::vector<int>>{{11, 18, 111, 32}}));
  Key("z", HeadlessBrowser::kCtrl);
  EXPECT_EQ(Bounds({"NameLabel"}), (std::vector<std::vector<int>>{{11, 18, 111, 24}}));
  Key("Tab");
  EXPECT_EQ(browser->Evaluate("designer.selected()"), "NameField");
  Key("Escape");
  EXPECT_EQ(browser->Evaluate("designer.selected()"), "OrderForm");
  Key("?");
  EXPECT_EQ(browser->Evaluate("document.getElementById('help').hidden"), false);
  Screenshot("designer-keys.png");
  Key("Escape");
  EXPECT_EQ(browser->Evaluate("document.getElementById('help').hidden"), true);

  // At 200% a drag of 40 by 20 window pixels is 20 by 10 on the page; the
  // rendered page stays at its own size.
  Fill("#zoom", "2");
  Drag(Grip("NameField"), 40, 20, HeadlessBrowser::kAlt);
  EXPECT_EQ(Bounds({"NameField"}), (std::vector<std::vector<int>>{{150, 20, 250, 24}}));
  EXPECT_EQ(Box(".ctl[data-name='NameField']")[2], 500);
  EXPECT_EQ(browser->Evaluate("document.getElementById('rendered').contentDocument.images[0]"
                              ".getBoundingClientRect().width"),
            240);
  EXPECT_EQ(ModalText(), "(hidden)");

  Click("#save");
  const TJson saved = TJson::parse(ReadText(form));
  const TJson& onPage = saved["components"][6]["children"];
  auto where = [&](const TJson& c) {
    return std::vector<int>{c["properties"]["Left"], c["properties"]["Top"]};
  };
  EXPECT_EQ(where(onPage[2]), (std::vector<int>{20, 56}));                  // MoreLink
  EXPECT_EQ(where(onPage[5]), (std::vector<int>{20, 128}));                 // FormCaption
  EXPECT_EQ(where(onPage[6]["children"][0]), (std::vector<int>{11, 18}));   // NameLabel
  EXPECT_EQ(where(onPage[6]["children"][1]), (std::vector<int>{150, 20}));  // NameField
}

// A panel holding a caption and an image with a hot spot, beside a script
// its caption's link calls.
const char* const kPanelForm = R"({
  "form": "Plans",
  "components": [
    { "class": "TWvJavascript", "name": "Show",
      "properties": { "script": ["function show() {", "}"] } },
    { "class": "TWvPage", "name": "Page1",
      "properties": { "Left": 0, "Top": 0, "Width": 480, "Height": 360 },
      "children": [
        { "class": "TWvPanel", "name": "Plan",
          "properties": { "Left": 16, "Top": 16, "Width": 200, "Height": 160 },
          "children": [
            { "class": "TWvText", "name": "Caption",
              "properties": { "Left": 8, "Top": 8, "Width": 120, "Height": 20, "Text": ["Ground floor"],
                              "HyperLink": { "URL": "plan.html", "JSOnClick": { "Script": "Show" } } } },
            { "class": "TWvImage", "name": "Picture",
              "properties": { "Left": 8, "Top": 40, "Width": 160, "Height": 100 },
              "children": [
                { "class": "TWvImageMap", "name": "Spot",
                  "properties": { "Left": 8, "Top": 8, "Width": 40, "Height": 30 } } ] } ] }
      ] }
  ]
})";

// What the designer saves after the paste: the panel as it was, and its copy
// 8 pixels lower and to the right under the first free names of each class,
// its caption's link still calling Show.
const char* const kPanelPasted = R"({
  "form": "Plans",
  "components": [
    {
      "class": "TWvJavascript",
      "name": "Show",
      "properties": {
        "Tag": 0,
        "script": [
          "function show() {",
          "}"
        ],
        "DependList": []
      }
    },
    {
      "class": "TWvPage",
      "name": "Page1",
      "properties": {
        "Tag": 0,
        "Left": 0,
        "Top": 0,
        "Width": 480,
        "Height": 360,
        "BackGroundColor": "clWhite",
        "HTMLBefore": [],
        "HTMLAfter": [],
        "HTMLInside": [],
        "PageTitle": "",
        "BackGroundImage": "",
        "Scripts": [],
        "LinkColor": "clBlack",
        "VLinkColor": "clBlack",
        "DefaultTextColor": "clBlack",
        "JSOnLoad": {
          "parameterlist": [],
          "Script": ""
        },
        "JSOnUnload": {
          "parameterlist": [],
          "Script": ""
        },
        "Metatags": [],
        "CenterContents": false
      },
      "children": [
        {
          "class": "TWvPanel",
          "name": "Plan",
          "properties": {
            "Tag": 0,
            "Left": 16,
            "Top": 16,
            "Width": 200,
            "Height": 160,
            "BackGroundColor": "clNone",
            "HTMLBefore": [],
            "HTMLAfter": [],
            "HTMLInside": []
          },
          "children": [
            {
              "class": "TWvText",
              "name": "Caption",
              "properties": {
                "Tag": 0,
                "Left": 8,
                "Top": 8,
                "Width": 120,
                "Height": 20,
                "BackGroundColor": "clNone",
                "HTMLBefore": [],
                "HTMLAfter": [],
                "HTMLInside": [],
                "Align": "taLeft",
                "Font": {
                  "PrimaryFont": "ARIAL",
                  "SecondaryFonts": "SYSTEM",
                  "Size": 2,
                  "Color": "clBlack",
                  "Bold": false,
                  "Italic": false,
                  "Underline": false,
                  "Strikeout": false
                },
                "Link": "plan.html",
                "HyperLink": {
                  "Target": "",
                  "URL": "plan.html",
                  "JSOnMouseOver": {
                    "parameterlist": [],
                    "Script": ""
                  },
                  "JSOnMouseOut": {
                    "parameterlist": [],
                    "Script": ""
                  },
                  "JSOnClick": {
                    "parameterlist": [],
                    "Script": "Show"
                  }
                },
                "AutoLineBreak": true,
                "Text": [
                  "Ground floor"
                ]
              }
            },
            {
              "class": "TWvImage",
              "name": "Picture",
              "properties": {
                "Tag": 0,
                "Left": 8,
                "Top": 40,
                "Width": 160,
                "Height": 100,
                "BackGroundColor": "clNone",
                "HTMLBefore": [],
                "HTMLAfter": [],
                "HTMLInside": [],
                "JSOnAbort": {
                  "parameterlist": [],
                  "Script": ""
                },
                "JSOnLoad": {
                  "parameterlist": [],
                  "Script": ""
                },
                "ImagePath": "",
                "Link": "",
                "Stretch": false,
                "Hyperlink": {
                  "Target": "",
                  "URL": "",
                  "JSOnMouseOver": {
                    "parameterlist": [],
                    "Script": ""
                  },
                  "JSOnMouseOut": {
                    "parameterlist": [],
                    "Script": ""
                  },
                  "JSOnClick": {
                    "parameterlist": [],
                    "Script": ""
                  }
                }
              },
              "children": [
                {
                  "class": "TWvImageMap",
                  "name": "Spot",
                  "properties": {
                    "Tag": 0,
                    "Left": 8,
                    "Top": 8,
                    "Width": 40,
                    "Height": 30,
                    "HyperLink": {
                      "Target": "",
                      "URL": "",
                      "JSOnMouseOver": {
                        "parameterlist": [],
                        "Script": ""
                      },
                      "JSOnMouseOut": {
                        "parameterlist": [],
                        "Script": ""
                      },
                      "JSOnClick": {
                        "parameterlist": [],
                        "Script": ""
                      }
                    },
                    "AltText": "",
                    "Link": ""
                  }
                }
              ]
            }
          ]
        },
        {
          "class": "TWvPanel",
          "name": "WvPanel1",
          "properties": {
            "Tag": 0,
            "Left": 24,
            "Top": 24,
            "Width": 200,
            "Height": 160,
            "BackGroundColor": "clNone",
            "HTMLBefore": [],
            "HTMLAfter": [],
            "HTMLInside": []
          },
          "children": [
            {
              "class": "TWvText",
              "name": "WvText1",
              "properties": {
                "Tag": 0,
                "Left": 8,
                "Top": 8,
                "Width": 120,
                "Height": 20,
                "BackGroundColor": "clNone",
                "HTMLBefore": [],
                "HTMLAfter": [],
                "HTMLInside": [],
                "Align": "taLeft",
                "Font": {
                  "PrimaryFont": "ARIAL",
                  "SecondaryFonts": "SYSTEM",
                  "Size": 2,
                  "Color": "clBlack",
                  "Bold": false,
                  "Italic": false,
                  "Underline": false,
                  "Strikeout": false
                },
                "Link": "plan.html",
                "HyperLink": {
                  "Target": "",
                  "URL": "plan.html",
                  "JSOnMouseOver": {
                    "parameterlist": [],
                    "Script": ""
                  },
                  "JSOnMouseOut": {
                    "parameterlist": [],
                    "Script": ""
                  },
                  "JSOnClick": {
                    "parameterlist": [],
                    "Script": "Show"
                  }
                },
                "AutoLineBreak": true,
                "Text": [
                  "Ground floor"
                ]
              }
            },
            {
              "class": "TWvImage",
              "name": "WvImage1",
              "properties": {
                "Tag": 0,
                "Left": 8,
                "Top": 40,
                "Width": 160,
                "Height": 100,
                "BackGroundColor": "clNone",
                "HTMLBefore": [],
                "HTMLAfter": [],
                "HTMLInside": [],
                "JSOnAbort": {
                  "parameterlist": [],
                  "Script": ""
                },
                "JSOnLoad": {
                  "parameterlist": [],
                  "Script": ""
                },
                "ImagePath": "",
                "Link": "",
                "Stretch": false,
                "Hyperlink": {
                  "Target": "",
                  "URL": "",
                  "JSOnMouseOver": {
                    "parameterlist": [],
                    "Script": ""
                  },
                  "JSOnMouseOut": {
                    "parameterlist": [],
                    "Script": ""
                  },
                  "JSOnClick": {
                    "parameterlist": [],
                    "Script": ""
                  }
                }
              },
              "children": [
                {
                  "class": "TWvImageMap",
                  "name": "WvImageMap1",
                  "properties": {
                    "Tag": 0,
                    "Left": 8,
                    "Top": 8,
                    "Width": 40,
                    "Height": 30,
                    "HyperLink": {
                      "Target": "",
                      "URL": "",
                      "JSOnMouseOver": {
                        "parameterlist": [],
                        "Script": ""
                      },
                      "JSOnMouseOut": {
                        "parameterlist": [],
                        "Script": ""
                      },
                      "JSOnClick": {
                        "parameterlist": [],
                        "Script": ""
                      }
                    },
                    "AltText": "",
                    "Link": ""
                  }
                }
              ]
            }
          ]
        }
      ]
    }
  ]
}
)";

// Copy and paste with the keys through the system clipboard: a panel comes
// back beside itself with fresh names and its references kept; a hot spot
// pasted onto the page is refused with the library's message.
TEST_F(DesignerBrowser, CopiesAndPastesThroughTheClipboardUnderFreshNames) {
  folder = designtest::ScratchFolder("design-browser");
  form = folder / "plans.json";
  designtest::WriteFile(form, kPanelForm);
  program = std::make_unique<DesignerProgram>(form, folder / "designer.log");
  browser = std::make_unique<HeadlessBrowser>(folder / "browser", 1900, 1000);
  const std::string url = program->Url();
  browser->AllowClipboard(url.substr(0, url.find('/', 7)));
  browser->Navigate(url);
  Idle();

  const auto plan = Grip("Plan");
  browser->Mouse("mousePressed", plan[0], plan[1]);
  browser->Mouse("mouseReleased", plan[0], plan[1]);
  Key("c", HeadlessBrowser::kCtrl);
  const std::string copied = browser->Evaluate("navigator.clipboard.readText()");
  EXPECT_EQ(TJson::parse(copied)["components"][0]["name"], "Plan");
  Key("v", HeadlessBrowser::kCtrl);
  EXPECT_EQ(ModalText(), "(hidden)");
  EXPECT_EQ(Selection(), TJson({"WvPanel1"}));

  // The hot spot alone cannot go onto the page.
  const int version = State()["version"];
  Click(".ctl[data-name='Spot']");
  Key("c", HeadlessBrowser::kCtrl);
  Click(".ctl[data-name='Page1']");
  EXPECT_EQ(browser->Evaluate("designer.selected()"), "Page1");
  Key("v", HeadlessBrowser::kCtrl);
  EXPECT_EQ(ModalText(), "Imagemaps can only be put on images");
  Click("#modalOk");
  EXPECT_EQ(State()["version"], version);

  Click("#save");
  EXPECT_EQ(ReadText(form), kPanelPasted);
}

// A page bound to a query of a database that is not there.
const char* const kMissingDataForm = R"({
  "form": "Rooms",
  "components": [
    { "class": "TSQLiteQuery", "name": "RoomQuery",
      "properties": { "DatabaseFile": "rooms.db", "SQL": ["SELECT name FROM rooms"],
                      "Active": true } },
    { "class": "TDataSource", "name": "RoomSource", "properties": { "DataSet": "RoomQuery" } },
    { "class": "TWvPage", "name": "Page1",
      "properties": { "Left": 0, "Top": 0, "Width": 400, "Height": 200 },
      "children": [
        { "class": "TWvDBPanel", "name": "Room",
          "properties": { "Left": 16, "Top": 16, "Width": 200, "Height": 100,
                          "DataSource": "RoomSource" } } ] }
  ]
})";

// A form made by the designer asks for its page's size first; a picture
// that cannot be read says why in the inspector; a form whose database is
// missing opens with a line saying so.
TEST_F(DesignerBrowser, StartsANewPageAtTheSizeAskedAndSaysWhatCannotBeShown) {
  folder = designtest::ScratchFolder("design-browser");
  form = folder / "new.json";
  program = std::make_unique<DesignerProgram>(form, folder / "designer.log");
  browser = std::make_unique<HeadlessBrowser>(folder / "browser", 1900, 1000);
  browser->Navigate(program->Url());
  Idle();
  EXPECT_EQ(browser->Evaluate("document.getElementById('pageSize').hidden"), false);
  Screenshot("designer-new-page.png");
  Click("#pageSize [data-size='800x600']");
  Click("#pageSizeOk");
  EXPECT_EQ(browser->Evaluate("document.getElementById('pageSize').hidden"), true);
  EXPECT_EQ(Bounds({"Page1"}), (std::vector<std::vector<int>>{{0, 0, 800, 600}}));
  EXPECT_EQ(browser->Evaluate("document.getElementById('warnings').hidden"), true);

  browser.reset();
  program.reset();
  form = folder / "rooms.json";
  designtest::WriteFile(form, kMissingDataForm);
  program = std::make_unique<DesignerProgram>(form, folder / "rooms.log");
  browser = std::make_unique<HeadlessBrowser>(folder / "browser2", 1900, 1000);
  browser->Navigate(program->Url());
  Idle();
  EXPECT_EQ(browser->Evaluate("document.getElementById('pageSize').hidden"), true);
  EXPECT_EQ(browser->Evaluate("document.getElementById('warnings').textContent"),
            "RoomQuery: cannot open database \"" + (folder / "rooms.db").string() +
                "\": unable to open database file");
  EXPECT_EQ(browser->Evaluate("document.getElementById('warnings').hidden"), false);
  Screenshot("designer-warnings.png");

  const auto tool = Box(".tool[data-class='TWvImage']");
  const auto page = Box(".ctl[data-name='Page1']");
  browser->Drag(tool[0] + tool[2] / 2, tool[1] + tool[3] / 2, page[0] + 240, page[1] + 40, 12);
  Idle();
  EXPECT_EQ(browser->Evaluate("designer.selected()"), "WvImage1");
  Fill(Editor(R"(["ImagePath"])"), "plan.png");
  EXPECT_EQ(browser->Evaluate("document.querySelector('.pictureError').textContent"),
            "The picture file plan.png does not exist in the form's folder");
}

}  // namespace
}  // namespace tavkit

// The designer's server answered over a real socket on 127.0.0.1: the UI's
// files, the JSON API with its refusals, the previews as PNG files with
// their transparency, the rendered page from tavkit render itself, and the
// requests it turns away.
#include <gtest/gtest.h>
#include <png.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include <tavkit/core/WvOptimizer.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include "DesignTestSupport.h"
#include "design/DesignServer.h"
#include "design/PageRenderer.h"
#include "design/PreviewPainter.h"

namespace tavkit {
namespace {

using design::TJson;
using designtest::HttpRequest;

struct TPixels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Rgba;
  const std::uint8_t* At(int x, int y) const {
    return &Rgba[(static_cast<std::size_t>(y) * Width + x) * 4];
  }
};

TPixels DecodePng(const std::string& bytes) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  TPixels pixels;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return pixels;
  image.format = PNG_FORMAT_RGBA;
  pixels.Width = static_cast<int>(image.width);
  pixels.Height = static_cast<int>(image.height);
  pixels.Rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.Rgba.data(), 0, nullptr)) pixels = TPixels();
  return pixels;
}

class DesignServer : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterPackage();
    folder = designtest::ScratchFolder("design-server");
    file = (folder / "form.json").string();
    designtest::WriteFile(file, designtest::kTestForm);
    session = std::make_unique<design::TDesignSession>(file);
  }

  void Start(design::TRenderFunction render) {
    server = std::make_unique<design::TDesignServer>(*session, std::move(render),
                                                     (folder / "images").string());
    port = server->Bind(0);
    serving = std::thread([this] { server->Run(); });
  }

  void TearDown() override {
    if (server) server->Stop();
    if (serving.joinable()) serving.join();
  }

  // A request with the server's token, as the designer's page sends it.
  designtest::THttpReply Request(const std::string& method, const std::string& path,
                                 const std::string& body = "",
                                 const std::string& contentType = "application/json",
                                 const std::string& host = "") {
    return HttpRequest(port, method, path, body, contentType, host,
                       designtest::TokenCookie(port, server->Token()));
  }

  TJson Post(const std::string& path, const TJson& body) {
    designtest::THttpReply reply = Request("POST", path, body.dump());
    EXPECT_EQ(reply.ContentType, "application/json");
    return TJson::parse(reply.Body);
  }

  designtest::fs::path folder;
  std::string file;
  std::unique_ptr<design::TDesignSession> session;
  std::unique_ptr<design::TDesignServer> server;
  std::thread serving;
  int port = 0;
};

design::TRenderResult Rendered(const std::string& text, const std::string&) {
  return {true, "<HTML>" + std::to_string(text.size()) + "</HTML>", ""};
}

TEST_F(DesignServer, ServesTheUiFromTheProgramItself) {
  Start(Rendered);
  designtest::THttpReply page = Request("GET", "/");
  EXPECT_EQ(page.Status, 200);
  EXPECT_EQ(page.ContentType, "text/html; charset=utf-8");
  EXPECT_EQ(page.Body.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(Request("GET", "/designer.js").ContentType, "text/javascript; charset=utf-8");
  EXPECT_EQ(Request("GET", "/designer.css").ContentType, "text/css; charset=utf-8");
  EXPECT_EQ(Request("GET", "/nothing.js").Status, 404);
}

TEST_F(DesignServer, AnswersTheApiAndShowsRefusalsWithoutAChange) {
  Start(Rendered);
  const TJson state = TJson::parse(Request("GET", "/api/state").Body);
  EXPECT_EQ(state["version"], 1);
  EXPECT_EQ(state["file"], file);
  EXPECT_EQ(state["modified"], false);
  EXPECT_EQ(state["design"]["controls"][0]["name"], "Page1");

  const std::string before = session->Text();
  const TJson refused =
      Post("/api/insert", {{"class", "TWvText"}, {"parent", "Image1"}, {"left", 4}, {"top", 4}});
  EXPECT_EQ(refused["warning"], "Only imagemaps can be put on images");
  EXPECT_EQ(refused["changed"], false);
  EXPECT_EQ(refused["state"]["version"], 1);
  EXPECT_EQ(session->Text(), before);

  const TJson cycle = Post("/api/property", {{"component", "First"},
                                             {"path", {"DependList"}},
                                             {"value", TJson::parse(R"([{"script": "Second"}])")}});
  EXPECT_EQ(cycle["warning"], "Circular dependency detected. Cannot select script.");
  EXPECT_EQ(session->Text(), before);

  const TJson inserted =
      Post("/api/insert", {{"class", "TWvText"}, {"parent", "Panel1"}, {"left", 4}, {"top", 30}});
  EXPECT_EQ(inserted["changed"], true);
  EXPECT_EQ(inserted["name"], "WvText1");
  EXPECT_EQ(inserted["state"]["version"], 2);
  EXPECT_EQ(inserted["state"]["canUndo"], true);
  EXPECT_EQ(inserted["state"]["design"]["controls"][0]["children"][0]["children"][1]["name"],
            "WvText1");

  const TJson moved =
      Post("/api/bounds",
           {{"component", "WvText1"}, {"left", -3}, {"top", 0}, {"width", 50}, {"height", 20}});
  const TJson text = moved["state"]["design"]["controls"][0]["children"][0]["children"][1];
  EXPECT_EQ(text["left"], 1);
  EXPECT_EQ(text["top"], 1);

  const TJson described = TJson::parse(Request("GET", "/api/component?name=WvText1").Body);
  EXPECT_EQ(described["class"], "TWvText");
  EXPECT_EQ(Request("GET", "/api/component?name=Nobody").Status, 404);

  EXPECT_EQ(Post("/api/undo", TJson::object())["state"]["version"], 4);
  EXPECT_EQ(Post("/api/undo", TJson::object())["state"]["canUndo"], false);
  EXPECT_EQ(session->Text(), before);
  EXPECT_EQ(Post("/api/redo", TJson::object())["changed"], true);

  EXPECT_EQ(Post("/api/save", TJson::object())["state"]["modified"], false);
  EXPECT_EQ(testsupport::ReadText(file), session->Text());
  designtest::WriteFile(file, "changed elsewhere");
  EXPECT_EQ(Post("/api/delete", {{"component", "Image1"}})["changed"], true);
  const TJson conflict = Post("/api/save", TJson::object());
  EXPECT_EQ(conflict["error"], file +
                                   " has changed on disk since the designer read it; the design "
                                   "was not saved, so that the other change is not lost");
  EXPECT_EQ(testsupport::ReadText(file), "changed elsewhere");
  std::filesystem::remove(file);
  EXPECT_EQ(Post("/api/save", TJson::object())["error"],
            file + " has been deleted or moved since the designer read it; the design was not "
                   "saved, so that the removal is not undone without a word");
  EXPECT_FALSE(std::filesystem::exists(file));
}

// Several components at once: a batch, the properties they share, and a
// copy pasted back, over the socket as the UI sends them.
TEST_F(DesignServer, TakesBatchesCopiesPastesAndSharedProperties) {
  Start(Rendered);
  const TJson moved = Post("/api/batch", TJson::parse(R"({"edits": [
      {"route": "bounds", "component": "Text1", "left": 20, "top": 210, "width": 150, "height": 20},
      {"route": "property", "component": "Inner", "path": ["Font", "Color"], "value": "#804020"},
      {"route": "delete", "component": "Image1"}]})"));
  EXPECT_EQ(moved["changed"], true);
  EXPECT_EQ(moved["state"]["design"]["controls"][0]["children"][1]["left"], 20);
  EXPECT_EQ(moved["state"]["version"], 2);

  const struct {
    TJson Body;
    const char* Error;
  } refused[] = {
      {{{"edits", std::vector<TJson>(10001, {{"route", "delete"}, {"component", "Text1"}})}},
       "too many edits in one batch"},
      {{{"edits", {{{"route", "insert"}, {"class", "TWvText"}}}}},
       "a batch holds property, bounds, parent and delete edits, not \"insert\""},
      {{{"edits", {{{"route", "bounds"}, {"component", "Text1"}}}}}, "width must be an integer"},
  };
  for (const auto& batch : refused) {
    const designtest::THttpReply reply = Request("POST", "/api/batch", batch.Body.dump());
    EXPECT_EQ(reply.Status, 400);
    EXPECT_EQ(TJson::parse(reply.Body), TJson({{"error", batch.Error}}));
  }

  const TJson shared = Post("/api/shared", {{"components", {"Text1", "inner"}}});
  EXPECT_EQ(shared["components"], TJson({"Text1", "Inner"}));
  TJson height, width, font;
  for (const TJson& entry : shared["properties"]) {
    EXPECT_NE(entry["name"], "Name");
    if (entry["name"] == "Height") height = entry;
    if (entry["name"] == "Width") width = entry;
    if (entry["name"] == "Font") font = entry;
  }
  EXPECT_EQ(height, TJson::parse(R"({"name": "Height", "kind": "integer", "value": 20})"));
  EXPECT_EQ(width, TJson::parse(R"({"name": "Width", "kind": "integer", "value": null})"));
  EXPECT_EQ(font["properties"][3], TJson::parse(R"({"name": "Color", "kind": "color", "choices":
      ["clNone", "clBlack", "clMaroon", "clGreen", "clOlive", "clNavy", "clPurple", "clTeal",
       "clGray", "clSilver", "clRed", "clLime", "clYellow", "clBlue", "clFuchsia", "clAqua",
       "clWhite"], "rgb": null, "value": null})"));
  EXPECT_EQ(Request("POST", "/api/shared", R"({"components": ["Text1", "Nobody"]})").Body,
            R"({"error":"The form has no component named Nobody"})");

  const TJson copied = Post("/api/copy", {{"components", {"Panel1"}}});
  ASSERT_TRUE(copied["text"].is_string());
  const TJson pasted = Post(
      "/api/paste", {{"text", copied["text"]}, {"parent", "Page1"}, {"left", 100}, {"top", 90}});
  EXPECT_EQ(pasted["changed"], true);
  EXPECT_EQ(pasted["names"], TJson({"WvPanel1"}));
  const TJson panel = pasted["state"]["design"]["controls"][0]["children"][2];
  EXPECT_EQ(panel["name"], "WvPanel1");
  EXPECT_EQ(panel["left"], 100);
  EXPECT_EQ(panel["children"][0]["name"], "WvText1");
  const TJson notAForm = Post("/api/paste", {{"text", "Panel1"}, {"parent", ""}});
  EXPECT_EQ(notAForm["changed"], false);
  EXPECT_FALSE(notAForm.contains("names"));
  EXPECT_EQ(notAForm["error"].get<std::string>().rfind("Form file: ", 0), 0u);
  EXPECT_EQ(Request("POST", "/api/copy", R"({"components": ["Inner", "Text1"]})").Body,
            R"({"error":"Inner and Text1 are not on the same parent; only components of one )"
            R"(parent are copied together"})");
  EXPECT_EQ(Post("/api/undo", TJson::object())["state"]["version"], 4);
}

// The state tells a form not yet saved (the UI offers a page size for it)
// and why the data-bound parts of the design are empty.
TEST_F(DesignServer, TellsANewFormAndWhyItsDataIsEmpty) {
  const std::string fresh = (folder / "fresh.json").string();
  designtest::WriteFile(file, R"({"form": "Shop", "components": [
      {"class": "TSQLiteQuery", "name": "Products", "properties": {"DatabaseFile": "none.db",
       "SQL": ["SELECT name FROM products"], "Active": true}},
      {"class": "TWvPage", "name": "Page1", "children": [
        {"class": "TWvDBText", "name": "Name", "properties": {"Field": "Products.name"}}]}]})");
  session = std::make_unique<design::TDesignSession>(fresh);
  Start(Rendered);
  const TJson state = TJson::parse(Request("GET", "/api/state").Body);
  EXPECT_EQ(state["new"], true);
  EXPECT_EQ(state["warnings"], TJson::array());
  EXPECT_EQ(Post("/api/bounds", {{"component", "Page1"},
                                 {"left", 0},
                                 {"top", 0},
                                 {"width", 800},
                                 {"height", 600}})["state"]["new"],
            true);
  EXPECT_EQ(Post("/api/save", TJson::object())["state"]["new"], false);
  TearDown();

  session = std::make_unique<design::TDesignSession>(file);
  Start(Rendered);
  EXPECT_EQ(TJson::parse(Request("GET", "/api/state").Body)["warnings"],
            TJson({"Products: cannot open database \"" + (folder / "none.db").string() +
                   "\": unable to open database file"}));
}

TEST_F(DesignServer, TurnsAwayWhatABrowserOfAnotherSiteCouldSend) {
  Start(Rendered);
  designtest::THttpReply form =
      Request("POST", "/api/delete", "component=Page1", "application/x-www-form-urlencoded");
  EXPECT_EQ(form.Status, 415);
  designtest::THttpReply rebound =
      Request("GET", "/api/state", "", "", "attacker.example:" + std::to_string(port));
  EXPECT_EQ(rebound.Status, 403);
  EXPECT_EQ(Request("POST", "/api/delete", "[1, 2]").Status, 400);
  EXPECT_EQ(Request("POST", "/api/delete", "{not json").Status, 400);
  EXPECT_EQ(Request("POST", "/api/bounds", R"({"component": "Text1", "left": "x"})").Status, 400);
  EXPECT_EQ(Request("GET", "/api/state", "", "", "localhost:" + std::to_string(port)).Status, 200);
  EXPECT_NE(session->Form().FindComponent("Page1"), nullptr);
}

TEST_F(DesignServer, SendsPreviewsWithTheirTransparencyAndPalettePictures) {
  Start(Rendered);
  designtest::THttpReply panel = Request("GET", "/preview/Panel1.png");
  EXPECT_EQ(panel.ContentType, "image/png");
  const TPixels pixels = DecodePng(panel.Body);
  ASSERT_EQ(pixels.Width, 200);
  ASSERT_EQ(pixels.Height, 150);
  // The panel's own colour, opaque, inside its dashed frame.
  const std::uint8_t* inside = pixels.At(100, 100);
  EXPECT_EQ((std::vector<int>{inside[0], inside[1], inside[2], inside[3]}),
            (std::vector<int>{0xE0, 0xE8, 0xF0, 255}));
  EXPECT_EQ(Request("GET", "/preview/Nobody.png").Status, 404);
  EXPECT_EQ(Request("GET", "/preview/First.png").Status, 404);  // no control

  const TPixels icon = DecodePng(Request("GET", "/palette/TWvText.png").Body);
  EXPECT_EQ(icon.Width, 32);
  EXPECT_EQ(icon.Height, 32);
  EXPECT_EQ(Request("GET", "/palette/TNothing.png").Status, 404);
}

// Image elements show their pictures in the design as the page shows them
// (stretched, or at their own size and clipped; a data-bound image its
// first record's), and say why when a picture cannot be read.
TEST_F(DesignServer, PaintsThePicturesOfImageElements) {
  TBitmap red(2, 2, TPixelFormat::pf24bit);
  red.Canvas().Brush().Color = clRed;
  red.Canvas().FillRect(TRect{0, 0, 2, 2});
  TMemoryStream png;
  red.SaveToPNGStream(png);
  std::filesystem::create_directories(folder / "pics");
  designtest::WriteFile(folder / "pics" / "red.png", png.ToString());
  designtest::WriteFile(folder / "pics" / "broken.png", "not a picture");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder / "shop.db").c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "CREATE TABLE products (picture GRAPHIC)", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO products VALUES (?)", -1, &insert, nullptr);
  const std::string bytes = png.ToString();
  sqlite3_bind_blob(insert, 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
  sqlite3_finalize(insert);
  sqlite3_close(db);
  const auto image = [](const char* name, const char* more) {
    return std::string(R"({"class": "TWvImage", "name": ")") + name +
           R"(", "properties": {"Width": 40, "Height": 30, )" + more + "}}";
  };
  designtest::WriteFile(
      file, R"({"form": "Pictures", "components": [
      {"class": "TSQLiteQuery", "name": "Products", "properties": {"DatabaseFile": "shop.db",
       "SQL": ["SELECT picture FROM products"], "Active": true}},
      {"class": "TWvPage", "name": "Page1", "children": [)" +
                image("Stretched", R"("ImagePath": "pics/red.png", "Stretch": true)") + "," +
                image("Clipped", R"("ImagePath": "pics/./red.png")") + "," +
                image("Missing", R"("ImagePath": "pics/none.png")") + "," +
                image("Broken", R"("ImagePath": "pics/broken.png")") + "," +
                image("Elsewhere", R"("ImagePath": "/images/logo.gif")") + "," +
                R"({"class": "TWvDBImage", "name": "Data", "properties": {"Width": 40,
         "Height": 30, "Field": "Products.picture", "Stretch": true}}]}]})");
  session = std::make_unique<design::TDesignSession>(file);
  Start(Rendered);
  const struct {
    const char* Name;
    bool RedCorner;  // at (1, 1)
    bool RedCentre;  // at (20, 15)
    const char* Error;
  } cases[] = {
      {"Stretched", true, true, ""},
      {"Clipped", true, false, ""},
      {"Data", true, true, ""},
      {"Missing", false, false,
       "The picture file pics/none.png does not exist in the form's folder"},
      {"Broken", false, false,
       "The picture file pics/broken.png cannot be read: Unknown picture format"},
      {"Elsewhere", false, false,
       "The picture /images/logo.gif is not a file of the form's folder, which is all the design "
       "can show"},
  };
  const auto isRed = [](const std::uint8_t* pixel) {
    return pixel[0] == 255 && pixel[1] == 0 && pixel[2] == 0 && pixel[3] == 255;
  };
  for (const auto& element : cases) {
    const TPixels preview =
        DecodePng(Request("GET", "/preview/" + std::string(element.Name) + ".png").Body);
    ASSERT_EQ(preview.Width, 40) << element.Name;
    EXPECT_EQ(isRed(preview.At(1, 1)), element.RedCorner) << element.Name;
    EXPECT_EQ(isRed(preview.At(20, 15)), element.RedCentre) << element.Name;
    EXPECT_FALSE(isRed(preview.At(0, 0))) << element.Name << ": the outline is drawn on top";
    const TJson described =
        TJson::parse(Request("GET", "/api/component?name=" + std::string(element.Name)).Body);
    EXPECT_EQ(described.value("pictureError", ""), element.Error) << element.Name;
  }
  EXPECT_EQ(DecodePng(Request("GET", "/preview/Clipped.png").Body).At(20, 15)[3], 0)
      << "beside a picture at its own size the page shows through";
}

TEST(DesignPreview, LeavesWhatAControlDoesNotPaintTransparent) {
  RegisterPackage();
  TComponent form(nullptr);
  form.SetDesigning(true);
  LoadFormFromText(R"({"form": "F", "components": [{"class": "TLabel", "name": "Label1",
      "properties": {"Width": 60, "Height": 20, "Caption": "", "Transparent": true}},
      {"class": "TWvPanel", "name": "Empty", "properties": {"Width": 0, "Height": 10}}]})",
                   form);
  const TPixels label =
      DecodePng(design::PaintPreviewPng(dynamic_cast<TControl&>(*form.FindComponent("Label1"))));
  ASSERT_EQ(label.Width, 60);
  EXPECT_EQ(label.At(30, 10)[3], 0);
  EXPECT_EQ(design::PaintPreviewPng(dynamic_cast<TControl&>(*form.FindComponent("Empty"))), "");
}

TEST_F(DesignServer, RendersThroughTheCallerAndCachesPerVersion) {
  int renders = 0;
  Start([&](const std::string& text, const std::string& formFile) {
    ++renders;
    EXPECT_EQ(formFile, file);
    if (text.find("Broken") != std::string::npos)
      return design::TRenderResult{false, "", "a <b> & c"};
    return Rendered(text, formFile);
  });
  designtest::THttpReply first = Request("GET", "/page/");
  EXPECT_EQ(first.ContentType, "text/html; charset=iso-8859-1");
  EXPECT_EQ(first.Body, "<HTML>" + std::to_string(session->Text().size()) + "</HTML>");
  Request("GET", "/page/");
  EXPECT_EQ(renders, 1);
  Post("/api/rename", {{"component", "Text1"}, {"name", "Broken"}});
  designtest::THttpReply broken = Request("GET", "/page/");
  EXPECT_EQ(broken.Status, 500);
  EXPECT_EQ(broken.Body,
            "<!DOCTYPE html><html><body><pre style=\"color:#a00\">The page cannot be "
            "rendered:\na &lt;b&gt; &amp; c</pre></body></html>");
  EXPECT_EQ(renders, 2);
}

// The page names two pictures beside the form, one of them through a link
// that stays in the folder, and a file reached through a link out of it;
// it only links to the database. Nothing else of the folder is served.
TEST_F(DesignServer, ServesOnlyThePicturesTheRenderedPageNames) {
  namespace fs = designtest::fs;
  Start([](const std::string&, const std::string&) {
    return design::TRenderResult{
        true,
        "<BODY BACKGROUND=\"back%20ground.gif\"><IMG SRC=\"images/plan.PNG\">"
        "<IMG SRC='./images/inside.png'><IMG SRC=sub/pw.txt><A HREF=\"shop.db\">db</A>"
        "<IMG SRC=\"/images/AG1.gif\"></BODY>",
        ""};
  });
  fs::create_directories(folder / "images");
  fs::create_directories(folder / "sub");
  designtest::WriteFile(folder / "images" / "plan.PNG", "picture bytes");
  designtest::WriteFile(folder / "back ground.gif", "GIF89a");
  designtest::WriteFile(folder / "shop.db", "SQLite format 3");
  designtest::WriteFile(folder.parent_path() / "secret.txt", "not for the page");
  fs::create_symlink(folder / "images" / "plan.PNG", folder / "images" / "inside.png");
  fs::create_symlink(folder.parent_path() / "secret.txt", folder / "sub" / "pw.txt");

  const struct {
    const char* Path;
    int Status;
    const char* Type;
  } cases[] = {
      {"/page/images/plan.PNG", 200, "image/png"},
      {"/page/back%20ground.gif", 200, "image/gif"},
      {"/page/images/inside.png", 200, "image/png"},  // a link within the folder
      {"/page/sub/pw.txt", 404, ""},                  // a link out of it
      {"/page/shop.db", 404, ""},                     // linked to, not shown
      {"/page/form.json", 404, ""},
      {"/page/shop.db%00.html", 400, "application/json"},
      {"/page/images/plan.PNG%00", 400, "application/json"},
      {"/page/images/plan%0a.PNG", 400, "application/json"},
      {"/page/images/plan%7f.PNG", 400, "application/json"},
      {"/page/images", 404, ""},
      {"/page/images/none.png", 404, ""},
      {"/page/%2e%2e/secret.txt", 404, ""},
      {"/page//etc/passwd", 404, ""},
  };
  for (const auto& c : cases) {
    const designtest::THttpReply reply = Request("GET", c.Path);
    EXPECT_EQ(reply.Status, c.Status) << c.Path;
    EXPECT_EQ(reply.ContentType, c.Type) << c.Path;
    if (c.Status == 200) {
      EXPECT_EQ(reply.Body.substr(0, 3), c.Path[6] == 'b' ? "GIF" : "pic") << c.Path;
    }
  }
}

// Every answer tells the browser not to guess its type; the designer's own
// pages (not the rendered page, which is the user's) carry a policy that
// lets them load only their own script, styles and pictures.
TEST_F(DesignServer, MarksEveryAnswerAndGivesItsOwnPagesAPolicy) {
  Start(Rendered);
  const struct {
    const char* Path;
    bool WithToken;
    int Status;
    bool Policy;
  } cases[] = {
      {"/", true, 200, true},
      {"/designer.js", true, 200, true},
      {"/designer.css", true, 200, true},
      {"/api/state", true, 200, true},
      {"/preview/Panel1.png", true, 200, true},
      {"/nothing", true, 404, true},
      {"/api/state", false, 403, true},
      {"/page/", true, 200, false},
      {"/page/none.gif", true, 404, false},
  };
  for (const auto& c : cases) {
    const designtest::THttpReply reply =
        c.WithToken ? Request("GET", c.Path) : HttpRequest(port, "GET", c.Path);
    EXPECT_EQ(reply.Status, c.Status) << c.Path;
    EXPECT_EQ(reply.Header("X-Content-Type-Options"), "nosniff") << c.Path;
    EXPECT_EQ(reply.Header("Content-Security-Policy")
                      .rfind("default-src 'none'; script-src 'self';", 0) == 0,
              c.Policy)
        << c.Path;
  }
}

// Only the token printed at start opens the designer: in the address, which
// sets a cookie of this port's own name, or in that cookie.
TEST_F(DesignServer, AnswersOnlyRequestsThatCarryItsToken) {
  Start(Rendered);
  const std::string token = server->Token();
  ASSERT_EQ(token.size(), 64u);
  EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
  std::string wrong = token;
  wrong[63] = wrong[63] == '0' ? '1' : '0';
  const std::string cookie = "tavkit-design-" + std::to_string(port);
  const struct {
    std::string Path;
    std::string Headers;
    int Status;
  } cases[] = {
      {"/api/state", "", 403},
      {"/", "", 403},
      {"/page/", "", 403},
      {"/api/state?token=", "", 403},
      {"/api/state?token=" + wrong, "", 403},
      {"/api/state?token=" + token.substr(0, 32), "", 403},
      {"/api/state", "Cookie: " + cookie + "=" + wrong + "\r\n", 403},
      {"/api/state", "Cookie: tavkit-design-1=" + token + "\r\n", 403},
      {"/api/state?token=" + token, "", 200},
      {"/api/state", "Cookie: a=b; " + cookie + "=" + token + "\r\n", 200},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HttpRequest(port, "GET", c.Path, "", "", "", c.Headers).Status, c.Status)
        << c.Path << " " << c.Headers;
  EXPECT_EQ(HttpRequest(port, "POST", "/api/delete", R"({"component": "Page1"})").Status, 403);
  // Turned away before a byte of the announced body is read.
  EXPECT_EQ(
      HttpRequest(port, "GET", "/api/state", "", "", "", "Content-Length: 50000000\r\n").Status,
      403);
  EXPECT_NE(session->Form().FindComponent("Page1"), nullptr);

  const designtest::THttpReply opened = HttpRequest(port, "GET", "/?token=" + token);
  EXPECT_EQ(opened.Status, 200);
  EXPECT_EQ(opened.Header("Set-Cookie"),
            cookie + "=" + token + "; Path=/; HttpOnly; SameSite=Strict");
}

std::string Repeat(const std::string& text, int times) {
  std::string repeated;
  for (int i = 0; i < times; ++i) repeated += text;
  return repeated;
}

// Bodies are bounded before anything is built from them: a value or a path
// nested 100,000 deep is refused as a form file would be, a body larger
// than a form file is not read, and the design stays as it was.
TEST_F(DesignServer, RefusesBodiesNestedTooDeepOrTooLarge) {
  Start(Rendered);
  const std::string before = session->Text();
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  const std::string limit = std::to_string(MaxFormJsonDepth);
  const struct {
    std::string Body;
    int Status;
    std::string Error;
  } cases[] = {
      {R"({"component": "Text1", "path": ["Text"], "value": )" + deep + "}", 400,
       "Request body: values are nested deeper than " + limit + " levels"},
      {R"({"component": "Text1", "path": )" + deep + R"(, "value": 1})", 400,
       "Request body: values are nested deeper than " + limit + " levels"},
      {R"({"component": "Text1", "path": ["Text"], "value": )" + Repeat(R"({"a": )", 300) + "1" +
           std::string(300, '}') + "}",
       400, "Request body: values are nested deeper than " + limit + " levels"},
      {R"({"component": "Text1", "path": ["Text"], "value": )" + std::string(250, '[') +
           std::string(250, ']') + "}",
       200, ""},
  };
  for (const auto& c : cases) {
    const designtest::THttpReply reply = Request("POST", "/api/property", c.Body);
    EXPECT_EQ(reply.Status, c.Status) << c.Body.substr(0, 60);
    if (!c.Error.empty()) {
      EXPECT_EQ(TJson::parse(reply.Body)["error"], c.Error);
    }
  }
  const std::string huge(static_cast<std::size_t>(MaxFormFileSize) + 1, ' ');
  EXPECT_EQ(Request("POST", "/api/property", huge).Status, 413);
  EXPECT_EQ(session->Text(), before);
  EXPECT_EQ(Request("GET", "/api/state").Status, 200);
}

// A second server on a port in use fails, rather than sharing the port and
// answering every other request.
TEST_F(DesignServer, ASecondServerOnTheSamePortFails) {
  Start(Rendered);
  design::TDesignServer second(*session, Rendered, "");
  try {
    second.Bind(port);
    ADD_FAILURE() << "two servers listen on port " << port;
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "port " + std::to_string(port) + " is in use");
  }
  EXPECT_EQ(Request("GET", "/api/state").Status, 200);
}

// The renderer runs tavkit render itself: the same bytes as the page's put
// in a fresh program, and its messages name the form, not the copy.
TEST(DesignRenderer, GivesWhatTavkitRenderWrites) {
  RegisterPackage();
  const auto folder = designtest::ScratchFolder("design-renderer");
  const std::string file = (folder / "form.json").string();
  design::TPageRenderer renderer(TAVKIT_PROGRAM, (folder.parent_path() / "images/").string(),
                                 "/images/");

  const design::TRenderResult result = renderer.Render(designtest::kTestForm, file);
  ASSERT_TRUE(result.Ok) << result.Error;
  TComponent form(nullptr);
  LoadFormFromText(designtest::kTestForm, form);
  EXPECT_EQ(result.Html, dynamic_cast<TWvPage&>(*form.FindComponent("Page1")).put(nullptr));

  const design::TRenderResult broken = renderer.Render(R"({"form": "F", "components": [
      {"class": "TWvPage", "name": "P", "properties": {"Nothing": 1}}]})",
                                                       file);
  EXPECT_FALSE(broken.Ok);
  EXPECT_EQ(broken.Error, "error: Form file " + file +
                              ": component P (TWvPage): unknown property Nothing of class TWvPage");

  // A link planted where a copy of a fixed name would go is not written
  // through: copies get fresh names.
  const auto victim = folder.parent_path() / "victim.txt";
  designtest::WriteFile(victim, "someone else's");
  const auto planted = folder / (".form.json.render-" + std::to_string(getpid()) + ".json");
  designtest::fs::create_symlink(victim, planted);
  EXPECT_TRUE(renderer.Render(designtest::kTestForm, file).Ok);
  EXPECT_EQ(testsupport::ReadText(victim), "someone else's");
  designtest::fs::remove(planted);
  // The copies made for the renderer are gone.
  EXPECT_EQ(std::distance(designtest::fs::directory_iterator(folder),
                          designtest::fs::directory_iterator()),
            0);
}

}  // namespace
}  // namespace tavkit

// The tavkit command as a user runs it: exit codes, the one-line errors,
// and render and cgi writing exactly the page's document.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <tavkit/core/WvOptimizer.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include "tools/TavkitProgram.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using tooltest::Outcome;

class TavkitCommand : public tooltest::TavkitProgramTest {
 protected:
  TavkitCommand() : TavkitProgramTest("tavkit-command") {}

  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return "'" + (dir / name).string() + "'";
  }
};

const std::string kTinyForm = R"({"form": "F", "components": [
  {"class": "TWvPage", "name": "P", "properties": {"Width": 20, "Height": 10, "PageTitle": "T"}},
  {"class": "TWvPage", "name": "Q", "properties": {"Width": 30, "Height": 5}}]})";

const std::string kTinyPage =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE>T</TITLE>"
    "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\">"
    "<script language=\"JavaScript\">\r\n</script></HEAD><BODY BGCOLOR=\"#FFFFFF\" "
    "LINK=\"#000000\" VLINK=\"000000\" TEXT=\"000000\"  ><TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 "
    "CELLSPACING=0 CELLPADDING=0 WIDTH=20><TR VALIGN=\"top\" ALIGN=\"left\">"
    "<TD HEIGHT=10 WIDTH=20 ></TD><TD></TD></TR></TABLE></BODY></HTML>";

TEST_F(TavkitCommand, RenderWritesThePageAndNothingElse) {
  std::string form = Write("tiny.json", kTinyForm);
  Outcome run = Tavkit("render " + form);
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, kTinyPage);
  EXPECT_EQ(run.Err, "");

  run = Tavkit("render --page Q " + form);
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("WIDTH=30><TR"), std::string::npos);
}

TEST_F(TavkitCommand, CgiSendsTheSameDocumentBehindItsHeader) {
  std::string form = Write("tiny.json", kTinyForm);
  Outcome run = Tavkit("cgi " + form, "REQUEST_METHOD=GET QUERY_STRING=a=1");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "Content-Type: text/html\r\n\r\n" + kTinyPage + "\r\n");
}

TEST_F(TavkitCommand, TheExampleRendersAsTheLibraryWritesIt) {
  const std::string example = TAVKIT_SOURCE_DIR "/examples/hello.json";
  RegisterPackage();
  TComponent form(nullptr);
  LoadForm(example, form);
  TWvPage* page = nullptr;
  TWvCustomOptimizer* optimizer = nullptr;
  for (int i = 0; i < form.ComponentCount(); ++i) {
    if (page == nullptr) page = dynamic_cast<TWvPage*>(form.Components(i));
    if (optimizer == nullptr) optimizer = dynamic_cast<TWvCustomOptimizer*>(form.Components(i));
  }
  ASSERT_NE(page, nullptr);
  ASSERT_NE(optimizer, nullptr);
  std::string styled = page->put(optimizer);
  std::string plain = page->put(nullptr);
  EXPECT_NE(styled, plain);

  Outcome run = Tavkit("render '" + example + "'");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, styled);
  run = Tavkit("render --no-optimizer '" + example + "'");
  EXPECT_EQ(run.Out, plain);
}

TEST_F(TavkitCommand, EveryExampleFormRendersAndPreviews) {
  int pages = 0;
  for (const auto& entry : fs::directory_iterator(TAVKIT_SOURCE_DIR "/examples")) {
    if (entry.path().extension() != ".json") continue;
    ++pages;
    std::string form = "'" + entry.path().string() + "'";
    Outcome run = Tavkit("render " + form);
    EXPECT_EQ(run.Status, 0) << entry.path() << ": " << run.Err;
    EXPECT_EQ(run.Out.rfind("<!DOCTYPE HTML PUBLIC", 0), 0u) << entry.path();
    run = Tavkit("preview " + form + " -o '" + (dir / "preview.png").string() + "'");
    EXPECT_EQ(run.Status, 0) << entry.path() << ": " << run.Err;
  }
  EXPECT_GE(pages, 2);
}

TEST_F(TavkitCommand, FailuresAreOneLineAndUsageErrorsExitTwo) {
  Outcome run = Tavkit("render '" + (dir / "missing.json").string() + "'");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err.rfind("error: ", 0), 0u) << run.Err;
  EXPECT_EQ(run.Err.find('\n'), run.Err.size() - 1) << run.Err;

  std::string form = Write("tiny.json", kTinyForm);
  run = Tavkit("render --page Nope " + form);
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "error: the form has no page named Nope\n");

  std::string bad =
      Write("bad.json", R"({"form": "F", "components": [{"class": "TNoSuch", "name": "X"}]})");
  run = Tavkit("render " + bad);
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("TNoSuch"), std::string::npos) << run.Err;

  EXPECT_EQ(Tavkit("render").Status, 2);
  EXPECT_EQ(Tavkit("render --bogus " + form).Status, 2);
  EXPECT_EQ(Tavkit("render --page").Status, 2);
  EXPECT_EQ(Tavkit("no-such-command").Status, 2);
}

TEST_F(TavkitCommand, PreviewPaintsThePageOrOneComponent) {
  std::string form = Write("boxes.json", R"({"form": "F", "components": [
    {"class": "TWvPage", "name": "P", "properties": {"Width": 40, "Height": 30}, "children": [
      {"class": "TWvPanel", "name": "Box", "properties": {"Left": 10, "Top": 5, "Width": 20,
       "Height": 20, "BackGroundColor": "clRed"}}]}]})");
  std::string png = (dir / "page.png").string();
  Outcome run = Tavkit("preview " + form + " -o '" + png + "'");
  ASSERT_EQ(run.Status, 0) << run.Err;
  TBitmap picture;
  TFileStream in(png, fmOpenRead);
  picture.LoadFromPNGStream(in);
  EXPECT_EQ(picture.GetWidth(), 40);
  EXPECT_EQ(picture.GetHeight(), 30);
  EXPECT_EQ(picture.GetPixel(20, 20), clRed);   // the panel's inside
  EXPECT_EQ(picture.GetPixel(10, 6), clAqua);   // its dashed frame, red inverted
  EXPECT_EQ(picture.GetPixel(5, 28), clWhite);  // the page around it

  std::string one = (dir / "box.png").string();
  run = Tavkit("preview --component Box " + form + " -o '" + one + "'");
  ASSERT_EQ(run.Status, 0) << run.Err;
  TBitmap box;
  TFileStream boxIn(one, fmOpenRead);
  box.LoadFromPNGStream(boxIn);
  EXPECT_EQ(box.GetWidth(), 20);
  EXPECT_EQ(box.GetPixel(10, 15), clRed);

  EXPECT_EQ(Tavkit("preview " + form).Status, 2);
  run = Tavkit("preview --component Nope " + form + " -o '" + one + "'");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "error: the form has no control named Nope\n");
}

TEST_F(TavkitCommand, HelpListsTheOptions) {
  Outcome run = Tavkit("render --help");
  EXPECT_EQ(run.Status, 0);
  EXPECT_NE(run.Out.find("--image-dir DIR"), std::string::npos);
  run = Tavkit("--help");
  EXPECT_EQ(run.Status, 0);
  EXPECT_NE(run.Out.find("render"), std::string::npos);
  EXPECT_NE(run.Out.find("cgi"), std::string::npos);
}

}  // namespace
}  // namespace tavkit

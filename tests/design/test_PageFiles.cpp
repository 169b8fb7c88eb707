// The files a rendered page names beside itself, which are all the designer
// serves of the form's folder: what counts as a reference, and the names
// that must never reach a file outside the folder.
#include <gtest/gtest.h>

#include "design/PageFiles.h"

namespace tavkit {
namespace {

using Names = std::set<std::string>;

TEST(DesignPageFiles, FindsThePicturesAPageNamesBesideItself) {
  const struct {
    const char* Html;
    Names Files;
  } cases[] = {
      {R"(<IMG SRC="a.gif">)", {"a.gif"}},
      {R"(<img src='images/b.png' alt="x">)", {"images/b.png"}},
      {R"(<IMG SRC=c.gif WIDTH=10>)", {"c.gif"}},
      {R"(<BODY BACKGROUND="back.gif"><TD BACKGROUND="cell.gif">)", {"back.gif", "cell.gif"}},
      {R"(<INPUT TYPE="IMAGE" SRC="go.gif">)", {"go.gif"}},
      {R"(<IMG SRC = "spaced.gif">)", {"spaced.gif"}},
      {R"(<IMG SRC="a%20b.gif"><IMG SRC="x.gif?v=2#top">)", {"a b.gif", "x.gif"}},
      {R"(<IMG SRC="x&amp;y.gif">)", {"x&y.gif"}},
      {R"(<IMG SRC="./d/../e.gif"><IMG SRC="/page/f.gif">)", {"e.gif", "f.gif"}},
      // Not files of the form's folder.
      {R"(<IMG SRC="/images/AG1.gif"><IMG SRC="http://x.example/a.gif">)", {}},
      {R"(<IMG SRC="//x.example/a.gif"><IMG SRC="data:image/gif;base64,R0lG">)", {}},
      {R"(<IMG SRC="../secret.txt"><IMG SRC="a/../../b.txt"><IMG SRC="%2e%2e/c.txt">)", {}},
      {R"(<A HREF="shop.db">db</A><APPLET CODE="A.class"><LINK HREF="s.css">)", {}},
      {R"(<IMG ALT="SRC=fake.gif"><IMG DATA-SRC="g.gif">)", {}},
      {R"(<P>1 < 2 and SRC="h.gif"</P>)", {}},
      {R"(<IMG SRC=")", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(design::PageFiles(c.Html), c.Files) << c.Html;
}

TEST(DesignPageFiles, NormalisesRequestedNamesAndRefusesClimbingOut) {
  const struct {
    const char* Requested;
    const char* Name;
  } cases[] = {
      {"a.gif", "a.gif"},
      {"images//b.gif", "images/b.gif"},
      {"./c.gif", "c.gif"},
      {"d/../e.gif", "e.gif"},
      {"../f.gif", ""},
      {"g/../../h.gif", ""},
      {"/etc/passwd", "etc/passwd"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(design::NormalPageName(c.Requested), c.Name) << c.Requested;
}

}  // namespace
}  // namespace tavkit

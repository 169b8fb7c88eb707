// The demo shop end to end: the program behind lighttpd, nginx and Apache on
// 127.0.0.1, asked directly over HTTP and driven through headless Chromium.
// The browser loads the page, searches with the form sent as GET and as POST
// and follows a result link; every element must stand within two pixels of
// its place in the form file, and every picture must be a GIF the codec
// reads back.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <tavkit/gif/GIF.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/formfile/FormFile.h>
#include "DemoServer.h"
#include "HeadlessBrowser.h"
#include "TestSupport.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using demotest::DemoServer;
using demotest::HttpReply;
using demotest::HttpRequest;
using nlohmann::json;

// The two server images of a page, in the order the page refers to them.
std::vector<std::string> ImageNames(const std::string& page) {
  std::vector<std::string> names;
  const std::regex name("/images/(AG[0-9]+_[0-9]+\\.gif)");
  for (std::sregex_iterator it(page.begin(), page.end(), name), end; it != end; ++it)
    names.push_back((*it)[1].str());
  return names;
}

// The whole page for the visitor Ann Lee searching for "p": four results,
// the first of them (Apple) in the panel, the matching bars highlighted.
std::string SearchPage(const std::string& picture, const std::string& chart) {
  return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE>Tavkit demo shop"
         "</TITLE><META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\">"
         "<script language=\"JavaScript\">\r\n</script>"
         "<STYLE TYPE=\"text/css\" media=\"SCREEN\">.T0{font :  bold 23pt  ARIAL,SYSTEM;color : "
         "#000080;background-color : #FFFFFF; text-align : Left;}.T1{font :  italic 12pt  "
         "ARIAL,SYSTEM;color : #000000;background-color : #FFFFFF; text-align : Left;}.T2{font :  "
         "10pt  ARIAL,SYSTEM;color : #000000;background-color : #F0F0F8; text-align : "
         "Left;}.T3{font :  bold 10pt  ARIAL,SYSTEM;color : #000000;background-color : #FFFFFF; "
         "text-align : Left;}.T4{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : "
         "#FFF8E0; text-align : Left;}.T5{font :  bold 14pt  ARIAL,SYSTEM;color : "
         "#000000;background-color : #FFF8E0; text-align : Left;}.T6{font :  bold 10pt  "
         "ARIAL,SYSTEM;color : #FFFFFF;background-color : #000080; text-align : Center;}.T7{font : "
         " 10pt  ARIAL,SYSTEM;color : #000000;background-color : #EEEEEE; text-align : "
         "Left;}.T8{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : #EEEEEE; "
         "text-align : Right;}.T9{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : "
         "#FFFFFF; text-align : Left;}.T10{font :  10pt  ARIAL,SYSTEM;color : "
         "#000000;background-color : #FFFFFF; text-align : Right;}.T11{font :  10pt  "
         "ARIAL,SYSTEM;color : #000000;background-color : #EEEEEE; text-align : Center;}.T12{font "
         ":  10pt  ARIAL,SYSTEM;color : #000000;background-color : #FFFFFF; text-align : "
         "Center;}.T13{font :  12pt  ARIAL,SYSTEM;color : #0000C0;background-color : #FFFFFF; "
         "text-align : Left; text-decoration : underline ;}"
         "</STYLE></HEAD>"
         "<BODY BGCOLOR=\"#FFFFFF\" LINK=\"#0000C0\" VLINK=\"000000\" TEXT=\"000000\"  >"
         "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=760>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 WIDTH=20 ></TD>"
         "<TD HEIGHT=10 WIDTH=200 ></TD><TD HEIGHT=10 WIDTH=140 ></TD><TD HEIGHT=10 WIDTH=40 >"
         "</TD><TD HEIGHT=10 WIDTH=340 ></TD><TD HEIGHT=10 WIDTH=20 ></TD><TD></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=36 ></TD>"
         "<TD  HEIGHT=36  COLSPAN=4  class=\"T0\" > <A NAME=\"Heading\"></A>The Tavkit demo shop"
         "<br></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=4 ></TD><TD COLSPAN=5></TD>"
         "</TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=24 ></TD>"
         "<TD  HEIGHT=24  COLSPAN=4  class=\"T1\" > <A NAME=\"Greeting\">"
         "</A>Hello, Ann Lee! Here is what we found for you.<br></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD><TD COLSPAN=5></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=60 ></TD>"
         "<TD  HEIGHT=60  COLSPAN=4 BGCOLOR=\"#F0F0F8\" >"
         "<TABLE BGCOLOR=\"#F0F0F8\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=720>"
         "<FORM NAME=\"search\" ACTION=\"/demo\" METHOD=GET><TR VALIGN=\"top\" ALIGN=\"left\">"
         "<TD HEIGHT=15 WIDTH=10 ></TD><TD HEIGHT=15 WIDTH=80 ></TD><TD HEIGHT=15 WIDTH=190 >"
         "</TD><TD HEIGHT=15 WIDTH=20 ></TD><TD HEIGHT=15 WIDTH=70 ></TD>"
         "<TD HEIGHT=15 WIDTH=190 ></TD><TD HEIGHT=15 WIDTH=20 ></TD><TD HEIGHT=15 WIDTH=120 >"
         "</TD><TD HEIGHT=15 WIDTH=20 ></TD><TD></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\">"
         "<TD HEIGHT=3 ></TD><TD COLSPAN=6></TD><TD  HEIGHT=3 ROWSPAN=3   >"
         "<INPUT TYPE=SUBMIT VALUE=\"Search\" BORDER=0   ></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=24 ></TD>"
         "<TD  HEIGHT=24    class=\"T2\" >Your name<br></TD><TD  HEIGHT=24    >"
         "<INPUT TYPE=\"text\" NAME=\"visitor\" VALUE=\"Ann Lee\" SIZE=20 MAXLENGTH=40     >"
         "</TD><TD></TD><TD  HEIGHT=24    class=\"T2\" >Product<br></TD><TD  HEIGHT=24    >"
         "<INPUT TYPE=\"text\" NAME=\"q\" VALUE=\"p\" SIZE=20 MAXLENGTH=40     ></TD><TD></TD>"
         "</TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=3 ></TD><TD COLSPAN=6></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=15 ></TD><TD COLSPAN=8></TD></TR></FORM>"
         "</TABLE></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=16 ></TD><TD COLSPAN=5>"
         "</TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=24 ></TD>"
         "<TD  HEIGHT=24  COLSPAN=2  class=\"T3\" > <A NAME=\"ResultNote\">"
         "</A>4 products match \"p\":<br></TD><TD></TD>"
         "<TD  HEIGHT=24 ROWSPAN=3  BGCOLOR=\"#FFF8E0\" > <A NAME=\"Detail\"></A>"
         "<TABLE BGCOLOR=\"#FFF8E0\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=340>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 WIDTH=10 ></TD>"
         "<TD HEIGHT=10 WIDTH=60 ></TD><TD HEIGHT=10 WIDTH=180 ></TD><TD HEIGHT=10 WIDTH=20 >"
         "</TD><TD HEIGHT=10 WIDTH=48 ></TD><TD HEIGHT=10 WIDTH=22 ></TD><TD></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD>"
         "<TD  HEIGHT=10 ROWSPAN=2 COLSPAN=2  class=\"T4\" >Product of the day<br></TD>"
         "<TD COLSPAN=3></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD><TD>"
         "</TD><TD  HEIGHT=10 ROWSPAN=3   > <A NAME=\"DetailPicture\"></A>"
         "<IMG SRC=\"/images/" +
         picture +
         "\" WIDTH =48 HEIGHT =48    BORDER=0 ></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD><TD COLSPAN=3></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=28 ></TD>"
         "<TD  HEIGHT=28 ROWSPAN=2 COLSPAN=2  class=\"T5\" >Apple<br></TD><TD></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=2 ></TD><TD COLSPAN=3></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD><TD COLSPAN=5></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=20 ></TD>"
         "<TD  HEIGHT=20    class=\"T4\" >Price<br></TD><TD  HEIGHT=20    class=\"T4\" >0.45<br>"
         "</TD><TD COLSPAN=3></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD>"
         "<TD COLSPAN=5></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=20 ></TD>"
         "<TD  HEIGHT=20    class=\"T4\" >Since<br></TD>"
         "<TD  HEIGHT=20    class=\"T4\" >2024-03-01<br></TD><TD COLSPAN=3></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=36 ></TD><TD COLSPAN=5></TD></TR></TABLE>"
         "</TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=2 ></TD><TD COLSPAN=3></TD>"
         "</TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=140 ></TD>"
         "<TD  HEIGHT=140  COLSPAN=2  > <A NAME=\"Results\"></A>"
         "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ><TR VALIGN=\"top\" ALIGN=\"left\" >"
         "<TD height=20 width=220 CLASS=\"T6\">Product</TD>"
         "<TD height=20 width=120 CLASS=\"T6\">Price</TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"T9\"><TD height=20>"
         "<A HREF=\"?visitor=Ann+Lee&q=p&product=1\"   ><font color=#000000>Apple</font></A>"
         "</TD><TD CLASS=\"T10\">0.45</TD></TR><TR VALIGN=\"top\" ALIGN=\"left\" class=\"T7\">"
         "<TD height=20><A HREF=\"?visitor=Ann+Lee&q=p&product=2\"   ><font color=#000000>Pear"
         "</font></A></TD><TD CLASS=\"T8\">0.60</TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"T9\"><TD height=20>"
         "<A HREF=\"?visitor=Ann+Lee&q=p&product=3\"   ><font color=#000000>Plum</font></A>"
         "</TD><TD CLASS=\"T10\">0.30</TD></TR><TR VALIGN=\"top\" ALIGN=\"left\" class=\"T7\">"
         "<TD height=20><A HREF=\"?visitor=Ann+Lee&q=p&product=5\"   >"
         "<font color=#000000>Blueberry punnet</font></A></TD><TD CLASS=\"T8\">2.95</TD></TR>"
         "</TABLE></TD><TD></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=24 ></TD>"
         "<TD COLSPAN=5></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=24 ></TD>"
         "<TD  HEIGHT=24  COLSPAN=2  class=\"T3\" >The catalogue, straight from the database:"
         "<br></TD><TD></TD><TD  HEIGHT=24    class=\"T3\" >Our prices, drawn on the server:<br>"
         "</TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=2 ></TD><TD COLSPAN=5></TD>"
         "</TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=140 ></TD>"
         "<TD  HEIGHT=140  COLSPAN=2  > <A NAME=\"Catalogue\"></A>"
         "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ><TR VALIGN=\"top\" ALIGN=\"left\" >"
         "<TD height=20 width=140 CLASS=\"T6\">Product</TD>"
         "<TD height=20 width=80 CLASS=\"T6\">Price</TD>"
         "<TD height=20 width=120 CLASS=\"T6\">Added</TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"T12\"><TD height=20>Apple</TD><TD>0.45</TD>"
         "<TD>2024-03-01</TD></TR><TR VALIGN=\"top\" ALIGN=\"left\" class=\"T11\">"
         "<TD height=20>Pear</TD><TD>0.6</TD><TD>2024-03-04</TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"T12\"><TD height=20>Plum</TD><TD>0.3</TD>"
         "<TD>2024-04-12</TD></TR><TR VALIGN=\"top\" ALIGN=\"left\" class=\"T11\">"
         "<TD height=20>Orange</TD><TD>0.55</TD><TD>2024-05-20</TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\" class=\"T12\"><TD height=20>Blueberry punnet</TD>"
         "<TD>2.95</TD><TD>2024-06-02</TD></TR></TABLE></TD><TD></TD>"
         "<TD  HEIGHT=140 ROWSPAN=2   > <A NAME=\"PriceGraph\"></A>"
         "<IMG SRC=\"/images/" +
         chart +
         "\"    BORDER=0 ></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\">"
         "<TD HEIGHT=40 ></TD><TD COLSPAN=3></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\">"
         "<TD HEIGHT=34 ></TD><TD COLSPAN=5></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\">"
         "<TD HEIGHT=24 ></TD><TD  HEIGHT=24    class=\"T13\" ><A HREF=\"?\"   >"
         "<font color=#0000C0>Start again<br></font></A></TD><TD COLSPAN=4></TD></TR>"
         "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=26 ></TD><TD COLSPAN=5></TD></TR></TABLE>"
         "</BODY></HTML>\r\n";
}

// Reads a server image the way a browser gets it and decodes it with the
// library's codec; returns its size, or (-1, -1) after reporting a failure.
std::pair<int, int> DecodedSize(int port, const std::string& source) {
  const HttpReply reply = HttpRequest(port, "GET", source);
  EXPECT_EQ(reply.Status, 200) << source;
  EXPECT_EQ(reply.ContentType, "image/gif") << source;
  TGIFImage image;
  TMemoryStream stream(std::vector<std::uint8_t>(reply.Body.begin(), reply.Body.end()));
  try {
    image.LoadFromStream(stream);
  } catch (const std::exception& error) {
    ADD_FAILURE() << source << ": " << error.what();
    return {-1, -1};
  }
  EXPECT_EQ(image.GetImages().GetCount(), 1) << source;
  return {image.GetWidth(), image.GetHeight()};
}

class DemoSite : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = demotest::FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    server = std::make_unique<DemoServer>(folder / "site");
  }
  void TearDown() override { server.reset(); }

  fs::path folder;
  std::unique_ptr<DemoServer> server;
};

// The page searched for with GET and with POST through the server on port:
// byte for byte the page expected, with two new pictures each.
void ExpectSearchPages(int port) {
  const HttpReply get = HttpRequest(port, "GET", "/demo?visitor=Ann+Lee&q=p");
  const HttpReply post = HttpRequest(port, "POST", "/demo", "visitor=Ann+Lee&q=p");
  for (const HttpReply* reply : {&get, &post}) {
    EXPECT_EQ(reply->Status, 200);
    EXPECT_EQ(reply->ContentType, "text/html");
    const std::vector<std::string> images = ImageNames(reply->Body);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(reply->Body, SearchPage(images[0], images[1]));
    EXPECT_EQ(DecodedSize(port, "/images/" + images[0]), std::make_pair(48, 48));
    EXPECT_EQ(DecodedSize(port, "/images/" + images[1]), std::make_pair(340, 180));
  }
  // Every request draws its pictures anew under names of their own.
  std::set<std::string> names;
  for (const HttpReply* reply : {&get, &post})
    for (const std::string& name : ImageNames(reply->Body)) names.insert(name);
  EXPECT_EQ(names.size(), 4u);
}

TEST_F(DemoSite, GetAndPostGiveTheSamePageWithNewPictures) {
  ExpectSearchPages(server->Port());
}

TEST_F(DemoSite, OldPicturesAreCleanedUpAndFreshOnesKept) {
  const fs::path images = server->Site() / "images";
  for (const char* name : {"AG1_1.gif", "AG2_2.gif", "keep.gif"})
    std::ofstream(images / name) << "x";
  const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(images / "AG1_1.gif", hourAgo);
  fs::last_write_time(images / "keep.gif", hourAgo);
  ASSERT_EQ(HttpRequest(server->Port(), "GET", "/demo").Status, 200);
  // A worker cleans up beside its requests, not before answering.
  EXPECT_TRUE(testsupport::WaitUntil([&] { return !fs::exists(images / "AG1_1.gif"); },
                                     [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }));
  EXPECT_TRUE(fs::exists(images / "AG2_2.gif"));
  EXPECT_TRUE(fs::exists(images / "keep.gif"));  // not one of the server's pictures
}

TEST_F(DemoSite, TheProgramAloneIsServedNotItsFormOrDatabase) {
  EXPECT_EQ(HttpRequest(server->Port(), "GET", "/demo.json").Status, 404);
  EXPECT_EQ(HttpRequest(server->Port(), "GET", "/shop.db").Status, 404);
  const HttpReply root = HttpRequest(server->Port(), "GET", "/");
  EXPECT_EQ(root.Status, 301);
}

TEST(ServeDemo, TheCgiWayServesTheSamePage) {
  const fs::path folder = demotest::FreshFolder("cgi-way");
  DemoServer workers(folder / "workers", 18600);
  DemoServer cgi(folder / "cgi", 18650, {"--cgi"});
  const std::regex name("AG[0-9]+_[0-9]+\\.gif");
  for (const char* target : {"/demo", "/demo?visitor=Ann+Lee&q=p&product=5"}) {
    const HttpReply fast = HttpRequest(workers.Port(), "GET", target);
    const HttpReply slow = HttpRequest(cgi.Port(), "GET", target);
    EXPECT_EQ(fast.Status, 200) << target;
    EXPECT_EQ(slow.Status, 200) << target;
    EXPECT_EQ(std::regex_replace(fast.Body, name, "AG#.gif"),
              std::regex_replace(slow.Body, name, "AG#.gif"))
        << target;
  }
}

TEST(ServeDemo, ServesOnWhenNobodyReadsItsMessages) {
  DemoServer server(demotest::FreshFolder("unread") / "site", 18700, {}, true);
  // The script has printed its address into the broken pipe by now.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(HttpRequest(server.Port(), "GET", "/demo").Status, 200);
  EXPECT_TRUE(server.Stop());
}

TEST(ServeDemo, TakesTheNextFreePortAndLeavesNothingRunning) {
  const fs::path folder = demotest::FreshFolder("ports");
  auto first = std::make_unique<DemoServer>(folder / "one", 18500);
  DemoServer second(folder / "two", first->Port());
  EXPECT_GT(second.Port(), first->Port());
  EXPECT_EQ(HttpRequest(second.Port(), "GET", "/demo").Status, 200);
  const int port = first->Port();
  EXPECT_FALSE(fs::is_empty(first->TempFolder()));  // the configuration
  EXPECT_TRUE(first->Stop());
  EXPECT_THROW(HttpRequest(port, "GET", "/demo"), std::runtime_error);
  EXPECT_TRUE(fs::is_empty(first->TempFolder()));
  EXPECT_EQ(HttpRequest(second.Port(), "GET", "/demo").Status, 200);
}

// What a page shows, as the browser lays it out: its address, the text of
// each place named by an anchor (the cell around it) with the cell's
// rectangle, every picture with its rectangle and the size the browser
// decoded, and the number of bold elements. Rectangles are relative to the
// page's outer table, as the design is (the body margin lies outside it).
const char* const kDescribe = R"((function () {
  var page = document.getElementsByTagName('TABLE')[0].getBoundingClientRect();
  function rect(element) {
    var r = element.getBoundingClientRect();
    return [r.left - page.left, r.top - page.top, r.width, r.height];
  }
  var places = {}, images = [];
  var anchors = document.getElementsByTagName('A');
  for (var i = 0; i < anchors.length; i++) {
    if (!anchors[i].name) continue;
    var cell = anchors[i].parentElement.closest('TD');
    places[anchors[i].name] = { rect: rect(cell),
                                text: cell.innerText.replace(/\s+/g, ' ').trim() };
  }
  var pictures = document.getElementsByTagName('IMG');
  for (var i = 0; i < pictures.length; i++)
    images.push({ src: pictures[i].getAttribute('SRC'), rect: rect(pictures[i]),
                  complete: pictures[i].complete,
                  natural: [pictures[i].naturalWidth, pictures[i].naturalHeight] });
  return { search: location.search, places: places, images: images,
           bold: document.getElementsByTagName('B').length };
})())";

// Fills in the search form and sends it with the given method. The form
// tag stands between the table and its rows, so the parser keeps it empty
// and the fields belong to it without being inside it: they are found
// through the form's elements, as the browser sends them.
std::string Submit(const std::string& visitor, const std::string& search,
                   const std::string& method) {
  return "(function () { var form = document.forms[0]; form.visitor.value = " +
         json(visitor).dump() + "; form.q.value = " + json(search).dump() + "; form.method = '" +
         method +
         "'; Array.from(form.elements).find(function (e) { return e.type == 'submit'; }).click(); "
         "})()";
}

// A visit: the shop opened, a search sent as designed (GET), another sent
// by the same form as POST, and the first result followed.
json Visit(const std::string& origin, const fs::path& folder, const std::string& visitor,
           const std::string& firstSearch) {
  testsupport::HeadlessBrowser browser(folder / "browser");
  json steps = json::array();
  browser.Navigate(origin + "/demo");
  steps.push_back(browser.Evaluate(kDescribe));
  browser.EvaluateAndWaitForLoad(Submit(visitor, firstSearch, "get"));
  steps.push_back(browser.Evaluate(kDescribe));
  browser.EvaluateAndWaitForLoad(Submit(visitor, "an", "post"));
  steps.push_back(browser.Evaluate(kDescribe));
  browser.EvaluateAndWaitForLoad("document.querySelector('A[href*=\"product=\"]').click()");
  steps.push_back(browser.Evaluate(kDescribe));
  return steps;
}

// Where the form file puts each named element, in page coordinates.
std::map<std::string, TRect> DesignRects() {
  RegisterPackage();
  TComponent form(nullptr);
  LoadForm(std::string(TAVKIT_DEMO_DIR) + "/demo.json", form);
  std::map<std::string, TRect> rects;
  for (int i = 0; i < form.ComponentCount(); ++i) {
    auto* control = dynamic_cast<TControl*>(form.Components(i));
    if (control == nullptr || dynamic_cast<TWvPage*>(control) != nullptr) continue;
    int left = control->GetLeft(), top = control->GetTop();
    for (TControl* parent = control->GetParent();
         parent != nullptr && dynamic_cast<TWvPage*>(parent) == nullptr;
         parent = parent->GetParent()) {
      left += parent->GetLeft();
      top += parent->GetTop();
    }
    rects[control->GetName()] = Bounds(left, top, control->GetWidth(), control->GetHeight());
  }
  return rects;
}

void ExpectNear(const json& measured, const TRect& design, const std::string& what) {
  ASSERT_EQ(measured.size(), 4u) << what;
  EXPECT_NEAR(measured[0].get<double>(), design.Left, 2.0) << what << " left";
  EXPECT_NEAR(measured[1].get<double>(), design.Top, 2.0) << what << " top";
  EXPECT_NEAR(measured[2].get<double>(), design.Right - design.Left, 2.0) << what << " width";
  EXPECT_NEAR(measured[3].get<double>(), design.Bottom - design.Top, 2.0) << what << " height";
}

// The four pages of a visit by Ann Lee searching for "p" first, as the
// browser shows them, with their pictures fetched again from port.
void ExpectAnnsVisit(const json& steps, int port) {
  ASSERT_EQ(steps.size(), 4u);

  // What each page says: the address, the greeting, the note above the
  // results, the results, and the product in the panel.
  struct Expected {
    std::string Search, Greeting, Note, Results, Detail;
  };
  const std::string everything =
      "Product Price Apple 0.45 Pear 0.60 Plum 0.30 Orange 0.55 Blueberry punnet 2.95";
  const std::vector<Expected> expected = {
      {"", "Hello, visitor! Tell us your name and look for a product.", "Every product we sell:",
       everything, "Product of the day Apple Price 0.45 Since 2024-03-01"},
      {"?visitor=Ann+Lee&q=p", "Hello, Ann Lee! Here is what we found for you.",
       "4 products match \"p\":",
       "Product Price Apple 0.45 Pear 0.60 Plum 0.30 Blueberry punnet 2.95",
       "Product of the day Apple Price 0.45 Since 2024-03-01"},
      {"", "Hello, Ann Lee! Here is what we found for you.", "One product matches \"an\":",
       "Product Price Orange 0.55", "Product of the day Orange Price 0.55 Since 2024-05-20"},
      {"?visitor=Ann+Lee&q=an&product=4", "Hello, Ann Lee! Here is what we found for you.",
       "One product matches \"an\":", "Product Price Orange 0.55",
       "Your choice Orange Price 0.55 Since 2024-05-20"}};

  const std::map<std::string, TRect> design = DesignRects();
  std::set<std::string> imageNames;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    const json& step = steps[i];
    const json& places = step["places"];
    EXPECT_EQ(step["search"], expected[i].Search);
    EXPECT_EQ(places["Greeting"]["text"], expected[i].Greeting);
    EXPECT_EQ(places["ResultNote"]["text"], expected[i].Note);
    EXPECT_EQ(places["Results"]["text"], expected[i].Results);
    EXPECT_EQ(places["Detail"]["text"], expected[i].Detail);
    EXPECT_EQ(places["Catalogue"]["text"],
              "Product Price Added Apple 0.45 2024-03-01 Pear 0.6 2024-03-04 Plum 0.3 "
              "2024-04-12 Orange 0.55 2024-05-20 Blueberry punnet 2.95 2024-06-02");

    const std::vector<std::string> measured = {"Heading",   "Greeting",  "ResultNote",
                                               "Results",   "Detail",    "DetailPicture",
                                               "Catalogue", "PriceGraph"};
    ASSERT_EQ(places.size(), measured.size());
    for (const std::string& name : measured)
      ExpectNear(places[name]["rect"], design.at(name), name);

    // The panel's picture and the chart, each at its designed place and
    // size, decoded by the browser and by the library's codec alike.
    const json& images = step["images"];
    ASSERT_EQ(images.size(), 2u);
    const std::vector<std::string> owners = {"DetailPicture", "PriceGraph"};
    for (std::size_t k = 0; k < 2; ++k) {
      const TRect& place = design.at(owners[k]);
      ExpectNear(images[k]["rect"], place, owners[k] + " picture");
      const std::string source = images[k]["src"];
      EXPECT_EQ(images[k]["natural"],
                json::array({place.Right - place.Left, place.Bottom - place.Top}))
          << source;
      EXPECT_EQ(DecodedSize(port, source),
                std::make_pair(place.Right - place.Left, place.Bottom - place.Top));
      imageNames.insert(source);
    }
  }
  EXPECT_EQ(imageNames.size(), 8u);
}

TEST_F(DemoSite, ABrowserSearchesWithGetAndPostAndFollowsALink) {
  ExpectAnnsVisit(Visit(server->Origin(), folder, "Ann Lee", "p"), server->Port());
}

// The shop as the README deploys it on nginx and on Apache, its one worker
// started by spawn-fcgi: the same pages and the same visit as under
// lighttpd, and a worker that ends cleanly when told to.
class SpawnedWorker : public ::testing::TestWithParam<demotest::FrontServer> {};

TEST_P(SpawnedWorker, ServesTheSameShop) {
  const fs::path folder = demotest::FreshFolder(demotest::Name(GetParam()));
  demotest::SpawnedWorkerDemo server(folder, GetParam());
  ExpectSearchPages(server.Port());
  ExpectAnnsVisit(Visit(server.Origin(), folder, "Ann Lee", "p"), server.Port());
  EXPECT_EQ(server.StopWorker(), 0);
}

INSTANTIATE_TEST_SUITE_P(Behind, SpawnedWorker,
                         ::testing::Values(demotest::FrontServer::Nginx,
                                           demotest::FrontServer::Apache),
                         [](const auto& param) {
                           return std::string(demotest::Name(param.param));
                         });

TEST_F(DemoSite, WhatTheVisitorTypesStaysText) {
  const json steps = Visit(server->Origin(), folder, "<b>Bo</b> & \"Cy\"", "\"><b>x");
  const json& places = steps[1]["places"];
  EXPECT_EQ(places["Greeting"]["text"],
            "Hello, <b>Bo</b> & \"Cy\"! Here is what we found for you.");
  EXPECT_EQ(places["ResultNote"]["text"], "No product matches \"\"><b>x\".");
  EXPECT_EQ(places["Results"]["text"], "Product Price");
  EXPECT_EQ(steps[1]["bold"], 0);
  // The names stay in the form, as typed, for the next search.
  EXPECT_EQ(steps[2]["places"]["Greeting"]["text"], places["Greeting"]["text"]);
}

}  // namespace
}  // namespace tavkit

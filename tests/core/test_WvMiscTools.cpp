// Markup helpers: web colours, Latin-1 entities, escaping, tag stripping,
// string-list collapsing, name=value splitting and unique identifiers.
#include <tavkit/core/WvMiscTools.h>

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <tavkit/cgi/WvCGI.h>
#include <tavkit/platform/base/Strings.h>

namespace tavkit {
namespace {

TEST(WvMiscToolsColours, HexKeepsTheLowTwentyFourBits) {
  EXPECT_EQ(Wvinttohex(0), "000000");
  EXPECT_EQ(Wvinttohex(0x00ABCDEF), "ABCDEF");
  EXPECT_EQ(Wvinttohex(0x7F0A0B0C), "0A0B0C");
  EXPECT_EQ(Wvinttohex(-1), "FFFFFF");
}

TEST(WvMiscToolsColours, WebColourReadsRedGreenBlue) {
  EXPECT_EQ(WvMakeWebColor(clRed), "FF0000");
  EXPECT_EQ(WvMakeWebColor(0x123456), "563412");
  EXPECT_EQ(WvMakeWebColor(RGB(0x40, 0x80, 0xFF)), "4080FF");
  EXPECT_EQ(WvMakeWebColor(clBlack), "000000");
  EXPECT_EQ(WvMakeWebColor(clNone), "FFFFFF");
  // A system colour is not resolved: its low 24 bits are written as they are.
  EXPECT_EQ(WvMakeWebColor(static_cast<TColor>(0x8000000F)), "0F0000");
}

TEST(WvMiscToolsLatin, CharactersFrom160AreReplacedByTheirEntityName) {
  EXPECT_EQ(WvMakeLatinHTML("caf\xE9"), "caf&eacute");
  EXPECT_EQ(WvMakeLatinHTML("\xA0"), "&nbsp");
  EXPECT_EQ(WvMakeLatinHTML("\xFF\xA0\xC6\xD0\xDE\xDF\xD7\xF7\xAD\xBF"),
            "&yuml&nbsp&AElig&ETH&THORN&szlig&times&divide&shy&iquest");
  EXPECT_EQ(WvMakeLatinHTML("\xE9t\xE9 \xE0 Z\xFCrich"), "&eacutet&eacute &agrave Z&uumlrich");
}

TEST(WvMiscToolsLatin, EverythingBelow160PassesUnchanged) {
  std::string low;
  for (int c = 1; c < 160; ++c) low += static_cast<char>(c);
  low += '\0';
  EXPECT_EQ(WvMakeLatinHTML(low), low);
  EXPECT_EQ(WvMakeLatinHTML("<a href=\"x\">&amp;</a>"), "<a href=\"x\">&amp;</a>");
  EXPECT_EQ(WvMakeLatinHTML(""), "");
}

TEST(WvMiscToolsLatin, EveryUpperCharacterGetsADistinctName) {
  std::set<std::string> names;
  for (int c = 160; c < 256; ++c) {
    std::string encoded = WvMakeLatinHTML(std::string(1, static_cast<char>(c)));
    ASSERT_GE(encoded.size(), 3u) << c;
    EXPECT_EQ(encoded[0], '&') << c;
    for (char n : encoded.substr(1)) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(n))) << c;
    names.insert(encoded);
  }
  EXPECT_EQ(names.size(), 96u);
}

// The tag stripper exactly as it reads step by step: delete the first tag
// from a copy until none is left, giving up on the first malformed one.
std::string SlowStripHTML(const std::string& text) {
  std::string copy = text;
  while (copy.find('<') != std::string::npos) {
    std::size_t p = copy.find('<');
    std::size_t q = copy.find('>');
    if (q == std::string::npos || q < p) return text;
    copy.erase(p, q - p + 1);
  }
  return copy;
}

TEST(WvMiscToolsEscaping, EachPlaceGetsItsOwnEscapes) {
  struct Case {
    std::string Given, Text, Attribute, FormValue;
  };
  const std::vector<Case> cases = {
      {"plain", "plain", "plain", "plain"},
      {"<b>Tom & \"Jo\" O'Neil</b>", "&lt;b&gt;Tom &amp; \"Jo\" O'Neil&lt;/b&gt;",
       "&lt;b&gt;Tom &amp; &quot;Jo&quot; O&#39;Neil&lt;/b&gt;",
       "%3Cb%3ETom+%26+%22Jo%22+O%27Neil%3C%2Fb%3E"},
      {"&amp;", "&amp;amp;", "&amp;amp;", "%26amp%3B"},
      {"a+b=c?d#e%f", "a+b=c?d#e%f", "a+b=c?d#e%f", "a%2Bb%3Dc%3Fd%23e%25f"},
      {"-_.~09AZaz", "-_.~09AZaz", "-_.~09AZaz", "-_.~09AZaz"},
      {"caf\xE9 \xC3\xA9\n\t", "caf\xE9 \xC3\xA9\n\t", "caf\xE9 \xC3\xA9\n\t", "caf%E9+%C3%A9%0A%09"},
      {std::string("a\0b", 3), std::string("a\0b", 3), std::string("a\0b", 3), "a%00b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WvEscapeText(c.Given), c.Text) << c.Given;
    EXPECT_EQ(WvEscapeAttribute(c.Given), c.Attribute) << c.Given;
    EXPECT_EQ(WvEncodeFormValue(c.Given), c.FormValue) << c.Given;
    // What a link carries, the gateway reads back as it was given.
    EXPECT_EQ(WvDecodeFormValue(c.FormValue), c.Given) << c.Given;
  }
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  EXPECT_EQ(WvDecodeFormValue(WvEncodeFormValue(everyByte)), everyByte);
}

TEST(WvMiscToolsStrip, RemovesTagsOrGivesUpOnMalformedText) {
  EXPECT_EQ(WvstripHTML("<b>bold</b> text"), "bold text");
  EXPECT_EQ(WvstripHTML("a > b < c"), "a > b < c");
  EXPECT_EQ(WvstripHTML("x < y"), "x < y");
  EXPECT_EQ(WvstripHTML("><"), "><");
  EXPECT_EQ(WvstripHTML("plain"), "plain");
  EXPECT_EQ(WvstripHTML(""), "");
  EXPECT_EQ(WvstripHTML("<a<b>c"), "c");
  EXPECT_EQ(WvstripHTML("a<i>b</i>c>d"), "abc>d");
  // A ">" left in front of the next "<" after a deletion spoils the whole text.
  EXPECT_EQ(WvstripHTML("<i>a>b<c>"), "<i>a>b<c>");
  EXPECT_EQ(WvstripHTML("<i>ab<c>x<"), "<i>ab<c>x<");
}

TEST(WvMiscToolsStrip, AgreesWithTheStepByStepDefinition) {
  std::mt19937 random(12345);
  const char alphabet[] = {'<', '>', 'a', 'b', ' '};
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    int length = static_cast<int>(random() % 14);
    for (int i = 0; i < length; ++i) text += alphabet[random() % sizeof alphabet];
    ASSERT_EQ(WvstripHTML(text), SlowStripHTML(text)) << "input: " << text;
  }
}

TEST(WvMiscToolsStrip, LongInputsStayLinear) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "<b>x</b>";
  EXPECT_EQ(WvstripHTML(text), std::string(200000, 'x'));
  std::string open(400000, '<');
  EXPECT_EQ(WvstripHTML(open), open);
}

TEST(WvMiscToolsStrings, CollapseJoinsLinesEachAfterABlank) {
  TStringList list;
  EXPECT_EQ(WvCollapseStringList(list), "");
  list.Add("");
  EXPECT_EQ(WvCollapseStringList(list), " ");
  list.Clear();
  list.AddStrings({"L1", "<p>L2</p>"});
  EXPECT_EQ(WvCollapseStringList(list), " L1 <p>L2</p>");

  std::string dest = "a";
  WvStrToHTML(dest, "<br>");
  EXPECT_EQ(dest, "a<br>");
}

TEST(WvMiscToolsStrings, HiddenValuesSplitAtTheFirstEquals) {
  std::string name = "keep", value = "this";
  WvExtractHiddenValues("no equals", name, value);
  EXPECT_EQ(name, "keep");
  EXPECT_EQ(value, "this");
  WvExtractHiddenValues("a=b=c", name, value);
  EXPECT_EQ(name, "a");
  EXPECT_EQ(value, "b=c");
  WvExtractHiddenValues("=", name, value);
  EXPECT_EQ(name, "");
  EXPECT_EQ(value, "");
}

TEST(WvMiscToolsIds, UniqueIdsCountUpAcrossPrefixes) {
  std::string first = WvGetUniqueID("id");
  ASSERT_GT(first.size(), 2u);
  int n = std::stoi(first.substr(2));
  EXPECT_EQ(first, "id" + std::to_string(n));
  EXPECT_EQ(WvGetUniqueID("Form"), "Form" + std::to_string(n + 1));
  EXPECT_EQ(WvGetUniqueID(""), std::to_string(n + 2));
}

TEST(WvMiscToolsIds, MinimumPicksTheSmaller) {
  EXPECT_EQ(WvMinimum(3, 7), 3);
  EXPECT_EQ(WvMinimum(7, 3), 3);
  EXPECT_EQ(WvMinimum(-5, -5), -5);
}

}  // namespace
}  // namespace tavkit

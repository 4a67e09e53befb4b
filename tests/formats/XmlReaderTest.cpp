// The forgiving XML reader of the XML-based formats: the quirks the format readers do not reach,
// the numbers in its text, and documents shaped to exhaust the stack or take quadratic time.
#include "formats/XmlReader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "formats/LutErrors.h"

namespace tintwise {
namespace {

TEST(XmlReader, ForgivingDocumentStructureAndAttributes) {
  TXMLNode root;
  root.LoadXMLText("junk<?xml version=\"1.0\"?>\r\n<!DOCTYPE x><!-- before the root -->\r\n<ColorCorrection id=\"cc1\">\r\n"
                   "  <SOPNode>\r\n    <Slope>1.1 1.0 0.9</Slope>\r\n    <Power>1 1 1<!-- a comment --></Power>\r\n"
                   "  </SOPNode>\r\n</ColorCorrection>\r\n");
  // The declaration, the document type (which closes itself), the document element, and an empty
  // node for the trailing line break.
  ASSERT_EQ(root.ChildCount(), 4u);
  EXPECT_EQ(root.Child(0).Name, "?xml");
  EXPECT_EQ(root.Child(0).Attributes.ValueOf("version").Text, "1.0");
  EXPECT_EQ(root.Child(3).Name, "");
  const TXMLNode &cc = root.NodeByName("colorcorrection");
  const TXMLNode &sop = cc.NodeByName("SOPNode");
  EXPECT_EQ(sop.ChildCount(), 2u);
  EXPECT_TRUE(cc.HasNode("sopnode"));
  EXPECT_FALSE(cc.HasNode("Slope")); // only direct children are looked at

  // A quoted value may hold blanks and the predefined entities, runs of blanks and a line break
  // separate items, blanks may surround "=", a name without a value is empty, and a later duplicate
  // wins.
  root.LoadXMLText("<t n='my grade &amp; &lt;1&gt; &apos;&quot;'  x=1\r\ny=2 flag x=3 z=\"&amp;amp;\" s = 'v'/><after/>");
  ASSERT_EQ(root.ChildCount(), 2u); // self-closing: <after/> is its sibling
  TXMLAttributes &a = root.Child(0).Attributes;
  EXPECT_EQ(a.ValueOf("N").Text, "my grade & <1> '\"");
  EXPECT_EQ(a.ValueOf("z").Text, "&amp;");
  EXPECT_EQ(a.Find("grade"), nullptr);
  EXPECT_EQ(a.ValueOf("x").Text, "3");
  EXPECT_EQ(a.ValueOf("y").Text, "2");
  EXPECT_EQ(a.ValueOf("flag").Text, "");
  EXPECT_EQ(a.ValueOf("s").Text, "v");
  EXPECT_EQ(a.Count(), 6u);

  // Many attributes stay found without case once they are indexed.
  std::string xml = "<a";
  for (int i = 0; i < 50; ++i)
    xml += " Attr" + std::to_string(i) + "='" + std::to_string(i * 2) + "'";
  root.LoadXMLText(xml + " attr7='last'/>");
  TXMLAttributes &many = root.NodeByName("a").Attributes;
  EXPECT_EQ(many.Count(), 50u);
  EXPECT_EQ(many.ValueOf("ATTR49").Text, "98");
  EXPECT_EQ(many.ValueOf("attr7").Text, "last");
  EXPECT_EQ(many.Find("attr50"), nullptr);
}

TEST(XmlReader, ContentTextKeepsRunsAndCdata) {
  struct Case {
    const char *xml, *text;
  } cases[] = {
      {"<a>x<![CDATA[y]]></a>", "x y"},
      {"<a><![CDATA[<b>not a tag</b>]]></a>", " <b>not a tag</b>"},
      {"<a>  one  <b/>  two  </a>", "  one    two  "},
      {"<a>\n  \n<b/>\n</a>", ""},         // blank runs are not kept
      {"<a>1<!-- c -->2</a>", "12"},       // comments inside content vanish
      {"<a>1<b>x</b>2</a>", "12"},         // and so do child elements
      {"<a>unterminated", "unterminated"}, // a missing closing tag ends at the end of the text
      {"<a><![CDATA[abcdef", " abcde"},    // a missing "]]>": the text stops before the last character
      {"<a>x</wrong>y", "x"},              // the closing tag's name is not compared
  };
  for (const Case &c : cases) {
    TXMLNode root;
    root.LoadXMLText(c.xml);
    EXPECT_EQ(root.NodeByName("a").Value.Text, c.text) << c.xml;
  }
}

TEST(XmlReader, NumbersInTheText) {
  const std::pair<const char *, double> good[] = {{"0.25", 0.25}, {"0,25", 0.25}, {"  1.5\r\n", 1.5}, {"", 0.0},
                                                  {"-.03", -0.03}, {"-2e-2", -0.02}, {"1e+0", 1.0}, {"+2", 2.0},
                                                  {"1.", 1.0}};
  for (const auto &[text, value] : good)
    EXPECT_EQ(TXMLValue{text}.AsFloat(), value) << text;
  for (const char *bad : {"1.2.3", "0,2,5", "1.5,3", "abc", "1 2", "inf", "nan", "0x10", "1e", "-", ".", "1e999", "1e+"})
    EXPECT_THROW(TXMLValue{bad}.AsFloat(), EConvertError) << bad;
  for (const auto &[text, value] : {std::pair{"2.5", 2}, {"3.5", 4}, {"-2147483648", -2147483647 - 1}})
    EXPECT_EQ(TXMLValue{text}.AsInteger(), value) << text; // halves to even
  EXPECT_THROW(TXMLValue{"2147483648"}.AsInteger(), EConvertError);
}

// Hostile shapes of about 10 MB each. The bound is generous: it is not a benchmark but a guard
// against stack exhaustion and against work that grows with the square of the size (which would
// take minutes here).
TEST(XmlReader, HostileDocumentsParseWithoutRecursionInLinearTime) {
  const std::size_t target = 10u << 20;
  auto repeat = [&](const std::string &prefix, const std::string &unit, const std::string &suffix) {
    std::string s = prefix;
    s.reserve(target + prefix.size() + suffix.size());
    while (s.size() < target)
      s += unit;
    return s + suffix;
  };
  struct Shape {
    const char *name;
    std::string xml;
    std::function<void(const TXMLNode &)> check;
  };
  std::vector<Shape> shapes;
  shapes.push_back({"deep nesting", repeat("", "<a>", ""), [](const TXMLNode &root) {
                      const TXMLNode *n = &root;
                      std::size_t depth = 0;
                      while (n->ChildCount() > 0) {
                        n = &n->Child(0);
                        ++depth;
                      }
                      EXPECT_EQ(depth, (10u << 20) / 3 + 1);
                    }});
  shapes.push_back({"siblings", repeat("<r>", "<e r=\"1\" g=\"2\" b=\"3\"/>\n", "</r>"),
                    [](const TXMLNode &root) { EXPECT_GT(root.NodeByName("r").ChildCount(), 400000u); }});
  shapes.push_back({"text between many comments", repeat("<a>", "1<!--c-->", "</a>"),
                    [](const TXMLNode &root) { EXPECT_GT(root.NodeByName("a").Value.Text.size(), 1000000u); }});
  {
    std::string xml = "<a";
    for (std::size_t i = 0; xml.size() < target; ++i)
      xml += " k" + std::to_string(i) + "=1";
    shapes.push_back({"many attribute names", xml + "/>", [](const TXMLNode &root) {
                        EXPECT_GT(root.NodeByName("a").Attributes.Count(), 900000u);
                      }});
  }
  shapes.push_back({"unterminated comment", repeat("<a><!--", "- - > ", ""),
                    [](const TXMLNode &root) { EXPECT_EQ(root.NodeByName("a").ChildCount(), 0u); }});
  shapes.push_back({"unclosed tags without >", repeat("", "<", ""), [](const TXMLNode &) {}});

  for (const Shape &shape : shapes) {
    const auto start = std::chrono::steady_clock::now();
    {
      TXMLNode root;
      root.LoadXMLText(shape.xml);
      shape.check(root);
    } // the tree is freed inside the timing too
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 20.0) << shape.name;
  }
}

} // namespace
} // namespace tintwise

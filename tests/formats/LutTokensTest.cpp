// The token, number and keyword functions, and the text file.
#include <charconv>
#include <random>

#include "formats/LutErrors.h"
#include "formats/LutTokens.h"
#include "formats/TextFile.h"
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using test::ReadText;
using test::TTempDir;
using test::WriteText;

TEST(LutTokens, NextTokenRemovesExactlyOneSeparator) {
  struct Case {
    std::string_view line, token, rest;
  } cases[] = {
      {"0.1 0.2", "0.1", "0.2"}, {"0.1\t0.2", "0.1", "0.2"}, {"0.1,0.2", "0.1", "0.2"},
      {"0.1  0.2", "0.1", " 0.2"}, {", ,", "", " ,"},        {"single", "single", ""},
      {"", "", ""},
  };
  for (const Case &c : cases) {
    std::string_view line = c.line, token;
    NextToken(line, token);
    EXPECT_EQ(token, c.token) << c.line;
    EXPECT_EQ(line, c.rest) << c.line;
  }
}

TEST(LutTokens, SplitAtAndPosNoCase) {
  std::string_view s = "a=b=c", head;
  SplitAt("=", s, head);
  EXPECT_EQ(std::pair(head, s), std::pair(std::string_view("a"), std::string_view("b=c")));
  s = "abc";
  SplitAt(";", s, head);
  EXPECT_EQ(std::pair(head, s), std::pair(std::string_view("abc"), std::string_view("")));
  EXPECT_EQ(PosNoCase("lut_3d_size", "  LUT_3D_SIZE 33"), 3);
  EXPECT_EQ(PosNoCase("x", "abc"), 0);
  EXPECT_EQ(PosNoCase("abcd", "abc"), 0);
}

TEST(LutTokens, ParseFloatTripleCases) {
  struct Case {
    std::string_view line;
    bool ok;
    double r, g, b;
  } cases[] = {
      {"0.1, 0.2, 0.3", true, 0.1, 0.2, 0.3}, {"0.1\t0.2\t0.3", true, 0.1, 0.2, 0.3},
      {"   0.1    0.2     0.3   ", true, 0.1, 0.2, 0.3}, {"+1 -2.5e-1 1E2", true, 1, -0.25, 100},
      {".5 5. 0", true, 0.5, 5, 0},
      {"0.1 0.2", false, 0, 0, 0}, {"0.1 0.2 0.3 0.4", false, 0, 0, 0}, {"0,1 0,2 0,3", false, 0, 0, 0}, {"0.1,,0.2,0.3", false, 0, 0, 0},
      {"nan 0 0", false, 0, 0, 0}, {"inf 0 0", false, 0, 0, 0}, {"0x1 0 0", false, 0, 0, 0}, {"1e999 0 0", false, 0, 0, 0},
      {"+-1 0 0", false, 0, 0, 0}, {"LUT_3D_SIZE 2", false, 0, 0, 0},
  };
  for (const Case &c : cases) {
    double r = -7, g = -7, b = -7;
    EXPECT_EQ(ParseFloatTriple(c.line, r, g, b), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ((TLutTriple{r, g, b}), (TLutTriple{c.r, c.g, c.b})) << c.line;
    }
  }
}

// The direct path for short decimals must give exactly what from_chars gives.
TEST(LutTokens, PlainDecimalsReadLikeFromChars) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> dist(-2.0, 2.0);
  for (int i = 0; i < 200000; ++i) {
    char buf[64];
    const int digits = 1 + i % 14;
    auto end = std::to_chars(buf, buf + sizeof buf, dist(rng), std::chars_format::fixed, digits).ptr;
    std::string_view text(buf, end - buf);
    double ours = 0, theirs = 1;
    ASSERT_TRUE(TryParseLutFloat(text, ours)) << text;
    std::from_chars(buf, end, theirs);
    ASSERT_EQ(ours, theirs) << text;
  }
}

TEST(LutTokens, ParseIntTripleCases) {
  struct Case {
    std::string_view line;
    bool skipFirst, ok;
    double r, g, b;
  } cases[] = {
      {"7 4095 0 2048", true, true, 1, 0, 2048.0 / 4095},
      {"5000\t0\t1", false, true, 5000.0 / 4095, 0, 1.0 / 4095}, // above the maximum: kept
      {"1 2 3", true, false, 0, 0, 0},                                     // the index column leaves two
      {"1.5 2 3", false, false, 0, 0, 0}, {"1 2 3 4", false, false, 0, 0, 0}, {"2147483648 0 0", false, false, 0, 0, 0},
  };
  for (const Case &c : cases) {
    double r = -7, g = -7, b = -7;
    ASSERT_EQ(ParseIntTriple(c.line, 4095, c.skipFirst, r, g, b), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ((TLutTriple{r, g, b}), (TLutTriple{c.r, c.g, c.b})) << c.line;
    }
  }
  EXPECT_EQ(LutStrToInt(" +33 "), 33);
  try {
    LutStrToInt("33x");
    FAIL();
  } catch (const EConvertError &e) {
    EXPECT_STREQ(e.what(), "'33x' is not a valid integer value");
  }
}

TEST(LutTokens, FormatLutFloatCases) {
  struct Case {
    double value;
    std::string_view text;
  } cases[] = {
      {0.5, "0.500000"}, {1, "1.000000"}, {-0.25, "-0.250000"}, {0.0000005, "0.000000"}, {1e-7, "0.000000"},
      {-1e-7, "0.000000"}, {32.999999, "32.999999"}, {123456789.123456789, "123456789.123457"},
      {1.23456789012345678e20, "123456789012346000000.000000"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(FormatLutFloat(6, c.value), c.text) << c.value;
}

TEST(LutTokens, FormatLutIntCases) {
  struct Case {
    int bits;
    double value;
    std::string_view text;
  } cases[] = {
      {12, 1.0, "4095"}, {12, 0.5, "2048"},  {12, 1.7, "4095"}, {12, -0.2, "0"},
      {10, 0.5, "512"},  {16, 1.0, "65535"}, {12, std::nan(""), "0"}, {8, 0.5, "128"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(FormatLutInt(c.bits, c.value), c.text) << c.bits << " " << c.value;
}

TEST(LutTokens, HasKeywordsSplitsListsAndLooksOnlyAtTheHead) {
  const TLutFileHead head("k.txt", "format something\nLUT here, then 3D and channel.\n");
  EXPECT_TRUE(head.HasKeywords("channel 3d,format lut", ""));
  EXPECT_FALSE(head.HasKeywords("channel 3d,format lut", "then"));
  EXPECT_FALSE(head.HasKeywords("\"format lut\"", "")); // a quoted item keeps its blank
  EXPECT_TRUE(head.HasKeywords("\"format something\"", ""));

  EXPECT_FALSE(TLutFileHead("k.cube", std::string(4096, 'x') + "LUT_3D_SIZE 2\n").HasKeywords("LUT_3D_SIZE", ""));
  EXPECT_TRUE(TLutFileHead("k.cube", std::string(4085, 'x') + "LUT_3D_SIZE 2\n").HasKeywords("LUT_3D_SIZE", ""));
}

TEST(TextFile, SplitsAtEveryLineEndAndStopsAtZero) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\nb\n", {"a", "b"}}, {"a\r\nb", {"a", "b"}}, {"a\rb\r\r\nc", {"a", "b", "", "c"}},
      {"a\n\n", {"a", ""}}, {std::string("a\nb\0c\nd", 7), {"a", "b"}}, {"", {}},
  };
  for (const Case &c : cases) {
    TTextFile file;
    file.SetText(c.text);
    std::vector<std::string> got;
    file.ForEachLine([&](std::string_view line) { got.emplace_back(line); });
    EXPECT_EQ(got, c.lines);
    ASSERT_EQ(file.Count(), c.lines.size());
    for (std::size_t i = 0; i < c.lines.size(); ++i)
      EXPECT_EQ(file[i], c.lines[i]);
  }
}

TEST(TextFile, WritesLineFeedsAndReplacesInOneStep) {
  TTempDir dir;
  const std::string file = dir.File("out.txt");
  TTextFile lines;
  lines.Add("one");
  lines.Add("");
  lines.Add("three");
  lines.SaveToFile(file);
  EXPECT_EQ(ReadText(file), "one\n\nthree\n");

  // A target that cannot be written leaves no file and no temporary behind.
  EXPECT_THROW(lines.SaveToFile(dir.File("no-such-folder/out.txt")), EFCreateError);
  // A directory in the way: the error is raised and nothing else changes.
  std::filesystem::create_directory(dir.File("folder"));
  EXPECT_THROW(lines.SaveToFile(dir.File("folder")), EFCreateError);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path), {}), 2);
}

} // namespace
} // namespace tintwise

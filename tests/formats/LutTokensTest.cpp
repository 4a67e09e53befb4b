// The number readers every text format shares, and the line splitting of the text file.
#include <charconv>
#include <random>

#include "formats/LutTokens.h"
#include "formats/TextFile.h"
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

// Three decimals, or three integer codes divided by the maximum 4095 (with skipFirst after an index
// column), separated by blanks, tabs or commas.
TEST(LutTokens, ParseTripleCasesAndPlainDecimalsLikeFromChars) {
  struct Case {
    std::string_view line;
    bool integers, skipFirst, ok;
    TLutTriple value = {};
  } cases[] = {
      {"0.1, 0.2,\t0.3", false, false, true, {0.1, 0.2, 0.3}}, {"+1 -2.5e-1 1E2", false, false, true, {1, -0.25, 100}},
      {".5 5. 0", false, false, true, {0.5, 5, 0}}, {"0,1 0,2 0,3", false, false, false}, {"0.1,,0.2,0.3", false, false, false},
      {". 0 0", false, false, false}, {"inf 0 0", false, false, false}, {"0x1 0 0", false, false, false},
      {"+-1 0 0", false, false, false},
      {"7 4095 0 2048", true, true, true, {1, 0, 2048.0 / 4095}},
      {"+5000\t0\t1", true, false, true, {5000.0 / 4095, 0, 1.0 / 4095}}, // above the maximum: kept
      {"1.5 2 3", true, false, false}, {"2147483648 0 0", true, false, false}, {"+-1 0 0", true, false, false},
  };
  for (const Case &c : cases) {
    TLutTriple v = {-7, -7, -7};
    const bool ok = c.integers ? ParseIntTriple(c.line, 4095, c.skipFirst, v[0], v[1], v[2])
                               : ParseFloatTriple(c.line, v[0], v[1], v[2]);
    EXPECT_EQ(ok, c.ok) << c.line;
    EXPECT_EQ(v, (c.ok ? c.value : TLutTriple{-7, -7, -7})) << c.line;
  }
  // The direct path for short decimals must give exactly what from_chars gives.
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

TEST(TextFile, SplitsAtEveryLineEndAndStopsAtZero) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\nb\n", {"a", "b"}}, {"a\r\nb", {"a", "b"}}, {"a\rb\r\r\nc", {"a", "b", "", "c"}},
      {"a\n\n", {"a", ""}}, {std::string("a\nb\0c\nd", 7), {"a", "b"}}, {"", {}},
  };
  for (Case &c : cases) {
    TTextFile file;
    file.SetText(c.text);
    std::vector<std::string> got;
    file.ForEachLine([&](std::string_view line) { got.emplace_back(line); });
    EXPECT_EQ(got, c.lines);
    ASSERT_EQ(file.Count(), c.lines.size());
    for (std::size_t i = 0; i < c.lines.size(); ++i)
      EXPECT_EQ(file[i], c.lines[i]);
    file.Add("added");
    got.clear(); // now from the index, with the added line
    file.ForEachLine([&](std::string_view line) { got.emplace_back(line); });
    c.lines.push_back("added");
    EXPECT_EQ(got, c.lines);
    file.Clear(); // and emptied, the file takes lines of its own
    file.Add("again");
    EXPECT_EQ(file.Text(), "again\n");
  }
}

} // namespace
} // namespace tintwise

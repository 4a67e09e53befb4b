// The CDL record, its evaluation and the ASC CDL reader.
#include <cmath>
#include <limits>

#include "formats/CdlFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

TCDLData Cdl(float slope, float offset, float power, float saturation) {
  TCDLData d;
  for (TCDLChannel &c : d.Channel)
    c = {slope, offset, power};
  d.Saturation = saturation;
  return d;
}

TEST(ApplyCDL, SlopeOffsetPowerThenPlainMeanSaturation) {
  float r, g, b;
  // Identity.
  ApplyCDL(Cdl(1, 0, 1, 1), 0.25f, 0.5f, 1.0f, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{0.25f, 0.5f, 1.0f}));
  // The power applies only above 0: a zero, negative or NaN value gives 0 (pow(0, 0) would be 1).
  ApplyCDL(Cdl(1, 0, 0, 1), 0.0f, -0.5f, std::numeric_limits<float>::quiet_NaN(), r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{0.0f, 0.0f, 0.0f}));
  // Saturation 0: every channel is the plain mean of the three (not a weighted luma).
  ApplyCDL(Cdl(2, 0.1f, 1, 0), 0.1f, 0.2f, 0.6f, r, g, b);
  const float y[3] = {0.1f * 2 + 0.1f, 0.2f * 2 + 0.1f, 0.6f * 2 + 0.1f};
  const float mean = (y[0] + y[1] + y[2]) / 3.0f;
  EXPECT_EQ((std::array{r, g, b}), (std::array{mean, mean, mean}));
  EXPECT_GT(b, 1.0f - 0.5f); // no clamping anywhere: 1.3 stays in the mean
}

std::string Correction(const std::string &sop, const std::string &sat = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- a look -->\n<ColorCorrection id=\"cc0001\">\n"
         "  <SOPNode>\n" + sop + "  </SOPNode>\n" + sat + "</ColorCorrection>\n";
}

const std::string kSop = "    <Slope>1.0 1.0 0.9</Slope>\n    <Offset>-.03 -2e-2 0</Offset>\n"
                         "    <Power>1.25,1\t1e0 4</Power>\n";

TEST(LoadCDLFile, ReadsTheRecord) {
  TCDLData d;
  LoadCDLText(Correction(kSop, "  <SatNode><Saturation> 1,7 </Saturation></SatNode>\n"), d);
  EXPECT_EQ(d.Id, "cc0001");
  EXPECT_EQ(d.Channel[2].Slope, 0.9f);
  EXPECT_EQ(d.Channel[0].Offset, -0.03f);
  EXPECT_EQ(d.Channel[1].Offset, -0.02f);
  EXPECT_EQ(d.Channel[0].Power, 1.25f);
  EXPECT_EQ(d.Channel[2].Power, 1.0f); // the fourth word is ignored
  EXPECT_EQ(d.Saturation, 1.7f);

  // Without a saturation node, or without its Saturation element, saturation is 1.
  for (const std::string &sat : {std::string(), std::string("<SATNode><Description/></SATNode>")}) {
    TCDLData e;
    e.Saturation = 5;
    LoadCDLText(Correction(kSop, sat), e);
    EXPECT_EQ(e.Saturation, 1.0f) << sat;
    EXPECT_EQ(e.Id, "cc0001");
  }
  // Elements outside the schema are ignored: ASC_SAT is no saturation node.
  TCDLData f;
  LoadCDLText("<ColorCorrection><SOPNode>" + kSop + "</SOPNode><ASC_SAT><Saturation>0.42</Saturation></ASC_SAT></ColorCorrection>", f);
  EXPECT_EQ(f.Id, "");
  EXPECT_EQ(f.Channel[2].Slope, 0.9f);
  EXPECT_EQ(f.Saturation, 1.0f);
}

TEST(LoadCDLFile, WordsThatAreNotNumbersFail) {
  struct Case {
    std::string slope, message;
  } cases[] = {
      {"<Slope> 1 1 1</Slope>", "'' is not a valid floating point value"},  // a blank after the start tag
      {"<Slope>1  1 1</Slope>", "'' is not a valid floating point value"},
      {"<Slope>1\n1 1</Slope>", "'1\n1' is not a valid floating point value"},
      {"<Slope>1 1</Slope>", "'' is not a valid floating point value"},
      {"<Slope>1 one 1</Slope>", "'one' is not a valid floating point value"},
      {"<Slope>1,5 1 1</Slope>", "loaded"}, // the comma separates words
      {"<Offset>0 0 0</Offset>", "The \"Slope\" node is not found"},
  };
  for (const Case &c : cases) {
    std::string message = "loaded";
    try {
      TCDLData d;
      LoadCDLText(Correction(c.slope + "<Offset>0 0 0</Offset><Power>1 1 1</Power>"), d);
    } catch (const ETintwiseError &e) {
      message = e.what();
    }
    EXPECT_EQ(message, c.message) << c.slope;
  }
}

TEST(AscCdlFormat, BakesA33PointLatticeAndWritesNothing) {
  TLUT lut;
  lut.Comments = {"kept"};
  const std::string sop = "<Slope>1 1 1</Slope><Offset>0 0 0</Offset><Power>1 1 1</Power>";
  ASSERT_EQ(Load(kCdl, Correction(sop, "<SatNode><Saturation>1</Saturation></SatNode>"), lut), "");
  EXPECT_EQ(lut.Mode, kMode3D);
  ASSERT_EQ(lut.Size3D, 33);
  EXPECT_EQ(lut.Comments, (std::vector<std::string>{"kept", "Name: cc0001"}));
  for (int r = 0; r < 33; r += 4)
    for (int g = 0; g < 33; g += 8)
      for (int b = 0; b < 33; ++b)
        ASSERT_EQ(lut.Lattice[r][g][b], (TLutTriple{r / 32.0f, g / 32.0f, b / 32.0f}));

  // In a decision list the correction is not a child of the root: recognised, then refused.
  EXPECT_EQ(LoadError(kCdl, "<ColorDecisionList><ColorDecision><ColorCorrection><SOPNode>" + sop +
                                "</SOPNode></ColorCorrection></ColorDecision></ColorDecisionList>"),
            "\"in.txt\" (read as ASC CDL): The \"ColorCorrection\" node is not found");
  EXPECT_EQ(LoadError(kCdl, "<ColorCorrection><SOPNode><Slope>1 x 1</Slope></SOPNode></ColorCorrection>"),
            "\"in.txt\" (read as ASC CDL): 'x' is not a valid floating point value");

}

} // namespace
} // namespace tintwise

// The XML reader over any bytes: parse, then walk the whole tree without recursion the way the
// XML-based formats read it: lookups by name, attributes, values as numbers.
#include <string_view>
#include <vector>

#include "engine/Errors.h"
#include "formats/XmlReader.h"
#include "fuzz/FuzzSupport.h"

namespace {

// Element and attribute names the format readers ask for.
constexpr std::string_view kNames[] = {"LUT3D", "values", "lut", "data", "elem", "ColorCorrection", "SOPNode",
                                       "Slope", "look", "shaders", "cube", "size", "maximum", "BitDepth", "N"};

void Touch(const tintwise::TXMLValue &value) {
  try {
    (void)value.AsFloat();
  } catch (const tintwise::ETintwiseError &) {
  }
  try {
    (void)value.AsInteger();
  } catch (const tintwise::ETintwiseError &) {
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace tintwise;
  TXMLNode root;
  root.LoadXMLText(std::string_view(reinterpret_cast<const char *>(data), size));
  std::vector<TXMLNode *> pending{&root};
  while (!pending.empty()) {
    TXMLNode &node = *pending.back();
    pending.pop_back();
    Touch(node.Value);
    for (std::size_t i = 0; i < node.Attributes.Count(); ++i) {
      Touch(node.Attributes.Value(i));
      (void)node.Attributes.Find(node.Attributes.Name(i));
    }
    for (std::string_view name : kNames) {
      if (node.HasNode(name))
        Touch(node.NodeByName(name).Value);
      else if (node.FindNode(name))
        __builtin_trap(); // HasNode and FindNode disagree
      if (const TXMLValue *value = node.Attributes.Find(name))
        Touch(*value);
    }
    try {
      (void)node.NodeByName("no such element");
    } catch (const EXMLError &) {
    }
    for (std::size_t i = 0; i < node.ChildCount(); ++i)
      pending.push_back(&node.Child(i));
  }
  return 0;
}

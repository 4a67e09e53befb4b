// A small, forgiving XML reader for the XML-based LUT formats. It turns a document into a tree of
// nodes: tags, attributes quoted with " or ', comments, CDATA sections and processing instructions;
// no entities, no namespaces, no encodings (bytes are taken as 8-bit characters). Malformed input
// is never reported here: a missing ">" or "]]>" means the end of the text, a missing closing tag
// ends the element at the end of the text. Only a lookup by name can fail.
//
// Parsing never recurses and never copies the text still to be read, so any nesting depth is
// safe and the time is linear in the size of the document.
//
//   TXMLNode root;
//   root.LoadXMLText(text);
//   double slope = root.NodeByName("ColorCorrection").NodeByName("SOPNode")
//                      .NodeByName("Slope").Value.AsFloat();
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/Errors.h"

namespace tintwise {

// Raised by TXMLNode::NodeByName when the element asked for does not exist.
class EXMLError : public ETintwiseError {
public:
  using ETintwiseError::ETintwiseError;
};

// The raw text of an element's content or of an attribute.
class TXMLValue {
public:
  std::string Text;

  // The trimmed text as a number; "." or "," may be the decimal separator (one of them, once).
  // An empty text reads as 0. Raises EConvertError for anything else.
  double AsFloat() const;
  // AsFloat rounded to the nearest integer, halves to even. Raises EConvertError.
  std::int32_t AsInteger() const;
};

// The attributes of an element, in file order, names compared without case.
class TXMLAttributes {
public:
  TXMLAttributes() = default;
  TXMLAttributes(const TXMLAttributes &) = delete;
  TXMLAttributes &operator=(const TXMLAttributes &) = delete;

  // The value stored under name; a missing name is added with an empty value, so asking for an
  // attribute that is not there gives an empty text, never an error.
  TXMLValue &ValueOf(std::string_view name);
  // The value stored under name, or nullptr; adds nothing.
  const TXMLValue *Find(std::string_view name) const;

  std::size_t Count() const { return FItems.size(); }
  const std::string &Name(std::size_t index) const { return FItems[index].first; }
  const TXMLValue &Value(std::size_t index) const { return *FItems[index].second; }
  void Clear();

private:
  std::vector<std::pair<std::string, std::unique_ptr<TXMLValue>>> FItems;
  // Upper-cased name to index, built once an element has more than a few attributes.
  std::unique_ptr<std::unordered_map<std::string, std::size_t>> FIndex;
};

// One element: its tag name, its text, its attributes and its child elements in file order. The
// node a document is loaded into is a nameless root whose children are the top-level constructs
// (the "?xml" declaration, the document element, and so on).
class TXMLNode {
public:
  TXMLNode() = default;
  ~TXMLNode();
  TXMLNode(const TXMLNode &) = delete;
  TXMLNode &operator=(const TXMLNode &) = delete;

  std::string Name;
  TXMLValue Value;
  TXMLAttributes Attributes;
  // Whether the element ended with its closing tag or closed itself; false when the text ended
  // first (a cut file).
  bool Closed = false;

  TXMLNode &AddChild();
  std::size_t ChildCount() const { return FChildren.size(); }
  TXMLNode &Child(std::size_t index) { return *FChildren[index]; }
  const TXMLNode &Child(std::size_t index) const { return *FChildren[index]; }

  // The first direct child whose name equals name ignoring case. Raises EXMLError, naming the
  // element, when there is none.
  TXMLNode &NodeByName(std::string_view name);
  const TXMLNode &NodeByName(std::string_view name) const;
  // Whether NodeByName would find a child; never raises.
  bool HasNode(std::string_view name) const;
  // The child NodeByName would answer, or nullptr.
  const TXMLNode *FindNode(std::string_view name) const;

  // Empties the node, then parses top-level constructs as its children until the text is used up.
  void LoadXMLText(std::string_view text);

  // Empties name, value, attributes and children.
  void Clear();

private:
  // Frees the subtree without recursion, so a deep tree cannot exhaust the stack.
  void ReleaseChildren();

  std::vector<std::unique_ptr<TXMLNode>> FChildren;
};

// The parsing steps. Each consumes what it reads from the front of the remaining text s.
//
// ParseElement: one element from s into node: an optional comment before it, the tag with its name
// and attributes, then (unless it closes itself) its content.
void ParseElement(TXMLNode &node, std::string_view &s);
// ParseAttributes: the attribute text of a tag (after the name): name=value items separated by
// blanks, a value in " or ' quotes may hold blanks; the entities &amp; &lt; &gt; &apos; &quot; in a
// value stand for their characters.
void ParseAttributes(TXMLNode &node, std::string_view a);
// ParseContent: character data, CDATA sections, comments and child elements of node, through its
// closing tag (or the end of the text).
void ParseContent(TXMLNode &node, std::string_view &s);

} // namespace tintwise

#include "formats/XmlReader.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <istream>
#include <iterator>

#include "formats/LutChars.h"
#include "formats/LutErrors.h"
#include "formats/LutTokens.h"

namespace tintwise {

namespace {

constexpr std::size_t npos = std::string_view::npos;
// Attribute lists longer than this get a hash index, so even a hostile tag with a million distinct
// attributes parses in linear time.
constexpr std::size_t kIndexFrom = 8;

void Drop(std::string_view &s, std::size_t n) { s.remove_prefix(n < s.size() ? n : s.size()); }

// Whether text is a decimal number: optional sign, digits with at most one ".", at least one digit,
// optional exponent "e"/"E" with optional sign and at least one digit.
bool IsDecimal(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-'))
    ++i;
  std::size_t digits = 0;
  bool point = false;
  for (; i < t.size(); ++i) {
    if (IsDigitChar(t[i]))
      ++digits;
    else if (t[i] == '.' && !point)
      point = true;
    else
      break;
  }
  if (digits == 0)
    return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
      ++i;
    std::size_t expDigits = 0;
    while (i < t.size() && IsDigitChar(t[i])) {
      ++i;
      ++expDigits;
    }
    if (expDigits == 0)
      return false;
  }
  return i == t.size();
}

// The five entities XML predefines, replaced by their characters; anything else stays as written.
std::string DecodeEntities(std::string_view text) {
  if (text.find('&') == npos)
    return std::string(text);
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}};
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&')
      for (const auto &[entity, c] : kEntities)
        if (text.substr(i, entity.size()) == entity) {
          out += c;
          i += entity.size();
          replaced = true;
          break;
        }
    if (!replaced)
      out += text[i++];
  }
  return out;
}

// Returns true when content follows the tag (the element does not close itself).
bool ParseTag(TXMLNode &node, std::string_view &s) {
  // A comment in front of the element is skipped (one only).
  std::size_t lt = s.find('<');
  if (lt != npos && s.substr(lt + 1, 3) == "!--") {
    const std::size_t end = s.find("-->", lt);
    Drop(s, end == npos ? s.size() : end + 3);
    lt = s.find('<');
  }
  if (lt != npos)
    s.remove_prefix(lt + 1);

  // p is the 1-based position of the ">" that ends the tag, or the length of the text.
  const std::size_t gt = s.find('>');
  const std::size_t p = gt == npos ? s.size() : gt + 1;
  const bool selfClosing = (p >= 2 && (s[p - 2] == '/' || s[p - 2] == '?')) || (!s.empty() && s[0] == '!');
  std::string_view t = s.substr(0, p > 0 ? p - 1 : 0);
  Drop(s, p);
  if (selfClosing && !t.empty())
    t.remove_suffix(1);
  // Line breaks inside the tag count as blanks; the tag is copied only when it holds one.
  std::string broken;
  if (t.find_first_of("\r\n") != npos) {
    broken.assign(t);
    for (char &c : broken)
      if (c == '\r' || c == '\n')
        c = ' ';
    t = broken;
  }

  const std::size_t blank = t.find(' ');
  node.Name.assign(t.substr(0, blank));
  const std::string_view rest = blank == npos ? std::string_view() : TrimLut(t.substr(blank + 1));
  if (!rest.empty())
    ParseAttributes(node, rest);
  return !selfClosing;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TXMLValue

double TXMLValue::AsFloat() const {
  const std::string_view t = TrimLut(Text);
  if (t.empty())
    return 0.0;
  std::string number(t);
  // Either separator is taken for the decimal point; a second one of either kind is not a number.
  if (const std::size_t comma = number.find(','); comma != std::string::npos)
    number[comma] = '.';
  double value = 0.0;
  if (IsDecimal(number)) {
    const char *first = number.data() + (number[0] == '+' ? 1 : 0);
    const char *last = number.data() + number.size();
    // A number beyond the range of a double is refused like any other text that is not one.
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ptr == last && ec == std::errc())
      return value;
  }
  throw EConvertError("'" + std::string(t) + "' is not a valid floating point value");
}

std::int32_t TXMLValue::AsInteger() const {
  const double v = std::nearbyint(AsFloat());
  if (!(v >= -2147483648.0 && v <= 2147483647.0))
    throw EConvertError("'" + std::string(TrimLut(Text)) + "' is not a valid integer value");
  return static_cast<std::int32_t>(v);
}

// ---------------------------------------------------------------------------------------------
// TXMLAttributes

const TXMLValue *TXMLAttributes::Find(std::string_view name) const {
  if (FIndex) {
    const auto it = FIndex->find(UpperAscii(name));
    return it == FIndex->end() ? nullptr : FItems[it->second].second.get();
  }
  for (const auto &item : FItems)
    if (SameNoCase(item.first, name))
      return item.second.get();
  return nullptr;
}

TXMLValue &TXMLAttributes::ValueOf(std::string_view name) {
  if (const TXMLValue *found = Find(name))
    return const_cast<TXMLValue &>(*found);
  FItems.emplace_back(std::string(name), std::make_unique<TXMLValue>());
  if (FIndex) {
    FIndex->emplace(UpperAscii(name), FItems.size() - 1);
  } else if (FItems.size() > kIndexFrom) {
    FIndex = std::make_unique<std::unordered_map<std::string, std::size_t>>();
    for (std::size_t i = 0; i < FItems.size(); ++i)
      FIndex->emplace(UpperAscii(FItems[i].first), i);
  }
  return *FItems.back().second;
}

void TXMLAttributes::Clear() {
  FItems.clear();
  FIndex.reset();
}

// ---------------------------------------------------------------------------------------------
// TXMLNode

TXMLNode::~TXMLNode() { ReleaseChildren(); }

void TXMLNode::ReleaseChildren() {
  std::vector<std::unique_ptr<TXMLNode>> pending = std::move(FChildren);
  FChildren.clear();
  while (!pending.empty()) {
    std::unique_ptr<TXMLNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto &child : node->FChildren)
      pending.push_back(std::move(child));
    node->FChildren.clear();
    // node is freed here, childless, so its own destructor does not descend.
  }
}

TXMLNode &TXMLNode::AddChild() {
  FChildren.push_back(std::make_unique<TXMLNode>());
  return *FChildren.back();
}

const TXMLNode *TXMLNode::FindNode(std::string_view name) const {
  for (const auto &child : FChildren)
    if (SameNoCase(child->Name, name))
      return child.get();
  return nullptr;
}

const TXMLNode &TXMLNode::NodeByName(std::string_view name) const {
  if (const TXMLNode *node = FindNode(name))
    return *node;
  throw EXMLError("The \"" + std::string(name) + "\" node is not found");
}

TXMLNode &TXMLNode::NodeByName(std::string_view name) {
  return const_cast<TXMLNode &>(static_cast<const TXMLNode &>(*this).NodeByName(name));
}

bool TXMLNode::HasNode(std::string_view name) const { return FindNode(name) != nullptr; }

void TXMLNode::Clear() {
  Name.clear();
  Value.Text.clear();
  Attributes.Clear();
  ReleaseChildren();
}

void TXMLNode::LoadXMLText(std::string_view text) {
  Clear();
  if (text.starts_with(kUtf8Bom))
    text.remove_prefix(kUtf8Bom.size());
  while (!text.empty())
    ParseElement(AddChild(), text);
}

// ---------------------------------------------------------------------------------------------
// Parsing

void ParseElement(TXMLNode &node, std::string_view &s) {
  if (ParseTag(node, s))
    ParseContent(node, s);
  else
    node.Closed = true;
}

void ParseAttributes(TXMLNode &node, std::string_view a) {
  while (!(a = TrimLut(a)).empty()) {
    // The name runs to "=" or a blank; a quoted value runs to its closing quote, blanks and all.
    std::size_t i = 0;
    while (i < a.size() && a[i] != '=' && !IsBlankChar(a[i]))
      ++i;
    const std::string_view name = a.substr(0, i);
    a.remove_prefix(i);
    a = TrimLeftLut(a);
    std::string_view value;
    if (!a.empty() && a[0] == '=') {
      a = TrimLeftLut(a.substr(1));
      if (!a.empty() && (a[0] == '"' || a[0] == '\'')) {
        const std::size_t close = a.find(a[0], 1);
        value = a.substr(1, close == npos ? npos : close - 1);
        Drop(a, close == npos ? a.size() : close + 1);
      } else {
        std::size_t j = 0;
        while (j < a.size() && !IsBlankChar(a[j]))
          ++j;
        value = a.substr(0, j);
        a.remove_prefix(j);
      }
    }
    if (name.empty())
      continue;
    node.Attributes.ValueOf(name).Text = DecodeEntities(value);
  }
}

void ParseContent(TXMLNode &node, std::string_view &s) {
  // The elements whose content is being read, innermost last: an explicit stack instead of
  // recursion, so nesting depth costs heap, not call stack.
  std::vector<TXMLNode *> open{&node};
  node.Value.Text.clear();
  while (!open.empty()) {
    TXMLNode &current = *open.back();
    const std::string_view run = s.substr(0, s.find('<'));
    if (!TrimLut(run).empty())
      current.Value.Text.append(run);
    s.remove_prefix(run.size());
    if (s.empty()) {
      open.pop_back();
      continue;
    }
    // s starts with "<".
    if (s.substr(1, 8) == "![CDATA[") {
      const std::size_t end = s.find("]]>", 9);
      const std::string_view data =
          end != npos ? s.substr(9, end - 9) : (s.size() > 10 ? s.substr(9, s.size() - 10) : std::string_view());
      current.Value.Text.append(1, ' ').append(data);
      Drop(s, end == npos ? s.size() : end + 3);
      continue;
    }
    if (s.substr(1, 3) == "!--") {
      const std::size_t end = s.find("-->");
      Drop(s, end == npos ? s.size() : end + 3);
      continue;
    }
    if (s.size() > 1 && s[1] == '/') {
      const std::size_t end = s.find('>');
      current.Closed = end != npos;
      Drop(s, end == npos ? s.size() : end + 1);
      open.pop_back();
      continue;
    }
    TXMLNode &child = current.AddChild();
    if (ParseTag(child, s)) {
      child.Value.Text.clear();
      open.push_back(&child);
    } else {
      child.Closed = true;
    }
  }
}

} // namespace tintwise

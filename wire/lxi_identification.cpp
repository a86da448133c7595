#include "wire/lxi_identification.h"

#include <algorithm>
#include <exception>

#include <rapidxml/rapidxml.hpp>

namespace {

// The parser descends once per nested element: the count of "<" bounds
// its depth, and so the stack it takes.
constexpr std::size_t kMaxTags = 1024;
constexpr std::size_t kMaxInterfaces = 16;
constexpr std::size_t kMaxFieldBytes = 255;

using Node = rapidxml::xml_node<char>;

std::string_view LocalName(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view NameOf(const Node *node) { return LocalName({node->name(), node->name_size()}); }

std::string Trimmed(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return std::string(text.substr(0, kMaxFieldBytes));
}

std::optional<bool> Flag(const std::string &text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  if (lower == "true" || lower == "1") return true;
  if (lower == "false" || lower == "0") return false;
  return std::nullopt;
}

bool IsIPv4(const Node *element) {
  for (auto *attribute = element->first_attribute(); attribute != nullptr; attribute = attribute->next_attribute())
    if (LocalName({attribute->name(), attribute->name_size()}) == "IPType")
      return std::string_view(attribute->value(), attribute->value_size()) == "IPv4";
  return true;
}

// The fields among the children of element; false when it holds none.
bool ReadInterface(const Node *element, LxiNetworkInterface &interface) {
  bool any = false;
  for (const Node *child = element->first_node(); child != nullptr; child = child->next_sibling()) {
    if (child->type() != rapidxml::node_element) continue;
    const std::string_view name = NameOf(child);
    const std::string value = Trimmed({child->value(), child->value_size()});
    std::optional<std::string> *text = name == "Hostname"     ? &interface.Hostname
                                       : name == "MACAddress" ? &interface.Mac
                                       : name == "IPAddress"  ? &interface.Ip
                                       : name == "SubnetMask" ? &interface.Mask
                                       : name == "Gateway"    ? &interface.Gateway
                                                              : nullptr;
    if (text != nullptr) {
      if (!text->has_value()) *text = value;
    } else if (name == "DHCPEnabled") {
      if (!interface.Dhcp) interface.Dhcp = Flag(value);
    } else if (name == "AutoIPEnabled") {
      if (!interface.AutoIp) interface.AutoIp = Flag(value);
    } else {
      continue;
    }
    any = true;
  }
  return any;
}

// The node after node in document order within root, walking down, then
// along, then up; nullptr at the end of root.
const Node *NextNode(const Node *node, const Node *root) {
  if (const Node *child = node->first_node(); child != nullptr) return child;
  for (; node != root; node = node->parent()) {
    if (const Node *sibling = node->next_sibling(); sibling != nullptr) return sibling;
  }
  return nullptr;
}

}  // namespace

bool ReadLxiIdentification(std::string_view document, std::vector<LxiNetworkInterface> &interfaces) {
  interfaces.clear();
  if (document.size() > kMaxIdentificationBytes ||
      static_cast<std::size_t>(std::count(document.begin(), document.end(), '<')) > kMaxTags)
    return false;
  std::vector<char> text(document.begin(), document.end());
  text.push_back('\0');
  rapidxml::xml_document<char> tree;
  try {
    tree.parse<rapidxml::parse_validate_closing_tags>(text.data());
  } catch (const std::exception &) {
    return false;
  }
  const Node *root = tree.first_node();
  if (root == nullptr || (NameOf(root) != "LXIDevice" && NameOf(root) != "Device")) return false;
  for (const Node *node = root; node != nullptr && interfaces.size() < kMaxInterfaces; node = NextNode(node, root)) {
    if (node->type() != rapidxml::node_element || NameOf(node) != "Interface" || !IsIPv4(node)) continue;
    LxiNetworkInterface interface;
    if (ReadInterface(node, interface)) interfaces.push_back(std::move(interface));
  }
  return true;
}

std::string AddressMode(const LxiNetworkInterface &interface) {
  const bool linkLocal = interface.Ip && interface.Ip->rfind("169.254.", 0) == 0;
  if (interface.AutoIp.value_or(false) && linkLocal) return "AutoIP";
  if (interface.Dhcp) return *interface.Dhcp ? "DHCP" : "Static";
  return "";
}

#include "settings/node.h"

#include <cstring>
#include <vector>

namespace brisane {

Value::Value(std::unique_ptr<Node> child) : node_(std::move(child)), type_(ValueType::Node) {}

bool KeyLess::operator()(std::string_view a, std::string_view b) const {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  const int c = n ? std::memcmp(a.data(), b.data(), n) : 0;  // memcmp compares unsigned bytes
  return c != 0 ? c < 0 : a.size() < b.size();
}

namespace {

struct SplitPath {
  std::string_view head;
  std::string_view tail;
  bool hasTail;
};

SplitPath Split(std::string_view path) {
  const std::size_t slash = path.find('/');
  if (slash == std::string_view::npos) return {path, {}, false};
  return {path.substr(0, slash), path.substr(slash + 1), true};
}

}  // namespace

Node::~Node() {
  // Children are released one level at a time rather than by the map's own
  // recursive destruction, so even a very deep tree cannot exhaust the stack.
  // A child still shared by a Value copy held elsewhere is left to that copy.
  std::vector<std::shared_ptr<Node>> pending;
  auto detach = [&pending](Map& cells) {
    for (auto& cell : cells) {
      std::shared_ptr<Node>& child = cell.second.node_;
      if (child && child.use_count() == 1) pending.push_back(std::move(child));
    }
    cells.clear();
  };
  detach(cells_);
  while (!pending.empty()) {
    std::shared_ptr<Node> next = std::move(pending.back());
    pending.pop_back();
    detach(next->cells_);
  }
}

Value& Node::Get(std::string_view path) {
  // Walk iteratively: each step is one path element.
  Node* node = this;
  for (;;) {
    const SplitPath p = Split(path);
    auto it = node->cells_.find(p.head);
    if (it == node->cells_.end()) {
      if (!p.hasTail) return node->cells_.emplace(std::string(p.head), Value()).first->second;
      auto child = std::make_unique<Node>();
      Node* raw = child.get();
      node->cells_.emplace(std::string(p.head), Value(std::move(child)));
      node = raw;
    } else {
      if (!p.hasTail) return it->second;
      if (it->second.Type() != ValueType::Node) throw KeyNotFound();
      node = it->second.AsNode();
    }
    path = p.tail;
  }
}

bool Node::Has(std::string_view path, ValueType type) const {
  const Node* node = this;
  for (;;) {
    const SplitPath p = Split(path);
    auto it = node->cells_.find(p.head);
    if (it == node->cells_.end()) return false;
    if (!p.hasTail) return it->second.Type() == type;
    if (it->second.Type() != ValueType::Node) return false;
    node = it->second.AsNode();
    path = p.tail;
  }
}

}  // namespace brisane

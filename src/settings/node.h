// The typed settings tree. Every option of the program lives in one such tree,
// kept by the entry point for the whole run; the registry form of it is in
// node_persistence.cpp.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace brisane {

class Node;
class SettingsKey;

// Tags 1 to 3 are also the numbers written into the registry texts.
enum class ValueType : std::int32_t {
  Node = 0,
  Float = 1,
  Int = 2,
  String = 3,
  None = 4,
};

// One typed cell. Only the field named by the tag is meaningful. Copying a
// Value shares the child node rather than duplicating it; the shared pointer
// makes a replaced child go away instead of leaking.
class Value {
 public:
  Value() = default;
  explicit Value(std::unique_ptr<Node> child);
  Value(float f) : float_(f), type_(ValueType::Float) {}
  Value(std::int32_t i) : int_(i), type_(ValueType::Int) {}
  Value(std::string s) : string_(std::move(s)), type_(ValueType::String) {}
  Value(const char* s) : string_(s ? s : ""), type_(ValueType::String) {}

  ValueType Type() const { return type_; }

  std::int32_t AsInt() const { return type_ == ValueType::Int ? int_ : 0; }
  bool AsBool() const { return type_ == ValueType::Int && int_ != 0; }
  float AsFloat() const { return type_ == ValueType::Float ? float_ : 0.0f; }
  Node* AsNode() const { return type_ == ValueType::Node ? node_.get() : nullptr; }
  std::string AsString() const { return type_ == ValueType::String ? string_ : std::string(); }

 private:
  friend class Node;
  std::shared_ptr<Node> node_;
  float float_ = 0.0f;
  std::int32_t int_ = 0;
  std::string string_;
  ValueType type_ = ValueType::None;
};

// Keys compare as unsigned bytes; a prefix sorts before the longer key.
struct KeyLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// An ordered map from key to Value; owns the child nodes of its cells.
// Paths are keys joined by "/": only the first "/" splits, so "a//b" is the
// key "a", then the key "", then "b".
class Node {
 public:
  struct KeyNotFound : std::exception {
    const char* what() const noexcept override { return "Node::KeyNotFound"; }
  };
  using Map = std::map<std::string, Value, KeyLess>;

  Node() = default;
  ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // The cell at the path, created (as ValueType::None, with child nodes on the way)
  // when missing. Throws KeyNotFound when the path runs through a cell that
  // holds no child node.
  Value& Get(std::string_view path);
  // Whether the path exists and its cell has the tag; never creates anything.
  bool Has(std::string_view path, ValueType type) const;

  // Registry form: writes/reads this tree at the sub-key path below parent.
  bool Save(SettingsKey& parent, std::string_view subKeyPath) const;
  bool Load(SettingsKey& parent, std::string_view subKeyPath);

  Map::const_iterator begin() const { return cells_.begin(); }
  Map::const_iterator end() const { return cells_.end(); }
  std::size_t size() const { return cells_.size(); }
  bool empty() const { return cells_.empty(); }

 private:
  Map cells_;
};

}  // namespace brisane

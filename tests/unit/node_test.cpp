#include "settings/node.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace brisane {
namespace {

std::vector<std::string> Keys(const Node& node) {
  std::vector<std::string> keys;
  for (const auto& cell : node) keys.push_back(cell.first);
  return keys;
}

TEST(ValueTest, AccessorsNeverConvertBetweenTypesAndAssigningReplacesTheTag) {
  EXPECT_EQ(Value(std::int32_t{7}).AsFloat(), 0.0f);
  EXPECT_EQ(Value(0.5f).AsInt(), 0);
  EXPECT_EQ(Value("7").AsInt(), 0);
  Node node;
  node.Get("X") = Value("text");
  node.Get("X") = Value(std::int32_t{42});
  EXPECT_EQ(node.Get("X").AsString(), "");
  EXPECT_TRUE(node.Has("X", TypeInt));
}

TEST(NodeTest, GetCreatesCellsAndChildNodesOnTheWayAndHasNeverCreates) {
  Node node;
  EXPECT_FALSE(node.Has("x/y", TypeNone));
  EXPECT_TRUE(node.empty());
  Value& cell = node.Get("X");
  EXPECT_EQ(&node.Get("X"), &cell);
  cell = Value(std::int32_t{5});
  for (const char* key : {"\xE9", "B", "a/c/d"}) node.Get(key) = Value("deep");
  EXPECT_EQ(node.Get("a").AsNode()->Get("c/d").AsString(), "deep");
  // Only the first slash splits: a//b is a, then the empty key, then b.
  node.Get("a//b") = Value(std::int32_t{1});
  EXPECT_TRUE(node.Get("a").AsNode()->Has("", TypeNode));
  EXPECT_FALSE(node.Has("a/b", TypeInt));
  // A path through a value throws, and the failed lookup changes nothing.
  EXPECT_THROW(node.Get("X/b"), Node::KeyNotFound);
  EXPECT_EQ(node.Get("X").AsInt(), 5);
  EXPECT_EQ(Keys(node), (std::vector<std::string>{"B", "X", "a", "\xE9"}));  // unsigned byte order
}

// Leaks are caught by the sanitizer build's leak check, which fails the run.
TEST(NodeTest, ReplacingChildrenReleasesEveryLevelAndValueCopiesShareThem) {
  Value copy;
  {
    Node root;
    root.Get("a/b/c/d/e") = Value(std::int32_t{1});
    root.Get("a/b/c") = Value(std::int32_t{0});
    EXPECT_FALSE(root.Has("a/b/c/d", TypeNode));
    copy = root.Get("a");
  }
  ASSERT_NE(copy.AsNode(), nullptr);
  EXPECT_TRUE(copy.AsNode()->Has("b/c", TypeInt));  // the copy outlives its tree
}

TEST(NodeTest, ATreeDeeperThanTheStackIsBuiltAndDestroyed) {
  std::string path;
  for (int i = 0; i < 200000; ++i) path += "k/";
  path += "leaf";
  auto root = std::make_unique<Node>();
  root->Get(path) = Value(std::int32_t{9});
  EXPECT_TRUE(root->Has(path, TypeInt));
  root.reset();  // would overflow the stack if children were destroyed recursively
}

}  // namespace
}  // namespace brisane

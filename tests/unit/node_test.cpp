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
  const Value i(std::int32_t{7}), f(0.5f), s("path"), none;
  EXPECT_EQ(i.AsInt(), 7);
  EXPECT_TRUE(i.AsBool());
  EXPECT_EQ(i.AsFloat(), 0.0f);
  EXPECT_EQ(i.AsString(), "");
  EXPECT_EQ(i.AsNode(), nullptr);
  EXPECT_EQ(f.AsFloat(), 0.5f);
  EXPECT_EQ(f.AsInt(), 0);
  EXPECT_FALSE(f.AsBool());
  EXPECT_EQ(s.AsString(), "path");
  EXPECT_EQ(s.AsInt(), 0);
  EXPECT_EQ(none.Type(), TypeNone);
  EXPECT_EQ(none.AsString(), "");

  Node node;
  node.Get("X") = Value("text");
  node.Get("X") = Value(std::int32_t{42});
  EXPECT_EQ(node.Get("X").AsString(), "");
  EXPECT_TRUE(node.Has("X", TypeInt));
  EXPECT_FALSE(node.Has("X", TypeString));
}

TEST(NodeTest, KeysIterateInUnsignedByteOrder) {
  Node node;
  for (const char* key : {"ab", "B", "a", "\xE9t\xE9", "a\x01", ""}) node.Get(key) = Value(std::int32_t{1});
  // "" first, upper case before lower, a prefix before its extensions, bytes
  // of 0x80 and above after every ASCII key.
  EXPECT_EQ(Keys(node), (std::vector<std::string>{"", "B", "a", "a\x01", "ab", "\xE9t\xE9"}));
}

TEST(NodeTest, GetOfAMissingKeyCreatesAnEmptyCellAndHasNeverCreates) {
  Node node;
  EXPECT_FALSE(node.Has("x", TypeNone));
  EXPECT_FALSE(node.Has("x/y", TypeNone));
  EXPECT_TRUE(node.empty());
  Value& cell = node.Get("X");
  EXPECT_EQ(cell.Type(), TypeNone);
  EXPECT_EQ(node.size(), 1u);
  EXPECT_TRUE(node.Has("X", TypeNone));
  EXPECT_FALSE(node.Has("X", TypeInt));
  EXPECT_EQ(&node.Get("X"), &cell) << "a second lookup finds the same cell";
}

TEST(NodeTest, PathsCreateChildNodesOnTheWay) {
  Node node;
  node.Get("a/b") = Value(std::int32_t{5});
  ASSERT_TRUE(node.Has("a", TypeNode));
  EXPECT_TRUE(node.Has("a/b", TypeInt));
  EXPECT_EQ(Keys(*node.Get("a").AsNode()), (std::vector<std::string>{"b"}));
  EXPECT_EQ(node.Get("a/b").AsInt(), 5);

  node.Get("a/c/d") = Value("deep");
  EXPECT_EQ(node.Get("a").AsNode()->Get("c/d").AsString(), "deep");
  EXPECT_EQ(Keys(node), (std::vector<std::string>{"a"}));
}

TEST(NodeTest, OnlyTheFirstSlashSplits) {
  Node node;
  node.Get("a//b") = Value(std::int32_t{1});
  const Node* a = node.Get("a").AsNode();
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(a->Has("", TypeNode)) << "a//b is a, then the empty key, then b";
  EXPECT_TRUE(node.Has("a//b", TypeInt));
  EXPECT_FALSE(node.Has("a/b", TypeInt));
}

TEST(NodeTest, PathsThroughAValueThrowOrAreAbsent) {
  Node node;
  node.Get("a") = Value(std::int32_t{3});
  EXPECT_THROW(node.Get("a/b"), Node::KeyNotFound);
  EXPECT_FALSE(node.Has("a/b", TypeInt));
  EXPECT_FALSE(node.Has("a/b", TypeNone));
  EXPECT_EQ(node.Get("a").AsInt(), 3) << "the failed lookup changed nothing";
  EXPECT_EQ(node.size(), 1u);
}

// Leaks are caught by the sanitizer build's leak check, which fails the run.
TEST(NodeTest, ReplacingOrDestroyingChildrenReleasesEveryLevel) {
  Node root;
  root.Get("a/b/c/d/e") = Value(std::int32_t{1});
  root.Get("a/x") = Value("y");
  root.Get("a/b/c") = Value(std::int32_t{0});
  EXPECT_TRUE(root.Has("a/b/c", TypeInt));
  EXPECT_FALSE(root.Has("a/b/c/d", TypeNode));
  EXPECT_EQ(root.Get("a/x").AsString(), "y");
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

TEST(NodeTest, ValueCopiesShareTheChild) {
  Value copy;
  {
    Node root;
    root.Get("a/b") = Value(std::int32_t{4});
    copy = root.Get("a");
  }
  // The copy outlives the tree it came from and still sees the child.
  ASSERT_NE(copy.AsNode(), nullptr);
  EXPECT_EQ(copy.AsNode()->Get("b").AsInt(), 4);
}

}  // namespace
}  // namespace brisane

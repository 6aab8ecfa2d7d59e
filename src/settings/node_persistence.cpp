// The registry form of a Node: a key per child node, a text value per cell.
#include "settings/node.h"
#include "settings/registry_text.h"
#include "platform/settings_store.h"

namespace brisane {

bool Node::Save(SettingsKey& parent, std::string_view subKeyPath) const {
  bool hasChildren = false;
  for (const auto& cell : cells_) hasChildren |= cell.second.Type() == ValueType::Node;

  std::unique_ptr<SettingsKey> key = parent.CreateForWrite(subKeyPath, hasChildren);
  if (!key) return false;
  for (const auto& [name, value] : cells_) {
    if (value.Type() == ValueType::Node) {
      if (const Node* child = value.AsNode(); child && !child->Save(*key, name)) return false;
      continue;
    }
    if (auto text = FormatRegistryText(value)) key->SetText(name, *text);
  }
  key->Flush();
  return true;
}

bool Node::Load(SettingsKey& parent, std::string_view subKeyPath) {
  std::unique_ptr<SettingsKey> key = parent.OpenForRead(subKeyPath);
  if (!key) return true;  // nothing stored yet: the tree keeps what it holds
  const std::uint32_t valueCount = key->ValueCount();

  for (std::uint32_t index = 0;; ++index) {
    std::optional<std::string> name = key->EnumSubKey(index);
    if (!name) break;
    // Stored names are single keys, never paths: a name holding "/" must not
    // reach through (or throw from) another cell.
    Value& cell = cells_[*name];
    if (cell.Type() != ValueType::Node || !cell.AsNode()) cell = Value(std::make_unique<Node>());
    if (!cell.AsNode()->Load(*key, *name)) return false;
  }

  for (std::uint32_t index = 0; index < valueCount; ++index) {
    std::optional<SettingsKey::NamedText> item = key->EnumValue(index);
    if (!item) continue;
    std::optional<Value> value = ParseRegistryText(item->data);
    if (!value) continue;
    cells_[item->name] = std::move(*value);
  }
  return true;
}

}  // namespace brisane

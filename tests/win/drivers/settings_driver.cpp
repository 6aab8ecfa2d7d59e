// harness settings save|load: the settings tree stored and restored by the program's own code.
//   save  - a tree like the dialog writes, plus a child node and a long path
//   load  - prints what the stored settings load as: path<TAB>tag<TAB>value
#include <cstdio>
#include <string>

#include "platform/win32/registry_store.h"
#include "settings/node.h"

#include "driver_support.h"

using namespace brisane;
static Node SettingsRoot;  // one tree for the process, as WinMain keeps it

namespace {

void Print(const Node& node, const std::string& prefix) {
  for (const auto& [key, value] : node) {
    const std::string path = prefix + key;
    switch (value.Type()) {
      case ValueType::Node: Print(*value.AsNode(), path + "/"); break;
      case ValueType::Int: std::printf("%s\t2\t%d\n", path.c_str(), value.AsInt()); break;
      case ValueType::Float: std::printf("%s\t1\t%f\n", path.c_str(), static_cast<double>(value.AsFloat())); break;
      case ValueType::String: std::printf("%s\t3\t%s\n", path.c_str(), value.AsString().c_str()); break;
      default: std::printf("%s\t4\t\n", path.c_str()); break;
    }
  }
}

}  // namespace

int SettingsDriver(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "save") {
    SettingsRoot.Get("SwitchPeriod") = Value(std::int32_t{21});
    SettingsRoot.Get("DeviceNum") = Value(std::int32_t{0});
    SettingsRoot.Get("MasterVolume") = Value(std::int32_t{-2500});
    SettingsRoot.Get("Level") = Value(0.5f);
    SettingsRoot.Get("FlagPath") = Value("C:\\" + std::string(300, 'f') + "\\flag.jpg");
    SettingsRoot.Get("Empty") = Value("");
    SettingsRoot.Get("Group/Inner") = Value(std::int32_t{4});
    return SaveSettings(SettingsRoot);
  }
  if (command == "load") {
    SettingsRoot.Get("ShowFPS") = Value(std::int32_t{0});  // a default that a bad stored value must not replace
    if (!LoadStoredSettings(SettingsRoot)) return 1;
    Print(SettingsRoot, "");
    return 0;
  }
  return 2;
}
